// TfIOPreviews: the I/O parameters preview dialog as a toolkit-free model.
//
// TPictavoIO::DoPreviews hands the dialog a 24-bit copy of its target and a
// copy of IOParams, shows it, and on OK takes the parameters back.  The
// dialog has one page per requested file format; a page lists that format's
// saving fields (dialogs/saveparams.h) and previews what a save with the
// working parameters gives: the source is encoded into memory in the page's
// format and decoded again, and the dialog shows the decoded picture and the
// encoded size.  A host (the Qt form, or a test) drives the model like a
// user: it selects pages, edits fields, toggles the lock, presses Preview,
// and accepts (OK) or cancels the dialog through the dialog host.
//
// Refreshing: activation and a page change always make a fresh preview;
// with the lock down every accepted field change makes one at once, with
// the lock up only Preview does (the shown result is then marked as out of
// date).  Cancel restores the parameters the dialog was shown with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/pvdefs.h"
#include "dialogs/dialoghost.h"
#include "dialogs/pvwords.h"
#include "dialogs/saveparams.h"
#include "io/iopreviewsform.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {

// The texts the form shows, set by SetLanguage.
struct TPVIOPreviewsCaptions {
  std::string Form;  // window caption
  std::string Preview, Ok, Cancel, LockPreview;
  std::string Source, Result;  // picture labels, with a colon
  std::string OriginalSize, CompressedSize;
  std::vector<std::string> Pages;  // one per page: the format's short name
};

// The preview of one page: the decoded picture and the encoded size, or the
// reason why there is none.
struct TPVIOPreviewResult {
  std::unique_ptr<TBitmap> Bitmap;  // what loading the encoded stream gives; null when none
  int64_t EncodedSize = 0;          // bytes of the encoded stream
  TPVError Error;                   // why there is no result
  bool Valid() const { return Bitmap != nullptr; }
};

// The short name of a page's format ("JPEG", "TIFF", ...); registered
// formats by their registry description, else "Type N".
std::string PVIOPreviewPageName(int32_t fileType);

// Encodes `source` with `params` in the format `fileType` into memory and
// decodes it again, as a save followed by a load would.  Neither argument is
// changed.
TPVIOPreviewResult PVMakeIOPreview(const TBitmap& source, const TIOParamsVals& params,
                                   int32_t fileType);

class TfIOPreviews : public TPVDialogModel, public IPVIOPreviewsForm {
 public:
  explicit TfIOPreviews(TComponent* owner = nullptr);
  ~TfIOPreviews() override;
  TPVDialogKind DialogKind() const override { return dkIOPreview; }

  // --- IPVIOPreviewsForm ---------------------------------------------------
  TForm* Form() override { return form_.get(); }
  void Setup(const TPVIOPreviewsSetup& setup) override;
  TBitmap& SourceBitmap() override { return source_; }
  TIOParamsVals& Params() override { return params_; }
  // Activates the dialog and runs it through the dialog host: mrOk when
  // the host accepts it, else mrCancel with Params() as they were given.
  // mrCancel at once without a host.
  TModalResult ShowModal() override;

  // --- State set by the host -------------------------------------------------
  TMsgLanguage GetLanguage() const { return language_; }
  void SetLanguage(TMsgLanguage language);
  const TPVIOPreviewsCaptions& Captions() const { return captions_; }
  const TFont& GetFont() const { return font_; }

  // --- Pages -----------------------------------------------------------------
  const std::vector<int32_t>& Pages() const { return pages_; }
  void SetPages(std::vector<int32_t> fileTypes);
  // Index into Pages(); -1 while there are none.
  int ActivePage() const { return page_; }
  int32_t ActiveFileType() const;
  // Switches pages and previews the new one; false for an index out of range.
  bool SelectPage(int index);
  // What the form does when it is shown: first page, lock from the setup,
  // a preview of the first page.
  void Activate();

  // --- The active page's fields ------------------------------------------------
  std::vector<TPVSaveField> Fields() const;
  // The field's value; 0 for a name the page does not have.
  int32_t GetFieldValue(const std::string& name) const;
  // Stores a value as the field's editor would; false (nothing changes)
  // for an unknown or read-only field or a refused value.  An accepted
  // change previews at once with the lock down.
  bool SetFieldValue(const std::string& name, int32_t value);
  bool FieldEnabled(const std::string& name) const;

  // --- Lock, Preview and the result --------------------------------------------
  bool GetLockPreview() const { return lock_; }
  // Pressing the lock down previews at once.
  void SetLockPreview(bool down);
  bool PreviewEnabled() const { return !lock_; }
  void Preview();
  const TPVIOPreviewResult& Result() const { return result_; }
  // False after a field change that has not been previewed yet.
  bool ResultCurrent() const { return current_; }
  // How many previews were made (each is an encode and a decode).
  int PreviewCount() const { return preview_count_; }
  // Bytes of the source as the form shows it: width x height x 3.
  int64_t OriginalSize() const;

 private:
  const TPVSaveField* FindField(const std::vector<TPVSaveField>& fields,
                                const std::string& name) const;

  std::unique_ptr<TForm> form_;
  TBitmap source_;
  TIOParamsVals params_;
  TFont font_;
  TMsgLanguage language_ = msEnglish;
  TPVIOPreviewsCaptions captions_;
  std::vector<int32_t> pages_;
  int page_ = -1;
  bool setup_lock_ = false;
  bool lock_ = false;
  TPVIOPreviewResult result_;
  bool current_ = false;
  int preview_count_ = 0;
};

}  // namespace pictavo
