// The I/O preview form factory for builds whose I/O component does not
// define it yet.  Both functions are weak: the I/O component's own
// definitions replace them when they are linked in, so this file changes
// nothing then and can be deleted.
#include <utility>

#include "io/iopreviewsform.h"

namespace pictavo {
namespace {

TPVIOPreviewsFormFactory& FallbackFactory() {
  static TPVIOPreviewsFormFactory factory;
  return factory;
}

}  // namespace

__attribute__((weak)) TPVIOPreviewsFormFactory PVSetIOPreviewsFormFactory(
    TPVIOPreviewsFormFactory factory) {
  return std::exchange(FallbackFactory(), std::move(factory));
}

}  // namespace pictavo
