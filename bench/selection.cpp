// Selections: the magic wand over a 4000x3000 image (a uniform one, the
// worst case for the outline grid, and a photograph at tolerance 15) with
// the peak of heap memory the routine holds, and one tick of the outline
// painter for a 10,000-point polygon.
//
// The photograph is PICTAVO_PHOTO when set, else a JPEG photograph found on
// the machine, scaled bilinearly to 4000x3000; without one a synthetic
// picture of smooth shapes and noise stands in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <random>

#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/desktop.h"
#include "platform/timer.h"
#include "view/magic_wand.h"
#include "view/pictavoview.h"

// Heap accounting: current and peak bytes of live allocations.
namespace {
std::atomic<int64_t> g_live{0}, g_peak{0};
void Track(int64_t delta) {
  const int64_t now = g_live.fetch_add(delta) + delta;
  int64_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}
}  // namespace

void* operator new(size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<size_t*>(p) = n;
  Track(int64_t(n));
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  Track(-int64_t(*reinterpret_cast<size_t*>(base)));
  std::free(base);
}
void operator delete(void* p, size_t) noexcept {
  operator delete(p);
}

namespace pictavo {
namespace {

constexpr int kW = 4000, kH = 3000;
constexpr double kMiB = 1024.0 * 1024.0;

std::unique_ptr<TBitmap> Uniform() {
  auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y) std::memset(b->ScanLine(y), 0x80, size_t(kW) * 3);
  return b;
}

std::unique_ptr<TBitmap> ScaleTo(const TBitmap& src) {
  auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
  const int sw = src.GetWidth(), sh = src.GetHeight();
  for (int y = 0; y < kH; ++y) {
    const double fy = std::max(0.0, (y + 0.5) * sh / kH - 0.5);
    const int y0 = std::min(int(fy), sh - 1), y1 = std::min(y0 + 1, sh - 1);
    const double ty = fy - y0;
    uint8_t* out = b->ScanLine(y);
    const uint8_t *r0 = src.ScanLine(y0), *r1 = src.ScanLine(y1);
    for (int x = 0; x < kW; ++x) {
      const double fx = std::max(0.0, (x + 0.5) * sw / kW - 0.5);
      const int x0 = std::min(int(fx), sw - 1), x1 = std::min(x0 + 1, sw - 1);
      const double tx = fx - x0;
      for (int c = 0; c < 3; ++c) {
        const double top = r0[3 * x0 + c] * (1 - tx) + r0[3 * x1 + c] * tx;
        const double bottom = r1[3 * x0 + c] * (1 - tx) + r1[3 * x1 + c] * tx;
        out[3 * x + c] = uint8_t(std::lround(top * (1 - ty) + bottom * ty));
      }
    }
  }
  return b;
}

std::unique_ptr<TBitmap> Synthetic() {
  auto b = std::make_unique<TBitmap>(kW, kH, pf24bit);
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 3);
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < kW; ++x) {
      const double v = 128 + 60 * std::sin(x / 310.0) * std::cos(y / 230.0) +
                       30 * std::sin((x + y) / 97.0) + noise(rng);
      const double d = std::hypot(x - 2600.0, y - 1300.0) < 700 ? 50 : 0;
      row[3 * x] = uint8_t(std::clamp(v + d, 0.0, 255.0));
      row[3 * x + 1] = uint8_t(std::clamp(v * 0.9, 0.0, 255.0));
      row[3 * x + 2] = uint8_t(std::clamp(255 - v, 0.0, 255.0));
    }
  }
  return b;
}

std::unique_ptr<TBitmap> Photo(std::string& source) {
  std::vector<std::string> candidates;
  if (const char* p = std::getenv("PICTAVO_PHOTO")) candidates.push_back(p);
  candidates.push_back(
      "/root/.rustup/toolchains/stable-x86_64-unknown-linux-gnu/share/doc/rust/html/"
      "embedded-book/assets/f3.jpg");
  for (const std::string& path : candidates) {
    if (!std::filesystem::exists(path)) continue;
    TBitmap loaded;
    TPictavoIO io;
    io.SetAttachedBitmap(&loaded);
    io.LoadFromFile(path);
    if (io.Aborting || loaded.GetWidth() < 2 || loaded.GetPixelFormat() != pf24bit) continue;
    source = path;
    return ScaleTo(loaded);
  }
  source = "synthetic";
  return Synthetic();
}

void RunWand(benchmark::State& state, const TBitmap& b, int tolerance, TPoint seed) {
  size_t points = 0;
  int64_t peak = 0;
  for (auto _ : state) {
    const int64_t base = g_live.load();
    g_peak.store(base);
    auto pts = PVMagicWand(b, seed.x, seed.y, false, tolerance);
    peak = std::max(peak, g_peak.load() - base);
    points = pts.size();
    benchmark::DoNotOptimize(pts.data());
  }
  state.counters["points"] = double(points);
  state.counters["peak_MiB"] = double(peak) / kMiB;
}

void BM_MagicWandUniform(benchmark::State& state) {
  static auto b = Uniform();
  RunWand(state, *b, 0, Point(kW / 2, kH / 2));
}
BENCHMARK(BM_MagicWandUniform)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MagicWandPhoto(benchmark::State& state) {
  static std::string source;
  static auto b = Photo(source);
  state.SetLabel(source);
  // Seeds at the centre and near the top-left corner.
  const TPoint seed = state.range(0) == 0 ? Point(kW / 2, kH / 2) : Point(kW / 10, kH / 10);
  RunWand(state, *b, 15, seed);
}
BENCHMARK(BM_MagicWandPhoto)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// One timer run of the outline painter over a 10,000-point polygon that
// winds round the visible part of a 1000x800 view.
void BM_OutlineTick(benchmark::State& state) {
  Desktop().Reset();
  TPictavoView view;
  view.SetBorderStyle(bsNone);
  Desktop().AddWindow(&view);
  view.SetBounds(0, 0, 1000, 800);
  TBitmap image(1000, 800, pf24bit);
  view.Assign(&image);
  Desktop().ProcessMessages();
  view.SetSelectionBase(pvsbBitmap);
  constexpr int kPoints = 10000;
  for (int i = 0; i < kPoints; ++i) {
    const double a = 2 * M_PI * i / kPoints, r = 300 + 80 * std::sin(40 * a);
    view.AnimPolygonAddPtEx(&view.SelectionAnimPolygon(), int(500 + r * std::cos(a)),
                            int(400 + r * std::sin(a)));
  }
  view.EndSelect();
  view.ShowSelectionEx(false);
  TTimer tick;  // any other sender: the same drawing without the phase step
  for (auto _ : state) view.AniPolyFunc(&tick);
  state.counters["points"] = kPoints;
  Desktop().RemoveWindow(&view);
}
BENCHMARK(BM_OutlineTick)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pictavo

BENCHMARK_MAIN();
