// Multi-page TIFF operations of TPictavoIO.  The page inserter appends the
// new page to the stream and patches one link, so a failure in the middle
// would leave stray data in the file: insertion therefore works on a copy in
// memory and replaces the file only when the page was written completely.
#include <exception>

#include "codecs/tiff.h"
#include "io/pictavoio.h"
#include "core/replacefile.h"

namespace pictavo {

int TPictavoIO::InsertToFileTIFF(const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return 0;
  PrepareTargetForSave();
  try {
    TMemoryStream copy;
    {
      TFileStream f(name, fmOpenReadWrite | fmShareDenyWrite);
      copy.LoadFromStream(f);
    }
    copy.SetPosition(0);
    int result = TIFFWriteStream(copy, true, *bitmap_, *params_, progress);
    if (Aborting || result <= 0) {
      Aborting = true;
      return 0;
    }
    if (!PVReplaceFile(name, copy.Memory(), copy.GetSize())) {
      Aborting = true;
      return 0;
    }
    return result;
  } catch (const std::exception&) {
    // The file is missing, unreadable or not writable.
    Aborting = true;
    return 0;
  }
}

int TPictavoIO::DeleteTIFFIm(const std::string& name, int index) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    return pictavo::DeleteTIFFIm(name, index);
  } catch (const std::exception&) {
    return 0;
  }
}

int TPictavoIO::EnumTIFFIm(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  return pictavo::EnumTIFFIm(name);
}

}  // namespace pictavo
