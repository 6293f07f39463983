// Feeds arbitrary bytes to the packed DIB decoder as one block of the given
// size, with a small pixel limit so that the fuzzer explores decoding
// (palettes, bit fields, YUV layouts) rather than allocation.
#include <cstddef>
#include <cstdint>

#include "core/conversions.h"
#include "core/pvdefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  PVSetMaxImagePixels(1 << 22);
  TBitmap bitmap;
  _CopyDIB2Bitmap(data, size, bitmap);
  return 0;
}
