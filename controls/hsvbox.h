// THSVBox: a saturation/value square beside a vertical hue bar.  Clicking
// or dragging in either picks a colour; the control keeps the colour as
// hue/saturation/value and as red/green/blue.
#pragma once

#include <cstdint>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/control.h"

namespace pictavo {

class THSVBox : public TCustomControl {
 public:
  static constexpr int kHueBarWidth = 20;
  static constexpr int kGap = 5;

  explicit THSVBox(TComponent* owner = nullptr);

  int GetHue() const { return hue_; }
  int GetSat() const { return sat_; }
  int GetVal() const { return val_; }
  void SetHue(int h);
  void SetSat(int s);
  void SetVal(int v);
  uint8_t GetRed() const { return rgb_.r; }
  uint8_t GetGreen() const { return rgb_.g; }
  uint8_t GetBlue() const { return rgb_.b; }
  void SetRGB(int r, int g, int b);
  // The picked colour (the control's Color).
  void SetColor(TColor c) override;
  TColor GetBackground() const { return background_; }
  void SetBackground(TColor c);

  int SquareWidth() const { return GetClientWidth() - kHueBarWidth - kGap; }
  const TBitmap& Image() const { return bitmap_; }

  TNotifyEvent OnChange;

  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  enum class Drag : uint8_t { None, Square, HueBar };

  void RedrawAll();
  void DrawSquare();
  void DrawHueBar();
  // Inverts the two marker outlines: a second call erases them.
  void ToggleMarkers();
  void ColourFromHSV();
  void HSVFromColour();
  void SetComponent(int& field, int value, int max);
  void ApplyPoint(int x, int y);

  int hue_ = 0, sat_ = 0, val_ = 0;
  TRGB rgb_;
  TColor background_ = clBtnFace;
  Drag drag_ = Drag::None;
  TBitmap bitmap_;
};

}  // namespace pictavo
