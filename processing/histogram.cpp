#include "processing/histogram.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "processing/filters.h"
#include "processing/progress.h"
#include "processing/simd.h"

namespace pictavo {

namespace {

constexpr int kBytesPerPixel = 3;
// Slack after row copies for the vector kernels' 32-byte reads.
constexpr size_t kRowSlack = 32;

inline int GreyOf(int r, int g, int b) {
  return (r * 21 + g * 71 + b * 7) / 100;
}

inline uint8_t Limit(int64_t v) {
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Progress after row y of y1..lastRow: trunc((y - y1 + 1) * 100 / (lastRow - y1 + 0.5)).
void ReportRow(const TPVProgressEvent& onProgress, TObject* sender, int y, int y1, int lastRow) {
  if (onProgress) onProgress(sender, int(double(y - y1 + 1) * 100 / (lastRow - y1 + 0.5)));
}

// Counts into two interleaved sets of counters, so that runs of equal
// values do not wait on the previous increment of the same counter.
struct TCounters {
  uint32_t r[2][256] = {}, g[2][256] = {}, b[2][256] = {}, grey[2][256] = {};

  void CountRow(const uint8_t* p, int count) {
    int x = 0;
    for (; x + 1 < count; x += 2, p += 2 * kBytesPerPixel) {
      Count(0, p);
      Count(1, p + kBytesPerPixel);
    }
    if (x < count) Count(0, p);
  }
  void Count(int set, const uint8_t* p) {
    ++b[set][p[0]];
    ++g[set][p[1]];
    ++r[set][p[2]];
    ++grey[set][GreyOf(p[2], p[1], p[0])];
  }
  void Store(THistogramItem* h) const {
    for (int v = 0; v < kHistogramLevels; ++v) {
      h[v].R = r[0][v] + r[1][v];
      h[v].G = g[0][v] + g[1][v];
      h[v].B = b[0][v] + b[1][v];
      h[v].Gray = grey[0][v] + grey[1][v];
    }
  }
};

}  // namespace

void _GetHistogram(const TBitmap& bitmap, THistogramItem* histogram, int x1, int y1, int x2,
                   int y2) {
  if (bitmap.GetPixelFormat() != pf24bit || !histogram) return;
  auto counters = std::make_unique<TCounters>();
  if (ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2))
    for (int y = y1; y < y2; ++y)
      counters->CountRow(bitmap.ScanLine(y) + kBytesPerPixel * x1, x2 - x1);
  counters->Store(histogram);
}

void _HistEqualize(TBitmap& bitmap, TRGB low, TRGB high, int x1, int y1, int x2, int y2,
                   const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  high.r = std::max<uint8_t>(high.r, 1);
  high.g = std::max<uint8_t>(high.g, 1);
  high.b = std::max<uint8_t>(high.b, 1);
  if (high == low) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  // One table per channel, in memory order blue, green, red: L2[L1[v]].
  const int lows[3] = {low.b, low.g, low.r};
  const int highs[3] = {high.b, high.g, high.r};
  uint8_t table[3][256];
  for (int ch = 0; ch < 3; ++ch) {
    const double d = lows[ch] == 255 ? 1 : 255 - lows[ch];
    uint8_t l1[256], l2[256];
    for (int t = 0; t < 256; ++t) {
      l1[t] = Limit(int64_t(std::nearbyint(double(t - lows[ch]) / d * 255)));
      l2[t] = Limit(int64_t(std::nearbyint(double(t) / highs[ch] * 255)));
    }
    for (int t = 0; t < 256; ++t) table[ch][t] = l2[l1[t]];
  }
  for (int y = y1; y < y2; ++y) {
    uint8_t* p = bitmap.ScanLine(y) + kBytesPerPixel * x1;
    for (int x = x1; x < x2; ++x, p += kBytesPerPixel) {
      p[0] = table[0][p[0]];
      p[1] = table[1][p[1]];
      p[2] = table[2][p[2]];
    }
    ReportRow(onProgress, sender, y, y1, y2 - 1);
  }
}

// --- Automatic equalisation ------------------------------------------------------

namespace {

// The grey counts of the whole bitmap (four interleaved sets of counters).
std::vector<uint64_t> GreyHistogram(const TBitmap& bitmap) {
  std::vector<uint32_t> sets(4 * kHistogramLevels, 0);
  std::vector<uint64_t> grey(kHistogramLevels, 0);
  const int width = bitmap.GetWidth();
  // 32-bit counters take 256 rows of up to 2^23 pixels before folding.
  const int foldEvery = width > (1 << 23) ? 1 : 256;
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* p = bitmap.ScanLine(y);
    int x = 0;
    for (; x + 3 < width; x += 4, p += 4 * kBytesPerPixel)
      for (int k = 0; k < 4; ++k) {
        const uint8_t* q = p + k * kBytesPerPixel;
        ++sets[size_t(k) * kHistogramLevels + size_t(GreyOf(q[2], q[1], q[0]))];
      }
    for (; x < width; ++x, p += kBytesPerPixel) ++sets[size_t(GreyOf(p[2], p[1], p[0]))];
    if ((y + 1) % foldEvery == 0 || y + 1 == bitmap.GetHeight())
      for (size_t i = 0; i < sets.size(); ++i)
        grey[i % kHistogramLevels] += std::exchange(sets[i], 0);
  }
  return grey;
}

// The output interval low[j]..high[j] of every grey level j, so that each
// output level receives about (pixels div 256) pixels.
void LevelBounds(const std::vector<uint64_t>& grey, int64_t pixels, uint8_t* low, uint8_t* high) {
  // Fewer than 256 pixels would make the share 0 and the walk endless.
  const int64_t share = std::max<int64_t>(pixels / kHistogramLevels, 1);
  int64_t level = 0, sum = 0;
  for (int j = 0; j < kHistogramLevels; ++j) {
    low[j] = Limit(level);
    sum += int64_t(grey[size_t(j)]);
    if (sum > share) {
      // As many steps as "while sum > share: sum -= share, level += 1".
      const int64_t steps = (sum - 1) / share;
      sum -= steps * share;
      level += steps;
    }
    high[j] = Limit(level);
  }
}

// The new colour of one pixel from its bytes p, the 3x3 column sums left,
// centre and right of it, and the level bounds.  Written without branches:
// which rule applies depends on the picture and is not predictable.
inline void EqualisePixel(const uint8_t* p, const uint16_t* left, const uint16_t* centre,
                          const uint16_t* right, const uint8_t* low, const uint8_t* high,
                          uint8_t* o) {
  const unsigned m0 = (unsigned(left[0]) + centre[0] + right[0]) / 9;
  const unsigned m1 = (unsigned(left[1]) + centre[1] + right[1]) / 9;
  const unsigned m2 = (unsigned(left[2]) + centre[2] + right[2]) / 9;
  const int g = GreyOf(p[2], p[1], p[0]);
  const int m = GreyOf(int(m2), int(m1), int(m0));
  const int lo = low[g], hi = high[g];
  const bool takeLow = lo == hi || m < lo;
  const bool takeHigh = !takeLow && m > hi;
  const bool fromTable = takeLow || takeHigh;
  const uint8_t* table = takeHigh ? high : low;
  const uint8_t t0 = table[p[0]], t1 = table[p[1]], t2 = table[p[2]];
  o[0] = fromTable ? t0 : uint8_t(m0);
  o[1] = fromTable ? t1 : uint8_t(m1);
  o[2] = fromTable ? t2 : uint8_t(m2);
}

#ifdef PV_AVX2_KERNELS
// Vector parts of one row: column sums, 3x3 means (mulhi by 7282 is the
// division by 9 for every sum up to 9 * 255) and greys ((sum * 5243) >> 19
// is the division by 100 up to 255 * 99).  Each returns where it stopped.
PV_TARGET_AVX2 int ColumnSumsAvx2(const uint8_t* up, const uint8_t* mid, const uint8_t* down,
                                  uint16_t* cs, int begin, int end) {
  int i = begin;
  for (; i + 16 <= end; i += 16) {
    const __m256i a =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(up + i)));
    const __m256i b =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mid + i)));
    const __m256i c =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(down + i)));
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(a, b), c);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(cs + i), sum);
  }
  return i;
}

PV_TARGET_AVX2 int MeansAvx2(const uint16_t* cs, uint8_t* mean, int begin, int end) {
  const __m256i ninth = _mm256_set1_epi16(7282);
  int i = begin;
  for (; i + 16 <= end; i += 16) {
    const __m256i left =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cs + i - kBytesPerPixel));
    const __m256i centre = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cs + i));
    const __m256i right =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cs + i + kBytesPerPixel));
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(left, centre), right);
    const __m256i m = _mm256_mulhi_epu16(sum, ninth);
    const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(m, m), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mean + i), _mm256_castsi256_si128(bytes));
  }
  return i;
}

PV_TARGET_AVX2 int GreysAvx2(const uint8_t* px, int count, uint8_t* grey) {
  const __m256i redGreen =
      _mm256_setr_epi8(2, -1, 1, -1, 5, -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1, 2, -1, 1, -1, 5,
                       -1, 4, -1, 8, -1, 7, -1, 11, -1, 10, -1);
  const __m256i blue = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1,
                                        0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  const __m256i weightsRG = _mm256_set1_epi32((71 << 16) | 21);
  const __m256i weightB = _mm256_set1_epi32(7);
  const __m256i byHundred = _mm256_set1_epi32(5243);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const uint8_t* p = px + kBytesPerPixel * x;
    const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12),
                                              reinterpret_cast<const __m128i*>(p));
    const __m256i sum =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(bytes, redGreen), weightsRG),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, blue), weightB));
    const __m256i g = _mm256_srli_epi32(_mm256_mullo_epi32(sum, byHundred), 19);
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(g, g), 0x08);
    const __m128i small = _mm256_castsi256_si128(words);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(grey + x), _mm_packus_epi16(small, small));
  }
  return x;
}
#endif

// Scratch rows of the equalisation, with slack for 32-byte vector reads.
struct TEqualiseScratch {
  std::vector<uint16_t> columnSums;
  std::vector<uint8_t> mean, greyPixel, greyMean;
  explicit TEqualiseScratch(int width)
      : columnSums(size_t(width) * kBytesPerPixel + 16),
        mean(size_t(width) * kBytesPerPixel + kRowSlack),
        greyPixel(size_t(width)),
        greyMean(size_t(width)) {}
};

// The interior columns first..last of a row with the vector parts: means
// and greys for the whole run, then the choice per pixel.  Returns false
// when the vector kernels are not available.
bool EqualiseInteriorVector(const uint8_t* mid, uint8_t* out, int first, int last,
                            const uint8_t* low, const uint8_t* high, TEqualiseScratch& s) {
#ifdef PV_AVX2_KERNELS
  if (!PVHasAvx2() || gPVFiltersGeneric) return false;
  const uint16_t* cs = s.columnSums.data();
  uint8_t* mean = s.mean.data();
  const int begin = kBytesPerPixel * first, end = kBytesPerPixel * (last + 1);
  for (int i = MeansAvx2(cs, mean, begin, end); i < end; ++i)
    mean[i] = uint8_t((unsigned(cs[i - kBytesPerPixel]) + cs[i] + cs[i + kBytesPerPixel]) / 9);
  const int count = last - first + 1;
  uint8_t* gp = s.greyPixel.data();
  uint8_t* gm = s.greyMean.data();
  for (int x = GreysAvx2(mid + begin, count, gp); x < count; ++x) {
    const uint8_t* p = mid + begin + kBytesPerPixel * x;
    gp[x] = uint8_t(GreyOf(p[2], p[1], p[0]));
  }
  for (int x = GreysAvx2(mean + begin, count, gm); x < count; ++x) {
    const uint8_t* p = mean + begin + kBytesPerPixel * x;
    gm[x] = uint8_t(GreyOf(p[2], p[1], p[0]));
  }
  for (int x = 0; x < count; ++x) {
    const int c = begin + kBytesPerPixel * x;
    const int g = gp[x], m = gm[x];
    const int lo = low[g], hi = high[g];
    const bool takeLow = lo == hi || m < lo;
    const bool takeHigh = !takeLow && m > hi;
    const bool fromTable = takeLow || takeHigh;
    const uint8_t* table = takeHigh ? high : low;
    const uint8_t t0 = table[mid[c]], t1 = table[mid[c + 1]], t2 = table[mid[c + 2]];
    out[c] = fromTable ? t0 : mean[c];
    out[c + 1] = fromTable ? t1 : mean[c + 1];
    out[c + 2] = fromTable ? t2 : mean[c + 2];
  }
  return true;
#else
  (void)mid, (void)out, (void)first, (void)last, (void)low, (void)high, (void)s;
  return false;
#endif
}

// One row of the equalisation.  up/mid/down are the original rows y-1, y,
// y+1 (clamped); columns xFirst..xLast are written to out.
void EqualiseRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
                 int width, int xFirst, int xLast, const uint8_t* low, const uint8_t* high,
                 TEqualiseScratch& s) {
  // Column sums of the three rows for the columns the 3x3 windows touch.
  const int from = std::max(xFirst - 1, 0), to = std::min(xLast + 1, width - 1);
  uint16_t* cs = s.columnSums.data();
  int i = kBytesPerPixel * from;
  const int sumsEnd = kBytesPerPixel * (to + 1);
#ifdef PV_AVX2_KERNELS
  if (PVHasAvx2() && !gPVFiltersGeneric) i = ColumnSumsAvx2(up, mid, down, cs, i, sumsEnd);
#endif
  for (; i < sumsEnd; ++i) cs[i] = uint16_t(up[i] + mid[i] + down[i]);
  auto pixel = [&](int x) {
    const int left = kBytesPerPixel * std::max(x - 1, 0);
    const int centre = kBytesPerPixel * x;
    const int right = kBytesPerPixel * std::min(x + 1, width - 1);
    EqualisePixel(mid + centre, cs + left, cs + centre, cs + right, low, high, out + centre);
  };
  const int innerFirst = std::max(xFirst, 1), innerLast = std::min(xLast, width - 2);
  if (innerFirst > innerLast) {
    for (int x = xFirst; x <= xLast; ++x) pixel(x);
    return;
  }
  for (int x = xFirst; x < innerFirst; ++x) pixel(x);
  if (!EqualiseInteriorVector(mid, out, innerFirst, innerLast, low, high, s))
    for (int x = innerFirst; x <= innerLast; ++x) {
      const int c = kBytesPerPixel * x;
      EqualisePixel(mid + c, cs + c - kBytesPerPixel, cs + c, cs + c + kBytesPerPixel, low, high,
                    out + c);
    }
  for (int x = innerLast + 1; x <= xLast; ++x) pixel(x);
}

}  // namespace

void _HistAutoEqualize(TBitmap& bitmap, int x1, int y1, int x2, int y2,
                       const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  if (!ClampWorkRect(width, height, x1, y1, x2, y2)) return;
  uint8_t low[kHistogramLevels], high[kHistogramLevels];
  LevelBounds(GreyHistogram(bitmap), int64_t(width) * height, low, high);

  // Rows are written in place; copies of the original rows y-1 and y keep
  // the 3x3 means reading the image as it was.
  const size_t rowBytes = size_t(width) * kBytesPerPixel;
  std::vector<uint8_t> above(rowBytes + kRowSlack), current(rowBytes + kRowSlack);
  TEqualiseScratch scratch(width);
  std::memcpy(above.data(), bitmap.ScanLine(std::max(y1 - 1, 0)), rowBytes);
  std::memcpy(current.data(), bitmap.ScanLine(y1), rowBytes);
  for (int y = y1; y < y2; ++y) {
    const uint8_t* up = y > 0 ? above.data() : current.data();
    const uint8_t* down = y + 1 < height ? bitmap.ScanLine(y + 1) : current.data();
    EqualiseRow(up, current.data(), down, bitmap.ScanLine(y), width, x1, x2 - 1, low, high,
                scratch);
    if (y + 1 < y2) {
      std::swap(above, current);
      std::memcpy(current.data(), bitmap.ScanLine(y + 1), rowBytes);
    }
    ReportRow(onProgress, sender, y, y1, y2 - 1);
  }
}

}  // namespace pictavo
