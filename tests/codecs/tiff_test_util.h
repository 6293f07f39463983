// Helpers of the TIFF tests: temporary files, PPM files for the external
// tools, and the library's readers and writers over files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::tifftest {

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string TempDir() {
  static std::string dir = [] {
    auto d =
        std::filesystem::temp_directory_path() / ("pictavo_tiff_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}
inline std::string Tmp(const std::string& name) {
  return TempDir() + "/" + name;
}

inline int Sh(const std::string& cmd) {
  return std::system((cmd + " >/dev/null 2>&1").c_str());
}

struct Rgb {
  int w = 0, h = 0;
  std::vector<uint8_t> px;  // r, g, b per pixel
};

// Reads a binary PPM (P6, maxval 255) or PGM (P5).
inline bool ReadPNM(const std::string& file, Rgb& out) {
  std::ifstream f(file, std::ios::binary);
  std::string magic;
  int maxv = 0;
  f >> magic >> out.w >> out.h >> maxv;
  f.get();
  if (!f || (magic != "P6" && magic != "P5") || maxv != 255) return false;
  size_t n = size_t(out.w) * out.h;
  std::vector<uint8_t> raw(magic == "P6" ? n * 3 : n);
  f.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
  if (!f) return false;
  if (magic == "P6") {
    out.px = raw;
  } else {
    out.px.resize(n * 3);
    for (size_t i = 0; i < n; ++i) out.px[3 * i] = out.px[3 * i + 1] = out.px[3 * i + 2] = raw[i];
  }
  return true;
}

inline void WritePPM(const std::string& file, const Rgb& img) {
  std::ofstream f(file, std::ios::binary);
  f << "P6\n" << img.w << " " << img.h << "\n255\n";
  f.write(reinterpret_cast<const char*>(img.px.data()), std::streamsize(img.px.size()));
}

// A picture with smooth areas, edges and noise, so that every coder has
// runs and literals to deal with.
inline Rgb TestPicture(int w, int h, uint32_t seed = 7) {
  Rgb img{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &img.px[(size_t(y) * w + x) * 3];
      if (x < w / 3) {
        p[0] = uint8_t(x * 7);
        p[1] = uint8_t(y * 5);
        p[2] = uint8_t(x + y);
      } else if (x < 2 * w / 3) {
        p[0] = p[1] = p[2] = (y / 4) % 2 ? 200 : 30;
      } else {
        p[0] = uint8_t(rng());
        p[1] = uint8_t(rng());
        p[2] = uint8_t(rng());
      }
    }
  return img;
}

// The reference decoding of an external file by ImageMagick.
inline bool ImageMagickPixels(const std::string& file, Rgb& out, int page = 0) {
  std::string ppm = file + ".ref.ppm";
  if (Sh("convert '" + file + "[" + std::to_string(page) + "]' -depth 8 ppm:'" + ppm + "'") != 0)
    return false;
  return ReadPNM(ppm, out);
}

inline Rgb BitmapPixels(const TBitmap& bmp) {
  Rgb out{bmp.GetWidth(), bmp.GetHeight(), {}};
  out.px.resize(size_t(out.w) * out.h * 3);
  for (int y = 0; y < out.h; ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < out.w; ++x) {
      uint8_t* p = &out.px[(size_t(y) * out.w + x) * 3];
      if (bmp.GetPixelFormat() == pf1bit) {
        p[0] = p[1] = p[2] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      } else {
        p[0] = row[x * 3 + 2];
        p[1] = row[x * 3 + 1];
        p[2] = row[x * 3];
      }
    }
  }
  return out;
}

inline void FillBitmap(TBitmap& bmp, const Rgb& img) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(img.w, img.h);
  for (int y = 0; y < img.h; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < img.w; ++x) {
      const uint8_t* p = &img.px[(size_t(y) * img.w + x) * 3];
      row[x * 3] = p[2];
      row[x * 3 + 1] = p[1];
      row[x * 3 + 2] = p[0];
    }
  }
}

// Reads a page of a TIFF file; returns false when the reader aborted.
inline bool ReadTIFF(const std::string& file, TBitmap& bmp, TIOParamsVals& params, int page = 0) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  params.TIFF_ImageIndex = page;
  params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  TFileStream f(file, fmOpenRead);
  int count = 0;
  TIFFReadStream(&bmp, f, count, &params, progress, false);
  return !aborting;
}

inline bool WriteTIFF(const std::string& file, TBitmap& bmp, TIOParamsVals& params,
                      bool append = false) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  params.TIFF_LZWCompFunc = TIFFLZWCompress;
  if (append) {
    TFileStream f(file, fmOpenReadWrite);
    return TIFFWriteStream(f, true, bmp, params, progress) > 0 && !aborting;
  }
  TFileStream f(file, fmCreate);
  return TIFFWriteStream(f, false, bmp, params, progress) == 1 && !aborting;
}

// Number of differing channel values.
inline size_t Differences(const Rgb& a, const Rgb& b) {
  if (a.w != b.w || a.h != b.h || a.px.size() != b.px.size()) return size_t(-1);
  size_t d = 0;
  for (size_t i = 0; i < a.px.size(); ++i) d += a.px[i] != b.px[i];
  return d;
}

// Largest difference of one channel value (255 + 1 for a size mismatch).
inline int MaxDifference(const Rgb& a, const Rgb& b) {
  if (a.w != b.w || a.h != b.h || a.px.size() != b.px.size()) return 256;
  int d = 0;
  for (size_t i = 0; i < a.px.size(); ++i) d = std::max(d, std::abs(a.px[i] - b.px[i]));
  return d;
}

}  // namespace pictavo::tifftest
