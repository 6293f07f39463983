#include "view/zoom_filter.h"

#include "view/view_blit.h"

namespace pictavo {

// The processing unit's workers (processing/resample.h), referenced weakly.
void _Resample(const TBitmap& source, TBitmap& dest, TResampleFilter filter,
               const TPVProgressEvent& onProgress, TObject* sender) __attribute__((weak));
void _SubResample1bitFiltered(const TBitmap& source, int x1, int y1, int x2, int y2, TBitmap& dest)
    __attribute__((weak));

bool PVZoomFilterAvailable() {
  return _Resample != nullptr && _SubResample1bitFiltered != nullptr;
}

bool PVZoomResample(const TBitmap& source, const TRect& rect, TResampleFilter filter, int width,
                    int height, TBitmap& dest) {
  if (!PVZoomFilterAvailable()) return false;
  TBitmap part;
  PVCopyRectTo24(source, rect, part);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(width, height);
  _Resample(part, dest, filter, nullptr, nullptr);
  return true;
}

bool PVZoomReduce1bit(const TBitmap& source, const TRect& rect, int width, int height,
                      TBitmap& dest) {
  if (!PVZoomFilterAvailable()) return false;
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(width, height);
  _SubResample1bitFiltered(source, rect.Left, rect.Top, rect.Right - 1, rect.Bottom - 1, dest);
  return true;
}

}  // namespace pictavo
