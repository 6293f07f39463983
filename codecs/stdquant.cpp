// Median-cut colour quantizer that splits boxes by variance over a histogram
// of 5-bit-per-channel colour cells.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/quantize.h"

namespace pictavo {

namespace {

constexpr int kCells = 32;
constexpr double kImpossibleSplit = 17523.6;  // larger than any real score

struct TBox {
  double score = 0;
  double mean[3] = {0, 0, 0};
  int64_t count = 0;
  int64_t hist[3][kCells] = {};
  int lo[3] = {0, 0, 0};
  int hi[3] = {kCells, kCells, kCells};  // exclusive
};

struct TMedianCut {
  std::vector<uint32_t> histogram = std::vector<uint32_t>(kCells * kCells * kCells, 0);
  std::vector<TBox> boxes;
  uint8_t inverse[kCells * kCells * kCells] = {};
  int requested = 0;
  int64_t total = 0;
};

inline int Cell(int r, int g, int b) {
  return r * 1024 + g * 32 + b;
}

void BoxStats(TBox& box, int64_t total) {
  box.score = 0;
  if (box.count <= 0) return;
  for (int c = 0; c < 3; ++c) {
    double sum = 0, sum2 = 0;
    for (int j = 0; j < kCells; ++j) {
      sum += double(j) * box.hist[c][j];
      sum2 += double(j) * j * box.hist[c][j];
    }
    box.mean[c] = sum / box.count;
    box.score += sum2 - box.mean[c] * box.mean[c] * box.count;
  }
  box.score /= total;
}

// Rebuilds the marginals of a box from the 3-D histogram and shrinks its
// bounds to the cells that hold pixels.
void RebuildBox(TBox& box, const std::vector<uint32_t>& hist) {
  std::memset(box.hist, 0, sizeof(box.hist));
  box.count = 0;
  for (int r = box.lo[0]; r < box.hi[0]; ++r)
    for (int g = box.lo[1]; g < box.hi[1]; ++g)
      for (int b = box.lo[2]; b < box.hi[2]; ++b) {
        const uint32_t h = hist[Cell(r, g, b)];
        if (!h) continue;
        box.hist[0][r] += h;
        box.hist[1][g] += h;
        box.hist[2][b] += h;
        box.count += h;
      }
  if (box.count == 0) return;
  for (int c = 0; c < 3; ++c) {
    int lo = box.lo[c], hi = box.hi[c];
    while (lo < hi && box.hist[c][lo] == 0) ++lo;
    while (hi > lo && box.hist[c][hi - 1] == 0) --hi;
    box.lo[c] = lo;
    box.hi[c] = hi;
  }
}

// Splits `box` along channel c into two halves; false when it cannot.
bool SplitBox(const TMedianCut& q, const TBox& box, int c, TBox& first, TBox& second) {
  if (box.hi[c] - box.lo[c] <= 1 || box.count <= 0) return false;
  const double mean = box.mean[c];
  const int start = static_cast<int>(std::nearbyint((box.lo[c] + mean) / 2));
  const int end = static_cast<int>(std::nearbyint((box.hi[c] + mean) / 2));
  int64_t s = 0;
  double t = 0, best = -1;
  int cut = -1;
  for (int f = box.lo[c]; f < end && f < box.hi[c] - 1; ++f) {
    s += box.hist[c][f];
    if (s >= box.count) break;
    if (f < start) continue;
    t += double(box.hist[c][f]) * f / box.count;
    const double crit = double(s) / double(box.count - s) * (mean - t) * (mean - t);
    if (crit > best) {
      best = crit;
      cut = f;
    }
  }
  if (cut < 0) return false;
  first = TBox();
  second = TBox();
  std::copy(box.lo, box.lo + 3, first.lo);
  std::copy(box.hi, box.hi + 3, first.hi);
  std::copy(box.lo, box.lo + 3, second.lo);
  std::copy(box.hi, box.hi + 3, second.hi);
  first.hi[c] = cut + 1;
  second.lo[c] = cut + 1;
  RebuildBox(first, q.histogram);
  RebuildBox(second, q.histogram);
  if (first.count == 0 || second.count == 0) return false;
  BoxStats(first, q.total);
  BoxStats(second, q.total);
  return true;
}

}  // namespace

void* CreateMedianCutQuantizer(TBitmap& bitmap, TRGB* colorMap, int /*reserved*/, int colorCount) {
  auto q = std::make_unique<TMedianCut>();
  q->requested = std::clamp(colorCount, 1, 256);
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  TBox first;
  if (bitmap.GetPixelFormat() == pf24bit) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, p += 3) {
        const int r = p[2] >> 3, g = p[1] >> 3, b = p[0] >> 3;
        ++q->histogram[Cell(r, g, b)];
        ++first.hist[0][r];
        ++first.hist[1][g];
        ++first.hist[2][b];
      }
    }
    first.count = q->total = int64_t(width) * height;
  }
  if (q->total > 0) {
    BoxStats(first, q->total);
    q->boxes.push_back(first);
  }

  while (static_cast<int>(q->boxes.size()) < q->requested) {
    int chosen = -1;
    for (int i = 0; i < static_cast<int>(q->boxes.size()); ++i)
      if (q->boxes[i].score > 0 && (chosen < 0 || q->boxes[i].score > q->boxes[chosen].score))
        chosen = i;
    if (chosen < 0) break;
    TBox halves[3][2];
    double sums[3];
    int channel = -1;
    for (int c = 0; c < 3; ++c) {
      sums[c] = SplitBox(*q, q->boxes[chosen], c, halves[c][0], halves[c][1])
                    ? halves[c][0].score + halves[c][1].score
                    : kImpossibleSplit;
      if (sums[c] < kImpossibleSplit && (channel < 0 || sums[c] < sums[channel])) channel = c;
    }
    if (channel < 0) {
      q->boxes[chosen].score = 0;
      continue;
    }
    q->boxes[chosen] = halves[channel][0];
    q->boxes.push_back(halves[channel][1]);
  }

  for (int i = 0; i < static_cast<int>(q->boxes.size()); ++i) {
    const TBox& box = q->boxes[i];
    colorMap[i].r = static_cast<uint8_t>(std::nearbyint(box.mean[0]) * 8);
    colorMap[i].g = static_cast<uint8_t>(std::nearbyint(box.mean[1]) * 8);
    colorMap[i].b = static_cast<uint8_t>(std::nearbyint(box.mean[2]) * 8);
    for (int r = box.lo[0]; r < box.hi[0]; ++r)
      for (int g = box.lo[1]; g < box.hi[1]; ++g)
        for (int b = box.lo[2]; b < box.hi[2]; ++b)
          q->inverse[Cell(r, g, b)] = static_cast<uint8_t>(i);
  }
  return q.release();
}

int MedianCutFindIndex(void* handle, const TRGB& color) {
  if (!handle) return 0;
  return static_cast<TMedianCut*>(handle)->inverse[Cell(color.r >> 3, color.g >> 3, color.b >> 3)];
}

void FreeMedianCutQuantizer(void* handle) {
  delete static_cast<TMedianCut*>(handle);
}

}  // namespace pictavo
