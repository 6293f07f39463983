// Pixel transfers of the image view onto a canvas: the nearest-pixel stretch
// of a bitmap rectangle (the view's unfiltered zoom) and the 1:1 copy of a
// bitmap (the back buffer onto the window, a resampled image onto the
// buffer).  Both honour the canvas's clip and never read outside the source.
//
// The destination pixel i of a stretch takes source pixel
// srcX + ((2 i + 1) * srcW) div (2 * dstW), the canvas's own nearest rule.
// Sources in pf24bit, pf32bit or pf1bit onto pf24bit or pf32bit bitmaps go
// row by row through column tables; other combinations go through the
// canvas's DIB stretch.
#pragma once

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/types.h"

namespace pictavo {

// Stretches the source rectangle (x, y, width, height) onto the destination
// rectangle (x, y, width, height); empty rectangles draw nothing.  Source
// pixels outside the bitmap leave their destination pixels alone.
void PVStretchToCanvas(TCanvas& canvas, const TRect& dest, const TBitmap& source,
                       const TRect& sourceRect);
// Draws the whole source with its top-left corner at (x, y), unscaled.
void PVCopyToCanvas(TCanvas& canvas, int x, int y, const TBitmap& source);

// The rectangle of `source` as a new bitmap: pf24bit sources keep their
// format, pf1bit sources become pf24bit (black and white).  Parts outside
// the source are black.
void PVCopyRectTo24(const TBitmap& source, const TRect& rect, TBitmap& dest);

}  // namespace pictavo
