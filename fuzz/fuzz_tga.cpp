// Fuzz target of the TGA reader and detector: every input must end without a crash, a read
// outside its data or an unbounded allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/tga.h"
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
  TryTGA(stream);
  ReadTGAStream(stream, bitmap, params, progress, false);
  return 0;
}
