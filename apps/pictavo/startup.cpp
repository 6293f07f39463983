#include "apps/pictavo/startup.h"

#include "codecs/tifflzw.h"
#include "io/ioparams.h"

namespace pictavo::cli {

void InstallLibraryCoders() {
  // The GIF and TIFF coders are assigned here once their codecs exist.
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
}

}  // namespace pictavo::cli
