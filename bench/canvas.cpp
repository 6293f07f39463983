// Canvas drawing on a 1920x1080 surface: FillRect, 10,000 random lines of
// width 1 and 5, 1,000 filled and outlined ellipses and 10,000 characters of
// text, beside cairo doing the same work (aliased lines and shapes, like the
// canvas; antialiased text) when it is installed.
#include "platform/canvas.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "platform/bitmap.h"

#ifdef PICTAVO_HAVE_CAIRO
#include <cairo.h>
#endif

namespace pictavo {
namespace {

constexpr int kW = 1920, kH = 1080;
constexpr int kLines = 10000, kEllipses = 1000, kTextRuns = 100, kRunChars = 100;

struct Segment {
  int x0, y0, x1, y1;
};

std::vector<Segment> RandomSegments(int n, int spread) {
  std::mt19937 rng(1234);
  std::uniform_int_distribution<int> x(-spread, kW + spread), y(-spread, kH + spread);
  std::vector<Segment> s(static_cast<size_t>(n));
  for (Segment& g : s) g = {x(rng), y(rng), x(rng), y(rng)};
  return s;
}

std::vector<Segment> RandomBoxes(int n) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> x(0, kW - 1), y(0, kH - 1), size(4, 400);
  std::vector<Segment> s(static_cast<size_t>(n));
  for (Segment& g : s) {
    g.x0 = x(rng);
    g.y0 = y(rng);
    g.x1 = g.x0 + size(rng);
    g.y1 = g.y0 + size(rng);
  }
  return s;
}

std::string Sentence() {
  std::string s;
  const char* words = "The quick brown fox jumps over the lazy dog 0123456789 ";
  while (s.size() < size_t(kRunChars)) s += words;
  return s.substr(0, kRunChars);
}

void BM_FillRect(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  b.Canvas().Brush().SetColor(0x336699);
  for (auto _ : state) {
    b.Canvas().FillRect(Rect(0, 0, kW, kH));
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillRect)->Unit(benchmark::kMillisecond);

void BM_Lines(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  TCanvas& c = b.Canvas();
  c.Pen().SetWidth(int(state.range(0)));
  auto segs = RandomSegments(kLines, 100);
  for (auto _ : state) {
    for (const Segment& s : segs) {
      c.MoveTo(s.x0, s.y0);
      c.LineTo(s.x1, s.y1);
    }
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.counters["lines/s"] =
      benchmark::Counter(double(kLines) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Lines)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_Ellipses(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(0x00C0FF);
  auto boxes = RandomBoxes(kEllipses);
  for (auto _ : state) {
    for (const Segment& s : boxes) c.Ellipse(s.x0, s.y0, s.x1, s.y1);
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.counters["ellipses/s"] =
      benchmark::Counter(double(kEllipses) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Ellipses)->Unit(benchmark::kMillisecond);

void BM_Text(benchmark::State& state) {
  TBitmap b(kW, kH, pf24bit);
  TCanvas& c = b.Canvas();
  c.Font().SetName("Arial");
  c.Font().SetHeight(-13);
  c.SetBkMode(TRANSPARENT);
  std::string text = Sentence();
  auto at = RandomSegments(kTextRuns, 0);
  for (auto _ : state) {
    for (const Segment& s : at) c.TextOut(s.x0 % (kW - 600), s.y0, text);
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
  state.counters["chars/s"] = benchmark::Counter(double(kTextRuns) * kRunChars * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Text)->Unit(benchmark::kMillisecond);

#ifdef PICTAVO_HAVE_CAIRO
struct CairoSurface {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
  cairo_t* cr = cairo_create(surface);
  ~CairoSurface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

void BM_CairoFillRect(benchmark::State& state) {
  CairoSurface s;
  cairo_set_source_rgb(s.cr, 0.6, 0.4, 0.2);
  for (auto _ : state) {
    cairo_rectangle(s.cr, 0, 0, kW, kH);
    cairo_fill(s.cr);
    cairo_surface_flush(s.surface);
  }
  state.counters["Mpix/s"] =
      benchmark::Counter(double(kW) * kH * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CairoFillRect)->Unit(benchmark::kMillisecond);

void BM_CairoLines(benchmark::State& state) {
  CairoSurface s;
  cairo_set_antialias(s.cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(s.cr, double(state.range(0)));
  cairo_set_line_cap(s.cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgb(s.cr, 0, 0, 0);
  auto segs = RandomSegments(kLines, 100);
  for (auto _ : state) {
    for (const Segment& g : segs) {
      cairo_move_to(s.cr, g.x0 + 0.5, g.y0 + 0.5);
      cairo_line_to(s.cr, g.x1 + 0.5, g.y1 + 0.5);
      cairo_stroke(s.cr);
    }
    cairo_surface_flush(s.surface);
  }
  state.counters["lines/s"] =
      benchmark::Counter(double(kLines) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CairoLines)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_CairoEllipses(benchmark::State& state) {
  CairoSurface s;
  cairo_set_antialias(s.cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(s.cr, 1);
  auto boxes = RandomBoxes(kEllipses);
  for (auto _ : state) {
    for (const Segment& g : boxes) {
      double rx = (g.x1 - g.x0) / 2.0, ry = (g.y1 - g.y0) / 2.0;
      cairo_save(s.cr);
      cairo_translate(s.cr, g.x0 + rx, g.y0 + ry);
      cairo_scale(s.cr, rx, ry);
      cairo_arc(s.cr, 0, 0, 1, 0, 6.283185307179586);
      cairo_restore(s.cr);
      cairo_set_source_rgb(s.cr, 1, 0.75, 0);
      cairo_fill_preserve(s.cr);
      cairo_set_source_rgb(s.cr, 0, 0, 0);
      cairo_stroke(s.cr);
    }
    cairo_surface_flush(s.surface);
  }
  state.counters["ellipses/s"] =
      benchmark::Counter(double(kEllipses) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CairoEllipses)->Unit(benchmark::kMillisecond);

void BM_CairoText(benchmark::State& state) {
  CairoSurface s;
  cairo_select_font_face(s.cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(s.cr, 13);
  cairo_set_source_rgb(s.cr, 0, 0, 0);
  std::string text = Sentence();
  auto at = RandomSegments(kTextRuns, 0);
  for (auto _ : state) {
    for (const Segment& g : at) {
      cairo_move_to(s.cr, g.x0 % (kW - 600), g.y0 + 12);
      cairo_show_text(s.cr, text.c_str());
    }
    cairo_surface_flush(s.surface);
  }
  state.counters["chars/s"] = benchmark::Counter(double(kTextRuns) * kRunChars * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CairoText)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace pictavo

BENCHMARK_MAIN();
