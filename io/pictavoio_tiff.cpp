// Multi-page TIFF operations of TPictavoIO.  The page inserter appends the
// new page to the stream and patches one link, so a failure in the middle
// would leave stray data in the file: insertion therefore works on a copy in
// memory and replaces the file (through a fresh temporary file) only when
// the page was written completely.
#include <exception>

#include "codecs/tiff.h"
#include "core/replacefile.h"
#include "io/pictavoio.h"

namespace pictavo {

int TPictavoIO::InsertToFileTIFF(const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return 0;
  PrepareTargetForSave();
  if (!CheckEditable(name, progress)) return 0;
  TMemoryStream copy;
  int result = 0;
  try {
    std::unique_ptr<TFileStream> file = OpenForLoad(name);
    copy.LoadFromStream(*file);
    CheckReadError(*file);
    if (Aborting) return 0;
    copy.SetPosition(0);
    result = TIFFWriteStream(copy, true, *bitmap_, *params_, progress);
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::ReadError, e.what());
    return 0;
  }
  if (result <= 0) progress.Fail(TPVErrorCode::Corrupt, "the page could not be inserted: " + name);
  if (Aborting) return 0;
  ReplaceFile(name, [&](TStream& out) {
    return out.Write(copy.Memory(), copy.GetSize()) == copy.GetSize();
  });
  return Aborting ? 0 : result;
}

int TPictavoIO::DeleteTIFFIm(const std::string& name, int index) {
  TProgressRec progress;
  BeginOperation(progress);
  if (!CheckEditable(name, progress)) return 0;
  int pages = pictavo::EnumTIFFIm(name);
  if (pages == 1 && index == 0) {
    progress.Fail(TPVErrorCode::Unsupported, "the only page of a TIFF file cannot be deleted");
    return 0;
  }
  try {
    int result = pictavo::DeleteTIFFIm(name, index);
    if (result == 0) progress.Fail(TPVErrorCode::Corrupt, "the page could not be deleted: " + name);
    return result;
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Internal, e.what());
    return 0;
  }
}

int TPictavoIO::EnumTIFFIm(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  return pictavo::EnumTIFFIm(name);
}

}  // namespace pictavo
