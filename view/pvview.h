// TPVView: the base of every control that displays a bitmap (the image view
// and the thumbnail view).  It carries the background colour, the border,
// the image resolution, and the list of bitmap-change callbacks through
// which attached components learn that the displayed bitmap was replaced or
// that the view is going away.
#pragma once

#include <functional>
#include <vector>

#include "core/imagehost.h"
#include "platform/colors.h"
#include "platform/control.h"

namespace pictavo {

class TBitmap;

class TPVView : public TCustomControl, public IPVImageHost {
 public:
  explicit TPVView(TComponent* owner = nullptr);
  ~TPVView() override;

  TComponent* HostComponent() override { return this; }
  TColor GetBackground() const override { return background_; }
  void SetBackGround(TColor color) override;
  // The displayed bitmap (none in the base).
  TBitmap* GetFBitmap() override { return nullptr; }

  int GetDPIX() const override { return dpi_x_; }
  int GetDPIY() const override { return dpi_y_; }
  // A value of 0 is ignored.
  virtual void SetDPIX(int dpi);
  virtual void SetDPIY(int dpi);
  void SetDPI(int dpiX, int dpiY) override;
  // The platform's Update (a descendant may give it a layout step).
  void Update() override { TCustomControl::Update(); }
  void ImageChange() override {}
  // Takes a copy of another view's or a bitmap's image (none in the base).
  void Assign(TObject* source) override { (void)source; }
  // Whether attached components may set the background (a thumbnail view
  // keeps its own).
  bool AcceptsComponentBackground() const override { return true; }

  bool GetParentCtl3D() const { return parent_ctl3d_; }
  void SetParentCtl3D(bool on) { parent_ctl3d_ = on; }

  // Bitmap-change callbacks, keyed by the registering object.  Remove drops
  // the first entry of that key (nothing when there is none).
  void RegisterBitmapChangeEvent(const void* key, TPVBitmapChangeEvent event) override;
  void RemoveBitmapChangeEvent(const void* key) override;
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
