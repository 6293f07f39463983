// Lines of TCanvas: MoveTo/LineTo, Polyline, the pen's dash patterns and wide
// pens, and LineDDA.
#include <algorithm>

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
    for (int64_t i = i0; i < i1; ++i) {
      TPoint p = line.Pixel(i);
      if (p.x < vis.Left || p.x >= vis.Right || p.y < vis.Top || p.y >= vis.Bottom) continue;
      if (!dash || DashOn(*dash, dash_pos_ + i))
        pen.Add(p.x, p.y);
      else if (keep_gaps)
        back.Add(p.x, p.y);
    }
  }
  if (dash) dash_pos_ = int((dash_pos_ + line.n) % dash->period);
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
  for (const RowSpan& s : spans) PaintInk(s.y, s.l, s.r, ink);
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
    TPoint path[2] = {pen_pos_, to};
    Spans on, gap, fill;
    StrokePath(path, 2, false, on, gap);
    if (pen_.GetWidth() <= 1) {
      // One line's pixels are distinct: paint them as gathered.
      Ink back;
      back.value = bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor()));
      back.mode = pen_.GetMode();
      PaintSpans(gap, back);
      PaintSpans(on, PenInk());
    } else {
      PaintLayers(fill, on, gap);
    }
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
  for (int64_t i = 0; i < line.n; ++i) {
    TPoint p = line.Pixel(i);
    fn(p.x, p.y);
  }
}

}  // namespace pictavo
