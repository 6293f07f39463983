// Frames of TCanvas: FrameRect, DrawFocusRect and the 3-D borders of
// DrawEdge.
#include <algorithm>

#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {

namespace {

struct EdgeColours {
  TColor top_left, bottom_right;
};

// Colours of one border line pair: the outer or the inner one.
EdgeColours BorderColours(bool outer, bool raised, uint32_t flags) {
  if (flags & BF_MONO)
    return outer ? EdgeColours{clWindowFrame, clWindowFrame} : EdgeColours{clWindow, clWindow};
  if (flags & BF_FLAT)
    return outer ? EdgeColours{clBtnShadow, clBtnShadow} : EdgeColours{clBtnFace, clBtnFace};
  if (outer)
    return raised ? EdgeColours{cl3DLight, cl3DDkShadow} : EdgeColours{clBtnShadow, clBtnHighlight};
  return raised ? EdgeColours{clBtnHighlight, clBtnShadow} : EdgeColours{cl3DDkShadow, cl3DLight};
}

}  // namespace

void TCanvas::FrameRect(const TRect& rect) {
  if (!bitmap_ || rect.IsEmpty() || brush_.GetStyle() == bsClear) return;
  Ink ink = BrushInk(pmCopy);
  PaintInk(rect.Top, rect.Left, rect.Right, ink);
  if (int64_t(rect.Bottom) - rect.Top > 1) PaintInk(rect.Bottom - 1, rect.Left, rect.Right, ink);
  int32_t y0 = std::max(rect.Top + 1, 0), y1 = std::min(rect.Bottom - 1, bitmap_->GetHeight());
  for (int32_t y = y0; y < y1; ++y) {
    PaintInk(y, rect.Left, rect.Left + 1, ink);
    if (int64_t(rect.Right) - rect.Left > 1) PaintInk(y, rect.Right - 1, rect.Right, ink);
  }
}

void TCanvas::DrawFocusRect(const TRect& rect) {
  if (!bitmap_ || rect.IsEmpty()) return;
  Ink ink;
  ink.mode = pmNot;
  auto dots = [&](int32_t y, int32_t x0, int32_t x1) {
    if (y < 0 || y >= bitmap_->GetHeight()) return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, bitmap_->GetWidth());
    for (int32_t x = x0 + int32_t((int64_t(x0) + y) & 1); x < x1; x += 2)
      PaintInk(y, x, x + 1, ink);
  };
  dots(rect.Top, rect.Left, rect.Right);
  if (int64_t(rect.Bottom) - rect.Top > 1) dots(rect.Bottom - 1, rect.Left, rect.Right);
  int32_t y0 = std::max(rect.Top + 1, 0), y1 = std::min(rect.Bottom - 1, bitmap_->GetHeight());
  for (int32_t y = y0; y < y1; ++y) {
    dots(y, rect.Left, rect.Left + 1);
    if (int64_t(rect.Right) - rect.Left > 1) dots(y, rect.Right - 1, rect.Right);
  }
}

// One border line pair: the top-left colour on the top row (without its last
// pixel) and the left column (without its last pixel), then the bottom-right
// colour on the whole bottom row and right column, as the platform does.
static void DrawBorder(TCanvas& canvas, const TRect& r, EdgeColours c, uint32_t flags) {
  TBrush saved = canvas.Brush();
  auto fill = [&](TColor colour, TRect rect) {
    canvas.Brush().SetColor(colour);
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(rect);
  };
  if (flags & BF_TOP) fill(c.top_left, TRect(r.Left, r.Top, r.Right - 1, r.Top + 1));
  if (flags & BF_LEFT) fill(c.top_left, TRect(r.Left, r.Top, r.Left + 1, r.Bottom - 1));
  if (flags & BF_BOTTOM) fill(c.bottom_right, TRect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
  if (flags & BF_RIGHT) fill(c.bottom_right, TRect(r.Right - 1, r.Top, r.Right, r.Bottom));
  canvas.Brush().Assign(saved);
}

static TRect Shrink(TRect r, uint32_t flags) {
  if (flags & BF_LEFT) ++r.Left;
  if (flags & BF_TOP) ++r.Top;
  if (flags & BF_RIGHT) --r.Right;
  if (flags & BF_BOTTOM) --r.Bottom;
  return r;
}

bool TCanvas::DrawEdge(TRect& rect, uint32_t edge, uint32_t flags) {
  uint32_t outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
  uint32_t inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
  if (!outer && !inner) return false;
  TRect r = rect;
  if (bitmap_ && !r.IsEmpty()) {
    if (outer) {
      DrawBorder(*this, r, BorderColours(true, outer & BDR_RAISEDOUTER, flags), flags);
      r = Shrink(r, flags);
    }
    if (inner && !r.IsEmpty()) {
      DrawBorder(*this, r, BorderColours(false, inner & BDR_RAISEDINNER, flags), flags);
      r = Shrink(r, flags);
    }
    if ((flags & BF_MIDDLE) && !r.IsEmpty()) {
      TBrush saved = brush_;
      brush_.SetColor((flags & BF_MONO) ? clWindow : clBtnFace);
      brush_.SetStyle(bsSolid);
      FillRect(r);
      brush_ = saved;
    }
  } else {
    if (outer) r = Shrink(r, flags);
    if (inner) r = Shrink(r, flags);
  }
  if (flags & BF_ADJUST) rect = r;
  return true;
}

}  // namespace pictavo
