// Mouse interaction of the image view through the headless desktop: the
// gesture rules, zoom clicks, scrolling by dragging and automatically,
// polygons, ellipses, zoom-to-rectangle, cursors, the wheel and keys.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/desktop.h"
#include "platform/screen.h"
#include "tests/view/view_test_util.h"
#include "view/anim_polygon.h"
#include "view/mouse_interact.h"
#include "view/pictavoview.h"

namespace pictavo {
namespace {

using viewtest::MakeBitmap;
using viewtest::ViewFixture;

class Mouse : public ViewFixture {
 protected:
  void ShowPlain(int vw, int vh, int bw, int bh) {
    image_ = MakeBitmap(bw, bh, [](int, int) { return TColor(0x306090); });
    Show(vw, vh, *image_);
  }
  std::unique_ptr<TBitmap> image_;
};

TEST_F(Mouse, InteractRulesApplyInOrder) {
  ShowPlain(50, 50, 40, 40);
  view->SetMouseInteract({miZoom, miSelectPolygon});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miSelectPolygon}));  // rule 3 before 6
  view->SetMouseInteract({});
  view->SetMouseInteract({miZoom, miSelect});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miZoom, miSelect}));
  view->SetMouseInteract({miZoom, miSelect, miScroll});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miZoom, miScroll}));
  view->SetMouseInteract({miZoom, miScroll, miSelectZoom});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miZoom, miSelectZoom}));
  view->SetMouseInteract({miZoom, miSelectZoom, miSelectCircle});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miSelectCircle}));
  view->SetMouseInteract({miSelectCircle, miSelectMagicWand});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miSelectMagicWand}));
  view->SetMouseInteract({miSelectMagicWand, miZoom, miScroll, miSelectZoom});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miZoom, miScroll}));  // rule 1 first
  view->SetMouseInteract({});
  view->SetMouseInteract({miZoom, miSelectMagicWand});
  EXPECT_EQ(view->GetMouseInteract(), TPVMouseInteract({miZoom}));  // rule 6 before 7
}

TEST_F(Mouse, ZoomClickSequences) {
  ShowPlain(200, 200, 400, 400);
  view->SetMouseInteract({miZoom});
  struct Case {
    double from;
    TMouseButton button;
    double to;
  };
  for (Case c : {Case{100, mbLeft, 200}, Case{200, mbLeft, 300}, Case{40, mbLeft, 50},
                 Case{1, mbLeft, 2}, Case{100, mbRight, 75}, Case{2, mbRight, 2},
                 Case{250, mbRight, 150}, Case{5, mbRight, 2}, Case{199, mbRight, 100}}) {
    view->SetZoom(c.from);
    Desktop().ProcessMessages();
    Desktop().Click(Point(2, 2), c.button);  // inside even at 1 %
    EXPECT_EQ(view->GetZoom(), c.to) << c.from << " button " << int(c.button);
  }
  // The clicked bitmap point comes to the centre.
  view->SetZoom(100);
  view->SetViewXY(0, 0);
  Desktop().ProcessMessages();
  Desktop().Click(Point(150, 120));
  EXPECT_EQ(view->GetViewX(), 150 * 2 - 100);
  EXPECT_EQ(view->GetViewY(), 120 * 2 - 100);
}

TEST_F(Mouse, AClickOutsideTheImageIsNoZoomClick) {
  ShowPlain(200, 200, 50, 50);
  view->SetMouseInteract({miZoom});
  Desktop().Click(Point(150, 150));
  EXPECT_EQ(view->GetZoom(), 100);
  Desktop().Click(Point(50, 50));  // the edge itself is inside the clamp
  EXPECT_EQ(view->GetZoom(), 200);
  // A press that moves is no click either.
  Desktop().MouseDown(mbLeft, Point(10, 10));
  Desktop().MouseMove(Point(11, 10));
  Desktop().MouseUp(mbLeft, Point(11, 10));
  EXPECT_EQ(view->GetZoom(), 200);
}

TEST_F(Mouse, DragScrollsTheImage) {
  ShowPlain(100, 100, 300, 300);
  view->SetMouseInteract({miScroll});
  Desktop().Drag(Point(80, 80), Point(30, 60), 3);
  EXPECT_EQ(view->GetViewX(), 50);
  EXPECT_EQ(view->GetViewY(), 20);
  Desktop().Drag(Point(10, 10), Point(90, 90), 2);
  EXPECT_EQ(view->GetViewX(), 0);
  EXPECT_EQ(view->GetViewY(), 0);
}

TEST_F(Mouse, HoldingRightOfTheImageScrollsToItsEnd) {
  ShowPlain(100, 100, 300, 100);
  view->SetMouseInteract({miSelect});
  int maxX = 0, maxY = 0;
  view->GetMaxViewXY(maxX, maxY);
  ASSERT_EQ(maxX, 200);
  Desktop().MouseDown(mbLeft, Point(50, 40));
  Desktop().MouseMove(Point(130, 60));  // 31 pixels beyond the last column
  EXPECT_EQ(view->GetViewX(), 31);
  int ticks = 0;
  while (view->GetViewX() < maxX && ticks < 100) {
    Desktop().AdvanceClock(kPVAutoScrollMs);
    ++ticks;
  }
  EXPECT_EQ(view->GetViewX(), maxX);
  EXPECT_EQ(ticks, 6);                          // 31 pixels per tick: 31 + 6 * 31 >= 200
  Desktop().AdvanceClock(5 * kPVAutoScrollMs);  // nothing more to scroll
  EXPECT_EQ(view->GetViewX(), maxX);
  Desktop().MouseUp(mbLeft, Point(130, 60));
  // The rectangle runs from the pressed pixel to the image's end.
  EXPECT_EQ(view->GetSelX1(), 50);
  EXPECT_EQ(view->GetSelX2(), 300);
  EXPECT_EQ(view->GetSelY1(), 40);
  EXPECT_EQ(view->GetSelY2(), 61);
  EXPECT_TRUE(view->SelectionMask().IsPointInside(299, 60));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(49, 50));
  // After the release the timer stops.
  const int x = view->GetViewX();
  view->SetViewX(100);
  Desktop().AdvanceClock(5 * kPVAutoScrollMs);
  EXPECT_EQ(view->GetViewX(), 100);
  EXPECT_EQ(x, maxX);
}

TEST_F(Mouse, PolygonByClicksFreehandAndDoubleClick) {
  ShowPlain(100, 100, 80, 80);
  view->SetMouseInteract({miSelectPolygon});
  int changes = 0;
  view->OnSelectionChange = [&](TObject*) { ++changes; };
  Desktop().Click(Point(10, 10));
  EXPECT_TRUE(view->PolygonDrawing());
  Desktop().Click(Point(50, 10));
  // The rubber band follows the mouse in inverting mode.
  const TColor under = Pixel(40, 30);
  Desktop().MouseMove(Point(30, 30));
  EXPECT_EQ(Pixel(40, 20), TColor(~0x306090u & 0xFFFFFF));  // on the band (50,10)-(30,30)
  Desktop().MouseMove(Point(60, 60));
  EXPECT_EQ(Pixel(40, 20), TColor(0x306090));  // erased when the band moved
  EXPECT_EQ(Pixel(40, 30), under);
  // Freehand: a drag adds every position.
  Desktop().Drag(Point(60, 60), Point(40, 70), 2);
  EXPECT_EQ(view->GetPolySelCount(), 5);  // press (60,60), (50,65), (40,70)
  Desktop().DoubleClick(Point(10, 60));
  EXPECT_FALSE(view->PolygonDrawing());
  ASSERT_EQ(view->GetPolySelCount(), 6);
  EXPECT_EQ(view->GetPolySel(5), Point(10, 60));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(view->SelectionMask().IsPointInside(20, 20));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(70, 20));
  // A new polygon replaces it; Shift adds a sub-polygon.
  Desktop().Click(Point(60, 70));
  Desktop().Click(Point(75, 70));
  Desktop().DoubleClick(Point(75, 78));
  EXPECT_EQ(view->GetPolySelCount(), 3);
  Desktop().Click(Point(5, 5), mbLeft, {ssShift});
  Desktop().Click(Point(20, 5));
  Desktop().DoubleClick(Point(20, 20));
  EXPECT_EQ(view->GetPolySelCount(), 7);
  EXPECT_TRUE(PVIsBreak(view->GetPolySel(3)));
}

TEST_F(Mouse, CtrlConstrainsPolygonCorners) {
  ShowPlain(100, 100, 80, 80);
  view->SetMouseInteract({miSelectPolygon});
  Desktop().Click(Point(10, 10));
  Desktop().Click(Point(60, 14), mbLeft, {ssCtrl});  // flat: horizontal
  EXPECT_EQ(view->GetPolySel(1), Point(60, 10));
  Desktop().Click(Point(64, 60), mbLeft, {ssCtrl});  // steep: vertical
  EXPECT_EQ(view->GetPolySel(2), Point(60, 60));
}

TEST_F(Mouse, SettingAnotherGestureEndsThePolygon) {
  ShowPlain(100, 100, 80, 80);
  view->SetMouseInteract({miSelectPolygon});
  Desktop().Click(Point(10, 10));
  Desktop().Click(Point(50, 10));
  Desktop().Click(Point(50, 50));
  view->SetMouseInteract({miSelect});
  EXPECT_FALSE(view->PolygonDrawing());
  EXPECT_EQ(view->GetPolySelCount(), 2);  // the last point goes
}

TEST_F(Mouse, EllipseOfRadiiTenAndTwentyHasFifteenPoints) {
  ShowPlain(120, 120, 100, 100);
  view->SetMouseInteract({miSelectCircle});
  Desktop().Drag(Point(50, 50), Point(60, 70), 2);
  ASSERT_EQ(view->GetPolySelCount(), 15);
  for (int i = 0; i < 15; ++i) {
    const double a = 2 * M_PI * i / 15;
    EXPECT_EQ(view->GetPolySel(i), Point(int(std::cos(a) * 10 + 50), int(std::sin(a) * 20 + 50)))
        << i;
  }
  EXPECT_TRUE(view->SelectionMask().IsPointInside(50, 50));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(58, 68));
  // Ctrl makes a circle of the larger radius: 20, so 31 points.
  view->DeSelect();
  Desktop().Drag(Point(50, 50), Point(60, 70), 1, {ssCtrl});
  EXPECT_EQ(view->GetPolySelCount(), 31);
  EXPECT_EQ(view->GetPolySel(0), Point(70, 50));
  // A tiny drag still gives three points.
  view->DeSelect();
  Desktop().Drag(Point(10, 10), Point(11, 10), 1);
  EXPECT_EQ(view->GetPolySelCount(), 3);
}

TEST_F(Mouse, ZoomToADraggedRectangle) {
  ShowPlain(100, 100, 200, 200);
  view->SetMouseInteract({miSelectZoom});
  Desktop().Drag(Point(20, 20), Point(44, 44), 2);
  // The box 20..45 counts 26 pixels high and wide for the zoom.
  EXPECT_DOUBLE_EQ(view->GetZoom(), 100 / ((45 - 20 + 1) / 100.0));
  EXPECT_FALSE(view->HasSelection());
}

TEST_F(Mouse, CursorsOverGripsAndSelectedPixels) {
  ShowPlain(100, 100, 90, 90);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(20, 20, 60, 50);
  view->SetMouseInteract({miSelect});
  struct Case {
    int x, y;
    TCursor cursor;
  };
  for (Case c : {Case{20, 20, kPVCursorSizeNWSE}, Case{60, 50, kPVCursorSizeNWSE},
                 Case{61, 19, kPVCursorSizeNESW}, Case{20, 50, kPVCursorSizeNESW},
                 Case{21, 35, kPVCursorSizeWE}, Case{59, 35, kPVCursorSizeWE},
                 Case{40, 21, kPVCursorSizeNS}, Case{40, 48, kPVCursorSizeNS},
                 Case{40, 35, kPVCursorMove}, Case{80, 80, kPVDefaultViewCursor}}) {
    Desktop().MouseMove(Point(c.x, c.y));
    EXPECT_EQ(Screen().ShownCursor(), c.cursor) << c.x << "," << c.y;
  }
  EXPECT_EQ(view->GetOwnCursor(), kPVDefaultViewCursor);
  EXPECT_FALSE(Screen().Cursors(kPVCursorMove).Empty());
  EXPECT_FALSE(Screen().Cursors(kPVCursorZoomOut).Empty());
  int inSel = 0;
  view->OnMouseInSel = [&](TObject*) { ++inSel; };
  Desktop().MouseMove(Point(30, 30));
  Desktop().MouseMove(Point(70, 70));
  EXPECT_EQ(inSel, 1);
}

TEST_F(Mouse, WheelZoomsByEightPercent) {
  ShowPlain(100, 100, 200, 200);
  Desktop().MouseWheel(-WHEEL_DELTA, Point(50, 50));
  EXPECT_EQ(view->GetZoom(), 108);
  view->SetZoom(100);
  Desktop().MouseWheel(WHEEL_DELTA, Point(50, 50));
  EXPECT_EQ(view->GetZoom(), 92);
  view->SetZoom(100);
  view->MouseWheelParams.Action = pvmwVScroll;
  view->MouseWheelParams.Variation = pvmwAbsolute;
  view->MouseWheelParams.Value = 7;
  view->SetViewXY(0, 0);
  Desktop().MouseWheel(-WHEEL_DELTA, Point(50, 50));
  EXPECT_EQ(view->GetViewY(), 7);
}

TEST_F(Mouse, NavigationKeysReachTheView) {
  ShowPlain(100, 100, 200, 200);
  int keys = 0;
  view->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++keys; };
  Desktop().Click(Point(10, 10));
  ASSERT_TRUE(view->Focused());
  for (uint16_t k : {VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN})
    EXPECT_TRUE(Desktop().KeyDown(k)) << k;
  EXPECT_EQ(keys, 8);
  EXPECT_FALSE(view->WantSpecialKey(VK_TAB, {}));
}

TEST_F(Mouse, ZoomFilterIsOffWhileAButtonIsHeld) {
  ShowPlain(100, 100, 200, 200);
  view->SetZoomFilter(rfTriangle);
  view->SetMouseInteract({miSelect});
  Desktop().MouseDown(mbLeft, Point(10, 10));
  EXPECT_EQ(view->GetZoomFilter(), rfNone);
  Desktop().MouseUp(mbLeft, Point(10, 10));
  EXPECT_EQ(view->GetZoomFilter(), rfTriangle);
}

}  // namespace
}  // namespace pictavo
