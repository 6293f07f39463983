// Histograms, the manual stretch and the automatic equalisation, with
// expected pixels worked out by hand from the level walk and 3x3 means.
#include "processing/histogram.h"

#include <gtest/gtest.h>

#include <vector>

#include "processing/filters.h"
#include "processing/pictavoproc.h"
#include "tests/processing/ops_test_util.h"

namespace pictavo {
namespace {

using testutil::Clone;
using testutil::FirstDifference;
using testutil::Make24;
using testutil::Px;
using testutil::RandomImage;
using testutil::Rgb;
using testutil::SetPx;

std::vector<THistogramItem> Histogram(const TBitmap& bm, int x1, int y1, int x2, int y2) {
  std::vector<THistogramItem> h(kHistogramLevels);
  for (auto& item : h) item = {7, 7, 7, 7};  // must be zeroed by the worker
  _GetHistogram(bm, h.data(), x1, y1, x2, y2);
  return h;
}

uint32_t Total(const std::vector<THistogramItem>& h, uint32_t THistogramItem::*field) {
  uint32_t sum = 0;
  for (const auto& item : h) sum += item.*field;
  return sum;
}

TEST(Histogram, UniformGreyWhiteAndMixedPixels) {
  auto grey = Make24(5, 4, Rgb(77, 77, 77));
  auto h = Histogram(*grey, 0, 0, 5, 4);
  EXPECT_EQ(h[77].R, 20u);
  EXPECT_EQ(h[77].G, 20u);
  EXPECT_EQ(h[77].B, 20u);
  EXPECT_EQ(h[76].Gray, 20u);  // 77 * 99 div 100 = 76
  EXPECT_EQ(Total(h, &THistogramItem::R), 20u);

  // White counts its grey at 252: the weights add up to 99.
  auto white = Make24(3, 3, Rgb(255, 255, 255));
  h = Histogram(*white, 0, 0, 3, 3);
  EXPECT_EQ(h[255].R, 9u);
  EXPECT_EQ(h[255].G, 9u);
  EXPECT_EQ(h[255].B, 9u);
  EXPECT_EQ(h[252].Gray, 9u);
  EXPECT_EQ(h[255].Gray, 0u);

  // (10, 20, 30): grey (210 + 1420 + 210) div 100 = 18.
  auto mixed = Make24(2, 1, Rgb(10, 20, 30));
  SetPx(*mixed, 1, 0, Rgb(0, 0, 14));  // grey 98 div 100 = 0
  h = Histogram(*mixed, 0, 0, 2, 1);
  EXPECT_EQ(h[10].R, 1u);
  EXPECT_EQ(h[20].G, 1u);
  EXPECT_EQ(h[30].B, 1u);
  EXPECT_EQ(h[18].Gray, 1u);
  EXPECT_EQ(h[0].R, 1u);
  EXPECT_EQ(h[0].G, 1u);
  EXPECT_EQ(h[14].B, 1u);
  EXPECT_EQ(h[0].Gray, 1u);
  EXPECT_EQ(Total(h, &THistogramItem::Gray), 2u);
}

TEST(Histogram, RectangleClampingAndFormats) {
  auto bm = Make24(6, 5, Rgb(1, 1, 1));
  for (int y = 1; y < 3; ++y)
    for (int x = 2; x < 6; ++x) SetPx(*bm, x, y, Rgb(200, 100, 50));
  auto h = Histogram(*bm, 2, 1, 99, 3);  // x2 clamped to 6
  EXPECT_EQ(h[200].R, 8u);
  EXPECT_EQ(h[100].G, 8u);
  EXPECT_EQ(h[50].B, 8u);
  EXPECT_EQ(h[1].R, 0u);
  EXPECT_EQ(Total(h, &THistogramItem::R), 8u);

  TBitmap mono(8, 8, pf1bit);
  h = Histogram(mono, 0, 0, 8, 8);
  EXPECT_EQ(h[0].R, 7u);  // left untouched
  EXPECT_EQ(h[255].Gray, 7u);
}

// --- Manual stretch ---------------------------------------------------------------

// A 256 x 1 image whose pixel x is (x, x, x).
std::unique_ptr<TBitmap> AllLevels() {
  auto bm = Make24(256, 1);
  for (int x = 0; x < 256; ++x) SetPx(*bm, x, 0, Rgb(x, x, x));
  return bm;
}

void Equalize(TBitmap& bm, TRGB low, TRGB high) {
  _HistEqualize(bm, low, high, 0, 0, bm.GetWidth(), bm.GetHeight(), nullptr, nullptr);
}

TEST(HistEqualize, FullRangeIsIdentity) {
  auto bm = AllLevels();
  Equalize(*bm, Rgb(0, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(FirstDifference(*bm, *AllLevels()), "");
}

TEST(HistEqualize, LowOf128) {
  auto bm = AllLevels();
  Equalize(*bm, Rgb(128, 128, 128), Rgb(255, 255, 255));
  for (int v = 0; v <= 128; ++v) ASSERT_EQ(Px(*bm, v, 0), Rgb(0, 0, 0)) << v;
  // 200: round(72 / 127 * 255) = round(144.57) = 145; 129: round(2.008) = 2.
  EXPECT_EQ(Px(*bm, 200, 0).g, 145);
  EXPECT_EQ(Px(*bm, 129, 0).g, 2);
  EXPECT_EQ(Px(*bm, 255, 0).g, 255);
}

TEST(HistEqualize, HighStretchRoundsHalfToEven) {
  auto bm = AllLevels();
  Equalize(*bm, Rgb(0, 0, 0), Rgb(100, 50, 255));
  // Red: round(t / 100 * 255): 30 -> 76.5 -> 76, 50 -> 127.5 -> 128, 10 -> 25.5 -> 26.
  EXPECT_EQ(Px(*bm, 30, 0).r, 76);
  EXPECT_EQ(Px(*bm, 50, 0).r, 128);
  EXPECT_EQ(Px(*bm, 10, 0).r, 26);
  EXPECT_EQ(Px(*bm, 100, 0).r, 255);
  EXPECT_EQ(Px(*bm, 101, 0).r, 255);
  // Green over 50: 10 -> 51, 25 -> 127.5 -> 128, 49 -> 249.9 -> 250.
  EXPECT_EQ(Px(*bm, 10, 0).g, 51);
  EXPECT_EQ(Px(*bm, 25, 0).g, 128);
  EXPECT_EQ(Px(*bm, 49, 0).g, 250);
  // Blue keeps its values.
  EXPECT_EQ(Px(*bm, 137, 0).b, 137);
}

TEST(HistEqualize, DegenerateBounds) {
  // A high channel of 0 counts as 1: every level above 0 saturates.
  auto bm = AllLevels();
  Equalize(*bm, Rgb(0, 0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Px(*bm, 0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Px(*bm, 1, 0), Rgb(255, 255, 255));
  // low (1,1,1) and high (0,0,0) -> (1,1,1): equal, nothing changes.
  bm = AllLevels();
  Equalize(*bm, Rgb(1, 1, 1), Rgb(0, 0, 0));
  EXPECT_EQ(FirstDifference(*bm, *AllLevels()), "");
  // A low of 255 divides by 1: everything becomes 0.
  bm = AllLevels();
  Equalize(*bm, Rgb(255, 0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(Px(*bm, 255, 0), Rgb(0, 255, 255));
  EXPECT_EQ(Px(*bm, 254, 0), Rgb(0, 254, 254));
}

TEST(HistEqualize, RectangleAndProgress) {
  auto bm = Make24(4, 10, Rgb(100, 100, 100));
  std::vector<int> reports;
  _HistEqualize(
      *bm, Rgb(100, 100, 100), Rgb(255, 255, 255), 1, 0, 3, 10,
      [&](TObject*, int per) { reports.push_back(per); }, nullptr);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(Px(*bm, x, y).r, (x == 1 || x == 2) ? 0 : 100) << x << "," << y;
  EXPECT_EQ(reports, (std::vector<int>{10, 21, 31, 42, 52, 63, 73, 84, 94, 105}));
}

// --- Automatic equalisation -------------------------------------------------------

void AutoEqualize(TBitmap& bm) {
  _HistAutoEqualize(bm, 0, 0, bm.GetWidth(), bm.GetHeight(), nullptr, nullptr);
}

// Left half (100,100,100) of grey 99, right half (200,200,200) of grey 198.
std::unique_ptr<TBitmap> Halves(int w, int h) {
  auto bm = Make24(w, h, Rgb(100, 100, 100));
  for (int y = 0; y < h; ++y)
    for (int x = w / 2; x < w; ++x) SetPx(*bm, x, y, Rgb(200, 200, 200));
  return bm;
}

TEST(HistAutoEqualize, SingleColourKeepsItsColour) {
  auto bm = Make24(20, 13, Rgb(30, 140, 220));
  auto before = Clone(*bm);
  AutoEqualize(*bm);
  EXPECT_EQ(FirstDifference(*bm, *before), "");
}

TEST(HistAutoEqualize, TwoHalvesHandComputed) {
  // 16 x 16: share 1.  Level 99 owns 0..127 (128 pixels), level 198 owns
  // 127..255; levels between them are 127, above 198 they are 255.
  auto bm = Halves(16, 16);
  AutoEqualize(*bm);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      int v = x < 8 ? 100 : 200;
      // Column 7: mean (6*100 + 3*200) div 9 = 133, grey 131 > 127: high[100] = 127.
      if (x == 7) v = 127;
      // Column 8: mean 1500 div 9 = 166, grey 164 within 127..255: the mean.
      if (x == 8) v = 166;
      ASSERT_EQ(Px(*bm, x, y), Rgb(v, v, v)) << x << "," << y;
    }
}

TEST(HistAutoEqualize, FewerThan256PixelsFinish) {
  // 4 x 4: the share 16 div 256 = 0 is taken as 1.  Level 99 owns 0..7,
  // level 198 owns 7..15; every mean lies above its pixel's interval.
  auto bm = Halves(4, 4);
  AutoEqualize(*bm);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const int v = x < 2 ? 7 : 15;
      ASSERT_EQ(Px(*bm, x, y), Rgb(v, v, v)) << x << "," << y;
    }
}

TEST(HistAutoEqualize, RectangleUsesWholeImageHistogram) {
  auto bm = Halves(16, 16);
  std::vector<int> reports;
  _HistAutoEqualize(
      *bm, 6, 3, 10, 5, [&](TObject*, int per) { reports.push_back(per); }, nullptr);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      int v = x < 8 ? 100 : 200;
      if (y >= 3 && y < 5 && x == 7) v = 127;
      if (y >= 3 && y < 5 && x == 8) v = 166;
      ASSERT_EQ(Px(*bm, x, y), Rgb(v, v, v)) << x << "," << y;
    }
  // Two rows: trunc(k * 100 / 1.5).
  EXPECT_EQ(reports, (std::vector<int>{66, 133}));

  TBitmap mono(8, 8, pf1bit);
  mono.ScanLine(2)[0] = 0x33;
  _HistAutoEqualize(mono, 0, 0, 8, 8, nullptr, nullptr);
  EXPECT_EQ(mono.ScanLine(2)[0], 0x33);
}

TEST(HistAutoEqualize, MatchesDirectFormulaOnNoise) {
  // The rules evaluated literally per pixel against the worker, with the
  // vector kernels and with the portable loops.
  for (bool generic : {false, true}) {
    gPVFiltersGeneric = generic;
    auto bm = RandomImage(53, 17, 5);
    auto input = Clone(*bm);
    AutoEqualize(*bm);
    gPVFiltersGeneric = false;
    const int w = 53, h = 17;
    std::vector<THistogramItem> hist(256);
    _GetHistogram(*input, hist.data(), 0, 0, w, h);
    const int share = 3;  // 901 div 256
    int low[256], high[256], level = 0, sum = 0;
    for (int j = 0; j < 256; ++j) {
      low[j] = std::min(level, 255);
      sum += int(hist[j].Gray);
      while (sum > share) sum -= share, ++level;
      high[j] = std::min(level, 255);
    }
    auto grey = [](int r, int g, int b) { return (r * 21 + g * 71 + b * 7) / 100; };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int mean[3] = {0, 0, 0};
        for (int yy : {std::max(y - 1, 0), y, std::min(y + 1, h - 1)})
          for (int xx : {std::max(x - 1, 0), x, std::min(x + 1, w - 1)}) {
            const TRGB c = Px(*input, xx, yy);
            mean[0] += c.r, mean[1] += c.g, mean[2] += c.b;
          }
        for (int& m : mean) m /= 9;
        const TRGB p = Px(*input, x, y);
        const int g = grey(p.r, p.g, p.b), m = grey(mean[0], mean[1], mean[2]);
        TRGB expect;
        if (low[g] == high[g])
          expect = Rgb(low[p.r], low[p.g], low[p.b]);
        else if (m > high[g])
          expect = Rgb(high[p.r], high[p.g], high[p.b]);
        else if (m < low[g])
          expect = Rgb(low[p.r], low[p.g], low[p.b]);
        else
          expect = Rgb(mean[0], mean[1], mean[2]);
        ASSERT_EQ(Px(*bm, x, y), expect) << x << "," << y << " generic " << generic;
      }
  }
}

}  // namespace
}  // namespace pictavo

// --- Through the processing component ------------------------------------------------

namespace pictavo {
namespace {

TEST(HistogramProc, SelectionRectangleAndEqualisations) {
  auto bm = Halves(16, 16);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  std::vector<THistogramItem> h(kHistogramLevels);
  proc.Select(6, 0, 10, 2);  // two columns of each half, two rows
  proc.GetHistogram(h.data());
  EXPECT_EQ(h[100].R, 4u);
  EXPECT_EQ(h[200].R, 4u);
  EXPECT_EQ(h[99].Gray, 4u);
  EXPECT_EQ(h[198].Gray, 4u);

  proc.SelectAll();
  proc.HistAutoEqualize();
  EXPECT_EQ(Px(*bm, 7, 9), Rgb(127, 127, 127));
  EXPECT_EQ(Px(*bm, 8, 9), Rgb(166, 166, 166));
  proc.Undo();
  EXPECT_EQ(FirstDifference(*bm, *Halves(16, 16)), "");

  proc.Select(0, 0, 8, 1);
  proc.HistEqualize(Rgb(100, 100, 100), Rgb(255, 255, 255));
  EXPECT_EQ(Px(*bm, 3, 0), Rgb(0, 0, 0));
  EXPECT_EQ(Px(*bm, 3, 1), Rgb(100, 100, 100));

  TBitmap mono(8, 8, pf1bit);
  proc.SetAttachedBitmap(&mono);
  h[0].R = 5;
  proc.GetHistogram(h.data());
  EXPECT_EQ(h[0].R, 5u);  // untouched
}

}  // namespace
}  // namespace pictavo
