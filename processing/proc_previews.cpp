// TPictavoProc::DoPreviews: the selected area goes to the preview form and,
// when the form closes with OK, its result comes back into the bitmap.
#include <algorithm>
#include <utility>

#include "core/conversions.h"
#include "platform/bitmap.h"
#include "processing/pictavoproc.h"
#include "processing/previewsform.h"

namespace pictavo {

namespace {

TPVPreviewsFormFactory& Factory() {
  static TPVPreviewsFormFactory factory;
  return factory;
}

// A preview needs a 24-bit image of more than one pixel.
bool PreviewAccepted(const TBitmap* bitmap) {
  return bitmap && bitmap->GetPixelFormat() == pf24bit &&
         (bitmap->GetWidth() >= 2 || bitmap->GetHeight() >= 2);
}

// Puts the form's result back.  A selection through a polygon is merged
// through it.  Otherwise the result is drawn at the area's corner; the
// bitmap takes the result's size only when the area was the whole bitmap
// (a rotation in the preview can change the size): resizing the whole image
// to the size of a smaller rectangle would throw away everything outside it.
void MergeResult(TBitmap& bitmap, const TBitmap& result, const TPVSelectionArea& area) {
  const int x = std::max(area.x1, 0), y = std::max(area.y1, 0);
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const bool beyondEdges = area.x1 <= 0 && area.y1 <= 0 && area.x2 > w && area.y2 > h;
  if (area.polygonCount >= 1 && !beyondEdges) {
    _CopyPolygonBitmap(bitmap, result, x, y, area.polygon, area.polygonCount);
    return;
  }
  const bool whole = area.x1 <= 0 && area.y1 <= 0 && area.x2 >= w && area.y2 >= h;
  if (whole && (result.GetWidth() != w || result.GetHeight() != h))
    bitmap.SetSize(result.GetWidth(), result.GetHeight());
  bitmap.Canvas().Draw(x, y, result);
}

}  // namespace

TPVPreviewsFormFactory PVSetPreviewsFormFactory(TPVPreviewsFormFactory factory) {
  return std::exchange(Factory(), std::move(factory));
}

bool TPictavoProc::DoPreviews(TPreviewEffectsSet effects) {
  if (!PreviewAccepted(bitmap_) || !Factory()) return false;
  const TPVSelectionArea area = GetReSel();
  std::unique_ptr<IPVPreviewsForm> form = Factory()(this);
  if (!form) return false;
  TPVPreviewsSetup setup;
  setup.lockPreview = previews_params_.Contains(prppDefaultLockPreview);
  setup.language = msg_language_;
  setup.font = preview_font_.get();
  setup.onProgress = OnProgress;
  setup.host = this;
  setup.effects = effects;
  form->Setup(setup);
  _CopyBitmapRect(*bitmap_, form->SourceBitmap(), area.x1, area.y1, area.x2, area.y2);
  if (OnPreview) OnPreview(this, form->Form());
  if (form->ShowModal() != mrOk) return false;
  if (auto_undo_) SaveUndo();
  MergeResult(*bitmap_, form->SourceBitmap(), area);
  Update();
  return true;
}

}  // namespace pictavo
