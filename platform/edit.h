// TEdit of the framework stand-in: a single-line text editor control.  The
// model keeps the text (UTF-8 outside, code points inside), the caret
// (SelStart) and a selection (SelLength), and edits them from keys: typed
// characters replace the selection or insert at the caret, Backspace and
// Delete remove, Left/Right/Home/End move the caret (with Shift they extend
// the selection).  Painting fills the client with Color and draws the text
// with the canvas's text output once the canvas provides it.
#pragma once

#include <string>

#include "platform/control.h"

namespace pictavo {

class TEdit : public TCustomControl {
 public:
  explicit TEdit(TComponent* owner = nullptr);

  std::string GetText() const;
  void SetText(const std::string& text);
  // Code points of the text.
  const std::u32string& Chars() const { return text_; }
  int GetMaxLength() const { return max_length_; }
  void SetMaxLength(int n) { max_length_ = n < 0 ? 0 : n; }  // 0: no limit
  bool GetReadOnly() const { return read_only_; }
  void SetReadOnly(bool v) { read_only_ = v; }
  bool GetAutoSize() const { return auto_size_; }
  void SetAutoSize(bool v) { auto_size_ = v; }

  // Caret and selection, in code points.
  int GetSelStart() const { return sel_start_; }
  void SetSelStart(int pos);
  int GetSelLength() const { return sel_length_; }
  void SetSelLength(int n);
  std::string GetSelText() const;
  void SelectAll();
  // Replaces the selection (or inserts at the caret).
  void SetSelText(const std::string& text);

  std::function<void(TObject* Sender)> OnChange;

  int GetDlgCode() const override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void Paint() override;

 private:
  void ReplaceSelection(const std::u32string& with);
  void MoveCaret(int to, bool extend);
  void Changed();

  std::u32string text_;
  int sel_start_ = 0;
  int sel_length_ = 0;
  int anchor_ = 0;
  int max_length_ = 0;
  bool read_only_ = false;
  bool auto_size_ = true;
};

// UTF-8 to code points and back (invalid bytes stand for themselves).
std::u32string Utf8ToChars(const std::string& text);
std::string CharsToUtf8(const std::u32string& chars);

}  // namespace pictavo
