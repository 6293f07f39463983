// Byte builders shared by the codec tests that assemble files by hand:
// little-endian integers and GIF's LSB-first code stream in sub-blocks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace pictavo::testutil {

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}

inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// LSB-first code writer packing codes into sub-blocks of 255 bytes.
struct CodeStream {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int bits = 0;
  void Put(int code, int width) {
    acc |= uint32_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      bytes.push_back(uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  // The code size byte, the sub-blocks and (when `terminate`) the empty one.
  std::vector<uint8_t> Blocks(int minCode, bool terminate = true) const {
    std::vector<uint8_t> b = bytes;
    if (bits > 0) b.push_back(uint8_t(acc));
    std::vector<uint8_t> out{uint8_t(minCode)};
    for (size_t i = 0; i < b.size(); i += 255) {
      const size_t n = std::min<size_t>(255, b.size() - i);
      out.push_back(uint8_t(n));
      out.insert(out.end(), b.begin() + long(i), b.begin() + long(i + n));
    }
    if (terminate) out.push_back(0);
    return out;
  }
};

}  // namespace pictavo::testutil
