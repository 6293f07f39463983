// The viewer's units without its window: the operation table applied to a
// TPictavo (exact pixels against the formulas computed here, every entry
// undone as one step), the parameters dialog and the Processing menu built
// from the table, and the background loader with frame selection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QSpinBox>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>

#include "apps/viewer/coders.h"
#include "apps/viewer/loader.h"
#include "apps/viewer/proc_menu.h"
#include "apps/viewer/proc_table.h"
#include "hosts/qt/qt_bridge.h"
#include "processing/filters.h"

namespace pictavo::viewer {
namespace {

constexpr int kW = 7, kH = 5;

// Channel values that cover both ends and the middle of the range.
TColor Sample(int x, int y) {
  return RGB(x * 40 + 5, y * 60 + 3, (x * 13 + y * 29) % 256);
}

void Fill(TPictavo& p) {
  TBitmap bitmap(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) bitmap.SetPixel(x, y, Sample(x, y));
  p.Assign(&bitmap);
}

std::vector<TColor> Pixels(const TBitmap& b) {
  std::vector<TColor> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetPixel(x, y));
  return out;
}

const TProcOp& Op(const char* caption) {
  const TProcOp* op = FindProcOp(caption);
  EXPECT_NE(op, nullptr) << caption;
  return *op;
}

std::string Apply(TPictavo& p, const char* caption, std::vector<int> numbers) {
  return ApplyProcOp(p, Op(caption), TOpValues{std::move(numbers), {}});
}

TEST(ViewerOps, NegativeGreyIntensityAndThresholdFollowTheirFormulas) {
  TPictavo p;
  Fill(p);
  Apply(p, "Negative", {});
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TColor s = Sample(x, y), c = p.Bitmap().GetPixel(x, y);
      ASSERT_EQ(c, RGB(255 - GetRValue(s), 255 - GetGValue(s), 255 - GetBValue(s)));
    }
  Fill(p);
  Apply(p, "Grey", {});
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TColor s = Sample(x, y);
      const int g = (GetRValue(s) * 21 + GetGValue(s) * 71 + GetBValue(s) * 7) / 100;
      ASSERT_EQ(p.Bitmap().GetPixel(x, y), RGB(g, g, g)) << x << "," << y;
    }
  Fill(p);
  Apply(p, "Intensity...", {30, -100, 0});
  const TColor s = Sample(6, 4), c = p.Bitmap().GetPixel(6, 4);
  EXPECT_EQ(GetRValue(c), std::min(255, GetRValue(s) + 30));
  EXPECT_EQ(GetGValue(c), std::max(0, GetGValue(s) - 100));
  EXPECT_EQ(GetBValue(c), GetBValue(s));
  // Down 100 / up 200: <= 100 becomes 10, > 200 becomes 250, the rest stays.
  Fill(p);
  Apply(p, "Threshold...", {100, 200, 10, 250});
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TColor v = Sample(x, y), t = p.Bitmap().GetPixel(x, y);
      auto expect = [](int ch) { return ch <= 100 ? 10 : ch > 200 ? 250 : ch; };
      ASSERT_EQ(t, RGB(expect(GetRValue(v)), expect(GetGValue(v)), expect(GetBValue(v))));
    }
}

TEST(ViewerOps, FlipsMirrorAndCountColoursReportsWithoutChanging) {
  TPictavo p;
  Fill(p);
  Apply(p, "Flip horizontally", {});
  for (int x = 0; x < kW; ++x) ASSERT_EQ(p.Bitmap().GetPixel(x, 2), Sample(kW - 1 - x, 2));
  Fill(p);
  Apply(p, "Flip vertically", {});
  for (int y = 0; y < kH; ++y) ASSERT_EQ(p.Bitmap().GetPixel(3, y), Sample(3, kH - 1 - y));

  Fill(p);
  const auto original = Pixels(p.Bitmap());
  Apply(p, "Negative", {});
  const auto negative = Pixels(p.Bitmap());
  std::set<TColor> distinct(negative.begin(), negative.end());
  EXPECT_EQ(Apply(p, "Count colours", {}), std::to_string(distinct.size()) + " colours");
  EXPECT_EQ(Pixels(p.Bitmap()), negative);
  // Reporting keeps the undo copy of the last change.
  p.Undo();
  EXPECT_EQ(Pixels(p.Bitmap()), original);
}

// Every entry runs with its dialog's initial values, and Undo brings back
// the image (pixels and format) as it was before, even for entries that
// make several calls.
TEST(ViewerOps, EveryEntryRunsWithItsDefaultsAndUndoesInOneStep) {
  const std::string other = testing::TempDir() + "viewer_merge_other.bmp";
  {
    TBitmap picture(kW, kH, pf24bit);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) picture.SetPixel(x, y, RGB(200, x * 30, y * 50));
    TPictavoIO io;
    io.SetAttachedBitmap(&picture);
    io.SaveToFile(other);
    ASSERT_FALSE(io.Aborting);
  }
  const std::string filterFile = testing::TempDir() + "viewer_blur.flt";
  SaveFilterToFile(filterFile, PVFiltPres[1]);
  for (const TProcOp& op : ProcOps()) {
    TPictavo p;
    Fill(p);
    p.Proc().Select(1, 1, 5, 4);
    const auto before = Pixels(p.Bitmap());
    TOpValues values;
    for (const TOpParam& param : op.params) values.numbers.push_back(InitialValue(param, kW, kH));
    values.text = &op == FindProcOp("Filter from file...") ? filterFile
                  : &op == FindProcOp("Hide text...")      ? "hi"
                                                           : other;
    ASSERT_NO_THROW(ApplyProcOp(p, op, values)) << op.caption;
    EXPECT_FALSE(p.Bitmap().Empty()) << op.caption;
    if (!op.modifies) {
      EXPECT_EQ(Pixels(p.Bitmap()), before) << op.caption;
      continue;
    }
    ASSERT_TRUE(p.GetCanUndo()) << op.caption;
    p.Undo();
    EXPECT_EQ(p.Bitmap().GetPixelFormat(), pf24bit) << op.caption;
    EXPECT_EQ(Pixels(p.Bitmap()), before) << op.caption;
    EXPECT_TRUE(p.GetAutoUndo()) << op.caption;
  }
  std::remove(other.c_str());
  std::remove(filterFile.c_str());
}

TEST(ViewerOps, ChannelExtractionGivesTheChannelAsGrey) {
  TPictavo p;
  Fill(p);
  Apply(p, "Extract channel...", {2});  // red
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const int r = GetRValue(Sample(x, y));
      ASSERT_EQ(p.Bitmap().GetPixel(x, y), RGB(r, r, r));
    }
  Fill(p);
  Apply(p, "Extract channel...", {0});  // blue
  const int b = GetBValue(Sample(4, 3));
  EXPECT_EQ(p.Bitmap().GetPixel(4, 3), RGB(b, b, b));
}

TEST(ViewerOps, HiddenTextRoundTripsAndTooLongTextIsRefused) {
  constexpr int kSide = 40;  // room: (3 * 40 - 2) * 40 / 8 - 8 = 582 bytes
  TPictavo p;
  TBitmap grey(kSide, kSide, pf24bit);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) grey.SetPixel(x, y, RGB(100, 120, 140));  // low bits 0
  p.Assign(&grey);
  EXPECT_EQ(ApplyProcOp(p, Op("Reveal text"), {}), "No hidden text.");
  const auto before = Pixels(p.Bitmap());
  EXPECT_THROW(ApplyProcOp(p, Op("Hide text..."), TOpValues{{0}, std::string(583, 'x')}),
               std::runtime_error);
  EXPECT_EQ(Pixels(p.Bitmap()), before);
  const std::string secret = "meet at the lighthouse";
  EXPECT_EQ(ApplyProcOp(p, Op("Hide text..."), TOpValues{{0}, secret}), "22 bytes hidden");
  EXPECT_EQ(ApplyProcOp(p, Op("Reveal text"), {}), "Hidden text: " + secret);
  // Every channel moved by at most one.
  const auto after = Pixels(p.Bitmap());
  for (size_t i = 0; i < after.size(); ++i) {
    ASSERT_LE(std::abs(GetRValue(after[i]) - GetRValue(before[i])), 1);
    ASSERT_LE(std::abs(GetBValue(after[i]) - GetBValue(before[i])), 1);
  }
  const std::string longest(582, 'y');
  EXPECT_NO_THROW(ApplyProcOp(p, Op("Hide text..."), TOpValues{{0}, longest}));
  EXPECT_EQ(ApplyProcOp(p, Op("Reveal text"), {}), "Hidden text: " + longest);
}

TEST(ViewerOps, BlackAndWhiteImageIsExpandedAndUndoneToOneBit) {
  TPictavo p;
  Fill(p);
  Apply(p, "Black and white, threshold...", {128});
  ASSERT_EQ(p.Bitmap().GetPixelFormat(), pf1bit);
  const auto bw = Pixels(p.Bitmap());
  Apply(p, "Maximum...", {0});  // a radius of 0 keeps every pixel
  EXPECT_EQ(p.Bitmap().GetPixelFormat(), pf24bit);
  EXPECT_EQ(Pixels(p.Bitmap()), bw);
  p.Undo();
  EXPECT_EQ(p.Bitmap().GetPixelFormat(), pf1bit);
}

TEST(ViewerOps, MergeWithUnreadableFileFailsAndLeavesTheImage) {
  TPictavo p;
  Fill(p);
  const auto before = Pixels(p.Bitmap());
  EXPECT_THROW(ApplyProcOp(p, Op("Merge with file..."), TOpValues{{0, 50}, "/nonexistent.png"}),
               std::runtime_error);
  EXPECT_EQ(Pixels(p.Bitmap()), before);
  EXPECT_TRUE(p.GetAutoUndo());
}

TEST(ViewerOps, InitialValuesComeFromTheImage) {
  TOpParam width{"w", 1, 100, 7, TParamDefault::Width, {}, false, false};
  EXPECT_EQ(InitialValue(width, 640, 480), 640);
  width.from = TParamDefault::HalfHeight;
  EXPECT_EQ(InitialValue(width, 640, 481), 240);
  width.from = TParamDefault::Constant;
  EXPECT_EQ(InitialValue(width, 640, 480), 7);
}

TEST(ViewerDialogs, ParametersDialogHasOneEditorPerParameterInOrder) {
  const TProcOp& resample = Op("Resample...");
  ProcParamsDialog dialog(resample, 320, 200, nullptr);
  auto spins = dialog.findChildren<QSpinBox*>();
  auto combos = dialog.findChildren<QComboBox*>();
  ASSERT_EQ(spins.size(), 2);
  ASSERT_EQ(combos.size(), 1);
  EXPECT_EQ(spins[0]->value(), 320);
  EXPECT_EQ(spins[1]->value(), 200);
  EXPECT_EQ(combos[0]->currentIndex(), int(rfLanczos3));
  spins[1]->setValue(99);
  combos[0]->setCurrentIndex(int(rfBell));
  EXPECT_EQ(dialog.Values().numbers, (std::vector<int>{320, 99, int(rfBell)}));
  spins[0]->setValue(1 << 30);  // clamped to the parameter's range
  EXPECT_EQ(dialog.Values().numbers[0], resample.params[0].max);
}

TEST(ViewerDialogs, ProcessingMenuHoldsEveryEntryAndTriggersIt) {
  QMenu menu;
  std::vector<const TProcOp*> chosen;
  BuildProcessingMenu(&menu, [&](const TProcOp& op) { chosen.push_back(&op); });
  size_t items = 0;
  QAction* negative = nullptr;
  for (QAction* group : menu.actions()) {
    ASSERT_NE(group->menu(), nullptr);
    for (QAction* item : group->menu()->actions()) {
      ++items;
      if (item->text() == "&Negative") negative = item;
    }
  }
  EXPECT_EQ(items, ProcOps().size());
  // The keyboard reaches every item: within one menu no two accelerators
  // are the same letter (a repeated one would only cycle the highlight).
  auto accelerators = [](QMenu* m) {
    std::vector<QChar> keys;
    for (QAction* a : m->actions()) {
      const QString text = a->text();
      const int amp = text.indexOf('&');
      EXPECT_GE(amp, 0) << text.toStdString();
      if (amp >= 0 && amp + 1 < text.size()) keys.push_back(text[amp + 1].toLower());
    }
    return keys;
  };
  std::vector<QMenu*> menus = {&menu};
  for (QAction* group : menu.actions()) menus.push_back(group->menu());
  for (QMenu* m : menus) {
    const auto keys = accelerators(m);
    const std::set<QChar> distinct(keys.begin(), keys.end());
    EXPECT_EQ(distinct.size(), keys.size()) << m->title().toStdString();
  }
  ASSERT_NE(negative, nullptr);
  negative->trigger();
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0], FindProcOp("Negative"));
}

// Runs the Qt loop (and with it the application's synchronised steps)
// until `done` or a generous limit.
bool SpinUntil(const std::function<bool()>& done, int limitMs = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs) {
    QApplication::processEvents();
    qt::PumpApplication();
    QThread::msleep(1);
  }
  return done();
}

TEST(ViewerLoader, LoadsTheChosenFrameOfAGifAndCountsFrames) {
  InstallLibraryCoders();  // as the viewer does: GIF needs the LZW coders
  const std::string gif = testing::TempDir() + "viewer_frames.gif";
  std::remove(gif.c_str());
  const TColor colours[] = {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0)};
  for (int i = 0; i < 3; ++i) {
    const TColor colour = colours[i];
    TBitmap frame(6, 4, pf24bit);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) frame.SetPixel(x, y, colour);
    TPictavoIO io;
    io.SetAttachedBitmap(&frame);
    io.IOParams().GIF_ImageIndex = i;  // appended after the frames before it
    if (i == 0)
      io.SaveToFile(gif);
    else
      io.InsertToFileGif(gif);
    ASSERT_FALSE(io.Aborting) << i << ": " << io.LastError().Message;
  }
  for (int index = 0; index < 3; ++index) {
    bool ended = false;
    TColor seen = 0;
    int frames = 0;
    ViewerLoadThread thread(gif, FramePickFor(gif, index), [&](ViewerLoadThread& t) {
      ended = true;
      ASSERT_TRUE(t.Succeeded());
      seen = t.PrivateBitmap().GetPixel(5, 3);
      frames = t.FrameCount();
    });
    thread.Start();
    ASSERT_TRUE(SpinUntil([&] { return ended; }));
    EXPECT_EQ(seen, colours[index]) << index;
    EXPECT_EQ(frames, 3);
  }
  std::remove(gif.c_str());
}

TEST(ViewerLoader, MissingFileEndsAsAFailureNamingIt) {
  bool ended = false, ok = true;
  std::string text;
  ViewerLoadThread thread("/nonexistent/picture.png", FramePickFor("picture.png", 0),
                          [&](ViewerLoadThread& t) {
                            ended = true;
                            ok = t.Succeeded();
                            text = t.FailureText();
                          });
  thread.Start();
  ASSERT_TRUE(SpinUntil([&] { return ended; }));
  EXPECT_FALSE(ok);
  EXPECT_NE(text.find("/nonexistent/picture.png"), std::string::npos) << text;
}

// Deleting a loader while it reads (a new file chosen, the window closed)
// stops it and runs its last step before the callback goes away; nothing
// runs afterwards.
TEST(ViewerLoader, DeletingARunningLoadWaitsForItAndNothingRunsLater) {
  const std::string bmp = testing::TempDir() + "viewer_big.bmp";
  {
    TBitmap picture(1500, 1000, pf24bit);
    TPictavoIO io;
    io.SetAttachedBitmap(&picture);
    io.SaveToFile(bmp);
    ASSERT_FALSE(io.Aborting);
  }
  int calls = 0;
  auto thread = std::make_unique<ViewerLoadThread>(bmp, FramePickFor(bmp, 0),
                                                   [&](ViewerLoadThread&) { ++calls; });
  thread->Start();
  thread.reset();
  EXPECT_LE(calls, 1);
  const int after = calls;
  SpinUntil([] { return false; }, 200);
  EXPECT_EQ(calls, after);
  std::remove(bmp.c_str());
}

TEST(ViewerLoader, FramePickFollowsTheExtension) {
  EXPECT_TRUE(FramePickFor("a/b.GIF", 2).gif);
  EXPECT_TRUE(FramePickFor("scan.tiff", 0).tiff);
  EXPECT_TRUE(FramePickFor("scan.TIF", 0).tiff);
  const TFramePick jpeg = FramePickFor("photo.jpg", 3);
  EXPECT_FALSE(jpeg.gif || jpeg.tiff);
}

}  // namespace
}  // namespace pictavo::viewer
