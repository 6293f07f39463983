// The ruler box: grip shapes and hit testing, limits, tick positions and
// labels, and the mouse: clicks, grip drags and scrolling past an edge.
#include "controls/rulerbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/app.h"
#include "platform/desktop.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;

TColor Px(const TRulerBox& box, int x, int y) {
  return const_cast<TBitmap&>(box.Image()).Canvas().GetPixel(x, y);
}

TEST_F(DesktopTest, RulerDefaultsAndGripAccess) {
  TRulerBox box;
  EXPECT_EQ(box.GetWidth(), 300);
  EXPECT_EQ(box.GetHeight(), 40);
  EXPECT_EQ(box.GetGripsCount(), 1);
  EXPECT_EQ(box.GetGripBaseDim(), 12);
  EXPECT_EQ(box.GetRulerHeight(), int(std::abs(box.GetFont().GetHeight()) * 1.7) + 3);
  EXPECT_EQ(box.GetGripsPos(5), 0.0);
  box.SetGripsPos(5, 7);  // ignored
  EXPECT_EQ(box.GetGripsCount(), 1);
  box.SetViewMin(-20);
  box.SetViewMax(500);
  box.SetGripsCount(3);
  EXPECT_EQ(box.GetGripsMin(2), -20);
  EXPECT_EQ(box.GetGripsMax(2), 500);
  EXPECT_EQ(box.GetGripsKind(2), gkTriangle);
  EXPECT_EQ(box.GetGripsCol(2), TColor(clBlack));
}

TEST_F(DesktopTest, RulerOffPutsGripTipsAtTheEdge) {
  TRulerBox box;
  box.SetRuler(false);
  EXPECT_EQ(box.GetRulerHeight(), 0);
  box.SetGripsPos(0, 50);
  std::vector<TPoint> up = box.GripPoints(0);
  ASSERT_EQ(up.size(), 3u);
  EXPECT_EQ(up[0], Point(44, 39));
  EXPECT_EQ(up[1], Point(56, 39));
  EXPECT_EQ(up[2], Point(50, 0));
  box.SetGripsDir(gdDown);
  EXPECT_EQ(box.GripPoints(0)[2], Point(50, 39));
  // The tip pixel takes the black outline.
  EXPECT_EQ(Px(box, 50, 39), TColor(clBlack));
  box.SetGripsKind(0, gkArrow);
  std::vector<TPoint> a = box.GripPoints(0);
  ASSERT_EQ(a.size(), 7u);
  EXPECT_EQ(a[2], Point(53, 26));  // base 0 + (39 div 3) * 2
  box.SetRulerDir(rdVertical);
  box.SetBounds(0, 0, 40, 300);
  EXPECT_EQ(box.GripPoints(0)[4], Point(39, 50));
}

TEST_F(DesktopTest, RulerGripLimitsAndViewLimits) {
  TRulerBox box;
  std::vector<int> changes;
  box.OnRulerPosChange = [&](TObject*, int g) { changes.push_back(g); };
  box.SetGripsMin(0, 10);
  box.SetGripsMax(0, 10);
  box.SetGripsPos(0, 99);
  EXPECT_EQ(box.GetGripsPos(0), 99);  // min = max: not limited
  box.SetGripsMax(0, 50);
  EXPECT_EQ(box.GetGripsPos(0), 50);
  box.SetGripsPos(0, -4);
  EXPECT_EQ(box.GetGripsPos(0), 10);
  EXPECT_FALSE(changes.empty());
  box.SetViewMin(0);
  box.SetViewMax(1000);
  box.SetViewPos(-30);
  EXPECT_EQ(box.GetViewPos(), 0);
  box.SetViewPos(900);
  EXPECT_EQ(box.GetViewPos(), 1000 - 300);
}

TEST_F(DesktopTest, RulerTicksStartAtTheFirstMultipleAndLabelInHex) {
  TRulerBox box;
  box.SetGripsCount(0);
  box.SetRulerColor(0xFFFFFF);
  box.SetViewPos(-15);
  int r = box.GetRulerHeight();
  // First small tick at -10: pixel 5, from row R up R div 4 rows.
  TColor ink = ColorToRGB(box.GetFont().GetColor());
  EXPECT_EQ(Px(box, 5, r), ink);
  EXPECT_EQ(Px(box, 5, r - r / 4 + 1), ink);
  EXPECT_EQ(Px(box, 5, r - r / 4), TColor(0xFFFFFF));
  EXPECT_EQ(Px(box, 6, r), TColor(0xFFFFFF));
  EXPECT_EQ(Px(box, 15, r), ink);
  box.SetHexLabels(true);
  EXPECT_EQ(box.LabelText(255), "FF");
  EXPECT_EQ(box.LabelText(-16), "-10");
  EXPECT_EQ(box.LabelText(0.7), "0");
  EXPECT_EQ(box.LabelText(0x123456), "123456");
  box.SetHexLabels(false);
  EXPECT_EQ(box.LabelText(40), "40");
  EXPECT_EQ(box.LabelText(-2.5), "-2.5");
  EXPECT_EQ(box.LabelText(1e20), "1E+020");
}

TEST_F(DesktopTest, RulerTicksDenserThanPixelsFillTheBandQuickly) {
  TRulerBox box;
  box.SetGripsCount(0);
  box.SetRulerColor(0xFFFFFF);
  box.SetFrequency(1e-9);  // three hundred billion ticks on 300 pixels
  box.SetLabelFreq(1e-9);
  int r = box.GetRulerHeight();
  TColor ink = ColorToRGB(box.GetFont().GetColor());
  for (int x = 0; x < 300; x += 37) EXPECT_EQ(Px(box, x, r), ink) << x;
  EXPECT_EQ(Px(box, 100, 1), TColor(0xFFFFFF));  // no labels
}

TEST_F(DesktopTest, RulerClicksAndGripDrags) {
  TRulerBox box;
  box.SetBounds(20, 10, 300, 40);
  Desktop().AddWindow(&box);
  box.SetGripsCount(2);
  box.SetGripsPos(0, 100);
  box.SetGripsPos(1, 200);
  box.SetDotPerUnit(2);    // grips at pixels 200 and 400 (past the end)
  box.SetGripsPos(1, 60);  // pixel 120
  std::vector<std::string> log;
  box.OnRulerClick = [&](TObject*, double p) {
    log.push_back("ruler " + std::to_string(int(p * 10)));
  };
  box.OnRulerGripClick = [&](TObject*, int g) { log.push_back("click " + std::to_string(g)); };
  box.OnRulerGripDblClick = [&](TObject*, int g) { log.push_back("dbl " + std::to_string(g)); };
  Desktop().Click(Point(20 + 31, 10 + 38));
  Desktop().Click(Point(20 + 120, 10 + 38));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "ruler 155");  // 31 / 2 + 0
  EXPECT_EQ(log[1], "click 1");
  // Drag grip 0 from pixel 201 to 241: position (241 + 200 - 201) / 2.
  Desktop().Drag(Point(20 + 201, 10 + 38), Point(20 + 241, 10 + 38), 4);
  EXPECT_EQ(box.GetGripsPos(0), 120);
  EXPECT_EQ(log.size(), 2u);  // a moved grip is no click
  Desktop().DoubleClick(Point(20 + 120, 10 + 38));
  EXPECT_EQ(log.back(), "click 1");
  EXPECT_NE(std::find(log.begin(), log.end(), "dbl 1"), log.end());
  Desktop().RemoveWindow(&box);
}

TEST_F(DesktopTest, RulerWithoutGripsReportsRulerClicks) {
  TRulerBox box;
  box.SetGripsCount(0);
  box.SetViewPos(7);
  Desktop().AddWindow(&box);
  double at = -1;
  box.OnRulerClick = [&](TObject*, double p) { at = p; };
  Desktop().Click(Point(40, 30));
  EXPECT_EQ(at, 47);
  Desktop().RemoveWindow(&box);
}

TEST_F(DesktopTest, RulerScrollsPastTheRightEdgeOnTimerTicks) {
  Application().UseManualClock(true);
  TRulerBox box;
  box.SetBounds(0, 0, 300, 40);
  box.SetViewMin(0);
  box.SetViewMax(1000);
  box.SetGripsPos(0, 100);
  Desktop().AddWindow(&box);
  Desktop().MouseDown(mbLeft, Point(100, 38));
  Desktop().MouseMove(Point(350, 38), TShiftState{ssLeft});
  EXPECT_EQ(box.GetViewPos(), 1);  // one step at once
  EXPECT_EQ(box.GetGripsPos(0), (300 + 100 - 100 - 1) + 0 + 1);
  Desktop().AdvanceClock(TRulerBox::kScrollIntervalMs * 5);
  EXPECT_EQ(box.GetViewPos(), 6);
  EXPECT_EQ(box.GetGripsPos(0), 299 + 5 + 1);
  Desktop().MouseUp(mbLeft, Point(350, 38));
  Desktop().AdvanceClock(TRulerBox::kScrollIntervalMs * 5);
  EXPECT_EQ(box.GetViewPos(), 6);
  Desktop().RemoveWindow(&box);
}

}  // namespace
}  // namespace pictavo
