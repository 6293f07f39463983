// The EMF reader and player: records of 32-bit type and size, parameters in
// logical units of the recording device.
#include <algorithm>
#include <cmath>

#include "platform/metafile_dc.h"

namespace pictavo::metafile {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr size_t kMinHeader = 88;
constexpr size_t kRecordHeader = 8;
constexpr size_t kBoundsSize = 16;
constexpr size_t kRgnHeaderSize = 32;
constexpr size_t kMaxRegionRects = 1 << 14;

enum : uint32_t {
  EMR_HEADER = 1,
  EMR_POLYBEZIER = 2,
  EMR_POLYGON = 3,
  EMR_POLYLINE = 4,
  EMR_POLYBEZIERTO = 5,
  EMR_POLYLINETO = 6,
  EMR_POLYPOLYLINE = 7,
  EMR_POLYPOLYGON = 8,
  EMR_SETWINDOWEXTEX = 9,
  EMR_SETWINDOWORGEX = 10,
  EMR_SETVIEWPORTEXTEX = 11,
  EMR_SETVIEWPORTORGEX = 12,
  EMR_EOF = 14,
  EMR_SETPIXELV = 15,
  EMR_SETMAPMODE = 17,
  EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19,
  EMR_SETROP2 = 20,
  EMR_SETTEXTALIGN = 22,
  EMR_SETTEXTCOLOR = 24,
  EMR_SETBKCOLOR = 25,
  EMR_OFFSETCLIPRGN = 26,
  EMR_MOVETOEX = 27,
  EMR_EXCLUDECLIPRECT = 29,
  EMR_INTERSECTCLIPRECT = 30,
  EMR_SCALEVIEWPORTEXTEX = 31,
  EMR_SCALEWINDOWEXTEX = 32,
  EMR_SAVEDC = 33,
  EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35,
  EMR_MODIFYWORLDTRANSFORM = 36,
  EMR_SELECTOBJECT = 37,
  EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40,
  EMR_ELLIPSE = 42,
  EMR_RECTANGLE = 43,
  EMR_ROUNDRECT = 44,
  EMR_ARC = 45,
  EMR_CHORD = 46,
  EMR_PIE = 47,
  EMR_CREATEPALETTE = 49,
  EMR_LINETO = 54,
  EMR_SETARCDIRECTION = 57,
  EMR_BEGINPATH = 59,
  EMR_ENDPATH = 60,
  EMR_CLOSEFIGURE = 61,
  EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63,
  EMR_STROKEPATH = 64,
  EMR_SELECTCLIPPATH = 67,
  EMR_ABORTPATH = 68,
  EMR_FILLRGN = 71,
  EMR_PAINTRGN = 74,
  EMR_EXTSELECTCLIPRGN = 75,
  EMR_BITBLT = 76,
  EMR_STRETCHBLT = 77,
  EMR_SETDIBITSTODEVICE = 80,
  EMR_STRETCHDIBITS = 81,
  EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTA = 83,
  EMR_EXTTEXTOUTW = 84,
  EMR_POLYBEZIER16 = 85,
  EMR_POLYGON16 = 86,
  EMR_POLYLINE16 = 87,
  EMR_POLYBEZIERTO16 = 88,
  EMR_POLYLINETO16 = 89,
  EMR_POLYPOLYLINE16 = 90,
  EMR_POLYPOLYGON16 = 91,
  EMR_CREATEMONOBRUSH = 93,
  EMR_CREATEDIBPATTERNBRUSHPT = 94,
  EMR_EXTCREATEPEN = 95
};

TColor ReadColor(TRecordReader& r) {
  return r.U32() & 0xFFFFFF;
}

template <typename Fn>
void ForEachRecord(const uint8_t* data, size_t size, Fn&& fn) {
  size_t pos = 0;
  while (pos + kRecordHeader <= size) {
    uint32_t type = GetLE32(data + pos), length = GetLE32(data + pos + 4);
    if (length < kRecordHeader || length % 4 != 0 || length > size - pos) return;
    if (type == EMR_EOF) return;
    TRecordReader params(data + pos + kRecordHeader, length - kRecordHeader);
    fn(type, params, data + pos, size_t(length));
    pos += length;
  }
}

class TEmfPlayer {
 public:
  TEmfPlayer(TCanvas& canvas, const TRect& dest, const TEmfInfo& info) : dc_(canvas, dest, false) {
    double mm_x = info.device_mm[0] > 0 ? info.device_mm[0] : 0;
    double mm_y = info.device_mm[1] > 0 ? info.device_mm[1] : 0;
    double ppm_x = mm_x > 0 && info.device_px[0] > 0 ? info.device_px[0] / mm_x : 96 / 25.4;
    double ppm_y = mm_y > 0 && info.device_px[1] > 0 ? info.device_px[1] / mm_y : 96 / 25.4;
    dc_.SetDevicePixelsPerMm(ppm_x, ppm_y);
    // The frame (0.01 mm, inclusive) in reference-device pixels.
    double left = info.frame[0] * ppm_x / 100, top = info.frame[1] * ppm_y / 100;
    double width = (double(info.frame[2]) - info.frame[0]) * ppm_x / 100;
    double height = (double(info.frame[3]) - info.frame[1]) * ppm_y / 100;
    if (width <= 0 || height <= 0) {
      left = info.bounds[0];
      top = info.bounds[1];
      width = double(info.bounds[2]) - info.bounds[0] + 1;
      height = double(info.bounds[3]) - info.bounds[1] + 1;
    }
    dc_.SetFrame(left, top, width, height);
    dc_.SetObjectLimit(info.handles);
  }

  void Play(uint32_t type, TRecordReader& r, const uint8_t* record, size_t length);

 private:
  // Points after the bounds: 32-bit pairs or 16-bit pairs.
  std::vector<TPoint> ReadPoints(TRecordReader& r, uint64_t count, bool small) {
    std::vector<TPoint> pts;
    if (!r.Has(size_t(std::min<uint64_t>(count, SIZE_MAX / 8)) * (small ? 4 : 8))) return pts;
    pts.reserve(size_t(count));
    for (uint64_t i = 0; i < count; ++i) {
      double x = small ? r.I16() : r.I32();
      double y = small ? r.I16() : r.I32();
      pts.push_back(dc_.ToDevice(x, y));
    }
    return pts;
  }
  void Poly(uint32_t type, TRecordReader& r, bool small);
  void PolyPoly(uint32_t type, TRecordReader& r, bool small);
  void CreatePen(TRecordReader& r, bool extended);
  void CreateBrush(TRecordReader& r);
  void CreateFont(TRecordReader& r);
  void Text(TRecordReader& r, bool wide);
  void Blit(uint32_t type, TRecordReader& r, const uint8_t* record, size_t length);
  // A region's rectangles (reference-device or logical units) in pixels.
  bool ReadRegion(TRecordReader& r, size_t bytes, bool logical, TRegion& out);

  TMetaDC dc_;
};

void TEmfPlayer::Poly(uint32_t type, TRecordReader& r, bool small) {
  r.Seek(kBoundsSize);
  uint32_t count = r.U32();
  std::vector<TPoint> pts = ReadPoints(r, count, small);
  if (pts.empty() || pts.size() != count) return;
  switch (type) {
    case EMR_POLYGON:
    case EMR_POLYGON16:
      if (dc_.InPath()) {
        dc_.PathAdd(pts, true);
        dc_.CloseFigure();
      } else {
        dc_.Polygon(pts);
      }
      break;
    case EMR_POLYLINE:
    case EMR_POLYLINE16:
      if (dc_.InPath())
        dc_.PathAdd(pts, true);
      else
        dc_.Polyline(pts);
      break;
    case EMR_POLYLINETO:
    case EMR_POLYLINETO16: {
      if (dc_.InPath()) {
        dc_.PathAdd(pts, false);
      } else {
        pts.insert(pts.begin(), dc_.CurrentDevice());
        dc_.Polyline(pts);
      }
      break;
    }
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIER16:
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16: {
      bool to = type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16;
      std::vector<TPoint> flat;
      TPoint start = to ? dc_.CurrentDevice() : pts[0];
      flat.push_back(start);
      for (size_t i = to ? 0 : 1; i + 2 < pts.size(); i += 3) {
        TMetaDC::Flatten(start, pts[i], pts[i + 1], pts[i + 2], flat);
        start = pts[i + 2];
      }
      if (dc_.InPath()) {
        if (to) flat.erase(flat.begin());
        dc_.PathAdd(flat, !to);
      } else {
        dc_.Polyline(flat);
      }
      break;
    }
    default:
      return;
  }
  // The "to" forms move the current position to their last point.
  if (type == EMR_POLYLINETO || type == EMR_POLYLINETO16 || type == EMR_POLYBEZIERTO ||
      type == EMR_POLYBEZIERTO16) {
    r.Seek(kBoundsSize + 4 + size_t(count - 1) * (small ? 4 : 8));
    double x = small ? r.I16() : r.I32();
    double y = small ? r.I16() : r.I32();
    dc_.State().cur_x = x;
    dc_.State().cur_y = y;
  }
}

void TEmfPlayer::PolyPoly(uint32_t type, TRecordReader& r, bool small) {
  r.Seek(kBoundsSize);
  uint32_t polys = r.U32(), total = r.U32();
  if (r.Failed() || !r.Has(size_t(polys) * 4)) return;
  std::vector<int> counts;
  uint64_t sum = 0;
  for (uint32_t i = 0; i < polys; ++i) {
    uint32_t c = r.U32();
    sum += c;
    counts.push_back(int(std::min<uint32_t>(c, INT32_MAX)));
  }
  if (sum != total) return;
  std::vector<TPoint> pts = ReadPoints(r, total, small);
  if (pts.size() != total || total == 0) return;
  if (type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16) {
    if (dc_.InPath()) {
      size_t at = 0;
      for (int c : counts) {
        dc_.PathAdd(std::vector<TPoint>(pts.begin() + long(at), pts.begin() + long(at + c)), true);
        dc_.CloseFigure();
        at += size_t(c);
      }
    } else {
      dc_.PolyPolygon(pts, counts);
    }
  } else {
    dc_.PolyPolyline(pts, counts);
  }
}

void TEmfPlayer::CreatePen(TRecordReader& r, bool extended) {
  uint32_t index = r.U32();
  TMetaObject obj;
  obj.kind = TObjKind::Pen;
  if (extended) {
    r.Seek(r.Position() + 16);  // offsets and sizes of a pattern bitmap
    obj.pen.style = r.U32();
    obj.pen.width = r.U32();
    r.U32();  // brush style
    obj.pen.color = ReadColor(r);
  } else {
    obj.pen.style = r.U32();
    obj.pen.width = r.I32();
    r.I32();
    obj.pen.color = ReadColor(r);
  }
  if (!r.Failed()) dc_.PutObject(index, std::move(obj));
}

void TEmfPlayer::CreateBrush(TRecordReader& r) {
  uint32_t index = r.U32();
  TMetaObject obj;
  obj.kind = TObjKind::Brush;
  obj.brush.style = r.U32();
  obj.brush.color = ReadColor(r);
  obj.brush.hatch = r.U32();
  if (!r.Failed()) dc_.PutObject(index, std::move(obj));
}

void TEmfPlayer::CreateFont(TRecordReader& r) {
  uint32_t index = r.U32();
  TMetaObject obj;
  obj.kind = TObjKind::Font;
  obj.font.height = r.I32();
  r.I32();  // width
  obj.font.escapement = r.I32();
  r.I32();  // orientation
  obj.font.weight = r.I32();
  obj.font.italic = r.U8() != 0;
  obj.font.underline = r.U8() != 0;
  obj.font.strikeout = r.U8() != 0;
  r.Seek(r.Position() + 5);
  if (r.Failed()) return;
  size_t units = std::min<size_t>(r.Remaining() / 2, 32);
  size_t len = 0;
  while (len < units && GetLE16(r.Here() + 2 * len) != 0) ++len;
  obj.font.face = Utf16ToUtf8(r.Here(), len);
  dc_.PutObject(index, std::move(obj));
}

void TEmfPlayer::Text(TRecordReader& r, bool wide) {
  r.Seek(kBoundsSize + 12);  // graphics mode and the two scales
  int32_t x = r.I32(), y = r.I32();
  uint32_t chars = r.U32(), off_string = r.U32(), options = r.U32();
  double rect[4];
  for (double& v : rect) v = r.I32();
  uint32_t off_dx = r.U32();
  if (r.Failed() || chars == 0 || chars > kMaxTextChars) return;
  size_t record_size = r.Size() + kRecordHeader;
  size_t bytes = size_t(chars) * (wide ? 2 : 1);
  if (off_string < kRecordHeader || off_string > record_size || bytes > record_size - off_string)
    return;
  const uint8_t* text = r.At(off_string - kRecordHeader);
  std::string utf8 = wide ? Utf16ToUtf8(text, chars) : AnsiToUtf8(text, chars);
  std::vector<double> dx;
  if (off_dx >= kRecordHeader && off_dx <= record_size &&
      size_t(chars) * 4 <= record_size - off_dx) {
    const uint8_t* p = r.At(off_dx - kRecordHeader);
    for (uint32_t i = 0; i < chars; ++i) dx.push_back(int32_t(GetLE32(p + 4 * i)));
  }
  bool has_rect = (options & (kEtoOpaque | kEtoClipped)) != 0;
  dc_.TextOut(x, y, utf8, options, has_rect ? rect : nullptr, dx.empty() ? nullptr : &dx);
}

bool TEmfPlayer::ReadRegion(TRecordReader& r, size_t bytes, bool logical, TRegion& out) {
  size_t start = r.Position();
  if (bytes < kRgnHeaderSize || !r.Has(bytes)) return false;
  r.U32();  // header size
  r.U32();  // type
  uint32_t count = r.U32();
  r.Seek(start + kRgnHeaderSize);
  if (count > kMaxRegionRects || size_t(count) * 16 > bytes - kRgnHeaderSize) return false;
  std::vector<TRegion> parts;
  for (uint32_t i = 0; i < count; ++i) {
    int32_t l = r.I32(), t = r.I32(), rt = r.I32(), b = r.I32();
    TPoint a = logical ? dc_.ToDevice(l, t) : dc_.RefToDevice(l, t);
    TPoint c = logical ? dc_.ToDevice(rt, b) : dc_.RefToDevice(rt, b);
    parts.push_back(TRegion::FromRect(
        TRect(std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y))));
  }
  while (parts.size() > 1) {
    std::vector<TRegion> next;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
      next.push_back(TRegion::Combine(parts[i], parts[i + 1], RGN_OR));
    if (parts.size() & 1) next.push_back(std::move(parts.back()));
    parts.swap(next);
  }
  out = parts.empty() ? TRegion() : std::move(parts[0]);
  return true;
}

void TEmfPlayer::Blit(uint32_t type, TRecordReader& r, const uint8_t* record, size_t length) {
  r.Seek(kBoundsSize);
  int32_t xd = r.I32(), yd = r.I32();
  int32_t xs, ys, ws, hs, wd, hd;
  uint32_t rop, usage, off_bmi, cb_bmi, off_bits, cb_bits;
  bool from_top = true;
  if (type == EMR_BITBLT || type == EMR_STRETCHBLT) {
    wd = r.I32();
    hd = r.I32();
    rop = r.U32();
    xs = r.I32();
    ys = r.I32();
    r.Seek(r.Position() + 28);  // source transform and background colour
    usage = r.U32();
    off_bmi = r.U32();
    cb_bmi = r.U32();
    off_bits = r.U32();
    cb_bits = r.U32();
    ws = wd;
    hs = hd;
    if (type == EMR_STRETCHBLT) {
      ws = r.I32();
      hs = r.I32();
    }
  } else {
    xs = r.I32();
    ys = r.I32();
    ws = r.I32();
    hs = r.I32();
    off_bmi = r.U32();
    cb_bmi = r.U32();
    off_bits = r.U32();
    cb_bits = r.U32();
    usage = r.U32();
    if (type == EMR_STRETCHDIBITS) {
      rop = r.U32();
      wd = r.I32();
      hd = r.I32();
      from_top = false;
    } else {
      // SetDIBitsToDevice: source rows counted from the bottom, 1:1.
      rop = SRCCOPY;
      wd = ws;
      hd = hs;
      from_top = false;
    }
  }
  if (r.Failed()) return;
  if (cb_bmi == 0) {
    dc_.PatBlt(xd, yd, wd, hd, rop);
    return;
  }
  if (off_bmi > length || cb_bmi > length - off_bmi || off_bits > length ||
      cb_bits > length - off_bits)
    return;
  dc_.StretchDib(xd, yd, wd, hd, xs, ys, ws, hs, record + off_bmi, cb_bmi, record + off_bits,
                 cb_bits, usage, rop, from_top);
}

void TEmfPlayer::Play(uint32_t type, TRecordReader& r, const uint8_t* record, size_t length) {
  TDCState& s = dc_.State();
  switch (type) {
    case EMR_POLYGON:
    case EMR_POLYLINE:
    case EMR_POLYLINETO:
    case EMR_POLYBEZIER:
    case EMR_POLYBEZIERTO:
      Poly(type, r, false);
      break;
    case EMR_POLYGON16:
    case EMR_POLYLINE16:
    case EMR_POLYLINETO16:
    case EMR_POLYBEZIER16:
    case EMR_POLYBEZIERTO16:
      Poly(type - (EMR_POLYBEZIER16 - EMR_POLYBEZIER), r, true);
      break;
    case EMR_POLYPOLYLINE:
    case EMR_POLYPOLYGON:
      PolyPoly(type, r, false);
      break;
    case EMR_POLYPOLYLINE16:
      PolyPoly(EMR_POLYPOLYLINE, r, true);
      break;
    case EMR_POLYPOLYGON16:
      PolyPoly(EMR_POLYPOLYGON, r, true);
      break;
    case EMR_SETWINDOWEXTEX:
    case EMR_SETWINDOWORGEX:
    case EMR_SETVIEWPORTEXTEX:
    case EMR_SETVIEWPORTORGEX:
    case EMR_MOVETOEX:
    case EMR_LINETO:
    case EMR_OFFSETCLIPRGN: {
      int32_t x = r.I32(), y = r.I32();
      if (r.Failed()) break;
      if (type == EMR_SETWINDOWEXTEX) dc_.SetWindowExt(x, y);
      if (type == EMR_SETWINDOWORGEX) dc_.SetWindowOrg(x, y);
      if (type == EMR_SETVIEWPORTEXTEX) dc_.SetViewportExt(x, y);
      if (type == EMR_SETVIEWPORTORGEX) dc_.SetViewportOrg(x, y);
      if (type == EMR_OFFSETCLIPRGN) dc_.OffsetClip(x, y);
      if (type == EMR_MOVETOEX) {
        if (dc_.InPath()) dc_.CloseFigure();
        dc_.MoveTo(x, y);
      }
      if (type == EMR_LINETO) {
        if (dc_.InPath()) {
          std::vector<TPoint> seg;
          seg.push_back(dc_.ToDevice(x, y));
          dc_.PathAdd(seg, false);
          s.cur_x = x;
          s.cur_y = y;
        } else {
          dc_.LineTo(x, y);
        }
      }
      break;
    }
    case EMR_SCALEVIEWPORTEXTEX:
    case EMR_SCALEWINDOWEXTEX: {
      int32_t xn = r.I32(), xd = r.I32(), yn = r.I32(), yd = r.I32();
      if (r.Failed()) break;
      if (type == EMR_SCALEWINDOWEXTEX)
        dc_.ScaleWindowExt(xn, xd, yn, yd);
      else
        dc_.ScaleViewportExt(xn, xd, yn, yd);
      break;
    }
    case EMR_SETPIXELV: {
      int32_t x = r.I32(), y = r.I32();
      TColor c = ReadColor(r);
      if (!r.Failed()) dc_.SetPixel(x, y, c);
      break;
    }
    case EMR_SETMAPMODE:
      dc_.SetMapMode(int(r.U32()));
      break;
    case EMR_SETBKMODE:
      s.bk_mode = int(r.U32());
      break;
    case EMR_SETPOLYFILLMODE:
      s.poly_fill = r.U32() == WINDING ? WINDING : ALTERNATE;
      break;
    case EMR_SETROP2:
      s.rop2 = int(r.U32());
      break;
    case EMR_SETTEXTALIGN:
      s.text_align = r.U32();
      break;
    case EMR_SETTEXTCOLOR:
      s.text_color = ReadColor(r);
      break;
    case EMR_SETBKCOLOR:
      s.bk_color = ReadColor(r);
      break;
    case EMR_SETARCDIRECTION:
      s.clockwise = r.U32() == 2;
      break;
    case EMR_EXCLUDECLIPRECT:
    case EMR_INTERSECTCLIPRECT:
    case EMR_ELLIPSE:
    case EMR_RECTANGLE:
    case EMR_ROUNDRECT: {
      int32_t l = r.I32(), t = r.I32(), rt = r.I32(), b = r.I32();
      if (type == EMR_ROUNDRECT) {
        int32_t w = r.I32(), h = r.I32();
        if (!r.Failed()) dc_.RoundRect(l, t, rt, b, w, h);
        break;
      }
      if (r.Failed()) break;
      if (type == EMR_EXCLUDECLIPRECT) dc_.ExcludeClip(l, t, rt, b);
      if (type == EMR_INTERSECTCLIPRECT) dc_.IntersectClip(l, t, rt, b);
      if (type == EMR_ELLIPSE) dc_.Ellipse(l, t, rt, b);
      if (type == EMR_RECTANGLE) dc_.Rectangle(l, t, rt, b);
      break;
    }
    case EMR_ARC:
    case EMR_CHORD:
    case EMR_PIE: {
      int32_t v[8];
      for (int32_t& x : v) x = r.I32();
      if (r.Failed()) break;
      int kind = type == EMR_ARC ? 0 : type == EMR_CHORD ? 1 : 2;
      dc_.ArcShape(kind, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
      break;
    }
    case EMR_SAVEDC:
      dc_.Save();
      break;
    case EMR_RESTOREDC:
      dc_.Restore(r.I32());
      break;
    case EMR_SETWORLDTRANSFORM:
    case EMR_MODIFYWORLDTRANSFORM: {
      TXForm f;
      f.m11 = r.F32();
      f.m12 = r.F32();
      f.m21 = r.F32();
      f.m22 = r.F32();
      f.dx = r.F32();
      f.dy = r.F32();
      uint32_t mode = type == EMR_SETWORLDTRANSFORM ? 4 : r.U32();
      if (!r.Failed()) dc_.ModifyWorld(f, mode);
      break;
    }
    case EMR_SELECTOBJECT:
      dc_.SelectObject(r.U32());
      break;
    case EMR_DELETEOBJECT:
      dc_.DeleteObject(r.U32());
      break;
    case EMR_CREATEPEN:
      CreatePen(r, false);
      break;
    case EMR_EXTCREATEPEN:
      CreatePen(r, true);
      break;
    case EMR_CREATEBRUSHINDIRECT:
      CreateBrush(r);
      break;
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
      // A pattern brush stands in as a solid grey one.
      TMetaObject obj;
      obj.kind = TObjKind::Brush;
      obj.brush = TLogBrush{kBsSolid, clGray, 0};
      uint32_t index = r.U32();
      if (!r.Failed()) dc_.PutObject(index, std::move(obj));
      break;
    }
    case EMR_CREATEPALETTE: {
      uint32_t index = r.U32();
      if (!r.Failed()) dc_.PutObject(index, TMetaObject());
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW:
      CreateFont(r);
      break;
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA:
      Text(r, type == EMR_EXTTEXTOUTW);
      break;
    case EMR_BEGINPATH:
      dc_.BeginPath();
      break;
    case EMR_ENDPATH:
      dc_.EndPath();
      break;
    case EMR_CLOSEFIGURE:
      dc_.CloseFigure();
      break;
    case EMR_ABORTPATH:
      dc_.AbortPath();
      break;
    case EMR_FILLPATH:
      dc_.FillPath();
      break;
    case EMR_STROKEPATH:
      dc_.StrokePath();
      break;
    case EMR_STROKEANDFILLPATH:
      dc_.StrokeAndFillPath();
      break;
    case EMR_SELECTCLIPPATH:
      dc_.SelectClipPath(int(r.U32()));
      break;
    case EMR_FILLRGN:
    case EMR_PAINTRGN: {
      r.Seek(kBoundsSize);
      uint32_t bytes = r.U32();
      TLogBrush brush = s.brush;
      if (type == EMR_FILLRGN) {
        const TMetaObject* b = dc_.Object(r.U32());
        if (!b || b->kind != TObjKind::Brush) break;
        brush = b->brush;
      }
      TRegion region;
      if (ReadRegion(r, bytes, true, region)) dc_.FillRegion(region, brush);
      break;
    }
    case EMR_EXTSELECTCLIPRGN: {
      uint32_t bytes = r.U32(), mode = r.U32();
      if (r.Failed()) break;
      if (bytes < kRgnHeaderSize) {
        if (mode == RGN_COPY) dc_.SelectClip(nullptr, RGN_COPY);
        break;
      }
      TRegion region;
      if (ReadRegion(r, bytes, false, region)) dc_.SelectClip(&region, int(mode));
      break;
    }
    case EMR_BITBLT:
    case EMR_STRETCHBLT:
    case EMR_SETDIBITSTODEVICE:
    case EMR_STRETCHDIBITS:
      Blit(type, r, record, length);
      break;
    default:
      break;  // records we do not know are skipped
  }
}

}  // namespace

bool ParseEmf(const uint8_t* data, size_t size, TEmfInfo& info) {
  info = TEmfInfo();
  if (size < kMinHeader) return false;
  uint32_t length = GetLE32(data + 4);
  if (GetLE32(data) != EMR_HEADER || GetLE32(data + 40) != kEmfSignature) return false;
  if (length < kMinHeader || length > size || length % 4 != 0) return false;
  TRecordReader r(data + kRecordHeader, length - kRecordHeader);
  for (int32_t& v : info.bounds) v = r.I32();
  for (int32_t& v : info.frame) v = r.I32();
  r.Seek(48);  // signature, version, bytes, records
  info.handles = r.U16();
  r.Seek(64);  // reserved, description, palette entries
  info.device_px[0] = r.I32();
  info.device_px[1] = r.I32();
  info.device_mm[0] = r.I32();
  info.device_mm[1] = r.I32();
  return !r.Failed();
}

void PlayEmf(const uint8_t* data, size_t size, const TEmfInfo& info, TCanvas& canvas,
             const TRect& dest) {
  TEmfPlayer player(canvas, dest, info);
  ForEachRecord(data, size, [&](uint32_t type, TRecordReader& r, const uint8_t* rec, size_t len) {
    player.Play(type, r, rec, len);
  });
}

}  // namespace pictavo::metafile
