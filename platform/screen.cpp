#include "platform/screen.h"

#include "platform/cursors.h"

namespace pictavo {

namespace {

int DefaultMetric(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return 1920;
    case SM_CYSCREEN:
      return 1080;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVSCROLL:
      return 16;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    default:
      return 0;
  }
}

int DefaultCap(int index) {
  switch (index) {
    case HORZRES:
      return DefaultMetric(SM_CXSCREEN);
    case VERTRES:
      return DefaultMetric(SM_CYSCREEN);
    case BITSPIXEL:
      return 24;
    case PLANES:
      return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    default:
      return 0;
  }
}

TShiftState& KeyboardShift() {
  static TShiftState shift;
  return shift;
}

}  // namespace

TScreen::TScreen() = default;

const TCursorImage& TScreen::Cursors(TCursor index) const {
  auto it = cursors_.find(index);
  if (it != cursors_.end()) return it->second;
  // Standard cursors are drawn on first use and kept.
  static std::map<TCursor, TCursorImage> standard;
  TCursor key = index < 0 ? index : crArrow;
  auto s = standard.find(key);
  if (s == standard.end()) s = standard.emplace(key, StandardCursorImage(key)).first;
  return s->second;
}

void TScreen::SetCursors(TCursor index, const TCursorImage& image) {
  cursors_[index] = image;
  CursorMayHaveChanged();
}

bool TScreen::HasCursor(TCursor index) const {
  return index < 0 || cursors_.count(index) != 0;
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  CursorMayHaveChanged();
}

TCursor TScreen::ShownCursor() const {
  if (cursor_ != crDefault) return cursor_;
  return control_cursor_ == crDefault ? crArrow : control_cursor_;
}

void TScreen::SetControlCursor(TCursor cursor) {
  if (cursor == control_cursor_) return;
  control_cursor_ = cursor;
  CursorMayHaveChanged();
}

void TScreen::CursorMayHaveChanged() {
  if (OnCursorChange) OnCursorChange();
}

TPoint TScreen::GetCursorPos() const {
  return cursor_source_ ? cursor_source_() : cursor_pos_;
}

void TScreen::SetCursorPos(const TPoint& p) {
  cursor_pos_ = p;
}

int TScreen::SystemMetric(int index) const {
  auto it = metrics_.find(index);
  return it != metrics_.end() ? it->second : DefaultMetric(index);
}

int TScreen::DeviceCap(int index) const {
  auto it = caps_.find(index);
  if (it != caps_.end()) return it->second;
  // The resolution follows the screen size when only that was set.
  if (index == HORZRES) return SystemMetric(SM_CXSCREEN);
  if (index == VERTRES) return SystemMetric(SM_CYSCREEN);
  return DefaultCap(index);
}

void TScreen::ResetMetrics() {
  metrics_.clear();
  caps_.clear();
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

int GetSystemMetrics(int index) {
  return Screen().SystemMetric(index);
}
int GetDeviceCaps(int index) {
  return Screen().DeviceCap(index);
}

bool GetCursorPos(TPoint& p) {
  p = Screen().GetCursorPos();
  return true;
}

TPoint GetCursorPos() {
  return Screen().GetCursorPos();
}

int16_t GetAsyncKeyState(int vk) {
  constexpr int16_t kDown = static_cast<int16_t>(0x8000);
  TShiftState buttons = Screen().GetMouseButtons();
  TShiftState keys = KeyboardShift();
  switch (vk) {
    case VK_LBUTTON:
      return buttons.Contains(ssLeft) ? kDown : 0;
    case VK_RBUTTON:
      return buttons.Contains(ssRight) ? kDown : 0;
    case VK_MBUTTON:
      return buttons.Contains(ssMiddle) ? kDown : 0;
    case VK_SHIFT:
      return keys.Contains(ssShift) ? kDown : 0;
    case VK_CONTROL:
      return keys.Contains(ssCtrl) ? kDown : 0;
    case VK_MENU:
      return keys.Contains(ssAlt) ? kDown : 0;
    default:
      return 0;
  }
}

void SetKeyboardShiftState(TShiftState shift) {
  TShiftState keys;
  for (TShiftStateItem k : {ssShift, ssCtrl, ssAlt})
    if (shift.Contains(k)) keys.Include(k);
  KeyboardShift() = keys;
}

TShiftState GetKeyboardShiftState() {
  return KeyboardShift();
}

}  // namespace pictavo
