#include "codecs/tiffpredict.h"

namespace pictavo {

namespace {

// The running sums of one pixel's samples stay in registers, so the
// additions of the SPP channels proceed side by side instead of each byte
// waiting for the one stored before it.
template <int SPP>
void Undo8(uint8_t* row, int pixels) {
  uint8_t acc[SPP];
  for (int c = 0; c < SPP; ++c) acc[c] = row[c];
  for (int x = 1; x < pixels; ++x) {
    uint8_t* p = row + x * SPP;
    for (int c = 0; c < SPP; ++c) {
      acc[c] = static_cast<uint8_t>(acc[c] + p[c]);
      p[c] = acc[c];
    }
  }
}

void Undo8Any(uint8_t* row, int spp, int pixels) {
  for (int i = spp; i < pixels * spp; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - spp]);
}

uint16_t Get16(const uint8_t* p, bool le) {
  return le ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
}

void Put16(uint8_t* p, uint16_t v, bool le) {
  p[le ? 0 : 1] = static_cast<uint8_t>(v);
  p[le ? 1 : 0] = static_cast<uint8_t>(v >> 8);
}

template <int SPP>
void Undo16(uint8_t* row, int pixels, bool le) {
  uint16_t acc[SPP];
  for (int c = 0; c < SPP; ++c) acc[c] = Get16(row + 2 * c, le);
  for (int x = 1; x < pixels; ++x) {
    uint8_t* p = row + 2 * x * SPP;
    for (int c = 0; c < SPP; ++c) {
      acc[c] = static_cast<uint16_t>(acc[c] + Get16(p + 2 * c, le));
      Put16(p + 2 * c, acc[c], le);
    }
  }
}

void Undo16Any(uint8_t* row, int spp, int pixels, bool le) {
  for (int i = spp; i < pixels * spp; ++i)
    Put16(row + 2 * i,
          static_cast<uint16_t>(Get16(row + 2 * i, le) + Get16(row + 2 * (i - spp), le)), le);
}

}  // namespace

void TIFFUndoPredictor(uint8_t* row, int spp, int pixels, int bps, bool le) {
  if (pixels <= 1 || spp <= 0) return;
  if (bps == 8) {
    switch (spp) {
      case 1:
        return Undo8<1>(row, pixels);
      case 3:
        return Undo8<3>(row, pixels);
      case 4:
        return Undo8<4>(row, pixels);
      default:
        return Undo8Any(row, spp, pixels);
    }
  }
  if (bps == 16) {
    switch (spp) {
      case 1:
        return Undo16<1>(row, pixels, le);
      case 3:
        return Undo16<3>(row, pixels, le);
      case 4:
        return Undo16<4>(row, pixels, le);
      default:
        return Undo16Any(row, spp, pixels, le);
    }
  }
}

}  // namespace pictavo
