#include "apps/pictavo/jpeg_quality.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

namespace pictavo::cli {
namespace {

using Table = std::array<int, 64>;

// The example tables of the JPEG standard in natural (row-major) order,
// the base that libjpeg scales by quality.
constexpr Table kStdLuminance = {16,  11,  10,  16,  24, 40, 51,  61,  12,  12,  14,  19,  26,
                                 58,  60,  55,  14,  13, 16, 24,  40,  57,  69,  56,  14,  17,
                                 22,  29,  51,  87,  80, 62, 18,  22,  37,  56,  68,  109, 103,
                                 77,  24,  35,  55,  64, 81, 104, 113, 92,  49,  64,  78,  87,
                                 103, 121, 120, 101, 72, 92, 95,  98,  112, 100, 103, 99};
constexpr Table kStdChrominance = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                   24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                   99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                   99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Position in natural order of the k-th coefficient of the zig-zag order
// in which DQT stores a table.
constexpr std::array<int, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

constexpr uint8_t kMarker = 0xFF, kSOI = 0xD8, kDQT = 0xDB, kSOS = 0xDA, kEOI = 0xD9;

// libjpeg's scaling: quality below 50 scales by 5000/q percent, above by
// 200-2q percent; entries are clamped to 1..255 (baseline).
int Scaled(int base, int quality) {
  const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  const int v = (base * scale + 50) / 100;
  return v < 1 ? 1 : v > 255 ? 255 : v;
}

struct Tables {
  std::optional<Table> luminance, chrominance;
};

// The tables 0 and 1 of every DQT segment before the first scan.
bool ReadTables(const uint8_t* d, size_t size, Tables& out) {
  if (size < 4 || d[0] != kMarker || d[1] != kSOI) return false;
  size_t pos = 2;
  while (pos + 4 <= size) {
    if (d[pos] != kMarker) return false;
    const uint8_t type = d[pos + 1];
    if (type == kMarker) {  // fill byte
      ++pos;
      continue;
    }
    if (type == kSOS || type == kEOI) break;
    const size_t length = (size_t(d[pos + 2]) << 8) | d[pos + 3];
    if (length < 2 || pos + 2 + length > size) return false;
    if (type == kDQT) {
      size_t p = pos + 4;
      const size_t end = pos + 2 + length;
      while (p < end) {
        const int precision = d[p] >> 4, id = d[p] & 0x0F;
        const size_t bytes = precision ? 128 : 64;
        if (p + 1 + bytes > end) return false;
        Table t;
        for (int k = 0; k < 64; ++k)
          t[kZigzag[k]] = precision ? (d[p + 1 + 2 * k] << 8) | d[p + 2 + 2 * k] : d[p + 1 + k];
        if (id == 0) out.luminance = t;
        if (id == 1) out.chrominance = t;
        p += 1 + bytes;
      }
    }
    pos += 2 + length;
  }
  return out.luminance.has_value();
}

long Distance(const Table& table, const Table& base, int quality) {
  long sum = 0;
  for (int i = 0; i < 64; ++i) sum += std::labs(long(table[i]) - Scaled(base[i], quality));
  return sum;
}

}  // namespace

std::optional<int> EstimateJpegQuality(const uint8_t* data, size_t size) {
  Tables tables;
  if (!ReadTables(data, size, tables)) return std::nullopt;
  int best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (int q = 1; q <= 100; ++q) {
    long d = Distance(*tables.luminance, kStdLuminance, q);
    if (tables.chrominance) d += Distance(*tables.chrominance, kStdChrominance, q);
    if (d < bestDistance) bestDistance = d, best = q;
  }
  return best;
}

std::optional<int> EstimateJpegQualityOfFile(const std::string& path) {
  // The tables come before the first scan, near the start of the file.
  constexpr std::streamsize kHeadBytes = 1 << 20;
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::nullopt;
  std::vector<uint8_t> head(static_cast<size_t>(kHeadBytes));
  f.read(reinterpret_cast<char*>(head.data()), kHeadBytes);
  head.resize(static_cast<size_t>(f.gcount()));
  return EstimateJpegQuality(head.data(), head.size());
}

}  // namespace pictavo::cli
