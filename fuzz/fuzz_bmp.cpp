// Feeds arbitrary bytes to the BMP reader and to its row-at-a-time form, with
// a small pixel limit so that the fuzzer explores decoding rather than
// allocation.
#include "codecs/bmp.h"
#include "fuzz/reader_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictavo::TFuzzRead r(data, size);
  pictavo::BMPReadStream(r.stream, r.bitmap, 0, r.params, r.progress, false);
  r.stream.SetPosition(0);
  r.aborting = false;
  pictavo::TPVBmpRows rows(r.stream, int64_t(size), r.params, r.progress);
  if (rows.Streamable())
    for (int y = 0; y < rows.Height() && rows.Row(y); ++y) {
    }
  return 0;
}
