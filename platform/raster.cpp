#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pictavo::raster {

namespace {

using i128 = __int128;

int64_t Abs(int64_t v) {
  return v < 0 ? -v : v;
}

// Largest m >= 0 with m * m <= v (v >= 0), exact for 128-bit values.
int64_t ISqrt(i128 v) {
  if (v <= 0) return 0;
  int64_t m = int64_t(std::sqrt(double(v)));
  while (m > 0 && i128(m) * m > v) --m;
  while (i128(m + 1) * (m + 1) <= v) ++m;
  return m;
}

// A capsule in doubled coordinates: centres of pixels are odd numbers.
struct Capsule {
  int64_t ax, ay, bx, by, r;

  // Every difference stays below 2^30 (coordinates are clamped to 2^27 and
  // doubled), so products fit in 64 bits and squares of them in 128.
  bool Inside(int64_t px, int64_t py) const {
    int64_t vx = px - ax, vy = py - ay, dx = bx - ax, dy = by - ay;
    int64_t dot = vx * dx + vy * dy, len2 = dx * dx + dy * dy, r2 = r * r;
    if (dot <= 0) return vx * vx + vy * vy < r2;
    if (dot >= len2) {
      int64_t wx = px - bx, wy = py - by;
      return wx * wx + wy * wy < r2;
    }
    int64_t cross = dx * vy - dy * vx;
    // Decided in double precision unless it is close, then exactly.
    double c2 = double(cross) * double(cross), rl = double(r2) * double(len2);
    if (c2 < rl * (1 - 1e-9)) return true;
    if (c2 > rl * (1 + 1e-9)) return false;
    return i128(cross) * cross < i128(r2) * len2;
  }

  // The real interval of X on row py where the capsule lies (lo > hi: none).
  void RowInterval(double py, double& lo, double& hi) const {
    lo = std::numeric_limits<double>::infinity();
    hi = -lo;
    double R = double(r);
    auto disc = [&](double cx, double cy) {
      double d = py - cy;
      if (std::fabs(d) >= R) return;
      double s = std::sqrt(R * R - d * d);
      lo = std::min(lo, cx - s);
      hi = std::max(hi, cx + s);
    };
    disc(double(ax), double(ay));
    disc(double(bx), double(by));
    double dx = double(bx - ax), dy = double(by - ay), vy = py - double(ay);
    if (dx == 0 && dy == 0) return;
    double len2 = dx * dx + dy * dy, len = std::sqrt(len2);
    double plo = -std::numeric_limits<double>::infinity(), phi = -plo;
    if (dx != 0) {
      double p0 = double(ax) - vy * dy / dx, p1 = double(ax) + (len2 - vy * dy) / dx;
      plo = std::min(p0, p1);
      phi = std::max(p0, p1);
    } else if (vy * dy < 0 || vy * dy > len2) {
      return;
    }
    double clo = -std::numeric_limits<double>::infinity(), chi = -clo;
    if (dy != 0) {
      double c0 = double(ax) + (dx * vy - R * len) / dy, c1 = double(ax) + (dx * vy + R * len) / dy;
      clo = std::min(c0, c1);
      chi = std::max(c0, c1);
    } else if (std::fabs(dx * vy) >= R * len) {
      return;
    }
    double l = std::max(plo, clo), h = std::min(phi, chi);
    if (l > h) return;
    lo = std::min(lo, l);
    hi = std::max(hi, h);
  }
};

// Offset of the corner ellipse's row with doubled offset dy from its centre:
// the largest doubled offset X (parity of a2) it holds.
int64_t EllipseHalfRow(int64_t a2, int64_t b2, int64_t dy) {
  if (a2 == 0 || b2 == 0 || Abs(dy) <= 1) return a2;
  i128 ka = i128(a2) * a2 + 2 * i128(a2), kb = i128(b2) * b2 + 2 * i128(b2);
  i128 rest = kb - i128(dy) * dy;
  if (rest < 0) return a2 % 2;  // the middle column always belongs
  // X^2 kb <= ka rest.
  int64_t x = std::min<int64_t>(a2, ISqrt((ka * rest) / kb));
  if ((x - a2) % 2 != 0) --x;
  while (x + 2 <= a2 && i128(x + 2) * (x + 2) * kb <= ka * rest) x += 2;
  while (x > 1 && i128(x) * x * kb > ka * rest) x -= 2;
  return std::max<int64_t>(x, a2 % 2);
}

void PushClipped(std::vector<RowSpan>& out, int64_t y, int64_t l, int64_t r, const TRect& lim) {
  l = std::max<int64_t>(l, lim.Left);
  r = std::min<int64_t>(r, lim.Right);
  if (l < r) out.push_back({int32_t(y), int32_t(l), int32_t(r)});
}

}  // namespace

int32_t ClampCoord(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, -kCoordLimit, kCoordLimit));
}

TPoint ClampPoint(TPoint p) {
  return TPoint(ClampCoord(p.x), ClampCoord(p.y));
}

int64_t CeilDiv(int64_t n, int64_t d) {
  return n >= 0 ? (n + d - 1) / d : -((-n) / d);
}

int64_t FloorDiv(int64_t n, int64_t d) {
  return n >= 0 ? n / d : -((-n + d - 1) / d);
}

ThinLine::ThinLine(TPoint from, TPoint to) : a(ClampPoint(from)), b(ClampPoint(to)) {
  int64_t dx = Abs(int64_t(b.x) - a.x), dy = Abs(int64_t(b.y) - a.y);
  x_major = dx >= dy;
  n = std::max(dx, dy);
}

void ThinLine::StepRange(int32_t lo, int32_t hi, int64_t& i0, int64_t& i1) const {
  int64_t start = x_major ? a.x : a.y;
  int64_t end = x_major ? b.x : b.y;
  if (end >= start) {
    i0 = int64_t(lo) - start;
    i1 = int64_t(hi) - start;
  } else {
    i0 = start - int64_t(hi) + 1;
    i1 = start - int64_t(lo) + 1;
  }
  i0 = std::max<int64_t>(i0, 0);
  i1 = std::min<int64_t>(i1, n);
}

void NormaliseSpans(std::vector<RowSpan>& spans) {
  auto before = [](const RowSpan& p, const RowSpan& q) {
    return p.y != q.y ? p.y < q.y : p.l < q.l;
  };
  // Spans of one segment or shape usually arrive in order.
  if (!std::is_sorted(spans.begin(), spans.end(), before))
    std::sort(spans.begin(), spans.end(), before);
  size_t out = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    if (out > 0 && spans[out - 1].y == spans[i].y && spans[i].l <= spans[out - 1].r) {
      spans[out - 1].r = std::max(spans[out - 1].r, spans[i].r);
      continue;
    }
    spans[out++] = spans[i];
  }
  spans.resize(out);
}

std::vector<RowSpan> SubtractSpans(const std::vector<RowSpan>& a, const std::vector<RowSpan>& b) {
  std::vector<RowSpan> out;
  size_t j = 0;
  for (const RowSpan& s : a) {
    while (j < b.size() && (b[j].y < s.y || (b[j].y == s.y && b[j].r <= s.l))) ++j;
    int32_t from = s.l;
    for (size_t k = j; k < b.size() && b[k].y == s.y && b[k].l < s.r; ++k) {
      if (b[k].l > from) out.push_back({s.y, from, b[k].l});
      from = std::max(from, b[k].r);
    }
    if (from < s.r) out.push_back({s.y, from, s.r});
  }
  return out;
}

void CapsuleSpans(TPoint a, TPoint b, int w, const TRect& limit, std::vector<RowSpan>& out) {
  a = ClampPoint(a);
  b = ClampPoint(b);
  int64_t shift = (w % 2) ? 1 : 0;
  Capsule c{2 * int64_t(a.x) + shift, 2 * int64_t(a.y) + shift, 2 * int64_t(b.x) + shift,
            2 * int64_t(b.y) + shift, w};
  int64_t ymin = std::min(c.ay, c.by) - c.r, ymax = std::max(c.ay, c.by) + c.r;
  int64_t y0 = std::max<int64_t>(FloorDiv(ymin - 1, 2), limit.Top);
  int64_t y1 = std::min<int64_t>(CeilDiv(ymax - 1, 2) + 1, limit.Bottom);
  for (int64_t y = y0; y < y1; ++y) {
    int64_t py = 2 * y + 1;
    double lo, hi;
    c.RowInterval(double(py), lo, hi);
    if (lo > hi) continue;
    // The first and last centres strictly inside the estimate, then moved
    // by the exact test (the row of a capsule is one interval).
    int64_t xl = int64_t(std::floor((lo - 1) / 2)) + 1, xr = int64_t(std::ceil((hi - 1) / 2)) - 1;
    if (xl > xr) xl = xr = int64_t(std::floor((lo + hi) / 4));
    auto in = [&](int64_t x) { return c.Inside(2 * x + 1, py); };
    if (in(xl)) {
      while (in(xl - 1)) --xl;
    } else {
      int64_t stop = std::max(xr, xl) + 64;  // beyond any rounding of the estimate
      while (xl <= stop && !in(xl)) ++xl;
      if (xl > stop) continue;
    }
    if (xr < xl) xr = xl;
    if (in(xr)) {
      while (in(xr + 1)) ++xr;
    } else {
      while (xr > xl && !in(xr)) --xr;
    }
    PushClipped(out, y, xl, xr + 1, limit);
  }
}

RoundBox::RoundBox(int64_t left, int64_t top, int64_t right, int64_t bottom, int64_t w, int64_t h)
    : l(left), t(top), r(right), b(bottom) {
  ew = std::clamp<int64_t>(w, 0, std::max<int64_t>(r - l, 0));
  eh = std::clamp<int64_t>(h, 0, std::max<int64_t>(b - t, 0));
}

int64_t RoundBox::Inset(int64_t i) const {
  if (ew <= 0 || eh <= 0) return 0;
  int64_t a2 = ew - 1, b2 = eh - 1;
  return (a2 - EllipseHalfRow(a2, b2, 2 * i - b2)) / 2;
}

void RoundBox::Row(int64_t y, int64_t& lo, int64_t& hi) const {
  if (y < t || y >= b) {
    lo = hi = 0;
    return;
  }
  int64_t i = y - t, j = b - 1 - y, inset = 0;
  if (i < eh / 2)
    inset = Inset(i);
  else if (j < eh / 2)
    inset = Inset(j);
  lo = l + inset;
  hi = r - inset;
}

void RingSpans(const RoundBox& box, const TRect& limit, std::vector<RowSpan>& ring,
               std::vector<RowSpan>& inside) {
  if (box.Empty()) return;
  int64_t y0 = std::max<int64_t>(box.t, limit.Top), y1 = std::min<int64_t>(box.b, limit.Bottom);
  // Each row's extent is worked out once and slides through above/here/below.
  int64_t alo, ahi, lo, hi, blo, bhi;
  box.Row(y0 - 1, alo, ahi);
  box.Row(y0, lo, hi);
  for (int64_t y = y0; y < y1; ++y, alo = lo, ahi = hi, lo = blo, hi = bhi) {
    box.Row(y + 1, blo, bhi);
    if (alo >= ahi || blo >= bhi) {  // top or bottom row: all of it is ring
      PushClipped(ring, y, lo, hi, limit);
      continue;
    }
    int64_t il = std::max({lo + 1, alo, blo}), ir = std::min({hi - 1, ahi, bhi});
    if (il >= ir) {
      PushClipped(ring, y, lo, hi, limit);
      continue;
    }
    PushClipped(ring, y, lo, il, limit);
    PushClipped(inside, y, il, ir, limit);
    PushClipped(ring, y, ir, hi, limit);
  }
}

void BandSpans(const RoundBox& outer, const RoundBox& inner, const TRect& limit,
               std::vector<RowSpan>& band, std::vector<RowSpan>& inside) {
  if (outer.Empty()) return;
  int64_t y0 = std::max<int64_t>(outer.t, limit.Top), y1 = std::min<int64_t>(outer.b, limit.Bottom);
  for (int64_t y = y0; y < y1; ++y) {
    int64_t lo, hi, ilo, ihi;
    outer.Row(y, lo, hi);
    inner.Row(y, ilo, ihi);
    if (inner.Empty() || ilo >= ihi) {
      PushClipped(band, y, lo, hi, limit);
      continue;
    }
    PushClipped(band, y, lo, ilo, limit);
    PushClipped(inside, y, ilo, ihi, limit);
    PushClipped(band, y, ihi, hi, limit);
  }
}

}  // namespace pictavo::raster
