#include "core/rowconv.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PV_ROWCONV_X86 1
#include <immintrin.h>
#endif

namespace pictavo {

namespace {

void SwapRB24Portable(const uint8_t* src, uint8_t* dst, int pixels) {
  for (int x = 0; x < pixels; ++x, src += 3, dst += 3) {
    const uint8_t a = src[0], b = src[1], c = src[2];
    dst[0] = c;
    dst[1] = b;
    dst[2] = a;
  }
}

#ifdef PV_ROWCONV_X86
// Each step stores exactly the bytes of the pixels it converts, so the next
// step's load never overlaps a store still in flight (in place, a load that
// partly covers an earlier store stalls until that store completes).

// Four pixels per step: a 16-byte load, one shuffle, 8 + 4 bytes stored.
__attribute__((target("ssse3"))) void SwapRB24SSSE3(const uint8_t* src, uint8_t* dst, int pixels) {
  const __m128i shuffle = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  constexpr int kStep = 4;
  int x = 0;
  for (; x + kStep + 2 <= pixels; x += kStep) {  // 16 bytes readable
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    const __m128i s = _mm_shuffle_epi8(v, shuffle);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 3 * x), s);
    const uint32_t tail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(s, 8)));
    std::memcpy(dst + 3 * x + 8, &tail, sizeof tail);
  }
  SwapRB24Portable(src + 3 * x, dst + 3 * x, pixels - x);
}

// Eight pixels per step: the dwords of a 32-byte load are spread so each
// 128-bit lane holds four whole pixels, swapped, packed back together, and
// the 24 bytes stored as 16 + 8.
__attribute__((target("avx2"))) void SwapRB24AVX2(const uint8_t* src, uint8_t* dst, int pixels) {
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  const __m256i shuffle = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15,  //
                                           2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  const __m256i pack = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  constexpr int kStep = 8;
  int x = 0;
  for (; x + kStep + 3 <= pixels; x += kStep) {  // 32 bytes readable
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 3 * x));
    const __m256i s = _mm256_permutevar8x32_epi32(
        _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, spread), shuffle), pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm256_castsi256_si128(s));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 3 * x + 16), _mm256_extracti128_si256(s, 1));
  }
  SwapRB24SSSE3(src + 3 * x, dst + 3 * x, pixels - x);
}
#endif

TPVRowKernels DetectBest() {
#ifdef PV_ROWCONV_X86
  if (__builtin_cpu_supports("avx2")) return rkAVX2;
  if (__builtin_cpu_supports("ssse3")) return rkSSSE3;
#endif
  return rkPortable;
}

using SwapFn = void (*)(const uint8_t*, uint8_t*, int);

struct Kernels {
  TPVRowKernels which;
  SwapFn swapRB24;
};

Kernels Make(TPVRowKernels k) {
#ifdef PV_ROWCONV_X86
  if (k == rkAVX2) return {k, SwapRB24AVX2};
  if (k == rkSSSE3) return {k, SwapRB24SSSE3};
#endif
  return {rkPortable, SwapRB24Portable};
}

Kernels& Active() {
  static Kernels kernels = Make(DetectBest());
  return kernels;
}

}  // namespace

TPVRowKernels PVBestRowKernels() {
  static const TPVRowKernels best = DetectBest();
  return best;
}

TPVRowKernels PVRowKernels() {
  return Active().which;
}

TPVRowKernels PVSetRowKernels(TPVRowKernels kernels) {
  if (kernels > PVBestRowKernels()) kernels = PVBestRowKernels();
  Active() = Make(kernels);
  return Active().which;
}

void PVSwapRB24(const uint8_t* src, uint8_t* dst, int pixels) {
  if (pixels > 0) Active().swapRB24(src, dst, pixels);
}

}  // namespace pictavo
