// Multi-frame GIF operations of TPictavoIO over the GIF codec.  Every change
// to a file replaces it through a fresh temporary file (core/replacefile.h),
// so a failure leaves the original as it was.
#include <exception>

#include "codecs/gif.h"
#include "core/replacefile.h"
#include "io/pictavoio.h"

namespace pictavo {

int TPictavoIO::InsertToFileGif(const std::string& name) {
  TProgressRec progress;
  if (!BeginOperation(progress)) return 0;
  PrepareTargetForSave();
  TIOParamsVals& p = *params_;
  // The logical screen must hold the new frame at its position.
  if (p.GIF_WinWidth < bitmap_->GetWidth() + p.GIF_XPos)
    p.GIF_WinWidth = bitmap_->GetWidth() + p.GIF_XPos;
  if (p.GIF_WinHeight < bitmap_->GetHeight() + p.GIF_YPos)
    p.GIF_WinHeight = bitmap_->GetHeight() + p.GIF_YPos;
  TMemoryStream copy;
  int result = 0;
  try {
    std::unique_ptr<TFileStream> file = OpenForLoad(name);
    copy.LoadFromStream(*file);
    CheckReadError(*file);
    if (Aborting) return 0;
    copy.SetPosition(0);
    result = _InsertGifImStream(copy, *bitmap_, p, progress);
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::ReadError, e.what());
    return 0;
  }
  // The inserter answers 0 without aborting when the file is not GIF: no
  // frame was added, so the operation failed.
  if (result <= 0) progress.Fail(TPVErrorCode::UnknownFormat, "not a GIF file: " + name);
  if (Aborting) return 0;
  ReplaceFile(name, [&](TStream& out) {
    return out.Write(copy.Memory(), copy.GetSize()) == copy.GetSize();
  });
  if (Aborting) return 0;
  _GifMakeAnimate(name, 0, p.GIF_WinWidth, p.GIF_WinHeight);
  return result;
}

int TPictavoIO::DeleteGifIm(const std::string& name, int index) {
  TProgressRec progress;
  BeginOperation(progress);
  if (!CheckEditable(name, progress)) return 0;
  try {
    int kept = _DeleteGifIm(name, index, true);
    if (kept == 0) progress.Fail(TPVErrorCode::Corrupt, "the frame could not be deleted: " + name);
    return kept;
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Internal, e.what());
    return 0;
  }
}

int TPictavoIO::EnumGifIm(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    // Index -1 matches no frame and nothing is written: the deleter only counts.
    return _DeleteGifIm(name, -1, false);
  } catch (const std::exception&) {
    return 0;
  }
}

bool TPictavoIO::CheckAniGif(const std::string& name) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    return _CheckGifAnimate(name);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace pictavo
