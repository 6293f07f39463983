// The part of an image view that the processing component needs beyond the
// view base (bitmap, callbacks, background, Update): its selection and its
// coordinate mapping.  Declared here and implemented by the image view, so
// that the component reaches the view through this layer's own interface.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace pictavo {

class TPVMask;
enum TPVSelOp : uint8_t;

class IPVProcTarget {
 public:
  // The selection in bitmap coordinates (x2, y2 exclusive) with its polygon
  // and mask; false when the view has no selection.
  virtual bool ProcGetSelection(int& x1, int& y1, int& x2, int& y2, const TPoint*& polygon,
                                int& polygonCount, const TPVMask*& mask) = 0;
  // A rectangle selection given in bitmap coordinates, whatever the view's
  // own coordinate base.
  virtual void ProcSelectBitmapRect(int x1, int y1, int x2, int y2, TPVSelOp op) = 0;
  virtual void ProcDeSelect() = 0;
  // Converts client to bitmap coordinates when the view takes selection
  // coordinates in client units; false (unchanged) otherwise.
  virtual bool ProcClientToBitmap(int& x, int& y) const = 0;

 protected:
  ~IPVProcTarget() = default;
};

}  // namespace pictavo
