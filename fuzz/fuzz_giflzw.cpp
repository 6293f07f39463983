// Fuzz target: the GIF LZW decoder over arbitrary code streams.  The first
// two bytes choose the frame size and interlacing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/gif.h"
#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pictavo;
  if (size < 2) return 0;
  int width = 1 + (data[0] & 0x7F);
  int height = 1 + data[1];
  bool interlaced = (data[0] & 0x80) != 0;
  TReadOnlyMemoryStream s(data + 2, int64_t(size - 2));
  std::vector<uint8_t> out(size_t(width) * size_t(height));
  GIFLZWDecompress(s, height, width, interlaced, out.data());
  return 0;
}
