// Bitmaps sized for a reader that writes every row: cleared row ends, the
// brush-colour fill of rows a reader never wrote, and SetSize's own fill
// unchanged by the uninitialised storage.
#include <gtest/gtest.h>

#include <vector>

#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {
namespace {

std::vector<uint8_t> Row(const TBitmap& b, int y) {
  const uint8_t* r = b.ScanLine(y);
  return std::vector<uint8_t>(r, r + b.RowBytes());
}

TEST(BitmapOverwrite, RowEndsStartClear) {
  TBitmap b(1, 1, pf24bit);
  b.AllocateForOverwrite(5, 3);  // 15 bytes of pixels, row of 16
  ASSERT_EQ(b.RowBytes(), 16);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(b.ScanLine(y)[15], 0);
  TBitmap bits(1, 1, pf1bit);
  bits.AllocateForOverwrite(13, 2);  // byte 1 holds pixels 8..12, bytes 2..3 pad
  for (int y = 0; y < 2; ++y)
    for (int i = 1; i < 4; ++i) EXPECT_EQ(bits.ScanLine(y)[i], 0) << y << " " << i;
}

TEST(BitmapOverwrite, GuardFillsRowsNeverWrittenWithTheBrush) {
  TBitmap b(1, 1, pf24bit);
  b.Canvas().Brush().SetColor(RGB(10, 20, 30));
  b.AllocateForOverwrite(3, 5);
  {
    TBitmapRowGuard guard(b);
    for (int y : {1, 3}) {
      uint8_t* r = b.ScanLine(y);
      for (int i = 0; i < 9; ++i) r[i] = uint8_t(100 + y);
      guard.Written(y);
    }
    guard.Written(-1);  // out of range: ignored
    guard.Written(5);
  }
  const std::vector<uint8_t> brush = {30, 20, 10, 30, 20, 10, 30, 20, 10, 0, 0, 0};
  const std::vector<uint8_t> written1 = {101, 101, 101, 101, 101, 101, 101, 101, 101, 0, 0, 0};
  EXPECT_EQ(Row(b, 0), brush);
  EXPECT_EQ(Row(b, 1), written1);
  EXPECT_EQ(Row(b, 2), brush);
  EXPECT_EQ(Row(b, 4), brush);
  EXPECT_EQ(b.ScanLine(3)[0], 103);
}

TEST(BitmapOverwrite, GuardWithNothingWrittenFillsEverything) {
  TBitmap b(1, 1, pf1bit);
  b.AllocateForOverwrite(10, 2);  // white brush: bits of pixels 0..9 set
  { TBitmapRowGuard guard(b); }
  for (int y = 0; y < 2; ++y) EXPECT_EQ(Row(b, y), (std::vector<uint8_t>{0xFF, 0xC0, 0, 0}));
}

TEST(BitmapOverwrite, SetSizeStillFillsGrowthAndClearsShrunkRows) {
  TBitmap b(2, 2, pf24bit);  // white
  b.ScanLine(0)[0] = 7;
  b.Canvas().Brush().SetColor(RGB(1, 2, 3));
  b.SetSize(3, 3);
  EXPECT_EQ(Row(b, 0), (std::vector<uint8_t>{7, 255, 255, 255, 255, 255, 3, 2, 1, 0, 0, 0}));
  EXPECT_EQ(Row(b, 2), (std::vector<uint8_t>{3, 2, 1, 3, 2, 1, 3, 2, 1, 0, 0, 0}));
  b.SetSize(1, 1);
  EXPECT_EQ(Row(b, 0), (std::vector<uint8_t>{7, 255, 255, 0}));
}

TEST(BitmapOverwrite, LargeBitmapsKeepEveryByte) {
  // Large enough for the huge-page storage path.
  TBitmap b(1, 1, pf24bit);
  b.AllocateForOverwrite(1500, 1200);
  for (int y = 0; y < b.GetHeight(); ++y) {
    uint8_t* r = b.ScanLine(y);
    for (int x = 0; x < 4500; ++x) r[x] = uint8_t(x + y);
  }
  TBitmap copy;
  copy.Assign(b);
  EXPECT_EQ(copy.ScanLine(1199)[4499], uint8_t(4499 + 1199));
  EXPECT_EQ(copy.ScanLine(600)[0], uint8_t(600));
}

}  // namespace
}  // namespace pictavo
