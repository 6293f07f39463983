// Forms of the framework stand-in: a top-level window model with a caption
// and a modal result.  ShowModal hands the form to the modal handler, which
// shows it and returns when the form has a result: the Qt host installs a
// handler that runs a real dialog; tests install a hook that answers (and
// may drive the form through the desktop first).  Without a handler the
// form is shown on the headless desktop, the loop runs once, and a form
// still without a result is cancelled (mrCancel).
#pragma once

#include <functional>
#include <string>

#include "platform/control.h"

namespace pictavo {

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;
constexpr TModalResult mrClose = 11;

enum TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
enum TPosition : uint8_t {
  poDesigned,
  poDefault,
  poScreenCenter,
  poMainFormCenter,
  poOwnerFormCenter
};

class TForm : public TCustomControl {
 public:
  explicit TForm(TComponent* owner = nullptr);
  ~TForm() override;

  const std::string& GetCaption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  TPosition GetPosition() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormBorderStyle GetFormBorderStyle() const { return form_border_; }
  void SetFormBorderStyle(TFormBorderStyle style) { form_border_ = style; }
  // The frame round a form belongs to the window manager: the client area
  // is the whole form.
  int BorderWidth() const override { return 0; }
  int BorderHeight() const override { return 0; }

  TModalResult GetModalResult() const { return modal_result_; }
  // Setting a result other than mrNone ends a modal loop.
  void SetModalResult(TModalResult result);
  bool Modal() const { return modal_; }
  // Shows the form modally and returns its result.
  TModalResult ShowModal();
  // Shows (adds to the desktop) or closes the form without a modal loop.
  void ShowForm();
  void Close();

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  std::function<void(TObject* Sender, TCloseAction& Action)> OnClose;
  std::function<void(TObject* Sender, bool& CanClose)> OnCloseQuery;
  // Told when a result ends the modal loop (the Qt host closes its dialog).
  std::function<void(TForm* form)> OnModalEnd;

  // Used by modal handlers.
  void BeginModal();
  void EndModal();

 private:
  std::string caption_;
  TPosition position_ = poDesigned;
  TFormBorderStyle form_border_ = bsSizeable;
  TModalResult modal_result_ = mrNone;
  bool modal_ = false;
};

// The modal handler: shows the form, returns its result.
using TModalHandler = std::function<TModalResult(TForm& form)>;
// Installs a handler (null restores the default); returns the previous one.
TModalHandler SetModalHandler(TModalHandler handler);

// Standard message box: a modal handler answers it like a form; the
// default answer without a handler is the first button's result.
enum TMsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : uint8_t { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
using TMessageHandler =
    std::function<TModalResult(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons)>;
TMessageHandler SetMessageHandler(TMessageHandler handler);
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);
void ShowMessage(const std::string& text);

}  // namespace pictavo
