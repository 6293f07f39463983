#include "apps/pictavo/input_image.h"

#include <cstdio>
#include <exception>

#include "apps/pictavo/cli_report.h"
#include "io/registry.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

constexpr const char* kNotAnImageReason = "not an image file of any format this program reads";

bool Loaded(TPictavoIO& io) {
  return !io.Aborting && !io.GetAttachedBitmap()->Empty();
}

void SetIndex(TIOParamsVals& p, int index) {
  if (index >= 0)
    p.GIF_ImageIndex = p.TIFF_ImageIndex = p.ICO_ImageIndex = p.CUR_ImageIndex = index;
}

// The reason of the failed load: the reader's, else the generic one.
std::string Reason(const TPictavoIO& io) {
  const TPVError& e = io.LastError();
  if (e && !e.Message.empty()) return e.Message;
  return io.IOParams().FileType == 0 ? kNotAnImageReason
                                     : "the file is damaged or its reader failed";
}

}  // namespace

std::string ReadStandardInput() {
  std::string data;
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) data.append(buf, n);
  return data;
}

std::optional<std::string> LoadInput(TPictavoIO& io, const std::string& path, int index,
                                     const std::string* stdinData) {
  TIOParamsVals& p = io.IOParams();
  try {
    if (path == kStdStream) {
      TMemoryStream stream;
      if (stdinData && !stdinData->empty())
        stream.WriteBuffer(stdinData->data(), static_cast<int64_t>(stdinData->size()));
      stream.SetPosition(0);
      SetIndex(p, index);
      io.LoadFromStream(stream);
      return Loaded(io) ? std::nullopt : std::optional<std::string>(Reason(io));
    }
    if (auto problem = InputFileProblem(path)) return problem;
    std::optional<std::string> byExtension;
    if (PVFileFormatGetInfo2(PVLowerExtension(path))) {
      SetIndex(p, index);
      io.LoadFromFile(path);
      if (Loaded(io)) return std::nullopt;
      if (io.LastError()) byExtension = Reason(io);
    }
    // A wrong or unknown extension: the content decides.
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    SetIndex(p, index);
    io.LoadFromStream(stream);
    if (Loaded(io)) {
      p.FileName = path;
      return std::nullopt;
    }
    if (io.IOParams().FileType == 0 && byExtension) return byExtension;
    return Reason(io);
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
}

}  // namespace pictavo::cli
