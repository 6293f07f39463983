// GIF coders beside giflib on the same 4000x3000 256-colour image: whole
// decodes into a bitmap and encoding, with the time ratios and the file
// sizes of both encoders.
#include "codecs/gif.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "io/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

using namespace pictavo;

namespace {

constexpr int kW = 4000, kH = 3000;

// Index bytes of a photograph-like image: smooth regions, edges and noise.
const std::vector<uint8_t>& Indices() {
  static std::vector<uint8_t> idx = [] {
    std::vector<uint8_t> v(size_t(kW) * kH);
    uint32_t seed = 7;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        seed = seed * 1664525 + 1013904223;
        int base = ((x / 3) ^ (y / 5)) & 0x3F;
        int tone = (x * 97 / kW + y * 61 / kH) & 0x3F;
        int noise = (seed >> 28) < 3 ? int(seed >> 24 & 3) : 0;
        v[size_t(y) * kW + x] = uint8_t((base / 16) * 64 + tone + noise);
      }
    return v;
  }();
  return idx;
}

struct MemOut {
  std::vector<uint8_t> data;
};
int WriteMem(GifFileType* gif, const GifByteType* buf, int len) {
  auto* m = static_cast<MemOut*>(gif->UserData);
  m->data.insert(m->data.end(), buf, buf + len);
  return len;
}
struct MemIn {
  const uint8_t* d;
  size_t n, p;
};
int ReadMem(GifFileType* gif, GifByteType* buf, int len) {
  auto* m = static_cast<MemIn*>(gif->UserData);
  size_t k = std::min(size_t(len), m->n - m->p);
  std::memcpy(buf, m->d + m->p, k);
  m->p += k;
  return int(k);
}

std::vector<uint8_t> GiflibEncode(const std::vector<uint8_t>& idx) {
  MemOut out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, WriteMem, &err);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i)
    map->Colors[i] = GifColorType{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  EGifPutScreenDesc(gif, kW, kH, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, kW, kH, false, nullptr);
  for (int y = 0; y < kH; ++y)
    EGifPutLine(gif, const_cast<GifPixelType*>(idx.data() + size_t(y) * kW), kW);
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out.data;
}

std::vector<uint8_t> OurStream(bool lzw) {
  TMemoryStream ms;
  const auto& idx = Indices();
  (lzw ? GIFLZWCompress : GIFNONLZWCompress)(ms, kH, kW, false, idx.data(), 8);
  std::vector<uint8_t> d(size_t(ms.GetSize()));
  ms.SetPosition(0);
  ms.Read(d.data(), int64_t(d.size()));
  return d;
}

// Both decoders do a loader's whole work on the same giflib file: parse it,
// decode the codes and expand the indices through the colour map into a new
// blue-green-red image with rows padded to 4 bytes (a bitmap).
void BM_Decode_Pictavo(benchmark::State& state) {
  const std::vector<uint8_t> file = GiflibEncode(Indices());
  for (auto _ : state) {
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    TBitmap bmp;
    TIOParamsVals params;
    params.GIF_LZWDecompFunc = GIFLZWDecompress;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    int count = 0;
    ReadGifStream(s, &bmp, count, false, progress, params);
    if (aborting || bmp.GetWidth() != kW) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bmp.ScanLine(kH / 2));
  }
}

void BM_Decode_Giflib(benchmark::State& state) {
  const std::vector<uint8_t> file = GiflibEncode(Indices());
  const size_t stride = (size_t(kW) * 3 + 3) & ~size_t(3);
  for (auto _ : state) {
    MemIn in{file.data(), file.size(), 0};
    int err = 0;
    GifFileType* gif = DGifOpen(&in, ReadMem, &err);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
      state.SkipWithError("giflib decode failed");
      break;
    }
    const SavedImage& im = gif->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    auto* image = static_cast<uint8_t*>(std::malloc(stride * kH));
    for (int y = 0; y < kH; ++y) {
      const GifByteType* s = im.RasterBits + size_t(y) * kW;
      uint8_t* d = image + stride * y;
      for (int x = 0; x < kW; ++x, d += 3) {
        const GifColorType& c = map->Colors[s[x]];
        d[0] = c.Blue;
        d[1] = c.Green;
        d[2] = c.Red;
      }
    }
    benchmark::DoNotOptimize(image[stride * kH / 2]);
    std::free(image);
    DGifCloseFile(gif, &err);
  }
}

void BM_Encode_Pictavo_LZW(benchmark::State& state) {
  const auto& idx = Indices();
  for (auto _ : state) {
    TMemoryStream ms;
    GIFLZWCompress(ms, kH, kW, false, idx.data(), 8);
    benchmark::DoNotOptimize(ms.GetSize());
  }
}

void BM_Encode_Pictavo_RunLength(benchmark::State& state) {
  const auto& idx = Indices();
  for (auto _ : state) {
    TMemoryStream ms;
    GIFNONLZWCompress(ms, kH, kW, false, idx.data(), 8);
    benchmark::DoNotOptimize(ms.GetSize());
  }
}

void BM_Encode_Giflib(benchmark::State& state) {
  const auto& idx = Indices();
  for (auto _ : state) benchmark::DoNotOptimize(GiflibEncode(idx).size());
}

BENCHMARK(BM_Decode_Pictavo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Giflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Pictavo_LZW)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Pictavo_RunLength)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Giflib)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  auto t = [&](const char* n) { return rep.times.count(n) ? rep.times[n] : 0.0; };
  if (t("BM_Decode_Giflib") > 0 && t("BM_Decode_Pictavo") > 0)
    std::printf("decode: pictavo / giflib time = %.2f\n",
                t("BM_Decode_Pictavo") / t("BM_Decode_Giflib"));
  if (t("BM_Encode_Giflib") > 0 && t("BM_Encode_Pictavo_LZW") > 0)
    std::printf("encode LZW: pictavo / giflib time = %.2f\n",
                t("BM_Encode_Pictavo_LZW") / t("BM_Encode_Giflib"));
  std::printf("sizes: pictavo LZW %zu bytes, run-length %zu bytes, giflib %zu bytes\n",
              OurStream(true).size(), OurStream(false).size(), GiflibEncode(Indices()).size());
  return 0;
}
