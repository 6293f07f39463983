// Lines of the canvas: width-1 pixel steps, end points, dashes, wide pens,
// pen modes and the coordinate limits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {
namespace {

using Pixels = std::set<std::pair<int, int>>;

void Fill(TBitmap& b, TColor c) {
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) b.SetPixel(x, y, c);
}

Pixels Painted(const TBitmap& b, TColor back) {
  Pixels p;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixel(x, y) != back) p.insert({x, y});
  return p;
}

Pixels Line(int w, int h, TPoint a, TPoint b) {
  TBitmap bmp(w, h, pf24bit);
  Fill(bmp, clWhite);
  bmp.Canvas().MoveTo(a.x, a.y);
  bmp.Canvas().LineTo(b.x, b.y);
  return Painted(bmp, clWhite);
}

TEST(CanvasLine, HandComputedStepsAndEndPointExcluded) {
  // (0,0)->(5,2): exact y = 0, 0.4, 0.8, 1.2, 1.6; nearest 0 0 1 1 2.
  EXPECT_EQ(Line(13, 11, {0, 0}, {5, 2}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
  // (1,1)->(3,7): y-major, x = 1 + i/3: 1 1.33 1.67 2 2.33 2.67 -> 1 1 2 2 2 3.
  EXPECT_EQ(Line(13, 11, {1, 1}, {3, 7}), (Pixels{{1, 1}, {1, 2}, {2, 3}, {2, 4}, {2, 5}, {3, 6}}));
  // Exact halves go to the smaller coordinate: (0,0)->(4,2) has y 0, .5, 1, 1.5.
  EXPECT_EQ(Line(13, 11, {0, 0}, {4, 2}), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
  // ... in both directions, so the reverse line lights the same inner pixels.
  EXPECT_EQ(Line(13, 11, {4, 2}, {0, 0}), (Pixels{{4, 2}, {3, 1}, {2, 1}, {1, 0}}));
  // The diagonal is x-major and exact.
  EXPECT_EQ(Line(13, 11, {6, 6}, {3, 3}), (Pixels{{6, 6}, {5, 5}, {4, 4}}));
  // Zero length: nothing.  One step: only the start pixel.
  EXPECT_TRUE(Line(13, 11, {2, 2}, {2, 2}).empty());
  EXPECT_EQ(Line(13, 11, {2, 2}, {3, 2}), (Pixels{{2, 2}}));
}

TEST(CanvasLine, AwkwardSurfaceSizes) {
  // A 1x1 surface holds only the start pixel of any line leaving it.
  EXPECT_EQ(Line(1, 1, {0, 0}, {9, 4}), (Pixels{{0, 0}}));
  // 1x7 and 7x1: a vertical or horizontal line stops before its end.
  EXPECT_EQ(Line(1, 7, {0, 0}, {0, 6}).size(), 6u);
  EXPECT_EQ(Line(7, 1, {6, 0}, {-3, 0}).size(), 7u);
  EXPECT_EQ(Line(7, 1, {6, 0}, {0, 0}).count({0, 0}), 0u);
}

TEST(CanvasLine, LineDDAVisitsThePixelsOfLineTo) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-5, 40);
  for (int k = 0; k < 200; ++k) {
    TPoint a(d(rng), d(rng)), b(d(rng), d(rng));
    std::vector<std::pair<int, int>> seen;
    LineDDA(a.x, a.y, b.x, b.y, [&](int x, int y) { seen.push_back({x, y}); });
    int n = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
    ASSERT_EQ(int(seen.size()), n);
    if (n) {
      EXPECT_EQ(seen.front(), std::make_pair(a.x, a.y));
    }
    Pixels inside;
    for (auto& p : seen)
      if (p.first >= 0 && p.second >= 0 && p.first < 36 && p.second < 36) inside.insert(p);
    EXPECT_EQ(Line(36, 36, a, b), inside) << a.x << "," << a.y << " " << b.x << "," << b.y;
    // Every step moves one pixel along the longer axis.
    for (size_t i = 1; i < seen.size(); ++i) {
      EXPECT_LE(std::abs(seen[i].first - seen[i - 1].first), 1);
      EXPECT_LE(std::abs(seen[i].second - seen[i - 1].second), 1);
    }
  }
}

TEST(CanvasLine, DirectAndSpanPathsAgree) {
  // Unclipped copy-mode lines and fills are written straight into the rows;
  // a clip covering everything sends the same work through the span painter.
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> d(-20, 60);
  for (TPixelFormat f : {pf24bit, pf32bit}) {
    TBitmap direct(41, 37, f), spans(41, 37, f);
    spans.Canvas().IntersectClipRect(Rect(-100, -100, 100, 100));
    for (int k = 0; k < 100; ++k) {
      TPoint a(d(rng), d(rng)), b(d(rng), d(rng));
      TColor c = RGB(uint8_t(k * 37), uint8_t(k * 11), uint8_t(255 - k));
      for (TBitmap* t : {&direct, &spans}) {
        t->Canvas().Pen().SetColor(c);
        t->Canvas().Pen().SetWidth(1 + k % 4);
        t->Canvas().Brush().SetColor(~c & 0xFFFFFF);
        t->Canvas().MoveTo(a.x, a.y);
        t->Canvas().LineTo(b.x, b.y);
        if (k % 10 == 0) t->Canvas().Ellipse(a.x, a.y, b.x, b.y);
      }
    }
    for (int y = 0; y < 37; ++y)
      for (int x = 0; x < 41; ++x) ASSERT_EQ(direct.GetPixel(x, y), spans.GetPixel(x, y));
  }
}

TEST(CanvasLine, PenPositionAndPolylineVertices) {
  TBitmap b(13, 11, pf24bit);
  Fill(b, clBlack);
  TCanvas& c = b.Canvas();
  c.Pen().SetColor(clWhite);
  c.Pen().SetMode(pmXor);
  c.MoveTo(1, 1);
  c.LineTo(8, 1);
  EXPECT_EQ(c.GetPenPos(), Point(8, 1));
  c.LineTo(8, 9);
  c.LineTo(1, 1);
  // A closed path of XOR lines: every pixel of the outline flipped once.
  for (int x = 1; x < 8; ++x) EXPECT_EQ(b.GetPixel(x, 1), clWhite) << x;
  for (int y = 1; y < 9; ++y) EXPECT_EQ(b.GetPixel(8, y), clWhite) << y;
  EXPECT_EQ(b.GetPixel(8, 9), clWhite);  // start of the last line
  // Polyline excludes its last point and leaves the pen position alone.
  TBitmap p(13, 11, pf24bit);
  Fill(p, clWhite);
  p.Canvas().MoveTo(5, 5);
  p.Canvas().Polyline({Point(0, 0), Point(4, 0), Point(4, 3)});
  EXPECT_EQ(Painted(p, clWhite), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 2}}));
  EXPECT_EQ(p.Canvas().GetPenPos(), Point(5, 5));
}

// The on/off pattern along a horizontal line of n pixels.
std::string DashRow(TPenStyle style, int n, bool opaque, int start = 0) {
  TBitmap b(n + 2, 3, pf24bit);
  Fill(b, clWhite);
  TCanvas& c = b.Canvas();
  c.Pen().SetStyle(style);
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clRed);
  c.SetBkMode(opaque ? OPAQUE : TRANSPARENT);
  c.MoveTo(start, 1);
  c.LineTo(n, 1);
  std::string s;
  for (int x = 0; x < n; ++x) {
    TColor v = b.GetPixel(x, 1);
    s += v == clBlack ? '#' : v == clRed ? 'r' : '.';
  }
  return s;
}

TEST(CanvasDash, PatternsAndBackground) {
  EXPECT_EQ(DashRow(psDot, 14, false), "###...###...##");
  EXPECT_EQ(DashRow(psDash, 26, false), std::string(18, '#') + "......##");
  EXPECT_EQ(DashRow(psDashDot, 26, false), "#########......###......##");
  EXPECT_EQ(DashRow(psDashDotDot, 26, false), "#########...###...###...##");
  // Opaque background: the gaps take the brush colour.
  EXPECT_EQ(DashRow(psDot, 8, true), "###rrr##");
  // A clear brush is a transparent background as well.
  TBitmap b(10, 1, pf24bit);
  Fill(b, clWhite);
  b.Canvas().Pen().SetStyle(psDot);
  b.Canvas().Brush().SetStyle(bsClear);
  b.Canvas().MoveTo(0, 0);
  b.Canvas().LineTo(10, 0);
  EXPECT_EQ(b.GetPixel(4, 0), clWhite);
  // psClear draws nothing at all.
  EXPECT_EQ(DashRow(psClear, 8, true), "........");
}

TEST(CanvasDash, PhaseRunsOnAcrossLineToAndRestartsAtMoveTo) {
  TBitmap b(30, 4, pf24bit);
  Fill(b, clWhite);
  TCanvas& c = b.Canvas();
  c.SetBkMode(TRANSPARENT);
  c.Pen().SetStyle(psDot);
  c.MoveTo(0, 1);
  c.LineTo(4, 1);   // pixels 0..3: on on on off
  c.LineTo(10, 1);  // continues at phase 4: off off on on on off
  std::string s;
  for (int x = 0; x < 10; ++x) s += b.GetPixel(x, 1) == clBlack ? '#' : '.';
  EXPECT_EQ(s, "###...###.");
  c.MoveTo(0, 3);
  c.LineTo(2, 3);
  c.MoveTo(2, 3);  // restarts the pattern
  c.LineTo(8, 3);
  s.clear();
  for (int x = 0; x < 8; ++x) s += b.GetPixel(x, 3) == clBlack ? '#' : '.';
  EXPECT_EQ(s, "#####...");
  // A clipped start keeps the phase of the unclipped line.
  // (-4..-1 take "###.", so x = 0 starts two pixels into a gap).
  EXPECT_EQ(DashRow(psDot, 14, false, -4), "..###...###...");
}

// Independent reference of the wide pen: distance of the pixel centre from
// the segment against half the width, with the path on pixel corners for
// even widths.  Pixels within 1e-9 of the boundary are left undecided.
int WideCovers(TPoint a, TPoint b, int w, int x, int y) {
  double off = (w % 2) ? 0.0 : -0.5;
  double ax = a.x + off, ay = a.y + off, bx = b.x + off, by = b.y + off;
  double dx = bx - ax, dy = by - ay, px = x - ax, py = y - ay;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0;
  double ex = px - t * dx, ey = py - t * dy;
  double d = std::sqrt(ex * ex + ey * ey) - w / 2.0;
  return d < -1e-9 ? 1 : d > 1e-9 ? 0 : -1;
}

TEST(CanvasWidePen, HandComputedWidths) {
  TBitmap b(13, 11, pf24bit);
  Fill(b, clWhite);
  TCanvas& c = b.Canvas();
  c.Pen().SetWidth(3);
  c.MoveTo(2, 5);
  c.LineTo(6, 5);
  Pixels want;
  for (int y = 4; y <= 6; ++y)
    for (int x = 1; x <= 7; ++x) want.insert({x, y});
  EXPECT_EQ(Painted(b, clWhite), want);
  // Width 4 runs on pixel corners: rows 3..6, the round caps trim the
  // outer rows to 1..6 and the inner ones reach 0..7.
  Fill(b, clWhite);
  c.Pen().SetWidth(4);
  c.MoveTo(2, 5);
  c.LineTo(6, 5);
  want.clear();
  for (int x = 1; x <= 6; ++x) want.insert({x, 3}), want.insert({x, 6});
  for (int x = 0; x <= 7; ++x) want.insert({x, 4}), want.insert({x, 5});
  EXPECT_EQ(Painted(b, clWhite), want);
}

TEST(CanvasWidePen, RandomSegmentsMatchTheDistanceRule) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> d(-4, 36);
  for (int k = 0; k < 60; ++k) {
    int w = 2 + k % 7;
    TPoint a(d(rng), d(rng)), b(d(rng), d(rng));
    if (a == b) continue;
    TBitmap bmp(33, 31, pf24bit);
    Fill(bmp, clWhite);
    bmp.Canvas().Pen().SetWidth(w);
    bmp.Canvas().MoveTo(a.x, a.y);
    bmp.Canvas().LineTo(b.x, b.y);
    for (int y = 0; y < 31; ++y)
      for (int x = 0; x < 33; ++x) {
        int want = WideCovers(a, b, w, x, y);
        if (want < 0) continue;
        ASSERT_EQ(bmp.GetPixel(x, y) == clBlack, want == 1)
            << "w" << w << " " << a.x << "," << a.y << "-" << b.x << "," << b.y << " at " << x
            << "," << y;
      }
  }
}

TEST(CanvasWidePen, PolylinePaintsEachPixelOnceUnderXor) {
  std::vector<TPoint> pts = {Point(3, 3), Point(25, 5), Point(8, 20), Point(28, 26)};
  TBitmap b(33, 31, pf24bit);
  Fill(b, clBlack);
  TCanvas& c = b.Canvas();
  c.Pen().SetWidth(5);
  c.Pen().SetColor(clWhite);
  c.Pen().SetMode(pmXor);
  c.Polyline(pts);
  for (int y = 0; y < 31; ++y)
    for (int x = 0; x < 33; ++x) {
      int in = 0, unsure = 0;
      for (size_t i = 0; i + 1 < pts.size(); ++i) {
        int v = WideCovers(pts[i], pts[i + 1], 5, x, y);
        in |= v == 1;
        unsure |= v < 0;
      }
      if (!in && unsure) continue;
      // Covered once or by several segments: flipped exactly once.
      ASSERT_EQ(b.GetPixel(x, y), in ? clWhite : clBlack) << x << "," << y;
    }
}

TEST(CanvasPenMode, LinesOnOneBitAndTwentyFourBit) {
  // On 24 bits the modes combine the stored bytes.
  const TColor d = 0x0F33C6, p = 0x3C5A0F;
  struct Case {
    TPenMode mode;
    TColor want;
  } cases[] = {{pmCopy, p},
               {pmNot, ~d & 0xFFFFFF},
               {pmXor, p ^ d},
               {pmNotXor, ~(p ^ d) & 0xFFFFFF},
               {pmMask, p & d},
               {pmMerge, p | d},
               {pmMaskPenNot, p & ~d & 0xFFFFFF},
               {pmNop, d},
               {pmBlack, 0},
               {pmWhite, 0xFFFFFF}};
  for (const Case& k : cases) {
    TBitmap b(7, 1, pf24bit);
    Fill(b, d);
    b.Canvas().Pen().SetColor(p);
    b.Canvas().Pen().SetMode(k.mode);
    b.Canvas().MoveTo(1, 0);
    b.Canvas().LineTo(5, 0);
    EXPECT_EQ(b.GetPixel(0, 0), d) << int(k.mode);
    EXPECT_EQ(b.GetPixel(3, 0), k.want) << int(k.mode);
    EXPECT_EQ(b.GetPixel(5, 0), d) << int(k.mode);
  }
  // On 1 bit: white pen (1) over alternating bits.
  TBitmap m(16, 1, pf1bit);
  for (int x = 0; x < 16; ++x) m.SetPixel(x, 0, x % 2 ? clWhite : clBlack);
  m.Canvas().Pen().SetColor(clWhite);
  m.Canvas().Pen().SetMode(pmXor);
  m.Canvas().MoveTo(2, 0);
  m.Canvas().LineTo(14, 0);
  EXPECT_EQ(m.ScanLine(0)[0], 0x6A);  // 0101 0101 with bits 2..7 flipped
  EXPECT_EQ(m.ScanLine(0)[1], 0xA9);  // bits 8..13 flipped
  m.Canvas().Pen().SetMode(pmNot);
  m.Canvas().MoveTo(0, 0);
  m.Canvas().LineTo(16, 0);
  EXPECT_EQ(m.ScanLine(0)[0], 0x95);
  EXPECT_EQ(m.ScanLine(0)[1], 0x56);
}

TEST(CanvasLine, ClippedByRectanglesAndPolygons) {
  TBitmap b(13, 11, pf24bit);
  Fill(b, clWhite);
  TCanvas& c = b.Canvas();
  c.IntersectClipRect(Rect(2, 0, 9, 11));
  c.ExcludeClipRect(Rect(4, 0, 6, 11));
  c.MoveTo(0, 5);
  c.LineTo(13, 5);
  std::string s;
  for (int x = 0; x < 13; ++x) s += b.GetPixel(x, 5) == clBlack ? '#' : '.';
  EXPECT_EQ(s, "..##..###....");
  // A triangle region: the pixels drawn are those of the unclipped line
  // inside the region.
  TBitmap u(13, 11, pf24bit), v(13, 11, pf24bit);
  Fill(u, clWhite);
  Fill(v, clWhite);
  TPoint tri[3] = {Point(0, 0), Point(13, 0), Point(0, 11)};
  v.Canvas().SetClipPolygon(tri, 3);
  for (TBitmap* t : {&u, &v}) {
    t->Canvas().Pen().SetWidth(3);
    t->Canvas().MoveTo(0, 10);
    t->Canvas().LineTo(12, 0);
  }
  TRegion region = TRegion::FromPolygon(tri, 3);
  int kept = 0;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) {
      TColor want = region.Contains(x, y) ? u.GetPixel(x, y) : clWhite;
      EXPECT_EQ(v.GetPixel(x, y), want) << x << "," << y;
      kept += want == clBlack;
    }
  EXPECT_GT(kept, 5);
}

TEST(CanvasLimits, HugeCoordinatesAndWidthsStayBounded) {
  TBitmap b(64, 48, pf24bit);
  Fill(b, clWhite);
  TCanvas& c = b.Canvas();
  c.MoveTo(INT32_MIN, INT32_MIN);
  c.LineTo(INT32_MAX, INT32_MAX);  // clamped to +-2^27: the diagonal
  for (int i = 0; i < 48; ++i) EXPECT_EQ(b.GetPixel(i, i), clBlack) << i;
  EXPECT_EQ(c.GetPenPos(), Point(1 << 27, 1 << 27));
  c.Pen().SetWidth(1 << 30);
  EXPECT_EQ(c.Pen().GetWidth(), kMaxPenWidth);
  c.Pen().SetColor(clRed);
  c.MoveTo(-(1 << 27), 20);
  c.LineTo(1 << 27, 20);
  EXPECT_EQ(b.GetPixel(0, 0), clRed);
  EXPECT_EQ(b.GetPixel(63, 47), clRed);
  c.Pen().SetWidth(0);
  EXPECT_EQ(c.Pen().GetWidth(), 1);
  // A dashed line of 2^28 pixels only walks the visible ones.
  c.Pen().SetStyle(psDash);
  c.MoveTo(-(1 << 27), 3);
  c.LineTo(1 << 27, 3);
  int on = 0;
  for (int x = 0; x < 64; ++x) on += b.GetPixel(x, 3) == clRed;
  EXPECT_GT(on, 30);
  EXPECT_LT(on, 64);
}

}  // namespace
}  // namespace pictavo
