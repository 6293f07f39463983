#include "platform/forms.h"

#include "platform/desktop.h"

namespace pictavo {

namespace {

TModalHandler& ModalHandler() {
  static TModalHandler handler;
  return handler;
}

TMessageHandler& MessageHandler() {
  static TMessageHandler handler;
  return handler;
}

constexpr int kDefaultFormWidth = 320;
constexpr int kDefaultFormHeight = 240;

}  // namespace

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
  visible_ = false;  // forms start hidden
  SetBounds(0, 0, kDefaultFormWidth, kDefaultFormHeight);
}

TForm::~TForm() {
  if (Desktop().HasWindow(this)) Desktop().RemoveWindow(this);
}

void TForm::SetModalResult(TModalResult result) {
  modal_result_ = result;
  if (result != mrNone && modal_ && OnModalEnd) OnModalEnd(this);
}

void TForm::ShowForm() {
  if (!GetWindowHost()) Desktop().AddWindow(this);
  if (!visible_) {
    SetVisible(true);
    if (OnShow) OnShow(this);
  }
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (modal_) {
    if (modal_result_ == mrNone) SetModalResult(mrCancel);
    return;
  }
  SetVisible(false);
  if (OnHide) OnHide(this);
  if (Desktop().HasWindow(this)) Desktop().RemoveWindow(this);
}

void TForm::BeginModal() {
  modal_result_ = mrNone;
  modal_ = true;
  ShowForm();
}

void TForm::EndModal() {
  modal_ = false;
  if (visible_) {
    SetVisible(false);
    if (OnHide) OnHide(this);
  }
  if (Desktop().HasWindow(this)) Desktop().RemoveWindow(this);
}

TModalResult TForm::ShowModal() {
  TModalHandler handler = ModalHandler();
  BeginModal();
  TModalResult result = mrNone;
  try {
    if (handler) {
      result = handler(*this);
    } else {
      Desktop().ProcessMessages();
    }
  } catch (...) {
    EndModal();
    throw;
  }
  if (result == mrNone) result = modal_result_;
  if (result == mrNone) result = mrCancel;
  EndModal();
  modal_result_ = result;
  return result;
}

TModalHandler SetModalHandler(TModalHandler handler) {
  std::swap(ModalHandler(), handler);
  return handler;
}

TMessageHandler SetMessageHandler(TMessageHandler handler) {
  std::swap(MessageHandler(), handler);
  return handler;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  if (MessageHandler()) return MessageHandler()(text, type, buttons);
  static const std::pair<TMsgDlgBtn, TModalResult> kOrder[] = {
      {mbYes, mrYes},     {mbNo, mrNo},       {mbOK, mrOk},         {mbCancel, mrCancel},
      {mbAbort, mrAbort}, {mbRetry, mrRetry}, {mbIgnore, mrIgnore}, {mbAll, mrAll}};
  for (const auto& [button, result] : kOrder)
    if (buttons.Contains(button)) return result;
  return mrOk;
}

void ShowMessage(const std::string& text) {
  MessageDlg(text, mtInformation, {mbOK});
}

}  // namespace pictavo
