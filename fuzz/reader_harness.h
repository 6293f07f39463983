// What every reader fuzz target shares: a pixel limit small enough that the
// fuzzer explores decoding rather than allocation, and one read's objects (a
// read-only stream over the input, a bitmap, fresh parameters and a progress
// record with its abort flag).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/pvdefs.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

inline constexpr int64_t kFuzzMaxPixels = 1 << 22;

struct TFuzzRead {
  TFuzzRead(const uint8_t* data, size_t size) : stream(data, static_cast<int64_t>(size)) {
    PVSetMaxImagePixels(kFuzzMaxPixels);
    progress.Aborting = &aborting;
  }
  TReadOnlyMemoryStream stream;
  TBitmap bitmap;
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
};

}  // namespace pictavo
