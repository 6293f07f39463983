// Progress of the processing workers.  A worker that walks rows y1..y2-1
// reports, after each row, trunc((row - y1 + 1) * (100 / (lastRow - y1 +
// 0.5))), lastRow = y2 - 1: the last rows may report a little above 100
// (105 for ten rows), which callers keep.  Workers never test an abort
// flag: a processing operation runs to completion once started.
#pragma once

#include "core/pvdefs.h"
#include "platform/object.h"

namespace pictavo {

class TRowProgress {
 public:
  // Rows y1..y2-1 (y2 already clamped to the bitmap).
  TRowProgress(const TPVProgressEvent& onProgress, TObject* sender, int y1, int y2)
      : event_(onProgress), sender_(sender), y1_(y1), factor_(100.0 / ((y2 - 1) - y1 + 0.5)) {}
  bool Active() const { return bool(event_); }
  // After row y.
  void Row(int y) const {
    if (event_) event_(sender_, int((y - y1_ + 1) * factor_));
  }
  void Report(int per) const {
    if (event_) event_(sender_, per);
  }

 private:
  const TPVProgressEvent& event_;
  TObject* sender_;
  int y1_;
  double factor_;
};

// Clamps a worker rectangle to the bitmap: x2, y2 to the size and x1, y1 to
// 0.  False when nothing is left.
inline bool ClampWorkRect(int width, int height, int& x1, int& y1, int& x2, int& y2) {
  if (x2 > width) x2 = width;
  if (y2 > height) y2 = height;
  if (x1 < 0) x1 = 0;
  if (y1 < 0) y1 = 0;
  return x1 < x2 && y1 < y2;
}

}  // namespace pictavo
