// Fuzz target of the PCX reader: every input must end without a crash, a read
// outside its data or an unbounded allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/pcx.h"
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
  ReadPcxStream(stream, bitmap, params, static_cast<int64_t>(size), progress, false);
  return 0;
}
