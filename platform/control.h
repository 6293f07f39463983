// Windowed controls of the framework stand-in.
//
// A control is a model: bounds in its parent's client coordinates (screen
// coordinates for a top-level window), a non-client area (border and window
// scroll bars), a client area, and a surface bitmap of the client's size
// that holds exactly what the control shows.  Every message the control
// handles arrives as a call (MouseDown, KeyDown, WMVScroll, ...).  Painting:
// Invalidate adds to a damage region; UpdateWindow (or the message loop)
// calls Paint with the canvas clipped to the damage and tells the window
// host which rectangle changed.  A window host (the headless desktop, the Qt
// host) shows the surface and delivers input; desktop.h owns focus, capture
// and routing.
//
// Client area: Width minus twice the border, minus SM_CXVSCROLL when the
// vertical bar is shown; Height likewise with SM_CYHSCROLL.  The border is
// SM_CXEDGE (2) pixels for bsSingle with Ctl3D, SM_CXBORDER (1) for bsSingle
// without, 0 for bsNone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/component.h"
#include "platform/region.h"
#include "platform/scrollbar.h"
#include "platform/types.h"

namespace pictavo {

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

enum TFormBorderStyle : uint8_t {
  bsNone,
  bsSingle,
  bsSizeable,
  bsDialog,
  bsToolWindow,
  bsSizeToolWin
};
using TBorderStyle = TFormBorderStyle;
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Behaviour flags of a control class.
enum TControlStyleItem : uint8_t {
  csAcceptsControls,
  csCaptureMouse,  // a press captures the mouse until the release (default)
  csClickEvents,
  csOpaque,        // the control paints all its client area: no background erase
  csDoubleClicks,  // a second press in time is a double click (default)
  csReplicatable,
};
using TControlStyle = TSet<TControlStyleItem>;

// Cursor numbers (see screen.h for the table).
using TCursor = int;

// Virtual key codes.
constexpr uint16_t VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04;
constexpr uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11, VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
constexpr uint16_t VK_INSERT = 0x2D, VK_DELETE = 0x2E;
constexpr uint16_t VK_F1 = 0x70, VK_F12 = 0x7B;
constexpr uint16_t VK_ADD = 0x6B, VK_SUBTRACT = 0x6D;
// Letters and digits use their upper-case ASCII codes ('A', '0').

// Wheel units per notch.
constexpr int WHEEL_DELTA = 120;

// Answers to the dialog-code request (GetDlgCode).
constexpr int DLGC_WANTARROWS = 0x1;
constexpr int DLGC_WANTTAB = 0x2;
constexpr int DLGC_WANTALLKEYS = 0x4;
constexpr int DLGC_WANTCHARS = 0x80;

class TWinControl;

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent = std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta,
                                            TPoint MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;

// What shows a top-level control: told when the control needs painting,
// when surface pixels changed, when scroll bars or the cursor changed.
class TWindowHost {
 public:
  virtual ~TWindowHost() = default;
  // The control's damage region grew; a paint should follow soon.
  virtual void InvalidateRequested(TWinControl* control) = 0;
  // Surface pixels inside `rect` (client coordinates) are new.
  virtual void SurfaceChanged(TWinControl* control, const TRect& rect) = 0;
  // Scroll-bar state of `bar` (SB_HORZ / SB_VERT) changed.
  virtual void ScrollBarChanged(TWinControl* control, int bar) = 0;
  // Bounds, border or client area changed.
  virtual void GeometryChanged(TWinControl* control) = 0;
  // The cursor that should be shown changed.
  virtual void CursorChanged() {}
};

// Base of all controls.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner = nullptr);
  ~TControl() override;

  TWinControl* GetParent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int GetLeft() const { return left_; }
  int GetTop() const { return top_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  // Moves and sizes the control; negative sizes become 0.  A size change
  // resizes the surface and sends the size message (Resize).
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Rect(left_, top_, left_ + width_, top_ + height_); }

  bool GetVisible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool GetEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  // Visible (enabled) here and in every parent.
  bool Showing() const;
  bool EnabledChain() const;

  TColor GetColor() const { return color_; }
  virtual void SetColor(TColor color);
  // The control's font; SetFont copies it and calls FontChanged.
  const TFont& GetFont() const { return font_; }
  TFont& Font() { return font_; }
  void SetFont(const TFont& font);
  TCursor GetCursor() const { return cursor_; }
  virtual void SetCursor(TCursor cursor);
  TControlStyle GetControlStyle() const { return control_style_; }
  void SetControlStyle(TControlStyle style) { control_style_ = style; }
  bool GetDesigning() const { return GetComponentState().Contains(csDesigning); }
  void SetDesigning(bool on) { SetComponentStateItem(csDesigning, on); }

  // Client size (see the file comment).
  virtual int GetClientWidth() const { return width_; }
  virtual int GetClientHeight() const { return height_; }
  TRect GetClientRect() const { return Rect(0, 0, GetClientWidth(), GetClientHeight()); }
  int ClientWidth() const { return GetClientWidth(); }
  int ClientHeight() const { return GetClientHeight(); }
  // Screen position of the client area's top-left pixel.
  virtual TPoint ClientOrigin() const;
  TPoint ScreenToClient(const TPoint& p) const;
  TPoint ClientToScreen(const TPoint& p) const;

  // Mouse capture: while set, every mouse message reaches this control.
  bool GetMouseCapture() const;
  void SetMouseCapture(bool capture);

  // Message handlers.  The defaults fire the matching events.
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void Click();
  virtual void DblClick();
  // The double-click message: MouseDown with ssDouble, then DblClick for
  // the left button.  Overrides do their own work after calling it.
  virtual void MouseDoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y);
  // The wheel message: delta +-120 per notch (positive away from the
  // user), MousePos in client coordinates.  Fires OnMouseWheel.
  virtual void MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y);
  // Mouse entered / left the control (for hover effects).
  virtual void MouseEnter() {}
  virtual void MouseLeave() {}

  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;

  // Size message: called when the client size changed.  Fires OnResize.
  virtual void Resize();
  // Called by SetFont (the font message): repaints by default.
  virtual void FontChanged();

 protected:
  void DetachFromParent();
  virtual void BoundsChanged(bool sizeChanged);

  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clBtnFace;
  TFont font_;
  TCursor cursor_ = 0;  // crDefault
  TControlStyle control_style_{csCaptureMouse, csClickEvents, csDoubleClicks};
};

// A control with a window: children, focus, keys, a non-client area with
// border and scroll bars, a surface bitmap and a damage region.
class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner = nullptr);
  ~TWinControl() override;

  // Children (controls whose parent is this one), in insertion order; the
  // last one is on top.
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(index); }
  // The child at a client point (topmost visible one), or null.
  TWinControl* ControlAtPos(const TPoint& p) const;

  // Focus.  CanFocus: visible and enabled along the parent chain.
  virtual bool CanFocus() const;
  virtual void SetFocus();
  bool Focused() const;
  virtual void DoEnter();  // focus in
  virtual void DoExit();   // focus out
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Keys.  KeyDown/KeyUp get virtual key codes, KeyPress characters.
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char32_t& Key);
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  // The special-key request: asked for Tab, Return, Escape and the arrow
  // keys before they are delivered; false (the default) lets the window
  // (the dialog) use them, and the control does not see them.
  virtual bool WantSpecialKey(uint16_t Key, TShiftState Shift);
  // The dialog-code answer (DLGC_* bits); WantSpecialKey uses it.
  virtual int GetDlgCode() const { return dlg_code_; }
  void SetDlgCode(int code) { dlg_code_ = code; }

  // Non-client area.
  TBorderStyle GetBorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle style);
  bool GetCtl3D() const { return ctl3d_; }
  void SetCtl3D(bool ctl3d);
  // Border thickness on the left and right (BorderWidth) and on the top
  // and bottom (BorderHeight).
  virtual int BorderWidth() const;
  virtual int BorderHeight() const;
  int GetClientWidth() const override;
  int GetClientHeight() const override;
  // The client rectangle in window coordinates (0,0 = window's top-left).
  TRect ClientRectInWindow() const;
  // The rectangle of a shown bar in window coordinates (empty if hidden).
  TRect ScrollBarRect(int bar) const;
  TPoint ClientOrigin() const override;
  // Re-applies the non-client area after a border change (size message,
  // repaint of everything).
  void RecreateWnd();

  // Window scroll bars (SB_HORZ, SB_VERT; SB_BOTH where the call allows it).
  TScrollBarState& ScrollBar(int bar) { return scroll_[bar == SB_VERT ? 1 : 0]; }
  const TScrollBarState& ScrollBar(int bar) const { return scroll_[bar == SB_VERT ? 1 : 0]; }
  bool SetScrollRange(int bar, int min, int max, bool redraw);
  int SetScrollInfo(int bar, const TScrollInfo& info, bool redraw);
  bool GetScrollInfo(int bar, TScrollInfo& info) const;
  int SetScrollPos(int bar, int pos, bool redraw);
  int GetScrollPos(int bar) const { return ScrollBar(bar).Pos(); }
  bool ShowScrollBar(int bar, bool show);
  bool EnableScrollBar(int bar, unsigned arrows);
  // Scroll requests: delivers WMHScroll / WMVScroll with the position cut
  // to 16 bits, as the window system passes it.  Thumb requests keep the
  // full position as the bar's TrackPos.
  void ScrollRequest(int bar, int code, int pos);
  virtual void WMHScroll(int ScrollCode, int Pos);
  virtual void WMVScroll(int ScrollCode, int Pos);
  std::function<void(TObject* Sender, int Bar, int ScrollCode, int Pos)> OnScrollRequest;

  // Painting.
  TBitmap& Surface() { return surface_; }
  const TBitmap& Surface() const { return surface_; }
  void Invalidate();
  void InvalidateRect(const TRect& rect);
  const TRegion& Damage() const { return damage_; }
  bool NeedsPaint() const { return !damage_.Empty(); }
  // Paints the damage now (the paint message).  Children are separate
  // windows and paint themselves.
  void UpdateWindow();
  // Invalidate, then UpdateWindow.
  void Repaint();
  // The platform's Update: paint what is pending now.  Descendants that
  // give Update another meaning (a layout step) still have UpdateWindow.
  virtual void Update() { UpdateWindow(); }
  bool Painting() const { return painting_; }
  // Bumped on every change of the surface (paint or drawing outside Paint).
  uint64_t SurfaceVersion() const { return surface_version_; }

  // Window host (inherited from the parent when not set here).
  TWindowHost* GetWindowHost() const;
  void SetWindowHost(TWindowHost* host);
  bool HandleAllocated() const { return GetWindowHost() != nullptr; }
  // True when a parent control or a window host shows this control.
  virtual bool HasParentWindow() const { return parent_ != nullptr || host_ != nullptr; }

  // Draws the whole window (border, scroll bars, client surface, children)
  // into `target` at `origin`; used by the headless desktop and the demo.
  void PaintWindowImage(TCanvas& target, TPoint origin) const;

  // Called by the desktop when drawing on the canvas outside Paint may have
  // changed the surface: reports the whole client as changed.
  void FlushDirectDrawing();

 protected:
  friend class TControl;
  // Erases the damage with Color (unless csOpaque) and paints.  The canvas
  // is clipped to the damage.
  virtual void PaintWindow();
  void BoundsChanged(bool sizeChanged) override;
  void ClientAreaChanged();
  void NotifyScrollBar(int bar, bool visibilityChanged);
  TCanvas& SurfaceCanvas();
  void MarkDirectDrawing();

 private:
  void AddControl(TControl* control);
  void RemoveControl(TControl* control);
  void ResizeSurface();

  std::vector<TControl*> controls_;
  TBorderStyle border_style_ = bsNone;
  bool ctl3d_ = true;
  int dlg_code_ = 0;
  TScrollBarState scroll_[2];
  TBitmap surface_;
  TRegion damage_;
  bool painting_ = false;
  bool direct_drawing_ = false;
  uint64_t surface_version_ = 0;
  TWindowHost* host_ = nullptr;
  int last_client_w_ = 0, last_client_h_ = 0;
};

// A windowed control that paints itself on its canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner = nullptr);
  // The canvas on the surface.  During Paint it is clipped to the damage;
  // drawing on it outside Paint shows at the next flush of the loop.
  TCanvas& GetCanvas();
  TCanvas& Canvas() { return GetCanvas(); }
  virtual void Paint();
  std::function<void(TObject* Sender)> OnPaint;

 protected:
  void PaintWindow() override;
};

// The window system's calls with the control as the window handle.
using HWND = TWinControl*;
bool SetScrollRange(HWND wnd, int bar, int min, int max, bool redraw);
int SetScrollInfo(HWND wnd, int bar, const TScrollInfo& info, bool redraw);
bool GetScrollInfo(HWND wnd, int bar, TScrollInfo& info);
int SetScrollPos(HWND wnd, int bar, int pos, bool redraw);
int GetScrollPos(HWND wnd, int bar);
bool ShowScrollBar(HWND wnd, int bar, bool show);
bool EnableScrollBar(HWND wnd, int bar, unsigned arrows);
bool PtInRect(const TRect& rect, const TPoint& p);

// Controls whose surface was drawn on outside Paint since the last flush
// report it now (called by the message loop and after each input event).
void FlushDirectDrawing();
// Paints every shown, hosted control that has damage.
void PaintPendingWindows();

}  // namespace pictavo
