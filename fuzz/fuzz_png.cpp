// Fuzz target: the PNG reader, DecompressBuf and TDecompressionStream over
// arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/png.h"
#include "codecs/zstreams.h"
#include "platform/exceptions.h"

using namespace pictavo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PVSetMaxImagePixels(1 << 22);
  PVMaxInflateBytes = 1 << 24;
  {
    TReadOnlyMemoryStream s(data, static_cast<int64_t>(size));
    TBitmap bmp;
    TIOParamsVals params;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    ReadPNGStream(s, &bmp, params, false, progress);
  }
  try {
    std::vector<uint8_t> out;
    int64_t n = 0;
    DecompressBuf(data, static_cast<int64_t>(size), 0, out, n);
  } catch (const EAbort&) {
  }
  try {
    TReadOnlyMemoryStream s(data, static_cast<int64_t>(size));
    TDecompressionStream d(s);
    uint8_t buf[4096];
    int64_t total = 0;
    while (total < (1 << 24)) {
      const int64_t got = d.Read(buf, sizeof buf);
      if (got <= 0) break;
      total += got;
    }
  } catch (const EAbort&) {
  }
  return 0;
}
