// Geometry of the image view: zoom, scroll position, the image area inside
// the client area, the mapping between client and bitmap coordinates, the
// layout step run by the view's Update, the source rectangle of a paint and
// the answers to scroll-bar requests.
//
// Everything here is arithmetic over a small host interface (client and
// outer size, the two scroll bars, the change notifications), so it is tested
// without any surface; TPictavoView is the host in the library.
#pragma once

#include <cstdint>
#include <optional>

namespace pictavo {

// Round to nearest with halves to even, and truncation toward zero, from
// double to a 32-bit integer.  Values beyond the 32-bit range saturate.
int32_t PVRound(double value);
int32_t PVTrunc(double value);

// Which scroll bars the view uses (the control's ScrollBars property).
enum TPVScrollBars : uint8_t { pvsbNone, pvsbHorizontal, pvsbVertical, pvsbBoth };
enum TPVBarKind : uint8_t { pvbkHorizontal, pvbkVertical };

// Scroll requests of a scroll bar (the window system's SB_ codes).
enum TPVScrollRequest : uint8_t {
  pvsrLineUp,
  pvsrLineDown,
  pvsrPageUp,
  pvsrPageDown,
  pvsrThumbPosition,
  pvsrThumbTrack,
  pvsrTop,
  pvsrBottom,
  pvsrEndScroll
};

// Step sizes of one scroll bar; -1 means the default step.
struct TPVScrollBarParams {
  int32_t LineStep = -1;
  int32_t PageStep = -1;
  bool Tracking = true;
};

// Scroll bars use a fixed range of 0..65535; one unit is ScrollUnit display
// pixels.
constexpr int32_t kPVScrollRangeMax = 65535;
constexpr double kPVScrollUnits = 65536.0;

// The control side of the layout step.
class TPVLayoutHost {
 public:
  virtual ~TPVLayoutHost() = default;
  virtual int32_t LayoutClientWidth() const = 0;
  virtual int32_t LayoutClientHeight() const = 0;
  // Outer size of the control (border and scroll bars included).
  virtual int32_t LayoutWidth() const = 0;
  virtual int32_t LayoutHeight() const = 0;
  // A bar with nothing to scroll: hidden, or shown with both arrows disabled.
  virtual void LayoutBarIdle(TPVBarKind bar, bool keepVisible) = 0;
  // A bar in use: range 0..65535, page and position in bar units, enabled
  // and shown.
  virtual void LayoutBarActive(TPVBarKind bar, int32_t page, int32_t position) = 0;
  // Change 1 after a zoom change, 0 after a scroll.
  virtual void LayoutViewChange(int32_t change) = 0;
  // The bitmap's size differs from the one the last layout saw.
  virtual void LayoutBitmapResized(int32_t width, int32_t height) = 0;
};

// Inputs of one layout run besides the host.
struct TPVLayoutInput {
  int32_t BitmapWidth = 0;
  int32_t BitmapHeight = 0;
  bool Designing = false;
  // Margins kept round the image by Fit and AutoFit.
  int32_t MarginX = 0;
  int32_t MarginY = 0;
};

class TPVViewGeometry {
 public:
  // --- State (public, as the view exposes it) ------------------------------
  double Zoom = 100;
  double ZoomFactor = 1;
  double ZoomInverse = 1;
  int32_t ViewX = 0, ViewY = 0;
  int32_t OffsetX = 0, OffsetY = 0;
  int32_t ZoomedWidth = 0, ZoomedHeight = 0;
  int32_t ExtentX = 0, ExtentY = 0;
  int32_t SrcX = 0, SrcY = 0, SrcW = 0, SrcH = 0;
  int32_t DrawWidth = 0, DrawHeight = 0;
  double HScrollUnit = 1, VScrollUnit = 1;
  int32_t LastBitmapWidth = 0, LastBitmapHeight = 0;

  // --- Settings ---------------------------------------------------------------
  TPVScrollBars ScrollBars = pvsbNone;
  bool Center = false;
  bool AutoFit = false;
  bool ScrollBarsAlwaysVisible = false;

  // Sets Zoom with its factor (Zoom / 100) and inverse (100 / Zoom).
  void SetZoomValue(double zoom);
  bool UsesBar(TPVBarKind bar) const;

  // Client to bitmap, through the source origin of the last paint.
  int32_t XScr2Bmp(int32_t x) const;
  int32_t YScr2Bmp(int32_t y) const;
  // Bitmap to client, through the scroll position.
  int32_t XBmp2Scr(int32_t x) const;
  int32_t YBmp2Scr(int32_t y) const;

  // Largest scroll positions at the current zoom.  An image that fits the
  // outer size is never scrolled, even when a bar takes client space.
  void GetMaxViewXY(int32_t bitmapWidth, int32_t bitmapHeight, int32_t clientWidth,
                    int32_t clientHeight, int32_t outerWidth, int32_t outerHeight, int32_t& maxX,
                    int32_t& maxY) const;

  // The scroll position that keeps the bitmap point at the client centre
  // when the zoom becomes newZoom (before clamping).
  int32_t CentredViewX(int32_t clientWidth, double newZoom) const;
  int32_t CentredViewY(int32_t clientHeight, double newZoom) const;

  // The zoom part of a zoom change: the new zoom, with the scroll position
  // moved so that the bitmap point at the client centre stays there, then
  // clamped to the largest positions of the new zoom.
  void ZoomKeepingCentre(double zoom, int32_t bitmapWidth, int32_t bitmapHeight,
                         int32_t clientWidth, int32_t clientHeight, int32_t outerWidth,
                         int32_t outerHeight);

  // The zoom at which the bitmap fills width x height less the margins.
  static double FitZoom(int32_t width, int32_t height, int32_t bitmapWidth, int32_t bitmapHeight,
                        int32_t marginX, int32_t marginY);

  // The layout step.  A bar that appears or vanishes changes the client size
  // and the step runs again; sizes for which every run flips a bar again
  // stop after kMaxLayoutReruns further runs.
  static constexpr int kMaxLayoutReruns = 2;
  void Layout(TPVLayoutHost& host, const TPVLayoutInput& input);

  // The bitmap rectangle to draw and its display size for the current
  // scroll position and extent (the partly visible last column and row are
  // included above 100 %).
  void ComputeSource(int32_t bitmapWidth, int32_t bitmapHeight);

  // The scroll position a request moves to (unclamped), or nothing when the
  // request leaves the view where it is.
  std::optional<int32_t> ScrollTarget(TPVBarKind bar, TPVScrollRequest request,
                                      int32_t thumbPosition, const TPVScrollBarParams& params,
                                      int32_t clientSize, int32_t maxView) const;

 private:
  void LayoutRun(TPVLayoutHost& host, const TPVLayoutInput& input, int depth);
  void ApplyAutoFit(TPVLayoutHost& host, const TPVLayoutInput& input);
  void LayoutBars(TPVLayoutHost& host, int32_t maxX, int32_t maxY);
  void LayoutExtents(TPVLayoutHost& host, const TPVLayoutInput& input);
};

}  // namespace pictavo
