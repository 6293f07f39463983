#include "controls/gradientbar.h"

#include <algorithm>
#include <cmath>

#include "core/conversions.h"

namespace pictavo {

namespace {
constexpr int kDefaultWidth = 40;
constexpr int kDefaultHeight = 300;
constexpr int kMarkerHalf = 3;

// One channel of entry i.  A channel that falls from begin to end steps
// downward so that the ramp really ends at the end colour.
int RampChannel(int begin, int end, int i) {
  if (end >= begin) {
    double step = (end - begin) / 255.0;
    return begin + int(std::trunc(i * step));
  }
  double step = (begin - end) / 255.0;
  return begin - int(std::trunc(i * step));
}
}  // namespace

TPVGradientBar::TPVGradientBar(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle().Include(csOpaque));
  SetBounds(0, 0, kDefaultWidth, kDefaultHeight);
  BuildTable();
}

void TPVGradientBar::BuildTable() {
  TRGB b = TColor2TRGB(begin_), e = TColor2TRGB(end_);
  for (int i = 0; i < kEntries; ++i)
    table_[i] =
        RGB2TColor(RampChannel(b.r, e.r, i), RampChannel(b.g, e.g, i), RampChannel(b.b, e.b, i));
}

void TPVGradientBar::SetBeginColor(TColor c) {
  begin_ = c;
  BuildTable();
  Invalidate();
}

void TPVGradientBar::SetEndColor(TColor c) {
  end_ = c;
  BuildTable();
  Invalidate();
}

void TPVGradientBar::SetDirection(TPVGradientDir d) {
  direction_ = d;
  Invalidate();
}

void TPVGradientBar::SetColorIndex(int index) {
  index_ = std::clamp(index, 0, kEntries - 1);
  Invalidate();
}

TRGB TPVGradientBar::GetRGB() const {
  return TColor2TRGB(GetColor());
}

int TPVGradientBar::EntryAt(int a, int extent) {
  if (extent <= 1) return 0;
  return std::clamp(int(std::trunc(255.0 / (extent - 1) * a)), 0, kEntries - 1);
}

void TPVGradientBar::Paint() {
  TCanvas& c = GetCanvas();
  c.Pen().SetStyle(psSolid);
  c.Pen().SetMode(pmCopy);
  c.Pen().SetWidth(1);
  int w = ClientWidth(), h = ClientHeight();
  if (direction_ == gdHorizontal) {
    for (int a = 0; a < w; ++a) {
      c.Pen().SetColor(table_[EntryAt(a, w)]);
      c.MoveTo(a, 0);
      c.LineTo(a, h);
    }
  } else {
    // Entry 0 at the top row, where the marker and the mouse put it too.
    for (int a = 0; a < h; ++a) {
      c.Pen().SetColor(table_[EntryAt(a, h)]);
      c.MoveTo(0, a);
      c.LineTo(w, a);
    }
  }
  if (!GetDesigning() && interact_.Contains(migDragGrip)) DrawMarker(c);
  if (OnPaint) OnPaint(this);
}

void TPVGradientBar::DrawMarker(TCanvas& c) {
  c.Pen().SetMode(pmNot);
  c.Brush().SetStyle(bsClear);
  if (direction_ == gdHorizontal) {
    int p = int(std::trunc(index_ * double(ClientWidth() - 1) / 255));
    c.Rectangle(p - kMarkerHalf, 0, p + kMarkerHalf, ClientHeight());
  } else {
    int p = int(std::trunc(index_ * double(ClientHeight() - 1) / 255));
    c.Rectangle(0, p - kMarkerHalf, ClientWidth(), p + kMarkerHalf);
  }
  c.Pen().SetMode(pmCopy);
  c.Brush().SetStyle(bsSolid);
}

void TPVGradientBar::PickAt(int x, int y) {
  int extent = direction_ == gdHorizontal ? ClientWidth() : ClientHeight();
  int pos = direction_ == gdHorizontal ? x : y;
  pos = std::clamp(pos, 0, std::max(0, extent - 1));
  index_ = extent <= 1 ? 0 : int(std::trunc(double(pos) / (extent - 1) * 255));
  Invalidate();
  if (OnChange) OnChange(this);
}

void TPVGradientBar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !interact_.Contains(migDragGrip)) return;
  dragging_ = true;
  PickAt(X, Y);
}

void TPVGradientBar::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (dragging_ && GetMouseCapture() && interact_.Contains(migDragGrip)) PickAt(X, Y);
}

void TPVGradientBar::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft) dragging_ = false;
}

}  // namespace pictavo
