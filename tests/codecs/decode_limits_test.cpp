// Inputs that claim far more than they hold: the decode ratio shared by the
// readers, the hostile files kept in the fuzz corpora, the zlib preset
// dictionary, the progressive scan limit and the reasons the readers give.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/pcx.h"
#include "codecs/png.h"
#include "codecs/pxm.h"
#include "codecs/tga.h"
#include "codecs/tiff.h"
#include "codecs/zstreams.h"
#include "core/pvdefs.h"
#include "platform/exceptions.h"
#include "tests/codecs/bytes_util.h"

namespace pictavo {
namespace {

// Restores the process-wide limits a test changes.
class DecodeLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    pixels_ = PVGetMaxImagePixels();
    ratio_ = PVGetMaxDecodeRatio();
  }
  void TearDown() override {
    PVSetMaxImagePixels(pixels_);
    PVSetMaxDecodeRatio(ratio_);
  }

 private:
  int64_t pixels_ = 0, ratio_ = 0;
};

// One read's record: the abort flag and where the reason goes.
struct Outcome {
  bool aborted = false;
  TPVDiagnostics diag;
  TProgressRec progress;
  Outcome() {
    progress.Aborting = &aborted;
    progress.Diagnostics = &diag;
  }
  TPVErrorCode Code() const { return diag.Error.Code; }
};

std::vector<uint8_t> CorpusFile(const std::string& relative) {
  std::ifstream f(std::string(PICTAVO_SOURCE_DIR) + "/fuzz/corpus/" + relative, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

using testutil::Put16;
using testutil::Put32;

// A 24-bit BMP header (file and info header) with no pixel data after it.
std::vector<uint8_t> BmpHeader(int32_t width, int32_t height) {
  std::vector<uint8_t> v = {'B', 'M'};
  Put32(v, 0);   // file size unknown
  Put32(v, 0);   // reserved
  Put32(v, 54);  // pixel data offset
  Put32(v, 40);
  Put32(v, uint32_t(width));
  Put32(v, uint32_t(height));
  Put16(v, 1);
  Put16(v, 24);
  for (int i = 0; i < 6; ++i) Put32(v, 0);
  return v;
}

TEST_F(DecodeLimits, RatioArithmeticAndSetting) {
  // 8192 x 8192 pixels of 24 bits: 201,326,592 bytes, above the 64 MiB
  // floor; 10,000 x 20,133 = 201,330,000 covers it, 10,000 x 20,132 does not.
  Outcome ok, refused;
  EXPECT_TRUE(PVCheckDecodeSize(8192, 8192, 24, 20133, ok.progress));
  EXPECT_FALSE(ok.aborted);
  EXPECT_FALSE(PVCheckDecodeSize(8192, 8192, 24, 20132, refused.progress));
  EXPECT_TRUE(refused.aborted);
  EXPECT_EQ(refused.Code(), TPVErrorCode::DecodeRatio);
  EXPECT_NE(refused.diag.Error.Message.find("201326592"), std::string::npos);
  EXPECT_NE(refused.diag.Error.Message.find("20132 bytes"), std::string::npos);
  // Up to the floor, no data at all is enough: 4096 x 4096 x 3 = 48 MiB.
  Outcome small;
  EXPECT_TRUE(PVCheckDecodeSize(4096, 4096, 24, 0, small.progress));
  // One bit per pixel: 16384 x 16384 / 8 = 32 MiB, under the floor, where
  // 24 bits of the same size (768 MiB) need 80,531 bytes of data.
  EXPECT_TRUE(PVCheckDecodeSize(16384, 16384, 1, 0, small.progress));
  EXPECT_TRUE(PVCheckDecodeSize(16384, 16384, 24, 80531, small.progress));
  EXPECT_FALSE(small.aborted);
  // Unknown data size skips the ratio; zero disables it; a larger ratio
  // admits more.
  EXPECT_TRUE(PVCheckDecodeSize(8192, 8192, 24, -1, small.progress));
  PVSetMaxDecodeRatio(0);
  EXPECT_TRUE(PVCheckDecodeSize(8192, 8192, 24, 1, small.progress));
  PVSetMaxDecodeRatio(20000);
  EXPECT_TRUE(PVCheckDecodeSize(8192, 8192, 24, 10067, small.progress));
  EXPECT_FALSE(small.aborted);
}

TEST_F(DecodeLimits, PixelLimitMessage) {
  const std::vector<uint8_t> bmp = BmpHeader(100000, 100000);
  TReadOnlyMemoryStream s(bmp.data(), int64_t(bmp.size()));
  TBitmap bitmap;
  TIOParamsVals params;
  Outcome o;
  BMPReadStream(s, bitmap, -1, params, o.progress, false);
  EXPECT_TRUE(o.aborted);
  EXPECT_EQ(o.Code(), TPVErrorCode::PixelLimit);
  EXPECT_EQ(o.diag.Error.Message,
            "image of 100000\u00D7100000 pixels exceeds the limit of 268435456");
}

// Header-only files of every simple format claim 16384 x 16384 pixels: each
// is refused for its ratio before the bitmap changes size.
TEST_F(DecodeLimits, HeaderOnlyFilesRefusedBeforeAllocation) {
  auto expectRatio = [](const char* what, auto read) {
    SCOPED_TRACE(what);
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    Outcome o;
    read(bitmap, o.progress);
    EXPECT_TRUE(o.aborted);
    EXPECT_EQ(o.Code(), TPVErrorCode::DecodeRatio) << o.diag.Error.Message;
    EXPECT_EQ(bitmap.GetWidth(), 3);
    EXPECT_EQ(bitmap.GetHeight(), 2);
  };
  const std::vector<uint8_t> bmpFile = CorpusFile("bmp/bmp-header-only-16384x16384.bmp");
  ASSERT_FALSE(bmpFile.empty());
  expectRatio("bmp", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(bmpFile.data(), int64_t(bmpFile.size()));
    TIOParamsVals params;
    BMPReadStream(s, b, -1, params, p, false);
  });
  const std::vector<uint8_t> pngFile = CorpusFile("png/png-header-only-16384x16384.png");
  ASSERT_FALSE(pngFile.empty());
  expectRatio("png", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(pngFile.data(), int64_t(pngFile.size()));
    TIOParamsVals params;
    ReadPNGStream(s, &b, params, false, p);
  });
  const std::string ppm = "P6\n16384 16384\n255\n";
  expectRatio("ppm", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(ppm.data(), int64_t(ppm.size()));
    TIOParamsVals params;
    PXMReadStream(s, b, params, false, p);
  });
  // TGA: type 2, 24 bits, 16384 x 16384, no identifier, no pixels.
  std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(tga, 16384);
  Put16(tga, 16384);
  tga.push_back(24);
  tga.push_back(0x20);
  expectRatio("tga", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(tga.data(), int64_t(tga.size()));
    TIOParamsVals params;
    ReadTGAStream(s, b, params, p, false);
  });
  // PCX: 8 bits, 3 planes, 16384 x 16384, a header and a few data bytes.
  std::vector<uint8_t> pcx(128, 0);
  pcx[0] = 10;
  pcx[1] = 5;
  pcx[2] = 1;
  pcx[3] = 8;
  pcx[8] = pcx[10] = 0xFF;
  pcx[9] = pcx[11] = 0x3F;
  pcx[65] = 3;
  pcx[66] = 0x00;
  pcx[67] = 0x40;
  pcx.insert(pcx.end(), 16, 0xC1);
  expectRatio("pcx", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(pcx.data(), int64_t(pcx.size()));
    TIOParamsVals params;
    ReadPcxStream(s, b, params, int64_t(pcx.size()), p, false);
  });
  // TIFF: 16384 x 16384 RGB, one strip at offset 8 of which nothing exists.
  std::vector<uint8_t> tif = {'I', 'I', 42, 0};
  Put32(tif, 8);
  const uint32_t fields[][3] = {{256, 4, 16384}, {257, 4, 16384}, {258, 3, 8},
                                {259, 3, 1},     {262, 3, 2},     {273, 4, 8},
                                {277, 3, 3},     {278, 4, 16384}, {279, 4, 805306368}};
  Put16(tif, 9);
  for (const auto& f : fields) {
    Put16(tif, f[0]);
    Put16(tif, f[1]);
    Put32(tif, 1);
    Put32(tif, f[2]);
  }
  Put32(tif, 0);
  expectRatio("tiff", [&](TBitmap& b, TProgressRec& p) {
    TReadOnlyMemoryStream s(tif.data(), int64_t(tif.size()));
    TIOParamsVals params;
    int count = 0;
    TIFFReadStream(&b, s, count, &params, p, false);
  });
  // With the ratio disabled the same PPM is allowed to size its bitmap (a
  // smaller one, to keep the test light) and fails for the missing data.
  PVSetMaxDecodeRatio(0);
  const std::string small = "P6\n5000 5000\n255\n";
  TReadOnlyMemoryStream s(small.data(), int64_t(small.size()));
  TBitmap b;
  TIOParamsVals params;
  Outcome o;
  PXMReadStream(s, b, params, false, o.progress);
  EXPECT_EQ(o.Code(), TPVErrorCode::Truncated);
  EXPECT_EQ(b.GetWidth(), 5000);
}

TEST_F(DecodeLimits, HostileRegressionFiles) {
  struct Case {
    const char* file;
    bool jpeg;
    TPVErrorCode code;
  } cases[] = {
      {"png/png-splt-chunk-1.8GB.png", false, TPVErrorCode::Truncated},
      {"png/png-text-chunk-1.8GB.png", false, TPVErrorCode::Truncated},
      {"jpeg/jpeg-progressive-claims-16384x16384.jpg", true, TPVErrorCode::DecodeRatio},
      {"jpeg/jpeg-baseline-claims-16384x16384.jpg", true, TPVErrorCode::DecodeRatio},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<uint8_t> data = CorpusFile(c.file);
    ASSERT_FALSE(data.empty());
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    TBitmap bitmap;
    TIOParamsVals params;
    Outcome o;
    if (c.jpeg)
      ReadJPegStream(s, &bitmap, params, false, o.progress);
    else
      ReadPNGStream(s, &bitmap, params, false, o.progress);
    EXPECT_TRUE(o.aborted);
    EXPECT_EQ(o.Code(), c.code) << o.diag.Error.Message;
    EXPECT_LE(int64_t(bitmap.GetWidth()) * bitmap.GetHeight(), 64);
  }
  // The parameters of the claiming JPEG are still reported.
  const std::vector<uint8_t> jpeg = CorpusFile("jpeg/jpeg-baseline-claims-16384x16384.jpg");
  TReadOnlyMemoryStream s(jpeg.data(), int64_t(jpeg.size()));
  TIOParamsVals params;
  Outcome o;
  ReadJPegStream(s, nullptr, params, true, o.progress);
  EXPECT_FALSE(o.aborted);
  EXPECT_EQ(params.Width, 16384);
}

TEST_F(DecodeLimits, PresetDictionaryStreamEndsWithError) {
  const std::vector<uint8_t> data = CorpusFile("png/zlib-preset-dictionary-hang.bin");
  ASSERT_EQ(data, (std::vector<uint8_t>{0x78, 0x3f, 0x9c, 0x63, 0, 0, 0, 0, 0xe8}));
  std::vector<uint8_t> out;
  int64_t n = 0;
  EXPECT_THROW(DecompressBuf(data.data(), int64_t(data.size()), 0, out, n), EAbort);
  EXPECT_TRUE(out.empty());
  TReadOnlyMemoryStream source(data.data(), int64_t(data.size()));
  TDecompressionStream z(source);
  uint8_t buf[64];
  EXPECT_THROW(z.Read(buf, sizeof buf), EAbort);
  // The PNG fuzzing input that reached it fails quickly as well.
  const std::vector<uint8_t> fuzz = CorpusFile("png/png-fuzz-timeout.bin");
  EXPECT_THROW(DecompressBuf(fuzz.data(), int64_t(fuzz.size()), 0, out, n), EAbort);
}

// A progressive JPEG of the library's writer (through libjpeg).
std::vector<uint8_t> ProgressiveJpeg() {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(16, 16);
  for (int y = 0; y < 16; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < 48; ++x) row[x] = uint8_t(x * 5 + y * 11);
  }
  TIOParamsVals params;
  params.JPEG_Progressive = true;
  TMemoryStream s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WriteJPegStream(s, bmp, params, progress);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.GetSize());
}

TEST_F(DecodeLimits, ProgressiveScanLimit) {
  const std::vector<uint8_t> base = ProgressiveJpeg();
  ASSERT_GT(base.size(), 4u);
  // The last scan (its SOS to the end marker) repeated: 10,000 scans.
  size_t lastSos = 0;
  for (size_t i = 2; i + 1 < base.size(); ++i)
    if (base[i] == 0xFF && base[i + 1] == 0xDA) lastSos = i;
  ASSERT_GT(lastSos, 0u);
  ASSERT_EQ(base[base.size() - 1], 0xD9);
  const std::vector<uint8_t> scan(base.begin() + long(lastSos), base.end() - 2);
  auto withScans = [&](int extra) {
    std::vector<uint8_t> v(base.begin(), base.end() - 2);
    for (int i = 0; i < extra; ++i) v.insert(v.end(), scan.begin(), scan.end());
    v.push_back(0xFF);
    v.push_back(0xD9);
    return v;
  };
  const std::vector<uint8_t> many = withScans(10000);
  TReadOnlyMemoryStream s(many.data(), int64_t(many.size()));
  TBitmap bitmap;
  TIOParamsVals params;
  Outcome o;
  ReadJPegStream(s, &bitmap, params, false, o.progress);
  EXPECT_TRUE(o.aborted);
  EXPECT_EQ(o.Code(), TPVErrorCode::Corrupt);
  EXPECT_NE(o.diag.Error.Message.find("1000 progressive scans"), std::string::npos)
      << o.diag.Error.Message;
  // A few repeated scans are within the limit and decode.
  const std::vector<uint8_t> few = withScans(20);
  TReadOnlyMemoryStream f(few.data(), int64_t(few.size()));
  Outcome ok;
  ReadJPegStream(f, &bitmap, params, false, ok.progress);
  EXPECT_FALSE(ok.aborted) << ok.diag.Error.Message;
  EXPECT_EQ(bitmap.GetWidth(), 16);
}

TEST_F(DecodeLimits, JpegHonoursBlockAndWarnsWhenCut) {
  const std::vector<uint8_t> jpeg = ProgressiveJpeg();
  // The whole file in its block: no warning.
  {
    TReadOnlyMemoryStream s(jpeg.data(), int64_t(jpeg.size()));
    TBitmap bitmap;
    TIOParamsVals params;
    Outcome o;
    ReadJPegStream(s, &bitmap, params, false, o.progress, int64_t(jpeg.size()));
    EXPECT_FALSE(o.aborted) << o.diag.Error.Message;
    EXPECT_TRUE(o.diag.Warnings.empty());
  }
  // A block that ends inside the last scan's data: the reader stops at the
  // block's end and says the data ended early, but the image loads.
  {
    TReadOnlyMemoryStream s(jpeg.data(), int64_t(jpeg.size()));
    TBitmap bitmap;
    TIOParamsVals params;
    Outcome o;
    ReadJPegStream(s, &bitmap, params, false, o.progress, int64_t(jpeg.size() - 8));
    EXPECT_FALSE(o.aborted) << o.diag.Error.Message;
    ASSERT_FALSE(o.diag.Warnings.empty()) << o.diag.Error.Message;
    EXPECT_EQ(o.diag.Warnings[0], "JPEG data ends early; the missing rows are filled");
    EXPECT_EQ(bitmap.GetWidth(), 16);
  }
  // libjpeg's own text for damage it cannot pass: not a JPEG after the marker.
  {
    std::vector<uint8_t> bad = {0xFF, 0xD8, 0xFF, 0x01, 0, 0};
    TReadOnlyMemoryStream s(bad.data(), int64_t(bad.size()));
    TBitmap bitmap;
    TIOParamsVals params;
    Outcome o;
    ReadJPegStream(s, &bitmap, params, false, o.progress);
    EXPECT_TRUE(o.aborted);
    EXPECT_EQ(o.diag.Error.Message.rfind("JPEG: ", 0), 0u);
    EXPECT_GT(o.diag.Error.Message.size(), 6u);
  }
}

}  // namespace
}  // namespace pictavo
