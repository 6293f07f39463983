// Shared value types of the library: TRGB (a pf24bit pixel), the progress
// and abort record every codec and long operation receives, the resampling
// filter kinds, the default resolution and the pixel limit of the readers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/object.h"

namespace pictavo {

#pragma pack(push, 1)
struct TRGB {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  friend constexpr bool operator==(const TRGB&, const TRGB&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGB) == 3, "TRGB must be three packed bytes");

// Why an operation failed.  Aborting stays the failure signal; the code and
// message say why (see TPVDiagnostics).
enum class TPVErrorCode : uint8_t {
  None,
  FileNotFound,      // the named file does not exist
  NotAFile,          // a folder or other non-regular file
  PermissionDenied,  // the file cannot be read or replaced
  ReadError,         // the system reported an error while reading
  WriteError,        // the system reported an error while writing
  NoSpace,           // the disk is full
  UnknownFormat,     // not an image of any known format
  Unsupported,       // a known format with a feature the reader lacks
  Corrupt,           // the data contradicts itself
  Truncated,         // the data ends early
  PixelLimit,        // more pixels than PVGetMaxImagePixels
  DecodeRatio,       // the image claims far more memory than its data can fill
  Cancelled,         // stopped through the progress handler
  OutOfMemory,
  Internal,  // anything else (an exception from a registered codec)
};

struct TPVError {
  TPVErrorCode Code = TPVErrorCode::None;
  std::string Message;
  explicit operator bool() const { return Code != TPVErrorCode::None; }
};

// The reason of a failure and the warnings of one operation.  The first
// failure recorded wins (later ones are its consequences); warnings are
// damage a reader recovered from, kept up to a bound.
struct TPVDiagnostics {
  static constexpr size_t kMaxWarnings = 64;
  TPVError Error;
  std::vector<std::string> Warnings;

  void Fail(TPVErrorCode code, std::string message) {
    if (!Error) Error = TPVError{code, std::move(message)};
  }
  void Warn(std::string message) {
    if (Warnings.size() < kMaxWarnings) Warnings.push_back(std::move(message));
  }
  void Clear() {
    Error = TPVError{};
    Warnings.clear();
  }
};

// Progress handler: `per` is a percentage 0..100.
using TPVProgressEvent = std::function<void(TObject* Sender, int per)>;

struct TProgressRec {
  TPVProgressEvent ProgressEvent;
  TObject* Sender = nullptr;
  int32_t Current = 0;
  int32_t Total = 0;
  double PerUnit = 0;
  bool* Aborting = nullptr;
  // Where failures and warnings are recorded (null: nowhere).
  TPVDiagnostics* Diagnostics = nullptr;

  // Calls the handler (when assigned) with `per`, then tells whether the
  // work must stop.
  bool Report(int per) {
    if (ProgressEvent) ProgressEvent(Sender, per);
    return Aborted();
  }
  bool Aborted() const { return Aborting && *Aborting; }
  void Abort() {
    if (Aborting) *Aborting = true;
  }
  // Sets the abort flag and records why (the first reason is kept).
  void Fail(TPVErrorCode code, std::string message) {
    Abort();
    if (Diagnostics) Diagnostics->Fail(code, std::move(message));
  }
  // Records damage that was recovered from; the operation still succeeds.
  void Warn(std::string message) {
    if (Diagnostics) Diagnostics->Warn(std::move(message));
  }
};

enum TResampleFilter : uint8_t {
  rfNone,
  rfTriangle,
  rfHermite,
  rfBell,
  rfBSpline,
  rfLanczos3,
  rfMitchell
};

// Resolution stored by readers when a file carries none (owned by the view
// unit, which sets them from the screen).
extern int gSystemDPIX;
extern int gSystemDPIY;

// The one pixel limit of every reader: an image of more pixels than this is
// refused (the abort flag is set) before anything is allocated.
int64_t PVGetMaxImagePixels();
void PVSetMaxImagePixels(int64_t pixels);
// True when width and height are both positive and their product does not
// exceed the limit.
bool PVImageSizeAllowed(int64_t width, int64_t height);

// The decode ratio: a reader sizes a bitmap only when its bytes are at most
// max(kPVDecodeRatioFloor, ratio x the bytes the image's data can occupy in
// the file or stream), so a small hostile header cannot claim gigabytes.
// 0 disables the check; the default is kPVDefaultDecodeRatio.
inline constexpr int64_t kPVDefaultDecodeRatio = 10000;
inline constexpr int64_t kPVDecodeRatioFloor = int64_t(64) << 20;
int64_t PVGetMaxDecodeRatio();
void PVSetMaxDecodeRatio(int64_t ratio);
// Bytes of a bitmap of that size and bits per pixel (rows padded to 32 bits).
int64_t PVBitmapBytes(int64_t width, int64_t height, int bitsPerPixel);
// The check every reader makes before allocating its bitmap: the pixel
// limit, then the decode ratio against dataBytes (the bytes from the start
// of the image's data to the end of the file, stream or block; negative when
// unknown, which skips the ratio).  A refusal is recorded through
// progress.Fail with the numbers, and false is returned.
bool PVCheckDecodeSize(int64_t width, int64_t height, int bitsPerPixel, int64_t dataBytes,
                       TProgressRec& progress);

}  // namespace pictavo
