#include "codecs/quantize.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pictavo {
namespace {

void Fill(TBitmap& b, int w, int h) {
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      p[0] = uint8_t(x * 255 / (w - 1));
      p[1] = uint8_t(y * 255 / (h - 1));
      p[2] = uint8_t((x + y) * 7);
    }
  }
}

int Dist(const TRGB& a, const TRGB& b) {
  return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

TEST(Quantizer, MethodFollowsColourCount) {
  TBitmap b(20, 20, pf24bit);
  Fill(b, 20, 20);
  TRGB map[256];
  EXPECT_EQ(TPVQuantizer(b, map, 15, 16).Method(), 1);
  EXPECT_EQ(TPVQuantizer(b, map, 127, 127).Method(), 1);
  EXPECT_EQ(TPVQuantizer(b, map, 127, 128).Method(), 0);
  EXPECT_EQ(TPVQuantizer(b, map, 255, 256).Method(), 0);
}

TEST(Quantizer, TwoColoursComeBackExactly) {
  TBitmap b(10, 6, pf24bit);
  const TRGB c0{16, 200, 40}, c1{248, 0, 128};  // multiples of 8: exact in 5-bit cells
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) reinterpret_cast<TRGB*>(b.ScanLine(y))[x] = (x + y) % 3 ? c0 : c1;
  TRGB map[16] = {};
  TPVQuantizer q(b, map, 15, 16);
  const int i0 = q.GetRGBIndex(c0), i1 = q.GetRGBIndex(c1);
  EXPECT_NE(i0, i1);
  EXPECT_EQ(map[i0], c0);
  EXPECT_EQ(map[i1], c1);
  EXPECT_LT(i0, 2);
  EXPECT_LT(i1, 2);
}

TEST(Quantizer, SingleColourRoundsToMultipleOfEight) {
  TBitmap b(5, 5, pf24bit);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) reinterpret_cast<TRGB*>(b.ScanLine(y))[x] = TRGB{3, 100, 255};
  TRGB map[16] = {};
  void* h = CreateMedianCutQuantizer(b, map, 15, 16);
  EXPECT_EQ(MedianCutFindIndex(h, TRGB{3, 100, 255}), 0);
  EXPECT_EQ(map[0], (TRGB{0, 96, 248}));
  FreeMedianCutQuantizer(h);
  // Through the quantizer, an image that fits the palette keeps its colours.
  TRGB exact[16] = {};
  TPVQuantizer q(b, exact, 15, 16);
  EXPECT_EQ(q.Method(), 2);
  EXPECT_EQ(q.GetRGBIndex(TRGB{3, 100, 255}), 0);
  EXPECT_EQ(exact[0], (TRGB{3, 100, 255}));
}

TEST(Quantizer, ImagesThatFitThePaletteAreExact) {
  // 200 distinct colours into 256 entries, and 11 into 16.
  for (int n : {200, 11}) {
    TBitmap b(40, 10, pf24bit);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 40; ++x) {
        int k = (y * 40 + x) % n;
        reinterpret_cast<TRGB*>(b.ScanLine(y))[x] = TRGB{uint8_t(k * 7), uint8_t(255 - k), uint8_t(k * 13)};
      }
    std::vector<TRGB> map(256);
    TPVQuantizer q(b, map.data(), n > 16 ? 255 : 15, n > 16 ? 256 : 16);
    EXPECT_EQ(q.Method(), 2);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 40; ++x) {
        const TRGB c = reinterpret_cast<TRGB*>(b.ScanLine(y))[x];
        EXPECT_EQ(map[q.GetRGBIndex(c)], c);
      }
  }
  // One colour more than the palette holds goes to the algorithm.
  TBitmap b(17, 1, pf24bit);
  for (int x = 0; x < 17; ++x) reinterpret_cast<TRGB*>(b.ScanLine(0))[x] = TRGB{uint8_t(x * 15), 0, 0};
  TRGB map[16];
  EXPECT_EQ(TPVQuantizer(b, map, 15, 16).Method(), 1);
}

TEST(Quantizer, FewCellsGiveFewBoxesAndValidIndices) {
  TBitmap b(8, 8, pf24bit);
  const TRGB cols[3] = {{0, 0, 0}, {128, 64, 200}, {255, 255, 255}};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) reinterpret_cast<TRGB*>(b.ScanLine(y))[x] = cols[(x * 8 + y) % 3];
  TRGB map[16] = {};
  TPVQuantizer q(b, map, 15, 16);
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 17)
      EXPECT_LT(q.GetRGBIndex(TRGB{uint8_t(r), uint8_t(g), uint8_t(r ^ g)}), 3);
}

TEST(Quantizer, MedianCutIsDeterministicAndCoversImage) {
  TBitmap b(64, 48, pf24bit);
  Fill(b, 64, 48);
  TRGB m1[16] = {}, m2[16] = {};
  TPVQuantizer q1(b, m1, 15, 16), q2(b, m2, 15, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m1[i], m2[i]);
  // Every pixel maps to a box whose colour is reasonably close.
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const TRGB c = reinterpret_cast<TRGB*>(b.ScanLine(y))[x];
      EXPECT_LT(Dist(m1[q1.GetRGBIndex(c)], c), 256);
    }
}

TEST(Quantizer, NetworkIndicesAreNearestAndDeterministic) {
  TBitmap b(100, 90, pf24bit);
  Fill(b, 100, 90);  // 9000 pixels: sampling factor > 1
  TRGB m1[256] = {}, m2[256] = {};
  TPVQuantizer q1(b, m1, 255, 256), q2(b, m2, 255, 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(m1[i], m2[i]);
  // Exact palette entries map to an entry at distance 0.
  for (int i = 0; i < 256; ++i) EXPECT_EQ(Dist(m1[q1.GetRGBIndex(m1[i])], m1[i]), 0);
  // The search returns a nearest entry (sum of absolute differences).
  for (int y = 0; y < 90; y += 7)
    for (int x = 0; x < 100; x += 3) {
      const TRGB c = reinterpret_cast<TRGB*>(b.ScanLine(y))[x];
      int best = 1000;
      for (int i = 0; i < 256; ++i) best = std::min(best, Dist(m1[i], c));
      EXPECT_EQ(Dist(m1[q1.GetRGBIndex(c)], c), best);
    }
}

TEST(Quantizer, SmallImagesAndEmptyBitmaps) {
  TBitmap tiny(3, 1, pf24bit);
  reinterpret_cast<TRGB*>(tiny.ScanLine(0))[0] = TRGB{0, 0, 255};
  reinterpret_cast<TRGB*>(tiny.ScanLine(0))[1] = TRGB{0, 255, 0};
  reinterpret_cast<TRGB*>(tiny.ScanLine(0))[2] = TRGB{255, 0, 0};
  TRGB map[256] = {};
  {
    // Fewer than 2000 pixels: every pixel is learned.  With the signed bias
    // reading each of the three colours gets a close neuron.
    gPVQuantUnsignedBiasShift = false;
    TPVQuantizer q(tiny, map, 255, 256);
    gPVQuantUnsignedBiasShift = true;
    for (int x = 0; x < 3; ++x) {
      const TRGB c = reinterpret_cast<TRGB*>(tiny.ScanLine(0))[x];
      EXPECT_LT(Dist(map[q.GetRGBIndex(c)], c), 30);
    }
  }
  TPVQuantizer q(tiny, map, 255, 256);
  for (int x = 0; x < 3; ++x) {
    const int i = q.GetRGBIndex(reinterpret_cast<TRGB*>(tiny.ScanLine(0))[x]);
    EXPECT_GE(i, 0);
    EXPECT_LT(i, 256);
  }
  TBitmap empty;
  empty.SetPixelFormat(pf24bit);
  TPVQuantizer e1(empty, map, 255, 256);
  TPVQuantizer e2(empty, map, 15, 16);
  EXPECT_GE(e1.GetRGBIndex(TRGB{1, 2, 3}), 0);
  EXPECT_EQ(e2.GetRGBIndex(TRGB{1, 2, 3}), 0);
}

}  // namespace
}  // namespace pictavo
