#include "core/pvutils.h"

#include <array>
#include <cmath>

#include "platform/exceptions.h"

namespace pictavo {

namespace {
constexpr std::array<uint8_t, 256> MakeReverseTable() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    uint8_t r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b)) r |= uint8_t(0x80 >> b);
    t[i] = r;
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReverse = MakeReverseTable();
}  // namespace

int32_t _BitmapRowLen(int32_t width, int32_t bitcount) {
  // 32-bit signed product, as the row arithmetic of the file formats; the
  // division of the padded bit count is a logical shift.
  uint32_t bits = static_cast<uint32_t>(width) * static_cast<uint32_t>(bitcount) + 31u;
  return static_cast<int32_t>((bits >> 5) * 4u);
}

int32_t _Pixelformat2BitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

TPixelFormat _Bitcount2Pixelformat(int32_t bitcount) {
  switch (bitcount) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

int32_t _GetBitCount(uint32_t mask) {
  int low = 31;
  for (int i = 0; i <= 30; ++i)
    if (mask & (1u << i)) {
      low = i;
      break;
    }
  int32_t count = 0;
  for (int i = low; i < 32 && (mask & (1u << i)); ++i) ++count;
  return count;
}

int32_t _NColToBitsPixel(int32_t colors) {
  if (colors <= 0) return -1;
  uint32_t c = static_cast<uint32_t>(colors);
  int highest = 31;
  while (!(c & (1u << highest))) --highest;
  if ((c & (c - 1)) == 0) return highest;  // a power of two: its exponent
  return highest + 1;
}

void ReverseBitsB(uint8_t& b) { b = kReverse[b]; }

uint32_t ReverseBits(uint32_t& v) {
  uint32_t r = (uint32_t(kReverse[v & 0xFF]) << 24) | (uint32_t(kReverse[(v >> 8) & 0xFF]) << 16) |
               (uint32_t(kReverse[(v >> 16) & 0xFF]) << 8) | uint32_t(kReverse[v >> 24]);
  v = r;
  return r;
}

uint16_t PVSwapWord(uint16_t v) { return uint16_t((v >> 8) | (v << 8)); }

uint32_t PVSwapDWord(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

long double PVPower(long double base, long double exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 2147483647.0L) {
    int64_t n = static_cast<int64_t>(std::fabs(exponent));
    long double result = 1, square = base;
    while (n) {
      if (n & 1) result *= square;
      square *= square;
      n >>= 1;
    }
    return exponent < 0 ? 1 / result : result;
  }
  return std::exp(exponent * std::log(base));
}

int64_t _getfilesize(const std::string& name) {
  try {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    return f.GetSize();
  } catch (const EStreamError&) {
    return -1;
  }
}

void SafeStreamWrite(TStream& stream, bool& aborting, const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (stream.Write(buffer, count) < count) aborting = true;
}

void PVAdd64(uint32_t alow, uint32_t ahigh, uint32_t blow, uint32_t bhigh, uint32_t& low, uint32_t& high) {
  uint64_t a = (uint64_t(ahigh) << 32) | alow, b = (uint64_t(bhigh) << 32) | blow;
  uint64_t s = a + b;  // the final carry is dropped
  low = uint32_t(s);
  high = uint32_t(s >> 32);
}

bool PVGreater64(uint32_t alow, uint32_t ahigh, uint32_t blow, uint32_t bhigh) {
  return ((uint64_t(ahigh) << 32) | alow) > ((uint64_t(bhigh) << 32) | blow);
}

void PVMul64(uint32_t a, uint32_t b, uint32_t& low, uint32_t& high) {
  uint64_t p = uint64_t(a) * b;
  low = uint32_t(p);
  high = uint32_t(p >> 32);
}

}  // namespace pictavo
