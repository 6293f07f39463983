// pictavo-viewdemo: the image view in a real window.  Shows the image file
// given on the command line (or a generated picture), with real scroll bars;
// the wheel zooms by 8 % per notch, Ctrl+wheel scrolls, keys: F fits, 1 shows
// 100 %, G toggles the pixel grid, C toggles centring, B steps through the
// background styles, L toggles the Lanczos3 zoom filter.
// Beside the view: a histogram following the image and the selection, an HSV
// box and gradient bar picking the background colour, and a ruler
// (apps/viewdemo/panel.h).
// --shot FILE.png shows the view alone, zooms in twice with the wheel, scrolls with the vertical
// bar, saves the window as FILE.png and quits (a check without a display,
// QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <QString>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "apps/viewdemo/gestures.h"
#include "apps/viewdemo/panel.h"
#include "hosts/qt/host_widget.h"
#include "hosts/qt/qt_bridge.h"
#include "io/pictavoio.h"
#include "view/pictavoview.h"

namespace {

using namespace pictavo;

std::unique_ptr<TBitmap> GeneratedPicture() {
  constexpr int kW = 1600, kH = 1200;
  auto bm = std::make_unique<TBitmap>(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int x = 0; x < kW; ++x) {
      const bool check = ((x / 50) + (y / 50)) & 1;
      row[3 * x] = uint8_t((x * 255) / kW);
      row[3 * x + 1] = uint8_t((y * 255) / kH);
      row[3 * x + 2] = check ? 200 : 60;
    }
  }
  return bm;
}

void HandleKey(TPictavoView& view, uint16_t key) {
  switch (key) {
    case 'F':
      view.Fit();
      break;
    case '1':
      view.SetZoom(100);
      break;
    case 'G':
      view.SetDisplayGrid(!view.GetDisplayGrid());
      break;
    case 'C':
      view.SetCenter(!view.GetCenter());
      break;
    case 'B':
      view.SetBackgroundStyle(
          static_cast<TPVBackgroundStyle>((view.GetBackgroundStyle() + 1) % (pvbsCropShadow + 1)));
      break;
    case 'L':
      view.SetZoomFilter(view.GetZoomFilter() == rfNone ? rfLanczos3 : rfNone);
      break;
    default:
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  qt::InstallQtBridge();

  TPictavoView view;
  view.SetBounds(0, 0, 900, 650);
  view.SetScrollBars(ssBoth);
  view.SetCenter(true);
  view.SetBackgroundStyle(pvbsCropShadow);
  view.SetZoomFilter(rfTriangle);
  view.SetDlgCode(DLGC_WANTARROWS);

  TPictavoIO io;
  io.SetAttachedPictavo(&view);
  QString shot;
  int fileArg = 1;
  if (argc > 2 && QString(argv[1]) == "--shot") {
    shot = argv[2];
    fileArg = 3;
  }
  if (argc > fileArg) {
    io.LoadFromFile(argv[fileArg]);
    if (io.Aborting) std::fprintf(stderr, "could not load %s\n", argv[fileArg]);
  } else {
    auto picture = GeneratedPicture();
    view.Assign(picture.get());
  }
  view.OnKeyDown = [&view](TObject*, uint16_t& key, TShiftState) { HandleKey(view, key); };
  // Selection gestures: S rectangle, P polygon, E ellipse, W wand, Z zoom clicks, R zoom to
  // a rectangle, N none, D deselect (apps/viewdemo/gestures.h).
  InstallSelectionGestures(view);
  if (shot.isEmpty()) {
    std::unique_ptr<QWidget> window(BuildViewWindow(view));
    window->setWindowTitle("Pictavo view");
    window->resize(1200, 700);
    window->show();
    view.Update();
    return app.exec();
  }
  qt::PictavoHostWidget host(&view);
  host.resize(900, 650);
  host.show();
  view.Update();
  {
    QTimer::singleShot(200, [&] {
      QWidget* surface = host.Surface();
      const QPointF centre(surface->width() / 2.0, surface->height() / 2.0);
      for (int notch = 0; notch < 2; ++notch) {
        QWheelEvent wheel(centre, surface->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface, &wheel);
      }
      host.ScrollBar(SB_VERT)->triggerAction(QAbstractSlider::SliderPageStepAdd);
      QApplication::processEvents();
      const bool saved = host.grab().save(shot);
      std::printf("zoom %.1f %%, view at (%d, %d), %s\n", view.GetZoom(), view.GetViewX(),
                  view.GetViewY(), saved ? "saved" : "not saved");
      QApplication::exit(saved ? 0 : 1);
    });
  }
  return app.exec();
}
