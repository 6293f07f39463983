// Fuzz target of the TGA reader and detector: every input must end without a crash, a read
// outside its data or an unbounded allocation.
#include "codecs/tga.h"
#include "core/pvdefs.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TFuzzRead r(data, size);
  pictavo::TryTGA(r.stream);
  pictavo::ReadTGAStream(r.stream, r.bitmap, r.params, r.progress, false);
  return 0;
}
