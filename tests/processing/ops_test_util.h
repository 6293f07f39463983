// Small helpers of the processing tests: pf24bit bitmaps built pixel by
// pixel, deterministic random images, and comparisons that name the first
// differing pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo::testutil {

inline TRGB Rgb(int r, int g, int b) {
  TRGB c;
  c.r = uint8_t(r);
  c.g = uint8_t(g);
  c.b = uint8_t(b);
  return c;
}

inline std::unique_ptr<TBitmap> Make24(int w, int h, TRGB fill = TRGB{}) {
  auto bm = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::memcpy(bm->ScanLine(y) + 3 * x, &fill, 3);
  return bm;
}

inline TRGB Px(const TBitmap& bm, int x, int y) {
  TRGB c;
  std::memcpy(&c, bm.ScanLine(y) + 3 * x, 3);
  return c;
}

inline void SetPx(TBitmap& bm, int x, int y, TRGB c) {
  std::memcpy(bm.ScanLine(y) + 3 * x, &c, 3);
}

// Channel values drawn from `levels` evenly spaced values (fewer levels
// give more ties).
inline std::unique_ptr<TBitmap> RandomImage(int w, int h, uint32_t seed, int levels = 256) {
  std::mt19937 rng(seed);
  auto bm = Make24(w, h);
  const int step = levels >= 256 ? 1 : 255 / (levels - 1);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int i = 0; i < 3 * w; ++i) row[i] = uint8_t((rng() % uint32_t(levels)) * step);
  }
  return bm;
}

inline std::unique_ptr<TBitmap> Clone(const TBitmap& bm) {
  auto c = std::make_unique<TBitmap>();
  c->Assign(bm);
  return c;
}

// Empty when the pixels are equal, otherwise the first difference.
inline std::string FirstDifference(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return "sizes differ";
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      const TRGB p = Px(a, x, y), q = Px(b, x, y);
      if (!(p == q))
        return "pixel (" + std::to_string(x) + "," + std::to_string(y) +
               "): " + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) +
               " vs " + std::to_string(q.r) + "," + std::to_string(q.g) + "," + std::to_string(q.b);
    }
  return "";
}

inline int Grey(TRGB c) {
  return (c.r * 21 + c.g * 71 + c.b * 7) / 100;
}

}  // namespace pictavo::testutil
