#include "codecs/tiffpredict.h"

namespace pictavo {

namespace {

// The running sums of one pixel's samples stay in registers, so the
// additions of the SPP channels proceed side by side instead of each byte
// waiting for the one stored before it.
template <int SPP>
void Undo8(const uint8_t* src, uint8_t* row, int pixels) {
  uint8_t acc[SPP];
  for (int c = 0; c < SPP; ++c) row[c] = acc[c] = src[c];
  for (int x = 1; x < pixels; ++x) {
    const uint8_t* s = src + x * SPP;
    uint8_t* p = row + x * SPP;
    for (int c = 0; c < SPP; ++c) {
      acc[c] = static_cast<uint8_t>(acc[c] + s[c]);
      p[c] = acc[c];
    }
  }
}

void Undo8Any(const uint8_t* src, uint8_t* row, int spp, int pixels) {
  for (int i = 0; i < spp; ++i) row[i] = src[i];
  for (int i = spp; i < pixels * spp; ++i) row[i] = static_cast<uint8_t>(src[i] + row[i - spp]);
}

uint16_t Get16(const uint8_t* p, bool le) {
  return le ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
}

void Put16(uint8_t* p, uint16_t v, bool le) {
  p[le ? 0 : 1] = static_cast<uint8_t>(v);
  p[le ? 1 : 0] = static_cast<uint8_t>(v >> 8);
}

template <int SPP>
void Undo16(const uint8_t* src, uint8_t* row, int pixels, bool le) {
  uint16_t acc[SPP];
  for (int c = 0; c < SPP; ++c) Put16(row + 2 * c, acc[c] = Get16(src + 2 * c, le), le);
  for (int x = 1; x < pixels; ++x) {
    const uint8_t* s = src + 2 * x * SPP;
    uint8_t* p = row + 2 * x * SPP;
    for (int c = 0; c < SPP; ++c) {
      acc[c] = static_cast<uint16_t>(acc[c] + Get16(s + 2 * c, le));
      Put16(p + 2 * c, acc[c], le);
    }
  }
}

void Undo16Any(const uint8_t* src, uint8_t* row, int spp, int pixels, bool le) {
  for (int i = 0; i < 2 * spp; ++i) row[i] = src[i];
  for (int i = spp; i < pixels * spp; ++i)
    Put16(row + 2 * i,
          static_cast<uint16_t>(Get16(src + 2 * i, le) + Get16(row + 2 * (i - spp), le)), le);
}

}  // namespace

void TIFFUndoPredictorInto(const uint8_t* src, uint8_t* row, int spp, int pixels, int bps,
                           bool le) {
  if (spp <= 0 || pixels <= 0 || (bps != 8 && bps != 16)) return;
  if (bps == 8) {
    switch (spp) {
      case 1:
        return Undo8<1>(src, row, pixels);
      case 3:
        return Undo8<3>(src, row, pixels);
      case 4:
        return Undo8<4>(src, row, pixels);
      default:
        return Undo8Any(src, row, spp, pixels);
    }
  }
  switch (spp) {
    case 1:
      return Undo16<1>(src, row, pixels, le);
    case 3:
      return Undo16<3>(src, row, pixels, le);
    case 4:
      return Undo16<4>(src, row, pixels, le);
    default:
      return Undo16Any(src, row, spp, pixels, le);
  }
}

void TIFFUndoPredictor(uint8_t* row, int spp, int pixels, int bps, bool le) {
  TIFFUndoPredictorInto(row, row, spp, pixels, bps, le);
}

}  // namespace pictavo
