// The TIFF row coders: LZW, CCITT (all four modes, both fill orders) and
// PackBits, over random rows of awkward widths and hand-made streams.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/packbits.h"
#include "codecs/tiffccitt.h"
#include "codecs/tifflzw.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

std::vector<uint8_t> LZWEncode(const std::vector<std::vector<uint8_t>>& rows) {
  TMemoryStream out;
  void* state = nullptr;
  for (const auto& r : rows) EXPECT_TRUE(TIFFLZWCompress(r.data(), int(r.size()), out, state));
  EXPECT_TRUE(TIFFLZWCompress(nullptr, 0, out, state));
  EXPECT_EQ(state, nullptr);
  return std::vector<uint8_t>(out.Memory(), out.Memory() + out.GetSize());
}

TEST(TiffLZW, RoundTripsRowsOfEveryKind) {
  std::mt19937 rng(11);
  for (int width : {1, 7, 8, 9, 1727, 2560, 2561}) {
    std::vector<std::vector<uint8_t>> rows(40, std::vector<uint8_t>(static_cast<size_t>(width)));
    for (size_t y = 0; y < rows.size(); ++y)
      for (int x = 0; x < width; ++x)
        rows[y][x] = y % 3 == 0 ? uint8_t(rng()) : y % 3 == 1 ? uint8_t(x / 5) : uint8_t(7);
    std::vector<uint8_t> enc = LZWEncode(rows);
    void* state = nullptr;
    for (size_t y = 0; y < rows.size(); ++y) {
      uint8_t* r = TIFFLZWDecompress(enc.data(), int64_t(enc.size()), width, state);
      ASSERT_NE(r, nullptr) << width << " " << y;
      ASSERT_EQ(std::vector<uint8_t>(r, r + width), rows[y]) << width << " " << y;
    }
    EXPECT_EQ(TIFFLZWDecompress(enc.data(), int64_t(enc.size()), width, state), nullptr);
    TIFFLZWDecompress(nullptr, 0, 0, state);
    EXPECT_EQ(state, nullptr);
  }
}

// Writes codes of the given widths most significant bit first.
std::vector<uint8_t> Codes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> out;
  uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    acc = (acc << width) | unsigned(code);
    bits += width;
    while (bits >= 8) {
      bits -= 8;
      out.push_back(uint8_t(acc >> bits));
    }
  }
  if (bits) out.push_back(uint8_t(acc << (8 - bits)));
  return out;
}

TEST(TiffLZW, KwKwKClearEndAndEarlyWidthChange) {
  // 'a', then code 258 before it is defined (KwKwK: "aa"), then 258 again.
  auto data = Codes({{256, 9}, {'a', 9}, {258, 9}, {258, 9}, {257, 9}});
  void* state = nullptr;
  uint8_t* r = TIFFLZWDecompress(data.data(), int64_t(data.size()), 5, state);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r), 5), "aaaaa");
  TIFFLZWDecompress(nullptr, 0, 0, state);

  // A clear code followed at once by end of information: no data, no error.
  auto empty = Codes({{256, 9}, {257, 9}});
  EXPECT_EQ(TIFFLZWDecompress(empty.data(), int64_t(empty.size()), 4, state), nullptr);
  TIFFLZWDecompress(nullptr, 0, 0, state);

  // 253 literal codes take the table to 510 entries, the next code to 511:
  // from then on codes are 10 bits wide.
  std::vector<std::pair<int, int>> codes{{256, 9}};
  for (int i = 0; i < 254; ++i) codes.push_back({i & 0xFF, 9});
  codes.push_back({'z', 10});
  codes.push_back({257, 10});
  auto wide = Codes(codes);
  r = TIFFLZWDecompress(wide.data(), int64_t(wide.size()), 255, state);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r[253], 253);
  EXPECT_EQ(r[254], 'z');
  TIFFLZWDecompress(nullptr, 0, 0, state);
}

TEST(TiffLZW, CorruptAndTruncatedStreams) {
  void* state = nullptr;
  // A code far beyond the table.
  auto bad = Codes({{256, 9}, {'a', 9}, {400, 9}});
  EXPECT_EQ(TIFFLZWDecompress(bad.data(), int64_t(bad.size()), 4, state), nullptr);
  TIFFLZWDecompress(nullptr, 0, 0, state);
  // A stream cut in the middle: the part there is comes out, the rest zero,
  // and nothing is read past the given length (ASan checks the copy).
  std::vector<std::vector<uint8_t>> rows(4, std::vector<uint8_t>(100, 9));
  for (int i = 0; i < 100; ++i) rows[1][i] = uint8_t(i * 37);
  auto enc = LZWEncode(rows);
  std::vector<uint8_t> cut(enc.begin(), enc.begin() + long(enc.size() / 2));
  int got = 0;
  while (uint8_t* r = TIFFLZWDecompress(cut.data(), int64_t(cut.size()), 100, state)) {
    if (got == 0) {
      EXPECT_EQ(std::vector<uint8_t>(r, r + 100), rows[0]);
    }
    ++got;
  }
  EXPECT_GE(got, 1);
  EXPECT_LE(got, 3);
  TIFFLZWDecompress(nullptr, 0, 0, state);
}

TEST(TiffPackBits, RunsLiteralsAndSkippedControlByte) {
  std::vector<uint8_t> row(130, 0x55), out;
  PackBitsEncodeRow(row.data(), 130, out);
  // A run of 128 (count byte -127) and a run or literal for the last two.
  ASSERT_GE(out.size(), 4u);
  EXPECT_EQ(out[0], uint8_t(-127));
  EXPECT_EQ(out[1], 0x55);
  std::vector<uint8_t> back(130);
  bool complete = false;
  EXPECT_EQ(PackBitsDecodeRow(out.data(), int64_t(out.size()), back.data(), 130, complete),
            int64_t(out.size()));
  EXPECT_TRUE(complete);
  EXPECT_EQ(back, row);

  const uint8_t withSkip[] = {0x80, 0x01, 'a', 'b', 0xFE, 'c'};
  uint8_t dest[5];
  EXPECT_EQ(PackBitsDecodeRow(withSkip, 6, dest, 5, complete), 6);
  EXPECT_TRUE(complete);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dest), 5), "abccc");
  // Data that ends early leaves the rest of the row zero.
  EXPECT_EQ(PackBitsDecodeRow(withSkip, 3, dest, 5, complete), 3);
  EXPECT_FALSE(complete);
  EXPECT_EQ(dest[0], 'a');
  EXPECT_EQ(dest[1], 0);

  std::mt19937 rng(5);
  for (int width : {1, 7, 8, 9, 1727, 2560, 2561}) {
    std::vector<uint8_t> r(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i) r[i] = (i / 9) % 2 ? uint8_t(rng() & 3) : 0xAA;
    std::vector<uint8_t> enc, dec(static_cast<size_t>(width));
    PackBitsEncodeRow(r.data(), width, enc);
    PackBitsDecodeRow(enc.data(), int64_t(enc.size()), dec.data(), width, complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(dec, r) << width;
  }
}

uint8_t Rev(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r |= uint8_t(((b >> i) & 1) << (7 - i));
  return r;
}

class TiffCCITT : public ::testing::TestWithParam<TCCITTMode> {};

TEST_P(TiffCCITT, RoundTripsAwkwardWidthsInBothFillOrders) {
  std::mt19937 rng(21);
  for (int width : {1, 7, 8, 9, 1727, 2560, 2561}) {
    int bytes = (width + 7) / 8;
    std::vector<std::vector<uint8_t>> rows(24, std::vector<uint8_t>(static_cast<size_t>(bytes)));
    for (size_t y = 0; y < rows.size(); ++y) {
      int x = 0;
      int color = y % 2;  // odd rows start black
      while (x < width) {
        int run = y == 5 ? width : y == 6 ? 2560 : int(rng() % (y < 12 ? 9 : 300)) + 1;
        for (int i = 0; i < run && x < width; ++i, ++x)
          if (color) rows[y][x >> 3] |= uint8_t(0x80 >> (x & 7));
        color ^= 1;
      }
      if (y > 12 && y % 2) rows[y] = rows[y - 1];  // identical rows for the 2-D modes
    }
    TCCITTEncoder enc(GetParam(), width);
    for (const auto& r : rows) enc.EncodeRow(r.data());
    enc.Finish();
    std::vector<uint8_t> data = enc.Bytes();
    for (int fill : {1, 2}) {
      std::vector<uint8_t> in = data;
      if (fill == 2)
        for (uint8_t& b : in) b = Rev(b);
      TCCITTDecoder dec(GetParam(), in.data(), int64_t(in.size()), fill, width);
      std::vector<uint8_t> out(static_cast<size_t>(bytes));
      for (size_t y = 0; y < rows.size(); ++y) {
        ASSERT_TRUE(dec.DecodeRow(out.data()));
        // Decoded rows have bit 1 = white, the encoder took bit 1 = black.
        for (int x = 0; x < width; ++x) {
          bool black = (rows[y][x >> 3] >> (7 - (x & 7))) & 1;
          bool white = (out[x >> 3] >> (7 - (x & 7))) & 1;
          ASSERT_NE(black, white) << "width " << width << " fill " << fill << " row " << y << " x "
                                  << x;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, TiffCCITT, ::testing::Values(ccMH, ccG3_1D, ccG3_2D, ccG4));

// Bits written as text.
std::vector<uint8_t> Bits(const std::string& s) {
  std::vector<uint8_t> out((s.size() + 7) / 8);
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == '1') out[i / 8] |= uint8_t(0x80 >> (i % 8));
  return out;
}

TEST(TiffCCITTCodes, RunCodesAndEdgeCases) {
  // A row starting black begins with a white run of 0 (00110101), then
  // black 2 (11), white 6 (1110).
  {
    TCCITTEncoder enc(ccMH, 8);
    uint8_t row = 0xC0;
    enc.EncodeRow(&row);
    EXPECT_EQ(enc.Bytes(), Bits("00110101"
                                "11"
                                "1110"));
  }
  // 2560 white: make-up 2560 and terminating 0; 2561: make-up 2560, term 1.
  {
    std::vector<uint8_t> row(321, 0);
    TCCITTEncoder a(ccMH, 2560), b(ccMH, 2561);
    a.EncodeRow(row.data());
    b.EncodeRow(row.data());
    EXPECT_EQ(a.Bytes(), Bits("000000011111"
                              "00110101"));
    EXPECT_EQ(b.Bytes(), Bits("000000011111"
                              "000111"));
  }
  // Group 3 2-D: an EOL with tag bit 1 makes the row one-dimensional: white
  // 4 (1011), black 4 (011) after fill zeros before the EOL.
  {
    auto data = Bits(
        "0000"
        "000000000001"
        "1"
        "1011"
        "011");
    TCCITTDecoder dec(ccG3_2D, data.data(), int64_t(data.size()), 1, 8);
    uint8_t row = 0;
    ASSERT_TRUE(dec.DecodeRow(&row));
    EXPECT_EQ(row, 0xF0);
  }
  // Uncompressed mode in a 2-D row: the extension code, "01" (one white, one
  // black), then exit with two white pixels and tag 0, then V0 to the end.
  {
    auto data = Bits(
        "0000001111"
        "01"
        "000000001"
        "0"
        "1");
    TCCITTDecoder dec(ccG4, data.data(), int64_t(data.size()), 1, 8);
    uint8_t row = 0;
    ASSERT_TRUE(dec.DecodeRow(&row));
    EXPECT_EQ(row, 0xBF);
  }
  // Garbage ends at the strip's end: every row completes, nothing is read
  // beyond the data (ASan), and later rows report the end.
  {
    std::vector<uint8_t> junk = {0x00, 0x00, 0x01, 0xFF, 0x13};
    for (TCCITTMode m : {ccMH, ccG3_1D, ccG3_2D, ccG4}) {
      TCCITTDecoder dec(m, junk.data(), int64_t(junk.size()), 1, 1728);
      std::vector<uint8_t> row(216);
      int rows = 0;
      while (dec.DecodeRow(row.data()) && rows < 100000) ++rows;
      EXPECT_LT(rows, 100000);
    }
  }
}

}  // namespace
}  // namespace pictavo
