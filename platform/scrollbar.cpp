#include "platform/scrollbar.h"

#include <algorithm>
#include <climits>

#include "platform/canvas.h"

namespace pictavo {

int TScrollBarState::MaxPos() const {
  int64_t top = int64_t(max_) - std::max<int64_t>(int64_t(page_) - 1, 0);
  return static_cast<int>(std::max<int64_t>(top, min_));
}

bool TScrollBarState::Scrollable() const {
  if (max_ <= min_) return false;
  return int64_t(page_) <= int64_t(max_) - min_;
}

bool TScrollBarState::SetRange(int min, int max, bool* refused) {
  if (refused) *refused = false;
  if (int64_t(max) - min > INT_MAX || max < min) {
    if (refused) *refused = true;
    return false;
  }
  min_ = min;
  max_ = max;
  page_ = static_cast<unsigned>(std::min<int64_t>(page_, int64_t(max_) - min_ + 1));
  pos_ = std::clamp(pos_, min_, MaxPos());
  // An empty range removes the bar; a real range brings it back.
  return Show(min_ != max_);
}

bool TScrollBarState::SetInfo(const TScrollInfo& info) {
  if (info.fMask & SIF_RANGE) {
    min_ = info.nMin;
    max_ = std::max(info.nMax, info.nMin);
  }
  if (info.fMask & (SIF_RANGE | SIF_PAGE)) {
    unsigned page = (info.fMask & SIF_PAGE) ? info.nPage : page_;
    page_ = static_cast<unsigned>(std::min<int64_t>(page, int64_t(max_) - min_ + 1));
  }
  if (info.fMask & SIF_POS) pos_ = info.nPos;
  pos_ = std::clamp(pos_, min_, MaxPos());
  if (!(info.fMask & (SIF_RANGE | SIF_PAGE))) return false;
  bool keep = (info.fMask & SIF_DISABLENOSCROLL) != 0;
  if (!Scrollable()) {
    if (keep) {
      disabled_ = ESB_DISABLE_BOTH;
      return false;
    }
    return Show(false);
  }
  if (keep) disabled_ = ESB_ENABLE_BOTH;
  return Show(true);
}

void TScrollBarState::SetPos(int pos, int* previous) {
  if (previous) *previous = pos_;
  pos_ = std::clamp(pos, min_, MaxPos());
}

bool TScrollBarState::Show(bool show) {
  if (visible_ == show) return false;
  visible_ = show;
  return true;
}

bool TScrollBarState::EnableArrows(unsigned esb) {
  esb &= ESB_DISABLE_BOTH;
  if (disabled_ == esb) return false;
  disabled_ = esb;
  return true;
}

void TScrollBarState::GetInfo(TScrollInfo& info) const {
  if (info.fMask & SIF_RANGE) {
    info.nMin = min_;
    info.nMax = max_;
  }
  if (info.fMask & SIF_PAGE) info.nPage = page_;
  if (info.fMask & SIF_POS) info.nPos = pos_;
  if (info.fMask & SIF_TRACKPOS) info.nTrackPos = tracking_ ? track_pos_ : pos_;
}

void TScrollBarState::BeginTrack(int pos) {
  tracking_ = true;
  track_pos_ = std::clamp(pos, min_, MaxPos());
}

void TScrollBarState::EndTrack() {
  tracking_ = false;
}

TScrollBarLayout TScrollBarLayout::Compute(const TScrollBarState& bar, int length, int thickness) {
  TScrollBarLayout l;
  l.length = std::max(length, 0);
  l.arrow = std::min(thickness, l.length / 2);
  l.track_start = l.arrow;
  l.track_end = l.length - l.arrow;
  int track = l.track_end - l.track_start;
  if (!bar.Enabled() || !bar.Scrollable() || track <= 0) return l;
  int64_t range = int64_t(bar.Max()) - bar.Min() + 1;
  int64_t thumb = bar.Page() == 0 ? thickness : int64_t(track) * bar.Page() / range;
  thumb = std::max<int64_t>(thumb, kMinThumbLength);
  if (thumb > track) return l;
  l.thumb_length = static_cast<int>(thumb);
  int64_t span = int64_t(bar.MaxPos()) - bar.Min();
  int64_t pos = int64_t(bar.Tracking() ? bar.TrackPos() : bar.Pos()) - bar.Min();
  int64_t avail = track - thumb;
  l.thumb_start = l.track_start + static_cast<int>(span > 0 ? pos * avail / span : 0);
  return l;
}

TScrollBarPart TScrollBarLayout::HitTest(int offset) const {
  if (offset < 0 || offset >= length) return sbpNone;
  if (offset < arrow) return sbpArrowUp;
  if (offset >= length - arrow) return sbpArrowDown;
  if (thumb_length == 0) return sbpNone;
  if (offset < thumb_start) return sbpPageUp;
  if (offset < thumb_start + thumb_length) return sbpThumb;
  return sbpPageDown;
}

int TScrollBarLayout::PositionAt(const TScrollBarState& bar, int thumbStart) const {
  int64_t avail = int64_t(track_end - track_start) - thumb_length;
  int64_t span = int64_t(bar.MaxPos()) - bar.Min();
  if (avail <= 0 || span <= 0) return bar.Min();
  int64_t off = std::clamp<int64_t>(thumbStart - track_start, 0, avail);
  return static_cast<int>(bar.Min() + (off * span + avail / 2) / avail);
}

namespace {

void FillLine(TCanvas& canvas, const TRect& r, TColor color) {
  canvas.Brush().SetColor(color);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(r);
}

// One ring of an edge: the top and left lines in `tl`, the bottom and right
// lines (which own the two far corners) in `br`.
void EdgeRing(TCanvas& canvas, const TRect& r, TColor tl, TColor br) {
  if (r.IsEmpty()) return;
  FillLine(canvas, Rect(r.Left, r.Top, r.Right - 1, r.Top + 1), tl);
  FillLine(canvas, Rect(r.Left, r.Top, r.Left + 1, r.Bottom - 1), tl);
  FillLine(canvas, Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), br);
  FillLine(canvas, Rect(r.Right - 1, r.Top, r.Right, r.Bottom), br);
}

TRect Deflate(const TRect& r, int d) {
  return Rect(r.Left + d, r.Top + d, r.Right - d, r.Bottom - d);
}

void Button(TCanvas& canvas, const TRect& r, bool pressed) {
  FillLine(canvas, r, clBtnFace);
  if (pressed) {
    EdgeRing(canvas, r, clBtnShadow, clBtnShadow);
  } else {
    PaintEdge3D(canvas, r, false);
  }
}

// A filled triangle pointing along `dir` (0 up, 1 down, 2 left, 3 right).
void Arrow(TCanvas& canvas, const TRect& r, int dir, TColor color, bool pressed) {
  constexpr int kArrowRows = 4;
  int cx = (r.Left + r.Right) / 2 - 1 + (pressed ? 1 : 0);
  int cy = (r.Top + r.Bottom) / 2 - 1 + (pressed ? 1 : 0);
  for (int i = 0; i < kArrowRows; ++i) {
    int half = i;  // rows 1, 3, 5, 7 pixels wide
    int along = (dir == 0 || dir == 2) ? i - kArrowRows / 2 : kArrowRows / 2 - 1 - i;
    if (dir < 2)
      FillLine(canvas, Rect(cx - half, cy + along, cx + half + 1, cy + along + 1), color);
    else
      FillLine(canvas, Rect(cx + along, cy - half, cx + along + 1, cy + half + 1), color);
  }
}

void CheckerTrack(TCanvas& canvas, const TRect& r) {
  TColor light = ColorToRGB(clBtnHighlight), face = ColorToRGB(clScrollBar);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) canvas.SetPixel(x, y, ((x + y) & 1) ? light : face);
}

}  // namespace

void PaintEdge3D(TCanvas& canvas, const TRect& rect, bool sunken) {
  if (sunken) {
    EdgeRing(canvas, rect, clBtnShadow, clBtnHighlight);
    EdgeRing(canvas, Deflate(rect, 1), cl3DDkShadow, cl3DLight);
  } else {
    EdgeRing(canvas, rect, cl3DLight, cl3DDkShadow);
    EdgeRing(canvas, Deflate(rect, 1), clBtnHighlight, clBtnShadow);
  }
}

void PaintFrame(TCanvas& canvas, const TRect& rect, uint32_t color) {
  EdgeRing(canvas, rect, color, color);
}

void PaintScrollBar(TCanvas& canvas, const TRect& rect, bool vertical, const TScrollBarState& bar,
                    TScrollBarPart pressed) {
  if (rect.IsEmpty()) return;
  int length = vertical ? rect.Height() : rect.Width();
  int thickness = vertical ? rect.Width() : rect.Height();
  TScrollBarLayout l = TScrollBarLayout::Compute(bar, length, thickness);
  auto part = [&](int from, int to) {
    return vertical ? Rect(rect.Left, rect.Top + from, rect.Right, rect.Top + to)
                    : Rect(rect.Left + from, rect.Top, rect.Left + to, rect.Bottom);
  };
  CheckerTrack(canvas, part(l.track_start, l.track_end));
  if (pressed == sbpPageUp) FillLine(canvas, part(l.track_start, l.thumb_start), cl3DDkShadow);
  if (pressed == sbpPageDown)
    FillLine(canvas, part(l.thumb_start + l.thumb_length, l.track_end), cl3DDkShadow);
  unsigned off = bar.DisabledArrows();
  bool upPressed = pressed == sbpArrowUp, downPressed = pressed == sbpArrowDown;
  TRect up = part(0, l.arrow), down = part(l.length - l.arrow, l.length);
  Button(canvas, up, upPressed);
  Button(canvas, down, downPressed);
  TColor upColor = (off & ESB_DISABLE_LTUP) ? clGrayText : clBtnText;
  TColor downColor = (off & ESB_DISABLE_RTDN) ? clGrayText : clBtnText;
  Arrow(canvas, up, vertical ? 0 : 2, upColor, upPressed);
  Arrow(canvas, down, vertical ? 1 : 3, downColor, downPressed);
  if (l.thumb_length > 0)
    Button(canvas, part(l.thumb_start, l.thumb_start + l.thumb_length), false);
}

}  // namespace pictavo
