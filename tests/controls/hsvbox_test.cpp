// The HSV box: clamping setters, the square and hue bar pixels, the
// inverting markers, and picking with the mouse (square, bar, gap).
#include "controls/hsvbox.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/conversions.h"
#include "platform/desktop.h"
#include "processing/colour_spaces.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;

TColor Hsv(int h, int s, int v) {
  TRGB c;
  HSV2RGB(c, h, s, v);
  return TColor(c.r | c.g << 8 | c.b << 16);
}
TColor Px(const THSVBox& box, int x, int y) {
  return const_cast<TBitmap&>(box.Image()).Canvas().GetPixel(x, y);
}
TColor Inv(TColor c) {
  return c ^ 0xFFFFFF;
}

bool SameImage(const THSVBox& a, const THSVBox& b) {
  const TBitmap &x = a.Image(), &y = b.Image();
  if (x.GetWidth() != y.GetWidth() || x.GetHeight() != y.GetHeight()) return false;
  for (int r = 0; r < x.GetHeight(); ++r)
    if (memcmp(x.ScanLine(r), y.ScanLine(r), size_t(3 * x.GetWidth())) != 0) return false;
  return true;
}

TEST_F(DesktopTest, HSVBoxSettersClampAndRecomputeTheColour) {
  THSVBox box;
  EXPECT_EQ(box.GetWidth(), 105);
  EXPECT_EQ(box.SquareWidth(), 80);
  EXPECT_EQ(box.GetColor(), TColor(0));
  box.SetHue(400);
  EXPECT_EQ(box.GetHue(), 359);
  box.SetSat(-5);
  EXPECT_EQ(box.GetSat(), 0);
  box.SetVal(150);
  EXPECT_EQ(box.GetVal(), 99);
  box.SetHue(120);
  box.SetSat(99);
  EXPECT_EQ(box.GetColor(), Hsv(120, 99, 99));
  EXPECT_EQ(box.GetGreen(), TColor2TRGB(Hsv(120, 99, 99)).g);
  box.SetRGB(255, 0, 0);
  EXPECT_EQ(box.GetHue(), 0);
  EXPECT_EQ(box.GetSat(), 99);
  EXPECT_EQ(box.GetVal(), 99);
  EXPECT_EQ(box.GetColor(), TColor(0x0000FF));
  box.SetColor(TColor(0x00FF00));
  EXPECT_EQ(box.GetHue(), 120);
  EXPECT_EQ(box.GetRed(), 0);
  EXPECT_EQ(box.GetGreen(), 255);
}

TEST_F(DesktopTest, HSVBoxPaintsSquareGapBarAndMarkers) {
  THSVBox box;
  box.SetBackground(TColor(0x123456));
  box.SetHue(200);  // hue marker y = round(104 * 159 / 360) = 46
  box.SetSat(50);   // square marker x = round(50 / 99 * 79) = 40
  box.SetVal(60);   // v = round(104 * 60 / 99) = 63: rows 38..43
  // Square: row 104 - d holds value trunc(d * (100/105)), column g
  // saturation trunc(g * 1.25).
  float vf = 100.0f / 105.0f;
  int d = 20, value = int(float(d) * vf);
  EXPECT_EQ(Px(box, 60, 104 - d), Hsv(200, 75, value));
  EXPECT_EQ(Px(box, 0, 104), Hsv(200, 0, 0));
  EXPECT_EQ(Px(box, 79, 0), Hsv(200, 98, int(104 * vf)));
  for (int x = 80; x < 85; ++x) EXPECT_EQ(Px(box, x, 10), TColor(0x123456));
  EXPECT_EQ(Px(box, 95, 104 - 70), Hsv(70 * 360 / 105, 99, 99));
  // Hue marker outline: rows 44 and 47, columns 85 and 104.
  EXPECT_EQ(Px(box, 90, 44), Inv(Hsv((104 - 44) * 360 / 105, 99, 99)));
  EXPECT_EQ(Px(box, 85, 45), Inv(Hsv((104 - 45) * 360 / 105, 99, 99)));
  EXPECT_EQ(Px(box, 90, 45), Hsv((104 - 45) * 360 / 105, 99, 99));
  // Square marker outline: columns 37 and 42, rows 38 and 43.
  auto sq = [&](int x, int y) {
    return Hsv(200, int(float(x) * (100.0f / 80.0f)), int(float(104 - y) * vf));
  };
  EXPECT_EQ(Px(box, 37, 40), Inv(sq(37, 40)));
  EXPECT_EQ(Px(box, 40, 43), Inv(sq(40, 43)));
  EXPECT_EQ(Px(box, 40, 40), sq(40, 40));
  // The surface shows the bitmap after a paint.
  Desktop().AddWindow(&box);
  Desktop().ProcessMessages();
  EXPECT_EQ(box.Surface().Canvas().GetPixel(37, 40), Inv(sq(37, 40)));
  Desktop().RemoveWindow(&box);
}

TEST_F(DesktopTest, HSVBoxMarkersEraseThemselves) {
  THSVBox fresh, box;
  box.SetSat(50);
  box.SetVal(70);
  box.SetSat(0);
  box.SetVal(0);
  EXPECT_TRUE(SameImage(fresh, box));
  box.SetHue(90);
  box.SetHue(0);
  EXPECT_TRUE(SameImage(fresh, box));
}

TEST_F(DesktopTest, HSVBoxMousePicksInSquareAndBarButNotInTheGap) {
  THSVBox box;
  box.SetBounds(10, 10, 105, 105);
  Desktop().AddWindow(&box);
  int changes = 0;
  box.OnChange = [&](TObject*) { ++changes; };
  Desktop().Click(Point(10 + 82, 10 + 30));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(box.GetSat(), 0);
  EXPECT_EQ(box.GetHue(), 0);
  Desktop().Click(Point(10 + 40, 10 + 52));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box.GetSat(), 50);       // round(40 / 79 * 99) = round(50.13)
  EXPECT_EQ(box.GetVal(), 99 - 50);  // round(49.5) is 50 (half to even)
  Desktop().Click(Point(10 + 95, 10 + 0));
  EXPECT_EQ(box.GetHue(), 359);
  EXPECT_EQ(box.GetSat(), 50);
  EXPECT_EQ(Px(box, 60, 100), Hsv(359, 75, int(4 * (100.0f / 105.0f))));
  // Dragging from the bar far below and left stays in the bar: hue 0.
  Desktop().Drag(Point(10 + 95, 10 + 20), Point(0, 10 + 500), 3);
  EXPECT_EQ(box.GetHue(), 0);
  EXPECT_EQ(box.GetSat(), 50);
  // Dragging in the square past its right edge stops at the last column.
  Desktop().Drag(Point(10 + 5, 10 + 5), Point(10 + 100, 10 + 104), 2);
  EXPECT_EQ(box.GetSat(), 99);
  EXPECT_EQ(box.GetVal(), 0);
  EXPECT_EQ(box.GetColor(), Hsv(0, 99, 0));
  Desktop().RemoveWindow(&box);
}

}  // namespace
}  // namespace pictavo
