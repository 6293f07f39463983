// Helpers of the raster codec tests: temporary files, external tools, pixel
// comparison against ImageMagick's decoding.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::testutil {

inline std::string TempPath(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / "pictavo_raster_tests";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool Shell(const std::string& cmd) {
  return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()) == 0;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The RGB bytes (row-major, top-down) ImageMagick decodes from a file.
inline std::vector<uint8_t> MagickRGB(const std::string& file, int& w, int& h) {
  std::string out = file + ".rgb";
  w = h = 0;
  std::string dims = file + ".dims";
  if (!Shell("convert '" + file + "' -alpha off -depth 8 rgb:'" + out + "'")) return {};
  if (!Shell("identify -format '%w %h' '" + file + "' > '" + dims + "'")) return {};
  std::ifstream d(dims);
  d >> w >> h;
  return ReadFile(out);
}

// Pixel of a pf1bit or pf24bit bitmap as RGB.
inline TRGB PixelOf(const TBitmap& bm, int x, int y) {
  const uint8_t* row = bm.ScanLine(y);
  if (bm.GetPixelFormat() == pf1bit) {
    uint8_t v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    return TRGB{v, v, v};
  }
  return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
}

// Largest channel difference between a bitmap and RGB bytes (or 1000 when
// the sizes differ).
inline int MaxDiff(const TBitmap& bm, const std::vector<uint8_t>& rgb, int w, int h) {
  if (bm.GetWidth() != w || bm.GetHeight() != h || rgb.size() < size_t(w) * h * 3) return 1000;
  int worst = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TRGB c = PixelOf(bm, x, y);
      const uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      worst = std::max({worst, std::abs(c.r - p[0]), std::abs(c.g - p[1]), std::abs(c.b - p[2])});
    }
  return worst;
}

inline int MaxDiff(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return 1000;
  int worst = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      TRGB p = PixelOf(a, x, y), q = PixelOf(b, x, y);
      worst = std::max({worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return worst;
}

// A colourful pf24bit test image with `colours` distinct colours (0 = many).
inline void MakeImage(TBitmap& bm, int w, int h, int colours = 0) {
  bm.SetSize(1, 1);
  bm.SetPixelFormat(pf24bit);
  bm.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      int k = colours ? (x / 2 + y) % colours : 0;
      row[3 * x] = uint8_t(colours ? k * 37 : x * 7 + y);
      row[3 * x + 1] = uint8_t(colours ? 255 - k * 53 : y * 5);
      row[3 * x + 2] = uint8_t(colours ? k * 91 : x * y + 3);
    }
  }
}

inline void MakeBW(TBitmap& bm, int w, int h) {
  bm.SetSize(1, 1);
  bm.SetPixelFormat(pf1bit);
  bm.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm.ScanLine(y);
    for (int i = 0; i < (w + 7) / 8; ++i) row[i] = uint8_t(0x5A ^ (y * 29) ^ i);
  }
}

// Writes the bitmap as a binary PPM for external tools.
inline void WritePPM(const TBitmap& bm, const std::string& path) {
  std::vector<uint8_t> out;
  std::string head =
      "P6\n" + std::to_string(bm.GetWidth()) + " " + std::to_string(bm.GetHeight()) + "\n255\n";
  out.assign(head.begin(), head.end());
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x) {
      TRGB c = PixelOf(bm, x, y);
      out.push_back(c.r);
      out.push_back(c.g);
      out.push_back(c.b);
    }
  WriteFile(path, out);
}

struct Progress {
  bool aborting = false;
  TProgressRec rec;
  Progress() { rec.Aborting = &aborting; }
};

}  // namespace pictavo::testutil
