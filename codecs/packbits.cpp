#include "codecs/packbits.h"

#include <cstring>

namespace pictavo {

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
      if (count > 0) std::memcpy(dest + out, src + in, static_cast<size_t>(count));
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

namespace {
void FlushLiterals(const uint8_t* start, int64_t n, std::vector<uint8_t>& out) {
  if (n <= 0) return;
  out.push_back(static_cast<uint8_t>(n - 1));
  out.insert(out.end(), start, start + n);
}
}  // namespace

void PackBitsEncodeRow(const uint8_t* row, int64_t length, std::vector<uint8_t>& out) {
  int64_t p = 0, litStart = 0;
  while (p < length) {
    uint8_t b = row[p];
    int64_t run = 1;
    while (p + run < length && run < 128 && row[p + run] == b) ++run;
    if (run >= 4) {
      FlushLiterals(row + litStart, p - litStart, out);
      out.push_back(static_cast<uint8_t>(1 - run));
      out.push_back(b);
      p += run;
      litStart = p;
    } else {
      if (p - litStart == 128) {
        FlushLiterals(row + litStart, 128, out);
        litStart = p;
      }
      ++p;
    }
  }
  FlushLiterals(row + litStart, p - litStart, out);
}

}  // namespace pictavo
