// Helpers of the processing component tests: 24-bit and 1-bit bitmaps made
// pixel by pixel, deterministic random images, pixel access and a
// comparison that names the first differing pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo::proctest {

inline TRGB C(int r, int g, int b) {
  TRGB c;
  c.r = uint8_t(r);
  c.g = uint8_t(g);
  c.b = uint8_t(b);
  return c;
}

inline TRGB Get(const TBitmap& bm, int x, int y) {
  TRGB c;
  std::memcpy(&c, bm.ScanLine(y) + 3 * size_t(x), 3);
  return c;
}

inline void Put(TBitmap& bm, int x, int y, TRGB c) {
  std::memcpy(bm.ScanLine(y) + 3 * size_t(x), &c, 3);
}

inline std::unique_ptr<TBitmap> Solid(int w, int h, TRGB c) {
  auto bm = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(*bm, x, y, c);
  return bm;
}

inline std::unique_ptr<TBitmap> Random24(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  auto bm = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < 3 * w; ++i) bm->ScanLine(y)[i] = uint8_t(rng());
  return bm;
}

inline int Bit(const TBitmap& bm, int x, int y) {
  return (bm.ScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void PutBit(TBitmap& bm, int x, int y, int v) {
  uint8_t& b = bm.ScanLine(y)[x >> 3];
  uint8_t m = uint8_t(0x80 >> (x & 7));
  b = uint8_t(v ? b | m : b & ~m);
}

inline std::unique_ptr<TBitmap> Random1(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  auto bm = std::make_unique<TBitmap>(w, h, pf1bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) PutBit(*bm, x, y, int(rng() & 1));
  return bm;
}

inline std::string Str(TRGB c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Same size and the same visible pixels (24 or 1 bit).
inline ::testing::AssertionResult SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.GetPixelFormat() != b.GetPixelFormat())
    return ::testing::AssertionFailure() << "size/format " << a.GetWidth() << "x" << a.GetHeight()
                                         << " vs " << b.GetWidth() << "x" << b.GetHeight();
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      if (a.GetPixelFormat() == pf1bit) {
        if (Bit(a, x, y) != Bit(b, x, y))
          return ::testing::AssertionFailure() << "bit differs at " << x << "," << y;
      } else if (!(Get(a, x, y) == Get(b, x, y))) {
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << ": "
                                             << Str(Get(a, x, y)) << " vs " << Str(Get(b, x, y));
      }
    }
  return ::testing::AssertionSuccess();
}

// Records every progress value reported.
struct ProgressLog {
  std::vector<int> values;
  TPVProgressEvent Event() {
    return [this](TObject*, int per) { values.push_back(per); };
  }
};

}  // namespace pictavo::proctest
