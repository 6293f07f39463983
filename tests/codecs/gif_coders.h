// The GIF coders are the application's to install (none is by default); a
// test that reads or writes GIF installs the library's own for its duration.
#pragma once

#include "codecs/gif.h"

namespace pictavo::testutil {

class GifCoders {
 public:
  GifCoders() : dec_(DefGIF_LZWDECOMPFUNC), enc_(DefGIF_LZWCOMPFUNC) {
    DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
    DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  }
  ~GifCoders() {
    DefGIF_LZWDECOMPFUNC = dec_;
    DefGIF_LZWCOMPFUNC = enc_;
  }
  GifCoders(const GifCoders&) = delete;
  GifCoders& operator=(const GifCoders&) = delete;

 private:
  TGIFLZWDecompFunc dec_;
  TGIFLZWCompFunc enc_;
};

}  // namespace pictavo::testutil
