#include "core/conversions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#include "core/mask.h"
#include "core/pvutils.h"
#include "platform/colors.h"
#include "platform/region.h"

namespace pictavo {

// ---------------------------------------------------------------------------
// Colour values

int _RGBToGray(const TRGB& rgb) {
  return (rgb.r * 21 + rgb.g * 71 + rgb.b * 7) / 100;
}

TRGB CreateRGB(uint8_t r, uint8_t g, uint8_t b) {
  TRGB c;
  c.r = r;
  c.g = g;
  c.b = b;
  return c;
}

TColor TRGB2TColor(const TRGB& rgb) {
  return TColor(rgb.r) | (TColor(rgb.g) << 8) | (TColor(rgb.b) << 16);
}

TColor RGB2TColor(int r, int g, int b) {
  return TColor(uint32_t(r)) | (TColor(uint32_t(g)) << 8) | (TColor(uint32_t(b)) << 16);
}

TRGB TColor2TRGB(TColor color) {
  TColor c = ColorToRGB(color);
  return CreateRGB(GetRValue(c), GetGValue(c), GetBValue(c));
}

bool EqualRGB(const TRGB& a, const TRGB& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}
int blimit(int v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}
int ilimit(int v, int lo, int hi) {
  return std::min(std::max(v, lo), hi);
}
int imin(int a, int b) {
  return a < b ? a : b;
}
int imax(int a, int b) {
  return a > b ? a : b;
}
double dmin(double a, double b) {
  return a < b ? a : b;
}
double dmax(double a, double b) {
  return a > b ? a : b;
}
void iswap(int& a, int& b) {
  std::swap(a, b);
}
void bswap(uint8_t& a, uint8_t& b) {
  std::swap(a, b);
}

void OrdCor(int& x1, int& y1, int& x2, int& y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
}

void YUV2RGB(int Y, int U, int V, TRGB& out) {
  double y = 1.164 * (Y - 16);
  out.b = uint8_t(blimit(static_cast<int>(std::nearbyint(y + 2.018 * (U - 128)))));
  out.g =
      uint8_t(blimit(static_cast<int>(std::nearbyint(y - 0.813 * (V - 128) - 0.391 * (U - 128)))));
  out.r = uint8_t(blimit(static_cast<int>(std::nearbyint(y + 1.596 * (V - 128)))));
}

// ---------------------------------------------------------------------------
// THash1

THash1::THash1(int bits) : bits_(std::clamp(bits, 0, 30)), size_(uint32_t(1) << bits_) {
  slots_.assign(size_, 0);
  states_.assign(size_, 0);
}

THash1::~THash1() = default;

namespace {
inline size_t MixKey(uint32_t key) {
  return size_t((uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 32);
}
}  // namespace

bool THash1::OverflowFind(uint32_t key) const {
  if (over_keys_.empty()) return false;
  size_t mask = over_keys_.size() - 1;
  for (size_t i = MixKey(key) & mask;; i = (i + 1) & mask) {
    if (!over_used_[i]) return false;
    if (over_keys_[i] == key) return true;
  }
}

void THash1::OverflowAdd(uint32_t key) {
  if ((over_count_ + 1) * 2 > over_keys_.size()) {
    // Grow to keep the table at most half full.
    std::vector<uint32_t> old_keys;
    std::vector<uint8_t> old_used;
    old_keys.swap(over_keys_);
    old_used.swap(over_used_);
    size_t n = std::max<size_t>(64, old_keys.size() * 2);
    over_keys_.assign(n, 0);
    over_used_.assign(n, 0);
    size_t mask = n - 1;
    for (size_t j = 0; j < old_keys.size(); ++j) {
      if (!old_used[j]) continue;
      size_t i = MixKey(old_keys[j]) & mask;
      while (over_used_[i]) i = (i + 1) & mask;
      over_keys_[i] = old_keys[j];
      over_used_[i] = 1;
    }
  }
  size_t mask = over_keys_.size() - 1;
  size_t i = MixKey(key) & mask;
  while (over_used_[i]) i = (i + 1) & mask;
  over_keys_[i] = key;
  over_used_[i] = 1;
  ++over_count_;
}

bool THash1::Insert(uint32_t key) {
  uint32_t slot = HashFunc(key);
  switch (states_[slot]) {
    case 0:
      slots_[slot] = key;
      states_[slot] = 1;
      ++count_;
      return true;
    case 1:
      if (slots_[slot] == key) return false;
      states_[slot] = 2;
      OverflowAdd(key);
      ++count_;
      return true;
    default:
      if (slots_[slot] == key || OverflowFind(key)) return false;
      OverflowAdd(key);
      ++count_;
      return true;
  }
}

bool THash1::KeyPresent(uint32_t key) const {
  uint32_t slot = HashFunc(key);
  switch (states_[slot]) {
    case 0:
      return false;
    case 1:
      return slots_[slot] == key;
    default:
      return slots_[slot] == key || OverflowFind(key);
  }
}

// ---------------------------------------------------------------------------
// Bitmap copies

void PVCopyBitmap(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest) return;
  if (source.Empty()) {
    dest.SetSize(1, 1);
    dest.SetPixelFormat(source.GetPixelFormat());
    return;
  }
  // Same result as sizing dest and copying every padded row, in one pass.
  dest.Assign(source);
}

std::unique_ptr<TBitmap> PVCloneBitmap(const TBitmap& source) {
  auto b = std::make_unique<TBitmap>();
  PVCopyBitmap(source, *b);
  return b;
}

void _CopyBits(uint8_t* dest, const uint8_t* source, int destBit, int bitCount, int sourceBit) {
  if (bitCount <= 0) return;
  if (((destBit ^ sourceBit) & 7) == 0) {
    // Same alignment: partial head, whole bytes, partial tail.
    dest += destBit >> 3;
    source += sourceBit >> 3;
    int off = destBit & 7;
    if (off) {
      int n = std::min(8 - off, bitCount);
      uint8_t mask = uint8_t((0xFF >> off) & (0xFF << (8 - off - n)));
      *dest = uint8_t((*dest & ~mask) | (*source & mask));
      ++dest;
      ++source;
      bitCount -= n;
    }
    int whole = bitCount >> 3;
    std::memcpy(dest, source, size_t(whole));
    dest += whole;
    source += whole;
    bitCount &= 7;
    if (bitCount) {
      uint8_t mask = uint8_t(0xFF << (8 - bitCount));
      *dest = uint8_t((*dest & ~mask) | (*source & mask));
    }
    return;
  }
  for (int i = 0; i < bitCount; ++i) {
    int s = sourceBit + i, d = destBit + i;
    uint8_t bit = (source[s >> 3] >> (7 - (s & 7))) & 1;
    uint8_t m = uint8_t(0x80 >> (d & 7));
    if (bit)
      dest[d >> 3] |= m;
    else
      dest[d >> 3] &= uint8_t(~m);
  }
}

void _CopyBitmapRect(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2) {
  if (&source == &dest) return;
  int w = source.GetWidth(), h = source.GetHeight();
  if (x2 == 0 || x2 > w) x2 = w;
  if (y2 == 0 || y2 > h) y2 = h;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  dest.SetSize(1, 1);
  dest.SetPixelFormat(source.GetPixelFormat());
  // An inverted or empty rectangle gives an empty bitmap.
  dest.SetSize(std::max(x2 - x1, 0), std::max(y2 - y1, 0));
  if (dest.Empty()) return;
  TPixelFormat pf = source.GetPixelFormat();
  for (int y = y1; y < y2; ++y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = dest.ScanLine(y - y1);
    if (pf == pf24bit)
      std::memcpy(d, s + size_t(x1) * 3, size_t(x2 - x1) * 3);
    else if (pf == pf1bit)
      _CopyBits(d, s, 0, x2 - x1, x1);
  }
}

bool _BitmapCompareX(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.RowBytes() != b.RowBytes())
    return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.RowBytes())) != 0) return false;
  return true;
}

namespace {

// Half-open spans of one polygon under the alternate rule: a pixel is inside
// when its centre is; the right and bottom edges are excluded, as GDI does.
// These are the region's rules, so the region's scan converter serves.
void PolygonSpans(const TPoint* p, int n, int width, int height,
                  const std::function<void(int y, int x0, int x1)>& span) {
  const TRect bounds(0, 0, width, height);
  TRegion::FromPolygon(p, n, ALTERNATE, &bounds)
      .ForEachSpan(0, height, 0, width,
                   [&](int32_t y, int32_t x0, int32_t x1) { span(y, x0, x1); });
}

}  // namespace

void _CopyPolygonBitmap(TBitmap& dest, const TBitmap& source, int x, int y, const TPoint* polygon,
                        int count) {
  if (!polygon || count <= 0 || dest.Empty() || source.Empty()) return;
  int dw = dest.GetWidth(), dh = dest.GetHeight();
  int sw = source.GetWidth(), sh = source.GetHeight();
  bool same24 = dest.GetPixelFormat() == pf24bit && source.GetPixelFormat() == pf24bit;
  bool same1 = dest.GetPixelFormat() == pf1bit && source.GetPixelFormat() == pf1bit;
  auto span = [&](int py, int x0, int x1) {
    // Intersect with dest and with the drawn source rectangle.
    int sy = py - y;
    if (sy < 0 || sy >= sh) return;
    x0 = std::max({x0, 0, x});
    x1 = std::min({x1, dw, x + sw});
    if (x1 <= x0) return;
    if (same24) {
      std::memcpy(dest.ScanLine(py) + size_t(x0) * 3, source.ScanLine(sy) + size_t(x0 - x) * 3,
                  size_t(x1 - x0) * 3);
    } else if (same1) {
      _CopyBits(dest.ScanLine(py), source.ScanLine(sy), x0, x1 - x0, x0 - x);
    } else {
      for (int px = x0; px < x1; ++px) dest.SetPixel(px, py, source.GetPixel(px - x, sy));
    }
  };
  int start = 0;
  for (int i = 0; i <= count; ++i) {
    if (i == count || polygon[i].x == kPVPolygonBreak) {
      PolygonSpans(polygon + start, i - start, dw, dh, span);
      start = i + 1;
    }
  }
}

// ---------------------------------------------------------------------------
// One-bit conversions

constexpr TC1to24Table::TC1to24Table() : t{} {
  for (int b = 0; b < 256; ++b)
    for (int i = 0; i < 8; ++i) {
      uint8_t v = (b & (0x80 >> i)) ? 255 : 0;
      t[b][i * 3] = t[b][i * 3 + 1] = t[b][i * 3 + 2] = v;
    }
}
constexpr TC1to24Table C1TO24{};

namespace {

// Sum of the weighted channels divided by 400 (0..63), by the weighted sum.
struct GreyTables {
  uint16_t r[256], g[256], b[256];
  constexpr GreyTables() : r{}, g{}, b{} {
    for (int i = 0; i < 256; ++i) {
      r[i] = uint16_t(i * 21);
      g[i] = uint16_t(i * 71);
      b[i] = uint16_t(i * 7);
    }
  }
};
constexpr GreyTables kGrey{};

constexpr uint8_t kDither[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
}  // namespace

void _Conv1to24(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest || source.GetPixelFormat() != pf1bit) return;
  int w = source.GetWidth(), h = source.GetHeight();
  dest.SetSize(0, 0);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(w, h);
  int full = w >> 3, rest = w & 7;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = dest.ScanLine(y);
    for (int i = 0; i < full; ++i, d += 24) std::memcpy(d, C1TO24.t[s[i]], 24);
    if (rest) std::memcpy(d, C1TO24.t[s[full]], size_t(rest) * 3);
  }
}

void _Negative1Bit(TBitmap& bitmap) {
  int64_t n = bitmap.RowBytes();
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    uint8_t* r = bitmap.ScanLine(y);
    for (int64_t i = 0; i < n; ++i) r[i] = uint8_t(~r[i]);
  }
}

void _ConvertToBWOrdered(TBitmap& bitmap, TProgressRec& progress) {
  if (bitmap.Empty() || bitmap.GetPixelFormat() == pf1bit) return;
  if (bitmap.GetPixelFormat() != pf24bit) bitmap.SetPixelFormat(pf24bit);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TBitmap out;
  out.SetPixelFormat(pf1bit);
  out.SetSize(w, h);
  // Thresholds compared with the weighted sum directly: g > t with
  // g = sum div 400 holds exactly when sum >= (t + 1) * 400.
  for (int y = 0; y < h; ++y) {
    uint16_t lim[8];
    for (int i = 0; i < 8; ++i) lim[i] = uint16_t((kDither[i][y & 7] + 1) * 400);
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t* d = out.ScanLine(y);
    int x = 0;
    for (; x + 8 <= w; x += 8, s += 24) {
      uint8_t v = 0;
      for (int i = 0; i < 8; ++i) {
        unsigned sum = kGrey.b[s[i * 3]] + kGrey.g[s[i * 3 + 1]] + kGrey.r[s[i * 3 + 2]];
        v = uint8_t((v << 1) | (sum >= lim[i]));
      }
      *d++ = v;
    }
    if (x < w) {
      uint8_t v = 0;
      int i = 0;
      for (; x < w; ++x, ++i, s += 3) {
        unsigned sum = kGrey.b[s[0]] + kGrey.g[s[1]] + kGrey.r[s[2]];
        v = uint8_t(v | ((sum >= lim[i]) << (7 - i)));
      }
      *d = v;
    }
    if (progress.ProgressEvent)
      progress.ProgressEvent(progress.Sender, int((y + 1) * 100 / (h + 0.5)));
  }
  bitmap.SetSize(0, 0);
  bitmap.SetPixelFormat(pf1bit);
  bitmap.Assign(out);
}

namespace {

// The one colour of a pf24bit bitmap, or false when it has more.
bool SingleColour(const TBitmap& bitmap, TRGB& colour) {
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0)
    return false;
  const int w = bitmap.GetWidth();
  const uint8_t* first = bitmap.ScanLine(0);
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* s = bitmap.ScanLine(y);
    for (int x = 0; x < w; ++x, s += 3)
      if (s[0] != first[0] || s[1] != first[1] || s[2] != first[2]) return false;
  }
  colour = CreateRGB(first[2], first[1], first[0]);
  return true;
}

}  // namespace

std::unique_ptr<TBitmap> PVReduceToBilevel(const TBitmap& bitmap, TRGB& c0, TRGB& c1,
                                           TProgressRec& progress) {
  std::unique_ptr<TBitmap> bits = _ConvertTo1bit(bitmap, c0, c1);
  if (bits) return bits;
  // One colour keeps it: a dark one as bit 0 beside white, a light one as
  // bit 1 beside black, so writers without a colour map still store it as
  // the nearer of black and white.
  TRGB only;
  if (SingleColour(bitmap, only)) {
    constexpr int kMidGrey = 128;
    const bool light = std::nearbyint((only.r * 21 + only.g * 71 + only.b * 7) / 100.0) >= kMidGrey;
    bits = std::make_unique<TBitmap>();
    bits->SetPixelFormat(pf1bit);
    bits->SetSize(bitmap.GetWidth(), bitmap.GetHeight());
    for (int y = 0; y < bits->GetHeight(); ++y)
      std::memset(bits->ScanLine(y), light ? 0xFF : 0, size_t(bits->RowBytes()));
    c0 = light ? CreateRGB(0, 0, 0) : only;
    c1 = light ? only : CreateRGB(255, 255, 255);
    return bits;
  }
  bits = std::make_unique<TBitmap>();
  bits->Assign(bitmap);
  if (bits->GetPixelFormat() != pf24bit) bits->SetPixelFormat(pf24bit);
  _ConvertToBWOrdered(*bits, progress);
  if (bits->GetPixelFormat() != pf1bit) bits->SetPixelFormat(pf1bit);
  c0 = CreateRGB(0, 0, 0);
  c1 = CreateRGB(255, 255, 255);
  return bits;
}

std::unique_ptr<TBitmap> _ConvertTo1bit(const TBitmap& bitmap, TRGB& c0, TRGB& c1) {
  if (bitmap.GetPixelFormat() != pf24bit) return nullptr;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  auto out = std::make_unique<TBitmap>();
  out->SetPixelFormat(pf1bit);
  out->SetSize(w, h);
  THash1 hash(13);
  uint32_t k0 = 0, k1 = 0;
  auto key = [](const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  };
  for (int y = 0; y < h && hash.Count() <= 2; ++y) {
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t* d = out->ScanLine(y);
    std::memset(d, 0, size_t(out->RowBytes()));
    for (int x = 0; x < w; ++x, s += 3) {
      uint32_t k = key(s);
      if (hash.Count() == 0 || k != k0) {
        if (hash.Count() < 2 || k != k1) {
          if (hash.Insert(k)) {
            if (hash.Count() == 1) {
              k0 = k;
              c0 = CreateRGB(s[2], s[1], s[0]);
              continue;
            }
            if (hash.Count() > 2) break;
            k1 = k;
            c1 = CreateRGB(s[2], s[1], s[0]);
          }
        }
        d[x >> 3] |= uint8_t(0x80 >> (x & 7));
      }
    }
  }
  if (hash.Count() != 2) return nullptr;
  double g0 = std::nearbyint((c0.r * 21 + c0.g * 71 + c0.b * 7) / 100.0);
  double g1 = std::nearbyint((c1.r * 21 + c1.g * 71 + c1.b * 7) / 100.0);
  if (g1 < g0) {
    _Negative1Bit(*out);
    std::swap(c0, c1);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Palettes

int _GetSimilColor(const TRGB* palette, int count, const TRGB& color) {
  int best = 1000, index = 0;
  for (int i = 0; i < count; ++i) {
    int d = std::abs(palette[i].r - color.r) + std::abs(palette[i].g - color.g) +
            std::abs(palette[i].b - color.b);
    if (d < best) {
      best = d;
      index = i;
    }
  }
  return index;
}

void _RGB2BGR(TRGB* palette, int count) {
  for (int i = 0; i < count; ++i) std::swap(palette[i].b, palette[i].r);
}

void _CopyBGR_RGB(TRGB* dest, const TRGB* source, int count) {
  if (count <= 0) return;
  std::memmove(dest, source, size_t(count) * sizeof(TRGB));
  _RGB2BGR(dest, count);
}

std::unique_ptr<TLogPalette> _CreateWinPalette(const TRGB* palette, int count) {
  auto p = std::make_unique<TLogPalette>();
  p->palVersion = 0x300;
  count = std::clamp(count, 0, 65535);
  p->palPalEntry.resize(size_t(count));
  for (int i = 0; i < count; ++i) {
    p->palPalEntry[i].peRed = palette[i].r;
    p->palPalEntry[i].peGreen = palette[i].g;
    p->palPalEntry[i].peBlue = palette[i].b;
    p->palPalEntry[i].peFlags = 0;
  }
  return p;
}

}  // namespace pictavo
