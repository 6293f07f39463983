// The open and save picture dialogs as models.  A host shows them (the Qt
// host's forms are thin views over these models) and tests answer them;
// see dialogs/dialoghost.h.
//
// TOpenPictavoDialog: the user browses files; for the file under the cursor
// the model offers a preview (format, size, depth and a small picture, with
// frame stepping for animated GIF and multi-page TIFF files).  Execute is
// true when an existing file was chosen.
//
// TSavePictavoDialog: the user names the file and picks the format; the
// model keeps a working copy of the saving parameters and exposes that
// format's fields (dialogs/saveparams.h) for editing.  When accepted, the
// file name carries an extension of the chosen format (so that
// TPictavoIO::SaveToFile saves in it) and the edited fields are written
// into the attached I/O component's IOParams; a cancelled dialog writes
// nothing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dialogs/filedialog.h"
#include "dialogs/filepreview.h"
#include "dialogs/pictureformats.h"
#include "dialogs/saveparams.h"
#include "io/ioparams.h"

namespace pictavo {

class TPictavoIO;

class TOpenPictavoDialog : public TPVFileDialog {
 public:
  static constexpr int kDefaultPreviewSize = 192;

  explicit TOpenPictavoDialog(TComponent* owner = nullptr);
  TPVDialogKind DialogKind() const override { return dkOpenPicture; }

  bool GetShowPreview() const { return show_preview_; }
  void SetShowPreview(bool on) { show_preview_ = on; }
  // The box the preview picture fits in.
  void SetPreviewSize(int width, int height);
  int GetPreviewWidth() const { return preview_width_; }
  int GetPreviewHeight() const { return preview_height_; }
  // The "Animate" check box; set from AlwaysAnimate each time the dialog opens.
  bool GetAnimate() const { return animate_; }
  void SetAnimate(bool on) { animate_ = on; }

  // The user moved to a file: it becomes FileName and, with ShowPreview,
  // its preview is built (frame 0).
  void SelectFile(const std::string& name);
  const TPVFilePreview& GetPreview() const { return preview_; }
  // Shows another frame of the previewed file; false when it has no such frame.
  bool ShowFrame(int frame);
  // Steps to the next frame (after the last, the first) while animating a
  // file of several frames; false when there is nothing to step.
  bool NextFrame();

 protected:
  std::string DefaultFilter() const override { return PVDefaultOpenFilter(); }
  TMsgLanguageWords TitleWord() const override { return PVMSG_LOAD; }
  void BeforeShow() override;
  bool AcceptResult() override;

 private:
  bool show_preview_ = true;
  int preview_width_ = kDefaultPreviewSize;
  int preview_height_ = kDefaultPreviewSize;
  bool animate_ = false;
  TPVFilePreview preview_;
};

class TSavePictavoDialog : public TPVFileDialog {
 public:
  explicit TSavePictavoDialog(TComponent* owner = nullptr);
  ~TSavePictavoDialog() override;
  TPVDialogKind DialogKind() const override { return dkSavePicture; }

  // The I/O component whose parameters the dialog edits (null for none; the
  // dialog then edits only its own Params()).
  void SetAttachedPictavoIO(TPictavoIO* io);
  TPictavoIO* GetAttachedPictavoIO() const { return io_; }

  // The working parameters: copied from the attached component when the
  // dialog opens, edited through the fields.
  TIOParamsVals& Params() { return *params_; }
  const TIOParamsVals& Params() const { return *params_; }

  std::vector<TPVPictureFormat> Formats() const { return PVWritableFormats(); }
  int32_t GetFormat() const { return format_; }
  // Chooses a writable format (false otherwise) and gives the file name its
  // extension: kept when it belongs to the format, replaced when it belongs
  // to another format, appended otherwise.
  bool SetFormat(int32_t fileType);
  // A name whose extension belongs to a writable format also chooses it.
  void SetFileName(const std::string& name) override;
  // An entry whose first pattern is "*.ext" of a writable format chooses it.
  void SetFilterIndex(int index) override;

  // The fields of the chosen format, read and written on Params().
  std::vector<TPVSaveField> Fields() const { return PVSaveParamFields(format_, *params_); }
  int FieldIndex(const std::string& name) const;
  // By field name; Get gives 0 and Set false for a name the format lacks.
  int32_t GetFieldValue(const std::string& name) const;
  bool SetFieldValue(const std::string& name, int32_t value);

 protected:
  std::string DefaultFilter() const override { return PVDefaultSaveFilter(); }
  TMsgLanguageWords TitleWord() const override { return PVMSG_SAVE; }
  void BeforeShow() override;
  bool AcceptResult() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  int32_t InitialFormat() const;
  std::string NameWithExtension(const std::string& name, int32_t fileType) const;

  TPictavoIO* io_ = nullptr;
  std::unique_ptr<TIOParamsVals> params_;
  int32_t format_ = 0;
};

// What the all-in-one view's ExecuteOpenDialog / ExecuteSaveDialog do: create
// the dialog owned by `owner`, set the initial folder, filter (empty: the
// default one), AlwaysAnimate and language, run it, free it, and return the
// chosen file name or "" when cancelled (at once when no host is installed).
std::string PVExecuteOpenDialog(TComponent* owner, const std::string& initialDir,
                                const std::string& filter, bool alwaysAnimate,
                                TMsgLanguage language = msSystem);
std::string PVExecuteSaveDialog(TComponent* owner, TPictavoIO* io, const std::string& initialDir,
                                const std::string& filter, bool alwaysAnimate,
                                TMsgLanguage language = msSystem);

}  // namespace pictavo
