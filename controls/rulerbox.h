// TRulerBox: a graduated ruler over a range of real-valued units with any
// number of draggable grips beside it, used to pick positions and ranges.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/bitmap.h"
#include "platform/control.h"
#include "platform/timer.h"

namespace pictavo {

enum TRulerDir : uint8_t { rdHorizontal, rdVertical };
enum TGripsDir : uint8_t { gdUp, gdDown };
enum TGripKind : uint8_t { gkTriangle, gkLeftTriangle, gkRightTriangle, gkArrow, gkArrow2 };

using TRulerGripEvent = std::function<void(TObject* Sender, int Grip)>;
using TRulerClickEvent = std::function<void(TObject* Sender, double Pos)>;

class TRulerBox : public TCustomControl {
 public:
  // Milliseconds between scroll steps while a grip is dragged past an edge.
  static constexpr int kScrollIntervalMs = 20;

  explicit TRulerBox(TComponent* owner = nullptr);
  ~TRulerBox() override;

  double GetViewPos() const { return view_pos_; }
  void SetViewPos(double v);
  double GetDotPerUnit() const { return dot_per_unit_; }
  void SetDotPerUnit(double v);
  double GetFrequency() const { return frequency_; }
  void SetFrequency(double v);
  double GetLabelFreq() const { return label_freq_; }
  void SetLabelFreq(double v);
  bool GetRuler() const { return ruler_; }
  void SetRuler(bool on);
  TRulerDir GetRulerDir() const { return ruler_dir_; }
  void SetRulerDir(TRulerDir d);
  TGripsDir GetGripsDir() const { return grips_dir_; }
  void SetGripsDir(TGripsDir d);
  int GetGripBaseDim() const { return grip_base_; }
  void SetGripBaseDim(int v);
  int GetGripsCount() const { return int(grips_.size()); }
  void SetGripsCount(int n);
  double GetViewMin() const { return view_min_; }
  void SetViewMin(double v);
  double GetViewMax() const { return view_max_; }
  void SetViewMax(double v);
  bool GetFitInView() const { return fit_in_view_; }
  void SetFitInView(bool on);
  bool GetHexLabels() const { return hex_labels_; }
  void SetHexLabels(bool on);
  TColor GetBackground() const { return background_; }
  void SetBackground(TColor c);
  TColor GetRulerColor() const { return ruler_color_; }
  void SetRulerColor(TColor c);

  double GetGripsPos(int i) const;
  void SetGripsPos(int i, double v);
  TColor GetGripsCol(int i) const;
  void SetGripsCol(int i, TColor c);
  TGripKind GetGripsKind(int i) const;
  void SetGripsKind(int i, TGripKind k);
  double GetGripsMin(int i) const;
  void SetGripsMin(int i, double v);
  double GetGripsMax(int i) const;
  void SetGripsMax(int i, double v);

  int GetRulerHeight() const;
  int GetXGripPos(int i) const;
  double GetWidthInUnit() const;
  // The label text of a ruler value.
  std::string LabelText(double value) const;
  // The grip under a client point, or -1.
  int GripAt(int x, int y) const;
  std::vector<TPoint> GripPoints(int i) const;

  // Redraws grips and ruler into the off-screen bitmap and invalidates.
  void Update() override;
  const TBitmap& Image() const { return bitmap_; }

  TRulerGripEvent OnRulerPosChange;
  TRulerGripEvent OnRulerGripClick;
  TRulerGripEvent OnRulerGripDblClick;
  TRulerClickEvent OnRulerClick;

  void Paint() override;
  void Resize() override;
  void FontChanged() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  struct Grip {
    double pos = 0;
    TColor colour = clBlack;
    TGripKind kind = gkTriangle;
    double min = 0, max = 0;
  };
  bool Valid(int i) const { return i >= 0 && i < GetGripsCount(); }
  void ApplyGripLimits(int i);
  void ApplyViewLimits();
  void DrawGrips();
  void DrawRuler();
  void DrawTicks(double freq, int len, bool labels);
  int Extent() const;  // pixels along the ruler
  int Across() const;  // pixels across the ruler
  void ScrollTick();
  void StopScroll();

  double view_pos_ = 0, dot_per_unit_ = 1.0, frequency_ = 10.0, label_freq_ = 40.0;
  bool ruler_ = true;
  TRulerDir ruler_dir_ = rdHorizontal;
  TGripsDir grips_dir_ = gdUp;
  int grip_base_ = 12;
  double view_min_ = 0, view_max_ = 0;
  bool fit_in_view_ = false, hex_labels_ = false;
  TColor background_ = clBtnFace, ruler_color_ = clBtnFace;
  std::vector<Grip> grips_;
  TBitmap bitmap_;
  // Drag state.
  int pressed_ = -1;
  int press_at_ = 0, press_grip_px_ = 0;
  bool moved_ = false;
  int scroll_dir_ = 0;  // -1 left/up, +1 right/down, 0 none
  std::unique_ptr<TTimer> scroll_timer_;
};

}  // namespace pictavo
