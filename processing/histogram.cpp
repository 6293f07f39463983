#include "processing/histogram.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "processing/progress.h"

namespace pictavo {

namespace {

constexpr int kBytesPerPixel = 3;

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

// The output interval low[j]..high[j] of every grey level j, so that each
// output level receives about (pixels div 256) pixels.
void LevelBounds(const THistogramItem* histogram, int64_t pixels, uint8_t* low, uint8_t* high) {
  // Fewer than 256 pixels would make the share 0 and the walk endless.
  const int64_t share = std::max<int64_t>(pixels / kHistogramLevels, 1);
  int64_t level = 0, sum = 0;
  for (int j = 0; j < kHistogramLevels; ++j) {
    low[j] = Limit(level);
    sum += histogram[j].Gray;
    if (sum > share) {
      // As many steps as "while sum > share: sum -= share, level += 1".
      const int64_t steps = (sum - 1) / share;
      sum -= steps * share;
      level += steps;
    }
    high[j] = Limit(level);
  }
}

// One row of the equalisation.  up/mid/down are the original rows y-1, y,
// y+1 (clamped); columns xFirst..xLast are written to out.
void EqualiseRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
                 int width, int xFirst, int xLast, const uint8_t* low, const uint8_t* high,
                 std::vector<uint16_t>& columnSums) {
  // Column sums of the three rows for the columns the 3x3 windows touch.
  const int from = std::max(xFirst - 1, 0), to = std::min(xLast + 1, width - 1);
  for (int i = kBytesPerPixel * from; i < kBytesPerPixel * (to + 1); ++i)
    columnSums[i] = uint16_t(up[i] + mid[i] + down[i]);
  for (int x = xFirst; x <= xLast; ++x) {
    const int left = kBytesPerPixel * std::max(x - 1, 0);
    const int centre = kBytesPerPixel * x;
    const int right = kBytesPerPixel * std::min(x + 1, width - 1);
    uint8_t mean[3];
    for (int ch = 0; ch < 3; ++ch)
      mean[ch] = uint8_t(
          (unsigned(columnSums[left + ch]) + columnSums[centre + ch] + columnSums[right + ch]) / 9);
    const uint8_t* p = mid + centre;
    const int g = GreyOf(p[2], p[1], p[0]);
    const int m = GreyOf(mean[2], mean[1], mean[0]);
    uint8_t* o = out + centre;
    if (low[g] == high[g] || m < low[g]) {
      o[0] = low[p[0]], o[1] = low[p[1]], o[2] = low[p[2]];
    } else if (m > high[g]) {
      o[0] = high[p[0]], o[1] = high[p[1]], o[2] = high[p[2]];
    } else {
      o[0] = mean[0], o[1] = mean[1], o[2] = mean[2];
    }
  }
}

}  // namespace

void _HistAutoEqualize(TBitmap& bitmap, int x1, int y1, int x2, int y2,
                       const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  if (!ClampWorkRect(width, height, x1, y1, x2, y2)) return;
  THistogramItem histogram[kHistogramLevels];
  _GetHistogram(bitmap, histogram, 0, 0, width, height);
  uint8_t low[kHistogramLevels], high[kHistogramLevels];
  LevelBounds(histogram, int64_t(width) * height, low, high);

  // Rows are written in place; copies of the original rows y-1 and y keep
  // the 3x3 means reading the image as it was.
  const size_t rowBytes = size_t(width) * kBytesPerPixel;
  std::vector<uint8_t> above(rowBytes), current(rowBytes);
  std::vector<uint16_t> columnSums(rowBytes);
  std::memcpy(above.data(), bitmap.ScanLine(std::max(y1 - 1, 0)), rowBytes);
  std::memcpy(current.data(), bitmap.ScanLine(y1), rowBytes);
  for (int y = y1; y < y2; ++y) {
    const uint8_t* up = y > 0 ? above.data() : current.data();
    const uint8_t* down = y + 1 < height ? bitmap.ScanLine(y + 1) : current.data();
    EqualiseRow(up, current.data(), down, bitmap.ScanLine(y), width, x1, x2 - 1, low, high,
                columnSums);
    if (y + 1 < y2) {
      std::swap(above, current);
      std::memcpy(current.data(), bitmap.ScanLine(y + 1), rowBytes);
    }
    ReportRow(onProgress, sender, y, y1, y2 - 1);
  }
}

}  // namespace pictavo
