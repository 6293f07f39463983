// Weak link-time stand-ins for units that other branches provide (the BMP
// and PNG readers, the quantizer, the bilevel conversions).  Any real
// definition in the library overrides these; delete this file once those
// units are on main.
#include <cstdlib>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/png.h"
#include "codecs/quantize.h"
#include "core/conversions.h"
namespace pictavo {
__attribute__((weak)) void BMPReadStream(TStream&, TBitmap&, int64_t, TIOParamsVals&,
                                         TProgressRec& p, bool) {
  p.Abort();
}
__attribute__((weak)) void ReadPNGStream(TStream&, TBitmap*, TIOParamsVals&, bool,
                                         TProgressRec& p) {
  p.Abort();
}
namespace {
struct Q {
  std::vector<TRGB> pal;
};
}  // namespace
__attribute__((weak)) TPVQuantizer::TPVQuantizer(TBitmap& bm, TRGB* map, int, int count, int, int) {
  auto* q = new Q;
  for (int y = 0; y < bm.GetHeight(); ++y) {
    const TRGB* r = reinterpret_cast<const TRGB*>(bm.ScanLine(y));
    for (int x = 0; x < bm.GetWidth(); ++x) {
      bool f = false;
      for (auto& c : q->pal)
        if (c == r[x]) {
          f = true;
          break;
        }
      if (!f && int(q->pal.size()) < count) q->pal.push_back(r[x]);
    }
  }
  for (size_t i = 0; i < q->pal.size(); ++i) map[i] = q->pal[i];
  handle_ = q;
}
__attribute__((weak)) TPVQuantizer::~TPVQuantizer() {
  delete static_cast<Q*>(handle_);
}
__attribute__((weak)) int TPVQuantizer::GetRGBIndex(const TRGB& c) {
  auto* q = static_cast<Q*>(handle_);
  int best = 0, bd = 1 << 30;
  for (size_t i = 0; i < q->pal.size(); ++i) {
    int d = std::abs(q->pal[i].r - c.r) + std::abs(q->pal[i].g - c.g) + std::abs(q->pal[i].b - c.b);
    if (d < bd) {
      bd = d;
      best = int(i);
    }
  }
  return best;
}
__attribute__((weak)) std::unique_ptr<TBitmap> _ConvertTo1bit(const TBitmap& bm, TRGB& c0,
                                                              TRGB& c1) {
  std::vector<TRGB> cs;
  for (int y = 0; y < bm.GetHeight(); ++y) {
    const TRGB* r = reinterpret_cast<const TRGB*>(bm.ScanLine(y));
    for (int x = 0; x < bm.GetWidth(); ++x) {
      bool f = false;
      for (auto& c : cs)
        if (c == r[x]) f = true;
      if (!f) {
        cs.push_back(r[x]);
        if (cs.size() > 2) return nullptr;
      }
    }
  }
  if (cs.size() != 2) return nullptr;
  auto g = [](const TRGB& c) { return c.r * 21 + c.g * 71 + c.b * 7; };
  if (g(cs[0]) > g(cs[1])) std::swap(cs[0], cs[1]);
  c0 = cs[0];
  c1 = cs[1];
  auto out = std::make_unique<TBitmap>(bm.GetWidth(), bm.GetHeight(), pf1bit);
  for (int y = 0; y < bm.GetHeight(); ++y) {
    const TRGB* r = reinterpret_cast<const TRGB*>(bm.ScanLine(y));
    uint8_t* d = out->ScanLine(y);
    for (int x = 0; x < bm.GetWidth(); ++x) {
      if (r[x] == c1)
        d[x >> 3] |= 0x80 >> (x & 7);
      else
        d[x >> 3] &= ~(0x80 >> (x & 7));
    }
  }
  return out;
}
__attribute__((weak)) void _ConvertToBWOrdered(TBitmap& bm, TProgressRec&) {
  bm.SetPixelFormat(pf1bit);
}
}  // namespace pictavo
