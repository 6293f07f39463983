// Drawing calls of the metafile device context: lines, shapes and text go
// through the canvas with the pen, brush and font of the current state.
#include <algorithm>
#include <cmath>

#include "platform/metafile_dc.h"

namespace pictavo::metafile {

namespace {

// Binary raster operations R2_BLACK (1) .. R2_WHITE (16) as pen modes.
constexpr TPenMode kRop2Modes[16] = {pmBlack,      pmNotMerge,    pmMaskNotPen, pmNotCopy,
                                     pmMaskPenNot, pmNot,         pmXor,        pmNotMask,
                                     pmMask,       pmNotXor,      pmNop,        pmMergeNotPen,
                                     pmCopy,       pmMergePenNot, pmMerge,      pmWhite};
constexpr int kMaxPenPixels = 10000;
constexpr int kEllipseSegments = 64;
constexpr int kDefaultFontPixels = 12;
constexpr int kBoldWeight = 600;
// Share of the text cell above the baseline (the faces we use have an
// ascent of about 81 % of ascent plus descent).
constexpr double kAscentShare = 0.81;
constexpr double kPi = 3.14159265358979323846;

TRect Normalised(TPoint a, TPoint b) {
  return TRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
}

// Splits UTF-8 text into its characters.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size();) {
    size_t n = 1;
    while (i + n < text.size() && (uint8_t(text[i + n]) & 0xC0) == 0x80) ++n;
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

}  // namespace

bool TMetaDC::PenVisible() const {
  return (state_.pen.style & kPsStyleMask) != kPsNull;
}

void TMetaDC::PreparePen() {
  TPen& pen = canvas_.Pen();
  const TLogPen& lp = state_.pen;
  uint32_t style = lp.style & kPsStyleMask;
  static constexpr TPenStyle kStyles[] = {psSolid,      psDash,  psDot,        psDashDot,
                                          psDashDotDot, psClear, psInsideFrame};
  pen.SetStyle(style < 7 ? kStyles[style] : style == 8 ? psDot : psSolid);
  double width = lp.width <= 0 ? 1 : lp.width * ScaleX();
  pen.SetWidth(int(std::clamp(std::nearbyint(width), 1.0, double(kMaxPenPixels))));
  pen.SetColor(lp.color);
  int rop = state_.rop2;
  pen.SetMode(rop >= 1 && rop <= 16 ? kRop2Modes[rop - 1] : pmCopy);
  // Gaps of dashed lines take the background colour when it is opaque.
  canvas_.SetBkMode(state_.bk_mode == kTransparent ? TRANSPARENT : OPAQUE);
}

void TMetaDC::StrokePolyline(const std::vector<TPoint>& points, bool closed) {
  if (points.size() < 2 || !PenVisible()) return;
  PreparePen();
  canvas_.Brush().SetStyle(bsSolid);
  canvas_.Brush().SetColor(state_.bk_color);
  if (closed) {
    std::vector<TPoint> ring = points;
    ring.push_back(points.front());  // its pixel was lit by the first segment
    canvas_.Polyline(ring.data(), int(ring.size()));
  } else {
    canvas_.Polyline(points.data(), int(points.size()));
  }
}

void TMetaDC::MoveTo(double x, double y) {
  state_.cur_x = x;
  state_.cur_y = y;
  TPoint p = ToDevice(x, y);
  canvas_.MoveTo(p.x, p.y);
}

void TMetaDC::LineTo(double x, double y) {
  TPoint from = ToDevice(state_.cur_x, state_.cur_y), to = ToDevice(x, y);
  state_.cur_x = x;
  state_.cur_y = y;
  // Keep the canvas position (and so the dash phase) unless it moved.
  if (canvas_.GetPenPos() != from) canvas_.MoveTo(from.x, from.y);
  if (!PenVisible()) {
    canvas_.MoveTo(to.x, to.y);
    return;
  }
  PreparePen();
  canvas_.Brush().SetStyle(bsSolid);
  canvas_.Brush().SetColor(state_.bk_color);
  canvas_.LineTo(to.x, to.y);
}

void TMetaDC::Polyline(const std::vector<TPoint>& device) {
  StrokePolyline(device, false);
}

void TMetaDC::PolyPolyline(const std::vector<TPoint>& device, const std::vector<int>& counts) {
  size_t start = 0;
  for (int count : counts) {
    if (count < 0 || start + size_t(count) > device.size()) return;
    std::vector<TPoint> one(device.begin() + long(start), device.begin() + long(start + count));
    StrokePolyline(one, false);
    start += size_t(count);
  }
}

// Shapes with a hatched brush on an opaque background get the background
// colour underneath first (the canvas hatches over a transparent one).
template <typename Draw>
void DrawShape(TCanvas& canvas, const TDCState& s, Draw&& draw) {
  if (s.brush.style == kBsHatched && s.bk_mode == kOpaque) {
    TPen saved = canvas.Pen();
    canvas.Pen().SetStyle(psClear);
    canvas.Brush().SetStyle(bsSolid);
    canvas.Brush().SetColor(s.bk_color);
    draw();
    canvas.Pen() = saved;
  }
  draw();
}

void TMetaDC::Polygon(const std::vector<TPoint>& device) {
  if (device.size() < 2) return;
  std::vector<int> counts{int(device.size())};
  PolyPolygon(device, counts);
}

void TMetaDC::PolyPolygon(const std::vector<TPoint>& device, const std::vector<int>& counts) {
  size_t total = 0;
  for (int c : counts) {
    if (c < 0) return;
    total += size_t(c);
  }
  if (total != device.size() || counts.empty()) return;
  PreparePen();
  canvas_.SetPolyFillMode(state_.poly_fill == WINDING ? WINDING : ALTERNATE);
  DrawShape(canvas_, state_, [&] {
    PrepareBrush(state_.brush);
    canvas_.PolyPolygon(device.data(), counts.data(), int(counts.size()));
  });
}

namespace {

// The ellipse in box l..r x t..b as a polygon, for rotated transforms.
std::vector<double> EllipsePoints(double l, double t, double r, double b) {
  std::vector<double> xy;
  double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
  for (int i = 0; i < kEllipseSegments; ++i) {
    double a = 2 * kPi * i / kEllipseSegments;
    xy.push_back(cx + rx * std::cos(a));
    xy.push_back(cy + ry * std::sin(a));
  }
  return xy;
}

}  // namespace

// True when the transform keeps rectangles axis-aligned.
static bool AxisAligned(const TXForm& t) {
  return t.m12 == 0 && t.m21 == 0;
}

void TMetaDC::Rectangle(double l, double t, double r, double b) {
  if (!AxisAligned(PageTransform())) {
    std::vector<TPoint> pts{ToDevice(l, t), ToDevice(r, t), ToDevice(r, b), ToDevice(l, b)};
    Polygon(pts);
    return;
  }
  TRect box = Normalised(ToDevice(l, t), ToDevice(r, b));
  PreparePen();
  DrawShape(canvas_, state_, [&] {
    PrepareBrush(state_.brush);
    canvas_.Rectangle(box);
  });
}

void TMetaDC::RoundRect(double l, double t, double r, double b, double w, double h) {
  if (!AxisAligned(PageTransform())) {
    Rectangle(l, t, r, b);
    return;
  }
  TRect box = Normalised(ToDevice(l, t), ToDevice(r, b));
  int ew = int(std::clamp(std::nearbyint(std::fabs(w * ScaleX())), 0.0, double(kCoordLimit)));
  int eh = int(std::clamp(std::nearbyint(std::fabs(h * ScaleY())), 0.0, double(kCoordLimit)));
  PreparePen();
  DrawShape(canvas_, state_, [&] {
    PrepareBrush(state_.brush);
    canvas_.RoundRect(box.Left, box.Top, box.Right, box.Bottom, ew, eh);
  });
}

void TMetaDC::Ellipse(double l, double t, double r, double b) {
  if (!AxisAligned(PageTransform())) {
    std::vector<double> xy = EllipsePoints(l, t, r, b);
    std::vector<TPoint> pts;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) pts.push_back(ToDevice(xy[i], xy[i + 1]));
    Polygon(pts);
    return;
  }
  TRect box = Normalised(ToDevice(l, t), ToDevice(r, b));
  PreparePen();
  DrawShape(canvas_, state_, [&] {
    PrepareBrush(state_.brush);
    canvas_.Ellipse(box);
  });
}

void TMetaDC::ArcShape(int kind, double l, double t, double r, double b, double xs, double ys,
                       double xe, double ye) {
  TXForm tf = PageTransform();
  TRect box = Normalised(ToDevice(l, t), ToDevice(r, b));
  TPoint s = ToDevice(xs, ys), e = ToDevice(xe, ye);
  // The canvas goes counter-clockwise on the screen; a mapping that mirrors
  // the picture, or a clockwise arc direction, reverses the sweep.
  bool mirrored = tf.m11 * tf.m22 - tf.m12 * tf.m21 < 0;
  if (mirrored != state_.clockwise) std::swap(s, e);
  PreparePen();
  if (kind == 0) {
    if (!PenVisible()) return;
    canvas_.Brush().SetStyle(bsSolid);
    canvas_.Brush().SetColor(state_.bk_color);
    canvas_.Arc(box.Left, box.Top, box.Right, box.Bottom, s.x, s.y, e.x, e.y);
    return;
  }
  DrawShape(canvas_, state_, [&] {
    PrepareBrush(state_.brush);
    if (kind == 1)
      canvas_.Chord(box.Left, box.Top, box.Right, box.Bottom, s.x, s.y, e.x, e.y);
    else
      canvas_.Pie(box.Left, box.Top, box.Right, box.Bottom, s.x, s.y, e.x, e.y);
  });
}

// ---------------------------------------------------------------------------
// Text

void TMetaDC::TextOut(double x, double y, const std::string& utf8, uint32_t options,
                      const double* clipRect, const std::vector<double>* dx) {
  const TLogFont& lf = state_.font;
  TFont& font = canvas_.Font();
  font.SetName(lf.face.empty() ? "Arial" : lf.face);
  double px = lf.height == 0 ? kDefaultFontPixels : std::fabs(lf.height) * ScaleY();
  int height = int(std::clamp(std::nearbyint(px), 1.0, double(kMaxPenPixels)));
  font.SetHeight(lf.height > 0 ? height : -height);
  uint8_t style = 0;
  if (lf.weight >= kBoldWeight) style |= 1u << fsBold;
  if (lf.italic) style |= 1u << fsItalic;
  if (lf.underline) style |= 1u << fsUnderline;
  if (lf.strikeout) style |= 1u << fsStrikeOut;
  font.SetStyle(style);
  font.SetColor(state_.text_color);
  font.SetOrientation(lf.escapement);

  std::optional<TRect> frame;
  if (clipRect) {
    frame = Normalised(ToDevice(clipRect[0], clipRect[1]), ToDevice(clipRect[2], clipRect[3]));
    if (options & kEtoOpaque) {
      TLogBrush bk{kBsSolid, state_.bk_color, 0};
      FillRegion(TRegion::FromRect(*frame), bk);
    }
    if (!(options & kEtoClipped)) frame.reset();
  }
  if (utf8.empty()) return;
  bool update_cp = (state_.text_align & kTaUpdateCp) != 0;
  double ref_x, ref_y;
  ToDeviceF(update_cp ? state_.cur_x : x, update_cp ? state_.cur_y : y, ref_x, ref_y);

  TSize extent = canvas_.TextExtent(utf8);
  std::vector<std::string> chars = Characters(utf8);
  double total = 0;  // advance of the whole string in pixels
  if (dx && dx->size() >= chars.size()) {
    for (size_t i = 0; i < chars.size(); ++i) total += (*dx)[i] * ScaleX();
  } else {
    total = extent.cx;
  }
  double angle = lf.escapement * kPi / 1800;
  double ux = std::cos(angle), uy = -std::sin(angle);  // along the baseline
  double vx = std::sin(angle), vy = std::cos(angle);   // down the cell
  uint32_t h_align = state_.text_align & kTaCenter, v_align = state_.text_align & kTaBaseline;
  double along = h_align == kTaCenter ? -total / 2 : h_align == kTaRight ? -total : 0;
  double down = v_align == kTaBaseline ? -std::nearbyint(extent.cy * kAscentShare)
                : v_align == kTaBottom ? -extent.cy
                                       : 0;
  double ox = ref_x + along * ux + down * vx, oy = ref_y + along * uy + down * vy;

  canvas_.SetBkMode(state_.bk_mode == kTransparent ? TRANSPARENT : OPAQUE);
  canvas_.Brush().SetStyle(bsSolid);
  canvas_.Brush().SetColor(state_.bk_color);
  auto draw = [&](double cx, double cy, const std::string& s) {
    int ix = int(std::clamp(std::nearbyint(cx), -double(kCoordLimit), double(kCoordLimit)));
    int iy = int(std::clamp(std::nearbyint(cy), -double(kCoordLimit), double(kCoordLimit)));
    if (frame)
      canvas_.TextRect(*frame, ix, iy, s);
    else
      canvas_.TextOut(ix, iy, s);
  };
  if (dx && dx->size() >= chars.size()) {
    double pos = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
      draw(ox + pos * ux, oy + pos * uy, chars[i]);
      pos += (*dx)[i] * ScaleX();
    }
  } else {
    draw(ox, oy, utf8);
  }
  if (update_cp) {
    double scale = ScaleX();
    double advance = h_align == kTaRight ? -total : h_align == kTaCenter ? 0 : total;
    if (scale > 0) state_.cur_x += advance / scale;
  }
}

}  // namespace pictavo::metafile
