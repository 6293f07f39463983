#include "platform/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <sys/mman.h>

#include "platform/canvas.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

// The 16 colours of the classic VGA palette, used for pf4bit.
constexpr TColor kVga16[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                               0x808000, 0x808080, 0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF,
                               0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

// Largest pixel buffer a bitmap accepts (bytes); beyond it SetSize raises.
constexpr int64_t kMaxBitmapBytes = int64_t(1) << 34;

// Pixel blocks from this size on are aligned to and advised for huge pages.
constexpr size_t kHugePageBytes = size_t(2) << 20;
// From 1 MiB on: a 2480x3508 one-bit page (1.1 MB) costs one fault instead of
// about 270, which outweighs the rounding up to 2 MiB.
constexpr size_t kHugeBlockMin = size_t(1) << 20;

bool IsPaletteFormat(TPixelFormat f) { return f == pf4bit || f == pf8bit; }

// Grey level used to map a colour onto black or white.
int GreyOf(TColor c) { return (GetRValue(c) * 21 + GetGValue(c) * 71 + GetBValue(c) * 7) / 99; }

TColor ReadPixel(const uint8_t* row, int x, TPixelFormat format, const std::vector<TColor>& palette) {
  switch (format) {
    case pf1bit: return (row[x >> 3] & (0x80 >> (x & 7))) ? clWhite : clBlack;
    case pf4bit: {
      unsigned index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
      return index < palette.size() ? palette[index] : clBlack;
    }
    case pf8bit: {
      unsigned index = row[x];
      return index < palette.size() ? palette[index] : clBlack;
    }
    case pf15bit: {
      unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
      unsigned r = (w >> 10) & 31, g = (w >> 5) & 31, b = w & 31;
      return RGB((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
    }
    case pf16bit: {
      unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
      unsigned r = (w >> 11) & 31, g = (w >> 5) & 63, b = w & 31;
      return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
    }
    case pf32bit: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    default: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

}  // namespace

void* PVAllocPixels(size_t bytes) {
  void* p = nullptr;
  if (bytes >= kHugeBlockMin) {
    const size_t rounded = (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    p = std::aligned_alloc(kHugePageBytes, rounded);
#ifdef MADV_HUGEPAGE
    if (p) madvise(p, rounded, MADV_HUGEPAGE);  // advice only: failure changes nothing
#endif
  } else {
    p = std::malloc(bytes ? bytes : 1);
  }
  if (!p) throw std::bad_alloc();
  return p;
}

void PVFreePixels(void* p) noexcept { std::free(p); }

int StorageBitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return 24;
  }
}

int64_t StorageRowBytes(int width, int bits) { return ((int64_t(width) * bits + 31) / 32) * 4; }

std::vector<TColor> DefaultPalette(TPixelFormat format) {
  std::vector<TColor> palette;
  if (format == pf4bit) {
    palette.assign(std::begin(kVga16), std::end(kVga16));
  } else if (format == pf8bit) {
    palette.resize(256);
    for (int i = 0; i < 256; ++i) palette[i] = RGB(i, i, i);
  }
  return palette;
}

int NearestPaletteIndex(const std::vector<TColor>& palette, TColor color) {
  int best = 0, best_dist = std::numeric_limits<int>::max();
  for (size_t i = 0; i < palette.size(); ++i) {
    TColor p = palette[i];
    int d = std::abs(GetRValue(p) - GetRValue(color)) + std::abs(GetGValue(p) - GetGValue(color)) +
            std::abs(GetBValue(p) - GetBValue(color));
    if (d < best_dist) {
      best_dist = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
  SetPixelFormat(format);
  SetSize(width, height);
}

TBitmap::~TBitmap() = default;

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(this);
  return *canvas_;
}

TColor TBitmap::FillColor() const {
  return canvas_ ? ColorToRGB(canvas_->Brush().GetColor()) : clWhite;
}

uint32_t TBitmap::EncodeColor(TColor c) const {
  c = ColorToRGB(c);
  unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (format_) {
    case pf1bit: return GreyOf(c) >= 128 ? 1 : 0;
    case pf4bit:
    case pf8bit: return static_cast<uint32_t>(NearestPaletteIndex(palette_, c));
    case pf15bit: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case pf16bit: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return (r << 16) | (g << 8) | b;
  }
}

void TBitmap::StoreValue(uint8_t* row, int x, uint32_t v) const {
  switch (format_) {
    case pf1bit:
      if (v) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      else row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
      break;
    case pf4bit:
      if (x & 1) row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (v & 0x0F));
      else row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
      break;
    case pf8bit: row[x] = uint8_t(v); break;
    case pf15bit:
    case pf16bit:
      row[2 * x] = uint8_t(v);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    case pf32bit:
      row[4 * x] = uint8_t(v);
      row[4 * x + 1] = uint8_t(v >> 8);
      row[4 * x + 2] = uint8_t(v >> 16);
      row[4 * x + 3] = 0;
      break;
    default:
      row[3 * x] = uint8_t(v);
      row[3 * x + 1] = uint8_t(v >> 8);
      row[3 * x + 2] = uint8_t(v >> 16);
      break;
  }
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  int bits = StorageBitCount(format_);
  int64_t row_bytes = StorageRowBytes(width, bits);
  if (row_bytes * int64_t(height) > kMaxBitmapBytes)
    throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
  const bool grows = width > width_ || height > height_;
  PVPixelVector pixels;
  // A growing bitmap gets every byte from the fill below; a shrinking one
  // starts from zeros so the bits past the kept pixels stay clear.
  if (grows)
    pixels.resize(static_cast<size_t>(row_bytes * height));
  else
    pixels.assign(static_cast<size_t>(row_bytes * height), 0);
  if (width > 0 && height > 0) {
    // Fill the new area with the brush colour, then keep the old top-left part.
    if (grows) FillRowsOf(pixels.data(), row_bytes, width, 0, height);
    int keep_w = std::min(width, width_), keep_h = std::min(height, height_);
    if (keep_w > 0 && keep_h > 0) {
      int64_t full_bytes = (int64_t(keep_w) * bits) / 8;
      int rest_bits = static_cast<int>((int64_t(keep_w) * bits) % 8);
      for (int y = 0; y < keep_h; ++y) {
        uint8_t* dst = pixels.data() + y * row_bytes;
        const uint8_t* src = pixels_.data() + y * row_bytes_;
        std::memcpy(dst, src, static_cast<size_t>(full_bytes));
        if (rest_bits) {
          uint8_t mask = uint8_t(0xFF00 >> rest_bits);
          dst[full_bytes] = uint8_t((src[full_bytes] & mask) | (dst[full_bytes] & ~mask));
        }
      }
    }
  }
  width_ = width;
  height_ = height;
  row_bytes_ = row_bytes;
  pixels_.swap(pixels);
  Changed();
}

// One template row of the brush colour (zero past the last pixel), copied to
// rows first..last-1 of a block of rows of `row_bytes`.
void TBitmap::FillRowsOf(uint8_t* pixels, int64_t row_bytes, int width, int first,
                         int last) const {
  if (first >= last) return;
  uint32_t value = EncodeColor(FillColor());
  std::vector<uint8_t> fill(static_cast<size_t>(row_bytes));
  for (int x = 0; x < width; ++x) StoreValue(fill.data(), x, value);
  for (int y = first; y < last; ++y)
    std::memcpy(pixels + y * row_bytes, fill.data(), static_cast<size_t>(row_bytes));
}

void TBitmap::AllocateForOverwrite(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const int bits = StorageBitCount(format_);
  const int64_t row_bytes = StorageRowBytes(width, bits);
  if (row_bytes * int64_t(height) > kMaxBitmapBytes)
    throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
  PVPixelVector().swap(pixels_);  // the old pixels go first: peak memory is one bitmap
  pixels_.resize(static_cast<size_t>(row_bytes * height));
  // Bytes from the one holding the last pixel's bits to the row's end start
  // clear, as after SetSize; a reader writes whole bytes over them.
  const int64_t used = (int64_t(width) * bits) / 8;
  for (int y = 0; y < height; ++y)
    std::memset(pixels_.data() + y * row_bytes + used, 0, static_cast<size_t>(row_bytes - used));
  width_ = width;
  height_ = height;
  row_bytes_ = row_bytes;
  Changed();
}

void TBitmap::FillRows(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, height_);
  FillRowsOf(pixels_.data(), row_bytes_, width_, first, last);
}

TBitmapRowGuard::~TBitmapRowGuard() {
  const int rows = static_cast<int>(written_.size());
  for (int y = 0; y < rows;) {
    if (written_[static_cast<size_t>(y)]) {
      ++y;
      continue;
    }
    int end = y;
    while (end < rows && !written_[static_cast<size_t>(end)]) ++end;
    bitmap_.FillRows(y, end);
    y = end;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  TPixelFormat old_format = format_;
  std::vector<TColor> old_palette = palette_;
  PVPixelVector old_pixels;
  old_pixels.swap(pixels_);
  int64_t old_row_bytes = row_bytes_;

  format_ = format;
  palette_ = DefaultPalette(format);
  row_bytes_ = StorageRowBytes(width_, StorageBitCount(format));
  pixels_.assign(static_cast<size_t>(row_bytes_ * height_), 0);
  if (StorageBitCount(old_format) == StorageBitCount(format) && old_format != pf15bit &&
      old_format != pf16bit && !IsPaletteFormat(old_format) && old_format != pf1bit) {
    pixels_ = std::move(old_pixels);  // same byte layout (24-bit family)
  } else {
    for (int y = 0; y < height_; ++y) {
      const uint8_t* src = old_pixels.data() + y * old_row_bytes;
      uint8_t* dst = pixels_.data() + y * row_bytes_;
      for (int x = 0; x < width_; ++x)
        StoreValue(dst, x, EncodeColor(ReadPixel(src, x, old_format, old_palette)));
    }
  }
  Changed();
}

void TBitmap::SetPalette(const std::vector<TColor>& palette) {
  if (!IsPaletteFormat(format_)) return;
  size_t max = format_ == pf4bit ? 16 : 256;
  palette_.assign(palette.begin(), palette.begin() + std::min(palette.size(), max));
  Changed();
}

uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= height_) throw EInvalidGraphic("Scan line index out of range");
  return pixels_.data() + int64_t(y) * row_bytes_;
}

const uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_) throw EInvalidGraphic("Scan line index out of range");
  return pixels_.data() + int64_t(y) * row_bytes_;
}

TColor TBitmap::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clBlack;
  return ReadPixel(pixels_.data() + int64_t(y) * row_bytes_, x, format_, palette_);
}

void TBitmap::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  StoreValue(pixels_.data() + int64_t(y) * row_bytes_, x, EncodeColor(color));
}

void TBitmap::SetModified(bool modified) {
  modified_ = modified;
  if (modified && OnChange) OnChange(this);
}

void TBitmap::Changed() {
  if (OnChange) OnChange(this);
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  width_ = source.width_;
  height_ = source.height_;
  format_ = source.format_;
  row_bytes_ = source.row_bytes_;
  pixels_ = source.pixels_;
  palette_ = source.palette_;
  Changed();
}

}  // namespace pictavo
