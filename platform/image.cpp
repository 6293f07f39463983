#include "platform/image.h"

#include <algorithm>

namespace pictavo {

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TBitmap& TPicture::Bitmap() {
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->SetPixelFormat(pf24bit);
    HookBitmap();
  }
  return *bitmap_;
}

void TPicture::HookBitmap() {
  bitmap_->OnChange = [this](TObject*) { Changed(); };
}

void TPicture::SetBitmap(const TBitmap* bitmap) {
  if (!bitmap) {
    Clear();
    return;
  }
  Bitmap().Assign(*bitmap);
  Changed();
}

void TPicture::Assign(const TPicture& source) {
  SetBitmap(source.bitmap_.get());
}

void TPicture::Clear() {
  if (bitmap_) bitmap_->FreeImage();
  Changed();
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

TImage::TImage(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 105, 105);
  picture_.OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() {
  picture_.OnChange = nullptr;
}

void TImage::SetStretch(bool v) {
  if (v == stretch_) return;
  stretch_ = v;
  Invalidate();
}

void TImage::SetCenter(bool v) {
  if (v == center_) return;
  center_ = v;
  Invalidate();
}

void TImage::SetProportional(bool v) {
  if (v == proportional_) return;
  proportional_ = v;
  Invalidate();
}

void TImage::SetAutoSize(bool v) {
  if (v == auto_size_) return;
  auto_size_ = v;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (auto_size_ && picture_.HasGraphic()) {
    int extraW = GetWidth() - GetClientWidth(), extraH = GetHeight() - GetClientHeight();
    SetBounds(GetLeft(), GetTop(), picture_.GetWidth() + extraW, picture_.GetHeight() + extraH);
  }
  Invalidate();
}

TRect TImage::DestRect() const {
  int pw = picture_.GetWidth(), ph = picture_.GetHeight();
  int cw = GetClientWidth(), ch = GetClientHeight();
  int w = pw, h = ph;
  if (stretch_ || (proportional_ && (pw > cw || ph > ch))) {
    if (proportional_ && pw > 0 && ph > 0) {
      // The larger scale that still fits, in integers: w/pw = h/ph.
      if (int64_t(cw) * ph <= int64_t(ch) * pw) {
        w = cw;
        h = static_cast<int>(int64_t(ph) * cw / pw);
      } else {
        h = ch;
        w = static_cast<int>(int64_t(pw) * ch / ph);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = center_ ? (cw - w) / 2 : 0, y = center_ ? (ch - h) / 2 : 0;
  return Rect(x, y, x + w, y + h);
}

void TImage::Paint() {
  TCanvas& canvas = GetCanvas();
  if (picture_.HasGraphic()) {
    TRect r = DestRect();
    if (r.Width() == picture_.GetWidth() && r.Height() == picture_.GetHeight())
      canvas.Draw(r.Left, r.Top, picture_.Bitmap());
    else
      canvas.StretchDraw(r, picture_.Bitmap());
  }
  TCustomControl::Paint();
}

}  // namespace pictavo
