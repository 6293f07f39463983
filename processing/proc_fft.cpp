// TPictavoProc: the frequency-domain entry points.  None of them saves an
// undo copy.
#include "processing/fft.h"
#include "processing/pictavoproc.h"

namespace pictavo {

std::unique_ptr<TPVFtImage> TPictavoProc::FTCreateImage(TPVFtImageType type, int width,
                                                        int height) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  if (!bitmap) return nullptr;
  return PVFTCreateImage(*bitmap, type, width, height, OnProgress, this);
}

void TPictavoProc::FTConvertFrom(TPVFtImage& image) {
  TBitmap* bitmap = TargetBitmap(kFrameAny);
  if (!bitmap) return;
  image.BuildBitmap(*bitmap);
  Update();
}

void TPictavoProc::FTDisplayFrom(TPVFtImage& image) {
  TBitmap* bitmap = TargetBitmap(kFrameAny);
  if (!bitmap) return;
  image.GetFTImage(*bitmap);
  Update();
}

}  // namespace pictavo
