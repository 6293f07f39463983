#include "controls/histogrambox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "processing/pictavoproc.h"

namespace pictavo {

namespace {
constexpr int kDefaultWidth = 256;
constexpr int kDefaultHeight = 105;
constexpr double kBarHeightFactor = 1.2;
constexpr int kLabelStep = 64;
constexpr uint32_t kDesignSeed = 12345;

// Channel colours in drawing order.
struct Channel {
  THistogramKindItem kind;
  TColor colour;
  uint32_t THistogramItem::*count;
};
constexpr Channel kChannels[] = {{hkRed, 0x0000FF, &THistogramItem::R},
                                 {hkGreen, 0x008000, &THistogramItem::G},
                                 {hkBlue, 0xFF0000, &THistogramItem::B},
                                 {hkGray, 0x000000, &THistogramItem::Gray}};

int RoundInt(double v) {
  return int(std::nearbyint(v));
}
}  // namespace

THistogramBox::THistogramBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle().Include(csOpaque));
  bitmap_.SetPixelFormat(pf24bit);
  SetBounds(0, 0, kDefaultWidth, kDefaultHeight);
  Update();
}

THistogramBox::~THistogramBox() {
  if (proc_) proc_->RemoveFreeNotification(this);
}

void THistogramBox::SetAttachedPictavoProc(TPictavoProc* proc) {
  if (proc == proc_) return;
  if (proc_) proc_->RemoveFreeNotification(this);
  proc_ = proc;
  if (proc_) proc_->FreeNotification(this);
  Update();
}

void THistogramBox::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == proc_) proc_ = nullptr;
}

void THistogramBox::SetBackground(TColor c) {
  if (c == background_) return;
  background_ = c;
  Update();
}
void THistogramBox::SetHistogramKind(THistogramKind k) {
  if (k == kind_) return;
  kind_ = k;
  Update();
}
void THistogramBox::SetLabels(THistogramLabels l) {
  if (l == labels_) return;
  labels_ = l;
  Update();
}
void THistogramBox::SetCompBar(bool on) {
  if (on == comp_bar_) return;
  comp_bar_ = on;
  Update();
}
void THistogramBox::SetHistogramStyle(THistogramStyle s) {
  if (s == style_) return;
  style_ = s;
  Update();
}

void THistogramBox::Resize() {
  TCustomControl::Resize();
  Update();
}

void THistogramBox::FontChanged() {
  Update();
}

void THistogramBox::Paint() {
  GetCanvas().Draw(0, 0, bitmap_);
  if (OnPaint) OnPaint(this);
}

bool THistogramBox::FetchCounts(Counts& counts) const {
  counts.fill(THistogramItem{});
  if (GetDesigning()) {
    // A sample for the form designer: any values below 256 will do.
    uint32_t seed = kDesignSeed;
    for (THistogramItem& item : counts) {
      for (uint32_t* v : {&item.R, &item.G, &item.B, &item.Gray}) {
        seed = seed * 1103515245u + 12345u;
        *v = (seed >> 16) & 0xFF;
      }
    }
    return true;
  }
  if (!proc_ || !proc_->GetAttachedBitmap()) return false;
  proc_->GetHistogram(counts.data());
  return true;
}

uint32_t THistogramBox::MaxCount(const Counts& counts) const {
  uint32_t max = 0;
  for (const Channel& ch : kChannels)
    if (kind_.Contains(ch.kind))
      for (const THistogramItem& item : counts) max = std::max(max, item.*ch.count);
  return max;
}

void THistogramBox::Update() {
  bitmap_.SetSize(GetClientWidth(), GetClientHeight());
  TCanvas& c = bitmap_.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(background_);
  c.FillRect(Rect(0, 0, bitmap_.GetWidth(), bitmap_.GetHeight()));
  Counts counts;
  uint32_t max = 0;
  if (FetchCounts(counts)) max = MaxCount(counts);
  if (max > 0) {
    int w = bitmap_.GetWidth(), h = bitmap_.GetHeight(), x0 = 0;
    int fh = std::abs(GetFont().GetHeight());
    int barH = int(std::trunc(fh * kBarHeightFactor));
    if (comp_bar_) h -= barH + 2;
    c.Font().Assign(GetFont());
    c.SetBkMode(TRANSPARENT);
    if (labels_.Contains(hlVertical)) DrawVerticalLabels(max, h, w, x0);
    if (labels_.Contains(hlHorizontal)) DrawHorizontalLabels(max, h, w, x0);
    if (comp_bar_) DrawCompBar(w, x0, barH);
    if (w > 0) DrawGraph(counts, max, w, h, x0);
  }
  Invalidate();
}

void THistogramBox::DrawVerticalLabels(uint32_t max, int h, int& w, int& x0) {
  TCanvas& c = bitmap_.Canvas();
  int tw = c.TextWidth(std::to_string(max));
  c.TextOut(0, h / 2, std::to_string(max / 2));
  c.TextOut(0, 0, std::to_string(max));
  c.Pen().SetColor(GetFont().GetColor());
  w -= tw + 2;
  x0 += tw + 2;
}

void THistogramBox::DrawHorizontalLabels(uint32_t max, int& h, int w, int x0) {
  TCanvas& c = bitmap_.Canvas();
  int th = c.TextHeight(std::to_string(max));
  int fh = std::abs(GetFont().GetHeight());
  int y = h - fh - 1;
  for (int i = 0; i <= 3; ++i)
    c.TextOut(RoundInt(i * double(kLabelStep) / kHistogramLevels * w) + x0, y,
              std::to_string(i * kLabelStep));
  c.TextOut(x0 + w - c.TextWidth("255"), y, "255");
  h -= th + 2;
  c.Pen().SetMode(pmCopy);
  c.Pen().SetStyle(psSolid);
  c.MoveTo(x0 - 1, 0);
  c.LineTo(x0 - 1, h);
  c.LineTo(x0 + w, h);
}

void THistogramBox::DrawCompBar(int w, int x0, int barH) {
  bool r = kind_.Contains(hkRed) || kind_.Contains(hkGray);
  bool g = kind_.Contains(hkGreen) || kind_.Contains(hkGray);
  bool b = kind_.Contains(hkBlue) || kind_.Contains(hkGray);
  int bh = bitmap_.GetHeight(), bw = bitmap_.GetWidth();
  for (int row = 0; row < barH && row < bh; ++row) {
    uint8_t* line = bitmap_.ScanLine(bh - 1 - row);
    for (int m = 0; m < w; ++m) {
      int x = x0 + m;
      if (x < 0 || x >= bw) continue;
      // The level of the column, as a byte (256 wraps to 0).
      uint8_t v = uint8_t(RoundInt(double(m) / w * kHistogramLevels));
      line[3 * x] = b ? v : 0;
      line[3 * x + 1] = g ? v : 0;
      line[3 * x + 2] = r ? v : 0;
    }
  }
}

void THistogramBox::DrawGraph(const Counts& counts, uint32_t max, int w, int h, int x0) {
  TCanvas& c = bitmap_.Canvas();
  c.Pen().SetMode(pmCopy);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  auto level = [&](int x) { return int(std::trunc(double(x) / w * kHistogramLevels)); };
  auto top = [&](uint32_t count) { return h - RoundInt(double(count) / max * h); };
  if (style_ == hsBars) {
    for (int x = 0; x < w; ++x) {
      for (const Channel& ch : kChannels) {
        if (!kind_.Contains(ch.kind)) continue;
        c.Pen().SetColor(ch.colour);
        c.MoveTo(x0 + x, h - 1);
        c.LineTo(x0 + x, top(counts[level(x)].*ch.count) - 2);
      }
    }
    return;
  }
  for (const Channel& ch : kChannels) {
    if (!kind_.Contains(ch.kind)) continue;
    c.Pen().SetColor(ch.colour);
    c.MoveTo(x0, h - 1);
    for (int x = 0; x < w; ++x) c.LineTo(x0 + x, top(counts[level(x)].*ch.count) - 1);
  }
}

}  // namespace pictavo
