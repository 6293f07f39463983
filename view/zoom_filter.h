// The view's filtered zoom, through the processing unit's resampling
// workers.  The workers are reached through weak references, so the view
// links (and draws unfiltered) in a library built without them.
#pragma once

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/types.h"

namespace pictavo {

// True when the resampling workers are part of the library.
bool PVZoomFilterAvailable();

// The bitmap rectangle resampled with `filter` into a pf24bit bitmap of
// width x height: 1-bit sources are expanded to 24 bits first.  False
// (dest untouched) without the workers.
bool PVZoomResample(const TBitmap& source, const TRect& rect, TResampleFilter filter, int width,
                    int height, TBitmap& dest);
// The 1-bit rectangle reduced to grey levels (each pixel the share of white
// pixels it covers) into a pf24bit bitmap of width x height.
bool PVZoomReduce1bit(const TBitmap& source, const TRect& rect, int width, int height,
                      TBitmap& dest);

}  // namespace pictavo
