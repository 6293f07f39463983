// Replacing a file safely: the new content is written to a temporary file
// beside the original and renamed over it only when it was written
// completely, so a failure never leaves a damaged or truncated original.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/stream.h"

namespace pictavo {

// Calls `write` with a new temporary file in the folder of `name`; when it
// returns true the temporary file replaces `name`.  Otherwise (or when it
// throws, or the rename fails) the temporary file is removed, `name` is
// left as it was, and the result is false.
bool PVReplaceFileWith(const std::string& name, const std::function<bool(TStream&)>& write);
// The same with the whole new content in memory.
bool PVReplaceFile(const std::string& name, const uint8_t* data, int64_t size);

}  // namespace pictavo
