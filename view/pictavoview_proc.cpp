// TPictavoView's side of the processing component's attachment: the
// selection handed out in bitmap coordinates, and selections made by the
// component (always in bitmap coordinates, whatever SelectionBase says).
#include "view/pictavoview.h"

namespace pictavo {

bool TPictavoView::ProcGetSelection(int& x1, int& y1, int& x2, int& y2, const TPoint*& polygon,
                                    int& polygonCount, const TPVMask*& mask) {
  if (!has_selection_ || polygon_.empty()) return false;
  x1 = GetSelX1();
  y1 = GetSelY1();
  x2 = GetSelX2();
  y2 = GetSelY2();
  polygon = GetPolySelArray();
  polygonCount = GetPolySelCount();
  mask = &mask_;
  return true;
}

void TPictavoView::ProcSelectBitmapRect(int x1, int y1, int x2, int y2, TPVSelOp op) {
  const TPVSelectionBase saved = selection_base_;
  selection_base_ = pvsbBitmap;
  Select(x1, y1, x2, y2, op);
  selection_base_ = saved;
}

bool TPictavoView::ProcClientToBitmap(int& x, int& y) const {
  if (selection_base_ != pvsbClientArea) return false;
  x = XScr2Bmp(x);
  y = YScr2Bmp(y);
  return true;
}

}  // namespace pictavo
