#include "dialogs/pvopensavedlg.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "io/pictavoio.h"
#include "io/registry.h"

namespace pictavo {
namespace {

// The extension after the last dot of the last path component ("" when none).
std::string ExtensionOf(const std::string& name) {
  size_t slash = name.find_last_of('/');
  size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  if (dot == (slash == std::string::npos ? 0 : slash + 1)) return {};  // ".hidden"
  return name.substr(dot + 1);
}

// "*.png" -> "png"; "" for any other pattern.
std::string PatternExtension(const std::string& pattern) {
  if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0) return {};
  std::string ext = pattern.substr(2);
  if (ext.find_first_of("*?[") != std::string::npos) return {};
  return ext;
}

bool HasExtension(const TPVPictureFormat& f, const std::string& ext) {
  std::string lower = ext;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(f.Extensions.begin(), f.Extensions.end(), lower) != f.Extensions.end();
}

}  // namespace

// ---------------------------------------------------------------------------
// Open dialog

TOpenPictavoDialog::TOpenPictavoDialog(TComponent* owner) : TPVFileDialog(owner) {}

void TOpenPictavoDialog::SetPreviewSize(int width, int height) {
  preview_width_ = std::max(1, width);
  preview_height_ = std::max(1, height);
}

void TOpenPictavoDialog::SelectFile(const std::string& name) {
  SetFileName(name);
  if (show_preview_)
    preview_ = PVMakeFilePreview(name, preview_width_, preview_height_);
  else
    preview_ = TPVFilePreview{};
}

bool TOpenPictavoDialog::ShowFrame(int frame) {
  if (!preview_.Valid || frame < 0 || frame >= preview_.FrameCount) return false;
  preview_ = PVMakeFilePreview(preview_.FileName, preview_width_, preview_height_, frame);
  return preview_.Valid && preview_.Picture != nullptr;
}

bool TOpenPictavoDialog::NextFrame() {
  if (!animate_ || !preview_.Valid || preview_.FrameCount < 2) return false;
  return ShowFrame((preview_.Frame + 1) % preview_.FrameCount);
}

void TOpenPictavoDialog::BeforeShow() {
  animate_ = GetAlwaysAnimate();
  preview_ = TPVFilePreview{};
  if (!GetFileName().empty() && show_preview_) SelectFile(GetFileName());
}

bool TOpenPictavoDialog::AcceptResult() {
  std::error_code ec;
  return std::filesystem::is_regular_file(GetFileName(), ec);
}

// ---------------------------------------------------------------------------
// Save dialog

TSavePictavoDialog::TSavePictavoDialog(TComponent* owner)
    : TPVFileDialog(owner), params_(std::make_unique<TIOParamsVals>()) {
  format_ = InitialFormat();
}

TSavePictavoDialog::~TSavePictavoDialog() {
  SetAttachedPictavoIO(nullptr);
}

void TSavePictavoDialog::SetAttachedPictavoIO(TPictavoIO* io) {
  if (io_ == io) return;
  if (io_) RemoveFreeNotification(io_);
  io_ = io;
  if (io_) FreeNotification(io_);
}

void TSavePictavoDialog::Notification(TComponent* component, TOperation operation) {
  TPVFileDialog::Notification(component, operation);
  if (operation == opRemove && component == io_) io_ = nullptr;
}

bool TSavePictavoDialog::SetFormat(int32_t fileType) {
  if (!PVFindFormat(Formats(), fileType)) return false;
  format_ = fileType;
  if (!GetFileName().empty()) TPVFileDialog::SetFileName(NameWithExtension(GetFileName(), format_));
  return true;
}

void TSavePictavoDialog::SetFileName(const std::string& name) {
  TPVFileDialog::SetFileName(name);
  if (int32_t key = PVWritableFormatOfExtension(ExtensionOf(name))) format_ = key;
}

void TSavePictavoDialog::SetFilterIndex(int index) {
  TPVFileDialog::SetFilterIndex(index);
  std::vector<TPVFilterEntry> entries = FilterEntries();
  if (entries.empty()) return;
  std::string ext = PatternExtension(entries[GetFilterIndex()].Patterns.front());
  if (int32_t key = PVWritableFormatOfExtension(ext)) SetFormat(key);
}

namespace {

int IndexOfField(const std::vector<TPVSaveField>& fields, const std::string& name) {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Name == name) return static_cast<int>(i);
  return -1;
}

}  // namespace

int TSavePictavoDialog::FieldIndex(const std::string& name) const {
  return IndexOfField(Fields(), name);
}

int32_t TSavePictavoDialog::GetFieldValue(const std::string& name) const {
  std::vector<TPVSaveField> fields = Fields();
  int i = IndexOfField(fields, name);
  return i < 0 ? 0 : PVGetParamField(fields[i], *params_);
}

bool TSavePictavoDialog::SetFieldValue(const std::string& name, int32_t value) {
  std::vector<TPVSaveField> fields = Fields();
  int i = IndexOfField(fields, name);
  return i >= 0 && PVSetParamField(fields[i], *params_, value);
}

// The format of the file name, else of the parameters' last file, else
// the one chosen before, else PNG (lossless and compact), else the first.
int32_t TSavePictavoDialog::InitialFormat() const {
  std::vector<TPVPictureFormat> formats = Formats();
  if (int32_t key = PVWritableFormatOfExtension(ExtensionOf(GetFileName()))) return key;
  for (int32_t key : {params_->FileType, format_, int32_t(ftPNG)})
    if (PVFindFormat(formats, key)) return key;
  return formats.empty() ? 0 : formats.front().FileType;
}

std::string TSavePictavoDialog::NameWithExtension(const std::string& name, int32_t fileType) const {
  std::vector<TPVPictureFormat> formats = Formats();
  const TPVPictureFormat* format = PVFindFormat(formats, fileType);
  if (!format || name.empty()) return name;
  std::string ext = ExtensionOf(name);
  if (!ext.empty() && HasExtension(*format, ext)) return name;
  std::string base = name;
  if (!ext.empty() && PVWritableFormatOfExtension(ext) != 0)
    base.resize(name.size() - ext.size() - 1);
  return base + "." + format->Extensions.front();
}

void TSavePictavoDialog::BeforeShow() {
  if (io_) params_->Assign(io_->IOParams());
  format_ = InitialFormat();
}

bool TSavePictavoDialog::AcceptResult() {
  if (format_ == 0) return false;
  TPVFileDialog::SetFileName(NameWithExtension(GetFileName(), format_));
  if (io_) PVCopySaveParams(format_, *params_, io_->IOParams());
  return true;
}

// ---------------------------------------------------------------------------
// The all-in-one view's dialog calls

std::string PVExecuteOpenDialog(TComponent* owner, const std::string& initialDir,
                                const std::string& filter, bool alwaysAnimate,
                                TMsgLanguage language) {
  auto dialog = std::make_unique<TOpenPictavoDialog>(owner);
  dialog->SetInitialDir(initialDir);
  dialog->SetFilter(filter);
  dialog->SetAlwaysAnimate(alwaysAnimate);
  dialog->SetMsgLanguage(language);
  return dialog->Execute() ? dialog->GetFileName() : std::string();
}

std::string PVExecuteSaveDialog(TComponent* owner, TPictavoIO* io, const std::string& initialDir,
                                const std::string& filter, bool alwaysAnimate,
                                TMsgLanguage language) {
  auto dialog = std::make_unique<TSavePictavoDialog>(owner);
  dialog->SetAttachedPictavoIO(io);
  dialog->SetInitialDir(initialDir);
  dialog->SetFilter(filter);
  dialog->SetAlwaysAnimate(alwaysAnimate);
  dialog->SetMsgLanguage(language);
  return dialog->Execute() ? dialog->GetFileName() : std::string();
}

}  // namespace pictavo
