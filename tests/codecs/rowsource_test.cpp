// The JPEG and PNG writers fed rows in red-green-blue order write the same
// bytes as from the bitmap; a source that fails or a layout that needs the
// whole picture stops the write with its reason.
#include "codecs/rowsource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "codecs/png.h"
#include "core/pvdefs.h"
#include "tests/codecs/jpegpng_test_util.h"

namespace pictavo {
namespace {

using testutil::FillBitmap;
using testutil::TestPicture;

// Rows straight from an RGB buffer, handed out in order only; `failAt` makes
// row `failAt` fail as a file cut short would.
class TRgbRows final : public IPVRowSource {
 public:
  TRgbRows(const std::vector<uint8_t>& rgb, int w, int h, TProgressRec& progress, int failAt = -1)
      : rgb_(rgb), w_(w), h_(h), progress_(progress), failAt_(failAt) {}
  int Width() const override { return w_; }
  int Height() const override { return h_; }
  bool RedFirst() const override { return true; }
  const uint8_t* Row(int y) override {
    if (y != next_) return nullptr;
    if (y == failAt_) {
      progress_.Fail(TPVErrorCode::Truncated, "cut short");
      return nullptr;
    }
    ++next_;
    return &rgb_[size_t(y) * w_ * 3];
  }

 private:
  const std::vector<uint8_t>& rgb_;
  int w_, h_;
  TProgressRec& progress_;
  int failAt_;
  int next_ = 0;
};

using TWriteBitmap = void (*)(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&);
using TWriteRows = void (*)(TStream&, IPVRowSource&, TIOParamsVals&, TProgressRec&);

std::string Bytes(TMemoryStream& s) {
  return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

void ExpectSameBytes(TWriteBitmap fromBitmap, TWriteRows fromRows, TIOParamsVals& params) {
  for (int w : {1, 3, 5, 7, 31, 33}) {
    SCOPED_TRACE(w);
    const int h = 6;
    const std::vector<uint8_t> rgb = TestPicture(w, h);
    TBitmap bitmap;
    FillBitmap(bitmap, w, h, rgb);
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    TMemoryStream a, b;
    fromBitmap(a, bitmap, params, progress);
    TRgbRows rows(rgb, w, h, progress);
    fromRows(b, rows, params, progress);
    ASSERT_FALSE(aborted);
    ASSERT_GT(a.GetSize(), 0);
    EXPECT_EQ(Bytes(a), Bytes(b));
  }
}

TEST(RowSource, WritersGiveTheBitmapsBytesFromRedFirstRows) {
  TIOParamsVals params;
  ExpectSameBytes(WriteJPegStream, WriteJPegRows, params);
  params.JPEG_ColorSpace = ioJPEG_CMYK;  // the CMYK rows pick red and blue by the order
  ExpectSameBytes(WriteJPegStream, WriteJPegRows, params);
  params.PNG_Filter = ioPNG_FILTER_PAETH;
  ExpectSameBytes(WritePNGStream, WritePNGRows, params);
}

// A progress record that keeps the abort flag and the reason.
struct TRecorded {
  TRecorded() {
    progress.Aborting = &aborted;
    progress.Diagnostics = &diagnostics;
  }
  TPVDiagnostics diagnostics;
  bool aborted = false;
  TProgressRec progress;
};

TEST(RowSource, FailuresStopTheWriteWithTheirReason) {
  const std::vector<uint8_t> rgb = TestPicture(9, 8);
  for (TWriteRows write : {&WriteJPegRows, &WritePNGRows}) {
    TRecorded r;
    TIOParamsVals params;
    TMemoryStream out;
    TRgbRows rows(rgb, 9, 8, r.progress, 5);
    write(out, rows, params, r.progress);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.diagnostics.Error.Code, TPVErrorCode::Truncated);
  }
  // A palette, one-bit or interlaced PNG cannot be written a row at a time.
  for (int layout = 0; layout < 3; ++layout) {
    TIOParamsVals params;
    if (layout == 0) params.SamplesPerPixel = 1;
    if (layout == 1) params.BitsPerSample = 1;
    if (layout == 2) params.PNG_Interlaced = true;
    EXPECT_FALSE(PNGWritesRows(params));
    TRecorded r;
    TMemoryStream out;
    TRgbRows rows(rgb, 9, 8, r.progress);
    WritePNGRows(out, rows, params, r.progress);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.diagnostics.Error.Code, TPVErrorCode::Unsupported) << layout;
    EXPECT_EQ(out.GetSize(), 0);
  }
}

}  // namespace
}  // namespace pictavo
