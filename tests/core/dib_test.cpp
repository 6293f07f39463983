// Packed DIBs into bitmaps and back: every bit depth, bit fields, the two
// colour tables of one-bit images, round trips and malformed blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/conversions.h"
#include "core/pvutils.h"

namespace pictavo {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

// A BITMAPINFOHEADER followed by `extra` (palette or masks) and the rows in
// file order (the first row is the bottom of the image), each padded to 4.
Bytes MakeDib(int32_t w, int32_t h, uint16_t bc, uint32_t comp, uint32_t clrUsed,
              const Bytes& extra, const std::vector<Bytes>& rows) {
  Bytes b;
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(h));
  Put16(b, 1);
  Put16(b, bc);
  Put32(b, comp);
  for (int i = 0; i < 3; ++i) Put32(b, 0);
  Put32(b, clrUsed);
  Put32(b, 0);
  b.insert(b.end(), extra.begin(), extra.end());
  for (const Bytes& r : rows) {
    Bytes row = r;
    while (row.size() % 4) row.push_back(0xEE);
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// Palette entries are stored B, G, R, 0.
Bytes Pal(std::initializer_list<TRGB> colors) {
  Bytes b;
  for (const TRGB& c : colors) {
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    b.push_back(0);
  }
  return b;
}

void ExpectPixel(const TBitmap& bm, int x, int y, int r, int g, int b) {
  const uint8_t* p = bm.ScanLine(y) + x * 3;
  EXPECT_EQ(p[2], r) << "x=" << x << " y=" << y;
  EXPECT_EQ(p[1], g) << "x=" << x << " y=" << y;
  EXPECT_EQ(p[0], b) << "x=" << x << " y=" << y;
}

int Decode(const Bytes& dib, TBitmap& bm) {
  return _CopyDIB2Bitmap(dib.data(), dib.size(), bm);
}

TEST(DibDecode, OneBitBlackWhiteInvertedAndColoured) {
  // 10 x 2: file row 0 (bottom) 0xA5 0xC0, file row 1 (top) 0x0F 0x40.
  std::vector<Bytes> rows = {{0xA5, 0xC0}, {0x0F, 0x40}};
  TBitmap bm;
  Bytes bw = MakeDib(10, 2, 1, 0, 0, Pal({CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)}), rows);
  EXPECT_EQ(Decode(bw, bm), 1);
  ASSERT_EQ(bm.GetPixelFormat(), pf1bit);
  ASSERT_EQ(bm.GetWidth(), 10);
  ASSERT_EQ(bm.GetHeight(), 2);
  EXPECT_EQ(bm.ScanLine(0)[0], 0x0F);
  EXPECT_EQ(bm.ScanLine(0)[1] & 0xC0, 0x40);
  EXPECT_EQ(bm.ScanLine(1)[0], 0xA5);
  EXPECT_EQ(bm.ScanLine(1)[1] & 0xC0, 0xC0);

  Bytes wb = MakeDib(10, 2, 1, 0, 2, Pal({CreateRGB(255, 255, 255), CreateRGB(0, 0, 0)}), rows);
  EXPECT_EQ(Decode(wb, bm), 1);
  ASSERT_EQ(bm.GetPixelFormat(), pf1bit);
  EXPECT_EQ(bm.ScanLine(0)[0], 0xF0);
  EXPECT_EQ(bm.ScanLine(0)[1] & 0xC0, 0x80);
  EXPECT_EQ(bm.ScanLine(1)[0], 0x5A);
  EXPECT_EQ(bm.ScanLine(1)[1] & 0xC0, 0x00);

  Bytes col = MakeDib(10, 2, 1, 0, 0, Pal({CreateRGB(200, 10, 20), CreateRGB(5, 150, 250)}), rows);
  EXPECT_EQ(Decode(col, bm), 1);
  ASSERT_EQ(bm.GetPixelFormat(), pf24bit);
  const uint8_t top[2] = {0x0F, 0x40}, bottom[2] = {0xA5, 0xC0};
  for (int x = 0; x < 10; ++x) {
    bool t = top[x >> 3] & (0x80 >> (x & 7));
    bool b = bottom[x >> 3] & (0x80 >> (x & 7));
    if (t)
      ExpectPixel(bm, x, 0, 5, 150, 250);
    else
      ExpectPixel(bm, x, 0, 200, 10, 20);
    if (b)
      ExpectPixel(bm, x, 1, 5, 150, 250);
    else
      ExpectPixel(bm, x, 1, 200, 10, 20);
  }
}

TEST(DibDecode, FourAndEightBitPalettes) {
  // 4 bits, 3 x 2, biClrUsed 3: high nibble is the left pixel.
  Bytes pal = Pal({CreateRGB(1, 2, 3), CreateRGB(40, 50, 60), CreateRGB(200, 100, 0)});
  Bytes d4 = MakeDib(3, 2, 4, 0, 3, pal, {{0x12, 0x00}, {0x21, 0x10}});
  TBitmap bm;
  EXPECT_EQ(Decode(d4, bm), 4);
  ASSERT_EQ(bm.GetPixelFormat(), pf24bit);
  ASSERT_EQ(bm.GetWidth(), 3);
  ExpectPixel(bm, 0, 0, 200, 100, 0);
  ExpectPixel(bm, 1, 0, 40, 50, 60);
  ExpectPixel(bm, 2, 0, 40, 50, 60);
  ExpectPixel(bm, 0, 1, 40, 50, 60);
  ExpectPixel(bm, 1, 1, 200, 100, 0);
  ExpectPixel(bm, 2, 1, 1, 2, 3);

  // 8 bits with the full 256-entry table (biClrUsed 0): entry i is (i, 255-i, i/2).
  Bytes pal8;
  for (int i = 0; i < 256; ++i) {
    pal8.push_back(uint8_t(i / 2));
    pal8.push_back(uint8_t(255 - i));
    pal8.push_back(uint8_t(i));
    pal8.push_back(0);
  }
  Bytes d8 = MakeDib(5, 1, 8, 0, 0, pal8, {{0, 7, 128, 254, 255}});
  EXPECT_EQ(Decode(d8, bm), 8);
  ASSERT_EQ(bm.GetWidth(), 5);
  const int idx[5] = {0, 7, 128, 254, 255};
  for (int x = 0; x < 5; ++x) ExpectPixel(bm, x, 0, idx[x], 255 - idx[x], idx[x] / 2);
}

TEST(DibDecode, SixteenBitFiveFiveFiveAndBitFields) {
  auto px = [](uint16_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8)}; };
  Bytes row;
  for (uint16_t v :
       {uint16_t(0x7FFF), uint16_t(0x7C00), uint16_t(0x03E0), uint16_t(0x001F), uint16_t(0x4210)}) {
    Bytes p = px(v);
    row.insert(row.end(), p.begin(), p.end());
  }
  TBitmap bm;
  EXPECT_EQ(Decode(MakeDib(5, 1, 16, 0, 0, {}, {row}), bm), 16);
  ASSERT_EQ(bm.GetWidth(), 5);
  ExpectPixel(bm, 0, 0, 248, 248, 248);
  ExpectPixel(bm, 1, 0, 248, 0, 0);
  ExpectPixel(bm, 2, 0, 0, 248, 0);
  ExpectPixel(bm, 3, 0, 0, 0, 248);
  ExpectPixel(bm, 4, 0, 128, 128, 128);

  // 5-6-5 through BI_BITFIELDS: the masks follow the header.
  Bytes masks;
  Put32(masks, 0xF800);
  Put32(masks, 0x07E0);
  Put32(masks, 0x001F);
  Bytes row565;
  for (uint16_t v :
       {uint16_t(0xFFFF), uint16_t(0xF800), uint16_t(0x07E0), uint16_t(0x001F), uint16_t(0x0821)}) {
    Bytes p = px(v);
    row565.insert(row565.end(), p.begin(), p.end());
  }
  EXPECT_EQ(Decode(MakeDib(5, 1, 16, 3, 0, masks, {row565}), bm), 16);
  ASSERT_EQ(bm.GetWidth(), 5);
  ExpectPixel(bm, 0, 0, 248, 252, 248);
  ExpectPixel(bm, 1, 0, 248, 0, 0);
  ExpectPixel(bm, 2, 0, 0, 252, 0);
  ExpectPixel(bm, 3, 0, 0, 0, 248);
  ExpectPixel(bm, 4, 0, 8, 4, 8);
}

TEST(DibDecode, TwentyFourAndThirtyTwoBits) {
  // 2 x 2 at 24 bits: the first file row is the bottom row.
  Bytes d24 = MakeDib(2, 2, 24, 0, 0, {}, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
  TBitmap bm;
  EXPECT_EQ(Decode(d24, bm), 24);
  ASSERT_EQ(bm.GetPixelFormat(), pf24bit);
  ExpectPixel(bm, 0, 0, 9, 8, 7);
  ExpectPixel(bm, 1, 0, 12, 11, 10);
  ExpectPixel(bm, 0, 1, 3, 2, 1);
  ExpectPixel(bm, 1, 1, 6, 5, 4);

  Bytes d32 = MakeDib(2, 1, 32, 0, 0, {}, {{1, 2, 3, 99, 4, 5, 6, 98}});
  EXPECT_EQ(Decode(d32, bm), 32);
  ExpectPixel(bm, 0, 0, 3, 2, 1);
  ExpectPixel(bm, 1, 0, 6, 5, 4);

  // With bit fields the pixels start 12 bytes after the header.
  Bytes masks;
  Put32(masks, 0xFF0000);
  Put32(masks, 0xFF00);
  Put32(masks, 0xFF);
  Bytes d32f = MakeDib(2, 1, 32, 3, 0, masks, {{10, 20, 30, 0, 40, 50, 60, 0}});
  EXPECT_EQ(Decode(d32f, bm), 32);
  ExpectPixel(bm, 0, 0, 30, 20, 10);
  ExpectPixel(bm, 1, 0, 60, 50, 40);

  // A separate pixel block replaces the rows after the header.
  Bytes header = MakeDib(2, 1, 24, 0, 0, {}, {});
  Bytes bits = {100, 101, 102, 103, 104, 105, 0, 0};
  EXPECT_EQ(_CopyDIB2Bitmap(header.data(), header.size(), bm, bits.data(), bits.size()), 24);
  ExpectPixel(bm, 0, 0, 102, 101, 100);
  ExpectPixel(bm, 1, 0, 105, 104, 103);
}

TEST(DibDecode, RoundTripTwentyFourBits) {
  TBitmap src(5, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 15; ++x) src.ScanLine(y)[x] = uint8_t(y * 40 + x * 3 + 1);
  HGLOBAL dib = _CopyBitmaptoDIB(src, 0, 0, 0, 0);
  ASSERT_TRUE(dib);
  const uint8_t* p = dib->Lock();
  EXPECT_EQ(dib->Size(), 40u + 16u * 3u + 4u);
  EXPECT_EQ(Get32(p), 40u);
  EXPECT_EQ(Get32(p + 4), 5u);
  EXPECT_EQ(Get32(p + 8), 3u);
  EXPECT_EQ(p[12] | (p[13] << 8), 1);
  EXPECT_EQ(p[14] | (p[15] << 8), 24);
  for (int off = 16; off < 40; off += 4) EXPECT_EQ(Get32(p + off), 0u) << off;
  // Bottom-up rows of 16 bytes, 15 of pixels.
  for (int r = 0; r < 3; ++r)
    EXPECT_EQ(std::memcmp(p + 40 + r * 16, src.ScanLine(2 - r), 15), 0) << r;
  TBitmap back;
  EXPECT_EQ(_CopyDIB2Bitmap(dib, back), 24);
  ASSERT_EQ(back.GetWidth(), 5);
  ASSERT_EQ(back.GetHeight(), 3);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(back.ScanLine(y), src.ScanLine(y), 15), 0);

  // A sub-rectangle: columns 1..3, rows 1..2.
  HGLOBAL part = _CopyBitmaptoDIB(src, 1, 1, 4, 3);
  const uint8_t* q = part->Lock();
  EXPECT_EQ(part->Size(), 40u + 12u * 2u + 4u);
  EXPECT_EQ(Get32(q + 4), 3u);
  EXPECT_EQ(Get32(q + 8), 2u);
  EXPECT_EQ(std::memcmp(q + 40, src.ScanLine(2) + 3, 9), 0);
  EXPECT_EQ(std::memcmp(q + 52, src.ScanLine(1) + 3, 9), 0);
}

TEST(DibDecode, RoundTripOneBit) {
  TBitmap src(11, 2, pf1bit);
  src.ScanLine(0)[0] = 0xB3;
  src.ScanLine(0)[1] = 0x60;
  src.ScanLine(1)[0] = 0x1C;
  src.ScanLine(1)[1] = 0xA0;
  HGLOBAL dib = _CopyBitmaptoDIB(src, 0, 0, 0, 0);
  const uint8_t* p = dib->Lock();
  EXPECT_EQ(dib->Size(), 52u + 4u * 2u);
  EXPECT_EQ(Get32(p + 4), 11u);
  EXPECT_EQ(Get32(p + 8), 2u);
  EXPECT_EQ(p[14], 1);
  EXPECT_EQ(Get32(p + 40), 0u);
  EXPECT_EQ(Get32(p + 44), 0xFFFFFFFFu);
  EXPECT_EQ(p[48], 0x1C);
  EXPECT_EQ(p[49] & 0xE0, 0xA0);
  EXPECT_EQ(p[52], 0xB3);
  EXPECT_EQ(p[53] & 0xE0, 0x60);
  TBitmap back;
  EXPECT_EQ(_CopyDIB2Bitmap(dib, back), 1);
  ASSERT_EQ(back.GetPixelFormat(), pf1bit);
  ASSERT_EQ(back.GetWidth(), 11);
  EXPECT_EQ(back.ScanLine(0)[0], 0xB3);
  EXPECT_EQ(back.ScanLine(0)[1] & 0xE0, 0x60);
  EXPECT_EQ(back.ScanLine(1)[0], 0x1C);
  EXPECT_EQ(back.ScanLine(1)[1] & 0xE0, 0xA0);

  // Starting at an odd column shifts the bits to the start of each row.
  HGLOBAL part = _CopyBitmaptoDIB(src, 3, 0, 11, 1);
  const uint8_t* q = part->Lock();
  EXPECT_EQ(Get32(q + 4), 8u);
  EXPECT_EQ(Get32(q + 8), 1u);
  EXPECT_EQ(q[48], uint8_t((0xB3 << 3) | (0x60 >> 5)));
}

TEST(DibDecode, MalformedBlocksGiveEmptyBitmap) {
  Bytes good = MakeDib(4, 2, 24, 0, 0, {}, {Bytes(12, 1), Bytes(12, 2)});
  TBitmap bm;
  ASSERT_EQ(Decode(good, bm), 24);
  auto expectFail = [&](const Bytes& d, const char* what) {
    TBitmap b(3, 3, pf24bit);
    EXPECT_EQ(_CopyDIB2Bitmap(d.data(), d.size(), b), 0) << what;
    EXPECT_EQ(b.GetWidth(), 0) << what;
    EXPECT_EQ(b.GetHeight(), 0) << what;
  };
  expectFail(Bytes(good.begin(), good.begin() + 39), "truncated header");
  expectFail(Bytes(good.begin(), good.end() - 1), "truncated rows");
  Bytes pal1 = MakeDib(8, 1, 1, 0, 0, {}, {});
  expectFail(pal1, "palette missing");
  Bytes wide = good;
  wide[4] = 0xFF;
  wide[5] = 0xFF;
  wide[6] = 0xFF;
  wide[7] = 0x7F;
  expectFail(wide, "absurd width");
  Bytes tall = good;
  tall[8] = 0x00;
  tall[9] = 0x00;
  tall[10] = 0x00;
  tall[11] = 0x80;
  expectFail(tall, "absurd height");
  Bytes big = MakeDib(1 << 20, 1 << 20, 24, 0, 0, {}, {});
  expectFail(big, "size beyond the pixel limit");
  Bytes rle8 =
      MakeDib(4, 2, 8, 1, 2, Pal({CreateRGB(0, 0, 0), CreateRGB(9, 9, 9)}), {{0, 1, 0, 0}});
  expectFail(rle8, "RLE8");
  Bytes rle4 =
      MakeDib(4, 2, 4, 2, 2, Pal({CreateRGB(0, 0, 0), CreateRGB(9, 9, 9)}), {{0, 1, 0, 0}});
  expectFail(rle4, "RLE4");
  Bytes hugeSize = good;
  hugeSize[0] = 0xFF;
  hugeSize[1] = 0xFF;
  expectFail(hugeSize, "header size beyond the block");
  Bytes masksMissing = MakeDib(1, 1, 16, 3, 0, {}, {});
  expectFail(masksMissing, "bit-field masks missing");
  expectFail(MakeDib(2, 1, 7, 0, 0, {}, {Bytes(4, 0)}), "unknown bit count");
  expectFail(MakeDib(2, 1, 24, PVFourCC('X', 'Y', 'Z', 'W'), 0, {}, {Bytes(8, 0)}),
             "unknown FOURCC");
  TBitmap b;
  EXPECT_EQ(_CopyDIB2Bitmap(nullptr, 0, b), 0);
  HGLOBAL none;
  EXPECT_EQ(_CopyDIB2Bitmap(none, b), 0);
}

}  // namespace
}  // namespace pictavo
