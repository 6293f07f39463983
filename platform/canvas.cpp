#include "platform/canvas.h"

#include <algorithm>

#include "platform/bitmap.h"

namespace pictavo {

bool TCanvas::PointVisible(int x, int y) const {
  if (!bitmap_ || x < 0 || y < 0 || x >= bitmap_->GetWidth() || y >= bitmap_->GetHeight())
    return false;
  if (!has_clip_) return true;
  if (static_cast<size_t>(y) >= clip_spans_.size()) return false;
  for (const auto& span : clip_spans_[y])
    if (x >= span.first && x < span.second) return true;
  return false;
}

void TCanvas::ClearClip() {
  has_clip_ = false;
  clip_spans_.clear();
}

TColor TCanvas::GetPixel(int x, int y) const { return bitmap_ ? bitmap_->GetPixel(x, y) : clBlack; }

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (PointVisible(x, y)) bitmap_->SetPixel(x, y, color);
}

void TCanvas::FillRect(const TRect& rect) {
  if (!bitmap_ || brush_.GetStyle() == bsClear) return;
  int x0 = std::max(rect.Left, 0), x1 = std::min(rect.Right, bitmap_->GetWidth());
  int y0 = std::max(rect.Top, 0), y1 = std::min(rect.Bottom, bitmap_->GetHeight());
  TColor color = ColorToRGB(brush_.GetColor());
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (PointVisible(x, y)) bitmap_->SetPixel(x, y, color);
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
  StretchDraw(Rect(x, y, x + source.GetWidth(), y + source.GetHeight()), source);
}

void TCanvas::StretchDraw(const TRect& rect, const TBitmap& source) {
  if (!bitmap_ || rect.IsEmpty() || source.Empty()) return;
  int w = rect.Width(), h = rect.Height();
  int y0 = std::max(rect.Top, 0), y1 = std::min(rect.Bottom, bitmap_->GetHeight());
  int x0 = std::max(rect.Left, 0), x1 = std::min(rect.Right, bitmap_->GetWidth());
  for (int y = y0; y < y1; ++y) {
    int sy = static_cast<int>(int64_t(y - rect.Top) * source.GetHeight() / h);
    for (int x = x0; x < x1; ++x) {
      if (!PointVisible(x, y)) continue;
      int sx = static_cast<int>(int64_t(x - rect.Left) * source.GetWidth() / w);
      bitmap_->SetPixel(x, y, source.GetPixel(sx, sy));
    }
  }
}

}  // namespace pictavo
