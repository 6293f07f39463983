#include "processing/hidden.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

namespace pictavo {

namespace {

constexpr int kHeaderBytes = 8;
constexpr int kLengthOffset = 4;
// The last two bytes of every row carry nothing.
constexpr int kUnusedRowBytes = 2;

int CarrierBytesPerRow(const TBitmap& bitmap) {
  return std::max(3 * bitmap.GetWidth() - kUnusedRowBytes, 0);
}

// Walks the carrier bytes in order: rows from the top, the first
// 3 * width - 2 bytes of each.
template <typename Bitmap>
class TCarrierCursor {
 public:
  using Ptr = decltype(std::declval<Bitmap&>().ScanLine(0));
  explicit TCarrierCursor(Bitmap& bitmap)
      : bitmap_(bitmap),
        perRow_(CarrierBytesPerRow(bitmap)),
        height_(perRow_ > 0 ? bitmap.GetHeight() : 0) {}
  // The next carrier byte, or null at the end of the image.
  Ptr Next() {
    if (x_ == perRow_) {
      x_ = 0;
      ++y_;
      row_ = nullptr;
    }
    if (y_ >= height_) return nullptr;
    if (!row_) row_ = bitmap_.ScanLine(y_);
    return row_ + x_++;
  }

 private:
  Bitmap& bitmap_;
  int perRow_;
  int height_;
  int y_ = 0;
  int x_ = 0;
  Ptr row_ = nullptr;
};

// Makes the parity of v carry bit; 255 carrying a 0 becomes 254.
inline uint8_t CarryBit(uint8_t v, int bit) {
  if (bit == 1 && (v & 1) == 0) return uint8_t(v + 1);
  if (bit == 0 && (v & 1) == 1) return v == 255 ? uint8_t(254) : uint8_t(v + 1);
  return v;
}

// Writes bytes, least significant bit first; false at the end of the image.
bool WriteBytes(TCarrierCursor<TBitmap>& cursor, const uint8_t* bytes, int64_t count) {
  for (int64_t i = 0; i < count; ++i)
    for (int bit = 0; bit < 8; ++bit) {
      uint8_t* p = cursor.Next();
      if (!p) return false;
      *p = CarryBit(*p, (bytes[i] >> bit) & 1);
    }
  return true;
}

// Reads one byte; bits beyond the end of the image read as 0.
uint8_t ReadByte(TCarrierCursor<const TBitmap>& cursor) {
  uint8_t value = 0;
  for (int bit = 0; bit < 8; ++bit) {
    const uint8_t* p = cursor.Next();
    if (!p) break;
    value |= uint8_t((*p & 1) << bit);
  }
  return value;
}

}  // namespace

int _GetHiddenDataSpace(const TBitmap& bitmap) {
  if (bitmap.GetPixelFormat() != pf24bit) return 0;
  const int64_t bits = (3 * int64_t(bitmap.GetWidth()) - kUnusedRowBytes) * bitmap.GetHeight();
  return int(std::clamp<int64_t>(bits / 8 - kHeaderBytes, INT_MIN, INT_MAX));
}

int _WriteHiddenData(TBitmap& bitmap, const void* data, int length) {
  if (bitmap.GetPixelFormat() != pf24bit) return 0;
  // A negative length or a missing buffer has nothing to store.
  if (length < 0 || (length > 0 && !data)) return 0;
  uint8_t header[kHeaderBytes] = {};
  for (int i = 0; i < 4; ++i) header[kLengthOffset + i] = uint8_t(uint32_t(length) >> (8 * i));
  TCarrierCursor<TBitmap> cursor(bitmap);
  if (WriteBytes(cursor, header, kHeaderBytes))
    WriteBytes(cursor, static_cast<const uint8_t*>(data), length);
  return length;
}

int _ReadHiddenData(const TBitmap& bitmap, void* buffer, int size) {
  if (bitmap.GetPixelFormat() != pf24bit) return 0;
  TCarrierCursor<const TBitmap> cursor(bitmap);
  uint8_t header[kHeaderBytes];
  for (uint8_t& b : header) b = ReadByte(cursor);
  uint32_t stored = 0;
  for (int i = 0; i < 4; ++i) stored |= uint32_t(header[kLengthOffset + i]) << (8 * i);
  const int length = int(stored);
  const int count = buffer ? std::min(size, length) : 0;
  auto* out = static_cast<uint8_t*>(buffer);
  for (int i = 0; i < count; ++i) out[i] = ReadByte(cursor);
  return length;
}

std::string _ReadHiddenText(const TBitmap& bitmap) {
  const int length = _ReadHiddenData(bitmap, nullptr, 0);
  // An image without hidden data yields an arbitrary length: never allocate
  // more than the image can carry.
  if (length <= 0 || length > _GetHiddenDataSpace(bitmap)) return std::string();
  std::string text(size_t(length), '\0');
  _ReadHiddenData(bitmap, text.data(), length);
  return text;
}

}  // namespace pictavo
