#include "processing/colour_ops.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "codecs/quantize.h"
#include "core/conversions.h"
#include "processing/colour_spaces.h"
#include "processing/progress.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pictavo {

namespace {

using ByteTable = std::array<uint8_t, 256>;

// Runs fn(row pointer at x1, pixel count) over the rows of the clamped
// rectangle of a pf24bit bitmap, reporting progress after each row.
template <typename Fn>
void ForRows24(TBitmap& bitmap, int x1, int y1, int x2, int y2, const TPVProgressEvent& onProgress,
               TObject* sender, Fn&& fn) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  TRowProgress progress(onProgress, sender, y1, y2);
  for (int y = y1; y < y2; ++y) {
    fn(bitmap.ScanLine(y) + size_t(x1) * 3, x2 - x1);
    progress.Row(y);
  }
}

// Applies one table per channel (blue, green, red) to n pixels.
void ApplyTables(uint8_t* p, int n, const ByteTable& tb, const ByteTable& tg, const ByteTable& tr) {
  for (int i = 0; i < n; ++i, p += 3) {
    p[0] = tb[p[0]];
    p[1] = tg[p[1]];
    p[2] = tr[p[2]];
  }
}

// Saturating add of a per-channel offset to n pixels (0..255 clamping, as
// blimit), 48 bytes at a time where SSE2 is available.
void AddSaturated(uint8_t* p, int n, const int add[3]) {
  size_t bytes = size_t(n) * 3, i = 0;
#if defined(__SSE2__)
  alignas(16) uint8_t plus[48], minus[48];
  for (int k = 0; k < 48; ++k) {
    int v = add[k % 3];
    plus[k] = uint8_t(std::clamp(v, 0, 255));
    minus[k] = uint8_t(std::clamp(-v, 0, 255));
  }
  __m128i pa[3], ma[3];
  for (int k = 0; k < 3; ++k) {
    pa[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(plus + 16 * k));
    ma[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(minus + 16 * k));
  }
  for (; i + 48 <= bytes; i += 48) {
    for (int k = 0; k < 3; ++k) {
      __m128i* q = reinterpret_cast<__m128i*>(p + i + 16 * k);
      __m128i v = _mm_loadu_si128(q);
      v = _mm_subs_epu8(_mm_adds_epu8(v, pa[k]), ma[k]);
      _mm_storeu_si128(q, v);
    }
  }
#endif
  for (; i < bytes; ++i) p[i] = uint8_t(blimit(p[i] + add[i % 3]));
}

void InvertBytes(uint8_t* p, size_t bytes) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i ones = _mm_set1_epi8(char(0xFF));
  for (; i + 16 <= bytes; i += 16) {
    __m128i* q = reinterpret_cast<__m128i*>(p + i);
    _mm_storeu_si128(q, _mm_xor_si128(_mm_loadu_si128(q), ones));
  }
#endif
  for (; i < bytes; ++i) p[i] = uint8_t(255 - p[i]);
}

// The grey weights as tables, and the quotient by 100 of every weighted sum.
struct GreyTables {
  std::array<uint16_t, 256> r, g, b;
  std::vector<uint8_t> div100;
  GreyTables() : div100(255 * 99 + 1) {
    for (int i = 0; i < 256; ++i) {
      r[i] = uint16_t(i * 21);
      g[i] = uint16_t(i * 71);
      b[i] = uint16_t(i * 7);
    }
    for (size_t s = 0; s < div100.size(); ++s) div100[s] = uint8_t(s / 100);
  }
};

const GreyTables& Grey() {
  static const GreyTables tables;
  return tables;
}

ByteTable ContrastTable(int mean, double k) {
  ByteTable t;
  for (int c = 0; c < 256; ++c) t[c] = uint8_t(blimit(mean + int(std::trunc((c - mean) * k))));
  return t;
}

// A new pf24bit bitmap of the source size for the channel getters.
std::unique_ptr<TBitmap> NewGrey(const TBitmap& source) {
  return std::make_unique<TBitmap>(source.GetWidth(), source.GetHeight(), pf24bit);
}

void PrepareGrey(const TBitmap& source, TBitmap& dest) {
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(source.GetWidth(), source.GetHeight());
}

// Reports trunc(100 / height * row) before each row, as the getters do.
void GetterProgress(const TPVProgressEvent& onProgress, TObject* sender, int height, int row) {
  if (onProgress) onProgress(sender, int(100.0 / height * row));
}

void WriteGrey(uint8_t* d, uint8_t v) {
  d[0] = d[1] = d[2] = v;
}

// The three grey values of a pixel's H, S and V.
void HsvGreys(const TRGB& c, uint8_t out[3]) {
  int H, S, V;
  RGB2HSV(c, H, S, V);
  out[0] = uint8_t(std::trunc(H / 359.0 * 255));
  out[1] = uint8_t(std::trunc(S / 99.0 * 255));
  out[2] = uint8_t(std::trunc(V / 99.0 * 255));
}

}  // namespace

void _IntensityRGBall(TBitmap& bitmap, int r, int g, int b, int x1, int y1, int x2, int y2,
                      const TPVProgressEvent& onProgress, TObject* sender) {
  // Offsets beyond +-255 saturate the same way.
  const int add[3] = {std::clamp(b, -255, 255), std::clamp(g, -255, 255), std::clamp(r, -255, 255)};
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender,
            [&](uint8_t* p, int n) { AddSaturated(p, n, add); });
}

double PVContrastFactor(int amount) {
  return amount < 0 ? 1 - std::sqrt(double(-amount)) / 10 : 1 + amount / 10.0;
}

void _GetMediaContrastRGB(const TBitmap& bitmap, int& meanR, int& meanG, int& meanB) {
  meanR = meanG = meanB = 128;
  int64_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (bitmap.GetPixelFormat() != pf24bit || w <= 1 || h <= 1) return;
  uint64_t sum[3] = {0, 0, 0};
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = bitmap.ScanLine(y);
    uint64_t row[3] = {0, 0, 0};
    for (int64_t x = 0; x < w; ++x, p += 3) {
      row[0] += p[0];
      row[1] += p[1];
      row[2] += p[2];
    }
    for (int c = 0; c < 3; ++c) sum[c] += row[c];
  }
  uint64_t divisor = uint64_t(w - 1) * uint64_t(h - 1);
  meanB = int(sum[0] / divisor);
  meanG = int(sum[1] / divisor);
  meanR = int(sum[2] / divisor);
}

int _GetMediaContrast(const TBitmap& bitmap) {
  int64_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (bitmap.GetPixelFormat() != pf24bit || w < 1 || h <= 1) return 128;
  uint64_t sum = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = bitmap.ScanLine(y);
    for (int64_t i = 0; i < w * 3; ++i) sum += p[i];
  }
  return int(sum / (uint64_t(3 * w - 1) * uint64_t(h - 1)));
}

void _ContrastRGB(TBitmap& bitmap, int amount, int x1, int y1, int x2, int y2,
                  const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  int mr, mg, mb;
  _GetMediaContrastRGB(bitmap, mr, mg, mb);
  double k = PVContrastFactor(amount);
  ByteTable tr = ContrastTable(mr, k), tg = ContrastTable(mg, k), tb = ContrastTable(mb, k);
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender,
            [&](uint8_t* p, int n) { ApplyTables(p, n, tb, tg, tr); });
}

void _Contrast(TBitmap& bitmap, int amount, int pivot, int x1, int y1, int x2, int y2,
               const TPVProgressEvent& onProgress, TObject* sender) {
  ByteTable t = ContrastTable(pivot, PVContrastFactor(amount));
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender,
            [&](uint8_t* p, int n) { ApplyTables(p, n, t, t, t); });
}

void _HSVvar(TBitmap& bitmap, int dH, int dS, int dV, int x1, int y1, int x2, int y2,
             const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  // The result depends only on the channels scaled to 0..99: one entry per
  // scaled colour, filled the first time the colour is met.
  constexpr uint32_t kFilled = 1u << 24;
  std::vector<uint32_t> memo(100 * 100 * 100, 0);
  std::array<uint16_t, 256> to99;
  for (int c = 0; c < 256; ++c) to99[c] = uint16_t(PVChannelTo99(c));
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, p += 3) {
      int r = to99[p[2]], g = to99[p[1]], b = to99[p[0]];
      uint32_t& e = memo[size_t(r) * 10000 + g * 100 + b];
      if (!e) {
        int H, S, V;
        PVHSVFrom99(r, g, b, H, S, V);
        TRGB out;
        HSV2RGB(out, H + dH, S + dS, V + dV);
        e = kFilled | uint32_t(out.b) | uint32_t(out.g) << 8 | uint32_t(out.r) << 16;
      }
      p[0] = uint8_t(e);
      p[1] = uint8_t(e >> 8);
      p[2] = uint8_t(e >> 16);
    }
  });
}

void _HSLvar(TBitmap& bitmap, int dH, int dS, int dL, int x1, int y1, int x2, int y2,
             const TPVProgressEvent& onProgress, TObject* sender) {
  const double h = dH / 360.0, s = dS / 100.0, l = dL / 100.0;
  TRGB last{}, lastOut{};
  bool have = false;
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p, int n) {
    TRGB* px = reinterpret_cast<TRGB*>(p);
    for (int i = 0; i < n; ++i) {
      if (!have || !(px[i] == last)) {
        last = px[i];
        double H, S, L;
        RGB2HSL(last, H, S, L);
        HSL2RGB(lastOut, H + h, S + s, L + l);
        have = true;
      }
      px[i] = lastOut;
    }
  });
}

void _CastColorRange(TBitmap& bitmap, const TRGB& beginColor, const TRGB& endColor,
                     const TRGB& castColor, int x1, int y1, int x2, int y2,
                     const TPVProgressEvent& onProgress, TObject* sender) {
  // One mask bit per channel and value: inside the range of that channel.
  std::array<uint8_t, 256> inside{};
  for (int v = 0; v < 256; ++v)
    inside[v] = uint8_t((v >= beginColor.b && v <= endColor.b) |
                        (v >= beginColor.g && v <= endColor.g) << 1 |
                        (v >= beginColor.r && v <= endColor.r) << 2);
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p, int n) {
    TRGB* px = reinterpret_cast<TRGB*>(p);
    for (int i = 0; i < n; ++i)
      if ((inside[px[i].b] & 1) & (inside[px[i].g] >> 1) & (inside[px[i].r] >> 2))
        px[i] = castColor;
  });
}

void _Threshold(TBitmap& bitmap, const TRGB& downLimit, const TRGB& upLimit, const TRGB& downVal,
                const TRGB& upVal, int x1, int y1, int x2, int y2,
                const TPVProgressEvent& onProgress, TObject* sender) {
  if (downLimit == TRGB{0, 0, 0} && upLimit == TRGB{255, 255, 255}) return;
  auto table = [](uint8_t down, uint8_t up, uint8_t downV, uint8_t upV) {
    ByteTable t;
    for (int c = 0; c < 256; ++c) {
      int v = c <= down ? downV : c;
      t[c] = uint8_t(v > up ? upV : v);
    }
    return t;
  };
  ByteTable tb = table(downLimit.b, upLimit.b, downVal.b, upVal.b);
  ByteTable tg = table(downLimit.g, upLimit.g, downVal.g, upVal.g);
  ByteTable tr = table(downLimit.r, upLimit.r, downVal.r, upVal.r);
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender,
            [&](uint8_t* p, int n) { ApplyTables(p, n, tb, tg, tr); });
}

void _Negative(TBitmap& bitmap, int x1, int y1, int x2, int y2, const TPVProgressEvent& onProgress,
               TObject* sender) {
  if (bitmap.GetPixelFormat() == pf1bit) {
    if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
    for (int y = y1; y < y2; ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      int x = x1;
      for (; x < x2 && (x & 7); ++x) row[x >> 3] ^= uint8_t(0x80 >> (x & 7));
      for (; x + 8 <= x2; x += 8) row[x >> 3] = uint8_t(~row[x >> 3]);
      for (; x < x2; ++x) row[x >> 3] ^= uint8_t(0x80 >> (x & 7));
    }
    return;
  }
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender,
            [](uint8_t* p, int n) { InvertBytes(p, size_t(n) * 3); });
}

void _ConvertToGray(TBitmap& bitmap, int x1, int y1, int x2, int y2,
                    const TPVProgressEvent& onProgress, TObject* sender) {
  const GreyTables& t = Grey();
  ForRows24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p, int n) {
    for (int i = 0; i < n; ++i, p += 3) {
      uint8_t v = t.div100[t.b[p[0]] + t.g[p[1]] + t.r[p[2]]];
      p[0] = p[1] = p[2] = v;
    }
  });
}

std::unique_ptr<TBitmap> _GetRGBChannel(const TBitmap& bitmap, int channel,
                                        const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return nullptr;
  int c = std::clamp(channel, 0, 2);
  auto out = NewGrey(bitmap);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  for (int y = 0; y < h; ++y) {
    GetterProgress(onProgress, sender, h, y);
    const uint8_t* s = bitmap.ScanLine(y) + c;
    uint8_t* d = out->ScanLine(y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) WriteGrey(d, *s);
  }
  return out;
}

std::unique_ptr<TBitmap> _GetHSVChannel(const TBitmap& bitmap, int channel,
                                        const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return nullptr;
  int c = channel == 1 || channel == 2 ? channel : 0;
  auto out = NewGrey(bitmap);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  for (int y = 0; y < h; ++y) {
    GetterProgress(onProgress, sender, h, y);
    const TRGB* s = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
    uint8_t* d = out->ScanLine(y);
    uint8_t g[3];
    for (int x = 0; x < w; ++x, d += 3) {
      HsvGreys(s[x], g);
      WriteGrey(d, g[c]);
    }
  }
  return out;
}

void _GetRGBChannelAll(const TBitmap& bitmap, TBitmap& r, TBitmap& g, TBitmap& b,
                       const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  PrepareGrey(bitmap, r);
  PrepareGrey(bitmap, g);
  PrepareGrey(bitmap, b);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  for (int y = 0; y < h; ++y) {
    GetterProgress(onProgress, sender, h, y);
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t *dr = r.ScanLine(y), *dg = g.ScanLine(y), *db = b.ScanLine(y);
    for (int x = 0; x < w; ++x, s += 3) {
      WriteGrey(dr + 3 * x, s[2]);
      WriteGrey(dg + 3 * x, s[1]);
      WriteGrey(db + 3 * x, s[0]);
    }
  }
}

void _GetHSVChannelAll(const TBitmap& bitmap, TBitmap& h, TBitmap& s, TBitmap& v,
                       const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  PrepareGrey(bitmap, h);
  PrepareGrey(bitmap, s);
  PrepareGrey(bitmap, v);
  int w = bitmap.GetWidth(), rows = bitmap.GetHeight();
  for (int y = 0; y < rows; ++y) {
    GetterProgress(onProgress, sender, rows, y);
    const TRGB* src = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
    uint8_t *dh = h.ScanLine(y), *ds = s.ScanLine(y), *dv = v.ScanLine(y);
    uint8_t g[3];
    for (int x = 0; x < w; ++x) {
      HsvGreys(src[x], g);
      WriteGrey(dh + 3 * x, g[0]);
      WriteGrey(ds + 3 * x, g[1]);
      WriteGrey(dv + 3 * x, g[2]);
    }
  }
}

int _GetImageNumColors(const TBitmap& bitmap, int x1, int y1, int x2, int y2) {
  if (bitmap.GetPixelFormat() == pf1bit) return 2;
  if (bitmap.GetPixelFormat() != pf24bit) return 0;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return 0;
  // A set of R shl 16 or G shl 8 or B keys: one bit per possible key, so
  // the count is exact whatever the image.
  std::vector<uint64_t> seen(size_t(1) << 18, 0);
  int count = 0;
  for (int y = y1; y < y2; ++y) {
    const uint8_t* p = bitmap.ScanLine(y) + size_t(x1) * 3;
    for (int x = x1; x < x2; ++x, p += 3) {
      uint32_t key = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      uint64_t bit = uint64_t(1) << (key & 63);
      uint64_t& word = seen[key >> 6];
      count += (word & bit) == 0;
      word |= bit;
    }
  }
  return count;
}

void _ConvertTo(TBitmap& bitmap, int colors, TRGB* palette, const TPVProgressEvent& onProgress,
                TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.Empty()) return;
  if (colors <= 2) {
    TProgressRec progress;
    progress.ProgressEvent = onProgress;
    progress.Sender = sender;
    _ConvertToBWOrdered(bitmap, progress);
    if (palette) {
      palette[0] = TRGB{0, 0, 0};
      palette[1] = TRGB{255, 255, 255};
    }
    return;
  }
  std::vector<TRGB> own;
  if (!palette) {
    own.resize(size_t(colors));
    palette = own.data();
  }
  TPVQuantizer quantizer(bitmap, palette, 0, colors, -1);
  int h = bitmap.GetHeight(), w = bitmap.GetWidth();
  TRGB last{}, lastOut{};
  bool have = false;
  for (int y = 0; y < h; ++y) {
    TRGB* row = reinterpret_cast<TRGB*>(bitmap.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      if (!have || !(row[x] == last)) {
        last = row[x];
        lastOut = palette[quantizer.GetRGBIndex(last)];
        have = true;
      }
      row[x] = lastOut;
    }
    if (onProgress) onProgress(sender, int((y + 1) * 100 / (h + 0.5)));
  }
}

void _ConvertToBWThreshold(TBitmap& bitmap, int threshold, TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.Empty()) return;
  if (threshold == -1) {
    int mr, mg, mb;
    _GetMediaContrastRGB(bitmap, mr, mg, mb);
    threshold = (mr * 21 + mg * 71 + mb * 7) / 100;
  }
  const GreyTables& t = Grey();
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TBitmap out(w, h, pf1bit);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = bitmap.ScanLine(y);
    uint8_t* d = out.ScanLine(y);
    std::memset(d, 0, size_t(out.RowBytes()));
    for (int x = 0; x < w; ++x, s += 3) {
      int grey = t.div100[t.b[s[0]] + t.g[s[1]] + t.r[s[2]]];
      if (grey >= threshold) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
    if (progress.ProgressEvent)
      progress.ProgressEvent(progress.Sender, int((y + 1) * 100 / (h + 0.5)));
  }
  PVCopyBitmap(out, bitmap);
}

}  // namespace pictavo
