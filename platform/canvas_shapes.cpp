// Closed shapes of TCanvas: polygons, rectangles, rounded rectangles,
// ellipses, arcs, chords and pies.
#include <algorithm>
#include <cmath>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/raster.h"

namespace pictavo {

using raster::RoundBox;
using raster::RowSpan;

namespace {

bool IsDashed(TPenStyle s) {
  return s == psDash || s == psDot || s == psDashDot || s == psDashDotDot;
}

// The box of a shape with its corners in any order.
struct Box {
  int64_t l, t, r, b;
};
Box Normalised(int x1, int y1, int x2, int y2) {
  int64_t a = raster::ClampCoord(x1), b = raster::ClampCoord(x2);
  int64_t c = raster::ClampCoord(y1), d = raster::ClampCoord(y2);
  return {std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
}

// Screen-counter-clockwise cross product: positive when v turns
// counter-clockwise from u as seen on the screen (y grows downwards).
int64_t Ccw(int64_t ux, int64_t uy, int64_t vx, int64_t vy) {
  return uy * vx - ux * vy;
}

// The sweep of Arc, Chord and Pie from ray s to ray e (doubled offsets from
// the centre), counter-clockwise on the screen; rays included.
struct Sweep {
  int64_t sx, sy, ex, ey;
  bool Contains(int64_t px, int64_t py) const {
    int64_t se = Ccw(sx, sy, ex, ey);
    if (se == 0 && sx * ex + sy * ey >= 0) return true;  // equal rays: all
    bool after_s = Ccw(sx, sy, px, py) >= 0, before_e = Ccw(px, py, ex, ey) >= 0;
    return se > 0 ? after_s && before_e : after_s || before_e;
  }
};

template <typename Pred>
std::vector<RowSpan> Filter(const std::vector<RowSpan>& in, Pred pred) {
  std::vector<RowSpan> out;
  for (const RowSpan& s : in) {
    int32_t start = s.l;
    bool open = false;
    for (int32_t x = s.l; x < s.r; ++x) {
      bool keep = pred(int64_t(x), int64_t(s.y));
      if (keep && !open) start = x;
      if (!keep && open) out.push_back({s.y, start, x});
      open = keep;
    }
    if (open) out.push_back({s.y, start, s.r});
  }
  return out;
}

// Where the ray from the centre (doubled cx2, cy2) along (dx, dy) leaves the
// ellipse with doubled semi-axes a2, b2, as the nearest pixel.
TPoint RayEnd(int64_t cx2, int64_t cy2, int64_t a2, int64_t b2, int64_t dx, int64_t dy) {
  double q = 0;
  if (a2 > 0) q += double(dx) * double(dx) / (double(a2) * double(a2));
  if (b2 > 0) q += double(dy) * double(dy) / (double(b2) * double(b2));
  double k = q > 0 ? 1 / std::sqrt(q) : 0;
  double x = (double(cx2) + k * double(dx)) / 2, y = (double(cy2) + k * double(dy)) / 2;
  return TPoint(int32_t(std::nearbyint(x)), int32_t(std::nearbyint(y)));
}

}  // namespace

// Pixels of a width-1 outline in the order of their angle about the centre
// (doubled cx2, cy2), from the direction (sx, sy) counter-clockwise, cut
// into the dash pattern.
static void DashByAngle(const std::vector<RowSpan>& ring, int64_t cx2, int64_t cy2, double start,
                        bool keep_gaps, TPenStyle style, std::vector<RowSpan>& on,
                        std::vector<RowSpan>& gap) {
  struct Px {
    double angle;
    int32_t x, y;
  };
  std::vector<Px> px;
  for (const RowSpan& s : ring)
    for (int32_t x = s.l; x < s.r; ++x) {
      double a = std::atan2(-double(2 * int64_t(s.y) - cy2), double(2 * int64_t(x) - cx2)) - start;
      while (a < 0) a += 2 * M_PI;
      while (a >= 2 * M_PI) a -= 2 * M_PI;
      px.push_back({a, x, s.y});
    }
  std::sort(px.begin(), px.end(), [](const Px& p, const Px& q) {
    if (p.angle != q.angle) return p.angle < q.angle;
    return p.y != q.y ? p.y < q.y : p.x < q.x;
  });
  // The same cosmetic patterns as lines (canvas.h).
  static const int kRuns[4][7] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  static const int kCounts[4] = {2, 2, 4, 6};
  int k = style - psDash;
  int period = 0;
  for (int i = 0; i < kCounts[k]; ++i) period += kRuns[k][i];
  for (size_t i = 0; i < px.size(); ++i) {
    int pos = int(i % size_t(period)), run = 0;
    while (pos >= kRuns[k][run]) pos -= kRuns[k][run++];
    if (run % 2 == 0)
      on.push_back({px[i].y, px[i].x, px[i].x + 1});
    else if (keep_gaps)
      gap.push_back({px[i].y, px[i].x, px[i].x + 1});
  }
}

void TCanvas::BoxShape(int x1, int y1, int x2, int y2, int ew, int eh) {
  if (!bitmap_ || bitmap_->Empty()) return;
  TRect vis = VisibleBounds();
  if (vis.IsEmpty()) return;
  Box k = Normalised(x1, y1, x2, y2);
  int64_t w = pen_.GetWidth();
  TPenStyle style = pen_.GetStyle();
  Spans on, gap, fill, inside;
  if (style == psClear) {
    raster::BandSpans(RoundBox(k.l, k.t, k.r - 1, k.b - 1, ew, eh), RoundBox(), vis, inside,
                      inside);
  } else if (w == 1 && IsDashed(style) && ew == 0) {
    if (k.r - k.l >= 2 && k.b - k.t >= 2) {
      TPoint c[4] = {TPoint(int32_t(k.l), int32_t(k.t)), TPoint(int32_t(k.r - 1), int32_t(k.t)),
                     TPoint(int32_t(k.r - 1), int32_t(k.b - 1)),
                     TPoint(int32_t(k.l), int32_t(k.b - 1))};
      dash_pos_ = 0;
      StrokePath(c, 4, true, on, gap);
      raster::BandSpans(RoundBox(k.l + 1, k.t + 1, k.r - 1, k.b - 1, 0, 0), RoundBox(), vis, inside,
                        inside);
    } else {
      raster::BandSpans(RoundBox(k.l, k.t, k.r, k.b, 0, 0), RoundBox(), vis, on, on);
    }
  } else if (w == 1) {
    Spans ring;
    raster::RingSpans(RoundBox(k.l, k.t, k.r, k.b, ew, eh), vis, ring, inside);
    if (IsDashed(style))
      DashByAngle(ring, k.l + k.r - 1, k.t + k.b - 1, 0, BackgroundOpaque(), style, on, gap);
    else
      on = std::move(ring);
  } else if (style == psInsideFrame) {
    RoundBox outer(k.l, k.t, k.r, k.b, ew, eh);
    RoundBox inner(k.l + w, k.t + w, k.r - w, k.b - w, ew - 2 * w, eh - 2 * w);
    raster::BandSpans(outer, inner, vis, on, inside);
  } else {
    int64_t d1 = (w - 1) / 2, d2 = w - 1 - d1;
    RoundBox outer(k.l - d1, k.t - d1, k.r + d2, k.b + d2, ew > 0 ? ew + w - 1 : w,
                   eh > 0 ? eh + w - 1 : w);
    RoundBox inner(k.l - d1 + w, k.t - d1 + w, k.r + d2 - w, k.b + d2 - w,
                   std::max<int64_t>(ew - w - 1, 0), std::max<int64_t>(eh - w - 1, 0));
    raster::BandSpans(outer, inner, vis, on, inside);
  }
  if (brush_.GetStyle() != bsClear) fill = std::move(inside);
  PaintLayers(fill, on, gap);
}

void TCanvas::ArcShape(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  enum { kArc, kChord, kPie };
  if (!bitmap_ || bitmap_->Empty()) return;
  TRect vis = VisibleBounds();
  if (vis.IsEmpty()) return;
  Box k = Normalised(x1, y1, x2, y2);
  if (k.r <= k.l || k.b <= k.t) return;
  TPenStyle style = pen_.GetStyle();
  int64_t w = pen_.GetWidth();
  bool clear = style == psClear;
  if (clear && kind == kArc) return;
  int64_t r = clear ? k.r - 1 : k.r, b = clear ? k.b - 1 : k.b;
  int64_t cx2 = k.l + r - 1, cy2 = k.t + b - 1;
  Sweep sweep{2 * int64_t(raster::ClampCoord(x3)) - cx2, 2 * int64_t(raster::ClampCoord(y3)) - cy2,
              2 * int64_t(raster::ClampCoord(x4)) - cx2, 2 * int64_t(raster::ClampCoord(y4)) - cy2};
  auto in_sweep = [&](int64_t x, int64_t y) { return sweep.Contains(2 * x - cx2, 2 * y - cy2); };
  Spans ring, inside, on, gap, fill;
  RoundBox box(k.l, k.t, r, b, r - k.l, b - k.t);
  if (clear || w == 1) {
    raster::RingSpans(box, vis, ring, inside);
    if (clear) {  // the outline's pixels belong to the fill
      inside.insert(inside.end(), ring.begin(), ring.end());
      ring.clear();
    }
  } else if (style == psInsideFrame) {
    raster::BandSpans(box,
                      RoundBox(k.l + w, k.t + w, r - w, b - w, r - k.l - 2 * w, b - k.t - 2 * w),
                      vis, ring, inside);
  } else {
    int64_t d1 = (w - 1) / 2, d2 = w - 1 - d1;
    RoundBox outer(k.l - d1, k.t - d1, r + d2, b + d2, r - k.l + w - 1, b - k.t + w - 1);
    RoundBox inner(k.l - d1 + w, k.t - d1 + w, r + d2 - w, b + d2 - w, r - k.l - w - 1,
                   b - k.t - w - 1);
    raster::BandSpans(outer, inner, vis, ring, inside);
  }
  ring = Filter(ring, in_sweep);
  dash_pos_ = 0;
  if (w == 1 && IsDashed(style)) {
    double start = std::atan2(-double(sweep.sy), double(sweep.sx));
    DashByAngle(ring, cx2, cy2, start, BackgroundOpaque(), style, on, gap);
  } else {
    on = std::move(ring);
  }
  TPoint s = RayEnd(cx2, cy2, r - k.l - 1, b - k.t - 1, sweep.sx, sweep.sy);
  TPoint e = RayEnd(cx2, cy2, r - k.l - 1, b - k.t - 1, sweep.ex, sweep.ey);
  if (kind == kChord) {
    TPoint line[2] = {e, s};
    StrokePath(line, 2, false, on, gap);
    int64_t dx = e.x - s.x, dy = e.y - s.y;
    fill = Filter(inside, [&](int64_t x, int64_t y) { return Ccw(dx, dy, x - s.x, y - s.y) <= 0; });
  } else if (kind == kPie) {
    TPoint centre(int32_t(raster::FloorDiv(cx2, 2)), int32_t(raster::FloorDiv(cy2, 2)));
    TPoint line[3] = {e, centre, s};
    StrokePath(line, 3, false, on, gap);
    fill = Filter(inside, in_sweep);
  }
  if (brush_.GetStyle() == bsClear) fill.clear();
  PaintLayers(fill, on, gap);
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  BoxShape(x1, y1, x2, y2, 0, 0);
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
  BoxShape(x1, y1, x2, y2, std::max(w, 0), std::max(h, 0));
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  int64_t w = std::abs(int64_t(raster::ClampCoord(x2)) - raster::ClampCoord(x1));
  int64_t h = std::abs(int64_t(raster::ClampCoord(y2)) - raster::ClampCoord(y1));
  if (pen_.GetStyle() == psClear) --w, --h;
  BoxShape(x1, y1, x2, y2, int(std::max<int64_t>(w, 0)), int(std::max<int64_t>(h, 0)));
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcShape(0, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcShape(1, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ArcShape(2, x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Polygon(const TPoint* points, int count) {
  PolyPolygon(points, &count, 1);
}

void TCanvas::PolyPolygon(const TPoint* points, const int* counts, int polygons) {
  if (!bitmap_ || bitmap_->Empty() || !points || !counts || polygons <= 0) return;
  TRect vis = VisibleBounds();
  if (vis.IsEmpty()) return;
  size_t total = 0;
  for (int i = 0; i < polygons; ++i) total += size_t(std::max(counts[i], 0));
  std::vector<TPoint> pts(points, points + total);
  for (TPoint& p : pts) p = raster::ClampPoint(p);
  Spans on, gap, fill;
  if (brush_.GetStyle() != bsClear) {
    TRegion region = TRegion::FromPolyPolygon(pts.data(), counts, polygons, fill_mode_, &vis);
    for (const TRegionBand& band : region.Bands())
      for (int32_t y = band.top; y < band.bottom; ++y)
        for (const TSpan& s : band.spans) fill.push_back({y, s.left, s.right});
  }
  dash_pos_ = 0;
  const TPoint* poly = pts.data();
  for (int i = 0; i < polygons; poly += std::max(counts[i], 0), ++i)
    if (counts[i] >= 2) StrokePath(poly, counts[i], true, on, gap);
  PaintLayers(fill, on, gap);
}

}  // namespace pictavo
