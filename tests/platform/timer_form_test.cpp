// Timers on the manual clock, modal forms answered by a hook, message
// boxes, TImage/TPicture painting, the CF_DIB clipboard and the cursor
// images.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/app.h"
#include "platform/clipboard.h"
#include "platform/cursors.h"
#include "platform/forms.h"
#include "platform/image.h"
#include "platform/timer.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;
using testing::LogControl;

TEST_F(DesktopTest, TimerTicksAtEachDueTimeOfTheManualClock) {
  TTimer timer;
  std::vector<int64_t> ticks;
  int64_t start = Application().NowMs();
  timer.SetInterval(150);
  timer.SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    ticks.push_back(Application().NowMs() - start);
  });
  Desktop().AdvanceClock(300);
  EXPECT_EQ(ticks, (std::vector<int64_t>{150, 300}));
  Desktop().AdvanceClock(149);
  EXPECT_EQ(ticks.size(), 2u);
  Desktop().AdvanceClock(1);
  EXPECT_EQ(ticks.size(), 3u);
  timer.SetEnabled(false);
  Desktop().AdvanceClock(1000);
  EXPECT_EQ(ticks.size(), 3u);
}

TEST_F(DesktopTest, ChangingTheIntervalRestartsTheCount) {
  TTimer timer;
  int ticks = 0;
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  timer.SetInterval(150);
  Desktop().AdvanceClock(100);
  timer.SetInterval(200);  // due 200 ms from now
  Desktop().AdvanceClock(199);
  EXPECT_EQ(ticks, 0);
  Desktop().AdvanceClock(1);
  EXPECT_EQ(ticks, 1);
  timer.SetInterval(0);  // stops
  EXPECT_FALSE(timer.Running());
  Desktop().AdvanceClock(1000);
  EXPECT_EQ(ticks, 1);
}

TEST_F(DesktopTest, TimerWithoutHandlerOrDestroyedNeverTicks) {
  auto timer = std::make_unique<TTimer>();
  EXPECT_FALSE(timer->Running());  // no OnTimer yet
  int ticks = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&](TObject*) { ++ticks; });
  EXPECT_TRUE(timer->Running());
  timer.reset();
  Desktop().AdvanceClock(100);
  EXPECT_EQ(ticks, 0);
}

TEST_F(DesktopTest, TimerOwnedByAComponentGoesWithIt) {
  auto owner = std::make_unique<TComponent>();
  auto* timer = new TTimer(owner.get());
  int ticks = 0;
  timer->SetInterval(10);
  timer->SetOnTimer([&](TObject*) { ++ticks; });
  Desktop().AdvanceClock(10);
  owner.reset();
  Desktop().AdvanceClock(100);
  EXPECT_EQ(ticks, 1);
}

TEST_F(DesktopTest, TimerRepaintsAControlThroughTheLoop) {
  LogControl c;
  c.SetBounds(0, 0, 10, 10);
  Desktop().AddWindow(&c);
  Desktop().ProcessMessages();
  int paints = 0;
  c.OnPaint = [&](TObject*) { ++paints; };
  TTimer blink;
  blink.SetInterval(150);
  blink.SetOnTimer([&](TObject*) { c.Invalidate(); });
  Desktop().AdvanceClock(450);
  EXPECT_EQ(paints, 3);
}

// A form with an OK button: a click sets the form's result.
class OkForm : public TForm {
 public:
  OkForm() {
    SetBounds(200, 100, 120, 80);
    ok.SetParent(this);
    ok.SetBounds(10, 50, 40, 20);
    ok.OnClick = [this](TObject*) { SetModalResult(mrOk); };
  }
  LogControl ok;
};

TEST_F(DesktopTest, ModalFormAnsweredByAHookThatClicks) {
  OkForm form;
  bool shownDuringHook = false;
  auto previous = SetModalHandler([&](TForm& f) {
    shownDuringHook = f.GetVisible() && Desktop().HasWindow(&f) && f.Modal();
    Desktop().ProcessMessages();
    Desktop().Click(form.ok.ClientToScreen(Point(5, 5)));
    return f.GetModalResult();
  });
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(shownDuringHook);
  EXPECT_FALSE(form.GetVisible());
  EXPECT_FALSE(Desktop().HasWindow(&form));
  EXPECT_FALSE(form.Modal());
  SetModalHandler([](TForm&) { return mrNo; });
  EXPECT_EQ(form.ShowModal(), mrNo);
  EXPECT_EQ(form.GetModalResult(), mrNo);
  SetModalHandler(previous);
}

TEST_F(DesktopTest, ModalFormWithoutHandlerIsCancelledUnlessItAnswers) {
  SetModalHandler(nullptr);
  OkForm form;
  EXPECT_EQ(form.ShowModal(), mrCancel);
  // A form that answers while it is shown (here from its OnShow).
  form.OnShow = [&](TObject*) { form.SetModalResult(mrYes); };
  EXPECT_EQ(form.ShowModal(), mrYes);
}

TEST_F(DesktopTest, ClosingAModalFormCancelsUnlessRefused) {
  OkForm form;
  int ended = 0;
  form.OnModalEnd = [&](TForm*) { ++ended; };
  SetModalHandler([&](TForm& f) {
    f.Close();
    return mrNone;
  });
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(ended, 1);
  form.OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
  SetModalHandler([&](TForm& f) {
    f.Close();
    return f.GetModalResult() == mrNone ? mrRetry : mrAbort;
  });
  EXPECT_EQ(form.ShowModal(), mrRetry);
  SetModalHandler(nullptr);
}

TEST_F(DesktopTest, MessageDialogsUseTheHandlerOrTheFirstButton) {
  EXPECT_EQ(MessageDlg("Overwrite?", mtConfirmation, {mbNo, mbYes}), mrYes);
  EXPECT_EQ(MessageDlg("Stop?", mtWarning, {mbCancel, mbOK}), mrOk);
  std::string seen;
  auto previous = SetMessageHandler([&](const std::string& text, TMsgDlgType, TMsgDlgButtons) {
    seen = text;
    return mrNo;
  });
  EXPECT_EQ(MessageDlg("Overwrite?", mtConfirmation, {mbNo, mbYes}), mrNo);
  ShowMessage("done");
  EXPECT_EQ(seen, "done");
  SetMessageHandler(previous);
}

std::unique_ptr<TBitmap> Checker(int w, int h) {
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixel(x, y, RGB(x * 40, y * 60, 7));
  return b;
}

TEST_F(DesktopTest, ImageShowsItsPictureAtTheCornerCentredOrStretched) {
  TImage image;
  image.SetBounds(0, 0, 12, 8);
  image.SetColor(clWhite);
  auto pic = Checker(4, 3);
  image.Picture().SetBitmap(pic.get());
  image.UpdateWindow();
  EXPECT_EQ(image.Surface().GetPixel(3, 2), RGB(120, 120, 7));
  EXPECT_EQ(image.Surface().GetPixel(4, 2), clWhite);
  image.SetCenter(true);  // (12 - 4) / 2 = 4, (8 - 3) / 2 = 2
  image.UpdateWindow();
  EXPECT_EQ(image.Surface().GetPixel(4, 2), RGB(0, 0, 7));
  EXPECT_EQ(image.Surface().GetPixel(3, 2), clWhite);
  image.SetCenter(false);
  image.SetStretch(true);  // 3 x 2.67 per picture pixel, nearest sample
  image.UpdateWindow();
  EXPECT_EQ(image.Surface().GetPixel(11, 7), RGB(120, 120, 7));
  EXPECT_EQ(image.Surface().GetPixel(2, 0), RGB(0, 0, 7));
  EXPECT_EQ(image.Surface().GetPixel(3, 0), RGB(40, 0, 7));
  image.SetProportional(true);  // 4:3 into 12 x 8 gives 10 x 8 (8 * 4 / 3 = 10)
  EXPECT_EQ(image.DestRect(), Rect(0, 0, 10, 8));
}

TEST_F(DesktopTest, ChangingThePictureBitmapRepaintsTheImage) {
  TImage image;
  image.SetBounds(0, 0, 4, 4);
  image.UpdateWindow();
  EXPECT_FALSE(image.NeedsPaint());
  image.Picture().Bitmap().SetSize(2, 2);
  EXPECT_TRUE(image.NeedsPaint());
  image.UpdateWindow();
  image.Picture().Bitmap().SetPixel(0, 0, clRed);
  image.Picture().Bitmap().SetModified(true);
  EXPECT_TRUE(image.NeedsPaint());
  image.UpdateWindow();
  EXPECT_EQ(image.Surface().GetPixel(0, 0), clRed);
  image.SetAutoSize(true);
  EXPECT_EQ(image.GetWidth(), 2);
}

TEST(ClipboardTest, DibRoundTripNeedsTheClipboardOpen) {
  const uint8_t dib[] = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);  // closed
  ASSERT_TRUE(OpenClipboard());
  EXPECT_FALSE(OpenClipboard());  // already open
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  HGLOBAL block = GlobalAlloc(sizeof dib);
  std::memcpy(block->Lock(), dib, sizeof dib);
  EXPECT_TRUE(SetClipboardData(CF_DIB, std::move(block)));
  EXPECT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
  ASSERT_TRUE(OpenClipboard());
  HGLOBAL back = GetClipboardData(CF_DIB);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(GlobalSize(back), sizeof dib);
  EXPECT_EQ(std::memcmp(back->Lock(), dib, sizeof dib), 0);
  EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr);
  EXPECT_TRUE(EmptyClipboard());
  CloseClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_FALSE(EmptyClipboard());  // closed
}

TEST(ClipboardTest, UnavailableClipboardCannotBeOpened) {
  SetClipboardAvailable(false);
  {
    TClipboardLock lock;
    EXPECT_FALSE(lock.Open());
  }
  SetClipboardAvailable(true);
  TClipboardLock lock;
  EXPECT_TRUE(lock.Open());
}

TEST(CursorTest, EveryNamedCursorHasItsOwnImageWithAHotSpot) {
  const char* names[] = {"ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO",  "PENNA", "CROCE1",
                         "CROCE2",   "MOVE2",   "MOVEY", "MOVE1", "MOVEX", "MOVE"};
  std::set<std::vector<uint8_t>> distinct;
  for (const char* name : names) {
    TCursorImage c = LoadCursorResource(name);
    ASSERT_FALSE(c.Empty()) << name;
    EXPECT_EQ(c.color->GetWidth(), 32);
    EXPECT_EQ(c.mask->GetHeight(), 32);
    EXPECT_EQ(c.mask->GetPixelFormat(), pf1bit);
    EXPECT_TRUE(c.hotspot.x >= 0 && c.hotspot.x < 32 && c.hotspot.y >= 0 && c.hotspot.y < 32);
    std::vector<uint8_t> bits;
    int opaque = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        bool solid = c.mask->GetPixel(x, y) == clBlack;
        opaque += solid;
        bits.push_back(solid ? (c.color->GetPixel(x, y) == clBlack ? 1 : 2) : 0);
      }
    EXPECT_GT(opaque, 20) << name;
    distinct.insert(bits);
  }
  EXPECT_EQ(distinct.size(), 13u);
  EXPECT_TRUE(LoadCursorResource("NOSUCH").Empty());
  // Mirrored and transposed shapes: MOVE1 is MOVE2 mirrored left to right.
  TCursorImage a = LoadCursorResource("MOVE2"), b = LoadCursorResource("MOVE1");
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_EQ(a.mask->GetPixel(x, y), b.mask->GetPixel(31 - x, y));
  EXPECT_FALSE(StandardCursorImage(crArrow).Empty());
  EXPECT_EQ(StandardCursorImage(crSizeNS).name, "MOVEY");
}

}  // namespace
}  // namespace pictavo
