#include "hosts/qt/host_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "hosts/qt/qt_bridge.h"
#include "platform/desktop.h"
#include "platform/screen.h"

namespace pictavo::qt {

namespace {

QColor QtColor(TColor c) {
  TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

QRect QtRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

TMouseButton ButtonFromQt(Qt::MouseButton b) {
  return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}

// One ring of an edge: top and left lines in `tl`, bottom and right (with
// the far corners) in `br`, as the headless painter draws them.
void EdgeRing(QPainter& p, const QRect& r, const QColor& tl, const QColor& br) {
  if (r.width() <= 0 || r.height() <= 0) return;
  p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), tl);
  p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), tl);
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
  p.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
}

}  // namespace

uint16_t VirtualKeyFromQt(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
    return static_cast<uint16_t>(key);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
    return static_cast<uint16_t>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Plus:
      return VK_ADD;
    case Qt::Key_Minus:
      return VK_SUBTRACT;
    default:
      return 0;
  }
}

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s;
  if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
  if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
  if (modifiers & Qt::AltModifier) s.Include(ssAlt);
  if (buttons & Qt::LeftButton) s.Include(ssLeft);
  if (buttons & Qt::RightButton) s.Include(ssRight);
  if (buttons & Qt::MiddleButton) s.Include(ssMiddle);
  return s;
}

// ------------------------------------------------------------ SurfaceWidget

SurfaceWidget::SurfaceWidget(PictavoHostWidget* host, QWidget* parent)
    : QWidget(parent), host_(host) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

QImage SurfaceWidget::SurfaceImage() const {
  const TBitmap& s = host_->Control()->Surface();
  if (s.Empty()) return QImage();
  // The surface is pf32bit: blue, green, red, unused, the byte order of
  // Format_RGB32 on little-endian machines.
  return QImage(s.ScanLine(0), s.GetWidth(), s.GetHeight(), static_cast<qsizetype>(s.RowBytes()),
                QImage::Format_RGB32);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
  TWinControl* c = host_->Control();
  host_->SetInPaint(true);
  c->UpdateWindow();  // paint the pending damage first
  host_->SetInPaint(false);
  QPainter p(this);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  QImage image = SurfaceImage();
  QRect r = event->rect();
  if (!image.isNull()) p.drawImage(r.topLeft(), image, r);
  // Any area the surface does not cover (during a resize) in the window colour.
  QRect covered(0, 0, image.width(), image.height());
  if (!covered.contains(r)) {
    QRegion rest = QRegion(r).subtracted(covered);
    for (const QRect& part : rest) p.fillRect(part, QColor(255, 255, 255));
  }
}

void SurfaceWidget::mousePressEvent(QMouseEvent* e) {
  QPoint p = host_->SurfaceToWindow(e->position().toPoint());
  Desktop().WindowMouseDown(host_->Control(), ButtonFromQt(e->button()), Point(p.x(), p.y()),
                            ShiftFromQt(e->modifiers(), {}));
}

void SurfaceWidget::mouseMoveEvent(QMouseEvent* e) {
  QPoint p = host_->SurfaceToWindow(e->position().toPoint());
  Desktop().WindowMouseMove(host_->Control(), Point(p.x(), p.y()), ShiftFromQt(e->modifiers(), {}));
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent* e) {
  QPoint p = host_->SurfaceToWindow(e->position().toPoint());
  Desktop().WindowMouseUp(host_->Control(), ButtonFromQt(e->button()), Point(p.x(), p.y()),
                          ShiftFromQt(e->modifiers(), {}));
}

void SurfaceWidget::wheelEvent(QWheelEvent* e) {
  int delta = e->angleDelta().y();
  if (delta == 0) return;
  QPoint p = host_->SurfaceToWindow(e->position().toPoint());
  Desktop().WindowMouseWheel(host_->Control(), delta, Point(p.x(), p.y()),
                             ShiftFromQt(e->modifiers(), {}));
  e->accept();
}

void SurfaceWidget::leaveEvent(QEvent*) {
  Desktop().WindowMouseLeave(host_->Control());
}

// -------------------------------------------------------- PictavoHostWidget

PictavoHostWidget::PictavoHostWidget(TWinControl* control, QWidget* parent)
    : QWidget(parent), control_(control) {
  InstallQtBridge();
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  surface_ = new SurfaceWidget(this, this);
  for (int bar : {SB_HORZ, SB_VERT}) {
    auto* sb = new QScrollBar(bar == SB_VERT ? Qt::Vertical : Qt::Horizontal, this);
    sb->setFocusPolicy(Qt::NoFocus);
    sb->hide();
    sb->installEventFilter(this);
    connect(sb, &QAbstractSlider::actionTriggered, this, [this, bar](int a) { BarAction(bar, a); });
    connect(sb, &QAbstractSlider::sliderReleased, this, [this, bar] { BarReleased(bar); });
    bars_[bar] = sb;
  }
  corner_ = new QWidget(this);
  corner_->setAutoFillBackground(true);
  QPalette pal = corner_->palette();
  pal.setColor(QPalette::Window, QtColor(clBtnFace));
  corner_->setPalette(pal);
  corner_->hide();
  RegisterHost(this);
  control_->SetWindowHost(this);
  resize(std::max(control_->GetWidth(), 1), std::max(control_->GetHeight(), 1));
  SyncFromControl();
}

PictavoHostWidget::~PictavoHostWidget() {
  UnregisterHost(this);
  for (auto& [child, host] : children_) host->control_ = nullptr;
  if (control_ && Desktop().IsAlive(control_) && control_->GetWindowHost() == this)
    control_->SetWindowHost(nullptr);
}

QScrollBar* PictavoHostWidget::ScrollBar(int bar) const {
  return bars_[bar == SB_VERT ? 1 : 0];
}

QSize PictavoHostWidget::sizeHint() const {
  return QSize(std::max(control_->GetWidth(), 1), std::max(control_->GetHeight(), 1));
}

QPoint PictavoHostWidget::SurfaceToWindow(const QPoint& p) const {
  return p + surface_->pos();
}

void PictavoHostWidget::SyncFromControl() {
  Layout();
  SyncBar(SB_HORZ);
  SyncBar(SB_VERT);
  ApplyCursor();
  surface_->update();
  update();
}

void PictavoHostWidget::Layout() {
  if (laying_out_) return;
  laying_out_ = true;
  surface_->setGeometry(QtRect(control_->ClientRectInWindow()));
  TRect h = control_->ScrollBarRect(SB_HORZ), v = control_->ScrollBarRect(SB_VERT);
  for (int bar : {SB_HORZ, SB_VERT}) {
    TRect r = bar == SB_HORZ ? h : v;
    ScrollBar(bar)->setVisible(!r.IsEmpty() && control_->Showing());
    if (!r.IsEmpty()) ScrollBar(bar)->setGeometry(QtRect(r));
  }
  bool corner = !h.IsEmpty() && !v.IsEmpty();
  corner_->setVisible(corner);
  if (corner) corner_->setGeometry(QRect(v.Left, h.Top, v.Width(), h.Height()));
  LayoutChildren();
  laying_out_ = false;
}

void PictavoHostWidget::LayoutChildren() {
  for (auto it = children_.begin(); it != children_.end();) {
    bool gone = !Desktop().IsAlive(it->first) || it->first->GetParent() != control_;
    if (gone) {
      if (!Desktop().IsAlive(it->first)) it->second->control_ = nullptr;
      delete it->second;
      it = children_.erase(it);
    } else {
      ++it;
    }
  }
  for (int i = 0; i < control_->ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(control_->Controls(i));
    if (!child) continue;
    PictavoHostWidget*& host = children_[child];
    if (!host) host = new PictavoHostWidget(child, surface_);
    host->setGeometry(QtRect(child->BoundsRect()));
    host->setVisible(child->GetVisible());
  }
}

void PictavoHostWidget::SyncBar(int bar) {
  const TScrollBarState& s = control_->ScrollBar(bar);
  QScrollBar* sb = ScrollBar(bar);
  syncing_ = true;
  sb->setRange(s.Min(), s.MaxPos());
  sb->setPageStep(static_cast<int>(std::min<unsigned>(s.Page(), INT32_MAX)));
  sb->setSingleStep(1);
  sb->setEnabled(s.Enabled() && s.Scrollable());
  // While the user drags the thumb it follows the mouse, as on the platform.
  if (!sb->isSliderDown()) sb->setValue(s.Pos());
  syncing_ = false;
}

void PictavoHostWidget::BarAction(int bar, int action) {
  if (syncing_) return;
  QScrollBar* sb = ScrollBar(bar);
  int code = -1;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      code = SB_LINEDOWN;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      code = SB_LINEUP;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      code = SB_PAGEDOWN;
      break;
    case QAbstractSlider::SliderPageStepSub:
      code = SB_PAGEUP;
      break;
    case QAbstractSlider::SliderToMinimum:
      code = SB_TOP;
      break;
    case QAbstractSlider::SliderToMaximum:
      code = SB_BOTTOM;
      break;
    case QAbstractSlider::SliderMove:
      code = SB_THUMBTRACK;
      break;
    default:
      return;
  }
  int position = sb->sliderPosition();
  control_->ScrollRequest(bar, code, code == SB_THUMBTRACK ? position : 0);
  FlushDirectDrawing();
  // The bar shows what the control decided, not Qt's own step.
  if (code != SB_THUMBTRACK && Desktop().IsAlive(control_))
    sb->setSliderPosition(control_->ScrollBar(bar).Pos());
}

void PictavoHostWidget::BarReleased(int bar) {
  int position = ScrollBar(bar)->sliderPosition();
  control_->ScrollRequest(bar, SB_THUMBPOSITION, position);
  if (Desktop().IsAlive(control_)) control_->ScrollRequest(bar, SB_ENDSCROLL, 0);
  FlushDirectDrawing();
  if (Desktop().IsAlive(control_)) SyncBar(bar);
}

bool PictavoHostWidget::eventFilter(QObject* watched, QEvent* event) {
  // The end of an arrow or page press is the end-scroll request.
  if (event->type() == QEvent::MouseButtonRelease) {
    for (int bar : {SB_HORZ, SB_VERT}) {
      QScrollBar* sb = ScrollBar(bar);
      if (watched == sb && !sb->isSliderDown() && sb->isEnabled()) {
        QMetaObject::invokeMethod(
            this,
            [this, bar] {
              if (Desktop().IsAlive(control_)) control_->ScrollRequest(bar, SB_ENDSCROLL, 0);
            },
            Qt::QueuedConnection);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void PictavoHostWidget::ApplyCursor() {
  surface_->setCursor(QtCursor(Screen().ShownCursor()));
}

void PictavoHostWidget::InvalidateRequested(TWinControl* control) {
  QRect r = QtRect(control->Damage().Bounds());
  if (control == control_) surface_->update(r);
}

void PictavoHostWidget::SurfaceChanged(TWinControl* control, const TRect& rect) {
  if (control != control_ || in_paint_) return;
  surface_->update(QtRect(rect));
}

void PictavoHostWidget::ScrollBarChanged(TWinControl* control, int bar) {
  if (control == control_) SyncBar(bar);
}

void PictavoHostWidget::GeometryChanged(TWinControl* control) {
  if (control != control_) {
    if (control->GetParent() == control_ && !laying_out_) Layout();
    return;
  }
  if (control_->GetWidth() != width() || control_->GetHeight() != height()) {
    if (!laying_out_) resize(std::max(control_->GetWidth(), 1), std::max(control_->GetHeight(), 1));
  }
  Layout();
  update();
}

void PictavoHostWidget::paintEvent(QPaintEvent*) {
  // The border; the client and the bars are child widgets.
  QPainter p(this);
  QRect all = rect();
  int bx = control_->BorderWidth(), by = control_->BorderHeight();
  p.fillRect(all, QtColor(clBtnFace));
  if (bx == 0 && by == 0) return;
  if (control_->GetCtl3D() && bx == 2 && by == 2) {
    EdgeRing(p, all, QtColor(clBtnShadow), QtColor(clBtnHighlight));
    EdgeRing(p, all.adjusted(1, 1, -1, -1), QtColor(cl3DDkShadow), QtColor(cl3DLight));
  } else {
    EdgeRing(p, all, QtColor(clWindowFrame), QtColor(clWindowFrame));
  }
}

void PictavoHostWidget::UpdateScreenPosition() {
  // A top-level control's Left/Top are its screen position.
  if (control_->GetParent()) return;
  QPoint g = mapToGlobal(QPoint(0, 0));
  laying_out_ = true;
  control_->SetBounds(g.x(), g.y(), width(), height());
  laying_out_ = false;
}

void PictavoHostWidget::resizeEvent(QResizeEvent*) {
  UpdateScreenPosition();
  Layout();
}

void PictavoHostWidget::moveEvent(QMoveEvent*) {
  UpdateScreenPosition();
}

void PictavoHostWidget::keyPressEvent(QKeyEvent* e) {
  TShiftState shift = ShiftFromQt(e->modifiers(), {});
  uint16_t vk = VirtualKeyFromQt(e->key());
  bool delivered = vk ? Desktop().KeyDown(vk, shift) : true;
  QString text = e->text();
  if (delivered && !text.isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    for (char32_t ch : text.toUcs4()) Desktop().KeyPress(ch);
  }
  if (!delivered) QWidget::keyPressEvent(e);
}

void PictavoHostWidget::keyReleaseEvent(QKeyEvent* e) {
  if (e->isAutoRepeat()) return;
  uint16_t vk = VirtualKeyFromQt(e->key());
  if (vk) Desktop().KeyUp(vk, ShiftFromQt(e->modifiers(), {}));
}

void PictavoHostWidget::focusInEvent(QFocusEvent*) {
  Desktop().WindowFocusIn(control_);
}
void PictavoHostWidget::focusOutEvent(QFocusEvent*) {
  Desktop().WindowFocusOut(control_);
}

bool PictavoHostWidget::focusNextPrevChild(bool next) {
  // A control that wants Tab keeps it.
  TWinControl* focused = Desktop().FocusedControl();
  if (focused && focused->WantSpecialKey(VK_TAB, {})) return false;
  return QWidget::focusNextPrevChild(next);
}

}  // namespace pictavo::qt
