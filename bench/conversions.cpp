// Pixel-layer throughput beside the physical limit measured in the same run
// (a memcpy of the same bytes).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/conversions.h"

using namespace pictavo;

namespace {

constexpr int kW = 4000, kH = 3000;

const TBitmap& Photo() {
  static std::unique_ptr<TBitmap> photo = [] {
    auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
    uint32_t seed = 1;
    for (int y = 0; y < kH; ++y) {
      TRGB* row = reinterpret_cast<TRGB*>(b->ScanLine(y));
      for (int x = 0; x < kW; ++x) {
        seed = seed * 1103515245u + 12345u;
        int n = int((seed >> 16) & 7);
        row[x] = TRGB{uint8_t((x / 16 + n) & 255), uint8_t((y / 12 + n) & 255), uint8_t(((x + y) / 28) & 255)};
      }
    }
    return b;
  }();
  return *photo;
}

const TBitmap& Page() {
  static std::unique_ptr<TBitmap> page = [] {
    auto b = std::make_unique<TBitmap>(kW, kH, pf1bit);
    for (int y = 0; y < kH; ++y) {
      uint8_t* row = b->ScanLine(y);
      for (int i = 0; i < kW / 8; ++i) row[i] = uint8_t((i * 37 + y * 11) ^ 0x5A);
    }
    return b;
  }();
  return *page;
}

const TBitmap& TwoColour() {
  static std::unique_ptr<TBitmap> two = [] {
    auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
    for (int y = 0; y < kH; ++y) {
      TRGB* row = reinterpret_cast<TRGB*>(b->ScanLine(y));
      for (int x = 0; x < kW; ++x) row[x] = ((x ^ y) & 64) ? TRGB{10, 20, 30} : TRGB{240, 230, 220};
    }
    return b;
  }();
  return *two;
}

void Pixels(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void BM_Memcpy24(benchmark::State& state) {
  size_t n = size_t(Photo().RowBytes()) * kH;
  std::vector<uint8_t> a(n, 1), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::DoNotOptimize(b.data());
  }
  Pixels(state);
  state.SetBytesProcessed(state.iterations() * int64_t(n));
}
BENCHMARK(BM_Memcpy24)->Unit(benchmark::kMillisecond);

void BM_PVCopyBitmap(benchmark::State& state) {
  TBitmap dest;
  PVCopyBitmap(Photo(), dest);
  for (auto _ : state) {
    PVCopyBitmap(Photo(), dest);
    benchmark::DoNotOptimize(dest.ScanLine(0));
  }
  Pixels(state);
  state.SetBytesProcessed(state.iterations() * Photo().RowBytes() * kH);
}
BENCHMARK(BM_PVCopyBitmap)->Unit(benchmark::kMillisecond);

void BM_Conv1to24(benchmark::State& state) {
  TBitmap dest;
  for (auto _ : state) {
    _Conv1to24(Page(), dest);
    benchmark::DoNotOptimize(dest.ScanLine(0));
  }
  Pixels(state);
}
BENCHMARK(BM_Conv1to24)->Unit(benchmark::kMillisecond);

void BM_ConvertToBWOrdered(benchmark::State& state) {
  TBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Photo());
    state.ResumeTiming();
    TProgressRec progress;
    _ConvertToBWOrdered(work, progress);
    benchmark::DoNotOptimize(work.ScanLine(0));
  }
  Pixels(state);
}
BENCHMARK(BM_ConvertToBWOrdered)->Unit(benchmark::kMillisecond);

void BM_ConvertTo1bit(benchmark::State& state) {
  for (auto _ : state) {
    TRGB c0, c1;
    auto bits = _ConvertTo1bit(TwoColour(), c0, c1);
    benchmark::DoNotOptimize(bits.get());
  }
  Pixels(state);
}
BENCHMARK(BM_ConvertTo1bit)->Unit(benchmark::kMillisecond);

void BM_CountColoursTHash1(benchmark::State& state) {
  for (auto _ : state) {
    THash1 hash(13);
    for (int y = 0; y < kH; ++y) {
      const TRGB* row = reinterpret_cast<const TRGB*>(Photo().ScanLine(y));
      for (int x = 0; x < kW; ++x) hash.Insert(uint32_t(row[x].r) << 16 | uint32_t(row[x].g) << 8 | row[x].b);
    }
    benchmark::DoNotOptimize(hash.Count());
  }
  Pixels(state);
}
BENCHMARK(BM_CountColoursTHash1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
