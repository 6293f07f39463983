#include "controls/hsvbox.h"

#include <algorithm>
#include <cmath>

#include "core/conversions.h"
#include "processing/colour_spaces.h"

namespace pictavo {

namespace {
constexpr int kDefaultSize = 105;
constexpr int kMaxHue = 359;
constexpr int kMaxSV = 99;
constexpr int kHueSteps = 360;

int RoundInt(double v) {
  return int(std::nearbyint(v));
}

void PutPixel(uint8_t* row, int x, const TRGB& c) {
  row[3 * x] = c.b;
  row[3 * x + 1] = c.g;
  row[3 * x + 2] = c.r;
}
}  // namespace

THSVBox::THSVBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle().Include(csOpaque));
  bitmap_.SetPixelFormat(pf24bit);
  SetBounds(0, 0, kDefaultSize, kDefaultSize);
  color_ = clBlack;
  RedrawAll();
}

void THSVBox::Resize() {
  TCustomControl::Resize();
  RedrawAll();
}

void THSVBox::RedrawAll() {
  bitmap_.SetSize(GetClientWidth(), GetClientHeight());
  DrawSquare();
  DrawHueBar();
  ToggleMarkers();
  Invalidate();
}

void THSVBox::DrawSquare() {
  int h = bitmap_.GetHeight(), sw = std::min(SquareWidth(), bitmap_.GetWidth());
  if (h <= 0 || sw <= 0) return;
  // The two scale factors are single precision, as the square always used.
  float vf = 100.0f / float(h), sf = 100.0f / float(SquareWidth());
  for (int d = 0; d < h; ++d) {
    uint8_t* row = bitmap_.ScanLine(h - 1 - d);
    int value = int(std::trunc(float(d) * vf));
    for (int g = 0; g < sw; ++g) {
      TRGB c;
      HSV2RGB(c, hue_, int(std::trunc(float(g) * sf)), value);
      PutPixel(row, g, c);
    }
  }
}

void THSVBox::DrawHueBar() {
  int w = bitmap_.GetWidth(), h = bitmap_.GetHeight();
  if (h <= 0) return;
  TRGB bg = TColor2TRGB(ColorToRGB(background_));
  int gap0 = std::max(0, SquareWidth()), bar0 = std::max(0, w - kHueBarWidth);
  for (int d = 0; d < h; ++d) {
    uint8_t* row = bitmap_.ScanLine(h - 1 - d);
    for (int x = gap0; x < std::min(bar0, gap0 + kGap); ++x) PutPixel(row, x, bg);
    TRGB c;
    HSV2RGB(c, d * kHueSteps / h, kMaxSV, kMaxSV);
    for (int x = bar0; x < w; ++x) PutPixel(row, x, c);
  }
}

void THSVBox::ToggleMarkers() {
  int w = bitmap_.GetWidth(), h = bitmap_.GetHeight();
  if (w <= 0 || h <= 0) return;
  TCanvas& c = bitmap_.Canvas();
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Pen().SetMode(pmNot);
  c.Brush().SetStyle(bsClear);
  int y = RoundInt((h - 1) * double(kMaxHue - hue_) / kHueSteps);
  c.Rectangle(w - kHueBarWidth, y - 2, w, y + 2);
  int x = RoundInt(sat_ / double(kMaxSV) * (SquareWidth() - 1));
  int v = RoundInt((h - 1) * double(val_) / kMaxSV);
  c.Rectangle(x - 3, h - v - 4, x + 3, h - v + 2);
  c.Pen().SetMode(pmCopy);
  c.Brush().SetStyle(bsSolid);
}

void THSVBox::ColourFromHSV() {
  HSV2RGB(rgb_, hue_, sat_, val_);
  color_ = TRGB2TColor(rgb_);
}

void THSVBox::HSVFromColour() {
  RGB2HSV(rgb_, hue_, sat_, val_);
}

void THSVBox::SetComponent(int& field, int value, int max) {
  bool hueChanged = &field == &hue_ && std::clamp(value, 0, max) != hue_;
  ToggleMarkers();
  field = std::clamp(value, 0, max);
  ColourFromHSV();
  if (hueChanged) DrawSquare();
  ToggleMarkers();
  Invalidate();
}

void THSVBox::SetHue(int h) {
  SetComponent(hue_, h, kMaxHue);
}
void THSVBox::SetSat(int s) {
  SetComponent(sat_, s, kMaxSV);
}
void THSVBox::SetVal(int v) {
  SetComponent(val_, v, kMaxSV);
}

void THSVBox::SetRGB(int r, int g, int b) {
  rgb_ = CreateRGB(uint8_t(std::clamp(r, 0, 255)), uint8_t(std::clamp(g, 0, 255)),
                   uint8_t(std::clamp(b, 0, 255)));
  HSVFromColour();
  color_ = TRGB2TColor(rgb_);
  RedrawAll();
}

void THSVBox::SetColor(TColor c) {
  rgb_ = TColor2TRGB(ColorToRGB(c));
  HSVFromColour();
  color_ = c;
  RedrawAll();
}

void THSVBox::SetBackground(TColor c) {
  background_ = c;
  RedrawAll();
}

void THSVBox::Paint() {
  GetCanvas().Draw(0, 0, bitmap_);
  if (OnPaint) OnPaint(this);
}

void THSVBox::ApplyPoint(int x, int y) {
  int h = GetClientHeight(), sw = SquareWidth();
  ToggleMarkers();
  double fy = h > 1 ? double(y) / (h - 1) : 0.0;
  if (drag_ == Drag::Square) {
    sat_ = sw > 1 ? RoundInt(double(x) / (sw - 1) * kMaxSV) : 0;
    val_ = kMaxSV - RoundInt(fy * kMaxSV);
  } else {
    hue_ = kMaxHue - RoundInt(fy * kMaxHue);
    DrawSquare();
  }
  ColourFromHSV();
  if (OnChange) OnChange(this);
  ToggleMarkers();
  Invalidate();
}

void THSVBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  if (X < SquareWidth())
    drag_ = Drag::Square;
  else if (X >= GetClientWidth() - kHueBarWidth)
    drag_ = Drag::HueBar;
  else
    drag_ = Drag::None;
  if (drag_ != Drag::None) ApplyPoint(X, Y);
}

void THSVBox::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (drag_ == Drag::None || !Shift.Contains(ssLeft)) return;
  int y = std::clamp(Y, 0, std::max(0, GetClientHeight() - 1));
  int x = std::max(X, 0);
  if (drag_ == Drag::Square)
    x = std::min(x, std::max(0, SquareWidth() - 1));
  else
    x = std::clamp(x, std::max(0, GetClientWidth() - kHueBarWidth),
                   std::max(0, GetClientWidth() - 1));
  ApplyPoint(x, y);
}

void THSVBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) drag_ = Drag::None;
}

}  // namespace pictavo
