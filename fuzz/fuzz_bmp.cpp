// Feeds arbitrary bytes to the BMP reader, with a small pixel limit so that
// the fuzzer explores decoding rather than allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  PVSetMaxImagePixels(1 << 22);
  TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
  TBitmap bitmap;
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  BMPReadStream(stream, bitmap, 0, params, progress, false);
  return 0;
}
