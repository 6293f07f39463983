// TCanvas: the software rasteriser of the framework stand-in, drawing on a
// TBitmap with the framework's (GDI) pixel rules:
//   - filled shapes cover Left..Right-1 and Top..Bottom-1 (the right and
//     bottom edges are excluded); an empty or inverted rectangle fills nothing;
//   - pixels outside the bitmap or outside the clip region are never written;
//   - colours are TColor (0x00BBGGRR); system colours are resolved first and
//     then mapped to the bitmap's format (1 bit: grey threshold; palette
//     formats: nearest entry);
//   - raster operations work bitwise on the stored pixel values, as on the
//     platform (bits of 1-bit bitmaps, palette indices, 16-bit words, the
//     blue, green, red bytes of 24- and 32-bit bitmaps);
//   - hatched brushes paint an 8x8 pattern aligned with the bitmap origin in
//     the brush colour and leave the other pixels (transparent background);
//   - stretching picks, for each destination pixel, the source pixel under
//     its centre: source index ((2 i + 1) * source length) div (2 * dest
//     length), i counted from the start of the destination rectangle;
//   - a negative destination or source width (height) of StretchDIBits
//     mirrors when the two signs differ; a rectangle given as origin X and
//     negative width W covers X + W + 1 .. X;
//   - clip regions (see region.h for the polygon pixel rule): no region
//     means the whole bitmap; IntersectClipRect and ExcludeClipRect start
//     from an unlimited region, so growing the bitmap keeps the new area
//     visible.
//
// Lines (pen width 1):
//   - integer coordinates are pixel centres; a line from A to B lights the
//     pixel of A and never the pixel of B (LineTo, Polyline and LineDDA
//     alike; a zero-length line lights nothing);
//   - one pixel per step of the longer axis (the x axis when |dx| = |dy|):
//     step i (0 <= i < n, n the longer length) lights the minor coordinate
//     nearest to the exact one, A + i * d / n, and an exact half goes to the
//     smaller coordinate, so A->B and B->A light the same pixels apart from
//     the end points;
//   - dashed styles follow the pixel steps with the platform's cosmetic
//     patterns, in pixels: psDash 18 on 6 off, psDot 3 on 3 off, psDashDot
//     9 on 6 off 3 on 6 off, psDashDotDot 9 on 3 off 3 on 3 off 3 on 3 off.
//     The pattern runs on across the segments of Polyline, Polygon and
//     consecutive LineTo calls and restarts at MoveTo and at each shape.  The
//     gaps are left alone with a transparent background (SetBkMode
//     TRANSPARENT or a bsClear brush) and painted in the brush colour
//     otherwise, both in the pen mode;
//   - psClear draws no line; psInsideFrame draws like psSolid.
// Wide pens (width w > 1; dashed styles become solid, as on the platform):
//   - a segment covers the pixels whose centres lie at a distance below w/2
//     from it, round caps and round joins included; for even widths the path
//     runs along pixel corners (the point (x, y) stands for the corner at
//     the top-left of pixel (x, y)), so a horizontal line of width 4 through
//     y = 5 covers rows 3..6;
//   - a Polyline or a Polygon outline (of any width) paints each pixel
//     once, however many segments cover it, so XOR pens do not cancel at
//     joins and crossings; separate LineTo calls paint their own pixels.
// Closed shapes (Rectangle, RoundRect, Ellipse, Chord, Pie, Polygon):
//   - the brush fills the inside and the pen draws the outline, both in the
//     pen mode, each pixel painted once (the outline wins);
//   - Rectangle, RoundRect, Ellipse, Chord and Pie with a pen of width 1 or
//     psInsideFrame draw their outline inside Left..Right-1 x Top..Bottom-1
//     (psInsideFrame of width w: a band w pixels thick inside the box); wider
//     pens centre the outline on that boundary; with psClear the fill covers
//     Left..Right-2 x Top..Bottom-2, one pixel less, as on the platform;
//   - an ellipse inscribed in a box W x H (a = (W - 1) / 2, b = (H - 1) / 2,
//     measured between pixel centres) holds pixel offset (x, y) from its
//     centre when x^2 / (a^2 + a) + y^2 / (b^2 + b) <= 1, and its middle
//     row(s) and column(s) reach the box, so the shape is symmetric in both
//     axes, touches all four sides and has the flat ends of a midpoint
//     ellipse; its width-1 outline is the set of its pixels that have a 4-
//     neighbour outside it;
//   - RoundRect uses the quarters of the w x h corner ellipse at the
//     corners and straight sides between them; a wide pen with round joins
//     rounds a Rectangle's outer corners the same way (a w x w ellipse);
//   - dashed pens on curved outlines follow the outline's pixels in the
//     order of their angle about the centre, counter-clockwise from the
//     right (from the start ray for arcs); dashed rectangles are drawn as a
//     closed polyline through the four corner pixels;
//   - Arc, Chord and Pie take the part of the outline counter-clockwise (as
//     seen on the screen) from the ray towards the start point to the ray
//     towards the end point, pixel centres on a ray included; equal rays
//     mean the whole ellipse.  Chord joins the arc's ends with a line, Pie
//     joins them to the centre; their fills hold the inside pixels on the
//     arc's side of the chord, or inside the sector;
//   - Polygon fills with the region rule of region.h (alternate or winding)
//     and then draws its closed outline.
// Text (FreeType, faces found through fontconfig):
//   - TextOut(x, y) puts the top-left corner of the text cell at (x, y);
//     the baseline lies the font's ascent below it; the font's escapement
//     (tenths of a degree, counter-clockwise) turns the whole cell about
//     the pixel corner (x, y), so at 90 degrees the pixel at offset (u, v)
//     from the corner lands at (v, -u - 1);
//   - glyphs are placed at whole-pixel advances (hinted, no kerning);
//     TextWidth is their sum, TextHeight the ascent plus the descent
//     (usWinAscent and usWinDescent of the face scaled and rounded up);
//   - text ignores the pen mode: on 24- and 32-bit bitmaps glyphs are blended
//     from 256 grey levels, (c a + d (255 - a) + 127) div 255 per channel;
//     on 1-bit bitmaps they are rendered without antialiasing; other formats
//     take the pixels with coverage 128 or more;
//   - with an opaque background (SetBkMode OPAQUE and a brush that is not
//     bsClear) the text cell is first filled with the brush colour;
//   - "Arial", "Times New Roman" and "Courier New" are the metric-compatible
//     Liberation Sans, Serif and Mono; any family fontconfig knows can be
//     named; an unknown family falls back to DejaVu Sans.
// DrawEdge draws the platform's two-line borders (see DrawEdge below);
// BF_SOFT is accepted and draws like the plain border, BF_DIAGONAL is not
// supported (nothing is drawn for diagonal-only flags).
// Limits: coordinates are clamped to +-2^27, pen widths to 10000, and text
// of more than 1 MiB is not drawn (its extent is 0).  Work is bounded by the
// visible area, not by the coordinates.
// Pen, brush and font are owned by the canvas and copied by Assign.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/colors.h"
#include "platform/dib.h"
#include "platform/object.h"
#include "platform/region.h"
#include "platform/types.h"

namespace pictavo {

class TBitmap;
namespace raster {
struct RowSpan;
}

enum TBrushStyle : uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};
enum TPenStyle : uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame
};
enum TPenMode : uint8_t {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };

class TBrush {
 public:
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  TBrushStyle GetStyle() const { return style_; }
  void SetStyle(TBrushStyle style) { style_ = style; }
  void Assign(const TBrush& source) { *this = source; }

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// Widest pen the canvas draws; wider requests are clamped.
constexpr int kMaxPenWidth = 10000;

class TPen {
 public:
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  int GetWidth() const { return width_; }
  void SetWidth(int width) { width_ = width < 1 ? 1 : width > kMaxPenWidth ? kMaxPenWidth : width; }
  TPenStyle GetStyle() const { return style_; }
  void SetStyle(TPenStyle style) { style_ = style; }
  TPenMode GetMode() const { return mode_; }
  void SetMode(TPenMode mode) { mode_ = mode; }
  void Assign(const TPen& source) { *this = source; }

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

using TFontStyles = TSet<TFontStyle>;

// Resolution the font sizes refer to (the screen's logical pixels per inch).
constexpr int kFontPixelsPerInch = 96;

// A logical font.  Height < 0 is the character (em) height in pixels,
// Height > 0 the cell height (ascent + descent); Size is in points at
// kFontPixelsPerInch, and setting one sets the other as the framework does
// (Height = -Size * 96 / 72 rounded, Size = -Height * 72 / 96 rounded).
class TFont : public TObject {
 public:
  std::string GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int GetSize() const;
  void SetSize(int size);
  int GetHeight() const { return height_; }
  void SetHeight(int height) { height_ = height; }
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  uint8_t GetStyle() const { return style_; }  // bits of TFontStyle
  void SetStyle(uint8_t style) { style_ = style; }
  TFontStyles GetStyles() const { return TFontStyles::FromBits(style_); }
  void SetStyles(TFontStyles styles) { style_ = uint8_t(styles.Bits()); }
  bool HasStyle(TFontStyle s) const { return GetStyles().Contains(s); }
  // Escapement of the baseline, tenths of a degree counter-clockwise.
  int GetOrientation() const { return orientation_; }
  void SetOrientation(int tenths) { orientation_ = tenths; }
  void Assign(const TFont& source) {
    name_ = source.name_;
    height_ = source.height_;
    color_ = source.color_;
    style_ = source.style_;
    orientation_ = source.orientation_;
  }

 private:
  std::string name_ = "Arial";
  int height_ = -11;
  TColor color_ = clWindowText;
  uint8_t style_ = 0;
  int orientation_ = 0;
};

struct TSize {
  int32_t cx = 0;
  int32_t cy = 0;
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

// Background modes of text and of the gaps of dashed lines.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// DrawEdge: border kinds and side flags.
constexpr uint32_t BDR_RAISEDOUTER = 0x1;
constexpr uint32_t BDR_SUNKENOUTER = 0x2;
constexpr uint32_t BDR_RAISEDINNER = 0x4;
constexpr uint32_t BDR_SUNKENINNER = 0x8;
constexpr uint32_t EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr uint32_t EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr uint32_t EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr uint32_t EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr uint32_t BF_LEFT = 0x1;
constexpr uint32_t BF_TOP = 0x2;
constexpr uint32_t BF_RIGHT = 0x4;
constexpr uint32_t BF_BOTTOM = 0x8;
constexpr uint32_t BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr uint32_t BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr uint32_t BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr uint32_t BF_MIDDLE = 0x800;
constexpr uint32_t BF_SOFT = 0x1000;
constexpr uint32_t BF_ADJUST = 0x2000;
constexpr uint32_t BF_FLAT = 0x4000;
constexpr uint32_t BF_MONO = 0x8000;

// Largest text the canvas draws or measures, in bytes of UTF-8.
constexpr size_t kMaxTextBytes = size_t(1) << 20;

class TCanvas : public TObject {
 public:
  explicit TCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}

  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  TFont& Font() { return font_; }
  TBitmap* Bitmap() const { return bitmap_; }
  // Raster operation of Draw and StretchDraw (SRCCOPY by default).
  uint32_t GetCopyMode() const { return copy_mode_; }
  void SetCopyMode(uint32_t rop) { copy_mode_ = rop; }

  // The pixel's colour; clBlack outside the bitmap (the clip is not asked).
  TColor GetPixel(int x, int y) const;
  // Writes one pixel when it is visible.
  void SetPixel(int x, int y, TColor color);

  // Fills Left..Right-1 x Top..Bottom-1 with the brush (solid or hatched;
  // bsClear fills nothing), honouring the clip.
  void FillRect(const TRect& rect);
  // Draws source with its top-left corner at (x, y), with the copy mode.
  void Draw(int x, int y, const TBitmap& source);
  // Scales source onto rect (nearest pixel), with the copy mode.
  void StretchDraw(const TRect& rect, const TBitmap& source);

  // Stretches the source rectangle of a packed DIB (header, colour table at
  // biSize, rows at bits) onto the destination rectangle with a raster
  // operation.  XSrc/YSrc are measured from the lower-left corner for
  // bottom-up DIBs (biHeight > 0) and from the upper-left for top-down ones.
  // Supports BI_RGB with 1, 4, 8, 16 (5-5-5), 24 and 32 bits and
  // DIB_RGB_COLORS; every ternary raster operation (the pattern is the brush
  // colour).  Only pixels inside the DIB are read: destination pixels whose
  // source falls outside it stay as they are.  When bitsSize is given, rows
  // that do not fit in it are treated as outside.  Returns the number of
  // DIB rows (0 when the DIB or the arguments are not supported; headers
  // of more than 124 bytes are refused).
  int StretchDIBits(int XDst, int YDst, int DstW, int DstH, int XSrc, int YSrc, int SrcW, int SrcH,
                    const void* bits, const void* bitmapInfo, uint32_t usage, uint32_t rop,
                    size_t bitsSize = SIZE_MAX);

  // Pixels[x, y] of the framework.
  TColor GetPixels(int x, int y) const { return GetPixel(x, y); }
  void SetPixels(int x, int y, TColor color) { SetPixel(x, y, color); }

  // Lines with the pen (see the rules above).  The pen position moves to
  // the end point; the dash pattern runs on from one LineTo to the next.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint GetPenPos() const { return pen_pos_; }
  void SetPenPos(const TPoint& p) { MoveTo(p.x, p.y); }
  // Connected segments; the last point is excluded (width 1) and the pen
  // position is left alone, as on the platform.
  void Polyline(const TPoint* points, int count);
  void Polyline(const std::vector<TPoint>& points) { Polyline(points.data(), int(points.size())); }

  // Closed shapes: brush inside, pen outline (rules above).
  void Polygon(const TPoint* points, int count);
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), int(points.size())); }
  // Several polygons filled together (counts[i] points each) and outlined.
  void PolyPolygon(const TPoint* points, const int* counts, int polygons);
  TPolyFillMode GetPolyFillMode() const { return fill_mode_; }
  void SetPolyFillMode(TPolyFillMode mode) { fill_mode_ = mode; }
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // Corners are quarters of an ellipse of w x h pixels.
  void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // The outline of the ellipse in the box (x1, y1, x2, y2), counter-clockwise
  // from the ray towards (x3, y3) to the ray towards (x4, y4).
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

  // One-pixel border of rect in the brush (copy mode, no pen).
  void FrameRect(const TRect& rect);
  // Inverts every other pixel of rect's one-pixel border (those with x + y
  // even), so drawing it twice restores the pixels.
  void DrawFocusRect(const TRect& rect);
  // Three-dimensional border in the system colours.  edge: EDGE_* or
  // BDR_* bits; flags: BF_* sides, BF_MIDDLE fills the inside with
  // clBtnFace, BF_FLAT and BF_MONO draw flat borders, BF_ADJUST shrinks rect
  // by the border drawn.  Returns false for an empty edge kind.
  bool DrawEdge(TRect& rect, uint32_t edge, uint32_t flags);
  bool DrawEdge(const TRect& rect, uint32_t edge, uint32_t flags) {
    TRect r = rect;
    return DrawEdge(r, edge, flags & ~BF_ADJUST);
  }

  // Text with the font (rules above).  TextOut moves the pen position to
  // the end of the text's baseline direction, like the framework.
  void TextOut(int x, int y, const std::string& text);
  // TextOut clipped to rect; an opaque background fills all of rect.
  void TextRect(const TRect& rect, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  TSize TextExtent(const std::string& text);
  int GetBkMode() const { return bk_mode_; }
  void SetBkMode(int mode) { bk_mode_ = mode == TRANSPARENT ? TRANSPARENT : OPAQUE; }

  // Clipping.  The clip is an optional region, always intersected with the
  // bitmap.  The calls return NULLREGION, SIMPLEREGION or COMPLEXREGION.
  bool HasClip() const { return clip_.has_value(); }
  const TRegion* ClipRegion() const { return clip_ ? &*clip_ : nullptr; }
  void ClearClip();
  // Replaces the clip (null clears it).
  int SetClipRegion(const TRegion* region);
  int IntersectClipRect(const TRect& rect);
  int ExcludeClipRect(const TRect& rect);
  // Replaces the clip by the polygon with the alternate (even-odd) rule,
  // as far as it lies inside the bitmap at the time of the call.
  void SetClipPolygon(const TPoint* points, int count);
  // Bounds of the visible area (bitmap and clip).
  TRect ClipRect() const;
  bool PointVisible(int x, int y) const;

  // Calls fn(y, x0, x1) for every visible run of pixels x0..x1-1 of row y
  // inside rect, top down: the primitive every drawing operation fills.
  template <typename Fn>
  void ForEachVisibleSpan(const TRect& rect, Fn&& fn) const;

 protected:
  // Writes value over x0..x1-1 of row y with a pen mode (no clipping).
  void PaintSpan(int y, int x0, int x1, uint32_t value, TPenMode mode);

  // What a span is painted with: a stored value in a pen mode, optionally
  // through an 8x8 hatch pattern (bit 7 of a row is column 0).
  struct Ink {
    uint32_t value = 0;
    TPenMode mode = pmCopy;
    const uint8_t* hatch = nullptr;
  };
  Ink PenInk() const;
  Ink BrushInk(TPenMode mode) const;
  bool BackgroundOpaque() const { return bk_mode_ == OPAQUE && brush_.GetStyle() != bsClear; }
  // Paints x0..x1-1 of row y with ink where visible (bitmap and clip).
  void PaintInk(int y, int x0, int x1, const Ink& ink);
  // Visible column range of the bitmap and clip (empty when nothing shows).
  TRect VisibleBounds() const;

  // Line and shape workers (canvas_lines.cpp, canvas_shapes.cpp): spans of
  // the pen's pixels (on), of the gaps of dashed pens (gap) and of fills.
  using Spans = std::vector<raster::RowSpan>;
  void StrokePath(const TPoint* points, int count, bool closed, Spans& on, Spans& gap);
  void StrokeThin(TPoint a, TPoint b, Spans& on, Spans& gap);
  // Solid copy-mode width-1 line on an unclipped 24/32-bit bitmap, written
  // straight into the rows; false when those conditions do not hold.
  bool FastThinLine(TPoint a, TPoint b);
  // Paints fill (brush), gap (background) and on (pen), each pixel once,
  // the pen winning over the gaps and both over the fill.
  void PaintLayers(Spans& fill, Spans& on, Spans& gap);
  void PaintSpans(const Spans& spans, const Ink& ink);
  void BoxShape(int x1, int y1, int x2, int y2, int ew, int eh);
  void ArcShape(int kind, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void TextRun(int x, int y, const std::string& text, const TRect* frame);

  TBitmap* bitmap_;
  TBrush brush_;
  TPen pen_;
  TFont font_;
  uint32_t copy_mode_ = SRCCOPY;
  std::optional<TRegion> clip_;
  TPoint pen_pos_;
  int dash_pos_ = 0;  // pixels of the dash pattern already used
  TPolyFillMode fill_mode_ = ALTERNATE;
  int bk_mode_ = OPAQUE;
};

// Calls fn(x, y) for every pixel of the width-1 line from (x1, y1) up to,
// not including, (x2, y2): the pixels LineTo lights.
void LineDDA(int x1, int y1, int x2, int y2, const std::function<void(int, int)>& fn);

// Width and height of the canvas bitmap without including bitmap.h.
int CanvasBitmapWidth(const TBitmap* bitmap);
int CanvasBitmapHeight(const TBitmap* bitmap);

template <typename Fn>
void TCanvas::ForEachVisibleSpan(const TRect& rect, Fn&& fn) const {
  if (!bitmap_) return;
  int32_t x0 = rect.Left > 0 ? rect.Left : 0, y0 = rect.Top > 0 ? rect.Top : 0;
  int32_t w = CanvasBitmapWidth(bitmap_), h = CanvasBitmapHeight(bitmap_);
  int32_t x1 = rect.Right < w ? rect.Right : w, y1 = rect.Bottom < h ? rect.Bottom : h;
  if (x0 >= x1 || y0 >= y1) return;
  if (!clip_) {
    for (int32_t y = y0; y < y1; ++y) fn(y, x0, x1);
    return;
  }
  clip_->ForEachSpan(y0, y1, x0, x1, fn);
}

}  // namespace pictavo
