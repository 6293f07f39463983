#include "apps/pictavo/load_image.h"

#include <exception>

#include "io/registry.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {

std::optional<std::string> LoadImageFile(TPictavoIO& io, const std::string& path) {
  try {
    if (PVFileFormatGetInfo2(PVLowerExtension(path))) io.LoadFromFile(path);
    if (io.Aborting || io.IOParams().FileType == 0 || io.GetAttachedBitmap()->Empty()) {
      TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
      io.LoadFromStream(stream);
    }
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  if (io.Aborting || io.GetAttachedBitmap()->Empty()) return std::string(kNotAnImage);
  return std::nullopt;
}

}  // namespace pictavo::cli
