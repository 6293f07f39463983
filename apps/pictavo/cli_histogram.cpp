// `pictavo histogram IN [--png OUT]`: prints the red, green, blue and grey
// counts of every level and, with --png, draws the four histograms one
// above the other as bar charts.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/load_image.h"
#include "apps/pictavo/registry.h"
#include "io/pictavoio.h"
#include "io/registry.h"
#include "platform/canvas.h"
#include "platform/stream.h"
#include "processing/histogram.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {
namespace {

constexpr int kBarWidth = 2;
constexpr int kPanelHeight = 120;
constexpr int kMargin = 8;
constexpr int kPanels = 4;

bool LoadImage(const std::string& path, TBitmap& bitmap) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  const auto failure = LoadImageFile(io, path);
  if (failure) std::fprintf(stderr, "cannot read %s: %s\n", path.c_str(), failure->c_str());
  return !failure;
}

uint32_t Count(const THistogramItem& item, int panel) {
  return panel == 0 ? item.R : panel == 1 ? item.G : panel == 2 ? item.B : item.Gray;
}

// Four panels (red, green, blue, grey) of 256 bars, each scaled to its own
// largest count, on a light background.
void DrawHistograms(const THistogramItem* h, TBitmap& picture) {
  const int width = 2 * kMargin + kBarWidth * kHistogramLevels;
  const int height = kMargin + kPanels * (kPanelHeight + kMargin);
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(width, height);
  TCanvas& canvas = picture.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(RGB(245, 245, 240));
  canvas.FillRect(TRect(0, 0, width, height));
  const TColor bars[kPanels] = {RGB(200, 40, 40), RGB(40, 160, 40), RGB(40, 70, 210),
                                RGB(90, 90, 90)};
  for (int panel = 0; panel < kPanels; ++panel) {
    const int top = kMargin + panel * (kPanelHeight + kMargin);
    const int bottom = top + kPanelHeight;
    canvas.Brush().SetColor(RGB(225, 225, 220));
    canvas.FillRect(TRect(kMargin, top, width - kMargin, bottom));
    uint32_t largest = 1;
    for (int v = 0; v < kHistogramLevels; ++v) largest = std::max(largest, Count(h[v], panel));
    canvas.Brush().SetColor(bars[panel]);
    for (int v = 0; v < kHistogramLevels; ++v) {
      const int bar = int(uint64_t(Count(h[v], panel)) * kPanelHeight / largest);
      if (bar == 0) continue;
      const int left = kMargin + kBarWidth * v;
      canvas.FillRect(TRect(left, bottom - bar, left + kBarWidth, bottom));
    }
  }
}

int RunHistogram(const std::vector<std::string>& args) {
  const bool png = args.size() == 3 && args[1] == "--png";
  if (args.size() != 1 && !png) {
    std::fprintf(stderr, "usage: pictavo histogram IN [--png OUT]\n");
    return 2;
  }
  TBitmap bitmap;
  if (!LoadImage(args[0], bitmap)) return 1;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&bitmap);
  proc.SetAutoUndo(false);
  if (bitmap.GetPixelFormat() != pf24bit) proc.ConvertTo24Bit();
  std::vector<THistogramItem> h(kHistogramLevels);
  proc.GetHistogram(h.data());
  std::printf("%s: %d x %d pixels\nlevel        red      green       blue       grey\n",
              args[0].c_str(), bitmap.GetWidth(), bitmap.GetHeight());
  for (int v = 0; v < kHistogramLevels; ++v)
    std::printf("%5d %10u %10u %10u %10u\n", v, h[v].R, h[v].G, h[v].B, h[v].Gray);
  if (!png) return 0;
  TBitmap picture;
  DrawHistograms(h.data(), picture);
  TPictavoIO io;
  io.SetAttachedBitmap(&picture);
  try {
    io.SaveToFile(args[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot write %s: %s\n", args[2].c_str(), e.what());
    return 1;
  }
  if (io.Aborting) {
    std::fprintf(stderr, "cannot write %s\n", args[2].c_str());
    return 1;
  }
  std::printf("histograms drawn in %s (%d x %d)\n", args[2].c_str(), picture.GetWidth(),
              picture.GetHeight());
  return 0;
}

}  // namespace

PICTAVO_COMMAND("histogram", "histogram IN [--png OUT]  red, green, blue and grey counts per level",
                RunHistogram);

}  // namespace pictavo::cli
