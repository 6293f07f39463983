#include "processing/filters.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/replacefile.h"
#include "platform/stream.h"
#include "processing/progress.h"
#include "processing/simd.h"

namespace pictavo {

bool gPVFiltersGeneric = false;

const TGraphFilter PVFiltPres[kFilterPresetCount] = {
    {{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, 0},          // fpNone
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 9},          // fpBlur
    {{{1, 1, 1}, {1, -8, 1}, {1, 1, 1}}, 1},         // fpEdge
    {{{-1, 0, 1}, {-1, 1, 1}, {-1, 0, 1}}, 1},       // fpEmboss
    {{{0, -1, 0}, {-1, 5, -1}, {0, -1, 0}}, 1},      // fpHighPass1
    {{{-1, -1, -1}, {-1, 9, -1}, {-1, -1, -1}}, 1},  // fpHighPass2
    {{{1, -2, 1}, {-2, 5, -2}, {1, -2, 1}}, 1},      // fpHighPass3
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 10},         // LowPass1
    {{{1, 2, 1}, {2, 4, 2}, {1, 2, 1}}, 16},         // LowPass2
};

// --- The filter file ------------------------------------------------------------

namespace {

constexpr uint8_t kFilterFileVersion = 1;
constexpr uint8_t kFilterFileSide = 3;
constexpr int kFilterHeaderBytes = 3;
constexpr int kFilterRecordBytes = 40;

void PutInt32(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(u >> (8 * i));
}

int32_t GetInt32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

void SaveFilterToFile(const std::string& fileName, const TGraphFilter& filter) {
  uint8_t bytes[kFilterHeaderBytes + kFilterRecordBytes];
  bytes[0] = kFilterFileVersion;
  bytes[1] = kFilterFileSide;
  bytes[2] = kFilterFileSide;
  for (int k = 0; k < 9; ++k)
    PutInt32(bytes + kFilterHeaderBytes + 4 * k, filter.Values[k / 3][k % 3]);
  PutInt32(bytes + kFilterHeaderBytes + 36, filter.Divisor);
  // Written beside the old file and renamed over it, so a failed save keeps it.
  PVReplaceFileOrRaise(fileName, [&](TStream& out) { out.WriteBuffer(bytes, sizeof bytes); });
}

TGraphFilter LoadFilterFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  TGraphFilter filter;
  uint8_t header[kFilterHeaderBytes] = {};
  if (stream.Read(header, kFilterHeaderBytes) != kFilterHeaderBytes) return filter;
  if (header[0] != kFilterFileVersion || header[1] != kFilterFileSide ||
      header[2] != kFilterFileSide)
    return filter;
  // A short file fills the record only as far as it goes; the rest stays 0.
  uint8_t record[kFilterRecordBytes] = {};
  const int64_t got = stream.Read(record, kFilterRecordBytes);
  for (int k = 0; k < 9; ++k)
    if (got >= 4 * (k + 1))
      filter.Values[k / 3][k % 3] = GetInt32(record + 4 * k);
    else if (got > 4 * k) {
      uint8_t part[4] = {};
      std::memcpy(part, record + 4 * k, size_t(got - 4 * k));
      filter.Values[k / 3][k % 3] = GetInt32(part);
    }
  if (got == kFilterRecordBytes)
    filter.Divisor = GetInt32(record + 36);
  else if (got > 36) {
    uint8_t part[4] = {};
    std::memcpy(part, record + 36, size_t(got - 36));
    filter.Divisor = GetInt32(part);
  }
  return filter;
}

// --- Convolution -------------------------------------------------------------------
//
// The weighted sum is a 32-bit integer that wraps like the coefficient
// products it adds; the result is blimit(sum div divisor), with div
// truncating toward zero.  Rows are convolved from copies of the original
// rows above and at the target, so each row can be written in place.

namespace {

constexpr int kBytesPerPixel = 3;
// Divisors up to this magnitude go through the exact single-precision
// quotient of the vector loop (see FinishVector).
constexpr int32_t kVectorDivisorLimit = 1 << 16;

struct TKernel {
  int32_t c[9];  // row-major, row 0 above the pixel
  int32_t divisor;
};

uint8_t FinishScalar(uint32_t sum, int32_t divisor) {
  const int64_t q = int64_t(int32_t(sum)) / divisor;
  return uint8_t(q < 0 ? 0 : (q > 255 ? 255 : q));
}

// One output byte from the three rows; `left` and `right` are the byte
// offsets of the horizontal neighbours (-3/+3, or 0 at a bitmap edge).
uint8_t ConvolveByte(const uint8_t* a, const uint8_t* c, const uint8_t* b, int i, int left,
                     int right, const TKernel& k) {
  const uint32_t* u = reinterpret_cast<const uint32_t*>(k.c);
  uint32_t s = u[0] * a[i + left] + u[1] * a[i] + u[2] * a[i + right];
  s += u[3] * c[i + left] + u[4] * c[i] + u[5] * c[i + right];
  s += u[6] * b[i + left] + u[7] * b[i] + u[8] * b[i + right];
  return FinishScalar(s, k.divisor);
}

// The quotient of the vector loop.  With |divisor| <= 2^16 the sum is
// first clamped to the range whose quotient lies in 0..255, which changes
// no clamped result; the clamped sum is below 2^24 and so exact in single
// precision, and its correctly rounded quotient is closer to the true one
// than 1/|divisor|, so truncation gives the integer quotient exactly.
enum TDivideMode { kDivideOne, kDivideMinusOne, kDividePositive, kDivideNegative };

template <int Mode>
PV_ALWAYS_INLINE vu8x8 FinishVector(vi32x8 s, int32_t limit, vf32x8 divisor) {
  vi32x8 q;
  if constexpr (Mode == kDivideOne) {
    q = pv_clamp(s, 0, 255);
  } else if constexpr (Mode == kDivideMinusOne) {
    q = -pv_clamp(s, -255, 0);
  } else if constexpr (Mode == kDividePositive) {
    const vi32x8 t = pv_clamp(s, 0, limit);
    q = __builtin_convertvector(__builtin_convertvector(t, vf32x8) / divisor, vi32x8);
  } else {
    const vi32x8 t = -pv_clamp(s, -limit, 0);
    q = __builtin_convertvector(__builtin_convertvector(t, vf32x8) / divisor, vi32x8);
  }
  return __builtin_convertvector(q, vu8x8);
}

// Bytes [begin, end) of the interior, where every byte has neighbours at
// -3 and +3 within the rows.  Returns the first byte not done.
template <int Mode>
PV_MULTIVERSION int ConvolveInterior(const uint8_t* a, const uint8_t* c, const uint8_t* b,
                                     uint8_t* out, int begin, int end, const TKernel& k) {
  const int32_t absDivisor = k.divisor < 0 ? -k.divisor : k.divisor;
  const int32_t limit = 256 * absDivisor - 1;
  const vf32x8 divisor = vf32x8{} + float(absDivisor);
  vu32x8 w[9];
  for (int j = 0; j < 9; ++j) w[j] = vu32x8{} + uint32_t(k.c[j]);
  const uint8_t* rows[3] = {a, c, b};
  int i = begin;
  for (; i + 8 <= end; i += 8) {
    vu32x8 s = vu32x8{};
    for (int r = 0; r < 3; ++r) {
      s += w[3 * r] * pv_load_u8x8(rows[r] + i - kBytesPerPixel);
      s += w[3 * r + 1] * pv_load_u8x8(rows[r] + i);
      s += w[3 * r + 2] * pv_load_u8x8(rows[r] + i + kBytesPerPixel);
    }
    pv_store(out + i, FinishVector<Mode>(vi32x8(s), limit, divisor));
  }
  return i;
}

#ifdef PV_AVX2_KERNELS
// 16 output bytes per step for kernels whose coefficients fit 16 bits: the
// nine products are summed by pmaddwd in pairs (exact: at most 9 * 255 *
// 32768 in magnitude, so no wrapping either), then finished as above.
PV_TARGET_AVX2 inline __m256i PairAvx2(int32_t lo, int32_t hi) {
  return _mm256_set1_epi32(int32_t((uint32_t(hi) << 16) | (uint32_t(lo) & 0xFFFF)));
}

PV_TARGET_AVX2 inline __m256i LoadWordsAvx2(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The quotient of eight sums (see FinishVector); `limit` is 256 |d| - 1.
template <int Mode>
PV_TARGET_AVX2 inline __m256i FinishAvx2(__m256i s, __m256i limit, __m256 divisor) {
  const __m256i zero = _mm256_setzero_si256();
  if constexpr (Mode == kDivideOne) {
    return s;  // the packs that follow saturate to 0..255
  } else if constexpr (Mode == kDivideMinusOne) {
    return _mm256_sub_epi32(zero, _mm256_max_epi32(s, _mm256_set1_epi32(-255)));
  } else if constexpr (Mode == kDividePositive) {
    const __m256i t = _mm256_min_epi32(_mm256_max_epi32(s, zero), limit);
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(t), divisor));
  } else {
    const __m256i t = _mm256_min_epi32(_mm256_sub_epi32(zero, _mm256_min_epi32(s, zero)), limit);
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(t), divisor));
  }
}

template <int Mode>
PV_TARGET_AVX2 int ConvolveInteriorAvx2(const uint8_t* a, const uint8_t* c, const uint8_t* b,
                                        uint8_t* out, int begin, int end, const TKernel& k) {
  // Taps in order: a-, a0, a+, c-, c0, c+, b-, b0, b+ (coefficients 0..8).
  const __m256i w0 = PairAvx2(k.c[0], k.c[1]), w1 = PairAvx2(k.c[2], k.c[3]);
  const __m256i w2 = PairAvx2(k.c[4], k.c[5]), w3 = PairAvx2(k.c[6], k.c[7]);
  const __m256i w4 = PairAvx2(k.c[8], 0);
  const int32_t absDivisor = k.divisor < 0 ? -k.divisor : k.divisor;
  const __m256i limit = _mm256_set1_epi32(256 * absDivisor - 1);
  const __m256i zero = _mm256_setzero_si256();
  const __m256 divisor = _mm256_set1_ps(float(absDivisor));
  int i = begin;
  for (; i + 16 <= end; i += 16) {
    const __m256i am = LoadWordsAvx2(a + i - kBytesPerPixel), a0 = LoadWordsAvx2(a + i);
    const __m256i ap = LoadWordsAvx2(a + i + kBytesPerPixel),
                  cm = LoadWordsAvx2(c + i - kBytesPerPixel);
    const __m256i c0 = LoadWordsAvx2(c + i), cp = LoadWordsAvx2(c + i + kBytesPerPixel);
    const __m256i bm = LoadWordsAvx2(b + i - kBytesPerPixel), b0 = LoadWordsAvx2(b + i);
    const __m256i bp = LoadWordsAvx2(b + i + kBytesPerPixel);
    __m256i lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(am, a0), w0);
    __m256i hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(am, a0), w0);
    lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(ap, cm), w1));
    hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(ap, cm), w1));
    lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(c0, cp), w2));
    hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(c0, cp), w2));
    lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(bm, b0), w3));
    hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(bm, b0), w3));
    lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(bp, zero), w4));
    hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(bp, zero), w4));
    // Lane-wise unpacking and packing cancel out: the words come back in order.
    const __m256i words = _mm256_packs_epi32(FinishAvx2<Mode>(lo, limit, divisor),
                                             FinishAvx2<Mode>(hi, limit, divisor));
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(bytes));
  }
  return i;
}

bool FitsSixteenBits(const TKernel& k) {
  for (int32_t v : k.c)
    if (v < INT16_MIN || v > INT16_MAX) return false;
  return true;
}
#endif

int ConvolveInteriorDispatch(const uint8_t* a, const uint8_t* c, const uint8_t* b, uint8_t* out,
                             int begin, int end, const TKernel& k) {
#ifdef PV_AVX2_KERNELS
  if (PVHasAvx2() && !gPVFiltersGeneric && FitsSixteenBits(k)) {
    if (k.divisor == 1)
      begin = ConvolveInteriorAvx2<kDivideOne>(a, c, b, out, begin, end, k);
    else if (k.divisor == -1)
      begin = ConvolveInteriorAvx2<kDivideMinusOne>(a, c, b, out, begin, end, k);
    else if (k.divisor > 0 && k.divisor <= kVectorDivisorLimit)
      begin = ConvolveInteriorAvx2<kDividePositive>(a, c, b, out, begin, end, k);
    else if (k.divisor < 0 && k.divisor >= -kVectorDivisorLimit)
      begin = ConvolveInteriorAvx2<kDivideNegative>(a, c, b, out, begin, end, k);
  }
#endif
  if (k.divisor == 1) return ConvolveInterior<kDivideOne>(a, c, b, out, begin, end, k);
  if (k.divisor == -1) return ConvolveInterior<kDivideMinusOne>(a, c, b, out, begin, end, k);
  if (k.divisor > 0 && k.divisor <= kVectorDivisorLimit)
    return ConvolveInterior<kDividePositive>(a, c, b, out, begin, end, k);
  if (k.divisor < 0 && k.divisor >= -kVectorDivisorLimit)
    return ConvolveInterior<kDivideNegative>(a, c, b, out, begin, end, k);
  return begin;
}

// Convolves columns xFirst..xLast of one row into `out` (the target row).
void ConvolveRow(const uint8_t* a, const uint8_t* c, const uint8_t* b, uint8_t* out, int width,
                 int xFirst, int xLast, const TKernel& k) {
  auto pixel = [&](int x) {
    const int left = x > 0 ? -kBytesPerPixel : 0;
    const int right = x < width - 1 ? kBytesPerPixel : 0;
    for (int ch = 0; ch < kBytesPerPixel; ++ch) {
      const int i = kBytesPerPixel * x + ch;
      out[i] = ConvolveByte(a, c, b, i, left, right, k);
    }
  };
  const int innerFirst = std::max(xFirst, 1);
  const int innerLast = std::min(xLast, width - 2);
  if (innerFirst > innerLast) {
    for (int x = xFirst; x <= xLast; ++x) pixel(x);
    return;
  }
  for (int x = xFirst; x < innerFirst; ++x) pixel(x);
  const int begin = kBytesPerPixel * innerFirst;
  const int end = kBytesPerPixel * (innerLast + 1);
  for (int i = ConvolveInteriorDispatch(a, c, b, out, begin, end, k); i < end; ++i)
    out[i] = ConvolveByte(a, c, b, i, -kBytesPerPixel, kBytesPerPixel, k);
  for (int x = innerLast + 1; x <= xLast; ++x) pixel(x);
}

}  // namespace

void _ApplyFilter(TBitmap& bitmap, const TGraphFilter& filter, int x1, int y1, int x2, int y2,
                  TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  if (!ClampWorkRect(width, height, x1, y1, x2, y2)) return;
  TKernel k;
  for (int j = 0; j < 9; ++j) k.c[j] = filter.Values[j / 3][j % 3];
  k.divisor = filter.Divisor == 0 ? 1 : filter.Divisor;

  const TRowProgress rowProgress(progress.ProgressEvent, progress.Sender, y1, y2);
  const size_t rowBytes = size_t(width) * kBytesPerPixel;
  // Original rows y-1 and y; row y+1 is read from the bitmap, where it is
  // still unchanged.
  std::vector<uint8_t> above(rowBytes), current(rowBytes);
  std::memcpy(above.data(), bitmap.ScanLine(std::max(y1 - 1, 0)), rowBytes);
  std::memcpy(current.data(), bitmap.ScanLine(y1), rowBytes);
  for (int y = y1; y < y2; ++y) {
    uint8_t* target = bitmap.ScanLine(y);
    const uint8_t* below = y + 1 < height ? bitmap.ScanLine(y + 1) : current.data();
    const uint8_t* up = y > 0 ? above.data() : current.data();
    ConvolveRow(up, current.data(), below, target, width, x1, x2 - 1, k);
    if (y + 1 < y2) {
      std::swap(above, current);
      std::memcpy(current.data(), bitmap.ScanLine(y + 1), rowBytes);
    }
    rowProgress.Row(y);
  }
}

// --- Morphology ------------------------------------------------------------------
//
// Each pass picks, for every pixel, the first pixel in row-major order of
// its window whose grey is the extreme.  Ordering the pixels by the key
// (grey, -row, -column) makes that pixel the window's largest key (for the
// minimum pass the grey field holds 255 - grey), and the largest key of a
// rectangle is the largest of the per-row largest keys.  So the pass is two
// running maxima of window length 2n+1: along each row, then down the
// columns, each O(1) per pixel by the van Herk / Gil-Werman method (block
// prefix and suffix maxima).  A key whose grey field is 0 means that no
// pixel beat the start value, and the pixel keeps its own colour.

namespace {

struct TKeyLayout {
  int colBits, rowBits;
  uint64_t colMask, rowMask;
};

TKeyLayout MakeLayout(int rows, int cols) {
  TKeyLayout l;
  l.colBits = std::bit_width(unsigned(cols - 1));
  l.rowBits = std::bit_width(unsigned(rows - 1));
  l.colMask = (uint64_t(1) << l.colBits) - 1;
  l.rowMask = (uint64_t(1) << l.rowBits) - 1;
  return l;
}

inline int GreyOf(const uint8_t* p) {
  return (p[2] * 21 + p[1] * 71 + p[0] * 7) / 100;
}

// Row windows up to this length take the maximum by doubling spans
// (log2 k vector passes) instead of the block prefix and suffix maxima.
constexpr int kDoublingWindow = 64;

// Bytes of slack after each ring row: the vector kernels read 32 bytes
// from the start of the last pixels and gather 4-byte words.
constexpr int kRingSlack = 32;

// 32 bytes of keys as one vector.
typedef uint64_t vu64x4 __attribute__((vector_size(32)));
template <typename Key>
struct TKeyVectorOf;
template <>
struct TKeyVectorOf<uint32_t> {
  using type = vu32x8;
};
template <>
struct TKeyVectorOf<uint64_t> {
  using type = vu64x4;
};
template <typename Key>
using TKeyVector = typename TKeyVectorOf<Key>::type;

template <typename Key>
PV_MULTIVERSION void MaxRows(const Key* a, const Key* b, Key* out, int count) {
  using V = TKeyVector<Key>;
  constexpr int kStep = int(sizeof(V) / sizeof(Key));
  int i = 0;
  for (; i + kStep <= count; i += kStep)
    pv_store(out + i, pv_max(pv_load<V>(a + i), pv_load<V>(b + i)));
  for (; i < count; ++i) out[i] = a[i] > b[i] ? a[i] : b[i];
}

template <typename Key>
PV_MULTIVERSION void MaxOfThree(const Key* p, Key* out, int count) {
  using V = TKeyVector<Key>;
  constexpr int kStep = int(sizeof(V) / sizeof(Key));
  int i = 0;
  for (; i + kStep <= count; i += kStep)
    pv_store(out + i,
             pv_max(pv_max(pv_load<V>(p + i), pv_load<V>(p + i + 1)), pv_load<V>(p + i + 2)));
  for (; i < count; ++i) {
    const Key m = p[i] > p[i + 1] ? p[i] : p[i + 1];
    out[i] = m > p[i + 2] ? m : p[i + 2];
  }
}

// What a pass needs to turn a key back into a ring position.
struct TRingGeometry {
  const uint8_t* base;
  size_t stride;
  uint32_t slotMask;
};

#ifdef PV_AVX2_KERNELS
// Keys of eight pixels at a time (32-bit keys): the grey of each pixel
// from its interleaved bytes, (g * 21 + ... ) * 5243 >> 19 being exactly
// the division by 100 for every possible sum.  Returns the pixels done.
PV_TARGET_AVX2 int RowKeysAvx2(const uint8_t* px, int cols, uint32_t base, int shift, bool maximum,
                               uint32_t* keys) {
  // Per pixel j of a 128-bit lane: words (R, G) and (B, 0).
  const __m256i redGreen =
      _mm256_setr_epi8(2, -1, 1, -1, 5, -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1, 2, -1, 1, -1, 5,
                       -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1);
  const __m256i blue = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1,
                                        0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  const __m256i weightsRG = _mm256_set1_epi32((71 << 16) | 21);
  const __m256i weightB = _mm256_set1_epi32(7);
  const __m256i byHundred = _mm256_set1_epi32(5243);
  const __m256i full = _mm256_set1_epi32(255);
  const __m256i steps = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  int x = 0;
  for (; x + 8 <= cols; x += 8) {
    const uint8_t* p = px + 3 * x;
    const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12),
                                              reinterpret_cast<const __m128i*>(p));
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(bytes, redGreen), weightsRG),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, blue), weightB));
    __m256i field = _mm256_srli_epi32(_mm256_mullo_epi32(sum, byHundred), 19);
    if (!maximum) field = _mm256_sub_epi32(full, field);
    const __m256i position =
        _mm256_sub_epi32(_mm256_set1_epi32(int32_t(base - uint32_t(x))), steps);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(keys + x),
        _mm256_add_epi32(_mm256_sll_epi32(field, _mm_cvtsi32_si128(shift)), position));
  }
  return x;
}

// Writes the chosen colours of eight pixels at a time (32-bit keys), while
// at least two more pixels follow: each step stores 28 bytes, the last four
// of which the next step overwrites.  Returns the pixels done.
// The key of each pixel is the largest of the given rows' keys (rows b and c
// may be null), so the vertical maximum needs no pass of its own.
PV_TARGET_AVX2 inline __m256i LoadKeysAvx2(const uint32_t* a, const uint32_t* b, const uint32_t* c,
                                           int x) {
  __m256i key = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
  if (b) key = _mm256_max_epu32(key, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x)));
  if (c) key = _mm256_max_epu32(key, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + x)));
  return key;
}

PV_TARGET_AVX2 int EmitAvx2(const uint32_t* keysA, const uint32_t* keysB, const uint32_t* keysC,
                            int cols, const TRingGeometry& ring, uint32_t ownSlot,
                            const TKeyLayout& layout, int shift, uint8_t* dst) {
  const __m256i colMask = _mm256_set1_epi32(int32_t(layout.colMask));
  const __m256i rowMask = _mm256_set1_epi32(int32_t(layout.rowMask));
  const __m256i slotMask = _mm256_set1_epi32(int32_t(ring.slotMask));
  const __m256i stride = _mm256_set1_epi32(int32_t(ring.stride));
  const __m128i colShift = _mm_cvtsi32_si128(layout.colBits), fieldShift = _mm_cvtsi32_si128(shift);
  const __m256i ownRow = _mm256_set1_epi32(int32_t(ownSlot * ring.stride));
  const __m256i three = _mm256_set1_epi32(3);
  const __m256i steps = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                        1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const int* base = reinterpret_cast<const int*>(ring.base);
  int x = 0;
  for (; x + 10 <= cols; x += 8) {
    const __m256i key = LoadKeysAvx2(keysA, keysB, keysC, x);
    const __m256i row =
        _mm256_sub_epi32(rowMask, _mm256_and_si256(_mm256_srl_epi32(key, colShift), rowMask));
    const __m256i col = _mm256_sub_epi32(colMask, _mm256_and_si256(key, colMask));
    const __m256i chosen =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_and_si256(row, slotMask), stride),
                         _mm256_mullo_epi32(col, three));
    const __m256i own = _mm256_add_epi32(ownRow, _mm256_add_epi32(_mm256_set1_epi32(3 * x), steps));
    const __m256i keep =
        _mm256_cmpeq_epi32(_mm256_srl_epi32(key, fieldShift), _mm256_setzero_si256());
    const __m256i offset = _mm256_blendv_epi8(chosen, own, keep);
    // Eight scalar loads: cheaper than a hardware gather on many cores.
    alignas(32) int32_t at[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), offset);
    auto word = [base](int32_t o) {
      int32_t v;
      std::memcpy(&v, reinterpret_cast<const uint8_t*>(base) + o, sizeof v);
      return v;
    };
    const __m256i gathered = _mm256_setr_epi32(word(at[0]), word(at[1]), word(at[2]), word(at[3]),
                                               word(at[4]), word(at[5]), word(at[6]), word(at[7]));
    const __m256i pixels = _mm256_shuffle_epi8(gathered, pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm256_castsi256_si128(pixels));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x + 12),
                     _mm256_extracti128_si256(pixels, 1));
  }
  return x;
}
#endif

template <typename Key>
class TMorphPass {
 public:
  TMorphPass(TBitmap& bitmap, int x1, int y1, int x2, int y2, int n, bool maximum)
      : bitmap_(bitmap), x1_(x1), y1_(y1), rows_(y2 - y1), cols_(x2 - x1), maximum_(maximum) {
    nh_ = std::min(n, cols_ - 1);
    nv_ = std::min(n, rows_ - 1);
    layout_ = MakeLayout(rows_, cols_);
    shift_ = layout_.rowBits + layout_.colBits;
    // Ring slots: a power of two holding the 2n+1 rows of a window, so a row
    // finds its slot with a mask.
    const uint32_t slots = std::bit_ceil(uint32_t(std::min(2 * nv_ + 1, rows_)));
    ring_.stride = size_t(cols_) * kBytesPerPixel + kRingSlack;
    ring_.slotMask = slots - 1;
    ringBytes_.assign(ring_.stride * slots, 0);
    ring_.base = ringBytes_.data();
    padded_.assign(size_t(cols_) + 2 * nh_, 0);
    prefix_.resize(padded_.size());
    suffix_.resize(padded_.size());
    vector_ = PVHasAvx2() && !gPVFiltersGeneric && sizeof(Key) == 4 &&
              ringBytes_.size() < (size_t(1) << 31);
  }

  // Runs the pass; after each output row calls done(row index 0..rows-1).
  template <typename Done>
  void Run(Done&& done) {
    if (nv_ == 1) {
      RunThreeRows(done);
      return;
    }
    const int k = 2 * nv_ + 1;
    const size_t cols = size_t(cols_);
    std::vector<Key> hCur(size_t(k) * cols), hNext(size_t(k) * cols), gRun(cols);
    LoadBlock(0, hCur.data(), nullptr, 0, done);
    for (int b = 0; int64_t(b) * k < rows_; ++b) {
      LoadBlock(b + 1, hNext.data(), gRun.data(), int64_t(b) * k, done, hCur.data());
      std::swap(hCur, hNext);
    }
  }

 private:
  // A vertical window of three rows: the row maxima of rows y-1, y, y+1 are
  // kept in three buffers and combined while emitting.
  template <typename Done>
  void RunThreeRows(Done& done) {
    const size_t cols = size_t(cols_);
    std::vector<Key> rowsKeys(3 * cols);
    auto keysOf = [&](int r) { return rowsKeys.data() + size_t(r % 3) * cols; };
    RowKeys(0, keysOf(0));
    for (int y = 0; y < rows_; ++y) {
      if (y + 1 < rows_) RowKeys(y + 1, keysOf(y + 1));
      Emit(y, keysOf(y), y > 0 ? keysOf(y - 1) : nullptr, y + 1 < rows_ ? keysOf(y + 1) : nullptr,
           done);
    }
  }

  // Loads the k padded rows of block `block` into `raw` and turns them into
  // suffix maxima.  While loading, outputs rows base+1.. of the previous
  // block (whose suffix maxima are `prevSuffix`) from the running prefix.
  template <typename Done>
  void LoadBlock(int block, Key* raw, Key* gRun, int64_t base, Done& done,
                 const Key* prevSuffix = nullptr) {
    const int k = 2 * nv_ + 1;
    const size_t cols = size_t(cols_);
    if (prevSuffix && base < rows_) Emit(int(base), prevSuffix, nullptr, nullptr, done);
    for (int j = 0; j < k; ++j) {
      const int64_t r = int64_t(block) * k + j - nv_;
      Key* row = raw + size_t(j) * cols;
      if (r >= 0 && r < rows_)
        RowKeys(int(r), row);
      else
        std::fill(row, row + cols, Key(0));
      if (!prevSuffix) continue;
      if (j == 0)
        std::copy(row, row + cols, gRun);
      else
        MaxRows(gRun, row, gRun, cols_);
      const int64_t y = base + j + 1;
      if (j + 1 < k && y < rows_)
        Emit(int(y), prevSuffix + size_t(j + 1) * cols, gRun, nullptr, done);
    }
    for (int j = k - 2; j >= 0; --j)
      MaxRows(raw + size_t(j) * cols, raw + size_t(j + 1) * cols, raw + size_t(j) * cols, cols_);
  }

  // Horizontal pass of rectangle row r: copies its colours into the ring and
  // writes the row's window maxima of the keys.
  void RowKeys(int r, Key* out) {
    const uint8_t* src = bitmap_.ScanLine(y1_ + r) + size_t(x1_) * kBytesPerPixel;
    uint8_t* copy = RingRow(r);
    std::memcpy(copy, src, size_t(cols_) * kBytesPerPixel);
    const Key base = (Key(layout_.rowMask - uint64_t(r)) << layout_.colBits) | Key(layout_.colMask);
    Key* keys = padded_.data() + nh_;
    int x = 0;
#ifdef PV_AVX2_KERNELS
    if constexpr (sizeof(Key) == 4)
      if (vector_) x = RowKeysAvx2(copy, cols_, base, shift_, maximum_, keys);
#endif
    for (; x < cols_; ++x) {
      const int g = GreyOf(copy + kBytesPerPixel * x);
      keys[x] = (Key(maximum_ ? g : 255 - g) << shift_) | (base - Key(x));
    }
    WindowMax(out);
  }

  // Running maximum of window 2*nh+1 over padded_ (zeros beyond the row).
  void WindowMax(Key* out) {
    const int n = nh_;
    const Key* p = padded_.data();
    if (n == 0) {
      std::copy(p, p + cols_, out);
      return;
    }
    if (n == 1) {
      MaxOfThree(p, out, cols_);
      return;
    }
    const int k = 2 * n + 1;
    const int len = cols_ + 2 * n;
    if (k <= kDoublingWindow) {
      // Maxima over 2, 4, 8... keys in place, then two overlapping spans of
      // the largest power of two cover the window: a few vector passes.
      Key* m = prefix_.data();
      int span = 1;
      MaxRows(p, p + 1, m, len - 1);
      for (span = 2; 2 * span <= k; span *= 2) MaxRows(m, m + span, m, len - 2 * span + 1);
      MaxRows(m, m + (k - span), out, cols_);
      return;
    }
    Key* g = prefix_.data();
    Key* h = suffix_.data();
    for (int start = 0; start < len; start += k) {
      const int end = std::min(start + k, len);
      g[start] = p[start];
      for (int i = start + 1; i < end; ++i) g[i] = std::max(g[i - 1], p[i]);
      h[end - 1] = p[end - 1];
      for (int i = end - 2; i >= start; --i) h[i] = std::max(h[i + 1], p[i]);
    }
    MaxRows(h, g + 2 * n, out, cols_);
  }

  uint8_t* RingRow(int r) {
    return ringBytes_.data() + (uint32_t(r) & ring_.slotMask) * ring_.stride;
  }

  // Writes output row y: each pixel takes the colour its key names, the key
  // being the largest of rows a, b and c (b and c may be null).
  template <typename Done>
  void Emit(int y, const Key* a, const Key* b, const Key* c, Done& done) {
    uint8_t* dst = bitmap_.ScanLine(y1_ + y) + size_t(x1_) * kBytesPerPixel;
    const uint8_t* own = RingRow(y);
    int x = 0;
#ifdef PV_AVX2_KERNELS
    if constexpr (sizeof(Key) == 4)
      if (vector_)
        x = EmitAvx2(a, b, c, cols_, ring_, uint32_t(y) & ring_.slotMask, layout_, shift_, dst);
#endif
    for (; x < cols_; ++x) {
      Key key = a[x];
      if (b) key = std::max(key, b[x]);
      if (c) key = std::max(key, c[x]);
      const uint8_t* from = own + kBytesPerPixel * x;
      if ((key >> shift_) != 0) {
        const int r = int(layout_.rowMask - ((uint64_t(key) >> layout_.colBits) & layout_.rowMask));
        const int col = int(layout_.colMask - (uint64_t(key) & layout_.colMask));
        from = RingRow(r) + kBytesPerPixel * col;
      }
      dst[kBytesPerPixel * x] = from[0];
      dst[kBytesPerPixel * x + 1] = from[1];
      dst[kBytesPerPixel * x + 2] = from[2];
    }
    done(y);
  }

  TBitmap& bitmap_;
  int x1_, y1_, rows_, cols_;
  bool maximum_;
  int nh_ = 0, nv_ = 0;
  TKeyLayout layout_{};
  int shift_ = 0;
  TRingGeometry ring_{};
  std::vector<uint8_t> ringBytes_;
  std::vector<Key> padded_, prefix_, suffix_;
  bool vector_ = false;
};

template <typename Done>
void MorphPass(TBitmap& bitmap, int x1, int y1, int x2, int y2, int n, bool maximum, Done&& done) {
  const TKeyLayout l = MakeLayout(y2 - y1, x2 - x1);
  if (8 + l.rowBits + l.colBits <= 32) {
    TMorphPass<uint32_t>(bitmap, x1, y1, x2, y2, n, maximum).Run(done);
  } else {
    TMorphPass<uint64_t>(bitmap, x1, y1, x2, y2, n, maximum).Run(done);
  }
}

}  // namespace

void _MorphFilter(TBitmap& bitmap, int winSize, int op, int x1, int y1, int x2, int y2,
                  const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  const int rows = y2 - y1;
  bool passes[2];  // true: maximum
  int passCount = 1;
  switch (op) {
    case pvmoMaximum:
      passes[0] = true;
      break;
    case pvmoMinimum:
      passes[0] = false;
      break;
    case pvmoOpening:
      passes[0] = false, passes[1] = true, passCount = 2;
      break;
    case pvmoClosing:
      passes[0] = true, passes[1] = false, passCount = 2;
      break;
    default:
      return;
  }
  double factor = 100.0 / (rows - 1 + 0.5);
  if (passCount == 2) factor /= 2;
  for (int pass = 0; pass < passCount; ++pass) {
    auto done = [&](int row) {
      if (onProgress) onProgress(sender, int((row + 1 + pass * rows) * factor));
    };
    // A negative window scans nothing and a window of one pixel picks the
    // pixel itself: either way every pixel keeps its colour.
    if (winSize <= 0) {
      for (int row = 0; row < rows; ++row) done(row);
      continue;
    }
    MorphPass(bitmap, x1, y1, x2, y2, winSize, passes[pass], done);
  }
}

}  // namespace pictavo
