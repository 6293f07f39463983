// Resampling workers: filtered two-pass scaling with the TResampleFilter
// kernels, plain (nearest pixel) stretching, and the box-filtered reduction
// of one-bit images to grey.  They take plain bitmaps and no component, so
// the view, the vector layer, the thumbnails and the processing component
// all use them.
#pragma once

#include <cstdint>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

// A kernel of the table: its function of x and its support radius.
struct TPVResampleKernel {
  double (*fn)(double x);
  double support;
};
// The kernel of a filter; rfNone (and anything unknown) gives the triangle.
const TPVResampleKernel& PVResampleKernel(TResampleFilter filter);

// Filtered scaling of a pf24bit source into dest's current size, in two
// separable passes (horizontal into a working image of destWidth x
// sourceHeight, then vertical).  Each output value is the sum of the
// contributions in double precision, clamped to 0..255 and rounded half to
// even; weights are not normalised.  Nothing happens for a source that is
// not pf24bit, is empty or is 1 x 1, or for an empty dest.  Progress: after
// each row of pass 1 trunc(rows * f), after each column of pass 2
// trunc((sourceHeight + column + 1) * f), f = 100 / (destWidth +
// sourceHeight + 0.5).
void _Resample(const TBitmap& source, TBitmap& dest, TResampleFilter filter,
               const TPVProgressEvent& onProgress, TObject* sender);

// Nearest-pixel stretch of the source into dest's current size: dest pixel
// i takes source pixel ((2 i + 1) * sourceLength) div (2 * destLength) in
// each direction.  Dest takes the source's pixel format (and palette).
void _PVBmpStretch(const TBitmap& source, TBitmap& dest);

// Box-filtered reduction of the 1-bit region x1..x2, y1..y2 (inclusive) of
// the source into dest's current size, which becomes pf24bit.  Output
// column j averages source columns x1 + trunc(sx * j) ..
// max(x1 + trunc(sx * j + trunc(sx) - 1), that first column), sx = (x2 -
// x1 + 1) / destWidth, rows alike; the grey is 255 * ones div pixels.
// Pixels of the region outside the source count as black.  Nothing happens
// when the source or dest has a zero dimension or the source is not pf1bit.
void _SubResample1bitFiltered(const TBitmap& source, int x1, int y1, int x2, int y2, TBitmap& dest);
// The same over a raw 1-bit DIB: `bits` holds `height` rows of
// ((width + 31) div 32) * 4 bytes, bottom-up (row y of the image at
// (height - 1 - y) * rowLength); bitsSize bounds what is read.
void _SubResample1bitFilteredDIB(const uint8_t* bits, size_t bitsSize, int width, int height,
                                 int x1, int y1, int x2, int y2, TBitmap& dest);

}  // namespace pictavo
