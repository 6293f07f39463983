// The animated polygon list of TPictavoView and the outline painter.
#include "view/anim_polygon.h"

#include <algorithm>
#include <cstdlib>

#include "platform/canvas.h"
#include "view/mouse_interact.h"
#include "view/pictavoview.h"

namespace pictavo {

void TPVAnimPolygon::Append(const TPoint& p) {
  if (Points.size() % kPVPolygonBlock == 0) Points.reserve(Points.size() + kPVPolygonBlock);
  Points.push_back(p);
}

bool PVIsBreak(const TPoint& p) {
  return p.x == kPVSelBreak && p.y == kPVSelBreak;
}

TPoint PVBreakPoint() {
  return Point(kPVSelBreak, kPVSelBreak);
}

bool _IsRectangle(const TPoint* p, int count) {
  if (count != 4) return false;
  // Edge i joins p[i - 1] and p[i]; the closing edge P3->P0 comes first.
  auto horizontal = [&](int a, int b) { return p[a].y == p[b].y && p[a].x != p[b].x; };
  auto vertical = [&](int a, int b) { return p[a].x == p[b].x && p[a].y != p[b].y; };
  bool expectHorizontal = horizontal(3, 0);
  if (!expectHorizontal && !vertical(3, 0)) return false;
  for (int i = 1; i < 4; ++i) {
    expectHorizontal = !expectHorizontal;
    if (expectHorizontal ? !horizontal(i - 1, i) : !vertical(i - 1, i)) return false;
  }
  return true;
}

void PVForEachOutlineSegment(const std::vector<TPoint>& points, bool open,
                             const std::function<void(const TPoint&, const TPoint&)>& fn) {
  const size_t n = points.size();
  size_t first = 0;  // start of the current sub-polygon
  for (size_t i = 0; i < n; ++i) {
    if (PVIsBreak(points[i])) {
      if (i > first) fn(points[i - 1], points[first]);
      first = i + 1;
    } else if (i > first) {
      fn(points[i - 1], points[i]);
    }
  }
  if (!open && n > first) fn(points[n - 1], points[first]);
}

// --- The list -------------------------------------------------------------------------

void TPictavoView::InitSelection() {
  sel_poly_.Canvas = nullptr;
  anim_list_.push_back(&sel_poly_);
  if (GetDesigning()) outline_timer_->SetEnabled(false);
  scroll_timer_ = std::make_unique<TTimer>();
  scroll_timer_->SetEnabled(false);
  scroll_timer_->SetInterval(kPVAutoScrollMs);
  scroll_timer_->SetOnTimer([this](TObject*) { AutoScrollTick(); });
  PVRegisterViewCursors();
}

void TPictavoView::RepaintUnlessLocked() {
  if (paint_lock_ == 0) Repaint();
}

TPVAnimPolygon* TPictavoView::AnimPolygonNew(TColor color1, TColor color2, bool animated,
                                             bool sizeable) {
  auto polygon = std::make_unique<TPVAnimPolygon>();
  polygon->SelColor1 = color1;
  polygon->SelColor2 = color2;
  polygon->Animated = animated;
  polygon->Sizeable = sizeable;
  TPVAnimPolygon* p = polygon.get();
  anim_owned_.push_back(std::move(polygon));
  anim_list_.push_back(p);
  if (anim_list_.size() == 1 && !GetDesigning()) outline_timer_->SetEnabled(true);
  return p;
}

void TPictavoView::AnimPolygonDel(TPVAnimPolygon* polygon) {
  if (!polygon || polygon == &sel_poly_) return;  // the selection stays
  auto it = std::find(anim_list_.begin(), anim_list_.end(), polygon);
  if (it == anim_list_.end()) return;
  anim_list_.erase(it);
  std::erase_if(anim_owned_, [&](const auto& owned) { return owned.get() == polygon; });
  if (anim_list_.empty()) outline_timer_->SetEnabled(false);
  RepaintUnlessLocked();
}

void TPictavoView::AnimPolygonClear(TPVAnimPolygon* polygon) {
  polygon->Points.clear();
  RepaintUnlessLocked();
}

void TPictavoView::AnimPolygonAddPtEx(TPVAnimPolygon* polygon, int x, int y) {
  TPVAnimPolygon& p = *polygon;
  p.Append(Point(x, y));
  has_selection_ = true;
  if (p.Count() == 2) {
    const TPoint a = p.Points[0];
    p.X1 = std::min(a.x, x), p.X2 = std::max(a.x, x);
    p.Y1 = std::min(a.y, y), p.Y2 = std::max(a.y, y);
  } else if (p.Count() > 2) {
    p.X1 = std::min(p.X1, x), p.X2 = std::max(p.X2, x);
    p.Y1 = std::min(p.Y1, y), p.Y2 = std::max(p.Y2, y);
  }
}

void TPictavoView::AnimPolygonAddPt(TPVAnimPolygon* polygon, int x, int y) {
  AnimPolygonAddPtEx(polygon, x, y);
  RepaintUnlessLocked();
}

void TPictavoView::AnimPolygonAddBreak(TPVAnimPolygon* polygon) {
  if (polygon->Points.empty() || !PVIsBreak(polygon->Points.back()))
    polygon->Append(PVBreakPoint());
}

void TPictavoView::AnimPolygonRemoveLast(TPVAnimPolygon* polygon) {
  std::vector<TPoint>& pts = polygon->Points;
  auto last = std::find_if(pts.rbegin(), pts.rend(), PVIsBreak);
  if (last == pts.rend())
    pts.clear();
  else
    pts.erase(std::prev(last.base()), pts.end());
  RepaintUnlessLocked();
}

void TPictavoView::AnimPolygonRemoveLastPoint(TPVAnimPolygon* polygon) {
  std::vector<TPoint>& pts = polygon->Points;
  if (pts.empty()) return;
  pts.pop_back();
  while (!pts.empty() && PVIsBreak(pts.back())) pts.pop_back();
}

void TPictavoView::AnimPolygonMove(TPVAnimPolygon* polygon, int dx, int dy, int maxX, int maxY) {
  RepaintUnlessLocked();
  TPVAnimPolygon& p = *polygon;
  auto cx = [&](int v) { return std::clamp(v + dx, 0, std::max(maxX, 0)); };
  auto cy = [&](int v) { return std::clamp(v + dy, 0, std::max(maxY, 0)); };
  p.X1 = cx(p.X1), p.X2 = cx(p.X2), p.Y1 = cy(p.Y1), p.Y2 = cy(p.Y2);
  for (TPoint& pt : p.Points)
    if (!PVIsBreak(pt)) pt = Point(cx(pt.x), cy(pt.y));
}

// --- The painter ------------------------------------------------------------------------

void TPictavoView::AniPolyFunc(TObject* sender) {
  const bool tick = sender != nullptr && sender == outline_timer_.get();
  for (TPVAnimPolygon* polygon : anim_list_)
    if (polygon->Visible) DrawOutline(*polygon, tick);
  // The delayed zoom filter: the run that brings the counter from 1 to 0
  // lays out again, which repaints with the filter.
  if (FilterDelay > 0) {
    --FilterDelay;
    if (FilterDelay == 0) Update();
  }
}

void TPictavoView::DrawOutline(TPVAnimPolygon& polygon, bool tick) {
  if (polygon.Animated && tick && !rect_dragging_ && !poly_drawing_ && !ellipse_dragging_)
    polygon.Phase = (polygon.Phase + 1) % kPVDashPeriod;
  if (paint_lock_ != 0 || polygon.Points.empty()) return;
  TCanvas& canvas = polygon.Canvas ? *polygon.Canvas : GetCanvas();
  const TPVViewGeometry& g = geometry_;
  const double r = g.ZoomedWidth > 0 ? double(bitmap_->GetWidth()) / g.ZoomedWidth : 1.0;
  const int ox = PVRound(-g.ViewX * r), oy = PVRound(-g.ViewY * r);
  auto toScreen = [&](const TPoint& p) {
    return Point(PVRound(g.ZoomFactor * (double(ox) + p.x) + g.OffsetX),
                 PVRound(g.ZoomFactor * (double(oy) + p.y) + g.OffsetY));
  };
  const TColor c1 = polygon.SelColor1, c2 = polygon.SelColor2;
  const TRect visible = canvas.ClipRect();
  int counter = polygon.Phase;
  PVForEachOutlineSegment(polygon.Points, poly_drawing_, [&](const TPoint& a, const TPoint& b) {
    const TPoint s = toScreen(a), e = toScreen(b);
    const int steps = std::max(std::abs(e.x - s.x), std::abs(e.y - s.y));
    // A segment that cannot touch the visible area only moves the pattern.
    if (std::max(s.x, e.x) < visible.Left || std::min(s.x, e.x) >= visible.Right ||
        std::max(s.y, e.y) < visible.Top || std::min(s.y, e.y) >= visible.Bottom) {
      counter = (counter + steps) % kPVDashPeriod;
      return;
    }
    LineDDA(s.x, s.y, e.x, e.y, [&](int x, int y) {
      canvas.SetPixel(x, y, counter < kPVDashHalf ? c1 : c2);
      counter = counter == kPVDashPeriod - 1 ? 0 : counter + 1;
    });
  });
  polygon.DashCounter = counter;
  if (polygon.Sizeable && !rect_dragging_ && _IsRectangle(polygon.Points.data(), polygon.Count()))
    DrawGripSquares(canvas, polygon);
}

void TPictavoView::DrawGripSquares(TCanvas& canvas, const TPVAnimPolygon& polygon) {
  const TPen pen = canvas.Pen();
  const TBrush brush = canvas.Brush();
  canvas.Pen().SetMode(pmCopy);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(polygon.SelColor1);
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(polygon.SelColor2);
  for (const TPoint& p : polygon.Points) {
    const int x = XBmp2Scr(p.x), y = YBmp2Scr(p.y);
    canvas.Rectangle(x - kPVGripHalf, y - kPVGripHalf, x + kPVGripHalf, y + kPVGripHalf);
  }
  canvas.Pen().Assign(pen);
  canvas.Brush().Assign(brush);
}

}  // namespace pictavo
