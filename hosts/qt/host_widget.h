// The Qt 6 host of the library's windowed controls.
//
// PictavoHostWidget shows one control (with its child controls) in a real
// window: it draws the control's border, places a surface widget over the
// client area that paints the control's surface bitmap through a QImage
// over its rows (no per-pixel work), and mirrors the window scroll bars
// with QScrollBars whose actions come back as scroll requests.  Qt's mouse,
// wheel, key, focus and resize events go to the desktop's input router,
// which turns them into the control's calls.  InstallQtBridge (qt_bridge.h)
// runs the application's queue and timers inside the Qt event loop.
#pragma once

#include <QImage>
#include <QWidget>
#include <map>

#include "platform/control.h"

class QScrollBar;

namespace pictavo::qt {

class PictavoHostWidget;

// The widget over the client area.
class SurfaceWidget : public QWidget {
  Q_OBJECT
 public:
  SurfaceWidget(PictavoHostWidget* host, QWidget* parent);
  // The surface as a QImage sharing the bitmap's rows (valid until the
  // surface is resized).
  QImage SurfaceImage() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  PictavoHostWidget* host_;
};

class PictavoHostWidget : public QWidget, public TWindowHost {
  Q_OBJECT
 public:
  // Hosts `control` (not owned) as a top-level window of the library.
  explicit PictavoHostWidget(TWinControl* control, QWidget* parent = nullptr);
  ~PictavoHostWidget() override;

  TWinControl* Control() const { return control_; }
  SurfaceWidget* Surface() const { return surface_; }
  QScrollBar* ScrollBar(int bar) const;

  // Re-reads geometry, both bars and the cursor from the control.
  void SyncFromControl();
  // The cursor the screen wants shown now, applied to the surface.
  void ApplyCursor();

  // TWindowHost.
  void InvalidateRequested(TWinControl* control) override;
  void SurfaceChanged(TWinControl* control, const TRect& rect) override;
  void ScrollBarChanged(TWinControl* control, int bar) override;
  void GeometryChanged(TWinControl* control) override;
  void CursorChanged() override { ApplyCursor(); }

  // Window coordinates of a surface point.
  QPoint SurfaceToWindow(const QPoint& p) const;
  bool InPaint() const { return in_paint_; }
  void SetInPaint(bool v) { in_paint_ = v; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Layout();
  void SyncBar(int bar);
  void BarAction(int bar, int action);
  void BarReleased(int bar);
  void UpdateScreenPosition();
  void LayoutChildren();

  TWinControl* control_;
  SurfaceWidget* surface_;
  QScrollBar* bars_[2];
  QWidget* corner_;
  // Child windows of the control, each in its own nested host.
  std::map<TWinControl*, PictavoHostWidget*> children_;
  bool syncing_ = false;
  bool in_paint_ = false;
  bool laying_out_ = false;
};

// Qt key code to the library's virtual key code (0 when it has none).
uint16_t VirtualKeyFromQt(int key);
// Qt modifiers and buttons to the shift state.
TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

}  // namespace pictavo::qt
