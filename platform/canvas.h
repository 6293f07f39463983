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
// Pen, brush and font are owned by the canvas and copied by Assign.
#pragma once

#include <cstdint>
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

class TPen {
 public:
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  int GetWidth() const { return width_; }
  void SetWidth(int width) { width_ = width < 1 ? 1 : width; }
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

class TFont : public TObject {
 public:
  std::string GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int GetSize() const { return size_; }
  void SetSize(int size) { size_ = size; }
  int GetHeight() const { return height_; }
  void SetHeight(int height) { height_ = height; }
  TColor GetColor() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  uint8_t GetStyle() const { return style_; }  // bits of TFontStyle
  void SetStyle(uint8_t style) { style_ = style; }
  void Assign(const TFont& source) {
    name_ = source.name_;
    size_ = source.size_;
    height_ = source.height_;
    color_ = source.color_;
    style_ = source.style_;
  }

 private:
  std::string name_ = "Arial";
  int size_ = 8;
  int height_ = -11;
  TColor color_ = clWindowText;
  uint8_t style_ = 0;
};

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

  TBitmap* bitmap_;
  TBrush brush_;
  TPen pen_;
  TFont font_;
  uint32_t copy_mode_ = SRCCOPY;
  std::optional<TRegion> clip_;
};

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
