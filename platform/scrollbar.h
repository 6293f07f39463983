// Scroll bars of the framework stand-in: the state of one window scroll bar
// (range, page, position, shown, arrows enabled) with the window-system
// rules for setting it, the layout of its parts (arrows, track, thumb) and a
// painter for the headless desktop.  Hosts mirror the state with real
// widgets; the control receives user actions as scroll requests
// (SB_LINEUP ... SB_ENDSCROLL with a 16-bit thumb position).
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace pictavo {

class TCanvas;

// Which bar.
constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr int SB_BOTH = 3;

// Scroll requests (the request codes of the horizontal bar have the same
// values: SB_LINELEFT = SB_LINEUP ...).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINELEFT = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_LINERIGHT = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGELEFT = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_PAGERIGHT = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_LEFT = 6;
constexpr int SB_BOTTOM = 7;
constexpr int SB_RIGHT = 7;
constexpr int SB_ENDSCROLL = 8;

// EnableScrollBar arrows.
constexpr unsigned ESB_ENABLE_BOTH = 0;
constexpr unsigned ESB_DISABLE_LTUP = 1;
constexpr unsigned ESB_DISABLE_LEFT = 1;
constexpr unsigned ESB_DISABLE_UP = 1;
constexpr unsigned ESB_DISABLE_RTDN = 2;
constexpr unsigned ESB_DISABLE_RIGHT = 2;
constexpr unsigned ESB_DISABLE_DOWN = 2;
constexpr unsigned ESB_DISABLE_BOTH = 3;

// SetScrollInfo / GetScrollInfo members.
constexpr unsigned SIF_RANGE = 0x1;
constexpr unsigned SIF_PAGE = 0x2;
constexpr unsigned SIF_POS = 0x4;
constexpr unsigned SIF_DISABLENOSCROLL = 0x8;
constexpr unsigned SIF_TRACKPOS = 0x10;
constexpr unsigned SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

struct TScrollInfo {
  uint32_t cbSize = sizeof(TScrollInfo);
  unsigned fMask = 0;
  int nMin = 0;
  int nMax = 0;
  unsigned nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};

// One scroll bar.  A new bar has range 0..100, page 0, position 0, hidden,
// both arrows enabled.
class TScrollBarState {
 public:
  int Min() const { return min_; }
  int Max() const { return max_; }
  unsigned Page() const { return page_; }
  int Pos() const { return pos_; }
  int TrackPos() const { return track_pos_; }
  bool Tracking() const { return tracking_; }
  bool Visible() const { return visible_; }
  // ESB_* bits of the disabled arrows.
  unsigned DisabledArrows() const { return disabled_; }
  bool Enabled() const { return disabled_ != ESB_DISABLE_BOTH; }

  // The highest position the thumb can take: Max - max(Page - 1, 0).
  int MaxPos() const;
  // True when the range can be scrolled at all (the page does not cover it).
  bool Scrollable() const;

  // The window-system rules.  Each returns whether the visibility changed
  // (the owner then recomputes its client area).
  //  - SetRange: an empty range (min = max) hides the bar; the position is
  //    clamped to the new range.  A range wider than 2^31 - 1 is refused.
  bool SetRange(int min, int max, bool* refused = nullptr);
  //  - SetInfo: range, page (clamped to 0..range + 1) and position (clamped
  //    to Min..MaxPos) as fMask says.  When range or page is set and the bar
  //    becomes unnecessary it is hidden, or only disabled with
  //    SIF_DISABLENOSCROLL; a bar that becomes necessary again is shown.
  bool SetInfo(const TScrollInfo& info);
  //  - SetPos: clamped; returns the previous position through `previous`.
  void SetPos(int pos, int* previous = nullptr);
  bool Show(bool show);
  // ESB_* value; returns false when the arrows were already in that state.
  bool EnableArrows(unsigned esb);
  void GetInfo(TScrollInfo& info) const;

  // Tracking: the thumb follows the mouse at TrackPos until the drag ends.
  void BeginTrack(int pos);
  void EndTrack();

 private:
  int min_ = 0;
  int max_ = 100;
  unsigned page_ = 0;
  int pos_ = 0;
  int track_pos_ = 0;
  bool tracking_ = false;
  bool visible_ = false;
  unsigned disabled_ = ESB_ENABLE_BOTH;
};

// Parts of a scroll bar, for hit testing.
enum TScrollBarPart : uint8_t {
  sbpNone,
  sbpArrowUp,
  sbpPageUp,
  sbpThumb,
  sbpPageDown,
  sbpArrowDown
};

// Layout of a bar of `length` pixels along and `thickness` across: two
// square arrows (each `thickness` long, shortened when the bar is shorter
// than two arrows), the track between them and the thumb in the track.
// Offsets are measured along the bar from its start.
struct TScrollBarLayout {
  int length = 0;
  int arrow = 0;  // length of each arrow button
  int track_start = 0;
  int track_end = 0;  // exclusive
  int thumb_start = 0;
  int thumb_length = 0;  // 0: no thumb (disabled bar, or no room)

  static TScrollBarLayout Compute(const TScrollBarState& bar, int length, int thickness);
  TScrollBarPart HitTest(int offset) const;
  // The position a thumb whose start is dragged to `thumbStart` stands for.
  int PositionAt(const TScrollBarState& bar, int thumbStart) const;
};

// Smallest thumb, in pixels.
constexpr int kMinThumbLength = 8;

// Paints a bar into `rect` of a canvas: button-face arrows with raised
// edges and black (grey when disabled) triangles, a checkered track and a
// raised thumb.  `pressed` is drawn sunken.
void PaintScrollBar(TCanvas& canvas, const TRect& rect, bool vertical, const TScrollBarState& bar,
                    TScrollBarPart pressed = sbpNone);

// A rectangle edge in the 3-D system colours, drawn with FillRect lines:
// raised (highlight and light at the top-left, dark shadow and shadow at
// the bottom-right) or sunken (the reverse), two pixels wide.
void PaintEdge3D(TCanvas& canvas, const TRect& rect, bool sunken);
// A one-pixel frame.
void PaintFrame(TCanvas& canvas, const TRect& rect, uint32_t color);

}  // namespace pictavo
