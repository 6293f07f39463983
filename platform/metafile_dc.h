// The device context of the metafile player: drawing state (pen, brush,
// font, colours, modes), the mapping from logical units to the pixels of the
// destination rectangle, the object table, the save/restore stack and the
// clip region, plus the drawing calls both record players share.  Used only
// by platform/metafile*.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/colors.h"
#include "platform/region.h"
#include "platform/types.h"

namespace pictavo::metafile {

inline uint16_t GetLE16(const uint8_t* p) {
  return uint16_t(p[0] | (p[1] << 8));
}
inline uint32_t GetLE32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Little-endian reads inside one record; reads past its end give 0 and set
// the failed flag, so a record too short for its parameters is detected.
class TRecordReader {
 public:
  TRecordReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Size() const { return size_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  bool Failed() const { return failed_; }
  bool Has(size_t count) const { return count <= Remaining(); }
  void Seek(size_t pos) {
    if (pos > size_) failed_ = true;
    pos_ = pos > size_ ? size_ : pos;
  }
  const uint8_t* Here() const { return data_ + pos_; }
  const uint8_t* At(size_t pos) const { return data_ + pos; }
  uint8_t U8();
  uint16_t U16();
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  float F32();

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Mapping modes, background modes, pen, brush and hatch styles, text
// alignment flags and region operations as the metafile formats code them.
enum : int {
  MM_TEXT = 1,
  MM_LOMETRIC = 2,
  MM_HIMETRIC = 3,
  MM_LOENGLISH = 4,
  MM_HIENGLISH = 5,
  MM_TWIPS = 6,
  MM_ISOTROPIC = 7,
  MM_ANISOTROPIC = 8
};
constexpr int kTransparent = 1;
constexpr int kOpaque = 2;
constexpr uint32_t kPsNull = 5;
constexpr uint32_t kPsInsideFrame = 6;
constexpr uint32_t kPsStyleMask = 0x0F;
constexpr uint32_t kPsGeometric = 0x00010000;
constexpr uint32_t kBsSolid = 0;
constexpr uint32_t kBsNull = 1;
constexpr uint32_t kBsHatched = 2;
constexpr uint32_t kTaUpdateCp = 1;
constexpr uint32_t kTaRight = 2;
constexpr uint32_t kTaCenter = 6;
constexpr uint32_t kTaBottom = 8;
constexpr uint32_t kTaBaseline = 24;
constexpr uint32_t kEtoOpaque = 2;
constexpr uint32_t kEtoClipped = 4;
constexpr int kR2CopyPen = 13;

// A 2 x 3 affine transform: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct TXForm {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  // this applied after first.
  TXForm Then(const TXForm& second) const;
  bool Invertible() const;
};

struct TLogPen {
  uint32_t style = 0;
  double width = 0;  // logical units; 0 is one pixel whatever the mapping
  TColor color = clBlack;
};

struct TLogBrush {
  uint32_t style = kBsSolid;
  TColor color = clWhite;
  uint32_t hatch = 0;
};

struct TLogFont {
  double height = 0;  // logical units; negative: character height
  int32_t escapement = 0;
  int32_t weight = 400;
  bool italic = false, underline = false, strikeout = false;
  std::string face;
};

enum class TObjKind : uint8_t { Pen, Brush, Font, Region, Other };

struct TMetaObject {
  TObjKind kind = TObjKind::Other;
  TLogPen pen;
  TLogBrush brush;
  TLogFont font;
  TRegion region;  // WMF regions, in logical units
};

struct TDCState {
  int map_mode = MM_TEXT;
  double win_org_x = 0, win_org_y = 0, win_ext_x = 1, win_ext_y = 1;
  double vp_org_x = 0, vp_org_y = 0, vp_ext_x = 1, vp_ext_y = 1;
  TXForm world;
  TLogPen pen;
  TLogBrush brush;
  TLogFont font;
  TColor text_color = clBlack;
  TColor bk_color = clWhite;
  int bk_mode = kOpaque;
  uint32_t text_align = 0;
  int poly_fill = ALTERNATE;
  int rop2 = kR2CopyPen;
  bool clockwise = false;       // arc direction
  double cur_x = 0, cur_y = 0;  // current position, logical
  std::optional<TRegion> clip;  // in destination pixels; none = no clip
};

// Limits that keep a hostile file from running away.
constexpr size_t kMaxSaveDepth = 256;
constexpr uint32_t kMaxObjects = 65536;
constexpr int32_t kCoordLimit = kRegionCoordLimit;
constexpr size_t kMaxPathPoints = 1 << 20;
constexpr size_t kMaxTextChars = 1 << 16;

class TMetaDC {
 public:
  // Plays into rect of the canvas.  For EMF, frame is the picture frame in
  // reference-device pixels; for WMF, frame is the default window.
  TMetaDC(TCanvas& canvas, const TRect& dest, bool wmf);
  ~TMetaDC();

  TDCState& State() { return state_; }
  void SetFrame(double left, double top, double width, double height);
  void SetDevicePixelsPerMm(double x, double y);

  // --- Mapping ---
  void SetMapMode(int mode);
  void SetWindowOrg(double x, double y);
  void SetWindowExt(double x, double y);
  void SetViewportOrg(double x, double y);
  void SetViewportExt(double x, double y);
  void ScaleWindowExt(double xn, double xd, double yn, double yd);
  void ScaleViewportExt(double xn, double xd, double yn, double yd);
  void OffsetWindowOrg(double dx, double dy);
  void OffsetViewportOrg(double dx, double dy);
  void SetWorld(const TXForm& form);
  void ModifyWorld(const TXForm& form, uint32_t mode);
  // Logical point to destination pixel (rounded, clamped).
  TPoint ToDevice(double x, double y) const;
  // Destination pixel coordinates of a logical point, unrounded.
  void ToDeviceF(double x, double y, double& dx, double& dy) const;
  // Reference-device pixel to destination pixel (EMF regions and bounds).
  TPoint RefToDevice(double x, double y) const;
  // Logical length to pixels along x and y.
  double ScaleX() const;
  double ScaleY() const;

  // --- State stack ---
  void Save();
  // rel < 0: relative to the top; rel > 0: absolute level (1 = first save).
  void Restore(int rel);

  // --- Objects ---
  // WMF: the lowest free slot (none when the table is full); objects of a
  // WMF are always put at the slot this gives.
  std::optional<uint32_t> FreeSlot() const;
  void SetObjectLimit(uint32_t count);
  void PutObject(uint32_t index, TMetaObject&& object);
  void DeleteObject(uint32_t index);
  void SelectObject(uint32_t index);
  // Stock objects of EMF (index with the top bit set).
  void SelectStock(uint32_t index);
  const TMetaObject* Object(uint32_t index) const;

  // --- Clipping (rectangles in logical units) ---
  void IntersectClip(double l, double t, double r, double b);
  void ExcludeClip(double l, double t, double r, double b);
  // Region in destination pixels (nullptr: remove the clip) combined by op.
  void SelectClip(const TRegion* region, int op);
  void OffsetClip(double dx, double dy);

  // --- Drawing (logical units) ---
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void Polyline(const std::vector<TPoint>& device);
  void Polygon(const std::vector<TPoint>& device);
  void PolyPolygon(const std::vector<TPoint>& device, const std::vector<int>& counts);
  void PolyPolyline(const std::vector<TPoint>& device, const std::vector<int>& counts);
  void Rectangle(double l, double t, double r, double b);
  void RoundRect(double l, double t, double r, double b, double w, double h);
  void Ellipse(double l, double t, double r, double b);
  // kind: 0 arc, 1 chord, 2 pie.
  void ArcShape(int kind, double l, double t, double r, double b, double xs, double ys, double xe,
                double ye);
  // Fills a region given in destination pixels with a brush.
  void FillRegion(const TRegion& region, const TLogBrush& brush);
  // Fills a destination rectangle with a pattern raster operation.
  void PatBlt(double x, double y, double w, double h, uint32_t rop);
  void TextOut(double x, double y, const std::string& utf8, uint32_t options,
               const double* clipRect, const std::vector<double>* dx);
  void SetPixel(double x, double y, TColor color);
  // A packed DIB (header at info, infoSize bytes; bits, bitsSize bytes).
  void StretchDib(double xd, double yd, double wd, double hd, int xs, int ys, int ws, int hs,
                  const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                  uint32_t usage, uint32_t rop, bool deviceExtents);

  // --- Paths (EMF) ---
  void BeginPath();
  void EndPath();
  void AbortPath();
  void CloseFigure();
  bool InPath() const { return in_path_; }
  // Adds device points to the open figure; startFigure begins a new one,
  // otherwise a figure that is not open begins at the current position.
  void PathAdd(const std::vector<TPoint>& device, bool startFigure);
  void StrokePath();
  void FillPath();
  void StrokeAndFillPath();
  void SelectClipPath(int op);
  TPoint CurrentDevice() const { return ToDevice(state_.cur_x, state_.cur_y); }

  // Flattened Bezier from p0 through control points, appended to out.
  static void Flatten(TPoint p0, TPoint c1, TPoint c2, TPoint p3, std::vector<TPoint>& out);

 private:
  void ApplyClip();
  void PrepareBrush(const TLogBrush& brush);
  void PreparePen();
  bool PenVisible() const;
  // Fills the device polygon set with the current brush (fill rule of the
  // state), honouring the clip.
  void FillPolygons(const std::vector<TPoint>& points, const std::vector<int>& counts,
                    const TLogBrush& brush);
  void StrokePolyline(const std::vector<TPoint>& points, bool closed);
  void AdjustIsotropic();
  TXForm PageTransform() const;

  TCanvas& canvas_;
  TRect dest_;
  bool wmf_;
  double frame_left_ = 0, frame_top_ = 0, frame_w_ = 1, frame_h_ = 1;
  double px_per_mm_x_ = 96 / 25.4, px_per_mm_y_ = 96 / 25.4;
  TDCState state_;
  std::vector<TDCState> stack_;
  std::map<uint32_t, TMetaObject> objects_;
  uint32_t object_limit_ = kMaxObjects;
  // WMF slots: those below next_unused_ that were freed, lowest first.
  std::set<uint32_t> freed_;
  uint32_t next_unused_ = 0;
  // Saved canvas state restored by the destructor.
  std::optional<TRegion> base_clip_;
  TPen saved_pen_;
  TBrush saved_brush_;
  TFont saved_font_;
  // Path being built, in device pixels.
  bool in_path_ = false;
  std::vector<TPoint> path_points_;
  std::vector<int> path_counts_;
  bool path_figure_open_ = false;
};

// Header facts of a WMF: the placeable header (when present) and the
// standard header; the window of the first SetWindowOrg/SetWindowExt.
struct TWmfInfo {
  bool placeable = false;
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  uint16_t inch = 0;
  uint16_t objects = 0;
  size_t records_at = 0;
  bool has_window_ext = false;
  double win_org_x = 0, win_org_y = 0, win_ext_x = 0, win_ext_y = 0;
};
// False when the data does not start with a WMF header we can read.
bool ParseWmf(const uint8_t* data, size_t size, TWmfInfo& info);
void PlayWmf(const uint8_t* data, size_t size, const TWmfInfo& info, TCanvas& canvas,
             const TRect& dest);

// Header facts of an EMF (rectangles as left, top, right, bottom).
struct TEmfInfo {
  int32_t bounds[4] = {0, 0, 0, 0};
  int32_t frame[4] = {0, 0, 0, 0};  // 0.01 mm
  uint32_t handles = 0;
  int32_t device_px[2] = {0, 0};
  int32_t device_mm[2] = {0, 0};
};
bool ParseEmf(const uint8_t* data, size_t size, TEmfInfo& info);
void PlayEmf(const uint8_t* data, size_t size, const TEmfInfo& info, TCanvas& canvas,
             const TRect& dest);

// Converts UTF-16LE code units to UTF-8 (unpaired surrogates become U+FFFD).
std::string Utf16ToUtf8(const uint8_t* data, size_t units);
// Converts 8-bit text of the Windows Western code page to UTF-8.
std::string AnsiToUtf8(const uint8_t* data, size_t count);

}  // namespace pictavo::metafile
