// Selection mask: scan conversion of many-vertex polygons over a 4000x3000
// mask and the masked copy of that selection, beside a memcpy of the same
// bitmap bytes (the limit of the copy).
#include "core/mask.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/bitmap.h"

namespace pictavo {
namespace {

constexpr int kW = 4000, kH = 3000;

// A star-shaped polygon with alternating radii around the image centre.
std::vector<TPoint> Polygon(int n) {
  std::vector<TPoint> p;
  for (int i = 0; i < n; ++i) {
    double a = 6.283185307179586 * i / n, r = (i & 1) ? 1400 : 1000;
    p.push_back({int(2000 + r * std::cos(a)), int(1500 + 1.0 * r * std::sin(a))});
  }
  return p;
}

void BM_DrawPolygon(benchmark::State& state) {
  TPVMask m;
  m.AllocateBits(kW, kH, 1);
  auto p = Polygon(int(state.range(0)));
  for (auto _ : state) {
    m.DrawPolygon(1, p.data(), int(p.size()));
    benchmark::DoNotOptimize(m.Bits.data());
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawPolygon)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CopyBitmap(benchmark::State& state) {
  TPVMask m;
  m.AllocateBits(kW, kH, 1);
  auto p = Polygon(int(state.range(0)));
  m.DrawPolygon(1, p.data(), int(p.size()));
  TBitmap src(kW, kH, pf24bit), dst(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y) std::memset(src.ScanLine(y), y & 0xFF, size_t(kW) * 3);
  double box = double(m.X2 - m.X1 + 1) * (m.Y2 - m.Y1 + 1);
  for (auto _ : state) {
    m.CopyBitmap(dst, src, false);
    benchmark::DoNotOptimize(dst.ScanLine(0));
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(box * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyBitmap)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_MemcpyBitmap(benchmark::State& state) {
  std::vector<uint8_t> a(size_t(kW) * kH * 3, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyBitmap)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictavo

BENCHMARK_MAIN();
