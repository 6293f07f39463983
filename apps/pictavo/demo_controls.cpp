// Demo section: the window layer.  A control with each border (none, flat
// single, sunken 3-D) and each scroll-bar combination (none, horizontal,
// vertical, both) drawn by the headless desktop, a desktop with all twelve
// windows, a gesture run through the desktop, and a sheet of the library's
// cursors; all written as PNG files.
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "codecs/png.h"
#include "platform/app.h"
#include "platform/cursors.h"
#include "platform/desktop.h"
#include "platform/stream.h"
#include "platform/timer.h"

namespace pictavo::cli {
namespace {

void SavePng(TBitmap& bitmap, const std::string& path) {
  TIOParamsVals params;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  TMemoryStream stream;
  WritePNGStream(stream, bitmap, params, progress);
  if (aborted) throw std::runtime_error("PNG write failed");
  stream.SaveToFile(path);
}

// A control that paints a grid of 10-pixel cells shaded by position and a
// frame one pixel inside its client, so the client edges can be seen.
class GridControl : public TCustomControl {
 public:
  GridControl() { SetControlStyle(TControlStyle{csOpaque, csCaptureMouse, csClickEvents}); }
  void Paint() override {
    TCanvas& c = GetCanvas();
    int w = ClientWidth(), h = ClientHeight();
    for (int y = 0; y < h; y += 10)
      for (int x = 0; x < w; x += 10) {
        c.Brush().SetColor(((x / 10 + y / 10) & 1) ? RGB(230, 236, 245) : RGB(200, 214, 235));
        c.FillRect(Rect(x, y, x + 10, y + 10));
      }
    c.Brush().SetColor(RGB(200, 40, 40));
    c.FillRect(Rect(0, 0, w, 1));
    c.FillRect(Rect(0, h - 1, w, h));
    c.FillRect(Rect(0, 0, 1, h));
    c.FillRect(Rect(w - 1, 0, w, h));
    for (const TPoint& p : dots) {
      c.Brush().SetColor(clNavy);
      c.FillRect(Rect(p.x - 2, p.y - 2, p.x + 3, p.y + 3));
    }
  }
  void MouseMove(TShiftState shift, int x, int y) override {
    if (shift.Contains(ssLeft)) {
      dots.push_back(Point(x, y));
      InvalidateRect(Rect(x - 2, y - 2, x + 3, y + 3));
    }
  }
  std::vector<TPoint> dots;
};

struct BorderKind {
  const char* name;
  TBorderStyle style;
  bool ctl3d;
};
const BorderKind kBorders[] = {
    {"none", bsNone, true}, {"flat", bsSingle, false}, {"sunken", bsSingle, true}};
const char* const kBars[] = {"nobars", "hbar", "vbar", "bothbars"};

void SetUpBars(GridControl& c, int kind) {
  TScrollInfo si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMax = 99;
  si.nPage = 25;
  si.nPos = 40;
  if (kind == 1 || kind == 3) c.SetScrollInfo(SB_HORZ, si, false);
  si.nPos = 0;
  if (kind == 2 || kind == 3) {
    c.SetScrollInfo(SB_VERT, si, false);
    c.EnableScrollBar(SB_VERT, ESB_DISABLE_UP);  // at the top: the up arrow is grey
  }
}

void Run(DemoContext& demo) {
  Desktop().Reset();
  std::vector<std::unique_ptr<GridControl>> windows;
  for (int b = 0; b < 3; ++b)
    for (int s = 0; s < 4; ++s) {
      std::string name = std::string("controls_") + kBorders[b].name + "_" + kBars[s] + ".png";
      demo.Run("controls", std::string(kBorders[b].name) + " border, " + kBars[s], [&, b, s, name] {
        auto c = std::make_unique<GridControl>();
        c->SetBounds(20 + s * 230, 20 + b * 190, 200, 150);
        c->SetBorderStyle(kBorders[b].style);
        c->SetCtl3D(kBorders[b].ctl3d);
        SetUpBars(*c, s);
        Desktop().AddWindow(c.get());
        Desktop().ProcessMessages();
        auto image = Desktop().WindowImage(c.get());
        SavePng(*image, demo.Path(name));
        std::string figures = "client " + std::to_string(c->ClientWidth()) + "x" +
                              std::to_string(c->ClientHeight()) + " -> " + name;
        windows.push_back(std::move(c));
        return figures;
      });
    }
  demo.Run("controls", "drag through the desktop, 300 ms of a 150 ms timer", [&] {
    if (windows.empty()) throw std::runtime_error("no windows");
    GridControl& target = *windows.back();
    TPoint from = target.ClientToScreen(Point(20, 20));
    Desktop().Drag(from, Point(from.x + 120, from.y + 80), 24);
    int ticks = 0;
    TTimer timer;
    timer.SetInterval(150);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    Desktop().AdvanceClock(300);
    if (ticks != 2) throw std::runtime_error("timer ticked " + std::to_string(ticks) + " times");
    auto image = Desktop().WindowImage(&target);
    SavePng(*image, demo.Path("controls_drag.png"));
    return std::to_string(target.dots.size()) + " moves, " + std::to_string(ticks) +
           " ticks -> controls_drag.png";
  });
  demo.Run("controls", "desktop with all twelve windows", [&] {
    Screen().SetSystemMetric(SM_CXSCREEN, 940);
    Screen().SetSystemMetric(SM_CYSCREEN, 600);
    auto screen = Desktop().ScreenImage();
    SavePng(*screen, demo.Path("controls_desktop.png"));
    return std::string("940x600 -> controls_desktop.png");
  });
  demo.Run("controls", "cursor sheet", [&] {
    std::vector<std::string> names = CursorResourceNames();
    TBitmap sheet(int(names.size()) * 40 + 8, 48, pf24bit);
    TCanvas& c = sheet.Canvas();
    c.Brush().SetColor(RGB(160, 170, 190));
    c.FillRect(Rect(0, 0, sheet.GetWidth(), sheet.GetHeight()));
    for (size_t i = 0; i < names.size(); ++i) {
      TCursorImage cur = LoadCursorResource(names[i]);
      int ox = 8 + int(i) * 40, oy = 8;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
          if (cur.mask->GetPixel(x, y) == clBlack)
            sheet.SetPixel(ox + x, oy + y, cur.color->GetPixel(x, y));
      sheet.SetPixel(ox + cur.hotspot.x, oy + cur.hotspot.y, clRed);
    }
    SavePng(sheet, demo.Path("controls_cursors.png"));
    return std::to_string(names.size()) + " cursors -> controls_cursors.png";
  });
  Desktop().Reset();
  Application().UseManualClock(false);
}

}  // namespace

PICTAVO_DEMO(120, "controls", Run);

}  // namespace pictavo::cli
