// Converting a file into another format without the attached bitmap: rows go
// straight from the reader to the writer where both can work a row at a
// time, otherwise the picture passes through a private bitmap.
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/jpeg.h"
#include "codecs/png.h"
#include "codecs/pxm.h"
#include "formats/codec_table.h"
#include "io/pictavoio.h"

namespace pictavo {

namespace {

// Whether the writer of `key` takes rows with these parameters.
bool WriterTakesRows(int32_t key, const TIOParamsVals& params) {
  if (key == ftJPEG) return true;
  if (key == ftPNG) return PNGWritesRows(params);
  return false;
}

// The row reader of a source format that has one.
std::unique_ptr<TPVFileRows> OpenRows(int32_t key, TFileStream& file, TIOParamsVals& params,
                                      TProgressRec& progress) {
  if (key == ftBMP) return std::make_unique<TPVBmpRows>(file, file.GetSize(), params, progress);
  return std::make_unique<TPVPxmRows>(file, params, progress);
}

}  // namespace

void TPictavoIO::ConvertFile(const std::string& source, const std::string& dest,
                             const std::function<void(TIOParamsVals&)>& beforeSave) {
  Aborting = false;
  diagnostics_.Clear();
  if (source.empty() || dest.empty()) return;
  const int32_t inKey = PVBuiltinKeyOfExtension(PVLowerExtension(source), pvExtLoad);
  const int32_t outKey = PVBuiltinKeyOfExtension(PVLowerExtension(dest), pvExtSave);
  if ((inKey == ftPXM || inKey == ftBMP) && (outKey == ftJPEG || outKey == ftPNG) &&
      ConvertRows(source, dest, inKey, outKey, beforeSave))
    return;
  ConvertThroughBitmap(source, dest, beforeSave);
}

bool TPictavoIO::ConvertRows(const std::string& source, const std::string& dest, int32_t inKey,
                             int32_t outKey,
                             const std::function<void(TIOParamsVals&)>& beforeSave) {
  TProgressRec progress;
  BeginOperation(progress);
  std::unique_ptr<TFileStream> file = OpenForLoad(source);
  ClearLists();
  const std::unique_ptr<TPVFileRows> opened = OpenRows(inKey, *file, *params_, progress);
  if (!opened->HeaderRead()) {
    CheckReadError(*file);
    return true;  // the reason is recorded, as a load would
  }
  if (!opened->Streamable()) return false;
  IPVRowSource& rows = *opened;
  params_->FileName = source;
  params_->FileType = inKey;
  // The hook sees the parameters a load would have left; a copy first, since
  // parameters the writer cannot meet a row at a time send the picture
  // through a bitmap, whose load sets them again.
  TIOParamsVals trial;
  trial.Assign(*params_);
  if (beforeSave) beforeSave(trial);
  if (!WriterTakesRows(outKey, trial)) return false;
  params_->Assign(trial);
  if (outKey == ftJPEG && !StoreIPTCMarker()) {
    progress.Fail(TPVErrorCode::Unsupported, "the IPTC block does not fit in a JPEG marker");
    return true;
  }
  ReplaceFile(dest, [&](TStream& out) {
    try {
      if (outKey == ftJPEG)
        WriteJPegRows(out, rows, *params_, progress);
      else
        WritePNGRows(out, rows, *params_, progress);
    } catch (const std::bad_alloc&) {
      progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
    } catch (const std::exception& e) {
      progress.Fail(TPVErrorCode::WriteError, e.what());
    }
    return !Aborting;
  });
  CheckReadError(*file);
  return true;
}

void TPictavoIO::ConvertThroughBitmap(const std::string& source, const std::string& dest,
                                      const std::function<void(TIOParamsVals&)>& beforeSave) {
  // The load and save run on a private bitmap with no view attached, so
  // neither the attached picture nor a view changes.
  TBitmap picture;
  struct Restore {
    TPictavoIO& io;
    TBitmap* bitmap;
    IPVImageHost* view;
    ~Restore() {
      io.bitmap_ = bitmap;
      io.attached_view_ = view;
    }
  } restore{*this, bitmap_, attached_view_};
  bitmap_ = &picture;
  attached_view_ = nullptr;
  LoadFromFile(source);
  if (Aborting) return;
  // What the reader recovered from is reported with the conversion.
  std::vector<std::string> warnings = diagnostics_.Warnings;
  if (beforeSave) beforeSave(*params_);
  SaveToFile(dest);
  diagnostics_.Warnings.insert(diagnostics_.Warnings.begin(), warnings.begin(), warnings.end());
}

}  // namespace pictavo
