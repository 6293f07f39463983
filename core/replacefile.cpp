#include "core/replacefile.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace pictavo {

bool PVReplaceFileWith(const std::string& name, const std::function<bool(TStream&)>& write) {
  const std::string temp = name + ".pvtmp" + std::to_string(::getpid());
  bool ok = false;
  try {
    {
      TFileStream f(temp, fmCreate);
      ok = write(f);
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

bool PVReplaceFile(const std::string& name, const uint8_t* data, int64_t size) {
  return PVReplaceFileWith(name,
                           [&](TStream& f) { return size == 0 || f.Write(data, size) == size; });
}

}  // namespace pictavo
