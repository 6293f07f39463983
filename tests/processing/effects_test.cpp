// Wave, lens, bump mapping and merge: pixels worked out by hand (with a
// calculator for the trigonometry) on small images, the identities and
// edge cases, and the wave against a direct per-pixel evaluation.
#include "processing/effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

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

TRGB Grey(int v) {
  return Rgb(v, v, v);
}

void Wave(TBitmap& bm, int amplitude, int wavelength, int phase, bool reflective) {
  TProgressRec progress;
  _wave(bm, amplitude, wavelength, phase, reflective, progress);
}

// --- Wave ------------------------------------------------------------------------

TEST(EffectWave, ReflectiveThreeByThreeByHand) {
  // Black with a centre of 200; amplitude 1, wavelength 4 (L = 8), phase 90.
  // Distance 1: a = |cos(pi/4)| = 0.70711, the sample moves 0.29289 towards
  // the centre: trunc(0.29289 * 200) = 58.  Corners: a = |cos(sqrt(2) pi/4)|
  // = 0.44402, both fractions 0.55598: trunc(0.55598^2 * 200) = 61.
  auto bm = Make24(3, 3);
  SetPx(*bm, 1, 1, Grey(200));
  Wave(*bm, 1, 4, 90, true);
  const int expect[3][3] = {{61, 58, 61}, {58, 200, 58}, {61, 58, 61}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(*bm, x, y), Grey(expect[y][x])) << x << "," << y;
}

TEST(EffectWave, NonReflectiveCentreByHand) {
  // Phase 90 at the centre of a 3 x 3 (distance 0): a = amplitude.
  // Non-reflective, amplitude -1: the sample point is (cx - 1, cy - 1) =
  // (0, 0) counted from the bottom, the bottom-left pixel.  Reflective moves
  // the centre by a * 0, and amplitude +1 samples (2, 2), clamped to the
  // cell (1, 1) with fractions 0: the centre itself.
  auto make = [] {
    auto bm = Make24(3, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) SetPx(*bm, x, y, Rgb(10 * x, 10 * y, 5));
    return bm;
  };
  auto bm = make();
  Wave(*bm, -1, 7, 90, false);
  EXPECT_EQ(Px(*bm, 1, 1), Rgb(0, 20, 5));
  bm = make();
  Wave(*bm, -1, 7, 90, true);
  EXPECT_EQ(Px(*bm, 1, 1), Rgb(10, 10, 5));
  bm = make();
  Wave(*bm, 1, 7, 90, false);
  EXPECT_EQ(Px(*bm, 1, 1), Rgb(10, 10, 5));
}

// The wave evaluated per pixel straight from the formulas.
void ReferenceWave(TBitmap& bm, int amplitude, int wavelength, int phase, bool reflective) {
  auto copy = Clone(bm);
  const int w = bm.GetWidth(), h = bm.GetHeight();
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, L = 2.0 * wavelength;
  const double phi = phase * std::numbers::pi / 180;
  double xs = 1, ys = 1;
  if (w / 2.0 > h / 2.0)
    ys = (w / 2.0) / (h / 2.0);
  else if (w / 2.0 < h / 2.0)
    xs = (h / 2.0) / (w / 2.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x - cx) * xs, dy = (y - cy) * ys;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double s = std::sin(r / L * (2 * std::numbers::pi) + phi);
      double sx, sy;
      if (reflective) {
        const double a = std::fabs(s) * amplitude;
        sx = cx + a * dx / xs, sy = cy + a * dy / ys;
      } else {
        const double a = s * amplitude;
        sx = cx + (a + dx) / xs, sy = cy + (a + dy) / ys;
      }
      double fx = sx - std::trunc(sx), fy = sy - std::trunc(sy);
      if (fx < 0) fx += 1;
      if (fy < 0) fy += 1;
      const int x0 = int(std::clamp(std::trunc(sx), 0.0, double(w - 2)));
      const int y0 = int(std::clamp(std::trunc(sy), 0.0, double(h - 2)));
      const TRGB p00 = Px(*copy, x0, h - 1 - y0), p01 = Px(*copy, x0 + 1, h - 1 - y0);
      const TRGB p10 = Px(*copy, x0, h - 2 - y0), p11 = Px(*copy, x0 + 1, h - 2 - y0);
      auto mix = [&](uint8_t TRGB::*c) {
        return uint8_t(std::trunc((1 - fy) * ((1 - fx) * (p00.*c) + fx * (p01.*c)) +
                                  fy * ((1 - fx) * (p10.*c) + fx * (p11.*c))));
      };
      TRGB out;
      out.r = mix(&TRGB::r), out.g = mix(&TRGB::g), out.b = mix(&TRGB::b);
      SetPx(bm, x, h - 1 - y, out);
    }
}

TEST(EffectWave, MatchesDirectEvaluation) {
  struct Case {
    int w, h, amplitude, wavelength, phase;
    bool reflective;
  } cases[] = {{31, 17, 5, 6, 0, false}, {16, 16, 3, 4, 45, true},    {9, 30, -7, 3, 200, false},
               {2, 2, 1, 1, 10, true},   {40, 7, 100, 2, -30, false}, {12, 13, 2, -5, 90, true}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    auto bm = RandomImage(c.w, c.h, seed++);
    auto expect = Clone(*bm);
    ReferenceWave(*expect, c.amplitude, c.wavelength, c.phase, c.reflective);
    Wave(*bm, c.amplitude, c.wavelength, c.phase, c.reflective);
    EXPECT_EQ(FirstDifference(*bm, *expect), "") << c.w << "x" << c.h;
  }
}

TEST(EffectWave, NothingToDo) {
  auto bm = RandomImage(8, 8, 3);
  auto before = Clone(*bm);
  Wave(*bm, 0, 5, 0, false);
  Wave(*bm, 5, 0, 0, true);
  EXPECT_EQ(FirstDifference(*bm, *before), "");
  // One pixel wide or high: no pair of columns or rows to sample.
  for (auto size : {std::pair{1, 9}, std::pair{9, 1}, std::pair{1, 1}}) {
    auto thin = RandomImage(size.first, size.second, 4);
    auto thinBefore = Clone(*thin);
    Wave(*thin, 3, 2, 10, false);
    EXPECT_EQ(FirstDifference(*thin, *thinBefore), "");
  }
}

TEST(EffectWave, ProgressPerRow) {
  auto bm = RandomImage(5, 7, 5);
  std::vector<int> reports;
  TProgressRec progress;
  progress.ProgressEvent = [&](TObject*, int per) { reports.push_back(per); };
  _wave(*bm, 2, 3, 0, false, progress);
  // trunc(k * 100 / 7) for k = 0..6.
  EXPECT_EQ(reports, (std::vector<int>{0, 14, 28, 42, 57, 71, 85}));
}

// --- Lens --------------------------------------------------------------------------

// Pixel (x, y) is (10x, 10y, 7).
std::unique_ptr<TBitmap> Coordinates(int w, int h) {
  auto bm = Make24(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(*bm, x, y, Rgb(10 * x, 10 * y, 7));
  return bm;
}

void Lens(TBitmap& bm, int x, int y, int w, int h, double refraction) {
  TProgressRec progress;
  _lens(bm, x, y, w, h, refraction, progress);
}

TEST(EffectLens, RefractedPixelsByHand) {
  // Box 6..14 x 6..14 (8 x 8), A = B = R = 4, index 2.  Box pixel (1, 3):
  // X = -2.5, Y = 0.5, z = 4 sqrt(0.59375) = 3.0822; xd = -1.3361,
  // yd = 0.2508: source column trunc(2.66) = 2, row trunc(3.75) = 3.
  auto bm = Coordinates(20, 20);
  auto before = Clone(*bm);
  Lens(*bm, 10, 10, 8, 8, 2.0);
  auto at = [&](int i, int j) { return Px(*bm, 6 + i, 6 + j); };
  auto src = [&](int i, int j) { return Px(*before, 6 + i, 6 + j); };
  EXPECT_EQ(at(1, 3), src(2, 3));
  EXPECT_EQ(at(2, 2), src(3, 3));  // X = Y magnitude 1.5: xd = -0.767, yd = 0.767
  EXPECT_EQ(at(5, 1), src(4, 2));
  EXPECT_EQ(at(6, 6), src(5, 5));
  // (0, 0): X = -3.5, Y = 3.5 lies outside the ellipse and is copied.
  EXPECT_EQ(at(0, 0), src(0, 0));
  // Outside the box nothing moves (the box's right and bottom edges are
  // exclusive: column 14 and row 14 stay).
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      if (x < 6 || x >= 14 || y < 6 || y >= 14) {
        ASSERT_EQ(Px(*bm, x, y), Px(*before, x, y)) << x << "," << y;
      }
}

TEST(EffectLens, IndexOneAndEmptyBoxesChangeNothing) {
  auto bm = Coordinates(20, 16);
  auto before = Clone(*bm);
  Lens(*bm, 9, 8, 12, 10, 1.0);
  Lens(*bm, 9, 8, 12, 10, 0.3);  // below 1 counts as 1
  EXPECT_EQ(FirstDifference(*bm, *before), "");
  Lens(*bm, 9, 8, 0, 10, 2.0);     // zero width
  Lens(*bm, 9, 8, 10, 1, 2.0);     // height div 2 = 0
  Lens(*bm, 40, 40, 10, 10, 2.0);  // clamped to the corner: empty
  Lens(*bm, 9, 8, -10, 10, 2.0);   // negative width
  EXPECT_EQ(FirstDifference(*bm, *before), "");
}

TEST(EffectLens, ProgressPerColumn) {
  auto bm = Coordinates(20, 20);
  std::vector<int> reports;
  TProgressRec progress;
  progress.ProgressEvent = [&](TObject*, int per) { reports.push_back(per); };
  _lens(*bm, 10, 10, 8, 8, 1.5, progress);
  EXPECT_EQ(reports, (std::vector<int>{12, 25, 37, 50, 62, 75, 87, 100}));
}

// --- Bump mapping --------------------------------------------------------------

void Bump(TBitmap& bm, int x, int y, int w, int h, int mixing, TRGB colour) {
  TProgressRec progress;
  _BumpMapping(bm, x, y, w, h, mixing, colour, 0, 0, bm.GetWidth(), bm.GetHeight(), progress);
}

TEST(EffectBump, MixingHundredIsIdentityAndZeroSizeIsNothing) {
  auto bm = RandomImage(12, 9, 6);
  auto before = Clone(*bm);
  Bump(*bm, 4, 4, 6, 6, 100, Rgb(255, 0, 0));
  Bump(*bm, 4, 4, 0, 6, 0, Rgb(255, 0, 0));
  Bump(*bm, 4, 4, 6, 0, 0, Rgb(255, 0, 0));
  EXPECT_EQ(FirstDifference(*bm, *before), "");
}

TEST(EffectBump, MixingZeroOnFlatImageIsTheTintedLight) {
  // Flat: no relief.  Centre (4,4): light 255, the colour itself.  Four
  // pixels off along x with width 8: trunc(4/8*128) = 64, entry (64, 128) =
  // trunc(0.5 * 256) = 128: (128, round(128*100/255) = 50, 0).
  auto bm = Make24(9, 9, Grey(90));
  Bump(*bm, 4, 4, 8, 8, 0, Rgb(255, 100, 0));
  EXPECT_EQ(Px(*bm, 4, 4), Rgb(255, 100, 0));
  EXPECT_EQ(Px(*bm, 8, 4), Rgb(128, 50, 0));
  EXPECT_EQ(Px(*bm, 0, 4), Rgb(128, 50, 0));
  EXPECT_EQ(Px(*bm, 4, 0), Rgb(128, 50, 0));
  // (8, 8): both offsets 64: distance sqrt(0.5) -> trunc(0.29289 * 256) = 74;
  // round(74 * 100 / 255) = round(29.02) = 29.
  EXPECT_EQ(Px(*bm, 8, 8), Rgb(74, 29, 0));
}

TEST(EffectBump, ReliefByHand) {
  // One row of greys 0, 49, 99, 148, 198; light at (2, 0), radii 4, mixing
  // 50, colour (200, 100, 50).
  auto bm = Make24(5, 1);
  for (int x = 0; x < 5; ++x) SetPx(*bm, x, 0, Grey(50 * x));
  Bump(*bm, 2, 0, 4, 4, 50, Rgb(200, 100, 50));
  // x 2: u = 148 - 49 = 99 -> u' = 227, entry 256 * (1 - 99/128) = 58, light
  // 29: (round(50 + 22.75), round(50 + 11.37), round(50 + 5.69)).
  EXPECT_EQ(Px(*bm, 2, 0), Rgb(73, 61, 56));
  // x 0: u = 49 - 0, minus trunc(-2/4 * 128) = -64: u' = 241, entry 30, light 15.
  EXPECT_EQ(Px(*bm, 0, 0), Rgb(12, 6, 3));
  // x 4: u = 198 - 148 = 50, minus 64: u' = 114, entry 228, light 114.
  EXPECT_EQ(Px(*bm, 4, 0), Rgb(189, 145, 122));
}

TEST(EffectBump, OnlyTheRectangleAndProgress) {
  auto bm = RandomImage(10, 10, 7);
  auto before = Clone(*bm);
  std::vector<int> reports;
  TProgressRec progress;
  progress.ProgressEvent = [&](TObject*, int per) { reports.push_back(per); };
  _BumpMapping(*bm, 5, 5, 4, 4, 30, Rgb(255, 255, 255), 2, 3, 6, 7, progress);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      if (x < 2 || x >= 6 || y < 3 || y >= 7) {
        ASSERT_EQ(Px(*bm, x, y), Px(*before, x, y));
      }
  EXPECT_NE(FirstDifference(*bm, *before), "");
  // trunc(k * 100 / 3.5): 28, 57, 85, 114.
  EXPECT_EQ(reports, (std::vector<int>{28, 57, 85, 114}));
}

// --- Merge ---------------------------------------------------------------------------

void Merge(TBitmap& bm, const TBitmap& other, int percent, int x1, int y1, int x2, int y2) {
  _Merge(bm, other, percent, x1, y1, x2, y2, nullptr, nullptr);
}

TEST(EffectMerge, HundredZeroAndRounding) {
  auto bm = RandomImage(6, 4, 8);
  auto before = Clone(*bm);
  auto other = RandomImage(3, 2, 9);
  Merge(*bm, *other, 100, 0, 0, 6, 4);
  EXPECT_EQ(FirstDifference(*bm, *before), "");

  // Percent 0 on the rectangle 2..5 x 1..2: the other image stretched 3x2 ->
  // 4x2 by nearest pixel: columns 0, 1, 1, 2 (source (2i+1)*3 div 8).
  Merge(*bm, *other, 0, 2, 1, 6, 3);
  const int sourceColumn[4] = {0, 1, 1, 2};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && y >= 1 && y < 3;
      const TRGB expect = inside ? Px(*other, sourceColumn[x - 2], y - 1) : Px(*before, x, y);
      ASSERT_EQ(Px(*bm, x, y), expect) << x << "," << y;
    }

  // 25 %: 200 with 100 -> 50 + 75; 1 with 2 -> round(1.75) = 2; 2 with 0
  // -> round(0.5) = 0; 6 with 0 -> round(1.5) = 2.
  auto a = Make24(4, 1);
  SetPx(*a, 0, 0, Rgb(200, 1, 2));
  SetPx(*a, 1, 0, Rgb(6, 0, 0));
  auto b = Make24(4, 1);
  SetPx(*b, 0, 0, Rgb(100, 2, 0));
  Merge(*a, *b, 25, 0, 0, 4, 1);
  EXPECT_EQ(Px(*a, 0, 0), Rgb(125, 2, 0));
  EXPECT_EQ(Px(*a, 1, 0), Rgb(2, 0, 0));
}

TEST(EffectsFormats, OnlyTwentyFourBit) {
  TBitmap mono(16, 16, pf1bit);
  mono.ScanLine(3)[1] = 0x3C;
  TProgressRec progress;
  _wave(mono, 3, 4, 0, false, progress);
  _lens(mono, 8, 8, 8, 8, 2, progress);
  _BumpMapping(mono, 8, 8, 4, 4, 0, Rgb(1, 2, 3), 0, 0, 16, 16, progress);
  _Merge(mono, *Make24(2, 2, Grey(9)), 0, 0, 0, 16, 16, nullptr, nullptr);
  EXPECT_EQ(mono.ScanLine(3)[1], 0x3C);
  EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
}

}  // namespace
}  // namespace pictavo

// --- Through the processing component ------------------------------------------------

namespace pictavo {
namespace {

TEST(EffectProc, WaveAndLensIgnoreARectangleSelection) {
  auto bm = RandomImage(20, 14, 31);
  auto expect = Clone(*bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Select(3, 3, 8, 8);
  proc.Wave(4, 5, 30, false);
  Wave(*expect, 4, 5, 30, false);
  EXPECT_EQ(FirstDifference(*bm, *expect), "");
  proc.Lens(10, 7, 12, 10, 1.8);
  Lens(*expect, 10, 7, 12, 10, 1.8);
  EXPECT_EQ(FirstDifference(*bm, *expect), "");
  // Zero amplitude still records an undo step but leaves the pixels.
  proc.ClearUndo();
  proc.Wave(0, 5, 30, false);
  EXPECT_TRUE(proc.CanUndo());
  EXPECT_EQ(FirstDifference(*bm, *expect), "");
}

TEST(EffectProc, BumpMappingOnAPolygonUsesBoxPositions) {
  // Rectangle selections limit the bump mapping; a polygon runs it on the
  // bounding-box copy with the light position relative to the box.
  auto bm = RandomImage(20, 16, 32);
  auto before = Clone(*bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Select(2, 2, 9, 9);
  proc.BumpMapping(5, 5, 6, 6, 40, Rgb(255, 200, 0));
  auto expect = Clone(*before);
  TProgressRec progress;
  _BumpMapping(*expect, 5, 5, 6, 6, 40, Rgb(255, 200, 0), 2, 2, 9, 9, progress);
  EXPECT_EQ(FirstDifference(*bm, *expect), "");

  proc.Undo();
  const TPoint triangle[] = {{4, 2}, {16, 2}, {4, 14}};
  proc.SelectPolygon(triangle, 3);
  proc.BumpMapping(3, 3, 6, 6, 40, Rgb(255, 200, 0));
  auto box = Make24(12, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) SetPx(*box, x, y, Px(*before, x + 4, y + 2));
  _BumpMapping(*box, 3, 3, 6, 6, 40, Rgb(255, 200, 0), 0, 0, 12, 12, progress);
  EXPECT_EQ(Px(*bm, 6, 5), Px(*box, 2, 3));
  EXPECT_EQ(Px(*bm, 15, 13), Px(*before, 15, 13));
}

TEST(EffectProc, MergeIsFramed) {
  auto bm = Make24(8, 6, Grey(200));
  auto other = Make24(2, 2, Grey(100));
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Select(0, 0, 4, 3);
  proc.Merge(*other, 50);
  EXPECT_EQ(Px(*bm, 3, 2), Grey(150));
  EXPECT_EQ(Px(*bm, 4, 2), Grey(200));
  EXPECT_EQ(Px(*bm, 3, 3), Grey(200));
}

}  // namespace
}  // namespace pictavo
