#include "io/builtin_lzw.h"

#include "codecs/gif.h"
#include "codecs/tifflzw.h"
#include "formats/ioparams.h"

namespace pictavo {

void PVUseBuiltinLZW() {
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
}

}  // namespace pictavo
