// Content detection and loading of arbitrary bytes: FindStreamFormat, then
// LoadFromStream into a pf24bit target with whatever codecs are linked in.
#include <cstddef>
#include <cstdint>

#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  static bool once = [] {
    PVSetMaxImagePixels(int64_t(1) << 22);  // keep single inputs small
    return true;
  }();
  (void)once;
  TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
  int32_t key = FindStreamFormat(stream);
  if (stream.GetPosition() != 0) __builtin_trap();  // the position must be restored
  TBitmap bitmap(1, 1, pf24bit);
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  try {
    io.LoadFromStream(stream);
    stream.SetPosition(0);
    io.SetStreamHeaders(true);
    io.LoadFromStreamFormat(stream, key);
  } catch (const std::exception&) {
    // Registered readers of applications may raise; built-in codecs do not.
  }
  return 0;
}
