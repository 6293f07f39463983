#include "processing/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "processing/resample.h"
#include "processing/simd.h"

namespace pictavo {

namespace {

constexpr int kBytesPerPixel = 3;
constexpr float kForward = -1;
constexpr float kInverse = 1;
// Rows or columns transformed together, one per vector lane.
constexpr int kLanes = 8;
constexpr float kSpectrumStart = 1e20f;
constexpr float kSpectrumZero = 0.00001f;

// Lane-major complex data of kLanes transforms: element i of lane l is at
// [i * kLanes + l].
struct TLaneBlock {
  std::vector<float> re, im;
  explicit TLaneBlock(int n) : re(size_t(n) * kLanes), im(size_t(n) * kLanes) {}
};

// The radix-2 butterflies on kLanes transforms at once.  At each depth the
// blocks of span b start at multiples of 2b; block `index` uses the twiddle
// of bitrev[index div b].  Then the bit-reversal permutation and the
// 1/sqrt(N) scale.  Every lane does exactly the operations of a single
// transform, so the result does not depend on the grouping.
PV_MULTIVERSION void FftLanes(float* re, float* im, int n, int log2n, const float* twRe,
                              const float* twIm, const int32_t* bitrev, float sign, float scale) {
  for (int depth = 1; depth <= log2n; ++depth) {
    const int span = n >> depth;
    for (int index = 0; index < n; index += 2 * span) {
      const int k = bitrev[index / span];
      const vf32x8 wr = vf32x8{} + twRe[k];
      const vf32x8 wi = vf32x8{} + sign * twIm[k];
      for (int c = 0; c < span; ++c) {
        float* pr = re + size_t(index + c) * kLanes;
        float* pi = im + size_t(index + c) * kLanes;
        float* qr = pr + size_t(span) * kLanes;
        float* qi = pi + size_t(span) * kLanes;
        const vf32x8 ar = pv_load<vf32x8>(pr), ai = pv_load<vf32x8>(pi);
        const vf32x8 br = pv_load<vf32x8>(qr), bi = pv_load<vf32x8>(qi);
        const vf32x8 tr = br * wr - bi * wi;
        const vf32x8 ti = br * wi + bi * wr;
        pv_store(pr, ar + tr);
        pv_store(pi, ai + ti);
        pv_store(qr, ar - tr);
        pv_store(qi, ai - ti);
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    const int j = bitrev[i];
    if (i > j) {
      float tmp[kLanes];
      std::memcpy(tmp, re + size_t(i) * kLanes, sizeof tmp);
      std::memcpy(re + size_t(i) * kLanes, re + size_t(j) * kLanes, sizeof tmp);
      std::memcpy(re + size_t(j) * kLanes, tmp, sizeof tmp);
      std::memcpy(tmp, im + size_t(i) * kLanes, sizeof tmp);
      std::memcpy(im + size_t(i) * kLanes, im + size_t(j) * kLanes, sizeof tmp);
      std::memcpy(im + size_t(j) * kLanes, tmp, sizeof tmp);
    }
  }
  const vf32x8 s = vf32x8{} + scale;
  for (int i = 0; i < n; ++i) {
    pv_store(re + size_t(i) * kLanes, pv_load<vf32x8>(re + size_t(i) * kLanes) * s);
    pv_store(im + size_t(i) * kLanes, pv_load<vf32x8>(im + size_t(i) * kLanes) * s);
  }
}

}  // namespace

TPVFtImage::TPVFtImage() = default;
TPVFtImage::~TPVFtImage() = default;

void TPVFtImage::FreeAll() {
  for (Plane* p : {&red_, &green_, &blue_, &grey_}) Plane().swap(*p);
}

void TPVFtImage::FtInit(int n) {
  n_ = n;
  log2n_ = int(std::trunc(std::log(double(n)) / std::log(2.0) + 0.5));
  scale_ = 1 / std::sqrt(double(n));
  sine_.resize(size_t(n));
  bitrev_.resize(size_t(n));
  power_.resize(size_t(log2n_) + 1);
  for (int i = 0; i < n; ++i) {
    sine_[size_t(i)] = std::sin(i * 2 * std::numbers::pi / n);
    int r = 0;
    for (int b = 0; b < log2n_; ++b) r |= ((i >> b) & 1) << (log2n_ - 1 - b);
    bitrev_[size_t(i)] = r;
  }
  for (int i = 0; i <= log2n_; ++i) power_[size_t(i)] = 1 << i;
  // Twiddles in single precision: the cosine is the sine a quarter turn on.
  // Below N = 4 there is no quarter turn in the table, and the only twiddle
  // used is k = 0, whose cosine is 1.
  tw_re_.resize(size_t(n));
  tw_im_.resize(size_t(n));
  for (int k = 0; k < n; ++k) {
    tw_re_[size_t(k)] =
        float(n >= 4 ? sine_[size_t((k + n / 4) % n)] : std::cos(k * 2 * std::numbers::pi / n));
    tw_im_[size_t(k)] = float(sine_[size_t(k)]);
  }
}

void TPVFtImage::Assign(const TPVFtImage& source) {
  if (&source == this) return;
  FreeAll();
  building_ = source.building_;
  if (source.n_ > 0)
    FtInit(source.n_);
  else
    n_ = 0;
  xoff_ = source.xoff_;
  yoff_ = source.yoff_;
  src_width_ = source.src_width_;
  src_height_ = source.src_height_;
  OnProgress = source.OnProgress;
  ProgressSender = source.ProgressSender;
  type_ = source.type_;
  red_ = source.red_;
  green_ = source.green_;
  blue_ = source.blue_;
  grey_ = source.grey_;
}

std::vector<TPVFtImage::Plane*> TPVFtImage::PresentPlanes() {
  std::vector<Plane*> planes;
  for (Plane* p : {&red_, &green_, &blue_, &grey_})
    if (!p->empty()) planes.push_back(p);
  return planes;
}

// Rows, then columns, kLanes at a time through a lane-major block.
void TPVFtImage::Fft2D(Plane& plane, float sign, TProgressRec& progress) {
  const int n = n_;
  const size_t stride = 2 * size_t(n);
  TLaneBlock block(n);
  const float scale = float(scale_);
  auto run = [&] {
    FftLanes(block.re.data(), block.im.data(), n, log2n_, tw_re_.data(), tw_im_.data(),
             bitrev_.data(), sign, scale);
  };
  for (int y0 = 0; y0 < n; y0 += kLanes) {
    const int lanes = std::min(kLanes, n - y0);
    std::fill(block.re.begin(), block.re.end(), 0.0f);
    std::fill(block.im.begin(), block.im.end(), 0.0f);
    for (int l = 0; l < lanes; ++l) {
      const float* row = plane.data() + size_t(y0 + l) * stride;
      for (int i = 0; i < n; ++i) {
        block.re[size_t(i) * kLanes + l] = row[i];
        block.im[size_t(i) * kLanes + l] = row[n + i];
      }
    }
    run();
    for (int l = 0; l < lanes; ++l) {
      float* row = plane.data() + size_t(y0 + l) * stride;
      for (int i = 0; i < n; ++i) {
        row[i] = block.re[size_t(i) * kLanes + l];
        row[n + i] = block.im[size_t(i) * kLanes + l];
      }
    }
  }
  for (int x0 = 0; x0 < n; x0 += kLanes) {
    const int lanes = std::min(kLanes, n - x0);
    for (int y = 0; y < n; ++y) {
      const float* row = plane.data() + size_t(y) * stride;
      std::memcpy(&block.re[size_t(y) * kLanes], row + x0, sizeof(float) * lanes);
      std::memcpy(&block.im[size_t(y) * kLanes], row + n + x0, sizeof(float) * lanes);
    }
    run();
    for (int y = 0; y < n; ++y) {
      float* row = plane.data() + size_t(y) * stride;
      std::memcpy(row + x0, &block.re[size_t(y) * kLanes], sizeof(float) * lanes);
      std::memcpy(row + n + x0, &block.im[size_t(y) * kLanes], sizeof(float) * lanes);
    }
    if (progress.ProgressEvent)
      for (int j = x0; j < x0 + lanes; ++j)
        progress.ProgressEvent(progress.Sender,
                               int(progress.PerUnit * j + progress.PerUnit * progress.Current * n));
  }
  ++progress.Current;
}

bool TPVFtImage::BuildFT(const TBitmap& bitmap, TPVFtImageType type) {
  type_ = type;
  FreeAll();
  src_width_ = bitmap.GetWidth();
  src_height_ = bitmap.GetHeight();
  int n = 1;
  while (n < std::max(src_width_, src_height_) && n <= kFtMaxN) n *= 2;
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.Empty() || n > kFtMaxN || !PVImageSizeAllowed(n, n)) {
    type_ = pvitUnknown;
    return false;
  }
  xoff_ = (n - src_width_) / 2;
  yoff_ = (n - src_height_) / 2;
  // An unknown type makes no plane: the image only knows its sizes.
  if (type != pvitRGB && type != pvitGrayscale) {
    type_ = pvitUnknown;
    if (n != n_) FtInit(n);
    return true;
  }
  building_ = true;
  TProgressRec progress;
  progress.ProgressEvent = OnProgress;
  progress.Sender = ProgressSender;
  progress.Total = type == pvitRGB ? 3 : 1;
  progress.PerUnit = 100.0 / (double(progress.Total) * n);
  progress.Current = 0;

  // Channel byte of each plane: red 2, green 1, blue 0; -1 is the grey.
  std::vector<std::pair<Plane*, int>> passes;
  if (type == pvitRGB)
    passes = {{&red_, 2}, {&green_, 1}, {&blue_, 0}};
  else
    passes = {{&grey_, -1}};
  for (auto [plane, channel] : passes) {
    if (n != n_) FtInit(n);
    const size_t stride = 2 * size_t(n);
    plane->assign(stride * n, 0.0f);
    int largest = 1;
    for (int y = 0; y < src_height_; ++y) {
      const uint8_t* p = bitmap.ScanLine(y);
      float* row = plane->data() + size_t(yoff_ + y) * stride + xoff_;
      for (int x = 0; x < src_width_; ++x, p += kBytesPerPixel) {
        const int v = channel >= 0 ? p[channel] : (p[2] * 21 + p[1] * 71 + p[0] * 7) / 100;
        row[x] = float(v);
        largest = std::max(largest, v);
      }
    }
    // Into 0..1, then the (-1)^(x+y) factor that centres the spectrum.
    for (int y = 0; y < n; ++y) {
      float* row = plane->data() + size_t(y) * stride;
      for (int x = 0; x < n; ++x) {
        const float v = row[x] / float(largest);
        row[x] = ((x + y) & 1) ? -v : v;
      }
    }
    Fft2D(*plane, kForward, progress);
  }
  building_ = false;
  return true;
}

namespace {

// Byte of the pixel that each plane paints: red 2, green 1, blue 0; -1 all.
int PlaneChannel(int index, TPVFtImageType type) {
  return type == pvitGrayscale ? -1 : 2 - index;
}

inline void Paint(uint8_t* p, int channel, uint8_t v) {
  if (channel < 0)
    p[0] = p[1] = p[2] = v;
  else
    p[channel] = v;
}

void PrepareBitmap(TBitmap& bitmap, int width, int height) {
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
}

}  // namespace

void TPVFtImage::GetFTImage(TBitmap& bitmap) {
  PrepareBitmap(bitmap, n_, n_);
  const int n = n_;
  const size_t stride = 2 * size_t(n);
  int index = 0;
  for (Plane* plane : {&red_, &green_, &blue_, &grey_}) {
    const int channel = PlaneChannel(index++, type_);
    if (plane->empty()) continue;
    // Half the log of the magnitude: ln(sqrt(|z|)).
    std::vector<float> v(size_t(n) * n);
    float lo = kSpectrumStart, hi = -kSpectrumStart;
    for (int y = 0; y < n; ++y) {
      const float* row = plane->data() + size_t(y) * stride;
      for (int x = 0; x < n; ++x) {
        const float m = std::sqrt(row[x] * row[x] + row[n + x] * row[n + x]);
        const float e = m > 0 ? std::log(std::sqrt(m)) : 0.0f;
        v[size_t(y) * n + x] = e;
        lo = std::min(lo, e);
        hi = std::max(hi, e);
      }
    }
    if (std::fabs(lo) < kSpectrumZero) lo = 0;
    const double scale = hi == lo ? 0 : 255.0 / (double(hi) - lo);
    for (int y = 0; y < n; ++y) {
      uint8_t* p = bitmap.ScanLine(y);
      for (int x = 0; x < n; ++x, p += kBytesPerPixel) {
        const double t = std::trunc((double(v[size_t(y) * n + x]) - lo) * scale);
        Paint(p, channel, uint8_t(t < 0 ? 0 : (t > 255 ? 255 : t)));
      }
    }
  }
}

void TPVFtImage::BuildBitmap(TBitmap& bitmap) {
  PrepareBitmap(bitmap, src_width_, src_height_);
  if (type_ == pvitUnknown || n_ == 0) return;
  const int n = n_;
  const size_t stride = 2 * size_t(n);
  TProgressRec progress;
  progress.ProgressEvent = OnProgress;
  progress.Sender = ProgressSender;
  progress.Total = type_ == pvitRGB ? 3 : 1;
  progress.PerUnit = 100.0 / (double(progress.Total) * n);
  progress.Current = 0;
  int index = 0;
  for (Plane* source : {&red_, &green_, &blue_, &grey_}) {
    const int channel = PlaneChannel(index++, type_);
    if (source->empty()) continue;
    Plane plane = *source;
    Fft2D(plane, kInverse, progress);
    // Magnitudes of the real parts; this also undoes the centring factor.
    float lo = 0, hi = 0;
    for (int y = 0; y < n; ++y) {
      float* row = plane.data() + size_t(y) * stride;
      for (int x = 0; x < n; ++x) {
        row[x] = std::fabs(row[x]);
        if ((x | y) == 0) lo = hi = row[x];
        lo = std::min(lo, row[x]);
        hi = std::max(hi, row[x]);
      }
    }
    const float range = hi - lo;
    for (int r = 0; r < src_height_; ++r) {
      const float* row = plane.data() + size_t(yoff_ + r) * stride + xoff_;
      uint8_t* p = bitmap.ScanLine(r);
      for (int i = 0; i < src_width_; ++i, p += kBytesPerPixel) {
        const float t = range == 0 ? 0.0f : (row[i] - lo) * 255.0f / range;
        Paint(p, channel, uint8_t(std::clamp(std::trunc(t), 0.0f, 255.0f)));
      }
    }
  }
}

TComplexPixel TPVFtImage::GetComplexImage(int x, int y) {
  TComplexPixel c;
  if (x < 0 || y < 0 || x >= n_ || y >= n_) return c;
  const size_t at = size_t(y) * 2 * n_ + x;
  auto ptrs = [&](Plane& p, float*& re, float*& im) {
    if (p.empty()) return;
    re = p.data() + at;
    im = p.data() + at + n_;
  };
  ptrs(red_, c.RedReal, c.RedImag);
  ptrs(green_, c.GreenReal, c.GreenImag);
  ptrs(blue_, c.BlueReal, c.BlueImag);
  ptrs(grey_, c.GrayReal, c.GrayImag);
  return c;
}

void TPVFtImage::ZeroWhere(const std::function<bool(int x, int y)>& zero) {
  const int n = n_;
  for (Plane* plane : PresentPlanes())
    for (int y = 0; y < n; ++y) {
      float* row = plane->data() + size_t(y) * 2 * n;
      for (int x = 0; x < n; ++x)
        if (zero(x, y)) row[x] = row[n + x] = 0;
    }
}

namespace {
int64_t CentreDistance(int x, int y, int n) {
  const int64_t dx = x - n / 2, dy = y - n / 2;
  return int64_t(std::trunc(std::sqrt(double(dx * dx + dy * dy))));
}
}  // namespace

void TPVFtImage::HiPass(int radius) {
  const int n = n_;
  ZeroWhere([=](int x, int y) { return CentreDistance(x, y, n) <= radius; });
}

void TPVFtImage::LoPass(int radius) {
  const int n = n_;
  ZeroWhere([=](int x, int y) { return CentreDistance(x, y, n) > radius; });
}

void TPVFtImage::ClearZone(int x1, int y1, int x2, int y2) {
  if (x2 < x1 || y2 < y1) return;
  ZeroWhere([=](int x, int y) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; });
}

std::unique_ptr<TPVFtImage> PVFTCreateImage(const TBitmap& bitmap, TPVFtImageType type, int width,
                                            int height, const TPVProgressEvent& onProgress,
                                            TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.Empty()) return nullptr;
  auto image = std::make_unique<TPVFtImage>();
  image->OnProgress = onProgress;
  image->ProgressSender = sender;
  if (width < 0 && height < 0) return image->BuildFT(bitmap, type) ? std::move(image) : nullptr;
  const int64_t bw = bitmap.GetWidth(), bh = bitmap.GetHeight();
  int64_t w = width, h = height;
  if (w < 0) w = h * bw / bh;
  if (h < 0) h = w * bh / bw;
  // Refuse before stretching: the transform's side and the pixel limit.
  if (w <= 0 || h <= 0 || w > kFtMaxN || h > kFtMaxN || !PVImageSizeAllowed(w, h)) return nullptr;
  TBitmap stretched(int(w), int(h), pf24bit);
  _PVBmpStretch(bitmap, stretched);
  return image->BuildFT(stretched, type) ? std::move(image) : nullptr;
}

}  // namespace pictavo
