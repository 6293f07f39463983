// Feeds arbitrary bytes to the BMP reader, with a small pixel limit so that
// the fuzzer explores decoding rather than allocation.
#include "codecs/bmp.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TFuzzRead r(data, size);
  pictavo::BMPReadStream(r.stream, r.bitmap, 0, r.params, r.progress, false);
  return 0;
}
