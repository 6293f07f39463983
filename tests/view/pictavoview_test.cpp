// The image view on the headless desktop: layout, zoom, scrolling and the
// pixels it paints on its surface.
#include "view/pictavoview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/desktop.h"
#include "platform/scrollbar.h"
#include "tests/view/view_test_util.h"
#include "view/zoom_filter.h"

namespace pictavo {
namespace {

using viewtest::CoordColor;
using viewtest::Grey;
using viewtest::MakeBitmap;
using viewtest::ViewFixture;

using ViewLayout = ViewFixture;
using ViewPaint = ViewFixture;

TEST_F(ViewLayout, CentredHundredInHundredTwentyHasOffsetsOfTen) {
  auto image = MakeBitmap(100, 100, CoordColor);
  view->SetCenter(true);
  view->SetScrollBars(ssBoth);
  Show(120, 120, *image);
  EXPECT_EQ(view->OffsetX(), 10);
  EXPECT_EQ(view->OffsetY(), 10);
  EXPECT_FALSE(view->ScrollBar(SB_HORZ).Visible());
  EXPECT_FALSE(view->ScrollBar(SB_VERT).Visible());
  int mx = -1, my = -1;
  view->GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  EXPECT_EQ(view->XScr2Bmp(10), 0);
  // The image sits in the middle with the background round it.
  EXPECT_EQ(Pixel(10, 10), CoordColor(0, 0));
  EXPECT_EQ(Pixel(109, 109), CoordColor(99, 99));
  EXPECT_EQ(Pixel(60, 35), CoordColor(50, 25));
  EXPECT_EQ(Pixel(9, 50), Background());
  EXPECT_EQ(Pixel(110, 50), Background());
  EXPECT_EQ(Pixel(50, 9), Background());
  EXPECT_EQ(Pixel(50, 110), Background());
}

TEST_F(ViewLayout, NotCentredTheImageIsAtTheTopLeft) {
  auto image = MakeBitmap(100, 60, CoordColor);
  Show(120, 120, *image);
  EXPECT_EQ(Pixel(0, 0), CoordColor(0, 0));
  EXPECT_EQ(Pixel(99, 59), CoordColor(99, 59));
  EXPECT_EQ(Pixel(100, 0), Background());
  EXPECT_EQ(Pixel(0, 60), Background());
}

TEST_F(ViewLayout, ZoomTwoHundredMapsBothWaysAndPaintsBlocks) {
  auto image = MakeBitmap(50, 50, CoordColor);
  Show(120, 120, *image);
  view->SetZoom(200);
  Desktop().ProcessMessages();
  ASSERT_EQ(view->GetViewX(), 0);
  EXPECT_EQ(view->XBmp2Scr(5), 10);
  EXPECT_EQ(view->XScr2Bmp(11), 5);
  EXPECT_EQ(Pixel(10, 10), CoordColor(5, 5));
  EXPECT_EQ(Pixel(11, 11), CoordColor(5, 5));
  EXPECT_EQ(Pixel(9, 12), CoordColor(4, 6));
  EXPECT_EQ(Pixel(99, 99), CoordColor(49, 49));
  EXPECT_EQ(Pixel(100, 100), Background());
}

TEST_F(ViewLayout, SetZoomIgnoresTheCurrentZeroAndNegativeValues) {
  auto image = MakeBitmap(50, 50, CoordColor);
  Show(120, 120, *image);
  int events = 0;
  view->OnViewChange = [&](TObject*, int) { ++events; };
  view->SetZoom(100);
  view->SetZoom(0);
  view->SetZoom(-50);
  EXPECT_EQ(events, 0);
  EXPECT_EQ(view->GetZoom(), 100);
  view->SetZoom(150);
  EXPECT_GT(events, 0);
  EXPECT_EQ(view->GetZoom(), 150);
}

TEST_F(ViewLayout, ImageThatFitsTheOuterSizeIsNotScrolledDespiteDisabledBars) {
  auto image = MakeBitmap(110, 110, CoordColor);
  view->SetScrollBars(ssBoth);
  view->SetScrollBarsAlwaysVisible(true);
  Show(120, 120, *image);
  // Both bars show (disabled) and take 16 pixels: the client is 104.
  EXPECT_TRUE(view->ScrollBar(SB_VERT).Visible());
  EXPECT_FALSE(view->ScrollBar(SB_VERT).Enabled());
  EXPECT_EQ(view->ClientWidth(), 104);
  int mx = -1, my = -1;
  view->GetMaxViewXY(mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 0);
  view->SetViewXY(5, 5);
  EXPECT_EQ(view->GetViewX(), 0);
  EXPECT_EQ(Pixel(0, 0), CoordColor(0, 0));
}

TEST_F(ViewLayout, AutoFitNeverGoesBelowOnePercent) {
  auto image = MakeBitmap(20000, 4, [](int x, int) { return Grey(x & 0xFF); });
  view->SetAutoFit(true);
  Show(120, 120, *image);
  EXPECT_DOUBLE_EQ(view->GetZoom(), 1.0);
  EXPECT_EQ(view->ZoomedWidth(), 200);
  EXPECT_EQ(view->ExtentX(), 120);
  // A picture that fits larger: the zoom follows the client size.
  auto small = MakeBitmap(60, 30, CoordColor);
  view->Assign(small.get());
  EXPECT_DOUBLE_EQ(view->GetZoom(), 200.0);
}

TEST_F(ViewLayout, UnLockPaintAtZeroStaysAtZeroAndLaysOut) {
  auto image = MakeBitmap(40, 40, CoordColor);
  Show(120, 120, *image);
  ASSERT_EQ(view->PaintLock(), 0);
  view->Bitmap().SetSize(70, 30);  // changed behind the view's back
  EXPECT_EQ(view->ZoomedWidth(), 40);
  EXPECT_EQ(view->UnLockPaint(), 0);
  EXPECT_EQ(view->PaintLock(), 0);
  EXPECT_EQ(view->ZoomedWidth(), 70);
  view->LockPaint();
  view->LockPaint();
  EXPECT_EQ(view->NPUnLockPaint(), 1);
  EXPECT_EQ(view->UnLockPaint(), 0);
}

TEST_F(ViewLayout, PaintLockKeepsTheSurface) {
  auto image = MakeBitmap(50, 50, CoordColor);
  Show(120, 120, *image);
  view->LockPaint();
  view->SetViewXY(0, 0);
  view->SetZoom(300);
  EXPECT_EQ(Pixel(20, 20), CoordColor(20, 20));  // still the 100 % picture
  view->UnLockPaint();
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(20, 20), view->Surface().GetPixel(20, 20));
  EXPECT_NE(Pixel(20, 20), CoordColor(20, 20));
}

// The thumb of the vertical bar in screen coordinates (the view is at 0, 0).
TPoint ThumbCentre(const TWinControl& c) {
  TRect r = c.ScrollBarRect(SB_VERT);
  TScrollBarLayout l = TScrollBarLayout::Compute(c.ScrollBar(SB_VERT), r.Height(), r.Width());
  return Point(r.Left + r.Width() / 2, r.Top + l.thumb_start + l.thumb_length / 2);
}

TEST_F(ViewLayout, ThumbTrackWithTrackingOffWaitsForTheRelease) {
  auto image = MakeBitmap(200, 250, CoordColor);
  view->SetScrollBars(ssBoth);
  view->VScrollBarParams.Tracking = false;
  Show(150, 120, *image);
  ASSERT_TRUE(view->ScrollBar(SB_VERT).Visible());
  TPoint thumb = ThumbCentre(*view);
  Desktop().MouseDown(mbLeft, thumb);
  Desktop().MouseMove(Point(thumb.x, thumb.y + 20));
  Desktop().ProcessMessages();
  EXPECT_EQ(view->GetViewY(), 0);
  EXPECT_EQ(Pixel(0, 0), CoordColor(0, 0));
  Desktop().MouseUp(mbLeft, Point(thumb.x, thumb.y + 20));
  Desktop().ProcessMessages();
  const int pos = view->ScrollBar(SB_VERT).Pos();
  ASSERT_GT(view->GetViewY(), 0);
  // The bar shows the view's position in its units.
  EXPECT_EQ(pos, static_cast<int>(std::trunc(view->GetViewY() / view->VScrollUnit())));
  EXPECT_EQ(Pixel(0, 0), CoordColor(0, view->GetViewY()));
  // With tracking the view follows the drag.
  view->VScrollBarParams.Tracking = true;
  thumb = ThumbCentre(*view);
  const int before = view->GetViewY();
  Desktop().MouseDown(mbLeft, thumb);
  Desktop().MouseMove(Point(thumb.x, thumb.y - 10));
  EXPECT_LT(view->GetViewY(), before);
  Desktop().MouseUp(mbLeft, Point(thumb.x, thumb.y - 10));
}

TEST_F(ViewLayout, ScrollRequestsMoveByLinesPagesAndEnds) {
  auto image = MakeBitmap(100, 400, CoordColor);
  view->SetScrollBars(ssVertical);
  Show(100, 100, *image);
  ASSERT_TRUE(view->ScrollBar(SB_VERT).Visible());
  const int client = view->ClientHeight();
  view->ScrollRequest(SB_VERT, SB_LINEDOWN, 0);
  EXPECT_EQ(view->GetViewY(), 1);
  view->ScrollRequest(SB_VERT, SB_PAGEDOWN, 0);
  EXPECT_EQ(view->GetViewY(), 1 + client);
  view->ScrollRequest(SB_VERT, SB_BOTTOM, 0);
  EXPECT_EQ(view->GetViewY(), 400 - client);
  view->ScrollRequest(SB_VERT, SB_LINEDOWN, 0);  // clamped at the end
  EXPECT_EQ(view->GetViewY(), 400 - client);
  view->ScrollRequest(SB_VERT, SB_TOP, 0);
  EXPECT_EQ(view->GetViewY(), 0);
  view->SetViewY(150);
  EXPECT_EQ(view->ScrollBar(SB_VERT).Pos(),
            static_cast<int>(std::trunc(150 / view->VScrollUnit())));
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(3, 0), CoordColor(3, 150));
}

TEST_F(ViewLayout, WheelZoomsByEightPercent) {
  auto image = MakeBitmap(50, 50, CoordColor);
  Show(120, 120, *image);
  Desktop().MouseWheel(-WHEEL_DELTA, Point(30, 30));
  EXPECT_DOUBLE_EQ(view->GetZoom(), 108);
  Desktop().MouseWheel(WHEEL_DELTA, Point(30, 30));
  EXPECT_DOUBLE_EQ(view->GetZoom(), 99);  // 108 - Round(8.64)
  view->MouseWheelParams.Action = pvmwVScroll;
  view->MouseWheelParams.Variation = pvmwAbsolute;
  view->SetZoom(400);
  view->SetViewY(0);
  Desktop().MouseWheel(-WHEEL_DELTA, Point(30, 30));
  EXPECT_EQ(view->GetViewY(), 8 * 4);
}

TEST_F(ViewLayout, ZoomKeepsTheCentrePointOnTheDesktop) {
  std::mt19937 rng(99);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  view->SetScrollBars(ssBoth);
  view->SetScrollBarsAlwaysVisible(true);
  int checked = 0;
  for (int iter = 0; iter < 60; ++iter) {
    auto image = MakeBitmap(uni(20, 400), uni(20, 400), CoordColor);
    Show(uni(60, 300), uni(60, 300), *image);
    view->SetZoom(uni(50, 800));
    int mx, my;
    view->GetMaxViewXY(mx, my);
    view->SetViewXY(uni(0, mx), uni(0, my));
    const int hw = view->ClientWidth() / 2;
    const double before = (hw + view->GetViewX() - view->OffsetX()) * view->ZoomInverse();
    const double zoom = uni(50, 1600);
    const int target = PVTrunc(PVRound(before) * zoom / 100 - hw);
    view->SetZoom(zoom);
    view->GetMaxViewXY(mx, my);
    if (target <= 0 || target >= mx) {
      EXPECT_EQ(view->GetViewX(), std::clamp(target, 0, mx));
      continue;
    }
    ++checked;
    const double after = (hw + view->GetViewX() - view->OffsetX()) * view->ZoomInverse();
    EXPECT_NEAR(after, before, 0.5 + view->ZoomInverse() + 1e-9) << "iteration " << iter;
  }
  EXPECT_GT(checked, 10);
}

TEST_F(ViewPaint, PartlyVisibleRightColumnIsDrawnAboveHundredPercent) {
  auto image = MakeBitmap(10, 10, CoordColor);
  Show(19, 19, *image);
  view->SetZoom(300);
  view->SetViewXY(0, 0);
  Desktop().ProcessMessages();
  ASSERT_EQ(view->ExtentX(), 19);
  EXPECT_EQ(view->SourceRect().Width(), 7);
  EXPECT_EQ(view->DrawWidth(), 21);
  // Without the extra column pixel 18 would be background.
  EXPECT_EQ(Pixel(18, 0), CoordColor(6, 0));
  EXPECT_EQ(Pixel(18, 18), CoordColor(6, 6));
  EXPECT_EQ(Pixel(17, 2), CoordColor(5, 0));
}

TEST_F(ViewPaint, CropShadowHasSixGreyLevelsRightAndBelow) {
  auto image = MakeBitmap(40, 40, CoordColor);
  view->SetBackgroundStyle(pvbsCropShadow);
  Show(100, 100, *image);
  const int levels[6] = {93, 110, 130, 154, 182, 215};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Pixel(40 + i, 20), Grey(levels[i])) << "right " << i;
    EXPECT_EQ(Pixel(20, 40 + i), Grey(levels[i])) << "below " << i;
  }
  const TColor face = ColorToRGB(clBtnFace);
  EXPECT_EQ(Pixel(40, 5), face);   // the shadow starts 6 pixels down
  EXPECT_EQ(Pixel(46, 20), face);  // and is 6 pixels wide
  EXPECT_EQ(Pixel(5, 40), face);
  EXPECT_EQ(Pixel(39, 39), CoordColor(39, 39));
}

TEST_F(ViewPaint, CroppedStyleDrawsASunkenEdgeRoundTheImage) {
  auto image = MakeBitmap(40, 30, CoordColor);
  view->SetBackgroundStyle(pvbsCropped);
  view->SetCenter(true);
  Show(100, 100, *image);
  ASSERT_EQ(view->OffsetX(), 30);
  ASSERT_EQ(view->OffsetY(), 35);
  // EDGE_SUNKEN: shadow on the outer top-left, highlight on the outer
  // bottom-right, gEdgeX = 2 pixels away from the image.
  EXPECT_EQ(Pixel(28, 50), ColorToRGB(clBtnShadow));
  EXPECT_EQ(Pixel(71, 50), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(Pixel(27, 50), ColorToRGB(clBtnFace));
  EXPECT_EQ(Pixel(30, 35), CoordColor(0, 0));
}

TEST_F(ViewPaint, ChessboardAndDiagonalsUseTheComplement) {
  auto image = MakeBitmap(10, 10, CoordColor);
  view->SetBackGround(0x0000FF);
  view->SetBackgroundStyle(pvbsChessboard);
  Show(100, 100, *image);
  EXPECT_EQ(Pixel(12, 0), 0xFFFF00u);  // row 0 starts with the complement
  EXPECT_EQ(Pixel(16, 0), 0x0000FFu);
  EXPECT_EQ(Pixel(0, 16), 0x0000FFu);
  EXPECT_EQ(Pixel(16, 16), 0xFFFF00u);
  EXPECT_EQ(Pixel(31, 47), 0x0000FFu);  // square (1, 2)
  view->SetBackgroundStyle(pvbsDiagonals);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(50, 50), 0xFFFF00u);
  EXPECT_EQ(Pixel(49, 50), 0x0000FFu);
  EXPECT_EQ(Pixel(80, 20), 0xFFFF00u);  // the other diagonal: x + y = 100
  view->SetBackgroundStyle(pvbsCross);
  Desktop().ProcessMessages();
  int hatched = 0;
  for (int x = 20; x < 28; ++x) hatched += Pixel(x, 50) == 0x0000FFu;
  EXPECT_GT(hatched, 0);
  EXPECT_LT(hatched, 8);  // a vertical line, not a fill, crosses the row
}

TEST_F(ViewPaint, DesignModeDrawsOnlyTheBackground) {
  auto image = MakeBitmap(50, 50, CoordColor);
  Show(80, 80, *image);
  view->SetDesigning(true);
  view->SetBackGround(0x123456);
  view->Repaint();
  for (int y = 0; y < 80; y += 7)
    for (int x = 0; x < 80; x += 7) ASSERT_EQ(Pixel(x, y), 0x123456u) << x << "," << y;
}

TEST_F(ViewPaint, GridLinesFallOnThePixelBorders) {
  auto image = MakeBitmap(10, 10, [](int, int) { return clWhite; });
  view->SetDisplayGrid(true);
  Show(60, 60, *image);
  view->SetZoom(399);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(4, 1), clWhite);  // no grid below 400 %
  view->SetZoom(400);
  Desktop().ProcessMessages();
  for (int i = 0; i <= 9; ++i) {
    const int border = view->XBmp2Scr(i);
    ASSERT_EQ(border, 4 * i);
    EXPECT_EQ(Pixel(border, 2), clBlack) << i;
    EXPECT_EQ(Pixel(2, view->YBmp2Scr(i)), clBlack) << i;
    EXPECT_EQ(Pixel(border + 1, 2), clWhite) << i;
  }
  // Where a row and a column line cross the pixel is inverted twice.
  EXPECT_EQ(Pixel(4, 4), clWhite);
}

TEST_F(ViewPaint, FilledSelectionInvertsTheSelectedPixels) {
  auto image = MakeBitmap(40, 40, [](int, int) { return TColor(0x102030); });
  Show(60, 60, *image);
  view->SetSelectionOptions({pvsoFilled});
  view->SetSelectionBase(pvsbBitmap);
  view->Select(5, 5, 15, 10);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(5, 5), 0xEFDFCFu);
  EXPECT_EQ(Pixel(14, 9), 0xEFDFCFu);
  EXPECT_EQ(Pixel(15, 9), 0x102030u);
  EXPECT_EQ(Pixel(4, 5), 0x102030u);
  view->DeSelect();
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(5, 5), 0x102030u);
}

TEST_F(ViewPaint, WithoutBackBufferThePaintIsTheSame) {
  auto image = MakeBitmap(70, 50, CoordColor);
  view->SetCenter(true);
  Show(100, 80, *image);
  std::vector<TColor> buffered;
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) buffered.push_back(Pixel(x, y));
  view->SetDoubleBuffer(false);
  view->Repaint();
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(Pixel(x, y), buffered[y * 100 + x]);
}

TEST_F(ViewPaint, OneBitImagesShowGreyBelowHundredWithAFilter) {
  if (!PVZoomFilterAvailable()) GTEST_SKIP() << "resampling workers not in this build";
  TBitmap page(40, 40, pf1bit);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) page.SetPixel(x, y, ((x + y) & 1) ? clWhite : clBlack);
  view->SetZoomFilter(rfTriangle);
  Show(60, 60, page);
  view->SetZoom(50);
  view->FilterDelay = 0;
  view->Update();
  Desktop().ProcessMessages();
  // Each screen pixel covers two black and two white pixels.
  EXPECT_EQ(Pixel(3, 3), Grey(127));
  EXPECT_EQ(Pixel(19, 7), Grey(127));
  // Above 100 % the page is resampled as 24-bit: the edges soften.
  view->SetZoom(400);
  view->FilterDelay = 0;
  view->Update();
  Desktop().ProcessMessages();
  bool soft = false;
  for (int x = 0; x < 40 && !soft; ++x) {
    TColor c = Pixel(x, 10);
    soft = c != clBlack && c != clWhite;
  }
  EXPECT_TRUE(soft);
}

TEST_F(ViewPaint, FilterWaitsTwoOutlineTicksAfterAZoom) {
  auto image = MakeBitmap(40, 40, [](int x, int) { return x < 20 ? clBlack : clWhite; });
  view->SetZoomFilter(rfTriangle);
  Show(60, 60, *image);
  view->SetZoom(150);
  ASSERT_EQ(view->FilterDelay, 0);  // the zoom was 100 when it changed
  view->SetZoom(300);
  EXPECT_EQ(view->FilterDelay, kPVFilterDelayTicks);
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  EXPECT_EQ(view->FilterDelay, 1);
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  EXPECT_EQ(view->FilterDelay, 0);
  view->SetDelayZoomFilter(false);
  view->SetViewX(10);
  EXPECT_EQ(view->FilterDelay, 0);
}

}  // namespace
}  // namespace pictavo

namespace pictavo {
namespace {

using viewtest::CoordColor;
using viewtest::MakeBitmap;
using ViewOps = viewtest::ViewFixture;

TEST_F(ViewOps, FitUsesTheOuterSizeLessTheStyleMargins) {
  auto image = MakeBitmap(100, 50, CoordColor);
  view->SetBackgroundStyle(pvbsCropShadow);
  Show(120, 120, *image);
  view->Fit();
  // min((120 - 10) / 0.5, (120 - 10) / 1)
  EXPECT_DOUBLE_EQ(view->GetZoom(), 110.0);
  view->SetBackgroundStyle(pvbsCropped);
  view->Fit();  // gEdgeX = 2: min(232, 116)
  EXPECT_DOUBLE_EQ(view->GetZoom(), 116.0);
}

TEST_F(ViewOps, ZoomAtBringsThePointUnderTheMouseToTheCentre) {
  auto image = MakeBitmap(200, 200, CoordColor);
  Show(100, 100, *image);
  view->ZoomAt(30, 70, 400);
  // Bitmap point (30, 70) at 400 % is display (120, 280); the centre is 50.
  EXPECT_EQ(view->GetViewX(), 70);
  EXPECT_EQ(view->GetViewY(), 230);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(50, 50), CoordColor(30, 70));
}

TEST_F(ViewOps, ZoomSelectionFramesTheSelectionAndDropsIt) {
  auto image = MakeBitmap(200, 200, CoordColor);
  Show(100, 100, *image);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(40, 60, 89, 85);
  ASSERT_TRUE(view->HasSelection());
  view->ZoomSelection();
  EXPECT_FALSE(view->HasSelection());
  // Box 50 x 26 (corner to corner, inclusive): min(100 / 0.26, 100 / 0.5).
  EXPECT_DOUBLE_EQ(view->GetZoom(), 200.0);
  // View (80, 120 - (100 - 52) div 2).
  EXPECT_EQ(view->GetViewX(), 80);
  EXPECT_EQ(view->GetViewY(), 96);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(1, 50), CoordColor(40, 73));
}

TEST_F(ViewOps, IdealSizeAddsTheNonClientPartOnTheNamedAxes) {
  auto image = MakeBitmap(80, 60, CoordColor);
  view->SetBorderStyle(bsSingle);  // 2-pixel edges
  Show(50, 50, *image);
  view->SetZoom(150);
  EXPECT_EQ(view->GetIdealComponentWidth(), 121);
  EXPECT_EQ(view->GetIdealComponentHeight(), 91);
  view->SetScrollBars(ssHorizontal);
  // Width minus client width: the two edges and the vertical bar, when shown.
  EXPECT_EQ(view->GetIdealComponentWidth(), 121 + view->GetWidth() - view->ClientWidth());
  EXPECT_EQ(view->GetIdealComponentHeight(), 91);
}

TEST_F(ViewOps, DrawToCopiesWhatTheViewShows) {
  auto image = MakeBitmap(60, 60, CoordColor);
  view->SetCenter(true);
  Show(100, 80, *image);
  view->SetZoom(250);
  view->SetViewXY(13, 27);
  Desktop().ProcessMessages();
  TBitmap out(view->ExtentX(), view->ExtentY(), pf24bit);
  view->DrawTo(out.Canvas());
  // Same source origin and nearest rule away from the partly visible edge.
  for (int y = 0; y < view->ExtentY() - 3; y += 5)
    for (int x = 0; x < view->ExtentX() - 3; x += 5)
      ASSERT_EQ(out.GetPixel(x, y), Pixel(x + view->OffsetX(), y + view->OffsetY()))
          << x << "," << y;
}

TEST_F(ViewOps, DesignTimeBoundsResizeTheBitmapAndClear) {
  view->SetDesigning(true);
  view->SetBackGround(0x00AA00);
  view->SetBounds(0, 0, 64, 48);
  EXPECT_EQ(view->Bitmap().GetWidth(), 64);
  EXPECT_EQ(view->Bitmap().GetHeight(), 48);
  EXPECT_EQ(view->Bitmap().GetPixel(63, 47), 0x00AA00u);
}

TEST_F(ViewOps, PaletteHoldsTheColoursOfASmallImage) {
  auto image = MakeBitmap(8, 8, [](int x, int) { return x < 4 ? 0x0000FFu : 0x00FF00u; });
  Show(30, 30, *image);
  std::vector<TColor> palette = view->_CreatePalette();
  ASSERT_EQ(palette.size(), 256u);
  EXPECT_NE(std::find(palette.begin(), palette.end(), 0x0000FFu), palette.end());
  EXPECT_NE(std::find(palette.begin(), palette.end(), 0x00FF00u), palette.end());
  EXPECT_FALSE(view->PaletteChanged(true));
}

}  // namespace
}  // namespace pictavo
