#include "controls/rulerbox.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace pictavo {

namespace {
constexpr int kDefaultWidth = 300;
constexpr int kDefaultHeight = 40;
constexpr double kRulerFontFactor = 1.7;
constexpr int kRulerExtra = 3;
constexpr int kDesignGripSpacing = 5;
constexpr int kUpright = 900;  // tenths of a degree

int RoundInt(double v) {
  return int(std::nearbyint(v));
}
}  // namespace

TRulerBox::TRulerBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle().Include(csOpaque));
  bitmap_.SetPixelFormat(pf24bit);
  grips_.resize(1);
  SetBounds(0, 0, kDefaultWidth, kDefaultHeight);
  Update();
}

TRulerBox::~TRulerBox() = default;

int TRulerBox::Extent() const {
  return ruler_dir_ == rdHorizontal ? bitmap_.GetWidth() : bitmap_.GetHeight();
}
int TRulerBox::Across() const {
  return ruler_dir_ == rdHorizontal ? bitmap_.GetHeight() : bitmap_.GetWidth();
}

int TRulerBox::GetRulerHeight() const {
  if (!ruler_) return 0;
  return int(std::trunc(std::abs(GetFont().GetHeight()) * kRulerFontFactor)) + kRulerExtra;
}

int TRulerBox::GetXGripPos(int i) const {
  if (!Valid(i)) return 0;
  return RoundInt((grips_[i].pos - view_pos_) * dot_per_unit_);
}

double TRulerBox::GetWidthInUnit() const {
  return bitmap_.GetWidth() / dot_per_unit_;
}

// --- Properties --------------------------------------------------------------

void TRulerBox::SetViewPos(double v) {
  view_pos_ = v;
  ApplyViewLimits();
  Update();
  UpdateWindow();
}
void TRulerBox::SetDotPerUnit(double v) {
  if (v > 0) dot_per_unit_ = v;  // zero or negative scales have no ruler
  Update();
}
void TRulerBox::SetFrequency(double v) {
  if (v > 0) frequency_ = v;
  Update();
}
void TRulerBox::SetLabelFreq(double v) {
  if (v > 0) label_freq_ = v;
  Update();
}
void TRulerBox::SetRuler(bool on) {
  ruler_ = on;
  Update();
}
void TRulerBox::SetRulerDir(TRulerDir d) {
  ruler_dir_ = d;
  Update();
}
void TRulerBox::SetGripsDir(TGripsDir d) {
  grips_dir_ = d;
  Update();
}
void TRulerBox::SetGripBaseDim(int v) {
  grip_base_ = v;
  Update();
}
void TRulerBox::SetGripsCount(int n) {
  Grip fresh;
  fresh.min = view_min_;
  fresh.max = view_max_;
  grips_.resize(size_t(std::max(0, n)), fresh);
  Update();
}
void TRulerBox::SetViewMin(double v) {
  view_min_ = v;
  ApplyViewLimits();
  for (Grip& g : grips_) g.min = v;
  Update();
}
void TRulerBox::SetViewMax(double v) {
  view_max_ = v;
  ApplyViewLimits();
  for (Grip& g : grips_) g.max = v;
  Update();
}
void TRulerBox::SetFitInView(bool on) {
  fit_in_view_ = on;
  Update();
}
void TRulerBox::SetHexLabels(bool on) {
  hex_labels_ = on;
  Update();
}
void TRulerBox::SetBackground(TColor c) {
  background_ = c;
  Update();
}
void TRulerBox::SetRulerColor(TColor c) {
  ruler_color_ = c;
  Update();
}

double TRulerBox::GetGripsPos(int i) const {
  return Valid(i) ? grips_[i].pos : 0;
}
TColor TRulerBox::GetGripsCol(int i) const {
  return Valid(i) ? grips_[i].colour : 0;
}
TGripKind TRulerBox::GetGripsKind(int i) const {
  return Valid(i) ? grips_[i].kind : TGripKind(0);
}
double TRulerBox::GetGripsMin(int i) const {
  return Valid(i) ? grips_[i].min : 0;
}
double TRulerBox::GetGripsMax(int i) const {
  return Valid(i) ? grips_[i].max : 0;
}

void TRulerBox::SetGripsPos(int i, double v) {
  if (!Valid(i)) return;
  Grip& g = grips_[i];
  g.pos = v;
  if (g.max > g.min) g.pos = std::clamp(g.pos, g.min, g.max);
  if (OnRulerPosChange) OnRulerPosChange(this, i);
  Update();
  UpdateWindow();
}
void TRulerBox::SetGripsCol(int i, TColor c) {
  if (!Valid(i)) return;
  grips_[i].colour = c;
  Update();
}
void TRulerBox::SetGripsKind(int i, TGripKind k) {
  if (!Valid(i)) return;
  grips_[i].kind = k;
  Update();
}
void TRulerBox::SetGripsMin(int i, double v) {
  if (!Valid(i)) return;
  grips_[i].min = v;
  for (int k = 0; k < GetGripsCount(); ++k) ApplyGripLimits(k);
  Update();
}
void TRulerBox::SetGripsMax(int i, double v) {
  if (!Valid(i)) return;
  grips_[i].max = v;
  for (int k = 0; k < GetGripsCount(); ++k) ApplyGripLimits(k);
  Update();
}

void TRulerBox::ApplyGripLimits(int i) {
  const Grip& g = grips_[i];
  if (!(g.max > g.min)) return;
  if (g.pos < g.min)
    SetGripsPos(i, g.min);
  else if (g.pos > g.max)
    SetGripsPos(i, g.max);
}

void TRulerBox::ApplyViewLimits() {
  if (!(view_min_ < view_max_)) return;
  if (view_pos_ < view_min_)
    view_pos_ = view_min_;
  else if (view_pos_ > view_max_ - GetWidthInUnit())
    view_pos_ = view_max_ - GetWidthInUnit();
}

// --- Drawing -----------------------------------------------------------------

void TRulerBox::Resize() {
  TCustomControl::Resize();
  Update();
}

void TRulerBox::FontChanged() {
  Update();
}

void TRulerBox::Paint() {
  GetCanvas().Draw(0, 0, bitmap_);
  if (OnPaint) OnPaint(this);
}

void TRulerBox::Update() {
  bitmap_.SetSize(GetClientWidth(), GetClientHeight());
  if (fit_in_view_ && view_max_ != view_min_ && bitmap_.GetWidth() > 0) {
    dot_per_unit_ = bitmap_.GetWidth() / (view_max_ - view_min_);
    ApplyViewLimits();
  }
  DrawGrips();
  DrawRuler();
  Invalidate();
}

std::vector<TPoint> TRulerBox::GripPoints(int i) const {
  int x = GetDesigning() ? i * (grip_base_ + kDesignGripSpacing) : GetXGripPos(i);
  int e = Across() - 1, r = GetRulerHeight();
  bool up = grips_dir_ == gdUp;
  int base = up ? e : 0, tip = up ? r : e - r;
  int d = grip_base_ / 2, q = grip_base_ / 4;
  std::vector<TPoint> pts;
  switch (grips_[i].kind) {
    case gkTriangle:
      pts = {Point(x - d, base), Point(x + d, base), Point(x, tip)};
      break;
    case gkLeftTriangle:
      pts = {Point(x - d, base), Point(x, base), Point(x, tip)};
      break;
    case gkRightTriangle:
      pts = {Point(x, base), Point(x + d, base), Point(x, tip)};
      break;
    case gkArrow: {
      int m = up ? tip + (base - tip) / 3 : base + ((tip - base) / 3) * 2;
      pts = {Point(x - q, base), Point(x + q, base), Point(x + q, m), Point(x + d, m),
             Point(x, tip),      Point(x - d, m),    Point(x - q, m)};
      break;
    }
    case gkArrow2: {
      int m = up ? tip + (base - tip) / 2 : base + (tip - base) / 2;
      pts = {Point(x - d, base), Point(x + d, base), Point(x + d, m), Point(x, tip),
             Point(x - d, m)};
      break;
    }
  }
  if (ruler_dir_ == rdVertical)
    for (TPoint& p : pts) std::swap(p.x, p.y);
  return pts;
}

int TRulerBox::GripAt(int x, int y) const {
  for (int i = GetGripsCount() - 1; i >= 0; --i) {
    std::vector<TPoint> pts = GripPoints(i);
    int l = pts[0].x, r = pts[0].x, t = pts[0].y, b = pts[0].y;
    for (const TPoint& p : pts) {
      l = std::min(l, p.x);
      r = std::max(r, p.x);
      t = std::min(t, p.y);
      b = std::max(b, p.y);
    }
    if (x >= l && x < r + 1 && y >= t && y < b + 1) return i;
  }
  return -1;
}

void TRulerBox::DrawGrips() {
  TCanvas& c = bitmap_.Canvas();
  int w = bitmap_.GetWidth(), h = bitmap_.GetHeight(), r = GetRulerHeight();
  TRect area = Rect(0, 0, w, h);
  if (ruler_) {
    bool up = grips_dir_ == gdUp;
    if (ruler_dir_ == rdHorizontal)
      area = up ? Rect(0, r + 1, w, h) : Rect(0, 0, w, h - r);
    else
      area = up ? Rect(r, 0, w, h) : Rect(0, 0, w - r, h);
  }
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(background_);
  c.FillRect(area);
  c.Pen().SetMode(pmCopy);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Pen().SetColor(clBlack);
  for (int i = 0; i < GetGripsCount(); ++i) {
    c.Brush().SetColor(grips_[i].colour);
    c.Polygon(GripPoints(i));
  }
}

std::string TRulerBox::LabelText(double value) const {
  char buf[64];
  if (hex_labels_) {
    std::snprintf(buf, sizeof buf, "%06llX",
                  static_cast<unsigned long long>(std::trunc(std::abs(value))));
    std::string s = buf;
    size_t nz = s.find_first_not_of('0');
    s = nz == std::string::npos ? "0" : s.substr(nz);
    return value < 0 && s != "0" ? "-" + s : s;
  }
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;
  size_t e = s.find('E');
  if (e == std::string::npos) return s == "-0" ? "0" : s;
  // Scientific form with at least three exponent digits: 1E+020.
  std::string mant = s.substr(0, e), exp = s.substr(e + 2);
  while (exp.size() < 3) exp = "0" + exp;
  return mant + "E" + s[e + 1] + exp;
}

void TRulerBox::DrawRuler() {
  if (!ruler_) return;
  TCanvas& c = bitmap_.Canvas();
  int w = bitmap_.GetWidth(), h = bitmap_.GetHeight(), r = GetRulerHeight();
  bool up = grips_dir_ == gdUp;
  TRect band = ruler_dir_ == rdHorizontal ? (up ? Rect(0, 0, w, r + 1) : Rect(0, h - r, w, h))
                                          : (up ? Rect(0, 0, r, h) : Rect(w - r, 0, w, h));
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(ruler_color_);
  c.FillRect(band);
  c.Pen().SetColor(GetFont().GetColor());
  c.Font().Assign(GetFont());
  if (ruler_dir_ == rdVertical) c.Font().SetOrientation(up ? kUpright : -kUpright);
  c.SetBkMode(TRANSPARENT);
  DrawTicks(frequency_, r / 4, false);
  DrawTicks(label_freq_, r / 2, true);
  c.Font().Assign(GetFont());
}

void TRulerBox::DrawTicks(double freq, int len, bool labels) {
  TCanvas& c = bitmap_.Canvas();
  int w = bitmap_.GetWidth(), h = bitmap_.GetHeight(), r = GetRulerHeight();
  int fh = std::abs(GetFont().GetHeight());
  bool up = grips_dir_ == gdUp, horz = ruler_dir_ == rdHorizontal;
  double count = std::trunc(Extent() / dot_per_unit_ / freq);
  // Ticks closer than a pixel light every pixel: walk the pixels instead
  // of the (possibly billions of) ticks, and leave out unreadable labels.
  bool dense = !(count <= Extent());
  int n = dense ? Extent() : int(count);
  double ratio = view_pos_ / freq;
  double first = view_pos_ - freq * (ratio - std::trunc(ratio));
  for (int k = 0; k <= n + 1; ++k) {
    double value = k * freq + first;
    int p = dense ? k : RoundInt((value - view_pos_) * dot_per_unit_);
    if (horz) {
      int y0 = up ? r : h - r;
      c.MoveTo(p, y0);
      c.LineTo(p, up ? y0 - len : y0 + len);
    } else {
      int x0 = up ? r : w - r;
      c.MoveTo(x0, p);
      c.LineTo(up ? x0 - len : x0 + len, p);
    }
    if (!labels || dense) continue;
    std::string text = LabelText(value);
    int tw = c.TextWidth(text);
    if (horz)
      c.TextOut(p - tw / 2, up ? 0 : h - fh, text);
    else if (up)
      c.TextOut(0, p + tw / 2, text);
    else
      c.TextOut(w, p - tw / 2, text);
  }
}

// --- Mouse -------------------------------------------------------------------

void TRulerBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  pressed_ = GripAt(X, Y);
  press_at_ = ruler_dir_ == rdHorizontal ? X : Y;
  moved_ = false;
  if (pressed_ >= 0) {
    press_grip_px_ = GetXGripPos(pressed_);
    if (Shift.Contains(ssDouble) && OnRulerGripDblClick) OnRulerGripDblClick(this, pressed_);
  } else if (OnRulerClick) {
    OnRulerClick(this, press_at_ / dot_per_unit_ + view_pos_);
  }
}

void TRulerBox::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (pressed_ < 0 || !GetMouseCapture()) return;
  int along = ruler_dir_ == rdHorizontal ? X : Y;
  if (along != press_at_) moved_ = true;
  int extent = ruler_dir_ == rdHorizontal ? GetClientWidth() : GetClientHeight();
  if (along >= 0 && along <= extent) {
    StopScroll();
    SetGripsPos(pressed_, (along + press_grip_px_ - press_at_) / dot_per_unit_ + view_pos_);
    return;
  }
  int dir = along < 0 ? -1 : 1;
  if (dir == scroll_dir_) return;
  scroll_dir_ = dir;
  ScrollTick();
  if (!scroll_timer_) {
    scroll_timer_ = std::make_unique<TTimer>();
    scroll_timer_->SetOnTimer([this](TObject*) { ScrollTick(); });
  }
  scroll_timer_->SetInterval(kScrollIntervalMs);
  scroll_timer_->SetEnabled(true);
}

// One pixel's worth of units per tick while a grip is held past an edge.
void TRulerBox::ScrollTick() {
  if (pressed_ < 0 || scroll_dir_ == 0 || !GetMouseCapture()) {
    StopScroll();
    return;
  }
  double step = 1 / dot_per_unit_;
  int extent = ruler_dir_ == rdHorizontal ? GetClientWidth() : GetClientHeight();
  Grip& g = grips_[pressed_];
  if (scroll_dir_ < 0)
    g.pos = (press_grip_px_ - press_at_) / dot_per_unit_ + view_pos_ - step;
  else
    g.pos = (extent + press_grip_px_ - press_at_ - 1) / dot_per_unit_ + view_pos_ + step;
  if (g.max > g.min) g.pos = std::clamp(g.pos, g.min, g.max);
  view_pos_ += scroll_dir_ * step;
  ApplyViewLimits();
  Update();
  UpdateWindow();
  if (OnRulerPosChange) OnRulerPosChange(this, pressed_);
}

void TRulerBox::StopScroll() {
  scroll_dir_ = 0;
  if (scroll_timer_) scroll_timer_->SetEnabled(false);
}

void TRulerBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  StopScroll();
  if (pressed_ >= 0 && !moved_ && OnRulerGripClick) OnRulerGripClick(this, pressed_);
  pressed_ = -1;
}

}  // namespace pictavo
