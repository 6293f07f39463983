// TPVView: the base of every control that displays a bitmap (the image view
// and the thumbnail view).  It carries the background colour, the border,
// the image resolution, and the list of bitmap-change callbacks through
// which attached components learn that the displayed bitmap was replaced or
// that the view is going away.
#pragma once

#include <functional>
#include <vector>

#include "platform/colors.h"
#include "platform/control.h"

namespace pictavo {

class TBitmap;

// Called with destroying = false when the view replaced its bitmap, and with
// true from the view's destructor (the receiver must forget the view).
using TPVBitmapChangeEvent = std::function<void(TObject* Sender, bool destroying)>;

class TPVView : public TCustomControl {
 public:
  explicit TPVView(TComponent* owner = nullptr);
  ~TPVView() override;

  TColor GetBackground() const { return background_; }
  virtual void SetBackGround(TColor color);
  // The displayed bitmap (none in the base).
  virtual TBitmap* GetFBitmap() { return nullptr; }

  int GetDPIX() const { return dpi_x_; }
  int GetDPIY() const { return dpi_y_; }
  // A value of 0 is ignored.
  virtual void SetDPIX(int dpi);
  virtual void SetDPIY(int dpi);
  virtual void SetDPI(int dpiX, int dpiY);
  virtual void ImageChange() {}
  // Takes a copy of another view's or a bitmap's image (none in the base).
  virtual void Assign(TObject* source) { (void)source; }
  // Whether attached components may set the background (a thumbnail view
  // keeps its own).
  virtual bool AcceptsComponentBackground() const { return true; }

  bool GetParentCtl3D() const { return parent_ctl3d_; }
  void SetParentCtl3D(bool on) { parent_ctl3d_ = on; }

  // Bitmap-change callbacks, keyed by the registering object.  Remove drops
  // the first entry of that key (nothing when there is none).
  void RegisterBitmapChangeEvent(const void* key, TPVBitmapChangeEvent event);
  void RemoveBitmapChangeEvent(const void* key);
  // Calls every entry in order with (this, false).
  void CallBitmapChangeEvents();
  int BitmapChangeEventCount() const { return static_cast<int>(callbacks_.size()); }

 protected:
  TColor background_ = clBtnFace;

 private:
  struct Entry {
    const void* key;
    TPVBitmapChangeEvent event;
  };
  std::vector<Entry> callbacks_;
  int dpi_x_;
  int dpi_y_;
  bool parent_ctl3d_ = true;
};

}  // namespace pictavo
