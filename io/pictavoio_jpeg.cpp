// Rewriting the IPTC block of a JPEG file or stream without decoding it.
#include <exception>

#include "codecs/jpeg.h"
#include "io/pictavoio.h"
#include "core/replacefile.h"

namespace pictavo {

bool TPictavoIO::InjectJpegIPTC(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    TMemoryStream source;
    source.LoadFromFile(name);
    source.SetPosition(0);
    TMemoryStream dest;
    if (!PVJpegInjectIPTC(source, dest, params_->IPTC_Info)) return false;
    // The original is replaced only by a complete new file.
    return PVReplaceFile(name, dest.Memory(), dest.GetSize());
  } catch (const std::exception&) {
    return false;
  }
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
