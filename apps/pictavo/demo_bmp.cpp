// Demo section: BMP round trips of every depth, compression and header
// kind, and colour reduction of a sample photograph to 16 and 256 colours.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "codecs/bmp.h"
#include "codecs/quantize.h"

namespace pictavo::cli {
namespace {

// A photograph-like test image: smooth gradients, a sky, discs and bars.
void MakePhoto(TBitmap& b, int w, int h) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    TRGB* row = reinterpret_cast<TRGB*>(b.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      const double fx = double(x) / w, fy = double(y) / h;
      double r = 40 + 150 * fy + 40 * std::sin(fx * 9), g = 90 + 120 * (1 - fy) * fx,
             bl = 200 - 120 * fy;
      const double d1 = std::hypot(x - w * 0.3, y - h * 0.4),
                   d2 = std::hypot(x - w * 0.7, y - h * 0.65);
      if (d1 < h * 0.2) r = 230 - d1, g = 160 - d1 / 2, bl = 40;
      if (d2 < h * 0.15) r = 30, g = 140 + d2, bl = 90 + d2 / 2;
      if ((x / 16) % 5 == 0 && y > h * 0.8) r = g = bl = 20 + (x % 16) * 10;
      row[x] = TRGB{uint8_t(std::clamp(bl, 0.0, 255.0)), uint8_t(std::clamp(g, 0.0, 255.0)),
                    uint8_t(std::clamp(r, 0.0, 255.0))};
    }
  }
}

double MeanSquaredError(TBitmap& a, TBitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    const uint8_t* p = a.ScanLine(y);
    const uint8_t* q = b.ScanLine(y);
    for (int x = 0; x < a.GetWidth() * 3; ++x) sum += double(p[x] - q[x]) * (p[x] - q[x]);
  }
  return sum / (double(a.GetWidth()) * a.GetHeight() * 3);
}

// Maps every pixel through the quantizer's palette.
double ReduceMSE(TBitmap& photo, int colors) {
  std::vector<TRGB> map(colors);
  TPVQuantizer q(photo, map.data(), colors - 1, colors);
  TBitmap out(photo.GetWidth(), photo.GetHeight(), pf24bit);
  for (int y = 0; y < photo.GetHeight(); ++y) {
    const TRGB* s = reinterpret_cast<const TRGB*>(photo.ScanLine(y));
    TRGB* d = reinterpret_cast<TRGB*>(out.ScanLine(y));
    for (int x = 0; x < photo.GetWidth(); ++x) d[x] = map[q.GetRGBIndex(s[x])];
  }
  return MeanSquaredError(photo, out);
}

std::string Fmt(const char* f, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

void DemoBmp(DemoContext& demo) {
  TBitmap photo;
  MakePhoto(photo, 320, 240);
  struct Case {
    const char* name;
    int bps, spp;
    TIOBMPVersion version;
    TIOBMPCompression compression;
  } cases[] = {
      {"24-bit BM3", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED},
      {"24-bit OS/2 1.x", 8, 3, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED},
      {"24-bit OS/2 2.x", 8, 3, ioBMP_BMOS2V2, ioBMP_UNCOMPRESSED},
      {"8-bit BM3", 8, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED},
      {"8-bit RLE8", 8, 1, ioBMP_BM3, ioBMP_RLE},
      {"8-bit OS/2 1.x", 8, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED},
      {"4-bit BM3", 4, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED},
      {"4-bit RLE4", 4, 1, ioBMP_BM3, ioBMP_RLE},
      {"4-bit OS/2 2.x RLE4", 4, 1, ioBMP_BMOS2V2, ioBMP_RLE},
      {"1-bit BM3", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED},
  };
  int n = 0;
  for (const auto& c : cases) {
    demo.Run("bmp", std::string("round trip ") + c.name, [&] {
      TIOParamsVals params;
      params.BitsPerSample = c.bps;
      params.SamplesPerPixel = c.spp;
      params.BMP_Version = c.version;
      params.BMP_Compression = c.compression;
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      const std::string path = demo.Path("bmp_" + std::to_string(n++) + ".bmp");
      {
        TFileStream out(path, fmCreate);
        BMPWriteStream(out, photo, params, progress);
      }
      if (aborting) throw std::runtime_error("write failed");
      TBitmap back;
      TIOParamsVals read;
      TFileStream in(path, fmOpenRead);
      BMPReadStream(in, back, 0, read, progress, false);
      if (aborting) throw std::runtime_error("read failed");
      if (back.GetWidth() != photo.GetWidth() || back.GetHeight() != photo.GetHeight())
        throw std::runtime_error("size differs");
      if (read.BMP_Version != c.version) throw std::runtime_error("header kind differs");
      if (c.bps == 1) {
        if (back.GetPixelFormat() != pf1bit) throw std::runtime_error("not bilevel");
        return std::to_string(in.GetSize()) + " bytes, bilevel";
      }
      const double mse = MeanSquaredError(photo, back);
      if (c.spp == 3 && c.bps == 8 && mse != 0) throw std::runtime_error("24-bit pixels differ");
      if (c.spp == 1) {
        // The palette file must hold exactly the quantizer's mapping.
        const int colors = 1 << c.bps;
        std::vector<TRGB> map(colors);
        TPVQuantizer q(photo, map.data(), colors - 1, colors);
        for (int y = 0; y < photo.GetHeight(); ++y)
          for (int x = 0; x < photo.GetWidth(); ++x)
            if (!(map[q.GetRGBIndex(reinterpret_cast<TRGB*>(photo.ScanLine(y))[x])] ==
                  reinterpret_cast<TRGB*>(back.ScanLine(y))[x]))
              throw std::runtime_error("palette pixels differ");
      }
      return std::to_string(in.GetSize()) + " bytes, MSE " + Fmt("%.2f", mse);
    });
  }
  demo.Run("bmp", "reduce photo to 16 colours (median cut)",
           [&] { return "MSE " + Fmt("%.2f", ReduceMSE(photo, 16)); });
  demo.Run("bmp", "reduce photo to 256 colours (network)", [&] {
    const double unsignedMse = ReduceMSE(photo, 256);
    gPVQuantUnsignedBiasShift = false;
    const double signedMse = ReduceMSE(photo, 256);
    gPVQuantUnsignedBiasShift = true;
    return "MSE " + Fmt("%.2f", unsignedMse) + " (signed bias reading: " + Fmt("%.2f", signedMse) +
           ")";
  });
}

}  // namespace

PICTAVO_DEMO(40, "bmp", DemoBmp);

}  // namespace pictavo::cli
