#include "apps/viewdemo/gestures.h"

#include <algorithm>
#include <cstdio>

namespace pictavo {

namespace {

constexpr int kToleranceStep = 5;
constexpr int kToleranceMax = 255;

void Announce(const char* what) {
  std::fprintf(stderr, "mouse: %s\n", what);
}

}  // namespace

void InstallSelectionGestures(TPictavoView& view) {
  TKeyEvent previous = view.OnKeyDown;
  view.OnKeyDown = [&view, previous](TObject* sender, uint16_t& key, TShiftState shift) {
    switch (key) {
      case 'Z':
        view.SetMouseInteract({});
        view.SetMouseInteract({miZoom, miScroll});
        Announce("zoom clicks (left in, right out), drag scrolls");
        return;
      case 'S':
        view.SetMouseInteract({miSelect});
        Announce("rectangle selection");
        return;
      case 'P':
        view.SetMouseInteract({miSelectPolygon});
        Announce("polygon selection: click corners, drag freehand, double click ends");
        return;
      case 'E':
        view.SetMouseInteract({miSelectCircle});
        Announce("ellipse selection (Ctrl: circle)");
        return;
      case 'W':
        view.SetMouseInteract({miSelectMagicWand});
        Announce("magic wand");
        return;
      case 'R':
        view.SetMouseInteract({miSelectZoom});
        Announce("zoom to a dragged rectangle");
        return;
      case 'N':
        view.SetMouseInteract({});
        Announce("no gesture");
        return;
      case 'D':
        view.DeSelect();
        return;
      case VK_ADD:
      case VK_SUBTRACT:
        view.MagicWandTolerance =
            std::clamp(view.MagicWandTolerance + (key == VK_ADD ? kToleranceStep : -kToleranceStep),
                       0, kToleranceMax);
        std::fprintf(stderr, "wand tolerance %d\n", view.MagicWandTolerance);
        return;
      default:
        break;
    }
    if (previous) previous(sender, key, shift);
  };
}

}  // namespace pictavo
