// TPictavoProc: the effects.  Merge is framed; Wave and Lens work on the
// whole bitmap and BumpMapping on the selection rectangle, each on the
// bounding-box copy of a polygon selection (whose positions are then
// relative to the box).
#include "processing/effects.h"
#include "processing/pictavoproc.h"

namespace pictavo {

void TPictavoProc::Wave(int amplitude, int wavelength, int phase, bool reflective) {
  RunOnSelectionCopy(kFrame24, true, [&](TBitmap& bm, int, int, int, int) {
    TProgressRec progress = MakeProgress();
    _wave(bm, amplitude, wavelength, phase, reflective, progress);
  });
}

void TPictavoProc::Lens(int x, int y, int width, int height, double refraction) {
  RunOnSelectionCopy(kFrame24, true, [&](TBitmap& bm, int, int, int, int) {
    TProgressRec progress = MakeProgress();
    _lens(bm, x, y, width, height, refraction, progress);
  });
}

void TPictavoProc::BumpMapping(int x, int y, int width, int height, int mixing,
                               const TRGB& colour) {
  RunOnSelectionCopy(kFrame24, false, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    TProgressRec progress = MakeProgress();
    _BumpMapping(bm, x, y, width, height, mixing, colour, x1, y1, x2, y2, progress);
  });
}

void TPictavoProc::Merge(const TBitmap& other, int percent) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _Merge(bm, other, percent, x1, y1, x2, y2, OnProgress, this);
  });
}

}  // namespace pictavo
