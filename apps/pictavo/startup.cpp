#include "apps/pictavo/startup.h"

#include "codecs/gif.h"
#include "io/ioparams.h"

namespace pictavo::cli {

void InstallLibraryCoders() {
  // The TIFF coders are assigned here once their codec exists.
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
}

}  // namespace pictavo::cli
