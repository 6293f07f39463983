#include "platform/edit.h"

#include <algorithm>

#include "platform/screen.h"

namespace pictavo {

std::u32string Utf8ToChars(const std::string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = text[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    bool ok = i + extra < text.size() || extra == 0;
    for (int k = 1; ok && k <= extra; ++k)
      ok = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (!ok) extra = 0;
    char32_t cp = extra ? (c & (0x3F >> extra)) : c;
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (text[i + k] & 0x3F);
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

std::string CharsToUtf8(const std::u32string& chars) {
  std::string out;
  for (char32_t c : chars) {
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

TEdit::TEdit(TComponent* owner) : TCustomControl(owner) {
  SetBorderStyle(bsSingle);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 21);
  SetCursor(crIBeam);
}

std::string TEdit::GetText() const {
  return CharsToUtf8(text_);
}

void TEdit::SetText(const std::string& text) {
  std::u32string chars = Utf8ToChars(text);
  if (max_length_ > 0 && int(chars.size()) > max_length_) chars.resize(max_length_);
  if (chars == text_) return;
  text_ = chars;
  sel_start_ = anchor_ = std::min(sel_start_, int(text_.size()));
  sel_length_ = 0;
  Changed();
}

void TEdit::SetSelStart(int pos) {
  sel_start_ = anchor_ = std::clamp(pos, 0, int(text_.size()));
  sel_length_ = 0;
  Invalidate();
}

void TEdit::SetSelLength(int n) {
  sel_length_ = std::clamp(n, 0, int(text_.size()) - sel_start_);
  anchor_ = sel_start_;
  Invalidate();
}

std::string TEdit::GetSelText() const {
  return CharsToUtf8(text_.substr(sel_start_, sel_length_));
}

void TEdit::SelectAll() {
  sel_start_ = anchor_ = 0;
  sel_length_ = int(text_.size());
  Invalidate();
}

void TEdit::SetSelText(const std::string& text) {
  ReplaceSelection(Utf8ToChars(text));
}

void TEdit::ReplaceSelection(const std::u32string& with) {
  std::u32string insert = with;
  if (max_length_ > 0) {
    int room = max_length_ - (int(text_.size()) - sel_length_);
    if (int(insert.size()) > room) insert.resize(std::max(room, 0));
  }
  if (insert.empty() && sel_length_ == 0) return;
  text_.replace(sel_start_, sel_length_, insert);
  sel_start_ = anchor_ = sel_start_ + int(insert.size());
  sel_length_ = 0;
  Changed();
}

void TEdit::MoveCaret(int to, bool extend) {
  to = std::clamp(to, 0, int(text_.size()));
  if (!extend) {
    sel_start_ = anchor_ = to;
    sel_length_ = 0;
  } else {
    sel_start_ = std::min(anchor_, to);
    sel_length_ = std::abs(to - anchor_);
  }
  Invalidate();
}

void TEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  bool extend = Shift.Contains(ssShift);
  // The moving end of the selection: the end away from the anchor.
  int caret = sel_start_ == anchor_ ? sel_start_ + sel_length_ : sel_start_;
  switch (Key) {
    case VK_LEFT:
      MoveCaret(sel_length_ && !extend ? sel_start_ : caret - 1, extend);
      break;
    case VK_RIGHT:
      MoveCaret(sel_length_ && !extend ? sel_start_ + sel_length_ : caret + 1, extend);
      break;
    case VK_HOME:
      MoveCaret(0, extend);
      break;
    case VK_END:
      MoveCaret(int(text_.size()), extend);
      break;
    case VK_DELETE:
      if (read_only_) break;
      if (sel_length_ == 0 && sel_start_ < int(text_.size())) sel_length_ = 1;
      ReplaceSelection(U"");
      break;
    default:
      break;
  }
}

void TEdit::KeyPress(char32_t& Key) {
  TCustomControl::KeyPress(Key);
  if (read_only_ || Key == 0) return;
  if (Key == 8) {  // Backspace
    if (sel_length_ == 0 && sel_start_ > 0) {
      --sel_start_;
      sel_length_ = 1;
    }
    ReplaceSelection(U"");
    return;
  }
  if (Key < 32 || Key == 127) return;
  ReplaceSelection(std::u32string(1, Key));
}

void TEdit::Paint() {
  TCanvas& c = GetCanvas();
  c.Brush().SetColor(GetColor());
  c.Brush().SetStyle(bsSolid);
  c.FillRect(GetClientRect());
  TCustomControl::Paint();
}

void TEdit::Changed() {
  Invalidate();
  if (OnChange) OnChange(this);
}

}  // namespace pictavo
