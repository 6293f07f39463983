#include "view/view_globals.h"

#include <mutex>

#include "core/pvdefs.h"
#include "platform/screen.h"

namespace pictavo {

#if defined(__x86_64__) || defined(_M_X64)
constexpr bool kHasMMX = true;
#else
constexpr bool kHasMMX = false;
#endif

int gSystemColors = 24;
bool gMMX = kHasMMX;
int gEdgeX = 2;
int gEdgeY = 2;

void PVReadViewGlobals() {
  gSystemColors = GetDeviceCaps(BITSPIXEL);
  gSystemDPIX = GetDeviceCaps(LOGPIXELSX);
  gSystemDPIY = GetDeviceCaps(LOGPIXELSY);
  gEdgeX = GetSystemMetrics(SM_CXEDGE);
  gEdgeY = GetSystemMetrics(SM_CYEDGE);
  gMMX = kHasMMX;
}

void PVInitViewGlobals() {
  static std::once_flag once;
  std::call_once(once, PVReadViewGlobals);
}

}  // namespace pictavo
