// Gestures through the headless desktop: capture, clicks and double clicks,
// the wheel, keys and the special-key request, focus, scroll-bar gestures,
// cursors and the cursor position.
#include "platform/desktop.h"

#include <gtest/gtest.h>

#include "platform/cursors.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;
using testing::LogControl;
using Log = std::vector<std::string>;

class GestureTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    c.SetBounds(100, 100, 50, 40);
    Desktop().AddWindow(&c);
    Desktop().ProcessMessages();
    c.Clear();
  }
  LogControl c;
};

TEST_F(GestureTest, MovesOutsideStillReachTheControlWhileAButtonIsHeld) {
  Desktop().MouseDown(mbLeft, Point(110, 110));
  EXPECT_TRUE(c.GetMouseCapture());
  Desktop().MouseMove(Point(300, 20));
  Desktop().MouseUp(mbLeft, Point(300, 20));
  EXPECT_FALSE(c.GetMouseCapture());
  Desktop().MouseMove(Point(310, 20));  // no button: nothing reaches it
  EXPECT_EQ(c.log, (Log{"enter", "down left 10,10 L", "move 200,-80 L", "up left 200,-80 "}));
  EXPECT_EQ(GetCursorPos(), Point(310, 20));
}

TEST_F(GestureTest, WithoutCaptureStyleMovesOutsideAreLost) {
  c.SetControlStyle(TControlStyle{csClickEvents, csDoubleClicks});
  Desktop().MouseDown(mbLeft, Point(110, 110));
  Desktop().MouseMove(Point(300, 20));
  Desktop().MouseUp(mbLeft, Point(300, 20));
  EXPECT_EQ(c.log, (Log{"enter", "down left 10,10 L"}));
}

TEST_F(GestureTest, ClickNeedsTheReleaseInsideTheClient) {
  Desktop().Click(Point(101, 101));
  Desktop().AdvanceClock(1000);
  Desktop().Drag(Point(101, 101), Point(200, 101));
  EXPECT_EQ(c.log, (Log{"enter", "down left 1,1 L", "up left 1,1 ", "click", "down left 1,1 L",
                        "move 100,1 L", "up left 100,1 "}));
}

TEST_F(GestureTest, ShiftStateCarriesKeysAndHeldButtons) {
  Desktop().MouseDown(mbRight, Point(105, 105), TShiftState{ssCtrl});
  Desktop().MouseDown(mbLeft, Point(105, 105), TShiftState{ssShift});
  Desktop().MouseUp(mbRight, Point(105, 106));
  Desktop().MouseUp(mbLeft, Point(105, 106));
  EXPECT_EQ(c.log, (Log{"enter", "down right 5,5 CR", "down left 5,5 SLR", "up right 5,6 L",
                        "up left 5,6 ", "click"}));
}

TEST_F(GestureTest, SecondPressInTimeIsADoubleClick) {
  Desktop().DoubleClick(Point(120, 120));
  EXPECT_EQ(c.log, (Log{"enter", "down left 20,20 L", "up left 20,20 ", "click",
                        "down left 20,20 LD", "dbl", "up left 20,20 ", "click"}));
  c.Clear();
  // Too late, or too far, is two single clicks.
  Desktop().Click(Point(120, 120));
  Desktop().AdvanceClock(501);
  Desktop().Click(Point(120, 120));
  Desktop().AdvanceClock(1000);
  Desktop().Click(Point(120, 120));
  Desktop().Click(Point(123, 120));
  for (const std::string& s : c.log) EXPECT_EQ(s.find("LD"), std::string::npos) << s;
  // A third quick press starts a new click.
  c.Clear();
  Desktop().AdvanceClock(1000);
  Desktop().Click(Point(120, 120));
  Desktop().Click(Point(120, 120));
  Desktop().Click(Point(120, 120));
  EXPECT_EQ(c.log[3], "down left 20,20 LD");
  EXPECT_EQ(c.log[7], "down left 20,20 L");
}

TEST_F(GestureTest, WheelArrivesWithItsDeltaAtClientCoordinates) {
  Desktop().MouseWheel(-120, Point(130, 125));
  Desktop().MouseWheel(240, Point(131, 125), TShiftState{ssCtrl});
  Desktop().MouseWheel(120, Point(10, 10));  // no window there
  EXPECT_EQ(c.log, (Log{"wheel -120 30,25 ", "wheel 240 31,25 C"}));
}

TEST_F(GestureTest, KeysGoToTheFocusedControl) {
  EXPECT_FALSE(Desktop().KeyDown('A'));  // nobody has the focus
  c.SetFocus();
  Desktop().TypeKey('A');
  Desktop().TypeKey('B', TShiftState{ssShift});
  Desktop().TypeText("é");
  EXPECT_EQ(c.log, (Log{"enter", "key 65 ", "char 97", "keyup 65", "key 66 S", "char 66",
                        "keyup 66", "char 233"}));
}

TEST_F(GestureTest, SpecialKeysNeedTheControlsConsent) {
  c.SetFocus();
  c.Clear();
  EXPECT_FALSE(Desktop().KeyDown(VK_LEFT));
  EXPECT_FALSE(Desktop().KeyDown(VK_TAB));
  EXPECT_TRUE(Desktop().KeyDown(VK_PRIOR));  // page keys are ordinary keys
  c.want_arrows = true;
  EXPECT_TRUE(Desktop().KeyDown(VK_DOWN));
  EXPECT_FALSE(Desktop().KeyDown(VK_RETURN));
  c.SetDlgCode(DLGC_WANTALLKEYS);
  Desktop().TypeKey(VK_RETURN);
  EXPECT_EQ(c.log, (Log{"key 33 ", "key 40 ", "key 13 ", "char 13", "keyup 13"}));
}

TEST_F(GestureTest, FocusMovesWithEnterAndExit) {
  LogControl other;
  other.SetParent(&c);
  other.SetBounds(30, 0, 20, 20);
  other.Clear();
  c.SetFocus();
  other.SetFocus();
  EXPECT_TRUE(other.Focused());
  EXPECT_FALSE(c.Focused());
  c.SetFocus();
  EXPECT_EQ(c.log, (Log{"enter", "exit", "enter"}));
  EXPECT_EQ(other.log, (Log{"enter", "exit"}));
  // A press focuses the control under it.
  Desktop().Click(Point(135, 105));
  EXPECT_TRUE(other.Focused());
  // Hiding or disabling the focused control takes the focus away.
  other.SetVisible(false);
  EXPECT_EQ(Desktop().FocusedControl(), nullptr);
  EXPECT_EQ(other.log.back(), "exit");
  other.SetVisible(true);
  EXPECT_TRUE(other.CanFocus());
  c.SetEnabled(false);
  EXPECT_FALSE(other.CanFocus());
  other.SetFocus();
  EXPECT_EQ(Desktop().FocusedControl(), nullptr);
}

TEST_F(GestureTest, DisabledControlsGetNoInput) {
  c.SetEnabled(false);
  Desktop().Click(Point(110, 110));
  Desktop().MouseWheel(120, Point(110, 110));
  EXPECT_TRUE(c.log.empty());
}

TEST_F(GestureTest, ChildUnderThePointGetsTheEvent) {
  LogControl child;
  child.SetParent(&c);
  child.SetBounds(20, 10, 10, 10);
  child.Clear();
  Desktop().Click(Point(125, 115));
  EXPECT_EQ(child.log, (Log{"enter", "down left 5,5 L", "up left 5,5 ", "click"}));
  EXPECT_TRUE(c.log.empty());
}

TEST_F(GestureTest, TopWindowWinsAndTheBorderTakesNoInput) {
  LogControl top;
  top.SetBounds(120, 120, 50, 50);
  top.SetBorderStyle(bsSingle);
  Desktop().AddWindow(&top);
  top.Clear();
  Desktop().Click(Point(130, 130));
  Desktop().Click(Point(120, 125));  // on top's border
  EXPECT_TRUE(c.log.empty());
  EXPECT_EQ(top.log, (Log{"enter", "down left 8,8 L", "up left 8,8 ", "click"}));
}

// A vertical bar on a 50 x 116 control: the bar is x 34..49, arrows 16
// pixels, track 16..99 (84 pixels).  Range 0..100, page 10: thumb
// 84 * 10 / 101 = 8 pixels, MaxPos 91.
class ScrollBarGestureTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    c.SetBounds(0, 0, 50, 116);
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = 100;
    si.nPage = 10;
    c.SetScrollInfo(SB_VERT, si, false);
    Desktop().AddWindow(&c);
    c.Clear();
  }
  LogControl c;
};

TEST_F(ScrollBarGestureTest, ArrowsAndTrackSendLineAndPageRequests) {
  Desktop().Click(Point(40, 5));
  Desktop().Click(Point(40, 110));
  Desktop().Click(Point(40, 60));     // below the thumb at 16..23
  c.SetScrollPos(SB_VERT, 91, true);  // thumb at 16 + 76 = 92
  Desktop().Click(Point(40, 60));
  EXPECT_EQ(c.log, (Log{"scroll v 0 0", "scroll v 8 0", "scroll v 1 0", "scroll v 8 0",
                        "scroll v 3 0", "scroll v 8 0", "scroll v 2 0", "scroll v 8 0"}));
}

TEST_F(ScrollBarGestureTest, DraggingTheThumbTracksThenSetsThePosition) {
  Desktop().MouseDown(mbLeft, Point(40, 18));
  Desktop().MouseMove(Point(40, 56));  // thumb start 54: (38 * 91 + 38) / 76 = 46
  Desktop().MouseMove(Point(90, 56));  // sideways: same position, no request
  EXPECT_TRUE(c.ScrollBar(SB_VERT).Tracking());
  EXPECT_EQ(c.ScrollBar(SB_VERT).TrackPos(), 46);
  EXPECT_EQ(c.GetScrollPos(SB_VERT), 0);  // the control moves it, not the bar
  Desktop().MouseMove(Point(40, 500));    // past the end: the last position
  Desktop().MouseUp(mbLeft, Point(40, 500));
  EXPECT_EQ(c.log, (Log{"scroll v 5 46", "scroll v 5 91", "scroll v 4 91", "scroll v 8 0"}));
  EXPECT_FALSE(c.ScrollBar(SB_VERT).Tracking());
}

TEST_F(ScrollBarGestureTest, DisabledArrowsAndBarsSendNothing) {
  c.EnableScrollBar(SB_VERT, ESB_DISABLE_UP);
  Desktop().Click(Point(40, 5));
  Desktop().Click(Point(40, 110));
  c.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
  Desktop().Click(Point(40, 110));
  Desktop().Click(Point(40, 60));
  EXPECT_EQ(c.log, (Log{"scroll v 1 0", "scroll v 8 0"}));
}

TEST_F(GestureTest, ShownCursorFollowsTheControlUnderTheMouse) {
  Screen().SetCursors(1785, LoadCursorResource("CROCE2"));
  c.SetCursor(1785);
  Desktop().MouseMove(Point(110, 110));
  EXPECT_EQ(Screen().ShownCursor(), 1785);
  EXPECT_EQ(Screen().Cursors(1785).name, "CROCE2");
  c.SetCursor(crSizeNS);
  EXPECT_EQ(Screen().ShownCursor(), crSizeNS);
  Screen().SetCursor(crHourGlass);
  EXPECT_EQ(Screen().ShownCursor(), crHourGlass);
  Screen().SetCursor(crDefault);
  Desktop().MouseMove(Point(10, 10));
  EXPECT_EQ(Screen().ShownCursor(), crArrow);
}

TEST_F(GestureTest, HeldButtonsAreVisibleToPollingCode) {
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
  Desktop().MouseDown(mbLeft, Point(110, 110));
  EXPECT_NE(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
  Desktop().MouseMove(Point(90, 110));
  EXPECT_EQ(c.ScreenToClient(GetCursorPos()), Point(-10, 10));
  Desktop().MouseUp(mbLeft, Point(90, 110));
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
}

TEST_F(GestureTest, ControlDestroyedByItsHandlerIsForgotten) {
  auto* doomed = new LogControl;
  doomed->SetBounds(0, 0, 20, 20);
  Desktop().AddWindow(doomed);
  doomed->OnMouseUp = nullptr;
  struct Killer : LogControl {
    void MouseUp(TMouseButton, TShiftState, int, int) override { delete this; }
  };
  auto* killer = new Killer;
  killer->SetBounds(300, 300, 20, 20);
  Desktop().AddWindow(killer);
  Desktop().Click(Point(305, 305));  // no click after the release deleted it
  EXPECT_FALSE(Desktop().IsAlive(killer));
  EXPECT_EQ(Desktop().WindowAt(Point(305, 305)), nullptr);
  delete doomed;
  EXPECT_EQ(Desktop().Windows().size(), 1u);
}

}  // namespace
}  // namespace pictavo
