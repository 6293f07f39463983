// Selection gestures of the view demo: keys that choose what the mouse does.
#pragma once

#include "view/pictavoview.h"

namespace pictavo {

// Adds keys to the view's OnKeyDown (the previous handler still runs):
// Z zoom clicks with drag scrolling, S rectangle (squares resize, drag
// inside moves), P polygon (clicks, freehand drag, double click ends), E
// ellipse (Ctrl: circle), W magic wand (Shift adds), R zoom to a dragged
// rectangle, N no gesture, D drops the selection, +/- wand tolerance.
// Shift with S, P or E adds to the selection.
void InstallSelectionGestures(TPictavoView& view);

}  // namespace pictavo
