#include "core/pvversion.h"  // generated from cmake/pvversion.h.in

namespace pictavo {

const char* PVVersionString() {
  return PICTAVO_VERSION_STRING;
}

}  // namespace pictavo
