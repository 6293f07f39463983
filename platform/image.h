// TPicture and TImage of the framework stand-in.  A picture holds one bitmap
// (its graphic); an image control shows it at the top-left corner, centred,
// or stretched (optionally keeping proportions) over the control's colour.
// Components that change the bitmap call the picture's Changed (or the
// bitmap's SetModified(true)), which repaints the control.
#pragma once

#include <functional>
#include <memory>

#include "platform/bitmap.h"
#include "platform/control.h"

namespace pictavo {

class TPicture : public TObject {
 public:
  TPicture();
  ~TPicture() override;

  // The bitmap, created (empty) on first use.
  TBitmap& Bitmap();
  TBitmap* GetBitmap() { return &Bitmap(); }
  bool HasGraphic() const { return bitmap_ && !bitmap_->Empty(); }
  // Copies the bitmap; null clears the picture.
  void SetBitmap(const TBitmap* bitmap);
  void Assign(const TPicture& source);
  int GetWidth() const { return bitmap_ ? bitmap_->GetWidth() : 0; }
  int GetHeight() const { return bitmap_ ? bitmap_->GetHeight() : 0; }
  // Frees the bitmap's pixels.
  void Clear();

  // Fires OnChange.
  void Changed();
  std::function<void(TObject* Sender)> OnChange;

 private:
  void HookBitmap();
  std::unique_ptr<TBitmap> bitmap_;
};

class TImage : public TCustomControl {
 public:
  explicit TImage(TComponent* owner = nullptr);
  ~TImage() override;

  TPicture& Picture() { return picture_; }
  TPicture* GetPicture() { return &picture_; }
  void SetPicture(const TPicture& picture) { picture_.Assign(picture); }

  bool GetStretch() const { return stretch_; }
  void SetStretch(bool v);
  bool GetCenter() const { return center_; }
  void SetCenter(bool v);
  bool GetProportional() const { return proportional_; }
  void SetProportional(bool v);
  bool GetAutoSize() const { return auto_size_; }
  void SetAutoSize(bool v);

  // Where the picture is drawn in client coordinates.
  TRect DestRect() const;
  void Paint() override;

 private:
  void PictureChanged();

  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool auto_size_ = false;
};

}  // namespace pictavo
