// Lines of TCanvas: MoveTo/LineTo, Polyline, the pen's dash patterns and wide
// pens, and LineDDA.
#include <algorithm>
#include <cstring>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/raster.h"

namespace pictavo {

using raster::RowSpan;

namespace {

// Cosmetic dash patterns in pixels: on, off, on, off, ...
struct DashPattern {
  uint8_t runs[6];
  int count;
  int period;
};
constexpr DashPattern kDash{{18, 6}, 2, 24};
constexpr DashPattern kDot{{3, 3}, 2, 6};
constexpr DashPattern kDashDot{{9, 6, 3, 6}, 4, 24};
constexpr DashPattern kDashDotDot{{9, 3, 3, 3, 3, 3}, 6, 24};

const DashPattern* PatternOf(TPenStyle style) {
  switch (style) {
    case psDash:
      return &kDash;
    case psDot:
      return &kDot;
    case psDashDot:
      return &kDashDot;
    case psDashDotDot:
      return &kDashDotDot;
    default:
      return nullptr;
  }
}

bool DashOn(const DashPattern& p, int64_t pos) {
  int64_t k = pos % p.period;
  for (int i = 0; i < p.count; ++i) {
    if (k < p.runs[i]) return i % 2 == 0;
    k -= p.runs[i];
  }
  return false;
}

// Gathers single pixels into horizontal runs.
class RunCollector {
 public:
  explicit RunCollector(std::vector<RowSpan>& out) : out_(out) {}
  ~RunCollector() { Flush(); }
  void Add(int32_t x, int32_t y) {
    if (open_ && y == run_.y && x == run_.r) {
      ++run_.r;
      return;
    }
    if (open_ && y == run_.y && x == run_.l - 1) {
      --run_.l;
      return;
    }
    Flush();
    run_ = {y, x, x + 1};
    open_ = true;
  }
  void Flush() {
    if (open_) out_.push_back(run_);
    open_ = false;
  }

 private:
  std::vector<RowSpan>& out_;
  RowSpan run_{0, 0, 0};
  bool open_ = false;
};

}  // namespace

void TCanvas::StrokeThin(TPoint a, TPoint b, Spans& on, Spans& gap) {
  raster::ThinLine line(a, b);
  if (line.n == 0) return;
  TRect vis = VisibleBounds();
  const DashPattern* dash = PatternOf(pen_.GetStyle());
  bool keep_gaps = dash && BackgroundOpaque();
  int64_t i0 = 0, i1 = 0;
  if (!vis.IsEmpty())
    line.StepRange(line.x_major ? vis.Left : vis.Top, line.x_major ? vis.Right : vis.Bottom, i0,
                   i1);
  {
    RunCollector pen(on), back(gap);
    line.Walk(i0, i1, [&](int64_t i, int32_t x, int32_t y) {
      if (x < vis.Left || x >= vis.Right || y < vis.Top || y >= vis.Bottom) return;
      if (!dash || DashOn(*dash, dash_pos_ + i))
        pen.Add(x, y);
      else if (keep_gaps)
        back.Add(x, y);
    });
  }
  if (dash) dash_pos_ = int((dash_pos_ + line.n) % dash->period);
}

bool TCanvas::FastThinLine(TPoint a, TPoint b) {
  int bits = StorageBitCount(bitmap_->GetPixelFormat());
  if (clip_ || pen_.GetWidth() != 1 || pen_.GetMode() != pmCopy ||
      (pen_.GetStyle() != psSolid && pen_.GetStyle() != psInsideFrame) ||
      (bits != 24 && bits != 32))
    return false;
  raster::ThinLine line(a, b);
  int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  int64_t i0 = 0, i1 = 0;
  line.StepRange(0, line.x_major ? w : h, i0, i1);
  TColor c = ColorToRGB(pen_.GetColor());
  uint8_t px[4] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
  uint8_t* base = bitmap_->ScanLine(0);
  int64_t stride = bitmap_->RowBytes();
  size_t bytes = size_t(bits / 8);
  line.Walk(i0, i1, [&](int64_t, int32_t x, int32_t y) {
    if (x >= 0 && x < w && y >= 0 && y < h)
      std::memcpy(base + stride * y + int64_t(x) * int64_t(bytes), px, bytes);
  });
  return true;
}

void TCanvas::StrokePath(const TPoint* points, int count, bool closed, Spans& on, Spans& gap) {
  if (!points || count < 2 || pen_.GetStyle() == psClear) return;
  int segments = closed ? count : count - 1;
  if (pen_.GetWidth() <= 1) {
    for (int i = 0; i < segments; ++i) StrokeThin(points[i], points[(i + 1) % count], on, gap);
    return;
  }
  TRect vis = VisibleBounds();
  if (vis.IsEmpty()) return;
  for (int i = 0; i < segments; ++i) {
    TPoint a = points[i], b = points[(i + 1) % count];
    if (a == b) continue;
    raster::CapsuleSpans(a, b, pen_.GetWidth(), vis, on);
  }
}

void TCanvas::PaintSpans(const Spans& spans, const Ink& ink) {
  int bits = bitmap_ ? StorageBitCount(bitmap_->GetPixelFormat()) : 0;
  if (clip_ || ink.hatch || ink.mode != pmCopy || (bits != 24 && bits != 32) || spans.empty()) {
    for (const RowSpan& s : spans) PaintInk(s.y, s.l, s.r, ink);
    return;
  }
  // Solid copy onto unclipped 24/32-bit rows: bytes written in place.
  uint8_t px[4] = {uint8_t(ink.value), uint8_t(ink.value >> 8), uint8_t(ink.value >> 16), 0};
  int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  size_t bytes = size_t(bits / 8);
  uint8_t* base = bitmap_->ScanLine(0);
  int64_t stride = bitmap_->RowBytes();
  for (const RowSpan& s : spans) {
    if (s.y < 0 || s.y >= h) continue;
    int x0 = std::max(s.l, 0), x1 = std::min(s.r, w);
    uint8_t* p = base + stride * s.y + int64_t(x0) * int64_t(bytes);
    for (int x = x0; x < x1; ++x, p += bytes) std::memcpy(p, px, bytes);
  }
}

void TCanvas::PaintLayers(Spans& fill, Spans& on, Spans& gap) {
  raster::NormaliseSpans(on);
  raster::NormaliseSpans(gap);
  raster::NormaliseSpans(fill);
  if (!gap.empty()) gap = raster::SubtractSpans(gap, on);
  if (!fill.empty()) {
    if (!on.empty()) fill = raster::SubtractSpans(fill, on);
    if (!gap.empty()) fill = raster::SubtractSpans(fill, gap);
  }
  PaintSpans(fill, BrushInk(pen_.GetMode()));
  Ink back;
  back.value = bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor()));
  back.mode = pen_.GetMode();
  PaintSpans(gap, back);
  PaintSpans(on, PenInk());
}

void TCanvas::MoveTo(int x, int y) {
  pen_pos_ = raster::ClampPoint(TPoint(x, y));
  dash_pos_ = 0;
}

void TCanvas::LineTo(int x, int y) {
  TPoint to = raster::ClampPoint(TPoint(x, y));
  if (bitmap_ && !bitmap_->Empty()) {
    if (FastThinLine(pen_pos_, to)) {
      pen_pos_ = to;
      return;
    }
    TPoint path[2] = {pen_pos_, to};
    Spans on, gap;
    StrokePath(path, 2, false, on, gap);
    // One line's pixels are distinct, and a capsule's rows come in order:
    // paint them as gathered.
    Ink back;
    back.value = bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor()));
    back.mode = pen_.GetMode();
    PaintSpans(gap, back);
    PaintSpans(on, PenInk());
  }
  pen_pos_ = to;
}

void TCanvas::Polyline(const TPoint* points, int count) {
  if (!bitmap_ || bitmap_->Empty() || !points || count < 2) return;
  std::vector<TPoint> pts(points, points + count);
  for (TPoint& p : pts) p = raster::ClampPoint(p);
  dash_pos_ = 0;
  Spans on, gap, fill;
  StrokePath(pts.data(), count, false, on, gap);
  PaintLayers(fill, on, gap);
}

void LineDDA(int x1, int y1, int x2, int y2, const std::function<void(int, int)>& fn) {
  raster::ThinLine line(TPoint(x1, y1), TPoint(x2, y2));
  line.Walk(0, line.n, [&](int64_t, int32_t x, int32_t y) { fn(x, y); });
}

}  // namespace pictavo
