// Mouse and keyboard handling of TPictavoView.
#include "view/mouse_interact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "platform/cursors.h"
#include "platform/screen.h"
#include "view/selection.h"

namespace pictavo {

namespace {

constexpr std::array<const char*, 13> kCursorNames = {
    "ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO",  "PENNA", "CROCE1",
    "CROCE2",   "MOVE2",   "MOVEY", "MOVE1", "MOVEX", "MOVE"};
// Zoom steps below 100 %.
constexpr std::array<double, 8> kZoomSteps = {2, 5, 10, 25, 33, 50, 75, 100};
constexpr double kZoomStepAbove = 100;
constexpr double kZoomMinOut = 2;
// An ellipse has at least this many points.
constexpr int kEllipseMinPoints = 3;

TPVMouseInteract Only(std::initializer_list<TPVMouseInteractItems> items, TPVMouseInteract from) {
  TPVMouseInteract keep(items);
  return TPVMouseInteract::FromBits(from.Bits() & keep.Bits());
}

bool AnySelectionItem(TPVMouseInteract set) {
  for (auto item : {miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand})
    if (set.Contains(item)) return true;
  return false;
}

}  // namespace

void PVRegisterViewCursors() {
  for (size_t i = 0; i < kCursorNames.size(); ++i) {
    const TCursor number = kPVCursorZoomOut + TCursor(i);
    if (!Screen().HasCursor(number))
      Screen().SetCursors(number, LoadCursorResource(kCursorNames[i]));
  }
}

double PVZoomInStep(double zoom) {
  if (zoom >= 100) return zoom + kZoomStepAbove;
  for (double z : kZoomSteps)
    if (z > zoom) return z;
  return zoom + kZoomStepAbove;
}

double PVZoomOutStep(double zoom) {
  if (zoom >= 200) return zoom - kZoomStepAbove;
  double out = kZoomMinOut;
  for (double z : kZoomSteps)
    if (z < zoom) out = z;
  return out;
}

// --- Gesture rules -----------------------------------------------------------------------

void TPictavoView::SetMouseInteract(TPVMouseInteract items) {
  if (items == mouse_interact_) return;
  if (poly_drawing_ && mouse_interact_.Contains(miSelectPolygon)) {
    AnimPolygonRemoveLastPoint(&sel_poly_);
    EndSelect();
    poly_drawing_ = false;
    Invalidate();
  }
  const TPVMouseInteract added = TPVMouseInteract::FromBits(items.Bits() & ~mouse_interact_.Bits());
  if (added.Contains(miScroll))
    items = Only({miZoom, miScroll}, items);
  else if (added.Contains(miSelect))
    items = Only({miZoom, miSelect}, items);
  else if (added.Contains(miSelectPolygon))
    items = Only({miSelectPolygon}, items);
  else if (added.Contains(miSelectCircle))
    items = Only({miSelectCircle}, items);
  else if (added.Contains(miSelectZoom))
    items = Only({miZoom, miSelectZoom}, items);
  else if (added.Contains(miZoom))
    items = Only({miZoom, miScroll, miSelect, miSelectZoom}, items);
  else if (added.Contains(miSelectMagicWand))
    items = Only({miSelectMagicWand}, items);
  mouse_interact_ = items;
}

// --- Cursors, keys, focus --------------------------------------------------------------------

void TPictavoView::SetCursor(TCursor cursor) {
  own_cursor_ = cursor;
  TPVView::SetCursor(cursor);
}

void TPictavoView::ShowCursorShape(TCursor cursor) {
  if (GetCursor() != cursor) TPVView::SetCursor(cursor);
  Screen().SetControlCursor(cursor);
}

bool TPictavoView::WantSpecialKey(uint16_t Key, TShiftState Shift) {
  if (Key >= VK_PRIOR && Key <= VK_DOWN) return true;
  return TPVView::WantSpecialKey(Key, Shift);
}

void TPictavoView::DoEnter() {
  TPVView::DoEnter();
  Invalidate();
}

void TPictavoView::DoExit() {
  TPVView::DoExit();
  Invalidate();
}

// --- Press ---------------------------------------------------------------------------------

void TPictavoView::ClampToImage(int& x, int& y) const {
  const TPVViewGeometry& g = geometry_;
  x = std::clamp(x, g.OffsetX, g.OffsetX + g.ExtentX);
  y = std::clamp(y, g.OffsetY, g.OffsetY + g.ExtentY);
}

void TPictavoView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPVView::MouseDown(Button, Shift, X, Y);
  if (CanFocus() && !Focused()) SetFocus();
  if (Button != mbLeft && !mouse_interact_.Contains(miZoom)) return;
  press_active_ = true;
  saved_filter_ = zoom_filter_;
  zoom_filter_ = rfNone;
  const TPVSelectionBase savedBase = selection_base_;
  selection_base_ = pvsbClientArea;
  ClampToImage(X, Y);
  press_ = prev_ = band_ = Point(X, Y);
  press_view_x_ = geometry_.ViewX, press_view_y_ = geometry_.ViewY;
  press_count_ = sel_poly_.Count();
  if (mouse_interact_.Contains(miSelectPolygon)) {
    move_grip_ = GetMovingGrip(X, Y);
    if (move_grip_ == -1) {
      if (Shift.Contains(ssCtrl) && !polygon_.empty() && !PVIsBreak(polygon_.back()))
        _CastPolySelCC(XBmp2Scr(polygon_.back().x), YBmp2Scr(polygon_.back().y), X, Y);
      if (!poly_drawing_) {
        if (Shift.Contains(ssShift))
          AddSelBreakEx();
        else
          DeSelect();
      }
      AddSelPointEx(X, Y);
      poly_drawing_ = true;
      band_ = Point(X, Y);
      if (OnSelectionChanging) OnSelectionChanging(this);
    }
  } else if (mouse_interact_.Contains(miSelect) || mouse_interact_.Contains(miSelectZoom)) {
    resize_grip_ = GetResizingGrip(X, Y);
    move_grip_ = GetMovingGrip(X, Y);
    if (resize_grip_ == -1 && move_grip_ == -1) {
      rect_dragging_ = true;
      if (OnSelectionChanging) OnSelectionChanging(this);
    }
  } else if (mouse_interact_.Contains(miSelectCircle)) {
    move_grip_ = GetMovingGrip(X, Y);
    if (move_grip_ == -1) {
      ellipse_dragging_ = true;
      sel_poly_.Visible = true;
      if (OnSelectionChanging) OnSelectionChanging(this);
    }
  } else if (mouse_interact_.Contains(miSelectMagicWand)) {
    move_grip_ = GetMovingGrip(X, Y);
  }
  selection_base_ = savedBase;
}

// --- Move ----------------------------------------------------------------------------------

void TPictavoView::MouseMove(TShiftState Shift, int X, int Y) {
  TPVView::MouseMove(Shift, X, Y);
  const TPVSelectionBase savedBase = selection_base_;
  selection_base_ = pvsbClientArea;
  int x = X, y = Y;
  ClampToImage(x, y);
  if (GetMouseCapture() && press_active_) {
    drag_shift_ = Shift;
    DragMove(Shift, x, y, X, Y);
  } else {
    HoverMove(Shift, x, y);
  }
  if (OnMouseInSel && mask_.IsPointInside(XScr2Bmp(x), YScr2Bmp(y))) OnMouseInSel(this);
  band_ = prev_ = Point(x, y);
  selection_base_ = savedBase;
}

void TPictavoView::DragMove(TShiftState shift, int x, int y, int rawX, int rawY) {
  auto changing = [this] {
    if (OnSelectionChanging) OnSelectionChanging(this);
  };
  if (mouse_interact_.Contains(miScroll)) {
    SetViewXY(press_view_x_ + press_.x - rawX, press_view_y_ + press_.y - rawY);
  } else if (resize_grip_ >= 0) {
    MouseMoveScroll();
    resize_grip_ = SelectResizeEx(resize_grip_, x, y);
    changing();
  } else if (move_grip_ >= 0) {
    MouseMoveScroll();
    SelectMoveEx(move_grip_, XScr2Bmp(x) - XScr2Bmp(prev_.x), YScr2Bmp(y) - YScr2Bmp(prev_.y));
    changing();
  } else if (rect_dragging_) {
    MouseMoveScroll();
    TPVSelOp op = pvspReplace;
    if (shift.Contains(ssShift)) {
      if (sel_poly_.Count() != press_count_) AnimPolygonRemoveLast(&sel_poly_);
      op = pvspAdd;
    }
    SelectEx(press_.x, press_.y, x, y, op);
    changing();
  } else if (poly_drawing_) {
    MouseMoveScroll();
    RepaintUnlessLocked();
    DrawRubberBand();
    AnimPolygonAddPtEx(&sel_poly_, XScr2Bmp(x), YScr2Bmp(y));
    AniPolyFunc(this);
    changing();
  } else if (ellipse_dragging_) {
    MouseMoveScroll();
    DragEllipse(shift, x, y);
    changing();
  }
}

void TPictavoView::DragEllipse(TShiftState shift, int x, int y) {
  if (shift.Contains(ssShift)) {
    if (sel_poly_.Count() != press_count_) AnimPolygonRemoveLast(&sel_poly_);
    AnimPolygonAddBreak(&sel_poly_);
  } else {
    AnimPolygonClear(&sel_poly_);
  }
  int rx = std::abs(press_.x - x), ry = std::abs(press_.y - y);
  if (shift.Contains(ssCtrl)) rx = ry = std::max(rx, ry);
  const double twoPi = 2 * std::numbers::pi;
  const int n = std::max(PVTrunc(std::min(rx, ry) * twoPi) / 4, kEllipseMinPoints);
  const int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  for (int i = 0; i < n; ++i) {
    const double a = twoPi * i / n;
    const int sx = PVTrunc(std::cos(a) * rx + press_.x), sy = PVTrunc(std::sin(a) * ry + press_.y);
    AnimPolygonAddPtEx(&sel_poly_, std::clamp(XScr2Bmp(sx), 0, w), std::clamp(YScr2Bmp(sy), 0, h));
  }
  AniPolyFunc(this);
}

void TPictavoView::HoverMove(TShiftState shift, int& x, int& y) {
  if (poly_drawing_) {
    DrawRubberBand();  // erases the band at its old end
    if (shift.Contains(ssCtrl) && !polygon_.empty() && !PVIsBreak(polygon_.back()))
      _CastPolySelCC(XBmp2Scr(polygon_.back().x), YBmp2Scr(polygon_.back().y), x, y);
    band_ = Point(x, y);
    DrawRubberBand();
    if (OnSelectionChanging) OnSelectionChanging(this);
    return;
  }
  if (!AnySelectionItem(mouse_interact_)) return;
  switch (GetResizingGrip(x, y)) {
    case -1:
      ShowCursorShape(GetMovingGrip(x, y) >= 0 ? kPVCursorMove : own_cursor_);
      break;
    case 1:
    case 3:
      ShowCursorShape(kPVCursorSizeNESW);
      break;
    case 4:
    case 5:
      ShowCursorShape(kPVCursorSizeWE);
      break;
    case 6:
    case 7:
      ShowCursorShape(kPVCursorSizeNS);
      break;
    default:
      ShowCursorShape(kPVCursorSizeNWSE);
      break;
  }
}

void TPictavoView::DrawRubberBand() {
  if (polygon_.empty() || PVIsBreak(polygon_.back())) return;
  TCanvas& canvas = GetCanvas();
  const TPen saved = canvas.Pen();
  canvas.Pen().SetMode(pmNot);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  canvas.MoveTo(band_.x, band_.y);
  canvas.LineTo(XBmp2Scr(polygon_.back().x), YBmp2Scr(polygon_.back().y));
  canvas.Pen().Assign(saved);
}

// --- Automatic scroll ------------------------------------------------------------------------

bool TPictavoView::MouseMoveScroll() {
  const TPoint p = ScreenToClient(GetCursorPos());
  const TPVViewGeometry& g = geometry_;
  int dx = 0, dy = 0;
  if (p.x < g.OffsetX)
    dx = p.x - g.OffsetX;
  else if (p.x > g.OffsetX + g.ExtentX - 1)
    dx = p.x - (g.OffsetX + g.ExtentX - 1);
  if (p.y < g.OffsetY)
    dy = p.y - g.OffsetY;
  else if (p.y > g.OffsetY + g.ExtentY - 1)
    dy = p.y - (g.OffsetY + g.ExtentY - 1);
  bool moved = false;
  if (dx != 0 || dy != 0) {
    const int vx = g.ViewX, vy = g.ViewY;
    SetViewXY(vx + dx, vy + dy);
    const int mx = g.ViewX - vx, my = g.ViewY - vy;
    moved = mx != 0 || my != 0;
    if (moved) {
      // The press keeps pointing at the same bitmap pixel.
      press_.x -= mx, press_.y -= my;
      SubMouseMoveScroll(mx, my);
    }
  }
  scroll_timer_->SetEnabled(moved);
  return moved;
}

void TPictavoView::SubMouseMoveScroll(int dx, int dy) {
  band_.x -= dx, band_.y -= dy;
  prev_.x -= dx, prev_.y -= dy;
}

void TPictavoView::AutoScrollTick() {
  if (!GetMouseCapture() || !press_active_) {
    scroll_timer_->SetEnabled(false);
    return;
  }
  const TPoint p = ScreenToClient(GetCursorPos());
  const TPVSelectionBase savedBase = selection_base_;
  selection_base_ = pvsbClientArea;
  int x = p.x, y = p.y;
  ClampToImage(x, y);
  DragMove(drag_shift_, x, y, p.x, p.y);
  band_ = prev_ = Point(x, y);
  selection_base_ = savedBase;
}

// --- Release -----------------------------------------------------------------------------------

bool TPictavoView::ZoomClick(TMouseButton button, int x, int y) {
  if (!mouse_interact_.Contains(miZoom) || x != press_.x || y != press_.y) return false;
  if (button == mbLeft)
    ZoomAt(x, y, PVZoomInStep(geometry_.Zoom));
  else if (button == mbRight)
    ZoomAt(x, y, PVZoomOutStep(geometry_.Zoom));
  else
    return false;
  // A click is no drag: nothing of a gesture stays pending.
  rect_dragging_ = ellipse_dragging_ = false;
  resize_grip_ = move_grip_ = -1;
  return true;
}

void TPictavoView::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPVView::MouseUp(Button, Shift, X, Y);
  if (!press_active_) return;
  scroll_timer_->SetEnabled(false);
  const TPVSelectionBase savedBase = selection_base_;
  selection_base_ = pvsbClientArea;
  auto change = [this] {
    if (OnSelectionChange) OnSelectionChange(this);
  };
  const bool left = Button == mbLeft;
  if (ZoomClick(Button, X, Y)) {
  } else if (left && mouse_interact_.Contains(miScroll)) {
    SetViewXY(press_view_x_ + press_.x - X, press_view_y_ + press_.y - Y);
  } else if (left && mouse_interact_.Contains(miSelectZoom)) {
    rect_dragging_ = false;
    ZoomSelection();
  } else if (left && mouse_interact_.Contains(miSelect)) {
    if (rect_dragging_ || resize_grip_ >= 0 || move_grip_ >= 0) EndSelect();
    rect_dragging_ = false;
    resize_grip_ = move_grip_ = -1;
    AniPolyFunc(this);  // the squares come back
    change();
  } else if (left && mouse_interact_.Contains(miSelectCircle)) {
    if (ellipse_dragging_ || move_grip_ >= 0) EndSelect();
    ellipse_dragging_ = false;
    move_grip_ = -1;
    change();
  } else if (left && mouse_interact_.Contains(miSelectPolygon)) {
    if (move_grip_ >= 0) {
      EndSelect();
      move_grip_ = -1;
      change();
    }
  } else if (left && mouse_interact_.Contains(miSelectMagicWand)) {
    if (move_grip_ < 0) {
      ShowCursorShape(crHourGlass);
      SelectMagicWand(X, Y, Shift.Contains(ssShift) ? pvspAdd : pvspReplace);
      ShowCursorShape(own_cursor_);
    } else {
      EndSelect();
      move_grip_ = -1;
    }
    change();
  }
  zoom_filter_ = saved_filter_;
  selection_base_ = savedBase;
  press_active_ = false;
}

void TPictavoView::MouseDoubleClick(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TPVView::MouseDoubleClick(Button, Shift, X, Y);
  if (Button != mbLeft || !poly_drawing_) return;
  AnimPolygonRemoveLastPoint(&sel_poly_);
  EndSelect();
  poly_drawing_ = false;
  RepaintUnlessLocked();  // the rubber band goes
  AniPolyFunc(this);
  if (OnSelectionChange) OnSelectionChange(this);
}

}  // namespace pictavo
