// Painting of TPictavoView: Paint with its back buffer, and PaintTo's
// order: background round the image, the image (filtered or a nearest-pixel
// stretch of only the visible source rectangle), the filled selection, the
// pixel grid.
#include <algorithm>

#include "view/pictavoview.h"
#include "view/view_blit.h"
#include "view/zoom_filter.h"

namespace pictavo {

void TPictavoView::EnsureBackBuffer() {
  // The buffer has the surface's pixel format, so that showing it is a
  // plain copy of rows.
  const TPixelFormat format = Surface().GetPixelFormat();
  if (back_buffer_->GetPixelFormat() != format) {
    back_buffer_->SetPixelFormat(format);
    BufferDirty = true;
  }
  if (back_buffer_->GetWidth() != GetClientWidth() ||
      back_buffer_->GetHeight() != GetClientHeight()) {
    back_buffer_->SetSize(GetClientWidth(), GetClientHeight());
    BufferDirty = true;
  }
}

void TPictavoView::Paint() {
  if (GetDesigning()) {
    PaintTo(GetCanvas());
    return;
  }
  if (paint_lock_ != 0) return;
  if (double_buffer_) {
    EnsureBackBuffer();
    if (BufferDirty) {
      PaintTo(back_buffer_->Canvas());
      BufferDirty = false;
    }
    PVCopyToCanvas(GetCanvas(), 0, 0, *back_buffer_);
  } else {
    PaintTo(GetCanvas());
  }
  if (poly_drawing_) DrawRubberBand();
  TPVView::Paint();  // OnPaint
}

void TPictavoView::PaintBackgroundAround(TCanvas& canvas, const TRect& image) {
  canvas.ExcludeClipRect(image);
  PVPaintBackground(canvas, background_style_, background_, GetClientWidth(), GetClientHeight(),
                    image, GetDesigning());
  canvas.ClearClip();
}

void TPictavoView::PaintTo(TCanvas& canvas) {
  const int cw = GetClientWidth(), ch = GetClientHeight();
  if (GetDesigning() || bitmap_->Empty()) {
    PVPaintBackground(canvas, background_style_, background_, cw, ch, TRect(), GetDesigning());
    return;
  }
  TPVViewGeometry& g = geometry_;
  g.ComputeSource(bitmap_->GetWidth(), bitmap_->GetHeight());
  if (!g.Center && (g.DrawWidth < cw || g.DrawHeight < ch))
    PaintBackgroundAround(canvas, Rect(0, 0, g.DrawWidth, g.DrawHeight));
  if (g.Center)
    PaintBackgroundAround(
        canvas, Rect(g.OffsetX, g.OffsetY, g.OffsetX + g.DrawWidth, g.OffsetY + g.DrawHeight));
  PaintImage(canvas);
  if (selection_options_.Contains(pvsoFilled) && selection_visible_ && has_selection_)
    mask_.InvertCanvas(canvas, g.OffsetX, g.OffsetY, g.DrawWidth, g.DrawHeight, g.SrcX, g.SrcY,
                       g.SrcW, g.SrcH);
  if (display_grid_ && g.Zoom >= kPVGridMinZoom) PaintGrid(canvas);
}

void TPictavoView::PaintImage(TCanvas& canvas) {
  const TPVViewGeometry& g = geometry_;
  if (zoom_filter_ != rfNone && FilterDelay < 1 && g.Zoom != 100 && PaintFiltered(canvas)) return;
  PVStretchToCanvas(canvas,
                    Rect(g.OffsetX, g.OffsetY, g.OffsetX + g.DrawWidth, g.OffsetY + g.DrawHeight),
                    *bitmap_, SourceRect());
}

bool TPictavoView::PaintFiltered(TCanvas& canvas) {
  const TPVViewGeometry& g = geometry_;
  if (g.ExtentX <= 0 || g.ExtentY <= 0 || g.SrcW <= 0 || g.SrcH <= 0) return true;
  bool done;
  if (g.Zoom > 100 || bitmap_->GetPixelFormat() != pf1bit)
    done = PVZoomResample(*bitmap_, SourceRect(), zoom_filter_, g.ExtentX, g.ExtentY, *spare_);
  else
    done = PVZoomReduce1bit(*bitmap_, SourceRect(), g.ExtentX, g.ExtentY, *spare_);
  if (!done) return false;
  PVCopyToCanvas(canvas, g.OffsetX, g.OffsetY, *spare_);
  spare_->SetSize(0, 0);  // the next filtered paint sizes it again
  return true;
}

void TPictavoView::PaintGrid(TCanvas& canvas) {
  const TPVViewGeometry& g = geometry_;
  TPen saved = canvas.Pen();
  canvas.Pen().SetMode(pmNot);
  canvas.Pen().SetStyle(psSolid);
  canvas.Pen().SetWidth(1);
  const int left = XBmp2Scr(g.SrcX), right = XBmp2Scr(g.SrcX + g.SrcW);
  const int top = YBmp2Scr(g.SrcY), bottom = YBmp2Scr(g.SrcY + g.SrcH);
  for (int y = g.SrcY; y <= g.SrcY + g.SrcH; ++y) {
    const int sy = YBmp2Scr(y);
    canvas.MoveTo(left, sy);
    canvas.LineTo(right, sy);
  }
  for (int x = g.SrcX; x <= g.SrcX + g.SrcW; ++x) {
    const int sx = XBmp2Scr(x);
    canvas.MoveTo(sx, top);
    canvas.LineTo(sx, bottom);
  }
  canvas.Pen().Assign(saved);
}

void TPictavoView::DrawTo(TCanvas& canvas) {
  const TPVViewGeometry& g = geometry_;
  const int bw = bitmap_->GetWidth(), bh = bitmap_->GetHeight();
  if (bh < 1) return;
  TRect src;
  if (g.ZoomedWidth != 0) {
    const double r = double(bw) / g.ZoomedWidth;
    src.Left = PVRound(r * g.ViewX);
    src.Right = src.Left + PVRound(r * g.ExtentX);
  }
  if (g.ZoomedHeight != 0) {
    const double r = double(bh) / g.ZoomedHeight;
    src.Top = PVRound(r * g.ViewY);
    src.Bottom = src.Top + PVRound(r * g.ExtentY);
  }
  if (zoom_filter_ != rfNone && g.Zoom != 100 && g.ExtentX > 0 && g.ExtentY > 0) {
    TBitmap resampled;
    if (PVZoomResample(*bitmap_, src, zoom_filter_, g.ExtentX, g.ExtentY, resampled)) {
      PVCopyToCanvas(canvas, 0, 0, resampled);
      return;
    }
  }
  PVStretchToCanvas(canvas, Rect(0, 0, g.ExtentX, g.ExtentY), *bitmap_, src);
}

}  // namespace pictavo
