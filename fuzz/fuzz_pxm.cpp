// Fuzz target of the PBM/PGM/PPM reader, its row-at-a-time form and the
// detector: every input must end without a crash, a read outside its data or
// an unbounded allocation.
#include "codecs/pxm.h"
#include "core/pvdefs.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TFuzzRead r(data, size);
  pictavo::TryPXM(r.stream);
  pictavo::PXMReadStream(r.stream, r.bitmap, r.params, false, r.progress);
  r.stream.SetPosition(0);
  r.aborting = false;
  pictavo::TPVPxmRows rows(r.stream, r.params, r.progress);
  if (rows.Streamable())
    for (int y = 0; y < rows.Height() && rows.Row(y); ++y) {
    }
  return 0;
}
