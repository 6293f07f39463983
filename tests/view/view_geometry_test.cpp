// The view's geometry on a model control: outer size, a border, and scroll
// bars that take 16 pixels of client space when shown.
#include "view/view_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace pictavo {
namespace {

class ModelHost : public TPVLayoutHost {
 public:
  static constexpr int kBar = 16;
  int width = 120, height = 120, border = 0;
  bool hShown = false, vShown = false, hEnabled = false, vEnabled = false;
  int hPage = -1, hPos = -1, vPage = -1, vPos = -1;
  std::vector<int> changes;
  int resized = 0, barCalls = 0;
  // A pathological window system that flips the horizontal bar on every
  // call, whatever it is asked.
  bool flipping = false;

  int32_t LayoutClientWidth() const override { return width - 2 * border - (vShown ? kBar : 0); }
  int32_t LayoutClientHeight() const override { return height - 2 * border - (hShown ? kBar : 0); }
  int32_t LayoutWidth() const override { return width; }
  int32_t LayoutHeight() const override { return height; }
  void LayoutBarIdle(TPVBarKind bar, bool keepVisible) override {
    ++barCalls;
    Set(bar, keepVisible, false, -1, -1);
  }
  void LayoutBarActive(TPVBarKind bar, int32_t page, int32_t position) override {
    ++barCalls;
    Set(bar, true, true, page, position);
  }
  void LayoutViewChange(int32_t change) override { changes.push_back(change); }
  void LayoutBitmapResized(int32_t, int32_t) override { ++resized; }

 private:
  void Set(TPVBarKind bar, bool shown, bool enabled, int page, int pos) {
    if (flipping && bar == pvbkHorizontal) shown = !hShown;
    (bar == pvbkHorizontal ? hShown : vShown) = shown;
    (bar == pvbkHorizontal ? hEnabled : vEnabled) = enabled;
    (bar == pvbkHorizontal ? hPage : vPage) = page;
    (bar == pvbkHorizontal ? hPos : vPos) = pos;
  }
};

TPVLayoutInput Input(int w, int h) {
  TPVLayoutInput in;
  in.BitmapWidth = w;
  in.BitmapHeight = h;
  return in;
}

TEST(ViewGeometry, RoundingHelpersFollowHalfEvenAndTruncation) {
  EXPECT_EQ(PVRound(2.5), 2);
  EXPECT_EQ(PVRound(3.5), 4);
  EXPECT_EQ(PVRound(-2.5), -2);
  EXPECT_EQ(PVTrunc(-2.7), -2);
  EXPECT_EQ(PVTrunc(2.7), 2);
  EXPECT_EQ(PVTrunc(1e12), INT32_MAX);
  EXPECT_EQ(PVRound(-1e12), INT32_MIN);
}

TEST(ViewGeometry, CentredSmallBitmapHasOffsetsOfTenAndNoScrolling) {
  ModelHost host;
  TPVViewGeometry g;
  g.Center = true;
  g.ScrollBars = pvsbBoth;
  g.Layout(host, Input(100, 100));
  EXPECT_EQ(g.OffsetX, 10);
  EXPECT_EQ(g.OffsetY, 10);
  EXPECT_EQ(g.ExtentX, 100);
  EXPECT_FALSE(host.hShown);
  EXPECT_FALSE(host.vShown);
  int32_t mx = -1, my = -1;
  g.GetMaxViewXY(100, 100, 120, 120, 120, 120, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  EXPECT_EQ(g.XScr2Bmp(10), 0);
  EXPECT_EQ(g.XScr2Bmp(9), -1);  // outside points are not clamped
  EXPECT_EQ(g.XScr2Bmp(129), 119);
  EXPECT_EQ(g.XBmp2Scr(0), 10);
  EXPECT_EQ(g.YBmp2Scr(99), 109);
}

TEST(ViewGeometry, ZoomTwoHundredMapsBothWays) {
  TPVViewGeometry g;
  g.SetZoomValue(200);
  EXPECT_DOUBLE_EQ(g.ZoomFactor, 2.0);
  EXPECT_DOUBLE_EQ(g.ZoomInverse, 0.5);
  EXPECT_EQ(g.XBmp2Scr(5), 10);
  EXPECT_EQ(g.XScr2Bmp(11), 5);
  EXPECT_EQ(g.XScr2Bmp(10), 5);
  EXPECT_EQ(g.XScr2Bmp(9), 4);
  // With a scroll position of 7 display pixels, bitmap x moves by
  // Round(-3.5) = -4 before zooming.
  g.ViewX = 7;
  EXPECT_EQ(g.XBmp2Scr(5), 2);
  g.SrcX = 4;
  g.OffsetX = 3;
  EXPECT_EQ(g.XScr2Bmp(3), 4);
  EXPECT_EQ(g.XScr2Bmp(6), 5);  // Trunc(1.5 + 4)
}

TEST(ViewGeometry, ImageThatFitsTheOuterSizeIsNeverScrolled) {
  TPVViewGeometry g;
  int32_t mx = -1, my = -1;
  // Client space taken by a bar (104 of 120) but the outer size holds it.
  g.GetMaxViewXY(110, 110, 104, 104, 120, 120, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  // Wider than the control: both maxima from the client size.
  g.GetMaxViewXY(130, 110, 104, 104, 120, 120, mx, my);
  EXPECT_EQ(mx, 26);
  EXPECT_EQ(my, 6);
  // Zoomed to nothing: no scrolling at all.
  g.SetZoomValue(0.1);
  g.GetMaxViewXY(130, 110, 10, 10, 12, 12, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
}

TEST(ViewGeometry, LayoutSetsBarsInSixteenBitUnitsAndClampsTheView) {
  ModelHost host;
  host.width = 200;
  host.height = 100;
  TPVViewGeometry g;
  g.ScrollBars = pvsbBoth;
  g.ViewX = 5000;
  g.ViewY = 3;
  g.Layout(host, Input(400, 90));
  // 400 wide in 200: horizontal bar, client height 84 < 90 then the
  // vertical bar too, client width 184.
  ASSERT_TRUE(host.hShown);
  ASSERT_TRUE(host.vShown);
  EXPECT_EQ(host.LayoutClientWidth(), 184);
  EXPECT_EQ(host.LayoutClientHeight(), 84);
  // The first run clamps to the sizes it sees (200 and 0); the runs after
  // the bars appeared only clamp downwards.
  EXPECT_EQ(g.ViewX, 200);
  EXPECT_EQ(g.ViewY, 0);
  EXPECT_DOUBLE_EQ(g.HScrollUnit, 400.0 / 65536.0);
  EXPECT_EQ(host.hPage, static_cast<int>(184 / (400.0 / 65536.0)));
  EXPECT_EQ(host.hPos, static_cast<int>(200 / (400.0 / 65536.0)));
  EXPECT_DOUBLE_EQ(g.VScrollUnit, 90.0 / 65536.0);
  EXPECT_EQ(host.vPage, static_cast<int>(84 / (90.0 / 65536.0)));
  EXPECT_EQ(host.vPos, 0);
  EXPECT_NE(std::find(host.changes.begin(), host.changes.end(), 0), host.changes.end());
  EXPECT_EQ(g.ExtentX, 184);
  EXPECT_EQ(g.ExtentY, 84);
  EXPECT_EQ(host.resized, 1);
}

TEST(ViewGeometry, IdleBarsHideOrStayDisabled) {
  ModelHost host;
  TPVViewGeometry g;
  g.ScrollBars = pvsbVertical;
  g.Layout(host, Input(50, 50));
  EXPECT_FALSE(host.vShown);
  EXPECT_FALSE(host.hShown);
  g.ScrollBarsAlwaysVisible = true;
  g.Layout(host, Input(50, 50));
  EXPECT_TRUE(host.vShown);
  EXPECT_FALSE(host.vEnabled);
  EXPECT_FALSE(host.hShown);  // the horizontal bar is not in use
}

TEST(ViewGeometry, FlippingBarsStopAfterTwoReruns) {
  ModelHost host;
  host.flipping = true;
  TPVViewGeometry g;
  g.ScrollBars = pvsbHorizontal;
  g.Layout(host, Input(500, 50));
  EXPECT_EQ(host.barCalls, 1 + TPVViewGeometry::kMaxLayoutReruns);
  // The layout stands with the client size the last run left.
  EXPECT_EQ(g.ExtentX, std::min(500, host.LayoutClientWidth()));
  EXPECT_EQ(g.ExtentY, std::min(50, host.LayoutClientHeight()));
}

TEST(ViewGeometry, AutoFitUsesClientSizeMarginsAndNeverGoesBelowOnePercent) {
  ModelHost host;
  host.width = 210;
  host.height = 110;
  TPVViewGeometry g;
  g.AutoFit = true;
  TPVLayoutInput in = Input(400, 100);
  in.MarginX = in.MarginY = 5;
  g.Layout(host, in);
  // min((110 - 10) / 1, (210 - 10) / 4) = 50
  EXPECT_DOUBLE_EQ(g.Zoom, 50.0);
  EXPECT_EQ(g.ZoomedWidth, 200);
  EXPECT_EQ(host.changes.front(), 1);
  g.Layout(host, Input(100000, 10));
  EXPECT_DOUBLE_EQ(g.Zoom, 1.0);
  EXPECT_DOUBLE_EQ(g.ZoomInverse, 100.0);
  // An empty bitmap leaves the zoom alone.
  g.SetZoomValue(300);
  g.Layout(host, Input(0, 10));
  EXPECT_DOUBLE_EQ(g.Zoom, 300.0);
}

TEST(ViewGeometry, DesignModeUsesOuterSizeAndLeavesBarsAlone) {
  ModelHost host;
  host.width = 90;
  host.height = 80;
  host.border = 2;
  TPVViewGeometry g;
  g.ScrollBars = pvsbBoth;
  g.Center = true;
  TPVLayoutInput in = Input(100, 50);
  in.Designing = true;
  g.Layout(host, in);
  EXPECT_EQ(host.barCalls, 0);
  EXPECT_EQ(g.ExtentX, 90);
  EXPECT_EQ(g.ExtentY, 50);
  EXPECT_EQ(g.OffsetX, 0);
  EXPECT_EQ(g.OffsetY, 0);
}

TEST(ViewGeometry, SourceRectIncludesThePartlyVisibleColumnAboveHundredPercent) {
  TPVViewGeometry g;
  g.SetZoomValue(300);
  g.ZoomedWidth = 30;
  g.ZoomedHeight = 30;
  g.ExtentX = 19;
  g.ExtentY = 20;
  g.ComputeSource(10, 10);
  // SrcW = Round(19 / 3) = 6 draws 18 < 19 pixels: one more column.
  EXPECT_EQ(g.SrcW, 7);
  EXPECT_EQ(g.DrawWidth, 21);
  // SrcH = Round(20 / 3) = 7 draws 21 >= 20: unchanged.
  EXPECT_EQ(g.SrcH, 7);
  EXPECT_EQ(g.DrawHeight, 21);
  // At the right edge of the bitmap there is no further column.
  g.ViewX = 12;  // SrcX = 4, SrcW = 6, 4 + 6 + 1 > 10
  g.ComputeSource(10, 10);
  EXPECT_EQ(g.SrcX, 4);
  EXPECT_EQ(g.SrcW, 6);
  EXPECT_EQ(g.DrawWidth, 18);
}

TEST(ViewGeometry, SourceRectBelowHundredPercentDrawsTheExtent) {
  TPVViewGeometry g;
  g.SetZoomValue(33);
  g.ZoomedWidth = PVRound(4000 * 0.33);
  g.ZoomedHeight = PVRound(3000 * 0.33);
  g.ExtentX = 1320;
  g.ExtentY = 990;
  g.ViewX = 0;
  g.ComputeSource(4000, 3000);
  EXPECT_EQ(g.SrcX, 0);
  EXPECT_EQ(g.SrcW, 4000);
  EXPECT_EQ(g.DrawWidth, 1320);
  EXPECT_EQ(g.SrcH, 3000);
}

TEST(ViewGeometry, ScrollRequestsStepByLinePageAndThumb) {
  TPVViewGeometry g;
  g.ViewY = 100;
  g.VScrollUnit = 0.5;
  g.SetZoomValue(300);
  TPVScrollBarParams p;
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrLineDown, 0, p, 80, 500), 103);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrLineUp, 0, p, 80, 500), 97);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrPageDown, 0, p, 80, 500), 180);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrTop, 0, p, 80, 500), 0);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrBottom, 0, p, 80, 500), 500);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrThumbTrack, 301, p, 80, 500), 150);
  p.LineStep = 4;
  p.PageStep = 10;
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrLineDown, 0, p, 80, 500), 112);
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrPageUp, 0, p, 80, 500), 70);
  p.Tracking = false;
  EXPECT_FALSE(g.ScrollTarget(pvbkVertical, pvsrThumbTrack, 301, p, 80, 500).has_value());
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrThumbPosition, 301, p, 80, 500), 150);
  EXPECT_FALSE(g.ScrollTarget(pvbkVertical, pvsrEndScroll, 0, p, 80, 500).has_value());
  // Below 100 % a line is one display pixel.
  g.SetZoomValue(50);
  p.LineStep = -1;
  EXPECT_EQ(*g.ScrollTarget(pvbkVertical, pvsrLineDown, 0, p, 80, 500), 101);
}

// The bitmap point under the client centre, in bitmap units.
double CentrePoint(const TPVViewGeometry& g, int client, bool horizontal) {
  int half = client >> 1;
  if (horizontal) return (half + g.ViewX - g.OffsetX) * g.ZoomInverse;
  return (half + g.ViewY - g.OffsetY) * g.ZoomInverse;
}

TEST(ViewGeometry, ZoomKeepsTheCentrePointWithinTheClamping) {
  std::mt19937 rng(1234);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int inside = 0;
  for (int iter = 0; iter < 4000; ++iter) {
    ModelHost host;
    host.width = uni(40, 900);
    host.height = uni(40, 700);
    host.border = uni(0, 2);
    TPVViewGeometry g;
    g.ScrollBars = pvsbBoth;
    g.ScrollBarsAlwaysVisible = true;  // the client size stays put
    g.Center = uni(0, 1) == 1;
    const int bw = uni(1, 3000), bh = uni(1, 3000);
    g.SetZoomValue(uni(5, 2000) / 4.0);
    g.Layout(host, Input(bw, bh));
    const int cw = host.LayoutClientWidth(), ch = host.LayoutClientHeight();
    int32_t mx, my;
    g.GetMaxViewXY(bw, bh, cw, ch, host.width, host.height, mx, my);
    g.ViewX = uni(0, mx);
    g.ViewY = uni(0, my);
    g.Layout(host, Input(bw, bh));
    const double before[2] = {CentrePoint(g, cw, true), CentrePoint(g, ch, false)};
    const double zoom = uni(5, 3200) / 4.0;
    const int32_t target[2] = {g.CentredViewX(cw, zoom), g.CentredViewY(ch, zoom)};
    g.ZoomKeepingCentre(zoom, bw, bh, cw, ch, host.width, host.height);
    g.Layout(host, Input(bw, bh));
    ASSERT_EQ(host.LayoutClientWidth(), cw);
    g.GetMaxViewXY(bw, bh, cw, ch, host.width, host.height, mx, my);
    const int32_t view[2] = {g.ViewX, g.ViewY};
    const int32_t maxes[2] = {mx, my};
    for (int axis = 0; axis < 2; ++axis) {
      if (target[axis] > 0 && target[axis] < maxes[axis]) {
        ++inside;
        // Half a bitmap pixel for the rounded centre, one display pixel for
        // the truncated scroll position.
        double after = CentrePoint(g, axis == 0 ? cw : ch, axis == 0);
        ASSERT_NEAR(after, before[axis], 0.5 + g.ZoomInverse + 1e-9)
            << "iteration " << iter << " axis " << axis;
      } else {
        ASSERT_EQ(view[axis], std::clamp(target[axis], 0, maxes[axis]));
      }
    }
  }
  EXPECT_GT(inside, 1000);  // the property was exercised, not only the clamping
}

}  // namespace
}  // namespace pictavo
