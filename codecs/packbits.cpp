#include "codecs/packbits.h"

#include <cstring>

namespace pictavo {

namespace {

// Copies of at most 128 bytes in fixed-size steps the compiler keeps in
// registers, instead of a call or a string instruction for each literal.
inline void CopyShort(uint8_t* d, const uint8_t* s, int64_t n) {
  for (; n >= 16; n -= 16, d += 16, s += 16) std::memcpy(d, s, 16);
  if (n >= 8) {
    std::memcpy(d, s, 8);
    d += 8;
    s += 8;
    n -= 8;
  }
  for (; n > 0; --n) *d++ = *s++;
}

}  // namespace

int64_t PackBitsDecodeRow(const uint8_t* src, int64_t srcLen, uint8_t* dest, int64_t rowBytes,
                          bool& complete) {
  int64_t in = 0, out = 0;
  while (out < rowBytes && in < srcLen) {
    int n = static_cast<int8_t>(src[in++]);
    if (n >= 0) {
      int64_t count = n + 1;
      int64_t avail = srcLen - in;
      if (count > avail) count = avail;
      if (count > rowBytes - out) count = rowBytes - out;
      if (count > 0) CopyShort(dest + out, src + in, count);
      // A literal that runs past the row still consumes all its bytes.
      in += n + 1 <= avail ? n + 1 : avail;
      out += count;
    } else if (n != -128) {
      if (in >= srcLen) break;
      int64_t count = 1 - n;
      if (count > rowBytes - out) count = rowBytes - out;
      std::memset(dest + out, src[in++], static_cast<size_t>(count));
      out += count;
    }
  }
  complete = out == rowBytes;
  if (out < rowBytes) std::memset(dest + out, 0, static_cast<size_t>(rowBytes - out));
  return in;
}

void PackBitsEncodeRow(const uint8_t* row, int64_t length, std::vector<uint8_t>& out) {
  // The longest code: one count byte per 128 literals.
  const size_t base = out.size();
  out.resize(base + size_t(length) + size_t(length) / 128 + 2);
  uint8_t* o = out.data() + base;
  auto flush = [&](const uint8_t* start, int64_t n) {
    if (n <= 0) return;
    *o++ = static_cast<uint8_t>(n - 1);
    CopyShort(o, start, n);
    o += n;
  };
  int64_t p = 0, litStart = 0;
  while (p < length) {
    uint8_t b = row[p];
    int64_t run = 1;
    while (p + run < length && run < 128 && row[p + run] == b) ++run;
    if (run >= 4) {
      flush(row + litStart, p - litStart);
      *o++ = static_cast<uint8_t>(1 - run);
      *o++ = b;
      p += run;
      litStart = p;
    } else {
      if (p - litStart == 128) {
        flush(row + litStart, 128);
        litStart = p;
      }
      ++p;
    }
  }
  flush(row + litStart, p - litStart);
  out.resize(size_t(o - out.data()));
}

}  // namespace pictavo
