// Fuzz target: every frame index a GIF file claims, read with the decoder assigned.
#include "codecs/gif.h"
#include "fuzz/reader_harness.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  for (int index = 0; index < 3; ++index) {
    TFuzzRead r(data, size);
    r.params.GIF_LZWDecompFunc = GIFLZWDecompress;
    r.params.GIF_ImageIndex = index;
    int count = 0;
    ReadGifStream(r.stream, &r.bitmap, count, false, r.progress, r.params);
    if (index + 1 >= count) break;
  }
  return 0;
}
