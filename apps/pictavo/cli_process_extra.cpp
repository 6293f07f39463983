// Operations of `pictavo process` for the filter, morphology, histogram,
// effect and frequency-domain units.
#include <string>
#include <vector>

#include "apps/pictavo/load_image.h"
#include "apps/pictavo/process_ops.h"
#include "io/pictavoio.h"
#include "io/registry.h"
#include "platform/stream.h"
#include "processing/effects.h"
#include "processing/fft.h"
#include "processing/filters.h"
#include "processing/histogram.h"

namespace pictavo::cli {
namespace {

constexpr int kMaxWindow = 10000;
constexpr int kMaxCoordinate = 1 << 24;

const std::vector<std::string> kPresetNames = {"none",      "blur",      "edge",
                                               "emboss",    "highpass1", "highpass2",
                                               "highpass3", "lowpass1",  "lowpass2"};

// A preset by name, otherwise a filter file.
TGraphFilter FilterArgument(const ProcessArgs& a) {
  const std::string& name = a.Text(0);
  for (size_t i = 0; i < kPresetNames.size(); ++i)
    if (kPresetNames[i] == name) return PVFiltPres[i];
  try {
    return LoadFilterFromFile(name);
  } catch (const std::exception&) {
    a.Fail("\"" + name + "\" is neither a preset (none, blur, edge, emboss, highpass1..3, " +
           "lowpass1, lowpass2) nor a readable filter file");
  }
}

// Loads another image for merge=.
void LoadOther(const ProcessArgs& a, const std::string& path, TBitmap& other) {
  TPictavoIO io;
  io.SetAttachedBitmap(&other);
  const auto failure = LoadImageFile(io, path);
  if (!failure) return;
  if (*failure == kNotAnImage) a.Fail("cannot read \"" + path + "\" as an image");
  a.Fail("cannot read \"" + path + "\": " + *failure);
}

// The operations here work on 24-bit pixels: a black-and-white image is
// expanded first instead of being left unchanged.
void Ensure24(ProcessContext& c) {
  if (c.bitmap.GetPixelFormat() == pf1bit) c.proc.ConvertTo24Bit();
}

// The transform of the working bitmap, or a clear failure.
std::unique_ptr<TPVFtImage> Transform(ProcessContext& c, const ProcessArgs& a) {
  Ensure24(c);
  auto ft = c.proc.FTCreateImage(pvitRGB, -1, -1);
  if (!ft) a.Fail("the image is too large for the transform (side above 8192 pixels)");
  return ft;
}

void Morph(ProcessContext& c, const ProcessArgs& a, void (TPictavoProc::*op)(int)) {
  a.ExpectCount(1, 1);
  const int n = a.Int(0, 0, kMaxWindow);
  Ensure24(c);
  (c.proc.*op)(n);
}

}  // namespace

PICTAVO_PROCESS_OP("filter", "preset|FILE",
                   "3x3 convolution: none, blur, edge, emboss, highpass1..3, lowpass1, lowpass2, "
                   "or a 43-byte filter file",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(1, 1);
                     const TGraphFilter filter = FilterArgument(a);
                     Ensure24(c);
                     c.proc.ApplyFilter(filter);
                   });

PICTAVO_PROCESS_OP("max", "n", "each pixel takes the brightest colour of its (2n+1)^2 window",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     Morph(c, a, &TPictavoProc::Maximum);
                   });
PICTAVO_PROCESS_OP("min", "n", "each pixel takes the darkest colour of its (2n+1)^2 window",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     Morph(c, a, &TPictavoProc::Minimum);
                   });
PICTAVO_PROCESS_OP("open", "n", "minimum then maximum: removes bright specks",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     Morph(c, a, &TPictavoProc::Opening);
                   });
PICTAVO_PROCESS_OP("close", "n", "maximum then minimum: removes dark specks",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     Morph(c, a, &TPictavoProc::Closing);
                   });

PICTAVO_PROCESS_OP("equalize", "lr,lg,lb,hr,hg,hb",
                   "stretch low..255 to 0..255, then 0..high to 0..255, per channel",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(6, 6);
                     TRGB low, high;
                     low.r = uint8_t(a.Int(0, 0, 255)), low.g = uint8_t(a.Int(1, 0, 255));
                     low.b = uint8_t(a.Int(2, 0, 255));
                     high.r = uint8_t(a.Int(3, 0, 255)), high.g = uint8_t(a.Int(4, 0, 255));
                     high.b = uint8_t(a.Int(5, 0, 255));
                     Ensure24(c);
                     c.proc.HistEqualize(low, high);
                   });

PICTAVO_PROCESS_OP("autoequalize", "", "spread the grey levels evenly, smoothing with the 3x3 mean",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     Ensure24(c);
                     c.proc.HistAutoEqualize();
                   });

PICTAVO_PROCESS_OP("wave", "amplitude,wavelength,phase[,reflect]",
                   "circular wave from the centre (phase in degrees; reflect 1 folds it)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(3, 4);
                     const bool reflect = a.Count() == 4 && a.Int(3, 0, 1) == 1;
                     const int amplitude = a.Int(0, -10000, 10000);
                     const int wavelength = a.Int(1, -10000, 10000);
                     const int phase = a.Int(2, -36000, 36000);
                     Ensure24(c);
                     c.proc.Wave(amplitude, wavelength, phase, reflect);
                   });

PICTAVO_PROCESS_OP("lens", "x,y,width,height,refraction",
                   "elliptical lens centred at x,y; refraction 1 (none) and above",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(5, 5);
                     a.Double(4, 0, 1000);
                     Ensure24(c);
                     c.proc.Lens(a.Int(0, -kMaxCoordinate, kMaxCoordinate),
                                 a.Int(1, -kMaxCoordinate, kMaxCoordinate),
                                 a.Int(2, 0, kMaxCoordinate), a.Int(3, 0, kMaxCoordinate),
                                 a.Double(4, 0, 1000));
                   });

PICTAVO_PROCESS_OP(
    "bump", "x,y,width,height,mixing,colour",
    "relief lit by a spot at x,y of the given radii; mixing = percent of the image kept",
    [](ProcessContext& c, const ProcessArgs& a) {
      a.ExpectCount(6, 6);
      a.Colour(5);
      Ensure24(c);
      c.proc.BumpMapping(a.Int(0, -kMaxCoordinate, kMaxCoordinate),
                         a.Int(1, -kMaxCoordinate, kMaxCoordinate),
                         a.Int(2, -kMaxCoordinate, kMaxCoordinate),
                         a.Int(3, -kMaxCoordinate, kMaxCoordinate), a.Int(4, 0, 100), a.Colour(5));
    });

PICTAVO_PROCESS_OP("merge", "FILE,percent",
                   "blend FILE (stretched to the selection) keeping percent of the image",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(2, 2);
                     const int percent = a.Int(1, 0, 100);
                     TBitmap other;
                     LoadOther(a, a.Text(0), other);
                     Ensure24(c);
                     c.proc.Merge(other, percent);
                   });

PICTAVO_PROCESS_OP(
    "lowpass", "r",
    "keep the frequencies within radius r of the centred spectrum (contrast-stretched)",
    [](ProcessContext& c, const ProcessArgs& a) {
      a.ExpectCount(1, 1);
      const int r = a.Int(0, 0, 1 << 15);
      auto ft = Transform(c, a);
      ft->LoPass(r);
      c.proc.FTConvertFrom(*ft);
    });

PICTAVO_PROCESS_OP(
    "highpass", "r",
    "remove the frequencies within radius r of the centred spectrum (contrast-stretched)",
    [](ProcessContext& c, const ProcessArgs& a) {
      a.ExpectCount(1, 1);
      const int r = a.Int(0, 0, 1 << 15);
      auto ft = Transform(c, a);
      ft->HiPass(r);
      c.proc.FTConvertFrom(*ft);
    });

PICTAVO_PROCESS_OP("spectrum", "", "replace the image by its log-magnitude spectrum (N x N)",
                   [](ProcessContext& c, const ProcessArgs& a) {
                     a.ExpectCount(0, 0);
                     auto ft = Transform(c, a);
                     c.proc.FTDisplayFrom(*ft);
                   });

}  // namespace pictavo::cli
