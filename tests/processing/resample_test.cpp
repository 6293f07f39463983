// Resampling workers: the kernels at hand-computed points, _Resample against
// a straightforward double-precision reference of the two passes, the plain
// stretch against the canvas's nearest-pixel rule, and the one-bit box
// reduction.
#include "processing/resample.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/conversions.h"
#include "platform/canvas.h"
#include "processing/pictavoproc.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

// ---------------------------------------------------------------------------
// Reference: the kernels as the table states them, and the two passes
// computed output value by output value.

double RefKernel(TResampleFilter f, double x) {
  double a = std::fabs(x);
  auto sinc = [](double v) {
    return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v);
  };
  switch (f) {
    case rfHermite:
      return a < 1 ? a * a * (2 * a - 3) + 1 : 0;
    case rfBell:
      if (a < 0.5) return 0.75 - a * a;
      return a < 1.5 ? 0.5 * (a - 1.5) * (a - 1.5) : 0;
    case rfBSpline:
      if (a < 1) return a * a * a / 2 - a * a + 2.0 / 3.0;
      return a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0;
    case rfLanczos3:
      return a < 3 ? sinc(x) * sinc(x / 3) : 0;
    case rfMitchell:
      if (a < 1) return (7 * a * a * a - 12 * a * a + 16.0 / 3.0) / 6;
      return a < 2 ? (-(7.0 / 3.0) * a * a * a + 12 * a * a - 20 * a + 32.0 / 3.0) / 6 : 0;
    default:
      return a < 1 ? 1 - a : 0;
  }
}

double RefSupport(TResampleFilter f) {
  switch (f) {
    case rfBell:
      return 1.5;
    case rfBSpline:
    case rfMitchell:
      return 2;
    case rfLanczos3:
      return 3;
    default:
      return 1;
  }
}

uint8_t RefStore(double v) {
  if (v > 255) return 255;
  if (v < 0) return 0;
  return uint8_t(std::nearbyint(v));
}

// One output value of a 1-D filtered scaling: `sample(j)` reads source j.
template <typename Sample>
uint8_t RefOne(TResampleFilter f, int srcLen, int dstLen, int i, Sample sample) {
  double scale = double(dstLen) / srcLen;
  double width = scale >= 1 ? RefSupport(f) : RefSupport(f) / scale;
  double center = i / scale;
  double sum = 0;
  for (int j = int(std::floor(center - width)); j <= int(std::ceil(center + width)); ++j) {
    double w = scale >= 1 ? RefKernel(f, center - j) : RefKernel(f, (center - j) * scale) * scale;
    if (w == 0) continue;
    int n = j < 0 ? -j : j;
    if (n >= srcLen) n = 2 * srcLen - 1 - n;
    n = std::min(std::max(n, 0), srcLen - 1);
    sum += w * sample(n);
  }
  return RefStore(sum);
}

std::unique_ptr<TBitmap> RefResample(const TBitmap& src, int dw, int dh, TResampleFilter f) {
  int sw = src.GetWidth(), sh = src.GetHeight();
  TBitmap work(dw, sh, pf24bit);
  for (int y = 0; y < sh; ++y)
    for (int i = 0; i < dw; ++i)
      for (int c = 0; c < 3; ++c)
        work.ScanLine(y)[3 * i + c] =
            RefOne(f, sw, dw, i, [&](int j) { return double(src.ScanLine(y)[3 * j + c]); });
  auto out = std::make_unique<TBitmap>(dw, dh, pf24bit);
  for (int x = 0; x < dw; ++x)
    for (int r = 0; r < dh; ++r)
      for (int c = 0; c < 3; ++c)
        out->ScanLine(r)[3 * x + c] =
            RefOne(f, sh, dh, r, [&](int j) { return double(work.ScanLine(j)[3 * x + c]); });
  return out;
}

const TResampleFilter kFilters[] = {rfTriangle, rfHermite,  rfBell,
                                    rfBSpline,  rfLanczos3, rfMitchell};

TEST(ResampleKernels, ValuesAtHandComputedPoints) {
  auto k = [](TResampleFilter f, double x) { return PVResampleKernel(f).fn(x); };
  EXPECT_DOUBLE_EQ(k(rfTriangle, 0.25), 0.75);
  EXPECT_DOUBLE_EQ(k(rfTriangle, -1.0), 0.0);
  EXPECT_DOUBLE_EQ(k(rfHermite, 0.5), 0.5);  // 0.25 * (1 - 3) + 1
  EXPECT_DOUBLE_EQ(k(rfBell, 0.0), 0.75);
  EXPECT_DOUBLE_EQ(k(rfBell, 1.0), 0.125);  // 0.5 * 0.5^2
  EXPECT_DOUBLE_EQ(k(rfBell, 1.5), 0.0);
  EXPECT_DOUBLE_EQ(k(rfBSpline, 0.0), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(k(rfBSpline, -1.0), 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(k(rfLanczos3, 0.0), 1.0);
  EXPECT_NEAR(k(rfLanczos3, 1.5), -1.0 / (0.75 * std::numbers::pi * std::numbers::pi), 1e-15);
  EXPECT_DOUBLE_EQ(k(rfLanczos3, 3.0), 0.0);
  EXPECT_DOUBLE_EQ(k(rfMitchell, 0.0), 16.0 / 18.0);
  EXPECT_NEAR(k(rfMitchell, 1.0), 1.0 / 18.0, 1e-15);
  EXPECT_DOUBLE_EQ(k(rfMitchell, 2.0), 0.0);
  EXPECT_EQ(PVResampleKernel(rfLanczos3).support, 3.0);
  EXPECT_EQ(PVResampleKernel(rfBell).support, 1.5);
}

TEST(Resample, EveryFilterMatchesTheReferenceDownAndUp) {
  auto src = Random24(37, 23, 11);
  const int sizes[][2] = {{17, 11}, {80, 51}, {37, 9}, {5, 40}};
  for (TResampleFilter f : kFilters)
    for (auto& s : sizes) {
      TBitmap dest(s[0], s[1], pf24bit);
      _Resample(*src, dest, f, nullptr, nullptr);
      auto ref = RefResample(*src, s[0], s[1], f);
      EXPECT_TRUE(SamePixels(dest, *ref)) << "filter " << int(f) << " to " << s[0] << "x" << s[1];
    }
}

TEST(Resample, WideRowsUseEveryStripOfColumns) {
  // Wider than one strip of pass 2, with a remainder strip.
  auto src = Random24(300, 7, 5);
  TBitmap dest(290, 13, pf24bit);
  _Resample(*src, dest, rfLanczos3, nullptr, nullptr);
  EXPECT_TRUE(SamePixels(dest, *RefResample(*src, 290, 13, rfLanczos3)));
}

TEST(Resample, KernelWiderThanTheImageStaysInside) {
  auto src = Random24(2, 3, 9);
  TBitmap dest(9, 1, pf24bit);
  _Resample(*src, dest, rfLanczos3, nullptr, nullptr);
  EXPECT_TRUE(SamePixels(dest, *RefResample(*src, 9, 1, rfLanczos3)));
}

TEST(Resample, FlatImageKeepsItsColourWhereWeightsSumToOne) {
  auto src = Solid(10, 8, C(200, 100, 50));
  for (TResampleFilter f : {rfTriangle, rfBSpline}) {
    TBitmap dest(23, 19, pf24bit);
    _Resample(*src, dest, f, nullptr, nullptr);
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 23; ++x) ASSERT_EQ(Get(dest, x, y), C(200, 100, 50)) << x << "," << y;
  }
}

TEST(Resample, OneByOneOrWrongFormatLeavesDestUntouched) {
  auto one = Solid(1, 1, C(9, 9, 9));
  auto dest = Solid(4, 4, C(1, 2, 3));
  _Resample(*one, *dest, rfTriangle, nullptr, nullptr);
  EXPECT_EQ(Get(*dest, 3, 3), C(1, 2, 3));
  TBitmap page(8, 8, pf1bit);
  _Resample(page, *dest, rfTriangle, nullptr, nullptr);
  EXPECT_EQ(Get(*dest, 0, 0), C(1, 2, 3));
}

TEST(Resample, ProgressCountsRowsThenColumns) {
  auto src = Random24(6, 4, 3);
  TBitmap dest(3, 2, pf24bit);
  ProgressLog log;
  _Resample(*src, dest, rfBell, log.Event(), nullptr);
  // factor = 100 / (3 + 4 + 0.5): rows 1..4, then columns 4 + 1 .. 4 + 3.
  double f = 100 / 7.5;
  std::vector<int> expected;
  for (int r = 1; r <= 4; ++r) expected.push_back(int(r * f));
  for (int c = 0; c < 3; ++c) expected.push_back(int((4 + c + 1) * f));
  EXPECT_EQ(log.values, expected);
  EXPECT_EQ(log.values.back(), 93);
}

TEST(ResampleMethod, NegativeWidthKeepsTheAspectRatio) {
  auto bm = Random24(200, 100, 1);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Resample(-1, 50, rfTriangle);
  EXPECT_EQ(bm->GetWidth(), 100);
  EXPECT_EQ(bm->GetHeight(), 50);
  proc.Resample(30, -1, rfNone);
  EXPECT_EQ(bm->GetWidth(), 30);
  EXPECT_EQ(bm->GetHeight(), 15);
  proc.Resample(-1, -1, rfTriangle);  // both negative: nothing
  EXPECT_EQ(bm->GetWidth(), 30);
}

TEST(ResampleMethod, FilteredResultEqualsTheWorker) {
  auto bm = Random24(40, 30, 2);
  auto ref = RefResample(*bm, 25, 45, rfMitchell);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Resample(25, 45, rfMitchell);
  EXPECT_TRUE(SamePixels(*bm, *ref));
  EXPECT_TRUE(proc.CanUndo());
}

TEST(ResampleMethod, OneBitImagesAreStretchedAndStayOneBit) {
  auto bm = Random1(13, 7, 4);
  TBitmap expected(26, 14, pf1bit);
  _PVBmpStretch(*bm, expected);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Resample(26, 14, rfLanczos3);
  EXPECT_EQ(bm->GetPixelFormat(), pf1bit);
  EXPECT_TRUE(SamePixels(*bm, expected));
}

TEST(ResampleMethod, SizesBeyondThePixelLimitOrZeroAreRefused) {
  auto bm = Random24(20, 10, 2);
  TBitmap before;
  PVCopyBitmap(*bm, before);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  int64_t saved = PVGetMaxImagePixels();
  PVSetMaxImagePixels(1000);
  proc.Resample(100, 11, rfTriangle);
  PVSetMaxImagePixels(saved);
  EXPECT_TRUE(SamePixels(*bm, before));
  proc.Resample(0, 5, rfTriangle);
  proc.Resample(-1, 0, rfTriangle);  // 0 * 20 / 10 = 0
  EXPECT_TRUE(SamePixels(*bm, before));
  TBitmap empty(0, 0, pf24bit);
  proc.SetAttachedBitmap(&empty);
  proc.Resample(-1, 5, rfTriangle);  // the aspect ratio of an empty image: no division by 0
  EXPECT_EQ(empty.GetWidth(), 0);
}

TEST(ResampleMethod, OneByOneImageWithAFilterIsNotLeftBlank) {
  auto bm = Solid(1, 1, C(10, 200, 30));
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Resample(3, 2, rfLanczos3);
  ASSERT_EQ(bm->GetWidth(), 3);
  EXPECT_EQ(Get(*bm, 2, 1), C(10, 200, 30));
}

TEST(BmpStretch, NearestPixelRuleInBothDirections) {
  auto src = Random24(7, 5, 8);
  TBitmap dest(16, 3, pf24bit);
  _PVBmpStretch(*src, dest);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 16; ++x) {
      int sx = (2 * x + 1) * 7 / 32, sy = (2 * y + 1) * 5 / 6;
      ASSERT_EQ(Get(dest, x, y), Get(*src, sx, sy)) << x << "," << y;
    }
}

TEST(BmpStretch, AgreesWithTheCanvasStretchFor24And1Bit) {
  for (TPixelFormat pf : {pf24bit, pf1bit}) {
    auto src = pf == pf24bit ? Random24(19, 11, 3) : Random1(19, 11, 3);
    for (auto [w, h] : {std::pair{40, 7}, std::pair{9, 30}, std::pair{19, 11}}) {
      TBitmap mine(w, h, pf24bit);
      _PVBmpStretch(*src, mine);
      EXPECT_EQ(mine.GetPixelFormat(), pf);
      TBitmap canvas(w, h, pf);
      canvas.Canvas().StretchDraw(Rect(0, 0, w, h), *src);
      EXPECT_TRUE(SamePixels(mine, canvas)) << int(pf) << " " << w << "x" << h;
    }
  }
}

TEST(SubResample1bit, BoxAveragesOfOnes) {
  // 4 x 4 region: left half white, right half a checkerboard.
  TBitmap src(4, 4, pf1bit);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) PutBit(src, x, y, x < 2 ? 1 : (x + y) & 1);
  TBitmap dest(2, 2, pf24bit);
  _SubResample1bitFiltered(src, 0, 0, 3, 3, dest);
  EXPECT_EQ(Get(dest, 0, 0), C(255, 255, 255));
  EXPECT_EQ(Get(dest, 1, 0), C(127, 127, 127));  // 255 * 2 div 4
  EXPECT_EQ(Get(dest, 1, 1), C(127, 127, 127));
  // sx = 4 / 3: column 2 averages 0 + trunc(2.67) .. trunc(2.67 + 1 - 1) = 2..2
  TBitmap three(3, 1, pf24bit);
  _SubResample1bitFiltered(src, 0, 0, 3, 3, three);
  // rows 0 .. trunc(4 + 4 - 1) = 0..3 (sy = 4); column 2 of rows 0..3 is 0,1,0,1.
  EXPECT_EQ(Get(three, 2, 0), C(127, 127, 127));
  EXPECT_EQ(Get(three, 0, 0), C(255, 255, 255));
}

TEST(SubResample1bit, UpscalingRepeatsPixelsAndDIBFormAgrees) {
  auto src = Random1(21, 9, 6);
  TBitmap a(50, 30, pf24bit);
  _SubResample1bitFiltered(*src, 0, 0, 20, 8, a);
  for (int i = 0; i < 30; ++i)
    for (int j = 0; j < 50; ++j) {
      int sx = int(21.0 / 50 * j), sy = int(9.0 / 30 * i);
      ASSERT_EQ(Get(a, j, i).r, Bit(*src, sx, sy) * 255);
    }
  // The same pixels as a bottom-up DIB.
  size_t rowLen = (21 + 31) / 32 * 4;
  std::vector<uint8_t> dib(rowLen * 9);
  for (int y = 0; y < 9; ++y) std::memcpy(&dib[(8 - y) * rowLen], src->ScanLine(y), rowLen);
  for (auto [w, h] : {std::pair{50, 30}, std::pair{5, 4}}) {
    TBitmap viaBitmap(w, h, pf24bit), viaDib(w, h, pf24bit);
    _SubResample1bitFiltered(*src, 2, 1, 19, 8, viaBitmap);
    _SubResample1bitFilteredDIB(dib.data(), dib.size(), 21, 9, 2, 1, 19, 8, viaDib);
    EXPECT_TRUE(SamePixels(viaBitmap, viaDib));
  }
  // A short buffer is not read beyond its end: missing rows count as black.
  TBitmap shortDib(5, 4, pf24bit);
  _SubResample1bitFilteredDIB(dib.data(), rowLen * 2, 21, 9, 0, 0, 20, 8, shortDib);
  EXPECT_EQ(Get(shortDib, 0, 0), C(0, 0, 0));
}

}  // namespace
}  // namespace pictavo
