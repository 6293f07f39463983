// BMP reading and writing beside stb_image and memcpy, and the quantizers
// beside libimagequant (time and mean squared error).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#include <libimagequant.h>
#include <stb/stb_image.h>

#include "codecs/bmp.h"
#include "codecs/quantize.h"

namespace pictavo {
namespace {

void Photo(TBitmap& b, int w, int h) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const double d = std::hypot(x - w * 0.4, y - h * 0.5);
      p[0] = uint8_t(200 - 150 * y / h);
      p[1] = uint8_t(d < h * 0.25 ? 200 - d / 4 : 60 + 120 * x / w);
      p[2] = uint8_t(40 + 100 * std::sin(x * 0.01) + 80 * y / h);
    }
  }
}

TBitmap& Big() {
  static TBitmap b;
  if (b.Empty()) Photo(b, 4000, 3000);
  return b;
}

TMemoryStream& BigFile() {
  static TMemoryStream ms;
  if (ms.GetSize() == 0) {
    TIOParamsVals params;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    BMPWriteStream(ms, Big(), params, pr);
  }
  return ms;
}

void BM_ReadPictavo(benchmark::State& state) {
  auto& f = BigFile();
  for (auto _ : state) {
    TReadOnlyMemoryStream s(f.Memory(), f.GetSize());
    TBitmap b;
    TIOParamsVals params;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    BMPReadStream(s, b, 0, params, pr, false);
    benchmark::DoNotOptimize(b.ScanLine(0));
  }
}
void BM_ReadStb(benchmark::State& state) {
  auto& f = BigFile();
  for (auto _ : state) {
    int w, h, n;
    uint8_t* p = stbi_load_from_memory(f.Memory(), int(f.GetSize()), &w, &h, &n, 3);
    benchmark::DoNotOptimize(p);
    stbi_image_free(p);
  }
}
void BM_Memcpy(benchmark::State& state) {
  auto& f = BigFile();
  std::vector<uint8_t> dst(size_t(f.GetSize()));
  for (auto _ : state) {
    std::memcpy(dst.data(), f.Memory(), dst.size());
    benchmark::DoNotOptimize(dst.data());
  }
}
void BM_WritePictavo(benchmark::State& state) {
  TBitmap& b = Big();
  for (auto _ : state) {
    TMemoryStream ms;
    ms.SetSize(BigFile().GetSize());
    ms.SetPosition(0);
    TIOParamsVals params;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    BMPWriteStream(ms, b, params, pr);
    benchmark::DoNotOptimize(ms.Memory());
  }
}

TBitmap& Small() {
  static TBitmap b;
  if (b.Empty()) Photo(b, 800, 600);
  return b;
}

double Mse(TBitmap& a, const std::vector<TRGB>& mapped) {
  double s = 0;
  size_t k = 0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    const TRGB* p = reinterpret_cast<const TRGB*>(a.ScanLine(y));
    for (int x = 0; x < a.GetWidth(); ++x, ++k) {
      s += double(p[x].r - mapped[k].r) * (p[x].r - mapped[k].r) +
           double(p[x].g - mapped[k].g) * (p[x].g - mapped[k].g) +
           double(p[x].b - mapped[k].b) * (p[x].b - mapped[k].b);
    }
  }
  return s / (3.0 * k);
}

void BM_QuantPictavo(benchmark::State& state) {
  const int colors = int(state.range(0));
  TBitmap& b = Small();
  std::vector<TRGB> mapped(size_t(b.GetWidth()) * b.GetHeight());
  for (auto _ : state) {
    std::vector<TRGB> map(colors);
    TPVQuantizer q(b, map.data(), colors - 1, colors);
    size_t k = 0;
    for (int y = 0; y < b.GetHeight(); ++y) {
      const TRGB* p = reinterpret_cast<const TRGB*>(b.ScanLine(y));
      for (int x = 0; x < b.GetWidth(); ++x) mapped[k++] = map[q.GetRGBIndex(p[x])];
    }
  }
  state.counters["MSE"] = Mse(b, mapped);
}

void BM_QuantLiq(benchmark::State& state) {
  const int colors = int(state.range(0));
  TBitmap& b = Small();
  const int w = b.GetWidth(), h = b.GetHeight();
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = b.ScanLine(y) + 3 * x;
      uint8_t* d = &rgba[(size_t(y) * w + x) * 4];
      d[0] = p[2], d[1] = p[1], d[2] = p[0], d[3] = 255;
    }
  std::vector<TRGB> mapped(size_t(w) * h);
  std::vector<uint8_t> idx(size_t(w) * h);
  for (auto _ : state) {
    liq_attr* attr = liq_attr_create();
    liq_set_max_colors(attr, colors);
    liq_image* img = liq_image_create_rgba(attr, rgba.data(), w, h, 0);
    liq_result* res = nullptr;
    if (liq_image_quantize(img, attr, &res) != LIQ_OK) {
      state.SkipWithError("libimagequant failed");
      break;
    }
    liq_set_dithering_level(res, 0);
    liq_write_remapped_image(res, img, idx.data(), idx.size());
    const liq_palette* pal = liq_get_palette(res);
    for (size_t k = 0; k < idx.size(); ++k) {
      const liq_color c = pal->entries[idx[k]];
      mapped[k] = TRGB{c.b, c.g, c.r};
    }
    liq_result_destroy(res);
    liq_image_destroy(img);
    liq_attr_destroy(attr);
  }
  state.counters["MSE"] = Mse(b, mapped);
}

BENCHMARK(BM_ReadPictavo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePictavo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuantPictavo)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuantLiq)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pictavo

// Prints the usual table, then the ratios of our times to the references.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [&](const char* ours, const char* ref) {
    auto a = reporter.times.find(ours), b = reporter.times.find(ref);
    if (a != reporter.times.end() && b != reporter.times.end() && b->second > 0)
      std::printf("ratio %-22s / %-18s = %.2f\n", ours, ref, a->second / b->second);
  };
  ratio("BM_ReadPictavo", "BM_ReadStb");
  ratio("BM_ReadPictavo", "BM_Memcpy");
  ratio("BM_WritePictavo", "BM_Memcpy");
  ratio("BM_QuantPictavo/16", "BM_QuantLiq/16");
  ratio("BM_QuantPictavo/256", "BM_QuantLiq/256");
  return 0;
}
