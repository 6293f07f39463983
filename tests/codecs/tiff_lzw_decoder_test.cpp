// The TIFF LZW decoder against a plain prefix-chain decoder written here:
// the same rows from encoder output of every kind (long runs, noise, tables
// filled and cleared many times, strips far past the buffer's compaction
// size) and from hand-made code streams (a code defined by its own step,
// repeated clear codes, streams cut short, codes beyond the table).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codecs/tifflzw.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

// What a decoder must give for a strip: the rows, each completed with zeros
// when the data ends inside it, then nothing; a bad code ends it at once.
std::vector<std::vector<uint8_t>> ReferenceRows(const std::vector<uint8_t>& data, int rowLength) {
  std::vector<std::vector<uint8_t>> table(4096);
  for (int i = 0; i < 256; ++i) table[size_t(i)] = {uint8_t(i)};
  int64_t bit = 0;
  const int64_t bits = int64_t(data.size()) * 8;
  int width = 9, count = 258, prev = -1;
  std::vector<uint8_t> out;
  bool bad = false;
  auto next = [&]() -> int {
    if (bit + width > bits) return -1;
    int v = 0;
    for (int i = 0; i < width; ++i, ++bit)
      v = (v << 1) | ((data[size_t(bit >> 3)] >> (7 - (bit & 7))) & 1);
    return v;
  };
  auto add = [&](std::vector<uint8_t> s) {
    if (count >= 4096) return;
    table[size_t(count++)] = std::move(s);
    width = count >= 2047 ? 12 : count >= 1023 ? 11 : count >= 511 ? 10 : 9;
  };
  for (;;) {
    int code = next();
    if (code < 0 || code == 257) break;
    if (code == 256) {
      count = 258;
      width = 9;
      code = next();
      if (code < 0 || code == 257) break;
      if (code == 256) continue;
      if (code >= 256) {
        bad = true;
        break;
      }
      out.push_back(uint8_t(code));
      prev = code;
      continue;
    }
    if (prev < 0) {
      if (code >= 256) {
        bad = true;
        break;
      }
      out.push_back(uint8_t(code));
      prev = code;
      continue;
    }
    std::vector<uint8_t> s;
    if (code < count) {
      s = table[size_t(code)];
      std::vector<uint8_t> e = table[size_t(prev)];
      e.push_back(s[0]);
      add(e);
    } else if (code == count && count < 4096) {
      s = table[size_t(prev)];
      s.push_back(s[0]);
      add(s);
    } else {
      bad = true;
      break;
    }
    out.insert(out.end(), s.begin(), s.end());
    prev = code;
  }
  std::vector<std::vector<uint8_t>> rows;
  size_t at = 0;
  // Rows complete before a bad code are delivered; the one it hit is not.
  while (at < out.size() && (!bad || at + size_t(rowLength) <= out.size())) {
    std::vector<uint8_t> r(out.begin() + int64_t(at),
                           out.begin() + int64_t(std::min(out.size(), at + size_t(rowLength))));
    r.resize(size_t(rowLength), 0);
    rows.push_back(r);
    at += size_t(rowLength);
  }
  return rows;
}

std::vector<std::vector<uint8_t>> DecodedRows(const std::vector<uint8_t>& data, int rowLength) {
  std::vector<std::vector<uint8_t>> rows;
  void* state = nullptr;
  const uint8_t* p = data.empty() ? reinterpret_cast<const uint8_t*>("") : data.data();
  for (;;) {
    uint8_t* r = TIFFLZWDecompress(p, int64_t(data.size()), rowLength, state);
    if (!r) break;
    rows.emplace_back(r, r + rowLength);
  }
  TIFFLZWDecompress(nullptr, 0, 0, state);
  EXPECT_EQ(state, nullptr);
  return rows;
}

std::vector<uint8_t> Encode(const std::vector<uint8_t>& bytes) {
  TMemoryStream out;
  void* state = nullptr;
  EXPECT_TRUE(TIFFLZWCompress(bytes.data(), int(bytes.size()), out, state));
  EXPECT_TRUE(TIFFLZWCompress(nullptr, 0, out, state));
  return std::vector<uint8_t>(out.Memory(), out.Memory() + out.GetSize());
}

// Codes of the given widths, most significant bit first.
std::vector<uint8_t> Codes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int n = 0;
  for (auto [code, width] : codes) {
    acc = (acc << width) | uint32_t(code);
    n += width;
    while (n >= 8) {
      n -= 8;
      out.push_back(uint8_t(acc >> n));
    }
  }
  if (n > 0) out.push_back(uint8_t(acc << (8 - n)));
  return out;
}

void ExpectSame(const std::vector<uint8_t>& data, int rowLength, const char* what) {
  const auto want = ReferenceRows(data, rowLength);
  const auto got = DecodedRows(data, rowLength);
  ASSERT_EQ(got.size(), want.size()) << what << " row length " << rowLength;
  for (size_t y = 0; y < want.size(); ++y) ASSERT_EQ(got[y], want[y]) << what << " row " << y;
}

TEST(TiffLZWDecoder, EncoderOutputOfEveryKind) {
  std::mt19937 rng(21);
  std::vector<uint8_t> noise(300000), runs(300000), photo(300000);
  for (auto& b : noise) b = uint8_t(rng());
  for (size_t i = 0; i < runs.size(); ++i) runs[i] = uint8_t((i / 5000) * 3);  // strings > 16
  for (size_t i = 0; i < photo.size(); ++i) photo[i] = uint8_t(i / 7 + (rng() & 3));
  for (int rowLength : {1, 3, 5, 7, 31, 33, 12000}) {
    ExpectSame(Encode(noise), rowLength, "noise");
    ExpectSame(Encode(runs), rowLength, "runs");
    ExpectSame(Encode(photo), rowLength, "photo");
  }
}

TEST(TiffLZWDecoder, CutShortStreamsCompleteTheLastRowWithZeros) {
  std::vector<uint8_t> bytes(5000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * i / 31);
  const std::vector<uint8_t> full = Encode(bytes);
  for (size_t cut : {size_t(1), size_t(2), size_t(9), full.size() / 2, full.size() - 1}) {
    std::vector<uint8_t> part(full.begin(), full.begin() + int64_t(cut));
    ExpectSame(part, 33, "cut");
    ExpectSame(part, 700, "cut");
  }
}

TEST(TiffLZWDecoder, HandMadeStreams) {
  // 'a', then 258 = "aa" defined by its own step, then 259 = "aaa" likewise.
  ExpectSame(Codes({{256, 9}, {'a', 9}, {258, 9}, {259, 9}, {257, 9}}), 2, "KwKwK");
  // A second clear right after the first keeps the string before them as
  // the one the next code extends.
  ExpectSame(
      Codes({{256, 9}, {'x', 9}, {'y', 9}, {256, 9}, {256, 9}, {'z', 9}, {258, 9}, {257, 9}}), 3,
      "double clear");
  // A code beyond the table, and a first code that is not a byte.
  ExpectSame(Codes({{256, 9}, {'q', 9}, {'r', 9}, {300, 9}, {'s', 9}}), 1, "bad code");
  ExpectSame(Codes({{300, 9}, {'s', 9}}), 1, "bad first code");
  // No clear code at all, and nothing but an end code.
  ExpectSame(Codes({{'m', 9}, {'n', 9}, {258, 9}, {257, 9}}), 4, "no clear");
  ExpectSame(Codes({{257, 9}}), 4, "empty");
}

TEST(TiffLZWDecoder, RowLengthMayChangeBetweenCalls) {
  std::vector<uint8_t> bytes(4000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i % 251);
  const std::vector<uint8_t> enc = Encode(bytes);
  void* state = nullptr;
  size_t at = 0;
  for (int len : {10, 1000, 3, 2000}) {
    uint8_t* r = TIFFLZWDecompress(enc.data(), int64_t(enc.size()), len, state);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(r, r + len),
              std::vector<uint8_t>(bytes.begin() + int64_t(at), bytes.begin() + int64_t(at + len)));
    at += size_t(len);
  }
  TIFFLZWDecompress(nullptr, 0, 0, state);
}

}  // namespace
}  // namespace pictavo
