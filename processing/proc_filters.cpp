// TPictavoProc: convolution filters and morphology through the operation
// frame.
#include "processing/filters.h"
#include "processing/pictavoproc.h"

namespace pictavo {

void TPictavoProc::ApplyFilter(TGraphFilter filter) {
  RunFramed(kFrame24, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    TProgressRec progress = MakeProgress();
    _ApplyFilter(bm, filter, x1, y1, x2, y2, progress);
  });
}

void TPictavoProc::ApplyFilterPreset(TPVFilterPresets preset) {
  if (preset < kFilterPresetCount) ApplyFilter(PVFiltPres[preset]);
}

namespace {
// The morphology worker checks the pixel format itself, so the frame takes
// any bitmap.
void Morph(TPictavoProc& proc, int winSize, TPVMorphOp op) {
  proc.RunFramed(TPictavoProc::kFrameAny, [&](TBitmap& bm, int x1, int y1, int x2, int y2) {
    _MorphFilter(bm, winSize, op, x1, y1, x2, y2, proc.OnProgress, &proc);
  });
}
}  // namespace

void TPictavoProc::Maximum(int winSize) {
  Morph(*this, winSize, pvmoMaximum);
}
void TPictavoProc::Minimum(int winSize) {
  Morph(*this, winSize, pvmoMinimum);
}
void TPictavoProc::Opening(int winSize) {
  Morph(*this, winSize, pvmoOpening);
}
void TPictavoProc::Closing(int winSize) {
  Morph(*this, winSize, pvmoClosing);
}

}  // namespace pictavo
