// The gradient bar: its ramp table, the painted pixels in both directions,
// the inverting marker, and picking an entry with the mouse.
#include "controls/gradientbar.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/desktop.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;

TColor Px(TPVGradientBar& bar, int x, int y) {
  return bar.Surface().Canvas().GetPixel(x, y);
}
TColor Grey(int v) {
  return TColor(v | v << 8 | v << 16);
}

TEST_F(DesktopTest, GradientDefaultsRunFromBlackToWhite) {
  TPVGradientBar bar;
  EXPECT_EQ(bar.GetWidth(), 40);
  EXPECT_EQ(bar.GetHeight(), 300);
  EXPECT_EQ(bar.GetDirection(), gdVertical);
  EXPECT_TRUE(bar.GetMouseInteractGr().Contains(migDragGrip));
  EXPECT_EQ(bar.GetColorIndex(), 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(bar.Entry(i), Grey(i)) << i;
  EXPECT_EQ(bar.GetColor(), TColor(0));
}

TEST_F(DesktopTest, GradientTableRisesAndFallsToTheEndColour) {
  TPVGradientBar bar;
  // red rises 10 -> 200, green falls 250 -> 5, blue stays 7.
  bar.SetBeginColor(TColor(10 | 250 << 8 | 7 << 16));
  bar.SetEndColor(TColor(200 | 5 << 8 | 7 << 16));
  for (int i : {0, 1, 100, 254, 255}) {
    int r = 10 + int(i * (190 / 255.0)), g = 250 - int(i * (245 / 255.0));
    EXPECT_EQ(bar.Entry(i), TColor(r | g << 8 | 7 << 16)) << i;
  }
  EXPECT_EQ(bar.Entry(255), bar.GetEndColor());
  bar.SetColorIndex(100);
  EXPECT_EQ(bar.GetRGB().r, 10 + int(100 * (190 / 255.0)));
  EXPECT_EQ(bar.GetRGB().g, 250 - int(100 * (245 / 255.0)));
}

TEST_F(DesktopTest, GradientVerticalPaintsEntryZeroAtTheTopWithMarker) {
  TPVGradientBar bar;
  bar.SetBounds(0, 0, 10, 256);
  Desktop().AddWindow(&bar);
  bar.SetColorIndex(0);
  Desktop().ProcessMessages();
  // Row a shows entry trunc(255/255 * a) = a; marker rows -3..2 clipped,
  // so its outline shows on row 2 (inverted) and columns 0 and 9 of rows 0..2.
  EXPECT_EQ(Px(bar, 5, 100), Grey(100));
  EXPECT_EQ(Px(bar, 5, 255), Grey(255));
  EXPECT_EQ(Px(bar, 5, 2), Grey(255 - 2));
  EXPECT_EQ(Px(bar, 0, 1), Grey(255 - 1));
  EXPECT_EQ(Px(bar, 5, 1), Grey(1));
  EXPECT_EQ(Px(bar, 5, 3), Grey(3));
  Desktop().RemoveWindow(&bar);
}

TEST_F(DesktopTest, GradientHorizontalPaintAndMarker) {
  TPVGradientBar bar;
  bar.SetDirection(gdHorizontal);
  bar.SetBounds(0, 0, 52, 8);  // 255 / 51 = 5 entries per column
  Desktop().AddWindow(&bar);
  bar.SetColorIndex(128);  // p = trunc(128 * 51 / 255) = 25
  Desktop().ProcessMessages();
  EXPECT_EQ(Px(bar, 10, 4), Grey(50));
  EXPECT_EQ(Px(bar, 51, 4), Grey(255));
  // Outline columns 22 and 27, rows 0 and 7; inside untouched.
  EXPECT_EQ(Px(bar, 22, 4), Grey(255 - 110));
  EXPECT_EQ(Px(bar, 27, 4), Grey(255 - 135));
  EXPECT_EQ(Px(bar, 24, 0), Grey(255 - 120));
  EXPECT_EQ(Px(bar, 24, 4), Grey(120));
  EXPECT_EQ(Px(bar, 28, 4), Grey(140));
  Desktop().RemoveWindow(&bar);
}

TEST_F(DesktopTest, GradientNoMarkerWithoutDragGripOrInDesign) {
  for (bool design : {false, true}) {
    TPVGradientBar bar;
    bar.SetDirection(gdHorizontal);
    bar.SetBounds(0, 0, 52, 8);
    if (design)
      bar.SetDesigning(true);
    else
      bar.SetMouseInteractGr({});
    bar.SetColorIndex(128);
    Desktop().AddWindow(&bar);
    Desktop().ProcessMessages();
    EXPECT_EQ(Px(bar, 22, 4), Grey(110));
    Desktop().RemoveWindow(&bar);
  }
}

TEST_F(DesktopTest, GradientMousePicksAndDragsClampedToTheBar) {
  TPVGradientBar bar;
  bar.SetBounds(100, 50, 20, 256);
  Desktop().AddWindow(&bar);
  std::vector<int> seen;
  bar.OnChange = [&](TObject*) { seen.push_back(bar.GetColorIndex()); };
  Desktop().Click(Point(105, 50 + 77));
  EXPECT_EQ(bar.GetColorIndex(), 77);
  // Drag far below the bar: clamped to the last row.
  Desktop().Drag(Point(105, 50 + 10), Point(105, 50 + 900), 2);
  EXPECT_EQ(bar.GetColorIndex(), 255);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], 77);
  EXPECT_EQ(seen[1], 10);
  // A moving mouse without a press changes nothing.
  Desktop().MouseMove(Point(105, 50 + 30));
  EXPECT_EQ(bar.GetColorIndex(), 255);
  bar.SetMouseInteractGr({});
  Desktop().Click(Point(105, 50 + 5));
  EXPECT_EQ(bar.GetColorIndex(), 255);
  Desktop().RemoveWindow(&bar);
}

}  // namespace
}  // namespace pictavo
