#include "platform/desktop.h"

#include <algorithm>
#include <cstdlib>

#include "platform/app.h"

namespace pictavo {

namespace {

// Surface changes kept for tests; older ones are dropped.
constexpr size_t kMaxSurfaceChanges = 4096;

bool IsWithin(const TControl* control, const TControl* ancestor) {
  for (const TControl* c = control; c; c = c->GetParent())
    if (c == ancestor) return true;
  return false;
}

const TWinControl* TopLevel(const TControl* control) {
  const TControl* c = control;
  while (c->GetParent()) c = c->GetParent();
  return dynamic_cast<const TWinControl*>(c);
}

bool IsDialogKey(uint16_t key) {
  return key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE ||
         (key >= VK_LEFT && key <= VK_DOWN);
}

// The character a key types, or 0.
char32_t KeyChar(uint16_t key, TShiftState shift) {
  if (key >= 'A' && key <= 'Z') return shift.Contains(ssShift) ? key : key - 'A' + 'a';
  if (key >= '0' && key <= '9') return key;
  switch (key) {
    case VK_SPACE:
      return U' ';
    case VK_RETURN:
      return U'\r';
    case VK_TAB:
      return U'\t';
    case VK_BACK:
      return 8;
    case VK_ESCAPE:
      return 27;
    default:
      return 0;
  }
}

TShiftStateItem ButtonItem(TMouseButton b) {
  return b == mbLeft ? ssLeft : b == mbRight ? ssRight : ssMiddle;
}

// The screen position of a window's top-left corner.
TPoint WindowOrigin(const TWinControl* w) {
  TPoint c = w->ClientOrigin();
  return Point(c.x - w->BorderWidth(), c.y - w->BorderHeight());
}

// UTF-8 to code points (invalid bytes are passed through as themselves).
std::u32string Decode(const std::string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = text[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (i + extra >= text.size() + (extra ? 0 : 1)) extra = 0;
    char32_t cp = extra ? (c & (0x3F >> extra)) : c;
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

}  // namespace

TPoint WindowToScreen(const TWinControl* window, const TPoint& p) {
  TPoint o = WindowOrigin(window);
  return Point(o.x + p.x, o.y + p.y);
}

TDesktop::TDesktop() = default;
TDesktop::~TDesktop() = default;

TDesktop& Desktop() {
  static TDesktop desktop;
  return desktop;
}

void TDesktop::Reset() {
  for (TWinControl* w : windows_) w->SetWindowHost(nullptr);
  windows_.clear();
  focused_ = nullptr;
  capture_ = nullptr;
  hover_ = nullptr;
  buttons_ = {};
  last_click_ = {};
  bar_drag_ = {};
  surface_changes_.clear();
  double_click_ms_ = 500;
  Screen().ResetMetrics();
  Screen().SetCursor(crDefault);
  Screen().SetControlCursor(crDefault);
  Screen().SetCursorPos(Point(0, 0));
  Screen().SetMouseButtons({});
  SetKeyboardShiftState({});
  Application().UseManualClock(true);
}

// ------------------------------------------------------------- windows

void TDesktop::AddWindow(TWinControl* window) {
  if (!window || HasWindow(window)) return;
  windows_.push_back(window);
  window->SetWindowHost(this);
  window->Invalidate();
}

void TDesktop::RemoveWindow(TWinControl* window) {
  auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  windows_.erase(it);
  ControlHidden(window);
  window->SetWindowHost(nullptr);
}

bool TDesktop::HasWindow(const TWinControl* window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void TDesktop::BringToFront(TWinControl* window) {
  auto it = std::find(windows_.begin(), windows_.end(), window);
  if (it == windows_.end()) return;
  windows_.erase(it);
  windows_.push_back(window);
}

TWinControl* TDesktop::WindowAt(const TPoint& screen) const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    TWinControl* w = *it;
    if (w->GetVisible() && PtInRect(w->BoundsRect(), screen)) return w;
  }
  return nullptr;
}

// ------------------------------------------------------- focus, capture

void TDesktop::SetFocusedControl(TWinControl* control) {
  if (control == focused_) return;
  TWinControl* old = focused_;
  focused_ = control;
  if (old) old->DoExit();
  if (focused_ == control && control) control->DoEnter();
}

void TDesktop::SetCaptureControl(TControl* control) {
  capture_ = control;
}

void TDesktop::ControlCreated(TControl* control) {
  live_.insert(control);
}

bool TDesktop::IsAlive(const TControl* control) const {
  return live_.count(const_cast<TControl*>(control)) != 0;
}

void TDesktop::ControlDestroyed(TControl* control) {
  live_.erase(control);
  windows_.erase(std::remove(windows_.begin(), windows_.end(), control), windows_.end());
  if (focused_ == control) focused_ = nullptr;
  if (capture_ == control) capture_ = nullptr;
  if (hover_ == control) hover_ = nullptr;
  if (last_click_.control == control) last_click_ = {};
  if (bar_drag_.control == control) bar_drag_ = {};
  surface_changes_.erase(std::remove_if(surface_changes_.begin(), surface_changes_.end(),
                                        [&](const auto& c) { return c.first == control; }),
                         surface_changes_.end());
}

void TDesktop::ControlHidden(TControl* control) {
  if (focused_ && IsWithin(focused_, control)) SetFocusedControl(nullptr);
  if (capture_ && IsWithin(capture_, control)) capture_ = nullptr;
  if (hover_ && IsWithin(hover_, control)) SetHover(nullptr);
  if (bar_drag_.control && IsWithin(bar_drag_.control, control)) bar_drag_ = {};
}

void TDesktop::SetHover(TWinControl* control) {
  if (control == hover_) return;
  TWinControl* old = hover_;
  hover_ = control;
  if (old) old->MouseLeave();
  if (hover_ == control && control) control->MouseEnter();
}

void TDesktop::UpdateCursor() {
  TControl* c = capture_ ? capture_ : hover_;
  Screen().SetControlCursor(c ? c->GetCursor() : crDefault);
}

// ------------------------------------------------------------- hit test

TDesktop::Target TDesktop::HitTest(TWinControl* window, const TPoint& windowPoint) const {
  Target t;
  if (!window || !window->GetVisible()) return t;
  TWinControl* c = window;
  TPoint p = windowPoint;
  if (!PtInRect(Rect(0, 0, c->GetWidth(), c->GetHeight()), p)) return t;
  for (;;) {
    TRect client = c->ClientRectInWindow();
    if (PtInRect(client, p)) {
      TPoint cp = Point(p.x - client.Left, p.y - client.Top);
      TWinControl* child = c->ControlAtPos(cp);
      if (child) {
        c = child;
        p = Point(cp.x - child->GetLeft(), cp.y - child->GetTop());
        continue;
      }
      if (!c->EnabledChain()) return t;
      t.control = c;
      t.client = cp;
      return t;
    }
    for (int bar : {SB_HORZ, SB_VERT}) {
      TRect r = c->ScrollBarRect(bar);
      if (r.IsEmpty() || !PtInRect(r, p)) continue;
      if (!c->EnabledChain()) return t;
      bool vertical = bar == SB_VERT;
      int length = vertical ? r.Height() : r.Width();
      int thickness = vertical ? r.Width() : r.Height();
      t.control = c;
      t.bar = bar;
      t.bar_offset = vertical ? p.y - r.Top : p.x - r.Left;
      t.part =
          TScrollBarLayout::Compute(c->ScrollBar(bar), length, thickness).HitTest(t.bar_offset);
      return t;
    }
    return t;  // the border
  }
}

// ----------------------------------------------------------- mouse input

TShiftState TDesktop::ShiftFor(TShiftState keys) const {
  TShiftState s;
  for (TShiftStateItem k : {ssShift, ssAlt, ssCtrl})
    if (keys.Contains(k)) s.Include(k);
  for (TShiftStateItem b : {ssLeft, ssRight, ssMiddle})
    if (buttons_.Contains(b)) s.Include(b);
  return s;
}

bool TDesktop::IsDoubleClick(TControl* control, TMouseButton button, const TPoint& screen) {
  int64_t now = Application().NowMs();
  int dx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, dy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
  bool isDouble = control->GetControlStyle().Contains(csDoubleClicks) && last_click_.valid &&
                  last_click_.control == control && last_click_.button == button &&
                  now - last_click_.time <= double_click_ms_ &&
                  std::abs(screen.x - last_click_.screen.x) <= dx &&
                  std::abs(screen.y - last_click_.screen.y) <= dy;
  if (isDouble) {
    last_click_ = {};  // a third press starts again
  } else {
    last_click_ = {control, button, screen, now, true};
  }
  return isDouble;
}

void TDesktop::Route(TWinControl* window, MouseKind kind, TMouseButton button,
                     const TPoint& windowPoint, TShiftState keys, int delta) {
  TPoint screen = WindowToScreen(window, windowPoint);
  Screen().SetCursorPos(screen);
  SetKeyboardShiftState(keys);
  if (kind == kDown || kind == kDouble) buttons_.Include(ButtonItem(button));
  if (kind == kUp) buttons_.Exclude(ButtonItem(button));
  Screen().SetMouseButtons(buttons_);
  TShiftState shift = ShiftFor(keys);

  if (bar_drag_.control) {
    if (kind == kMove) ScrollBarDrag(screen);
    if (kind == kUp && buttons_.Empty()) ScrollBarRelease();
    ::pictavo::FlushDirectDrawing();
    return;
  }

  Target t;
  if (auto* cap = dynamic_cast<TWinControl*>(capture_)) {
    t.control = cap;
    t.client = cap->ScreenToClient(screen);
  } else {
    t = HitTest(window, windowPoint);
    if (kind == kMove || kind == kDown) SetHover(t.bar < 0 ? t.control : nullptr);
  }

  if ((kind == kDown || kind == kDouble) && t.control && t.bar >= 0) {
    ScrollBarPress(t);
  } else if (t.control && t.bar < 0) {
    TWinControl* c = t.control;
    if (kind == kDown || kind == kDouble) {
      if (!c->Focused() && c->CanFocus()) c->SetFocus();
      if (kind == kDown && IsDoubleClick(c, button, screen)) kind = kDouble;
      if (kind == kDouble && !c->GetControlStyle().Contains(csDoubleClicks)) kind = kDown;
      if (kind == kDouble) last_click_ = {};
      if (c->GetControlStyle().Contains(csCaptureMouse) && !capture_) capture_ = c;
    }
    bool inside = PtInRect(c->GetClientRect(), t.client);
    DeliverMouse(t, kind, button, shift, delta);
    if (kind == kUp) {
      if (buttons_.Empty()) capture_ = nullptr;
      // Click: the left button released over the control that took the press.
      if (button == mbLeft && inside && IsAlive(c) && c->GetControlStyle().Contains(csClickEvents))
        c->Click();
    }
  }
  if (kind == kUp && buttons_.Empty()) capture_ = nullptr;
  UpdateCursor();
  ::pictavo::FlushDirectDrawing();
}

void TDesktop::DeliverMouse(const Target& t, MouseKind kind, TMouseButton button, TShiftState shift,
                            int delta) {
  TWinControl* c = t.control;
  int x = t.client.x, y = t.client.y;
  switch (kind) {
    case kDown:
      c->MouseDown(button, shift, x, y);
      break;
    case kDouble:
      c->MouseDoubleClick(button, shift, x, y);
      break;
    case kMove:
      c->MouseMove(shift, x, y);
      break;
    case kUp:
      c->MouseUp(button, shift, x, y);
      break;
    case kWheel:
      c->MouseWheel(shift, delta, x, y);
      break;
  }
}

void TDesktop::MouseDown(TMouseButton button, const TPoint& screen, TShiftState keys) {
  TWinControl* w = capture_ ? const_cast<TWinControl*>(TopLevel(capture_)) : WindowAt(screen);
  if (!w) return;
  TPoint o = WindowOrigin(w);
  Route(w, kDown, button, Point(screen.x - o.x, screen.y - o.y), keys, 0);
}

void TDesktop::MouseMove(const TPoint& screen, TShiftState keys) {
  TWinControl* w = capture_ ? const_cast<TWinControl*>(TopLevel(capture_)) : nullptr;
  if (!w && bar_drag_.control) w = const_cast<TWinControl*>(TopLevel(bar_drag_.control));
  if (!w) w = WindowAt(screen);
  if (!w) {
    Screen().SetCursorPos(screen);
    SetHover(nullptr);
    UpdateCursor();
    return;
  }
  TPoint o = WindowOrigin(w);
  Route(w, kMove, mbLeft, Point(screen.x - o.x, screen.y - o.y), keys, 0);
}

void TDesktop::MouseUp(TMouseButton button, const TPoint& screen, TShiftState keys) {
  TWinControl* w = capture_ ? const_cast<TWinControl*>(TopLevel(capture_)) : nullptr;
  if (!w && bar_drag_.control) w = const_cast<TWinControl*>(TopLevel(bar_drag_.control));
  if (!w) w = WindowAt(screen);
  if (!w) {
    buttons_.Exclude(ButtonItem(button));
    Screen().SetMouseButtons(buttons_);
    return;
  }
  TPoint o = WindowOrigin(w);
  Route(w, kUp, button, Point(screen.x - o.x, screen.y - o.y), keys, 0);
}

void TDesktop::MouseWheel(int delta, const TPoint& screen, TShiftState keys) {
  TWinControl* w = capture_ ? const_cast<TWinControl*>(TopLevel(capture_)) : WindowAt(screen);
  if (!w) return;
  TPoint o = WindowOrigin(w);
  Route(w, kWheel, mbLeft, Point(screen.x - o.x, screen.y - o.y), keys, delta);
}

void TDesktop::Click(const TPoint& screen, TMouseButton button, TShiftState keys) {
  MouseDown(button, screen, keys);
  MouseUp(button, screen, keys);
}

void TDesktop::DoubleClick(const TPoint& screen, TShiftState keys) {
  Click(screen, mbLeft, keys);
  Click(screen, mbLeft, keys);
}

void TDesktop::Drag(const TPoint& from, const TPoint& to, int steps, TShiftState keys) {
  MouseDown(mbLeft, from, keys);
  steps = std::max(steps, 1);
  for (int i = 1; i <= steps; ++i)
    MouseMove(Point(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps),
              keys);
  MouseUp(mbLeft, to, keys);
}

void TDesktop::WindowMouseDown(TWinControl* window, TMouseButton button, const TPoint& p,
                               TShiftState keys) {
  Route(window, kDown, button, p, keys, 0);
}
void TDesktop::WindowMouseMove(TWinControl* window, const TPoint& p, TShiftState keys) {
  Route(window, kMove, mbLeft, p, keys, 0);
}
void TDesktop::WindowMouseUp(TWinControl* window, TMouseButton button, const TPoint& p,
                             TShiftState keys) {
  Route(window, kUp, button, p, keys, 0);
}
void TDesktop::WindowMouseDoubleClick(TWinControl* window, TMouseButton button, const TPoint& p,
                                      TShiftState keys) {
  Route(window, kDouble, button, p, keys, 0);
}
void TDesktop::WindowMouseWheel(TWinControl* window, int delta, const TPoint& p, TShiftState keys) {
  Route(window, kWheel, mbLeft, p, keys, delta);
}
void TDesktop::WindowMouseLeave(TWinControl* window) {
  if (hover_ && IsWithin(hover_, window) && !capture_) {
    SetHover(nullptr);
    UpdateCursor();
  }
}

// ---------------------------------------------------------- scroll bars

void TDesktop::ScrollBarPress(const Target& t) {
  TWinControl* c = t.control;
  TScrollBarState& bar = c->ScrollBar(t.bar);
  if (!bar.Enabled()) return;
  unsigned off = bar.DisabledArrows();
  int code = -1;
  switch (t.part) {
    case sbpArrowUp:
      code = (off & ESB_DISABLE_LTUP) ? -1 : SB_LINEUP;
      break;
    case sbpArrowDown:
      code = (off & ESB_DISABLE_RTDN) ? -1 : SB_LINEDOWN;
      break;
    case sbpPageUp:
      code = SB_PAGEUP;
      break;
    case sbpPageDown:
      code = SB_PAGEDOWN;
      break;
    case sbpThumb:
      break;
    default:
      return;
  }
  if (code < 0 && t.part != sbpThumb) return;  // a disabled arrow
  TRect r = c->ScrollBarRect(t.bar);
  TPoint wo = WindowOrigin(c);
  bool vertical = t.bar == SB_VERT;
  TScrollBarLayout l = TScrollBarLayout::Compute(bar, vertical ? r.Height() : r.Width(),
                                                 vertical ? r.Width() : r.Height());
  bar_drag_ = {c, t.bar, t.part, t.bar_offset - l.thumb_start, Point(wo.x + r.Left, wo.y + r.Top)};
  if (t.part == sbpThumb) {
    bar.BeginTrack(bar.Pos());
  } else if (code >= 0) {
    c->ScrollRequest(t.bar, code, 0);
  }
}

void TDesktop::ScrollBarDrag(const TPoint& screen) {
  if (bar_drag_.part != sbpThumb) return;
  TWinControl* c = bar_drag_.control;
  TScrollBarState& bar = c->ScrollBar(bar_drag_.bar);
  TRect r = c->ScrollBarRect(bar_drag_.bar);
  bool vertical = bar_drag_.bar == SB_VERT;
  TScrollBarLayout l = TScrollBarLayout::Compute(bar, vertical ? r.Height() : r.Width(),
                                                 vertical ? r.Width() : r.Height());
  int offset = vertical ? screen.y - bar_drag_.origin.y : screen.x - bar_drag_.origin.x;
  int pos = l.PositionAt(bar, offset - bar_drag_.grab_offset);
  if (pos != bar.TrackPos()) c->ScrollRequest(bar_drag_.bar, SB_THUMBTRACK, pos);
}

void TDesktop::ScrollBarRelease() {
  BarDrag drag = bar_drag_;
  bar_drag_ = {};
  if (!drag.control) return;
  if (drag.part == sbpThumb)
    drag.control->ScrollRequest(drag.bar, SB_THUMBPOSITION,
                                drag.control->ScrollBar(drag.bar).TrackPos());
  if (IsAlive(drag.control)) drag.control->ScrollRequest(drag.bar, SB_ENDSCROLL, 0);
}

// ------------------------------------------------------------------ keys

bool TDesktop::KeyDown(uint16_t key, TShiftState shift) {
  SetKeyboardShiftState(shift);
  TWinControl* c = focused_;
  if (!c || !c->EnabledChain()) return false;
  if (IsDialogKey(key) && !c->WantSpecialKey(key, shift)) return false;
  c->KeyDown(key, shift);
  ::pictavo::FlushDirectDrawing();
  return true;
}

bool TDesktop::KeyUp(uint16_t key, TShiftState shift) {
  TWinControl* c = focused_;
  if (!c || !c->EnabledChain()) return false;
  if (IsDialogKey(key) && !c->WantSpecialKey(key, shift)) return false;
  c->KeyUp(key, shift);
  SetKeyboardShiftState({});
  ::pictavo::FlushDirectDrawing();
  return true;
}

bool TDesktop::KeyPress(char32_t ch) {
  TWinControl* c = focused_;
  if (!c || !c->EnabledChain()) return false;
  uint16_t vk = ch == U'\t' ? VK_TAB : ch == U'\r' ? VK_RETURN : ch == 27 ? VK_ESCAPE : 0;
  if (vk && !c->WantSpecialKey(vk, GetKeyboardShiftState())) return false;
  c->KeyPress(ch);
  ::pictavo::FlushDirectDrawing();
  return true;
}

void TDesktop::TypeKey(uint16_t key, TShiftState shift) {
  bool delivered = KeyDown(key, shift);
  char32_t ch = KeyChar(key, shift);
  if (delivered && ch && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) KeyPress(ch);
  KeyUp(key, shift);
}

void TDesktop::TypeText(const std::string& text) {
  for (char32_t ch : Decode(text)) KeyPress(ch);
}

void TDesktop::WindowFocusIn(TWinControl* window) {
  if (focused_ && IsWithin(focused_, window)) return;
  if (window->CanFocus()) SetFocusedControl(window);
}

void TDesktop::WindowFocusOut(TWinControl* window) {
  if (focused_ && IsWithin(focused_, window)) SetFocusedControl(nullptr);
}

// ------------------------------------------------------------------ loop

void TDesktop::ProcessMessages() {
  Application().ProcessMessages();
}

void TDesktop::AdvanceClock(int64_t ms) {
  TApplication& app = Application();
  int64_t end = app.NowMs() + std::max<int64_t>(ms, 0);
  for (;;) {
    int64_t due = app.NextTimerDue();
    if (due > end) break;
    int64_t now = app.NowMs();
    if (due > now) app.AdvanceClock(due - now);
    app.ProcessMessages();
  }
  int64_t now = app.NowMs();
  if (end > now) app.AdvanceClock(end - now);
  app.ProcessMessages();
}

// ---------------------------------------------------------------- pixels

std::unique_ptr<TBitmap> TDesktop::WindowImage(const TWinControl* window) const {
  auto image = std::make_unique<TBitmap>(window->GetWidth(), window->GetHeight(), pf24bit);
  if (!image->Empty()) window->PaintWindowImage(image->Canvas(), Point(0, 0));
  return image;
}

std::unique_ptr<TBitmap> TDesktop::ScreenImage() const {
  auto image = std::make_unique<TBitmap>(GetSystemMetrics(SM_CXSCREEN),
                                         GetSystemMetrics(SM_CYSCREEN), pf24bit);
  TCanvas& canvas = image->Canvas();
  canvas.Brush().SetColor(clBackground);
  canvas.FillRect(Rect(0, 0, image->GetWidth(), image->GetHeight()));
  for (const TWinControl* w : windows_)
    if (w->GetVisible()) w->PaintWindowImage(canvas, Point(w->GetLeft(), w->GetTop()));
  return image;
}

// ------------------------------------------------------------- host role

void TDesktop::InvalidateRequested(TWinControl* control) {
  (void)control;
}

void TDesktop::SurfaceChanged(TWinControl* control, const TRect& rect) {
  if (surface_changes_.size() >= kMaxSurfaceChanges)
    surface_changes_.erase(surface_changes_.begin());
  surface_changes_.emplace_back(control, rect);
}

void TDesktop::ScrollBarChanged(TWinControl* control, int bar) {
  (void)control;
  (void)bar;
}

void TDesktop::GeometryChanged(TWinControl* control) {
  (void)control;
}

std::vector<std::pair<TWinControl*, TRect>> TDesktop::TakeSurfaceChanges() {
  std::vector<std::pair<TWinControl*, TRect>> out;
  out.swap(surface_changes_);
  return out;
}

}  // namespace pictavo
