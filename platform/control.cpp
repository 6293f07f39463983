#include "platform/control.h"

#include <algorithm>
#include <optional>

#include "platform/app.h"
#include "platform/desktop.h"
#include "platform/screen.h"

namespace pictavo {

namespace {

// Controls with damage, and controls drawn on outside Paint since the last
// flush.  The GUI runs on one thread, so plain lists serve.
std::vector<TWinControl*>& DirtyControls() {
  static std::vector<TWinControl*> list;
  return list;
}
std::vector<TWinControl*>& TouchedControls() {
  static std::vector<TWinControl*> list;
  return list;
}

void AddUnique(std::vector<TWinControl*>& list, TWinControl* c) {
  if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
}
void Erase(std::vector<TWinControl*>& list, TWinControl* c) {
  list.erase(std::remove(list.begin(), list.end(), c), list.end());
}

// The message loop paints pending windows after each round.
const bool idle_handler_installed = (Application().SetIdleHandler([] {
  FlushDirectDrawing();
  PaintPendingWindows();
}),
                                     true);

TRect Intersect(const TRect& a, const TRect& b) {
  return Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom));
}

}  // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
  Desktop().ControlCreated(this);
}

TControl::~TControl() {
  Desktop().ControlDestroyed(this);
  DetachFromParent();
}

void TControl::DetachFromParent() {
  if (parent_) parent_->RemoveControl(this);
  parent_ = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_ || parent == this) return;
  TWinControl* old = parent_;
  DetachFromParent();
  if (parent) parent->AddControl(this);
  parent_ = parent;
  BoundsChanged(false);
  // The old parent's host drops what it showed of this control.
  if (old)
    if (TWindowHost* host = old->GetWindowHost()) host->GeometryChanged(old);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  bool sized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged(sized);
}

void TControl::BoundsChanged(bool sizeChanged) {
  if (sizeChanged) Resize();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (!visible) Desktop().ControlHidden(this);
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    if (visible) w->Invalidate();
    if (TWindowHost* host = w->GetWindowHost()) host->GeometryChanged(w);
  }
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) Desktop().ControlHidden(this);
}

bool TControl::Showing() const {
  return visible_ && (!parent_ || parent_->Showing());
}
bool TControl::EnabledChain() const {
  return enabled_ && (!parent_ || parent_->EnabledChain());
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->Invalidate();
}

void TControl::SetFont(const TFont& font) {
  font_.Assign(font);
  FontChanged();
}

void TControl::FontChanged() {
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->Invalidate();
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  if (Desktop().HoverControl() == this || Desktop().CaptureControl() == this)
    Screen().SetControlCursor(cursor);
}

TPoint TControl::ClientOrigin() const {
  if (!parent_) return Point(left_, top_);
  TPoint p = parent_->ClientOrigin();
  return Point(p.x + left_, p.y + top_);
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
  TPoint o = ClientOrigin();
  return Point(p.x - o.x, p.y - o.y);
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
  TPoint o = ClientOrigin();
  return Point(p.x + o.x, p.y + o.y);
}

bool TControl::GetMouseCapture() const {
  return Desktop().CaptureControl() == this;
}

void TControl::SetMouseCapture(bool capture) {
  if (capture)
    Desktop().SetCaptureControl(this);
  else if (GetMouseCapture())
    Desktop().SetCaptureControl(nullptr);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Shift.Include(ssDouble);
  MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft) DblClick();
}

void TControl::MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, Shift, WheelDelta, Point(X, Y), handled);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

// ------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {
  surface_.SetPixelFormat(pf32bit);
  control_style_.Include(csAcceptsControls);
}

TWinControl::~TWinControl() {
  Desktop().ControlDestroyed(this);
  Erase(DirtyControls(), this);
  Erase(TouchedControls(), this);
  // Children outlive their parent window: they are detached, not destroyed
  // (their owner destroys them).
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
}

void TWinControl::AddControl(TControl* control) {
  controls_.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

TWinControl* TWinControl::ControlAtPos(const TPoint& p) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    auto* w = dynamic_cast<TWinControl*>(*it);
    if (w && w->GetVisible() && PtInRect(w->BoundsRect(), p)) return w;
  }
  return nullptr;
}

bool TWinControl::CanFocus() const {
  return Showing() && EnabledChain();
}

void TWinControl::SetFocus() {
  if (CanFocus()) Desktop().SetFocusedControl(this);
}

bool TWinControl::Focused() const {
  return Desktop().FocusedControl() == this;
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char32_t& Key) {
  if (OnKeyPress) OnKeyPress(this, Key);
}

bool TWinControl::WantSpecialKey(uint16_t Key, TShiftState Shift) {
  (void)Shift;
  int code = GetDlgCode();
  if (code & DLGC_WANTALLKEYS) return true;
  if (Key >= VK_LEFT && Key <= VK_DOWN) return (code & DLGC_WANTARROWS) != 0;
  if (Key == VK_TAB) return (code & DLGC_WANTTAB) != 0;
  return false;
}

void TWinControl::SetBorderStyle(TBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  RecreateWnd();
}

void TWinControl::SetCtl3D(bool ctl3d) {
  if (ctl3d == ctl3d_) return;
  ctl3d_ = ctl3d;
  RecreateWnd();
}

int TWinControl::BorderWidth() const {
  if (border_style_ == bsNone) return 0;
  return GetSystemMetrics(ctl3d_ ? SM_CXEDGE : SM_CXBORDER);
}

int TWinControl::BorderHeight() const {
  if (border_style_ == bsNone) return 0;
  return GetSystemMetrics(ctl3d_ ? SM_CYEDGE : SM_CYBORDER);
}

int TWinControl::GetClientWidth() const {
  int w = width_ - 2 * BorderWidth();
  if (ScrollBar(SB_VERT).Visible()) w -= GetSystemMetrics(SM_CXVSCROLL);
  return std::max(w, 0);
}

int TWinControl::GetClientHeight() const {
  int h = height_ - 2 * BorderHeight();
  if (ScrollBar(SB_HORZ).Visible()) h -= GetSystemMetrics(SM_CYHSCROLL);
  return std::max(h, 0);
}

TRect TWinControl::ClientRectInWindow() const {
  int bx = BorderWidth(), by = BorderHeight();
  return Rect(bx, by, bx + GetClientWidth(), by + GetClientHeight());
}

TRect TWinControl::ScrollBarRect(int bar) const {
  if (!ScrollBar(bar).Visible()) return TRect();
  TRect c = ClientRectInWindow();
  TRect inner =
      Rect(BorderWidth(), BorderHeight(), width_ - BorderWidth(), height_ - BorderHeight());
  TRect r = bar == SB_VERT
                ? Rect(c.Right, c.Top, c.Right + GetSystemMetrics(SM_CXVSCROLL), c.Bottom)
                : Rect(c.Left, c.Bottom, c.Right, c.Bottom + GetSystemMetrics(SM_CYHSCROLL));
  r = Intersect(r, inner);
  return r.IsEmpty() ? TRect() : r;
}

TPoint TWinControl::ClientOrigin() const {
  TPoint p = TControl::ClientOrigin();
  return Point(p.x + BorderWidth(), p.y + BorderHeight());
}

void TWinControl::RecreateWnd() {
  ClientAreaChanged();
  Invalidate();
  if (TWindowHost* host = GetWindowHost()) host->GeometryChanged(this);
}

void TWinControl::BoundsChanged(bool sizeChanged) {
  if (sizeChanged) {
    ClientAreaChanged();
    Resize();
  }
  if (TWindowHost* host = GetWindowHost()) host->GeometryChanged(this);
}

void TWinControl::ClientAreaChanged() {
  int w = GetClientWidth(), h = GetClientHeight();
  if (w == last_client_w_ && h == last_client_h_) return;
  ResizeSurface();
  if (TWindowHost* host = GetWindowHost()) host->GeometryChanged(this);
}

void TWinControl::ResizeSurface() {
  int oldW = last_client_w_, oldH = last_client_h_;
  int w = GetClientWidth(), h = GetClientHeight();
  last_client_w_ = w;
  last_client_h_ = h;
  surface_.SetSize(w, h);
  ++surface_version_;
  // The damage never reaches past the client; newly exposed strips need
  // painting (the window class asks for no full repaint on resizing).
  if (!damage_.Empty())
    damage_ = TRegion::Combine(damage_, TRegion::FromRect(Rect(0, 0, w, h)), RGN_AND);
  if (w > oldW) InvalidateRect(Rect(oldW, 0, w, h));
  if (h > oldH) InvalidateRect(Rect(0, oldH, w, h));
}

bool TWinControl::SetScrollRange(int bar, int min, int max, bool redraw) {
  (void)redraw;
  bool refused = false;
  bool shown = ScrollBar(bar).SetRange(min, max, &refused);
  if (refused) return false;
  NotifyScrollBar(bar, shown);
  return true;
}

int TWinControl::SetScrollInfo(int bar, const TScrollInfo& info, bool redraw) {
  (void)redraw;
  bool shown = ScrollBar(bar).SetInfo(info);
  NotifyScrollBar(bar, shown);
  return ScrollBar(bar).Pos();
}

bool TWinControl::GetScrollInfo(int bar, TScrollInfo& info) const {
  if (bar != SB_HORZ && bar != SB_VERT) return false;
  ScrollBar(bar).GetInfo(info);
  return true;
}

int TWinControl::SetScrollPos(int bar, int pos, bool redraw) {
  (void)redraw;
  int previous = 0;
  ScrollBar(bar).SetPos(pos, &previous);
  NotifyScrollBar(bar, false);
  return previous;
}

bool TWinControl::ShowScrollBar(int bar, bool show) {
  bool changed = false;
  if (bar == SB_HORZ || bar == SB_BOTH) changed |= ScrollBar(SB_HORZ).Show(show);
  if (bar == SB_VERT || bar == SB_BOTH) changed |= ScrollBar(SB_VERT).Show(show);
  if (bar == SB_BOTH) {
    NotifyScrollBar(SB_HORZ, changed);
    NotifyScrollBar(SB_VERT, false);
  } else {
    NotifyScrollBar(bar, changed);
  }
  return true;
}

bool TWinControl::EnableScrollBar(int bar, unsigned arrows) {
  bool changed = false;
  if (bar == SB_HORZ || bar == SB_BOTH) changed |= ScrollBar(SB_HORZ).EnableArrows(arrows);
  if (bar == SB_VERT || bar == SB_BOTH) changed |= ScrollBar(SB_VERT).EnableArrows(arrows);
  if (bar != SB_VERT) NotifyScrollBar(SB_HORZ, false);
  if (bar != SB_HORZ) NotifyScrollBar(SB_VERT, false);
  return changed;
}

void TWinControl::NotifyScrollBar(int bar, bool visibilityChanged) {
  // A bar that appears or vanishes changes the client area: the window
  // gets its size message at once, as on the platform.
  if (visibilityChanged) {
    int w = GetClientWidth(), h = GetClientHeight();
    if (w != last_client_w_ || h != last_client_h_) {
      ResizeSurface();
      Resize();
    }
  }
  if (TWindowHost* host = GetWindowHost()) {
    host->ScrollBarChanged(this, bar);
    if (visibilityChanged) host->GeometryChanged(this);
  }
}

void TWinControl::ScrollRequest(int bar, int code, int pos) {
  TScrollBarState& state = ScrollBar(bar);
  if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) state.BeginTrack(pos);
  if (code == SB_ENDSCROLL) state.EndTrack();
  // The message carries the thumb position in 16 bits.
  int pos16 = (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) ? (pos & 0xFFFF) : 0;
  if (bar == SB_VERT)
    WMVScroll(code, pos16);
  else
    WMHScroll(code, pos16);
}

void TWinControl::WMHScroll(int ScrollCode, int Pos) {
  if (OnScrollRequest) OnScrollRequest(this, SB_HORZ, ScrollCode, Pos);
}

void TWinControl::WMVScroll(int ScrollCode, int Pos) {
  if (OnScrollRequest) OnScrollRequest(this, SB_VERT, ScrollCode, Pos);
}

void TWinControl::Invalidate() {
  InvalidateRect(GetClientRect());
}

void TWinControl::InvalidateRect(const TRect& rect) {
  TRect r = Intersect(rect, GetClientRect());
  if (r.IsEmpty()) return;
  damage_ = damage_.Empty() ? TRegion::FromRect(r)
                            : TRegion::Combine(damage_, TRegion::FromRect(r), RGN_OR);
  AddUnique(DirtyControls(), this);
  if (TWindowHost* host = GetWindowHost()) host->InvalidateRequested(this);
}

void TWinControl::UpdateWindow() {
  if (damage_.Empty() || painting_ || !Showing()) return;
  TRegion region = std::move(damage_);
  damage_ = TRegion();
  Erase(DirtyControls(), this);
  if (surface_.Empty()) return;
  TCanvas& canvas = surface_.Canvas();
  painting_ = true;
  canvas.SetClipRegion(&region);
  try {
    PaintWindow();
  } catch (...) {
    canvas.ClearClip();
    painting_ = false;
    throw;
  }
  canvas.ClearClip();
  painting_ = false;
  ++surface_version_;
  if (TWindowHost* host = GetWindowHost()) host->SurfaceChanged(this, region.Bounds());
}

void TWinControl::Repaint() {
  Invalidate();
  UpdateWindow();
}

void TWinControl::PaintWindow() {
  if (control_style_.Contains(csOpaque)) return;
  TCanvas& canvas = surface_.Canvas();
  TBrush saved = canvas.Brush();
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(GetClientRect());
  canvas.Brush().Assign(saved);
}

TWindowHost* TWinControl::GetWindowHost() const {
  for (const TWinControl* c = this; c; c = c->parent_)
    if (c->host_) return c->host_;
  return nullptr;
}

void TWinControl::SetWindowHost(TWindowHost* host) {
  host_ = host;
  if (host_) {
    if (!damage_.Empty()) host_->InvalidateRequested(this);
    host_->GeometryChanged(this);
  }
}

TCanvas& TWinControl::SurfaceCanvas() {
  return surface_.Canvas();
}

void TWinControl::MarkDirectDrawing() {
  if (painting_ || direct_drawing_) return;
  direct_drawing_ = true;
  AddUnique(TouchedControls(), this);
}

void TWinControl::FlushDirectDrawing() {
  Erase(TouchedControls(), this);
  if (!direct_drawing_) return;
  direct_drawing_ = false;
  ++surface_version_;
  if (TWindowHost* host = GetWindowHost()) host->SurfaceChanged(this, GetClientRect());
}

void TWinControl::PaintWindowImage(TCanvas& target, TPoint origin) const {
  if (!visible_) return;
  std::optional<TRegion> savedClip;
  if (target.HasClip()) savedClip = *target.ClipRegion();
  TRect window = Rect(origin.x, origin.y, origin.x + width_, origin.y + height_);
  target.IntersectClipRect(window);
  // Border.
  int bx = BorderWidth(), by = BorderHeight();
  if (bx > 0 || by > 0) {
    target.Brush().SetStyle(bsSolid);
    target.Brush().SetColor(clBtnFace);
    target.FillRect(window);
    if (ctl3d_ && bx == 2 && by == 2)
      PaintEdge3D(target, window, true);
    else
      PaintFrame(target, window, clWindowFrame);
  }
  // Scroll bars and the corner between them.
  auto shifted = [&](const TRect& r) {
    return Rect(r.Left + origin.x, r.Top + origin.y, r.Right + origin.x, r.Bottom + origin.y);
  };
  TRect h = ScrollBarRect(SB_HORZ), v = ScrollBarRect(SB_VERT);
  if (!h.IsEmpty()) PaintScrollBar(target, shifted(h), false, ScrollBar(SB_HORZ));
  if (!v.IsEmpty()) PaintScrollBar(target, shifted(v), true, ScrollBar(SB_VERT));
  if (!h.IsEmpty() && !v.IsEmpty()) {
    target.Brush().SetColor(clBtnFace);
    target.FillRect(shifted(Rect(v.Left, h.Top, v.Right, h.Bottom)));
  }
  // Client surface, then the child windows clipped to it.
  TRect client = shifted(ClientRectInWindow());
  target.IntersectClipRect(client);
  if (!surface_.Empty()) target.Draw(client.Left, client.Top, surface_);
  for (TControl* c : controls_) {
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w) w->PaintWindowImage(target, Point(client.Left + w->left_, client.Top + w->top_));
  }
  target.SetClipRegion(savedClip ? &*savedClip : nullptr);
}

// ---------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

TCanvas& TCustomControl::GetCanvas() {
  MarkDirectDrawing();
  return SurfaceCanvas();
}

void TCustomControl::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomControl::PaintWindow() {
  TWinControl::PaintWindow();
  Paint();
}

// ------------------------------------------------------------ free calls

bool SetScrollRange(HWND wnd, int bar, int min, int max, bool redraw) {
  return wnd && wnd->SetScrollRange(bar, min, max, redraw);
}
int SetScrollInfo(HWND wnd, int bar, const TScrollInfo& info, bool redraw) {
  return wnd ? wnd->SetScrollInfo(bar, info, redraw) : 0;
}
bool GetScrollInfo(HWND wnd, int bar, TScrollInfo& info) {
  return wnd && wnd->GetScrollInfo(bar, info);
}
int SetScrollPos(HWND wnd, int bar, int pos, bool redraw) {
  return wnd ? wnd->SetScrollPos(bar, pos, redraw) : 0;
}
int GetScrollPos(HWND wnd, int bar) {
  return wnd ? wnd->GetScrollPos(bar) : 0;
}
bool ShowScrollBar(HWND wnd, int bar, bool show) {
  return wnd && wnd->ShowScrollBar(bar, show);
}
bool EnableScrollBar(HWND wnd, int bar, unsigned arrows) {
  return wnd && wnd->EnableScrollBar(bar, arrows);
}
bool PtInRect(const TRect& rect, const TPoint& p) {
  return p.x >= rect.Left && p.x < rect.Right && p.y >= rect.Top && p.y < rect.Bottom;
}

void FlushDirectDrawing() {
  std::vector<TWinControl*> touched = TouchedControls();
  for (TWinControl* c : touched) c->FlushDirectDrawing();
}

void PaintPendingWindows() {
  std::vector<TWinControl*> dirty = DirtyControls();
  for (TWinControl* c : dirty) {
    auto& live = DirtyControls();
    if (std::find(live.begin(), live.end(), c) == live.end()) continue;  // painted or gone
    if (c->HandleAllocated()) c->UpdateWindow();
  }
}

}  // namespace pictavo
