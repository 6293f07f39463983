// Demo section of the selection mask: a polygon selection of two parts on a
// 24-bit gradient, inverted on the canvas and copied out through the mask.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "core/mask.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo::cli {
namespace {

uint32_t Fnv1a(uint32_t h, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

uint32_t Checksum(const TBitmap& b) {
  uint32_t h = 2166136261u;
  size_t bytes = size_t(b.GetWidth()) * 3;
  for (int y = 0; y < b.GetHeight(); ++y) h = Fnv1a(h, b.ScanLine(y), bytes);
  return h;
}

std::string Hex(uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "%08x", v);
  return s;
}

void RunMaskDemo(DemoContext& demo) {
  const int w = 640, h = 480;
  TBitmap sample(w, h, pf24bit);
  TPVMask mask;
  demo.Run("mask", "24-bit gradient sample 640x480", [&] {
    for (int y = 0; y < h; ++y) {
      uint8_t* r = sample.ScanLine(y);
      for (int x = 0; x < w; ++x) {
        r[3 * x] = uint8_t(x * 255 / (w - 1));
        r[3 * x + 1] = uint8_t(y * 255 / (h - 1));
        r[3 * x + 2] = uint8_t((x + y) / 5);
      }
    }
    return "checksum " + Hex(Checksum(sample));
  });
  demo.Run("mask", "DrawPolygon: pentagon + overlapping box", [&] {
    mask.AllocateBits(w, h, 1);
    const TPoint brk{kPVPolygonBreak, kPVPolygonBreak};
    std::vector<TPoint> poly = {{320, 40}, {520, 190}, {440, 420}, {200, 420}, {120, 190},
                                brk,       {60, 300},  {260, 300}, {260, 460}, {60, 460}};
    mask.DrawPolygon(1, poly.data(), int(poly.size()));
    int64_t count = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) count += mask.IsPointInside(x, y);
    if (count == 0) throw std::runtime_error("empty selection");
    return std::to_string(count) + " pixels selected, box (" + std::to_string(mask.X1) + "," +
           std::to_string(mask.Y1) + ")-(" + std::to_string(mask.X2) + "," +
           std::to_string(mask.Y2) + ")";
  });
  demo.Run("mask", "InvertCanvas (StretchDIBits SRCINVERT)", [&] {
    TBitmap before(w, h, pf24bit);
    before.Assign(sample);
    mask.InvertCanvas(sample.Canvas(), 0, 0, w, h, 0, 0, w, h);
    int64_t inverted = 0, wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool inv = sample.GetPixel(x, y) == (before.GetPixel(x, y) ^ 0xFFFFFF);
        bool same = sample.GetPixel(x, y) == before.GetPixel(x, y);
        inverted += inv;
        if (mask.IsPointInside(x, y) ? !inv : !same) ++wrong;
      }
    if (wrong) throw std::runtime_error(std::to_string(wrong) + " pixels wrong");
    return std::to_string(inverted) + " pixels inverted, checksum " + Hex(Checksum(sample));
  });
  demo.Run("mask", "CopyBitmap to the selection box", [&] {
    TBitmap box(mask.X2 - mask.X1 + 1, mask.Y2 - mask.Y1 + 1, pf24bit);
    mask.CopyBitmap(box, sample, true);
    return std::to_string(box.GetWidth()) + "x" + std::to_string(box.GetHeight()) + ", checksum " +
           Hex(Checksum(box));
  });
}

PICTAVO_DEMO(30, "selection mask", RunMaskDemo);

}  // namespace
}  // namespace pictavo::cli
