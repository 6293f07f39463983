// Selection helpers of the image view shared with the vector layer: the
// Ctrl constraint of polygon drawing, the point-to-point, point-to-line and
// point-to-segment distances, and the rectangle tests.  The selection
// operations themselves are members of TPictavoView (selection.cpp).
#pragma once

#include <cstdint>

namespace pictavo {

// Threshold (client pixels) between a horizontal or vertical constraint and
// a diagonal one.
constexpr int kPVCastThreshold = 30;

// Constrains (x, y) against (x0, y0) to a vertical, horizontal or 45-degree
// line, as polygon drawing does with Ctrl held.
void _CastPolySelCC(int x0, int y0, int& x, int& y);

// Distances on integer coordinates; products are 32-bit as in the rest of
// the selection code, the results floating point.
double _DistPoint2Point(int x1, int y1, int x2, int y2);
// Distance to the infinite line through (x1, y1) and (x2, y2).
double _DistPoint2Line(int px, int py, int x1, int y1, int x2, int y2);
// Distance to the segment (x1, y1)-(x2, y2).
double _DistPoint2Seg(int px, int py, int x1, int y1, int x2, int y2);

// x1 <= x <= x2 and y1 <= y <= y2.
bool _InRect(int x, int y, int x1, int y1, int x2, int y2);
// The same with the corners in any order.
bool _InRectO(int x, int y, int x1, int y1, int x2, int y2);
// The rectangles overlap, edges included (a in any order, b ordered).
bool _RectXRect(int ax1, int ay1, int ax2, int ay2, int bx1, int by1, int bx2, int by2);
// 2: b lies inside a; 1: partly inside; 0: otherwise (a ordered).
int _RectPRect(int ax1, int ay1, int ax2, int ay2, int bx1, int by1, int bx2, int by2);

}  // namespace pictavo
