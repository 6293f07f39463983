// Small vector helpers of the processing workers: fixed-width vector types
// (GCC/Clang vector extensions, lowered to whatever the target offers) and
// the attribute that compiles a hot function twice, for AVX2 and for the
// baseline, choosing at load time.  Results never depend on the choice:
// the vector code does the same integer and single-precision operations as
// the scalar formulas.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define PV_MULTIVERSION __attribute__((target_clones("avx2", "default")))
#else
#define PV_MULTIVERSION
#endif
#define PV_ALWAYS_INLINE inline __attribute__((always_inline))

// Hand-written AVX2 kernels (x86-64 with GCC or Clang), chosen at run time
// with PVHasAvx2(); every kernel has a portable fallback with equal results.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PV_AVX2_KERNELS 1
#include <immintrin.h>
#define PV_TARGET_AVX2 __attribute__((target("avx2")))
#endif

// The vector types only pass between functions of one translation unit,
// which are compiled together, so the calling-convention difference that
// GCC warns about for 32-byte vectors without AVX cannot matter here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace pictavo {

inline bool PVHasAvx2() {
#ifdef PV_AVX2_KERNELS
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

typedef uint8_t vu8x16 __attribute__((vector_size(16)));
typedef uint8_t vu8x32 __attribute__((vector_size(32)));
typedef uint16_t vu16x16 __attribute__((vector_size(32)));
typedef int16_t vi16x16 __attribute__((vector_size(32)));
typedef uint32_t vu32x8 __attribute__((vector_size(32)));
typedef int32_t vi32x8 __attribute__((vector_size(32)));
typedef float vf32x8 __attribute__((vector_size(32)));
typedef uint8_t vu8x8 __attribute__((vector_size(8)));

// Eight bytes widened to 32-bit lanes.
PV_ALWAYS_INLINE vu32x8 pv_load_u8x8(const uint8_t* p) {
  vu8x8 v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_convertvector(v, vu32x8);
}

template <typename V>
PV_ALWAYS_INLINE V pv_load(const void* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename V>
PV_ALWAYS_INLINE void pv_store(void* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

PV_ALWAYS_INLINE vi32x8 pv_clamp(vi32x8 v, int32_t lo, int32_t hi) {
  const vi32x8 l = vi32x8{} + lo;
  const vi32x8 h = vi32x8{} + hi;
  v = v < l ? l : v;
  return v > h ? h : v;
}

template <typename V>
PV_ALWAYS_INLINE V pv_max(V a, V b) {
  return a > b ? a : b;
}

template <typename V>
PV_ALWAYS_INLINE V pv_min(V a, V b) {
  return a < b ? a : b;
}

}  // namespace pictavo
