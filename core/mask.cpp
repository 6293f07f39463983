#include "core/mask.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/pvdefs.h"
#include "core/pvutils.h"
#include "platform/bitmap.h"
#include "platform/canvas.h"

namespace pictavo {

namespace {

// An 8-bit mask weight w blends by w / 256: the difference times w, shifted
// right by 8 (an arithmetic shift, so the result rounds toward minus infinity).
constexpr int kWeightShift = 8;

// One polygon edge of the scan conversion.  x is the edge's column on the
// current row; err carries the remainder of dx / dy, doubled.
struct MaskEdge {
  int64_t x, yend, dx, dy, err;
  int64_t xtop, ytop;
};

__int128 CeilDiv128(__int128 n, __int128 d) {
  return n >= 0 ? (n + d - 1) / d : -((-n) / d);
}

// Steps an edge down one row: x moves by dx div dy, and the doubled
// remainder decides when one more column is due.
inline void StepEdge(MaskEdge& e) {
  int64_t q = e.dx / e.dy;
  e.x += q;
  e.err += 2 * (e.dx - q * e.dy);
  if (e.err > e.dy || e.err < -e.dy) {
    if (e.dx > 0) {
      e.x += 1;
      e.err -= 2 * e.dy;
    } else {
      e.x -= 1;
      e.err += 2 * e.dy;
    }
  }
}

// Puts an edge in the state StepEdge reaches after (row - ytop) steps, so
// rows above the storage need not be walked one by one.  After k steps the
// number of extra columns c is the one integer that keeps the doubled
// remainder 2k|r| - 2c dy inside the window of one dy on each side.
void EdgeAtRow(MaskEdge& e, int64_t row) {
  int64_t k = row - e.ytop;
  int64_t q = e.dx / e.dy, r = e.dx - q * e.dy;
  __int128 a = r < 0 ? -__int128(r) : __int128(r);
  __int128 c = CeilDiv128(2 * __int128(k) * a - e.dy, 2 * __int128(e.dy));
  if (c < 0) c = 0;
  int64_t sign = r < 0 ? -1 : 1;
  e.x = static_cast<int64_t>(e.xtop + __int128(k) * q + sign * c);
  e.err = static_cast<int64_t>(sign * (2 * __int128(k) * a - 2 * c * e.dy));
}

// Inserts into the active list ordered by x, and for equal x by ascending
// slope: before the first edge with greater x, or equal x and a slope
// greater than or equal to the new edge's.
void InsertEdge(std::vector<MaskEdge>& active, const MaskEdge& e) {
  size_t pos = 0;
  for (; pos < active.size(); ++pos) {
    const MaskEdge& a = active[pos];
    if (a.x > e.x) break;
    if (a.x == e.x && __int128(a.dx) * e.dy >= __int128(e.dx) * a.dy) break;
  }
  active.insert(active.begin() + static_cast<std::ptrdiff_t>(pos), e);
}

}  // namespace

TPVMask::TPVMask() {
  ResetBox();
  BitmapInfo.bmiHeader.biSize = 40;
  BitmapInfo.bmiHeader.biPlanes = 1;
  BitmapInfo.bmiHeader.biBitCount = 1;
  BitmapInfo.bmiHeader.biCompression = BI_RGB;
  BitmapInfo.bmiColors[0] = RGBQUAD{0, 0, 0, 0};
  BitmapInfo.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

void TPVMask::ResetBox() {
  X1 = Y1 = INT32_MAX;
  X2 = Y2 = 0;
}

void TPVMask::ExtendBox(int32_t x, int32_t y) {
  X1 = std::min(X1, x);
  Y1 = std::min(Y1, y);
  X2 = std::max(X2, x);
  Y2 = std::max(Y2, y);
}

void TPVMask::AllocateBits(int32_t width, int32_t height, int32_t bitsPerPixel) {
  FreeBits();
  Width = std::max(width, 0);
  Height = std::max(height, 0);
  BitsPerPixel = bitsPerPixel;
  if (bitsPerPixel == 1)
    RowLen = _BitmapRowLen(Width, 1);
  else if (bitsPerPixel == 8)
    RowLen = Width;
  else
    RowLen = 0;
  Bits.assign(size_t(RowLen) * size_t(Height), 0);
  ResetBox();
}

void TPVMask::ResizeBits(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width && height == Height) return;
  int32_t row_len = BitsPerPixel == 1 ? _BitmapRowLen(width, 1) : BitsPerPixel == 8 ? width : 0;
  std::vector<uint8_t> bits(size_t(row_len) * size_t(height), 0);
  int32_t rows = std::min(Height, height), bytes = std::min(RowLen, row_len);
  for (int32_t y = 0; y < rows && bytes > 0; ++y) {
    uint8_t* dst = bits.data() + int64_t(row_len) * (height - 1 - y);
    std::memcpy(dst, RowPtr(y), size_t(bytes));
    // Bits beyond the new width are not pixels: keep them clear, so that a
    // later growth does not bring old pixels back.
    if (BitsPerPixel == 1 && width < Width) {
      int32_t full = width / 8;
      if (full < bytes) {
        dst[full] &= uint8_t(0xFF00 >> (width & 7));
        std::memset(dst + full + 1, 0, size_t(bytes - full - 1));
      }
    }
  }
  Bits.swap(bits);
  Width = width;
  Height = height;
  RowLen = row_len;
}

void TPVMask::FreeBits() {
  Bits.clear();
  Bits.shrink_to_fit();
  Width = Height = BitsPerPixel = RowLen = 0;
}

void TPVMask::Fill(int32_t value) {
  if (!Bits.empty()) std::memset(Bits.data(), value & 0xFF, Bits.size());
}

bool TPVMask::GrowTo(int64_t width, int64_t height) {
  width = std::max<int64_t>(width, Width);
  height = std::max<int64_t>(height, Height);
  if (width == Width && height == Height) return true;
  if (width > INT32_MAX || height > INT32_MAX || !PVImageSizeAllowed(width, height)) return false;
  ResizeBits(static_cast<int32_t>(width), static_cast<int32_t>(height));
  return true;
}

bool TPVMask::GrowToBox() {
  if (!(X1 < X2 && Y1 < Y2)) return true;
  return GrowTo(int64_t(X2) + 1, int64_t(Y2) + 1);
}

void TPVMask::SetPixel(int32_t x, int32_t y, int32_t value) {
  if (x < 0 || y < 0) return;
  if (value != 0) {
    if ((x >= Width || y >= Height) && !GrowTo(int64_t(x) + 1, int64_t(y) + 1)) return;
    ExtendBox(x, y);
    GrowToBox();
  }
  if (x >= Width || y >= Height || Bits.empty()) return;
  uint8_t* row = RowPtr(y);
  if (BitsPerPixel == 1) {
    uint8_t bit = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = value ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
  } else {
    row[x] = uint8_t(value);
  }
}

int32_t TPVMask::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width || y >= Height || Bits.empty()) return 0;
  const uint8_t* row = RowPtr(y);
  if (BitsPerPixel == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
  return row[x];
}

void TPVMask::DrawHorizontalLine(int32_t value, int32_t x1, int32_t x2, int32_t y) {
  if (Bits.empty() || y < 0 || y >= Height) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, Width - 1);
  if (x2 < x1) return;
  uint8_t* row = RowPtr(y);
  if (BitsPerPixel == 8) {
    std::memset(row + x1, value & 0xFF, size_t(x2 - x1 + 1));
    return;
  }
  uint8_t fill = value ? 0xFF : 0x00;
  int32_t b0 = x1 >> 3, b1 = x2 >> 3;
  uint8_t m0 = uint8_t(0xFF >> (x1 & 7)), m1 = uint8_t(0xFF << (7 - (x2 & 7)));
  if (b0 == b1) {
    uint8_t m = m0 & m1;
    row[b0] = uint8_t((row[b0] & ~m) | (fill & m));
    return;
  }
  row[b0] = uint8_t((row[b0] & ~m0) | (fill & m0));
  if (b1 > b0 + 1) std::memset(row + b0 + 1, fill, size_t(b1 - b0 - 1));
  row[b1] = uint8_t((row[b1] & ~m1) | (fill & m1));
}

void TPVMask::DrawPolygon(int32_t value, const TPoint* points, int32_t count) {
  ResetBox();
  Fill(0);
  if (!points) return;
  int32_t start = 0;
  for (int32_t i = 0; i <= count; ++i) {
    if (i == count || points[i].x == kPVPolygonBreak) {
      if (i > start) DrawSinglePolygon(value, points + start, i - start);
      start = i + 1;
    }
  }
}

void TPVMask::DrawSinglePolygon(int32_t value, const TPoint* points, int32_t count) {
  if (!points || count <= 0) return;
  if (value != 0) {
    // The box takes every vertex; growing once after the last vertex gives
    // the size that growing after each one would.
    for (int32_t i = 0; i < count; ++i) ExtendBox(points[i].x, points[i].y);
    GrowToBox();
  }
  int64_t ymin = INT64_MAX, ymax = INT64_MIN;
  std::vector<MaskEdge> edges;
  edges.reserve(size_t(count));
  for (int32_t i = 0; i < count; ++i) {
    const TPoint& p = points[i];
    const TPoint& q = points[(i + 1) % count];
    ymin = std::min<int64_t>(ymin, p.y);
    ymax = std::max<int64_t>(ymax, p.y);
    if (p.y == q.y) continue;
    const TPoint& up = p.y < q.y ? p : q;
    const TPoint& low = p.y < q.y ? q : p;
    edges.push_back({up.x, low.y, int64_t(low.x) - up.x, int64_t(low.y) - up.y, 0, up.x, up.y});
  }
  if (edges.empty() || Bits.empty() || Height <= 0) return;
  // Edges in the order their rows are reached; equal rows keep edge order.
  std::stable_sort(edges.begin(), edges.end(),
                   [](const MaskEdge& a, const MaskEdge& b) { return a.ytop < b.ytop; });
  // Only rows inside the storage are drawn; rows above it are passed over
  // by jumping the edges from one insertion row to the next.
  int64_t first = std::max<int64_t>(ymin, 0), last = std::min<int64_t>(ymax, Height - 1);
  if (first > last) return;
  std::vector<MaskEdge> active;
  size_t next = 0;
  auto remove_ended = [&active](int64_t y) {
    std::erase_if(active, [y](const MaskEdge& e) { return e.yend <= y; });
  };
  if (next < edges.size() && edges[next].ytop < first) {
    int64_t row = edges[next].ytop;
    while (next < edges.size() && edges[next].ytop < first) {
      if (edges[next].ytop != row) {
        row = edges[next].ytop;
        remove_ended(row);
        for (MaskEdge& e : active) EdgeAtRow(e, row);
      }
      InsertEdge(active, edges[next++]);
    }
    remove_ended(first - 1);
    for (MaskEdge& e : active) EdgeAtRow(e, first - 1);
  }
  for (int64_t y = first; y <= last; ++y) {
    remove_ended(y);
    for (MaskEdge& e : active) StepEdge(e);
    while (next < edges.size() && edges[next].ytop == y) InsertEdge(active, edges[next++]);
    for (size_t i = 0; i + 1 < active.size(); i += 2) {
      int64_t xl = active[i].x, xr = active[i + 1].x;
      if (xl > xr - 1) continue;
      xl = std::max<int64_t>(xl, 0);
      xr = std::min<int64_t>(xr, Width);
      if (xl < xr) DrawHorizontalLine(value, int32_t(xl), int32_t(xr - 1), int32_t(y));
    }
  }
}

void TPVMask::InvertCanvas(TCanvas& canvas, int32_t XDst, int32_t YDst, int32_t DstW, int32_t DstH,
                           int32_t XSrc, int32_t YSrc, int32_t SrcW, int32_t SrcH) {
  if (BitsPerPixel != 1 || Bits.empty()) return;
  BitmapInfo.bmiHeader.biWidth = Width;
  BitmapInfo.bmiHeader.biHeight = Height;
  BitmapInfo.bmiHeader.biSizeImage = uint32_t(RowLen) * uint32_t(Height);
  canvas.StretchDIBits(XDst, YDst, DstW, DstH, XSrc, Height - SrcH - YSrc, SrcW, SrcH, Bits.data(),
                       &BitmapInfo, DIB_RGB_COLORS, SRCINVERT, Bits.size());
}

void TPVMask::CopyBitmap(TBitmap& dest, const TBitmap& source, bool toBox) const {
  if (!toBox && (dest.GetWidth() != source.GetWidth() || dest.GetHeight() != source.GetHeight()))
    return;
  if (X2 < X1 && Y2 < Y1) return;
  if (Bits.empty()) return;
  TPixelFormat fmt = source.GetPixelFormat();
  if (dest.GetPixelFormat() != fmt || (fmt != pf24bit && fmt != pf1bit)) return;
  if (BitsPerPixel != 1 && BitsPerPixel != 8) return;
  int64_t ox = toBox ? X1 : 0, oy = toBox ? Y1 : 0;
  // The box is clipped to the mask, the source and the destination (a box
  // may reach one pixel beyond the image).
  int64_t x0 = std::max<int64_t>({X1, 0, ox}), y0 = std::max<int64_t>({Y1, 0, oy});
  int64_t x1 = std::min<int64_t>({X2, Width - 1, source.GetWidth() - 1, ox + dest.GetWidth() - 1});
  int64_t y1 =
      std::min<int64_t>({Y2, Height - 1, source.GetHeight() - 1, oy + dest.GetHeight() - 1});
  if (x0 > x1 || y0 > y1) return;
  for (int64_t y = y0; y <= y1; ++y) {
    const uint8_t* m = RowPtr(int32_t(y));
    const uint8_t* s = source.ScanLine(int(y));
    uint8_t* d = dest.ScanLine(int(y - oy));
    if (fmt == pf24bit && BitsPerPixel == 1) {
      // Runs of selected pixels are copied with one memcpy each; whole
      // bytes of the mask are skipped or taken eight pixels at a time.
      auto selected = [m](int64_t x) { return (m[x >> 3] & (0x80 >> (x & 7))) != 0; };
      int64_t x = x0;
      while (x <= x1) {
        if (!(x & 7) && x + 7 <= x1 && m[x >> 3] == 0) {
          x += 8;
          continue;
        }
        if (!selected(x)) {
          ++x;
          continue;
        }
        int64_t start = x;
        while (x <= x1) {
          if (!(x & 7) && x + 7 <= x1 && m[x >> 3] == 0xFF)
            x += 8;
          else if (selected(x))
            ++x;
          else
            break;
        }
        std::memcpy(d + 3 * (start - ox), s + 3 * start, size_t(3 * (x - start)));
      }
    } else if (fmt == pf24bit) {
      for (int64_t x = x0; x <= x1; ++x) {
        int32_t w = m[x];
        if (w == 0) continue;
        uint8_t* dp = d + 3 * (x - ox);
        const uint8_t* sp = s + 3 * x;
        for (int c = 0; c < 3; ++c) {
          int32_t dv = dp[c];
          dp[c] = uint8_t(dv + (((int32_t(sp[c]) - dv) * w) >> kWeightShift));
        }
      }
    } else {
      for (int64_t x = x0; x <= x1; ++x) {
        bool selected = BitsPerPixel == 1 ? (m[x >> 3] & (0x80 >> (x & 7))) != 0 : m[x] != 0;
        if (!selected) continue;
        int64_t dx = x - ox;
        uint8_t bit = uint8_t(0x80 >> (dx & 7));
        if (s[x >> 3] & (0x80 >> (x & 7)))
          d[dx >> 3] |= bit;
        else
          d[dx >> 3] &= uint8_t(~bit);
      }
    }
  }
}

}  // namespace pictavo
