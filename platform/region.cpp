#include "platform/region.h"

#include <algorithm>
#include <limits>

namespace pictavo {

namespace {

int32_t ClampCoord(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kRegionCoordLimit, kRegionCoordLimit));
}

bool Apply(TRegionOp op, bool a, bool b) {
  switch (op) {
    case RGN_AND:
      return a && b;
    case RGN_OR:
      return a || b;
    case RGN_XOR:
      return a != b;
    case RGN_DIFF:
      return a && !b;
    default:
      return a;
  }
}

// Combines two sorted span lists by a boolean operation, sweeping their
// boundaries from left to right.
std::vector<TSpan> CombineSpans(const std::vector<TSpan>* a, const std::vector<TSpan>* b,
                                TRegionOp op) {
  static const std::vector<TSpan> kNone;
  const std::vector<TSpan>& sa = a ? *a : kNone;
  const std::vector<TSpan>& sb = b ? *b : kNone;
  std::vector<TSpan> out;
  size_t i = 0, j = 0;
  bool in_a = false, in_b = false, inside = false;
  int32_t start = 0;
  constexpr int32_t kEnd = std::numeric_limits<int32_t>::max();
  for (;;) {
    int32_t xa = i < sa.size() ? (in_a ? sa[i].right : sa[i].left) : kEnd;
    int32_t xb = j < sb.size() ? (in_b ? sb[j].right : sb[j].left) : kEnd;
    int32_t x = std::min(xa, xb);
    if (x == kEnd) break;
    if (xa == x) {
      if (in_a) ++i;
      in_a = !in_a;
    }
    if (xb == x) {
      if (in_b) ++j;
      in_b = !in_b;
    }
    bool now = Apply(op, in_a, in_b);
    if (now && !inside) {
      start = x;
    } else if (!now && inside && x > start) {
      if (!out.empty() && out.back().right == start)
        out.back().right = x;
      else
        out.push_back({start, x});
    }
    inside = now;
  }
  return out;
}

struct PolyEdge {
  int64_t x0, y0, x1, y1;  // y0 < y1
  int dir;
};

// ceil(n / d) for d > 0.
int64_t CeilDiv(int64_t n, int64_t d) {
  return n >= 0 ? (n + d - 1) / d : -((-n) / d);
}

}  // namespace

void TRegion::AppendBand(int32_t top, int32_t bottom, std::vector<TSpan>&& spans) {
  if (spans.empty() || bottom <= top) return;
  if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
    bands_.back().bottom = bottom;
    return;
  }
  bands_.push_back({top, bottom, std::move(spans)});
}

TRegion TRegion::FromRect(const TRect& rect) {
  TRegion r;
  int32_t l = ClampCoord(rect.Left), t = ClampCoord(rect.Top);
  int32_t rr = ClampCoord(rect.Right), b = ClampCoord(rect.Bottom);
  if (l < rr && t < b) r.AppendBand(t, b, {{l, rr}});
  return r;
}

TRegion TRegion::FromPolygon(const TPoint* points, int count, TPolyFillMode mode,
                             const TRect* bounds) {
  return FromPolyPolygon(points, &count, 1, mode, bounds);
}

TRegion TRegion::FromPolyPolygon(const TPoint* points, const int* counts, int polygons,
                                 TPolyFillMode mode, const TRect* bounds) {
  TRegion region;
  if (!points || !counts) return region;
  std::vector<PolyEdge> edges;
  int64_t ymin = std::numeric_limits<int64_t>::max(), ymax = std::numeric_limits<int64_t>::min();
  const TPoint* poly = points;
  for (int k = 0; k < polygons; poly += std::max(counts[k], 0), ++k) {
    int count = counts[k];
    if (count < 3) continue;
    for (int i = 0; i < count; ++i) {
      const TPoint& p = poly[i];
      const TPoint& q = poly[(i + 1) % count];
      int64_t px = ClampCoord(p.x), py = ClampCoord(p.y), qx = ClampCoord(q.x),
              qy = ClampCoord(q.y);
      if (py == qy) continue;
      if (py < qy)
        edges.push_back({px, py, qx, qy, 1});
      else
        edges.push_back({qx, qy, px, py, -1});
      ymin = std::min({ymin, py, qy});
      ymax = std::max({ymax, py, qy});
    }
  }
  if (edges.empty()) return region;
  int64_t row0 = ymin, row1 = ymax;  // rows row0..row1-1
  int64_t xlo = -kRegionCoordLimit, xhi = kRegionCoordLimit;
  if (bounds) {
    row0 = std::max<int64_t>(row0, bounds->Top);
    row1 = std::min<int64_t>(row1, bounds->Bottom);
    xlo = std::max<int64_t>(xlo, bounds->Left);
    xhi = std::min<int64_t>(xhi, bounds->Right);
    if (xlo >= xhi) return region;
  }
  std::sort(edges.begin(), edges.end(),
            [](const PolyEdge& a, const PolyEdge& b) { return a.y0 < b.y0; });
  std::vector<const PolyEdge*> active;
  std::vector<std::pair<int64_t, int>> cross;
  size_t next = 0;
  for (int64_t y = row0; y < row1; ++y) {
    while (next < edges.size() && edges[next].y0 <= y) active.push_back(&edges[next++]);
    // The row centre is y + 0.5; an edge crosses it when y0 <= y < y1.
    std::erase_if(active, [y](const PolyEdge* e) { return e->y1 <= y; });
    cross.clear();
    for (const PolyEdge* e : active) {
      if (e->y0 > y) continue;
      int64_t dy = e->y1 - e->y0, dx = e->x1 - e->x0;
      // First pixel whose centre is at or right of the crossing:
      // ceil(x0 + (y + 0.5 - y0) * dx / dy - 0.5).
      int64_t c = CeilDiv(2 * dy * e->x0 - dy + (2 * (y - e->y0) + 1) * dx, 2 * dy);
      cross.push_back({c, e->dir});
    }
    std::sort(cross.begin(), cross.end());
    std::vector<TSpan> spans;
    int wind = 0;
    bool inside = false;
    int64_t start = 0;
    for (const auto& [c, dir] : cross) {
      bool was = inside;
      if (mode == WINDING) {
        wind += dir;
        inside = wind != 0;
      } else {
        inside = !inside;
      }
      if (inside && !was) {
        start = c;
      } else if (!inside && was) {
        int64_t l = std::max(start, xlo), r = std::min(c, xhi);
        if (l < r) {
          if (!spans.empty() && spans.back().right >= l)
            spans.back().right = static_cast<int32_t>(std::max<int64_t>(spans.back().right, r));
          else
            spans.push_back({static_cast<int32_t>(l), static_cast<int32_t>(r)});
        }
      }
    }
    region.AppendBand(static_cast<int32_t>(y), static_cast<int32_t>(y + 1), std::move(spans));
  }
  return region;
}

TRegion TRegion::Combine(const TRegion& a, const TRegion& b, TRegionOp op) {
  if (op == RGN_COPY) return a;
  std::vector<int32_t> ys;
  ys.reserve(2 * (a.bands_.size() + b.bands_.size()));
  for (const auto* r : {&a, &b})
    for (const TRegionBand& band : r->bands_) {
      ys.push_back(band.top);
      ys.push_back(band.bottom);
    }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  TRegion out;
  size_t ia = 0, ib = 0;
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    int32_t y = ys[k];
    while (ia < a.bands_.size() && a.bands_[ia].bottom <= y) ++ia;
    while (ib < b.bands_.size() && b.bands_[ib].bottom <= y) ++ib;
    const std::vector<TSpan>* sa =
        ia < a.bands_.size() && a.bands_[ia].top <= y ? &a.bands_[ia].spans : nullptr;
    const std::vector<TSpan>* sb =
        ib < b.bands_.size() && b.bands_[ib].top <= y ? &b.bands_[ib].spans : nullptr;
    if (!sa && !sb) continue;
    out.AppendBand(y, ys[k + 1], CombineSpans(sa, sb, op));
  }
  return out;
}

const TRegionBand* TRegion::BandAt(int32_t y) const {
  auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                             [](int32_t v, const TRegionBand& b) { return v < b.bottom; });
  return it == bands_.end() || it->top > y ? nullptr : &*it;
}

int TRegion::Kind() const {
  if (bands_.empty()) return NULLREGION;
  return bands_.size() == 1 && bands_[0].spans.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

TRect TRegion::Bounds() const {
  if (bands_.empty()) return TRect();
  int32_t l = std::numeric_limits<int32_t>::max(), r = std::numeric_limits<int32_t>::min();
  for (const TRegionBand& band : bands_) {
    l = std::min(l, band.spans.front().left);
    r = std::max(r, band.spans.back().right);
  }
  return TRect(l, bands_.front().top, r, bands_.back().bottom);
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                             [](int32_t v, const TRegionBand& b) { return v < b.bottom; });
  if (it == bands_.end() || it->top > y) return false;
  auto s = std::upper_bound(it->spans.begin(), it->spans.end(), x,
                            [](int32_t v, const TSpan& sp) { return v < sp.right; });
  return s != it->spans.end() && s->left <= x;
}

int64_t TRegion::Area() const {
  int64_t area = 0;
  for (const TRegionBand& band : bands_)
    for (const TSpan& s : band.spans) area += int64_t(band.bottom - band.top) * (s.right - s.left);
  return area;
}

void TRegion::Offset(int32_t dx, int32_t dy) {
  for (TRegionBand& band : bands_) {
    band.top += dy;
    band.bottom += dy;
    for (TSpan& s : band.spans) {
      s.left += dx;
      s.right += dx;
    }
  }
}

}  // namespace pictavo
