// pictavo-hostdemo: a person tries a hosted control.  The window shows a
// 2000 x 1500 virtual sheet through one of the library's controls with a
// sunken border and both scroll bars: drag to draw, the wheel and the arrow
// keys scroll, the bars scroll, a timer blinks a marker at the last point,
// double click clears, F2 opens a modal form, Ctrl+C copies the view to the
// clipboard.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hosts/qt/host_widget.h"
#include "platform/clipboard.h"
#include "platform/cursors.h"
#include "platform/forms.h"
#include "platform/timer.h"

using namespace pictavo;

namespace {

constexpr int kSheetW = 2000, kSheetH = 1500, kLine = 20, kCursor = 1785;

class Sheet : public TCustomControl {
 public:
  Sheet() {
    SetControlStyle(TControlStyle{csOpaque, csCaptureMouse, csClickEvents, csDoubleClicks});
    SetBorderStyle(bsSingle);
    SetBounds(0, 0, 640, 480);
    SetCursor(kCursor);
    blink_.SetInterval(400);
    blink_.SetOnTimer([this](TObject*) {
      on_ = !on_;
      InvalidateMarker();
    });
  }

  void Resize() override {
    TCustomControl::Resize();
    TScrollInfo si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMax = kSheetW - 1;
    si.nPage = ClientWidth();
    SetScrollInfo(SB_HORZ, si, true);
    si.nMax = kSheetH - 1;
    si.nPage = ClientHeight();
    SetScrollInfo(SB_VERT, si, true);
    ScrollTo(view_x_, view_y_);
  }

  void Paint() override {
    TCanvas& c = GetCanvas();
    TRect clip = c.ClipRect();
    for (int y = (clip.Top + view_y_) / kLine * kLine; y < clip.Bottom + view_y_; y += kLine)
      for (int x = (clip.Left + view_x_) / kLine * kLine; x < clip.Right + view_x_; x += kLine) {
        bool dark = ((x / kLine) + (y / kLine)) & 1;
        int shade = 200 + 40 * x / kSheetW;
        c.Brush().SetColor(dark ? RGB(shade, 220, 240) : RGB(250, 250, shade));
        c.FillRect(Rect(x - view_x_, y - view_y_, x - view_x_ + kLine, y - view_y_ + kLine));
      }
    c.Brush().SetColor(clNavy);
    for (const TPoint& p : dots_)
      c.FillRect(Rect(p.x - view_x_ - 2, p.y - view_y_ - 2, p.x - view_x_ + 3, p.y - view_y_ + 3));
    if (on_ && !dots_.empty()) {
      TPoint p = dots_.back();
      c.Brush().SetColor(Focused() ? clRed : clGray);
      c.FillRect(Rect(p.x - view_x_ - 6, p.y - view_y_ - 6, p.x - view_x_ + 7, p.y - view_y_ + 7));
    }
  }

  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    TCustomControl::MouseDown(b, s, x, y);
    if (b == mbLeft && !s.Contains(ssDouble)) AddDot(x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    if (s.Contains(ssLeft)) AddDot(x, y);
  }
  void DblClick() override {
    dots_.clear();
    Invalidate();
  }
  void MouseWheel(TShiftState, int delta, int, int) override {
    ScrollTo(view_x_, view_y_ - delta / WHEEL_DELTA * 3 * kLine);
  }
  bool WantSpecialKey(uint16_t key, TShiftState) override {
    return key >= VK_LEFT && key <= VK_DOWN;
  }
  void KeyDown(uint16_t& key, TShiftState shift) override {
    switch (key) {
      case VK_LEFT:
        ScrollTo(view_x_ - kLine, view_y_);
        break;
      case VK_RIGHT:
        ScrollTo(view_x_ + kLine, view_y_);
        break;
      case VK_UP:
        ScrollTo(view_x_, view_y_ - kLine);
        break;
      case VK_DOWN:
        ScrollTo(view_x_, view_y_ + kLine);
        break;
      case VK_F1 + 1:
        ShowForm();
        break;
      case 'C':
        if (shift.Contains(ssCtrl)) CopyView();
        break;
      default:
        break;
    }
  }
  void DoEnter() override { Invalidate(); }
  void DoExit() override { Invalidate(); }
  void WMHScroll(int code, int pos) override {
    ScrollTo(Scrolled(SB_HORZ, code, pos, view_x_), view_y_);
  }
  void WMVScroll(int code, int pos) override {
    ScrollTo(view_x_, Scrolled(SB_VERT, code, pos, view_y_));
  }

 private:
  int Scrolled(int bar, int code, int pos, int v) {
    int page = bar == SB_HORZ ? ClientWidth() : ClientHeight();
    switch (code) {
      case SB_LINEUP:
        return v - kLine;
      case SB_LINEDOWN:
        return v + kLine;
      case SB_PAGEUP:
        return v - page;
      case SB_PAGEDOWN:
        return v + page;
      case SB_TOP:
        return 0;
      case SB_BOTTOM:
        return INT32_MAX / 2;
      case SB_THUMBTRACK:
      case SB_THUMBPOSITION:
        return pos;
      default:
        return v;
    }
  }
  void ScrollTo(int x, int y) {
    x = std::clamp(x, 0, std::max(0, kSheetW - ClientWidth()));
    y = std::clamp(y, 0, std::max(0, kSheetH - ClientHeight()));
    if (x == view_x_ && y == view_y_) return;
    view_x_ = x;
    view_y_ = y;
    SetScrollPos(SB_HORZ, x, true);
    SetScrollPos(SB_VERT, y, true);
    Invalidate();
  }
  void AddDot(int x, int y) {
    InvalidateMarker();
    dots_.push_back(Point(x + view_x_, y + view_y_));
    InvalidateMarker();
  }
  void InvalidateMarker() {
    if (dots_.empty()) return;
    TPoint p = dots_.back();
    InvalidateRect(
        Rect(p.x - view_x_ - 6, p.y - view_y_ - 6, p.x - view_x_ + 7, p.y - view_y_ + 7));
  }
  void ShowForm() {
    TForm form;
    form.SetCaption("A modal form");
    form.SetBounds(0, 0, 240, 120);
    form.SetColor(RGB(220, 230, 210));
    form.OnMouseDown = [&form](TObject*, TMouseButton b, TShiftState, int, int) {
      form.SetModalResult(b == mbLeft ? mrOk : mrCancel);
    };
    TModalResult r = form.ShowModal();
    std::printf("form closed with %s (left click: OK, right click or close: Cancel)\n",
                r == mrOk ? "OK" : "Cancel");
  }
  void CopyView() {
    TBitmap& s = Surface();
    // A 24-bit bottom-up DIB of what the control shows.
    int w = s.GetWidth(), h = s.GetHeight(), row = (w * 3 + 3) / 4 * 4;
    HGLOBAL dib = GlobalAlloc(40 + size_t(row) * h);
    uint8_t* d = dib->Lock();
    uint32_t header[] = {40, uint32_t(w), uint32_t(h)};
    std::memcpy(d, header, 12);
    d[12] = 1;
    d[14] = 24;
    for (int y = 0; y < h; ++y) {
      const uint8_t* src = s.ScanLine(h - 1 - y);
      uint8_t* dst = d + 40 + size_t(row) * y;
      for (int x = 0; x < w; ++x) std::memcpy(dst + x * 3, src + x * 4, 3);
    }
    TClipboardLock lock;
    if (lock.Open() && EmptyClipboard()) SetClipboardData(CF_DIB, std::move(dib));
  }

  std::vector<TPoint> dots_;
  int view_x_ = 0, view_y_ = 0;
  bool on_ = true;
  TTimer blink_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Screen().SetCursors(kCursor, LoadCursorResource("CROCE2"));
  Sheet sheet;
  qt::PictavoHostWidget host(&sheet);
  host.setWindowTitle("Pictavo hosted control");
  host.show();
  return app.exec();
}
