#include "platform/clipboard.h"

#include <cstring>
#include <vector>

namespace pictavo {

namespace {

// The clipboard of this process.
class TLocalClipboard : public TClipboardBackend {
 public:
  bool HasDIB() const override { return has_; }
  HGLOBAL GetDIB() const override {
    if (!has_) return nullptr;
    HGLOBAL block = GlobalAlloc(data_.size());
    if (!data_.empty()) std::memcpy(block->Lock(), data_.data(), data_.size());
    return block;
  }
  void SetDIB(const uint8_t* data, size_t size) override {
    data_.assign(data, data + size);
    has_ = true;
  }
  void Clear() override {
    data_.clear();
    has_ = false;
  }

 private:
  std::vector<uint8_t> data_;
  bool has_ = false;
};

struct ClipboardState {
  std::unique_ptr<TClipboardBackend> backend = std::make_unique<TLocalClipboard>();
  bool open = false;
  bool available = true;
};

ClipboardState& State() {
  static ClipboardState state;
  return state;
}

}  // namespace

std::unique_ptr<TClipboardBackend> SetClipboardBackend(std::unique_ptr<TClipboardBackend> backend) {
  if (!backend) backend = std::make_unique<TLocalClipboard>();
  std::swap(State().backend, backend);
  return backend;
}

void SetClipboardAvailable(bool available) {
  State().available = available;
}

bool OpenClipboard() {
  ClipboardState& s = State();
  if (s.open || !s.available) return false;
  s.open = true;
  return true;
}

bool CloseClipboard() {
  if (!State().open) return false;
  State().open = false;
  return true;
}

bool EmptyClipboard() {
  if (!State().open) return false;
  State().backend->Clear();
  return true;
}

bool SetClipboardData(unsigned format, HGLOBAL data) {
  ClipboardState& s = State();
  if (!s.open || format != CF_DIB || !data) return false;
  s.backend->SetDIB(data->Lock(), data->Size());
  return true;
}

HGLOBAL GetClipboardData(unsigned format) {
  ClipboardState& s = State();
  if (!s.open || format != CF_DIB) return nullptr;
  return s.backend->GetDIB();
}

bool IsClipboardFormatAvailable(unsigned format) {
  return format == CF_DIB && State().backend->HasDIB();
}

}  // namespace pictavo
