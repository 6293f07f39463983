// BMP, TGA, PCX and PNG files cut short: the pixels that arrived are
// decoded, the rest of a row the data ended in is what each format's reader
// makes of missing bytes, and every row the data never reached shows the
// brush colour, whether the bitmap was new or held an earlier picture.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/pcx.h"
#include "codecs/png.h"
#include "codecs/tga.h"
#include "core/streamreader.h"
#include "platform/canvas.h"
#include "tests/codecs/bytes_util.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using testutil::PixelOf;

const TRGB kBrush{7, 8, 9};  // blue, green, red of RGB(9, 8, 7)

constexpr TRGB Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return TRGB{b, g, r};
}

struct Reader {
  testutil::Progress progress;
  TPVDiagnostics diagnostics;
  TIOParamsVals params;
  TBitmap bitmap;
  Reader() {
    progress.rec.Diagnostics = &diagnostics;
    bitmap.Canvas().Brush().SetColor(RGB(9, 8, 7));
  }
  // A bitmap that already holds another picture of the given shape.
  void HoldPicture(int w, int h, TPixelFormat format) {
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(w, h);
    for (int y = 0; y < h; ++y) std::memset(bitmap.ScanLine(y), 0x5C, size_t(bitmap.RowBytes()));
  }
  bool Truncated() const {
    return progress.aborting && diagnostics.Error.Code == TPVErrorCode::Truncated;
  }
};

using testutil::Put16;
using testutil::Put32;

// A bottom-up BMP with the given palette and pixel data.
std::vector<uint8_t> Bmp(int w, int h, int bits, uint32_t compression,
                         const std::vector<TRGB>& palette, const std::vector<uint8_t>& data) {
  const uint32_t offset = 14 + 40 + uint32_t(palette.size()) * 4;
  std::vector<uint8_t> f = {'B', 'M'};
  Put32(f, offset + uint32_t(data.size()));
  Put32(f, 0);
  Put32(f, offset);
  Put32(f, 40);
  Put32(f, uint32_t(w));
  Put32(f, uint32_t(h));
  Put16(f, 1);
  Put16(f, uint16_t(bits));
  Put32(f, compression);
  Put32(f, uint32_t(data.size()));
  Put32(f, 2835);
  Put32(f, 2835);
  Put32(f, uint32_t(palette.size()));
  Put32(f, 0);
  for (const TRGB& c : palette) f.insert(f.end(), {c.b, c.g, c.r, 0});
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

void ReadBmp(Reader& r, const std::vector<uint8_t>& file) {
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  BMPReadStream(s, r.bitmap, 0, r.params, r.progress.rec, false);
}

// Byte k of the test data.
uint8_t DataByte(size_t k) {
  return uint8_t(k * 29 + 11);
}

TEST(TruncatedFill, Bmp24CutInsideARow) {
  const int w = 5, h = 4, rowLen = 16;            // 15 bytes of pixels, one of padding
  std::vector<uint8_t> data(size_t(rowLen) + 7);  // file row 0 and 2 1/3 pixels of row 1
  for (size_t k = 0; k < data.size(); ++k) data[k] = DataByte(k);
  for (bool reused : {false, true}) {
    Reader r;
    if (reused) r.HoldPicture(w, h, pf24bit);
    ReadBmp(r, Bmp(w, h, 24, 0, {}, data));
    EXPECT_TRUE(r.Truncated());
    ASSERT_EQ(r.bitmap.GetHeight(), h);
    for (int x = 0; x < w; ++x) {
      const size_t k = size_t(3 * x);
      EXPECT_EQ(PixelOf(r.bitmap, x, 3), (TRGB{DataByte(k), DataByte(k + 1), DataByte(k + 2)}));
      const TRGB second =
          x < 2 ? TRGB{DataByte(rowLen + k), DataByte(rowLen + k + 1), DataByte(rowLen + k + 2)}
                : kBrush;
      EXPECT_EQ(PixelOf(r.bitmap, x, 2), second) << x;
      EXPECT_EQ(PixelOf(r.bitmap, x, 1), kBrush);
      EXPECT_EQ(PixelOf(r.bitmap, x, 0), kBrush);
    }
    for (int y = 0; y < h; ++y) EXPECT_EQ(r.bitmap.ScanLine(y)[15], 0) << "padding of row " << y;
  }
}

TEST(TruncatedFill, BmpBlackAndWhiteCutInsideARow) {
  // 20 pixels: three bytes and one of padding per row; a white brush sets bits.
  const std::vector<TRGB> bw = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  const std::vector<uint8_t> data = {0x12, 0x34, 0x56, 0x00, 0xA5};
  Reader r;
  r.bitmap.Canvas().Brush().SetColor(clWhite);
  ReadBmp(r, Bmp(20, 3, 1, 0, bw, data));
  EXPECT_TRUE(r.Truncated());
  ASSERT_EQ(r.bitmap.GetPixelFormat(), pf1bit);
  const uint8_t want[3][3] = {{0xFF, 0xFF, 0xF0}, {0xA5, 0xFF, 0xF0}, {0x12, 0x34, 0x50}};
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.bitmap.ScanLine(y)[i], want[y][i]) << y << " " << i;
}

TEST(TruncatedFill, BmpRle8SkippedPixelsAndCut) {
  // Row 0 (the bottom): two pixels of index 1, a delta of two pixels, one
  // pixel of index 2, end of line; row 1: one pixel of index 1, then the data
  // ends.  Skipped pixels and the rows not reached show the brush.
  const std::vector<TRGB> pal = {TRGB{0, 0, 0}, TRGB{50, 60, 70}, TRGB{200, 100, 0}};
  const std::vector<uint8_t> data = {2, 1, 0, 2, 2, 0, 1, 2, 0, 0, 1, 1};
  Reader r;
  ReadBmp(r, Bmp(6, 3, 8, 1, pal, data));
  EXPECT_TRUE(r.Truncated());
  const TRGB want[3][6] = {{kBrush, kBrush, kBrush, kBrush, kBrush, kBrush},
                           {pal[1], kBrush, kBrush, kBrush, kBrush, kBrush},
                           {pal[1], pal[1], kBrush, kBrush, pal[2], kBrush}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(PixelOf(r.bitmap, x, y), want[y][x]) << x << " " << y;
}

// A bottom-up true-colour TGA (type 2 raw, 10 run-length coded).
std::vector<uint8_t> Tga(int w, int h, int type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> f = {0, 0, uint8_t(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(f, uint16_t(w));
  Put16(f, uint16_t(h));
  f.push_back(24);
  f.push_back(0);
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

void ReadTga(Reader& r, const std::vector<uint8_t>& file) {
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  ReadTGAStream(s, r.bitmap, r.params, r.progress.rec, false);
}

TEST(TruncatedFill, TgaRawAndRunLengthCutInsideARow) {
  // Raw: row 0 whole and one pixel of row 1; the rest of row 1 is black.
  {
    std::vector<uint8_t> data(3 * 3 + 3);
    for (size_t k = 0; k < data.size(); ++k) data[k] = DataByte(k);
    for (bool reused : {false, true}) {
      Reader r;
      if (reused) r.HoldPicture(3, 3, pf24bit);
      ReadTga(r, Tga(3, 3, 2, data));
      EXPECT_TRUE(r.Truncated());
      for (int x = 0; x < 3; ++x) {
        const size_t k = size_t(3 * x);
        EXPECT_EQ(PixelOf(r.bitmap, x, 2), (TRGB{DataByte(k), DataByte(k + 1), DataByte(k + 2)}));
        EXPECT_EQ(PixelOf(r.bitmap, x, 1),
                  x == 0 ? (TRGB{DataByte(9), DataByte(10), DataByte(11)}) : TRGB{});
        EXPECT_EQ(PixelOf(r.bitmap, x, 0), kBrush);
      }
    }
  }
  // Run-length: a run of four pixels (the one past row 0 is dropped), a run
  // of one, then a raw packet of two cut after its first pixel, which
  // zeroes the row from where that packet began.
  {
    const std::vector<uint8_t> data = {0x83, 1, 2, 3, 0x80, 4, 5, 6, 0x01, 7, 8, 9};
    Reader r;
    ReadTga(r, Tga(3, 3, 10, data));
    EXPECT_TRUE(r.Truncated());
    const TRGB run{1, 2, 3}, one{4, 5, 6};
    const TRGB want[3][3] = {{kBrush, kBrush, kBrush}, {one, TRGB{}, TRGB{}}, {run, run, run}};
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelOf(r.bitmap, x, y), want[y][x]) << x << " " << y;
  }
}

// A PCX header: `planes` planes of `bits`, run-length coded.
std::vector<uint8_t> PcxHeader(int w, int h, int bits, int planes, int bytesPerLine) {
  std::vector<uint8_t> f(128, 0);
  f[0] = 10;
  f[1] = 5;
  f[2] = 1;
  f[3] = uint8_t(bits);
  f[8] = uint8_t(w - 1);
  f[10] = uint8_t(h - 1);
  f[65] = uint8_t(planes);
  f[66] = uint8_t(bytesPerLine);
  for (int i = 0; i < 16; ++i) {  // a 16-colour header palette
    f[size_t(16 + 3 * i)] = uint8_t(i * 16);
    f[size_t(17 + 3 * i)] = uint8_t(255 - i * 16);
    f[size_t(18 + 3 * i)] = uint8_t(i * 5);
  }
  return f;
}

void ReadPcx(Reader& r, const std::vector<uint8_t>& file) {
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  ReadPcxStream(s, r.bitmap, r.params, int64_t(file.size()), r.progress.rec, false);
}

TEST(TruncatedFill, PcxColourPlanesCutInsideALine) {
  // 3 x 3, red, green and blue planes of 4 bytes: line 0 whole, line 1 with
  // its red plane and one green byte; the rest of that line is 0.
  std::vector<uint8_t> f = PcxHeader(3, 3, 8, 3, 4);
  const std::vector<uint8_t> line0 = {10, 11, 12, 0, 20, 21, 22, 0, 30, 31, 32, 0};
  f.insert(f.end(), line0.begin(), line0.end());
  f.insert(f.end(), {0xC4, 99, 77});  // a run of four 99s, then one literal
  for (bool reused : {false, true}) {
    Reader r;
    if (reused) r.HoldPicture(3, 3, pf24bit);
    ReadPcx(r, f);
    EXPECT_TRUE(r.Truncated());
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(PixelOf(r.bitmap, x, 0), Rgb(uint8_t(10 + x), uint8_t(20 + x), uint8_t(30 + x)));
      EXPECT_EQ(PixelOf(r.bitmap, x, 1), Rgb(99, x == 0 ? 77 : 0, 0)) << x;
      EXPECT_EQ(PixelOf(r.bitmap, x, 2), kBrush);
    }
  }
}

TEST(TruncatedFill, PcxLayoutWithoutDecoderShowsTheBrush) {
  // Two bits in one plane is a valid header that no row decoder handles.
  std::vector<uint8_t> f = PcxHeader(4, 2, 2, 1, 2);
  f.insert(f.end(), {0x1B, 0x24, 0x1B, 0x24});
  Reader r;
  ReadPcx(r, f);
  ASSERT_EQ(r.bitmap.GetWidth(), 4);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelOf(r.bitmap, x, y), kBrush);
}

bool RowEquals(const TBitmap& a, const TBitmap& b, int y) {
  return std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.GetWidth()) * 3) == 0;
}

// A PNG written by the library without compression, then cut to `keep` bytes.
std::vector<uint8_t> CutPng(const TBitmap& source, bool interlaced, size_t keep) {
  TMemoryStream ms;
  TIOParamsVals p;
  p.PNG_Compression = 0;
  p.PNG_Interlaced = interlaced;
  testutil::Progress progress;
  TBitmap copy;
  copy.Assign(source);
  WritePNGStream(ms, copy, p, progress.rec);
  std::vector<uint8_t> f(ms.Memory(), ms.Memory() + ms.GetSize());
  f.resize(std::min(keep, f.size()));
  return f;
}

// Rows of the source that arrived come first, each exactly as stored; every
// row after them shows the brush.  Returns how many rows arrived.
int CheckPngRows(const TBitmap& source, const TBitmap& got) {
  int arrived = 0;
  while (arrived < got.GetHeight() && RowEquals(source, got, arrived)) ++arrived;
  for (int y = arrived; y < got.GetHeight(); ++y)
    for (int x = 0; x < got.GetWidth(); ++x)
      EXPECT_EQ(PixelOf(got, x, y), kBrush) << "row " << y << " x " << x;
  return arrived;
}

TEST(TruncatedFill, PngCutInsideTheImageData) {
  TBitmap source;
  const int w = 61, h = 400;          // 73 KB of rows: several IDAT chunks
  testutil::MakeImage(source, w, h);  // no pixel has the brush colour
  const std::vector<uint8_t> file = CutPng(source, false, 40000);
  for (bool reused : {false, true}) {
    Reader r;
    if (reused) r.HoldPicture(w, h, pf24bit);
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    ReadPNGStream(s, &r.bitmap, r.params, false, r.progress.rec);
    EXPECT_TRUE(r.Truncated());
    const int arrived = CheckPngRows(source, r.bitmap);
    // Rows are 184 bytes and the first 40000 bytes hold the first 217.
    EXPECT_GT(arrived, 0);
    EXPECT_LT(arrived, 218);
  }
}

}  // namespace
}  // namespace pictavo
