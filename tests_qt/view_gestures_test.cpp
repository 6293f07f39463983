// The image view's gestures in the Qt host on the offscreen platform: a
// rectangle dragged with real mouse events selects the pixels under it,
// its right edge shows the left-right cursor as a real Qt cursor, and the
// outline timer runs in the Qt event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include "hosts/qt/host_widget.h"
#include "hosts/qt/qt_bridge.h"
#include "platform/screen.h"
#include "view/mouse_interact.h"
#include "view/pictavoview.h"

namespace pictavo::qt {
namespace {

void SpinFor(int ms) {
  QApplication::processEvents();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  QApplication::processEvents();
}

void Send(QWidget* w, QEvent::Type type, QPointF p, Qt::MouseButtons held) {
  QMouseEvent e(type, p, w->mapToGlobal(p),
                type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

TEST(ViewGestures, RectangleDragAndGripCursorInTheQtHost) {
  TPictavoView view;
  view.SetBorderStyle(bsNone);
  view.SetBounds(0, 0, 120, 100);
  TBitmap image(100, 80, pf24bit);
  view.Assign(&image);
  view.SetMouseInteract({miSelect});
  PictavoHostWidget host(&view);
  host.show();
  view.Update();  // laid out once it has a window
  SpinFor(0);
  QWidget* s = host.Surface();
  Send(s, QEvent::MouseButtonPress, QPointF(10, 10), Qt::LeftButton);
  Send(s, QEvent::MouseMove, QPointF(20, 15), Qt::LeftButton);
  Send(s, QEvent::MouseMove, QPointF(30, 20), Qt::LeftButton);
  Send(s, QEvent::MouseButtonRelease, QPointF(30, 20), Qt::NoButton);
  EXPECT_EQ(view.GetSelX1(), 10);
  EXPECT_EQ(view.GetSelY1(), 10);
  EXPECT_EQ(view.GetSelX2(), 31);
  EXPECT_EQ(view.GetSelY2(), 21);
  EXPECT_TRUE(view.SelectionMask().IsPointInside(30, 20));
  EXPECT_FALSE(view.SelectionMask().IsPointInside(31, 20));
  Send(s, QEvent::MouseMove, QPointF(31, 15), Qt::NoButton);
  EXPECT_EQ(Screen().ShownCursor(), kPVCursorSizeWE);
  SpinFor(0);
  EXPECT_EQ(s->cursor().shape(), Qt::BitmapCursor);
  // The ants march in the Qt loop: the top edge changes within a few ticks.
  const TColor before = view.Surface().GetPixel(20, 10);
  SpinFor(3 * kPVOutlineTimerMs + 50);
  bool changed = false;
  for (int x = 15; x < 25; ++x) changed |= view.Surface().GetPixel(x, 10) != before;
  EXPECT_TRUE(changed);
}

}  // namespace
}  // namespace pictavo::qt
