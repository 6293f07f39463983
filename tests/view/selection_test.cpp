// Selections of the image view through the headless desktop: rectangles in
// both coordinate bases, adding, resizing and moving by the grips, the
// marching-ants outline read from the surface, the polygon list operations
// and the helpers.
#include "view/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/desktop.h"
#include "platform/timer.h"
#include "tests/view/view_test_util.h"
#include "view/anim_polygon.h"
#include "view/pictavoview.h"

namespace pictavo {
namespace {

using viewtest::MakeBitmap;
using viewtest::ViewFixture;

constexpr TColor kImage = 0x406080;

class Selection : public ViewFixture {
 protected:
  void ShowPlain(int vw, int vh, int bw, int bh) {
    image_ = MakeBitmap(bw, bh, [](int, int) { return kImage; });
    Show(vw, vh, *image_);
  }
  // The mask as rows of '#' and '.' over the bitmap.
  std::vector<std::string> MaskRows() {
    std::vector<std::string> rows;
    const int w = view->Bitmap().GetWidth(), h = view->Bitmap().GetHeight();
    for (int y = 0; y < h; ++y) {
      std::string r;
      for (int x = 0; x < w; ++x) r += view->SelectionMask().IsPointInside(x, y) ? '#' : '.';
      rows.push_back(r);
    }
    return rows;
  }
  // Exactly the columns x1..x2-1 and rows y1..y2-1 are selected.
  void ExpectMaskRect(int x1, int y1, int x2, int y2) {
    const int w = view->Bitmap().GetWidth(), h = view->Bitmap().GetHeight();
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool want = x >= x1 && x < x2 && y >= y1 && y < y2;
        if (view->SelectionMask().IsPointInside(x, y) != want) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << "expected " << x1 << "," << y1 << "-" << x2 << "," << y2;
  }
  std::vector<TPoint> Polygon() {
    return std::vector<TPoint>(view->GetPolySelArray(),
                               view->GetPolySelArray() + view->GetPolySelCount());
  }
  std::unique_ptr<TBitmap> image_;
};

bool operator==(const std::vector<TPoint>& a, const std::vector<std::pair<int, int>>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].x != b[i].first || a[i].y != b[i].second) return false;
  return true;
}

TEST_F(Selection, BitmapCoordinatesCoverColumnsTenToNineteen) {
  ShowPlain(80, 80, 60, 60);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(10, 10, 20, 30, pvspReplace);
  EXPECT_TRUE(Polygon() ==
              (std::vector<std::pair<int, int>>{{10, 10}, {20, 10}, {20, 30}, {10, 30}}));
  ExpectMaskRect(10, 10, 20, 30);
  EXPECT_EQ(view->GetSelX1(), 10);
  EXPECT_EQ(view->GetSelY2(), 30);
  EXPECT_EQ(view->GetPolySel(4), Point(0, 0));
  EXPECT_EQ(view->GetPolySel(-1), Point(0, 0));
  EXPECT_EQ(view->GetPolySel(3), Point(10, 30));
  // Reversed corners are ordered; equal coordinates do nothing.
  view->Select(20, 30, 10, 10, pvspReplace);
  ExpectMaskRect(10, 10, 20, 30);
  view->Select(5, 5, 5, 40, pvspReplace);
  ExpectMaskRect(10, 10, 20, 30);
  // Corners are clamped to the bitmap.
  view->Select(-5, 50, 70, 90, pvspReplace);
  ExpectMaskRect(0, 50, 60, 60);
}

TEST_F(Selection, ClientDragIncludesThePixelUnderTheEndPoint) {
  ShowPlain(80, 80, 60, 60);
  view->SetMouseInteract({miSelect});
  int changing = 0, changed = 0;
  view->OnSelectionChanging = [&](TObject*) { ++changing; };
  view->OnSelectionChange = [&](TObject*) { ++changed; };
  Desktop().Drag(Point(10, 10), Point(20, 30), 4);
  ExpectMaskRect(10, 10, 21, 31);
  EXPECT_EQ(changing, 1 + 4);  // the press and every move
  EXPECT_EQ(changed, 1);
  EXPECT_FALSE(view->RectangleDragging());
  // The same through the public call with client coordinates at 200 %.
  view->SetZoom(200);
  view->SetViewXY(0, 0);
  Desktop().ProcessMessages();
  ASSERT_EQ(view->GetViewX(), 0);
  view->Select(10, 10, 21, 31);  // bitmap 5..10 and 5..15, inclusive
  ExpectMaskRect(5, 5, 11, 16);
}

TEST_F(Selection, AddOnAnEmptySelectionReplacesAndLaterAddsASubPolygon) {
  ShowPlain(80, 80, 60, 60);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(2, 2, 6, 6, pvspAdd);
  EXPECT_EQ(view->GetPolySelCount(), 4);
  ExpectMaskRect(2, 2, 6, 6);
  view->Select(10, 2, 14, 6, pvspAdd);
  ASSERT_EQ(view->GetPolySelCount(), 9);
  EXPECT_TRUE(PVIsBreak(view->GetPolySel(4)));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(3, 3));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(13, 5));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(8, 3));
  // Shift while dragging adds too: the rectangle drawn so far is replaced
  // on each move, the earlier ones stay.
  view->SetSelectionBase(pvsbClientArea);
  view->SetMouseInteract({miSelect});
  Desktop().Drag(Point(20, 20), Point(29, 29), 3, {ssShift});
  EXPECT_EQ(view->GetPolySelCount(), 14);
  EXPECT_TRUE(view->SelectionMask().IsPointInside(3, 3));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(29, 29));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(30, 29));
}

TEST_F(Selection, RightGripDraggedPastTheLeftEdgeBecomesTheLeftGrip) {
  ShowPlain(80, 80, 60, 60);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(10, 10, 20, 30);
  view->SetMouseInteract({miSelect});
  EXPECT_EQ(view->GetResizingGrip(20, 20), 5);
  EXPECT_EQ(view->GetResizingGrip(10, 20), 4);
  EXPECT_EQ(view->GetResizingGrip(15, 10), 6);
  EXPECT_EQ(view->GetResizingGrip(15, 30), 7);
  EXPECT_EQ(view->GetResizingGrip(22, 32), 2);
  EXPECT_EQ(view->GetResizingGrip(15, 20), -1);
  Desktop().MouseDown(mbLeft, Point(20, 20));
  EXPECT_EQ(view->ResizeGrip(), 5);
  Desktop().MouseMove(Point(5, 20));
  EXPECT_EQ(view->ResizeGrip(), 4);
  EXPECT_TRUE(Polygon() ==
              (std::vector<std::pair<int, int>>{{6, 10}, {10, 10}, {10, 30}, {6, 30}}));
  Desktop().MouseMove(Point(3, 20));
  Desktop().MouseUp(mbLeft, Point(3, 20));
  ExpectMaskRect(3, 10, 10, 30);
  EXPECT_EQ(view->ResizeGrip(), -1);
  // The bottom-right square: the pixel under the mouse joins.
  Desktop().Drag(Point(10, 30), Point(15, 40), 2);
  ExpectMaskRect(3, 10, 16, 41);
}

TEST_F(Selection, ResizingOntoTheOppositeEdgeKeepsOnePixelAndFlipsBeyondIt) {
  ShowPlain(80, 80, 60, 60);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(10, 10, 20, 30);
  // The left edge dropped on the right edge stays one pixel wide.
  EXPECT_EQ(view->SelectResizeEx(4, 20, 20), 4);
  EXPECT_EQ(view->GetSelX1(), 19);
  EXPECT_EQ(view->GetSelX2(), 20);
  // Beyond it the grip turns into the right edge.
  EXPECT_EQ(view->SelectResizeEx(4, 25, 20), 5);
  EXPECT_TRUE(Polygon() ==
              (std::vector<std::pair<int, int>>{{20, 10}, {25, 10}, {25, 30}, {20, 30}}));
  // The bottom edge pulled above the top flips to the top edge; the corner
  // grips flip both ways.
  EXPECT_EQ(view->SelectResizeEx(7, 22, 5), 6);
  EXPECT_EQ(view->GetSelY1(), 6);
  EXPECT_EQ(view->GetSelY2(), 10);
  EXPECT_EQ(view->SelectResizeEx(2, 5, 2), 0);
  // Not a rectangle: nothing happens and the grip comes back.
  view->AddSelPointEx(40, 40);
  const int count = view->GetPolySelCount();
  EXPECT_EQ(view->SelectResizeEx(5, 50, 50), 5);
  EXPECT_EQ(view->GetPolySelCount(), count);
}

TEST_F(Selection, MovingAgainstTheLeftEdgeFlattens) {
  ShowPlain(80, 80, 60, 60);
  view->SetSelectionBase(pvsbBitmap);
  view->AddSelPointEx(5, 10);
  view->AddSelPointEx(15, 10);
  view->AddSelPoint(10, 20);
  view->SetSelectionBase(pvsbClientArea);
  view->SetMouseInteract({miSelect});
  ASSERT_TRUE(view->SelectionMask().IsPointInside(10, 13));
  EXPECT_EQ(view->GetMovingGrip(10, 13), 0);
  EXPECT_EQ(view->GetMovingGrip(30, 30), -1);
  Desktop().Drag(Point(10, 13), Point(2, 15), 1);
  EXPECT_TRUE(Polygon() == (std::vector<std::pair<int, int>>{{0, 12}, {7, 12}, {2, 22}}));
  EXPECT_EQ(view->GetSelX1(), 0);
  EXPECT_EQ(view->GetSelX2(), 7);
  EXPECT_FALSE(view->SelectionMask().IsPointInside(8, 13));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(3, 13));
}

// The colour the dash pattern gives pixel i of the outline at a phase.
TColor Dash(int phase, int i) {
  return (phase + i) % 6 < 3 ? clBlack : clWhite;
}

TEST_F(Selection, MarchingAntsMoveOnePixelPerTickOnlyWhileNothingIsDragged) {
  ShowPlain(100, 100, 90, 90);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(10, 10, 70, 40);
  Desktop().ProcessMessages();
  // The top edge from (10, 10) rightwards: pixel x has index x - 10.
  auto expectPhase = [&](int phase) {
    for (int x = 20; x < 60; ++x) ASSERT_EQ(Pixel(x, 10), Dash(phase, x - 10)) << x;
    // Down the right edge the count runs on (60 pixels of the top edge).
    for (int y = 20; y < 35; ++y) ASSERT_EQ(Pixel(70, y), Dash(phase, 60 + y - 10)) << y;
    EXPECT_EQ(Pixel(40, 20), kImage);
  };
  expectPhase(0);
  Desktop().AdvanceClock(kPVOutlineTimerMs - 1);
  expectPhase(0);
  Desktop().AdvanceClock(1);
  expectPhase(1);
  Desktop().AdvanceClock(4 * kPVOutlineTimerMs);
  expectPhase(5);
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  expectPhase(0);  // period 6
  // While a rectangle is dragged the pattern stands still.
  view->SetMouseInteract({miSelect});
  Desktop().MouseDown(mbLeft, Point(80, 80));
  Desktop().MouseMove(Point(90, 95));
  Desktop().AdvanceClock(3 * kPVOutlineTimerMs);
  for (int x = 84; x < 89; ++x) EXPECT_EQ(Pixel(x, 80), Dash(0, x - 80)) << x;
  Desktop().MouseUp(mbLeft, Point(90, 95));
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  for (int x = 84; x < 89; ++x) EXPECT_EQ(Pixel(x, 80), Dash(1, x - 80)) << x;
}

TEST_F(Selection, ResizeSquaresAndColours) {
  ShowPlain(100, 100, 90, 90);
  view->SetSelectionBase(pvsbBitmap);
  view->SetSelColor1(0x0000FF);
  view->SetSelColor2(0x00FF00);
  view->Select(20, 20, 60, 50);
  Desktop().ProcessMessages();
  // A 6 x 6 square from (17, 17): outline in colour 1, inside colour 2.
  EXPECT_EQ(Pixel(17, 17), 0x0000FFu);
  EXPECT_EQ(Pixel(22, 22), 0x0000FFu);
  EXPECT_EQ(Pixel(19, 19), 0x00FF00u);
  EXPECT_EQ(Pixel(23, 23), kImage);
  EXPECT_EQ(Pixel(57, 47), 0x0000FFu);
  EXPECT_EQ(Pixel(63, 53), kImage);
  // Without pvsoSizeable no squares: the corner pixel is a dash pixel.
  view->SetSelectionOptions({pvsoAnimated});
  view->Repaint();
  view->AniPolyFunc(view.get());
  EXPECT_EQ(Pixel(19, 19), kImage);
  EXPECT_EQ(Pixel(20, 20), 0x0000FFu);
  EXPECT_EQ(view->GetResizingGrip(20, 20), -1);
}

TEST_F(Selection, DeselectHideAndShow) {
  ShowPlain(100, 100, 90, 90);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(10, 10, 40, 40);
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(30, 10), Dash(0, 20));
  view->SetVisibleSelection(false);
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  EXPECT_EQ(Pixel(30, 10), kImage);
  EXPECT_TRUE(view->IsPointInsideSelection(20, 20));
  view->SetVisibleSelection(true);
  Desktop().ProcessMessages();
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  EXPECT_EQ(Pixel(30, 10), Dash(1, 20));
  view->DeSelect();
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(30, 10), kImage);
  EXPECT_FALSE(view->HasSelection());
  EXPECT_EQ(view->GetPolySelCount(), 0);
  EXPECT_FALSE(view->IsPointInsideSelection(20, 20));
}

TEST_F(Selection, PolygonListOperations) {
  ShowPlain(100, 100, 90, 90);
  TPVAnimPolygon* extra = view->AnimPolygonNew(clRed, clBlue, false, false);
  EXPECT_EQ(view->AnimPolygonCount(), 2);
  view->AnimPolygonAddPt(extra, 50, 50);
  EXPECT_EQ(extra->X2, 0);  // the box waits for the second point
  view->AnimPolygonAddPt(extra, 40, 60);
  EXPECT_EQ(extra->X1, 40);
  EXPECT_EQ(extra->Y2, 60);
  view->AnimPolygonAddPt(extra, 70, 55);
  EXPECT_EQ(extra->X2, 70);
  view->AnimPolygonAddBreak(extra);
  view->AnimPolygonAddBreak(extra);
  EXPECT_EQ(extra->Count(), 4);
  view->AnimPolygonAddPt(extra, 1, 1);
  view->AnimPolygonAddPt(extra, 2, 2);
  view->AnimPolygonRemoveLastPoint(extra);
  EXPECT_EQ(extra->Count(), 5);
  view->AnimPolygonRemoveLastPoint(extra);
  EXPECT_EQ(extra->Count(), 3);  // the marker that became last went too
  view->AnimPolygonAddBreak(extra);
  view->AnimPolygonAddPt(extra, 5, 5);
  view->AnimPolygonRemoveLast(extra);
  EXPECT_EQ(extra->Count(), 3);
  // Not animated: red and blue dashes that stay put.
  Desktop().AdvanceClock(kPVOutlineTimerMs);
  EXPECT_EQ(Pixel(50, 50), clRed);
  EXPECT_EQ(Pixel(47, 53), clBlue);  // (50,50)->(40,60): pixel 3
  view->AnimPolygonMove(extra, -45, 0, 90, 90);
  EXPECT_EQ(extra->Points[1], Point(0, 60));
  view->AnimPolygonRemoveLast(extra);
  EXPECT_EQ(extra->Count(), 0);
  view->AnimPolygonDel(extra);
  EXPECT_EQ(view->AnimPolygonCount(), 1);
  view->AnimPolygonDel(&view->SelectionAnimPolygon());
  EXPECT_EQ(view->AnimPolygonCount(), 1);
}

TEST_F(Selection, MagicWandReplacesOrAdds) {
  auto image = MakeBitmap(40, 40, [](int x, int y) {
    return (x >= 5 && x < 15 && y >= 5 && y < 12) || (x >= 20 && x < 30 && y >= 20 && y < 30)
               ? clBlack
               : clWhite;
  });
  Show(60, 60, *image);
  view->MagicWandTolerance = 0;
  view->SetSelectionBase(pvsbBitmap);
  view->SelectMagicWand(7, 7, pvspReplace);
  ExpectMaskRect(5, 5, 15, 12);
  view->SelectMagicWand(25, 25, pvspAdd);
  EXPECT_TRUE(view->SelectionMask().IsPointInside(6, 6));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(29, 29));
  EXPECT_FALSE(view->SelectionMask().IsPointInside(17, 17));
  const int count = view->GetPolySelCount();
  view->SelectMagicWand(41, 5, pvspReplace);  // outside: nothing changes
  EXPECT_EQ(view->GetPolySelCount(), count);
  // Through the mouse: a click, with the view in client coordinates.
  view->SetSelectionBase(pvsbClientArea);
  view->SetMouseInteract({miSelectMagicWand});
  Desktop().Click(Point(25, 8));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(0, 0));
  EXPECT_TRUE(view->SelectionMask().IsPointInside(6, 6));  // its holes with it
  EXPECT_EQ(view->GetOwnCursor(), kPVDefaultViewCursor);
}

TEST_F(Selection, BitmapPointsBeyondTheImageGrowTheMaskWithinTheLimit) {
  ShowPlain(60, 60, 40, 40);
  view->SetSelectionBase(pvsbBitmap);
  view->AddSelPointEx(30, 30);
  view->AddSelPointEx(50, 30);
  view->AddSelPoint(50, 45);
  EXPECT_EQ(view->GetPolySel(1), Point(50, 30));  // taken as it is
  EXPECT_TRUE(view->SelectionMask().IsPointInside(45, 32));
  view->AddSelPoint(2000000000, 2000000000);  // refused growth: no crash
  EXPECT_EQ(view->GetPolySelCount(), 4);
}

TEST_F(Selection, CopiesThroughThePolygon) {
  auto image = MakeBitmap(30, 30, viewtest::CoordColor);
  Show(60, 60, *image);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(4, 6, 10, 9);
  TBitmap out(20, 20, pf24bit);
  view->CopyFromPolygon(out, Point(1, 2));
  EXPECT_EQ(out.GetPixel(1, 2), viewtest::CoordColor(4, 6));
  EXPECT_EQ(out.GetPixel(6, 4), viewtest::CoordColor(9, 8));
  auto patch = MakeBitmap(10, 10, [](int, int) { return TColor(0x123456); });
  view->CopyToPolygon(*patch, Point(0, 0));
  EXPECT_EQ(view->Bitmap().GetPixel(4, 6), 0x123456u);
  EXPECT_EQ(view->Bitmap().GetPixel(9, 8), 0x123456u);
  EXPECT_EQ(view->Bitmap().GetPixel(10, 8), viewtest::CoordColor(10, 8));
}

TEST(SelectionHelpers, RectanglesAndDistances) {
  const TPoint rect[4] = {{1, 1}, {5, 1}, {5, 4}, {1, 4}};
  EXPECT_TRUE(_IsRectangle(rect, 4));
  const TPoint skew[4] = {{1, 1}, {5, 1}, {5, 4}, {2, 4}};
  EXPECT_FALSE(_IsRectangle(skew, 4));
  const TPoint flat[4] = {{1, 1}, {5, 1}, {5, 1}, {1, 1}};
  EXPECT_FALSE(_IsRectangle(flat, 4));
  EXPECT_FALSE(_IsRectangle(rect, 3));
  EXPECT_DOUBLE_EQ(_DistPoint2Point(0, 0, 3, 4), 5);
  EXPECT_DOUBLE_EQ(_DistPoint2Line(0, 5, -10, 0, 10, 0), 5);
  EXPECT_DOUBLE_EQ(_DistPoint2Seg(13, 4, 0, 0, 10, 0), 5);   // past the end
  EXPECT_DOUBLE_EQ(_DistPoint2Seg(-3, -4, 0, 0, 10, 0), 5);  // before the start
  EXPECT_DOUBLE_EQ(_DistPoint2Seg(4, 2, 0, 0, 10, 0), 2);
  EXPECT_DOUBLE_EQ(_DistPoint2Seg(4, 2, 1, 2, 1, 2), 3);
  EXPECT_TRUE(_InRect(5, 5, 5, 1, 9, 5));
  EXPECT_FALSE(_InRect(5, 5, 9, 1, 5, 5));
  EXPECT_TRUE(_InRectO(5, 5, 9, 1, 5, 5));
  EXPECT_TRUE(_RectXRect(10, 10, 0, 0, 10, 10, 20, 20));
  EXPECT_FALSE(_RectXRect(0, 0, 9, 9, 10, 10, 20, 20));
  EXPECT_EQ(_RectPRect(0, 0, 10, 10, 2, 2, 8, 8), 2);
  EXPECT_EQ(_RectPRect(0, 0, 10, 10, 5, 5, 15, 15), 1);
  EXPECT_EQ(_RectPRect(0, 0, 10, 10, 5, -5, 15, 15), 0);
  EXPECT_EQ(_RectPRect(0, 0, 10, 10, 20, 2, 30, 8), 0);
}

TEST(SelectionHelpers, CtrlConstraint) {
  int x = 35, y = 100;  // steep: vertical
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 100);
  x = 100, y = 24;  // flat: horizontal
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(y, 20);
  x = 50, y = 45;  // right, below, dx 20 >= dy 25? no: x grows by 5
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(x, 55);
  EXPECT_EQ(y, 45);
  x = 10, y = 5;  // left, above, dx 20 >= dy 15: x grows by 5
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(x, 15);
  EXPECT_EQ(y, 5);
  x = 10, y = 40;  // left, below, dx 20 >= dy 20: y grows by 0
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 40);
  x = 60, y = 10;  // right, above, dx 30 >= dy 10? 10 < 30-30 no: y -= 20
  _CastPolySelCC(30, 20, x, y);
  EXPECT_EQ(y, -10);
}

}  // namespace
}  // namespace pictavo
