// Small helpers shared by the PCX, TGA, PXM and ICO/CUR codecs: a buffered
// byte source over a checked stream reader, the abort flag as a reference a
// write can set, and bitmap sizing in the order the readers use.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/pvdefs.h"
#include "core/streamreader.h"
#include "platform/bitmap.h"

namespace pictavo::raster {

// Reads bytes through a refilled buffer; never past the reader's limit.
class TByteSource {
 public:
  explicit TByteSource(TStreamReader& reader, size_t bufferSize = 8192)
      : reader_(reader), buf_(bufferSize) {}
  // Next byte, or -1 at the end of the data.
  int Get() {
    if (pos_ == len_ && !Fill()) return -1;
    return buf_[pos_++];
  }
  // Copies up to count bytes; returns how many there were.
  size_t Read(uint8_t* dest, size_t count) {
    size_t done = 0;
    while (done < count) {
      if (pos_ == len_ && count - done >= kDirectRead) {
        // A large read with the buffer empty goes straight to dest.
        const int64_t n = reader_.ReadSome(dest + done, static_cast<int64_t>(count - done));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
        continue;
      }
      if (pos_ == len_ && !Fill()) break;
      size_t n = std::min(count - done, len_ - pos_);
      std::memcpy(dest + done, buf_.data() + pos_, n);
      pos_ += n;
      done += n;
    }
    return done;
  }
  bool AtEnd() { return pos_ == len_ && !Fill(); }

 private:
  bool Fill() {
    pos_ = 0;
    len_ = static_cast<size_t>(reader_.ReadSome(buf_.data(), static_cast<int64_t>(buf_.size())));
    return len_ > 0;
  }
  static constexpr size_t kDirectRead = 4096;
  TStreamReader& reader_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
};

// The flag a failing write sets: the owner's, or a local one when the
// record carries none.
class TAbortRef {
 public:
  explicit TAbortRef(TProgressRec& progress)
      : flag_(progress.Aborting ? *progress.Aborting : local_) {}
  bool& Flag() { return flag_; }
  bool Set() const { return flag_; }

 private:
  bool local_ = false;
  bool& flag_;
};

// Sizes a bitmap for a reader that writes every byte of the rows it
// reaches: 1 x 1 first, then the pixel format (no conversion of old pixels
// at the full size), then the final size without the fill.  Pair it with a
// TBitmapRowGuard, which gives the rows the reader did not reach the brush
// colour, as a filled bitmap would show.
inline void SizeBitmapForRows(TBitmap& bitmap, TPixelFormat format, int width, int height) {
  bitmap.SetSize(1, 1);
  bitmap.SetPixelFormat(format);
  bitmap.AllocateForOverwrite(width, height);
}

inline bool IsBlack(const TRGB& c) {
  return c.r == 0 && c.g == 0 && c.b == 0;
}
inline bool IsWhite(const TRGB& c) {
  return c.r == 255 && c.g == 255 && c.b == 255;
}

// Inverts the first `bytes` bytes of a row.
inline void InvertBytes(uint8_t* row, int64_t bytes) {
  for (int64_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
}

// Expands a row of `width` bits (most significant first) into BGR through
// two colours.
inline void BitsToBGR(const uint8_t* bits, uint8_t* bgr, int width, const TRGB& c0,
                      const TRGB& c1) {
  for (int x = 0; x < width; ++x) {
    const TRGB& c = (bits[x >> 3] & (0x80 >> (x & 7))) ? c1 : c0;
    bgr[3 * x] = c.b;
    bgr[3 * x + 1] = c.g;
    bgr[3 * x + 2] = c.r;
  }
}

// Copies a bitmap into a pf24bit one (a scratch copy for writers).
inline void CopyAs24(const TBitmap& source, TBitmap& dest) {
  dest.Assign(source);
  if (dest.GetPixelFormat() != pf24bit) dest.SetPixelFormat(pf24bit);
}

}  // namespace pictavo::raster

namespace pictavo::raster {
constexpr TRGB Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return TRGB{b, g, r};
}
// A 5-bit channel scaled to 0..255 by repeating its high bits in the low
// ones (31 gives 255, 16 gives 132), as BMP bit fields scale any width.
constexpr uint8_t Scale5(uint32_t v) {
  return uint8_t((v << 3) | (v >> 2));
}
// A 16-bit pixel of 5-5-5 (red in bits 10-14, blue in bits 0-4; bit 15
// ignored), as BMP and TGA store it.
constexpr TRGB Rgb555(uint32_t w) {
  return TRGB{Scale5(w & 31), Scale5((w >> 5) & 31), Scale5((w >> 10) & 31)};
}
// Grey value of a colour: (R*21 + G*71 + B*7) div 100.
constexpr int Grey(int r, int g, int b) {
  return (r * 21 + g * 71 + b * 7) / 100;
}
// The grey a writer of grey files stores: a pixel already grey (three equal
// channels) keeps its value, so grey files do not darken on every save (the
// weights sum to 99); colour pixels use Grey.
constexpr int StoredGrey(int r, int g, int b) {
  return r == g && g == b ? r : Grey(r, g, b);
}
}  // namespace pictavo::raster
