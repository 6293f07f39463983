// Rewriting the IPTC block of a JPEG file or stream without decoding it.
#include <exception>

#include "codecs/jpeg.h"
#include "core/replacefile.h"
#include "io/pictavoio.h"

namespace pictavo {

bool TPictavoIO::InjectJpegIPTC(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  if (!CheckEditable(name, progress)) return false;
  TMemoryStream dest;
  try {
    TMemoryStream source;
    source.LoadFromFile(name);
    source.SetPosition(0);
    if (!PVJpegInjectIPTC(source, dest, params_->IPTC_Info)) {
      progress.Fail(TPVErrorCode::UnknownFormat, "not a JPEG file: " + name);
      return false;
    }
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::ReadError, e.what());
    return false;
  }
  // The original is replaced only by a complete new file.
  ReplaceFile(name, [&](TStream& out) {
    return out.Write(dest.Memory(), dest.GetSize()) == dest.GetSize();
  });
  return !Aborting;
}

bool TPictavoIO::InjectJpegIPTCStream(TStream& source, TStream& dest) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    return PVJpegInjectIPTC(source, dest, params_->IPTC_Info);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace pictavo
