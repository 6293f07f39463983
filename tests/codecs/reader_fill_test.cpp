// Readers that size their bitmap without filling it: a file cut short keeps
// every pixel that arrived and shows the brush colour wherever data was
// missing, as a filled bitmap did (PPM raw and grey rows, a TIFF LZW strip).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/pxm.h"
#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "core/streamreader.h"
#include "platform/canvas.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using testutil::PixelOf;

const TRGB kBrush{7, 8, 9};  // blue, green, red of RGB(9, 8, 7)

void PrepareBrush(TBitmap& bm) {
  bm.Canvas().Brush().SetColor(RGB(9, 8, 7));
}

bool ReadPxm(const std::string& text, TBitmap& bm) {
  TReadOnlyMemoryStream s(text.data(), int64_t(text.size()));
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  PXMReadStream(s, bm, params, false, progress);
  return !aborting;
}

TEST(ReaderFill, RawPpmCutInsideARow) {
  std::string file = "P6 3 3 255\n";
  for (int i = 1; i <= 14; ++i) file += char(i);  // four pixels and two bytes
  TBitmap bm;
  PrepareBrush(bm);
  EXPECT_FALSE(ReadPxm(file, bm));
  ASSERT_EQ(bm.GetWidth(), 3);
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{3, 2, 1}));
  EXPECT_EQ(PixelOf(bm, 2, 0), (TRGB{9, 8, 7}));
  EXPECT_EQ(PixelOf(bm, 0, 1), (TRGB{12, 11, 10}));
  EXPECT_EQ(PixelOf(bm, 1, 1), kBrush);
  EXPECT_EQ(PixelOf(bm, 2, 1), kBrush);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelOf(bm, x, 2), kBrush);
  for (int y = 0; y < 3; ++y)
    for (int i = 9; i < 12; ++i) EXPECT_EQ(bm.ScanLine(y)[i], 0) << y;  // row padding
}

TEST(ReaderFill, GreyAndBitmapPnmCut) {
  TBitmap grey;
  PrepareBrush(grey);
  EXPECT_FALSE(ReadPxm(std::string("P5 2 2 255\n") + char(40) + char(50) + char(60), grey));
  EXPECT_EQ(PixelOf(grey, 1, 0), (TRGB{50, 50, 50}));
  EXPECT_EQ(PixelOf(grey, 0, 1), (TRGB{60, 60, 60}));
  EXPECT_EQ(PixelOf(grey, 1, 1), kBrush);
  // A PBM row that is there, one that is not (white brush: bits set).
  TBitmap bits;
  EXPECT_FALSE(ReadPxm(std::string("P4 10 2\n") + char(0xF0) + char(0x40), bits));
  EXPECT_EQ(bits.ScanLine(0)[0], 0x0F);
  EXPECT_EQ(bits.ScanLine(0)[1], 0xBF);
  EXPECT_EQ(bits.ScanLine(1)[0], 0xFF);
  EXPECT_EQ(bits.ScanLine(1)[1], 0xC0);
}

TEST(ReaderFill, CompletePpmIsExact) {
  std::string file = "P6 5 2 255\n";
  for (int i = 0; i < 30; ++i) file += char(200 - i);
  TBitmap bm;
  PrepareBrush(bm);
  ASSERT_TRUE(ReadPxm(file, bm));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) {
      const int i = (y * 5 + x) * 3;
      EXPECT_EQ(PixelOf(bm, x, y), (TRGB{uint8_t(198 - i), uint8_t(199 - i), uint8_t(200 - i)}));
    }
}

// A little-endian TIFF: 8 x 4 grey, LZW, one strip holding two rows only.
std::vector<uint8_t> TruncatedLzwTiff() {
  std::vector<uint8_t> rows(16);
  for (int i = 0; i < 16; ++i) rows[size_t(i)] = uint8_t(10 * i + 5);
  TMemoryStream lzw;
  void* state = nullptr;
  TIFFLZWCompress(rows.data(), 16, lzw, state);
  TIFFLZWCompress(nullptr, 0, lzw, state);
  std::vector<uint8_t> file = {'I', 'I', 42, 0, 8, 0, 0, 0};
  const uint32_t strip = 8 + 2 + 10 * 12 + 4;
  struct E {
    uint16_t tag, type;
    uint32_t value;
  };
  const E entries[] = {{256, 3, 8}, {257, 3, 4}, {258, 3, 8},
                       {259, 3, 5}, {262, 3, 1}, {273, 4, strip},
                       {277, 3, 1}, {278, 3, 4}, {279, 4, uint32_t(lzw.GetSize())},
                       {284, 3, 1}};
  uint8_t b[12];
  PutU16LE(b, 10);
  file.insert(file.end(), b, b + 2);
  for (const E& e : entries) {
    PutU16LE(b, e.tag);
    PutU16LE(b + 2, e.type);
    PutU32LE(b + 4, 1);
    PutU32LE(b + 8, e.value);
    file.insert(file.end(), b, b + 12);
  }
  file.insert(file.end(), 4, 0);
  file.insert(file.end(), lzw.Memory(), lzw.Memory() + lzw.GetSize());
  return file;
}

TEST(ReaderFill, TiffLzwStripEndingEarly) {
  const std::vector<uint8_t> file = TruncatedLzwTiff();
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  TBitmap bm;
  PrepareBrush(bm);
  TIOParamsVals params;
  params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  int count = 0;
  TIFFReadStream(&bm, s, count, &params, progress, false);
  EXPECT_TRUE(aborting);
  ASSERT_EQ(bm.GetHeight(), 4);
  for (int x = 0; x < 8; ++x) {
    const uint8_t g0 = uint8_t(10 * x + 5), g1 = uint8_t(10 * (x + 8) + 5);
    EXPECT_EQ(PixelOf(bm, x, 0), (TRGB{g0, g0, g0}));
    EXPECT_EQ(PixelOf(bm, x, 1), (TRGB{g1, g1, g1}));
    EXPECT_EQ(PixelOf(bm, x, 2), (TRGB{0, 0, 0}));  // the row the data ran out in: zeros
    EXPECT_EQ(PixelOf(bm, x, 3), kBrush);           // never reached
  }
}

}  // namespace
}  // namespace pictavo
