// Geometry workers of the canvas: the pixel steps of thin lines, the row
// extents of wide-pen capsules and of ellipses, and lists of row spans.
// Internal to the platform layer; the rules are those written in canvas.h.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace pictavo::raster {

// Coordinates the canvas accepts; larger values are clamped to this.
constexpr int32_t kCoordLimit = 1 << 27;
int32_t ClampCoord(int64_t v);
TPoint ClampPoint(TPoint p);

// ceil(n / d) and floor(n / d) for d > 0.
int64_t CeilDiv(int64_t n, int64_t d);
int64_t FloorDiv(int64_t n, int64_t d);

// The width-1 line from a to b: n steps along the longer axis; step i lights
// the minor coordinate a + ceil((2 i d - n) / 2n), the nearest one with ties
// to the smaller coordinate.
struct ThinLine {
  TPoint a, b;
  int64_t n = 0;  // number of pixels (the end point is excluded)
  bool x_major = true;
  ThinLine(TPoint from, TPoint to);
  // Steps whose major coordinate lies in lo..hi-1 (empty when none).
  void StepRange(int32_t lo, int32_t hi, int64_t& i0, int64_t& i1) const;
  // Calls fn(i, x, y) for steps i0..i1-1, stepping the minor coordinate
  // with an error term instead of a division per pixel.
  template <typename Fn>
  void Walk(int64_t i0, int64_t i1, Fn&& fn) const;
};

template <typename Fn>
void ThinLine::Walk(int64_t i0, int64_t i1, Fn&& fn) const {
  if (i0 >= i1) return;
  int64_t dmaj = x_major ? int64_t(b.x) - a.x : int64_t(b.y) - a.y;
  int64_t dmin = x_major ? int64_t(b.y) - a.y : int64_t(b.x) - a.x;
  int64_t smaj = dmaj < 0 ? -1 : 1, two_n = 2 * n;
  int64_t major = (x_major ? a.x : a.y) + smaj * i0;
  // minor offset q = ceil(num / 2n) with num = 2 i dmin - n; r = num - 2n q
  // stays in (-2n, 0].
  int64_t num = 2 * i0 * dmin - n;
  int64_t q = CeilDiv(num, two_n), r = num - two_n * q;
  int64_t minor0 = x_major ? a.y : a.x;
  for (int64_t i = i0; i < i1; ++i, major += smaj) {
    int64_t minor = minor0 + q;
    if (x_major)
      fn(i, int32_t(major), int32_t(minor));
    else
      fn(i, int32_t(minor), int32_t(major));
    r += 2 * dmin;
    if (r > 0) {
      ++q;
      r -= two_n;
    } else if (r <= -two_n) {
      --q;
      r += two_n;
    }
  }
}

// One run of a row: pixels l..r-1 of row y.
struct RowSpan {
  int32_t y, l, r;
};

// Sorts spans by row and column and merges those that overlap or touch.
void NormaliseSpans(std::vector<RowSpan>& spans);
// Spans of a minus spans of b (both normalised); the result is normalised.
std::vector<RowSpan> SubtractSpans(const std::vector<RowSpan>& a, const std::vector<RowSpan>& b);

// Appends the rows of the capsule around segment a-b for a pen of width w
// (see canvas.h), limited to rows y0..y1-1 and columns x0..x1-1.
void CapsuleSpans(TPoint a, TPoint b, int w, const TRect& limit, std::vector<RowSpan>& out);

// A box shape with elliptic corners: the box l..r-1 x t..b-1 with corner
// ellipses of ew x eh pixels (ew = width and eh = height for an ellipse,
// 0 for a plain rectangle).  Row(y) gives the columns it holds in row y.
struct RoundBox {
  int64_t l = 0, t = 0, r = 0, b = 0;
  int64_t ew = 0, eh = 0;
  RoundBox() = default;
  RoundBox(int64_t left, int64_t top, int64_t right, int64_t bottom, int64_t w, int64_t h);
  bool Empty() const { return r <= l || b <= t; }
  // Columns lo..hi-1 of row y (lo >= hi when the row is outside).
  void Row(int64_t y, int64_t& lo, int64_t& hi) const;
  // Inset of the corner ellipse's row i (0 at its top) from the box side.
  int64_t Inset(int64_t i) const;
};

// Spans of the ring of a RoundBox with a width-1 pen (pixels with a
// 4-neighbour outside) and of its inside, limited to limit.
void RingSpans(const RoundBox& box, const TRect& limit, std::vector<RowSpan>& ring,
               std::vector<RowSpan>& inside);
// Spans of outer minus inner (a band) and of inner, limited to limit.
void BandSpans(const RoundBox& outer, const RoundBox& inner, const TRect& limit,
               std::vector<RowSpan>& band, std::vector<RowSpan>& inside);

}  // namespace pictavo::raster
