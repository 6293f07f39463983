// Pixel helpers shared by codecs, processing and the views: colour values,
// grey weights, bitmap copies, DIB transfer (with the YUV layouts of capture
// drivers), reduction to one bit, expansion of one bit to 24, palette helpers
// and THash1, the integer hash set used to count colours.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/memory.h"
#include "platform/palette.h"
#include "platform/types.h"

namespace pictavo {

int _RGBToGray(const TRGB& rgb);
TRGB CreateRGB(uint8_t r, uint8_t g, uint8_t b);
TColor TRGB2TColor(const TRGB& rgb);
TColor RGB2TColor(int r, int g, int b);
TRGB TColor2TRGB(TColor color);
bool EqualRGB(const TRGB& a, const TRGB& b);
int blimit(int v);
int ilimit(int v, int lo, int hi);
int imin(int a, int b);
int imax(int a, int b);
double dmin(double a, double b);
double dmax(double a, double b);
void iswap(int& a, int& b);
void bswap(uint8_t& a, uint8_t& b);
void OrdCor(int& x1, int& y1, int& x2, int& y2);
void YUV2RGB(int Y, int U, int V, TRGB& out);

// Integer hash set used to count colours.  A key lives in its slot (the low
// bits of the key); keys that collide in a slot go to one shared overflow
// table, so a lookup never walks a long chain whatever the image.
class THash1 : public TObject {
 public:
  explicit THash1(int bits);
  ~THash1() override;
  THash1(const THash1&) = delete;
  THash1& operator=(const THash1&) = delete;

  uint32_t HashFunc(uint32_t key) const { return key & (size_ - 1); }
  // True when the key was not present (it is then stored and counted).
  bool Insert(uint32_t key);
  bool KeyPresent(uint32_t key) const;
  int Count() const { return count_; }
  int Bits() const { return bits_; }
  int Size() const { return static_cast<int>(size_); }

 private:
  bool OverflowFind(uint32_t key) const;
  void OverflowAdd(uint32_t key);

  int bits_;
  uint32_t size_;
  int count_ = 0;
  std::vector<uint32_t> slots_;
  std::vector<uint8_t> states_;  // 0 empty, 1 one key in the slot, 2 more keys in the overflow
  // Open-addressing table of the keys beyond the first of their slot.
  std::vector<uint32_t> over_keys_;
  std::vector<uint8_t> over_used_;
  size_t over_count_ = 0;
};

void PVCopyBitmap(const TBitmap& source, TBitmap& dest);
std::unique_ptr<TBitmap> PVCloneBitmap(const TBitmap& source);
void _CopyBitmapRect(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2);
void _CopyBits(uint8_t* dest, const uint8_t* source, int destBit, int bitCount, int sourceBit);
void _CopyPolygonBitmap(TBitmap& dest, const TBitmap& source, int x, int y, const TPoint* polygon,
                        int count);
bool _BitmapCompareX(const TBitmap& a, const TBitmap& b);

// Reduction to one bit: nullptr unless exactly two colours (bit 0 the darker).
std::unique_ptr<TBitmap> _ConvertTo1bit(const TBitmap& bitmap, TRGB& c0, TRGB& c1);
void _ConvertToBWOrdered(TBitmap& bitmap, TProgressRec& progress);
// The one-bit form a writer of one-bit files stores: an image of exactly two
// colours keeps them (bit 0 the darker; c0 and c1 receive them); any other
// is dithered with the ordered matrix (reporting through `progress`) to
// black (c0) and white (c1).  Always a pf1bit bitmap.
std::unique_ptr<TBitmap> PVReduceToBilevel(const TBitmap& bitmap, TRGB& c0, TRGB& c1,
                                           TProgressRec& progress);
void _Negative1Bit(TBitmap& bitmap);
void _Conv1to24(const TBitmap& source, TBitmap& dest);

// Packed DIB transfer.  _CopyBitmaptoDIB returns a BITMAPINFOHEADER, for
// 1 bit a black and white palette, and the rows bottom-up; an x2 or y2 of 0
// means the full width or height.
HGLOBAL _CopyBitmaptoDIB(const TBitmap& bitmap, int x1, int y1, int x2, int y2);
// Converts the packed DIB of dibSize bytes into the bitmap and returns its
// bit count.  `bits` (bitsSize bytes), when given, replaces the pixel data
// after the header and palette.  Nothing beyond either block is read: a
// header, palette or pixel block that does not fit, an absurd size, or a
// run-length compression leaves the bitmap 0 x 0 and returns 0.
int _CopyDIB2Bitmap(const uint8_t* dib, size_t dibSize, TBitmap& bitmap,
                    const uint8_t* bits = nullptr, size_t bitsSize = 0);
int _CopyDIB2Bitmap(const HGLOBAL& dib, TBitmap& bitmap, const uint8_t* bits = nullptr,
                    size_t bitsSize = 0, bool alreadyLocked = false);
// The renderer variant: 1, 4, 8, 16, 24 and 32 bits uncompressed (32 bits
// also with bit fields); any other compression sizes the bitmap and draws
// nothing.  Malformed blocks give 0 x 0 and 0 as above.
int _PVCopyDIB2Bitmap2(const uint8_t* dib, size_t dibSize, TBitmap& bitmap,
                       const uint8_t* bits = nullptr, size_t bitsSize = 0);
int _PVCopyDIB2Bitmap2(const HGLOBAL& dib, TBitmap& bitmap, const uint8_t* bits = nullptr,
                       size_t bitsSize = 0, bool alreadyLocked = false);

// YUV frames into a pf24bit bitmap already sized by the caller.  `size` is
// the number of bytes at src; a frame shorter than the layout needs writes
// nothing and returns false.  With topDown the first source row is row 0.
bool _CopyUYVYToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyYUY2ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyYVYUToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyIYU2ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyIYU1ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyY41PToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyY211ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
// 5-bit luma is widened by bit replication (31 -> 255), 6-bit chroma by a
// left shift of 2 (32 -> 128, the neutral value).
bool _CopyCLJRToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyI420ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyYV12ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
bool _CopyYVU9ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown);
// Bytes a frame of the layout needs for width x height (0 for an unknown
// FOURCC).
size_t PVYUVFrameSize(uint32_t fourcc, int width, int height);
constexpr uint32_t PVFourCC(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | (uint32_t(uint8_t(b)) << 8) | (uint32_t(uint8_t(c)) << 16) |
         (uint32_t(uint8_t(d)) << 24);
}

int _GetSimilColor(const TRGB* palette, int count, const TRGB& color);
void _RGB2BGR(TRGB* palette, int count);
void _CopyBGR_RGB(TRGB* dest, const TRGB* source, int count);
std::unique_ptr<TLogPalette> _CreateWinPalette(const TRGB* palette, int count);

// Expansion table of one-bit bytes: entry b holds 8 BGR pixels, most
// significant bit first, 1 white and 0 black.
struct TC1to24Table {
  uint8_t t[256][24];
  constexpr TC1to24Table();
};
extern const TC1to24Table C1TO24;

}  // namespace pictavo
