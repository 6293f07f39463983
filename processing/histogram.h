// Four-channel histograms (red, green, blue, grey), the manual tonal
// stretch between a low and a high colour, and the automatic equalisation
// that spreads grey levels evenly while smoothing with the 3x3 neighbourhood.
#pragma once

#include <cstdint>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

// Counts of one level: pixels whose red, green, blue or grey
// ((R*21 + G*71 + B*7) div 100) equals the level.
struct THistogramItem {
  uint32_t R = 0;
  uint32_t G = 0;
  uint32_t B = 0;
  uint32_t Gray = 0;
};
constexpr int kHistogramLevels = 256;

// Zeroes the 256 entries, then counts the pixels of the rectangle (x2, y2
// clamped to the bitmap).  Does nothing unless the bitmap is pf24bit.
void _GetHistogram(const TBitmap& bitmap, THistogramItem* histogram, int x1, int y1, int x2,
                   int y2);

// Stretches low.c..255 onto 0..255, then 0..high.c onto 0..255, per channel.
void _HistEqualize(TBitmap& bitmap, TRGB low, TRGB high, int x1, int y1, int x2, int y2,
                   const TPVProgressEvent& onProgress, TObject* sender);

// Equalises the grey histogram of the whole bitmap, choosing per pixel
// between the level bounds and the 3x3 mean colour.
void _HistAutoEqualize(TBitmap& bitmap, int x1, int y1, int x2, int y2,
                       const TPVProgressEvent& onProgress, TObject* sender);

}  // namespace pictavo
