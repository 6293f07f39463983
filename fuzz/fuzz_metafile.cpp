// Feeds arbitrary bytes to the metafile reader and, when they load, plays
// them onto a small bitmap: once onto the bitmap itself and once onto a
// rectangle far larger than it, so that mapping, clamping and clipping are
// exercised as well as the record parsers.
#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/exceptions.h"
#include "platform/metafile.h"

// Text goes through fontconfig, which keeps what it parsed from its
// configuration files (allocated on first use) for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  TMetafile metafile;
  try {
    metafile.LoadFromBytes(data, size);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  TBitmap bitmap(64, 48, pf24bit);
  metafile.Play(bitmap.Canvas(), Rect(0, 0, 64, 48));
  metafile.Play(bitmap.Canvas(), Rect(-3000, -1000, 1 << 20, 1 << 19));
  return 0;
}
