// Helpers of the view tests: a view on the headless desktop, bitmaps with a
// known colour per pixel, and surface reads.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/bitmap.h"
#include "platform/colors.h"
#include "platform/desktop.h"
#include "view/pictavoview.h"
#include "view/view_globals.h"

namespace pictavo::viewtest {

// A colour that tells the pixel's coordinates apart (x and y below 256).
inline TColor CoordColor(int x, int y) {
  return TColor(x) | (TColor(y) << 8) | (0x40u << 16);
}

inline std::unique_ptr<TBitmap> MakeBitmap(int w, int h,
                                           const std::function<TColor(int, int)>& colour) {
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      TColor c = colour(x, y);
      row[3 * x] = uint8_t(c >> 16);
      row[3 * x + 1] = uint8_t(c >> 8);
      row[3 * x + 2] = uint8_t(c);
    }
  }
  return b;
}

inline TColor Grey(int v) {
  return TColor(v) * 0x010101u;
}

// A borderless view of the given outer size shown on a fresh desktop.
class ViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop().Reset();
    PVReadViewGlobals();
    view = std::make_unique<TPictavoView>();
    view->SetBorderStyle(bsNone);
    Desktop().AddWindow(view.get());
  }
  void TearDown() override {
    if (view) Desktop().RemoveWindow(view.get());
    view.reset();
    Desktop().Reset();
  }
  void Show(int w, int h, const TBitmap& image) {
    view->SetBounds(0, 0, w, h);
    view->Assign(const_cast<TBitmap*>(&image));
    Desktop().ProcessMessages();
  }
  TColor Pixel(int x, int y) const { return view->Surface().GetPixel(x, y); }
  TColor Background() const { return ColorToRGB(view->GetBackground()); }

  std::unique_ptr<TPictavoView> view;
};

}  // namespace pictavo::viewtest
