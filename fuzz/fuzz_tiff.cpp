// libFuzzer target: the TIFF reader over arbitrary bytes, with the LZW
// decoder assigned; every page of the chain is asked for in turn (at most a
// few), under a small pixel limit so that large claims are refused quickly.
#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "core/pvdefs.h"
#include "fuzz/reader_harness.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  for (int page = 0; page < 3; ++page) {
    TFuzzRead r(data, size);
    r.params.TIFF_ImageIndex = page;
    r.params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
    int count = 0;
    TIFFReadStream(&r.bitmap, r.stream, count, &r.params, r.progress, false);
    if (page + 1 >= count) break;
  }
  return 0;
}
