// TfIOPreviews: pages, fields, the encode-and-decode preview, OK and Cancel.
#include "dialogs/pviopreviews.h"

#include <exception>
#include <new>
#include <utility>

#include "core/conversions.h"
#include "io/pictavoio.h"
#include "platform/forms.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

constexpr int kFormWidth = 640;
constexpr int kFormHeight = 480;
constexpr int64_t kBytesPerPixel = 3;

// Why the component failed; a failure without a recorded reason still
// needs one for the host to show.
TPVError ReasonOf(const TPictavoIO& io, const char* what) {
  if (io.LastError()) return io.LastError();
  return TPVError{TPVErrorCode::Internal, what};
}

// The encode and the decode on a private component and a private copy of
// the source, so that neither the dialog's source nor its parameters see
// what the codecs do to theirs.
void EncodeAndDecode(const TBitmap& source, const TIOParamsVals& params, int32_t fileType,
                     TPVIOPreviewResult& out) {
  TBitmap work;
  PVCopyBitmap(source, work);
  TPictavoIO io;
  io.IOParams().Assign(params);
  io.SetAttachedBitmap(&work);
  TMemoryStream stream;
  io.SaveToStream(stream, fileType);
  if (io.Aborting) {
    out.Error = ReasonOf(io, "the picture could not be encoded");
    return;
  }
  const int64_t size = stream.GetSize();
  stream.SetPosition(0);
  auto decoded = std::make_unique<TBitmap>();
  io.SetAttachedBitmap(decoded.get());
  io.LoadFromStreamFormat(stream, fileType);
  io.SetAttachedBitmap(nullptr);
  if (io.Aborting) {
    out.Error = ReasonOf(io, "the encoded picture could not be decoded");
    return;
  }
  out.EncodedSize = size;
  out.Bitmap = std::move(decoded);
}

}  // namespace

std::string PVIOPreviewPageName(int32_t fileType) {
  switch (fileType) {
    case ftJPEG:
      return "JPEG";
    case ftTIFF:
      return "TIFF";
    case ftGIF:
      return "GIF";
    case ftBMP:
      return "BMP";
    case ftPCX:
      return "PCX";
    case ftPNG:
      return "PNG";
    case ftTGA:
      return "TGA";
    case ftPXM:
      return "PXM";
    default:
      break;
  }
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  if (info && !info->Description.empty()) return info->Description;
  return "Type " + std::to_string(fileType);
}

TPVIOPreviewResult PVMakeIOPreview(const TBitmap& source, const TIOParamsVals& params,
                                   int32_t fileType) {
  TPVIOPreviewResult out;
  if (source.GetWidth() <= 0 || source.GetHeight() <= 0) {
    out.Error = TPVError{TPVErrorCode::Unsupported, "there is no picture to preview"};
    return out;
  }
  try {
    EncodeAndDecode(source, params, fileType, out);
  } catch (const std::bad_alloc&) {
    out = TPVIOPreviewResult{};
    out.Error = TPVError{TPVErrorCode::OutOfMemory, "out of memory while previewing"};
  } catch (const std::exception& e) {
    out = TPVIOPreviewResult{};
    out.Error = TPVError{TPVErrorCode::Internal, e.what()};
  }
  return out;
}

// --- The dialog ------------------------------------------------------------------------

TfIOPreviews::TfIOPreviews(TComponent* owner)
    : TPVDialogModel(owner), form_(std::make_unique<TForm>()) {
  form_->SetBounds(0, 0, kFormWidth, kFormHeight);
  SetLanguage(msEnglish);
}

TfIOPreviews::~TfIOPreviews() = default;

void TfIOPreviews::Setup(const TPVIOPreviewsSetup& setup) {
  setup_lock_ = setup.lockPreview;
  lock_ = setup.lockPreview;
  if (setup.font) font_.Assign(*setup.font);
  SetPages(setup.fileTypes);
  SetLanguage(setup.language);
}

TModalResult TfIOPreviews::ShowModal() {
  if (!PVHasDialogHost()) return mrCancel;
  TIOParamsVals given;
  given.Assign(params_);
  Activate();
  if (PVRunDialog(*this)) return mrOk;
  // Cancel: whatever was edited is forgotten, as the user expects.
  params_.Assign(given);
  return mrCancel;
}

void TfIOPreviews::SetLanguage(TMsgLanguage language) {
  language_ = language;
  auto w = [language](TMsgLanguageWords word) { return pvmsg(word, language); };
  TPVIOPreviewsCaptions& c = captions_;
  c.Form = w(PVMSG_PARAMETERSPREVIEW);
  c.Preview = w(PVMSG_PREVIEW);
  c.Ok = w(PVMSG_OK);
  c.Cancel = w(PVMSG_CANCEL);
  c.LockPreview = w(PVMSG_LOCKPREVIEW);
  c.Source = w(PVMSG_SOURCE) + ":";
  c.Result = w(PVMSG_RESULT) + ":";
  c.OriginalSize = w(PVMSG_ORIGINALSIZE);
  c.CompressedSize = w(PVMSG_COMPRESSEDSIZE);
  c.Pages.clear();
  for (int32_t fileType : pages_) c.Pages.push_back(PVIOPreviewPageName(fileType));
  form_->SetCaption(c.Form);
}

// --- Pages -------------------------------------------------------------------------------

void TfIOPreviews::SetPages(std::vector<int32_t> fileTypes) {
  pages_ = std::move(fileTypes);
  page_ = pages_.empty() ? -1 : 0;
  result_ = TPVIOPreviewResult{};
  current_ = false;
  SetLanguage(language_);
}

int32_t TfIOPreviews::ActiveFileType() const {
  return page_ < 0 ? 0 : pages_[page_];
}

bool TfIOPreviews::SelectPage(int index) {
  if (index < 0 || index >= static_cast<int>(pages_.size())) return false;
  page_ = index;
  Preview();
  return true;
}

void TfIOPreviews::Activate() {
  lock_ = setup_lock_;
  page_ = pages_.empty() ? -1 : 0;
  Preview();
}

// --- Fields ------------------------------------------------------------------------------

std::vector<TPVSaveField> TfIOPreviews::Fields() const {
  return PVSaveParamFields(ActiveFileType(), params_);
}

const TPVSaveField* TfIOPreviews::FindField(const std::vector<TPVSaveField>& fields,
                                            const std::string& name) const {
  for (const TPVSaveField& f : fields)
    if (f.Name == name) return &f;
  return nullptr;
}

int32_t TfIOPreviews::GetFieldValue(const std::string& name) const {
  const std::vector<TPVSaveField> fields = Fields();
  const TPVSaveField* f = FindField(fields, name);
  return f ? PVGetParamField(*f, params_) : 0;
}

bool TfIOPreviews::FieldEnabled(const std::string& name) const {
  const std::vector<TPVSaveField> fields = Fields();
  const TPVSaveField* f = FindField(fields, name);
  return f && !f->ReadOnly && f->IsEnabled(params_);
}

bool TfIOPreviews::SetFieldValue(const std::string& name, int32_t value) {
  const std::vector<TPVSaveField> fields = Fields();
  const TPVSaveField* f = FindField(fields, name);
  // A greyed-out editor cannot be changed by the user.
  if (!f || !f->IsEnabled(params_)) return false;
  // An editor offers its range only: a number outside it is refused, not
  // clamped, so that a host's mistake does not pass for a choice.
  if (f->Kind == pfkInteger && (value < f->Min || value > f->Max)) return false;
  TIOParamsVals before;
  before.Assign(params_);
  if (!PVSetParamField(*f, params_, value)) return false;
  if (params_ == before) return true;  // the same value again: nothing to redo
  if (lock_)
    Preview();
  else
    current_ = false;
  return true;
}

// --- Lock, Preview and the result --------------------------------------------------------

void TfIOPreviews::SetLockPreview(bool down) {
  if (lock_ == down) return;
  lock_ = down;
  if (lock_ && !current_) Preview();
}

void TfIOPreviews::Preview() {
  ++preview_count_;
  if (page_ < 0) {
    result_ = TPVIOPreviewResult{};
    result_.Error = TPVError{TPVErrorCode::Unsupported, "no format to preview"};
  } else {
    result_ = PVMakeIOPreview(source_, params_, ActiveFileType());
  }
  current_ = true;
}

int64_t TfIOPreviews::OriginalSize() const {
  return int64_t(source_.GetWidth()) * source_.GetHeight() * kBytesPerPixel;
}

namespace {

// The I/O component's DoPreviews shows this dialog in every program that
// links the library.
const bool kFactoryInstalled = [] {
  PVSetIOPreviewsFormFactory([](TComponent* owner) -> std::unique_ptr<IPVIOPreviewsForm> {
    return std::make_unique<TfIOPreviews>(owner);
  });
  return true;
}();

}  // namespace

}  // namespace pictavo
