// TPVQuantizer and the Kohonen-network colour quantizer (NeuQuant with a
// network of n neurons, n = the palette size).
#include <unordered_map>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "codecs/quantize.h"

namespace pictavo {

namespace {

constexpr int kNetBiasShift = 4;     // colour components are kept scaled by 16
constexpr int kInitAlpha = 1024;     // learning rate scale
constexpr int kRadiusBiasShift = 6;  // radius is kept scaled by 64
constexpr int kRadBias = 256;
constexpr int kAlphaRadBias = 262144;  // kInitAlpha * kRadBias
constexpr int kRadiusDec = 30;
constexpr int kNCycles = 100;

class TNeuralNet {
 public:
  explicit TNeuralNet(int n)
      : n_(n), net_(n), bias_(n, 0), freq_(n, 65536 / n), radpower_(n / 8 + 1, 0) {
    for (int i = 0; i < n; ++i) {
      int v = (i << (kNetBiasShift + 8)) / n;
      net_[i] = {v, v, v, i};
    }
  }

  void Learn(TBitmap& bitmap, int samplefac) {
    const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
    const int64_t pixels = int64_t(width) * height;
    if (pixels <= 0) return;
    const int64_t lengthcount = pixels * 3;
    const int alphadec = 30 + (samplefac - 1) / 3;
    const int64_t samplepixels = lengthcount / (3 * samplefac);
    int64_t delta = samplepixels / kNCycles;
    if (delta < 1) delta = 1;
    int alpha = kInitAlpha;
    int radius = (n_ / 8) << kRadiusBiasShift;
    int rad = radius >= 128 ? radius >> kRadiusBiasShift : 0;
    SetRadPower(rad, alpha);

    int64_t step;
    if (lengthcount % 499 != 0)
      step = 499;
    else if (lengthcount % 491 != 0)
      step = 491;
    else if (lengthcount % 487 != 0)
      step = 487;
    else
      step = 503;
    step %= pixels;

    int64_t p = 0;
    for (int64_t i = 0; i < samplepixels;) {
      const uint8_t* px = bitmap.ScanLine(static_cast<int>(p / width)) + (p % width) * 3;
      const int b = px[0] << kNetBiasShift, g = px[1] << kNetBiasShift, r = px[2] << kNetBiasShift;
      const int j = Contest(b, g, r);
      AlterSingle(alpha, j, b, g, r);
      if (rad > 0) AlterNeigh(rad, j, b, g, r);
      p += step;
      if (p >= pixels) p -= pixels;
      ++i;
      if (i % delta == 0) {
        alpha -= alpha / alphadec;
        radius -= radius / kRadiusDec;
        rad = radius >= 128 ? radius >> kRadiusBiasShift : 0;
        SetRadPower(rad, alpha);
      }
    }
  }

  // Scales the components back to 0..255, records the neuron indices and
  // writes the palette.
  void Unbias(TRGB* colorMap) {
    for (int i = 0; i < n_; ++i) {
      for (int k = 0; k < 3; ++k) net_[i][k] /= (1 << kNetBiasShift);
      net_[i][3] = i;
      colorMap[i].b = static_cast<uint8_t>(std::clamp(net_[i][0], 0, 255));
      colorMap[i].g = static_cast<uint8_t>(std::clamp(net_[i][1], 0, 255));
      colorMap[i].r = static_cast<uint8_t>(std::clamp(net_[i][2], 0, 255));
    }
  }

  // Sorts the neurons by green (selection sort) and builds the green index.
  void BuildIndex() {
    int previous = 0, start = 0;
    for (int i = 0; i < n_; ++i) {
      int smallpos = i, smallval = net_[i][1];
      for (int j = i + 1; j < n_; ++j)
        if (net_[j][1] < smallval) {
          smallpos = j;
          smallval = net_[j][1];
        }
      if (smallpos != i) std::swap(net_[i], net_[smallpos]);
      smallval = std::clamp(smallval, 0, 255);
      if (smallval != previous) {
        netindex_[previous] = (start + i) >> 1;
        for (int j = previous + 1; j < smallval; ++j) netindex_[j] = i;
        previous = smallval;
        start = i;
      }
    }
    netindex_[previous] = (start + n_ - 1) >> 1;
    for (int j = previous + 1; j < 256; ++j) netindex_[j] = n_ - 1;
  }

  int Lookup(const TRGB& c) const {
    const int b = c.b, g = c.g, r = c.r;
    int bestd = 1000, best = 0;
    int i = netindex_[g], j = i - 1;
    while (i < n_ || j >= 0) {
      if (i < n_) {
        const auto& p = net_[i];
        int dist = p[1] - g;
        if (dist >= bestd) {
          i = n_;
        } else {
          ++i;
          dist = std::abs(dist) + std::abs(p[0] - b);
          if (dist < bestd) {
            dist += std::abs(p[2] - r);
            if (dist < bestd) {
              bestd = dist;
              best = p[3];
            }
          }
        }
      }
      if (j >= 0) {
        const auto& p = net_[j];
        int dist = g - p[1];
        if (dist >= bestd) {
          j = -1;
        } else {
          --j;
          dist = std::abs(dist) + std::abs(p[0] - b);
          if (dist < bestd) {
            dist += std::abs(p[2] - r);
            if (dist < bestd) {
              bestd = dist;
              best = p[3];
            }
          }
        }
      }
    }
    return best;
  }

 private:
  void SetRadPower(int rad, int alpha) {
    const int rad2 = rad * rad;
    for (int i = 0; i < rad && i < static_cast<int>(radpower_.size()); ++i)
      radpower_[i] = alpha * (((rad2 - i * i) * kRadBias) / rad2);
  }

  // Finds the neuron nearest to the sample and the one with the smallest
  // biased distance, and updates frequencies and biases.  By default the
  // bias is shifted right by 12 as an unsigned 32-bit pattern, so a neuron
  // whose bias went negative wins the biased contest; on the sample
  // photograph this gives a slightly lower error than the signed reading
  // (bias divided by 4096), which gPVQuantUnsignedBiasShift = false selects.
  int Contest(int b, int g, int r) {
    int bestd = 0x7FFFFFFF, bestbiasd = 0x7FFFFFFF, bestpos = 0, bestbiaspos = 0;
    for (int i = 0; i < n_; ++i) {
      const auto& p = net_[i];
      const int dist = std::abs(p[0] - b) + std::abs(p[1] - g) + std::abs(p[2] - r);
      if (dist < bestd) {
        bestd = dist;
        bestpos = i;
      }
      const int biasdist = gPVQuantUnsignedBiasShift
                               ? dist - static_cast<int>(static_cast<uint32_t>(bias_[i]) >> 12)
                               : dist - bias_[i] / 4096;
      if (biasdist < bestbiasd) {
        bestbiasd = biasdist;
        bestbiaspos = i;
      }
      const int betafreq = freq_[i] / 1024;
      freq_[i] -= betafreq;
      bias_[i] += betafreq * 1024;
    }
    freq_[bestpos] += 64;
    bias_[bestpos] -= 65536;
    return bestbiaspos;
  }

  void AlterSingle(int alpha, int j, int b, int g, int r) {
    auto& p = net_[j];
    p[0] -= (p[0] - b) * alpha / kInitAlpha;
    p[1] -= (p[1] - g) * alpha / kInitAlpha;
    p[2] -= (p[2] - r) * alpha / kInitAlpha;
  }

  void AlterNeigh(int rad, int i, int b, int g, int r) {
    for (int k = 1; k < rad; ++k) {
      const int64_t a = radpower_[k];
      for (int j : {i + k, i - k}) {
        if (j < 0 || j >= n_) continue;
        auto& p = net_[j];
        p[0] -= static_cast<int>((p[0] - b) * a / kAlphaRadBias);
        p[1] -= static_cast<int>((p[1] - g) * a / kAlphaRadBias);
        p[2] -= static_cast<int>((p[2] - r) * a / kAlphaRadBias);
      }
    }
  }

  int n_;
  std::vector<std::array<int, 4>> net_;
  std::vector<int> bias_, freq_, radpower_;
  int netindex_[256] = {};
};

int SamplingFactor(int64_t pixels, int quality) {
  if (quality >= 0) return static_cast<int>((100.0 - std::min(quality, 100)) / 100.0 * 29) + 1;
  if (pixels < 2000) return 1;
  const double f = std::nearbyint((13.0 * pixels - 26000.0) / 148000.0 + 2.0);
  return static_cast<int>(std::clamp(f, 1.0, 30.0));
}

}  // namespace

bool gPVQuantUnsignedBiasShift = true;

namespace {

// The palette of an image with no more distinct colours than the palette
// holds: the colours in the order they are met, and exact lookups.
struct TExactPalette {
  std::vector<TRGB> colors;
  std::unordered_map<uint32_t, int> index;

  static std::unique_ptr<TExactPalette> Build(const TBitmap& bitmap, int colorCount) {
    auto p = std::make_unique<TExactPalette>();
    const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
    if (w <= 0 || h <= 0) return nullptr;
    uint32_t last = 0xFFFFFFFF;
    for (int y = 0; y < h; ++y) {
      const TRGB* row = reinterpret_cast<const TRGB*>(bitmap.ScanLine(y));
      for (int x = 0; x < w; ++x) {
        uint32_t key = Key(row[x]);
        if (key == last) continue;
        last = key;
        if (p->index.emplace(key, static_cast<int>(p->colors.size())).second) {
          if (static_cast<int>(p->colors.size()) == colorCount) return nullptr;
          p->colors.push_back(row[x]);
        }
      }
    }
    return p;
  }

  int Find(const TRGB& c) const {
    auto it = index.find(Key(c));
    if (it != index.end()) return it->second;
    int best = 0, bestDist = 1 << 30;
    for (size_t i = 0; i < colors.size(); ++i) {
      int d = std::abs(colors[i].r - c.r) + std::abs(colors[i].g - c.g) + std::abs(colors[i].b - c.b);
      if (d < bestDist) {
        bestDist = d;
        best = static_cast<int>(i);
      }
    }
    return best;
  }

  static uint32_t Key(const TRGB& c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }
};

}  // namespace

TPVQuantizer::TPVQuantizer(TBitmap& bitmap, TRGB* colorMap, int reserved, int colorCount,
                           int quality, int /*method*/) {
  colorCount = std::clamp(colorCount, 1, 256);
  // The algorithms read pf24bit rows; other formats are converted in a copy.
  std::unique_ptr<TBitmap> copy;
  TBitmap* source = &bitmap;
  if (bitmap.GetPixelFormat() != pf24bit) {
    copy = std::make_unique<TBitmap>();
    copy->Assign(bitmap);
    copy->SetPixelFormat(pf24bit);
    source = copy.get();
  }
  if (auto exact = TExactPalette::Build(*source, colorCount)) {
    // An image that already fits the palette keeps its colours exactly.
    method_ = 2;
    std::fill(colorMap, colorMap + colorCount, TRGB{});
    std::copy(exact->colors.begin(), exact->colors.end(), colorMap);
    handle_ = exact.release();
  } else if (colorCount < 128) {
    method_ = 1;
    handle_ = CreateMedianCutQuantizer(*source, colorMap, reserved, colorCount);
  } else {
    method_ = 0;
    auto net = std::make_unique<TNeuralNet>(colorCount);
    net->Learn(*source, SamplingFactor(int64_t(source->GetWidth()) * source->GetHeight(), quality));
    net->Unbias(colorMap);
    net->BuildIndex();
    handle_ = net.release();
  }
}

TPVQuantizer::~TPVQuantizer() {
  if (method_ == 2)
    delete static_cast<TExactPalette*>(handle_);
  else if (method_ == 1)
    FreeMedianCutQuantizer(handle_);
  else
    delete static_cast<TNeuralNet*>(handle_);
}

int TPVQuantizer::GetRGBIndex(const TRGB& color) {
  if (method_ == 2) return static_cast<TExactPalette*>(handle_)->Find(color);
  if (method_ == 1) return MedianCutFindIndex(handle_, color);
  return static_cast<TNeuralNet*>(handle_)->Lookup(color);
}

}  // namespace pictavo
