// The row functions over the CCITT coders, with the state kept by the
// caller, against the coder classes bit for bit, and against the rows
// themselves.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/tiffccitt.h"

namespace pictavo {
namespace {

constexpr int kWidth = 37;
constexpr int kRows = 9;
constexpr int kRowBytes = (kWidth + 7) / 8;

// Rows with bit 1 = black: runs of many lengths, an all-white and an
// all-black row, a row starting black.
std::vector<std::vector<uint8_t>> BlackRows() {
  std::vector<std::vector<uint8_t>> rows(kRows, std::vector<uint8_t>(kRowBytes, 0));
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kWidth; ++x) {
      bool black = y == 3   ? false
                   : y == 4 ? true
                            : ((x / (y + 1)) + y) % 3 == 0 || (x * y) % 11 == 1;
      if (black) rows[y][x / 8] |= uint8_t(0x80 >> (x % 8));
    }
  return rows;
}

struct Encoded {
  std::vector<uint8_t> bytes;
  int pendingBits = 0;
  uint8_t pendingByte = 0;
};

Encoded WithClass(TCCITTMode mode, bool finish) {
  TCCITTEncoder e(mode, kWidth);
  for (const auto& row : BlackRows()) e.EncodeRow(row.data());
  Encoded r;
  r.pendingBits = e.PendingBits();
  r.pendingByte = e.PendingByte();
  if (finish) e.Finish();
  r.bytes = e.Bytes();
  return r;
}

Encoded WithLines(TCCITTMode mode) {
  const auto rows = BlackRows();
  TMemoryStream m;
  bool aborting = false;
  Encoded r;
  const uint8_t* ref = nullptr;
  for (const auto& row : rows) {
    switch (mode) {
      case ccMH:
        CCITTHuffmanPutLine(row.data(), kWidth, m, aborting);
        break;
      case ccG3_1D:
        CCITTHuffmanPutLineG3(row.data(), kWidth, m, aborting, r.pendingBits, r.pendingByte);
        break;
      case ccG3_2D:
        CCITTHuffmanPutLineG32D(row.data(), kWidth, m, aborting, ref, r.pendingBits, r.pendingByte);
        EXPECT_EQ(ref, row.data());
        break;
      case ccG4:
        CCITTHuffmanPutLineG4(row.data(), kWidth, m, aborting, ref, r.pendingBits, r.pendingByte);
        break;
    }
  }
  EXPECT_FALSE(aborting);
  r.bytes.assign(m.Memory(), m.Memory() + m.GetSize());
  return r;
}

TEST(CCITTLines, EncodersMatchTheCoderBitForBit) {
  for (TCCITTMode mode : {ccMH, ccG3_1D, ccG3_2D, ccG4}) {
    SCOPED_TRACE(int(mode));
    Encoded a = WithClass(mode, false), b = WithLines(mode);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.pendingBits, b.pendingBits);
    EXPECT_EQ(a.pendingByte, b.pendingByte);
    EXPECT_FALSE(a.bytes.empty());
    if (mode == ccMH) {
      EXPECT_EQ(b.pendingBits, 0);  // every row ends on a byte
    }
  }
}

TEST(CCITTLines, ShortWriteSetsAborting) {
  TReadOnlyMemoryStream full(nullptr, 0);
  bool aborting = false;
  CCITTHuffmanPutLine(BlackRows()[0].data(), kWidth, full, aborting);
  EXPECT_TRUE(aborting);
}

// Decoded rows (bit 1 = white) must be the inverted input rows; the class
// and the row functions must agree, for both fill orders.
TEST(CCITTLines, DecodersMatchTheCoderAndTheRows) {
  const auto rows = BlackRows();
  for (TCCITTMode mode : {ccMH, ccG3_1D, ccG3_2D, ccG4}) {
    for (int fillOrder : {1, 2}) {
      SCOPED_TRACE(std::to_string(int(mode)) + " fill " + std::to_string(fillOrder));
      std::vector<uint8_t> data = WithClass(mode, true).bytes;
      if (fillOrder == 2)
        for (uint8_t& b : data) {
          uint8_t r = 0;
          for (int i = 0; i < 8; ++i) r |= uint8_t(((b >> i) & 1) << (7 - i));
          b = r;
        }
      const int64_t n = static_cast<int64_t>(data.size());
      TCCITTDecoder d(mode, data.data(), n, fillOrder, kWidth);
      int64_t pos = 0;
      std::vector<uint8_t> ref(kRowBytes, 0xFF);
      for (int y = 0; y < kRows; ++y) {
        std::vector<uint8_t> a(kRowBytes), b(kRowBytes);
        ASSERT_TRUE(d.DecodeRow(a.data()));
        switch (mode) {
          case ccMH:
            pos += CCITTHuffmanGetLine(b.data(), data.data() + pos, n - pos, kWidth, fillOrder);
            break;
          case ccG3_1D:
            pos = _CCITTHuffmanGetLine(b.data(), data.data(), n, kWidth, fillOrder, pos);
            break;
          default:
            pos = CCITT3_2D_GetLine(b.data(), data.data(), n, fillOrder, pos, ref.data(), kWidth,
                                    mode == ccG4);
            EXPECT_EQ(ref, b);
        }
        EXPECT_EQ(a, b) << "row " << y;
        for (int x = 0; x < kWidth; ++x) {
          bool white = (b[x / 8] >> (7 - x % 8)) & 1;
          bool black = (rows[y][x / 8] >> (7 - x % 8)) & 1;
          EXPECT_NE(white, black) << "row " << y << " x " << x;
        }
      }
      EXPECT_LE(pos, n * (mode == ccMH ? 1 : 8));
    }
  }
}

TEST(CCITTLines, DecodersStayInsideTheData) {
  const uint8_t zeros[3] = {0, 0, 0};
  uint8_t row[kRowBytes];
  EXPECT_LE(CCITTHuffmanGetLine(row, zeros, 3, kWidth, 1), 3);
  EXPECT_LE(_CCITTHuffmanGetLine(row, zeros, 3, kWidth, 1, 5), 24);
  std::vector<uint8_t> ref(kRowBytes, 0xFF);
  EXPECT_LE(CCITT3_2D_GetLine(row, zeros, 3, 1, 0, ref.data(), kWidth, true), 24);
  EXPECT_EQ(CCITTHuffmanGetLine(row, nullptr, 0, kWidth, 1), 0);
}

}  // namespace
}  // namespace pictavo
