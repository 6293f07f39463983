// The Qt host on Qt's offscreen platform: the grab of a hosted control
// equals its surface pixel for pixel; synthesized clicks, wheel and keys
// arrive as the control's calls at the right client coordinates; scroll-bar
// actions arrive as scroll requests and the bars mirror the control's
// state; timers and posted messages run in the Qt event loop; forms are
// modal dialogs; the clipboard bridges QClipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <cstring>
#include <thread>

#include "hosts/qt/host_widget.h"
#include "hosts/qt/qt_bridge.h"
#include "platform/app.h"
#include "platform/clipboard.h"
#include "platform/cursors.h"
#include "platform/desktop.h"
#include "platform/forms.h"
#include "platform/screen.h"
#include "platform/timer.h"

namespace pictavo::qt {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "pictavo_qt_tests";
    static char* argv[] = {name, nullptr};
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = new QApplication(argc, argv);
    InstallQtBridge();
  }
  void TearDown() override {
    UninstallQtBridge();
    delete app_;
  }

 private:
  QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

void Spin(int ms = 0) {
  QApplication::processEvents();
  if (ms > 0) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  }
  QApplication::processEvents();
}

// Paints a pattern and logs its calls.
class Probe : public TCustomControl {
 public:
  std::vector<std::string> log;
  void Paint() override {
    TCanvas& c = GetCanvas();
    for (int y = 0; y < ClientHeight(); ++y)
      for (int x = 0; x < ClientWidth(); ++x) c.SetPixel(x, y, RGB(x * 3, y * 5, (x ^ y) & 0xFF));
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    log.push_back("down " + std::to_string(int(b)) + " " + std::to_string(x) + "," +
                  std::to_string(y) + (s.Contains(ssShift) ? " shift" : ""));
  }
  void MouseUp(TMouseButton b, TShiftState, int x, int y) override {
    log.push_back("up " + std::to_string(int(b)) + " " + std::to_string(x) + "," +
                  std::to_string(y));
  }
  void MouseWheel(TShiftState, int d, int x, int y) override {
    log.push_back("wheel " + std::to_string(d) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void KeyDown(uint16_t& k, TShiftState) override { log.push_back("key " + std::to_string(k)); }
  void KeyPress(char32_t& c) override { log.push_back("char " + std::to_string(uint32_t(c))); }
  void WMVScroll(int code, int pos) override {
    log.push_back("vscroll " + std::to_string(code) + " " + std::to_string(pos));
  }
  void WMHScroll(int code, int pos) override {
    log.push_back("hscroll " + std::to_string(code) + " " + std::to_string(pos));
  }
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe.SetBorderStyle(bsSingle);
    probe.SetBounds(0, 0, 160, 120);
  }
  Probe probe;
};

TEST_F(HostTest, GrabEqualsTheSurfacePixelForPixel) {
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  ASSERT_EQ(host.Surface()->geometry(), QRect(2, 2, 156, 116));
  QImage grab = host.Surface()->grab().toImage();
  ASSERT_EQ(grab.width(), probe.ClientWidth());
  ASSERT_EQ(grab.height(), probe.ClientHeight());
  for (int y = 0; y < grab.height(); ++y)
    for (int x = 0; x < grab.width(); ++x) {
      QRgb q = grab.pixel(x, y);
      TColor t = probe.Surface().GetPixel(x, y);
      ASSERT_EQ(RGB(qRed(q), qGreen(q), qBlue(q)), t) << x << "," << y;
    }
  // The border around it is the sunken edge.
  QImage whole = host.grab().toImage();
  EXPECT_EQ(whole.pixel(0, 0) & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(whole.pixel(159, 119) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(whole.pixel(1, 1) & 0xFFFFFF, 0x404040u);
}

TEST_F(HostTest, SynthesizedClickArrivesAtClientCoordinates) {
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  QPointF local(30, 40);
  QPointF global = host.Surface()->mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::ShiftModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(host.Surface(), &press);
  QApplication::sendEvent(host.Surface(), &release);
  QPointF right(5, 6);
  QMouseEvent rpress(QEvent::MouseButtonPress, right, host.Surface()->mapToGlobal(right),
                     Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(host.Surface(), &rpress);
  QMouseEvent rrelease(QEvent::MouseButtonRelease, right, host.Surface()->mapToGlobal(right),
                       Qt::RightButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(host.Surface(), &rrelease);
  EXPECT_EQ(probe.log, (std::vector<std::string>{"down 0 30,40 shift", "up 0 30,40", "down 1 5,6",
                                                 "up 1 5,6"}));
}

TEST_F(HostTest, WheelAndKeysArriveAsCalls) {
  PictavoHostWidget host(&probe);
  host.show();
  host.activateWindow();
  host.setFocus();
  Spin();
  QPointF local(10, 11);
  QWheelEvent wheel(local, host.Surface()->mapToGlobal(local), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(host.Surface(), &wheel);
  probe.SetFocus();
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(&host, &key);
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  QApplication::sendEvent(&host, &left);  // not wanted: not delivered
  EXPECT_EQ(probe.log, (std::vector<std::string>{"wheel -120 10,11", "key 65", "char 97"}));
}

TEST_F(HostTest, ScrollBarsMirrorTheStateAndSendRequests) {
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 100;
  si.nPage = 10;
  si.nPos = 30;
  probe.SetScrollInfo(SB_VERT, si, true);
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  QScrollBar* bar = host.ScrollBar(SB_VERT);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_FALSE(host.ScrollBar(SB_HORZ)->isVisible());
  EXPECT_EQ(bar->geometry(), QRect(142, 2, 16, 116));
  EXPECT_EQ(bar->maximum(), 91);
  EXPECT_EQ(bar->pageStep(), 10);
  EXPECT_EQ(bar->value(), 30);
  EXPECT_EQ(host.Surface()->width(), 140);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(bar->value(), 30);  // the control did not move: the bar stays
  bar->setSliderDown(true);
  bar->setSliderPosition(70);
  bar->setSliderDown(false);
  EXPECT_EQ(probe.log, (std::vector<std::string>{"vscroll 1 0", "vscroll 2 0", "vscroll 5 70",
                                                 "vscroll 4 70", "vscroll 8 0"}));
  probe.SetScrollPos(SB_VERT, 55, true);
  EXPECT_EQ(bar->value(), 55);
  probe.ShowScrollBar(SB_VERT, false);
  Spin();
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(host.Surface()->width(), 156);
}

TEST_F(HostTest, InvalidatedControlRepaintsThroughQt) {
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  probe.Invalidate();
  EXPECT_TRUE(probe.NeedsPaint());
  Spin(20);
  EXPECT_FALSE(probe.NeedsPaint());
}

TEST_F(HostTest, ChildWindowsGetNestedHostsAndTheirOwnClicks) {
  Probe child;
  child.SetParent(&probe);
  child.SetBounds(20, 30, 50, 40);
  child.SetBorderStyle(bsSingle);
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  auto* nested = host.Surface()->findChild<PictavoHostWidget*>();
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->Control(), &child);
  EXPECT_EQ(nested->geometry(), QRect(20, 30, 50, 40));
  QPointF local(7, 8);  // in the child's surface: client (7, 8)
  QMouseEvent press(QEvent::MouseButtonPress, local, nested->Surface()->mapToGlobal(local),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(nested->Surface(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, nested->Surface()->mapToGlobal(local),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(nested->Surface(), &release);
  EXPECT_EQ(child.log, (std::vector<std::string>{"down 0 7,8", "up 0 7,8"}));
  EXPECT_TRUE(probe.log.empty());
  // The child's grab is its own surface.
  QImage grab = nested->Surface()->grab().toImage();
  ASSERT_EQ(grab.size(), QSize(46, 36));
  QRgb q = grab.pixel(45, 35);
  EXPECT_EQ(RGB(qRed(q), qGreen(q), qBlue(q)), child.Surface().GetPixel(45, 35));
  child.SetParent(nullptr);
  Spin();
  EXPECT_EQ(host.Surface()->findChild<PictavoHostWidget*>(), nullptr);
}

TEST_F(HostTest, DraggingTheThumbWithTheMouseTracksAndEnds) {
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 100;
  si.nPage = 10;
  probe.SetScrollInfo(SB_HORZ, si, true);
  PictavoHostWidget host(&probe);
  host.show();
  Spin();
  QScrollBar* bar = host.ScrollBar(SB_HORZ);
  bar->setSliderDown(true);
  for (int p : {10, 20, 20, 35}) bar->setSliderPosition(p);
  EXPECT_EQ(bar->sliderPosition(), 35);   // the thumb follows the drag
  probe.SetScrollPos(SB_HORZ, 20, true);  // the control moving meanwhile does not fight it
  EXPECT_EQ(bar->sliderPosition(), 35);
  bar->setSliderDown(false);
  EXPECT_EQ(probe.log, (std::vector<std::string>{"hscroll 5 10", "hscroll 5 20", "hscroll 5 35",
                                                 "hscroll 4 35", "hscroll 8 0"}));
  EXPECT_EQ(bar->value(), 20);  // afterwards the bar shows the control's position
}

TEST(QtCursorTest, LibraryCursorsBecomeQtCursors) {
  EXPECT_EQ(QtCursor(crSizeNS).shape(), Qt::SizeVerCursor);
  EXPECT_EQ(QtCursor(crHourGlass).shape(), Qt::WaitCursor);
  EXPECT_EQ(QtCursor(crDefault).shape(), Qt::ArrowCursor);
  Screen().SetCursors(1790, LoadCursorResource("MOVE"));
  QCursor c = QtCursor(1790);
  EXPECT_EQ(c.shape(), Qt::BitmapCursor);
  EXPECT_EQ(c.hotSpot(), QPoint(14, 14));
  QImage img = c.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(img.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);        // transparent corner
  EXPECT_EQ(img.pixel(14, 14), qRgb(0, 0, 0));  // the black centre
}

TEST(QtFormTest, FormAnsweredByAClickInItsDialog) {
  TForm form;
  form.SetBounds(0, 0, 100, 60);
  form.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    form.SetModalResult(x == 10 && y == 12 ? mrYes : mrNo);
  };
  QTimer::singleShot(20, [&] {
    auto* host = qobject_cast<PictavoHostWidget*>(
        QApplication::activeModalWidget()->findChild<PictavoHostWidget*>());
    ASSERT_NE(host, nullptr);
    QPointF local(10, 12);
    QMouseEvent press(QEvent::MouseButtonPress, local, host->Surface()->mapToGlobal(local),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, host->Surface()->mapToGlobal(local),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(host->Surface(), &press);
    QApplication::sendEvent(host->Surface(), &release);
  });
  EXPECT_EQ(form.ShowModal(), mrYes);
}

TEST(QtLoopTest, TimersAndPostedMessagesRunInTheQtEventLoop) {
  TTimer timer;
  int ticks = 0;
  timer.SetInterval(10);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  bool posted = false;
  std::thread worker([&] { Application().PostMessage([&] { posted = true; }); });
  worker.join();
  Spin(100);
  EXPECT_TRUE(posted);
  EXPECT_GE(ticks, 2);
}

TEST(QtFormTest, ModalFormShowsAsADialogAndEndsWithItsResult) {
  TForm form;
  form.SetCaption("Probe");
  form.SetBounds(0, 0, 200, 100);
  QTimer::singleShot(20, [&] { form.SetModalResult(mrOk); });
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_FALSE(form.GetVisible());
}

TEST(QtClipboardTest, DibRoundTripThroughQClipboard) {
  // A 2 x 2 24-bit bottom-up DIB: rows of 8 bytes (6 + padding).
  uint8_t dib[40 + 16] = {};
  uint32_t header = 40, width = 2, height = 2;
  uint16_t planes = 1, bits = 24;
  std::memcpy(dib, &header, 4);
  std::memcpy(dib + 4, &width, 4);
  std::memcpy(dib + 8, &height, 4);
  std::memcpy(dib + 12, &planes, 2);
  std::memcpy(dib + 14, &bits, 2);
  const uint8_t pixels[16] = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 10, 20, 30, 0, 0};
  std::memcpy(dib + 40, pixels, 16);
  QImage image = ImageFromDIB(dib, sizeof dib);
  ASSERT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(0, 1) & 0xFFFFFF, 0x0000FFu);  // bottom row first: blue
  EXPECT_EQ(image.pixel(1, 0) & 0xFFFFFF, 0x1E140Au);  // red 30, green 20, blue 10
  {
    TClipboardLock lock;
    ASSERT_TRUE(lock.Open());
    HGLOBAL block = GlobalAlloc(sizeof dib);
    std::memcpy(block->Lock(), dib, sizeof dib);
    EmptyClipboard();
    ASSERT_TRUE(SetClipboardData(CF_DIB, std::move(block)));
  }
  EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(1, 0) & 0xFFFFFF, 0x1E140Au);
  QImage other(3, 1, QImage::Format_RGB32);
  other.fill(QColor(1, 2, 3));
  QGuiApplication::clipboard()->setImage(other);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  TClipboardLock lock;
  HGLOBAL back = GetClipboardData(CF_DIB);
  ASSERT_NE(back, nullptr);
  int32_t w, h;
  std::memcpy(&w, back->Lock() + 4, 4);
  std::memcpy(&h, back->Lock() + 8, 4);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(std::abs(h), 1);
  QImage again = ImageFromDIB(back->Lock(), back->Size());
  EXPECT_EQ(again.pixel(2, 0) & 0xFFFFFF, 0x010203u);
}

}  // namespace
}  // namespace pictavo::qt
