// Fuzz target of the PBM/PGM/PPM reader and detector: every input must end without a crash, a read
// outside its data or an unbounded allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/pxm.h"
#include "core/pvdefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  PVSetMaxImagePixels(1 << 22);
  TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
  TBitmap bitmap;
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TryPXM(stream);
  PXMReadStream(stream, bitmap, params, false, progress);
  return 0;
}
