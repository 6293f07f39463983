// TBitmap: the in-memory raster of the framework stand-in.
//
// Rows are stored top-down, each padded to a multiple of 4 bytes, and are
// reached only through ScanLine(y).  Formats and their bytes:
//   pf1bit   1 bit per pixel, most significant bit first, 0 black, 1 white
//   pf4bit   4-bit palette indices, high nibble first (16-entry palette)
//   pf8bit   8-bit palette indices (256-entry palette, a grey ramp by default)
//   pf15bit  16-bit little-endian words, x RRRRR GGGGG BBBBB
//   pf16bit  16-bit little-endian words, RRRRR GGGGGG BBBBB
//   pf24bit  blue, green, red
//   pf32bit  blue, green, red, unused
//   pfDevice, pfCustom  kept as pf24bit storage
// Growing keeps the top-left pixels and fills the new area with the colour
// of the canvas brush; changing the pixel format converts every pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/colors.h"
#include "platform/object.h"
#include "platform/pixelalloc.h"

namespace pictavo {

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TCanvas;

// Bits per pixel of the storage used for a format.
int StorageBitCount(TPixelFormat format);
// Bytes per padded row: ((width * bits + 31) / 32) * 4.
int64_t StorageRowBytes(int width, int bits);

class TBitmap : public TObject {
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  // Negative sizes are taken as 0.  Raises EOutOfResources when the pixel
  // buffer would exceed the addressable limit.
  void SetSize(int width, int height);
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // For a reader that writes every row itself: frees the old pixels and sizes
  // the bitmap without filling it (only the bytes past each row's last pixel
  // are cleared).  Rows the reader does not reach must get the fill colour
  // through FillRows; TBitmapRowGuard does that bookkeeping.
  void AllocateForOverwrite(int width, int height);
  // Rows first..last-1 (clamped to the bitmap) filled with the brush colour,
  // as SetSize fills a new area.
  void FillRows(int first, int last);

  TPixelFormat GetPixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat format);

  // Row y (0 is the top row); raises EInvalidGraphic outside 0..Height-1.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;
  int64_t RowBytes() const { return row_bytes_; }

  // Palette of pf4bit and pf8bit bitmaps (TColor entries); pf1bit is fixed
  // black and white.  Setting a palette does not change the indices.
  const std::vector<TColor>& GetPalette() const { return palette_; }
  void SetPalette(const std::vector<TColor>& palette);

  // Single-pixel access in TColor, for canvas code and tests; pixel loops use
  // ScanLine.  Coordinates outside the bitmap read clBlack and write nothing.
  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);
  // The stored value of a colour in this format: the bit, the nearest
  // palette index, the 15/16-bit word, or blue | green << 8 | red << 16.
  uint32_t ColorToPixelValue(TColor color) const { return EncodeColor(color); }

  TCanvas& Canvas();

  bool GetModified() const { return modified_; }
  void SetModified(bool modified);
  // Called whenever SetModified(true) runs, and after size or format changes.
  std::function<void(TObject* Sender)> OnChange;

  // Copies size, format, palette and pixels.
  void Assign(const TBitmap& source);
  // Frees the pixels (0 x 0, format kept).
  void FreeImage() { SetSize(0, 0); }

 private:
  void Changed();
  TColor FillColor() const;
  uint32_t EncodeColor(TColor color) const;  // pixel value for the current format
  void StoreValue(uint8_t* row, int x, uint32_t value) const;
  void FillRowsOf(uint8_t* pixels, int64_t row_bytes, int width, int first, int last) const;

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = pfDevice;
  int64_t row_bytes_ = 0;
  PVPixelVector pixels_;
  std::vector<TColor> palette_;
  std::unique_ptr<TCanvas> canvas_;
  bool modified_ = false;
};

// Tracks the rows a reader has written into a bitmap sized with
// AllocateForOverwrite, in any order, and on destruction (success, failure or
// exception alike) fills every row not written, so no caller ever sees unset
// pixels.
class TBitmapRowGuard {
 public:
  explicit TBitmapRowGuard(TBitmap& bitmap)
      : bitmap_(bitmap), written_(static_cast<size_t>(bitmap.GetHeight()), false) {}
  ~TBitmapRowGuard();
  TBitmapRowGuard(const TBitmapRowGuard&) = delete;
  TBitmapRowGuard& operator=(const TBitmapRowGuard&) = delete;
  // Row y is complete.
  void Written(int y) {
    if (y >= 0 && static_cast<size_t>(y) < written_.size()) written_[static_cast<size_t>(y)] = true;
  }

 private:
  TBitmap& bitmap_;
  std::vector<bool> written_;
};

// The nearest palette entry (sum of absolute channel differences).
int NearestPaletteIndex(const std::vector<TColor>& palette, TColor color);
// The default palettes of the palette formats.
std::vector<TColor> DefaultPalette(TPixelFormat format);

}  // namespace pictavo
