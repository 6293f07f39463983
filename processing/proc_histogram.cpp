// TPictavoProc: histogram of the selection's bounding rectangle and the two
// equalisations through the operation frame.
#include "processing/histogram.h"
#include "processing/pictavoproc.h"

namespace pictavo {

void TPictavoProc::GetHistogram(THistogramItem* histogram) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  if (!bitmap || !histogram) return;
  // The polygon, if any, is not taken into account.
  const TPVSelectionArea area = GetReSel();
  _GetHistogram(*bitmap, histogram, area.x1, area.y1, area.x2, area.y2);
}

void TPictavoProc::HistEqualize(const TRGB& low, const TRGB& high) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _HistEqualize(bm, low, high, x1, y1, x2, y2, OnProgress, this);
  });
}

void TPictavoProc::HistAutoEqualize() {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _HistAutoEqualize(bm, x1, y1, x2, y2, OnProgress, this);
  });
}

}  // namespace pictavo
