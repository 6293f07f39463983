// Time since the process started, for the start-up measurement: the
// kernel's start time of this process against the boot clock, so that the
// figure includes loading the program and its libraries, not only main.
#pragma once

#include <cstdint>

namespace pictavo::viewer {

// Milliseconds since the process started (10 ms resolution from the
// kernel's clock ticks); -1 when /proc cannot be read.
int64_t MillisecondsSinceProcessStart();

}  // namespace pictavo::viewer
