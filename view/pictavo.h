// TPictavo: the all-in-one control.  An image view that owns one processing
// component and one I/O component, both attached to itself, and forwards
// their operations, so that an application drops one control to load,
// process and save images.  It adds no behaviour beyond that wiring, the
// shared progress handler, Assign with the I/O parameters, and the open and
// save dialogs.
#pragma once

#include <string>

#include "io/pictavoio.h"
#include "processing/pictavoproc.h"
#include "view/pictavoview.h"

namespace pictavo {

class TPictavo : public TPictavoView {
 public:
  explicit TPictavo(TComponent* owner = nullptr);
  ~TPictavo() override;

  TPictavoProc& Proc() { return *proc_; }
  TPictavoIO& IO() { return *io_; }

  // --- Properties stored in the owned components --------------------------------
  bool GetAutoUndo() const { return proc_->GetAutoUndo(); }
  void SetAutoUndo(bool on) { proc_->SetAutoUndo(on); }
  // Setting reaches both components; reading returns the processing one's.
  TPVProgressEvent GetOnProgress() const { return proc_->OnProgress; }
  void SetOnProgress(const TPVProgressEvent& event);
  // The language of the processing previews and of the dialogs.
  TMsgLanguage GetMsgLanguage() const { return proc_->GetMsgLanguage(); }
  void SetMsgLanguage(TMsgLanguage language) { proc_->SetMsgLanguage(language); }
  TFont& GetPreviewFont() { return io_->GetPreviewFont(); }
  void SetPreviewFont(const TFont& font);

  // --- Own operations ---------------------------------------------------------------
  // The I/O parameters of a TPictavo or TPictavoIO source, then the view's
  // copy of the image (bitmap, background, resolution).
  void Assign(TObject* source) override;
  void AssignIOParams(TObject* source);
  // The chosen file name, or "" when cancelled or when no host can show
  // the dialog.
  std::string ExecuteOpenDialog(const std::string& initialDir, const std::string& filter,
                                bool alwaysAnimate);
  std::string ExecuteSaveDialog(const std::string& initialDir, const std::string& filter,
                                bool alwaysAnimate);

  // --- Processing forwards ----------------------------------------------------------
  void SaveUndo() { proc_->SaveUndo(); }
  void ClearUndo() { proc_->ClearUndo(); }
  void Undo() { proc_->Undo(); }
  bool GetCanUndo() const { return proc_->CanUndo(); }
  void Negative() { proc_->Negative(); }
  void ConvertToGray() { proc_->ConvertToGray(); }
  void ConvertTo24Bit() { proc_->ConvertTo24Bit(); }
  void Clear() { proc_->Clear(); }
  void ClearSel() { proc_->ClearSel(); }
  void CopyToClipboard() { proc_->CopyToClipboard(); }
  void SelCopyToClip() { proc_->SelCopyToClip(); }
  void SelCutToClip() { proc_->SelCutToClip(); }
  void PasteFromClipboard() { proc_->PasteFromClipboard(); }
  void PointPasteFromClip(int x, int y) { proc_->PointPasteFromClip(x, y); }
  void SelPasteFromClipStretch() { proc_->SelPasteFromClipStretch(); }

  // --- I/O forwards -------------------------------------------------------------------
  void LoadFromFile(const std::string& name) { io_->LoadFromFile(name); }
  void SaveToFile(const std::string& name) { io_->SaveToFile(name); }
  void LoadFromStream(TStream& stream) { io_->LoadFromStream(stream); }
  void SaveToStream(TStream& stream, int32_t fileType) { io_->SaveToStream(stream, fileType); }
  TIOParamsVals& GetIOParams() { return io_->IOParams(); }
  bool GetAborting() const { return io_->Aborting; }
  void SetAborting(bool on) { io_->Aborting = on; }

 private:
  // Owned through the component tree; freed by the destructor before the
  // view goes away.
  TPictavoProc* proc_;
  TPictavoIO* io_;
};

}  // namespace pictavo
