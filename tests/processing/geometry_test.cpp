// Geometric transforms: quarter turns by their index formulas, the shear
// rotation against a plain double-precision reference of the three passes
// (and a geometric check of its direction), the one-bit rotation, flips,
// cropping, canvas resizing and the polygon copies.
#include "processing/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/conversions.h"
#include "processing/pictavoproc.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

// ---------------------------------------------------------------------------
// Reference rotation, written from the description pass by pass.

struct Img {
  int w = 0, h = 0;
  std::vector<TRGB> px;
  Img(int aw, int ah, TRGB fill) : w(aw), h(ah), px(size_t(aw) * ah, fill) {}
  TRGB& at(int x, int y) { return px[size_t(y) * w + x]; }
};

Img FromBitmap(const TBitmap& b) {
  Img im(b.GetWidth(), b.GetHeight(), TRGB{});
  for (int y = 0; y < im.h; ++y)
    for (int x = 0; x < im.w; ++x) im.at(x, y) = Get(b, x, y);
  return im;
}

TRGB RefBlend(TRGB p, TRGB c, int f) {
  auto one = [&](int a, int b) {
    double v = std::nearbyint((a * f + b * (4096 - f) + 2048) / 4096.0);
    return uint8_t(std::min(255.0, std::max(0.0, v)));
  };
  return C(one(p.r, c.r), one(p.g, c.g), one(p.b, c.b));
}

Img RefRotate(const TBitmap& bitmap, int angle, bool aa, TRGB fill) {
  Img src = FromBitmap(bitmap);
  angle %= 360;
  while (angle > 45) {  // counter-clockwise: dest(j, w - 1 - i) = src(i, j)
    Img t(src.h, src.w, fill);
    for (int j = 0; j < src.h; ++j)
      for (int i = 0; i < src.w; ++i) t.at(j, src.w - 1 - i) = src.at(i, j);
    src = t;
    angle -= 90;
  }
  while (angle < -45) {  // clockwise: dest(j, i) = src(i, h - 1 - j)
    Img t(src.h, src.w, fill);
    for (int j = 0; j < src.h; ++j)
      for (int i = 0; i < src.w; ++i) t.at(j, i) = src.at(i, src.h - 1 - j);
    src = t;
    angle += 90;
  }
  if (angle == 0) return src;
  double th = angle * std::numbers::pi / 180;
  double T = std::fabs(std::sin(th / 2) / std::cos(th / 2)), S = std::fabs(std::sin(th));
  int w = src.w, h = src.h;
  int W1 = int(std::nearbyint(h * T + w + 1));
  int D1 = int(std::nearbyint((W1 - w) * S));
  int H2p = int(std::nearbyint(W1 * S + h + 1));
  int D2 = int(std::nearbyint((H2p - h - D1) * T));
  int H2 = H2p - 2 * D1;
  int W3 = int(std::nearbyint(H2 * T + W1 + 1 - 2 * D2));
  Img p1(W1, h, fill);
  for (int y = 0; y < h; ++y) {
    double sh = (th > 0 ? y : h - y) * T;
    int o = int(std::nearbyint(sh));
    int f = int(std::trunc((sh - o) * 4096));
    TRGB prev = fill;
    for (int x = 0; x < w; ++x) {
      p1.at(o + x, y) = aa ? RefBlend(prev, src.at(x, y), f) : src.at(x, y);
      prev = src.at(x, y);
    }
    if (aa && f > 0 && o + w < W1) p1.at(o + w, y) = RefBlend(prev, fill, f);
  }
  Img p2(W1, H2, fill);
  for (int x = 0; x < W1; ++x) {
    double sh = (th > 0 ? W1 - x : x) * S;
    int o = int(std::nearbyint(sh));
    int f = int(std::nearbyint((sh - o) * 4096));
    o -= D1;
    TRGB prev = fill;
    for (int y = 0; y < h; ++y) {
      if (y + o < 0 || y + o >= H2) continue;
      p2.at(x, y + o) = aa ? RefBlend(prev, p1.at(x, y), f) : p1.at(x, y);
      prev = p1.at(x, y);
    }
    if (aa && f > 0 && o + h < H2 && o + h >= 0) p2.at(x, o + h) = RefBlend(prev, fill, f);
  }
  Img out(W3, H2, fill);
  for (int y = 0; y < H2; ++y) {
    double sh = (th > 0 ? y : H2 - y) * T;
    int o = int(std::nearbyint(sh));
    int f = int(std::nearbyint((sh - o) * 4096));
    o -= D2;
    TRGB prev = fill;
    for (int x = 0; x < W1; ++x) {
      if (o + x < 0 || o + x >= W3) continue;
      out.at(o + x, y) = aa ? RefBlend(prev, p2.at(x, y), f) : p2.at(x, y);
      prev = p2.at(x, y);
    }
    if (aa && f > 0 && o + W1 < W3 && o + W1 >= 0) out.at(o + W1, y) = RefBlend(prev, fill, f);
  }
  return out;
}

::testing::AssertionResult Matches(const TBitmap& b, Img& ref) {
  if (b.GetWidth() != ref.w || b.GetHeight() != ref.h)
    return ::testing::AssertionFailure() << "size " << b.GetWidth() << "x" << b.GetHeight()
                                         << " expected " << ref.w << "x" << ref.h;
  for (int y = 0; y < ref.h; ++y)
    for (int x = 0; x < ref.w; ++x)
      if (!(Get(b, x, y) == ref.at(x, y)))
        return ::testing::AssertionFailure()
               << "pixel " << x << "," << y << " " << Str(Get(b, x, y)) << " expected "
               << Str(ref.at(x, y));
  return ::testing::AssertionSuccess();
}

// Pixel centre strictly inside (even-odd) and not on an edge.
enum class Where { Inside, Outside, OnEdge };
Where Locate(const std::vector<TPoint>& poly, int px, int py) {
  double x = px + 0.5, y = py + 0.5;
  bool in = false;
  size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    TPoint a = poly[i], b = poly[(i + 1) % n];
    double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    bool withinY = (y >= std::min(a.y, b.y)) && (y <= std::max(a.y, b.y));
    bool withinX = (x >= std::min(a.x, b.x)) && (x <= std::max(a.x, b.x));
    if (cross == 0 && withinX && withinY) return Where::OnEdge;
    if ((a.y > y) != (b.y > y)) {
      double xi = a.x + (y - a.y) * double(b.x - a.x) / (b.y - a.y);
      if (xi > x) in = !in;
    }
  }
  return in ? Where::Inside : Where::Outside;
}

const std::vector<TPoint> kTriangle = {{2, 1}, {17, 4}, {6, 13}};

// ---------------------------------------------------------------------------

TEST(QuarterTurns, IndexFormulas) {
  auto src = Random24(3, 2, 1);
  TBitmap ccw, cw;
  _Rot90(*src, ccw);
  _Rot90o(*src, cw);
  ASSERT_EQ(ccw.GetWidth(), 2);
  ASSERT_EQ(ccw.GetHeight(), 3);
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Get(ccw, j, 3 - 1 - i), Get(*src, i, j));
      EXPECT_EQ(Get(cw, j, i), Get(*src, i, 2 - 1 - j));
    }
}

TEST(Rotate, QuarterAnglesAreExactTurns) {
  auto src = Random24(70, 45, 2);
  TPictavoProc proc;
  for (int angle : {90, -270, 450}) {
    TBitmap bm, expected;
    PVCopyBitmap(*src, bm);
    _Rot90(*src, expected);
    proc.SetAttachedBitmap(&bm);
    proc.Rotate(angle, true);
    EXPECT_TRUE(SamePixels(bm, expected)) << angle;
  }
  for (int angle : {0, 360, -720}) {
    TBitmap bm;
    PVCopyBitmap(*src, bm);
    proc.SetAttachedBitmap(&bm);
    proc.Rotate(angle, true);
    EXPECT_TRUE(SamePixels(bm, *src)) << angle;
  }
  TBitmap bm, once, twice;
  PVCopyBitmap(*src, bm);
  proc.SetAttachedBitmap(&bm);
  proc.Rotate(-90, false);
  _Rot90o(*src, once);
  EXPECT_TRUE(SamePixels(bm, once));
  proc.Rotate(180, false);
  _Rot90(once, twice);
  _Rot90(twice, once);
  EXPECT_TRUE(SamePixels(bm, once));
}

TEST(Rotate, ThirtyDegreesSizesAndFilledCorners) {
  // 100 x 60: T = tan 15, S = 0.5.  W1 = round(60 T + 101) = 117,
  // D1 = round(17 * 0.5) = 8 (half to even), H2' = round(58.5 + 61) = 120
  // (half to even), D2 = round(52 T) = 14, H2 = 104, W3 = round(104 T + 118 -
  // 28) = 118.
  TShearSizes z = PVShearSizes(100, 60, 30);
  EXPECT_EQ(z.W1, 117);
  EXPECT_EQ(z.D1, 8);
  EXPECT_EQ(z.H2p, 120);
  EXPECT_EQ(z.D2, 14);
  EXPECT_EQ(z.H2, 104);
  EXPECT_EQ(z.W3, 118);
  auto bm = Solid(100, 60, C(10, 20, 30));
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.SetBackground(RGB2TColor(250, 0, 5));
  proc.Rotate(30, false);
  EXPECT_EQ(bm->GetWidth(), 118);
  EXPECT_EQ(bm->GetHeight(), 104);
  for (auto [x, y] : {std::pair{0, 0}, {117, 0}, {0, 103}, {117, 103}})
    EXPECT_EQ(Get(*bm, x, y), C(250, 0, 5)) << x << "," << y;
  EXPECT_EQ(Get(*bm, 59, 52), C(10, 20, 30));
  auto other = Solid(100, 60, C(10, 20, 30));
  proc.SetAttachedBitmap(other.get());
  proc.Rotate(-30, false);
  EXPECT_EQ(other->GetWidth(), 118);
  EXPECT_EQ(other->GetHeight(), 104);
}

TEST(Rotate, ShearPassesMatchTheReference) {
  auto src = Random24(53, 37, 3);
  TRGB fill = C(30, 60, 90);
  for (bool aa : {false, true})
    for (int angle : {30, -30, 10, -7, 45, -45, 100, -135, 200, 1}) {
      TBitmap bm;
      PVCopyBitmap(*src, bm);
      TPictavoProc proc;
      proc.SetAttachedBitmap(&bm);
      proc.SetBackground(TRGB2TColor(fill));
      proc.Rotate(angle, aa);
      Img ref = RefRotate(*src, angle, aa, fill);
      EXPECT_TRUE(Matches(bm, ref)) << "angle " << angle << " aa " << aa;
    }
}

TEST(Rotate, WideImagesCrossSeveralColumnBlocks) {
  auto src = Random24(150, 20, 4);
  TBitmap bm;
  PVCopyBitmap(*src, bm);
  ASSERT_TRUE(_RotateShear(bm, 33, true, clWhite, nullptr, nullptr));
  Img ref = RefRotate(*src, 33, true, C(255, 255, 255));
  EXPECT_TRUE(Matches(bm, ref));
}

TEST(Rotate, CounterClockwiseForPositiveAngles) {
  // A red pixel 20 to the right of the centre moves up by 20 sin 30 = 10 and
  // towards the centre by 20 (1 - cos 30) = 2.7.
  auto bm = Solid(61, 61, C(128, 128, 128));
  Put(*bm, 50, 30, C(255, 0, 0));
  ASSERT_TRUE(_RotateShear(*bm, 30, false, clBlack, nullptr, nullptr));
  double cx = (bm->GetWidth() - 1) / 2.0, cy = (bm->GetHeight() - 1) / 2.0;
  int found = 0;
  for (int y = 0; y < bm->GetHeight(); ++y)
    for (int x = 0; x < bm->GetWidth(); ++x)
      if (Get(*bm, x, y) == C(255, 0, 0)) {
        ++found;
        EXPECT_NEAR(x - cx, 20 * std::cos(std::numbers::pi / 6), 1.6);
        EXPECT_NEAR(y - cy, -10, 1.6);
      }
  EXPECT_GE(found, 1);
}

TEST(Rotate, ProgressCountsRowsColumnsRows) {
  auto bm = Random24(10, 6, 5);
  ProgressLog log;
  TShearSizes z = PVShearSizes(10, 6, 20);
  ASSERT_TRUE(_RotateShear(*bm, 20, true, clBlack, log.Event(), nullptr));
  int64_t steps = z.h + z.W1 + z.H2;
  ASSERT_EQ(int64_t(log.values.size()), steps);
  for (int64_t i = 0; i < steps; ++i) EXPECT_EQ(log.values[i], int(i * 100 / (steps + 0.5)));
}

TEST(Rotate, RefusedBeyondThePixelLimit) {
  auto bm = Random24(40, 40, 6);
  TBitmap before;
  PVCopyBitmap(*bm, before);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  int64_t saved = PVGetMaxImagePixels();
  PVSetMaxImagePixels(40 * 40 + 10);
  proc.Rotate(20, true);
  TBitmap page(40, 40, pf1bit);
  proc.SetAttachedBitmap(&page);
  proc.Rotate(45, false);
  PVSetMaxImagePixels(saved);
  EXPECT_TRUE(SamePixels(*bm, before));
  EXPECT_EQ(page.GetWidth(), 40);
}

// Reference of the one-bit rotation.
std::unique_ptr<TBitmap> RefRotate1(const TBitmap& src, double angle, int fill) {
  double th = -angle / 57.29577951308232;
  double c = std::trunc(std::cos(th) * 10000) / 10000, s = std::trunc(std::sin(th) * 10000) / 10000;
  int w = src.GetWidth(), h = src.GetHeight();
  int W = int(std::trunc(std::fabs(w * c) + std::fabs(h * s)));
  int H = int(std::trunc(std::fabs(w * s) + std::fabs(h * c)));
  auto out = std::make_unique<TBitmap>(W, H, pf1bit);
  double cxn = W / 2.0 - 0.5, cyn = H / 2.0 - 0.5, cxo = w / 2.0 - 0.5, cyo = h / 2.0 - 0.5;
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      double u = std::trunc(c * (i - cxn) + s * (j - cyn) + cxo);
      double v = std::trunc(-s * (i - cxn) + c * (j - cyn) + cyo);
      bool in = u >= 0 && u < w && v >= 0 && v < h;
      PutBit(*out, i, j, in ? Bit(src, int(u), int(v)) : fill);
    }
  return out;
}

TEST(Rotate1bit, InverseMappingWithFourDecimalTrigonometry) {
  auto page = Random1(29, 17, 7);
  for (int angle : {30, -30, 90, 45, 0, 123})
    for (TColor bg : {TColor(0), TColor(clWhite)}) {
      TBitmap bm;
      PVCopyBitmap(*page, bm);
      TPictavoProc proc;
      proc.SetAttachedBitmap(&bm);
      proc.SetBackground(bg);
      proc.Rotate(angle, true);
      auto ref = RefRotate1(*page, angle, bg != 0 ? 1 : 0);
      EXPECT_TRUE(SamePixels(bm, *ref)) << angle << " " << bg;
    }
  // 90 degrees: cos truncates to 0 and sin to -1, so 29 x 17 becomes 17 x 29.
  TBitmap bm;
  PVCopyBitmap(*page, bm);
  TProgressRec progress;
  ProgressLog log;
  progress.ProgressEvent = log.Event();
  ASSERT_TRUE(_rotate1bit(bm, 0, progress, 90));
  EXPECT_EQ(bm.GetWidth(), 17);
  EXPECT_EQ(bm.GetHeight(), 29);
  ASSERT_EQ(log.values.size(), 29u);
  EXPECT_EQ(log.values[1], 3);  // trunc(1 * 100 / 29)
}

TEST(Flip, HorizontalOneBitOfWidth13) {
  TBitmap page(13, 2, pf1bit);
  for (int y = 0; y < 2; ++y) std::memset(page.ScanLine(y), 0, size_t(page.RowBytes()));
  PutBit(page, 0, 0, 1);
  PutBit(page, 5, 1, 1);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&page);
  proc.Flip(fdHorizontal);
  for (int x = 0; x < 13; ++x) {
    EXPECT_EQ(Bit(page, x, 0), x == 12 ? 1 : 0) << x;
    EXPECT_EQ(Bit(page, x, 1), x == 7 ? 1 : 0) << x;
  }
  proc.Flip(fdVertical);
  EXPECT_EQ(Bit(page, 12, 1), 1);
  EXPECT_EQ(Bit(page, 7, 0), 1);
}

TEST(Flip, TwentyFourBitBothWays) {
  auto src = Random24(7, 5, 8);
  TBitmap bm;
  PVCopyBitmap(*src, bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  proc.Flip(fdHorizontal);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(Get(bm, x, y), Get(*src, 6 - x, y));
  proc.Flip(fdVertical);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(Get(bm, x, y), Get(*src, 6 - x, 4 - y));
  EXPECT_TRUE(proc.CanUndo());
}

TEST(CropSel, WithoutSelectionSavesUndoAndUpdatesOnly) {
  auto bm = Random24(12, 9, 9);
  TBitmap before;
  PVCopyBitmap(*bm, before);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.CropSel();
  EXPECT_TRUE(SamePixels(*bm, before));
  EXPECT_TRUE(proc.CanUndo());
  EXPECT_TRUE(bm->GetModified());
}

TEST(CropSel, RectangleAndPolygon) {
  auto src = Random24(20, 15, 10);
  TBitmap bm;
  PVCopyBitmap(*src, bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  proc.Select(3, 2, 11, 7);
  proc.CropSel();
  ASSERT_EQ(bm.GetWidth(), 8);
  ASSERT_EQ(bm.GetHeight(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Get(bm, x, y), Get(*src, x + 3, y + 2));
  PVCopyBitmap(*src, bm);
  proc.SelectPolygon(kTriangle.data(), int(kTriangle.size()));
  proc.CropSel();
  ASSERT_EQ(bm.GetWidth(), 15);  // box 2..17 x 1..13
  ASSERT_EQ(bm.GetHeight(), 12);
  int inside = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 15; ++x)
      if (Locate(kTriangle, x + 2, y + 1) == Where::Inside) {
        ++inside;
        ASSERT_EQ(Get(bm, x, y), Get(*src, x + 2, y + 1)) << x << "," << y;
      }
  EXPECT_GT(inside, 40);
}

TEST(CropSel, RefusedBeyondThePixelLimit) {
  auto bm = Random24(10, 10, 1);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Select(0, 0, 100000, 100000);
  proc.CropSel();
  EXPECT_EQ(bm->GetWidth(), 10);
}

TEST(ImageResize, GrowsWithBackgroundAndIgnoresZero) {
  auto bm = Solid(4, 3, C(1, 2, 3));
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.ImageResize(0, 10);
  EXPECT_FALSE(proc.CanUndo());
  EXPECT_EQ(bm->GetWidth(), 4);
  proc.SetBackground(RGB2TColor(200, 100, 0));
  proc.ImageResize(6, 5);
  EXPECT_EQ(Get(*bm, 3, 2), C(1, 2, 3));
  EXPECT_EQ(Get(*bm, 5, 0), C(200, 100, 0));
  EXPECT_EQ(Get(*bm, 0, 4), C(200, 100, 0));
  proc.ImageResize(2, 2);
  EXPECT_EQ(bm->GetWidth(), 2);
  proc.ImageResize(-3, 2);  // negative sizes are refused rather than emptying the image
  EXPECT_EQ(bm->GetWidth(), 2);
  int64_t saved = PVGetMaxImagePixels();
  PVSetMaxImagePixels(100);
  proc.ImageResize(20, 20);
  PVSetMaxImagePixels(saved);
  EXPECT_EQ(bm->GetWidth(), 2);
}

TEST(PolygonCopies, CopyBitmapPolyTranslatesEachSubPolygon) {
  auto src = Random24(30, 20, 11);
  TBitmap whole;
  _CopyBitmapPoly(*src, whole, 4, 3, 14, 9, nullptr, 0);
  ASSERT_EQ(whole.GetWidth(), 10);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(Get(whole, x, y), Get(*src, x + 4, y + 3));
  // Two triangles with a separator; dest starts filled with a marker colour.
  std::vector<TPoint> poly = {{5, 2},  {15, 3}, {8, 11}, {kPVPolygonBreak, kPVPolygonBreak},
                              {18, 4}, {27, 6}, {20, 17}};
  TBitmap dest;
  _CopyBitmapPoly(*src, dest, 5, 2, 27, 17, poly.data(), int(poly.size()));
  ASSERT_EQ(dest.GetWidth(), 22);
  ASSERT_EQ(dest.GetHeight(), 15);
  std::vector<TPoint> a(poly.begin(), poly.begin() + 3), b(poly.begin() + 4, poly.end());
  int hitsA = 0, hitsB = 0;
  for (int y = 2; y < 17; ++y)
    for (int x = 5; x < 27; ++x) {
      bool inA = Locate(a, x, y) == Where::Inside, inB = Locate(b, x, y) == Where::Inside;
      if (inA || inB) {
        ASSERT_EQ(Get(dest, x - 5, y - 2), Get(*src, x, y)) << x << "," << y;
      }
      hitsA += inA;
      hitsB += inB;
    }
  EXPECT_GT(hitsA, 10);
  EXPECT_GT(hitsB, 10);
}

TEST(PolygonCopies, ToPointAndBack) {
  auto src = Random24(25, 18, 12);
  TBitmap dest(5, 5, pf24bit);
  TPoint at(30, 2);
  _CopyPolygonToPoint(*src, kTriangle.data(), int(kTriangle.size()), at, dest);
  // right = 30 + 15, bottom = 2 + 12; dest grows to right + 1 x bottom + 1.
  EXPECT_EQ(dest.GetWidth(), 46);
  EXPECT_EQ(dest.GetHeight(), 15);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 25; ++x)
      if (Locate(kTriangle, x, y) == Where::Inside) {
        ASSERT_EQ(Get(dest, x - 2 + at.x, y - 1 + at.y), Get(*src, x, y));
      }
  TBitmap back(3, 3, pf24bit);
  _CopyPointToPolygon(dest, kTriangle.data(), int(kTriangle.size()), at, back);
  EXPECT_EQ(back.GetWidth(), 17);  // at least maxX x maxY
  EXPECT_EQ(back.GetHeight(), 13);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 17; ++x)
      if (Locate(kTriangle, x, y) == Where::Inside) {
        ASSERT_EQ(Get(back, x, y), Get(*src, x, y));
      }
  TBitmap untouched(3, 3, pf24bit);
  _CopyPolygonToPoint(*src, kTriangle.data(), 2, at, untouched);
  EXPECT_EQ(untouched.GetWidth(), 3);
}

}  // namespace
}  // namespace pictavo
