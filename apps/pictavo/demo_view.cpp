// Demo section of the image view: the sample photograph at several zooms,
// centred and not, scrolled, with every background style, the pixel grid,
// the zoom filter and a one-bit page reduced to grey, each written as a PNG
// screenshot of the view's window (border, scroll bars and surface).
#include <memory>
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "apps/pictavo/samples.h"
#include "codecs/png.h"
#include "io/ioparams.h"
#include "platform/desktop.h"
#include "platform/stream.h"
#include "view/pictavoview.h"

namespace pictavo::cli {
namespace {

constexpr int kViewW = 320, kViewH = 240;

void SavePng(TBitmap& bmp, const std::string& path) {
  TMemoryStream s;
  TIOParamsVals params;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePNGStream(s, bmp, params, progress);
  if (aborted) throw std::runtime_error("PNG write failed");
  s.SaveToFile(path);
}

// A view on the headless desktop showing `image`.
struct ShownView {
  std::unique_ptr<TPictavoView> view = std::make_unique<TPictavoView>();
  explicit ShownView(const TBitmap& image) {
    Desktop().Reset();
    view->SetBorderStyle(bsSingle);
    view->SetBounds(0, 0, kViewW, kViewH);
    Desktop().AddWindow(view.get());
    view->Assign(const_cast<TBitmap*>(&image));
    Desktop().ProcessMessages();
  }
  ~ShownView() {
    Desktop().RemoveWindow(view.get());
    Desktop().Reset();
  }
  std::string Shot(DemoContext& demo, const std::string& name) {
    Desktop().ProcessMessages();
    std::unique_ptr<TBitmap> image = Desktop().WindowImage(view.get());
    SavePng(*image, demo.Path(name));
    return name;
  }
};

std::string ZoomsAndScrolling(DemoContext& demo, const TBitmap& photo) {
  ShownView v(photo);
  TPictavoView& view = *v.view;
  view.SetScrollBars(ssBoth);
  std::string out = v.Shot(demo, "view_zoom100.png");
  view.SetViewXY(200, 150);
  out += ", " + v.Shot(demo, "view_zoom100_scrolled.png");
  view.SetZoom(33);
  out += ", " + v.Shot(demo, "view_zoom33_topleft.png");
  view.SetCenter(true);
  out += ", " + v.Shot(demo, "view_zoom33_centred.png");
  view.ZoomAt(150, 110, 250);
  out += ", " + v.Shot(demo, "view_zoom250.png");
  view.SetDisplayGrid(true);
  view.ZoomAt(150, 110, 800);
  out += ", " + v.Shot(demo, "view_zoom800_grid.png");
  return out;
}

std::string BackgroundStyles(DemoContext& demo, const TBitmap& photo) {
  static const char* kNames[] = {"solid",     "horizontal", "vertical",  "fdiagonal",
                                 "bdiagonal", "cross",      "diagcross", "chessboard",
                                 "diagonals", "cropped",    "cropshadow"};
  ShownView v(photo);
  TPictavoView& view = *v.view;
  view.SetBackGround(0x80A0C0);
  view.SetCenter(true);
  view.SetZoom(30);
  std::string out;
  for (int s = pvbsSolid; s <= pvbsCropShadow; ++s) {
    view.SetBackgroundStyle(static_cast<TPVBackgroundStyle>(s));
    out += (s ? " " : "") + v.Shot(demo, std::string("view_bg_") + kNames[s] + ".png");
  }
  view.Fit();  // the shadowed style keeps a 5-pixel margin
  return out + " " + v.Shot(demo, "view_fit_cropshadow.png");
}

std::string ZoomFilter(DemoContext& demo, const TBitmap& photo, const TBitmap& page) {
  ShownView v(photo);
  TPictavoView& view = *v.view;
  view.SetZoom(50);
  std::string out = v.Shot(demo, "view_zoom50_nearest.png");
  view.SetZoomFilter(rfLanczos3);
  view.FilterDelay = 0;
  view.Update();
  out += ", " + v.Shot(demo, "view_zoom50_lanczos3.png");
  ShownView p(page);
  p.view->SetZoomFilter(rfTriangle);
  p.view->SetZoom(40);
  p.view->FilterDelay = 0;
  p.view->Update();
  return out + ", " + p.Shot(demo, "view_page1bit_zoom40_grey.png");
}

void RunViewDemo(DemoContext& demo) {
  std::unique_ptr<TBitmap> photo = MakeSamplePhoto(640, 480);
  std::unique_ptr<TBitmap> page = MakeSamplePage(600, 400);
  demo.Run("view", "zooms, centring, scrolling, grid",
           [&] { return ZoomsAndScrolling(demo, *photo); });
  demo.Run("view", "eleven background styles and Fit",
           [&] { return BackgroundStyles(demo, *photo); });
  demo.Run("view", "zoom filter and a 1-bit page in grey",
           [&] { return ZoomFilter(demo, *photo, *page); });
}

}  // namespace

PICTAVO_DEMO(100, "image view", RunViewDemo);

}  // namespace pictavo::cli
