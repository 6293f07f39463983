// Colour operations: the HSV and HSL models at hand-computed values, every
// per-pixel rule, the means of the contrast, channel extraction, colour
// counting and the reductions to fewer colours.
#include "processing/colour_ops.h"

#include <gtest/gtest.h>

#include <set>

#include "core/conversions.h"
#include "processing/colour_spaces.h"
#include "processing/pictavoproc.h"
#include "tests/processing/proc_test_support.h"

namespace pictavo {
namespace {

using namespace proctest;

// Runs one framed method on a one-pixel-wide strip of the given colours.
template <typename Op>
std::vector<TRGB> Apply(const std::vector<TRGB>& colours, Op op) {
  TBitmap bm(int(colours.size()), 1, pf24bit);
  for (size_t i = 0; i < colours.size(); ++i) Put(bm, int(i), 0, colours[i]);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  op(proc);
  std::vector<TRGB> out;
  for (int i = 0; i < bm.GetWidth(); ++i) out.push_back(Get(bm, i, 0));
  return out;
}

TRGB ApplyOne(TRGB c, const std::function<void(TPictavoProc&)>& op) {
  return Apply({c}, op)[0];
}

TEST(ColourSpaces, HsvOfHandComputedColours) {
  int H, S, V;
  RGB2HSV(C(255, 0, 0), H, S, V);
  EXPECT_EQ((std::vector{H, S, V}), (std::vector{0, 99, 99}));
  // (0, 128, 255) scales to (0, 50, 99): blue is the maximum,
  // H = (0 - 50) * 60 div 99 + 240 = -30 + 240.
  RGB2HSV(C(0, 128, 255), H, S, V);
  EXPECT_EQ((std::vector{H, S, V}), (std::vector{210, 99, 99}));
  // (200, 100, 50) scales to (78, 39, 19): S = 59 * 99 div 78, H = 20 * 60 div 59.
  RGB2HSV(C(200, 100, 50), H, S, V);
  EXPECT_EQ((std::vector{H, S, V}), (std::vector{20, 74, 78}));
  // Green maximum and a negative hue wrapped by 360: (0, 255, 99) scales to
  // (0, 99, 38): H = (38 - 0) * 60 div 99 + 120 = 143.
  RGB2HSV(C(0, 255, 99), H, S, V);
  EXPECT_EQ(H, 143);
  RGB2HSV(C(255, 0, 10), H, S, V);  // (99, 0, 4): H = -4 * 60 div 99 = -2, + 360
  EXPECT_EQ(H, 358);
  RGB2HSV(C(0, 0, 0), H, S, V);
  EXPECT_EQ((std::vector{H, S, V}), (std::vector{0, 0, 0}));
}

TEST(ColourSpaces, HsvBackToRgbBySextantAndClamping) {
  TRGB c;
  // f = 30, p = 0, q = t = 99 - 99 * 99 * 30 div 5940 = 50; sextant 3 (p, q, V).
  HSV2RGB(c, 210, 99, 99);
  EXPECT_EQ(c, C(0, 129, 255));
  HSV2RGB(c, 20, 74, 78);  // (V, t, p) = (78, 40, 20)
  EXPECT_EQ(c, C(201, 103, 52));
  HSV2RGB(c, 400, 150, -5);  // clamped to 359, 99, 0
  EXPECT_EQ(c, C(0, 0, 0));
  HSV2RGB(c, 123, 0, 50);  // no saturation: grey round(50 / 99 * 255)
  EXPECT_EQ(c, C(129, 129, 129));
}

TEST(ColourSpaces, HslRoundTripsAndClamps) {
  double H, S, L;
  RGB2HSL(C(255, 0, 0), H, S, L);
  EXPECT_DOUBLE_EQ(H, 0);
  EXPECT_DOUBLE_EQ(S, 1);
  EXPECT_DOUBLE_EQ(L, 0.5);
  RGB2HSL(C(0, 0, 255), H, S, L);
  EXPECT_DOUBLE_EQ(H, 4.0 / 6.0);
  TRGB c;
  HSL2RGB(c, 2.0, 1, 0.5);  // hue clamped to 1: red
  EXPECT_EQ(c, C(255, 0, 0));
  HSL2RGB(c, 0.3, 0, 0.5);  // grey, truncated: 127.5 -> 127
  EXPECT_EQ(c, C(127, 127, 127));
}

TEST(ColourOps, HsvVarWithZeroOffsetsIsNotTheIdentity) {
  auto out = Apply({C(200, 100, 50), C(0, 128, 255), C(255, 255, 255), C(0, 0, 0)},
                   [](TPictavoProc& p) { p.HSVvar(0, 0, 0); });
  EXPECT_EQ(out[0], C(201, 103, 52));
  EXPECT_EQ(out[1], C(0, 129, 255));
  EXPECT_EQ(out[2], C(255, 255, 255));
  EXPECT_EQ(out[3], C(0, 0, 0));
  // H + 30 = 50: f = 50, q = 30 (below V, t = 69) -> (78, 69, 20).
  EXPECT_EQ(ApplyOne(C(200, 100, 50), [](TPictavoProc& p) { p.HSVvar(30, 0, 0); }),
            C(201, 178, 52));
}

TEST(ColourOps, HslVarHueIsClampedNotWrapped) {
  // Green (H = 1/3) + 300 degrees gives H above 1: the colour of H = 1, red.
  // A wrapped hue would give yellow.
  EXPECT_EQ(ApplyOne(C(0, 255, 0), [](TPictavoProc& p) { p.HSLvar(300, 0, 0); }), C(255, 0, 0));
  // Values from the formulas evaluated independently in double precision.
  EXPECT_EQ(ApplyOne(C(200, 100, 50), [](TPictavoProc& p) { p.HSLvar(0, 0, 0); }), C(200, 99, 49));
  EXPECT_EQ(ApplyOne(C(200, 100, 50), [](TPictavoProc& p) { p.HSLvar(90, -20, 10); }),
            C(122, 192, 108));
  EXPECT_EQ(ApplyOne(C(12, 200, 90), [](TPictavoProc& p) { p.HSLvar(-45, 30, -25); }),
            C(28, 84, 0));
  EXPECT_EQ(ApplyOne(C(0, 128, 255), [](TPictavoProc& p) { p.HSLvar(0, 0, 0); }), C(0, 127, 255));
}

TEST(ColourOps, IntensityAddsPerChannelWithClamping) {
  auto out = Apply({C(250, 10, 100), C(0, 255, 128)},
                   [](TPictavoProc& p) { p.IntensityRGBall(10, -20, 300); });
  EXPECT_EQ(out[0], C(255, 0, 255));
  EXPECT_EQ(out[1], C(10, 235, 255));
  // A long row exercises the 48-byte blocks and the tail.
  auto bm = Random24(101, 3, 7);
  TBitmap ref;
  PVCopyBitmap(*bm, ref);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.IntensityRGBall(-37, 90, 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 101; ++x) {
      TRGB o = Get(ref, x, y);
      ASSERT_EQ(Get(*bm, x, y), C(std::clamp(o.r - 37, 0, 255), std::clamp(o.g + 90, 0, 255),
                                  std::clamp(o.b + 5, 0, 255)));
    }
}

// 3 x 2 image: red 10..60, green 0, blue 255.  Means divide by (3 - 1) x
// (2 - 1) = 2: red 210 / 2 = 105, green 0, blue 1530 / 2 = 765.
std::unique_ptr<TBitmap> ContrastImage() {
  auto bm = std::make_unique<TBitmap>(3, 2, pf24bit);
  for (int i = 0; i < 6; ++i) Put(*bm, i % 3, i / 3, C(10 * (i + 1), 0, 255));
  return bm;
}

TEST(ColourOps, ContrastMeansUseTheReducedDivisor) {
  auto bm = ContrastImage();
  int r, g, b;
  _GetMediaContrastRGB(*bm, r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{105, 0, 765}));
  TBitmap line(5, 1, pf24bit);
  _GetMediaContrastRGB(line, r, g, b);
  EXPECT_EQ((std::vector{r, g, b}), (std::vector{128, 128, 128}));
  // One pivot: every byte, sum (210 + 0 + 1530) / ((9 - 1) * 1) = 217.
  EXPECT_EQ(_GetMediaContrast(*bm), 217);
}

TEST(ColourOps, ContrastZeroMinusHundredAndHalf) {
  auto bm = ContrastImage();
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Contrast(0);
  EXPECT_EQ(Get(*bm, 2, 1), C(60, 0, 255));
  proc.Contrast(-25);  // k = 0.5: 105 + trunc((10 - 105) * 0.5) = 105 - 47
  EXPECT_EQ(Get(*bm, 0, 0), C(58, 0, 255));
  EXPECT_EQ(Get(*bm, 1, 0), C(63, 0, 255));
  EXPECT_EQ(Get(*bm, 2, 1), C(83, 0, 255));
  bm = ContrastImage();
  proc.SetAttachedBitmap(bm.get());
  proc.Contrast(-100);  // every channel becomes its mean (blue 765 clamps)
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Get(*bm, i % 3, i / 3), C(105, 0, 255));
  // +20: k = 3; 105 + trunc((60 - 105) * 3) < 0.
  bm = ContrastImage();
  proc.SetAttachedBitmap(bm.get());
  proc.Contrast(20);
  EXPECT_EQ(Get(*bm, 2, 1), C(0, 0, 0));  // blue 765 + trunc((255 - 765) * 3) < 0
  // A 1 x 1 bitmap is refused.
  auto one = Solid(1, 1, C(10, 20, 30));
  TPictavoProc fresh;
  fresh.SetAttachedBitmap(one.get());
  fresh.Contrast(-100);
  EXPECT_EQ(Get(*one, 0, 0), C(10, 20, 30));
  EXPECT_FALSE(one->GetModified());
}

TEST(ColourOps, SinglePivotContrastWorker) {
  auto bm = ContrastImage();
  _Contrast(*bm, -25, 100, 0, 0, 3, 2, nullptr, nullptr);
  // 100 + trunc((10 - 100) * 0.5) = 55; 100 + trunc((255 - 100) * 0.5) = 177.
  EXPECT_EQ(Get(*bm, 0, 0), C(55, 50, 177));
}

TEST(ColourOps, CastColorRangeInclusiveBounds) {
  std::vector<TRGB> in = {C(10, 20, 30), C(10, 20, 31), C(9, 20, 30), C(15, 25, 35)};
  auto out = Apply(
      in, [](TPictavoProc& p) { p.CastColorRange(C(10, 20, 30), C(10, 20, 30), C(1, 2, 3)); });
  EXPECT_EQ(out, (std::vector{C(1, 2, 3), in[1], in[2], in[3]}));
  out = Apply(in,
              [](TPictavoProc& p) { p.CastColorRange(C(10, 20, 30), C(15, 25, 35), C(0, 0, 0)); });
  EXPECT_EQ(out, (std::vector{C(0, 0, 0), C(0, 0, 0), in[2], C(0, 0, 0)}));
}

TEST(ColourOps, ThresholdPerChannelOnTheChangedValue) {
  std::vector<TRGB> in = {C(0, 100, 255), C(50, 200, 128)};
  auto same = Apply(in, [](TPictavoProc& p) {
    p.Threshold(C(0, 0, 0), C(255, 255, 255), C(9, 9, 9), C(7, 7, 7));
  });
  EXPECT_EQ(same, in);
  // down 50, up 150: c <= 50 -> downVal; then > 150 -> upVal.  With downVal
  // 200 the changed value itself exceeds the upper limit.
  auto out = Apply(in, [](TPictavoProc& p) {
    p.Threshold(C(50, 50, 50), C(150, 150, 150), C(200, 1, 1), C(250, 250, 250));
  });
  EXPECT_EQ(out[0], C(250, 100, 250));
  EXPECT_EQ(out[1], C(250, 250, 128));
}

TEST(ColourOps, NegativeOn24And1Bit) {
  EXPECT_EQ(ApplyOne(C(0, 100, 255), [](TPictavoProc& p) { p.Negative(); }), C(255, 155, 0));
  auto page = Random1(21, 4, 3);
  TBitmap before;
  PVCopyBitmap(*page, before);
  TPictavoProc proc;
  proc.SetAttachedBitmap(page.get());
  proc.Select(3, 1, 19, 3);
  proc.Negative();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 21; ++x) {
      bool inside = x >= 3 && x < 19 && y >= 1 && y < 3;
      ASSERT_EQ(Bit(*page, x, y), inside ? 1 - Bit(before, x, y) : Bit(before, x, y))
          << x << "," << y;
    }
}

TEST(ColourOps, GreyOfWhiteIs252) {
  auto out = Apply({C(255, 255, 255), C(10, 20, 30), C(0, 0, 0)},
                   [](TPictavoProc& p) { p.ConvertToGray(); });
  EXPECT_EQ(out[0], C(252, 252, 252));
  EXPECT_EQ(out[1], C(18, 18, 18));  // (10 * 21 + 20 * 71 + 30 * 7) div 100
  EXPECT_EQ(out[2], C(0, 0, 0));
}

TEST(ColourOps, WorkersReportRowsUpTo105AndNothingForEmptyRects) {
  auto bm = Random24(4, 10, 1);
  ProgressLog log;
  _Negative(*bm, 0, 0, 4, 10, log.Event(), nullptr);
  EXPECT_EQ(log.values, (std::vector{10, 21, 31, 42, 52, 63, 73, 84, 94, 105}));
  log.values.clear();
  _ConvertToGray(*bm, 0, 5, 4, 5, log.Event(), nullptr);
  _IntensityRGBall(*bm, 1, 1, 1, 0, 3, 4, 99, log.Event(), nullptr);  // y2 clamped to 10
  // Rows 3..9: factor 100 / 6.5.
  EXPECT_EQ(log.values, (std::vector{15, 30, 46, 61, 76, 92, 107}));
}

TEST(ColourOps, NonTwentyFourBitImagesAreLeftAlone) {
  TBitmap pal(4, 4, pf8bit);
  pal.ScanLine(0)[0] = 7;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&pal);
  proc.ConvertToGray();
  proc.IntensityRGBall(5, 5, 5);
  proc.Negative();
  EXPECT_EQ(pal.ScanLine(0)[0], 7);
  EXPECT_FALSE(pal.GetModified());
  EXPECT_FALSE(proc.CanUndo());
  EXPECT_EQ(proc.GetRGBChannel(0), nullptr);
  EXPECT_EQ(proc.CalcImageNumColors(), 0);
}

TEST(ColourOps, ChannelGetters) {
  TBitmap bm(2, 1, pf24bit);
  Put(bm, 0, 0, C(0, 128, 255));
  Put(bm, 1, 0, C(200, 100, 50));
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  auto red = proc.GetRGBChannel(2), blue = proc.GetRGBChannel(0), far = proc.GetRGBChannel(9);
  EXPECT_EQ(Get(*red, 0, 0), C(0, 0, 0));
  EXPECT_EQ(Get(*red, 1, 0), C(200, 200, 200));
  EXPECT_EQ(Get(*blue, 0, 0), C(255, 255, 255));
  EXPECT_EQ(Get(*far, 1, 0), C(200, 200, 200));
  // H 210 -> trunc(210 / 359 * 255) = 149; S 74 -> trunc(74 / 99 * 255) = 190.
  auto hue = proc.GetHSVChannel(0), sat = proc.GetHSVChannel(1), val = proc.GetHSVChannel(2);
  EXPECT_EQ(Get(*hue, 0, 0).r, 149);
  EXPECT_EQ(Get(*sat, 1, 0).g, 190);
  EXPECT_EQ(Get(*val, 1, 0).b, 200);  // V 78 -> trunc(200.9)
  EXPECT_EQ(Get(*proc.GetHSVChannel(7), 0, 0).r, 149);
  TBitmap r, g, b, h, s, v;
  proc.GetRGBChannelAll(r, g, b);
  EXPECT_EQ(Get(g, 0, 0), C(128, 128, 128));
  EXPECT_TRUE(SamePixels(r, *red));
  proc.GetHSVChannelAll(h, s, v);
  EXPECT_TRUE(SamePixels(h, *hue));
  EXPECT_TRUE(SamePixels(s, *sat));
  EXPECT_TRUE(SamePixels(v, *val));
  ProgressLog log;
  proc.OnProgress = log.Event();
  TBitmap tall(1, 4, pf24bit);
  proc.SetAttachedBitmap(&tall);
  proc.GetRGBChannel(1);
  EXPECT_EQ(log.values, (std::vector{0, 25, 50, 75}));
}

TEST(ColourOps, CountColoursInTheSelectionRectangle) {
  auto bm = Random24(64, 48, 12);
  for (int x = 0; x < 64; ++x) Put(*bm, x, 0, C(1, 2, 3));
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  std::set<uint32_t> ref;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      TRGB c = Get(*bm, x, y);
      ref.insert(c.r << 16 | c.g << 8 | c.b);
    }
  EXPECT_EQ(proc.CalcImageNumColors(), int(ref.size()));
  proc.Select(0, 0, 10, 1);
  EXPECT_EQ(proc.CalcImageNumColors(), 1);
  TBitmap page(9, 9, pf1bit);
  proc.SetAttachedBitmap(&page);
  EXPECT_EQ(proc.CalcImageNumColors(), 2);
}

TEST(ColourOps, ThresholdToBlackAndWhite) {
  TBitmap bm(3, 2, pf24bit);
  std::vector<TRGB> px = {C(100, 100, 100), C(101, 101, 101), C(0, 0, 0),
                          C(255, 255, 255), C(102, 101, 101), C(102, 100, 100)};
  for (int i = 0; i < 6; ++i) Put(bm, i % 3, i / 3, px[i]);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  proc.ConvertToBWThreshold(100);  // grey < 100 is black: 99, 99, 0, 252, 100, 99
  ASSERT_EQ(bm.GetPixelFormat(), pf1bit);
  EXPECT_EQ((std::vector{Bit(bm, 0, 0), Bit(bm, 1, 0), Bit(bm, 2, 0), Bit(bm, 0, 1), Bit(bm, 1, 1),
                         Bit(bm, 2, 1)}),
            (std::vector{0, 0, 0, 1, 1, 0}));
  EXPECT_TRUE(proc.CanUndo());
  // t = -1: the grey of the channel means, which divide by (w-1)(h-1) = 2.
  TBitmap two(3, 2, pf24bit);
  for (int i = 0; i < 6; ++i) Put(two, i % 3, i / 3, i < 3 ? C(20, 20, 20) : C(60, 60, 60));
  // means 240 / 2 = 120 each; t = 120 * 99 div 100 = 118: greys 19 and 59 are black.
  proc.SetAttachedBitmap(&two);
  proc.ConvertToBWThreshold(-1);
  EXPECT_EQ(Bit(two, 0, 1), 0);
}

TEST(ColourOps, ConvertToFewColours) {
  // Three colours in a palette of four stay exact; the palette lists them.
  TBitmap bm(6, 2, pf24bit);
  for (int x = 0; x < 6; ++x) {
    Put(bm, x, 0, x < 3 ? C(200, 10, 10) : C(10, 200, 10));
    Put(bm, x, 1, C(10, 10, 200));
  }
  TBitmap before;
  PVCopyBitmap(bm, before);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  TRGB palette[4];
  proc.ConvertToPalette(4, palette);
  EXPECT_TRUE(SamePixels(bm, before));
  std::set<uint32_t> pal;
  for (TRGB c : palette) pal.insert(c.r << 16 | c.g << 8 | c.b);
  EXPECT_TRUE(pal.count(200 << 16 | 10 << 8 | 10));
  EXPECT_TRUE(pal.count(10 << 16 | 10 << 8 | 200));
  // A photo reduced to 16 colours keeps 24 bits and at most 16 colours.
  auto photo = Random24(40, 40, 8);
  proc.SetAttachedBitmap(photo.get());
  proc.ConvertTo(16);
  EXPECT_EQ(photo->GetPixelFormat(), pf24bit);
  EXPECT_LE(proc.CalcImageNumColors(), 16);
  // Two colours or fewer: ordered dithering to one bit, palette black, white.
  proc.ConvertToPalette(2, palette);
  EXPECT_EQ(photo->GetPixelFormat(), pf1bit);
  EXPECT_EQ(palette[0], C(0, 0, 0));
  EXPECT_EQ(palette[1], C(255, 255, 255));
}

TEST(ColourOps, CalcImagePaletteLeavesTheBitmap) {
  TBitmap bm(2, 1, pf24bit);
  Put(bm, 0, 0, C(1, 2, 3));
  Put(bm, 1, 0, C(4, 5, 6));
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bm);
  TRGB palette[8] = {};
  proc.CalcImagePalette(palette, 8);
  EXPECT_EQ(palette[0], C(1, 2, 3));
  EXPECT_EQ(palette[1], C(4, 5, 6));
  EXPECT_FALSE(bm.GetModified());
}

}  // namespace
}  // namespace pictavo
