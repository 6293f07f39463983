// TPictavoProc: the attachment points.  Everything the component needs from
// an image view or a platform TImage is reached through the functions of
// this file:
//   ViewBitmap          the view's bitmap (GetFBitmap)
//   ViewSelection       the view's rectangle, polygon and mask
//   ViewChanged         the view's Update, then ImageChange
//   ViewBackground      the view's background colour (read and write)
//   ViewSelect          the view's Select in bitmap coordinates, or DeSelect
//   ViewClientToBitmap  client to bitmap coordinates when the view takes
//                       selection coordinates in client units
//   DetachView          drops the view (unregistering the bitmap-change
//                       callback) and the TImage
// The view base is followed through its bitmap-change callbacks and the
// free notification; the selection and the mapping come through the
// IPVProcTarget interface that the image view implements; the view itself
// is reached through IPVImageHost, so this layer includes no view header.
#include "core/imagehost.h"
#include "platform/image.h"
#include "processing/pictavoproc.h"
#include "processing/proc_target.h"

namespace pictavo {

namespace {

IPVProcTarget* ProcTarget(IPVImageHost* view) {
  return dynamic_cast<IPVProcTarget*>(view);
}

}  // namespace

void TPictavoProc::SetAttachedPictavo(IPVImageHost* view) {
  if (view && view == view_) return;
  DetachView();
  bitmap_ = nullptr;
  if (!view) return;
  view_ = view;
  view_component_ = view->HostComponent();
  FreeNotification(view_component_);
  view->RegisterBitmapChangeEvent(
      this, [this](TObject* Sender, bool destroying) { OnBitmapChange(Sender, destroying); });
  bitmap_ = ViewBitmap();
}

void TPictavoProc::SetTImage(TImage* image) {
  if (image && image == image_) return;
  DetachView();
  bitmap_ = nullptr;
  if (!image) return;
  image_ = image;
  FreeNotification(image);
  bitmap_ = &image->Picture().Bitmap();
}

void TPictavoProc::OnBitmapChange(TObject* Sender, bool destroying) {
  // Only the attached view holds this callback (detaching unregisters it).
  if (destroying) {
    // The view is going away with its bitmap: forget both without calling
    // back into it.
    if (view_) RemoveFreeNotification(view_component_);
    view_ = nullptr;
    view_component_ = nullptr;
    bitmap_ = nullptr;
    return;
  }
  if (view_ && Sender == static_cast<TObject*>(view_component_)) bitmap_ = ViewBitmap();
}

void TPictavoProc::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove || !component) return;
  if (component == view_component_) {
    // The view's destructor has already run its callbacks (and so ours);
    // nothing of the view is left to unregister from.
    view_ = nullptr;
    view_component_ = nullptr;
    bitmap_ = nullptr;
  } else if (component == static_cast<TComponent*>(image_)) {
    image_ = nullptr;
    bitmap_ = nullptr;
  }
}

TBitmap* TPictavoProc::ViewBitmap() const {
  return view_ ? view_->GetFBitmap() : nullptr;
}

bool TPictavoProc::ViewSelection(TPVSelectionArea& area) const {
  IPVProcTarget* target = ProcTarget(view_);
  if (!target) return false;
  area.polygonCount = 0;
  area.polygon = nullptr;
  area.mask = nullptr;
  if (!target->ProcGetSelection(area.x1, area.y1, area.x2, area.y2, area.polygon, area.polygonCount,
                                area.mask)) {
    area.x1 = -1;
    area.polygon = nullptr;
    area.polygonCount = 0;
    area.mask = nullptr;
  }
  return true;
}

void TPictavoProc::ViewChanged() {
  if (view_) {
    view_->Update();
    view_->ImageChange();
  } else if (bitmap_) {
    bitmap_->SetModified(true);
  }
}

bool TPictavoProc::ViewBackground(TColor& color) const {
  if (!view_) return false;
  color = view_->GetBackground();
  return true;
}

void TPictavoProc::ViewSetBackground(TColor color) {
  if (!view_) {
    background_ = color;
  } else if (view_->AcceptsComponentBackground()) {
    view_->SetBackGround(color);
  }
}

void TPictavoProc::ViewSelect(int x1, int y1, int x2, int y2, TPVSelOp op, bool deselect) {
  IPVProcTarget* target = ProcTarget(view_);
  if (!target) return;
  if (deselect)
    target->ProcDeSelect();
  else
    target->ProcSelectBitmapRect(x1, y1, x2, y2, op);
}

bool TPictavoProc::ViewClientToBitmap(int& x, int& y) const {
  IPVProcTarget* target = ProcTarget(view_);
  return target && target->ProcClientToBitmap(x, y);
}

void TPictavoProc::DetachView() {
  if (view_) {
    view_->RemoveBitmapChangeEvent(this);
    RemoveFreeNotification(view_component_);
    view_ = nullptr;
    view_component_ = nullptr;
  }
  if (image_) {
    RemoveFreeNotification(image_);
    image_ = nullptr;
  }
}

}  // namespace pictavo
