#include "platform/lists.h"

#include <algorithm>

#include "platform/exceptions.h"
#include "platform/stream.h"

namespace pictavo {

void TList::Check(int index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

int TList::Add(void* item) {
  items_.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, item);
}

void TList::Delete(int index) {
  Check(index);
  items_.erase(items_.begin() + index);
}

void* TList::Get(int index) const {
  Check(index);
  return items_[index];
}

void TList::Put(int index, void* item) {
  Check(index);
  items_[index] = item;
}

int TList::IndexOf(const void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TList::Remove(const void* item) {
  int index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void TList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  std::swap(items_[a], items_[b]);
}

void TList::Move(int from, int to) {
  Check(from);
  Check(to);
  void* item = items_[from];
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, item);
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (Get(i) == s) return i;
  return -1;
}

std::string TStrings::GetText() const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const std::string& text) {
  Clear();
  size_t start = 0, i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      Add(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) Add(text.substr(start));
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this) return;
  Clear();
  AddStrings(source);
}

void TStrings::AddStrings(const TStrings& source) {
  for (int i = 0; i < source.Count(); ++i) Add(source.Get(i));
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string text = GetText();
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStrings::LoadFromStream(TStream& stream) {
  int64_t remaining = stream.GetSize() - stream.GetPosition();
  std::string text;
  if (remaining > 0) {
    text.resize(static_cast<size_t>(remaining));
    text.resize(static_cast<size_t>(stream.Read(text.data(), remaining)));
  }
  SetText(text);
}

void TStringList::Check(int index) const {
  if (index < 0 || index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string TStringList::Get(int index) const {
  Check(index);
  return lines_[index];
}

void TStringList::Put(int index, const std::string& s) {
  Check(index);
  lines_[index] = s;
}

void TStringList::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  lines_.insert(lines_.begin() + index, s);
}

void TStringList::Delete(int index) {
  Check(index);
  lines_.erase(lines_.begin() + index);
}

}  // namespace pictavo
