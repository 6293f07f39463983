// IPVImageHost: what the I/O and processing components need of the image
// view they are attached to.  The view layer's TPVView implements it, so the
// components, which sit below the views, reach a view through this interface
// and never include the view's header.
#pragma once

#include <functional>

#include "platform/colors.h"

namespace pictavo {

class TBitmap;
class TComponent;
class TObject;

// Called with destroying = false when the view replaced its bitmap, and with
// true from the view's destructor (the receiver must forget the view).
using TPVBitmapChangeEvent = std::function<void(TObject* Sender, bool destroying)>;

class IPVImageHost {
 public:
  // The view as a component, for free notification.  Taken once when a
  // component attaches: a view being destroyed must not be called.
  virtual TComponent* HostComponent() = 0;
  // The displayed bitmap (none for a view without one).
  virtual TBitmap* GetFBitmap() = 0;
  virtual TColor GetBackground() const = 0;
  virtual void SetBackGround(TColor color) = 0;
  // Whether attached components may set the background.
  virtual bool AcceptsComponentBackground() const = 0;
  virtual int GetDPIX() const = 0;
  virtual int GetDPIY() const = 0;
  virtual void SetDPI(int dpiX, int dpiY) = 0;
  // After the bitmap changed: the view's layout step, then its image event.
  virtual void Update() = 0;
  virtual void ImageChange() = 0;
  // Takes a copy of a bitmap's (or another view's) image.
  virtual void Assign(TObject* source) = 0;
  // Bitmap-change callbacks, keyed by the registering object.
  virtual void RegisterBitmapChangeEvent(const void* key, TPVBitmapChangeEvent event) = 0;
  virtual void RemoveBitmapChangeEvent(const void* key) = 0;

 protected:
  ~IPVImageHost() = default;
};

}  // namespace pictavo
