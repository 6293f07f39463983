// TScreen of the framework stand-in: the cursor table (numbers to images
// with hot spots), the cursor shown now, the cursor position, the held mouse
// buttons, and the screen's metrics and device capabilities
// (GetSystemMetrics / GetDeviceCaps stand-ins: 24 bits, 96 dpi, 2-pixel 3-D
// edges, 16-pixel scroll bars, 1920 x 1080 by default; tests set them).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/control.h"
#include "platform/types.h"

namespace pictavo {

// Standard cursors (negative numbers; 0 is "the control's default").
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// A cursor image: colours and a mask (pf1bit: 0 = opaque, 1 = transparent),
// both the same size, and the hot spot inside them.
struct TCursorImage {
  std::shared_ptr<TBitmap> color;
  std::shared_ptr<TBitmap> mask;
  TPoint hotspot;
  std::string name;
  bool Empty() const { return !color || color->Empty(); }
};

// GetSystemMetrics indexes.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
// GetDeviceCaps indexes.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

class TScreen {
 public:
  TScreen();

  // Cursor table.  Standard cursors have built-in images; numbers without an
  // image read as crArrow.
  const TCursorImage& Cursors(TCursor index) const;
  void SetCursors(TCursor index, const TCursorImage& image);
  bool HasCursor(TCursor index) const;

  // The application-wide cursor (crDefault: each control shows its own).
  TCursor GetCursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The cursor that should show now: Screen's cursor when set, else the
  // cursor of the control under the mouse (or holding the capture).
  TCursor ShownCursor() const;
  void SetControlCursor(TCursor cursor);

  // Cursor position in screen coordinates.  A host may supply the live
  // position (the Qt host reads QCursor); otherwise the last position the
  // desktop delivered.
  TPoint GetCursorPos() const;
  void SetCursorPos(const TPoint& p);
  void SetCursorPosSource(std::function<TPoint()> source) { cursor_source_ = std::move(source); }
  // Mouse buttons held now (ssLeft, ssRight, ssMiddle).
  TShiftState GetMouseButtons() const { return buttons_; }
  void SetMouseButtons(TShiftState buttons) { buttons_ = buttons; }

  // Metrics and capabilities; Set* override a value (for tests), Reset
  // returns to the defaults.
  int SystemMetric(int index) const;
  void SetSystemMetric(int index, int value) { metrics_[index] = value; }
  int DeviceCap(int index) const;
  void SetDeviceCap(int index, int value) { caps_[index] = value; }
  void ResetMetrics();

  int GetWidth() const { return SystemMetric(SM_CXSCREEN); }
  int GetHeight() const { return SystemMetric(SM_CYSCREEN); }
  int GetPixelsPerInch() const { return DeviceCap(LOGPIXELSY); }

  // Told when the shown cursor may have changed (hosts update theirs).
  std::function<void()> OnCursorChange;

 private:
  void CursorMayHaveChanged();

  std::map<TCursor, TCursorImage> cursors_;
  TCursor cursor_ = crDefault;
  TCursor control_cursor_ = crDefault;
  TPoint cursor_pos_;
  std::function<TPoint()> cursor_source_;
  TShiftState buttons_;
  std::map<int, int> metrics_;
  std::map<int, int> caps_;
};

TScreen& Screen();

// The window system's calls.
int GetSystemMetrics(int index);
// The screen's capabilities (the device context argument of the platform
// call is not needed: every canvas here is a screen-compatible bitmap).
int GetDeviceCaps(int index);
bool GetCursorPos(TPoint& p);
TPoint GetCursorPos();
// Held state of VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_SHIFT, VK_CONTROL:
// the high bit (0x8000) set while held.
int16_t GetAsyncKeyState(int vk);
// Keyboard modifiers held now (set by the desktop with each key event).
void SetKeyboardShiftState(TShiftState shift);
TShiftState GetKeyboardShiftState();

}  // namespace pictavo
