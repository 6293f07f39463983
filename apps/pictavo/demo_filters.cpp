// Demo section: convolution presets, morphology, equalisation, the four
// effects, a spectrum and a low-pass round trip on the sample photograph,
// and text hidden in a PNG file and read back.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "apps/pictavo/samples.h"
#include "io/pictavoio.h"
#include "platform/exceptions.h"
#include "processing/effects.h"
#include "processing/fft.h"
#include "processing/filters.h"
#include "processing/histogram.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {
namespace {

constexpr int kW = 640, kH = 480;

void SavePng(TBitmap& bitmap, const std::string& path) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  io.SaveToFile(path);
  if (io.Aborting) throw Exception("cannot write " + path);
}

bool LoadPng(TBitmap& bitmap, const std::string& path) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  io.LoadFromFile(path);
  return !io.Aborting && !bitmap.Empty();
}

// Pixels that differ from the original, as a figure for the table.
std::string Changed(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
    return std::to_string(a.GetWidth()) + "x" + std::to_string(a.GetHeight());
  int64_t changed = 0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    const uint8_t* p = a.ScanLine(y);
    const uint8_t* q = b.ScanLine(y);
    for (int x = 0; x < a.GetWidth(); ++x)
      changed +=
          p[3 * x] != q[3 * x] || p[3 * x + 1] != q[3 * x + 1] || p[3 * x + 2] != q[3 * x + 2];
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f%% pixels changed",
                100.0 * changed / (int64_t(a.GetWidth()) * a.GetHeight()));
  return buf;
}

struct Step {
  const char* name;
  const char* file;
  std::function<void(TPictavoProc&)> run;
};

std::vector<Step> Steps() {
  const TPoint star[] = {{320, 110}, {360, 220}, {470, 220}, {380, 290}, {420, 400},
                         {320, 330}, {220, 400}, {260, 290}, {170, 220}, {280, 220}};
  std::vector<TPoint> polygon(std::begin(star), std::end(star));
  return {
      {"filter blur", "filt_blur.png", [](TPictavoProc& p) { p.ApplyFilterPreset(fpBlur); }},
      {"filter edge", "filt_edge.png", [](TPictavoProc& p) { p.ApplyFilterPreset(fpEdge); }},
      {"filter emboss", "filt_emboss.png", [](TPictavoProc& p) { p.ApplyFilterPreset(fpEmboss); }},
      {"filter highpass2", "filt_highpass2.png",
       [](TPictavoProc& p) { p.ApplyFilterPreset(fpHighPass2); }},
      {"filter lowpass2 (rect)", "filt_lowpass2_rect.png",
       [](TPictavoProc& p) {
         p.Select(80, 60, 400, 300);
         for (int i = 0; i < 4; ++i) p.ApplyFilterPreset(LowPass2);
       }},
      {"maximum 3", "morph_max3.png", [](TPictavoProc& p) { p.Maximum(3); }},
      {"minimum 3", "morph_min3.png", [](TPictavoProc& p) { p.Minimum(3); }},
      {"opening 2", "morph_open2.png", [](TPictavoProc& p) { p.Opening(2); }},
      {"closing 2 (star)", "morph_close2_star.png",
       [polygon](TPictavoProc& p) {
         p.SelectPolygon(polygon.data(), int(polygon.size()));
         p.Closing(6);
       }},
      {"equalize 60..200", "hist_equalize.png",
       [](TPictavoProc& p) {
         TRGB low, high;
         low.r = low.g = low.b = 60;
         high.r = high.g = high.b = 200;
         p.HistEqualize(low, high);
       }},
      {"auto equalize", "hist_autoequalize.png", [](TPictavoProc& p) { p.HistAutoEqualize(); }},
      {"wave", "fx_wave.png", [](TPictavoProc& p) { p.Wave(6, 18, 0, false); }},
      {"wave reflective", "fx_wave_reflect.png", [](TPictavoProc& p) { p.Wave(1, 60, 90, true); }},
      {"lens", "fx_lens.png", [](TPictavoProc& p) { p.Lens(330, 250, 260, 200, 1.8); }},
      {"bump mapping", "fx_bump.png",
       [](TPictavoProc& p) {
         TRGB warm;
         warm.r = 255, warm.g = 220, warm.b = 160;
         p.BumpMapping(250, 180, 420, 420, 35, warm);
       }},
      {"merge 60% (star)", "fx_merge_star.png",
       [polygon](TPictavoProc& p) {
         auto other = MakeSamplePhoto(160, 120);
         p.SelectPolygon(polygon.data(), int(polygon.size()));
         p.Merge(*other, 60);
       }},
  };
}

void RunFiltersDemo(DemoContext& demo) {
  auto photo = MakeSamplePhoto(kW, kH);
  for (const Step& step : Steps()) {
    demo.Run("filters", step.name, [&] {
      TBitmap bm;
      bm.Assign(*photo);
      TPictavoProc proc;
      proc.SetAttachedBitmap(&bm);
      step.run(proc);
      SavePng(bm, demo.Path(step.file));
      return std::string(step.file) + ", " + Changed(bm, *photo);
    });
  }

  demo.Run("filters", "histogram", [&] {
    TPictavoProc proc;
    TBitmap bm;
    bm.Assign(*photo);
    proc.SetAttachedBitmap(&bm);
    std::vector<THistogramItem> h(kHistogramLevels);
    proc.GetHistogram(h.data());
    int peak = 0;
    for (int v = 1; v < kHistogramLevels; ++v)
      if (h[v].Gray > h[peak].Gray) peak = v;
    return "grey peak at level " + std::to_string(peak) + " (" + std::to_string(h[peak].Gray) +
           " pixels)";
  });

  demo.Run("filters", "spectrum and low-pass round trip", [&] {
    TBitmap bm;
    bm.Assign(*photo);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&bm);
    auto ft = proc.FTCreateImage(pvitRGB, -1, -1);
    if (!ft) throw Exception("transform refused");
    TBitmap spectrum;
    ft->GetFTImage(spectrum);
    SavePng(spectrum, demo.Path("fft_spectrum.png"));
    ft->LoPass(40);
    TBitmap cut;
    ft->GetFTImage(cut);
    SavePng(cut, demo.Path("fft_spectrum_lowpass40.png"));
    proc.FTConvertFrom(*ft);
    SavePng(bm, demo.Path("fft_lowpass40.png"));
    return "N = " + std::to_string(ft->GetN()) + ", fft_spectrum.png, fft_lowpass40.png";
  });

  demo.Run("filters", "hidden text in a PNG", [&] {
    TBitmap bm;
    bm.Assign(*photo);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&bm);
    const std::string text = "Pictavo keeps this sentence in the lowest bits of the photograph.";
    proc.WriteHiddenText(text);
    SavePng(bm, demo.Path("hidden_text.png"));
    TBitmap back;
    if (!LoadPng(back, demo.Path("hidden_text.png")))
      throw Exception("cannot read hidden_text.png back");
    TPictavoProc reader;
    reader.SetAttachedBitmap(&back);
    const std::string found = reader.ReadHiddenText();
    if (found != text) throw Exception("hidden text did not survive the PNG round trip");
    return std::to_string(text.size()) + " of " + std::to_string(reader.GetHiddenDataSpace()) +
           " bytes read back intact";
  });
}

}  // namespace

PICTAVO_DEMO(110, "processing: filters, histograms, effects, hidden data, spectrum",
             RunFiltersDemo);

}  // namespace pictavo::cli
