// Animated polygons of the image view: point lists in bitmap coordinates,
// sub-polygons separated by break markers, drawn over the painted image as
// a marching-ants outline (3 pixels of each colour, the pattern shifted one
// pixel per tick of the view's 150 ms outline timer) with optional resize
// squares at the corners of a rectangle.  The view always holds one, the
// selection polygon; programs may add more (AnimPolygonNew).
//
// The list operations are members of TPictavoView (anim_polygon.cpp); this
// header holds the record and the pure helpers the painter uses.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/colors.h"
#include "platform/types.h"

namespace pictavo {

class TCanvas;

// Length of the dash pattern: 3 pixels of SelColor1, then 3 of SelColor2.
constexpr int kPVDashPeriod = 6;
constexpr int kPVDashHalf = 3;
// Half size of the resize squares, in client pixels.
constexpr int kPVGripHalf = 3;
// Points are stored in blocks of this many.
constexpr int kPVPolygonBlock = 64;

struct TPVAnimPolygon {
  std::vector<TPoint> Points;  // bitmap coordinates, break markers included
  TColor SelColor1 = clBlack;  // first dash colour, outline of the squares
  TColor SelColor2 = clWhite;  // second dash colour, fill of the squares
  bool Animated = true;
  int Phase = 0;  // 0..5, advanced by the timer
  int DashCounter = 0;
  TCanvas* Canvas = nullptr;  // null: the view's canvas
  bool Visible = true;
  bool Sizeable = true;
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // box of the points

  int Count() const { return static_cast<int>(Points.size()); }
  // Appends one entry, growing the storage in blocks of kPVPolygonBlock.
  void Append(const TPoint& p);
};

// True for the break marker (0xFFFFF, 0xFFFFF).
bool PVIsBreak(const TPoint& p);
TPoint PVBreakPoint();

// Four points whose edges (the closing edge first) alternate between
// horizontal and vertical, each of non-zero length.
bool _IsRectangle(const TPoint* points, int count);

// The segments of the outline in drawing order: each sub-polygon's edges,
// closed at a break marker, and the last one closed too unless `open` (a
// polygon still being drawn with the mouse).
void PVForEachOutlineSegment(const std::vector<TPoint>& points, bool open,
                             const std::function<void(const TPoint&, const TPoint&)>& fn);

}  // namespace pictavo
