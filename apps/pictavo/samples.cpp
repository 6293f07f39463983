#include "apps/pictavo/samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/conversions.h"
#include "core/streamreader.h"

namespace pictavo::cli {

std::unique_ptr<TBitmap> MakeSamplePhoto(int width, int height) {
  auto bmp = std::make_unique<TBitmap>(width, height, pf24bit);
  uint32_t noise = 12345;
  const double sunX = width * 0.72, sunY = height * 0.25, sunR = std::min(width, height) * 0.09;
  for (int y = 0; y < height; ++y) {
    TRGB* row = reinterpret_cast<TRGB*>(bmp->ScanLine(y));
    double fy = double(y) / height;
    for (int x = 0; x < width; ++x) {
      double fx = double(x) / width;
      double hill = 0.62 + 0.08 * std::sin(fx * 9.0) + 0.05 * std::sin(fx * 23.0 + 1.3);
      int r, g, b;
      if (fy < hill) {  // sky with a sun
        r = int(90 + 120 * fy);
        g = int(140 + 90 * fy);
        b = int(235 - 40 * fy);
        double d = std::hypot(x - sunX, y - sunY);
        if (d < sunR) {
          r = 255, g = 236, b = 150;
        } else if (d < sunR * 2) {
          double t = 1 - (d - sunR) / sunR;
          r = int(r + (255 - r) * t * 0.6);
          g = int(g + (230 - g) * t * 0.5);
        }
      } else {  // grass, darker towards the bottom
        double t = (fy - hill) / (1 - hill + 1e-9);
        r = int(60 - 30 * t + 20 * std::sin(fx * 80));
        g = int(150 - 60 * t);
        b = int(50 - 20 * t);
      }
      // A house: wall and roof.
      if (fx > 0.2 && fx < 0.38 && fy > 0.5 && fy < 0.75) r = 190, g = 90, b = 60;
      if (fy > 0.38 && fy <= 0.5 && std::abs(fx - 0.29) < (fy - 0.38) * 0.9) r = 110, g = 40, b = 40;
      noise = noise * 1103515245u + 12345u;
      int grain = int((noise >> 16) % 13) - 6;
      row[x] = TRGB{uint8_t(std::clamp(b + grain, 0, 255)), uint8_t(std::clamp(g + grain, 0, 255)),
                    uint8_t(std::clamp(r + grain, 0, 255))};
    }
  }
  return bmp;
}

std::unique_ptr<TBitmap> MakeSamplePage(int width, int height) {
  auto bmp = std::make_unique<TBitmap>(width, height, pf1bit);
  for (int y = 0; y < height; ++y) std::memset(bmp->ScanLine(y), 0xFF, size_t((width + 7) / 8));
  uint32_t seed = 777;
  const int margin = width / 10, lineHeight = 18;
  for (int top = height / 12; top + 12 < height - height / 12; top += lineHeight) {
    int x = margin;
    while (x < width - margin) {
      seed = seed * 1664525u + 1013904223u;
      int word = 12 + int((seed >> 20) % 60);
      int end = std::min(x + word, width - margin);
      for (int y = top; y < top + 11; ++y) {
        uint8_t* row = bmp->ScanLine(y);
        for (int px = x; px < end; ++px) row[px >> 3] &= uint8_t(~(0x80 >> (px & 7)));
      }
      x = end + 8;
    }
  }
  return bmp;
}

std::vector<uint8_t> MakeYUVFrameDIB(uint32_t fourcc, int width, int height) {
  size_t frame = PVYUVFrameSize(fourcc, width, height);
  std::vector<uint8_t> dib(40 + frame);
  PutU32LE(&dib[0], 40);
  PutU32LE(&dib[4], uint32_t(width));
  PutU32LE(&dib[8], uint32_t(height));
  PutU16LE(&dib[12], 1);
  PutU16LE(&dib[14], 16);
  PutU32LE(&dib[16], fourcc);
  PutU32LE(&dib[20], uint32_t(frame));
  for (size_t i = 0; i < frame; ++i) dib[40 + i] = uint8_t(16 + (i * 7 + i / 97) % 220);
  return dib;
}

uint32_t BitmapChecksum(const TBitmap& bitmap) {
  uint32_t h = 2166136261u;
  int bits = bitmap.GetPixelFormat() == pf1bit ? 1 : StorageBitCount(bitmap.GetPixelFormat());
  size_t visible = (size_t(bitmap.GetWidth()) * bits + 7) / 8;
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (size_t i = 0; i < visible; ++i) h = (h ^ row[i]) * 16777619u;
  }
  return h;
}

}  // namespace pictavo::cli
