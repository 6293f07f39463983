// The desktop: the one input router of the process (focus, capture, the
// control under the mouse, double clicks, keys) and, without a window
// system, a headless screen of top-level windows for tests.
//
// Hosts deliver input for one top-level window in that window's
// coordinates (WindowMouse..., the Qt host); tests deliver it in screen
// coordinates and the desktop finds the window (MouseDown(...)).  Routing:
//  - the control holding the capture gets every mouse message, in its own
//    client coordinates, even outside its bounds; a press on a control with
//    csCaptureMouse captures the mouse until every button is released;
//  - otherwise the topmost shown, enabled control under the point gets it;
//    presses on a window scroll bar become scroll requests (arrows: line,
//    track: page, thumb drag: thumb track / thumb position, and end scroll
//    at the release); the border takes no input;
//  - a press focuses the control when it can take the focus;
//  - a second press of the same button within the double-click time and
//    distance on the same control is a double click (csDoubleClicks);
//  - keys go to the focused control; Tab, Return, Escape and the arrows only
//    when its WantSpecialKey says so.
// The message loop: ProcessMessages runs the application's queue and
// timers, then paints every window with damage; AdvanceClock moves the
// manual clock and runs each timer tick at its due time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/control.h"
#include "platform/screen.h"

namespace pictavo {

class TDesktop : public TWindowHost {
 public:
  TDesktop();
  ~TDesktop() override;

  // Back to a clean desktop: no windows, focus or capture; default metrics;
  // the manual clock (tests start here).
  void Reset();

  // Top-level windows (the last is on top).  A shown window's Left/Top are
  // its screen position.
  void AddWindow(TWinControl* window);
  void RemoveWindow(TWinControl* window);
  bool HasWindow(const TWinControl* window) const;
  const std::vector<TWinControl*>& Windows() const { return windows_; }
  void BringToFront(TWinControl* window);
  TWinControl* WindowAt(const TPoint& screen) const;

  // Focus and capture.
  TWinControl* FocusedControl() const { return focused_; }
  void SetFocusedControl(TWinControl* control);
  TControl* CaptureControl() const { return capture_; }
  void SetCaptureControl(TControl* control);
  // The control the mouse is over (or the capture).
  TWinControl* HoverControl() const { return hover_; }

  // Input in screen coordinates (tests).
  void MouseDown(TMouseButton button, const TPoint& screen, TShiftState keys = {});
  void MouseMove(const TPoint& screen, TShiftState keys = {});
  void MouseUp(TMouseButton button, const TPoint& screen, TShiftState keys = {});
  void MouseWheel(int delta, const TPoint& screen, TShiftState keys = {});
  // Press and release at one point.
  void Click(const TPoint& screen, TMouseButton button = mbLeft, TShiftState keys = {});
  // Two clicks within the double-click time.
  void DoubleClick(const TPoint& screen, TShiftState keys = {});
  // Press at `from`, move to `to` in `steps` moves, release.
  void Drag(const TPoint& from, const TPoint& to, int steps = 1, TShiftState keys = {});

  // Input for one top-level window in window coordinates (hosts).
  void WindowMouseDown(TWinControl* window, TMouseButton button, const TPoint& p, TShiftState keys);
  void WindowMouseMove(TWinControl* window, const TPoint& p, TShiftState keys);
  void WindowMouseUp(TWinControl* window, TMouseButton button, const TPoint& p, TShiftState keys);
  void WindowMouseDoubleClick(TWinControl* window, TMouseButton button, const TPoint& p,
                              TShiftState keys);
  void WindowMouseWheel(TWinControl* window, int delta, const TPoint& p, TShiftState keys);
  void WindowMouseLeave(TWinControl* window);

  // Keys to the focused control.  KeyDown returns false when the key was
  // not delivered (no focus, or a special key the control did not want).
  bool KeyDown(uint16_t key, TShiftState shift = {});
  bool KeyUp(uint16_t key, TShiftState shift = {});
  bool KeyPress(char32_t ch);
  // KeyDown, KeyPress (for keys that type a character), KeyUp.
  void TypeKey(uint16_t key, TShiftState shift = {});
  // KeyPress for each character (UTF-8 text).
  void TypeText(const std::string& text);

  // Focus gained or lost by a host's window (the Qt host's focus events).
  void WindowFocusIn(TWinControl* window);
  void WindowFocusOut(TWinControl* window);

  // The message loop.
  void ProcessMessages();
  // Advances the manual clock by `ms`, running every timer tick at its due
  // time (in order), then ProcessMessages.
  void AdvanceClock(int64_t ms);
  // Double-click time in milliseconds (500 by default).
  int GetDoubleClickTime() const { return double_click_ms_; }
  void SetDoubleClickTime(int ms) { double_click_ms_ = ms; }

  // Pixels: the surface of a window or child, and the full window image
  // (border, scroll bars, client, children) as a pf24bit bitmap.
  std::unique_ptr<TBitmap> WindowImage(const TWinControl* window) const;
  // The screen with every shown window drawn in z-order over clBackground.
  std::unique_ptr<TBitmap> ScreenImage() const;

  // Called by controls.
  void ControlCreated(TControl* control);
  void ControlDestroyed(TControl* control);
  // False once the control was destroyed (handlers may destroy controls).
  bool IsAlive(const TControl* control) const;
  void ControlHidden(TControl* control);

  // TWindowHost.
  void InvalidateRequested(TWinControl* control) override;
  void SurfaceChanged(TWinControl* control, const TRect& rect) override;
  void ScrollBarChanged(TWinControl* control, int bar) override;
  void GeometryChanged(TWinControl* control) override;
  // Rectangles reported by SurfaceChanged since the last call (tests).
  std::vector<std::pair<TWinControl*, TRect>> TakeSurfaceChanges();

 private:
  enum MouseKind { kDown, kMove, kUp, kDouble, kWheel };
  struct Target {
    TWinControl* control = nullptr;
    TPoint client;  // the point in the control's client coordinates
    int bar = -1;   // a scroll bar hit: SB_HORZ / SB_VERT
    TScrollBarPart part = sbpNone;
    int bar_offset = 0;  // offset along the bar
  };
  Target HitTest(TWinControl* window, const TPoint& windowPoint) const;
  Target TargetForCapture(const TPoint& screen) const;
  void Route(TWinControl* window, MouseKind kind, TMouseButton button, const TPoint& windowPoint,
             TShiftState keys, int delta);
  void DeliverMouse(const Target& t, MouseKind kind, TMouseButton button, TShiftState shift,
                    int delta);
  void ScrollBarPress(const Target& t);
  void ScrollBarDrag(const TPoint& screen);
  void ScrollBarRelease();
  void SetHover(TWinControl* control);
  void UpdateCursor();
  TShiftState ShiftFor(TShiftState keys) const;
  bool IsDoubleClick(TControl* control, TMouseButton button, const TPoint& screen);

  std::vector<TWinControl*> windows_;
  TWinControl* focused_ = nullptr;
  TControl* capture_ = nullptr;
  TWinControl* hover_ = nullptr;
  TShiftState buttons_;
  int double_click_ms_ = 500;
  struct LastClick {
    TControl* control = nullptr;
    TMouseButton button = mbLeft;
    TPoint screen;
    int64_t time = 0;
    bool valid = false;
  } last_click_;
  struct BarDrag {
    TWinControl* control = nullptr;
    int bar = -1;
    TScrollBarPart part = sbpNone;
    int grab_offset = 0;  // mouse offset inside the thumb
    TPoint origin;        // screen position of the bar's start
  } bar_drag_;
  std::vector<std::pair<TWinControl*, TRect>> surface_changes_;
  std::unordered_set<TControl*> live_;
};

TDesktop& Desktop();

// Screen position of a window-coordinate point of a top-level window.
TPoint WindowToScreen(const TWinControl* window, const TPoint& p);

}  // namespace pictavo
