// Colour-change positions of packed bilevel rows, checked against a
// bit-by-bit reference on rows whose runs cross whole 64-bit words, and the
// decoder's reads near the end of the data.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "codecs/tiffccitt.h"

namespace pictavo {
namespace {

// The reference: every x where the bit differs from the one before it, the
// bit before position 0 being startBit.
std::vector<int> ChangesBitByBit(const std::vector<uint8_t>& row, int width, int startBit) {
  std::vector<int> out;
  int previous = startBit & 1;
  for (int x = 0; x < width; ++x) {
    int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
    if (bit != previous) out.push_back(x);
    previous = bit;
  }
  return out;
}

// Runs of 1 to maxRun pixels of alternating colour; the padding bits after
// `width` are set so that a scan past the width would find them.
std::vector<uint8_t> RandomRow(std::mt19937& rng, int width, int firstColour, int maxRun) {
  std::vector<uint8_t> row(size_t((width + 7) / 8) + 8, 0);
  int colour = firstColour;
  for (int x = 0; x < width;) {
    int run = int(rng() % unsigned(maxRun)) + 1;
    for (int i = 0; i < run && x < width; ++i, ++x)
      if (colour) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    colour ^= 1;
  }
  for (int x = width; x < int(row.size()) * 8; ++x) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
  return row;
}

TEST(CCITTChanges, MatchBitByBitAcrossWords) {
  std::mt19937 rng(2480);
  for (int width : {1, 7, 63, 64, 65, 127, 129, 1728, 2480}) {
    for (int maxRun : {3, 70, 700, 5000}) {
      for (int trial = 0; trial < 6; ++trial) {
        std::vector<uint8_t> row = RandomRow(rng, width, trial & 1, maxRun);
        for (int startBit : {0, 1}) {
          std::vector<int> got;
          CCITTRowChanges(row.data(), width, startBit, got);
          EXPECT_EQ(got, ChangesBitByBit(row, width, startBit))
              << "width " << width << " maxRun " << maxRun << " start " << startBit;
        }
      }
    }
  }
}

TEST(CCITTChanges, UniformRowsHaveAtMostOneChange) {
  for (int width : {8, 64, 72, 2480}) {
    std::vector<uint8_t> ones(size_t(width / 8), 0xFF), zeros(size_t(width / 8), 0);
    std::vector<int> got;
    CCITTRowChanges(ones.data(), width, 1, got);
    EXPECT_TRUE(got.empty());
    CCITTRowChanges(zeros.data(), width, 0, got);
    EXPECT_TRUE(got.empty());
    CCITTRowChanges(ones.data(), width, 0, got);
    EXPECT_EQ(got, std::vector<int>{0});
    // The change is in the last pixel, after whole words of one colour.
    zeros.back() = 0x01;
    CCITTRowChanges(zeros.data(), width, 0, got);
    EXPECT_EQ(got, std::vector<int>{width - 1});
  }
}

// Group 4 rows whose codes end in every one of the last bytes: the decoder
// reads whole words away from the end and byte by byte near it, and both
// must give the rows that were encoded.
TEST(CCITTChanges, DecodingUpToTheLastByte) {
  const int width = 2480;
  std::mt19937 rng(4);
  for (int rows = 1; rows <= 12; ++rows) {
    std::vector<std::vector<uint8_t>> in;
    TCCITTEncoder enc(ccG4, width);
    for (int y = 0; y < rows; ++y) {
      in.push_back(RandomRow(rng, width, 0, 400));
      enc.EncodeRow(in.back().data());
    }
    enc.Finish();
    std::vector<uint8_t> data = enc.Bytes();  // exactly the coded bytes
    TCCITTDecoder dec(ccG4, data.data(), int64_t(data.size()), 1, width);
    std::vector<uint8_t> out(size_t(width / 8));
    for (int y = 0; y < rows; ++y) {
      ASSERT_TRUE(dec.DecodeRow(out.data()));
      for (int i = 0; i < width / 8; ++i)
        ASSERT_EQ(out[size_t(i)], uint8_t(~in[size_t(y)][size_t(i)]))
            << "row " << y << " byte " << i;
    }
  }
}

// One black run of every length from 1 to 300 pixels at every bit offset
// of a byte: the decoded row must be white except exactly that run, which
// covers the partial first and last bytes and every width of whole bytes
// cleared between them.
TEST(CCITTChanges, EveryRunLengthAndOffsetDecodes) {
  const int width = 320;
  const size_t bytes = width / 8;
  for (int start = 0; start < 8; ++start) {
    TCCITTEncoder enc(ccG3_1D, width);
    std::vector<std::vector<uint8_t>> in;
    for (int length = 1; start + length <= 300; ++length) {
      std::vector<uint8_t> row(bytes, 0);
      for (int x = start; x < start + length; ++x) row[size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
      enc.EncodeRow(row.data());
      in.push_back(row);
    }
    enc.Finish();
    std::vector<uint8_t> data = enc.Bytes();
    TCCITTDecoder dec(ccG3_1D, data.data(), int64_t(data.size()), 1, width);
    std::vector<uint8_t> out(bytes);
    for (size_t y = 0; y < in.size(); ++y) {
      ASSERT_TRUE(dec.DecodeRow(out.data()));
      for (size_t i = 0; i < bytes; ++i)
        ASSERT_EQ(out[i], uint8_t(~in[y][i])) << "start " << start << " length " << y + 1;
    }
  }
}

}  // namespace
}  // namespace pictavo
