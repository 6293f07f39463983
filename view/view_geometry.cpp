#include "view/view_geometry.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace pictavo {

namespace {

constexpr double kInt32Min = std::numeric_limits<int32_t>::min();
constexpr double kInt32Max = std::numeric_limits<int32_t>::max();

int32_t Saturate(double value) {
  if (std::isnan(value)) return 0;
  if (value <= kInt32Min) return std::numeric_limits<int32_t>::min();
  if (value >= kInt32Max) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

int32_t RoundHalfEven64(double value) {
  return Saturate(std::nearbyint(value));
}

// A platform call that fails while the bars are set must not stop the
// layout step.
template <typename Fn>
void Swallow(Fn&& fn) {
  try {
    fn();
  } catch (const std::exception&) {
  }
}

}  // namespace

int32_t PVRound(double value) {
  return RoundHalfEven64(value);
}
int32_t PVTrunc(double value) {
  return Saturate(std::trunc(value));
}

void TPVViewGeometry::SetZoomValue(double zoom) {
  Zoom = zoom;
  ZoomFactor = zoom / 100.0;
  ZoomInverse = 100.0 / zoom;
}

bool TPVViewGeometry::UsesBar(TPVBarKind bar) const {
  if (bar == pvbkHorizontal) return ScrollBars == pvsbHorizontal || ScrollBars == pvsbBoth;
  return ScrollBars == pvsbVertical || ScrollBars == pvsbBoth;
}

int32_t TPVViewGeometry::XScr2Bmp(int32_t x) const {
  return PVTrunc((double(x) - OffsetX) * ZoomInverse + SrcX);
}

int32_t TPVViewGeometry::YScr2Bmp(int32_t y) const {
  return PVTrunc((double(y) - OffsetY) * ZoomInverse + SrcY);
}

int32_t TPVViewGeometry::XBmp2Scr(int32_t x) const {
  int64_t sum = int64_t(x) + PVRound(-double(ViewX) * ZoomInverse);
  return PVRound(double(sum) * ZoomFactor + OffsetX);
}

int32_t TPVViewGeometry::YBmp2Scr(int32_t y) const {
  int64_t sum = int64_t(y) + PVRound(-double(ViewY) * ZoomInverse);
  return PVRound(double(sum) * ZoomFactor + OffsetY);
}

void TPVViewGeometry::GetMaxViewXY(int32_t bitmapWidth, int32_t bitmapHeight, int32_t clientWidth,
                                   int32_t clientHeight, int32_t outerWidth, int32_t outerHeight,
                                   int32_t& maxX, int32_t& maxY) const {
  maxX = maxY = 0;
  int32_t zw = PVRound(bitmapWidth * ZoomFactor);
  int32_t zh = PVRound(bitmapHeight * ZoomFactor);
  if (zw < 1 || zh < 1) return;
  if (outerWidth >= zw && outerHeight >= zh) return;
  maxX = std::max<int32_t>(0, zw - clientWidth);
  maxY = std::max<int32_t>(0, zh - clientHeight);
}

int32_t TPVViewGeometry::CentredViewX(int32_t clientWidth, double newZoom) const {
  int32_t hw = clientWidth >> 1;
  int32_t cx = PVRound((double(hw) + ViewX - OffsetX) * ZoomInverse);
  return PVTrunc(cx * newZoom / 100.0 - hw);
}

int32_t TPVViewGeometry::CentredViewY(int32_t clientHeight, double newZoom) const {
  int32_t hh = clientHeight >> 1;
  int32_t cy = PVRound((double(hh) + ViewY - OffsetY) * ZoomInverse);
  return PVTrunc(cy * newZoom / 100.0 - hh);
}

void TPVViewGeometry::ZoomKeepingCentre(double zoom, int32_t bitmapWidth, int32_t bitmapHeight,
                                        int32_t clientWidth, int32_t clientHeight,
                                        int32_t outerWidth, int32_t outerHeight) {
  int32_t viewX = CentredViewX(clientWidth, zoom);
  int32_t viewY = CentredViewY(clientHeight, zoom);
  SetZoomValue(zoom);
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(bitmapWidth, bitmapHeight, clientWidth, clientHeight, outerWidth, outerHeight, maxX,
               maxY);
  ViewX = std::clamp(viewX, 0, maxX);
  ViewY = std::clamp(viewY, 0, maxY);
}

double TPVViewGeometry::FitZoom(int32_t width, int32_t height, int32_t bitmapWidth,
                                int32_t bitmapHeight, int32_t marginX, int32_t marginY) {
  double byHeight = (height - 2.0 * marginY) / (bitmapHeight / 100.0);
  double byWidth = (width - 2.0 * marginX) / (bitmapWidth / 100.0);
  return std::min(byHeight, byWidth);
}

void TPVViewGeometry::Layout(TPVLayoutHost& host, const TPVLayoutInput& input) {
  LayoutRun(host, input, 0);
}

void TPVViewGeometry::ApplyAutoFit(TPVLayoutHost& host, const TPVLayoutInput& input) {
  if (!AutoFit || input.BitmapWidth == 0 || input.BitmapHeight == 0) return;
  constexpr double kMinAutoFitZoom = 1.0;
  double zoom = FitZoom(host.LayoutClientWidth(), host.LayoutClientHeight(), input.BitmapWidth,
                        input.BitmapHeight, input.MarginX, input.MarginY);
  if (zoom < kMinAutoFitZoom) zoom = kMinAutoFitZoom;
  SetZoomValue(zoom);
  host.LayoutViewChange(1);
}

void TPVViewGeometry::LayoutRun(TPVLayoutHost& host, const TPVLayoutInput& input, int depth) {
  ApplyAutoFit(host, input);
  if (input.BitmapWidth != LastBitmapWidth || input.BitmapHeight != LastBitmapHeight) {
    LastBitmapWidth = input.BitmapWidth;
    LastBitmapHeight = input.BitmapHeight;
    host.LayoutBitmapResized(input.BitmapWidth, input.BitmapHeight);
  }
  if (!input.Designing) {
    const int32_t clientW = host.LayoutClientWidth(), clientH = host.LayoutClientHeight();
    int32_t maxX = 0, maxY = 0;
    GetMaxViewXY(input.BitmapWidth, input.BitmapHeight, clientW, clientH, host.LayoutWidth(),
                 host.LayoutHeight(), maxX, maxY);
    bool moved = false;
    if (ViewX > maxX) ViewX = maxX, moved = true;
    if (ViewY > maxY) ViewY = maxY, moved = true;
    if (moved) host.LayoutViewChange(0);
    LayoutBars(host, maxX, maxY);
    bool clientChanged =
        host.LayoutClientWidth() != clientW || host.LayoutClientHeight() != clientH;
    if (clientChanged && depth < kMaxLayoutReruns) LayoutRun(host, input, depth + 1);
  }
  LayoutExtents(host, input);
}

void TPVViewGeometry::LayoutBars(TPVLayoutHost& host, int32_t maxX, int32_t maxY) {
  if (UsesBar(pvbkHorizontal)) {
    if (maxX < 1) {
      Swallow([&] { host.LayoutBarIdle(pvbkHorizontal, ScrollBarsAlwaysVisible); });
    } else {
      const int32_t clientW = host.LayoutClientWidth();
      HScrollUnit = (clientW + double(maxX)) / kPVScrollUnits;
      int32_t page = PVTrunc(clientW / HScrollUnit), pos = PVTrunc(ViewX / HScrollUnit);
      Swallow([&] { host.LayoutBarActive(pvbkHorizontal, page, pos); });
    }
  }
  if (UsesBar(pvbkVertical)) {
    if (maxY < 1) {
      Swallow([&] { host.LayoutBarIdle(pvbkVertical, ScrollBarsAlwaysVisible); });
    } else {
      const int32_t clientH = host.LayoutClientHeight();
      VScrollUnit = (clientH + double(maxY)) / kPVScrollUnits;
      int32_t page = PVTrunc(clientH / VScrollUnit), pos = PVTrunc(ViewY / VScrollUnit);
      Swallow([&] { host.LayoutBarActive(pvbkVertical, page, pos); });
    }
  }
}

void TPVViewGeometry::LayoutExtents(TPVLayoutHost& host, const TPVLayoutInput& input) {
  ZoomedWidth = PVRound(input.BitmapWidth * ZoomFactor);
  ZoomedHeight = PVRound(input.BitmapHeight * ZoomFactor);
  OffsetX = OffsetY = 0;
  if (input.Designing) {
    ExtentX = std::min(ZoomedWidth, host.LayoutWidth());
    ExtentY = std::min(ZoomedHeight, host.LayoutHeight());
    return;
  }
  const int32_t clientW = host.LayoutClientWidth(), clientH = host.LayoutClientHeight();
  ExtentX = std::min(ZoomedWidth, clientW);
  ExtentY = std::min(ZoomedHeight, clientH);
  if (Center) {
    if (ExtentX < clientW) OffsetX = (clientW - ExtentX) >> 1;
    if (ExtentY < clientH) OffsetY = (clientH - ExtentY) >> 1;
  }
}

void TPVViewGeometry::ComputeSource(int32_t bitmapWidth, int32_t bitmapHeight) {
  SrcX = SrcY = SrcW = SrcH = 0;
  if (ZoomedWidth != 0) {
    double r = double(bitmapWidth) / ZoomedWidth;
    SrcX = PVRound(ViewX * r);
    SrcW = PVRound(ExtentX * r);
    if (int64_t(SrcX) + SrcW > bitmapWidth) --SrcW;
  }
  if (ZoomedHeight != 0) {
    double r = double(bitmapHeight) / ZoomedHeight;
    SrcY = PVRound(ViewY * r);
    SrcH = PVRound(ExtentY * r);
    if (int64_t(SrcY) + SrcH > bitmapHeight) --SrcH;
  }
  if (Zoom <= 100) {
    DrawWidth = ExtentX;
    DrawHeight = ExtentY;
    return;
  }
  // The last column (row) is only partly visible: draw it too, so that no
  // strip of background shows at the right (bottom) edge.
  DrawWidth = PVTrunc(SrcW * ZoomFactor);
  if (DrawWidth < ExtentX && int64_t(SrcX) + SrcW + 1 <= bitmapWidth) {
    ++SrcW;
    DrawWidth = PVTrunc(SrcW * ZoomFactor);
  }
  DrawHeight = PVTrunc(SrcH * ZoomFactor);
  if (DrawHeight < ExtentY && int64_t(SrcY) + SrcH + 1 <= bitmapHeight) {
    ++SrcH;
    DrawHeight = PVTrunc(SrcH * ZoomFactor);
  }
}

std::optional<int32_t> TPVViewGeometry::ScrollTarget(TPVBarKind bar, TPVScrollRequest request,
                                                     int32_t thumbPosition,
                                                     const TPVScrollBarParams& params,
                                                     int32_t clientSize, int32_t maxView) const {
  const int32_t view = bar == pvbkHorizontal ? ViewX : ViewY;
  const double unit = bar == pvbkHorizontal ? HScrollUnit : VScrollUnit;
  const int32_t s = std::max(PVTrunc(ZoomFactor), 1);
  const int32_t line = s * (params.LineStep == -1 ? 1 : params.LineStep);
  const int32_t page = params.PageStep == -1 ? clientSize : s * params.PageStep;
  switch (request) {
    case pvsrLineUp:
      return view - line;
    case pvsrLineDown:
      return view + line;
    case pvsrPageUp:
      return view - page;
    case pvsrPageDown:
      return view + page;
    case pvsrTop:
      return 0;
    case pvsrBottom:
      return maxView;
    case pvsrThumbTrack:
      if (!params.Tracking) return std::nullopt;
      [[fallthrough]];
    case pvsrThumbPosition:
      return PVTrunc((thumbPosition & 0xFFFF) * unit);
    default:
      return std::nullopt;
  }
}

}  // namespace pictavo
