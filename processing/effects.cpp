#include "processing/effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/canvas.h"
#include "processing/progress.h"
#include "processing/simd.h"

namespace pictavo {

namespace {

constexpr int kBytesPerPixel = 3;
constexpr double kPi = std::numbers::pi;
// Bytes after the wave's copy for 8-byte vector reads at the last pixel.
constexpr size_t kWaveSlack = 8;

inline uint8_t Limit(double v) {
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}
inline int Limit64(int64_t v) {
  return int(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// trunc through the integer conversion (one instruction on every target)
// wherever the value fits.
inline double Trunc(double v) {
  constexpr double kExact = 4611686018427387904.0;  // 2^62
  return std::fabs(v) < kExact ? double(int64_t(v)) : std::trunc(v);
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
  const double tx = Trunc(sx), ty = Trunc(sy);
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
    // The blend lies within 0..255, where the conversion truncates.
    out[ch] =
        uint8_t(int((1 - fy) * ((1 - fx) * p00 + fx * p01) + fy * ((1 - fx) * p10 + fx * p11)));
  }
}

// The new colour of bottom-up pixel (x, y) whose wave value is a.
inline void WavePixel(const TWaveGeometry& g, const std::vector<const uint8_t*>& rows, double a,
                      int x, int y, uint8_t* out) {
  const double dx = (x - g.cx) * g.xs, dy = (y - g.cy) * g.ys;
  double sx, sy;
  // One of the scales is always 1, and dividing by 1 is exact: skip it.
  const double tx = g.reflective ? a * dx : a + dx;
  const double ty = g.reflective ? a * dy : a + dy;
  sx = g.cx + (g.xs == 1 ? tx : tx / g.xs);
  sy = g.cy + (g.ys == 1 ? ty : ty / g.ys);
  SampleInto(g, rows, sx, sy, out);
}

#ifdef PV_AVX2_KERNELS
// Exact small integers in double lanes: the bits of 2^52 + v, minus 2^52.
PV_TARGET_AVX2 inline __m256d BytesToDouble(__m256i v, __m256i pick) {
  const __m256i magic = _mm256_castpd_si256(_mm256_set1_pd(4503599627370496.0));
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(_mm256_shuffle_epi8(v, pick), magic)),
                       _mm256_set1_pd(4503599627370496.0));
}

// One output row (bottom-up row `row`), four pixels at a time, with the
// scalar formulas' operations in the same order on every lane (plain
// multiplies and adds: no fused multiply-add is enabled for this code).
// Returns the pixels done; the rest go through WavePixel.
PV_TARGET_AVX2 int WaveRowAvx2(const TWaveGeometry& g, const uint8_t* copy, size_t stride,
                               const double* wave, int row, uint8_t* out) {
  const int w = g.w, h = g.h;
  const __m256d cx = _mm256_set1_pd(g.cx), cy = _mm256_set1_pd(g.cy);
  const __m256d xs = _mm256_set1_pd(g.xs), ys = _mm256_set1_pd(g.ys);
  const __m256d one = _mm256_set1_pd(1), zero = _mm256_setzero_pd();
  const __m256d xMax = _mm256_set1_pd(double(w - 2)), yMax = _mm256_set1_pd(double(h - 2));
  const __m256d dy = _mm256_set1_pd((row - g.cy) * g.ys);
  const __m128i rowsDown = _mm_set1_epi32(h - 1), strideV = _mm_set1_epi32(int32_t(stride));
  const __m128i three = _mm_set1_epi32(3);
  // Byte j of each 64-bit lane into the low byte of that lane.
  __m256i pick[6];
  for (int j = 0; j < 6; ++j)
    pick[j] = _mm256_setr_epi8(char(j), -1, -1, -1, -1, -1, -1, -1, char(8 + j), -1, -1, -1, -1, -1,
                               -1, -1, char(j), -1, -1, -1, -1, -1, -1, -1, char(8 + j), -1, -1, -1,
                               -1, -1, -1, -1);
  const __m128i toBlue = _mm_setr_epi8(0, -1, -1, 4, -1, -1, 8, -1, -1, 12, -1, -1, -1, -1, -1, -1);
  const __m128i toGreen =
      _mm_setr_epi8(-1, 0, -1, -1, 4, -1, -1, 8, -1, -1, 12, -1, -1, -1, -1, -1);
  const __m128i toRed = _mm_setr_epi8(-1, -1, 0, -1, -1, 4, -1, -1, 8, -1, -1, 12, -1, -1, -1, -1);
  int x = 0;
  // Each step stores 16 bytes for 12: the next step (or the scalar tail,
  // which always has at least two pixels) rewrites the extra four.
  for (; x + 6 <= w; x += 4) {
    const __m128i xi = _mm_setr_epi32(x, x + 1, x + 2, x + 3);
    const __m128i mirror = _mm_min_epi32(xi, _mm_sub_epi32(_mm_set1_epi32(w - 1), xi));
    const __m256d a = _mm256_mask_i32gather_pd(zero, wave, mirror,
                                               _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8);
    const __m256d dx = _mm256_mul_pd(_mm256_sub_pd(_mm256_cvtepi32_pd(xi), cx), xs);
    __m256d tx, ty;
    if (g.reflective) {
      tx = _mm256_mul_pd(a, dx);
      ty = _mm256_mul_pd(a, dy);
    } else {
      tx = _mm256_add_pd(a, dx);
      ty = _mm256_add_pd(a, dy);
    }
    const __m256d sx = _mm256_add_pd(cx, g.xs == 1 ? tx : _mm256_div_pd(tx, xs));
    const __m256d sy = _mm256_add_pd(cy, g.ys == 1 ? ty : _mm256_div_pd(ty, ys));
    const __m256d txr = _mm256_round_pd(sx, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d tyr = _mm256_round_pd(sy, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    __m256d fx = _mm256_sub_pd(sx, txr), fy = _mm256_sub_pd(sy, tyr);
    fx = _mm256_blendv_pd(fx, _mm256_add_pd(fx, one), _mm256_cmp_pd(fx, zero, _CMP_LT_OQ));
    fy = _mm256_blendv_pd(fy, _mm256_add_pd(fy, one), _mm256_cmp_pd(fy, zero, _CMP_LT_OQ));
    const __m128i x0 = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(txr, zero), xMax));
    const __m128i y0 = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(tyr, zero), yMax));
    // Bottom-up row y0 is stored row h - 1 - y0; the row above is one less.
    const __m128i lowerAt = _mm_add_epi32(_mm_mullo_epi32(_mm_sub_epi32(rowsDown, y0), strideV),
                                          _mm_mullo_epi32(x0, three));
    // Eight scalar loads: cheaper than two hardware gathers on many cores.
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), lowerAt);
    auto word = [copy](int32_t offset) {
      long long v;
      std::memcpy(&v, copy + offset, sizeof v);
      return v;
    };
    const int32_t up = int32_t(stride);
    const __m256i lower = _mm256_setr_epi64x(word(at[0]), word(at[1]), word(at[2]), word(at[3]));
    const __m256i upper =
        _mm256_setr_epi64x(word(at[0] - up), word(at[1] - up), word(at[2] - up), word(at[3] - up));
    const __m256d gx = _mm256_sub_pd(one, fx), gy = _mm256_sub_pd(one, fy);
    __m128i channel[3];
    for (int ch = 0; ch < 3; ++ch) {
      const __m256d p00 = BytesToDouble(lower, pick[ch]), p01 = BytesToDouble(lower, pick[ch + 3]);
      const __m256d p10 = BytesToDouble(upper, pick[ch]), p11 = BytesToDouble(upper, pick[ch + 3]);
      const __m256d top = _mm256_add_pd(_mm256_mul_pd(gx, p00), _mm256_mul_pd(fx, p01));
      const __m256d bottom = _mm256_add_pd(_mm256_mul_pd(gx, p10), _mm256_mul_pd(fx, p11));
      channel[ch] =
          _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(gy, top), _mm256_mul_pd(fy, bottom)));
    }
    const __m128i pixels = _mm_or_si128(
        _mm_or_si128(_mm_shuffle_epi8(channel[0], toBlue), _mm_shuffle_epi8(channel[1], toGreen)),
        _mm_shuffle_epi8(channel[2], toRed));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + kBytesPerPixel * x), pixels);
  }
  return x;
}
#endif

}  // namespace

void _wave(TBitmap& bitmap, int amplitude, int wavelength, int phase, bool reflective,
           TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit || amplitude == 0 || wavelength == 0) return;
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  // The bilinear sample needs two columns and two rows.
  if (w < 2 || h < 2) return;
  // The copy every sample reads, with slack after the last row for the
  // vector kernel's 8-byte reads.
  const size_t stride = size_t(w) * kBytesPerPixel;
  std::vector<uint8_t> copy(stride * size_t(h) + kWaveSlack);
  std::vector<const uint8_t*> rows(static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    std::memcpy(copy.data() + stride * size_t(y), bitmap.ScanLine(y), stride);
    rows[size_t(y)] = copy.data() + stride * size_t(y);
  }

  TWaveGeometry g{w, h, (w - 1) / 2.0, (h - 1) / 2.0, 2.0 * wavelength, phase * kPi / 180,
                  1, 1, amplitude,     reflective};
  const double hw = w / 2.0, hh = h / 2.0;
  if (hw > hh)
    g.ys = hw / hh;
  else if (hw < hh)
    g.xs = hh / hw;

#ifdef PV_AVX2_KERNELS
  const bool vector = PVHasAvx2() && copy.size() < (size_t(1) << 31);
#endif
  // Wave values of the left half of a row (with the middle column); the
  // right half and the mirrored row reuse them.
  std::vector<double> wave(size_t(w + 1) / 2);
  int reported = 0;
  for (int y = 0; 2 * y <= h - 1; ++y) {
    const double dy = (y - g.cy) * g.ys;
    for (int x = 0; 2 * x <= w - 1; ++x) {
      const double dx = (x - g.cx) * g.xs;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double s = std::sin(r / g.wavelength2 * (2 * kPi) + g.phase);
      wave[size_t(x)] = (reflective ? std::fabs(s) : s) * amplitude;
    }
    const int mirror = h - 1 - y;
    for (int row : {y, mirror}) {
      uint8_t* out = bitmap.ScanLine(h - 1 - row);
      int x = 0;
#ifdef PV_AVX2_KERNELS
      if (vector) x = WaveRowAvx2(g, copy.data(), stride, wave.data(), row, out);
#endif
      for (; x < w; ++x)
        WavePixel(g, rows, wave[size_t(std::min(x, w - 1 - x))], x, row, out + kBytesPerPixel * x);
      if (mirror == y) break;
    }
    // Rows y and h-1-y are done: report the next one or two row numbers.
    const int done = mirror != y ? 2 : 1;
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
    const int64_t dv = int64_t(Trunc(double(py - y) / height * 128));
    for (int px = x1; px <= xl; ++px, p += kBytesPerPixel) {
      const int u = G(std::min(px + 1, xl), py) - G(std::max(px - 1, x1), py);
      const int w = G(px, std::min(py + 1, yl)) - G(px, std::max(py - 1, y1));
      const int uu = Limit64(u - int64_t(Trunc(double(px - x) / width * 128)) + 128);
      const int vv = Limit64(w - dv + 128);
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
