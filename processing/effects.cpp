#include "processing/effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/canvas.h"
#include "processing/progress.h"

namespace pictavo {

namespace {

constexpr int kBytesPerPixel = 3;
constexpr double kPi = std::numbers::pi;

inline uint8_t Limit(double v) {
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}
inline int Limit(int v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}
inline int GreyOf(const uint8_t* p) {
  return (p[2] * 21 + p[1] * 71 + p[0] * 7) / 100;
}

void Report(TProgressRec& progress, int per) {
  if (progress.ProgressEvent) progress.ProgressEvent(progress.Sender, per);
}

}  // namespace

// --- Wave ------------------------------------------------------------------------
//
// Rows are numbered from the bottom in the formulas.  The displacement of a
// pixel depends only on its distance from the centre, and the four pixels
// mirrored about the centre lines have bit-identical distances (x - cx is a
// multiple of 0.5, negated exactly), so the sine is taken once for the four.

namespace {

struct TWaveGeometry {
  int w, h;
  double cx, cy, wavelength2, phase, xs, ys;
  int amplitude;
  bool reflective;
};

// trunc of the bilinear sample of one channel at (sx, sy) from the copy.
inline void SampleInto(const TWaveGeometry& g, const std::vector<const uint8_t*>& rows, double sx,
                       double sy, uint8_t* out) {
  const double tx = std::trunc(sx), ty = std::trunc(sy);
  double fx = sx - tx, fy = sy - ty;
  if (fx < 0) fx += 1;
  if (fy < 0) fy += 1;
  const int x0 = int(std::clamp(tx, 0.0, double(g.w - 2)));
  const int y0 = int(std::clamp(ty, 0.0, double(g.h - 2)));
  // Bottom-up row y0 is stored row h - 1 - y0; y0 + 1 is the row above it.
  const uint8_t* lower = rows[size_t(g.h - 1 - y0)] + kBytesPerPixel * x0;
  const uint8_t* upper = rows[size_t(g.h - 2 - y0)] + kBytesPerPixel * x0;
  for (int ch = 0; ch < kBytesPerPixel; ++ch) {
    const double p00 = lower[ch], p01 = lower[ch + kBytesPerPixel];
    const double p10 = upper[ch], p11 = upper[ch + kBytesPerPixel];
    out[ch] = uint8_t(
        std::trunc((1 - fy) * ((1 - fx) * p00 + fx * p01) + fy * ((1 - fx) * p10 + fx * p11)));
  }
}

// The new colour of bottom-up pixel (x, y) whose wave value is a.
inline void WavePixel(const TWaveGeometry& g, const std::vector<const uint8_t*>& rows, double a,
                      int x, int y, TBitmap& bitmap) {
  const double dx = (x - g.cx) * g.xs, dy = (y - g.cy) * g.ys;
  double sx, sy;
  if (g.reflective) {
    sx = g.cx + a * dx / g.xs;
    sy = g.cy + a * dy / g.ys;
  } else {
    sx = g.cx + (a + dx) / g.xs;
    sy = g.cy + (a + dy) / g.ys;
  }
  SampleInto(g, rows, sx, sy, bitmap.ScanLine(g.h - 1 - y) + kBytesPerPixel * x);
}

}  // namespace

void _wave(TBitmap& bitmap, int amplitude, int wavelength, int phase, bool reflective,
           TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit || amplitude == 0 || wavelength == 0) return;
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  // The bilinear sample needs two columns and two rows.
  if (w < 2 || h < 2) return;
  TBitmap copy;
  copy.Assign(bitmap);
  std::vector<const uint8_t*> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) rows[size_t(y)] = copy.ScanLine(y);

  TWaveGeometry g{w, h, (w - 1) / 2.0, (h - 1) / 2.0, 2.0 * wavelength, phase * kPi / 180,
                  1, 1, amplitude,     reflective};
  const double hw = w / 2.0, hh = h / 2.0;
  if (hw > hh)
    g.ys = hw / hh;
  else if (hw < hh)
    g.xs = hh / hw;

  int reported = 0;
  for (int y = 0; 2 * y <= h - 1; ++y) {
    const int ym = h - 1 - y;
    const double dy = (y - g.cy) * g.ys;
    for (int x = 0; 2 * x <= w - 1; ++x) {
      const int xm = w - 1 - x;
      const double dx = (x - g.cx) * g.xs;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double s = std::sin(r / g.wavelength2 * (2 * kPi) + g.phase);
      const double a = (reflective ? std::fabs(s) : s) * amplitude;
      WavePixel(g, rows, a, x, y, bitmap);
      if (xm != x) WavePixel(g, rows, a, xm, y, bitmap);
      if (ym != y) {
        WavePixel(g, rows, a, x, ym, bitmap);
        if (xm != x) WavePixel(g, rows, a, xm, ym, bitmap);
      }
    }
    // Rows y and h-1-y are done: report the next one or two row numbers.
    const int done = ym != y ? 2 : 1;
    for (int i = 0; i < done; ++i, ++reported) Report(progress, int(int64_t(reported) * 100 / h));
  }
}

// --- Lens ------------------------------------------------------------------------

namespace {

// The refracted offset of one axis: v - z * tan(theta - asin(sin(theta) / n)).
inline double Refract(double v, double z, double n) {
  const double theta = kPi / 2 - std::acos(v / std::sqrt(v * v + z * z));
  return v - z * std::tan(theta - std::asin(std::sin(theta) / n));
}

}  // namespace

void _lens(TBitmap& bitmap, int x, int y, int width, int height, double refraction,
           TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  const int W = bitmap.GetWidth(), H = bitmap.GetHeight();
  if (W < 1 || H < 1) return;
  const int left = std::clamp(x - width / 2, 0, W - 1), top = std::clamp(y - height / 2, 0, H - 1);
  const int right = std::clamp(x + width / 2, 0, W - 1),
            bottom = std::clamp(y + height / 2, 0, H - 1);
  const int bw = right - left, bh = bottom - top;
  // An empty box has no ellipse (and its half sizes would divide by zero).
  if (bw <= 0 || bh <= 0) return;
  const double A = bw / 2.0, B = bh / 2.0;
  const double A2 = A * A, B2 = B * B;
  const double n = std::max(refraction, 1.0);
  const double R = std::min(A, B);

  std::vector<uint8_t> work(size_t(bw) * bh * kBytesPerPixel);
  auto source = [&](int col, int row) {
    return bitmap.ScanLine(top + row) + kBytesPerPixel * (left + col);
  };
  for (int i = 0; i < bw; ++i) {
    const double X = i - A + 0.5;
    for (int j = 0; j < bh; ++j) {
      const double Y = B - j - 0.5;
      int col = i, row = j;
      if (B2 - B2 * X * X / A2 > Y * Y) {
        const double z = R * std::sqrt(std::max(1 - X * X / A2 - Y * Y / B2, 0.0));
        const double xd = Refract(X, z, n), yd = Refract(Y, z, n);
        // On the rim z can vanish, leaving no direction: keep the pixel.
        if (std::isfinite(xd) && std::isfinite(yd)) {
          col = int(std::clamp(std::trunc(xd + A), 0.0, double(bw - 1)));
          row = int(std::clamp(std::trunc(-yd + B), 0.0, double(bh - 1)));
        }
      }
      std::memcpy(&work[(size_t(j) * bw + i) * kBytesPerPixel], source(col, row), kBytesPerPixel);
    }
    Report(progress, int(int64_t(i + 1) * 100 / bw));
  }
  for (int j = 0; j < bh; ++j)
    std::memcpy(source(0, j), &work[size_t(j) * bw * kBytesPerPixel], size_t(bw) * kBytesPerPixel);
}

// --- Bump mapping --------------------------------------------------------------

namespace {

constexpr int kLightSide = 256;
constexpr int kLightCentre = 128;

// Spot light: 255 at the centre, falling to 0 at distance 128.
const std::vector<uint8_t>& LightTable() {
  static const std::vector<uint8_t> table = [] {
    std::vector<uint8_t> t(size_t(kLightSide) * kLightSide);
    for (int i = 0; i < kLightSide; ++i)
      for (int j = 0; j < kLightSide; ++j) {
        const double di = double(i - kLightCentre) / kLightCentre,
                     dj = double(j - kLightCentre) / kLightCentre;
        const double v = std::trunc(std::max(0.0, 1 - std::sqrt(di * di + dj * dj)) * 256);
        t[size_t(i) * kLightSide + j] = uint8_t(std::min(v, 255.0));
      }
    return t;
  }();
  return table;
}

}  // namespace

void _BumpMapping(TBitmap& bitmap, int x, int y, int width, int height, int mixing, TRGB colour,
                  int x1, int y1, int x2, int y2, TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit || width == 0 || height == 0) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  const int xl = x2 - 1, yl = y2 - 1;
  const int cols = x2 - x1;
  std::vector<uint8_t> grey(size_t(cols) * (y2 - y1));
  for (int py = y1; py <= yl; ++py) {
    const uint8_t* p = bitmap.ScanLine(py) + kBytesPerPixel * x1;
    for (int i = 0; i < cols; ++i)
      grey[size_t(py - y1) * cols + i] = uint8_t(GreyOf(p + kBytesPerPixel * i));
  }
  auto G = [&](int px, int py) { return int(grey[size_t(py - y1) * cols + (px - x1)]); };
  const std::vector<uint8_t>& light = LightTable();
  const double tint[3] = {double(colour.b), double(colour.g), double(colour.r)};
  for (int py = y1; py <= yl; ++py) {
    uint8_t* p = bitmap.ScanLine(py) + kBytesPerPixel * x1;
    const int dv = int(std::trunc(double(py - y) / height * 128));
    for (int px = x1; px <= xl; ++px, p += kBytesPerPixel) {
      const int u = G(std::min(px + 1, xl), py) - G(std::max(px - 1, x1), py);
      const int w = G(px, std::min(py + 1, yl)) - G(px, std::max(py - 1, y1));
      const int uu = Limit(u - int(std::trunc(double(px - x) / width * 128)) + 128);
      const int vv = Limit(w - dv + 128);
      const double l = double(light[size_t(uu) * kLightSide + vv]) * (100.0 - mixing) / 100;
      for (int ch = 0; ch < 3; ++ch)
        p[ch] = Limit(std::nearbyint(double(p[ch]) * mixing / 100 + l * tint[ch] / 255));
    }
    if (progress.ProgressEvent) Report(progress, int(double(py - y1 + 1) * 100 / (yl - y1 + 0.5)));
  }
}

// --- Merge ------------------------------------------------------------------------

void _Merge(TBitmap& bitmap, const TBitmap& other, int percent, int x1, int y1, int x2, int y2,
            const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  const int rw = x2 - x1, rh = y2 - y1;
  TBitmap stretched(rw, rh, pf24bit);
  stretched.Canvas().StretchDraw(TRect(0, 0, rw, rh), other);
  // The blend of every pair of channel values, round(c*p/100 + o*(100-p)/100).
  std::vector<uint8_t> blend(size_t(256) * 256);
  for (int c = 0; c < 256; ++c)
    for (int o = 0; o < 256; ++o)
      blend[size_t(c) * 256 + o] =
          Limit(std::nearbyint(double(c) * percent / 100 + double(o) * (100.0 - percent) / 100));
  const TRowProgress rowProgress(onProgress, sender, y1, y2);
  for (int y = y1; y < y2; ++y) {
    uint8_t* p = bitmap.ScanLine(y) + kBytesPerPixel * x1;
    const uint8_t* o = stretched.ScanLine(y - y1);
    for (int i = 0; i < kBytesPerPixel * rw; ++i) p[i] = blend[size_t(p[i]) * 256 + o[i]];
    rowProgress.Row(y);
  }
}

}  // namespace pictavo
