// TPictavo: wiring of the owned components and the dialogs.
#include "view/pictavo.h"

#include "dialogs/pvopensavedlg.h"

namespace pictavo {

TPictavo::TPictavo(TComponent* owner)
    : TPictavoView(owner), proc_(new TPictavoProc(this)), io_(new TPictavoIO(this)) {
  proc_->SetAttachedPictavo(this);
  proc_->SetAutoUndo(true);
  io_->SetAttachedPictavo(this);
}

TPictavo::~TPictavo() {
  // Free the components while the whole view still exists (the component
  // tree would free them only after the view parts are gone).
  delete io_;
  delete proc_;
}

void TPictavo::SetOnProgress(const TPVProgressEvent& event) {
  proc_->OnProgress = event;
  io_->OnProgress = event;
}

void TPictavo::SetPreviewFont(const TFont& font) {
  proc_->SetPreviewFont(font);
  io_->SetPreviewFont(font);
}

void TPictavo::AssignIOParams(TObject* source) {
  if (auto* other = dynamic_cast<TPictavo*>(source)) {
    io_->AssignParams(other->io_);
  } else if (auto* io = dynamic_cast<TPictavoIO*>(source)) {
    io_->AssignParams(io);
  }
}

void TPictavo::Assign(TObject* source) {
  AssignIOParams(source);
  TPictavoView::Assign(source);
}

std::string TPictavo::ExecuteOpenDialog(const std::string& initialDir, const std::string& filter,
                                        bool alwaysAnimate) {
  return PVExecuteOpenDialog(this, initialDir, filter, alwaysAnimate, GetMsgLanguage());
}

std::string TPictavo::ExecuteSaveDialog(const std::string& initialDir, const std::string& filter,
                                        bool alwaysAnimate) {
  return PVExecuteSaveDialog(this, io_, initialDir, filter, alwaysAnimate, GetMsgLanguage());
}

}  // namespace pictavo
