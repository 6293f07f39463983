#include "apps/pictavo/startup.h"

#include "codecs/gif.h"
#include "codecs/tifflzw.h"
#include "io/ioparams.h"

namespace pictavo::cli {

void InstallLibraryCoders() {
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
}

}  // namespace pictavo::cli
