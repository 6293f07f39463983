// Screen facts the view unit reads once, the first time a view is used:
// colour depth, resolution (also the default resolution of images read
// without one), the 3-D edge size, and whether the processor has MMX.
#pragma once

namespace pictavo {

extern int gSystemColors;  // bits per pixel of the screen
extern bool gMMX;          // true on x86-64
extern int gEdgeX;         // width of a 3-D window edge
extern int gEdgeY;         // height of a 3-D window edge
// gSystemDPIX and gSystemDPIY live in core/pvdefs.h.

// Reads the globals from the screen the first time it is called.
void PVInitViewGlobals();
// Reads them again (tests that change the screen's metrics).
void PVReadViewGlobals();

}  // namespace pictavo
