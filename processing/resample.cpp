#include "processing/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/bitmap.h"

// The AVX2 functions pass vectors only to functions of this file built with
// the same target, so the calling-convention note does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Hot loops are built for AVX2 as well as the baseline and chosen at load
// time.  Neither clone contracts a multiply and an add into one rounding
// (AVX2 does not include FMA), so both give the same doubles.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define PV_HOT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PV_HOT_CLONES
#endif

namespace pictavo {

namespace {

double Triangle(double x) {
  double a = std::fabs(x);
  return a < 1 ? 1 - a : 0;
}

double Hermite(double x) {
  double a = std::fabs(x);
  return a < 1 ? a * a * (2 * a - 3) + 1 : 0;
}

double Bell(double x) {
  double a = std::fabs(x);
  if (a < 0.5) return 0.75 - a * a;
  if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
  return 0;
}

double BSpline(double x) {
  double a = std::fabs(x);
  if (a < 1) return a * a * a / 2 - a * a + 2.0 / 3.0;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
  return 0;
}

double Sinc(double x) {
  if (x == 0) return 1;
  x *= std::numbers::pi;
  return std::sin(x) / x;
}

double Lanczos3(double x) {
  if (std::fabs(x) < 3) return Sinc(x) * Sinc(x / 3);
  return 0;
}

double Mitchell(double x) {
  double a = std::fabs(x);
  if (a < 1) return (7 * a * a * a - 12 * a * a + 16.0 / 3.0) / 6;
  if (a < 2) return (-(7.0 / 3.0) * a * a * a + 12 * a * a - 20 * a + 32.0 / 3.0) / 6;
  return 0;
}

const TPVResampleKernel kKernels[] = {
    {Triangle, 1.0}, {Triangle, 1.0}, {Hermite, 1.0},  {Bell, 1.5},
    {BSpline, 2.0},  {Lanczos3, 3.0}, {Mitchell, 2.0},
};

// The contributors of every output index, stored one after the other.
struct Contributors {
  std::vector<int> start;  // output i uses entries start[i] .. start[i + 1] - 1
  std::vector<int> index;
  std::vector<double> weight;
};

// Source indices left of 0 or right of the last are mirrored into the
// image (and clamped when the kernel is wider than the image itself).
int MirrorIndex(int j, int length) {
  if (j < 0) j = -j;
  if (j >= length) j = 2 * length - 1 - j;
  return std::clamp(j, 0, length - 1);
}

Contributors BuildContributors(int sourceLength, int destLength, const TPVResampleKernel& kernel) {
  Contributors c;
  c.start.reserve(size_t(destLength) + 1);
  double scale = double(destLength) / sourceLength;
  double width = scale >= 1 ? kernel.support : kernel.support / scale;
  for (int i = 0; i < destLength; ++i) {
    c.start.push_back(int(c.index.size()));
    double center = i / scale;
    int left = int(std::floor(center - width));
    int right = int(std::ceil(center + width));
    for (int j = left; j <= right; ++j) {
      double w = scale >= 1 ? kernel.fn(center - j) : kernel.fn((center - j) * scale) * scale;
      if (w == 0) continue;
      c.index.push_back(MirrorIndex(j, sourceLength));
      c.weight.push_back(w);
    }
  }
  c.start.push_back(int(c.index.size()));
  return c;
}

typedef double v4d __attribute__((vector_size(32)));
typedef uint8_t v4u8 __attribute__((vector_size(4)));

// Round half to even of a sum already known to be far below 2^51, clamped
// to 0..255: adding and subtracting 1.5 * 2^52 rounds in the default mode.
constexpr double kRoundMagic = 6755399441055744.0;
inline uint8_t StoreSum(double v) {
  double r = (v + kRoundMagic) - kRoundMagic;
  return uint8_t(r > 255 ? 255 : r < 0 ? 0 : r);
}

// Pass 1: every source row into destWidth pixels of the working image.
PV_HOT_CLONES
void HorizontalPass(const TBitmap& source, const Contributors& c, int destWidth, uint8_t* work,
                    size_t workStride, const TPVProgressEvent& onProgress, TObject* sender,
                    double factor) {
  int sw = source.GetWidth(), sh = source.GetHeight();
  // Four doubles per source pixel (blue, green, red, 0), read as one vector.
  std::vector<double> row(static_cast<size_t>(sw) * 4);
  const int* start = c.start.data();
  const int* index = c.index.data();
  const double* weight = c.weight.data();
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = source.ScanLine(y);
    for (int x = 0; x < sw; ++x, s += 3) {
      row[4 * size_t(x)] = s[0];
      row[4 * size_t(x) + 1] = s[1];
      row[4 * size_t(x) + 2] = s[2];
      row[4 * size_t(x) + 3] = 0;
    }
    uint8_t* d = work + size_t(y) * workStride;
    for (int i = 0; i < destWidth; ++i, d += 3) {
      v4d acc = {0, 0, 0, 0};
      for (int k = start[i]; k < start[i + 1]; ++k) {
        v4d p;
        std::memcpy(&p, &row[4 * size_t(index[k])], sizeof p);
        acc += weight[k] * p;
      }
      d[0] = StoreSum(acc[0]);
      d[1] = StoreSum(acc[1]);
      d[2] = StoreSum(acc[2]);
    }
    if (onProgress) onProgress(sender, int((y + 1) * factor));
  }
}

// Columns of pass 2 handled together: the sums of a strip stay in the
// first-level cache while its output rows are formed.
constexpr int kStripPixels = 128;

// Pass 2: the working image's columns into dest, a strip of columns at a
// time; progress is reported per column once its strip is done.
PV_HOT_CLONES
void VerticalPass(const uint8_t* work, size_t workStride, int sourceHeight, const Contributors& c,
                  TBitmap& dest, const TPVProgressEvent& onProgress, TObject* sender,
                  double factor) {
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  const int* start = c.start.data();
  const int* index = c.index.data();
  const double* weight = c.weight.data();
  v4d acc[kStripPixels * 3 / 4];
  for (int x0 = 0; x0 < dw; x0 += kStripPixels) {
    int pixels = std::min(kStripPixels, dw - x0);
    int elements = pixels * 3, vectors = (elements + 3) / 4;
    for (int r = 0; r < dh; ++r) {
      for (int v = 0; v < vectors; ++v) acc[v] = v4d{0, 0, 0, 0};
      for (int k = start[r]; k < start[r + 1]; ++k) {
        const uint8_t* s = work + size_t(index[k]) * workStride + size_t(x0) * 3;
        double w = weight[k];
        for (int v = 0; v < vectors; ++v) {
          v4u8 b;
          std::memcpy(&b, s + 4 * v, 4);
          acc[v] += w * __builtin_convertvector(b, v4d);
        }
      }
      uint8_t* d = dest.ScanLine(r) + size_t(x0) * 3;
      const double* sums = reinterpret_cast<const double*>(acc);
      for (int e = 0; e < elements; ++e) d[e] = StoreSum(sums[e]);
    }
    if (onProgress)
      for (int x = x0; x < x0 + pixels; ++x)
        onProgress(sender, int((sourceHeight + x + 1) * factor));
  }
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define PV_RESAMPLE_AVX2 1

// AVX2 forms of both passes.  They add the same products in the same order
// as the passes above (a product with a padding weight of 0 adds +0, which
// changes no sum), and round the same way.

// Contributors padded to one count per output index, for four outputs at
// a time.
struct PaddedContributors {
  int count = 0;
  std::vector<int> index;
  std::vector<double> weight;
};

PaddedContributors Pad(const Contributors& c, int destLength) {
  PaddedContributors p;
  for (int i = 0; i < destLength; ++i) p.count = std::max(p.count, c.start[i + 1] - c.start[i]);
  p.index.assign(size_t(destLength) * p.count, 0);
  p.weight.assign(size_t(destLength) * p.count, 0.0);
  for (int i = 0; i < destLength; ++i) {
    int n = c.start[i + 1] - c.start[i];
    for (int k = 0; k < p.count; ++k) {
      int from = c.start[i] + std::min(k, std::max(n - 1, 0));
      p.index[size_t(i) * p.count + k] = n ? c.index[from] : 0;
      p.weight[size_t(i) * p.count + k] = k < n ? c.weight[c.start[i] + k] : 0.0;
    }
  }
  return p;
}

// Rounds half to even and clamps to 0..255, as StoreSum does.
__attribute__((target("avx2"))) inline __m128i RoundToInt(__m256d v) {
  __m256d r = _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  r = _mm256_min_pd(_mm256_max_pd(r, _mm256_setzero_pd()), _mm256_set1_pd(255));
  return _mm256_cvtpd_epi32(r);
}

// Rounds half to even, clamps to 0..255 and stores the three low lanes (and
// a fourth byte, 0, that the next pixel overwrites).
__attribute__((target("avx2"))) inline void StorePixel(uint8_t* d, __m256d v) {
  __m128i i32 = RoundToInt(v);
  __m128i b = _mm_packus_epi16(_mm_packus_epi32(i32, i32), _mm_setzero_si128());
  uint32_t word = uint32_t(_mm_cvtsi128_si32(b));
  std::memcpy(d, &word, 4);
}

__attribute__((target("avx2"))) void HorizontalPassAvx2(const TBitmap& source,
                                                        const Contributors& c, int destWidth,
                                                        uint8_t* work, size_t workStride,
                                                        const TPVProgressEvent& onProgress,
                                                        TObject* sender, double factor) {
  int sw = source.GetWidth(), sh = source.GetHeight();
  PaddedContributors p = Pad(c, destWidth);
  const int m = p.count;
  std::vector<double> row(static_cast<size_t>(sw) * 4);
  for (int y = 0; y < sh; ++y) {
    const uint8_t* s = source.ScanLine(y);
    // Four bytes at a time (the fourth, the next pixel's blue, is cleared);
    // the last pixel is read alone so that nothing past the row is touched.
    const __m128i keep3 = _mm_set_epi32(0, -1, -1, -1);
    for (int x = 0; x + 1 < sw; ++x, s += 3) {
      __m128i v = _mm_and_si128(_mm_cvtepu8_epi32(_mm_loadu_si32(s)), keep3);
      _mm256_storeu_pd(&row[4 * size_t(x)], _mm256_cvtepi32_pd(v));
    }
    row[4 * size_t(sw - 1)] = s[0];
    row[4 * size_t(sw - 1) + 1] = s[1];
    row[4 * size_t(sw - 1) + 2] = s[2];
    row[4 * size_t(sw - 1) + 3] = 0;
    uint8_t* d = work + size_t(y) * workStride;
    int i = 0;
    for (; i + 4 <= destWidth; i += 4, d += 12) {
      const int* ix = &p.index[size_t(i) * m];
      const double* ww = &p.weight[size_t(i) * m];
      __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
      for (int k = 0; k < m; ++k) {
        a0 = _mm256_add_pd(
            a0, _mm256_mul_pd(_mm256_set1_pd(ww[k]), _mm256_loadu_pd(&row[4 * size_t(ix[k])])));
        a1 = _mm256_add_pd(a1, _mm256_mul_pd(_mm256_set1_pd(ww[m + k]),
                                             _mm256_loadu_pd(&row[4 * size_t(ix[m + k])])));
        a2 = _mm256_add_pd(a2, _mm256_mul_pd(_mm256_set1_pd(ww[2 * m + k]),
                                             _mm256_loadu_pd(&row[4 * size_t(ix[2 * m + k])])));
        a3 = _mm256_add_pd(a3, _mm256_mul_pd(_mm256_set1_pd(ww[3 * m + k]),
                                             _mm256_loadu_pd(&row[4 * size_t(ix[3 * m + k])])));
      }
      StorePixel(d, a0);
      StorePixel(d + 3, a1);
      StorePixel(d + 6, a2);
      StorePixel(d + 9, a3);
    }
    for (; i < destWidth; ++i, d += 3) {
      __m256d a = _mm256_setzero_pd();
      for (int k = 0; k < m; ++k)
        a = _mm256_add_pd(
            a, _mm256_mul_pd(_mm256_set1_pd(p.weight[size_t(i) * m + k]),
                             _mm256_loadu_pd(&row[4 * size_t(p.index[size_t(i) * m + k])])));
      StorePixel(d, a);
    }
    if (onProgress) onProgress(sender, int((y + 1) * factor));
  }
}

__attribute__((target("avx2"))) void BytesToDoubles(const uint8_t* s, double* d, int n) {
  for (int e = 0; e < n; e += 4)
    _mm256_storeu_pd(d + e, _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_loadu_si32(s + e))));
}

// Rows of the working image converted to doubles, a strip at a time; the
// rows one output row needs stay in the cache for the next output rows.
constexpr int kRowCache = 32;

__attribute__((target("avx2"))) void VerticalPassAvx2(const uint8_t* work, size_t workStride,
                                                      int sourceHeight, const Contributors& c,
                                                      TBitmap& dest,
                                                      const TPVProgressEvent& onProgress,
                                                      TObject* sender, double factor) {
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  constexpr int kChunk = 16;  // bytes summed in registers at once
  const int stripElements = kStripPixels * 3;
  std::vector<double> cache(size_t(kRowCache) * stripElements);
  int cachedRow[kRowCache];
  alignas(16) uint8_t out[kChunk];
  for (int x0 = 0; x0 < dw; x0 += kStripPixels) {
    int pixels = std::min(kStripPixels, dw - x0);
    int elements = pixels * 3, chunks = (elements + kChunk - 1) / kChunk;
    std::fill(cachedRow, cachedRow + kRowCache, -1);
    auto rowAt = [&](int j) -> const double* {
      int slot = j % kRowCache;
      double* d = &cache[size_t(slot) * stripElements];
      if (cachedRow[slot] != j) {
        BytesToDoubles(work + size_t(j) * workStride + size_t(x0) * 3, d, chunks * kChunk);
        cachedRow[slot] = j;
      }
      return d;
    };
    for (int r = 0; r < dh; ++r) {
      uint8_t* d = dest.ScanLine(r) + size_t(x0) * 3;
      int k0 = c.start[r], k1 = c.start[r + 1];
      for (int q = 0; q < chunks; ++q) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        for (int k = k0; k < k1; ++k) {
          const double* s = rowAt(c.index[k]) + q * kChunk;
          __m256d w = _mm256_set1_pd(c.weight[k]);
          a0 = _mm256_add_pd(a0, _mm256_mul_pd(w, _mm256_loadu_pd(s)));
          a1 = _mm256_add_pd(a1, _mm256_mul_pd(w, _mm256_loadu_pd(s + 4)));
          a2 = _mm256_add_pd(a2, _mm256_mul_pd(w, _mm256_loadu_pd(s + 8)));
          a3 = _mm256_add_pd(a3, _mm256_mul_pd(w, _mm256_loadu_pd(s + 12)));
        }
        __m128i lo = _mm_packus_epi32(RoundToInt(a0), RoundToInt(a1));
        __m128i hi = _mm_packus_epi32(RoundToInt(a2), RoundToInt(a3));
        _mm_store_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(lo, hi));
        int n = std::min(kChunk, elements - q * kChunk);
        std::memcpy(d + q * kChunk, out, size_t(n));
      }
    }
    if (onProgress)
      for (int x = x0; x < x0 + pixels; ++x)
        onProgress(sender, int((sourceHeight + x + 1) * factor));
  }
}
#endif

// Makes dest `format` without converting pixels it is about to overwrite.
void Reformat(TBitmap& dest, TPixelFormat format) {
  if (dest.GetPixelFormat() == format) return;
  int w = dest.GetWidth(), h = dest.GetHeight();
  dest.SetSize(0, 0);
  dest.SetPixelFormat(format);
  dest.SetSize(w, h);
}

// Nearest source index of each of n destination indices.
std::vector<int> StretchIndices(int sourceLength, int destLength) {
  std::vector<int> out(static_cast<size_t>(destLength));
  for (int i = 0; i < destLength; ++i)
    out[i] = int((int64_t(2 * int64_t(i) + 1) * sourceLength) / (2 * int64_t(destLength)));
  return out;
}

void StretchRow(const uint8_t* s, uint8_t* d, const std::vector<int>& xs, int bits) {
  size_t n = xs.size();
  switch (bits) {
    case 1:
      for (size_t i = 0; i < n; ++i) {
        int sx = xs[i];
        uint8_t bit = (s[sx >> 3] >> (7 - (sx & 7))) & 1;
        uint8_t mask = uint8_t(0x80 >> (i & 7));
        d[i >> 3] = uint8_t(bit ? d[i >> 3] | mask : d[i >> 3] & ~mask);
      }
      break;
    case 4:
      for (size_t i = 0; i < n; ++i) {
        int sx = xs[i];
        uint8_t v = (sx & 1) ? s[sx >> 1] & 0x0F : s[sx >> 1] >> 4;
        d[i >> 1] =
            (i & 1) ? uint8_t((d[i >> 1] & 0xF0) | v) : uint8_t((d[i >> 1] & 0x0F) | v << 4);
      }
      break;
    case 24:
      for (size_t i = 0; i < n; ++i, d += 3) {
        const uint8_t* p = s + size_t(xs[i]) * 3;
        d[0] = p[0];
        d[1] = p[1];
        d[2] = p[2];
      }
      break;
    default: {
      size_t bytes = size_t(bits / 8);
      for (size_t i = 0; i < n; ++i) std::memcpy(d + i * bytes, s + size_t(xs[i]) * bytes, bytes);
    }
  }
}

// The bit of pixel x in a 1-bit row; columns outside 0..width-1 are black.
inline int BitAt(const uint8_t* row, int x, int width) {
  if (!row || x < 0 || x >= width) return 0;
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Shared by the bitmap and DIB forms: rowAt(y) gives a 1-bit row or null.
template <typename RowAt>
void SubResample1bit(RowAt rowAt, int width, int x1, int y1, int x2, int y2, TBitmap& dest) {
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  int rw = x2 - x1 + 1, rh = y2 - y1 + 1;
  if (rw <= 0 || rh <= 0 || dw <= 0 || dh <= 0) return;
  Reformat(dest, pf24bit);
  double sx = double(rw) / dw, sy = double(rh) / dh;
  std::vector<int> c0(static_cast<size_t>(dw)), c1(static_cast<size_t>(dw));
  for (int j = 0; j < dw; ++j) {
    c0[j] = x1 + int(std::trunc(sx * j));
    c1[j] = std::max(x1 + int(std::trunc(sx * j + std::trunc(sx) - 1)), c0[j]);
  }
  // Ones per region column over the rows of one output row, as a running
  // prefix over the columns.
  std::vector<int64_t> prefix(size_t(rw) + 1);
  std::vector<int> ones(static_cast<size_t>(rw));
  for (int i = 0; i < dh; ++i) {
    int r0 = y1 + int(std::trunc(sy * i));
    int r1 = std::max(y1 + int(std::trunc(sy * i + std::trunc(sy) - 1)), r0);
    std::fill(ones.begin(), ones.end(), 0);
    for (int r = r0; r <= r1; ++r) {
      const uint8_t* row = rowAt(r);
      if (!row) continue;
      for (int x = 0; x < rw; ++x) ones[x] += BitAt(row, x1 + x, width);
    }
    for (int x = 0; x < rw; ++x) prefix[x + 1] = prefix[x] + ones[x];
    int64_t rows = r1 - r0 + 1;
    uint8_t* d = dest.ScanLine(i);
    for (int j = 0; j < dw; ++j, d += 3) {
      int a = std::clamp(c0[j] - x1, 0, rw), b = std::clamp(c1[j] - x1 + 1, 0, rw);
      int64_t count = (int64_t(c1[j]) - c0[j] + 1) * rows;
      uint8_t v = uint8_t(255 * (prefix[b] - prefix[a]) / count);
      d[0] = d[1] = d[2] = v;
    }
  }
}

}  // namespace

bool gPVResampleGeneric = false;

const TPVResampleKernel& PVResampleKernel(TResampleFilter filter) {
  return kKernels[filter <= rfMitchell ? filter : rfTriangle];
}

void _Resample(const TBitmap& source, TBitmap& dest, TResampleFilter filter,
               const TPVProgressEvent& onProgress, TObject* sender) {
  if (source.GetPixelFormat() != pf24bit || &source == &dest) return;
  int sw = source.GetWidth(), sh = source.GetHeight();
  if (sw == 0 || sh == 0 || (sw == 1 && sh == 1)) return;
  Reformat(dest, pf24bit);
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  if (dw == 0 || dh == 0) return;
  const TPVResampleKernel& kernel = PVResampleKernel(filter);
  double factor = 100.0 / (dw + sh + 0.5);
  // The working image, with slack so that pass 2 may read whole groups of
  // four bytes at the end of a row.
  size_t stride = (size_t(dw) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> work(stride * size_t(sh) + 64);
  Contributors horizontal = BuildContributors(sw, dw, kernel);
  Contributors vertical = BuildContributors(sh, dh, kernel);
#if defined(PV_RESAMPLE_AVX2)
  if (__builtin_cpu_supports("avx2") && !gPVResampleGeneric) {
    HorizontalPassAvx2(source, horizontal, dw, work.data(), stride, onProgress, sender, factor);
    VerticalPassAvx2(work.data(), stride, sh, vertical, dest, onProgress, sender, factor);
    return;
  }
#endif
  HorizontalPass(source, horizontal, dw, work.data(), stride, onProgress, sender, factor);
  VerticalPass(work.data(), stride, sh, vertical, dest, onProgress, sender, factor);
}

void _PVBmpStretch(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest) return;
  TPixelFormat format = source.GetPixelFormat();
  Reformat(dest, format);
  if (format == pf4bit || format == pf8bit) dest.SetPalette(source.GetPalette());
  int sw = source.GetWidth(), sh = source.GetHeight();
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return;
  int bits = StorageBitCount(format);
  std::vector<int> xs = StretchIndices(sw, dw), ys = StretchIndices(sh, dh);
  size_t rowBytes = size_t(dest.RowBytes());
  for (int y = 0; y < dh; ++y) {
    uint8_t* d = dest.ScanLine(y);
    if (y > 0 && ys[y] == ys[y - 1])
      std::memcpy(d, dest.ScanLine(y - 1), rowBytes);
    else
      StretchRow(source.ScanLine(ys[y]), d, xs, bits);
  }
}

void _SubResample1bitFiltered(const TBitmap& source, int x1, int y1, int x2, int y2,
                              TBitmap& dest) {
  if (source.GetPixelFormat() != pf1bit || source.Empty()) return;
  int h = source.GetHeight();
  SubResample1bit([&](int y) { return y >= 0 && y < h ? source.ScanLine(y) : nullptr; },
                  source.GetWidth(), x1, y1, x2, y2, dest);
}

void _SubResample1bitFilteredDIB(const uint8_t* bits, size_t bitsSize, int width, int height,
                                 int x1, int y1, int x2, int y2, TBitmap& dest) {
  if (!bits || width <= 0 || height <= 0) return;
  size_t rowLength = ((size_t(width) + 31) / 32) * 4;
  auto rowAt = [&](int y) -> const uint8_t* {
    if (y < 0 || y >= height) return nullptr;
    size_t offset = size_t(height - 1 - y) * rowLength;
    return offset + rowLength <= bitsSize ? bits + offset : nullptr;
  };
  SubResample1bit(rowAt, width, x1, y1, x2, y2, dest);
}

}  // namespace pictavo
