// The area round the image in the view: the eleven background styles, and
// the soft shadow painters used by the shadowed style (free functions, also
// available to applications).
#pragma once

#include <cstdint>

#include "platform/canvas.h"
#include "platform/colors.h"
#include "platform/types.h"

namespace pictavo {

enum TPVBackgroundStyle : uint8_t {
  pvbsSolid,
  pvbsHorizontal,
  pvbsVertical,
  pvbsFDiagonal,
  pvbsBDiagonal,
  pvbsCross,
  pvbsDiagCross,
  pvbsChessboard,
  pvbsDiagonals,
  pvbsCropped,
  pvbsCropShadow
};

enum TPVShadowType : uint8_t { pvstNone, pvstSolid, pvstSmooth1, pvstSmooth2 };

// Side of a chessboard square and width of the soft shadow.
constexpr int kPVChessSquare = 16;
constexpr int kPVShadowMargin = 5;

// The colour with every bit of its RGB value inverted (system colours are
// resolved first).
TColor PVComplementColor(TColor color);

// Paints the style over (0, 0, width, height); `image` is where the image
// lies (the cropped styles frame it).  In design mode the cropped styles are
// a plain fill with `color`.
void PVPaintBackground(TCanvas& canvas, TPVBackgroundStyle style, TColor color, int width,
                       int height, const TRect& image, bool designing);

// Margins that Fit and AutoFit leave for a style.
void PVBackgroundMargins(TPVBackgroundStyle style, int edgeX, int edgeY, int& marginX,
                         int& marginY);

// A shadow to the right of an image edge running from (X1, Y1) to (X2, Y2):
// X2 - X1 + 1 pixels thick, Y2 - Y1 + 1 long.
void PVRightShadow(TCanvas& canvas, int X1, int Y1, int X2, int Y2, TPVShadowType shadowType);
// The same below an image: X2 - X1 + 1 long, Y2 - Y1 + 1 thick.
void PVBottomShadow(TCanvas& canvas, int X1, int Y1, int X2, int Y2, TPVShadowType shadowType);

}  // namespace pictavo
