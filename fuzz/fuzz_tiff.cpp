// libFuzzer target: the TIFF reader over arbitrary bytes, with the LZW
// decoder assigned; every page of the chain is asked for in turn (at most a
// few), under a small pixel limit so that large claims are refused quickly.
#include <cstddef>
#include <cstdint>

#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "core/pvdefs.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  PVSetMaxImagePixels(1 << 22);
  for (int page = 0; page < 3; ++page) {
    TReadOnlyMemoryStream s(data, static_cast<int64_t>(size));
    TIOParamsVals params;
    params.TIFF_ImageIndex = page;
    params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    TBitmap bmp;
    int count = 0;
    TIFFReadStream(&bmp, s, count, &params, progress, false);
    if (page + 1 >= count) break;
  }
  return 0;
}
