#include "platform/canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/bitmap.h"
#include "platform/region.h"

namespace pictavo {
namespace {

constexpr TColor kBack = 0x563412;  // blue 0x56, green 0x34, red 0x12

TBitmap* Filled(TBitmap& b, TColor c) {
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) b.SetPixel(x, y, c);
  return &b;
}

int CountColour(const TBitmap& b, TColor c) {
  int n = 0;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) n += b.GetPixel(x, y) == c;
  return n;
}

// Independent even-odd test of a pixel centre, in doubled integer
// coordinates so no rounding enters: an edge crossing at or left of the
// centre counts.
bool CentreInside(const std::vector<TPoint>& p, int x, int y) {
  int64_t X = 2 * x + 1, Y = 2 * y + 1;
  bool inside = false;
  for (size_t i = 0; i < p.size(); ++i) {
    TPoint a = p[i], b = p[(i + 1) % p.size()];
    if (a.y > b.y) std::swap(a, b);
    int64_t ay = 2 * a.y, by = 2 * b.y, ax = 2 * a.x, bx = 2 * b.x;
    if (!(ay < Y && Y < by)) continue;
    if (ax * (by - ay) + (Y - ay) * (bx - ax) <= X * (by - ay)) inside = !inside;
  }
  return inside;
}

TEST(CanvasFill, RectExcludesRightAndBottomEdges) {
  TBitmap b(8, 6, pf24bit);
  Filled(b, kBack);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(2, 1, 5, 3));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(b.GetPixel(x, y), (x >= 2 && x < 5 && y >= 1 && y < 3) ? clRed : kBack) << x << y;
  b.Canvas().FillRect(Rect(5, 5, 2, 2));  // inverted: nothing
  b.Canvas().Brush().SetStyle(bsClear);
  b.Canvas().FillRect(Rect(0, 0, 8, 6));
  EXPECT_EQ(CountColour(b, clRed), 6);
}

TEST(CanvasFill, OneBitRowsAcrossBytesAndPadding) {
  TBitmap b(20, 2, pf1bit);
  b.Canvas().Brush().SetColor(clBlack);
  b.Canvas().FillRect(Rect(-5, -5, 50, 50));
  const uint8_t zero[4] = {0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(b.ScanLine(0), zero, 4), 0);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(3, 0, 18, 1));  // pixels 3..17
  const uint8_t* r = b.ScanLine(0);
  EXPECT_EQ(r[0], 0x1F);
  EXPECT_EQ(r[1], 0xFF);
  EXPECT_EQ(r[2], 0xC0);
  EXPECT_EQ(r[3], 0x00);
  b.Canvas().FillRect(Rect(0, 1, 100, 2));  // padding bits of the row stay 0
  EXPECT_EQ(b.ScanLine(1)[2], 0xF0);
  EXPECT_EQ(b.ScanLine(1)[3], 0x00);
}

TEST(CanvasFill, NoWriteIntoRowPadding) {
  TBitmap b(5, 3, pf24bit);  // 15 bytes per row, one byte of padding
  Filled(b, clBlack);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(-100, -100, 100, 100));
  for (int y = 0; y < 3; ++y) EXPECT_EQ(b.ScanLine(y)[15], 0);
  EXPECT_EQ(CountColour(b, clWhite), 15);
}

TEST(CanvasFill, HatchedBrushPaintsPatternOnly) {
  TBitmap b(16, 16, pf24bit);
  Filled(b, kBack);
  b.Canvas().Brush().SetColor(clBlue);
  b.Canvas().Brush().SetStyle(bsHorizontal);
  b.Canvas().FillRect(Rect(0, 0, 16, 16));
  for (int y = 0; y < 16; ++y) EXPECT_EQ(b.GetPixel(5, y), (y & 7) == 3 ? clBlue : kBack) << y;
  b.Canvas().Brush().SetStyle(bsFDiagonal);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 16, 16));
  EXPECT_EQ(b.GetPixel(9, 9), clRed);
  EXPECT_EQ(b.GetPixel(10, 9), kBack);
  EXPECT_EQ(CountColour(b, clRed), 32);
}

TEST(CanvasClip, IntersectAndExcludeRectangles) {
  TBitmap b(10, 10, pf24bit);
  Filled(b, kBack);
  TCanvas& c = b.Canvas();
  EXPECT_EQ(c.IntersectClipRect(Rect(2, 2, 8, 8)), SIMPLEREGION);
  EXPECT_EQ(c.ExcludeClipRect(Rect(4, 4, 6, 6)), COMPLEXREGION);
  c.Brush().SetColor(clLime);
  c.FillRect(Rect(0, 0, 10, 10));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      bool in = x >= 2 && x < 8 && y >= 2 && y < 8 && !(x >= 4 && x < 6 && y >= 4 && y < 6);
      EXPECT_EQ(b.GetPixel(x, y), in ? clLime : kBack) << x << "," << y;
      EXPECT_EQ(c.PointVisible(x, y), in);
    }
  c.SetPixel(4, 4, clRed);  // excluded
  EXPECT_EQ(b.GetPixel(4, 4), kBack);
  EXPECT_EQ(c.IntersectClipRect(Rect(20, 20, 30, 30)), NULLREGION);
  c.ClearClip();
  c.SetPixel(4, 4, clRed);
  EXPECT_EQ(b.GetPixel(4, 4), clRed);
}

TEST(CanvasClip, ExcludeWithoutClipStartsUnlimited) {
  TBitmap b(4, 4, pf24bit);
  Filled(b, kBack);
  b.Canvas().ExcludeClipRect(Rect(0, 0, 2, 4));
  b.SetSize(8, 4);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 8, 4));
  EXPECT_EQ(CountColour(b, clRed), 24);
  EXPECT_EQ(b.GetPixel(1, 0), kBack);
}

TEST(CanvasClip, StarPolygonAlternateRuleLeavesCentreOut) {
  // A self-overlapping five-pointed star: the pentagon in the middle is
  // crossed twice and lies outside with the alternate rule.
  std::vector<TPoint> star = {{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
  TBitmap b(41, 41, pf24bit);
  Filled(b, kBack);
  b.Canvas().SetClipPolygon(star.data(), int(star.size()));
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, 41, 41));
  EXPECT_EQ(b.GetPixel(20, 22), kBack);   // centre
  EXPECT_EQ(b.GetPixel(20, 5), clWhite);  // top arm
  EXPECT_EQ(b.GetPixel(4, 15), clWhite);  // left arm
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x)
      ASSERT_EQ(b.GetPixel(x, y) == clWhite, CentreInside(star, x, y)) << x << "," << y;
  b.Canvas().ClearClip();
  b.Canvas().FillRect(Rect(0, 0, 41, 41));
  EXPECT_EQ(CountColour(b, clWhite), 41 * 41);
}

TEST(CanvasClip, PolygonPixelRuleOnRectanglesAndSharedEdges) {
  std::vector<TPoint> left = {{1, 1}, {5, 1}, {5, 4}, {1, 4}};
  TRegion a = TRegion::FromPolygon(left.data(), 4);
  EXPECT_EQ(a, TRegion::FromRect(Rect(1, 1, 5, 4)));
  // Two triangles sharing a diagonal: every pixel of the square in exactly one.
  std::vector<TPoint> t1 = {{0, 0}, {7, 0}, {0, 5}}, t2 = {{7, 0}, {7, 5}, {0, 5}};
  TRegion r1 = TRegion::FromPolygon(t1.data(), 3), r2 = TRegion::FromPolygon(t2.data(), 3);
  EXPECT_TRUE(TRegion::Combine(r1, r2, RGN_AND).Empty());
  EXPECT_EQ(TRegion::Combine(r1, r2, RGN_OR), TRegion::FromRect(Rect(0, 0, 7, 5)));
  // Winding fills the star's centre.
  std::vector<TPoint> star = {{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
  EXPECT_FALSE(TRegion::FromPolygon(star.data(), 5, ALTERNATE).Contains(20, 22));
  EXPECT_TRUE(TRegion::FromPolygon(star.data(), 5, WINDING).Contains(20, 22));
}

TEST(Region, CombineOperations) {
  TRegion a = TRegion::FromRect(Rect(0, 0, 4, 4)), b = TRegion::FromRect(Rect(2, 2, 6, 6));
  EXPECT_EQ(TRegion::Combine(a, b, RGN_AND), TRegion::FromRect(Rect(2, 2, 4, 4)));
  EXPECT_EQ(TRegion::Combine(a, b, RGN_OR).Area(), 28);
  TRegion x = TRegion::Combine(a, b, RGN_XOR);
  EXPECT_EQ(x.Area(), 24);
  EXPECT_FALSE(x.Contains(3, 3));
  EXPECT_TRUE(x.Contains(5, 5));
  TRegion d = TRegion::Combine(a, b, RGN_DIFF);
  EXPECT_EQ(d.Area(), 12);
  EXPECT_TRUE(d.Contains(1, 3));
  EXPECT_FALSE(d.Contains(2, 2));
  EXPECT_EQ(d.Bounds(), Rect(0, 0, 4, 4));
  // Stacked rectangles with the same spans merge into one band.
  TRegion s = TRegion::Combine(TRegion::FromRect(Rect(1, 0, 3, 2)),
                               TRegion::FromRect(Rect(1, 2, 3, 5)), RGN_OR);
  EXPECT_EQ(s.Bands().size(), 1u);
  EXPECT_EQ(s.Kind(), SIMPLEREGION);
  // Side-by-side rectangles join into one span.
  TRegion j = TRegion::Combine(TRegion::FromRect(Rect(0, 0, 2, 1)),
                               TRegion::FromRect(Rect(2, 0, 5, 1)), RGN_OR);
  EXPECT_EQ(j, TRegion::FromRect(Rect(0, 0, 5, 1)));
}

TEST(CanvasStretch, NearestPixelEnlargeShrinkAndDraw) {
  TBitmap src(2, 2, pf24bit);
  src.SetPixel(0, 0, clRed);
  src.SetPixel(1, 0, clLime);
  src.SetPixel(0, 1, clBlue);
  src.SetPixel(1, 1, clWhite);
  TBitmap d(4, 4, pf24bit);
  d.Canvas().StretchDraw(Rect(0, 0, 4, 4), src);
  EXPECT_EQ(d.GetPixel(1, 1), clRed);
  EXPECT_EQ(d.GetPixel(2, 1), clLime);
  EXPECT_EQ(d.GetPixel(1, 2), clBlue);
  EXPECT_EQ(d.GetPixel(3, 3), clWhite);
  // Shrinking 4 -> 2 takes the source pixel under each centre: 1 and 3.
  TBitmap big(4, 1, pf24bit), small(2, 1, pf24bit);
  for (int x = 0; x < 4; ++x) big.SetPixel(x, 0, RGB(uint8_t(x * 10), 0, 0));
  small.Canvas().StretchDraw(Rect(0, 0, 2, 1), big);
  EXPECT_EQ(small.GetPixel(0, 0), RGB(10, 0, 0));
  EXPECT_EQ(small.GetPixel(1, 0), RGB(30, 0, 0));
  // Draw partly outside: only the visible part lands.
  TBitmap e(3, 3, pf24bit);
  Filled(e, kBack);
  e.Canvas().Draw(-1, 2, src);
  EXPECT_EQ(e.GetPixel(0, 2), clLime);
  EXPECT_EQ(CountColour(e, kBack), 8);
  // 1-bit onto 1-bit keeps the bits; 1-bit onto 24-bit gives black and white.
  TBitmap m(10, 1, pf1bit), m2(10, 1, pf1bit), c(10, 1, pf24bit);
  m.ScanLine(0)[0] = 0xA5;
  m.ScanLine(0)[1] = 0x40;
  m2.Canvas().Draw(0, 0, m);
  EXPECT_EQ(m2.ScanLine(0)[0], 0xA5);
  EXPECT_EQ(m2.ScanLine(0)[1], 0x40);
  c.Canvas().Draw(0, 0, m);
  EXPECT_EQ(c.GetPixel(0, 0), clWhite);
  EXPECT_EQ(c.GetPixel(1, 0), clBlack);
  EXPECT_EQ(c.GetPixel(9, 0), clWhite);
}

// A bottom-up 24-bit DIB of w x h pixels; colour(x, y) with y top-down.
struct Dib24 {
  BITMAPINFOHEADER h;
  std::vector<uint8_t> bits;
  Dib24(int w, int hh, TColor (*colour)(int, int)) {
    h.biWidth = w;
    h.biHeight = hh;
    h.biBitCount = 24;
    int64_t row = StorageRowBytes(w, 24);
    bits.assign(size_t(row * hh), 0);
    for (int y = 0; y < hh; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = bits.data() + (hh - 1 - y) * row + 3 * x;
        TColor c = colour(x, y);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
  }
};

TEST(CanvasStretchDIBits, EachRasterOperation) {
  const TColor s = 0x0FF0A5;  // blue 0x0F, green 0xF0, red 0xA5
  Dib24 dib(1, 1, [](int, int) -> TColor { return 0x0FF0A5; });
  struct Case {
    uint32_t rop;
    TColor expect;
  } cases[] = {{SRCCOPY, s},
               {SRCINVERT, s ^ kBack},
               {SRCAND, s & kBack},
               {SRCPAINT, s | kBack},
               {NOTSRCCOPY, ~s & 0xFFFFFF},
               {DSTINVERT, ~kBack & 0xFFFFFF},
               {SRCERASE, s & ~kBack & 0xFFFFFF}};
  for (const Case& c : cases) {
    TBitmap b(3, 1, pf24bit);
    Filled(b, kBack);
    EXPECT_EQ(b.Canvas().StretchDIBits(1, 0, 1, 1, 0, 0, 1, 1, dib.bits.data(), &dib.h,
                                       DIB_RGB_COLORS, c.rop),
              1);
    EXPECT_EQ(b.GetPixel(1, 0), c.expect) << std::hex << c.rop;
    EXPECT_EQ(b.GetPixel(0, 0), kBack);
    EXPECT_EQ(b.GetPixel(2, 0), kBack);
  }
}

TEST(CanvasStretchDIBits, OneBitSourceInvertsThroughPalette) {
  TBitmapInfo2 info;
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biBitCount = 1;
  info.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
  // Bottom row (stored first) 1001, top row 0110.
  uint8_t bits[8] = {0x90, 0, 0, 0, 0x60, 0, 0, 0};
  TBitmap b(4, 2, pf24bit);
  Filled(b, kBack);
  b.Canvas().StretchDIBits(0, 0, 4, 2, 0, 0, 4, 2, bits, &info, DIB_RGB_COLORS, SRCINVERT);
  const TColor inv = kBack ^ 0xFFFFFF;
  TColor expect[2][4] = {{kBack, inv, inv, kBack}, {inv, kBack, kBack, inv}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(b.GetPixel(x, y), expect[y][x]) << x << "," << y;
  // Onto a 1-bit bitmap the bits are combined directly.
  TBitmap m(4, 2, pf1bit);
  m.ScanLine(0)[0] = 0xC0;
  m.Canvas().StretchDIBits(0, 0, 4, 2, 0, 0, 4, 2, bits, &info, DIB_RGB_COLORS, SRCINVERT);
  EXPECT_EQ(m.ScanLine(0)[0] & 0xF0, 0xA0);
  EXPECT_EQ(m.ScanLine(1)[0] & 0xF0, 0x60);
}

TColor Ramp(int x, int y) {
  return RGB(uint8_t(x * 40 + 1), uint8_t(y * 40 + 1), 7);
}

TEST(CanvasStretchDIBits, MirroringAndSourceOrigin) {
  Dib24 dib(3, 2, Ramp);
  TBitmap b(3, 2, pf24bit);
  // Negative destination width: columns XDst+W+1..XDst, mirrored.
  b.Canvas().StretchDIBits(2, 0, -3, 2, 0, 0, 3, 2, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                           SRCCOPY);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(b.GetPixel(x, 0), Ramp(2 - x, 0));
  EXPECT_EQ(b.GetPixel(0, 1), Ramp(2, 1));
  // Negative destination height flips rows.
  b.Canvas().StretchDIBits(0, 1, 3, -2, 0, 0, 3, 2, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                           SRCCOPY);
  EXPECT_EQ(b.GetPixel(0, 0), Ramp(0, 1));
  EXPECT_EQ(b.GetPixel(2, 1), Ramp(2, 0));
  // Both widths negative: no mirror.
  b.Canvas().StretchDIBits(2, 0, -3, 2, 2, 0, -3, 2, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                           SRCCOPY);
  EXPECT_EQ(b.GetPixel(0, 0), Ramp(0, 0));
  // YSrc counts from the bottom of a bottom-up DIB: (0, 0, 1x1) is the
  // lower-left pixel.
  TBitmap one(1, 1, pf24bit);
  one.Canvas().StretchDIBits(0, 0, 1, 1, 0, 0, 1, 1, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                             SRCCOPY);
  EXPECT_EQ(one.GetPixel(0, 0), Ramp(0, 1));
  // Enlarged 3x2 -> 6x4, nearest pixel.
  TBitmap big(6, 4, pf24bit);
  big.Canvas().StretchDIBits(0, 0, 6, 4, 0, 0, 3, 2, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                             SRCCOPY);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(big.GetPixel(x, y), Ramp(x / 2, y / 2));
}

TEST(CanvasStretchDIBits, ReadsOnlyInsideTheBits) {
  Dib24 dib(3, 2, Ramp);
  TBitmap b(5, 5, pf24bit);
  Filled(b, kBack);
  // Source rectangle reaching beyond the DIB: those pixels stay.
  b.Canvas().StretchDIBits(0, 0, 5, 5, -1, -1, 5, 5, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                           SRCCOPY);
  EXPECT_EQ(CountColour(b, kBack), 25 - 6);
  EXPECT_EQ(b.GetPixel(1, 2), Ramp(0, 0));
  // A buffer holding only the bottom row: the top row is not read.
  std::vector<uint8_t> part(dib.bits.begin(), dib.bits.begin() + 12);
  TBitmap c(3, 2, pf24bit);
  Filled(c, kBack);
  c.Canvas().StretchDIBits(0, 0, 3, 2, 0, 0, 3, 2, part.data(), &dib.h, DIB_RGB_COLORS, SRCCOPY,
                           part.size());
  EXPECT_EQ(c.GetPixel(0, 0), kBack);
  EXPECT_EQ(c.GetPixel(0, 1), Ramp(0, 1));
  // A destination far larger than the bitmap touches only the bitmap;
  // an unsupported DIB draws nothing.
  c.Canvas().StretchDIBits(-1000000000, 0, 2000000000, 2, 0, 0, 3, 2, dib.bits.data(), &dib.h,
                           DIB_RGB_COLORS, SRCCOPY);
  BITMAPINFOHEADER rle = dib.h;
  rle.biCompression = BI_RLE8;
  EXPECT_EQ(c.Canvas().StretchDIBits(0, 0, 3, 2, 0, 0, 3, 2, dib.bits.data(), &rle, DIB_RGB_COLORS,
                                     SRCCOPY),
            0);
  for (int y = 0; y < 2; ++y) EXPECT_EQ(c.ScanLine(y)[9], 0);  // row padding untouched
}

TEST(CanvasStretchDIBits, ClippedByPolygon) {
  Dib24 dib(1, 1, [](int, int) -> TColor { return clWhite; });
  TBitmap b(8, 8, pf24bit);
  Filled(b, clBlack);
  std::vector<TPoint> tri = {{0, 0}, {8, 0}, {0, 8}};
  b.Canvas().SetClipPolygon(tri.data(), 3);
  b.Canvas().StretchDIBits(0, 0, 8, 8, 0, 0, 1, 1, dib.bits.data(), &dib.h, DIB_RGB_COLORS,
                           SRCCOPY);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(b.GetPixel(x, y) == clWhite, CentreInside(tri, x, y));
}

}  // namespace
}  // namespace pictavo
