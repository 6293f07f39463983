// Weak stand-ins for pixel helpers whose full versions live in other units
// (core/conversions, codecs/quantize).  The linker prefers those strong
// definitions as soon as they are part of the library; until then these
// keep the JPEG and PNG writers usable.
#include <cstring>
#include <map>

#include "codecs/quantize.h"
#include "core/conversions.h"

namespace pictavo {

#define PV_WEAK __attribute__((weak))

PV_WEAK int _RGBToGray(const TRGB& rgb) {
  return (rgb.r * 21 + rgb.g * 71 + rgb.b * 7) / 100;
}

PV_WEAK TRGB CreateRGB(uint8_t r, uint8_t g, uint8_t b) {
  TRGB c;
  c.r = r;
  c.g = g;
  c.b = b;
  return c;
}

PV_WEAK void _Conv1to24(const TBitmap& source, TBitmap& dest) {
  const int w = source.GetWidth(), h = source.GetHeight();
  dest.SetSize(1, 1);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = dest.ScanLine(y);
    for (int x = 0; x < w; ++x, d += 3) {
      const uint8_t v = (s[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      d[0] = d[1] = d[2] = v;
    }
  }
}

PV_WEAK std::unique_ptr<TBitmap> _ConvertTo1bit(const TBitmap& bitmap, TRGB& c0, TRGB& c1) {
  if (bitmap.GetPixelFormat() != pf24bit) return nullptr;
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  bool haveA = false, haveB = false;
  TRGB a{}, b{};
  for (int y = 0; y < h; ++y) {
    const TRGB* p = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      if (!haveA) {
        a = p[x];
        haveA = true;
      } else if (p[x] == a)
        continue;
      else if (!haveB) {
        b = p[x];
        haveB = true;
      } else if (!(p[x] == b))
        return nullptr;
    }
  }
  if (!haveB) b = a;
  if (_RGBToGray(b) < _RGBToGray(a)) std::swap(a, b);
  c0 = a;
  c1 = b;
  auto out = std::make_unique<TBitmap>(w, h, pf1bit);
  for (int y = 0; y < h; ++y) {
    const TRGB* p = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
    uint8_t* d = out->ScanLine(y);
    std::memset(d, 0, static_cast<size_t>(out->RowBytes()));
    for (int x = 0; x < w; ++x)
      if (p[x] == b && !(a == b)) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
  return out;
}

PV_WEAK void _ConvertToBWOrdered(TBitmap& bitmap, TProgressRec&) {
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  TBitmap full;
  full.Assign(bitmap);
  full.SetPixelFormat(pf24bit);
  const int w = full.GetWidth(), h = full.GetHeight();
  bitmap.SetSize(1, 1);
  bitmap.SetPixelFormat(pf1bit);
  bitmap.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    const TRGB* p = reinterpret_cast<const TRGB*>(full.ScanLine(y));
    uint8_t* d = bitmap.ScanLine(y);
    std::memset(d, 0, static_cast<size_t>(bitmap.RowBytes()));
    for (int x = 0; x < w; ++x)
      if (_RGBToGray(p[x]) * 16 / 256 > kBayer[y & 3][x & 3]) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
}

namespace {
struct FallbackQuantizer {
  std::map<uint32_t, int> exact;
  bool uniform = false;
};
uint32_t Key(const TRGB& c) {
  return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
}
}  // namespace

// Exact palette when the bitmap has few enough colours, else a 3-3-2 cube.
PV_WEAK TPVQuantizer::TPVQuantizer(TBitmap& bitmap, TRGB* colorMap, int, int colorCount, int, int) {
  auto* q = new FallbackQuantizer();
  handle_ = q;
  for (int i = 0; i < colorCount; ++i) colorMap[i] = TRGB{};
  for (int y = 0; y < bitmap.GetHeight() && !q->uniform; ++y) {
    const TRGB* p = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      if (q->exact.count(Key(p[x]))) continue;
      if (static_cast<int>(q->exact.size()) >= colorCount) {
        q->uniform = true;
        break;
      }
      const int index = static_cast<int>(q->exact.size());
      q->exact[Key(p[x])] = index;
      colorMap[index] = p[x];
    }
  }
  if (q->uniform && colorCount >= 256) {
    for (int i = 0; i < 256; ++i)
      colorMap[i] = CreateRGB(uint8_t((i >> 5) * 255 / 7), uint8_t(((i >> 2) & 7) * 255 / 7),
                              uint8_t((i & 3) * 255 / 3));
  }
}

PV_WEAK TPVQuantizer::~TPVQuantizer() {
  delete static_cast<FallbackQuantizer*>(handle_);
}

PV_WEAK int TPVQuantizer::GetRGBIndex(const TRGB& color) {
  auto* q = static_cast<FallbackQuantizer*>(handle_);
  if (!q->uniform) {
    auto it = q->exact.find(Key(color));
    return it == q->exact.end() ? 0 : it->second;
  }
  return ((color.r * 7 + 127) / 255) << 5 | ((color.g * 7 + 127) / 255) << 2 |
         ((color.b * 3 + 127) / 255);
}

}  // namespace pictavo
