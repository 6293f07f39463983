// Processing workers on a 4000 x 3000 photograph, single-threaded, beside
// a memcpy of the same bytes.  bench/peers_process.py runs this program and
// the same operations in OpenCV and libvips on the same pixels (written with
// --write-photo=PATH as raw blue, green, red rows) and prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/conversions.h"
#include "processing/colour_ops.h"
#include "processing/geometry.h"
#include "processing/resample.h"

using namespace pictavo;

namespace {

constexpr int kW = 4000, kH = 3000;

// Smooth gradients and shapes with a little grain, so that the colour count
// and the HSV table behave as on a photograph (about a million colours).
const TBitmap& Photo() {
  static std::unique_ptr<TBitmap> photo = [] {
    auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
    std::mt19937 rng(7);
    for (int y = 0; y < kH; ++y) {
      uint8_t* row = b->ScanLine(y);
      for (int x = 0; x < kW; ++x) {
        int n = int(rng() % 9) - 4;
        int dx = x - 2600, dy = y - 900;
        bool sun = dx * dx + dy * dy < 400 * 400;
        bool hill = y > 1800 + (x % 1300 < 650 ? x % 650 : 650 - x % 650) / 3;
        int r = sun ? 250 : hill ? 40 + y / 40 : 90 + y / 20;
        int g = sun ? 230 : hill ? 120 + (x / 37) % 40 : 150 + y / 30;
        int bl = sun ? 120 : hill ? 30 : 230 - y / 25;
        row[3 * x] = uint8_t(std::clamp(bl + n, 0, 255));
        row[3 * x + 1] = uint8_t(std::clamp(g + n, 0, 255));
        row[3 * x + 2] = uint8_t(std::clamp(r + n, 0, 255));
      }
    }
    return b;
  }();
  return *photo;
}

void Pixels(benchmark::State& state, int64_t pixels = int64_t(kW) * kH) {
  state.SetItemsProcessed(state.iterations() * pixels);
}

// A fresh copy of the photograph before each iteration (not timed).
class Scratch {
 public:
  Scratch() { PVCopyBitmap(Photo(), bitmap_); }
  TBitmap& Fresh(benchmark::State& state) {
    state.PauseTiming();
    PVCopyBitmap(Photo(), bitmap_);
    state.ResumeTiming();
    return bitmap_;
  }

 private:
  TBitmap bitmap_;
};

void BM_Memcpy(benchmark::State& state) {
  size_t n = size_t(Photo().RowBytes()) * kH;
  std::vector<uint8_t> a(n, 1), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::DoNotOptimize(b.data());
  }
  Pixels(state);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_ResampleLanczos3Half(benchmark::State& state) {
  TBitmap dest(kW / 2, kH / 2, pf24bit);
  for (auto _ : state) _Resample(Photo(), dest, rfLanczos3, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_ResampleLanczos3Half)->Unit(benchmark::kMillisecond);

void BM_ResampleLanczos3Double(benchmark::State& state) {
  TBitmap dest(kW * 2, kH * 2, pf24bit);
  for (auto _ : state) _Resample(Photo(), dest, rfLanczos3, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_ResampleLanczos3Double)->Unit(benchmark::kMillisecond);

void BM_ResampleTriangleHalf(benchmark::State& state) {
  TBitmap dest(kW / 2, kH / 2, pf24bit);
  for (auto _ : state) _Resample(Photo(), dest, rfTriangle, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_ResampleTriangleHalf)->Unit(benchmark::kMillisecond);

void BM_Rotate30Antialias(benchmark::State& state) {
  Scratch s;
  for (auto _ : state) _RotateShear(s.Fresh(state), 30, true, clBlack, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_Rotate30Antialias)->Unit(benchmark::kMillisecond);

void BM_Rotate30(benchmark::State& state) {
  Scratch s;
  for (auto _ : state) _RotateShear(s.Fresh(state), 30, false, clBlack, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_Rotate30)->Unit(benchmark::kMillisecond);

void BM_ConvertToGray(benchmark::State& state) {
  Scratch s;
  for (auto _ : state) _ConvertToGray(s.Fresh(state), 0, 0, kW, kH, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_ConvertToGray)->Unit(benchmark::kMillisecond);

void BM_Negative(benchmark::State& state) {
  TBitmap b;
  PVCopyBitmap(Photo(), b);
  for (auto _ : state) _Negative(b, 0, 0, kW, kH, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_Negative)->Unit(benchmark::kMillisecond);

void BM_IntensityRGBall(benchmark::State& state) {
  Scratch s;
  for (auto _ : state)
    _IntensityRGBall(s.Fresh(state), 30, -20, 10, 0, 0, kW, kH, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_IntensityRGBall)->Unit(benchmark::kMillisecond);

void BM_HSVvar(benchmark::State& state) {
  Scratch s;
  for (auto _ : state) _HSVvar(s.Fresh(state), 40, 10, -5, 0, 0, kW, kH, nullptr, nullptr);
  Pixels(state);
}
BENCHMARK(BM_HSVvar)->Unit(benchmark::kMillisecond);

void BM_CalcImageNumColors(benchmark::State& state) {
  int count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = _GetImageNumColors(Photo(), 0, 0, kW, kH));
  state.counters["colours"] = count;
  Pixels(state);
}
BENCHMARK(BM_CalcImageNumColors)->Unit(benchmark::kMillisecond);

bool WritePhoto(const char* path) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  for (int y = 0; y < kH; ++y) std::fwrite(Photo().ScanLine(y), 3, kW, f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* prefix = "--write-photo=";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
      return WritePhoto(argv[i] + std::strlen(prefix)) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
