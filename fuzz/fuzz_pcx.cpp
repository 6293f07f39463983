// Fuzz target of the PCX reader: every input must end without a crash, a read
// outside its data or an unbounded allocation.
#include "codecs/pcx.h"
#include "core/pvdefs.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TFuzzRead r(data, size);
  pictavo::ReadPcxStream(r.stream, r.bitmap, r.params, static_cast<int64_t>(size), r.progress,
                         false);
  return 0;
}
