// Replacing a file safely: the new content is written to a temporary file
// beside the original and renamed over it only when it was written
// completely, so a failure never leaves a damaged or truncated original.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/stream.h"

namespace pictavo {

inline bool PVReplaceFile(const std::string& name, const uint8_t* data, int64_t size) {
  const std::string temp = name + ".pvtmp" + std::to_string(::getpid());
  bool ok = false;
  try {
    {
      TFileStream f(temp, fmCreate);
      ok = size == 0 || f.Write(data, size) == size;
    }
    if (ok) {
      std::error_code ec;
      std::filesystem::rename(temp, name, ec);
      ok = !ec;
    }
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
  }
  return ok;
}

}  // namespace pictavo
