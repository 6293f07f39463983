// Distortion and lighting effects on pf24bit bitmaps: a circular wave, an
// elliptical lens, bump mapping under a coloured spot light, and the blend
// of a second bitmap into a rectangle.
#pragma once

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

// Resamples the whole bitmap along a circular wave (phase in degrees).
// Nothing happens for a zero amplitude or wavelength, or a bitmap narrower
// or lower than 2 pixels.
void _wave(TBitmap& bitmap, int amplitude, int wavelength, int phase, bool reflective,
           TProgressRec& progress);

// Refracts the elliptical lens box centred at (x, y) through an ellipsoid
// of index max(refraction, 1).  An empty box changes nothing.
void _lens(TBitmap& bitmap, int x, int y, int width, int height, double refraction,
           TProgressRec& progress);

// Lights the rectangle by its grey relief with a spot centred at (x, y) of
// radii width and height; mixing is the percentage of the image kept.
void _BumpMapping(TBitmap& bitmap, int x, int y, int width, int height, int mixing, TRGB colour,
                  int x1, int y1, int x2, int y2, TProgressRec& progress);

// Blends `other`, stretched onto the rectangle, into it; percent is the
// share of the image that remains.
void _Merge(TBitmap& bitmap, const TBitmap& other, int percent, int x1, int y1, int x2, int y2,
            const TPVProgressEvent& onProgress, TObject* sender);

}  // namespace pictavo
