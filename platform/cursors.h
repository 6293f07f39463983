// Cursor images drawn by the library itself: the standard shapes (arrow,
// cross, I-beam, hourglass, size arrows, hand, ...) and the cursor
// resources that programs load by name: "ZOOMMENO" (zoom out), "ZOOMPIU"
// (zoom in), "CROCE", "CROCE1", "CROCE2" (crosses), "GOMMA" (eraser),
// "MANO" (hand), "PENNA" (pen), "MOVE" (four-way move), "MOVEX" (left-right),
// "MOVEY" (up-down), "MOVE1" (top-right / bottom-left), "MOVE2" (top-left /
// bottom-right).  Each image is a 16 x 16 picture in black and white, doubled
// to 32 x 32, with a transparent mask.
#pragma once

#include <string>
#include <vector>

#include "platform/screen.h"

namespace pictavo {

// The cursor resource of that name (upper case), or an empty image.
TCursorImage LoadCursorResource(const std::string& name);
// Every resource name known to LoadCursorResource.
std::vector<std::string> CursorResourceNames();
// The built-in image of a standard cursor (crArrow when unknown).
TCursorImage StandardCursorImage(TCursor cursor);

// Builds an image from rows of text ('#' black, '.' white, anything else
// transparent), each picture pixel doubled, with the hot spot given in
// picture pixels.
TCursorImage CursorFromPicture(const std::vector<std::string>& rows, TPoint hotspot,
                               const std::string& name);

}  // namespace pictavo
