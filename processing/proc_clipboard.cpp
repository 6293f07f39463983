#include "processing/proc_clipboard.h"

#include <cstring>

namespace pictavo {

namespace {

class TInProcessClipboard : public TPVProcClipboard {
 public:
  bool Open() override { return true; }
  void Close() override {}
  bool HasDIB() const override { return dib_ != nullptr; }
  HGLOBAL GetDIB() const override {
    if (!dib_) return nullptr;
    HGLOBAL copy = GlobalAlloc(dib_->Size());
    std::memcpy(copy->Lock(), dib_->Lock(), dib_->Size());
    return copy;
  }
  void SetDIB(HGLOBAL dib) override { dib_ = std::move(dib); }

 private:
  HGLOBAL dib_;
};

TInProcessClipboard& InProcess() {
  static TInProcessClipboard clipboard;
  return clipboard;
}

TPVProcClipboard* gInstalled = nullptr;

}  // namespace

TPVProcClipboard& PVProcClipboard() {
  return gInstalled ? *gInstalled : InProcess();
}

void PVSetProcClipboard(TPVProcClipboard* clipboard) {
  gInstalled = clipboard;
}

}  // namespace pictavo
