// The processing component attached to an image view (its selection, its
// repaint, its coordinate base, its lifetime) and to a platform TImage,
// driven through the headless desktop.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/conversions.h"
#include "platform/image.h"
#include "processing/pictavoproc.h"
#include "tests/processing/proc_test_support.h"
#include "tests/view/view_test_util.h"
#include "view/pictavoview.h"

namespace pictavo {
namespace {

using proctest::C;
using proctest::Get;
using proctest::SamePixels;
using viewtest::CoordColor;
using viewtest::MakeBitmap;

constexpr int kW = 20, kH = 16;

TRGB Inverted(TRGB c) {
  return C(255 - c.r, 255 - c.g, 255 - c.b);
}

// Pixel centre strictly inside the polygon (even-odd); pixels whose centre
// lies on an edge count as neither.
enum class Where { Inside, Outside, OnEdge };
Where Locate(const std::vector<TPoint>& poly, int px, int py) {
  const double x = px + 0.5, y = py + 0.5;
  bool in = false;
  for (size_t i = 0; i < poly.size(); ++i) {
    TPoint a = poly[i], b = poly[(i + 1) % poly.size()];
    double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    if (cross == 0 && x >= std::min(a.x, b.x) && x <= std::max(a.x, b.x) &&
        y >= std::min(a.y, b.y) && y <= std::max(a.y, b.y))
      return Where::OnEdge;
    if ((a.y > y) != (b.y > y) && a.x + (y - a.y) * double(b.x - a.x) / (b.y - a.y) > x) in = !in;
  }
  return in ? Where::Inside : Where::Outside;
}

class ProcView : public viewtest::ViewFixture {
 protected:
  void SetUp() override {
    ViewFixture::SetUp();
    source = MakeBitmap(kW, kH, CoordColor);
    Show(100, 80, *source);
    proc = std::make_unique<TPictavoProc>();
    proc->SetAttachedPictavo(view.get());
  }
  void TearDown() override {
    proc.reset();
    ViewFixture::TearDown();
  }
  TBitmap& Shown() { return view->Bitmap(); }

  std::unique_ptr<TBitmap> source;
  std::unique_ptr<TPictavoProc> proc;
};

TEST_F(ProcView, AttachingTakesTheViewsBitmapAndRegistersOnce) {
  EXPECT_EQ(proc->GetAttachedPictavo(), view.get());
  EXPECT_EQ(proc->GetAttachedBitmap(), &Shown());
  EXPECT_EQ(view->BitmapChangeEventCount(), 1);
  proc->SetAttachedPictavo(view.get());  // again: no second registration
  EXPECT_EQ(view->BitmapChangeEventCount(), 1);
  proc->SetAttachedPictavo(nullptr);
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
  EXPECT_EQ(proc->GetAttachedBitmap(), nullptr);
}

TEST_F(ProcView, RectangleSelectionOfTheViewLimitsTheOperationAndUndoRestores) {
  view->SetSelectionBase(pvsbBitmap);
  view->Select(3, 2, 9, 7);
  EXPECT_EQ(proc->SelX1(), 3);
  EXPECT_EQ(proc->SelY1(), 2);
  EXPECT_EQ(proc->SelX2(), 9);
  EXPECT_EQ(proc->SelY2(), 7);
  proc->Negative();
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = x >= 3 && x < 9 && y >= 2 && y < 7;
      const TRGB want = inside ? Inverted(Get(*source, x, y)) : Get(*source, x, y);
      ASSERT_EQ(Get(Shown(), x, y), want) << x << "," << y;
    }
  ASSERT_TRUE(proc->CanUndo());
  proc->Undo();
  EXPECT_TRUE(SamePixels(Shown(), *source));
  // Undo keeps its copy: a change after the undo is undone to the same state.
  proc->Undo();
  EXPECT_TRUE(SamePixels(Shown(), *source));
}

TEST_F(ProcView, PolygonSelectionLeavesPixelsOutsideAlone) {
  const std::vector<TPoint> triangle = {{2, 1}, {17, 4}, {6, 13}};
  view->SetSelectionBase(pvsbBitmap);
  for (const TPoint& p : triangle) view->AddSelPoint(p.x, p.y);
  ASSERT_TRUE(view->HasSelection());
  EXPECT_EQ(proc->SelX1(), 2);
  EXPECT_EQ(proc->SelY2(), 13);
  proc->Negative();
  int inverted = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const Where where = Locate(triangle, x, y);
      if (where == Where::Outside) {
        ASSERT_EQ(Get(Shown(), x, y), Get(*source, x, y)) << x << "," << y;
      } else if (where == Where::Inside) {
        ASSERT_EQ(Get(Shown(), x, y), Inverted(Get(*source, x, y))) << x << "," << y;
        ++inverted;
      }
    }
  EXPECT_GT(inverted, 40);
}

TEST_F(ProcView, WithoutAViewSelectionTheWholeBitmapIsTheArea) {
  view->SetSelectionBase(pvsbBitmap);
  view->Select(3, 2, 9, 7);
  proc->SelectAll();  // deselects the view as well
  EXPECT_FALSE(view->HasSelection());
  EXPECT_EQ(proc->SelX2(), kW);
  EXPECT_EQ(proc->SelY2(), kH);
  proc->Negative();
  EXPECT_EQ(Get(Shown(), 0, 0), Inverted(Get(*source, 0, 0)));
  EXPECT_EQ(Get(Shown(), kW - 1, kH - 1), Inverted(Get(*source, kW - 1, kH - 1)));
}

TEST_F(ProcView, TheViewRepaintsAndReportsTheChange) {
  int changes = 0;
  view->OnImageChange = [&](TObject*) { ++changes; };
  const TColor before = Pixel(5, 4);
  ASSERT_EQ(before, CoordColor(5, 4));
  proc->Negative();
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(5, 4), before ^ 0xFFFFFFu);
  EXPECT_EQ(changes, 1);
  proc->Undo();
  Desktop().ProcessMessages();
  EXPECT_EQ(Pixel(5, 4), before);
  EXPECT_EQ(changes, 2);
}

TEST_F(ProcView, SelectTakesBitmapCoordinatesWhateverTheViewsBase) {
  view->SetZoom(200);
  ASSERT_EQ(view->GetSelectionBase(), pvsbClientArea);
  proc->Select(2, 3, 8, 9);
  EXPECT_EQ(view->GetSelectionBase(), pvsbClientArea);
  ASSERT_TRUE(view->HasSelection());
  EXPECT_EQ(view->GetSelX1(), 2);
  EXPECT_EQ(view->GetSelY1(), 3);
  EXPECT_EQ(view->GetSelX2(), 8);
  EXPECT_EQ(view->GetSelY2(), 9);
}

TEST_F(ProcView, BackgroundIsTheViews) {
  proc->SetBackground(RGB2TColor(1, 2, 3));
  EXPECT_EQ(view->GetBackground(), RGB2TColor(1, 2, 3));
  view->SetBackGround(RGB2TColor(7, 8, 9));
  EXPECT_EQ(proc->GetBackground(), RGB2TColor(7, 8, 9));
}

TEST_F(ProcView, PointPasteMapsClientCoordinatesOnlyForAClientBase) {
  TPictavoProc clipSource;
  auto clip = proctest::Solid(3, 2, C(10, 20, 30));
  clipSource.SetAttachedBitmap(clip.get());
  clipSource.CopyToClipboard();

  // At 200 % with no scroll and no centring, client (12, 8) is bitmap (6, 4).
  view->SetZoom(200);
  proc->PointPasteFromClip(12, 8);
  EXPECT_EQ(Get(Shown(), 6, 4), C(10, 20, 30));
  EXPECT_EQ(Get(Shown(), 8, 5), C(10, 20, 30));
  EXPECT_EQ(Get(Shown(), 5, 4), Get(*source, 5, 4));
  EXPECT_EQ(Get(Shown(), 9, 5), Get(*source, 9, 5));
  EXPECT_EQ(Get(Shown(), 12, 8), Get(*source, 12, 8));
  proc->Undo();
  ASSERT_TRUE(SamePixels(Shown(), *source));

  view->SetSelectionBase(pvsbBitmap);
  proc->PointPasteFromClip(12, 8);
  EXPECT_EQ(Get(Shown(), 12, 8), C(10, 20, 30));
  EXPECT_EQ(Get(Shown(), 14, 9), C(10, 20, 30));
  EXPECT_EQ(Get(Shown(), 6, 4), Get(*source, 6, 4));
}

TEST_F(ProcView, ViewDestroyedFirstLeavesTheComponentDetached) {
  Desktop().RemoveWindow(view.get());
  view.reset();
  EXPECT_EQ(proc->GetAttachedPictavo(), nullptr);
  EXPECT_EQ(proc->GetAttachedBitmap(), nullptr);
  // Nothing to work on and nothing to call back into.
  proc->Negative();
  proc->Select(1, 1, 4, 4);
  proc->SetBackground(RGB2TColor(4, 5, 6));
  EXPECT_EQ(proc->GetBackground(), RGB2TColor(4, 5, 6));
  EXPECT_EQ(proc->SelX2(), 4);
}

TEST_F(ProcView, ComponentDestroyedFirstUnregisters) {
  proc.reset();
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
  view->CallBitmapChangeEvents();  // must not reach the freed component
}

TEST_F(ProcView, MovingToAnotherTargetUnregistersFromTheView) {
  TBitmap bare(4, 4, pf24bit);
  proc->SetAttachedBitmap(nullptr);  // ignored while a view is attached
  EXPECT_EQ(proc->GetAttachedPictavo(), view.get());
  proc->SetAttachedBitmap(&bare);
  EXPECT_EQ(proc->GetAttachedPictavo(), nullptr);
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
  proc->SetAttachedPictavo(view.get());
  TImage image;
  proc->SetAttachedTImage(&image);
  EXPECT_EQ(proc->GetAttachedPictavo(), nullptr);
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
  EXPECT_EQ(proc->GetAttachedBitmap(), &image.Picture().Bitmap());
}

TEST(ProcTImage, OperatesOnThePictureAndForgetsAFreedImage) {
  auto source = MakeBitmap(6, 5, CoordColor);
  auto image = std::make_unique<TImage>();
  image->Picture().SetBitmap(source.get());
  int changes = 0;
  image->Picture().OnChange = [&](TObject*) { ++changes; };
  TPictavoProc proc;
  proc.SetAttachedTImage(image.get());
  EXPECT_EQ(proc.GetAttachedTImage(), image.get());
  proc.Select(0, 0, 3, 5);
  proc.Negative();
  TBitmap& shown = image->Picture().Bitmap();
  EXPECT_EQ(Get(shown, 2, 4), Inverted(Get(*source, 2, 4)));
  EXPECT_EQ(Get(shown, 3, 4), Get(*source, 3, 4));
  EXPECT_GE(changes, 1);  // the picture was told, so the control repaints

  image.reset();
  EXPECT_EQ(proc.GetAttachedTImage(), nullptr);
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
  proc.Negative();  // no target: nothing happens
}

}  // namespace
}  // namespace pictavo
