// Fuzz target of the ICO and CUR readers and detectors: every input must end without a crash, a
// read outside its data or an unbounded allocation.
#include "codecs/ico.h"
#include "core/pvdefs.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  TFuzzRead r(data, size);
  ICOTryStream(r.stream);
  CURTryStream(r.stream);
  ICOReadStream(r.stream, r.bitmap, r.params, false, r.progress);
  r.stream.SetPosition(0);
  r.aborting = false;
  CURReadStream(r.stream, r.bitmap, r.params, false, r.progress);
  return 0;
}
