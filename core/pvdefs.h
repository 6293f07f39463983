// Shared value types of the library: TRGB (a pf24bit pixel), the progress
// and abort record every codec and long operation receives, the resampling
// filter kinds, the default resolution and the pixel limit of the readers.
#pragma once

#include <cstdint>
#include <functional>

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

// Progress handler: `per` is a percentage 0..100.
using TPVProgressEvent = std::function<void(TObject* Sender, int per)>;

struct TProgressRec {
  TPVProgressEvent ProgressEvent;
  TObject* Sender = nullptr;
  int32_t Current = 0;
  int32_t Total = 0;
  double PerUnit = 0;
  bool* Aborting = nullptr;

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
};

enum TResampleFilter : uint8_t { rfNone, rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell };

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

}  // namespace pictavo
