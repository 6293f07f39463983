// Filters, morphology, histograms, the wave effect and the Fourier round
// trip on a 4000 x 3000 photograph, single-threaded.  bench/peers_filters.py
// runs OpenCV and numpy on the same pixels and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

#include "processing/effects.h"
#include "processing/fft.h"
#include "processing/filters.h"
#include "processing/histogram.h"

using namespace pictavo;

namespace {

constexpr int kW = 4000, kH = 3000;
constexpr int kFtSide = 1024;

// The photograph of the comparison, in integers so that the peer script
// builds the same pixels: gradients, a bright disc and hashed grain.
std::unique_ptr<TBitmap> MakePhoto(int w, int h) {
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b->ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const uint32_t n = ((uint32_t(x) * 2654435761u) ^ (uint32_t(y) * 40503u)) >> 28;
      const int64_t dx = x - w / 3, dy = y - h / 2;
      const bool disc = dx * dx + dy * dy < int64_t(h / 4) * (h / 4);
      p[2] = uint8_t(x * 200 / w + n + 20);
      p[1] = uint8_t(disc ? 230 - n : y * 180 / h + n);
      p[0] = uint8_t((x + y) * 120 / (w + h) + 4 * n + 30);
    }
  }
  return b;
}

const TBitmap& Photo() {
  static std::unique_ptr<TBitmap> photo = MakePhoto(kW, kH);
  return *photo;
}

void CountPixels(benchmark::State& state, int64_t pixels) {
  state.SetItemsProcessed(state.iterations() * pixels);
}

// Runs op on a fresh copy of the photograph each iteration (the copy is
// not timed).
template <typename Op>
void OnCopy(benchmark::State& state, Op op) {
  TBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Photo());
    state.ResumeTiming();
    op(work);
    benchmark::ClobberMemory();
  }
  CountPixels(state, int64_t(kW) * kH);
}

void BM_ApplyFilter(benchmark::State& state) {
  const TGraphFilter filter = PVFiltPres[state.range(0)];
  OnCopy(state, [&](TBitmap& b) {
    TProgressRec progress;
    _ApplyFilter(b, filter, 0, 0, kW, kH, progress);
  });
}
BENCHMARK(BM_ApplyFilter)->Arg(fpEdge)->Arg(fpBlur)->Arg(LowPass2)->Unit(benchmark::kMillisecond);

void BM_Maximum(benchmark::State& state) {
  const int n = int(state.range(0));
  OnCopy(state, [&](TBitmap& b) { _MorphFilter(b, n, pvmoMaximum, 0, 0, kW, kH, nullptr, nullptr); });
}
BENCHMARK(BM_Maximum)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_GetHistogram(benchmark::State& state) {
  THistogramItem histogram[kHistogramLevels];
  for (auto _ : state) {
    _GetHistogram(Photo(), histogram, 0, 0, kW, kH);
    benchmark::DoNotOptimize(histogram);
  }
  CountPixels(state, int64_t(kW) * kH);
}
BENCHMARK(BM_GetHistogram)->Unit(benchmark::kMillisecond);

void BM_HistAutoEqualize(benchmark::State& state) {
  OnCopy(state, [](TBitmap& b) { _HistAutoEqualize(b, 0, 0, kW, kH, nullptr, nullptr); });
}
BENCHMARK(BM_HistAutoEqualize)->Unit(benchmark::kMillisecond);

void BM_Wave(benchmark::State& state) {
  OnCopy(state, [](TBitmap& b) {
    TProgressRec progress;
    _wave(b, 12, 40, 30, false, progress);
  });
}
BENCHMARK(BM_Wave)->Unit(benchmark::kMillisecond);

// A grey 1024 x 1024 image: forward transform, then the inverse bitmap.
void BM_FourierRoundTrip(benchmark::State& state) {
  static std::unique_ptr<TBitmap> grey = [] {
    auto b = MakePhoto(kFtSide, kFtSide);
    for (int y = 0; y < kFtSide; ++y) {
      uint8_t* p = b->ScanLine(y);
      for (int x = 0; x < kFtSide; ++x, p += 3) p[0] = p[2] = p[1];
    }
    return b;
  }();
  TBitmap out;
  for (auto _ : state) {
    TPVFtImage ft;
    ft.BuildFT(*grey, pvitGrayscale);
    ft.BuildBitmap(out);
    benchmark::ClobberMemory();
  }
  CountPixels(state, int64_t(kFtSide) * kFtSide);
}
BENCHMARK(BM_FourierRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
