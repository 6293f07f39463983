#include "view/pvview.h"

#include <utility>

#include "core/pvdefs.h"
#include "view/view_globals.h"

namespace pictavo {

TPVView::TPVView(TComponent* owner) : TCustomControl(owner) {
  PVInitViewGlobals();
  dpi_x_ = gSystemDPIX;
  dpi_y_ = gSystemDPIY;
  // Opaque: the view paints every client pixel, nothing is erased first.
  TControlStyle style = GetControlStyle();
  style.Include(csOpaque);
  SetControlStyle(style);
  SetBorderStyle(bsSingle);
  SetColor(background_);
}

TPVView::~TPVView() {
  // Receivers may unregister while being told: call a detached list.
  std::vector<Entry> entries = std::move(callbacks_);
  callbacks_.clear();
  for (Entry& e : entries)
    if (e.event) e.event(this, true);
}

void TPVView::SetBackGround(TColor color) {
  background_ = color;
}

void TPVView::SetDPIX(int dpi) {
  if (dpi != 0) dpi_x_ = dpi;
}

void TPVView::SetDPIY(int dpi) {
  if (dpi != 0) dpi_y_ = dpi;
}

void TPVView::SetDPI(int dpiX, int dpiY) {
  SetDPIX(dpiX);
  SetDPIY(dpiY);
}

void TPVView::RegisterBitmapChangeEvent(const void* key, TPVBitmapChangeEvent event) {
  callbacks_.push_back({key, std::move(event)});
}

void TPVView::RemoveBitmapChangeEvent(const void* key) {
  for (auto it = callbacks_.begin(); it != callbacks_.end(); ++it) {
    if (it->key == key) {
      callbacks_.erase(it);
      return;
    }
  }
}

void TPVView::CallBitmapChangeEvents() {
  std::vector<Entry> entries = callbacks_;  // a receiver may change the list
  for (Entry& e : entries)
    if (e.event) e.event(this, false);
}

}  // namespace pictavo
