#include "apps/pictavo/startup.h"

#include "io/builtin_lzw.h"

namespace pictavo::cli {

void InstallLibraryCoders() {
  PVUseBuiltinLZW();
}

}  // namespace pictavo::cli
