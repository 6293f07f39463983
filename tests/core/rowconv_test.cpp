// Channel-order swaps: every kernel this processor runs (portable, SSSE3,
// AVX2) gives the bytes of a plain reference, in place and between rows, on
// odd widths, and touches nothing past the row.
#include "core/rowconv.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace pictavo {
namespace {

constexpr int kGuard = 40;  // bytes after the row that must stay as they were
constexpr uint8_t kGuardByte = 0xA5;

std::vector<TPVRowKernels> AvailableKernels() {
  std::vector<TPVRowKernels> all;
  for (TPVRowKernels k : {rkPortable, rkSSSE3, rkAVX2})
    if (k <= PVBestRowKernels()) all.push_back(k);
  return all;
}

// Restores the processor's best kernels when a test ends.
struct KernelScope {
  ~KernelScope() { PVSetRowKernels(PVBestRowKernels()); }
};

std::vector<uint8_t> RandomRow(int pixels, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> row(size_t(pixels) * 3 + kGuard, kGuardByte);
  for (int i = 0; i < pixels * 3; ++i) row[size_t(i)] = uint8_t(rng());
  return row;
}

// Bytes 0 and 2 of every pixel exchanged, the guard kept.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& in, int pixels) {
  std::vector<uint8_t> out = in;
  for (int x = 0; x < pixels; ++x) {
    out[size_t(3 * x)] = in[size_t(3 * x + 2)];
    out[size_t(3 * x + 2)] = in[size_t(3 * x)];
  }
  return out;
}

const int kWidths[] = {1, 3, 5, 7, 31, 33, 6, 8, 10, 11, 16, 19, 64, 100, 1001};

TEST(RowConv, SwapRB24EveryKernelMatchesTheReference) {
  KernelScope restore;
  for (TPVRowKernels k : AvailableKernels()) {
    ASSERT_EQ(PVSetRowKernels(k), k);
    for (int w : kWidths) {
      const std::vector<uint8_t> in = RandomRow(w, uint32_t(w * 7 + k));
      const std::vector<uint8_t> want = Reference(in, w);
      std::vector<uint8_t> out(in.size(), kGuardByte);
      PVSwapRB24(in.data(), out.data(), w);
      EXPECT_EQ(out, want) << "kernel " << int(k) << " width " << w;
      std::vector<uint8_t> inPlace = in;
      PVSwapRB24(inPlace.data(), inPlace.data(), w);
      EXPECT_EQ(inPlace, want) << "in place, kernel " << int(k) << " width " << w;
    }
  }
}

TEST(RowConv, SwappingTwiceRestoresAndZeroPixelsDoNothing) {
  KernelScope restore;
  for (TPVRowKernels k : AvailableKernels()) {
    PVSetRowKernels(k);
    std::vector<uint8_t> row = RandomRow(33, 5);
    const std::vector<uint8_t> original = row;
    PVSwapRB24(row.data(), row.data(), 0);
    EXPECT_EQ(row, original);
    PVSwapRB24(row.data(), row.data(), 33);
    EXPECT_NE(row, original);
    PVSwapRB24(row.data(), row.data(), 33);
    EXPECT_EQ(row, original);
  }
}

TEST(RowConv, KernelChoiceIsClampedToTheProcessor) {
  KernelScope restore;
  EXPECT_EQ(PVSetRowKernels(rkAVX2), PVBestRowKernels());
  EXPECT_EQ(PVSetRowKernels(rkPortable), rkPortable);
  EXPECT_EQ(PVRowKernels(), rkPortable);
}

}  // namespace
}  // namespace pictavo
