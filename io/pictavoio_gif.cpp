// Multi-frame GIF operations of TPictavoIO over the GIF codec's file
// functions (which already rewrite the file through a temporary copy).
#include <exception>

#include "codecs/gif.h"
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
  int result = 0;
  try {
    result = _InsertGifIm(name, *bitmap_, p, progress);
  } catch (const std::exception&) {
    Aborting = true;
    return 0;
  }
  // The inserter answers 0 without aborting when the file is not GIF: no
  // frame was added, so the operation failed.
  if (result <= 0) Aborting = true;
  if (!Aborting) _GifMakeAnimate(name, 0, p.GIF_WinWidth, p.GIF_WinHeight);
  return result;
}

int TPictavoIO::DeleteGifIm(const std::string& name, int index) {
  TProgressRec progress;
  BeginOperation(progress);
  try {
    return _DeleteGifIm(name, index, true);
  } catch (const std::exception&) {
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
