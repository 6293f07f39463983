#include "core/pvutils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/conversions.h"
#include "core/pvdefs.h"

namespace pictavo {
namespace {

TEST(PVUtils, RowLengthsAndBitCounts) {
  EXPECT_EQ(_BitmapRowLen(1, 1), 4);
  EXPECT_EQ(_BitmapRowLen(3, 24), 12);
  EXPECT_EQ(_BitmapRowLen(5, 24), 16);
  EXPECT_EQ(_BitmapRowLen(33, 1), 8);
  EXPECT_EQ(_BitmapRowLen(0, 24), 0);
  EXPECT_EQ(_Bitcount2Pixelformat(2), pfCustom);
  EXPECT_EQ(_Bitcount2Pixelformat(15), pf15bit);
  EXPECT_EQ(_Pixelformat2BitCount(pfCustom), 0);
  EXPECT_EQ(_Pixelformat2BitCount(pfDevice), 0);
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit})
    EXPECT_EQ(_Bitcount2Pixelformat(_Pixelformat2BitCount(f)), f);
  EXPECT_EQ(_GetBitCount(0x03E0), 5);
  EXPECT_EQ(_GetBitCount(0x7C00), 5);
  EXPECT_EQ(_GetBitCount(0xF800), 5);
  EXPECT_EQ(_GetBitCount(0), 0);
  EXPECT_EQ(_GetBitCount(0x80000000u), 1);
  EXPECT_EQ(_GetBitCount(0xFFFFFFFFu), 32);
  EXPECT_EQ(_GetBitCount(0x0F0F), 4);  // only the first run counts
  EXPECT_EQ(_NColToBitsPixel(0), -1);
  EXPECT_EQ(_NColToBitsPixel(1), 0);
  EXPECT_EQ(_NColToBitsPixel(2), 1);
  EXPECT_EQ(_NColToBitsPixel(3), 2);
  EXPECT_EQ(_NColToBitsPixel(16), 4);
  EXPECT_EQ(_NColToBitsPixel(17), 5);
  EXPECT_EQ(_NColToBitsPixel(256), 8);
}

TEST(PVUtils, BitReversalAndSwaps) {
  uint8_t b = 0x01;
  ReverseBitsB(b);
  EXPECT_EQ(b, 0x80);
  b = 0xC4;
  ReverseBitsB(b);
  EXPECT_EQ(b, 0x23);
  uint32_t v = 1;
  EXPECT_EQ(ReverseBits(v), 0x80000000u);
  EXPECT_EQ(v, 0x80000000u);
  v = 0x12345678;
  EXPECT_EQ(ReverseBits(v), 0x1E6A2C48u);
  EXPECT_EQ(PVSwapWord(0x1234), 0x3412);
  EXPECT_EQ(PVSwapDWord(0x12345678), 0x78563412u);
}

TEST(PVUtils, PowerCases) {
  EXPECT_EQ(PVPower(0, 0), 1);
  EXPECT_EQ(PVPower(0, 3), 0);
  EXPECT_EQ(PVPower(2, 10), 1024);
  EXPECT_EQ(PVPower(2, -2), 0.25);
  EXPECT_EQ(PVPower(-3, 3), -27);
  EXPECT_NEAR(double(PVPower(9, 0.5)), 3.0, 1e-12);
}

TEST(PVUtils, Arithmetic64) {
  uint32_t lo, hi;
  PVAdd64(0xFFFFFFFF, 0, 1, 0, lo, hi);
  EXPECT_EQ(lo, 0u);
  EXPECT_EQ(hi, 1u);
  PVAdd64(0xFFFFFFFF, 0xFFFFFFFF, 2, 0, lo, hi);  // the final carry is dropped
  EXPECT_EQ(lo, 1u);
  EXPECT_EQ(hi, 0u);
  EXPECT_TRUE(PVGreater64(0, 2, 0xFFFFFFFF, 1));
  EXPECT_FALSE(PVGreater64(5, 1, 5, 1));
  EXPECT_TRUE(PVGreater64(6, 1, 5, 1));
  PVMul64(0xFFFFFFFF, 0xFFFFFFFF, lo, hi);
  EXPECT_EQ(lo, 1u);
  EXPECT_EQ(hi, 0xFFFFFFFEu);
}

TEST(PVUtils, FileSizeAndSafeWrite) {
  EXPECT_EQ(_getfilesize("/nonexistent/dir/file.bin"), -1);
  std::string name = ::testing::TempDir() + "pvutils_size.bin";
  {
    TFileStream f(name, fmCreate);
    uint8_t bytes[123] = {};
    bool abort = false;
    SafeStreamWrite(f, abort, bytes, 123);
    EXPECT_FALSE(abort);
  }
  EXPECT_EQ(_getfilesize(name), 123);
  std::remove(name.c_str());
  // A stream that takes nothing sets the flag.
  TReadOnlyMemoryStream ro("x", 1);
  bool abort = false;
  SafeStreamWrite(ro, abort, "abc", 3);
  EXPECT_TRUE(abort);
}

// The row loop every reader runs: report before each row, stop when the
// handler has set the abort flag.
TEST(ProgressRec, AbortInFirstReportStopsBeforeAnyRow) {
  bool aborting = false;
  std::vector<int> reports;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.ProgressEvent = [&](TObject*, int per) {
    reports.push_back(per);
    aborting = true;
  };
  // A 24-bit DIB of 4 rows, read by a reader-style loop into a bitmap.
  TBitmap bitmap(3, 4, pf24bit);
  for (int y = 0; y < 4; ++y) std::memset(bitmap.ScanLine(y), 0x11, 9);
  const int rows = 4;
  progress.PerUnit = 100.0 / rows;
  int read = 0;
  for (int y = 0; y < rows; ++y) {
    if (progress.Report(int(y * progress.PerUnit))) break;
    std::memset(bitmap.ScanLine(y), 0x77, 9);
    ++read;
  }
  EXPECT_EQ(read, 0);
  EXPECT_EQ(reports, std::vector<int>{0});
  EXPECT_EQ(bitmap.ScanLine(0)[0], 0x11);  // untouched rows keep what they held
  // Without a handler nothing is reported and nothing stops.
  aborting = false;
  TProgressRec quiet;
  quiet.Aborting = &aborting;
  EXPECT_FALSE(quiet.Report(50));
  quiet.Abort();
  EXPECT_TRUE(aborting);
}

}  // namespace
}  // namespace pictavo
