// TIFF decoding and encoding beside libtiff, on the same files: a 4000 x 3000
// RGB image uncompressed, LZW and PackBits, and a 2480 x 3508 bilevel page
// in Group 4.  Both sides do a loader's work: a new whole image per decode
// in the bitmap's channel order.  After the benchmarks, the ratios of our
// time to libtiff's are printed (below 1 means faster).
#include "codecs/tiff.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codecs/tifflzw.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

using namespace pictavo;

namespace {

std::string Path(const std::string& name) {
  return "/tmp/pictavo_bench_" + name + ".tif";
}

TBitmap& Photo() {
  static TBitmap& bmp = *[] {
    auto* pb = new TBitmap(4000, 3000, pf24bit);
    TBitmap& b = *pb;
    std::mt19937 rng(1);
    for (int y = 0; y < 3000; ++y) {
      uint8_t* row = b.ScanLine(y);
      for (int x = 0; x < 4000; ++x) {
        int n = int(rng() & 7);
        row[3 * x] = uint8_t(x / 16 + n);
        row[3 * x + 1] = uint8_t(y / 12 + n);
        row[3 * x + 2] = uint8_t((x + y) / 28 + n);
      }
    }
    return pb;
  }();
  return bmp;
}

TBitmap& Page() {
  static TBitmap& bmp = *[] {
    auto* pb = new TBitmap(2480, 3508, pf1bit);
    TBitmap& b = *pb;
    std::mt19937 rng(2);
    for (int y = 0; y < 3508; ++y) {
      uint8_t* row = b.ScanLine(y);
      for (int i = 0; i < int(b.RowBytes()); ++i) row[i] = 0xFF;
      // Lines of "text": short black runs in bands.
      if ((y / 20) % 2 == 0 && y % 20 < 14)
        for (int x = 200; x < 2280; x += 3 + int(rng() % 9))
          row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
    }
    return pb;
  }();
  return bmp;
}

int OurWrite(const std::string& file, TBitmap& bmp, TIOTIFFCompression c) {
  TIOParamsVals p;
  p.TIFF_Compression = c;
  p.TIFF_LZWCompFunc = TIFFLZWCompress;
  if (bmp.GetPixelFormat() == pf1bit) p.BitsPerSample = p.SamplesPerPixel = 1;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TFileStream f(file, fmCreate);
  return TIFFWriteStream(f, false, bmp, p, progress);
}

void OurRead(const std::string& file) {
  TIOParamsVals p;
  p.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TFileStream f(file, fmOpenRead);
  TBitmap bmp;
  int count = 0;
  TIFFReadStream(&bmp, f, count, &p, progress, false);
  if (aborting) std::fprintf(stderr, "read of %s failed\n", file.c_str());
  benchmark::DoNotOptimize(bmp.ScanLine(0));
}

// libtiff: one strip, the same layout as ours.
void LibWrite(const std::string& file, TBitmap& bmp, int compression) {
  TIFF* t = TIFFOpen(file.c_str(), "w");
  bool bw = bmp.GetPixelFormat() == pf1bit;
  int w = bmp.GetWidth(), h = bmp.GetHeight();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bw ? 1 : 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, bw ? 1 : 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, bw ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_LZW) TIFFSetField(t, TIFFTAG_PREDICTOR, 2);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
  std::vector<uint8_t> row(size_t(w) * 3 + 8);
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = bmp.ScanLine(y);
    if (bw) {
      for (int i = 0; i < (w + 7) / 8; ++i) row[i] = uint8_t(~s[i]);
    } else {
      for (int x = 0; x < w; ++x) {
        row[3 * x] = s[3 * x + 2];
        row[3 * x + 1] = s[3 * x + 1];
        row[3 * x + 2] = s[3 * x];
      }
    }
    TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
}

// libtiff doing what a loader does: a new whole-image buffer (rows padded to
// 4 bytes, as a bitmap's), every scanline read into its row and put into the
// bitmap's blue-green-red order, as our reader delivers it.
void LibRead(const std::string& file) {
  TIFF* t = TIFFOpen(file.c_str(), "r");
  uint32_t w = 0, h = 0;
  uint16_t spp = 1;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  const size_t scan = size_t(TIFFScanlineSize(t));
  const size_t stride = (scan + 3) & ~size_t(3);
  auto* image = static_cast<uint8_t*>(std::malloc(stride * h));
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = image + stride * y;
    TIFFReadScanline(t, row, y, 0);
    if (spp == 3)
      for (uint32_t x = 0; x < w; ++x) std::swap(row[3 * x], row[3 * x + 2]);
  }
  benchmark::DoNotOptimize(image[stride * h / 2]);
  std::free(image);
  TIFFClose(t);
}

struct Files {
  Files() {
    OurWrite(Path("none"), Photo(), ioTIFF_UNCOMPRESSED);
    OurWrite(Path("lzw"), Photo(), ioTIFF_LZW);
    OurWrite(Path("packbits"), Photo(), ioTIFF_PACKBITS);
    OurWrite(Path("g4"), Page(), ioTIFF_G4FAX);
  }
};
void EnsureFiles() {
  static Files files;
}

void BM_Read_Ours(benchmark::State& st, const char* name) {
  EnsureFiles();
  for (auto _ : st) OurRead(Path(name));
}
void BM_Read_Libtiff(benchmark::State& st, const char* name) {
  EnsureFiles();
  for (auto _ : st) LibRead(Path(name));
}
void BM_Write_Ours(benchmark::State& st, bool g4) {
  for (auto _ : st)
    OurWrite(Path("out_ours"), g4 ? Page() : Photo(), g4 ? ioTIFF_G4FAX : ioTIFF_LZW);
}
void BM_Write_Libtiff(benchmark::State& st, bool g4) {
  for (auto _ : st)
    LibWrite(Path("out_lib"), g4 ? Page() : Photo(), g4 ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
}

BENCHMARK_CAPTURE(BM_Read_Ours, none, "none")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Libtiff, none, "none")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Ours, lzw_predictor, "lzw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Libtiff, lzw_predictor, "lzw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Ours, packbits, "packbits")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Libtiff, packbits, "packbits")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Ours, g4, "g4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read_Libtiff, g4, "g4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write_Ours, lzw, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write_Libtiff, lzw, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write_Ours, g4, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write_Libtiff, g4, true)->Unit(benchmark::kMillisecond);

double Best(const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < 5; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  EnsureFiles();
  std::printf("\nratio ours / libtiff (best of 5):\n");
  for (const char* n : {"none", "lzw", "packbits", "g4"})
    std::printf("  decode %-9s %.2f\n", n,
                Best([&] { OurRead(Path(n)); }) / Best([&] { LibRead(Path(n)); }));
  std::printf("  encode %-9s %.2f\n", "lzw",
              Best([] { OurWrite(Path("out_ours"), Photo(), ioTIFF_LZW); }) /
                  Best([] { LibWrite(Path("out_lib"), Photo(), COMPRESSION_LZW); }));
  std::printf("  encode %-9s %.2f\n", "g4",
              Best([] { OurWrite(Path("out_ours"), Page(), ioTIFF_G4FAX); }) /
                  Best([] { LibWrite(Path("out_lib"), Page(), COMPRESSION_CCITTFAX4); }));
  return 0;
}
