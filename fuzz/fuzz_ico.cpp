// Fuzz target of the ICO and CUR readers and detectors: every input must end without a crash, a
// read outside its data or an unbounded allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/ico.h"
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
  ICOTryStream(stream);
  CURTryStream(stream);
  ICOReadStream(stream, bitmap, params, false, progress);
  stream.SetPosition(0);
  aborting = false;
  CURReadStream(stream, bitmap, params, false, progress);
  return 0;
}
