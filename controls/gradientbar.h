// TPVGradientBar: a 256-step colour ramp between two colours with a
// draggable marker that selects one entry of the ramp.
#pragma once

#include <array>
#include <cstdint>

#include "core/pvdefs.h"
#include "platform/control.h"

namespace pictavo {

enum TPVGradientDir : uint8_t { gdHorizontal, gdVertical };
enum TPVMouseInteractItemsGr : uint8_t { migDragGrip };
using TPVMouseInteractGr = TSet<TPVMouseInteractItemsGr>;

class TPVGradientBar : public TCustomControl {
 public:
  static constexpr int kEntries = 256;

  explicit TPVGradientBar(TComponent* owner = nullptr);

  TColor GetBeginColor() const { return begin_; }
  void SetBeginColor(TColor c);
  TColor GetEndColor() const { return end_; }
  void SetEndColor(TColor c);
  TPVGradientDir GetDirection() const { return direction_; }
  void SetDirection(TPVGradientDir d);
  TPVMouseInteractGr GetMouseInteractGr() const { return interact_; }
  void SetMouseInteractGr(TPVMouseInteractGr m) { interact_ = m; }
  int GetColorIndex() const { return index_; }
  void SetColorIndex(int index);
  // The ramp entry at ColorIndex (hides the control's own colour, which
  // the bar never paints).
  TColor GetColor() const { return table_[index_]; }
  TRGB GetRGB() const;
  TColor Entry(int i) const { return table_[i]; }

  TNotifyEvent OnChange;

  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  void BuildTable();
  // Entry shown at pixel a of a bar `extent` pixels long.
  static int EntryAt(int a, int extent);
  void DrawMarker(TCanvas& canvas);
  void PickAt(int x, int y);

  TColor begin_ = clBlack;
  TColor end_ = 0xFFFFFF;
  TPVGradientDir direction_ = gdVertical;
  TPVMouseInteractGr interact_{migDragGrip};
  int index_ = 0;
  bool dragging_ = false;
  std::array<TColor, kEntries> table_{};
};

}  // namespace pictavo
