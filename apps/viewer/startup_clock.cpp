#include "apps/viewer/startup_clock.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace pictavo::viewer {
namespace {

// The start time is the 22nd field of /proc/self/stat; the second field
// (the command name in parentheses) may contain spaces, so fields are
// counted after its closing parenthesis.
constexpr int kFieldsBeforeStartTime = 19;  // fields 3..21

}  // namespace

int64_t MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  if (!std::getline(stat, line)) return -1;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  for (int i = 0; i < kFieldsBeforeStartTime && fields >> field;) ++i;
  int64_t startTicks = 0;
  if (!(fields >> startTicks)) return -1;
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const int64_t nowMs = int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  return nowMs - startTicks * 1000 / ticksPerSecond;
}

}  // namespace pictavo::viewer
