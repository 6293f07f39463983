// The WMF reader and player: placeable and plain files, records of 16-bit
// words whose parameters are stored last-first.
#include <algorithm>
#include <cmath>

#include "platform/metafile_dc.h"

namespace pictavo::metafile {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kHeaderSize = 18;
constexpr size_t kRecordHeader = 6;  // size (32 bits) and function (16 bits)
constexpr size_t kMaxRegionSpans = 1 << 14;

enum : uint16_t {
  META_EOF = 0x0000,
  META_SAVEDC = 0x001E,
  META_SETBKMODE = 0x0102,
  META_SETMAPMODE = 0x0103,
  META_SETROP2 = 0x0104,
  META_SETPOLYFILLMODE = 0x0106,
  META_RESTOREDC = 0x0127,
  META_INVERTREGION = 0x012A,
  META_PAINTREGION = 0x012B,
  META_SELECTCLIPREGION = 0x012C,
  META_SELECTOBJECT = 0x012D,
  META_SETTEXTALIGN = 0x012E,
  META_DIBCREATEPATTERNBRUSH = 0x0142,
  META_DELETEOBJECT = 0x01F0,
  META_CREATEPALETTE = 0x00F7,
  META_CREATEPATTERNBRUSH = 0x01F9,
  META_SETBKCOLOR = 0x0201,
  META_SETTEXTCOLOR = 0x0209,
  META_SETWINDOWORG = 0x020B,
  META_SETWINDOWEXT = 0x020C,
  META_SETVIEWPORTORG = 0x020D,
  META_SETVIEWPORTEXT = 0x020E,
  META_OFFSETWINDOWORG = 0x020F,
  META_OFFSETVIEWPORTORG = 0x0211,
  META_LINETO = 0x0213,
  META_MOVETO = 0x0214,
  META_OFFSETCLIPRGN = 0x0220,
  META_FILLREGION = 0x0228,
  META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEFONTINDIRECT = 0x02FB,
  META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYGON = 0x0324,
  META_POLYLINE = 0x0325,
  META_SCALEWINDOWEXT = 0x0410,
  META_SCALEVIEWPORTEXT = 0x0412,
  META_EXCLUDECLIPRECT = 0x0415,
  META_INTERSECTCLIPRECT = 0x0416,
  META_ELLIPSE = 0x0418,
  META_RECTANGLE = 0x041B,
  META_SETPIXEL = 0x041F,
  META_TEXTOUT = 0x0521,
  META_POLYPOLYGON = 0x0538,
  META_ROUNDRECT = 0x061C,
  META_PATBLT = 0x061D,
  META_CREATEREGION = 0x06FF,
  META_ARC = 0x0817,
  META_PIE = 0x081A,
  META_CHORD = 0x0830,
  META_DIBBITBLT = 0x0940,
  META_EXTTEXTOUT = 0x0A32,
  META_DIBSTRETCHBLT = 0x0B41,
  META_SETDIBTODEV = 0x0D33,
  META_STRETCHDIB = 0x0F43
};

TColor ReadColor(TRecordReader& r) {
  return r.U32() & 0xFFFFFF;
}

// Calls fn(function, parameters) for every record that fits in the data,
// until the end record.
template <typename Fn>
void ForEachRecord(const uint8_t* data, size_t size, size_t pos, Fn&& fn) {
  while (pos + kRecordHeader <= size) {
    uint64_t words = GetLE32(data + pos);
    uint16_t function = GetLE16(data + pos + 4);
    if (words < 3 || words * 2 > size - pos) return;
    if (function == META_EOF) return;
    TRecordReader params(data + pos + kRecordHeader, size_t(words * 2 - kRecordHeader));
    fn(function, params);
    pos += size_t(words * 2);
  }
}

class TWmfPlayer {
 public:
  TWmfPlayer(TCanvas& canvas, const TRect& dest, const TWmfInfo& info) : dc_(canvas, dest, true) {
    dc_.SetObjectLimit(info.objects);
    if (info.placeable) {
      dc_.SetFrame(info.left, info.top, double(info.right) - info.left,
                   double(info.bottom) - info.top);
    } else {
      dc_.SetFrame(info.win_org_x, info.win_org_y, info.win_ext_x, info.win_ext_y);
    }
  }

  void Play(uint16_t function, TRecordReader& r);

 private:
  std::vector<TPoint> ReadPoints(TRecordReader& r, size_t count) {
    std::vector<TPoint> pts;
    if (!r.Has(count * 4)) return pts;
    pts.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      int16_t x = r.I16(), y = r.I16();
      pts.push_back(dc_.ToDevice(x, y));
    }
    return pts;
  }
  void CreateObject(TMetaObject&& obj) {
    std::optional<uint32_t> slot = dc_.FreeSlot();
    if (slot) dc_.PutObject(*slot, std::move(obj));
  }
  void CreatePen(TRecordReader& r);
  void CreateBrush(TRecordReader& r);
  void CreateFont(TRecordReader& r);
  void CreateRegion(TRecordReader& r);
  void PolyPolygon(TRecordReader& r);
  void Text(TRecordReader& r, bool extended);
  void DibBlit(uint16_t function, TRecordReader& r);
  TRegion DeviceRegion(const TRegion& logical);

  TMetaDC dc_;
};

void TWmfPlayer::CreatePen(TRecordReader& r) {
  TMetaObject obj;
  obj.kind = TObjKind::Pen;
  obj.pen.style = r.U16();
  obj.pen.width = r.I16();
  r.I16();  // the y of the width point is unused
  obj.pen.color = ReadColor(r);
  if (r.Failed()) return;
  CreateObject(std::move(obj));
}

void TWmfPlayer::CreateBrush(TRecordReader& r) {
  TMetaObject obj;
  obj.kind = TObjKind::Brush;
  obj.brush.style = r.U16();
  obj.brush.color = ReadColor(r);
  obj.brush.hatch = r.U16();
  CreateObject(std::move(obj));
}

void TWmfPlayer::CreateFont(TRecordReader& r) {
  TMetaObject obj;
  obj.kind = TObjKind::Font;
  obj.font.height = r.I16();
  r.I16();  // width
  obj.font.escapement = r.I16();
  r.I16();  // orientation
  obj.font.weight = r.I16();
  obj.font.italic = r.U8() != 0;
  obj.font.underline = r.U8() != 0;
  obj.font.strikeout = r.U8() != 0;
  r.Seek(r.Position() + 5);  // charset, precisions, quality, pitch
  size_t n = std::min<size_t>(r.Remaining(), 32);
  const uint8_t* name = r.Here();
  size_t len = 0;
  while (len < n && name[len] != 0) ++len;
  obj.font.face = AnsiToUtf8(name, len);
  CreateObject(std::move(obj));
}

void TWmfPlayer::CreateRegion(TRecordReader& r) {
  TMetaObject obj;
  obj.kind = TObjKind::Region;
  r.Seek(10);  // next in chain, object type, object count, region size
  int scans = r.I16();
  r.Seek(22);  // max scan, bounding box
  std::vector<TRegion> parts;
  for (int i = 0; i < scans && !r.Failed(); ++i) {
    uint16_t count = r.U16();
    int16_t top = r.I16(), bottom = r.I16();
    if (!r.Has(size_t(count) * 2 + 2) || parts.size() + count / 2 > kMaxRegionSpans) break;
    for (int k = 0; k + 1 < count; k += 2) {
      int16_t left = r.I16(), right = r.I16();
      parts.push_back(TRegion::FromRect(TRect(left, top, right, bottom)));
    }
    if (count & 1) r.U16();
    r.U16();  // count repeated
  }
  // Pairwise unions keep the cost at n log n for many spans.
  while (parts.size() > 1) {
    std::vector<TRegion> next;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
      next.push_back(TRegion::Combine(parts[i], parts[i + 1], RGN_OR));
    if (parts.size() & 1) next.push_back(std::move(parts.back()));
    parts.swap(next);
  }
  if (!parts.empty()) obj.region = std::move(parts[0]);
  CreateObject(std::move(obj));
}

TRegion TWmfPlayer::DeviceRegion(const TRegion& logical) {
  std::vector<TRegion> parts;
  for (const TRegionBand& band : logical.Bands())
    for (const TSpan& s : band.spans) {
      TPoint a = dc_.ToDevice(s.left, band.top), b = dc_.ToDevice(s.right, band.bottom);
      parts.push_back(TRegion::FromRect(
          TRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y))));
    }
  while (parts.size() > 1) {
    std::vector<TRegion> next;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
      next.push_back(TRegion::Combine(parts[i], parts[i + 1], RGN_OR));
    if (parts.size() & 1) next.push_back(std::move(parts.back()));
    parts.swap(next);
  }
  return parts.empty() ? TRegion() : std::move(parts[0]);
}

void TWmfPlayer::PolyPolygon(TRecordReader& r) {
  uint16_t polys = r.U16();
  if (!r.Has(size_t(polys) * 2)) return;
  std::vector<int> counts;
  size_t total = 0;
  for (uint16_t i = 0; i < polys; ++i) {
    counts.push_back(r.U16());
    total += counts.back();
  }
  std::vector<TPoint> pts = ReadPoints(r, total);
  if (pts.size() != total) return;
  dc_.PolyPolygon(pts, counts);
}

void TWmfPlayer::Text(TRecordReader& r, bool extended) {
  int16_t x, y;
  uint16_t length, options = 0;
  double rect[4];
  bool has_rect = false;
  std::string text;
  if (!extended) {
    length = r.U16();
    if (!r.Has(length + (length & 1u) + 4u)) return;
    text = AnsiToUtf8(r.Here(), length);
    r.Seek(r.Position() + length + (length & 1u));
    y = r.I16();
    x = r.I16();
  } else {
    y = r.I16();
    x = r.I16();
    length = r.U16();
    options = r.U16();
    if (options & (kEtoOpaque | kEtoClipped)) {
      for (double& v : rect) v = r.I16();
      has_rect = true;
    }
    if (r.Failed() || !r.Has(length)) return;
    text = AnsiToUtf8(r.Here(), length);
    r.Seek(r.Position() + length + (length & 1u));
  }
  std::vector<double> dx;
  if (extended && r.Has(size_t(length) * 2)) {
    for (uint16_t i = 0; i < length; ++i) dx.push_back(r.I16());
  }
  dc_.TextOut(x, y, text, options, has_rect ? rect : nullptr, dx.empty() ? nullptr : &dx);
}

void TWmfPlayer::DibBlit(uint16_t function, TRecordReader& r) {
  uint32_t rop = r.U32();
  uint16_t usage = DIB_RGB_COLORS;
  if (function == META_STRETCHDIB) usage = r.U16();
  int ys = 0, xs = 0, hs = 0, ws = 0, hd = 0, wd = 0;
  bool from_top = function != META_STRETCHDIB;
  size_t words = (r.Size() + kRecordHeader) / 2;
  if (function == META_DIBBITBLT) {
    ys = r.I16();
    xs = r.I16();
    if (words == 12) r.I16();  // no bitmap: a reserved word
    hs = hd = r.I16();
    ws = wd = r.I16();
  } else {
    if (function == META_DIBSTRETCHBLT && words == 14) r.I16();
    hs = r.I16();
    ws = r.I16();
    ys = r.I16();
    xs = r.I16();
    hd = r.I16();
    wd = r.I16();
  }
  int yd = r.I16(), xd = r.I16();
  if (r.Failed()) return;
  if (!r.Has(40)) {
    // Blits without a bitmap paint with the brush.
    dc_.PatBlt(xd, yd, wd, hd, rop);
    return;
  }
  // The DIB: header and colour table, then the bits.
  const uint8_t* info = r.Here();
  size_t avail = r.Remaining();
  uint32_t header_size = GetLE32(info);
  if (header_size < 12 || header_size > avail) return;
  uint16_t bits_per_pixel = header_size == 12 ? GetLE16(info + 10) : GetLE16(info + 14);
  uint32_t used = header_size >= 40 ? GetLE32(info + 32) : 0;
  uint32_t compression = header_size >= 40 ? GetLE32(info + 16) : 0;
  size_t entries = 0;
  if (bits_per_pixel <= 8) {
    size_t full = size_t(1) << std::max<int>(bits_per_pixel, 1);
    entries = used == 0 || used > full ? full : used;
  }
  size_t table = header_size + entries * (header_size == 12 ? 3 : 4);
  if (compression == BI_BITFIELDS && header_size == 40) table += 12;
  if (table > avail) return;
  dc_.StretchDib(xd, yd, wd, hd, xs, ys, ws, hs, info, table, info + table, avail - table, usage,
                 rop, from_top);
}

void TWmfPlayer::Play(uint16_t f, TRecordReader& r) {
  TDCState& s = dc_.State();
  switch (f) {
    case META_SAVEDC:
      dc_.Save();
      break;
    case META_RESTOREDC:
      dc_.Restore(r.I16());
      break;
    case META_SETBKMODE:
      s.bk_mode = r.U16();
      break;
    case META_SETMAPMODE:
      dc_.SetMapMode(r.U16());
      break;
    case META_SETROP2:
      s.rop2 = r.U16();
      break;
    case META_SETPOLYFILLMODE:
      s.poly_fill = r.U16() == WINDING ? WINDING : ALTERNATE;
      break;
    case META_SETTEXTALIGN:
      s.text_align = r.U16();
      break;
    case META_SETBKCOLOR:
      s.bk_color = ReadColor(r);
      break;
    case META_SETTEXTCOLOR:
      s.text_color = ReadColor(r);
      break;
    case META_SETWINDOWORG: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.SetWindowOrg(x, y);
      break;
    }
    case META_SETWINDOWEXT: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.SetWindowExt(x, y);
      break;
    }
    case META_OFFSETWINDOWORG: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.OffsetWindowOrg(x, y);
      break;
    }
    case META_SCALEWINDOWEXT: {
      int16_t yd = r.I16(), yn = r.I16(), xd = r.I16(), xn = r.I16();
      if (!r.Failed()) dc_.ScaleWindowExt(xn, xd, yn, yd);
      break;
    }
    case META_SETVIEWPORTORG:
    case META_SETVIEWPORTEXT:
    case META_OFFSETVIEWPORTORG:
    case META_SCALEVIEWPORTEXT:
      break;  // the destination rectangle is the viewport
    case META_MOVETO: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.MoveTo(x, y);
      break;
    }
    case META_LINETO: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.LineTo(x, y);
      break;
    }
    case META_POLYLINE:
    case META_POLYGON: {
      uint16_t n = r.U16();
      std::vector<TPoint> pts = ReadPoints(r, n);
      if (pts.size() != n || n == 0) break;
      if (f == META_POLYGON)
        dc_.Polygon(pts);
      else
        dc_.Polyline(pts);
      break;
    }
    case META_POLYPOLYGON:
      PolyPolygon(r);
      break;
    case META_RECTANGLE:
    case META_ELLIPSE:
    case META_INTERSECTCLIPRECT:
    case META_EXCLUDECLIPRECT: {
      int16_t b = r.I16(), rt = r.I16(), t = r.I16(), l = r.I16();
      if (r.Failed()) break;
      if (f == META_RECTANGLE)
        dc_.Rectangle(l, t, rt, b);
      else if (f == META_ELLIPSE)
        dc_.Ellipse(l, t, rt, b);
      else if (f == META_INTERSECTCLIPRECT)
        dc_.IntersectClip(l, t, rt, b);
      else
        dc_.ExcludeClip(l, t, rt, b);
      break;
    }
    case META_ROUNDRECT: {
      int16_t h = r.I16(), w = r.I16(), b = r.I16(), rt = r.I16(), t = r.I16(), l = r.I16();
      if (!r.Failed()) dc_.RoundRect(l, t, rt, b, w, h);
      break;
    }
    case META_ARC:
    case META_PIE:
    case META_CHORD: {
      int16_t ye = r.I16(), xe = r.I16(), ys = r.I16(), xs = r.I16();
      int16_t b = r.I16(), rt = r.I16(), t = r.I16(), l = r.I16();
      if (r.Failed()) break;
      int kind = f == META_ARC ? 0 : f == META_CHORD ? 1 : 2;
      dc_.ArcShape(kind, l, t, rt, b, xs, ys, xe, ye);
      break;
    }
    case META_SETPIXEL: {
      TColor c = ReadColor(r);
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.SetPixel(x, y, c);
      break;
    }
    case META_PATBLT: {
      uint32_t rop = r.U32();
      int16_t h = r.I16(), w = r.I16(), y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.PatBlt(x, y, w, h, rop);
      break;
    }
    case META_TEXTOUT:
      Text(r, false);
      break;
    case META_EXTTEXTOUT:
      Text(r, true);
      break;
    case META_DIBBITBLT:
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB:
      DibBlit(f, r);
      break;
    case META_SELECTOBJECT:
      dc_.SelectObject(r.U16());
      break;
    case META_SELECTCLIPREGION: {
      const TMetaObject* obj = dc_.Object(r.U16());
      if (obj && obj->kind == TObjKind::Region) {
        TRegion dev = DeviceRegion(obj->region);
        dc_.SelectClip(&dev, RGN_COPY);
      } else {
        dc_.SelectClip(nullptr, RGN_COPY);
      }
      break;
    }
    case META_OFFSETCLIPRGN: {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed()) dc_.OffsetClip(x, y);
      break;
    }
    case META_FILLREGION:
    case META_PAINTREGION: {
      const TMetaObject* region = dc_.Object(r.U16());
      TLogBrush brush = s.brush;
      if (f == META_FILLREGION) {
        const TMetaObject* b = dc_.Object(r.U16());
        if (!b || b->kind != TObjKind::Brush) break;
        brush = b->brush;
      }
      if (region && region->kind == TObjKind::Region)
        dc_.FillRegion(DeviceRegion(region->region), brush);
      break;
    }
    case META_DELETEOBJECT:
      dc_.DeleteObject(r.U16());
      break;
    case META_CREATEPENINDIRECT:
      CreatePen(r);
      break;
    case META_CREATEBRUSHINDIRECT:
      CreateBrush(r);
      break;
    case META_CREATEFONTINDIRECT:
      CreateFont(r);
      break;
    case META_CREATEREGION:
      CreateRegion(r);
      break;
    case META_DIBCREATEPATTERNBRUSH:
    case META_CREATEPATTERNBRUSH: {
      // A pattern brush stands in as a solid grey one.
      TMetaObject obj;
      obj.kind = TObjKind::Brush;
      obj.brush = TLogBrush{kBsSolid, clGray, 0};
      CreateObject(std::move(obj));
      break;
    }
    case META_CREATEPALETTE: {
      TMetaObject obj;  // takes a slot like any object
      CreateObject(std::move(obj));
      break;
    }
    default:
      break;  // records we do not know are skipped
  }
}

}  // namespace

bool ParseWmf(const uint8_t* data, size_t size, TWmfInfo& info) {
  info = TWmfInfo();
  size_t pos = 0;
  if (size >= kPlaceableSize && GetLE32(data) == kPlaceableKey) {
    info.placeable = true;
    info.left = int16_t(GetLE16(data + 6));
    info.top = int16_t(GetLE16(data + 8));
    info.right = int16_t(GetLE16(data + 10));
    info.bottom = int16_t(GetLE16(data + 12));
    info.inch = GetLE16(data + 14);
    pos = kPlaceableSize;
  }
  if (size - pos < kHeaderSize) return false;
  const uint8_t* h = data + pos;
  uint16_t type = GetLE16(h), header_words = GetLE16(h + 2), version = GetLE16(h + 4);
  if ((type != 1 && type != 2) || header_words != 9 || (version != 0x100 && version != 0x300))
    return false;
  info.objects = GetLE16(h + 10);
  info.records_at = pos + kHeaderSize;
  // The first window origin and extent give the size of plain files.
  bool has_org = false;
  ForEachRecord(data, size, info.records_at, [&](uint16_t f, TRecordReader& r) {
    if (f == META_SETWINDOWEXT && !info.has_window_ext) {
      int16_t y = r.I16(), x = r.I16();
      if (!r.Failed() && x != 0 && y != 0) {
        info.win_ext_x = x;
        info.win_ext_y = y;
        info.has_window_ext = true;
      }
    } else if (f == META_SETWINDOWORG && !has_org) {
      int16_t y = r.I16(), x = r.I16();
      info.win_org_y = y;
      info.win_org_x = x;
      has_org = true;
    }
  });
  return true;
}

void PlayWmf(const uint8_t* data, size_t size, const TWmfInfo& info, TCanvas& canvas,
             const TRect& dest) {
  TWmfPlayer player(canvas, dest, info);
  ForEachRecord(data, size, info.records_at,
                [&](uint16_t f, TRecordReader& r) { player.Play(f, r); });
}

}  // namespace pictavo::metafile
