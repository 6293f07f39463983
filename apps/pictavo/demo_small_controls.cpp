// Demo section: the small controls.  The gradient bar in both directions,
// the HSV box with a picked colour, and the histogram box of a generated
// picture as bars and as lines, and ruler boxes with every grip kind; each shown by the headless
// desktop and written as a PNG file.
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "codecs/png.h"
#include "controls/gradientbar.h"
#include "controls/histogrambox.h"
#include "controls/hsvbox.h"
#include "controls/rulerbox.h"
#include "platform/desktop.h"
#include "platform/stream.h"
#include "processing/pictavoproc.h"

namespace pictavo::cli {
namespace {

void SaveSmallControlPng(TBitmap& bitmap, const std::string& path) {
  TIOParamsVals params;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  TMemoryStream stream;
  WritePNGStream(stream, bitmap, params, progress);
  if (aborted) throw std::runtime_error("PNG write failed");
  stream.SaveToFile(path);
}

std::string Shoot(DemoContext& demo, TWinControl& control, const std::string& name) {
  Desktop().AddWindow(&control);
  Desktop().ProcessMessages();
  auto image = Desktop().WindowImage(&control);
  Desktop().RemoveWindow(&control);
  SaveSmallControlPng(*image, demo.Path(name));
  return name + " " + std::to_string(image->GetWidth()) + "x" + std::to_string(image->GetHeight());
}

// A picture with a smooth red ramp, a green wave and a blue block, so the
// three channel histograms differ.
void MakePicture(TBitmap& bmp) {
  constexpr int kW = 320, kH = 200;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(kW, kH);
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < kW; ++x) {
      row[3 * x] = uint8_t(x > kW / 2 && y > kH / 2 ? 200 : 40);
      row[3 * x + 1] = uint8_t((x * y) % 256);
      row[3 * x + 2] = uint8_t(x * 255 / (kW - 1));
    }
  }
}

void Run(DemoContext& demo) {
  Desktop().Reset();
  demo.Run("small controls", "gradient bars", [&] {
    TPVGradientBar vertical;
    vertical.SetBeginColor(0x2040F0);
    vertical.SetEndColor(0xF08020);
    vertical.SetColorIndex(100);
    std::string out = Shoot(demo, vertical, "small_gradient_vertical.png");
    TPVGradientBar horizontal;
    horizontal.SetDirection(gdHorizontal);
    horizontal.SetBounds(0, 0, 300, 40);
    horizontal.SetColorIndex(200);
    return out + ", " + Shoot(demo, horizontal, "small_gradient_horizontal.png");
  });
  demo.Run("small controls", "HSV box", [&] {
    THSVBox box;
    box.SetBounds(0, 0, 200, 160);
    box.SetHue(210);
    box.SetSat(70);
    box.SetVal(80);
    return Shoot(demo, box, "small_hsvbox.png");
  });
  demo.Run("small controls", "histogram box", [&] {
    TBitmap picture;
    MakePicture(picture);
    TPictavoProc proc;
    proc.SetAttachedBitmap(&picture);
    THistogramBox bars;
    bars.SetBounds(0, 0, 320, 140);
    bars.SetAttachedPictavoProc(&proc);
    bars.SetHistogramKind({hkRed, hkGreen, hkBlue});
    std::string out = Shoot(demo, bars, "small_histogram_bars.png");
    THistogramBox lines;
    lines.SetBounds(0, 0, 320, 140);
    lines.SetAttachedPictavoProc(&proc);
    lines.SetHistogramStyle(hsLines);
    lines.SetHistogramKind({hkRed, hkGreen, hkBlue, hkGray});
    return out + ", " + Shoot(demo, lines, "small_histogram_lines.png");
  });
  demo.Run("small controls", "ruler boxes", [&] {
    TRulerBox horizontal;
    horizontal.SetBounds(0, 0, 400, 44);
    horizontal.SetViewPos(-15);
    horizontal.SetGripsCount(5);
    const TGripKind kinds[] = {gkTriangle, gkLeftTriangle, gkRightTriangle, gkArrow, gkArrow2};
    const TColor colours[] = {0x0000FF, 0x00A000, 0xFF0000, 0x00C0C0, 0xC000C0};
    for (int i = 0; i < 5; ++i) {
      horizontal.SetGripsKind(i, kinds[i]);
      horizontal.SetGripsCol(i, colours[i]);
      horizontal.SetGripsPos(i, 20 + 70 * i);
    }
    std::string out = Shoot(demo, horizontal, "small_ruler_horizontal.png");
    TRulerBox vertical;
    vertical.SetRulerDir(rdVertical);
    vertical.SetGripsDir(gdDown);
    vertical.SetHexLabels(true);
    vertical.SetBounds(0, 0, 44, 300);
    vertical.SetGripsPos(0, 128);
    return out + ", " + Shoot(demo, vertical, "small_ruler_vertical_hex.png");
  });
  Desktop().Reset();
}

}  // namespace

PICTAVO_DEMO(125, "small controls", Run);

}  // namespace pictavo::cli
