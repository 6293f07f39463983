// The clipboard of the framework stand-in, holding a packed DIB (CF_DIB:
// BITMAPINFOHEADER, colour table, rows).  In-process by default; a host can
// install a backend that bridges the system clipboard (the Qt host does).
// The window-system calls keep their shape: OpenClipboard (fails while the
// clipboard is open, or when a test makes it unavailable), EmptyClipboard,
// SetClipboardData (the clipboard takes the block), GetClipboardData (a copy
// the caller owns), IsClipboardFormatAvailable, CloseClipboard.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/memory.h"

namespace pictavo {

constexpr unsigned CF_BITMAP = 2;
constexpr unsigned CF_DIB = 8;

// Where clipboard data lives.
class TClipboardBackend {
 public:
  virtual ~TClipboardBackend() = default;
  virtual bool HasDIB() const = 0;
  // A copy of the DIB, or null.
  virtual HGLOBAL GetDIB() const = 0;
  virtual void SetDIB(const uint8_t* data, size_t size) = 0;
  virtual void Clear() = 0;
};

// Installs a backend (null restores the in-process one); returns the
// previous backend.
std::unique_ptr<TClipboardBackend> SetClipboardBackend(std::unique_ptr<TClipboardBackend> backend);
// Makes OpenClipboard fail, as when another program holds the clipboard.
void SetClipboardAvailable(bool available);

bool OpenClipboard();
bool CloseClipboard();
// Both need the clipboard open; false otherwise.
bool EmptyClipboard();
bool SetClipboardData(unsigned format, HGLOBAL data);
// Needs the clipboard open; null when closed or without data of that format.
HGLOBAL GetClipboardData(unsigned format);
bool IsClipboardFormatAvailable(unsigned format);

// RAII form for the library's own code: opens in the constructor.
class TClipboardLock {
 public:
  TClipboardLock() : open_(OpenClipboard()) {}
  ~TClipboardLock() {
    if (open_) CloseClipboard();
  }
  TClipboardLock(const TClipboardLock&) = delete;
  TClipboardLock& operator=(const TClipboardLock&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_;
};

}  // namespace pictavo
