// Fuzz target: every frame index a GIF file claims, read with the decoder assigned.
#include <cstddef>
#include <cstdint>

#include "codecs/gif.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  PVSetMaxImagePixels(1 << 22);
  for (int index = 0; index < 3; ++index) {
    TReadOnlyMemoryStream s(data, int64_t(size));
    TBitmap bmp;
    TIOParamsVals params;
    params.GIF_LZWDecompFunc = GIFLZWDecompress;
    params.GIF_ImageIndex = index;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    int count = 0;
    ReadGifStream(s, &bmp, count, false, progress, params);
    if (index + 1 >= count) break;
  }
  return 0;
}
