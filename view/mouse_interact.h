// Mouse interaction of the image view: the gesture rules of MouseInteract,
// the press / move / release state machine (zoom clicks, scrolling,
// rectangle with resize squares and moving, polygon with rubber band and
// freehand, ellipse, zoom-to-rectangle, magic wand), the automatic scroll
// while dragging outside the image (one step per tick of a short timer),
// the cursors and the navigation keys.  The handlers are members of
// TPictavoView (mouse_interact.cpp).
#pragma once

#include "platform/control.h"
#include "view/pictavoview.h"

namespace pictavo {

// Cursors the view registers with the screen, from the resources of the
// same names, numbered kPVCursorZoomOut .. kPVCursorMove.
constexpr TCursor kPVCursorZoomOut = 1778;   // "ZOOMMENO"
constexpr TCursor kPVCursorZoomIn = 1779;    // "ZOOMPIU"
constexpr TCursor kPVCursorCross = 1780;     // "CROCE"
constexpr TCursor kPVCursorEraser = 1781;    // "GOMMA"
constexpr TCursor kPVCursorHand = 1782;      // "MANO"
constexpr TCursor kPVCursorPen = 1783;       // "PENNA"
constexpr TCursor kPVCursorCross1 = 1784;    // "CROCE1"
constexpr TCursor kPVCursorCross2 = 1785;    // "CROCE2", the view's default
constexpr TCursor kPVCursorSizeNWSE = 1786;  // "MOVE2": grips 0 and 2
constexpr TCursor kPVCursorSizeNS = 1787;    // "MOVEY": grips 6 and 7
constexpr TCursor kPVCursorSizeNESW = 1788;  // "MOVE1": grips 1 and 3
constexpr TCursor kPVCursorSizeWE = 1789;    // "MOVEX": grips 4 and 5
constexpr TCursor kPVCursorMove = 1790;      // "MOVE": over selected pixels

// Registers the thirteen cursors with the screen when they are missing.
void PVRegisterViewCursors();

// The next zoom of a left (in) or right (out) zoom click.
double PVZoomInStep(double zoom);
double PVZoomOutStep(double zoom);

}  // namespace pictavo
