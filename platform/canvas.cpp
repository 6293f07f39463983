#include "platform/canvas.h"

#include <algorithm>
#include <cstring>

#include "platform/bitmap.h"

namespace pictavo {

namespace {

// Storage kinds of the bitmap formats (pf15bit and pf16bit share 16 bits).
enum StoreKind { k1, k4, k8, k16, k24, k32 };

StoreKind KindOf(TPixelFormat f) {
  switch (StorageBitCount(f)) {
    case 1:
      return k1;
    case 4:
      return k4;
    case 8:
      return k8;
    case 16:
      return k16;
    case 32:
      return k32;
    default:
      return k24;
  }
}

uint32_t ValueMask(StoreKind k) {
  switch (k) {
    case k1:
      return 1;
    case k4:
      return 0xF;
    case k8:
      return 0xFF;
    case k16:
      return 0xFFFF;
    default:
      return 0xFFFFFF;
  }
}

// Load and store of one stored value, per storage kind.
template <StoreKind K>
struct Px;
template <>
struct Px<k1> {
  static uint32_t Load(const uint8_t* r, int x) { return (r[x >> 3] >> (7 - (x & 7))) & 1; }
  static void Store(uint8_t* r, int x, uint32_t v) {
    uint8_t bit = uint8_t(0x80 >> (x & 7));
    r[x >> 3] = v ? uint8_t(r[x >> 3] | bit) : uint8_t(r[x >> 3] & ~bit);
  }
};
template <>
struct Px<k4> {
  static uint32_t Load(const uint8_t* r, int x) {
    return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
  }
  static void Store(uint8_t* r, int x, uint32_t v) {
    uint8_t& b = r[x >> 1];
    b = (x & 1) ? uint8_t((b & 0xF0) | (v & 0x0F)) : uint8_t((b & 0x0F) | ((v & 0x0F) << 4));
  }
};
template <>
struct Px<k8> {
  static uint32_t Load(const uint8_t* r, int x) { return r[x]; }
  static void Store(uint8_t* r, int x, uint32_t v) { r[x] = uint8_t(v); }
};
template <>
struct Px<k16> {
  static uint32_t Load(const uint8_t* r, int x) { return r[2 * x] | (r[2 * x + 1] << 8); }
  static void Store(uint8_t* r, int x, uint32_t v) {
    r[2 * x] = uint8_t(v);
    r[2 * x + 1] = uint8_t(v >> 8);
  }
};
template <>
struct Px<k24> {
  static uint32_t Load(const uint8_t* r, int x) {
    const uint8_t* p = r + 3 * x;
    return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
  }
  static void Store(uint8_t* r, int x, uint32_t v) {
    uint8_t* p = r + 3 * x;
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }
};
template <>
struct Px<k32> {
  static uint32_t Load(const uint8_t* r, int x) {
    const uint8_t* p = r + 4 * x;
    return p[0] | (p[1] << 8) | (uint32_t(p[2]) << 16);
  }
  static void Store(uint8_t* r, int x, uint32_t v) {
    uint8_t* p = r + 4 * x;
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = 0;
  }
};

// Calls fn(Px<K>{}) for the storage kind, so pixel loops are compiled once
// per kind and pick no format per pixel.
template <typename Fn>
void WithKind(StoreKind k, Fn&& fn) {
  switch (k) {
    case k1:
      fn(Px<k1>{});
      break;
    case k4:
      fn(Px<k4>{});
      break;
    case k8:
      fn(Px<k8>{});
      break;
    case k16:
      fn(Px<k16>{});
      break;
    case k24:
      fn(Px<k24>{});
      break;
    case k32:
      fn(Px<k32>{});
      break;
  }
}

// The binary raster operation of a pen mode on pen P and destination D.
uint32_t Rop2(TPenMode mode, uint32_t p, uint32_t d) {
  switch (mode) {
    case pmBlack:
      return 0;
    case pmWhite:
      return ~0u;
    case pmNop:
      return d;
    case pmNot:
      return ~d;
    case pmCopy:
      return p;
    case pmNotCopy:
      return ~p;
    case pmMergePenNot:
      return p | ~d;
    case pmMaskPenNot:
      return p & ~d;
    case pmMergeNotPen:
      return ~p | d;
    case pmMaskNotPen:
      return ~p & d;
    case pmMerge:
      return p | d;
    case pmNotMerge:
      return ~(p | d);
    case pmMask:
      return p & d;
    case pmNotMask:
      return ~(p & d);
    case pmXor:
      return p ^ d;
    case pmNotXor:
      return ~(p ^ d);
  }
  return d;
}

// Any ternary raster operation, evaluated bitwise from its truth table.
uint32_t Rop3(uint8_t table, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (int k = 0; k < 8; ++k)
    if (table & (1 << k)) r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
  return r;
}

// Sentinel for "no source pixel here" in a row of converted source values.
constexpr uint32_t kNoPixel = 0xFFFFFFFFu;

// Combines converted source values into a destination row with a raster
// operation; the common operations get their own loops.
template <typename P>
void CombineRow(uint8_t* row, int x0, int x1, const uint32_t* vals, uint8_t table, uint32_t pattern,
                uint32_t mask) {
  auto loop = [&](auto op) {
    for (int x = x0; x < x1; ++x) {
      uint32_t s = vals[x - x0];
      if (s == kNoPixel) continue;
      P::Store(row, x, op(s, P::Load(row, x)) & mask);
    }
  };
  switch (table) {
    case 0xCC:
      loop([](uint32_t s, uint32_t) { return s; });
      break;
    case 0x66:
      loop([](uint32_t s, uint32_t d) { return s ^ d; });
      break;
    case 0x88:
      loop([](uint32_t s, uint32_t d) { return s & d; });
      break;
    case 0xEE:
      loop([](uint32_t s, uint32_t d) { return s | d; });
      break;
    case 0x33:
      loop([](uint32_t s, uint32_t) { return ~s; });
      break;
    case 0x55:
      loop([](uint32_t, uint32_t d) { return ~d; });
      break;
    case 0xAA:
      break;
    default:
      loop([&](uint32_t s, uint32_t d) { return Rop3(table, pattern, s, d); });
      break;
  }
}

// A source image read row by row in visual (top-down) order.
struct SourceImage {
  const uint8_t* base = nullptr;  // visual row 0
  int64_t stride = 0;             // bytes from one visual row to the next
  int width = 0, height = 0;
  int rows_available = 0;         // visual rows that may be read
  bool top_rows_missing = false;  // bottom-up data: missing rows are the top ones
  int bits = 24;                  // 1, 4, 8, 16, 24, 32
  bool rgb565 = false;            // 16 bits: 5-6-5 instead of 5-5-5
  std::vector<uint32_t> table;    // indexed sources: destination value per index

  bool RowReadable(int y) const {
    if (y < 0 || y >= height) return false;
    return top_rows_missing ? y >= height - rows_available : y < rows_available;
  }
  const uint8_t* Row(int y) const { return base + stride * y; }
};

// Converts a direct colour to the destination's stored value.
struct DestEncoder {
  const TBitmap* bitmap;
  bool direct;  // 24/32-bit destination: the value is the colour's bytes
  TColor last = 0xFFFFFFFFu;
  uint32_t last_value = 0;
  uint32_t operator()(uint8_t r, uint8_t g, uint8_t b) {
    if (direct) return b | (g << 8) | (uint32_t(r) << 16);
    TColor c = RGB(r, g, b);
    if (c != last) {
      last = c;
      last_value = bitmap->ColorToPixelValue(c);
    }
    return last_value;
  }
};

// Reads the source pixels of one row at the given columns (or kNoPixel) as
// destination values.
void SampleRow(const SourceImage& src, int sy, const std::vector<int>& cols, int from, int to,
               DestEncoder& enc, uint32_t* out) {
  const uint8_t* r = src.Row(sy);
  for (int i = from; i < to; ++i) {
    int sx = cols[i];
    if (sx < 0) {
      out[i - from] = kNoPixel;
      continue;
    }
    uint32_t v;
    switch (src.bits) {
      case 1:
        v = src.table[Px<k1>::Load(r, sx)];
        break;
      case 4:
        v = src.table[Px<k4>::Load(r, sx)];
        break;
      case 8:
        v = src.table[r[sx]];
        break;
      case 16: {
        uint32_t w = Px<k16>::Load(r, sx);
        uint32_t rr, gg, bb;
        if (src.rgb565) {
          rr = (w >> 11) & 31, gg = (w >> 5) & 63, bb = w & 31;
          gg = (gg << 2) | (gg >> 4);
        } else {
          rr = (w >> 10) & 31, gg = (w >> 5) & 31, bb = w & 31;
          gg = (gg << 3) | (gg >> 2);
        }
        v = enc(uint8_t((rr << 3) | (rr >> 2)), uint8_t(gg), uint8_t((bb << 3) | (bb >> 2)));
        break;
      }
      case 32: {
        const uint8_t* p = r + 4 * sx;
        v = enc(p[2], p[1], p[0]);
        break;
      }
      default: {
        const uint8_t* p = r + 3 * sx;
        v = enc(p[2], p[1], p[0]);
        break;
      }
    }
    out[i - from] = v;
  }
}

// Normalises a signed extent: origin o and length n (negative: o+n+1 .. o).
struct Extent {
  int64_t start = 0, length = 0;
  bool flipped = false;
};
Extent Normalise(int64_t o, int64_t n) {
  if (n >= 0) return {o, n, false};
  return {o + n + 1, -n, true};
}

// Source index for destination index j of a stretch of dst onto src pixels.
int64_t MapIndex(int64_t j, int64_t src, int64_t dst) {
  return static_cast<int64_t>((static_cast<__int128>(2 * j + 1) * src) / (2 * dst));
}

}  // namespace

int CanvasBitmapWidth(const TBitmap* bitmap) {
  return bitmap ? bitmap->GetWidth() : 0;
}
int CanvasBitmapHeight(const TBitmap* bitmap) {
  return bitmap ? bitmap->GetHeight() : 0;
}

bool TCanvas::PointVisible(int x, int y) const {
  if (!bitmap_ || x < 0 || y < 0 || x >= bitmap_->GetWidth() || y >= bitmap_->GetHeight())
    return false;
  return !clip_ || clip_->Contains(x, y);
}

void TCanvas::ClearClip() {
  clip_.reset();
}

int TCanvas::SetClipRegion(const TRegion* region) {
  if (!region) {
    clip_.reset();
    return SIMPLEREGION;
  }
  clip_ = *region;
  return clip_->Kind();
}

int TCanvas::IntersectClipRect(const TRect& rect) {
  TRegion r = TRegion::FromRect(rect);
  clip_ = clip_ ? TRegion::Combine(*clip_, r, RGN_AND) : r;
  return clip_->Kind();
}

int TCanvas::ExcludeClipRect(const TRect& rect) {
  static const TRegion kAll = TRegion::FromRect(
      TRect(-kRegionCoordLimit, -kRegionCoordLimit, kRegionCoordLimit, kRegionCoordLimit));
  clip_ = TRegion::Combine(clip_ ? *clip_ : kAll, TRegion::FromRect(rect), RGN_DIFF);
  return clip_->Kind();
}

void TCanvas::SetClipPolygon(const TPoint* points, int count) {
  TRect bounds(0, 0, CanvasBitmapWidth(bitmap_), CanvasBitmapHeight(bitmap_));
  clip_ = TRegion::FromPolygon(points, count, ALTERNATE, &bounds);
}

TRect TCanvas::ClipRect() const {
  TRect all(0, 0, CanvasBitmapWidth(bitmap_), CanvasBitmapHeight(bitmap_));
  if (!clip_) return all;
  TRect b = clip_->Bounds();
  TRect r(std::max(b.Left, all.Left), std::max(b.Top, all.Top), std::min(b.Right, all.Right),
          std::min(b.Bottom, all.Bottom));
  return r.IsEmpty() ? TRect() : r;
}

TColor TCanvas::GetPixel(int x, int y) const {
  return bitmap_ ? bitmap_->GetPixel(x, y) : clBlack;
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (PointVisible(x, y)) bitmap_->SetPixel(x, y, color);
}

void TCanvas::PaintSpan(int y, int x0, int x1, uint32_t value, TPenMode mode) {
  if (x0 >= x1) return;
  uint8_t* row = bitmap_->ScanLine(y);
  StoreKind kind = KindOf(bitmap_->GetPixelFormat());
  if (mode == pmCopy) {
    switch (kind) {
      case k1: {
        // Whole bytes at once, partial bytes through masks.
        uint8_t fill = value ? 0xFF : 0x00;
        int b0 = x0 >> 3, b1 = (x1 - 1) >> 3;
        uint8_t m0 = uint8_t(0xFF >> (x0 & 7)), m1 = uint8_t(0xFF << (7 - ((x1 - 1) & 7)));
        if (b0 == b1) {
          uint8_t m = m0 & m1;
          row[b0] = uint8_t((row[b0] & ~m) | (fill & m));
          return;
        }
        row[b0] = uint8_t((row[b0] & ~m0) | (fill & m0));
        if (b1 > b0 + 1) std::memset(row + b0 + 1, fill, size_t(b1 - b0 - 1));
        row[b1] = uint8_t((row[b1] & ~m1) | (fill & m1));
        return;
      }
      case k8:
        std::memset(row + x0, int(value & 0xFF), size_t(x1 - x0));
        return;
      case k24: {
        uint8_t b = uint8_t(value), g = uint8_t(value >> 8), r = uint8_t(value >> 16);
        uint8_t* p = row + 3 * x0;
        if (b == g && g == r) {
          std::memset(p, b, size_t(3) * size_t(x1 - x0));
          return;
        }
        for (int x = x0; x < x1; ++x, p += 3) {
          p[0] = b;
          p[1] = g;
          p[2] = r;
        }
        return;
      }
      default:
        break;
    }
  }
  uint32_t mask = ValueMask(kind);
  WithKind(kind, [&](auto px) {
    using P = decltype(px);
    if (mode == pmCopy) {
      for (int x = x0; x < x1; ++x) P::Store(row, x, value);
    } else {
      for (int x = x0; x < x1; ++x) P::Store(row, x, Rop2(mode, value, P::Load(row, x)) & mask);
    }
  });
}

namespace {

// 8x8 hatch patterns, bit 7 is column 0 of the pattern.
const uint8_t kHatch[6][8] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

// MulDiv of the platform: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  int64_t n = int64_t(a) * b;
  int64_t q = (2 * (n < 0 ? -n : n) + c) / (2 * int64_t(c));
  return int(n < 0 ? -q : q);
}

}  // namespace

int TFont::GetSize() const {
  return -MulDiv(height_, 72, kFontPixelsPerInch);
}

void TFont::SetSize(int size) {
  height_ = -MulDiv(size, kFontPixelsPerInch, 72);
}

TCanvas::Ink TCanvas::PenInk() const {
  Ink ink;
  ink.value = bitmap_ ? bitmap_->ColorToPixelValue(ColorToRGB(pen_.GetColor())) : 0;
  ink.mode = pen_.GetMode();
  return ink;
}

TCanvas::Ink TCanvas::BrushInk(TPenMode mode) const {
  Ink ink;
  ink.value = bitmap_ ? bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor())) : 0;
  ink.mode = mode;
  if (brush_.GetStyle() >= bsHorizontal) ink.hatch = kHatch[brush_.GetStyle() - bsHorizontal];
  return ink;
}

TRect TCanvas::VisibleBounds() const {
  return ClipRect();
}

void TCanvas::PaintInk(int y, int x0, int x1, const Ink& ink) {
  if (!bitmap_ || y < 0 || y >= bitmap_->GetHeight()) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, bitmap_->GetWidth());
  if (x0 >= x1) return;
  auto paint = [&](int a, int b) {
    if (!ink.hatch) {
      PaintSpan(y, a, b, ink.value, ink.mode);
      return;
    }
    uint8_t bits = ink.hatch[y & 7];
    for (int x = a; x < b; ++x)
      if (bits & (0x80 >> (x & 7))) PaintSpan(y, x, x + 1, ink.value, ink.mode);
  };
  if (!clip_) {
    paint(x0, x1);
    return;
  }
  const TRegionBand* band = clip_->BandAt(y);
  if (!band) return;
  for (const TSpan& sp : band->spans) {
    if (sp.right <= x0) continue;
    if (sp.left >= x1) break;
    paint(std::max(sp.left, x0), std::min(sp.right, x1));
  }
}

void TCanvas::FillRect(const TRect& rect) {
  if (!bitmap_ || bitmap_->Empty() || brush_.GetStyle() == bsClear) return;
  Ink ink = BrushInk(pmCopy);
  if (!ink.hatch) {
    ForEachVisibleSpan(rect,
                       [&](int y, int x0, int x1) { PaintSpan(y, x0, x1, ink.value, pmCopy); });
    return;
  }
  ForEachVisibleSpan(rect, [&](int y, int x0, int x1) {
    uint8_t bits = ink.hatch[y & 7];
    for (int x = x0; x < x1; ++x)
      if (bits & (0x80 >> (x & 7))) PaintSpan(y, x, x + 1, ink.value, pmCopy);
  });
}

namespace {

// Shared by StretchDraw and StretchDIBits: stretches the normalised source
// rectangle (visual coordinates) onto the signed destination rectangle.
struct StretchJob {
  int64_t xdst, ydst, wdst, hdst;
  Extent sx, sy;  // source extents in visual coordinates, flags = mirrored
  uint32_t rop;
};

}  // namespace

// Implemented as a free helper with access through the public span walker.
static void RunStretch(TCanvas& canvas, TBitmap& dest, const SourceImage& src,
                       const StretchJob& job, uint32_t pattern) {
  if (job.wdst == 0 || job.hdst == 0 || job.sx.length <= 0 || job.sy.length <= 0) return;
  Extent dx = Normalise(job.xdst, job.wdst), dy = Normalise(job.ydst, job.hdst);
  bool mirror_x = dx.flipped != job.sx.flipped, mirror_y = dy.flipped != job.sy.flipped;
  int64_t w = dest.GetWidth(), h = dest.GetHeight();
  int64_t cx0 = std::max<int64_t>(dx.start, 0), cx1 = std::min<int64_t>(dx.start + dx.length, w);
  int64_t cy0 = std::max<int64_t>(dy.start, 0), cy1 = std::min<int64_t>(dy.start + dy.length, h);
  if (cx0 >= cx1 || cy0 >= cy1) return;
  // Source column of every visible destination column (-1 outside the source).
  std::vector<int> cols(static_cast<size_t>(cx1 - cx0));
  for (int64_t x = cx0; x < cx1; ++x) {
    int64_t i = x - dx.start, j = mirror_x ? dx.length - 1 - i : i;
    int64_t s = job.sx.start + MapIndex(j, job.sx.length, dx.length);
    cols[size_t(x - cx0)] = s >= 0 && s < src.width ? int(s) : -1;
  }
  StoreKind kind = KindOf(dest.GetPixelFormat());
  DestEncoder enc{&dest, kind == k24 || kind == k32};
  uint32_t mask = ValueMask(kind);
  uint8_t table = uint8_t(job.rop >> 16);
  std::vector<uint32_t> vals(cols.size());
  bool same_bytes = src.bits == StorageBitCount(dest.GetPixelFormat()) && src.bits >= 8 &&
                    src.table.empty() && table == 0xCC && (src.bits != 16 || !src.rgb565) &&
                    dest.GetPixelFormat() != pf16bit && !mirror_x && dx.length == job.sx.length;
  canvas.ForEachVisibleSpan(
      TRect(int32_t(cx0), int32_t(cy0), int32_t(cx1), int32_t(cy1)), [&](int y, int x0, int x1) {
        int64_t i = y - dy.start, j = mirror_y ? dy.length - 1 - i : i;
        int64_t sy = job.sy.start + MapIndex(j, job.sy.length, dy.length);
        if (!src.RowReadable(int(std::clamp<int64_t>(sy, -1, src.height)))) return;
        uint8_t* row = dest.ScanLine(y);
        int from = int(x0 - cx0), to = int(x1 - cx0);
        if (same_bytes) {
          // 1:1 copy between equal layouts: whole runs of bytes.
          int bpp = src.bits / 8;
          while (from < to && cols[size_t(from)] < 0) ++from;
          int end = from;
          while (end < to && cols[size_t(end)] >= 0) ++end;
          if (end > from)
            std::memcpy(row + int64_t(cx0 + from) * bpp,
                        src.Row(int(sy)) + int64_t(cols[from]) * bpp,
                        size_t(end - from) * size_t(bpp));
          return;
        }
        SampleRow(src, int(sy), cols, from, to, enc, vals.data());
        WithKind(kind, [&](auto px) {
          CombineRow<decltype(px)>(row, x0, x1, vals.data(), table, pattern, mask);
        });
      });
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
  StretchDraw(Rect(x, y, x + source.GetWidth(), y + source.GetHeight()), source);
}

void TCanvas::StretchDraw(const TRect& rect, const TBitmap& source) {
  if (!bitmap_ || bitmap_->Empty() || source.Empty() || rect.IsEmpty()) return;
  SourceImage src;
  src.base = source.ScanLine(0);
  src.stride = source.RowBytes();
  src.width = source.GetWidth();
  src.height = src.rows_available = source.GetHeight();
  src.bits = StorageBitCount(source.GetPixelFormat());
  src.rgb565 = source.GetPixelFormat() == pf16bit;
  if (src.bits <= 8) {
    std::vector<TColor> palette = source.GetPixelFormat() == pf1bit
                                      ? std::vector<TColor>{clBlack, clWhite}
                                      : source.GetPalette();
    src.table.assign(size_t(1) << src.bits, bitmap_->ColorToPixelValue(clBlack));
    for (size_t i = 0; i < palette.size() && i < src.table.size(); ++i)
      src.table[i] = bitmap_->ColorToPixelValue(palette[i]);
    // A 1-bit source onto a 1-bit bitmap keeps its bits.
  }
  StretchJob job{rect.Left,
                 rect.Top,
                 int64_t(rect.Right) - rect.Left,
                 int64_t(rect.Bottom) - rect.Top,
                 Extent{0, src.width, false},
                 Extent{0, src.height, false},
                 copy_mode_};
  RunStretch(*this, *bitmap_, src, job, bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor())));
}

// Largest header the colour table may follow (the version 5 header).
constexpr uint32_t kMaxInfoHeaderSize = 124;

int TCanvas::StretchDIBits(int XDst, int YDst, int DstW, int DstH, int XSrc, int YSrc, int SrcW,
                           int SrcH, const void* bits, const void* bitmapInfo, uint32_t usage,
                           uint32_t rop, size_t bitsSize) {
  if (!bitmap_ || !bits || !bitmapInfo || usage != DIB_RGB_COLORS) return 0;
  BITMAPINFOHEADER hdr;
  std::memcpy(&hdr, bitmapInfo, sizeof(hdr));
  if (hdr.biSize < sizeof(hdr) || hdr.biSize > kMaxInfoHeaderSize || hdr.biWidth <= 0 ||
      hdr.biHeight == 0 || hdr.biHeight == INT32_MIN || hdr.biCompression != BI_RGB)
    return 0;
  int bpp = hdr.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  SourceImage src;
  int64_t row_len = StorageRowBytes(hdr.biWidth, bpp);
  int height = hdr.biHeight < 0 ? -hdr.biHeight : hdr.biHeight;
  bool bottom_up = hdr.biHeight > 0;
  src.width = hdr.biWidth;
  src.height = height;
  int64_t fit = bitsSize == SIZE_MAX ? height : int64_t(bitsSize / size_t(row_len));
  src.rows_available = int(std::min<int64_t>(fit, height));
  src.top_rows_missing = bottom_up;
  src.bits = bpp;
  const uint8_t* data = static_cast<const uint8_t*>(bits);
  if (bottom_up) {
    src.base = data + (int64_t(height) - 1) * row_len;
    src.stride = -row_len;
  } else {
    src.base = data;
    src.stride = row_len;
  }
  if (bpp <= 8) {
    size_t entries = size_t(1) << bpp;
    size_t used = hdr.biClrUsed == 0 ? entries : std::min<size_t>(hdr.biClrUsed, entries);
    const uint8_t* pal = static_cast<const uint8_t*>(bitmapInfo) + hdr.biSize;
    src.table.assign(entries, bitmap_->ColorToPixelValue(clBlack));
    for (size_t i = 0; i < used; ++i) {
      RGBQUAD q;
      std::memcpy(&q, pal + 4 * i, 4);
      src.table[i] = bitmap_->ColorToPixelValue(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
  }
  // The source rectangle in visual rows: bottom-up DIBs count YSrc from the
  // bottom, so their extent is turned over.
  Extent ex = Normalise(XSrc, SrcW);
  Extent ey = Normalise(YSrc, SrcH);
  if (bottom_up) ey.start = int64_t(height) - ey.start - ey.length;
  StretchJob job{XDst, YDst, DstW, DstH, ex, ey, rop};
  RunStretch(*this, *bitmap_, src, job, bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor())));
  return height;
}

}  // namespace pictavo
