// TCanvas: the software rasteriser of the framework stand-in, drawing on a
// TBitmap with the framework's (GDI) pixel rules:
//   - filled shapes cover Left..Right-1 and Top..Bottom-1 (the right and
//     bottom edges are excluded);
//   - pixels outside the bitmap or outside the clip region are never written;
//   - colours are TColor (0x00BBGGRR); system colours are resolved first.
// Pen, brush and font are owned by the canvas and copied by Assign.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/colors.h"
#include "platform/object.h"
#include "platform/types.h"

namespace pictavo {

class TBitmap;

enum TBrushStyle : uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
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
    name_ = source.name_; size_ = source.size_; height_ = source.height_;
    color_ = source.color_; style_ = source.style_;
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

  TColor GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Fills Left..Right-1 x Top..Bottom-1 with the brush (honouring the clip).
  void FillRect(const TRect& rect);
  // Draws source with its top-left corner at (x, y).
  void Draw(int x, int y, const TBitmap& source);
  // Scales source onto rect, picking the nearest source pixel.
  void StretchDraw(const TRect& rect, const TBitmap& source);

  // Clipping: an optional region of spans (rows of half-open x intervals),
  // intersected with the bitmap.  No region means the whole bitmap.
  bool HasClip() const { return has_clip_; }
  void ClearClip();
  bool PointVisible(int x, int y) const;

 protected:
  TBitmap* bitmap_;
  TBrush brush_;
  TPen pen_;
  TFont font_;
  bool has_clip_ = false;
  // Per bitmap row, sorted disjoint [x0, x1) spans.
  std::vector<std::vector<std::pair<int32_t, int32_t>>> clip_spans_;
};

}  // namespace pictavo
