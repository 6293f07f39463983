// TPictavoProc: the attachment points.  Everything the component needs from
// an image view or a platform TImage is reached through the functions of
// this file, so that wiring the view in touches nothing else:
//   ViewBitmap          the view's bitmap (GetFBitmap)
//   ViewSelection       the view's rectangle, polygon and mask
//   ViewChanged         the view's Update, then ImageChange
//   ViewBackground      the view's background colour (read and write)
//   ViewSelect          the view's Select (SelectionBase set to bitmap
//                       coordinates for the call) or DeSelect
//   ViewClientToBitmap  XScr2Bmp / YScr2Bmp when SelectionBase is the
//                       client area
//   DetachView          unregisters the bitmap-change callback
// The image view and the platform TImage are not part of the library yet:
// none can be attached, so these report "no view" and the component works
// on its bare bitmap with its own selection.
#include "processing/pictavoproc.h"

namespace pictavo {

void TPictavoProc::SetAttachedPictavo(TPVView* view) {
  DetachView();
  if (!view) return;
  view_ = view;
  image_ = nullptr;
  bitmap_ = ViewBitmap();
}

void TPictavoProc::SetTImage(TImage* image) {
  DetachView();
  image_ = image;
  // The picture's bitmap becomes the target once the platform TImage exists.
  bitmap_ = nullptr;
}

void TPictavoProc::OnBitmapChange(TObject* /*Sender*/, bool destroying) {
  if (destroying) {
    view_ = nullptr;
    bitmap_ = nullptr;
    return;
  }
  if (view_) bitmap_ = ViewBitmap();
}

void TPictavoProc::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
}

TBitmap* TPictavoProc::ViewBitmap() const {
  return nullptr;
}

bool TPictavoProc::ViewSelection(TPVSelectionArea& /*area*/) const {
  return false;
}

void TPictavoProc::ViewChanged() {
  if (bitmap_) bitmap_->SetModified(true);
}

bool TPictavoProc::ViewBackground(TColor& /*color*/) const {
  return false;
}

void TPictavoProc::ViewSetBackground(TColor color) {
  background_ = color;
}

void TPictavoProc::ViewSelect(int /*x1*/, int /*y1*/, int /*x2*/, int /*y2*/, TPVSelOp /*op*/,
                              bool /*deselect*/) {}

bool TPictavoProc::ViewClientToBitmap(int& /*x*/, int& /*y*/) const {
  return false;
}

void TPictavoProc::DetachView() { view_ = nullptr; }

}  // namespace pictavo
