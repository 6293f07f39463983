// The viewer's main window on Qt's offscreen platform: a dropped file is
// loaded in the background and shown pixel for pixel, the status bar reads
// the size, zoom and the pixel under the mouse, the zoom items work, and a
// file that cannot be read is reported while the image on show stays.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <fstream>

#include "apps/viewer/main_window.h"
#include "dialogs/dialoghost.h"
#include "dialogs/pviopreviews.h"
#include "dialogs/pvpreviews.h"
#include "hosts/qt/host_widget.h"
#include "hosts/qt/qt_bridge.h"

namespace pictavo::viewer {
namespace {

constexpr int kW = 50, kH = 40;

TColor Sample(int x, int y) {
  return RGB(x * 5, 255 - y * 6, (x * y) % 256);
}

// The sample's file name: one per test, since ctest runs the tests of this
// file side by side and each removes its file at the end.
std::string SampleName() {
  return std::string("viewer_window_") +
         testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
}

std::string WriteSample() {
  const std::string path = testing::TempDir() + SampleName();
  TBitmap bitmap(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) bitmap.SetPixel(x, y, Sample(x, y));
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  io.SaveToFile(path);
  EXPECT_FALSE(io.Aborting);
  return path;
}

bool SpinUntil(const std::function<bool()>& done) {
  constexpr int kLimitMs = 10000;
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < kLimitMs) {
    QApplication::processEvents();
    qt::PumpApplication();
    QThread::msleep(1);
  }
  return done();
}

void Drop(MainWindow& window, const std::string& path) {
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  // Qt delivers a drop to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
}

bool StatusShows(MainWindow& window, const QString& text) {
  for (QLabel* label : window.statusBar()->findChildren<QLabel*>())
    if (label->isVisibleTo(&window) && label->text() == text) return true;
  return false;
}

QString StatusTexts(MainWindow& window) {
  QString all;
  for (QLabel* label : window.statusBar()->findChildren<QLabel*>()) all += label->text() + " | ";
  return all;
}

QAction* MenuItem(MainWindow& window, const QString& text) {
  for (QAction* menu : window.menuBar()->actions())
    for (QAction* item : menu->menu()->actions())
      if (item->text() == text) return item;
  return nullptr;
}

TEST(ViewerWindow, DroppedFileIsShownAndTheStatusReadsThePixelUnderTheMouse) {
  const std::string path = WriteSample();
  MainWindow window(ViewerOptions{});
  window.show();
  Drop(window, path);
  TPictavo& view = window.Pictavo();
  ASSERT_TRUE(SpinUntil([&] { return view.Bitmap().GetWidth() == kW; }));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.Bitmap().GetPixel(x, y), Sample(x, y));
  EXPECT_TRUE(StatusShows(window, QString("%1 × %2, 24 bits").arg(kW).arg(kH)));
  EXPECT_TRUE(StatusShows(window, "100 %"));
  EXPECT_TRUE(window.windowTitle().startsWith(QString::fromStdString(SampleName())));

  // Pixel (13, 21) lies at the image offset plus its coordinates at 100 %.
  auto* surface = window.findChild<qt::SurfaceWidget*>();
  ASSERT_NE(surface, nullptr);
  const QPointF at(view.OffsetX() + 13, view.OffsetY() + 21);
  QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(surface, &move);
  const TColor c = Sample(13, 21);
  const QString expected =
      QString("(13, 21)  R %1 G %2 B %3").arg(GetRValue(c)).arg(GetGValue(c)).arg(GetBValue(c));
  EXPECT_TRUE(SpinUntil([&] { return StatusShows(window, expected); }))
      << StatusTexts(window).toStdString();
  std::remove(path.c_str());
}

TEST(ViewerWindow, ZoomItemsStepByAQuarterAndReturnToOneHundred) {
  const std::string path = WriteSample();
  MainWindow window(ViewerOptions{QString::fromStdString(path), false, {}});
  window.show();
  TPictavo& view = window.Pictavo();
  ASSERT_TRUE(SpinUntil([&] { return view.Bitmap().GetWidth() == kW; }));
  QAction* in = MenuItem(window, "Zoom &in");
  QAction* reset = MenuItem(window, "&100 %");
  ASSERT_TRUE(in && reset);
  in->trigger();
  EXPECT_DOUBLE_EQ(view.GetZoom(), 125);
  in->trigger();
  EXPECT_DOUBLE_EQ(view.GetZoom(), 156.25);
  EXPECT_TRUE(StatusShows(window, "156 %"));
  reset->trigger();
  EXPECT_DOUBLE_EQ(view.GetZoom(), 100);
  std::remove(path.c_str());
}

// The Effects preview item opens the preview dialog over the image; here a
// dialog host answers it like a user (RGB page, red +120, OK), and Undo takes
// the result back.  Cancel leaves the image alone.
TEST(ViewerWindow, EffectsPreviewAppliesTheConfirmedEffectAndUndoTakesItBack) {
  const std::string path = WriteSample();
  MainWindow window(ViewerOptions{QString::fromStdString(path), false, {}});
  window.show();
  TPictavo& view = window.Pictavo();
  ASSERT_TRUE(SpinUntil([&] { return view.Bitmap().GetWidth() == kW; }));
  QAction* preview = MenuItem(window, "Effects &preview...");
  QAction* undo = MenuItem(window, "&Undo");
  ASSERT_TRUE(preview && undo);
  {
    TPVDialogHostScope host([](TPVDialogModel&) { return false; });
    preview->trigger();
  }
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.Bitmap().GetPixel(x, y), Sample(x, y));
  int shown = 0;
  {
    TPVDialogHostScope host([&](TPVDialogModel& model) {
      ++shown;
      auto& dialog = dynamic_cast<TfPreviews&>(model);
      dialog.SelectPage(pvpRGB);
      dialog.SetParam(pvprRed, 120);
      return true;
    });
    preview->trigger();
  }
  EXPECT_EQ(shown, 1);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TColor c = Sample(x, y);
      ASSERT_EQ(view.Bitmap().GetPixel(x, y),
                RGB(std::min(255, GetRValue(c) + 120), GetGValue(c), GetBValue(c)))
          << x << "," << y;
    }
  EXPECT_TRUE(undo->isEnabled());
  undo->trigger();
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.Bitmap().GetPixel(x, y), Sample(x, y));
  std::remove(path.c_str());
}

// Save options preview shows every format's page over the image; the JPEG
// quality a user sets there with OK is the one the next save uses, and the
// image itself is not touched.
TEST(ViewerWindow, SaveOptionsPreviewKeepsTheConfirmedParameters) {
  const std::string path = WriteSample();
  MainWindow window(ViewerOptions{QString::fromStdString(path), false, {}});
  window.show();
  TPictavo& view = window.Pictavo();
  ASSERT_TRUE(SpinUntil([&] { return view.Bitmap().GetWidth() == kW; }));
  QAction* options = MenuItem(window, "Save &options preview...");
  ASSERT_TRUE(options);
  const int before = view.IO().IOParams().JPEG_Quality;
  int shown = 0;
  {
    TPVDialogHostScope host([&](TPVDialogModel& model) {
      ++shown;
      auto& dialog = dynamic_cast<TfIOPreviews&>(model);
      EXPECT_EQ(dialog.Pages().size(), 7u);
      EXPECT_TRUE(dialog.SelectPage(0));  // JPEG comes first
      EXPECT_TRUE(dialog.SetFieldValue("JPEG_Quality", before == 40 ? 41 : 40));
      dialog.Preview();
      EXPECT_TRUE(dialog.Result().Valid());
      return true;
    });
    options->trigger();
  }
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(view.IO().IOParams().JPEG_Quality, before == 40 ? 41 : 40);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.Bitmap().GetPixel(x, y), Sample(x, y));
  std::remove(path.c_str());
}

TEST(ViewerWindow, UnreadableFileIsReportedAndTheImageOnShowStays) {
  const std::string good = WriteSample();
  const std::string bad = testing::TempDir() + "viewer_window_broken.png";
  {
    std::ofstream out(bad, std::ios::binary);
    out << "\x89PNG\r\n\x1a\n but nothing else";
  }
  MainWindow window(ViewerOptions{QString::fromStdString(good), false, {}});
  window.show();
  TPictavo& view = window.Pictavo();
  ASSERT_TRUE(SpinUntil([&] { return view.Bitmap().GetWidth() == kW; }));

  // The warning is a modal box: close it as soon as it shows, keeping its text.
  QString warning;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      warning = box->text();
      box->close();
    }
  });
  closer.start(10);
  Drop(window, bad);
  ASSERT_TRUE(SpinUntil([&] { return !warning.isEmpty(); }));
  EXPECT_TRUE(warning.contains("viewer_window_broken.png")) << warning.toStdString();
  ASSERT_EQ(view.Bitmap().GetWidth(), kW);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(view.Bitmap().GetPixel(x, y), Sample(x, y));
  std::remove(good.c_str());
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace pictavo::viewer
