// The Qt host's cost: blitting a 1920x1080 surface to the screen (the
// widget's paint, and the bare QPainter draw it makes) beside a memcpy of
// the same bytes, and a full repaint cycle of an empty control (invalidate,
// paint through the canvas, blit).  Runs on Qt's offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hosts/qt/host_widget.h"
#include "platform/control.h"

namespace pictavo {
namespace {

constexpr int kW = 1920, kH = 1080;

void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> a(size_t(kW) * kH * 4, 7), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

// The draw the host's paint makes: a QImage over the surface rows onto an
// RGB32 image (the backing store's format).
void BM_QImageBlit(benchmark::State& state) {
  TBitmap surface(kW, kH, pf32bit);
  QImage target(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QImage view(surface.ScanLine(0), kW, kH, static_cast<qsizetype>(surface.RowBytes()),
                QImage::Format_RGB32);
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, view);
    benchmark::DoNotOptimize(target.constBits());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kW) * kH * 4);
}
BENCHMARK(BM_QImageBlit)->Unit(benchmark::kMicrosecond);

class Empty : public TCustomControl {
 public:
  Empty() { SetControlStyle(TControlStyle{csOpaque}); }
};

// The widget's synchronous repaint of an up-to-date surface: blit only.
void BM_HostBlit(benchmark::State& state) {
  Empty control;
  control.SetBounds(0, 0, kW, kH);
  qt::PictavoHostWidget host(&control);
  host.show();
  QApplication::processEvents();
  for (auto _ : state) host.Surface()->repaint();
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kW) * kH * 4);
}
BENCHMARK(BM_HostBlit)->Unit(benchmark::kMicrosecond);

// Invalidate, erase the client with the control's colour through the
// canvas, blit.
void BM_RepaintCycle(benchmark::State& state) {
  TCustomControl control;
  int w = int(state.range(0)), h = int(state.range(1));
  control.SetBounds(0, 0, w, h);
  qt::PictavoHostWidget host(&control);
  host.show();
  QApplication::processEvents();
  for (auto _ : state) {
    control.Invalidate();
    host.Surface()->repaint();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepaintCycle)->Args({640, 480})->Args({kW, kH})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pictavo

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
