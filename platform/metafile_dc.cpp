#include "platform/metafile_dc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/bitmap.h"

namespace pictavo::metafile {

// ---------------------------------------------------------------------------
// Record reader

uint8_t TRecordReader::U8() {
  if (!Has(1)) {
    failed_ = true;
    pos_ = size_;
    return 0;
  }
  return data_[pos_++];
}

uint16_t TRecordReader::U16() {
  if (!Has(2)) {
    failed_ = true;
    pos_ = size_;
    return 0;
  }
  uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
  pos_ += 2;
  return v;
}

uint32_t TRecordReader::U32() {
  if (!Has(4)) {
    failed_ = true;
    pos_ = size_;
    return 0;
  }
  const uint8_t* p = data_ + pos_;
  pos_ += 4;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

float TRecordReader::F32() {
  uint32_t bits = U32();
  float f;
  std::memcpy(&f, &bits, 4);
  return std::isfinite(f) ? f : 0.0f;
}

// ---------------------------------------------------------------------------
// Transforms

TXForm TXForm::Then(const TXForm& b) const {
  TXForm r;
  r.m11 = m11 * b.m11 + m12 * b.m21;
  r.m12 = m11 * b.m12 + m12 * b.m22;
  r.m21 = m21 * b.m11 + m22 * b.m21;
  r.m22 = m21 * b.m12 + m22 * b.m22;
  r.dx = dx * b.m11 + dy * b.m21 + b.dx;
  r.dy = dx * b.m12 + dy * b.m22 + b.dy;
  return r;
}

bool TXForm::Invertible() const {
  double det = m11 * m22 - m12 * m21;
  return std::isfinite(det) && std::fabs(det) > 1e-12 && std::isfinite(dx) && std::isfinite(dy);
}

namespace {

// Millimetres per logical unit of the fixed mapping modes.
double MillimetresPerUnit(int mode) {
  switch (mode) {
    case MM_LOMETRIC:
      return 0.1;
    case MM_HIMETRIC:
      return 0.01;
    case MM_LOENGLISH:
      return 0.254;
    case MM_HIENGLISH:
      return 0.0254;
    case MM_TWIPS:
      return 25.4 / 1440;
    default:
      return 0;
  }
}

int32_t ClampCoord(double v) {
  if (!(v == v)) return 0;  // NaN
  v = std::floor(v + 0.5);
  if (v > kCoordLimit) return kCoordLimit;
  if (v < -kCoordLimit) return -kCoordLimit;
  return int32_t(v);
}

double SafeRatio(double num, double den) {
  if (den == 0 || !std::isfinite(num) || !std::isfinite(den)) return 1;
  return num / den;
}

// The unlimited region, the start of exclusions without a clip.
TRegion Unlimited() {
  return TRegion::FromRect(TRect(-kCoordLimit, -kCoordLimit, kCoordLimit, kCoordLimit));
}

}  // namespace

TMetaDC::TMetaDC(TCanvas& canvas, const TRect& dest, bool wmf)
    : canvas_(canvas), dest_(dest), wmf_(wmf) {
  if (canvas.ClipRegion()) base_clip_ = *canvas.ClipRegion();
  saved_pen_ = canvas.Pen();
  saved_brush_ = canvas.Brush();
  saved_font_.Assign(canvas.Font());
  if (wmf_) {
    state_.map_mode = MM_ANISOTROPIC;
    state_.vp_ext_x = dest.Width();
    state_.vp_ext_y = dest.Height();
  }
}

TMetaDC::~TMetaDC() {
  canvas_.SetClipRegion(base_clip_ ? &*base_clip_ : nullptr);
  canvas_.Pen() = saved_pen_;
  canvas_.Brush() = saved_brush_;
  canvas_.Font().Assign(saved_font_);
}

void TMetaDC::SetFrame(double left, double top, double width, double height) {
  frame_left_ = left;
  frame_top_ = top;
  frame_w_ = width == 0 ? 1 : width;
  frame_h_ = height == 0 ? 1 : height;
  if (wmf_) {
    state_.win_org_x = left;
    state_.win_org_y = top;
    state_.win_ext_x = frame_w_;
    state_.win_ext_y = frame_h_;
  }
}

void TMetaDC::SetDevicePixelsPerMm(double x, double y) {
  if (x > 0 && std::isfinite(x)) px_per_mm_x_ = x;
  if (y > 0 && std::isfinite(y)) px_per_mm_y_ = y;
}

// ---------------------------------------------------------------------------
// Mapping

void TMetaDC::SetMapMode(int mode) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  if (wmf_) {
    // A WMF played into a rectangle always maps its window onto it; only the
    // isotropic rule is kept.
    state_.map_mode = mode == MM_ISOTROPIC ? MM_ISOTROPIC : MM_ANISOTROPIC;
    return;
  }
  state_.map_mode = mode;
  if (mode == MM_TEXT || MillimetresPerUnit(mode) > 0) {
    state_.win_ext_x = state_.win_ext_y = state_.vp_ext_x = state_.vp_ext_y = 1;
  }
}

void TMetaDC::SetWindowOrg(double x, double y) {
  state_.win_org_x = x;
  state_.win_org_y = y;
}

void TMetaDC::SetWindowExt(double x, double y) {
  if (x == 0 || y == 0) return;
  if (!wmf_ && state_.map_mode != MM_ISOTROPIC && state_.map_mode != MM_ANISOTROPIC) return;
  state_.win_ext_x = x;
  state_.win_ext_y = y;
}

void TMetaDC::SetViewportOrg(double x, double y) {
  if (wmf_) return;  // the viewport is the destination rectangle
  state_.vp_org_x = x;
  state_.vp_org_y = y;
}

void TMetaDC::SetViewportExt(double x, double y) {
  if (wmf_ || x == 0 || y == 0) return;
  if (state_.map_mode != MM_ISOTROPIC && state_.map_mode != MM_ANISOTROPIC) return;
  state_.vp_ext_x = x;
  state_.vp_ext_y = y;
}

void TMetaDC::ScaleWindowExt(double xn, double xd, double yn, double yd) {
  if (xd == 0 || yd == 0) return;
  SetWindowExt(state_.win_ext_x * xn / xd, state_.win_ext_y * yn / yd);
}

void TMetaDC::ScaleViewportExt(double xn, double xd, double yn, double yd) {
  if (xd == 0 || yd == 0) return;
  SetViewportExt(state_.vp_ext_x * xn / xd, state_.vp_ext_y * yn / yd);
}

void TMetaDC::OffsetWindowOrg(double dx, double dy) {
  SetWindowOrg(state_.win_org_x + dx, state_.win_org_y + dy);
}

void TMetaDC::OffsetViewportOrg(double dx, double dy) {
  SetViewportOrg(state_.vp_org_x + dx, state_.vp_org_y + dy);
}

void TMetaDC::SetWorld(const TXForm& form) {
  if (form.Invertible()) state_.world = form;
}

void TMetaDC::ModifyWorld(const TXForm& form, uint32_t mode) {
  constexpr uint32_t kIdentity = 1, kLeft = 2, kRight = 3, kSet = 4;
  if (mode == kIdentity) {
    state_.world = TXForm();
  } else if (mode == kLeft) {
    SetWorld(form.Then(state_.world));
  } else if (mode == kRight) {
    SetWorld(state_.world.Then(form));
  } else if (mode == kSet) {
    SetWorld(form);
  }
}

// World, page and frame transforms combined: logical units to destination
// pixels.
TXForm TMetaDC::PageTransform() const {
  const TDCState& s = state_;
  double sx = 1, sy = 1;
  double mm = MillimetresPerUnit(s.map_mode);
  if (wmf_) {
    sx = SafeRatio(dest_.Width(), s.win_ext_x);
    sy = SafeRatio(dest_.Height(), s.win_ext_y);
  } else if (mm > 0) {
    sx = px_per_mm_x_ * mm;
    sy = -px_per_mm_y_ * mm;
  } else if (s.map_mode == MM_ISOTROPIC || s.map_mode == MM_ANISOTROPIC) {
    sx = SafeRatio(s.vp_ext_x, s.win_ext_x);
    sy = SafeRatio(s.vp_ext_y, s.win_ext_y);
  }
  if (s.map_mode == MM_ISOTROPIC) {
    double m = std::min(std::fabs(sx), std::fabs(sy));
    sx = std::copysign(m, sx);
    sy = std::copysign(m, sy);
  }
  TXForm page;
  page.m11 = sx;
  page.m22 = sy;
  if (wmf_) {
    page.dx = dest_.Left - s.win_org_x * sx;
    page.dy = dest_.Top - s.win_org_y * sy;
  } else {
    // Page to reference-device pixels, then the frame onto the destination.
    double fx = SafeRatio(dest_.Width(), frame_w_), fy = SafeRatio(dest_.Height(), frame_h_);
    page.m11 = sx * fx;
    page.m22 = sy * fy;
    page.dx = dest_.Left + ((s.vp_org_x - s.win_org_x * sx) - frame_left_) * fx;
    page.dy = dest_.Top + ((s.vp_org_y - s.win_org_y * sy) - frame_top_) * fy;
  }
  return wmf_ ? page : s.world.Then(page);
}

void TMetaDC::ToDeviceF(double x, double y, double& dx, double& dy) const {
  TXForm t = PageTransform();
  dx = t.m11 * x + t.m21 * y + t.dx;
  dy = t.m12 * x + t.m22 * y + t.dy;
}

TPoint TMetaDC::ToDevice(double x, double y) const {
  double dx, dy;
  ToDeviceF(x, y, dx, dy);
  return TPoint(ClampCoord(dx), ClampCoord(dy));
}

TPoint TMetaDC::RefToDevice(double x, double y) const {
  double fx = SafeRatio(dest_.Width(), frame_w_), fy = SafeRatio(dest_.Height(), frame_h_);
  return TPoint(ClampCoord(dest_.Left + (x - frame_left_) * fx),
                ClampCoord(dest_.Top + (y - frame_top_) * fy));
}

double TMetaDC::ScaleX() const {
  TXForm t = PageTransform();
  return std::hypot(t.m11, t.m12);
}

double TMetaDC::ScaleY() const {
  TXForm t = PageTransform();
  return std::hypot(t.m21, t.m22);
}

// ---------------------------------------------------------------------------
// Save and restore

void TMetaDC::Save() {
  if (stack_.size() < kMaxSaveDepth) stack_.push_back(state_);
}

void TMetaDC::Restore(int rel) {
  int64_t depth = int64_t(stack_.size());
  int64_t level = rel < 0 ? depth + rel : int64_t(rel) - 1;  // index of the state to restore
  if (rel == 0 || level < 0 || level >= depth) return;
  state_ = std::move(stack_[size_t(level)]);
  stack_.resize(size_t(level));
  ApplyClip();
}

// ---------------------------------------------------------------------------
// Objects

void TMetaDC::SetObjectLimit(uint32_t count) {
  object_limit_ = std::min(count, kMaxObjects);
}

std::optional<uint32_t> TMetaDC::FreeSlot() const {
  if (!freed_.empty()) return *freed_.begin();
  if (next_unused_ < object_limit_) return next_unused_;
  return std::nullopt;
}

void TMetaDC::PutObject(uint32_t index, TMetaObject&& object) {
  if (index >= object_limit_) return;
  objects_[index] = std::move(object);
  freed_.erase(index);
  if (index == next_unused_) ++next_unused_;
}

void TMetaDC::DeleteObject(uint32_t index) {
  if (objects_.erase(index) && index < next_unused_) freed_.insert(index);
}

const TMetaObject* TMetaDC::Object(uint32_t index) const {
  auto it = objects_.find(index);
  return it == objects_.end() ? nullptr : &it->second;
}

void TMetaDC::SelectObject(uint32_t index) {
  if (index & 0x80000000u) {
    SelectStock(index & 0x7FFFFFFFu);
    return;
  }
  const TMetaObject* obj = Object(index);
  if (!obj) return;
  switch (obj->kind) {
    case TObjKind::Pen:
      state_.pen = obj->pen;
      break;
    case TObjKind::Brush:
      state_.brush = obj->brush;
      break;
    case TObjKind::Font:
      state_.font = obj->font;
      break;
    case TObjKind::Region: {
      // Selecting a region (WMF) makes it the clip region.
      std::vector<TPoint> corners;
      TRegion dev;
      for (const TRegionBand& band : obj->region.Bands())
        for (const TSpan& s : band.spans) {
          TPoint a = ToDevice(s.left, band.top), b = ToDevice(s.right, band.bottom);
          TRect r(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
          dev = TRegion::Combine(dev, TRegion::FromRect(r), RGN_OR);
        }
      SelectClip(&dev, RGN_COPY);
      break;
    }
    case TObjKind::Other:
      break;
  }
}

void TMetaDC::SelectStock(uint32_t index) {
  enum {
    kWhiteBrush = 0,
    kLtGrayBrush,
    kGrayBrush,
    kDkGrayBrush,
    kBlackBrush,
    kNullBrush,
    kWhitePen,
    kBlackPen,
    kNullPen,
    kDcBrush = 18,
    kDcPen = 19
  };
  static constexpr TColor kBrushGreys[] = {clWhite, 0xC0C0C0, 0x808080, 0x404040, clBlack};
  if (index <= kBlackBrush) {
    state_.brush = TLogBrush{kBsSolid, kBrushGreys[index], 0};
  } else if (index == kNullBrush) {
    state_.brush = TLogBrush{kBsNull, clWhite, 0};
  } else if (index == kWhitePen || index == kBlackPen) {
    state_.pen = TLogPen{0, 0, index == kWhitePen ? clWhite : clBlack};
  } else if (index == kNullPen) {
    state_.pen = TLogPen{kPsNull, 0, clBlack};
  } else if (index >= 10 && index <= 17 && index != 15) {
    state_.font = TLogFont();  // the system fonts
  } else if (index == kDcBrush) {
    state_.brush = TLogBrush{kBsSolid, clWhite, 0};
  } else if (index == kDcPen) {
    state_.pen = TLogPen{0, 0, clBlack};
  }
}

// ---------------------------------------------------------------------------
// Clipping

void TMetaDC::ApplyClip() {
  if (!state_.clip) {
    canvas_.SetClipRegion(base_clip_ ? &*base_clip_ : nullptr);
    return;
  }
  if (!base_clip_) {
    canvas_.SetClipRegion(&*state_.clip);
    return;
  }
  TRegion both = TRegion::Combine(*base_clip_, *state_.clip, RGN_AND);
  canvas_.SetClipRegion(&both);
}

namespace {
TRect DeviceRect(TPoint a, TPoint b) {
  return TRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y));
}
}  // namespace

void TMetaDC::IntersectClip(double l, double t, double r, double b) {
  TRegion rect = TRegion::FromRect(DeviceRect(ToDevice(l, t), ToDevice(r, b)));
  SelectClip(&rect, RGN_AND);
}

void TMetaDC::ExcludeClip(double l, double t, double r, double b) {
  TRegion rect = TRegion::FromRect(DeviceRect(ToDevice(l, t), ToDevice(r, b)));
  SelectClip(&rect, RGN_DIFF);
}

void TMetaDC::SelectClip(const TRegion* region, int op) {
  if (op == RGN_COPY || (!region && op != RGN_COPY)) {
    if (op != RGN_COPY) return;  // only a copy may remove the clip
    state_.clip.reset();
    if (region) state_.clip = *region;
  } else if (op >= RGN_AND && op <= RGN_DIFF) {
    TRegion current = state_.clip ? *state_.clip : Unlimited();
    state_.clip = TRegion::Combine(current, *region, TRegionOp(op));
  } else {
    return;
  }
  ApplyClip();
}

void TMetaDC::OffsetClip(double dx, double dy) {
  if (!state_.clip) return;
  TPoint o = ToDevice(0, 0), d = ToDevice(dx, dy);
  state_.clip->Offset(d.x - o.x, d.y - o.y);
  ApplyClip();
}

// ---------------------------------------------------------------------------
// Brushes and fills

void TMetaDC::PrepareBrush(const TLogBrush& brush) {
  TBrush& b = canvas_.Brush();
  b.SetColor(brush.color);
  static constexpr TBrushStyle kHatches[] = {bsHorizontal, bsVertical, bsFDiagonal,
                                             bsBDiagonal,  bsCross,    bsDiagCross};
  if (brush.style == kBsSolid)
    b.SetStyle(bsSolid);
  else if (brush.style == kBsHatched && brush.hatch < 6)
    b.SetStyle(kHatches[brush.hatch]);
  else if (brush.style == kBsNull)
    b.SetStyle(bsClear);
  else
    b.SetStyle(bsSolid);  // pattern brushes: their colour stands in for them
}

void TMetaDC::FillRegion(const TRegion& region, const TLogBrush& brush) {
  if (brush.style == kBsNull || region.Empty()) return;
  const TRegion* previous = canvas_.ClipRegion();
  std::optional<TRegion> saved;
  if (previous) saved = *previous;
  TRegion area = saved ? TRegion::Combine(*saved, region, RGN_AND) : region;
  if (area.Empty()) return;
  canvas_.SetClipRegion(&area);
  TRect box = area.Bounds();
  if (brush.style == kBsHatched && state_.bk_mode == kOpaque) {
    // Opaque hatching: the background colour under the hatch lines.
    canvas_.Brush().SetStyle(bsSolid);
    canvas_.Brush().SetColor(state_.bk_color);
    canvas_.FillRect(box);
  }
  PrepareBrush(brush);
  canvas_.FillRect(box);
  canvas_.SetClipRegion(saved ? &*saved : nullptr);
}

void TMetaDC::FillPolygons(const std::vector<TPoint>& points, const std::vector<int>& counts,
                           const TLogBrush& brush) {
  if (brush.style == kBsNull) return;
  TRect bounds(0, 0, CanvasBitmapWidth(canvas_.Bitmap()), CanvasBitmapHeight(canvas_.Bitmap()));
  TPolyFillMode mode = state_.poly_fill == WINDING ? WINDING : ALTERNATE;
  TRegion area;
  size_t start = 0;
  for (int count : counts) {
    if (count < 0 || start + size_t(count) > points.size()) break;
    TRegion one = TRegion::FromPolygon(points.data() + start, count, mode, &bounds);
    // Alternate filling of several polygons is the exclusive or of each.
    area = TRegion::Combine(area, one, mode == ALTERNATE ? RGN_XOR : RGN_OR);
    start += size_t(count);
  }
  FillRegion(area, brush);
}

void TMetaDC::PatBlt(double x, double y, double w, double h, uint32_t rop) {
  TPoint a = ToDevice(x, y), b = ToDevice(x + w, y + h);
  TRect r = DeviceRect(a, b);
  if (rop == PATCOPY && state_.brush.style != kBsSolid) {
    FillRegion(TRegion::FromRect(r), state_.brush);
    return;
  }
  // Any other raster operation: a one-pixel source stretched over the
  // rectangle, the pattern being the brush colour.
  static const uint8_t kOnePixel[4] = {0, 0, 0, 0};
  BITMAPINFOHEADER hdr;
  hdr.biWidth = 1;
  hdr.biHeight = 1;
  hdr.biBitCount = 32;
  PrepareBrush(state_.brush);
  canvas_.Brush().SetStyle(bsSolid);
  canvas_.StretchDIBits(r.Left, r.Top, r.Width(), r.Height(), 0, 0, 1, 1, kOnePixel, &hdr,
                        DIB_RGB_COLORS, rop, sizeof(kOnePixel));
}

void TMetaDC::SetPixel(double x, double y, TColor color) {
  TPoint p = ToDevice(x, y);
  canvas_.SetPixel(p.x, p.y, color);
}

// ---------------------------------------------------------------------------
// DIBs

namespace {

// Standard channel masks that the plain RGB layouts use.
constexpr uint32_t kMask32[3] = {0xFF0000, 0xFF00, 0xFF};
constexpr uint32_t kMask16[3] = {0x7C00, 0x3E0, 0x1F};
constexpr size_t kCoreHeaderSize = 12;

// A header (and colour table) the canvas can take: core headers are widened,
// bit fields with the standard masks become plain RGB.  False when the DIB
// is not one we can draw or does not fit in infoSize.
bool NormaliseDibHeader(const uint8_t* info, size_t infoSize, std::vector<uint8_t>& out) {
  if (infoSize < 4) return false;
  uint32_t size = GetLE32(info);
  BITMAPINFOHEADER hdr;
  size_t table_at;
  if (size == kCoreHeaderSize) {
    if (infoSize < kCoreHeaderSize) return false;
    hdr.biWidth = GetLE16(info + 4);
    hdr.biHeight = GetLE16(info + 6);
    hdr.biBitCount = GetLE16(info + 10);
    table_at = kCoreHeaderSize;
  } else {
    if (size < sizeof(hdr) || size > infoSize || size > 124) return false;
    std::memcpy(&hdr, info, sizeof(hdr));
    table_at = size;
  }
  int bits = hdr.biBitCount;
  if (hdr.biWidth <= 0 || hdr.biHeight == 0 || hdr.biHeight == INT32_MIN) return false;
  if (hdr.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)) {
    // Masks follow a 40-byte header, or sit inside a larger one.
    size_t masks_at = size == sizeof(hdr) ? sizeof(hdr) : 40;
    if (masks_at + 12 > infoSize) return false;
    const uint32_t* want = bits == 32 ? kMask32 : kMask16;
    for (int i = 0; i < 3; ++i)
      if (GetLE32(info + masks_at + 4 * i) != want[i]) return false;
    hdr.biCompression = BI_RGB;
    if (size == sizeof(hdr)) table_at += 12;
  } else if (hdr.biCompression != BI_RGB) {
    return false;
  }
  size_t entries = 0;
  if (bits <= 8) {
    size_t full = size_t(1) << (bits > 0 ? bits : 1);
    entries = hdr.biClrUsed == 0 || hdr.biClrUsed > full ? full : hdr.biClrUsed;
  }
  size_t entry_size = size == kCoreHeaderSize ? 3 : 4;
  if (table_at + entries * entry_size > infoSize) return false;
  hdr.biSize = sizeof(hdr);
  hdr.biClrUsed = uint32_t(entries);
  out.assign(sizeof(hdr) + entries * 4, 0);
  std::memcpy(out.data(), &hdr, sizeof(hdr));
  for (size_t i = 0; i < entries; ++i)
    std::memcpy(out.data() + sizeof(hdr) + 4 * i, info + table_at + i * entry_size, 3);
  return true;
}

}  // namespace

void TMetaDC::StretchDib(double xd, double yd, double wd, double hd, int xs, int ys, int ws, int hs,
                         const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                         uint32_t usage, uint32_t rop, bool srcFromTop) {
  if (usage != DIB_RGB_COLORS) return;  // palette-relative DIBs need a palette we do not keep
  std::vector<uint8_t> header;
  if (!NormaliseDibHeader(info, infoSize, header)) return;
  BITMAPINFOHEADER hdr;
  std::memcpy(&hdr, header.data(), sizeof(hdr));
  if (srcFromTop && hdr.biHeight > 0) {
    // Blits count source rows from the top; bottom-up DIBs from the bottom.
    ys = int(std::clamp<int64_t>(int64_t(hdr.biHeight) - ys - hs, INT32_MIN, INT32_MAX));
  }
  TPoint a = ToDevice(xd, yd), b = ToDevice(xd + wd, yd + hd);
  int64_t w = int64_t(b.x) - a.x, h = int64_t(b.y) - a.y;
  if (w == 0 || h == 0) return;
  PrepareBrush(state_.brush);
  canvas_.StretchDIBits(a.x, a.y, int(w), int(h), xs, ys, ws, hs, bits, header.data(),
                        DIB_RGB_COLORS, rop, bitsSize);
}

// ---------------------------------------------------------------------------
// Paths

void TMetaDC::BeginPath() {
  in_path_ = true;
  path_points_.clear();
  path_counts_.clear();
  path_figure_open_ = false;
}

void TMetaDC::EndPath() {
  in_path_ = false;
}

void TMetaDC::AbortPath() {
  in_path_ = false;
  path_points_.clear();
  path_counts_.clear();
}

void TMetaDC::CloseFigure() {
  path_figure_open_ = false;
}

void TMetaDC::PathAdd(const std::vector<TPoint>& device, bool startFigure) {
  if (device.empty()) return;
  if (path_points_.size() + device.size() + 1 > kMaxPathPoints) return;
  if (startFigure || !path_figure_open_ || path_counts_.empty()) {
    path_counts_.push_back(0);
    path_figure_open_ = true;
    // Segments drawn "to" a point start from the current position.
    if (!startFigure) {
      path_points_.push_back(CurrentDevice());
      path_counts_.back() = 1;
    }
  }
  path_points_.insert(path_points_.end(), device.begin(), device.end());
  path_counts_.back() += int(device.size());
}

void TMetaDC::Flatten(TPoint p0, TPoint c1, TPoint c2, TPoint p3, std::vector<TPoint>& out) {
  // Enough steps that each chord is a few pixels long, at most 64.
  double len = std::hypot(double(c1.x) - p0.x, double(c1.y) - p0.y) +
               std::hypot(double(c2.x) - c1.x, double(c2.y) - c1.y) +
               std::hypot(double(p3.x) - c2.x, double(p3.y) - c2.y);
  int steps = std::clamp(int(len / 4), 1, 64);
  for (int i = 1; i <= steps; ++i) {
    double t = double(i) / steps, u = 1 - t;
    double x = u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x;
    double y = u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y;
    out.push_back(TPoint(ClampCoord(x), ClampCoord(y)));
  }
}

void TMetaDC::StrokePath() {
  size_t start = 0;
  for (int count : path_counts_) {
    std::vector<TPoint> figure(path_points_.begin() + long(start),
                               path_points_.begin() + long(start + size_t(count)));
    StrokePolyline(figure, false);
    start += size_t(count);
  }
  path_points_.clear();
  path_counts_.clear();
}

void TMetaDC::FillPath() {
  FillPolygons(path_points_, path_counts_, state_.brush);
  path_points_.clear();
  path_counts_.clear();
}

void TMetaDC::StrokeAndFillPath() {
  FillPolygons(path_points_, path_counts_, state_.brush);
  StrokePath();
}

void TMetaDC::SelectClipPath(int op) {
  TRect bounds(0, 0, CanvasBitmapWidth(canvas_.Bitmap()), CanvasBitmapHeight(canvas_.Bitmap()));
  TPolyFillMode mode = state_.poly_fill == WINDING ? WINDING : ALTERNATE;
  TRegion area;
  size_t start = 0;
  for (int count : path_counts_) {
    TRegion one = TRegion::FromPolygon(path_points_.data() + start, count, mode, &bounds);
    area = TRegion::Combine(area, one, mode == ALTERNATE ? RGN_XOR : RGN_OR);
    start += size_t(count);
  }
  SelectClip(&area, op);
  path_points_.clear();
  path_counts_.clear();
}

// ---------------------------------------------------------------------------
// Text encodings

std::string Utf16ToUtf8(const uint8_t* data, size_t units) {
  std::string out;
  out.reserve(units);
  auto put = [&](uint32_t c) {
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = GetLE16(data + 2 * i);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
      uint32_t low = GetLE16(data + 2 * i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        put(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    put(c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
  }
  return out;
}

std::string AnsiToUtf8(const uint8_t* data, size_t count) {
  // Code page 1252 positions 0x80..0x9F; the rest equals Latin-1.
  static constexpr uint16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::vector<uint8_t> units;
  units.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    uint16_t c = data[i] >= 0x80 && data[i] < 0xA0 ? kHigh[data[i] - 0x80] : data[i];
    units.push_back(uint8_t(c));
    units.push_back(uint8_t(c >> 8));
  }
  return Utf16ToUtf8(units.data(), count);
}

}  // namespace pictavo::metafile
