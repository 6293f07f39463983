#include "core/mask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {
namespace {

int CountSet(const TPVMask& m) {
  int n = 0;
  for (int y = 0; y < m.Height; ++y)
    for (int x = 0; x < m.Width; ++x) n += m.GetPixel(x, y) != 0;
  return n;
}

TEST(PVMask, AllocateLayoutAndBox) {
  TPVMask m;
  EXPECT_EQ(m.Width, 0);
  EXPECT_TRUE(m.Bits.empty());
  m.AllocateBits(9, 3, 1);
  EXPECT_EQ(m.RowLen, 4);
  EXPECT_EQ(m.Bits.size(), 12u);
  EXPECT_EQ(CountSet(m), 0);
  EXPECT_EQ(m.X1, 2147483647);
  EXPECT_EQ(m.Y1, 2147483647);
  EXPECT_EQ(m.X2, 0);
  EXPECT_EQ(m.Y2, 0);
  // Pixel 8 of row 0 is the top bit of the second byte of the last stored row.
  m.SetPixel(8, 0, 1);
  EXPECT_EQ(m.Bits[2 * 4 + 1], 0x80);
  m.SetPixel(0, 2, 1);
  EXPECT_EQ(m.Bits[0], 0x80);
  EXPECT_EQ(m.X1, 0);
  EXPECT_EQ(m.Y2, 2);
  m.SetPixel(8, 0, 0);
  EXPECT_EQ(m.Bits[9], 0);
  m.AllocateBits(5, 2, 8);
  EXPECT_EQ(m.RowLen, 5);
  m.SetPixel(3, 0, 0x1C8);  // low byte
  EXPECT_EQ(m.Bits[5 + 3], 0xC8);
  EXPECT_EQ(m.GetPixel(3, 0), 0xC8);
  m.AllocateBits(5, 2, 4);  // other depths have no storage
  EXPECT_TRUE(m.Bits.empty());
  EXPECT_EQ(m.GetPixel(0, 0), 0);
  m.FreeBits();
  EXPECT_EQ(m.Width + m.Height + m.BitsPerPixel + m.RowLen, 0);
}

TEST(PVMask, OutsideReadsZeroAndWritesStayInStorage) {
  TPVMask m;
  m.AllocateBits(8, 8, 1);
  EXPECT_EQ(m.GetPixel(8, 0), 0);
  EXPECT_EQ(m.GetPixel(0, 8), 0);
  EXPECT_EQ(m.GetPixel(-1, 0), 0);
  EXPECT_FALSE(m.IsPointInside(100, 100));
  m.SetPixel(-1, 3, 1);  // refused
  EXPECT_EQ(CountSet(m), 0);
  EXPECT_EQ(m.X1, 2147483647);
  m.SetPixel(10, 2, 1);  // grows to hold the pixel
  EXPECT_GE(m.Width, 11);
  EXPECT_TRUE(m.IsPointInside(10, 2));
  m.DrawHorizontalLine(1, -50, 1000, 1);  // clipped to the row
  EXPECT_EQ(CountSet(m), 1 + m.Width);
  m.DrawHorizontalLine(1, 3, 2, 0);  // x2 < x1: nothing
  m.DrawHorizontalLine(1, 0, 5, -1);
  m.DrawHorizontalLine(1, 0, 5, m.Height);
  EXPECT_EQ(CountSet(m), 1 + m.Width);
}

TEST(PVMask, FillAndResizeKeepTopAlignedRows) {
  TPVMask m;
  m.AllocateBits(16, 4, 1);
  m.Fill(255);
  EXPECT_EQ(CountSet(m), 64);
  m.Fill(0);
  m.SetPixel(3, 0, 1);
  m.SetPixel(12, 1, 1);
  int x2 = m.X2;
  m.ResizeBits(9, 6);
  EXPECT_EQ(m.X2, x2);  // the box is kept
  EXPECT_TRUE(m.IsPointInside(3, 0));
  EXPECT_EQ(CountSet(m), 1);
  m.ResizeBits(16, 6);  // pixel 12 does not come back
  EXPECT_EQ(CountSet(m), 1);
  EXPECT_TRUE(m.IsPointInside(3, 0));
}

TEST(PVMask, RectangleFillsHalfOpenSpans) {
  TPVMask m;
  m.AllocateBits(40, 40, 1);
  std::vector<TPoint> r = {{10, 10}, {20, 10}, {20, 30}, {10, 30}};
  m.DrawPolygon(1, r.data(), 4);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(m.GetPixel(x, y), (x >= 10 && x <= 19 && y >= 10 && y <= 29) ? 1 : 0) << x << y;
  EXPECT_EQ(m.X1, 10);
  EXPECT_EQ(m.Y1, 10);
  EXPECT_EQ(m.X2, 20);
  EXPECT_EQ(m.Y2, 30);
  m.DrawPolygon(7, r.data(), 4);  // 8-bit mask takes the value
  TPVMask w;
  w.AllocateBits(40, 40, 8);
  w.DrawPolygon(7, r.data(), 4);
  EXPECT_EQ(w.GetPixel(15, 15), 7);
  EXPECT_EQ(w.GetPixel(20, 15), 0);
}

TEST(PVMask, SubPolygonsUnionAndDegenerateOnes) {
  TPVMask m;
  m.AllocateBits(30, 30, 1);
  const TPoint brk{kPVPolygonBreak, kPVPolygonBreak};
  std::vector<TPoint> two = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, brk,
                             {5, 5}, {15, 5}, {15, 15}, {5, 15}};
  m.DrawPolygon(1, two.data(), int(two.size()));
  EXPECT_EQ(CountSet(m), 100 + 100 - 25);
  EXPECT_TRUE(m.IsPointInside(7, 7));  // the overlap is kept, not cancelled
  // One point, two points, trailing and doubled markers add nothing.
  std::vector<TPoint> degenerate = {{3, 3}, brk, {4, 4}, {9, 9}, brk, brk};
  m.DrawPolygon(1, degenerate.data(), int(degenerate.size()));
  EXPECT_EQ(CountSet(m), 0);
  std::vector<TPoint> trailing = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, brk};
  m.DrawPolygon(1, trailing.data(), int(trailing.size()));
  EXPECT_EQ(CountSet(m), 16);
  std::vector<TPoint> flat = {{0, 5}, {20, 5}, {10, 5}};
  m.DrawPolygon(1, flat.data(), 3);
  EXPECT_EQ(CountSet(m), 0);
}

TEST(PVMask, TriangleEdgeRounding) {
  // Edge (2,0)-(9,4): x = 2 + k*7/4 -> 2, 4, 5 (5.5 goes towards 2), 7.
  // Edge (9,4)-(2,8): x = 9 - k*7/4 -> 9, 7, 6 (5.5 goes towards 9), 4.
  // The left edge is x = 2; spans run to the column before the right edge.
  TPVMask m;
  m.AllocateBits(12, 10, 1);
  std::vector<TPoint> tri = {{2, 0}, {9, 4}, {2, 8}};
  m.DrawPolygon(1, tri.data(), 3);
  const int right[10] = {2, 4, 5, 7, 9, 7, 6, 4, 2, 2};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x)
      EXPECT_EQ(m.GetPixel(x, y), (x >= 2 && x < right[y]) ? 1 : 0) << x << "," << y;
}

// Random simple (star-shaped) polygons against an independent even-odd test.
// The pixel rule: pixel (x, y) is inside when the point (x + 0.5, y) lies
// inside, rows taken as y + epsilon (an edge holds rows ytop..ybottom-1).
// Where a crossing hits x + 0.5 exactly the rounding direction decides, so
// those pixels are not compared.
TEST(PVMask, MatchesEvenOddOracleOnRandomPolygons) {
  std::mt19937 rng(12345);
  int64_t compared_inside = 0, ties = 0;
  for (int round = 0; round < 40; ++round) {
    int n = 3 + int(rng() % 12);
    std::vector<double> ang(static_cast<size_t>(n));
    for (double& a : ang) a = (rng() % 100000) / 100000.0 * 6.283185307179586;
    std::sort(ang.begin(), ang.end());
    std::vector<TPoint> p;
    for (double a : ang) {
      double r = 5 + rng() % 25;
      p.push_back({int(32 + r * std::cos(a)), int(32 + r * std::sin(a))});
    }
    TPVMask m;
    m.AllocateBits(66, 66, 1);
    m.DrawPolygon(1, p.data(), n);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        bool inside = false, tie = false;
        for (int i = 0; i < n; ++i) {
          TPoint a = p[size_t(i)], b = p[size_t((i + 1) % n)];
          if (a.y == b.y) continue;
          if (a.y > b.y) std::swap(a, b);
          if (y < a.y || y >= b.y) continue;
          // crossing xc = a.x + (y - a.y) * dx / dy against x + 0.5, doubled
          int64_t dy = b.y - a.y, lhs = 2 * (a.x * dy + int64_t(y - a.y) * (b.x - a.x));
          int64_t rhs = (2 * x + 1) * dy;
          if (lhs == rhs) tie = true;
          if (lhs < rhs) inside = !inside;
        }
        if (!tie) {
          ASSERT_EQ(m.GetPixel(x, y), inside ? 1 : 0) << round << ":" << x << "," << y;
          compared_inside += inside;
        } else {
          ++ties;
        }
      }
  }
  // The comparison covers the bulk of the polygons, ties are rare.
  EXPECT_GT(compared_inside, 40 * 100);
  EXPECT_LT(ties, compared_inside / 20);
}

// Rows above the storage are passed over by jumping edges; the result must
// equal drawing the same polygon lower down where every row is stepped.
TEST(PVMask, RowsAboveStorageMatchSteppedRows) {
  std::mt19937 rng(99);
  for (int round = 0; round < 60; ++round) {
    int n = 3 + int(rng() % 10);
    std::vector<TPoint> p, q;
    for (int i = 0; i < n; ++i) {
      TPoint v{int(rng() % 60), int(rng() % 200) - 150};  // crossing edges allowed
      p.push_back(v);
      q.push_back({v.x, v.y + 150});
    }
    TPVMask a, b;
    a.AllocateBits(64, 60, 1);
    b.AllocateBits(64, 210, 1);
    a.DrawPolygon(1, p.data(), n);
    b.DrawPolygon(1, q.data(), n);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y + 150)) << round << ":" << x << "," << y;
  }
}

TEST(PVMask, GrowthAtImageEdgeAndFarVertices) {
  TPVMask m;
  m.AllocateBits(10, 8, 1);
  std::vector<TPoint> all = {{0, 0}, {10, 0}, {10, 8}, {0, 8}};
  m.DrawPolygon(1, all.data(), 4);
  EXPECT_EQ(m.Width, 11);
  EXPECT_EQ(m.Height, 9);
  EXPECT_EQ(CountSet(m), 80);
  // A vertex far outside: the mask does not grow beyond the pixel limit and
  // the visible part is still filled.
  std::vector<TPoint> far = {{0, 0}, {2000000000, 0}, {2000000000, 4}, {0, 4}};
  m.DrawPolygon(1, far.data(), 4);
  EXPECT_EQ(m.Width, 11);
  EXPECT_EQ(CountSet(m), 44);
}

void Gradient(TBitmap& b) {
  for (int y = 0; y < b.GetHeight(); ++y) {
    uint8_t* r = b.ScanLine(y);
    for (int x = 0; x < b.GetWidth(); ++x) {
      r[3 * x] = uint8_t(x * 7);
      r[3 * x + 1] = uint8_t(y * 11);
      r[3 * x + 2] = uint8_t(x + y);
    }
  }
}

TEST(PVMask, CopyBitmapOneBit24AndOneBitAndToBox) {
  TPVMask m;
  m.AllocateBits(10, 8, 1);
  std::vector<TPoint> r = {{2, 1}, {6, 1}, {6, 4}, {2, 4}};
  m.DrawPolygon(1, r.data(), 4);
  TBitmap src(10, 8, pf24bit), dst(10, 8, pf24bit);
  Gradient(src);
  m.CopyBitmap(dst, src, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(dst.GetPixel(x, y), m.IsPointInside(x, y) ? src.GetPixel(x, y) : clWhite);
  TBitmap box(m.X2 - m.X1 + 1, m.Y2 - m.Y1 + 1, pf24bit);
  m.CopyBitmap(box, src, true);
  EXPECT_EQ(box.GetPixel(0, 0), src.GetPixel(2, 1));
  EXPECT_EQ(box.GetPixel(3, 2), src.GetPixel(5, 3));
  EXPECT_EQ(box.GetPixel(4, 0), clWhite);  // column 6 is not selected
  // Different sizes without ToBox: nothing is copied.
  TBitmap other(9, 8, pf24bit);
  m.CopyBitmap(other, src, false);
  EXPECT_EQ(other.GetPixel(3, 2), clWhite);
  // Mixed formats: nothing.
  TBitmap mono(10, 8, pf1bit);
  m.CopyBitmap(mono, src, false);
  EXPECT_EQ(mono.GetPixel(3, 2), clWhite);
  // 1-bit to 1-bit copies the bits.
  TBitmap s1(10, 8, pf1bit), d1(10, 8, pf1bit);
  s1.Canvas().Brush().SetColor(clBlack);
  s1.Canvas().FillRect(Rect(0, 0, 4, 8));
  m.CopyBitmap(d1, s1, false);
  EXPECT_EQ(d1.ScanLine(2)[0], 0xCF);  // pixels 2, 3 black; others white
  EXPECT_EQ(d1.ScanLine(0)[0], 0xFF);
}

TEST(PVMask, CopyBitmapBoxReachingBeyondImage) {
  TPVMask m;
  m.AllocateBits(6, 5, 1);
  std::vector<TPoint> all = {{0, 0}, {6, 0}, {6, 5}, {0, 5}};
  m.DrawPolygon(1, all.data(), 4);  // box 0..6 x 0..5, one beyond the image
  TBitmap src(6, 5, pf24bit), dst(6, 5, pf24bit);
  Gradient(src);
  m.CopyBitmap(dst, src, false);
  for (int y = 0; y < 5; ++y) EXPECT_EQ(dst.ScanLine(y)[18], 0);  // padding kept
  EXPECT_EQ(dst.GetPixel(5, 4), src.GetPixel(5, 4));
  TBitmap box(7, 6, pf24bit);
  m.CopyBitmap(box, src, true);
  EXPECT_EQ(box.GetPixel(5, 4), src.GetPixel(5, 4));
  EXPECT_EQ(box.GetPixel(6, 5), clWhite);
}

TEST(PVMask, EightBitBlendShiftsArithmetically) {
  TPVMask m;
  m.AllocateBits(6, 1, 8);
  const int w[6] = {128, 128, 255, 255, 1, 1};
  for (int x = 0; x < 6; ++x) m.SetPixel(x, 0, w[x]);
  TBitmap src(6, 1, pf24bit), dst(6, 1, pf24bit);
  const uint8_t s[6] = {200, 100, 255, 0, 13, 10}, d[6] = {100, 200, 0, 255, 10, 13};
  for (int x = 0; x < 6; ++x) {
    std::fill_n(src.ScanLine(0) + 3 * x, 3, s[x]);
    std::fill_n(dst.ScanLine(0) + 3 * x, 3, d[x]);
  }
  m.CopyBitmap(dst, src, false);
  // d + floor((s - d) * m / 256): 150, 150, 254 (255 is no full copy), 0,
  // 10 (3/256 rounds down), 12 (-3/256 rounds down).
  const uint8_t expect[6] = {150, 150, 254, 0, 10, 12};
  for (int x = 0; x < 6; ++x)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(dst.ScanLine(0)[3 * x + c], expect[x]) << x;
  // An 8-bit mask on 1-bit bitmaps copies where the weight is non-zero.
  TPVMask m8;
  m8.AllocateBits(8, 1, 8);
  m8.SetPixel(1, 0, 3);
  m8.SetPixel(6, 0, 1);
  TBitmap s1(8, 1, pf1bit), d1(8, 1, pf1bit);
  s1.ScanLine(0)[0] = 0x00;
  m8.CopyBitmap(d1, s1, false);
  EXPECT_EQ(d1.ScanLine(0)[0], 0xBD);
}

TEST(PVMask, InvertCanvasXorsSelectedPixels) {
  TPVMask m;
  m.AllocateBits(8, 8, 1);
  std::vector<TPoint> r = {{1, 2}, {5, 2}, {5, 7}, {1, 7}};
  m.DrawPolygon(1, r.data(), 4);
  TBitmap b(8, 8, pf24bit);
  Gradient(b);
  TBitmap orig(8, 8, pf24bit);
  orig.Assign(b);
  m.InvertCanvas(b.Canvas(), 0, 0, 8, 8, 0, 0, 8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(b.GetPixel(x, y),
                m.IsPointInside(x, y) ? orig.GetPixel(x, y) ^ 0xFFFFFF : orig.GetPixel(x, y));
  // A source rectangle off the origin: canvas (i, j) follows mask (2+i, 3+j).
  TBitmap c(4, 4, pf24bit);
  Gradient(c);
  orig.Assign(c);
  m.InvertCanvas(c.Canvas(), 0, 0, 4, 4, 2, 3, 4, 4);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(c.GetPixel(i, j), m.IsPointInside(2 + i, 3 + j) ? orig.GetPixel(i, j) ^ 0xFFFFFF
                                                                : orig.GetPixel(i, j))
          << i << "," << j;
}

}  // namespace
}  // namespace pictavo
