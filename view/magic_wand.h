// The magic wand: the 4-connected area of similar colour round a seed pixel
// of a pf24bit bitmap, returned as the outline polygon of its outer
// boundary (enclosed holes are part of the selection).
//
// The outline is traced on a grid four times finer than the pixels, where
// each filled pixel is a 4 x 4 block of cells with a one-cell gap round the
// area's box; boundary cells are those just outside a run of block cells in
// any of the four scan directions.  The trace starts at the boundary cell
// nearest the top-left corner of their box and follows unvisited boundary
// cells in a fixed order of directions; corners of the path become points,
// divided by 4, so they lie on pixel corners.
//
// Working storage is bounded: the fill keeps a bit map of the bitmap and a
// span stack; the fine grid is never stored whole - boundary cells are
// computed per row from the pixel bits of at most three pixel rows, and the
// trace keeps one visited bit per boundary cell (two bits per fine cell in
// total at most, about 16 bits per pixel of the area's box).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace pictavo {

class TBitmap;

// Tolerance is compared with max(|dB|, |dG|, |dR|).  With maxFilter every
// filled pixel also fills its eight neighbours inside the box.  Returns the
// outline points (empty for a bitmap that is not pf24bit or a seed outside
// it).
std::vector<TPoint> PVMagicWand(const TBitmap& bitmap, int x, int y, bool maxFilter, int tolerance);

}  // namespace pictavo
