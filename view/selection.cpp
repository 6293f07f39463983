// The selection operations of TPictavoView and the selection helpers.
#include "view/selection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "processing/geometry.h"
#include "view/magic_wand.h"
#include "view/pictavoview.h"

namespace pictavo {

namespace {

// Products of the distance helpers are 32-bit, wrapping as the integers of
// the original arithmetic do.
int32_t Mul32(int32_t a, int32_t b) {
  return int32_t(uint32_t(a) * uint32_t(b));
}

}  // namespace

// --- Helpers ---------------------------------------------------------------------------

void _CastPolySelCC(int x0, int y0, int& x, int& y) {
  const int dx = std::abs(x0 - x), dy = std::abs(y0 - y);
  if (dx + kPVCastThreshold < dy) {
    x = x0;
    return;
  }
  if (dy < dx - kPVCastThreshold) {
    y = y0;
    return;
  }
  if (x == x0 || y == y0) return;
  const int e = std::abs(dx - dy);
  const bool sx = x0 - x > 0, sy = y0 - y > 0;
  if (!sx && !sy) {  // right, below
    if (dx >= dy)
      y += e;
    else
      x += e;
  } else if (sx && sy) {  // left, above
    if (dx >= dy)
      x += e;
    else
      y += e;
  } else if (sx) {  // left, below
    if (dx >= dy)
      y += e;
    else
      x -= e;
  } else {  // right, above
    if (dx >= dy)
      y -= e;
    else
      x += e;
  }
}

double _DistPoint2Point(int x1, int y1, int x2, int y2) {
  const int32_t dx = x2 - x1, dy = y2 - y1;
  return std::sqrt(double(Mul32(dx, dx) + Mul32(dy, dy)));
}

double _DistPoint2Line(int px, int py, int x1, int y1, int x2, int y2) {
  const int32_t num = Mul32(px, y1 - y2) + Mul32(py, x2 - x1) + Mul32(x1, y2) - Mul32(x2, y1);
  const int32_t len2 = Mul32(y1 - y2, y1 - y2) + Mul32(x2 - x1, x2 - x1);
  return std::abs(double(num)) / std::sqrt(double(len2));
}

double _DistPoint2Seg(int px, int py, int x1, int y1, int x2, int y2) {
  if (x1 == x2 && y1 == y2) return _DistPoint2Point(px, py, x1, y1);
  const double l = _DistPoint2Point(x1, y1, x2, y2);
  const double t = double(Mul32(px - x1, x2 - x1) + Mul32(py - y1, y2 - y1)) / (l * l);
  if (t > 1) return _DistPoint2Point(px, py, x2, y2);
  if (t >= 0) return _DistPoint2Line(px, py, x1, y1, x2, y2);
  return _DistPoint2Point(px, py, x1, y1);
}

bool _InRect(int x, int y, int x1, int y1, int x2, int y2) {
  return x1 <= x && x <= x2 && y1 <= y && y <= y2;
}

bool _InRectO(int x, int y, int x1, int y1, int x2, int y2) {
  return _InRect(x, y, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

bool _RectXRect(int ax1, int ay1, int ax2, int ay2, int bx1, int by1, int bx2, int by2) {
  const int l = std::min(ax1, ax2), r = std::max(ax1, ax2);
  const int t = std::min(ay1, ay2), b = std::max(ay1, ay2);
  return l <= bx2 && bx1 <= r && t <= by2 && by1 <= b;
}

int _RectPRect(int ax1, int ay1, int ax2, int ay2, int bx1, int by1, int bx2, int by2) {
  const int xs = (ax1 <= bx1 && bx1 <= ax2) + (ax1 <= bx2 && bx2 <= ax2);
  const int ys = (ay1 <= by1 && by1 <= ay2) + (ay1 <= by2 && by2 <= ay2);
  if (xs == 2 && ys == 2) return 2;
  if ((xs == 1 && ys >= 1) || (xs >= 1 && ys == 1)) return 1;
  return 0;
}

// --- Operations ------------------------------------------------------------------------

void TPictavoView::AppendRectangle(int x1, int y1, int x2, int y2) {
  const int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  x1 = std::clamp(x1, 0, w), x2 = std::clamp(x2, 0, w);
  y1 = std::clamp(y1, 0, h), y2 = std::clamp(y2, 0, h);
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  AnimPolygonAddPtEx(&sel_poly_, x1, y1);
  AnimPolygonAddPtEx(&sel_poly_, x2, y1);
  AnimPolygonAddPtEx(&sel_poly_, x2, y2);
  AnimPolygonAddPtEx(&sel_poly_, x1, y2);
}

void TPictavoView::SelectEx(int x1, int y1, int x2, int y2, TPVSelOp op) {
  if (x1 == x2 || y1 == y2) return;
  if (selection_base_ == pvsbClientArea) {
    x1 = XScr2Bmp(x1), y1 = YScr2Bmp(y1);
    x2 = XScr2Bmp(x2) + 1, y2 = YScr2Bmp(y2) + 1;
  }
  has_selection_ = true;
  if (op == pvspAdd && !polygon_.empty())
    AnimPolygonAddBreak(&sel_poly_);
  else
    AnimPolygonClear(&sel_poly_);
  AppendRectangle(x1, y1, x2, y2);
  ShowSelectionEx(true);
}

void TPictavoView::Select(int x1, int y1, int x2, int y2, TPVSelOp op) {
  SelectEx(x1, y1, x2, y2, op);
  EndSelect();
}

void TPictavoView::EndSelect() {
  mask_.DrawPolygon(1, polygon_.data(), static_cast<int32_t>(polygon_.size()));
  // A filled selection is part of the painted image.
  if (selection_options_.Contains(pvsoFilled)) {
    BufferDirty = true;
    if (paint_lock_ == 0) Invalidate();
  }
}

void TPictavoView::AddSelPointEx(int x, int y) {
  if (selection_base_ == pvsbClientArea) {
    x = std::clamp(XScr2Bmp(x), 0, bitmap_->GetWidth());
    y = std::clamp(YScr2Bmp(y), 0, bitmap_->GetHeight());
  }
  AnimPolygonAddPt(&sel_poly_, x, y);
  ShowSelectionEx(true);
}

void TPictavoView::AddSelPoint(int x, int y) {
  AddSelPointEx(x, y);
  EndSelect();
}

void TPictavoView::AddSelBreakEx() {
  if (!polygon_.empty()) AnimPolygonAddBreak(&sel_poly_);
}

void TPictavoView::AddSelBreak() {
  AddSelBreakEx();
  EndSelect();
}

void TPictavoView::SelectMagicWand(int x, int y, TPVSelOp op) {
  if (selection_base_ == pvsbClientArea) x = XScr2Bmp(x), y = YScr2Bmp(y);
  const int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  if (x < 0 || x > w || y < 0 || y > h) return;
  std::vector<TPoint> outline = PVMagicWand(*bitmap_, x, y, MagicWandMaxFilter, MagicWandTolerance);
  if (outline.empty()) return;
  has_selection_ = true;
  if (op == pvspAdd && !polygon_.empty())
    AnimPolygonAddBreak(&sel_poly_);
  else
    AnimPolygonClear(&sel_poly_);
  for (const TPoint& p : outline)
    AnimPolygonAddPtEx(&sel_poly_, std::clamp(p.x, 0, w), std::clamp(p.y, 0, h));
  outline = {};
  EndSelect();
  ShowSelectionEx(true);
}

int TPictavoView::SelectResizeEx(int grip, int x, int y) {
  if (!_IsRectangle(polygon_.data(), sel_poly_.Count())) return grip;
  int bx = XScr2Bmp(x), by = YScr2Bmp(y);
  if (grip == 1 || grip == 2 || grip == 5) ++bx;
  if (grip == 2 || grip == 3 || grip == 7) ++by;
  int x1 = sel_poly_.X1, y1 = sel_poly_.Y1, x2 = sel_poly_.X2, y2 = sel_poly_.Y2;
  if (grip == 0 || grip == 3 || grip == 4) x1 = bx == x2 ? bx - 1 : bx;
  if (grip == 1 || grip == 2 || grip == 5) x2 = bx == x1 ? bx + 1 : bx;
  if (grip == 0 || grip == 1 || grip == 6) y1 = by == y2 ? by - 1 : by;
  if (grip == 2 || grip == 3 || grip == 7) y2 = by == y1 ? by + 1 : by;
  if (x2 < x1) {
    static constexpr int kFlipX[8] = {1, 0, 3, 2, 5, 4, 6, 7};
    if (grip >= 0 && grip < 8) grip = kFlipX[grip];
  }
  if (y2 < y1) {
    static constexpr int kFlipY[8] = {3, 2, 1, 0, 4, 5, 7, 6};
    if (grip >= 0 && grip < 8) grip = kFlipY[grip];
  }
  AnimPolygonClear(&sel_poly_);
  AppendRectangle(x1, y1, x2, y2);
  ShowSelectionEx(true);
  return grip;
}

int TPictavoView::SelectMoveEx(int grip, int dx, int dy) {
  AnimPolygonMove(&sel_poly_, dx, dy, bitmap_->GetWidth(), bitmap_->GetHeight());
  AniPolyFunc(this);
  return grip;
}

void TPictavoView::DeSelect() {
  if (has_selection_) HideSelectionEx(true);
  polygon_.clear();
  EndSelect();
  has_selection_ = false;
  rect_dragging_ = poly_drawing_ = ellipse_dragging_ = false;
  resize_grip_ = move_grip_ = -1;
}

void TPictavoView::ShowSelectionEx(bool draw) {
  sel_poly_.Visible = true;
  if (draw) AniPolyFunc(this);
}

void TPictavoView::HideSelectionEx(bool repaint) {
  sel_poly_.Visible = false;
  if (repaint) RepaintUnlessLocked();
}

void TPictavoView::SetVisibleSelection(bool visible) {
  if (visible)
    ShowSelectionEx(true);
  else
    HideSelectionEx(true);
  Update();
}

TPoint TPictavoView::GetPolySel(int i) const {
  if (i < 0 || i >= sel_poly_.Count()) return Point(0, 0);
  return polygon_[size_t(i)];
}

bool TPictavoView::IsPointInsideSelection(int x, int y) const {
  if (selection_base_ == pvsbClientArea) x = XScr2Bmp(x), y = YScr2Bmp(y);
  return mask_.IsPointInside(x, y);
}

int TPictavoView::GetResizingGrip(int x, int y) const {
  const TPVAnimPolygon& p = sel_poly_;
  if (!p.Visible || !p.Sizeable || rect_dragging_ || !_IsRectangle(p.Points.data(), p.Count()))
    return -1;
  for (int i = 0; i < 4; ++i) {
    const int cx = XBmp2Scr(p.Points[size_t(i)].x), cy = YBmp2Scr(p.Points[size_t(i)].y);
    if (std::abs(cx - x) <= kPVGripHalf && std::abs(cy - y) <= kPVGripHalf) return i;
  }
  const int l = XBmp2Scr(p.X1), t = YBmp2Scr(p.Y1), r = XBmp2Scr(p.X2), b = YBmp2Scr(p.Y2);
  if (_DistPoint2Seg(x, y, l, t, l, b) < kPVGripHalf) return 4;
  if (_DistPoint2Seg(x, y, r, t, r, b) < kPVGripHalf) return 5;
  if (_DistPoint2Seg(x, y, l, t, r, t) < kPVGripHalf) return 6;
  if (_DistPoint2Seg(x, y, l, b, r, b) < kPVGripHalf) return 7;
  return -1;
}

int TPictavoView::GetMovingGrip(int x, int y) const {
  if (!sel_poly_.Visible || rect_dragging_ || poly_drawing_ || ellipse_dragging_) return -1;
  return mask_.IsPointInside(XScr2Bmp(x), YScr2Bmp(y)) ? 0 : -1;
}

void TPictavoView::CopyFromPolygon(TBitmap& dest, TPoint point) {
  _CopyPolygonToPoint(*bitmap_, polygon_.data(), sel_poly_.Count(), point, dest);
  Update();
}

void TPictavoView::CopyToPolygon(const TBitmap& source, TPoint point) {
  _CopyPointToPolygon(source, polygon_.data(), sel_poly_.Count(), point, *bitmap_);
}

}  // namespace pictavo
