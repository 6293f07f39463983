// TPictavoIO's targets: a bare bitmap, an image view (followed through its
// bitmap-change callbacks and told to lay out again after a load) or a
// platform TImage (its picture's bitmap, repainted through the modified
// flag).  A component has one target at a time; attaching anything first
// detaches the view's callback.
#include "core/imagehost.h"
#include "io/pictavoio.h"
#include "platform/image.h"

namespace pictavo {

void TPictavoIO::DetachTargets() {
  if (attached_view_) {
    attached_view_->RemoveBitmapChangeEvent(this);
    RemoveFreeNotification(attached_view_component_);
    attached_view_ = nullptr;
    attached_view_component_ = nullptr;
  }
  if (attached_image_) {
    RemoveFreeNotification(attached_image_);
    attached_image_ = nullptr;
  }
}

void TPictavoIO::SetAttachedBitmap(TBitmap* bitmap) {
  if (bitmap) {
    DetachTargets();
    bitmap_ = bitmap;
  } else if (!attached_view_ && !attached_image_) {
    bitmap_ = nullptr;
  }
}

void TPictavoIO::SetAttachedPictavo(IPVImageHost* view) {
  if (view == attached_view_ && view) return;
  DetachTargets();
  bitmap_ = nullptr;
  if (!view) return;
  attached_view_ = view;
  attached_view_component_ = view->HostComponent();
  FreeNotification(attached_view_component_);
  view->RegisterBitmapChangeEvent(
      this, [this](TObject* Sender, bool destroying) { ViewBitmapChanged(Sender, destroying); });
  bitmap_ = view->GetFBitmap();
}

void TPictavoIO::SetTImage(TImage* image) {
  if (image == attached_image_ && image) return;
  DetachTargets();
  bitmap_ = nullptr;
  if (!image) return;
  attached_image_ = image;
  FreeNotification(image);
  bitmap_ = &image->Picture().Bitmap();
}

void TPictavoIO::ViewBitmapChanged(TObject* Sender, bool destroying) {
  if (!attached_view_ || Sender != static_cast<TObject*>(attached_view_component_)) return;
  if (destroying) {
    // The view is going away: forget it without calling back into it.
    attached_view_ = nullptr;
    attached_view_component_ = nullptr;
    bitmap_ = nullptr;
    return;
  }
  bitmap_ = attached_view_->GetFBitmap();
}

void TPictavoIO::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component && component == attached_view_component_) {
    // Its destructor already called our callback; nothing left to undo.
    attached_view_ = nullptr;
    attached_view_component_ = nullptr;
    bitmap_ = nullptr;
  } else if (component == attached_image_) {
    attached_image_ = nullptr;
    bitmap_ = nullptr;
  }
}

TColor TPictavoIO::GetBackground() const {
  return attached_view_ ? attached_view_->GetBackground() : background_;
}

void TPictavoIO::SetBackground(TColor color) {
  if (!attached_view_) {
    background_ = color;
  } else if (attached_view_->AcceptsComponentBackground()) {
    attached_view_->SetBackGround(color);
  }
}

bool TPictavoIO::ParamsViewResolution(int& dpiX, int& dpiY) {
  if (!attached_view_) return false;
  dpiX = attached_view_->GetDPIX();
  dpiY = attached_view_->GetDPIY();
  return true;
}

void TPictavoIO::SetViewResolution() {
  if (attached_view_) attached_view_->SetDPI(params_->DpiX, params_->DpiY);
}

void TPictavoIO::Update() {
  if (attached_view_) {
    attached_view_->Update();
    attached_view_->ImageChange();
  } else if (bitmap_) {
    bitmap_->SetModified(true);
  }
}

}  // namespace pictavo
