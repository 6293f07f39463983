#include "apps/pictavo/startup.h"

#include "io/ioparams.h"

namespace pictavo::cli {

void InstallLibraryCoders() {
  // The GIF and TIFF coders are assigned here once their codecs exist.
}

}  // namespace pictavo::cli
