// PackBits rows: the encoder's bytes against a plain statement of its rule
// (runs of four or more become run codes, everything else literals of at
// most 128), appended to what the output held; the decoder over literals of
// every length up to 128, and rows cut short.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/packbits.h"

namespace pictavo {
namespace {

std::vector<uint8_t> ReferenceEncode(const std::vector<uint8_t>& row) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> lit;
  auto flush = [&] {
    if (lit.empty()) return;
    out.push_back(uint8_t(lit.size() - 1));
    out.insert(out.end(), lit.begin(), lit.end());
    lit.clear();
  };
  size_t p = 0;
  while (p < row.size()) {
    size_t run = 1;
    while (p + run < row.size() && run < 128 && row[p + run] == row[p]) ++run;
    if (run >= 4) {
      flush();
      out.push_back(uint8_t(1 - int(run)));
      out.push_back(row[p]);
      p += run;
    } else {
      if (lit.size() == 128) flush();
      lit.push_back(row[p++]);
    }
  }
  flush();
  return out;
}

std::vector<uint8_t> MixedRow(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> row;
  while (row.size() < n) {
    const int kind = int(rng() % 4);
    const size_t len = 1 + rng() % (kind == 0 ? 300 : 9);
    const uint8_t v = uint8_t(rng());
    for (size_t i = 0; i < len && row.size() < n; ++i)
      row.push_back(kind == 0 ? v : uint8_t(rng()));
  }
  return row;
}

TEST(PackBitsRows, EncoderGivesTheRuleBytesAndAppends) {
  for (size_t n : {size_t(1), size_t(3), size_t(5), size_t(7), size_t(31), size_t(33), size_t(129),
                   size_t(5000)}) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
      const std::vector<uint8_t> row = MixedRow(n, seed);
      std::vector<uint8_t> out = {0xEE};
      PackBitsEncodeRow(row.data(), int64_t(row.size()), out);
      std::vector<uint8_t> want = {0xEE};
      const std::vector<uint8_t> ref = ReferenceEncode(row);
      want.insert(want.end(), ref.begin(), ref.end());
      ASSERT_EQ(out, want) << n << " " << seed;
      std::vector<uint8_t> back(n + 1, 0x55);
      bool complete = false;
      EXPECT_EQ(PackBitsDecodeRow(out.data() + 1, int64_t(out.size() - 1), back.data(), int64_t(n),
                                  complete),
                int64_t(out.size() - 1));
      EXPECT_TRUE(complete);
      EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + int64_t(n)), row);
      EXPECT_EQ(back[n], 0x55);  // nothing written past the row
    }
  }
}

TEST(PackBitsRows, DecoderLiteralsOfEveryLengthAndCutRows) {
  for (int len = 1; len <= 128; ++len) {
    std::vector<uint8_t> code = {uint8_t(len - 1)};
    for (int i = 0; i < len; ++i) code.push_back(uint8_t(i * 7 + len));
    std::vector<uint8_t> out(size_t(len) + 4, 0xAA);
    bool complete = false;
    PackBitsDecodeRow(code.data(), int64_t(code.size()), out.data(), len, complete);
    EXPECT_TRUE(complete);
    for (int i = 0; i < len; ++i) ASSERT_EQ(out[size_t(i)], uint8_t(i * 7 + len)) << len;
    EXPECT_EQ(out[size_t(len)], 0xAA);
  }
  // A literal of 10 announced, 4 there: those 4, then zeros; not complete.
  const std::vector<uint8_t> cut = {9, 1, 2, 3, 4};
  std::vector<uint8_t> out(8, 0xAA);
  bool complete = true;
  EXPECT_EQ(PackBitsDecodeRow(cut.data(), 5, out.data(), 8, complete), 5);
  EXPECT_FALSE(complete);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace pictavo
