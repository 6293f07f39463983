#include "apps/pictavo/load_image.h"

#include <exception>

#include "apps/pictavo/cli_report.h"
#include "io/registry.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {

std::optional<std::string> LoadImageFile(TPictavoIO& io, const std::string& path) {
  if (auto problem = InputFileProblem(path)) return problem;
  try {
    if (PVFileFormatGetInfo2(PVLowerExtension(path))) io.LoadFromFile(path);
    if (io.Aborting || io.IOParams().FileType == 0 || io.GetAttachedBitmap()->Empty()) {
      TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
      io.LoadFromStream(stream);
    }
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
  if (io.Aborting || io.GetAttachedBitmap()->Empty()) {
    const TPVError& e = io.LastError();
    return e && !e.Message.empty() ? e.Message : std::string(kNotAnImage);
  }
  return std::nullopt;
}

}  // namespace pictavo::cli
