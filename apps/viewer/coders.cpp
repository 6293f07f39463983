#include "apps/viewer/coders.h"

#include "codecs/gif.h"
#include "codecs/tifflzw.h"
#include "io/ioparams.h"

namespace pictavo::viewer {

void InstallLibraryCoders() {
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
}

}  // namespace pictavo::viewer
