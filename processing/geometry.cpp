#include "processing/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "core/conversions.h"
#include "core/mask.h"
#include "platform/canvas.h"

namespace pictavo {

namespace {

// ---------------------------------------------------------------------------
// Quarter turns

// Tiles keep both the rows read and the rows written in the cache.
constexpr int kTurnTile = 32;

template <typename Map>
void Turn(const TBitmap& source, TBitmap& dest, Map map) {
  int w = source.GetWidth(), h = source.GetHeight();
  dest.SetSize(0, 0);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(h, w);
  for (int y0 = 0; y0 < h; y0 += kTurnTile)
    for (int x0 = 0; x0 < w; x0 += kTurnTile)
      for (int y = y0; y < std::min(y0 + kTurnTile, h); ++y) {
        const uint8_t* s = source.ScanLine(y);
        for (int x = x0; x < std::min(x0 + kTurnTile, w); ++x) {
          TPoint d = map(x, y, w, h);
          std::memcpy(dest.ScanLine(d.y) + size_t(d.x) * 3, s + size_t(x) * 3, 3);
        }
      }
}

// ---------------------------------------------------------------------------
// Shear rotation

// One channel of blend(prev, cur) = round((prev f + cur (4096 - f) + 2048) /
// 4096), half to even, clamped to 0..255, in integers.
inline uint8_t Blend(int prev, int cur, int f) {
  int n = f * (prev - cur) + (cur << 12) + 2048;
  int q = n >> 12;  // floor
  int rem = n & 4095;
  q += (rem > 2048) | ((rem == 2048) & (q & 1));
  return uint8_t(q < 0 ? 0 : q > 255 ? 255 : q);
}

inline void BlendPixel(uint8_t* d, const uint8_t* prev, const uint8_t* cur, int f) {
  d[0] = Blend(prev[0], cur[0], f);
  d[1] = Blend(prev[1], cur[1], f);
  d[2] = Blend(prev[2], cur[2], f);
}

void FillPixels(uint8_t* d, size_t count, const uint8_t fill[3]) {
  if (fill[0] == fill[1] && fill[1] == fill[2]) {
    std::memset(d, fill[0], count * 3);
    return;
  }
  for (size_t i = 0; i < count; ++i, d += 3) std::memcpy(d, fill, 3);
}

// Writes the n pixels of src at columns o .. o + n - 1 of a row of `width`
// pixels already holding the fill colour; pixels outside the row are
// dropped and do not become "prev".  With antialias each written pixel is
// blend(prev, cur) (prev starting as the fill colour and following the
// last source pixel written), and when f > 0 the column after the run
// receives blend(prev, fill).
__attribute__((optimize("O3"))) void ShearRun(const uint8_t* src, int n, uint8_t* dst, int width,
                                              int o, int f, bool antialias, const uint8_t fill[3]) {
  int xa = std::max(0, -o), xb = std::min(n, width - o);
  const uint8_t* prev = fill;
  if (xa < xb) {
    if (!antialias) {
      std::memcpy(dst + size_t(o + xa) * 3, src + size_t(xa) * 3, size_t(xb - xa) * 3);
    } else {
      uint8_t* d = dst + size_t(o + xa) * 3;
      const uint8_t* s = src + size_t(xa) * 3;
      BlendPixel(d, fill, s, f);
      size_t bytes = size_t(xb - xa) * 3;
      for (size_t i = 3; i < bytes; ++i) d[i] = Blend(s[i - 3], s[i], f);
    }
    prev = src + size_t(xb - 1) * 3;
  }
  if (antialias && f > 0 && o + n < width && o + n >= 0)
    BlendPixel(dst + size_t(o + n) * 3, prev, fill, f);
}

// A packed 3-byte image buffer (rows without padding).
struct Buffer {
  int64_t width = 0, height = 0;
  std::vector<uint8_t> bytes;
  Buffer(int64_t w, int64_t h) : width(w), height(h), bytes(size_t(w) * size_t(h) * 3) {}
  uint8_t* Row(int64_t y) { return bytes.data() + size_t(y) * size_t(width) * 3; }
};

class StepProgress {
 public:
  StepProgress(const TPVProgressEvent& event, TObject* sender, int64_t steps)
      : event_(event), sender_(sender), total_(double(steps) + 0.5) {}
  void Step() {
    if (event_) event_(sender_, int(step_ * 100 / total_));
    ++step_;
  }

 private:
  const TPVProgressEvent& event_;
  TObject* sender_;
  double total_;
  int64_t step_ = 0;
};

void ShearPass1(const TBitmap& src, const TShearSizes& z, bool aa, const uint8_t fill[3],
                Buffer& out, StepProgress& progress) {
  FillPixels(out.bytes.data(), size_t(out.width * out.height), fill);
  for (int y = 0; y < z.h; ++y) {
    double s = z.theta > 0 ? y : z.h - y;
    double sh = s * z.T;
    double o = std::nearbyint(sh);
    int f = int(std::trunc((sh - o) * 4096));
    ShearRun(src.ScanLine(y), int(z.w), out.Row(y), int(z.W1), int(o), f, aa, fill);
    progress.Step();
  }
}

// Columns of the vertical shear taken together, so that reads and writes
// move down a narrow band of rows.
constexpr int kShearBlock = 64;

void ShearPass2(Buffer& in, const TShearSizes& z, bool aa, const uint8_t fill[3], Buffer& out,
                StepProgress& progress) {
  FillPixels(out.bytes.data(), size_t(out.width * out.height), fill);
  int o[kShearBlock], f[kShearBlock];
  const uint8_t* prev[kShearBlock];
  int H2 = int(z.H2), h = int(z.h);
  for (int x0 = 0; x0 < z.W1; x0 += kShearBlock) {
    int nb = int(std::min<int64_t>(kShearBlock, z.W1 - x0));
    for (int k = 0; k < nb; ++k) {
      int x = x0 + k;
      double s = z.theta > 0 ? double(z.W1 - x) : double(x);
      double sh = s * z.S;
      double oo = std::nearbyint(sh);
      f[k] = int(std::nearbyint((sh - oo) * 4096));
      o[k] = int(oo) - int(z.D1);
      prev[k] = fill;
    }
    for (int y = 0; y < h; ++y) {
      const uint8_t* srow = in.Row(y) + size_t(x0) * 3;
      for (int k = 0; k < nb; ++k) {
        int r = y + o[k];
        if (r < 0 || r >= H2) continue;
        const uint8_t* cur = srow + 3 * k;
        uint8_t* d = out.Row(r) + size_t(x0 + k) * 3;
        if (aa)
          BlendPixel(d, prev[k], cur, f[k]);
        else
          std::memcpy(d, cur, 3);
        prev[k] = cur;
      }
    }
    for (int k = 0; k < nb; ++k) {
      int r = o[k] + h;
      if (aa && f[k] > 0 && r < H2 && r >= 0)
        BlendPixel(out.Row(r) + size_t(x0 + k) * 3, prev[k], fill, f[k]);
      progress.Step();
    }
  }
}

void ShearPass3(Buffer& in, const TShearSizes& z, bool aa, const uint8_t fill[3], TBitmap& dest,
                StepProgress& progress) {
  for (int y = 0; y < z.H2; ++y) {
    double s = z.theta > 0 ? double(y) : double(z.H2 - y);
    double sh = s * z.T;
    double o = std::nearbyint(sh);
    int f = int(std::nearbyint((sh - o) * 4096));
    uint8_t* d = dest.ScanLine(y);
    FillPixels(d, size_t(z.W3), fill);
    ShearRun(in.Row(y), int(z.W1), d, int(z.W3), int(o) - int(z.D2), f, aa, fill);
    progress.Step();
  }
}

bool SizeOk(int64_t w, int64_t h) {
  return PVImageSizeAllowed(w, h);
}

// ---------------------------------------------------------------------------
// Flips

void FlipBitsRow(uint8_t* row, int width) {
  std::vector<uint8_t> copy(row, row + (width + 7) / 8);
  for (int x = 0; x < width; ++x) {
    int sx = width - 1 - x;
    uint8_t bit = (copy[sx >> 3] >> (7 - (sx & 7))) & 1;
    uint8_t mask = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = uint8_t(bit ? row[x >> 3] | mask : row[x >> 3] & ~mask);
  }
}

void FlipNibblesRow(uint8_t* row, int width) {
  std::vector<uint8_t> copy(row, row + (width + 1) / 2);
  for (int x = 0; x < width; ++x) {
    int sx = width - 1 - x;
    uint8_t v = (sx & 1) ? copy[sx >> 1] & 0x0F : copy[sx >> 1] >> 4;
    row[x >> 1] =
        (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | v) : uint8_t((row[x >> 1] & 0x0F) | v << 4);
  }
}

void FlipPixelsRow(uint8_t* row, int width, size_t bytes) {
  uint8_t tmp[4];
  for (int a = 0, b = width - 1; a < b; ++a, --b) {
    std::memcpy(tmp, row + a * bytes, bytes);
    std::memcpy(row + a * bytes, row + b * bytes, bytes);
    std::memcpy(row + b * bytes, tmp, bytes);
  }
}

// ---------------------------------------------------------------------------
// Polygon copies

// Calls fn(points, count) for every sub-polygon of at least one point.
template <typename Fn>
void ForEachSubPolygon(const TPoint* polygon, int count, Fn&& fn) {
  int start = 0;
  for (int i = 0; i <= count; ++i) {
    if (i == count || polygon[i].x == kPVPolygonBreak) {
      if (i > start) fn(polygon + start, i - start);
      start = i + 1;
    }
  }
}

TRect PolygonBox(const TPoint* polygon, int count) {
  TRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  for (int i = 0; i < count; ++i) {
    if (polygon[i].x == kPVPolygonBreak) continue;
    box.Left = std::min(box.Left, polygon[i].x);
    box.Top = std::min(box.Top, polygon[i].y);
    box.Right = std::max(box.Right, polygon[i].x);
    box.Bottom = std::max(box.Bottom, polygon[i].y);
  }
  return box;
}

// Draws the source at (dx, dy) of dest through each sub-polygon of `clip`.
void DrawThroughPolygons(TBitmap& dest, const TBitmap& source, int dx, int dy, const TPoint* clip,
                         int count) {
  TCanvas& canvas = dest.Canvas();
  ForEachSubPolygon(clip, count, [&](const TPoint* p, int n) {
    canvas.SetClipPolygon(p, n);
    canvas.Draw(dx, dy, source);
  });
  canvas.ClearClip();
}

void GrowTo(TBitmap& dest, int64_t width, int64_t height) {
  int64_t w = std::max<int64_t>(dest.GetWidth(), width);
  int64_t h = std::max<int64_t>(dest.GetHeight(), height);
  if (w != dest.GetWidth() || h != dest.GetHeight()) dest.SetSize(int(w), int(h));
}

}  // namespace

void _Rot90(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest || source.GetPixelFormat() != pf24bit) return;
  Turn(source, dest, [](int x, int y, int w, int) { return TPoint(y, w - 1 - x); });
}

void _Rot90o(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest || source.GetPixelFormat() != pf24bit) return;
  Turn(source, dest, [](int x, int y, int, int h) { return TPoint(h - 1 - y, x); });
}

TShearSizes PVShearSizes(int w, int h, int angle) {
  TShearSizes z;
  z.theta = angle * std::numbers::pi / 180;
  z.T = std::fabs(std::sin(z.theta / 2) / std::cos(z.theta / 2));
  z.S = std::fabs(std::sin(z.theta));
  z.w = w;
  z.h = h;
  z.W1 = int64_t(std::nearbyint(h * z.T + w + 1));
  z.D1 = int64_t(std::nearbyint((z.W1 - w) * z.S));
  z.H2p = int64_t(std::nearbyint(z.W1 * z.S + h + 1));
  z.D2 = int64_t(std::nearbyint((z.H2p - h - z.D1) * z.T));
  z.H2 = z.H2p - 2 * z.D1;
  z.W3 = int64_t(std::nearbyint(z.H2 * z.T + z.W1 + 1 - 2 * z.D2));
  return z;
}

int PVQuarterTurns(int& angle) {
  angle %= 360;
  int turns = 0;
  while (angle > 45) {
    angle -= 90;
    ++turns;
  }
  while (angle < -45) {
    angle += 90;
    --turns;
  }
  return turns;
}

bool _RotateShear(TBitmap& bitmap, int angle, bool antialias, TColor fill,
                  const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return false;
  int turns = PVQuarterTurns(angle);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (turns & 1) std::swap(w, h);
  TShearSizes z;
  if (angle != 0) {
    z = PVShearSizes(w, h, angle);
    if (!SizeOk(z.W1, z.h) || !SizeOk(z.W1, z.H2) || !SizeOk(z.W3, z.H2)) return false;
  }
  for (; turns > 0; --turns) {
    TBitmap turned;
    _Rot90(bitmap, turned);
    PVCopyBitmap(turned, bitmap);
  }
  for (; turns < 0; ++turns) {
    TBitmap turned;
    _Rot90o(bitmap, turned);
    PVCopyBitmap(turned, bitmap);
  }
  if (angle == 0 || bitmap.Empty()) return true;
  TRGB f = TColor2TRGB(ColorToRGB(fill));
  const uint8_t fillBytes[3] = {f.b, f.g, f.r};
  StepProgress progress(onProgress, sender, z.h + z.W1 + z.H2);
  Buffer pass1(z.W1, z.h);
  ShearPass1(bitmap, z, antialias, fillBytes, pass1, progress);
  Buffer pass2(z.W1, z.H2);
  ShearPass2(pass1, z, antialias, fillBytes, pass2, progress);
  pass1 = Buffer(0, 0);
  bitmap.SetSize(0, 0);
  bitmap.SetSize(int(z.W3), int(z.H2));
  ShearPass3(pass2, z, antialias, fillBytes, bitmap, progress);
  return true;
}

bool _rotate1bit(TBitmap& bitmap, int fillBit, TProgressRec& progress, double angle) {
  if (bitmap.GetPixelFormat() != pf1bit || bitmap.Empty()) return false;
  double theta = -angle / 57.29577951308232;
  double c = std::trunc(std::cos(theta) * 10000) / 10000;
  double s = std::trunc(std::sin(theta) * 10000) / 10000;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  double W = std::trunc(std::fabs(w * c) + std::fabs(h * s));
  double H = std::trunc(std::fabs(w * s) + std::fabs(h * c));
  if (!SizeOk(int64_t(W), int64_t(H))) return false;
  int nw = int(W), nh = int(H);
  double cxNew = nw / 2.0 - 0.5, cyNew = nh / 2.0 - 0.5;
  double cxOld = w / 2.0 - 0.5, cyOld = h / 2.0 - 0.5;
  // The column terms of u and v, the same products for every row.
  std::vector<double> cu(static_cast<size_t>(nw)), sv(static_cast<size_t>(nw));
  for (int i = 0; i < nw; ++i) {
    cu[i] = c * (i - cxNew);
    sv[i] = -s * (i - cxNew);
  }
  TBitmap out(nw, nh, pf1bit);
  for (int j = 0; j < nh; ++j) {
    double su = s * (j - cyNew), cv = c * (j - cyNew);
    uint8_t* d = out.ScanLine(j);
    std::memset(d, 0, size_t(out.RowBytes()));
    for (int i = 0; i < nw; ++i) {
      double uu = std::trunc(cu[i] + su + cxOld), vv = std::trunc(sv[i] + cv + cyOld);
      int bit = fillBit;
      if (uu >= 0 && uu < w && vv >= 0 && vv < h) {
        int u = int(uu), v = int(vv);
        bit = (bitmap.ScanLine(v)[u >> 3] >> (7 - (u & 7))) & 1;
      }
      if (bit) d[i >> 3] |= uint8_t(0x80 >> (i & 7));
    }
    if (progress.ProgressEvent) progress.ProgressEvent(progress.Sender, int(j * 100.0 / nh));
  }
  PVCopyBitmap(out, bitmap);
  return true;
}

void _Flip(TBitmap& bitmap, TFlipDir direction) {
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w == 0 || h == 0) return;
  if (direction == fdVertical) {
    size_t bytes = size_t(bitmap.RowBytes());
    std::vector<uint8_t> tmp(bytes);
    for (int a = 0, b = h - 1; a < b; ++a, --b) {
      std::memcpy(tmp.data(), bitmap.ScanLine(a), bytes);
      std::memcpy(bitmap.ScanLine(a), bitmap.ScanLine(b), bytes);
      std::memcpy(bitmap.ScanLine(b), tmp.data(), bytes);
    }
    return;
  }
  int bits = StorageBitCount(bitmap.GetPixelFormat());
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    if (bits == 1)
      FlipBitsRow(row, w);
    else if (bits == 4)
      FlipNibblesRow(row, w);
    else
      FlipPixelsRow(row, w, size_t(bits / 8));
  }
}

void _CopyBitmapPoly(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2,
                     const TPoint* polygon, int count) {
  if (&source == &dest) return;
  dest.SetSize(0, 0);
  dest.SetPixelFormat(source.GetPixelFormat());
  if (source.GetPixelFormat() == pf4bit || source.GetPixelFormat() == pf8bit)
    dest.SetPalette(source.GetPalette());
  dest.SetSize(std::max(x2 - x1, 0), std::max(y2 - y1, 0));
  if (dest.Empty()) return;
  if (!polygon || count <= 0) {
    dest.Canvas().Draw(-x1, -y1, source);
    return;
  }
  std::vector<TPoint> moved(polygon, polygon + count);
  for (TPoint& p : moved)
    if (p.x != kPVPolygonBreak) p = TPoint(p.x - x1, p.y - y1);
  DrawThroughPolygons(dest, source, -x1, -y1, moved.data(), count);
}

void _CopyPolygonToPoint(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest) {
  if (!polygon || count < 3 || &source == &dest) return;
  TRect box = PolygonBox(polygon, count);
  int64_t right = int64_t(point.x) + box.Right - box.Left;
  int64_t bottom = int64_t(point.y) + box.Bottom - box.Top;
  if (!SizeOk(std::max<int64_t>(dest.GetWidth(), right + 1),
              std::max<int64_t>(dest.GetHeight(), bottom + 1)))
    return;
  GrowTo(dest, right + 1, bottom + 1);
  std::vector<TPoint> moved(polygon, polygon + count);
  for (TPoint& p : moved)
    if (p.x != kPVPolygonBreak) p = TPoint(p.x - box.Left + point.x, p.y - box.Top + point.y);
  DrawThroughPolygons(dest, source, point.x - box.Left, point.y - box.Top, moved.data(), count);
}

void _CopyPointToPolygon(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest) {
  if (!polygon || count < 3 || &source == &dest) return;
  TRect box = PolygonBox(polygon, count);
  if (!SizeOk(std::max<int64_t>(dest.GetWidth(), box.Right),
              std::max<int64_t>(dest.GetHeight(), box.Bottom)))
    return;
  GrowTo(dest, box.Right, box.Bottom);
  DrawThroughPolygons(dest, source, box.Left - point.x, box.Top - point.y, polygon, count);
}

}  // namespace pictavo
