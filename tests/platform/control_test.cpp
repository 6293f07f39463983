// The control model: client area for every border and scroll-bar
// combination, the non-client pixels, screen mapping, painting through the
// damage region, and the window-system scroll-bar rules.
#include "platform/control.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/screen.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;
using testing::LogControl;

struct BorderCase {
  TBorderStyle style;
  bool ctl3d;
  int border;  // expected pixels on each side
};

TEST_F(DesktopTest, ClientAreaForEveryBorderAndScrollBarCombination) {
  const BorderCase borders[] = {{bsNone, true, 0}, {bsSingle, true, 2}, {bsSingle, false, 1}};
  const TScrollStyle bars[] = {ssNone, ssHorizontal, ssVertical, ssBoth};
  for (const BorderCase& b : borders) {
    for (TScrollStyle s : bars) {
      LogControl c;
      c.SetBounds(50, 40, 100, 80);
      c.SetBorderStyle(b.style);
      c.SetCtl3D(b.ctl3d);
      bool h = s == ssHorizontal || s == ssBoth, v = s == ssVertical || s == ssBoth;
      c.ShowScrollBar(SB_HORZ, h);
      c.ShowScrollBar(SB_VERT, v);
      int w = 100 - 2 * b.border - (v ? 16 : 0), ht = 80 - 2 * b.border - (h ? 16 : 0);
      SCOPED_TRACE(::testing::Message() << "border " << b.border << " bars " << int(s));
      EXPECT_EQ(c.ClientWidth(), w);
      EXPECT_EQ(c.ClientHeight(), ht);
      EXPECT_EQ(c.Surface().GetWidth(), w);
      EXPECT_EQ(c.Surface().GetHeight(), ht);
      EXPECT_EQ(c.ClientRectInWindow(), Rect(b.border, b.border, b.border + w, b.border + ht));
      EXPECT_EQ(c.ClientToScreen(Point(0, 0)), Point(50 + b.border, 40 + b.border));
      EXPECT_EQ(c.ScreenToClient(Point(60, 45)), Point(10 - b.border, 5 - b.border));
      EXPECT_EQ(c.ScrollBarRect(SB_VERT),
                v ? Rect(b.border + w, b.border, b.border + w + 16, b.border + ht) : TRect());
      EXPECT_EQ(c.ScrollBarRect(SB_HORZ),
                h ? Rect(b.border, b.border + ht, b.border + w, b.border + ht + 16) : TRect());
    }
  }
}

TEST_F(DesktopTest, EdgeWidthsFollowTheSystemMetrics) {
  Screen().SetSystemMetric(SM_CXEDGE, 3);
  Screen().SetSystemMetric(SM_CYEDGE, 4);
  Screen().SetSystemMetric(SM_CXVSCROLL, 20);
  LogControl c;
  c.SetBorderStyle(bsSingle);
  c.SetBounds(0, 0, 100, 100);
  c.ShowScrollBar(SB_VERT, true);
  EXPECT_EQ(c.ClientWidth(), 100 - 6 - 20);
  EXPECT_EQ(c.ClientHeight(), 100 - 8);
  EXPECT_EQ(GetDeviceCaps(BITSPIXEL), 24);
  EXPECT_EQ(GetDeviceCaps(LOGPIXELSX), 96);
  Screen().SetDeviceCap(LOGPIXELSX, 120);
  EXPECT_EQ(GetDeviceCaps(LOGPIXELSX), 120);
  Screen().ResetMetrics();
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetDeviceCaps(LOGPIXELSX), 96);
}

TEST_F(DesktopTest, TooSmallWindowHasAnEmptyClient) {
  LogControl c;
  c.SetBorderStyle(bsSingle);
  c.SetBounds(0, 0, 10, 3);
  c.ShowScrollBar(SB_BOTH, true);
  EXPECT_EQ(c.ClientWidth(), 0);
  EXPECT_EQ(c.ClientHeight(), 0);
  c.Invalidate();
  EXPECT_FALSE(c.NeedsPaint());
  c.UpdateWindow();  // nothing to paint, nothing breaks
}

TEST_F(DesktopTest, SunkenEdgeAndFramePixels) {
  LogControl c;
  c.SetBounds(0, 0, 20, 10);
  c.SetColor(clRed);
  c.SetBorderStyle(bsSingle);
  Desktop().AddWindow(&c);
  Desktop().ProcessMessages();
  auto img = Desktop().WindowImage(&c);
  // Outer ring: shadow top-left, highlight bottom-right (which owns the
  // far corners); inner ring: dark shadow, then light.
  EXPECT_EQ(img->GetPixel(0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(img->GetPixel(18, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(img->GetPixel(19, 0), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(img->GetPixel(0, 9), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(img->GetPixel(19, 9), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(img->GetPixel(1, 1), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(img->GetPixel(18, 1), ColorToRGB(cl3DLight));
  EXPECT_EQ(img->GetPixel(1, 8), ColorToRGB(cl3DLight));
  EXPECT_EQ(img->GetPixel(2, 2), clRed);
  EXPECT_EQ(img->GetPixel(17, 7), clRed);
  c.SetCtl3D(false);
  Desktop().ProcessMessages();
  img = Desktop().WindowImage(&c);
  EXPECT_EQ(img->GetPixel(0, 0), clBlack);
  EXPECT_EQ(img->GetPixel(19, 9), clBlack);
  EXPECT_EQ(img->GetPixel(1, 1), clRed);
  EXPECT_EQ(c.ClientWidth(), 18);
}

TEST_F(DesktopTest, ClientPixelsOfTheWindowImageAreTheSurface) {
  LogControl c;
  c.SetBounds(0, 0, 40, 30);
  c.SetBorderStyle(bsSingle);
  c.ShowScrollBar(SB_BOTH, true);
  c.OnPaint = [&](TObject*) {
    for (int y = 0; y < c.ClientHeight(); ++y)
      for (int x = 0; x < c.ClientWidth(); ++x)
        c.GetCanvas().SetPixel(x, y, RGB(x * 7, y * 9, 100));
  };
  Desktop().AddWindow(&c);
  Desktop().ProcessMessages();
  auto img = Desktop().WindowImage(&c);
  for (int y = 0; y < c.ClientHeight(); ++y)
    for (int x = 0; x < c.ClientWidth(); ++x)
      ASSERT_EQ(img->GetPixel(x + 2, y + 2), RGB(x * 7, y * 9, 100)) << x << "," << y;
  // The corner square between the bars is button face.
  EXPECT_EQ(img->GetPixel(40 - 2 - 8, 30 - 2 - 8), ColorToRGB(clBtnFace));
}

// A control that fills whatever it is asked to paint with one colour.
class FillControl : public TCustomControl {
 public:
  TColor fill = clRed;
  int paints = 0;
  TRect last_clip;
  void Paint() override {
    ++paints;
    last_clip = GetCanvas().ClipRect();
    GetCanvas().Brush().SetColor(fill);
    GetCanvas().FillRect(GetClientRect());
  }
};

TEST_F(DesktopTest, PaintCoversOnlyTheDamage) {
  FillControl c;
  c.SetControlStyle(TControlStyle{csOpaque, csCaptureMouse});
  c.SetBounds(0, 0, 30, 20);
  c.Surface().Canvas().Brush().SetColor(clWhite);
  c.Surface().Canvas().FillRect(Rect(0, 0, 30, 20));
  c.UpdateWindow();  // the initial damage
  c.fill = clBlue;
  c.InvalidateRect(Rect(5, 4, 10, 8));
  c.InvalidateRect(Rect(20, 10, 25, 12));
  c.UpdateWindow();
  EXPECT_EQ(c.paints, 2);
  EXPECT_EQ(c.last_clip, Rect(5, 4, 25, 12));
  EXPECT_FALSE(c.NeedsPaint());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      bool damaged =
          (x >= 5 && x < 10 && y >= 4 && y < 8) || (x >= 20 && x < 25 && y >= 10 && y < 12);
      ASSERT_EQ(c.Surface().GetPixel(x, y), damaged ? clBlue : clRed) << x << "," << y;
    }
  c.UpdateWindow();
  EXPECT_EQ(c.paints, 2);  // nothing pending
}

TEST_F(DesktopTest, BackgroundIsErasedUnlessOpaque) {
  FillControl c;
  c.SetBounds(0, 0, 10, 10);
  c.SetColor(clGreen);
  c.OnPaint = nullptr;
  int calls = 0;
  c.OnPaint = [&](TObject*) { ++calls; };
  // Without csOpaque the erase runs first; this Paint keeps FillControl's fill.
  c.UpdateWindow();
  EXPECT_EQ(c.Surface().GetPixel(3, 3), clRed);
  TCustomControl plain;
  plain.SetBounds(0, 0, 6, 6);
  plain.SetColor(clGreen);
  plain.UpdateWindow();
  EXPECT_EQ(plain.Surface().GetPixel(5, 5), clGreen);
  plain.SetControlStyle(TControlStyle{csOpaque});
  plain.SetColor(clYellow);  // invalidates
  plain.UpdateWindow();
  EXPECT_EQ(plain.Surface().GetPixel(5, 5), clGreen);  // not erased
}

TEST_F(DesktopTest, GrowingExposesOnlyTheNewStripsAndKeepsPixels) {
  FillControl c;
  c.SetControlStyle(TControlStyle{csOpaque});
  c.SetBounds(0, 0, 20, 10);
  c.UpdateWindow();
  c.fill = clBlue;
  c.SetBounds(0, 0, 25, 10);
  EXPECT_EQ(c.Damage().Bounds(), Rect(20, 0, 25, 10));
  c.UpdateWindow();
  EXPECT_EQ(c.Surface().GetPixel(19, 5), clRed);
  EXPECT_EQ(c.Surface().GetPixel(20, 5), clBlue);
  c.SetBounds(0, 0, 15, 10);  // shrinking exposes nothing
  EXPECT_FALSE(c.NeedsPaint());
}

TEST_F(DesktopTest, MessageLoopPaintsHostedWindowsOnly) {
  FillControl hosted, loose;
  hosted.SetBounds(0, 0, 10, 10);
  loose.SetBounds(0, 0, 10, 10);
  Desktop().AddWindow(&hosted);
  Desktop().ProcessMessages();
  EXPECT_EQ(hosted.paints, 1);
  EXPECT_EQ(loose.paints, 0);
  EXPECT_TRUE(loose.NeedsPaint());
  loose.Update();  // the platform's Update paints what is pending
  EXPECT_EQ(loose.paints, 1);
  hosted.SetVisible(false);
  hosted.Invalidate();
  Desktop().ProcessMessages();
  EXPECT_EQ(hosted.paints, 1);  // hidden windows do not paint
}

TEST_F(DesktopTest, DrawingOutsidePaintIsReportedByTheLoop) {
  FillControl c;
  c.SetBounds(0, 0, 12, 8);
  Desktop().AddWindow(&c);
  Desktop().ProcessMessages();
  Desktop().TakeSurfaceChanges();
  uint64_t version = c.SurfaceVersion();
  c.GetCanvas().SetPixel(1, 1, clBlack);
  Desktop().ProcessMessages();
  auto changes = Desktop().TakeSurfaceChanges();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].first, &c);
  EXPECT_EQ(changes[0].second, Rect(0, 0, 12, 8));
  EXPECT_GT(c.SurfaceVersion(), version);
}

TEST_F(DesktopTest, ScrollBarRangePagePositionRules) {
  LogControl c;
  c.SetBounds(0, 0, 100, 100);
  // An empty range hides the bar, a real one shows it again.
  EXPECT_TRUE(c.SetScrollRange(SB_HORZ, 0, 100, false));
  EXPECT_TRUE(c.ScrollBar(SB_HORZ).Visible());
  c.SetScrollRange(SB_HORZ, 5, 5, false);
  EXPECT_FALSE(c.ScrollBar(SB_HORZ).Visible());
  EXPECT_FALSE(c.SetScrollRange(SB_HORZ, -2147483647, 2147483647, false));  // wider than 2^31-1
  // Page and position: the position stops at max - page + 1.
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 65535;
  si.nPage = 1000;
  si.nPos = 70000;
  EXPECT_EQ(c.SetScrollInfo(SB_VERT, si, true), 64536);
  EXPECT_TRUE(c.ScrollBar(SB_VERT).Visible());
  EXPECT_EQ(c.SetScrollPos(SB_VERT, -5, true), 64536);
  EXPECT_EQ(c.GetScrollPos(SB_VERT), 0);
  TScrollInfo got;
  got.fMask = SIF_ALL;
  ASSERT_TRUE(c.GetScrollInfo(SB_VERT, got));
  EXPECT_EQ(got.nMax, 65535);
  EXPECT_EQ(got.nPage, 1000u);
  // A page that covers the range makes the bar unnecessary: hidden, or
  // only disabled with SIF_DISABLENOSCROLL.
  si.fMask = SIF_PAGE;
  si.nPage = 70000;
  c.SetScrollInfo(SB_VERT, si, true);
  EXPECT_FALSE(c.ScrollBar(SB_VERT).Visible());
  EXPECT_EQ(c.ScrollBar(SB_VERT).Page(), 65536u);  // clamped to the range + 1
  c.ShowScrollBar(SB_VERT, true);
  si.fMask = SIF_PAGE | SIF_DISABLENOSCROLL;
  c.SetScrollInfo(SB_VERT, si, true);
  EXPECT_TRUE(c.ScrollBar(SB_VERT).Visible());
  EXPECT_FALSE(c.ScrollBar(SB_VERT).Enabled());
  si.nPage = 10;
  c.SetScrollInfo(SB_VERT, si, true);
  EXPECT_TRUE(c.ScrollBar(SB_VERT).Enabled());
  // EnableScrollBar reports whether anything changed.
  EXPECT_TRUE(c.EnableScrollBar(SB_VERT, ESB_DISABLE_UP));
  EXPECT_FALSE(c.EnableScrollBar(SB_VERT, ESB_DISABLE_UP));
  EXPECT_EQ(c.ScrollBar(SB_VERT).DisabledArrows(), ESB_DISABLE_UP);
}

TEST_F(DesktopTest, ShowingABarSendsTheSizeMessageAtOnce) {
  LogControl c;
  c.SetBorderStyle(bsSingle);
  c.SetBounds(0, 0, 100, 80);
  c.Clear();
  c.ShowScrollBar(SB_VERT, true);
  EXPECT_EQ(c.log, (std::vector<std::string>{"resize 80x76"}));
  c.ShowScrollBar(SB_VERT, true);  // no change, no message
  c.ShowScrollBar(SB_BOTH, false);
  EXPECT_EQ(c.log.back(), "resize 96x76");
  EXPECT_EQ(c.log.size(), 2u);
}

TEST_F(DesktopTest, ScrollRequestsCarryASixteenBitThumbPosition) {
  LogControl c;
  c.SetBounds(0, 0, 50, 50);
  TScrollInfo si;
  si.fMask = SIF_RANGE;
  si.nMax = 100000;
  c.SetScrollInfo(SB_VERT, si, false);
  c.Clear();
  c.ScrollRequest(SB_VERT, SB_THUMBTRACK, 70000);
  c.ScrollRequest(SB_VERT, SB_LINEDOWN, 5);
  c.ScrollRequest(SB_HORZ, SB_THUMBPOSITION, 40000);
  EXPECT_EQ(c.log,
            (std::vector<std::string>{"scroll v 5 4464", "scroll v 1 0", "scroll h 4 40000"}));
  TScrollInfo got;
  got.fMask = SIF_TRACKPOS;
  c.GetScrollInfo(SB_VERT, got);
  EXPECT_EQ(got.nTrackPos, 70000);
  c.ScrollRequest(SB_VERT, SB_ENDSCROLL, 0);
  c.GetScrollInfo(SB_VERT, got);
  EXPECT_EQ(got.nTrackPos, 0);  // not tracking: the position
}

// A layout step of the kind views run from their size message: bars appear
// when the content does not fit the client, which shrinks the client and
// sends the size message again inside the call.
class LayoutControl : public TCustomControl {
 public:
  int content_w = 0, content_h = 0, depth = 0, max_depth = 0;
  std::vector<std::pair<int, int>> sizes;
  void Resize() override {
    ++depth;
    max_depth = std::max(max_depth, depth);
    sizes.emplace_back(ClientWidth(), ClientHeight());
    ShowScrollBar(SB_HORZ, content_w > ClientWidth());
    ShowScrollBar(SB_VERT, content_h > ClientHeight());
    --depth;
  }
};

TEST_F(DesktopTest, SizeMessagesNestWhileBarsAppearAndSettle) {
  LayoutControl c;
  c.content_w = 90;  // fits 100, but not 84 once the vertical bar is there
  c.content_h = 200;
  c.SetBounds(0, 0, 100, 100);
  EXPECT_TRUE(c.ScrollBar(SB_VERT).Visible());
  EXPECT_TRUE(c.ScrollBar(SB_HORZ).Visible());
  EXPECT_EQ(c.ClientWidth(), 84);
  EXPECT_EQ(c.ClientHeight(), 84);
  EXPECT_EQ(c.sizes.front(), std::make_pair(100, 100));
  EXPECT_EQ(c.sizes.back(), std::make_pair(84, 84));
  EXPECT_LE(c.max_depth, 3);
  c.content_h = 50;  // now everything fits the outer size again
  c.content_w = 50;
  c.SetBounds(0, 0, 101, 100);
  EXPECT_FALSE(c.ScrollBar(SB_VERT).Visible());
  EXPECT_FALSE(c.ScrollBar(SB_HORZ).Visible());
  EXPECT_EQ(c.Surface().GetWidth(), 101);
}

TEST(ScrollBarLayoutTest, ThumbSizeAndPositionFollowPageAndPos) {
  TScrollBarState bar;
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 100;
  si.nPage = 20;
  si.nPos = 81;  // MaxPos = 100 - 19
  bar.SetInfo(si);
  // 200 pixels: arrows 16, track 16..184 (168), thumb 168 * 20 / 101 = 33.
  auto l = TScrollBarLayout::Compute(bar, 200, 16);
  EXPECT_EQ(l.arrow, 16);
  EXPECT_EQ(l.thumb_length, 33);
  EXPECT_EQ(l.thumb_start, 16 + 135);  // at the end of the track
  EXPECT_EQ(l.HitTest(0), sbpArrowUp);
  EXPECT_EQ(l.HitTest(199), sbpArrowDown);
  EXPECT_EQ(l.HitTest(100), sbpPageUp);
  EXPECT_EQ(l.HitTest(160), sbpThumb);
  EXPECT_EQ(l.PositionAt(bar, 16), 0);
  EXPECT_EQ(l.PositionAt(bar, 16 + 135), 81);
  EXPECT_EQ(l.PositionAt(bar, 16 + 67), 40);  // (67 * 81 + 67) / 135 = 40.7 -> 40
  bar.EnableArrows(ESB_DISABLE_BOTH);
  EXPECT_EQ(TScrollBarLayout::Compute(bar, 200, 16).thumb_length, 0);
  // A bar shorter than two arrows splits its length between them.
  TScrollBarState small;
  auto s = TScrollBarLayout::Compute(small, 20, 16);
  EXPECT_EQ(s.arrow, 10);
  EXPECT_EQ(s.thumb_length, 0);
}

TEST_F(DesktopTest, ChildWindowsAreComposedAndMapped) {
  FillControl parent;
  parent.SetBounds(100, 50, 60, 40);
  parent.SetBorderStyle(bsSingle);
  FillControl child;
  child.fill = clBlue;
  child.SetParent(&parent);
  child.SetBounds(10, 5, 20, 10);
  EXPECT_EQ(child.ClientToScreen(Point(0, 0)), Point(100 + 2 + 10, 50 + 2 + 5));
  Desktop().AddWindow(&parent);
  Desktop().ProcessMessages();
  EXPECT_EQ(child.paints, 1);  // painted by the loop through the parent's host
  auto img = Desktop().WindowImage(&parent);
  EXPECT_EQ(img->GetPixel(2 + 10, 2 + 5), clBlue);
  EXPECT_EQ(img->GetPixel(2 + 29, 2 + 14), clBlue);
  EXPECT_EQ(img->GetPixel(2 + 30, 2 + 14), clRed);
  EXPECT_EQ(parent.ControlAtPos(Point(15, 8)), &child);
  EXPECT_EQ(parent.ControlAtPos(Point(5, 8)), nullptr);
}

}  // namespace
}  // namespace pictavo
