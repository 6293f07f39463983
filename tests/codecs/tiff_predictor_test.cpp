// Undoing horizontal differencing: the grouped version against the plain
// definition (each sample plus the same sample of the pixel before it,
// modulo 2^bits) for 8- and 16-bit samples of both byte orders, one to five
// samples per pixel and odd widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codecs/tiffpredict.h"
#include "core/rowconv.h"

namespace pictavo {
namespace {

std::vector<uint8_t> Reference(std::vector<uint8_t> row, int spp, int pixels, int bps, bool le) {
  const int n = pixels * spp;
  if (bps == 8) {
    for (int i = spp; i < n; ++i) row[size_t(i)] = uint8_t(row[size_t(i)] + row[size_t(i - spp)]);
    return row;
  }
  auto get = [&](int i) {
    const uint8_t* p = &row[size_t(2 * i)];
    return le ? unsigned(p[0] | p[1] << 8) : unsigned(p[0] << 8 | p[1]);
  };
  for (int i = spp; i < n; ++i) {
    const unsigned v = (get(i) + get(i - spp)) & 0xFFFF;
    row[size_t(2 * i + (le ? 0 : 1))] = uint8_t(v);
    row[size_t(2 * i + (le ? 1 : 0))] = uint8_t(v >> 8);
  }
  return row;
}

void ExpectUndoMatchesTheDefinition();

// Every kernel set the processor runs (vector and portable) gives the bytes
// of the definition.
TEST(TiffPredictor, GroupedUndoMatchesTheDefinition) {
  const TPVRowKernels saved = PVRowKernels();
  for (TPVRowKernels kernels : {rkPortable, rkSSSE3, rkAVX2}) {
    if (PVSetRowKernels(kernels) != kernels) continue;
    SCOPED_TRACE(int(kernels));
    ExpectUndoMatchesTheDefinition();
  }
  PVSetRowKernels(saved);
}

TEST(TiffPredictor, LongRowsInPlaceAndApart) {
  const TPVRowKernels saved = PVRowKernels();
  std::mt19937 rng(11);
  for (int spp : {1, 3, 4})
    for (int pixels : {4000, 4001, 4002, 4003}) {
      std::vector<uint8_t> row(size_t(pixels * spp));
      for (auto& b : row) b = uint8_t(rng());
      const std::vector<uint8_t> want = Reference(row, spp, pixels, 8, false);
      for (TPVRowKernels kernels : {rkPortable, rkSSSE3, rkAVX2}) {
        if (PVSetRowKernels(kernels) != kernels) continue;
        std::vector<uint8_t> inPlace = row, apart(row.size());
        TIFFUndoPredictor(inPlace.data(), spp, pixels, 8, false);
        TIFFUndoPredictorInto(row.data(), apart.data(), spp, pixels, 8, false);
        EXPECT_EQ(inPlace, want) << spp << " samples, " << pixels << " px, kernels " << kernels;
        EXPECT_EQ(apart, want) << spp << " samples, " << pixels << " px, kernels " << kernels;
      }
    }
  PVSetRowKernels(saved);
}

void ExpectUndoMatchesTheDefinition() {
  std::mt19937 rng(3);
  for (int bps : {8, 16})
    for (bool le : {true, false})
      for (int spp = 1; spp <= 5; ++spp)
        for (int pixels : {1, 2, 3, 5, 6, 7, 16, 17, 31, 33}) {
          std::vector<uint8_t> row(size_t(pixels * spp * bps / 8) + 4);
          for (auto& b : row) b = uint8_t(rng());
          const std::vector<uint8_t> want = Reference(row, spp, pixels, bps, le);
          // From another buffer: every byte of the pixels written, the rest kept.
          std::vector<uint8_t> into(row.size(), 0xC3);
          TIFFUndoPredictorInto(row.data(), into.data(), spp, pixels, bps, le);
          const size_t used = size_t(pixels * spp * bps / 8);
          EXPECT_TRUE(std::equal(into.begin(), into.begin() + int64_t(used), want.begin()))
              << "into: " << bps << " bits, " << spp << " samples, " << pixels << " px";
          EXPECT_EQ(into.back(), 0xC3);
          TIFFUndoPredictor(row.data(), spp, pixels, bps, le);
          EXPECT_EQ(row, want) << bps << " bits, " << spp << " samples, " << pixels << " px";
        }
}

TEST(TiffPredictor, OtherDepthsAreLeftAlone) {
  std::vector<uint8_t> row = {1, 2, 3, 4, 5, 6};
  TIFFUndoPredictor(row.data(), 1, 6, 4, false);
  EXPECT_EQ(row, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace pictavo
