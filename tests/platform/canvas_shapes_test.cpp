// Closed shapes, arcs and frames of the canvas against hand-computed pixels.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {
namespace {

constexpr TColor kPen = clBlack, kFill = clRed, kBack = clWhite;

std::unique_ptr<TBitmap> Surface(int w, int h, TPixelFormat f = pf24bit) {
  auto b = std::make_unique<TBitmap>(w, h, f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixel(x, y, kBack);
  b->Canvas().Pen().SetColor(kPen);
  b->Canvas().Brush().SetColor(kFill);
  return b;
}

// Rows of the picture: '#' pen, 'r' fill, '.' untouched, '?' other.
std::vector<std::string> Picture(const TBitmap& b) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.GetHeight(); ++y) {
    std::string r;
    for (int x = 0; x < b.GetWidth(); ++x) {
      TColor c = b.GetPixel(x, y);
      r += c == kPen ? '#' : c == kFill ? 'r' : c == kBack ? '.' : '?';
    }
    rows.push_back(r);
  }
  return rows;
}

TEST(CanvasRectangle, OutlineInsideBoundsFillInside) {
  auto b = Surface(15, 13);
  b->Canvas().Rectangle(0, 0, 13, 11);
  auto p = Picture(*b);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 15; ++x) {
      char want = (x > 12 || y > 10) ? '.' : (x == 0 || x == 12 || y == 0 || y == 10) ? '#' : 'r';
      ASSERT_EQ(p[y][x], want) << x << "," << y;
    }
  // Corners given in any order draw the same.
  auto q = Surface(15, 13);
  q->Canvas().Rectangle(13, 11, 0, 0);
  EXPECT_EQ(Picture(*q), p);
}

TEST(CanvasRectangle, NoPenFillsOnePixelLess) {
  auto b = Surface(15, 13);
  b->Canvas().Pen().SetStyle(psClear);
  b->Canvas().Rectangle(1, 1, 14, 12);
  auto p = Picture(*b);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 15; ++x)
      ASSERT_EQ(p[y][x], (x >= 1 && x <= 12 && y >= 1 && y <= 10) ? 'r' : '.') << x << "," << y;
}

TEST(CanvasRectangle, AwkwardSizes) {
  auto one = Surface(3, 3);
  one->Canvas().Rectangle(1, 1, 2, 2);
  EXPECT_EQ(Picture(*one), (std::vector<std::string>{"...", ".#.", "..."}));
  auto tall = Surface(3, 7);
  tall->Canvas().Rectangle(1, 0, 2, 7);
  for (const std::string& r : Picture(*tall)) EXPECT_EQ(r, ".#.");
  auto wide = Surface(7, 3);
  wide->Canvas().Rectangle(0, 1, 7, 2);
  EXPECT_EQ(Picture(*wide), (std::vector<std::string>{".......", "#######", "......."}));
  auto two = Surface(4, 4);
  two->Canvas().Rectangle(1, 1, 3, 3);  // no inside left
  EXPECT_EQ(Picture(*two), (std::vector<std::string>{"....", ".##.", ".##.", "...."}));
}

TEST(CanvasRectangle, WidePens) {
  auto in = Surface(15, 13);
  in->Canvas().Pen().SetWidth(3);
  in->Canvas().Pen().SetStyle(psInsideFrame);
  in->Canvas().Rectangle(0, 0, 13, 11);
  auto p = Picture(*in);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x)
      ASSERT_EQ(p[y][x], (x < 3 || x >= 10 || y < 3 || y >= 8) ? '#' : 'r') << x << "," << y;
  EXPECT_EQ(p[11], std::string(15, '.'));
  // A centred width-3 pen reaches one pixel beyond the box on every side.
  auto c = Surface(17, 15);
  c->Canvas().Pen().SetWidth(3);
  c->Canvas().Rectangle(2, 2, 15, 13);
  auto q = Picture(*c);
  EXPECT_EQ(q[7].substr(0, 6), ".###rr");
  EXPECT_EQ(q[7].substr(11), "rr###.");
  EXPECT_EQ(q[1][7], '#');
  EXPECT_EQ(q[0][7], '.');
  EXPECT_EQ(q[4][7], 'r');
  EXPECT_EQ(q[13][7], '#');
  EXPECT_EQ(q[14][7], '.');
}

TEST(CanvasEllipse, HandComputedCircle) {
  // a = b = 6: row offsets -6, -5, -4 hold |x|^2 <= 6, 17, 26 -> 2, 4, 5.
  auto b = Surface(13, 13);
  b->Canvas().Ellipse(0, 0, 13, 13);
  auto p = Picture(*b);
  EXPECT_EQ(p[0], "....#####....");
  EXPECT_EQ(p[1], "..##rrrrr##..");
  EXPECT_EQ(p[2], ".#rrrrrrrrr#.");
  EXPECT_EQ(p[6], "#rrrrrrrrrrr#");
  EXPECT_EQ(p[12], p[0]);
  EXPECT_EQ(p[11], p[1]);
}

TEST(CanvasEllipse, SymmetricAndTouchingTheBox) {
  for (auto [w, h] : {std::pair{13, 11}, {12, 11}, {7, 20}, {30, 4}, {2, 9}, {40, 2}}) {
    auto b = Surface(w + 2, h + 2);
    b->Canvas().Ellipse(1, 1, w + 1, h + 1);
    auto p = Picture(*b);
    for (int y = 1; y <= h; ++y)
      for (int x = 1; x <= w; ++x) {
        ASSERT_EQ(p[y][x], p[y][w + 1 - x]) << w << "x" << h << " " << x << "," << y;
        ASSERT_EQ(p[y][x], p[h + 1 - y][x]) << w << "x" << h << " " << x << "," << y;
      }
    EXPECT_EQ(p[0], std::string(w + 2, '.'));
    EXPECT_EQ(p[h + 1], std::string(w + 2, '.'));
    EXPECT_NE(p[1].find('#'), std::string::npos) << w << "x" << h;
    EXPECT_NE(p[h].find('#'), std::string::npos);
    EXPECT_EQ(p[(h + 1) / 2][1], '#') << w << "x" << h;
    EXPECT_EQ(p[(h + 1) / 2][w], '#');
    EXPECT_EQ(p[(h + 1) / 2][0], '.');
  }
}

TEST(CanvasEllipse, AwkwardSizesAndNoPen) {
  auto one = Surface(3, 3);
  one->Canvas().Ellipse(1, 1, 2, 2);
  EXPECT_EQ(Picture(*one), (std::vector<std::string>{"...", ".#.", "..."}));
  auto tall = Surface(3, 7);
  tall->Canvas().Ellipse(1, 0, 2, 7);
  for (const std::string& r : Picture(*tall)) EXPECT_EQ(r, ".#.");
  auto wide = Surface(7, 1);
  wide->Canvas().Ellipse(0, 0, 7, 1);
  EXPECT_EQ(Picture(*wide)[0], "#######");
  // Without a pen the fill is the ellipse of the box one pixel smaller.
  auto a = Surface(13, 13), b = Surface(13, 13);
  a->Canvas().Pen().SetStyle(psClear);
  a->Canvas().Ellipse(0, 0, 13, 13);
  b->Canvas().Pen().SetColor(kFill);
  b->Canvas().Ellipse(0, 0, 12, 12);
  EXPECT_EQ(Picture(*a), Picture(*b));
}

TEST(CanvasRoundRect, CornersFromTheCornerEllipse) {
  // Corner ellipse 6x6: a = b = 2.5, top row |x|^2 <= 8.75 * (1 - 6.25/8.75)
  // = 2.5 -> the doubled offset 3 -> inset 1.
  auto b = Surface(13, 11);
  b->Canvas().RoundRect(0, 0, 13, 11, 6, 6);
  auto p = Picture(*b);
  EXPECT_EQ(p[0], ".###########.");
  EXPECT_EQ(p[1], "#rrrrrrrrrrr#");
  EXPECT_EQ(p[10], p[0]);
  EXPECT_EQ(p[5], "#rrrrrrrrrrr#");
}

TEST(CanvasArc, QuarterAndComplementFollowTheSweep) {
  auto full = Surface(13, 13);
  full->Canvas().Brush().SetStyle(bsClear);
  full->Canvas().Ellipse(0, 0, 13, 13);
  auto ring = Picture(*full);
  // Counter-clockwise from the ray to the right to the ray upwards.
  auto q = Surface(13, 13);
  q->Canvas().Arc(0, 0, 13, 13, 13, 6, 6, 0);
  auto rest = Surface(13, 13);
  rest->Canvas().Arc(0, 0, 13, 13, 6, 0, 13, 6);
  auto pq = Picture(*q), pr = Picture(*rest);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 13; ++x) {
      bool on = ring[y][x] == '#';
      ASSERT_EQ(pq[y][x] == '#', on && x >= 6 && y <= 6) << x << "," << y;
      ASSERT_EQ(pr[y][x] == '#', on && (x <= 6 || y >= 6)) << x << "," << y;
    }
  // The upper half is symmetric about the vertical axis.
  auto top = Surface(13, 11);
  top->Canvas().Arc(0, 0, 13, 11, 20, 5, -7, 5);
  auto pt = Picture(*top);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(pt[y][x], pt[y][12 - x]);
  EXPECT_EQ(pt[10], std::string(13, '.'));
  EXPECT_EQ(pt[5][0], '#');
}

TEST(CanvasArc, PieAndChordFills) {
  auto pie = Surface(13, 13);
  pie->Canvas().Pie(0, 0, 13, 13, 13, 6, 6, 0);
  auto p = Picture(*pie);
  for (int y = 0; y <= 6; ++y) EXPECT_EQ(p[y][6], '#') << y;  // radius up
  EXPECT_EQ(p[6].substr(6), "#######");                       // radius right
  EXPECT_EQ(p[3][8], 'r');
  EXPECT_EQ(p[3][3], '.');
  EXPECT_EQ(p[8][8], '.');
  auto chord = Surface(13, 13);
  chord->Canvas().Chord(0, 0, 13, 13, 13, 6, 6, 0);
  auto c = Picture(*chord);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c[i][6 + i], '#') << i;  // (6,0) -> (12,6)
  EXPECT_EQ(c[2][10], 'r');                                      // beyond the chord, inside the arc
  EXPECT_EQ(c[5][8], '.');                                       // on the centre's side
  EXPECT_EQ(c[8][8], '.');
}

TEST(CanvasPolygon, FillModesAndOutlineOnce) {
  std::vector<TPoint> star = {Point(10, 0), Point(16, 19), Point(0, 7), Point(20, 7), Point(4, 19)};
  auto alt = Surface(21, 20), wind = Surface(21, 20);
  alt->Canvas().Polygon(star);
  wind->Canvas().SetPolyFillMode(WINDING);
  wind->Canvas().Polygon(star);
  EXPECT_EQ(Picture(*alt)[11][10], '.');
  EXPECT_EQ(Picture(*wind)[11][10], 'r');
  EXPECT_EQ(Picture(*alt)[0][10], '#');
  // XOR pen and brush over black: each pixel of fill and outline flips once.
  TBitmap x(21, 20, pf24bit);
  TBitmap ref(21, 20, pf24bit);
  for (TBitmap* b : {&x, &ref}) {
    b->Canvas().Brush().SetColor(clBlack);
    b->Canvas().FillRect(Rect(0, 0, 21, 20));
  }
  x.Canvas().Pen().SetMode(pmXor);
  x.Canvas().Pen().SetColor(clWhite);
  x.Canvas().Brush().SetColor(clWhite);
  x.Canvas().SetPolyFillMode(WINDING);
  x.Canvas().Polygon(star);
  ref.Canvas().Pen().SetColor(clWhite);
  ref.Canvas().Brush().SetColor(clWhite);
  ref.Canvas().SetPolyFillMode(WINDING);
  ref.Canvas().Polygon(star);
  for (int y = 0; y < 20; ++y)
    for (int xx = 0; xx < 21; ++xx) ASSERT_EQ(x.GetPixel(xx, y), ref.GetPixel(xx, y));
  // Two nested squares under the alternate rule leave a hole.
  TPoint pts[8] = {Point(1, 1), Point(12, 1), Point(12, 12), Point(1, 12),
                   Point(4, 4), Point(9, 4),  Point(9, 9),   Point(4, 9)};
  int counts[2] = {4, 4};
  auto pp = Surface(14, 14);
  pp->Canvas().PolyPolygon(pts, counts, 2);
  auto q = Picture(*pp);
  EXPECT_EQ(q[6], ".#rr#....#rr#.");
  EXPECT_EQ(q[2][2], 'r');
}

TEST(CanvasShapes, PenModesOnOneBit) {
  TBitmap b(16, 4, pf1bit);
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 4; ++y) b.SetPixel(x, y, (x / 2) % 2 ? clWhite : clBlack);
  TCanvas& c = b.Canvas();
  c.Pen().SetMode(pmNot);
  c.Rectangle(0, 0, 16, 4);  // outline and inside are inverted once each
  EXPECT_EQ(b.ScanLine(0)[0], 0xCC);
  EXPECT_EQ(b.ScanLine(2)[1], 0xCC);
  c.Pen().SetMode(pmMask);
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clWhite);
  c.Rectangle(0, 0, 8, 4);  // outline masked to black, inside kept
  EXPECT_EQ(b.ScanLine(0)[0], 0x00);
  EXPECT_EQ(b.ScanLine(1)[0], 0x4C);
  c.Pen().SetMode(pmMerge);
  c.Pen().SetColor(clWhite);
  c.Brush().SetStyle(bsClear);
  c.Ellipse(8, 0, 16, 4);
  EXPECT_EQ(b.ScanLine(0)[1] & 0x3C, 0x3C);
}

TEST(CanvasShapes, ClippedByRegion) {
  TPoint tri[3] = {Point(0, 0), Point(30, 0), Point(0, 24)};
  auto u = Surface(30, 24), v = Surface(30, 24);
  v->Canvas().SetClipPolygon(tri, 3);
  for (TBitmap* b : {u.get(), v.get()}) {
    b->Canvas().Pen().SetWidth(2);
    b->Canvas().Ellipse(2, 2, 28, 22);
    b->Canvas().Pie(4, 4, 26, 20, 26, 12, 4, 12);
  }
  TRegion region = TRegion::FromPolygon(tri, 3);
  auto pu = Picture(*u), pv = Picture(*v);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(pv[y][x], region.Contains(x, y) ? pu[y][x] : '.');
}

TEST(CanvasFrames, FrameRectFocusRectAndEdges) {
  auto f = Surface(6, 5);
  f->Canvas().Brush().SetColor(kPen);
  f->Canvas().FrameRect(Rect(1, 1, 5, 4));
  EXPECT_EQ(Picture(*f),
            (std::vector<std::string>{"......", ".####.", ".#..#.", ".####.", "......"}));
  // Focus: every other pixel inverted from the bitmap origin; twice restores.
  TBitmap d(6, 5, pf24bit);
  d.Canvas().Brush().SetColor(0x102030);
  d.Canvas().FillRect(Rect(0, 0, 6, 5));
  d.Canvas().DrawFocusRect(Rect(0, 0, 6, 5));
  std::string top, side;
  for (int x = 0; x < 6; ++x) top += d.GetPixel(x, 0) == 0xEFDFCF ? 'x' : '.';
  for (int y = 0; y < 5; ++y) side += d.GetPixel(5, y) == 0xEFDFCF ? 'x' : '.';
  EXPECT_EQ(top, "x.x.x.");
  EXPECT_EQ(side, ".x.x.");
  EXPECT_EQ(d.GetPixel(2, 2), 0x102030u);
  d.Canvas().DrawFocusRect(Rect(0, 0, 6, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(d.GetPixel(x, y), 0x102030u);
}

TEST(CanvasFrames, DrawEdgeRaisedSunkenAdjust) {
  TBitmap b(6, 5, pf24bit);
  TRect r(0, 0, 6, 5);
  EXPECT_TRUE(b.Canvas().DrawEdge(r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST));
  EXPECT_EQ(r, Rect(2, 2, 4, 3));
  const TColor L = ColorToRGB(cl3DLight), D = ColorToRGB(cl3DDkShadow),
               H = ColorToRGB(clBtnHighlight), S = ColorToRGB(clBtnShadow),
               F = ColorToRGB(clBtnFace);
  const TColor want[5][6] = {{L, L, L, L, L, D},
                             {L, H, H, H, S, D},
                             {L, H, F, F, S, D},
                             {L, S, S, S, S, D},
                             {D, D, D, D, D, D}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(b.GetPixel(x, y), want[y][x]) << x << "," << y;
  // Sunken, top and left only: shadow outside, dark shadow inside.
  TBitmap s(5, 5, pf24bit);
  s.Canvas().Brush().SetColor(clWhite);
  s.Canvas().FillRect(Rect(0, 0, 5, 5));
  s.Canvas().DrawEdge(Rect(0, 0, 5, 5), EDGE_SUNKEN, BF_TOPLEFT);
  EXPECT_EQ(s.GetPixel(0, 0), S);
  EXPECT_EQ(s.GetPixel(3, 0), S);
  EXPECT_EQ(s.GetPixel(4, 0), clWhite);  // the top row stops before the corner
  EXPECT_EQ(s.GetPixel(1, 1), D);
  EXPECT_EQ(s.GetPixel(1, 3), D);
  EXPECT_EQ(s.GetPixel(4, 4), clWhite);
  // Etched: shadow then highlight on the top-left; bump: light then dark.
  TBitmap e(4, 4, pf24bit);
  e.Canvas().DrawEdge(Rect(0, 0, 4, 4), EDGE_ETCHED, BF_RECT);
  EXPECT_EQ(e.GetPixel(0, 0), S);
  EXPECT_EQ(e.GetPixel(1, 1), H);
  EXPECT_EQ(e.GetPixel(3, 3), H);
  EXPECT_EQ(e.GetPixel(2, 2), S);
  e.Canvas().DrawEdge(Rect(0, 0, 4, 4), EDGE_BUMP, BF_RECT);
  EXPECT_EQ(e.GetPixel(0, 0), L);
  EXPECT_EQ(e.GetPixel(1, 1), D);
  EXPECT_EQ(e.GetPixel(3, 3), D);
  EXPECT_EQ(e.GetPixel(2, 2), L);
  EXPECT_FALSE(e.Canvas().DrawEdge(Rect(0, 0, 4, 4), 0, BF_RECT));
}

TEST(CanvasLimits, HugeShapesStayBounded) {
  auto b = Surface(64, 48);
  b->Canvas().Pen().SetWidth(kMaxPenWidth);
  b->Canvas().Ellipse(-(1 << 30), -(1 << 30), 1 << 30, 1 << 30);
  EXPECT_EQ(Picture(*b)[24][32], 'r');
  b->Canvas().Pen().SetWidth(1);
  b->Canvas().Rectangle(INT32_MIN, INT32_MIN, INT32_MAX, 10);
  EXPECT_EQ(Picture(*b)[9][32], '#');
  EXPECT_EQ(Picture(*b)[8][32], 'r');
  b->Canvas().Brush().SetColor(clBlue);
  std::vector<TPoint> tri = {Point(INT32_MIN, INT32_MIN), Point(INT32_MAX, 0), Point(0, INT32_MAX)};
  b->Canvas().Polygon(tri);
  b->Canvas().Pie(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 1, 0, 0, 1);
  b->Canvas().RoundRect(-5, -5, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX);
  EXPECT_EQ(b->GetPixel(32, 24), clBlue);
  // Frames whose borders lie far outside touch nothing inside.
  TRect all(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  b->Canvas().FrameRect(all);
  b->Canvas().DrawFocusRect(all);
  b->Canvas().DrawEdge(all, EDGE_RAISED, BF_RECT);
  EXPECT_EQ(b->GetPixel(32, 24), clBlue);
  EXPECT_EQ(b->GetPixel(0, 0), clBlue);
}

}  // namespace
}  // namespace pictavo
