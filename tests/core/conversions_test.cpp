// Grey weights, the colour hash set, reduction to one bit, expansion to 24
// bits, bit and rectangle copies, bitmap comparison, nearest palette colour
// and polygon copies.
#include "core/conversions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace pictavo {
namespace {

bool Bit(const uint8_t* row, int x) {
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

void Fill(TBitmap& bm, int x, int y, TRGB c) {
  uint8_t* p = bm.ScanLine(y) + x * 3;
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

TEST(ConversionsGrey, WeightsAndHash) {
  EXPECT_EQ(_RGBToGray(CreateRGB(255, 255, 255)), 252);
  EXPECT_EQ(_RGBToGray(CreateRGB(100, 0, 0)), 21);
  EXPECT_EQ(_RGBToGray(CreateRGB(0, 0, 14)), 0);  // 98 div 100

  THash1 h(13);
  EXPECT_EQ(h.Size(), 8192);
  EXPECT_TRUE(h.Insert(5));
  EXPECT_TRUE(h.Insert(5 + 8192));
  EXPECT_EQ(h.Count(), 2);
  EXPECT_TRUE(h.KeyPresent(5));
  EXPECT_TRUE(h.KeyPresent(5 + 8192));
  EXPECT_FALSE(h.Insert(5));
  EXPECT_FALSE(h.Insert(5 + 8192));
  EXPECT_FALSE(h.KeyPresent(5 + 2 * 8192));
  EXPECT_EQ(h.Count(), 2);
  // Many keys in one slot, then every one present exactly once.
  for (uint32_t i = 2; i < 300; ++i) EXPECT_TRUE(h.Insert(5 + i * 8192));
  for (uint32_t i = 0; i < 300; ++i) EXPECT_TRUE(h.KeyPresent(5 + i * 8192)) << i;
  for (uint32_t i = 0; i < 300; ++i) EXPECT_FALSE(h.Insert(5 + i * 8192)) << i;
  EXPECT_EQ(h.Count(), 300);
  EXPECT_FALSE(h.KeyPresent(6));
}

TEST(ConversionsOneBit, ExactTwoColours) {
  const TRGB light = CreateRGB(200, 180, 160), dark = CreateRGB(10, 20, 30);
  // The light colour is met first: bits are inverted so that 0 is the darker.
  TBitmap bm(11, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 11; ++x) Fill(bm, x, y, ((x + y) % 3 == 1) ? dark : light);
  TRGB c0, c1;
  auto out = _ConvertTo1bit(bm, c0, c1);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->GetPixelFormat(), pf1bit);
  EXPECT_EQ(out->GetWidth(), 11);
  EXPECT_EQ(c0, dark);
  EXPECT_EQ(c1, light);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 11; ++x)
      EXPECT_EQ(Bit(out->ScanLine(y), x), (x + y) % 3 != 1) << x << "," << y;

  // Dark first: no inversion needed.
  for (int x = 0; x < 11; ++x) Fill(bm, x, 0, (x == 4) ? light : dark);
  out = _ConvertTo1bit(bm, c0, c1);
  ASSERT_TRUE(out);
  EXPECT_EQ(c0, dark);
  EXPECT_EQ(c1, light);
  for (int x = 0; x < 11; ++x) EXPECT_EQ(Bit(out->ScanLine(0), x), x == 4);

  TBitmap one(4, 2, pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) Fill(one, x, y, light);
  EXPECT_FALSE(_ConvertTo1bit(one, c0, c1));
  Fill(one, 1, 1, dark);
  EXPECT_TRUE(_ConvertTo1bit(one, c0, c1));
  Fill(one, 3, 1, CreateRGB(1, 2, 3));
  EXPECT_FALSE(_ConvertTo1bit(one, c0, c1));
  TBitmap pal(4, 2, pf8bit);
  EXPECT_FALSE(_ConvertTo1bit(pal, c0, c1));
}

// The 8 x 8 ordered-dither (Bayer) matrix built by its recursive rule:
// B(2n)[i][j] = 4 B(n)[i mod n][j mod n] + B(2)[i div n][j div n], B(2) = {{0, 2}, {3, 1}}.
std::vector<std::vector<int>> BayerMatrix(int size) {
  std::vector<std::vector<int>> m = {{0}};
  for (int n = 1; n < size; n *= 2) {
    static const int b2[2][2] = {{0, 2}, {3, 1}};
    std::vector<std::vector<int>> next(2 * n, std::vector<int>(2 * n));
    for (int i = 0; i < 2 * n; ++i)
      for (int j = 0; j < 2 * n; ++j) next[i][j] = 4 * m[i % n][j % n] + b2[i / n][j / n];
    m = next;
  }
  return m;
}

TEST(ConversionsOneBit, OrderedDither) {
  const auto M = BayerMatrix(8);
  const int w = 21, h = 10;
  TBitmap bm(w, h, pf24bit);
  std::vector<TRGB> src;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t v = uint8_t((x * 12 + y * 5) & 255);
      TRGB c = CreateRGB(v, uint8_t(255 - v), uint8_t(v / 2 + y));
      Fill(bm, x, y, c);
      src.push_back(c);
    }
  std::vector<int> reported;
  TProgressRec progress;
  progress.ProgressEvent = [&](TObject*, int per) { reported.push_back(per); };
  _ConvertToBWOrdered(bm, progress);
  ASSERT_EQ(bm.GetPixelFormat(), pf1bit);
  ASSERT_EQ(bm.GetWidth(), w);
  ASSERT_EQ(bm.GetHeight(), h);
  // A pixel is white when its grey level in 0..63 (weights 21, 71, 7 per
  // cent of red, green, blue, over 4) exceeds the matrix entry at (x, y).
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TRGB& c = src[size_t(y * w + x)];
      int g = (c.r * 21 + c.g * 71 + c.b * 7) / 400;
      EXPECT_EQ(Bit(bm.ScanLine(y), x), M[x & 7][y & 7] < g) << x << "," << y;
    }
  // One report per row, Trunc((y + 1) * 100 / (10 + 0.5)) worked out by hand.
  EXPECT_EQ(reported, (std::vector<int>{9, 19, 28, 38, 47, 57, 66, 76, 85, 95}));
}

// A flat grey of level g lights exactly g of the 64 pixels of every tile.
TEST(ConversionsOneBit, OrderedDitherOfFlatGreysKeepsTheLevel) {
  for (int v : {0, 1, 4, 5, 100, 129, 200, 254, 255}) {
    TBitmap bm(16, 8, pf24bit);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 16; ++x) Fill(bm, x, y, CreateRGB(uint8_t(v), uint8_t(v), uint8_t(v)));
    TProgressRec progress;
    _ConvertToBWOrdered(bm, progress);
    ASSERT_EQ(bm.GetPixelFormat(), pf1bit);
    const int level = 99 * v / 400;  // (21 + 71 + 7) v / 400
    for (int tile = 0; tile < 2; ++tile) {
      int white = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) white += Bit(bm.ScanLine(y), tile * 8 + x) ? 1 : 0;
      EXPECT_EQ(white, level) << "grey " << v << " tile " << tile;
    }
  }
}

TEST(ConversionsOneBit, ExpandToTwentyFour) {
  for (int w : {1, 7, 8, 9, 17}) {
    TBitmap src(w, 2, pf1bit);
    for (int y = 0; y < 2; ++y)
      for (int i = 0; i < src.RowBytes(); ++i)
        src.ScanLine(y)[i] = uint8_t(0x5B * (i + 1) + y * 0x31);
    TBitmap dst;
    _Conv1to24(src, dst);
    ASSERT_EQ(dst.GetPixelFormat(), pf24bit);
    ASSERT_EQ(dst.GetWidth(), w);
    ASSERT_EQ(dst.GetHeight(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t v = Bit(src.ScanLine(y), x) ? 255 : 0;
        const uint8_t* p = dst.ScanLine(y) + x * 3;
        EXPECT_EQ(p[0], v);
        EXPECT_EQ(p[1], v);
        EXPECT_EQ(p[2], v) << "w=" << w << " x=" << x;
      }
  }
}

TEST(ConversionsCopy, BitsAtAnyOffset) {
  uint8_t source[8];
  for (int i = 0; i < 8; ++i) source[i] = uint8_t(0x9D * (i + 3));
  for (int destBit : {0, 3, 5, 8, 13})
    for (int sourceBit : {0, 1, 3, 6, 8, 11})
      for (int count : {1, 2, 7, 8, 9, 19, 30}) {
        uint8_t dest[8], before[8];
        for (int i = 0; i < 8; ++i) dest[i] = before[i] = uint8_t(0x3C ^ (i * 0x47));
        _CopyBits(dest, source, destBit, count, sourceBit);
        for (int b = 0; b < 64; ++b) {
          bool want = (b >= destBit && b < destBit + count) ? Bit(source, sourceBit + b - destBit)
                                                            : Bit(before, b);
          ASSERT_EQ(Bit(dest, b), want)
              << destBit << " " << sourceBit << " " << count << " bit " << b;
        }
      }
}

TEST(ConversionsCopy, RectanglesAndWholeBitmaps) {
  TBitmap src(7, 5, pf24bit);
  for (int y = 0; y < 5; ++y)
    for (int i = 0; i < src.RowBytes(); ++i) src.ScanLine(y)[i] = uint8_t(y * 31 + i * 7 + 1);
  TBitmap rect;
  _CopyBitmapRect(src, rect, 2, 1, 5, 4);
  ASSERT_EQ(rect.GetPixelFormat(), pf24bit);
  ASSERT_EQ(rect.GetWidth(), 3);
  ASSERT_EQ(rect.GetHeight(), 3);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(std::memcmp(rect.ScanLine(y), src.ScanLine(y + 1) + 6, 9), 0);
  _CopyBitmapRect(src, rect, 3, 2, 0, 99);  // 0 and oversize mean the full extent
  ASSERT_EQ(rect.GetWidth(), 4);
  ASSERT_EQ(rect.GetHeight(), 3);
  EXPECT_EQ(std::memcmp(rect.ScanLine(2), src.ScanLine(4) + 9, 12), 0);

  TBitmap mono(21, 3, pf1bit);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < mono.RowBytes(); ++i)
      mono.ScanLine(y)[i] = uint8_t(0xA7 * (i + 1) + y * 0x1D);
  _CopyBitmapRect(mono, rect, 5, 1, 18, 3);
  ASSERT_EQ(rect.GetPixelFormat(), pf1bit);
  ASSERT_EQ(rect.GetWidth(), 13);
  ASSERT_EQ(rect.GetHeight(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 13; ++x)
      EXPECT_EQ(Bit(rect.ScanLine(y), x), Bit(mono.ScanLine(y + 1), x + 5));

  // Whole copies keep the row padding; the comparison looks at it too.
  TBitmap copy;
  PVCopyBitmap(src, copy);
  ASSERT_EQ(copy.GetWidth(), 7);
  ASSERT_EQ(copy.RowBytes(), 24);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(std::memcmp(copy.ScanLine(y), src.ScanLine(y), 24), 0);
  EXPECT_TRUE(_BitmapCompareX(src, copy));
  copy.ScanLine(3)[23] ^= 1;  // a padding byte
  EXPECT_FALSE(_BitmapCompareX(src, copy));
  auto clone = PVCloneBitmap(src);
  EXPECT_TRUE(_BitmapCompareX(src, *clone));
  TBitmap smaller(7, 4, pf24bit);
  EXPECT_FALSE(_BitmapCompareX(src, smaller));

  TBitmap empty;
  empty.SetPixelFormat(pf1bit);
  PVCopyBitmap(empty, copy);
  EXPECT_EQ(copy.GetWidth(), 1);
  EXPECT_EQ(copy.GetHeight(), 1);
  EXPECT_EQ(copy.GetPixelFormat(), pf1bit);
}

TEST(ConversionsPalette, NearestColour) {
  const TRGB pal[4] = {CreateRGB(10, 10, 10), CreateRGB(20, 0, 10), CreateRGB(0, 20, 10),
                       CreateRGB(200, 0, 0)};
  EXPECT_EQ(_GetSimilColor(pal, 4, CreateRGB(190, 5, 0)), 3);
  // (10, 10, 10) is 20 away from the first three entries: the first wins.
  EXPECT_EQ(_GetSimilColor(pal, 4, CreateRGB(10, 10, 30)), 0);
  EXPECT_EQ(_GetSimilColor(pal + 1, 2, CreateRGB(10, 10, 10)), 0);
  EXPECT_EQ(_GetSimilColor(pal, 0, CreateRGB(200, 0, 0)), 0);
  EXPECT_EQ(_GetSimilColor(nullptr, 0, CreateRGB(1, 2, 3)), 0);
}

TEST(ConversionsCopy, PolygonOnlyInside) {
  const int n = 10;
  TBitmap src(n, n, pf24bit), dest(n, n, pf24bit);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      Fill(src, x, y, CreateRGB(uint8_t(x * 20 + 5), uint8_t(y * 20 + 5), 77));
      Fill(dest, x, y, CreateRGB(1, 2, 3));
    }
  // A right triangle, then after the separator a 3 x 3 square; source drawn at (1, 0).
  const TPoint poly[] = {{0, 0}, {8, 0}, {0, 8}, {0xFFFFF, 0xFFFFF},
                         {6, 6}, {9, 6}, {9, 9}, {6, 9}};
  _CopyPolygonBitmap(dest, src, 1, 0, poly, 8);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const uint8_t* p = dest.ScanLine(y) + x * 3;
      bool square = x >= 6 && x < 9 && y >= 6 && y < 9;
      bool tri = x + y <= 6;                // pixel centre inside the triangle
      bool drawn = x >= 1;                  // the source starts at column 1
      if (x + y == 7 && !square) continue;  // centres on the slanted edge
      if ((tri || square) && drawn) {
        EXPECT_EQ(p[2], (x - 1) * 20 + 5) << x << "," << y;
        EXPECT_EQ(p[1], y * 20 + 5) << x << "," << y;
        EXPECT_EQ(p[0], 77);
      } else {
        EXPECT_EQ(p[2], 1) << x << "," << y;
        EXPECT_EQ(p[1], 2) << x << "," << y;
        EXPECT_EQ(p[0], 3) << x << "," << y;
      }
    }
}

// Even-odd rule on the pixel centre, in exact integers: the centre
// (x + 1/2, y + 1/2) is inside when an odd number of edges, each spanning the
// centre's row half-open from its upper end, cross that row at or left of it.
bool CentreInside(const std::vector<TPoint>& poly, int x, int y) {
  int crossings = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    TPoint a = poly[i], b = poly[(i + 1) % poly.size()];
    if (a.y == b.y) continue;
    if (a.y > b.y) std::swap(a, b);
    const int64_t yc2 = 2 * int64_t(y) + 1;
    if (yc2 < 2 * int64_t(a.y) || yc2 >= 2 * int64_t(b.y)) continue;
    const int64_t dy = b.y - a.y, dx = b.x - a.x;
    // crossing x = a.x + (yc - a.y) dx / dy  <=  x + 1/2
    if (2 * dy * a.x + (yc2 - 2 * int64_t(a.y)) * dx <= (2 * int64_t(x) + 1) * dy) ++crossings;
  }
  return crossings % 2 == 1;
}

TEST(ConversionsCopy, PolygonPixelsFollowTheCentreRule) {
  const int w = 24, h = 20;
  TBitmap src(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      Fill(src, x, y, CreateRGB(uint8_t(x * 10 + 3), uint8_t(y * 10 + 3), 200));
  const std::vector<std::vector<TPoint>> shapes = {
      {{12, 1}, {17, 18}, {2, 7}, {22, 7}, {6, 18}},  // a star: its centre is outside
      {{-30, -5}, {40, 3}, {5, 60}},                  // vertices far outside the bitmap
      {{3, 3}, {10, 4}, {9, 11}, {4, 9}, {6, 6}},     // slanted sides with half-pixel ties
  };
  for (const auto& shape : shapes) {
    TBitmap dest(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) Fill(dest, x, y, CreateRGB(1, 2, 3));
    _CopyPolygonBitmap(dest, src, 0, 0, shape.data(), int(shape.size()));
    int inside = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool want = CentreInside(shape, x, y);
        inside += want;
        const uint8_t* p = dest.ScanLine(y) + x * 3;
        EXPECT_EQ(p[2], want ? x * 10 + 3 : 1) << shape[0].x << ": " << x << "," << y;
        EXPECT_EQ(p[1], want ? y * 10 + 3 : 2) << shape[0].x << ": " << x << "," << y;
      }
    EXPECT_GT(inside, 10);
    EXPECT_LT(inside, w * h);
  }
}

}  // namespace
}  // namespace pictavo

namespace pictavo {
namespace {

TEST(ConversionsOneBit, BilevelReductionForWriters) {
  const TRGB red = CreateRGB(200, 0, 0), navy = CreateRGB(0, 0, 90);
  TBitmap two(10, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) Fill(two, x, y, (x * y) % 4 == 1 ? red : navy);
  TRGB c0, c1;
  TProgressRec progress;
  auto bits = PVReduceToBilevel(two, c0, c1, progress);
  ASSERT_TRUE(bits);
  ASSERT_EQ(bits->GetPixelFormat(), pf1bit);
  // Navy (grey 6) is darker than red (grey 42): bit 0 navy, bit 1 red.
  EXPECT_EQ(c0, navy);
  EXPECT_EQ(c1, red);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(Bit(bits->ScanLine(y), x), (x * y) % 4 == 1) << x << "," << y;

  // Three colours: the ordered dither to black and white, row reports included.
  TBitmap three(9, 4, pf24bit);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) Fill(three, x, y, CreateRGB(uint8_t(x * 28), uint8_t(y * 60), 128));
  TBitmap expected;
  expected.Assign(three);
  TProgressRec quiet;
  _ConvertToBWOrdered(expected, quiet);
  std::vector<int> reported;
  TProgressRec counting;
  counting.ProgressEvent = [&](TObject*, int per) { reported.push_back(per); };
  bits = PVReduceToBilevel(three, c0, c1, counting);
  ASSERT_TRUE(bits);
  ASSERT_EQ(bits->GetPixelFormat(), pf1bit);
  EXPECT_EQ(c0, CreateRGB(0, 0, 0));
  EXPECT_EQ(c1, CreateRGB(255, 255, 255));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(Bit(bits->ScanLine(y), x), Bit(expected.ScanLine(y), x));
  EXPECT_EQ(reported.size(), 4u);
  // The source is left as it was.
  EXPECT_EQ(three.GetPixelFormat(), pf24bit);
}

}  // namespace
}  // namespace pictavo
