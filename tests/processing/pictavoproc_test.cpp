// The processing component frame: attachment, selection (rectangle,
// polygon, sub-polygons), the operation frame, one-level undo, the
// clipboard exchange through the clipboard seam, and the colour-depth entry
// points.
#include "processing/pictavoproc.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/conversions.h"
#include "platform/canvas.h"
#include "processing/colour_ops.h"
#include "processing/proc_clipboard.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

const std::vector<TPoint> kTriangle = {{2, 1}, {17, 4}, {6, 13}};

// Pixel centre inside the polygon (even-odd), or on one of its edges.
enum class Where { Inside, Outside, OnEdge };
Where Locate(const TPoint* poly, size_t n, int px, int py) {
  double x = px + 0.5, y = py + 0.5;
  bool in = false;
  for (size_t i = 0; i < n; ++i) {
    TPoint a = poly[i], b = poly[(i + 1) % n];
    double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    if (cross == 0 && x >= std::min(a.x, b.x) && x <= std::max(a.x, b.x) &&
        y >= std::min(a.y, b.y) && y <= std::max(a.y, b.y))
      return Where::OnEdge;
    if ((a.y > y) != (b.y > y) && a.x + (y - a.y) * double(b.x - a.x) / (b.y - a.y) > x) in = !in;
  }
  return in ? Where::Inside : Where::Outside;
}

TRGB Inverted(TRGB c) {
  return C(255 - c.r, 255 - c.g, 255 - c.b);
}

// A clipboard that cannot be opened.
class TLockedClipboard : public TPVProcClipboard {
 public:
  bool Open() override { return false; }
  void Close() override {}
  bool HasDIB() const override { return true; }
  HGLOBAL GetDIB() const override { return nullptr; }
  void SetDIB(HGLOBAL) override { ADD_FAILURE() << "written while locked"; }
};

// A clipboard holding a fixed (possibly malformed) block.
class TFixedClipboard : public TPVProcClipboard {
 public:
  explicit TFixedClipboard(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool Open() override { return true; }
  void Close() override {}
  bool HasDIB() const override { return true; }
  HGLOBAL GetDIB() const override {
    HGLOBAL h = GlobalAlloc(bytes_.size());
    std::memcpy(h->Lock(), bytes_.data(), bytes_.size());
    return h;
  }
  void SetDIB(HGLOBAL) override {}

 private:
  std::vector<uint8_t> bytes_;
};

// Restores the in-process clipboard when a test ends.
struct ClipboardGuard {
  explicit ClipboardGuard(TPVProcClipboard* c) { PVSetProcClipboard(c); }
  ~ClipboardGuard() { PVSetProcClipboard(nullptr); }
};

class ProcFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    src = Random24(20, 15, 21);
    PVCopyBitmap(*src, bm);
    proc.SetAttachedBitmap(&bm);
  }
  std::unique_ptr<TBitmap> src;
  TBitmap bm;
  TPictavoProc proc;
};

TEST_F(ProcFrame, NoSelectionMeansTheWholeBitmap) {
  EXPECT_EQ(proc.SelX1(), 0);
  EXPECT_EQ(proc.SelY1(), 0);
  EXPECT_EQ(proc.SelX2(), 20);
  EXPECT_EQ(proc.SelY2(), 15);
  int x1, y1, x2, y2, n;
  const TPoint* poly;
  const TPVMask* mask;
  EXPECT_FALSE(proc.GetReSel(x1, y1, x2, y2, poly, n, mask));
  EXPECT_EQ(n, 0);
  proc.Select(3, 4, 9, 8);
  EXPECT_TRUE(proc.GetReSel(x1, y1, x2, y2, poly, n, mask));
  EXPECT_EQ((std::vector{x1, y1, x2, y2}), (std::vector{3, 4, 9, 8}));
  proc.SelectAll();
  EXPECT_EQ(proc.SelX2(), 20);
}

TEST_F(ProcFrame, RectangleLimitsTheOperation) {
  proc.Select(3, 4, 9, 8);
  proc.Negative();
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      bool in = x >= 3 && x < 9 && y >= 4 && y < 8;
      ASSERT_EQ(Get(bm, x, y), in ? Inverted(Get(*src, x, y)) : Get(*src, x, y)) << x << "," << y;
    }
}

TEST_F(ProcFrame, PolygonLeavesTheBoxOutsideThePolygonAlone) {
  proc.SelectPolygon(kTriangle.data(), int(kTriangle.size()));
  EXPECT_EQ(proc.SelX1(), 2);
  EXPECT_EQ(proc.SelX2(), 17);
  proc.Negative();
  int inside = 0, outsideInBox = 0;
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      Where w = Locate(kTriangle.data(), 3, x, y);
      if (w == Where::OnEdge) continue;
      bool in = w == Where::Inside;
      inside += in;
      outsideInBox += !in && x >= 2 && x < 17 && y >= 1 && y < 13;
      ASSERT_EQ(Get(bm, x, y), in ? Inverted(Get(*src, x, y)) : Get(*src, x, y)) << x << "," << y;
    }
  EXPECT_GT(inside, 40);
  EXPECT_GT(outsideInBox, 40);
}

TEST_F(ProcFrame, TwoSubPolygonsAreBothProcessed) {
  std::vector<TPoint> poly = {{1, 1},  {7, 1},  {4, 6},  {kPVPolygonBreak, kPVPolygonBreak},
                              {10, 5}, {18, 5}, {18, 14}};
  proc.SelectPolygon(poly.data(), int(poly.size()));
  proc.ConvertToGray();
  int greyA = 0, greyB = 0;
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      Where a = Locate(poly.data(), 3, x, y), b = Locate(poly.data() + 4, 3, x, y);
      if (a == Where::OnEdge || b == Where::OnEdge) continue;
      TRGB s = Get(*src, x, y);
      uint8_t g = uint8_t((s.r * 21 + s.g * 71 + s.b * 7) / 100);
      bool in = a == Where::Inside || b == Where::Inside;
      ASSERT_EQ(Get(bm, x, y), in ? C(g, g, g) : s) << x << "," << y;
      greyA += a == Where::Inside;
      greyB += b == Where::Inside;
    }
  EXPECT_GT(greyA, 5);
  EXPECT_GT(greyB, 20);
}

TEST_F(ProcFrame, PolygonWorkersSeeOnlyTheBoundingBoxCopy) {
  // Contrast -100 sets a pixel to the channel means of the bitmap the worker
  // receives: for a true polygon that is the copy of the bounding box.
  proc.SelectPolygon(kTriangle.data(), int(kTriangle.size()));
  proc.Contrast(-100);
  uint64_t sum[3] = {0, 0, 0};
  for (int y = 1; y < 13; ++y)
    for (int x = 2; x < 17; ++x) {
      TRGB c = Get(*src, x, y);
      sum[0] += c.r, sum[1] += c.g, sum[2] += c.b;
    }
  auto mean = [&](int c) { return std::min<uint64_t>(255, sum[c] / (14 * 11)); };
  TRGB expected = C(int(mean(0)), int(mean(1)), int(mean(2)));
  EXPECT_EQ(Get(bm, 8, 6), expected);
  // A four-point rectangle polygon runs on the bitmap itself (whole-image means).
  PVCopyBitmap(*src, bm);
  std::vector<TPoint> rect = {{2, 1}, {17, 1}, {17, 13}, {2, 13}};
  proc.SelectPolygon(rect.data(), 4);
  proc.Contrast(-100);
  int r, g, b;
  _GetMediaContrastRGB(*src, r, g, b);
  EXPECT_EQ(Get(bm, 8, 6), C(std::min(r, 255), std::min(g, 255), std::min(b, 255)));
  EXPECT_EQ(Get(bm, 1, 1), Get(*src, 1, 1));
}

TEST_F(ProcFrame, UndoTwiceRestoresTheSameState) {
  proc.Negative();
  EXPECT_TRUE(proc.CanUndo());
  proc.Undo();
  EXPECT_TRUE(SamePixels(bm, *src));
  proc.Flip(fdHorizontal);  // saves the original again
  proc.Undo();
  proc.Undo();
  EXPECT_TRUE(SamePixels(bm, *src));
  proc.Resample(7, 3, rfNone);
  proc.Undo();
  EXPECT_TRUE(SamePixels(bm, *src));  // size too
  proc.ClearUndo();
  EXPECT_FALSE(proc.CanUndo());
  proc.Negative();
  proc.ClearUndo();
  proc.Undo();
  EXPECT_EQ(Get(bm, 0, 0), Inverted(Get(*src, 0, 0)));
}

TEST_F(ProcFrame, AutoUndoOffAndOnePixelImages) {
  proc.SetAutoUndo(false);
  proc.Negative();
  EXPECT_FALSE(proc.CanUndo());
  proc.SaveUndo();
  EXPECT_TRUE(proc.CanUndo());
  auto one = Solid(1, 1, C(5, 5, 5));
  proc.SetAttachedBitmap(one.get());
  proc.SetAutoUndo(true);
  proc.Negative();
  EXPECT_FALSE(proc.CanUndo());  // a 1 x 1 copy is "nothing to undo"
}

TEST_F(ProcFrame, UpdateMarksTheBitmapAndRefusalsDoNot) {
  bm.SetModified(false);
  proc.Negative();
  EXPECT_TRUE(bm.GetModified());
  TBitmap pal(4, 4, pf8bit);
  proc.SetAttachedBitmap(&pal);
  proc.ConvertToGray();
  EXPECT_FALSE(pal.GetModified());
  proc.SetAttachedBitmap(nullptr);
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
  proc.Negative();  // no bitmap: nothing, no crash
  proc.Clear();
  proc.Undo();
  EXPECT_EQ(proc.CalcImageNumColors(), 0);
}

TEST_F(ProcFrame, ProgressCarriesTheComponentAsSender) {
  TObject* seen = nullptr;
  int last = -1;
  proc.OnProgress = [&](TObject* s, int per) {
    seen = s;
    last = per;
  };
  proc.Select(0, 0, 20, 10);
  proc.IntensityRGBall(1, 1, 1);
  EXPECT_EQ(seen, &proc);
  EXPECT_EQ(last, 105);
}

TEST_F(ProcFrame, FrameHelpersForOtherOperations) {
  std::vector<std::vector<int>> calls;
  auto record = [&](TBitmap& b, int x1, int y1, int x2, int y2) {
    calls.push_back({b.GetWidth(), x1, y1, x2, y2});
  };
  proc.Select(3, 4, 9, 8);
  EXPECT_TRUE(proc.RunOnSelectionCopy(TPictavoProc::kFrame24, true, record));
  EXPECT_TRUE(proc.RunOnSelectionCopy(TPictavoProc::kFrame24, false, record));
  proc.SelectPolygon(kTriangle.data(), 3);
  EXPECT_TRUE(proc.RunFramed(TPictavoProc::kFrame24, record));
  EXPECT_EQ(calls, (std::vector<std::vector<int>>{
                       {20, 0, 0, 20, 15}, {20, 3, 4, 9, 8}, {15, 0, 0, 15, 12}}));
  TBitmap page(8, 8, pf1bit);
  proc.SetAttachedBitmap(&page);
  EXPECT_FALSE(proc.RunFramed(TPictavoProc::kFrame24, record));
  EXPECT_EQ(proc.BeginChange(TPictavoProc::kFrame24), nullptr);
  EXPECT_EQ(proc.BeginChange(TPictavoProc::kFrame24Or1), &page);
  EXPECT_EQ(proc.MakeProgress().Sender, &proc);
}

TEST_F(ProcFrame, OneBitImageOnTheClipboardHasABlackWhitePalette) {
  auto page = Random1(13, 5, 2);
  proc.SetAttachedBitmap(page.get());
  proc.CopyToClipboard();
  HGLOBAL dib = PVProcClipboard().GetDIB();
  ASSERT_TRUE(dib);
  const uint8_t* p = dib->Lock();
  uint16_t bits;
  std::memcpy(&bits, p + 14, 2);
  EXPECT_EQ(bits, 1);
  // Entry 0 black, entry 1 white (blue, green, red).
  const uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
  EXPECT_EQ(std::memcmp(p + 40, black, 3), 0);
  EXPECT_EQ(std::memcmp(p + 44, white, 3), 0);
  TBitmap back;
  PVCopyBitmap(bm, back);
  TPictavoProc other;
  other.SetAttachedBitmap(&back);
  other.PasteFromClipboard();
  EXPECT_TRUE(SamePixels(back, *page));
}

TEST_F(ProcFrame, SelectionCopyCutAndPaste) {
  proc.Select(3, 4, 9, 8);
  proc.SelCopyToClip();
  TBitmap target(2, 2, pf24bit);
  TPictavoProc other;
  other.SetAttachedBitmap(&target);
  other.PasteFromClipboard();
  ASSERT_EQ(target.GetWidth(), 6);
  ASSERT_EQ(target.GetHeight(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(Get(target, x, y), Get(*src, x + 3, y + 4));
  other.Undo();
  EXPECT_EQ(target.GetWidth(), 2);

  proc.SetBackground(RGB2TColor(1, 2, 3));
  proc.SelCutToClip();
  EXPECT_EQ(Get(bm, 3, 4), C(1, 2, 3));
  EXPECT_EQ(Get(bm, 8, 7), C(1, 2, 3));
  EXPECT_EQ(Get(bm, 9, 7), Get(*src, 9, 7));
  EXPECT_TRUE(proc.CanUndo());
  proc.Undo();
  EXPECT_TRUE(SamePixels(bm, *src));

  // Point paste: the 6 x 4 clip drawn with its corner at (12, 10), clipped.
  proc.PointPasteFromClip(12, 10);
  EXPECT_EQ(Get(bm, 12, 10), Get(*src, 3, 4));
  EXPECT_EQ(Get(bm, 17, 13), Get(*src, 8, 7));
  EXPECT_EQ(Get(bm, 11, 10), Get(*src, 11, 10));
  proc.Undo();

  // Stretch into the selection 0,0 - 12,8 (nearest pixel).
  proc.Select(0, 0, 12, 8);
  proc.SelPasteFromClipStretch();
  TBitmap clip;
  _CopyBitmapRect(*src, clip, 3, 4, 9, 8);
  TBitmap expected;
  PVCopyBitmap(*src, expected);
  expected.Canvas().StretchDraw(Rect(0, 0, 12, 8), clip);
  EXPECT_TRUE(SamePixels(bm, expected));
}

TEST_F(ProcFrame, PolygonCopyUsesTheMaskBox) {
  proc.SelectPolygon(kTriangle.data(), 3);
  proc.SelCopyToClip();
  TBitmap target;
  TPictavoProc other;
  other.SetAttachedBitmap(&target);
  other.PasteFromClipboard();
  // The mask box holds every vertex: (17 - 2 + 1) x (13 - 1 + 1).
  EXPECT_EQ(target.GetWidth(), 16);
  EXPECT_EQ(target.GetHeight(), 13);
  const TPVMask* mask = proc.GetReSel().mask;
  ASSERT_NE(mask, nullptr);
  int copied = 0;
  for (int y = 1; y < 14; ++y)
    for (int x = 2; x < 18; ++x)
      if (mask->GetPixel(x, y)) {
        ++copied;
        ASSERT_EQ(Get(target, x - 2, y - 1), Get(*src, x, y)) << x << "," << y;
      }
  EXPECT_GT(copied, 40);
  proc.SetBackground(RGB2TColor(9, 9, 9));
  proc.SelCutToClip();
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 20; ++x) {
      Where w = Locate(kTriangle.data(), 3, x, y);
      if (w == Where::OnEdge) continue;
      ASSERT_EQ(Get(bm, x, y), w == Where::Inside ? C(9, 9, 9) : Get(*src, x, y));
    }
}

TEST_F(ProcFrame, ClearAndClearSel) {
  proc.SetBackground(RGB2TColor(7, 8, 9));
  std::vector<TPoint> poly = {{1, 1},  {7, 1},  {4, 6},  {kPVPolygonBreak, kPVPolygonBreak},
                              {10, 5}, {18, 5}, {18, 14}};
  proc.SelectPolygon(poly.data(), int(poly.size()));
  proc.ClearSel();
  EXPECT_EQ(Get(bm, 4, 2), C(7, 8, 9));
  EXPECT_EQ(Get(bm, 16, 8), C(7, 8, 9));
  EXPECT_EQ(Get(bm, 12, 12), Get(*src, 12, 12));
  EXPECT_EQ(Get(bm, 0, 14), Get(*src, 0, 14));
  proc.Clear();
  EXPECT_EQ(Get(bm, 0, 14), C(7, 8, 9));
  EXPECT_EQ(Get(bm, 19, 0), C(7, 8, 9));
}

TEST_F(ProcFrame, ClipboardThatCannotBeOpenedChangesNothing) {
  TLockedClipboard locked;
  ClipboardGuard guard(&locked);
  proc.Select(3, 4, 9, 8);
  proc.SelCutToClip();
  proc.PasteFromClipboard();
  proc.PointPasteFromClip(0, 0);
  proc.SelPasteFromClipStretch();
  proc.CopyToClipboard();
  EXPECT_TRUE(SamePixels(bm, *src));
  EXPECT_FALSE(proc.CanUndo());
}

TEST_F(ProcFrame, MalformedClipboardBlockKeepsTheImage) {
  TFixedClipboard junk({40, 0, 0, 0, 1, 2});
  ClipboardGuard guard(&junk);
  proc.PasteFromClipboard();
  proc.SelPasteFromClipStretch();
  EXPECT_TRUE(SamePixels(bm, *src));
}

TEST_F(ProcFrame, SelCutWithoutSelectionDoesNothing) {
  proc.SelCutToClip();
  EXPECT_TRUE(SamePixels(bm, *src));
  EXPECT_FALSE(proc.CanUndo());
}

TEST(ProcDepth, ConvertTo24BitExpandsBits) {
  auto page = Random1(11, 3, 5);
  TBitmap bm;
  PVCopyBitmap(*page, bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  ProgressLog log;
  proc.OnProgress = log.Event();
  proc.ConvertTo24Bit();
  ASSERT_EQ(bm.GetPixelFormat(), pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 11; ++x)
      ASSERT_EQ(Get(bm, x, y), Bit(*page, x, y) ? C(255, 255, 255) : C(0, 0, 0));
  EXPECT_EQ(log.values, (std::vector{40, 80, 120}));  // rows of 100 / 2.5
  proc.ConvertTo24Bit();                              // already 24 bits: nothing
  EXPECT_EQ(log.values.size(), 3u);
  proc.Undo();
  EXPECT_EQ(bm.GetPixelFormat(), pf1bit);
}

TEST(ProcAttach, AttachmentsReplaceEachOther) {
  TBitmap a(2, 2, pf24bit), b(3, 3, pf24bit);
  TPictavoProc proc;
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
  EXPECT_EQ(proc.GetBackground(), TColor(0));
  proc.SetAttachedBitmap(&a);
  proc.SetAttachedBitmap(&b);
  EXPECT_EQ(proc.GetAttachedBitmap(), &b);
  EXPECT_EQ(proc.GetAttachedPictavo(), nullptr);
  EXPECT_EQ(proc.GetAttachedTImage(), nullptr);
  EXPECT_TRUE(proc.GetAutoUndo());
  EXPECT_TRUE(proc.GetPreviewsParams().Empty());
  proc.OnBitmapChange(nullptr, true);  // a view going away
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
}

}  // namespace
}  // namespace pictavo
