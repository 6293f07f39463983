// Painting a 4000 x 3000 photograph into a 1920 x 1080 image view: a full
// repaint with the back buffer dirty (unfiltered at 100, 33, 250 and 800 %,
// Lanczos3 at 50 %) and a clean repaint (the 1:1 copy of the buffer onto
// the surface), beside a memcpy of the surface's bytes.  A 60 Hz frame is
// 16.7 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/desktop.h"
#include "view/pictavoview.h"

namespace pictavo {
namespace {

constexpr int kPhotoW = 4000, kPhotoH = 3000;
constexpr int kViewW = 1920, kViewH = 1080;

// Smooth gradients with texture, like a photograph.
std::unique_ptr<TBitmap> MakePhoto() {
  auto bm = std::make_unique<TBitmap>(kPhotoW, kPhotoH, pf24bit);
  uint32_t seed = 12345;
  for (int y = 0; y < kPhotoH; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int x = 0; x < kPhotoW; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int grain = int(seed >> 28) - 8;
      row[3 * x] = uint8_t(std::clamp(120 + int(80 * std::sin(x * 0.003)) + grain, 0, 255));
      row[3 * x + 1] = uint8_t(std::clamp((y * 255) / kPhotoH + grain, 0, 255));
      row[3 * x + 2] = uint8_t(std::clamp(((x + y) * 255) / (kPhotoW + kPhotoH) + grain, 0, 255));
    }
  }
  return bm;
}

TPictavoView& View() {
  static TPictavoView* view = [] {
    Desktop().Reset();
    auto* v = new TPictavoView();
    v->SetBorderStyle(bsNone);
    v->SetBounds(0, 0, kViewW, kViewH);
    Desktop().AddWindow(v);
    auto photo = MakePhoto();
    v->Assign(photo.get());
    Desktop().ProcessMessages();
    return v;
  }();
  return *view;
}

void Prepare(TPictavoView& view, double zoom, TResampleFilter filter) {
  view.SetZoomFilter(filter);
  view.SetZoom(zoom);
  // Start from the middle of the picture where it can scroll.
  int mx = 0, my = 0;
  view.GetMaxViewXY(mx, my);
  view.SetViewXY(mx / 2, my / 2);
  view.FilterDelay = 0;
  Desktop().ProcessMessages();
}

void BM_PaintDirty(benchmark::State& state) {
  TPictavoView& view = View();
  Prepare(view, double(state.range(0)), rfNone);
  for (auto _ : state) {
    view.BufferDirty = true;
    view.Paint();
    benchmark::DoNotOptimize(view.Surface().ScanLine(0));
  }
  state.counters["zoom"] = double(state.range(0));
}
BENCHMARK(BM_PaintDirty)->Arg(100)->Arg(33)->Arg(250)->Arg(800)->Unit(benchmark::kMillisecond);

void BM_PaintClean(benchmark::State& state) {
  TPictavoView& view = View();
  Prepare(view, 100, rfNone);
  view.Paint();
  for (auto _ : state) {
    view.Paint();  // the buffer is clean: one copy onto the surface
    benchmark::DoNotOptimize(view.Surface().ScanLine(0));
  }
}
BENCHMARK(BM_PaintClean)->Unit(benchmark::kMillisecond);

void BM_PaintFilteredLanczos3(benchmark::State& state) {
  TPictavoView& view = View();
  Prepare(view, double(state.range(0)), rfLanczos3);
  for (auto _ : state) {
    view.FilterDelay = 0;
    view.BufferDirty = true;
    view.Paint();
    benchmark::DoNotOptimize(view.Surface().ScanLine(0));
  }
  view.SetZoomFilter(rfNone);
}
BENCHMARK(BM_PaintFilteredLanczos3)->Arg(50)->Unit(benchmark::kMillisecond);

// The peer: copying the surface's bytes once.
void BM_MemcpySurface(benchmark::State& state) {
  TPictavoView& view = View();
  const TBitmap& surface = view.Surface();
  const size_t bytes = size_t(surface.RowBytes()) * surface.GetHeight();
  std::vector<uint8_t> copy(bytes);
  for (auto _ : state) {
    std::memcpy(copy.data(), surface.ScanLine(0), bytes);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_MemcpySurface)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictavo

BENCHMARK_MAIN();
