// Helpers of the JPEG and PNG tests: running the independent tools, reading
// their PNM and raw outputs, and comparing with bitmaps.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace pictavo::testutil {

inline bool HaveTool(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

inline std::string TempDir() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/pictavo_jpegpng_XXXXXX";
    const char* d = mkdtemp(tmpl);
    return std::string(d ? d : "/tmp");
  }();
  return dir;
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& data) {
  std::ofstream f(name, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Output of a shell command as bytes; ok false when it exits non-zero.
inline std::vector<uint8_t> RunCapture(const std::string& cmd, bool& ok) {
  std::vector<uint8_t> out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    ok = false;
    return out;
  }
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
  ok = pclose(p) == 0;
  return out;
}

// A binary PGM (P5) or PPM (P6) of depth 255, as RGB triplets.
struct Pnm {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};

inline bool ParsePnm(const std::vector<uint8_t>& data, Pnm& out) {
  size_t pos = 0;
  auto token = [&]() {
    std::string t;
    while (pos < data.size()) {
      char c = static_cast<char>(data[pos]);
      if (c == '#') {
        while (pos < data.size() && data[pos] != '\n') ++pos;
      } else if (isspace(static_cast<unsigned char>(c))) {
        if (!t.empty()) break;
        ++pos;
      } else {
        t += c;
        ++pos;
      }
    }
    return t;
  };
  std::string magic = token();
  if (magic != "P5" && magic != "P6") return false;
  out.width = std::atoi(token().c_str());
  out.height = std::atoi(token().c_str());
  if (std::atoi(token().c_str()) != 255) return false;
  ++pos;
  const size_t n = size_t(out.width) * out.height;
  const size_t channels = magic == "P6" ? 3 : 1;
  if (data.size() < pos + n * channels) return false;
  out.rgb.resize(n * 3);
  for (size_t i = 0; i < n; ++i)
    for (size_t c = 0; c < 3; ++c)
      out.rgb[i * 3 + c] = data[pos + i * channels + (channels == 3 ? c : 0)];
  return true;
}

inline void WritePpm(const std::string& name, int w, int h, const std::vector<uint8_t>& rgb) {
  std::ofstream f(name, std::ios::binary);
  f << "P6\n" << w << " " << h << "\n255\n";
  f.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

// A smooth but detailed test picture, rgb triplets.
inline std::vector<uint8_t> TestPicture(int w, int h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = uint8_t(x * 255 / (w > 1 ? w - 1 : 1));
      p[1] = uint8_t(y * 255 / (h > 1 ? h - 1 : 1));
      p[2] = uint8_t(((x / 8 + y / 8) & 1) ? 200 : 30);
    }
  return rgb;
}

inline void FillBitmap(TBitmap& bmp, int w, int h, const std::vector<uint8_t>& rgb) {
  bmp.SetSize(1, 1);
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      row[x * 3] = p[2];
      row[x * 3 + 1] = p[1];
      row[x * 3 + 2] = p[0];
    }
  }
}

// The bitmap (pf24bit or pf1bit) as rgb triplets.
inline std::vector<uint8_t> BitmapRGB(const TBitmap& bmp) {
  const int w = bmp.GetWidth(), h = bmp.GetHeight();
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      if (bmp.GetPixelFormat() == pf1bit) {
        p[0] = p[1] = p[2] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else {
        p[0] = row[x * 3 + 2];
        p[1] = row[x * 3 + 1];
        p[2] = row[x * 3];
      }
    }
  }
  return rgb;
}

}  // namespace pictavo::testutil
