// Geometric workers of the processing unit: quarter turns, free rotation by
// three shears (24 bits, with optional antialiasing) and by inverse mapping
// (1 bit), mirroring, and the polygon copies that cropping and the view's
// selection use.
#pragma once

#include <cstdint>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/colors.h"
#include "platform/types.h"

namespace pictavo {

enum TFlipDir : uint8_t { fdHorizontal, fdVertical };

// Quarter turns of 3-byte pixels: _Rot90 counter-clockwise,
// dest(j, w - 1 - i) = source(i, j); _Rot90o clockwise,
// dest(j, i) = source(i, h - 1 - j).  dest becomes pf24bit, h x w.
void _Rot90(const TBitmap& source, TBitmap& dest);
void _Rot90o(const TBitmap& source, TBitmap& dest);

// The sizes of a three-shear rotation of a w x h image by a remaining angle
// of -45..45 degrees (not 0): W1 after the first shear, D1, H2' and D2 the
// trims, H2 x W3 the result.
struct TShearSizes {
  double theta = 0, T = 0, S = 0;
  int64_t w = 0, h = 0, W1 = 0, D1 = 0, H2p = 0, D2 = 0, H2 = 0, W3 = 0;
};
TShearSizes PVShearSizes(int w, int h, int angle);

// Reduces angle mod 360 by quarter turns to -45..45; returns the number of
// counter-clockwise turns (negative for clockwise ones).
int PVQuarterTurns(int& angle);

// Rotation of a pf24bit bitmap by `angle` degrees counter-clockwise: quarter
// turns, then three shears filled with `fill`, blended in 1/4096 steps with
// antialias.  Progress counts the rows of the first shear, the columns of
// the second and the rows of the third.  False (bitmap unchanged) when an
// intermediate or final size is beyond the pixel limit or the bitmap is not
// pf24bit.
bool _RotateShear(TBitmap& bitmap, int angle, bool antialias, TColor fill,
                  const TPVProgressEvent& onProgress, TObject* sender);

// Rotation of a pf1bit bitmap by inverse mapping with four-decimal sine and
// cosine; pixels that map outside the source take fillBit.  False (bitmap
// unchanged) when the new size is beyond the pixel limit.
bool _rotate1bit(TBitmap& bitmap, int fillBit, TProgressRec& progress, double angle);

// Mirrors the whole bitmap (pf24bit bytes, pf1bit bits, other formats by
// whole pixels).
void _Flip(TBitmap& bitmap, TFlipDir direction);

// dest becomes the source's format at (x2 - x1) x (y2 - y1) and receives the
// source rectangle through each sub-polygon (separator points x =
// 0xFFFFF); a count of 0 copies the whole rectangle.
void _CopyBitmapPoly(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2,
                     const TPoint* polygon, int count);
// Copies the polygon's pixels of the source so that the polygon's bounding
// box lands at `point` of dest (which grows to hold it).
void _CopyPolygonToPoint(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest);
// The opposite: the box at `point` of the source goes into the polygon's
// place in dest.
void _CopyPointToPolygon(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest);

}  // namespace pictavo
