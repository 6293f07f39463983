// Read and write speed of the TGA, PPM/PGM and PCX codecs on a 4000 x 3000
// image, beside stb_image (TGA, PPM, PGM) and the ImageMagick convert
// process (PCX).  Rates are items (pixels) per second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "codecs/pcx.h"
#include "codecs/pxm.h"
#include "codecs/tga.h"

namespace pictavo {
namespace {

constexpr int kW = 4000, kH = 3000;

TBitmap& Sample() {
  static TBitmap bm;
  if (bm.Empty()) {
    bm.SetSize(1, 1);
    bm.SetPixelFormat(pf24bit);
    bm.SetSize(kW, kH);
    for (int y = 0; y < kH; ++y) {
      uint8_t* row = bm.ScanLine(y);
      for (int x = 0; x < kW; ++x) {
        // Smooth areas with runs, as photographs and drawings mix them.
        row[3 * x] = uint8_t((x / 16) * 3);
        row[3 * x + 1] = uint8_t(y / 12);
        row[3 * x + 2] = uint8_t((x + y) / 32);
      }
    }
  }
  return bm;
}

enum Kind { kTGA, kPPM, kPGM, kPCX };

void Encode(Kind kind, TStream& m) {
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  params.TGA_Compressed = false;
  if (kind == kPGM) params.SamplesPerPixel = 1;
  if (kind == kTGA) WriteTGAStream(m, Sample(), params, progress);
  if (kind == kPPM || kind == kPGM) PXMWriteStream(m, Sample(), params, progress);
  if (kind == kPCX) WritePcxStream(m, Sample(), params, progress);
}

// The encoded file of one format, made once with our writer.
TMemoryStream& Encoded(Kind kind) {
  static TMemoryStream files[4];
  if (files[kind].GetSize() == 0) Encode(kind, files[kind]);
  return files[kind];
}

void Read(benchmark::State& state, Kind kind) {
  TMemoryStream& m = Encoded(kind);
  for (auto _ : state) {
    TReadOnlyMemoryStream s(m.Memory(), m.GetSize());
    TBitmap bm;
    TIOParamsVals params;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    if (kind == kTGA) ReadTGAStream(s, bm, params, progress, false);
    if (kind == kPPM || kind == kPGM) PXMReadStream(s, bm, params, false, progress);
    if (kind == kPCX) ReadPcxStream(s, bm, params, m.GetSize(), progress, false);
    benchmark::DoNotOptimize(bm.ScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void Write(benchmark::State& state, Kind kind) {
  for (auto _ : state) {
    TMemoryStream m;
    Encode(kind, m);
    benchmark::DoNotOptimize(m.Memory());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void StbRead(benchmark::State& state, Kind kind) {
  TMemoryStream& m = Encoded(kind);
  for (auto _ : state) {
    int w, h, n;
    stbi_uc* px = stbi_load_from_memory(m.Memory(), int(m.GetSize()), &w, &h, &n, 0);
    benchmark::DoNotOptimize(px);
    stbi_image_free(px);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void StbWriteTga(benchmark::State& state) {
  std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
  for (int y = 0; y < kH; ++y) {
    const uint8_t* row = Sample().ScanLine(y);
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) rgb[(size_t(y) * kW + x) * 3 + c] = row[3 * x + 2 - c];
  }
  stbi_write_tga_with_rle = 0;
  for (auto _ : state) {
    std::vector<uint8_t> out;
    stbi_write_tga_to_func(
        [](void* ctx, void* data, int size) {
          auto* v = static_cast<std::vector<uint8_t>*>(ctx);
          v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &out, kW, kH, 3, rgb.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

// ImageMagick as a process: decode the PCX, or encode a PPM into PCX.
void MagickPcx(benchmark::State& state, bool write) {
  const std::string dir = (std::filesystem::temp_directory_path() / "pictavo_bench").string();
  std::filesystem::create_directories(dir);
  const std::string pcx = dir + "/in.pcx", ppm = dir + "/in.ppm";
  for (auto [kind, path] : {std::pair{kPCX, pcx}, std::pair{kPPM, ppm}})
    Encoded(kind).SaveToFile(path);
  const std::string cmd = write ? "convert '" + ppm + "' PCX:'" + dir + "/out.pcx'"
                                : "convert '" + pcx + "' ppm:/dev/null";
  for (auto _ : state)
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("convert failed");
  state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

BENCHMARK_CAPTURE(Read, TGA, kTGA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StbRead, TGA, kTGA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Read, PPM, kPPM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StbRead, PPM, kPPM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Read, PGM, kPGM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StbRead, PGM, kPGM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Read, PCX, kPCX)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MagickPcx, read, false)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Write, TGA, kTGA)->Unit(benchmark::kMillisecond);
BENCHMARK(StbWriteTga)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, PPM, kPPM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, PGM, kPGM)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Write, PCX, kPCX)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MagickPcx, write, true)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace pictavo

BENCHMARK_MAIN();
