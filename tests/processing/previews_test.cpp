// DoPreviews: which bitmaps it refuses, what the form receives, and how the
// form's result comes back (whole image, rectangle, polygon, a rotated
// result), with Cancel, OnPreview and undo.  The form is a test stand-in that
// inverts its source bitmap (or swaps its sides) when it is "confirmed".
#include <gtest/gtest.h>

#include <vector>

#include "core/conversions.h"
#include "platform/canvas.h"
#include "processing/pictavoproc.h"
#include "processing/previewsform.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

TRGB Inverted(TRGB c) {
  return C(255 - c.r, 255 - c.g, 255 - c.b);
}

struct FormLog {
  int created = 0;
  TPVPreviewsSetup setup;
  std::unique_ptr<TBitmap> received;  // the source bitmap when shown
  TForm* form = nullptr;
};

class TTestForm : public IPVPreviewsForm {
 public:
  TTestForm(FormLog& log, TModalResult result, bool transpose)
      : log_(log), result_(result), transpose_(transpose) {}
  TForm* Form() override { return &form_; }
  void Setup(const TPVPreviewsSetup& setup) override { log_.setup = setup; }
  TBitmap& SourceBitmap() override { return source_; }
  TModalResult ShowModal() override {
    log_.received = PVCloneBitmap(source_);
    log_.form = &form_;
    if (transpose_) {
      TBitmap t(source_.GetHeight(), source_.GetWidth(), pf24bit);
      for (int y = 0; y < source_.GetHeight(); ++y)
        for (int x = 0; x < source_.GetWidth(); ++x) Put(t, y, x, Get(source_, x, y));
      PVCopyBitmap(t, source_);
    } else {
      for (int y = 0; y < source_.GetHeight(); ++y)
        for (int x = 0; x < source_.GetWidth(); ++x)
          Put(source_, x, y, Inverted(Get(source_, x, y)));
    }
    return result_;
  }

 private:
  FormLog& log_;
  TModalResult result_;
  bool transpose_;
  TForm form_;
  TBitmap source_;
};

// Installs the stand-in for one test and removes it afterwards.
class ProcPreviews : public ::testing::Test {
 protected:
  void SetUp() override {
    src = Random24(20, 15, 7);
    PVCopyBitmap(*src, bm);
    proc.SetAttachedBitmap(&bm);
    previous = PVSetPreviewsFormFactory([this](TComponent*) {
      ++log.created;
      return std::make_unique<TTestForm>(log, result, transpose);
    });
  }
  void TearDown() override { PVSetPreviewsFormFactory(std::move(previous)); }

  std::unique_ptr<TBitmap> src;
  TBitmap bm;
  TPictavoProc proc;
  FormLog log;
  TModalResult result = mrOk;
  bool transpose = false;
  TPVPreviewsFormFactory previous;
};

TEST_F(ProcPreviews, RefusedBitmapsNeverReachTheForm) {
  TBitmap grey(20, 15, pf8bit);
  proc.SetAttachedBitmap(&grey);
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  TBitmap one(1, 1, pf24bit);
  proc.SetAttachedBitmap(&one);
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  EXPECT_EQ(log.created, 0);
  // One pixel wide but two high is enough.
  TBitmap column(1, 2, pf24bit);
  proc.SetAttachedBitmap(&column);
  EXPECT_TRUE(proc.DoPreviews({peAll}));
  EXPECT_EQ(log.created, 1);
}

TEST_F(ProcPreviews, WithoutAFormTheAnswerIsFalseAndNothingChanges) {
  PVSetPreviewsFormFactory(nullptr);
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  EXPECT_TRUE(SamePixels(bm, *src));
}

TEST_F(ProcPreviews, TheFormGetsTheSettingsAndTheSelectedArea) {
  proc.SetPreviewsParams({prppDefaultLockPreview});
  proc.SetMsgLanguage(TMsgLanguage(2));
  proc.GetPreviewFont().SetSize(17);
  int reports = 0;
  proc.OnProgress = [&](TObject*, int) { ++reports; };
  TForm* seen = nullptr;
  TObject* sender = nullptr;
  proc.OnPreview = [&](TObject* s, TForm* f) {
    sender = s;
    seen = f;
    // OnPreview runs before the form is shown.
    EXPECT_EQ(log.received, nullptr);
  };
  proc.Select(3, 4, 9, 8);
  ASSERT_TRUE(proc.DoPreviews({peContrast, peFFT}));
  EXPECT_TRUE(log.setup.lockPreview);
  EXPECT_EQ(log.setup.language, TMsgLanguage(2));
  ASSERT_NE(log.setup.font, nullptr);
  EXPECT_EQ(log.setup.font->GetSize(), 17);
  EXPECT_EQ(log.setup.host, &proc);
  ASSERT_TRUE(log.setup.onProgress);
  log.setup.onProgress(&proc, 50);
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(log.setup.effects.Contains(peContrast));
  EXPECT_TRUE(log.setup.effects.Contains(peFFT));
  EXPECT_FALSE(log.setup.effects.Contains(peAll));
  EXPECT_EQ(sender, &proc);
  EXPECT_EQ(seen, log.form);
  ASSERT_NE(log.received, nullptr);
  TBitmap area;
  _CopyBitmapRect(*src, area, 3, 4, 9, 8);
  EXPECT_TRUE(SamePixels(*log.received, area));
}

TEST_F(ProcPreviews, CancelKeepsTheImage) {
  result = mrCancel;
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  EXPECT_TRUE(SamePixels(bm, *src));
  EXPECT_FALSE(proc.CanUndo());
}

TEST_F(ProcPreviews, WholeImageResultReplacesItAndUndoRestoresIt) {
  ASSERT_TRUE(proc.DoPreviews({peAll}));
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Get(bm, x, y), Inverted(Get(*src, x, y)));
  EXPECT_TRUE(bm.GetModified());
  proc.Undo();
  EXPECT_TRUE(SamePixels(bm, *src));
}

// A rectangle selection without a polygon: the result goes back into the
// rectangle and everything outside it stays.
TEST_F(ProcPreviews, RectangleResultGoesBackIntoTheRectangle) {
  proc.Select(3, 4, 9, 8);
  ASSERT_TRUE(proc.DoPreviews({peAll}));
  ASSERT_EQ(bm.GetWidth(), 20);
  ASSERT_EQ(bm.GetHeight(), 15);
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool in = x >= 3 && x < 9 && y >= 4 && y < 8;
      ASSERT_EQ(Get(bm, x, y), in ? Inverted(Get(*src, x, y)) : Get(*src, x, y)) << x << "," << y;
    }
}

TEST_F(ProcPreviews, PolygonResultIsMergedThroughThePolygon) {
  const std::vector<TPoint> triangle = {{2, 1}, {17, 4}, {6, 13}};
  proc.SelectPolygon(triangle.data(), 3);
  ASSERT_TRUE(proc.DoPreviews({peAll}));
  // The expected image: the inverted bounding box merged through the same
  // polygon by the library's merge.
  TBitmap box, expected;
  _CopyBitmapRect(*src, box, proc.SelX1(), proc.SelY1(), proc.SelX2(), proc.SelY2());
  for (int y = 0; y < box.GetHeight(); ++y)
    for (int x = 0; x < box.GetWidth(); ++x) Put(box, x, y, Inverted(Get(box, x, y)));
  PVCopyBitmap(*src, expected);
  _CopyPolygonBitmap(expected, box, proc.SelX1(), proc.SelY1(), triangle.data(), 3);
  EXPECT_TRUE(SamePixels(bm, expected));
  // Corners of the box outside the triangle kept their pixels.
  EXPECT_EQ(Get(bm, 16, 12), Get(*src, 16, 12));
  EXPECT_EQ(Get(bm, 8, 6), Inverted(Get(*src, 8, 6)));
}

// A result of another size (a rotation in the preview) resizes the image
// when the whole image was previewed.
TEST_F(ProcPreviews, RotatedWholeImageTakesTheResultsSize) {
  transpose = true;
  ASSERT_TRUE(proc.DoPreviews({peRotate}));
  ASSERT_EQ(bm.GetWidth(), 15);
  ASSERT_EQ(bm.GetHeight(), 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 15; ++x) ASSERT_EQ(Get(bm, x, y), Get(*src, y, x));
}

}  // namespace
}  // namespace pictavo
