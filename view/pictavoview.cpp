#include "view/pictavoview.h"

#include <algorithm>
#include <cmath>

#include "codecs/quantize.h"
#include "core/conversions.h"
#include "platform/canvas.h"
#include "view/view_globals.h"

namespace pictavo {

namespace {

int BarCode(TPVBarKind bar) {
  return bar == pvbkHorizontal ? SB_HORZ : SB_VERT;
}

}  // namespace

// The control side of the layout step: client and outer size, the window
// scroll bars, and the view's notifications.
class TPictavoView::LayoutHost : public TPVLayoutHost {
 public:
  explicit LayoutHost(TPictavoView& view) : view_(view) {}
  int32_t LayoutClientWidth() const override { return view_.GetClientWidth(); }
  int32_t LayoutClientHeight() const override { return view_.GetClientHeight(); }
  int32_t LayoutWidth() const override { return view_.GetWidth(); }
  int32_t LayoutHeight() const override { return view_.GetHeight(); }
  void LayoutBarIdle(TPVBarKind bar, bool keepVisible) override {
    const int b = BarCode(bar);
    if (keepVisible) {
      view_.EnableScrollBar(b, ESB_DISABLE_BOTH);
      view_.ShowScrollBar(b, true);
    } else {
      view_.ShowScrollBar(b, false);
    }
  }
  void LayoutBarActive(TPVBarKind bar, int32_t page, int32_t position) override {
    const int b = BarCode(bar);
    view_.SetScrollRange(b, 0, kPVScrollRangeMax, false);
    TScrollInfo info;
    info.fMask = SIF_PAGE;
    info.nPage = unsigned(std::max(page, 0));
    view_.SetScrollInfo(b, info, false);
    view_.SetScrollPos(b, position, false);
    view_.EnableScrollBar(b, ESB_ENABLE_BOTH);
    view_.ShowScrollBar(b, true);
  }
  void LayoutViewChange(int32_t change) override { view_.ViewChange(change); }
  void LayoutBitmapResized(int32_t width, int32_t height) override {
    if (view_.has_selection_) view_.DeSelect();
    view_.mask_.AllocateBits(width, height, 1);
  }

 private:
  TPictavoView& view_;
};

TPictavoView::TPictavoView(TComponent* owner) : TPVView(owner) {
  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetPixelFormat(pf24bit);
  back_buffer_ = std::make_unique<TBitmap>();
  back_buffer_->SetPixelFormat(pf24bit);
  spare_ = std::make_unique<TBitmap>();
  spare_->SetPixelFormat(pf24bit);
  SetBounds(0, 0, kPVInitialViewSize, kPVInitialViewSize);
  bitmap_->SetSize(kPVInitialViewSize, kPVInitialViewSize);
  mask_.AllocateBits(bitmap_->GetWidth(), bitmap_->GetHeight(), 1);
  SetCursor(kPVDefaultViewCursor);
  outline_timer_ = std::make_unique<TTimer>();
  outline_timer_->SetInterval(kPVOutlineTimerMs);
  outline_timer_->SetOnTimer([this](TObject* sender) { AniPolyFunc(sender); });
  InitSelection();
}

TPictavoView::~TPictavoView() {
  outline_timer_.reset();
}

// --- Properties -------------------------------------------------------------------

void TPictavoView::SetZoomFilter(TResampleFilter filter) {
  if (filter == zoom_filter_) return;
  zoom_filter_ = filter;
  Update();
}

void TPictavoView::SetScrollBars(TScrollStyle bars) {
  scroll_bars_ = bars;
  geometry_.ScrollBars = static_cast<TPVScrollBars>(bars);
  if (bars != ssVertical && bars != ssBoth) ShowScrollBar(SB_VERT, false);
  if (bars != ssHorizontal && bars != ssBoth) ShowScrollBar(SB_HORZ, false);
  Update();
}

void TPictavoView::SetCenter(bool on) {
  if (on == geometry_.Center) return;
  geometry_.Center = on;
  Update();
}

void TPictavoView::SetAutoFit(bool on) {
  geometry_.AutoFit = on;
  Update();
}

void TPictavoView::SetBackgroundStyle(TPVBackgroundStyle style) {
  background_style_ = style;
  Update();
}

void TPictavoView::SetSelectionOptions(TPVSelectionOptions options) {
  selection_options_ = options;
  sel_poly_.Animated = options.Contains(pvsoAnimated);
  sel_poly_.Sizeable = options.Contains(pvsoSizeable);
  Update();
}

void TPictavoView::SetScrollBarsAlwaysVisible(bool on) {
  geometry_.ScrollBarsAlwaysVisible = on;
  Update();
}

void TPictavoView::SetDisplayGrid(bool on) {
  display_grid_ = on;
  Update();
}

void TPictavoView::SetBackGround(TColor color) {
  TPVView::SetBackGround(color);
  SetColor(color);
  if (GetDesigning()) Clear();
  Update();
  ImageChange();
}

TRect TPictavoView::SourceRect() const {
  const TPVViewGeometry& g = geometry_;
  return Rect(g.SrcX, g.SrcY, g.SrcX + g.SrcW, g.SrcY + g.SrcH);
}

// --- Layout -----------------------------------------------------------------------

bool TPictavoView::CanLayout() const {
  TComponentState state = GetComponentState();
  for (TComponentStateItem busy : {csLoading, csReading, csWriting, csDestroying})
    if (state.Contains(busy)) return false;
  return HasParentWindow();
}

TPVLayoutInput TPictavoView::LayoutInput() const {
  TPVLayoutInput in;
  in.BitmapWidth = bitmap_->GetWidth();
  in.BitmapHeight = bitmap_->GetHeight();
  in.Designing = GetDesigning();
  PVBackgroundMargins(background_style_, gEdgeX, gEdgeY, in.MarginX, in.MarginY);
  return in;
}

void TPictavoView::Update() {
  if (!CanLayout()) return;
  LayoutHost host(*this);
  const bool outer = !in_layout_;
  in_layout_ = true;
  try {
    geometry_.Layout(host, LayoutInput());
  } catch (...) {
    if (outer) in_layout_ = false;
    throw;
  }
  if (outer) in_layout_ = false;
  BufferDirty = true;
  Invalidate();
}

void TPictavoView::Resize() {
  TPVView::Resize();
  // A bar shown or hidden by our own layout step sends this size message
  // too; the layout step re-runs itself for that, boundedly.
  if (!in_layout_) Update();
}

void TPictavoView::SetBounds(int left, int top, int width, int height) {
  TPVView::SetBounds(left, top, width, height);
  TComponentState state = GetComponentState();
  if (bitmap_ &&
      (state.Contains(csLoading) || state.Contains(csReading) || state.Contains(csDesigning))) {
    bitmap_->SetSize(GetWidth(), GetHeight());
    Clear();
  }
}

int TPictavoView::UnLockPaint() {
  if (paint_lock_ > 0) --paint_lock_;
  if (paint_lock_ == 0) Update();
  return paint_lock_;
}

int TPictavoView::NPUnLockPaint() {
  if (paint_lock_ > 0) --paint_lock_;
  return paint_lock_;
}

void TPictavoView::Clear() {
  TCanvas& canvas = bitmap_->Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(background_);
  canvas.FillRect(Rect(0, 0, bitmap_->GetWidth(), bitmap_->GetHeight()));
  Update();
}

void TPictavoView::Blank() {
  bitmap_->SetSize(1, 1);
  Clear();
}

int TPictavoView::GetIdealComponentWidth() const {
  int w = PVTrunc(bitmap_->GetWidth() / 100.0 * geometry_.Zoom) + 1;
  if (scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth) w += GetWidth() - GetClientWidth();
  return w;
}

int TPictavoView::GetIdealComponentHeight() const {
  int h = PVTrunc(bitmap_->GetHeight() / 100.0 * geometry_.Zoom) + 1;
  if (scroll_bars_ == ssVertical || scroll_bars_ == ssBoth) h += GetHeight() - GetClientHeight();
  return h;
}

// --- Zoom and scrolling -------------------------------------------------------------

void TPictavoView::ArmFilterDelay() {
  if (delay_zoom_filter_ && zoom_filter_ != rfNone && geometry_.Zoom != 100)
    FilterDelay = kPVFilterDelayTicks;
}

void TPictavoView::GetMaxViewXY(int& maxX, int& maxY) const {
  geometry_.GetMaxViewXY(bitmap_->GetWidth(), bitmap_->GetHeight(), GetClientWidth(),
                         GetClientHeight(), GetWidth(), GetHeight(), maxX, maxY);
}

void TPictavoView::SetZoom(double zoom) {
  if (zoom <= 0 || zoom == geometry_.Zoom) return;
  ArmFilterDelay();
  LockPaint();
  geometry_.ZoomKeepingCentre(zoom, bitmap_->GetWidth(), bitmap_->GetHeight(), GetClientWidth(),
                              GetClientHeight(), GetWidth(), GetHeight());
  Update();
  NPUnLockPaint();
  Paint();
  LockPaint();
  Update();
  NPUnLockPaint();
  ViewChange(1);
}

void TPictavoView::ZoomAt(int x, int y, double zoom) {
  LockPaint();
  const int bx = XScr2Bmp(x), by = YScr2Bmp(y);
  SetZoom(zoom);
  const double z = geometry_.Zoom / 100.0;
  SetViewXY(PVTrunc(bx * z - GetClientWidth() / 2), PVTrunc(by * z - GetClientHeight() / 2));
  UnLockPaint();
}

void TPictavoView::Fit() {
  if (bitmap_->GetWidth() == 0 || bitmap_->GetHeight() == 0) return;
  int mx = 0, my = 0;
  PVBackgroundMargins(background_style_, gEdgeX, gEdgeY, mx, my);
  SetZoom(TPVViewGeometry::FitZoom(GetWidth(), GetHeight(), bitmap_->GetWidth(),
                                   bitmap_->GetHeight(), mx, my));
}

bool TPictavoView::SelectionBox(TRect& box) const {
  bool any = false;
  for (const TPoint& p : polygon_) {
    if (p.x == kPVSelBreak && p.y == kPVSelBreak) continue;
    if (!any) box = Rect(p.x, p.y, p.x, p.y);
    box.Left = std::min(box.Left, p.x), box.Top = std::min(box.Top, p.y);
    box.Right = std::max(box.Right, p.x), box.Bottom = std::max(box.Bottom, p.y);
    any = true;
  }
  return any;
}

void TPictavoView::ZoomSelection() {
  TRect box;
  if (!has_selection_ || !SelectionBox(box)) return;
  const int x1 = box.Left, y1 = box.Top, x2 = box.Right, y2 = box.Bottom;
  LockPaint();
  DeSelect();
  const double h = y2 - y1 + 1, w = x2 - x1 + 1;
  SetZoom(std::min(GetHeight() / (h / 100), GetWidth() / (w / 100)));
  const double c = geometry_.Zoom / 100;
  SetViewXY(PVTrunc(x1 * c) - (GetClientWidth() - PVTrunc(w * c)) / 2,
            PVTrunc(c * y1) - (GetClientHeight() - PVTrunc(h * c)) / 2);
  UnLockPaint();
}

void TPictavoView::SetViewX(int v) {
  SetViewAxis(pvbkHorizontal, v);
}
void TPictavoView::SetViewY(int v) {
  SetViewAxis(pvbkVertical, v);
}

void TPictavoView::SetViewAxis(TPVBarKind bar, int v) {
  int& view = bar == pvbkHorizontal ? geometry_.ViewX : geometry_.ViewY;
  if (v == view) return;
  ArmFilterDelay();
  int maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  view = std::clamp(v, 0, bar == pvbkHorizontal ? maxX : maxY);
  AfterScroll(bar == pvbkHorizontal, bar == pvbkVertical);
}

void TPictavoView::SetViewXY(int x, int y) {
  if (x == geometry_.ViewX && y == geometry_.ViewY) return;
  ArmFilterDelay();
  int maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  geometry_.ViewX = std::clamp(x, 0, maxX);
  geometry_.ViewY = std::clamp(y, 0, maxY);
  AfterScroll(true, true);
}

void TPictavoView::AfterScroll(bool horizontal, bool vertical) {
  BufferDirty = true;
  Paint();
  ViewChange(0);
  if (has_selection_) AniPolyFunc(this);
  if (horizontal) SyncBarPosition(pvbkHorizontal);
  if (vertical) SyncBarPosition(pvbkVertical);
}

void TPictavoView::SyncBarPosition(TPVBarKind bar) {
  if (!geometry_.UsesBar(bar)) return;
  const double unit = bar == pvbkHorizontal ? geometry_.HScrollUnit : geometry_.VScrollUnit;
  const int view = bar == pvbkHorizontal ? geometry_.ViewX : geometry_.ViewY;
  SetScrollPos(BarCode(bar), PVTrunc(view / unit), true);
}

void TPictavoView::ScrollBy(TPVBarKind bar, int code, int pos) {
  if (code < SB_LINEUP || code > SB_ENDSCROLL) return;
  int maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  const bool horizontal = bar == pvbkHorizontal;
  std::optional<int32_t> target = geometry_.ScrollTarget(
      bar, static_cast<TPVScrollRequest>(code), pos,
      horizontal ? HScrollBarParams : VScrollBarParams,
      horizontal ? GetClientWidth() : GetClientHeight(), horizontal ? maxX : maxY);
  if (!target) return;
  if (horizontal)
    SetViewX(*target);
  else
    SetViewY(*target);
}

void TPictavoView::WMHScroll(int ScrollCode, int Pos) {
  TPVView::WMHScroll(ScrollCode, Pos);
  ScrollBy(pvbkHorizontal, ScrollCode, Pos);
}

void TPictavoView::WMVScroll(int ScrollCode, int Pos) {
  TPVView::WMVScroll(ScrollCode, Pos);
  ScrollBy(pvbkVertical, ScrollCode, Pos);
}

void TPictavoView::MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) {
  TPVView::MouseWheel(Shift, WheelDelta, X, Y);
  int d = WheelDelta > 0 ? -1 : 1;
  if (MouseWheelParams.InvertDirection) d = -d;
  const TPVMouseWheelParams& p = MouseWheelParams;
  const bool absolute = p.Variation == pvmwAbsolute;
  if (p.Action == pvmwVScroll) {
    int step = absolute ? d * p.Value * std::max(PVTrunc(geometry_.ZoomFactor), 1)
                        : d * std::max(PVRound(GetClientHeight() * double(p.Value) / 100), 1);
    SetViewY(geometry_.ViewY + step);
  } else if (p.Action == pvmwZoom) {
    double zoom = absolute
                      ? geometry_.Zoom + d * p.Value
                      : geometry_.Zoom + d * std::max(PVRound(geometry_.Zoom * p.Value / 100), 1);
    if (zoom > 0) SetZoom(zoom);
  }
}

// --- Changes ---------------------------------------------------------------------------

void TPictavoView::ImageChange() {
  TPVView::ImageChange();
  if (OnImageChange) OnImageChange(this);
}

void TPictavoView::ViewChange(int change) {
  if (OnViewChange) OnViewChange(this, change);
}

// --- Copies ------------------------------------------------------------------------------

void TPictavoView::Assign(TObject* source) {
  if (!source) {
    Clear();
    return;
  }
  if (auto* view = dynamic_cast<TPictavoView*>(source)) {
    if (view == this) return;
    PVCopyBitmap(*view->bitmap_, *bitmap_);
    background_ = view->background_;
    SetDPI(view->GetDPIX(), view->GetDPIY());
  } else if (auto* bmp = dynamic_cast<TBitmap*>(source)) {
    if (bmp == bitmap_.get()) return;
    if (bmp->GetPixelFormat() == pf24bit || bmp->GetPixelFormat() == pf1bit) {
      PVCopyBitmap(*bmp, *bitmap_);
    } else {
      bitmap_->SetSize(1, 1);
      bitmap_->SetPixelFormat(pf24bit);
      bitmap_->SetSize(bmp->GetWidth(), bmp->GetHeight());
      bitmap_->Canvas().Draw(0, 0, *bmp);
    }
  } else {
    return;
  }
  Update();
  ImageChange();
}

void TPictavoView::AssignSelTo(TObject* dest) {
  TRect box;
  if (!has_selection_ || !SelectionBox(box) || mask_.X2 < mask_.X1 || mask_.Y2 < mask_.Y1) return;
  // The polygon's corners lie on pixel borders: its box is the size of the
  // selected area, which the mask copies from its first selected pixel.
  auto copyInto = [&](TBitmap& target) {
    target.SetPixelFormat(bitmap_->GetPixelFormat() == pf1bit ? pf1bit : pf24bit);
    target.SetSize(box.Width(), box.Height());
    mask_.CopyBitmap(target, *bitmap_, true);
  };
  if (auto* view = dynamic_cast<TPictavoView*>(dest)) {
    if (view == this) return;
    copyInto(*view->bitmap_);
    view->background_ = background_;
    view->SetDPI(GetDPIX(), GetDPIY());
    view->Update();
    view->ImageChange();
  } else if (auto* bmp = dynamic_cast<TBitmap*>(dest)) {
    copyInto(*bmp);
    bmp->SetModified(true);
  }
}

// The selection operations and the outline painter are in selection.cpp and
// anim_polygon.cpp.

// --- Palette ----------------------------------------------------------------------------

std::vector<TColor> TPictavoView::_CreatePalette() {
  constexpr int kPaletteSize = 256;
  std::vector<TRGB> map(kPaletteSize);
  std::vector<TColor> palette(kPaletteSize, clBlack);
  if (bitmap_->Empty() || bitmap_->GetPixelFormat() != pf24bit) return palette;
  TPVQuantizer quantizer(*bitmap_, map.data(), 0, kPaletteSize);
  for (int i = 0; i < kPaletteSize; ++i) palette[i] = TRGB2TColor(map[i]);
  return palette;
}

bool TPictavoView::PaletteChanged(bool foreground) {
  (void)foreground;
  return false;
}

}  // namespace pictavo
