#include "platform/bitmap.h"

#include <gtest/gtest.h>

#include "platform/canvas.h"
#include "platform/exceptions.h"

namespace pictavo {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytes) {
  TBitmap b(5, 3, pf24bit);
  EXPECT_EQ(b.RowBytes(), 16);
  b.SetPixelFormat(pf1bit);
  EXPECT_EQ(b.RowBytes(), 4);
  TBitmap c(33, 1, pf1bit);
  EXPECT_EQ(c.RowBytes(), 8);
}

TEST(Bitmap, GrowingKeepsTopLeftAndFillsWithBrushColour) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.Canvas().Brush().SetColor(clRed);
  b.SetSize(2, 2);
  b.ScanLine(0)[0] = 7;  // blue of (0,0)
  b.Canvas().Brush().SetColor(clBlue);
  b.SetSize(3, 3);
  EXPECT_EQ(b.ScanLine(0)[0], 7);
  EXPECT_EQ(b.GetPixel(1, 1), clRed);
  EXPECT_EQ(b.GetPixel(2, 0), clBlue);
  EXPECT_EQ(b.GetPixel(0, 2), clBlue);
}

TEST(Bitmap, OneBitGrowthKeepsPartialByte) {
  TBitmap b(3, 1, pf1bit);  // filled white by the default brush
  b.ScanLine(0)[0] = 0x40;  // pixel 1 white, 0 and 2 black
  b.Canvas().Brush().SetColor(clBlack);
  b.SetSize(10, 1);
  EXPECT_EQ(b.ScanLine(0)[0], 0x40);
  b.Canvas().Brush().SetColor(clWhite);
  b.SetSize(12, 2);
  EXPECT_EQ(b.ScanLine(0)[0], 0x40);
  EXPECT_EQ(b.ScanLine(0)[1] & 0xF0, 0x30);  // pixels 10, 11 white, 8, 9 black
}

TEST(Bitmap, FormatChangeConvertsPixels) {
  TBitmap b(4, 1, pf24bit);
  b.SetPixel(0, 0, clWhite);
  b.SetPixel(1, 0, clBlack);
  b.SetPixel(2, 0, RGB(200, 200, 200));
  b.SetPixel(3, 0, RGB(20, 20, 20));
  b.SetPixelFormat(pf1bit);
  EXPECT_EQ(b.ScanLine(0)[0] & 0xF0, 0xA0);
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(b.GetPixel(0, 0), clWhite);
  EXPECT_EQ(b.GetPixel(3, 0), clBlack);
  b.SetPixel(1, 0, RGB(255, 0, 0));
  b.SetPixelFormat(pf16bit);
  EXPECT_EQ(b.ScanLine(0)[2] | (b.ScanLine(0)[3] << 8), 0xF800);
  b.SetPixelFormat(pf32bit);
  EXPECT_EQ(b.GetPixel(1, 0), RGB(255, 0, 0));
}

TEST(Bitmap, ScanLineOutsideRaises) {
  TBitmap b(2, 2, pf24bit);
  EXPECT_THROW(b.ScanLine(2), EInvalidGraphic);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphic);
}

TEST(Bitmap, AssignCopiesEverything) {
  TBitmap a(3, 2, pf8bit);
  a.ScanLine(1)[2] = 77;
  TBitmap b;
  b.Assign(a);
  EXPECT_EQ(b.GetWidth(), 3);
  EXPECT_EQ(b.GetPixelFormat(), pf8bit);
  EXPECT_EQ(b.ScanLine(1)[2], 77);
  EXPECT_EQ(b.GetPixel(2, 1), RGB(77, 77, 77));
}

TEST(Bitmap, AbsurdSizeIsRefused) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  EXPECT_THROW(b.SetSize(1 << 30, 1 << 30), EOutOfResources);
  EXPECT_EQ(b.GetWidth(), 0);
}

}  // namespace
}  // namespace pictavo
