#include "view/background.h"

#include <algorithm>
#include <cmath>

#include "view/view_globals.h"

namespace pictavo {

namespace {

constexpr double kE = 2.718281828459045;

TColor Grey(int v) {
  return TColor(v) | (TColor(v) << 8) | (TColor(v) << 16);
}

// Grey level of a shadow at fraction t of its thickness: exp(t) / e * 255.
int ShadowLevel(double t) {
  return static_cast<int>(std::trunc(std::exp(t) / kE * 255));
}

void Fill(TCanvas& canvas, TColor color, TBrushStyle style, int width, int height) {
  canvas.Brush().SetColor(color);
  canvas.Brush().SetStyle(style);
  canvas.FillRect(Rect(0, 0, width, height));
}

void PaintChessboard(TCanvas& canvas, TColor color, int width, int height) {
  const TColor colors[2] = {PVComplementColor(color), color};
  canvas.Brush().SetStyle(bsSolid);
  for (int y = 0, row = 0; y < height; y += kPVChessSquare, ++row) {
    for (int x = 0, col = 0; x < width; x += kPVChessSquare, ++col) {
      canvas.Brush().SetColor(colors[(row + col) & 1]);
      canvas.FillRect(Rect(x, y, x + kPVChessSquare, y + kPVChessSquare));
    }
  }
}

void PaintDiagonals(TCanvas& canvas, TColor color, int width, int height) {
  Fill(canvas, color, bsSolid, width, height);
  TPen saved = canvas.Pen();
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetMode(pmCopy);
  canvas.Pen().SetWidth(1);
  canvas.Pen().SetColor(PVComplementColor(color));
  canvas.MoveTo(0, 0);
  canvas.LineTo(width, height);
  canvas.MoveTo(width, 0);
  canvas.LineTo(0, height);
  canvas.Pen().Assign(saved);
}

// A one-pixel line in grey from (x0, y0) towards (x1, y1), end excluded.
void GreyLine(TCanvas& canvas, int level, int x0, int y0, int x1, int y1) {
  canvas.Pen().SetColor(Grey(level));
  canvas.MoveTo(x0, y0);
  canvas.LineTo(x1, y1);
}

// Runs `line` with a solid one-pixel copy pen and restores the pen.
template <typename Fn>
void WithShadowPen(TCanvas& canvas, Fn&& line) {
  TPen saved = canvas.Pen();
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetMode(pmCopy);
  canvas.Pen().SetWidth(1);
  line();
  canvas.Pen().Assign(saved);
}

// The smooth-2 shadow in shadow coordinates: `along` from 0 to length,
// `across` from k to thickness; set(along, across, grey) writes a pixel.
template <typename Set>
void SmoothTwo(int length, int thickness, Set&& set) {
  int k = 0;
  for (int j = 0; j <= length; ++j) {
    int base = std::clamp(ShadowLevel(double(length - 3 * j) / length), 0, 255);
    if (j > length - thickness + 1) ++k;
    for (int i = k; i <= thickness; ++i)
      set(j, i, Grey(std::max(ShadowLevel(double(i) / thickness), base)));
  }
}

}  // namespace

TColor PVComplementColor(TColor color) {
  return ~ColorToRGB(color) & 0xFFFFFF;
}

void PVBackgroundMargins(TPVBackgroundStyle style, int edgeX, int edgeY, int& marginX,
                         int& marginY) {
  marginX = marginY = 0;
  if (style == pvbsCropped) {
    marginX = edgeX;
    marginY = edgeY;
  } else if (style == pvbsCropShadow) {
    marginX = marginY = kPVShadowMargin;
  }
}

void PVPaintBackground(TCanvas& canvas, TPVBackgroundStyle style, TColor color, int width,
                       int height, const TRect& image, bool designing) {
  static constexpr TBrushStyle kHatches[] = {bsSolid,     bsHorizontal, bsVertical, bsFDiagonal,
                                             bsBDiagonal, bsCross,      bsDiagCross};
  TBrush saved = canvas.Brush();
  switch (style) {
    case pvbsChessboard:
      PaintChessboard(canvas, color, width, height);
      break;
    case pvbsDiagonals:
      PaintDiagonals(canvas, color, width, height);
      break;
    case pvbsCropped:
      if (designing) {
        Fill(canvas, color, bsSolid, width, height);
        break;
      }
      Fill(canvas, clBtnFace, bsSolid, width, height);
      canvas.DrawEdge(Rect(image.Left - gEdgeX, image.Top - gEdgeY, image.Right + gEdgeX,
                           image.Bottom + gEdgeY),
                      EDGE_SUNKEN, BF_RECT);
      break;
    case pvbsCropShadow:
      if (designing) {
        Fill(canvas, color, bsSolid, width, height);
        break;
      }
      Fill(canvas, clBtnFace, bsSolid, width, height);
      PVRightShadow(canvas, image.Right, image.Top, image.Right + kPVShadowMargin, image.Bottom + 3,
                    pvstSmooth1);
      PVBottomShadow(canvas, image.Left, image.Bottom, image.Right + 4,
                     image.Bottom + kPVShadowMargin, pvstSmooth1);
      break;
    default:
      // Hatch brushes leave their gaps alone: a white base first, so that
      // nothing painted earlier shows through.
      if (style != pvbsSolid && style <= pvbsDiagCross)
        Fill(canvas, clWhite, bsSolid, width, height);
      Fill(canvas, color, style <= pvbsDiagCross ? kHatches[style] : bsSolid, width, height);
      break;
  }
  canvas.Brush().Assign(saved);
}

void PVRightShadow(TCanvas& canvas, int X1, int Y1, int X2, int Y2, TPVShadowType shadowType) {
  const int w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  if (w < 1 || h < 1) return;
  switch (shadowType) {
    case pvstSolid:
      canvas.FillRect(Rect(X1, Y1 + w, X2, Y2 + 1));
      break;
    case pvstSmooth1:
      WithShadowPen(canvas, [&] {
        for (int i = 0; i < w; ++i)
          GreyLine(canvas, ShadowLevel(double(i) / w), X1 + i, Y1 + w, X1 + i, Y2 - w + i + 3);
      });
      break;
    case pvstSmooth2:
      SmoothTwo(h, w, [&](int j, int i, TColor c) { canvas.SetPixel(X1 + i, Y1 + j, c); });
      break;
    default:
      break;
  }
}

void PVBottomShadow(TCanvas& canvas, int X1, int Y1, int X2, int Y2, TPVShadowType shadowType) {
  const int w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  if (w < 1 || h < 1) return;
  switch (shadowType) {
    case pvstSolid:
      canvas.FillRect(Rect(X1 + h, Y1, X2 + 1, Y2));
      break;
    case pvstSmooth1:
      WithShadowPen(canvas, [&] {
        for (int j = 0; j < h; ++j)
          GreyLine(canvas, ShadowLevel(double(j) / h), X1 + h, Y1 + j, X2 - h + j + 3, Y1 + j);
      });
      break;
    case pvstSmooth2:
      SmoothTwo(w, h, [&](int j, int i, TColor c) { canvas.SetPixel(X1 + j, Y1 + i, c); });
      break;
    default:
      break;
  }
}

}  // namespace pictavo
