// The Fourier image: placement in the square, the planes against a direct
// DFT, round trips, circular and rectangular cuts, the spectrum display,
// progress, copies and the creation limits.
#include "processing/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "processing/pictavoproc.h"
#include "tests/processing/ops_test_util.h"

namespace pictavo {
namespace {

using testutil::Make24;
using testutil::Px;
using testutil::RandomImage;
using testutil::Rgb;
using testutil::SetPx;

TEST(FourierImage, PlacementOfA100By60Image) {
  auto bm = RandomImage(100, 60, 1);
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  EXPECT_EQ(ft.GetN(), 128);
  EXPECT_EQ(ft.GetXOff(), 14);
  EXPECT_EQ(ft.GetYOff(), 34);
  EXPECT_EQ(ft.GetSourceWidth(), 100);
  EXPECT_EQ(ft.GetSourceHeight(), 60);
  EXPECT_EQ(ft.GetImageType(), pvitGrayscale);
  // N starts from 1: a 1 x 1 image is its own transform.
  auto one = Make24(1, 1, Rgb(9, 9, 9));
  ASSERT_TRUE(ft.BuildFT(*one, pvitRGB));
  EXPECT_EQ(ft.GetN(), 1);
}

TEST(FourierImage, PlaneIsTheCentredScaledDft) {
  // 6 x 5 grey image in an 8 x 8 square at (1, 1).  The plane must be
  // (1/8) sum f(x, y) e^(-2 pi i (u x + v y) / 8) with f = grey / max times
  // (-1)^(x+y) and zero outside the image.
  auto bm = RandomImage(6, 5, 2);
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  ASSERT_EQ(ft.GetN(), 8);
  double f[8][8] = {};
  int largest = 1;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) largest = std::max(largest, testutil::Grey(Px(*bm, x, y)));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      f[y + 1][x + 1] = testutil::Grey(Px(*bm, x, y)) / double(largest) * (((x + y) % 2) ? -1 : 1);
  for (int v = 0; v < 8; ++v)
    for (int u = 0; u < 8; ++u) {
      std::complex<double> sum = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          sum += f[y][x] * std::polar(1.0, -2 * std::numbers::pi * (u * x + v * y) / 8);
      sum /= 8.0;
      const TComplexPixel c = ft.GetComplexImage(u, v);
      ASSERT_NE(c.GrayReal, nullptr);
      EXPECT_EQ(c.RedReal, nullptr);
      EXPECT_NEAR(*c.GrayReal, sum.real(), 1e-5) << u << "," << v;
      EXPECT_NEAR(*c.GrayImag, sum.imag(), 1e-5) << u << "," << v;
    }
  // Outside the square there is no element.
  EXPECT_EQ(ft.GetComplexImage(8, 0).GrayReal, nullptr);
  EXPECT_EQ(ft.GetComplexImage(-1, 0).GrayReal, nullptr);
}

TEST(FourierImage, TwoByTwoTransform) {
  // N = 2: [[a, b], [c, d]] after centring [[a, -b], [-c, d]] / max.  The
  // 2-point transform of rows then columns, each scaled by 1/sqrt(2):
  // element (0,0) = (a - b - c + d) / 2, (1,1) = (a + b + c + d) / 2.
  auto bm = Make24(2, 2);
  SetPx(*bm, 0, 0, Rgb(100, 100, 100));  // grey 99
  SetPx(*bm, 1, 0, Rgb(50, 50, 50));     // 49
  SetPx(*bm, 0, 1, Rgb(0, 0, 0));
  SetPx(*bm, 1, 1, Rgb(20, 20, 20));  // 19
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  EXPECT_NEAR(*ft.GetComplexImage(0, 0).GrayReal, (99 - 49 - 0 + 19) / 99.0 / 2, 1e-6);
  EXPECT_NEAR(*ft.GetComplexImage(1, 1).GrayReal, (99 + 49 + 0 + 19) / 99.0 / 2, 1e-6);
  EXPECT_NEAR(*ft.GetComplexImage(1, 0).GrayReal, (99 + 49 - 0 - 19) / 99.0 / 2, 1e-6);
  EXPECT_NEAR(*ft.GetComplexImage(0, 1).GrayReal, (99 - 49 + 0 - 19) / 99.0 / 2, 1e-6);
}

TEST(FourierImage, RoundTripReproducesTheImage) {
  // Every channel reaches 0 and 255, so the stretch maps back onto the
  // original scale; single precision may lose one unit to truncation.
  auto bm = RandomImage(32, 32, 3);
  SetPx(*bm, 0, 0, Rgb(0, 0, 0));
  SetPx(*bm, 1, 0, Rgb(255, 255, 255));
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitRGB));
  TBitmap out;
  ft.BuildBitmap(out);
  ASSERT_EQ(out.GetWidth(), 32);
  ASSERT_EQ(out.GetHeight(), 32);
  ASSERT_EQ(out.GetPixelFormat(), pf24bit);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const TRGB a = Px(*bm, x, y), b = Px(out, x, y);
      ASSERT_LE(std::abs(a.r - b.r), 1) << x << "," << y;
      ASSERT_LE(std::abs(a.g - b.g), 1);
      ASSERT_LE(std::abs(a.b - b.b), 1);
    }
}

TEST(FourierImage, FlatGreyInverseIsBlack) {
  auto bm = Make24(16, 16, Rgb(77, 77, 77));
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  TBitmap out;
  ft.BuildBitmap(out);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(Px(out, x, y), Rgb(0, 0, 0)) << x << "," << y;
}

TEST(FourierImage, LowAndHighPassAtRadiusZero) {
  auto bm = RandomImage(16, 16, 4);
  TPVFtImage ft, low, high;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitRGB));
  low.Assign(ft);
  high.Assign(ft);
  low.LoPass(0);
  high.HiPass(0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool centre = x == 8 && y == 8;
      const TComplexPixel o = ft.GetComplexImage(x, y), l = low.GetComplexImage(x, y),
                          h = high.GetComplexImage(x, y);
      for (auto field :
           {&TComplexPixel::RedReal, &TComplexPixel::RedImag, &TComplexPixel::GreenReal,
            &TComplexPixel::GreenImag, &TComplexPixel::BlueReal, &TComplexPixel::BlueImag}) {
        ASSERT_EQ(*(l.*field), centre ? *(o.*field) : 0.0f) << x << "," << y;
        ASSERT_EQ(*(h.*field), centre ? 0.0f : *(o.*field)) << x << "," << y;
      }
    }
  // The mean alone transforms back to a flat (stretched to black) image.
  TBitmap out;
  low.BuildBitmap(out);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(Px(out, x, y), Rgb(0, 0, 0));
}

TEST(FourierImage, CircularCutsByDistance) {
  auto bm = RandomImage(16, 16, 5);
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  ft.LoPass(3);
  // (8+2, 8+2): trunc(sqrt 8) = 2 stays; (8+3, 8+1): trunc(sqrt 10) = 3
  // stays; (8+3, 8+2): trunc(sqrt 13) = 3 stays; (8+3, 8+3): 4 goes.
  EXPECT_NE(*ft.GetComplexImage(10, 10).GrayReal, 0.0f);
  EXPECT_NE(*ft.GetComplexImage(11, 9).GrayReal, 0.0f);
  EXPECT_NE(*ft.GetComplexImage(5, 6).GrayReal, 0.0f);
  EXPECT_EQ(*ft.GetComplexImage(11, 11).GrayReal, 0.0f);
  EXPECT_EQ(*ft.GetComplexImage(8, 12).GrayImag, 0.0f);
}

TEST(FourierImage, ClearZoneInclusiveAndEmpty) {
  auto bm = RandomImage(8, 8, 6);
  TPVFtImage ft, copy;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  copy.Assign(ft);
  ft.ClearZone(5, 2, 3, 6);  // x2 < x1: nothing
  ft.ClearZone(2, 6, 5, 1);  // y2 < y1: nothing
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(*ft.GetComplexImage(x, y).GrayReal, *copy.GetComplexImage(x, y).GrayReal);
  ft.ClearZone(1, 2, 3, 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool zone = x >= 1 && x <= 3 && y >= 2 && y <= 4;
      const TComplexPixel a = ft.GetComplexImage(x, y), b = copy.GetComplexImage(x, y);
      ASSERT_EQ(*a.GrayReal, zone ? 0.0f : *b.GrayReal);
      ASSERT_EQ(*a.GrayImag, zone ? 0.0f : *b.GrayImag);
    }
  ft.ClearZone(-5, -5, 100, 100);  // clipped to the square
  EXPECT_EQ(*ft.GetComplexImage(7, 7).GrayReal, 0.0f);
}

TEST(FourierImage, SpectrumOfAFlatImage) {
  // Only the centre element is non-zero (magnitude 16 * 1/16 * 16 = 16 for
  // N = 16): v = ln(sqrt(16)) there and 0 elsewhere, scaled to 0..255.
  auto bm = Make24(16, 16, Rgb(0, 200, 0));
  TPVFtImage ft;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitRGB));
  EXPECT_NEAR(*ft.GetComplexImage(8, 8).GreenReal, 16.0f, 1e-4);
  TBitmap spectrum;
  ft.GetFTImage(spectrum);
  ASSERT_EQ(spectrum.GetWidth(), 16);
  ASSERT_EQ(spectrum.GetHeight(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const TRGB p = Px(spectrum, x, y);
      EXPECT_EQ(p.r, 0);
      EXPECT_EQ(p.b, 0);
      if (x == 8 && y == 8)
        EXPECT_GE(p.g, 254);
      else
        EXPECT_EQ(p.g, 0) << x << "," << y;
    }
}

TEST(FourierImage, UnknownTypeOnlySizesTheBitmap) {
  TPVFtImage ft;
  TBitmap out(3, 3, pf8bit);
  ft.GetFTImage(out);
  EXPECT_EQ(out.GetPixelFormat(), pf24bit);
  EXPECT_EQ(out.GetWidth(), 0);
  auto bm = RandomImage(5, 3, 7);
  EXPECT_TRUE(ft.BuildFT(*bm, pvitUnknown));
  EXPECT_EQ(ft.GetN(), 8);
  EXPECT_EQ(ft.GetComplexImage(1, 1).GrayReal, nullptr);
  ft.BuildBitmap(out);
  EXPECT_EQ(out.GetWidth(), 5);
  EXPECT_EQ(out.GetHeight(), 3);
  ft.GetFTImage(out);
  EXPECT_EQ(out.GetWidth(), 8);
  EXPECT_EQ(out.GetHeight(), 8);
  ft.HiPass(2);  // no planes: nothing to do
  ft.ClearZone(0, 0, 3, 3);
}

TEST(FourierImage, ProgressOverChannelPasses) {
  auto bm = RandomImage(4, 4, 8);
  TPVFtImage ft;
  std::vector<int> reports;
  ft.OnProgress = [&](TObject*, int per) { reports.push_back(per); };
  ASSERT_TRUE(ft.BuildFT(*bm, pvitRGB));
  // PerUnit = 100 / 12; after column j of pass c: trunc(PerUnit * (j + 4c)).
  EXPECT_EQ(reports, (std::vector<int>{0, 8, 16, 25, 33, 41, 50, 58, 66, 75, 83, 91}));
}

TEST(FourierImage, AssignIsADeepCopy) {
  auto bm = RandomImage(8, 8, 9);
  TPVFtImage ft, copy;
  ASSERT_TRUE(ft.BuildFT(*bm, pvitGrayscale));
  copy.Assign(ft);
  const float before = *ft.GetComplexImage(3, 3).GrayReal;
  *copy.GetComplexImage(3, 3).GrayReal = 42;
  EXPECT_EQ(*ft.GetComplexImage(3, 3).GrayReal, before);
  EXPECT_EQ(copy.GetN(), 8);
  EXPECT_EQ(copy.GetImageType(), pvitGrayscale);
  TBitmap a, b;
  ft.BuildBitmap(a);
  *copy.GetComplexImage(3, 3).GrayReal = before;
  copy.BuildBitmap(b);
  EXPECT_EQ(testutil::FirstDifference(a, b), "");
}

TEST(FourierImage, CreationLimits) {
  auto photo = RandomImage(100, 50, 10);
  auto ft = PVFTCreateImage(*photo, pvitRGB, -1, -1, nullptr, nullptr);
  ASSERT_TRUE(ft);
  EXPECT_EQ(ft->GetSourceWidth(), 100);
  // A negative side follows the aspect ratio: 20 x (20 * 50 div 100).
  ft = PVFTCreateImage(*photo, pvitGrayscale, 20, -1, nullptr, nullptr);
  ASSERT_TRUE(ft);
  EXPECT_EQ(ft->GetSourceWidth(), 20);
  EXPECT_EQ(ft->GetSourceHeight(), 10);
  EXPECT_EQ(ft->GetN(), 32);
  ft = PVFTCreateImage(*photo, pvitGrayscale, -1, 30, nullptr, nullptr);
  ASSERT_TRUE(ft);
  EXPECT_EQ(ft->GetSourceWidth(), 60);

  // Beyond N = 8192, or beyond the pixel limit, or not 24-bit: refused.
  EXPECT_FALSE(PVFTCreateImage(*photo, pvitGrayscale, 8193, 10, nullptr, nullptr));
  EXPECT_FALSE(PVFTCreateImage(*photo, pvitGrayscale, 0, -1, nullptr, nullptr));
  auto wide = Make24(8193, 1);
  EXPECT_FALSE(PVFTCreateImage(*wide, pvitGrayscale, -1, -1, nullptr, nullptr));
  const int64_t limit = PVGetMaxImagePixels();
  PVSetMaxImagePixels(64 * 64 - 1);
  EXPECT_FALSE(PVFTCreateImage(*Make24(40, 40), pvitGrayscale, -1, -1, nullptr, nullptr));
  PVSetMaxImagePixels(64 * 64);
  EXPECT_TRUE(PVFTCreateImage(*Make24(40, 40), pvitGrayscale, -1, -1, nullptr, nullptr));
  PVSetMaxImagePixels(limit);
  EXPECT_FALSE(PVFTCreateImage(TBitmap(8, 8, pf1bit), pvitGrayscale, -1, -1, nullptr, nullptr));
}

}  // namespace
}  // namespace pictavo

// --- Through the processing component ------------------------------------------------

namespace pictavo {
namespace {

TEST(FourierProc, CreateDisplayAndConvert) {
  auto bm = RandomImage(24, 20, 51);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  auto ft = proc.FTCreateImage(pvitRGB, -1, -1);
  ASSERT_TRUE(ft);
  EXPECT_EQ(ft->GetN(), 32);
  proc.FTDisplayFrom(*ft);
  EXPECT_EQ(bm->GetWidth(), 32);
  EXPECT_EQ(bm->GetHeight(), 32);
  EXPECT_FALSE(proc.CanUndo());  // no undo for the frequency domain
  ft->LoPass(0);
  proc.FTConvertFrom(*ft);
  EXPECT_EQ(bm->GetWidth(), 24);
  EXPECT_EQ(bm->GetHeight(), 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(Px(*bm, x, y), Rgb(0, 0, 0)) << x << "," << y;

  TBitmap mono(8, 8, pf1bit);
  proc.SetAttachedBitmap(&mono);
  EXPECT_FALSE(proc.FTCreateImage(pvitGrayscale, -1, -1));
  TPictavoProc none;
  EXPECT_FALSE(none.FTCreateImage(pvitGrayscale, -1, -1));
}

}  // namespace
}  // namespace pictavo
