// The histogram box: background-only cases, bars and lines against counts
// worked out by hand, the axes and the colour-ramp bar under the graph.
#include "controls/histogrambox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/desktop.h"
#include "processing/pictavoproc.h"
#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kWhite = 0xFFFFFF;

TColor Px(const THistogramBox& box, int x, int y) {
  return const_cast<TBitmap&>(box.Image()).Canvas().GetPixel(x, y);
}

// Red levels: 0..127 three pixels each, 128..255 one pixel each.
void FillRamp(TBitmap& bmp) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(256, 2);
  for (int y = 0; y < 2; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < 256; ++x) {
      row[3 * x] = row[3 * x + 1] = 0;
      row[3 * x + 2] = uint8_t(y == 0 ? x : x & 127);
    }
  }
}

struct Fixture {
  TBitmap bmp;
  TPictavoProc proc;
  THistogramBox box;
  Fixture() {
    FillRamp(bmp);
    proc.SetAttachedBitmap(&bmp);
    box.SetBounds(0, 0, 256, 100);
    box.SetLabels({});
    box.SetCompBar(false);
    box.SetHistogramKind({hkRed});
    box.SetAttachedPictavoProc(&proc);
  }
};

TEST_F(DesktopTest, HistogramDefaults) {
  THistogramBox box;
  EXPECT_EQ(box.GetWidth(), 256);
  EXPECT_EQ(box.GetHeight(), 105);
  EXPECT_EQ(box.GetBackground(), kWhite);
  EXPECT_EQ(box.GetHistogramKind(), THistogramKind{hkGray});
  EXPECT_EQ(box.GetLabels(), (THistogramLabels{hlVertical, hlHorizontal}));
  EXPECT_TRUE(box.GetCompBar());
  EXPECT_EQ(box.GetHistogramStyle(), hsBars);
}

TEST_F(DesktopTest, HistogramWithoutCountsLeavesTheBackground) {
  THistogramBox box;
  box.SetBackground(0x102030);
  for (int y = 0; y < 105; y += 13)
    for (int x = 0; x < 256; x += 17) ASSERT_EQ(Px(box, x, y), TColor(0x102030));
  // A bitmap with no pixels gives all-zero counts.
  TBitmap empty;
  empty.SetPixelFormat(pf24bit);
  TPictavoProc proc;
  proc.SetAttachedBitmap(&empty);
  box.SetAttachedPictavoProc(&proc);
  for (int y = 0; y < 105; y += 13)
    for (int x = 0; x < 256; x += 17) ASSERT_EQ(Px(box, x, y), TColor(0x102030));
}

TEST_F(DesktopTest, HistogramBarsCoverTheWholeControlWithoutLabels) {
  Fixture f;
  // max 3: levels below 128 reach the top row, the others
  // h - round(100 / 3) - 2 = 65 (excluded): rows 66..99.
  for (int y = 0; y < 100; ++y) EXPECT_EQ(Px(f.box, 0, y), kRed) << y;
  EXPECT_EQ(Px(f.box, 127, 0), kRed);
  EXPECT_EQ(Px(f.box, 200, 66), kRed);
  EXPECT_EQ(Px(f.box, 200, 99), kRed);
  EXPECT_EQ(Px(f.box, 200, 65), kWhite);
  EXPECT_EQ(Px(f.box, 255, 65), kWhite);
}

TEST_F(DesktopTest, HistogramBarsEndOnePixelAboveLines) {
  Fixture f;
  f.box.SetHistogramStyle(hsLines);
  // The line runs along row h - 33 - 1 = 66 over the flat part; bars
  // aim at row 65 and so fill up to 66, lines leave 67..99 empty.
  EXPECT_EQ(Px(f.box, 200, 66), kRed);
  EXPECT_EQ(Px(f.box, 200, 65), kWhite);
  EXPECT_EQ(Px(f.box, 200, 67), kWhite);
  EXPECT_EQ(Px(f.box, 200, 99), kWhite);
  // Down from the top to the lower plateau between columns 127 and 128.
  EXPECT_EQ(Px(f.box, 127, 30), kRed);
}

TEST_F(DesktopTest, HistogramFollowsTheAttachedComponentAndForgetsIt) {
  THistogramBox box;
  {
    TBitmap bmp;
    FillRamp(bmp);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&bmp);
    box.SetAttachedPictavoProc(&proc);
    EXPECT_EQ(box.GetAttachedPictavoProc(), &proc);
  }
  EXPECT_EQ(box.GetAttachedPictavoProc(), nullptr);
  box.Update();  // must not touch the destroyed component
  EXPECT_EQ(Px(box, 10, 10), kWhite);
}

TEST_F(DesktopTest, HistogramShowsASampleInDesignModeOnly) {
  THistogramBox box;
  box.SetLabels({});
  box.SetCompBar(false);
  EXPECT_EQ(Px(box, 10, 104), kWhite);
  box.SetDesigning(true);
  box.Update();
  // Every bar lights at least its bottom pixel in grey's black.
  for (int x = 0; x < 256; x += 31) EXPECT_EQ(Px(box, x, 104), TColor(0)) << x;
}

TEST_F(DesktopTest, HistogramAxesAndRampBarFollowTheLayout) {
  Fixture f;
  f.box.SetLabels({hlVertical, hlHorizontal});
  f.box.SetCompBar(true);
  f.box.SetHistogramKind({hkRed, hkGray});
  // Independent layout from the font metrics.
  TBitmap probe;
  probe.SetPixelFormat(pf24bit);
  probe.SetSize(4, 4);
  probe.Canvas().Font().Assign(f.box.GetFont());
  uint32_t max = 0;  // red: 3 at levels 0..127; grey of (r,0,0) is r*21/100
  {
    int grey[256] = {};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 256; ++x) ++grey[(y == 0 ? x : x & 127) * 21 / 100];
    for (int v : grey) max = std::max<uint32_t>(max, uint32_t(v));
    max = std::max<uint32_t>(max, 3);
  }
  int tw = probe.Canvas().TextWidth(std::to_string(max));
  int th = probe.Canvas().TextHeight(std::to_string(max));
  int fh = std::abs(f.box.GetFont().GetHeight());
  int barH = int(fh * 1.2);
  int x0 = tw + 2, w = 256 - x0;
  int h = 100 - (barH + 2) - (th + 2);
  TColor ink = ColorToRGB(f.box.GetFont().GetColor());
  EXPECT_EQ(Px(f.box, x0 - 1, 1), ink);
  EXPECT_EQ(Px(f.box, x0 + w - 1, h), ink);
  // Ramp bar: grey selected, so every channel carries the column's level.
  for (int m : {0, 1, w / 2, w - 1}) {
    int v = int(std::nearbyint(double(m) / w * 256)) & 255;
    TColor expect = TColor(v | v << 8 | v << 16);
    EXPECT_EQ(Px(f.box, x0 + m, 99), expect) << m;
    EXPECT_EQ(Px(f.box, x0 + m, 100 - barH), expect) << m;
  }
  EXPECT_EQ(Px(f.box, x0 + 3, 100 - barH - 1), kWhite);
}

}  // namespace
}  // namespace pictavo
