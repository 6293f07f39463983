// Demo section of the canvas: every line, shape, pen style and mode, the
// 3-D edges and text in three faces, straight and rotated, written as PNG.
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "codecs/png.h"
#include "io/ioparams.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

void SavePng(TBitmap& bmp, const std::string& path) {
  TMemoryStream s;
  TIOParamsVals params;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePNGStream(s, bmp, params, progress);
  if (aborted) throw std::runtime_error("PNG write failed");
  s.SaveToFile(path);
}

std::string Saved(TBitmap& bmp, DemoContext& demo, const std::string& name) {
  SavePng(bmp, demo.Path(name));
  return name + " " + std::to_string(bmp.GetWidth()) + "x" + std::to_string(bmp.GetHeight());
}

void Clear(TBitmap& bmp, TColor colour) {
  TCanvas& c = bmp.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(colour);
  c.FillRect(Rect(0, 0, bmp.GetWidth(), bmp.GetHeight()));
}

void Label(TCanvas& c, int x, int y, const std::string& text) {
  c.Font().SetName("Arial");
  c.Font().SetHeight(-11);
  c.Font().SetColor(clBlack);
  c.Font().SetStyle(0);
  c.Font().SetOrientation(0);
  c.SetBkMode(TRANSPARENT);
  c.TextOut(x, y, text);
  c.SetBkMode(OPAQUE);
}

// A star of lines, pens of widths 1 to 9 and the dash styles.
std::string DrawLines(DemoContext& demo) {
  TBitmap bmp(640, 400, pf24bit);
  Clear(bmp, clWhite);
  TCanvas& c = bmp.Canvas();
  for (int k = 0; k < 32; ++k) {
    double a = k * M_PI / 16;
    c.Pen().SetColor(RGB(uint8_t(k * 8), 0, uint8_t(255 - k * 8)));
    c.MoveTo(100, 110);
    c.LineTo(100 + int(std::lround(90 * std::cos(a))), 110 - int(std::lround(90 * std::sin(a))));
  }
  Label(c, 60, 210, "32 rays, width 1");
  for (int w = 1; w <= 9; ++w) {
    c.Pen().SetWidth(w);
    c.Pen().SetColor(clNavy);
    c.MoveTo(220, 20 + w * 18);
    c.LineTo(360, 10 + w * 22);
    c.LineTo(400, 30 + w * 18);
  }
  c.Pen().SetWidth(1);
  Label(c, 230, 230, "widths 1..9, round caps and joins");
  const TPenStyle styles[] = {psSolid, psDash, psDot, psDashDot, psDashDotDot, psInsideFrame};
  const char* names[] = {"psSolid",   "psDash",       "psDot",
                         "psDashDot", "psDashDotDot", "psInsideFrame"};
  c.Brush().SetColor(clYellow);
  for (int i = 0; i < 6; ++i) {
    c.Pen().SetStyle(styles[i]);
    c.Pen().SetColor(clBlack);
    c.SetBkMode(TRANSPARENT);
    c.MoveTo(440, 20 + i * 30);
    c.LineTo(620, 20 + i * 30);
    c.SetBkMode(OPAQUE);
    c.MoveTo(440, 30 + i * 30);
    c.LineTo(620, 30 + i * 30);
    Label(c, 440, 32 + i * 30, names[i]);
  }
  c.Pen().SetStyle(psDot);
  c.SetBkMode(TRANSPARENT);
  c.Brush().SetStyle(bsClear);
  c.Polyline({Point(20, 260), Point(200, 380), Point(300, 260), Point(420, 380), Point(620, 260)});
  c.Pen().SetStyle(psSolid);
  c.Brush().SetStyle(bsSolid);
  Label(c, 20, 382, "dotted polyline: the pattern runs on across the corners");
  return Saved(bmp, demo, "canvas_lines.png");
}

void ShapeRow(TCanvas& c, int y, const std::string& label) {
  c.Rectangle(10, y, 80, y + 60);
  c.RoundRect(90, y, 170, y + 60, 24, 20);
  c.Ellipse(180, y, 260, y + 60);
  c.Arc(270, y, 350, y + 60, 350, y, 270, y);
  c.Chord(360, y, 440, y + 60, 440, y + 10, 360, y + 50);
  c.Pie(450, y, 530, y + 60, 530, y + 30, 490, y);
  std::vector<TPoint> star;
  for (int k = 0; k < 5; ++k) {
    double a = M_PI / 2 + k * 4 * M_PI / 5;
    star.push_back(Point(580 + int(std::lround(32 * std::cos(a))),
                         y + 32 - int(std::lround(30 * std::sin(a)))));
  }
  c.Polygon(star);
  Label(c, 640, y + 22, label);
}

// Every shape with solid, hatched and clear brushes, wide and framed pens.
std::string DrawShapes(DemoContext& demo) {
  TBitmap bmp(760, 520, pf24bit);
  Clear(bmp, clWhite);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(RGB(120, 200, 255));
  ShapeRow(c, 10, "solid brush, pen 1");
  c.Brush().SetStyle(bsDiagCross);
  c.Brush().SetColor(clGreen);
  c.SetPolyFillMode(WINDING);
  ShapeRow(c, 80, "hatched brush, winding");
  c.SetPolyFillMode(ALTERNATE);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clYellow);
  c.Pen().SetWidth(5);
  c.Pen().SetColor(clMaroon);
  ShapeRow(c, 160, "pen 5");
  c.Pen().SetStyle(psInsideFrame);
  ShapeRow(c, 240, "pen 5 inside frame");
  c.Pen().SetWidth(1);
  c.Pen().SetStyle(psClear);
  ShapeRow(c, 320, "no pen (psClear)");
  c.Pen().SetStyle(psDash);
  c.Brush().SetStyle(bsClear);
  ShapeRow(c, 400, "dashed pen, clear brush");
  c.Pen().SetStyle(psSolid);
  c.Brush().SetStyle(bsSolid);
  return Saved(bmp, demo, "canvas_shapes.png");
}

// The sixteen pen modes over colour stripes, on 24 and 1 bit.
std::string DrawModes(DemoContext& demo) {
  const char* names[] = {"pmBlack",       "pmWhite",      "pmNop",         "pmNot",
                         "pmCopy",        "pmNotCopy",    "pmMergePenNot", "pmMaskPenNot",
                         "pmMergeNotPen", "pmMaskNotPen", "pmMerge",       "pmNotMerge",
                         "pmMask",        "pmNotMask",    "pmXor",         "pmNotXor"};
  TBitmap bmp(720, 300, pf24bit);
  Clear(bmp, clWhite);
  TCanvas& c = bmp.Canvas();
  for (int x = 0; x < 720; x += 30) {
    c.Brush().SetColor(RGB(uint8_t(x * 255 / 720), uint8_t(255 - x * 255 / 720), 128));
    c.FillRect(Rect(x, 0, x + 15, 300));
  }
  for (int m = 0; m < 16; ++m) {
    int x = 10 + (m % 8) * 88, y = 20 + (m / 8) * 140;
    c.Pen().SetMode(TPenMode(m));
    c.Pen().SetColor(RGB(255, 64, 0));
    c.Pen().SetWidth(3);
    c.Brush().SetColor(RGB(0, 96, 255));
    c.Ellipse(x, y, x + 70, y + 90);
    c.Pen().SetMode(pmCopy);
    c.Pen().SetWidth(1);
    Label(c, x, y + 96, names[m]);
  }
  std::string out = Saved(bmp, demo, "canvas_modes_24bit.png");
  TBitmap mono(360, 120, pf1bit);
  Clear(mono, clWhite);
  TCanvas& mc = mono.Canvas();
  mc.Brush().SetColor(clBlack);
  for (int x = 0; x < 360; x += 20) mc.FillRect(Rect(x, 0, x + 10, 120));
  const TPenMode modes[] = {pmCopy, pmNot, pmXor, pmNotXor, pmMask, pmMerge};
  for (int i = 0; i < 6; ++i) {
    mc.Pen().SetMode(modes[i]);
    mc.Pen().SetColor(clWhite);
    mc.Brush().SetColor(clWhite);
    mc.Rectangle(10 + i * 58, 20, 58 + i * 58, 100);
  }
  return out + ", " + Saved(mono, demo, "canvas_modes_1bit.png");
}

// DrawEdge in the four kinds, FrameRect and DrawFocusRect.
std::string DrawEdges(DemoContext& demo) {
  TBitmap bmp(460, 120, pf24bit);
  Clear(bmp, clBtnFace);
  TCanvas& c = bmp.Canvas();
  const uint32_t kinds[] = {EDGE_RAISED, EDGE_SUNKEN, EDGE_ETCHED, EDGE_BUMP};
  const char* names[] = {"RAISED", "SUNKEN", "ETCHED", "BUMP"};
  for (int i = 0; i < 4; ++i) {
    TRect r(10 + i * 90, 10, 90 + i * 90, 60);
    c.DrawEdge(r, kinds[i], BF_RECT | BF_MIDDLE);
    Label(c, 14 + i * 90, 64, names[i]);
  }
  c.Brush().SetColor(clRed);
  c.FrameRect(Rect(380, 10, 450, 60));
  c.DrawFocusRect(Rect(384, 14, 446, 56));
  Label(c, 380, 64, "frame+focus");
  return Saved(bmp, demo, "canvas_edges.png");
}

// Three faces with styles, an opaque background and rotated text.
std::string DrawText(DemoContext& demo) {
  TBitmap bmp(720, 460, pf24bit);
  Clear(bmp, clWhite);
  TCanvas& c = bmp.Canvas();
  const char* faces[] = {"Arial", "Times New Roman", "Courier New"};
  for (int i = 0; i < 3; ++i) {
    c.Font().SetName(faces[i]);
    c.Font().SetSize(14);
    c.Font().SetColor(clBlack);
    c.SetBkMode(TRANSPARENT);
    c.Font().SetStyle(0);
    c.TextOut(10, 10 + i * 70, std::string(faces[i]) + ": The quick brown fox 0123");
    c.Font().SetStyles({fsBold, fsItalic});
    c.Font().SetColor(clNavy);
    c.TextOut(10, 36 + i * 70, "bold italic");
    c.Font().SetStyles({fsUnderline, fsStrikeOut});
    c.Font().SetColor(clMaroon);
    c.TextOut(160, 36 + i * 70, "underline + strike-out");
  }
  c.SetBkMode(OPAQUE);
  c.Brush().SetColor(clYellow);
  c.Font().SetStyle(0);
  c.Font().SetName("Arial");
  c.Font().SetHeight(-16);
  c.Font().SetColor(clBlack);
  c.TextOut(10, 220, "opaque background (yellow brush)");
  c.Brush().SetColor(RGB(200, 230, 255));
  c.TextRect(Rect(10, 250, 150, 270), 14, 252, "TextRect clips this long sentence");
  for (int k = 0; k < 8; ++k) {
    c.Font().SetOrientation(k * 450);
    c.Brush().SetColor(RGB(uint8_t(255 - k * 20), 240, uint8_t(180 + k * 8)));
    c.TextOut(520, 230, "  rotated " + std::to_string(k * 45));
  }
  c.Font().SetOrientation(0);
  c.Brush().SetColor(clWhite);
  std::string out = Saved(bmp, demo, "canvas_text.png");
  TBitmap mono(360, 60, pf1bit);
  Clear(mono, clWhite);
  mono.Canvas().Font().SetName("Times New Roman");
  mono.Canvas().Font().SetSize(16);
  mono.Canvas().Font().SetColor(clBlack);
  mono.Canvas().TextOut(8, 12, "1-bit text, no antialiasing");
  return out + ", " + Saved(mono, demo, "canvas_text_1bit.png");
}

void RunCanvasDemo(DemoContext& demo) {
  demo.Run("canvas", "lines, pen widths, dash styles", [&] { return DrawLines(demo); });
  demo.Run("canvas", "shapes with brushes and pens", [&] { return DrawShapes(demo); });
  demo.Run("canvas", "pen modes on 24 and 1 bit", [&] { return DrawModes(demo); });
  demo.Run("canvas", "3-D edges, frame and focus rectangles", [&] { return DrawEdges(demo); });
  demo.Run("canvas", "text in three faces, rotated", [&] { return DrawText(demo); });
}

}  // namespace

PICTAVO_DEMO(90, "canvas", RunCanvasDemo);

}  // namespace pictavo::cli
