// TPictavoIO: the non-visual component through which an application loads
// and saves images.  It is attached to one target (an image view, a TImage
// or a bare TBitmap; io/pictavoio_attach.cpp), keeps the
// TIOParamsVals of the last operation, and dispatches every operation to a
// codec: by extension for files, by content for streams without a stated
// format, or by an explicit file-type key.  Built-in formats go through the
// codec table (io/codec_table.h), formats added by applications through the
// format registry (io/registry.h).
//
// Failures are reported through Aborting: every operation clears it first
// and the codecs set it.  LastError() says why the last operation failed and
// Warnings() lists the damage its reader recovered from.  A file that cannot
// be opened for a load raises the platform's EFOpenError as before, with
// LastError() already saying why (missing, a folder, not readable); the
// Params... and Find... functions catch it.  Saves to a file never raise: the
// image is written to a fresh temporary file beside the target and renamed
// over it only on success (core/replacefile.h), so a failed or cancelled save
// leaves the old file byte-identical and reports through Aborting and
// LastError().  Readers and writers added with PVFileFormatAdd run inside the
// same exception boundary as the built-in codecs (reason Internal).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/pvdefs.h"
#include "formats/ioparams.h"
#include "formats/registry.h"
#include "io/iopreviewsform.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/colors.h"
#include "platform/component.h"
#include "platform/stream.h"

namespace pictavo {

// The view base and the platform image control.
class IPVImageHost;
class TImage;

class TPictavoIO : public TComponent, public TIOParamsOwner {
 public:
  explicit TPictavoIO(TComponent* owner = nullptr);
  ~TPictavoIO() override;

  // --- Target --------------------------------------------------------------
  TBitmap* GetAttachedBitmap() const { return bitmap_; }
  // A bitmap becomes the target (and any view or TImage is detached).  Null
  // while a view or TImage is attached changes nothing; null with only a bare
  // bitmap attached detaches it, so that an application can release it.
  void SetAttachedBitmap(TBitmap* bitmap);
  // A view: its bitmap becomes the target, followed through the view's
  // bitmap-change callbacks; null detaches it.
  // An image view (any TPVView) to load into and follow.
  void SetAttachedPictavo(IPVImageHost* view);
  IPVImageHost* GetAttachedPictavo() const { return attached_view_; }
  // A TImage: its picture's bitmap becomes the target; null detaches it.
  void SetTImage(TImage* image);
  void SetAttachedTImage(TImage* image) { SetTImage(image); }
  TImage* GetAttachedTImage() const { return attached_image_; }

  // --- Properties ------------------------------------------------------------
  // The attached view's background when a view is attached, else our own.
  TColor GetBackground() const;
  void SetBackground(TColor color);
  bool GetStreamHeaders() const { return stream_headers_; }
  void SetStreamHeaders(bool on) { stream_headers_ = on; }
  TFont& GetPreviewFont() { return preview_font_; }
  void SetPreviewFont(const TFont& font) { preview_font_.Assign(font); }
  // The language and options of the parameters preview dialog.
  TMsgLanguage GetMsgLanguage() const { return msg_language_; }
  void SetMsgLanguage(TMsgLanguage language) { msg_language_ = language; }
  TIOPreviewsParams GetPreviewsParams() const { return previews_params_; }
  void SetPreviewsParams(TIOPreviewsParams params) { previews_params_ = params; }
  // Called with the form before the parameters preview dialog is shown.
  TPVIOPreviewEvent OnIOPreview;
  // Shows the parameters preview dialog (io/pictavoio_previews.cpp) over a
  // 24-bit copy of the target with the pages `pages` asks for; true when it
  // closed with OK, and IOParams then holds the edited parameters. False,
  // without a dialog, when there is no target picture, no page or no dialog.
  bool DoPreviews(TPreviewParams pages);
  TPVProgressEvent OnProgress;

  TIOParamsVals& IOParams() { return *params_; }
  const TIOParamsVals& IOParams() const { return *params_; }
  // Set by a codec that failed or was cancelled; cleared by every operation.
  bool Aborting = false;
  // The reason of the last failure (Code None after a success) and the
  // warnings of the last operation; cleared with Aborting.
  const TPVError& LastError() const { return diagnostics_.Error; }
  const std::vector<std::string>& Warnings() const { return diagnostics_.Warnings; }
  TPVDiagnostics& Diagnostics() { return diagnostics_; }

  // A progress record for one operation: handler and Sender from this
  // component, abort pointer at Aborting.
  TProgressRec MakeProgress();

  // --- Per-format operations -------------------------------------------------
  void LoadFromFileTIFF(const std::string& name);
  void LoadFromStreamTIFF(TStream& stream);
  void SaveToFileTIFF(const std::string& name);
  void SaveToStreamTIFF(TStream& stream);
  void LoadFromFileGif(const std::string& name);
  void LoadFromStreamGif(TStream& stream);
  void SaveToFileGif(const std::string& name);
  void SaveToStreamGif(TStream& stream);
  void LoadFromFileJpeg(const std::string& name);
  void LoadFromStreamJpeg(TStream& stream);
  void SaveToFileJpeg(const std::string& name);
  void SaveToStreamJpeg(TStream& stream);
  void LoadFromFilePCX(const std::string& name);
  void LoadFromStreamPCX(TStream& stream);
  void SaveToFilePCX(const std::string& name);
  void SaveToStreamPCX(TStream& stream);
  void LoadFromFileBMP(const std::string& name);
  void LoadFromStreamBMP(TStream& stream);
  void SaveToFileBMP(const std::string& name);
  void SaveToStreamBMP(TStream& stream);
  void LoadFromFileICO(const std::string& name);
  void LoadFromStreamICO(TStream& stream);
  void LoadFromFileCUR(const std::string& name);
  void LoadFromStreamCUR(TStream& stream);
  void LoadFromFilePNG(const std::string& name);
  void LoadFromStreamPNG(TStream& stream);
  void SaveToFilePNG(const std::string& name);
  void SaveToStreamPNG(TStream& stream);
  void LoadFromFileTGA(const std::string& name);
  void LoadFromStreamTGA(TStream& stream);
  void SaveToFileTGA(const std::string& name);
  void SaveToStreamTGA(TStream& stream);
  void LoadFromFilePXM(const std::string& name);
  void LoadFromStreamPXM(TStream& stream);
  void SaveToFilePXM(const std::string& name);
  void SaveToStreamPXM(TStream& stream);

  // --- Dispatch --------------------------------------------------------------
  void LoadFromFile(const std::string& name);
  void LoadFromFileFormat(const std::string& name, int32_t fileType);
  void LoadFromStream(TStream& stream);
  void LoadFromStreamFormat(TStream& stream, int32_t fileType);
  void SaveToFile(const std::string& name);
  void SaveToStream(TStream& stream, int32_t fileType);
  // Writes the picture in `source` to `dest` (format by extension) as
  // LoadFromFile followed by SaveToFile would, but leaves the attached bitmap
  // and view alone. `beforeSave` may change the parameters between the two
  // (it may also be given a trial copy first). Binary PPM and PGM files with
  // one byte per sample and 24-bit uncompressed BMP files go to JPEG, and to
  // 24-bit PNG without interlacing, a row at a time, so the picture is never
  // held whole.
  void ConvertFile(const std::string& source, const std::string& dest,
                   const std::function<void(TIOParamsVals&)>& beforeSave = {});

  // Fill IOParams from a file or stream without touching the target.
  void ParamsFromFile(const std::string& name);
  void ParamsFromFileFormat(const std::string& name, int32_t fileType);
  void ParamsFromStream(TStream& stream);
  void ParamsFromStreamFormat(TStream& stream, int32_t fileType);

  // Renders a WMF or EMF file into the target (io/pictavoio_metafile.cpp).
  void ImportMetafile(const std::string& name, int width, int height);

  // After a load: the view's Update and ImageChange when a view is attached,
  // else the target bitmap's modified flag.
  void Update();
  // Fills the target with Background.
  void Clear();
  // Copies the parameters of another TPictavoIO or of a TIOParamsVals; any
  // other object is ignored.
  void AssignParams(TObject* source);

  // --- Multi-image and IPTC operations (implemented by their codec units) ---
  // io/pictavoio_gif.cpp
  int InsertToFileGif(const std::string& name);
  int DeleteGifIm(const std::string& name, int index);
  int EnumGifIm(const std::string& name);
  bool CheckAniGif(const std::string& name);
  // io/pictavoio_tiff.cpp
  int InsertToFileTIFF(const std::string& name);
  int DeleteTIFFIm(const std::string& name, int index);
  int EnumTIFFIm(const std::string& name);
  // io/pictavoio_jpeg.cpp
  bool InjectJpegIPTC(const std::string& name);
  bool InjectJpegIPTCStream(TStream& source, TStream& dest);

  // TIOParamsOwner
  TBitmap* ParamsTargetBitmap() override { return bitmap_; }
  bool ParamsViewResolution(int& dpiX, int& dpiY) override;

 protected:
  // Clears Aborting and builds the progress record; false when there is no
  // target bitmap (the operation then does nothing).
  bool BeginOperation(TProgressRec& progress);
  // Passes IOParams' resolution to the attached view.
  void SetViewResolution();
  void Notification(TComponent* component, TOperation operation) override;

 private:
  // Unregisters from the attached view and drops the view and TImage.
  void DetachTargets();
  void ViewBitmapChanged(TObject* Sender, bool destroying);
  void ClearLists();
  void PrepareTargetForSave();
  // Calls the built-in reader or writer; a missing codec sets Aborting.
  void CodecRead(int32_t key, TStream& stream, TBitmap* bitmap, TProgressRec& progress,
                 bool preview, int64_t blockSize);
  void CodecWrite(int32_t key, TStream& stream, TProgressRec& progress);
  // Reads one built-in format at the stream position, honouring the block
  // headers of TIFF, PCX and JPEG streams.
  void StreamRead(int32_t key, TStream& stream, TBitmap* bitmap, TProgressRec& progress,
                  bool preview);
  void StreamWrite(int32_t key, TStream& stream, TProgressRec& progress);
  void FileRead(int32_t key, TStream& file, TBitmap* bitmap, TProgressRec& progress, bool preview);
  void ReadParamsOnly(TStream& stream, int32_t fileType, bool fromFile);
  void AfterLoad(int32_t key, const std::string& fileName, bool passResolution);
  void LoadFileBuiltin(int32_t key, const std::string& name);
  void LoadStreamBuiltin(int32_t key, TStream& stream);
  void SaveFileBuiltin(int32_t key, const std::string& name);
  void SaveStreamBuiltin(int32_t key, TStream& stream);
  void LoadFileRegistry(const TPVFileFormatInfo* info, const std::string& name);
  // ConvertFile's two ways (io/pictavoio_convert.cpp). ConvertRows returns
  // false, having written nothing, when the rows cannot be streamed.
  bool ConvertRows(const std::string& source, const std::string& dest, int32_t inKey,
                   int32_t outKey, const std::function<void(TIOParamsVals&)>& beforeSave);
  void ConvertThroughBitmap(const std::string& source, const std::string& dest,
                            const std::function<void(TIOParamsVals&)>& beforeSave);
  // Opens a file for a load; when it cannot be opened, records why, sets
  // Aborting and rethrows the platform's exception.
  std::unique_ptr<TFileStream> OpenForLoad(const std::string& name);
  // After a read from `file`: a read error the system reported fails the
  // load with that reason.
  void CheckReadError(const TFileStream& file);
  // Whether the existing file `name` may be edited in place; otherwise records
  // why (missing, a folder, not writable) through `progress`.
  bool CheckEditable(const std::string& name, TProgressRec& progress);
  // Replaces the file `name` with what `write` produces (false: it failed);
  // a failure sets Aborting and keeps the most precise reason.
  void ReplaceFile(const std::string& name, const std::function<bool(TStream&)>& write);
  void LoadStreamRegistry(const TPVFileFormatInfo* info, int32_t key, TStream& stream);
  // Stores IPTC_Info as the APP13 marker when the user changed it; false
  // when it does not fit in a marker.
  bool StoreIPTCMarker();
  // Parses the first APP13 marker into IPTC_Info.
  void ParseIPTCMarker();

  TBitmap* bitmap_ = nullptr;
  IPVImageHost* attached_view_ = nullptr;
  // The attached view as a component, taken when it attached: a view being
  // destroyed is recognised by this without calling it.
  TComponent* attached_view_component_ = nullptr;
  TImage* attached_image_ = nullptr;
  TColor background_ = 0;
  bool stream_headers_ = false;
  TFont preview_font_;
  TMsgLanguage msg_language_ = TMsgLanguage(0);
  TIOPreviewsParams previews_params_;
  std::unique_ptr<TIOParamsVals> params_;
  TPVDiagnostics diagnostics_;
};

// The file-type key of the stream's content, or 0; the position is restored.
int32_t FindStreamFormat(TStream& stream);
// The key of the file's content, or 0 (also when it cannot be read).  With
// verify, the extension must belong to a registry entry of that key.
int32_t FindFileFormat(const std::string& name, bool verify);

// The lower-cased extension of a file name without the dot ("" when none).
std::string PVLowerExtension(const std::string& name);

}  // namespace pictavo
