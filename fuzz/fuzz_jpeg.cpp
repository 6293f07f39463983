// Fuzz target: the JPEG reader (full decode and parameters only) and the IPTC
// injector over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg.h"

using namespace pictavo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PVSetMaxImagePixels(1 << 22);
  for (int pass = 0; pass < 2; ++pass) {
    TReadOnlyMemoryStream s(data, static_cast<int64_t>(size));
    TBitmap bmp;
    TIOParamsVals params;
    params.JPEG_Scale = pass ? ioJPEG_QUARTER : ioJPEG_FULLSIZE;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    ReadJPegStream(s, &bmp, params, pass == 1, progress);
  }
  TReadOnlyMemoryStream src(data, static_cast<int64_t>(size));
  TMemoryStream dst;
  TPVIPTCInfoList iptc;
  iptc.AddStringItem(2, 5, "fuzz");
  PVJpegInjectIPTC(src, dst, iptc);
  return 0;
}
