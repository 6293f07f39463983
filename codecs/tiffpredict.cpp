#include "codecs/tiffpredict.h"

#include <cstring>

#include "core/rowconv.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PV_PREDICT_X86 1
#include <immintrin.h>
#endif

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

// Continues Undo8 from pixel `from` (> 0), whose left neighbour is already
// in row.
void Undo8Tail(const uint8_t* src, uint8_t* row, int spp, int from, int pixels) {
  for (int i = from * spp; i < pixels * spp; ++i)
    row[i] = static_cast<uint8_t>(src[i] + row[i - spp]);
}

#ifdef PV_PREDICT_X86
// Sixteen bytes at a time: the running sums inside the register come from
// adding the vector to itself shifted by one, two, four... pixels (a prefix
// sum in log steps), then the last finished pixel of the step before is
// added to every pixel.  Only whole pixels are stored, so in place a load
// never overlaps a store still in flight.

// Three samples: four pixels (12 bytes) per step; two shifted additions
// cover the four pixels.
__attribute__((target("ssse3"))) int Undo8x3SSSE3(const uint8_t* src, uint8_t* row, int pixels) {
  const __m128i lastPixel = _mm_setr_epi8(9, 10, 11, 9, 10, 11, 9, 10, 11, 9, 10, 11, 9, 10, 11, 9);
  __m128i carry = _mm_setzero_si128();
  int x = 0;
  for (; x + 6 <= pixels; x += 4) {  // 16 bytes readable
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 3));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 6));
    v = _mm_add_epi8(v, carry);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 3 * x), v);
    const uint32_t tail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8)));
    std::memcpy(row + 3 * x + 8, &tail, sizeof tail);
    carry = _mm_shuffle_epi8(v, lastPixel);
  }
  return x;
}

// Four samples: four pixels (16 bytes) per step.
__attribute__((target("ssse3"))) int Undo8x4SSSE3(const uint8_t* src, uint8_t* row, int pixels) {
  __m128i carry = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= pixels; x += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi8(v, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * x), v);
    carry = _mm_shuffle_epi32(v, 0xFF);
  }
  return x;
}

// One sample: sixteen pixels per step.
__attribute__((target("ssse3"))) int Undo8x1SSSE3(const uint8_t* src, uint8_t* row, int pixels) {
  const __m128i lastByte = _mm_set1_epi8(15);
  __m128i carry = _mm_setzero_si128();
  int x = 0;
  for (; x + 16 <= pixels; x += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi8(v, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), v);
    carry = _mm_shuffle_epi8(v, lastByte);
  }
  return x;
}
#endif

// The vector kernels where the processor has them (and the row kernels in
// use allow them); the pixels they leave are finished by the scalar loop.
bool Undo8Vector(const uint8_t* src, uint8_t* row, int spp, int pixels) {
#ifdef PV_PREDICT_X86
  if (PVRowKernels() == rkPortable) return false;
  int done = 0;
  switch (spp) {
    case 1:
      done = Undo8x1SSSE3(src, row, pixels);
      break;
    case 3:
      done = Undo8x3SSSE3(src, row, pixels);
      break;
    case 4:
      done = Undo8x4SSSE3(src, row, pixels);
      break;
    default:
      return false;
  }
  if (done == 0) return false;
  Undo8Tail(src, row, spp, done, pixels);
  return true;
#else
  (void)src, (void)row, (void)spp, (void)pixels;
  return false;
#endif
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
    if (Undo8Vector(src, row, spp, pixels)) return;
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
