// The view's pixel transfers against the canvas's own stretch, clipping and
// sources partly outside the bitmap; the shadow painters' pixels.
#include "view/view_blit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/view/view_test_util.h"
#include "view/background.h"

namespace pictavo {
namespace {

using viewtest::CoordColor;
using viewtest::Grey;
using viewtest::MakeBitmap;

TEST(ViewBlit, StretchMatchesTheCanvasNearestRule) {
  std::mt19937 rng(7);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int iter = 0; iter < 40; ++iter) {
    auto src = MakeBitmap(uni(1, 40), uni(1, 40), CoordColor);
    const TPixelFormat format = iter % 2 ? pf32bit : pf24bit;
    TBitmap ours(60, 50, format), theirs(60, 50, format);
    const TRect dest(uni(-10, 20), uni(-10, 20), uni(21, 80), uni(21, 70));
    PVStretchToCanvas(ours.Canvas(), dest, *src, TRect(0, 0, src->GetWidth(), src->GetHeight()));
    theirs.Canvas().StretchDraw(dest, *src);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 60; ++x)
        ASSERT_EQ(ours.GetPixel(x, y), theirs.GetPixel(x, y)) << iter << ": " << x << "," << y;
  }
}

TEST(ViewBlit, ClipAndSourcesOutsideTheBitmapLeavePixelsAlone) {
  auto src = MakeBitmap(10, 10, CoordColor);
  TBitmap dest(30, 30, pf32bit);
  dest.Canvas().Brush().SetColor(0x00FF00);
  dest.Canvas().FillRect(Rect(0, 0, 30, 30));
  dest.Canvas().IntersectClipRect(Rect(0, 0, 15, 30));
  // Source columns -5..14 onto 20 pixels: 1:1, half of it outside.
  PVStretchToCanvas(dest.Canvas(), Rect(0, 0, 20, 10), *src, Rect(-5, 0, 15, 10));
  EXPECT_EQ(dest.GetPixel(4, 0), 0x00FF00u);  // source x -1
  EXPECT_EQ(dest.GetPixel(5, 3), CoordColor(0, 3));
  EXPECT_EQ(dest.GetPixel(14, 9), CoordColor(9, 9));
  EXPECT_EQ(dest.GetPixel(15, 0), 0x00FF00u);  // clipped away
}

TEST(ViewBlit, OneBitSourcesAreBlackAndWhiteAndCopiesAreExact) {
  TBitmap page(9, 3, pf1bit);
  for (int x = 0; x < 9; ++x) page.SetPixel(x, 1, (x % 3) ? clWhite : clBlack);
  TBitmap dest(18, 6, pf32bit);
  PVStretchToCanvas(dest.Canvas(), Rect(0, 0, 18, 6), page, Rect(0, 0, 9, 3));
  EXPECT_EQ(dest.GetPixel(0, 2), clBlack);
  EXPECT_EQ(dest.GetPixel(3, 3), clWhite);
  EXPECT_EQ(dest.GetPixel(6, 2), clBlack);
  auto src = MakeBitmap(7, 5, CoordColor);
  TBitmap copy(10, 10, pf24bit);
  PVCopyToCanvas(copy.Canvas(), 2, 3, *src);
  EXPECT_EQ(copy.GetPixel(2, 3), CoordColor(0, 0));
  EXPECT_EQ(copy.GetPixel(8, 7), CoordColor(6, 4));
  TBitmap part;
  PVCopyRectTo24(page, Rect(-1, 0, 4, 2), part);
  ASSERT_EQ(part.GetWidth(), 5);
  EXPECT_EQ(part.GetPixel(0, 1), clBlack);  // outside: black
  EXPECT_EQ(part.GetPixel(2, 1), clWhite);  // page x 1
  EXPECT_EQ(part.GetPixel(4, 1), clBlack);  // page x 3
}

TEST(ViewShadow, SolidAndSmoothTwoFollowTheirShapes) {
  TBitmap bmp(30, 30, pf24bit);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, 30, 30));
  // Right shadow, 4 thick (x 10..13), 10 long (y 0..9).
  PVRightShadow(c, 10, 0, 13, 9, pvstSmooth2);
  EXPECT_EQ(bmp.GetPixel(10, 0), Grey(255));  // the first row starts at full light
  EXPECT_EQ(bmp.GetPixel(10, 5), Grey(93));   // exp(0) / e: 93
  EXPECT_EQ(bmp.GetPixel(12, 5), Grey(154));  // exp(1/2) / e: 154
  EXPECT_EQ(bmp.GetPixel(11, 9), clWhite);    // rows past 7 start further out
  EXPECT_EQ(bmp.GetPixel(12, 9), Grey(154));
  // Solid below: (X1 + h, Y1) .. (X2 + 1, Y2) in the brush.
  c.Brush().SetColor(0x0000FF);
  PVBottomShadow(c, 0, 20, 15, 23, pvstSolid);
  EXPECT_EQ(bmp.GetPixel(3, 21), clWhite);
  EXPECT_EQ(bmp.GetPixel(4, 20), 0x0000FFu);
  EXPECT_EQ(bmp.GetPixel(15, 22), 0x0000FFu);
  EXPECT_EQ(bmp.GetPixel(15, 23), clWhite);
  PVRightShadow(c, 20, 0, 25, 10, pvstNone);
  EXPECT_EQ(bmp.GetPixel(20, 8), clWhite);
}

TEST(ViewShadow, SmoothOneGreyLevelsAreExpOverE) {
  TBitmap bmp(40, 40, pf24bit);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, 40, 40));
  PVBottomShadow(c, 0, 30, 30, 35, pvstSmooth1);
  for (int j = 0; j < 6; ++j) {
    const int expected = int(std::trunc(std::exp(j / 6.0) / std::exp(1.0) * 255));
    EXPECT_EQ(bmp.GetPixel(15, 30 + j), Grey(expected)) << j;
  }
  // Each line starts h = 6 pixels in and ends (exclusive) at X2 - h + j + 3.
  EXPECT_EQ(bmp.GetPixel(5, 30), clWhite);
  EXPECT_EQ(bmp.GetPixel(6, 30), Grey(93));
  EXPECT_EQ(bmp.GetPixel(26, 30), Grey(93));
  EXPECT_EQ(bmp.GetPixel(27, 30), clWhite);
  EXPECT_EQ(bmp.GetPixel(31, 35), Grey(215));
  EXPECT_EQ(bmp.GetPixel(32, 35), clWhite);
}

}  // namespace
}  // namespace pictavo
