// TRegion: a set of pixels stored as horizontal bands, the clip regions of
// the canvas.  Each band covers rows top..bottom-1 and holds sorted,
// disjoint, non-touching spans left..right-1; bands are sorted, do not
// overlap, and two touching bands never hold the same spans.
//
// Pixel rules (those of the platform's polygon regions):
//   - a rectangle region covers Left..Right-1 x Top..Bottom-1;
//   - a polygon region holds pixel (x, y) when its centre (x + 0.5, y + 0.5)
//     lies inside the polygon by the fill mode: ALTERNATE (even-odd: an odd
//     number of edge crossings to its left) or WINDING (non-zero winding);
//     a centre exactly on an edge belongs to the pixel run to the right of
//     that edge, so of two polygons sharing an edge exactly one holds the
//     pixel, and vertices on integer coordinates never touch a row centre;
//   - coordinates are limited to +-2^27, as on the platform; larger values
//     are clamped.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace pictavo {

enum TPolyFillMode : uint8_t { ALTERNATE = 1, WINDING = 2 };
enum TRegionOp : uint8_t { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
// Region kinds, as returned by the clipping calls.
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

constexpr int32_t kRegionCoordLimit = (1 << 27) - 1;

struct TSpan {
  int32_t left;
  int32_t right;
  friend bool operator==(const TSpan&, const TSpan&) = default;
};

struct TRegionBand {
  int32_t top;
  int32_t bottom;
  std::vector<TSpan> spans;
  friend bool operator==(const TRegionBand&, const TRegionBand&) = default;
};

class TRegion {
 public:
  TRegion() = default;
  static TRegion FromRect(const TRect& rect);
  // The polygon points[0..count-1], closed.  Fewer than 3 points give an
  // empty region.  With bounds, only the part inside bounds is built (the
  // cost then follows the bounds, not the polygon).
  static TRegion FromPolygon(const TPoint* points, int count, TPolyFillMode mode = ALTERNATE,
                             const TRect* bounds = nullptr);
  // Several closed polygons (counts[i] points each, one after the other)
  // filled together by the fill mode; polygons of fewer than 3 points are
  // skipped.
  static TRegion FromPolyPolygon(const TPoint* points, const int* counts, int polygons,
                                 TPolyFillMode mode = ALTERNATE, const TRect* bounds = nullptr);
  static TRegion Combine(const TRegion& a, const TRegion& b, TRegionOp op);

  bool Empty() const { return bands_.empty(); }
  // NULLREGION, SIMPLEREGION (one rectangle) or COMPLEXREGION.
  int Kind() const;
  // Smallest rectangle holding the region (empty rect when empty).
  TRect Bounds() const;
  bool Contains(int32_t x, int32_t y) const;
  int64_t Area() const;
  void Offset(int32_t dx, int32_t dy);
  const std::vector<TRegionBand>& Bands() const { return bands_; }
  // The band holding row y, or null.
  const TRegionBand* BandAt(int32_t y) const;

  // Calls fn(y, left, right) for every run of the region inside rows
  // y0..y1-1 and columns x0..x1-1 (right exclusive), row by row, top down.
  template <typename Fn>
  void ForEachSpan(int32_t y0, int32_t y1, int32_t x0, int32_t x1, Fn&& fn) const;

  friend bool operator==(const TRegion&, const TRegion&) = default;

 private:
  // Appends a band, merging it with the previous one when they touch and
  // hold the same spans.
  void AppendBand(int32_t top, int32_t bottom, std::vector<TSpan>&& spans);
  std::vector<TRegionBand> bands_;
};

template <typename Fn>
void TRegion::ForEachSpan(int32_t y0, int32_t y1, int32_t x0, int32_t x1, Fn&& fn) const {
  if (y0 >= y1 || x0 >= x1) return;
  for (const TRegionBand& band : bands_) {
    if (band.bottom <= y0) continue;
    if (band.top >= y1) break;
    int32_t top = band.top > y0 ? band.top : y0;
    int32_t bottom = band.bottom < y1 ? band.bottom : y1;
    for (int32_t y = top; y < bottom; ++y) {
      for (const TSpan& s : band.spans) {
        if (s.right <= x0) continue;
        if (s.left >= x1) break;
        fn(y, s.left > x0 ? s.left : x0, s.right < x1 ? s.right : x1);
      }
    }
  }
}

}  // namespace pictavo
