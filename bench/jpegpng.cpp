// JPEG and PNG through our adapters against libjpeg-turbo and libpng called
// directly with the same settings, on a 4000x3000 picture.  Compare the
// times of each pair (the ratio adapter / library is the figure of interest).
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "codecs/jpeg.h"
#include "codecs/png.h"

using namespace pictavo;

namespace {

constexpr int kW = 4000, kH = 3000;

TBitmap& Picture() {
  static TBitmap* bmp = [] {
    TBitmap* pb = new TBitmap();
    TBitmap& b = *pb;
    b.SetSize(1, 1);
    b.SetPixelFormat(pf24bit);
    b.SetSize(kW, kH);
    for (int y = 0; y < kH; ++y) {
      uint8_t* row = b.ScanLine(y);
      for (int x = 0; x < kW; ++x) {
        row[x * 3] = uint8_t(x * 7 + y);
        row[x * 3 + 1] = uint8_t((x ^ y) & 0xF0);
        row[x * 3 + 2] = uint8_t(y / 12);
      }
    }
    return pb;
  }();
  return *bmp;
}

std::vector<uint8_t> Encoded(bool png) {
  TMemoryStream s;
  TIOParamsVals p;
  p.JPEG_Quality = 85;
  bool ab = false;
  TProgressRec pr;
  pr.Aborting = &ab;
  if (png)
    WritePNGStream(s, Picture(), p, pr);
  else
    WriteJPegStream(s, Picture(), p, pr);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.GetSize());
}

const std::vector<uint8_t>& JpegFile() {
  static auto v = Encoded(false);
  return v;
}
const std::vector<uint8_t>& PngFile() {
  static auto v = Encoded(true);
  return v;
}

void AdapterJpegDecode(benchmark::State& st) {
  const auto& f = JpegFile();
  TBitmap out;
  for (auto _ : st) {
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    TIOParamsVals p;
    p.JPEG_Scale = st.range(0) == 8 ? ioJPEG_EIGHTH : ioJPEG_FULLSIZE;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    ReadJPegStream(s, &out, p, false, pr);
  }
}

void LibJpegDecode(benchmark::State& st) {
  const auto& f = JpegFile();
  std::vector<uint8_t> out(size_t(kW) * kH * 3);
  for (auto _ : st) {
    jpeg_decompress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, f.data(), f.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGR;
    c.scale_denom = unsigned(st.range(0));
    jpeg_start_decompress(&c);
    while (c.output_scanline < c.output_height) {
      JSAMPROW row = &out[size_t(c.output_scanline) * c.output_width * 3];
      jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
  }
}

void AdapterJpegEncode(benchmark::State& st) {
  for (auto _ : st) {
    TMemoryStream s;
    TIOParamsVals p;
    p.JPEG_Quality = 85;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    WriteJPegStream(s, Picture(), p, pr);
  }
}

void LibJpegEncode(benchmark::State& st) {
  TBitmap& b = Picture();
  for (auto _ : st) {
    jpeg_compress_struct c;
    jpeg_error_mgr e;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = kW;
    c.image_height = kH;
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < kH; ++y) {
      JSAMPROW row = b.ScanLine(y);
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    free(mem);
  }
}

void AdapterPngDecode(benchmark::State& st) {
  const auto& f = PngFile();
  TBitmap out;
  for (auto _ : st) {
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    TIOParamsVals p;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    ReadPNGStream(s, &out, p, false, pr);
  }
}

struct MemSrc {
  const uint8_t* p;
  size_t n, pos;
};

void LibPngDecode(benchmark::State& st) {
  const auto& f = PngFile();
  std::vector<uint8_t> out(size_t(kW) * kH * 3);
  for (auto _ : st) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemSrc src{f.data(), f.size(), 0};
    png_set_read_fn(png, &src, [](png_structp p, png_bytep d, png_size_t n) {
      MemSrc* s = static_cast<MemSrc*>(png_get_io_ptr(p));
      std::memcpy(d, s->p + s->pos, n);
      s->pos += n;
    });
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    for (int y = 0; y < kH; ++y) png_read_row(png, &out[size_t(y) * kW * 3], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
  }
}

void AdapterPngEncode(benchmark::State& st) {
  for (auto _ : st) {
    TMemoryStream s;
    TIOParamsVals p;
    bool ab = false;
    TProgressRec pr;
    pr.Aborting = &ab;
    WritePNGStream(s, Picture(), p, pr);
  }
}

void LibPngEncode(benchmark::State& st) {
  TBitmap& b = Picture();
  for (auto _ : st) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
          auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
          v->insert(v->end(), d, d + n);
        },
        [](png_structp) {});
    png_set_IHDR(png, info, kW, kH, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, 0, 0, PNG_RESOLUTION_METER);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_color_16 bg{};
    png_set_bKGD(png, info, &bg);
    png_set_compression_level(png, 5);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < kH; ++y) png_write_row(png, b.ScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
  }
}

}  // namespace

BENCHMARK(AdapterJpegDecode)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(LibJpegDecode)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK(AdapterJpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(LibJpegEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(AdapterPngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(LibPngDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(AdapterPngEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(LibPngEncode)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
