#include "view/view_blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/dib.h"

namespace pictavo {

namespace {

int BytesPerPixel(TPixelFormat format) {
  if (format == pf24bit) return 3;
  if (format == pf32bit) return 4;
  return 0;
}

bool FastSource(TPixelFormat format) {
  return format == pf1bit || BytesPerPixel(format) > 0;
}

TRect Intersect(const TRect& a, const TRect& b) {
  TRect r(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom));
  return r.IsEmpty() ? TRect() : r;
}

// Source index of destination offset i on one axis, or -1 outside the source.
int32_t SourceIndex(int64_t i, int64_t srcStart, int64_t srcLen, int64_t dstLen, int32_t limit) {
  int64_t s = srcStart + ((2 * i + 1) * srcLen) / (2 * dstLen);
  return (s < 0 || s >= limit) ? -1 : int32_t(s);
}

// Writes one source pixel as the destination's bytes.
inline void PutPixel(uint8_t* d, int dbpp, const uint8_t* row, TPixelFormat sf, int32_t sx) {
  if (sf == pf1bit) {
    uint8_t v = (row[sx >> 3] & (0x80 >> (sx & 7))) ? 0xFF : 0x00;
    d[0] = d[1] = d[2] = v;
  } else {
    const uint8_t* s = row + int64_t(sx) * (sf == pf24bit ? 3 : 4);
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
  }
  if (dbpp == 4) d[3] = 0;
}

// One destination row through the column table, with the loop chosen once
// per row for the pair of formats.
template <int SBpp, int DBpp>
void StretchRowTyped(uint8_t* d, const uint8_t* row, const int32_t* col, int32_t count) {
  for (int32_t i = 0; i < count; ++i, d += DBpp) {
    const int32_t c = col[i];
    if (c < 0) continue;
    const uint8_t* s = row + int64_t(c) * SBpp;
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    if constexpr (DBpp == 4) d[3] = 0;
  }
}

void StretchRow(uint8_t* d, int dbpp, const uint8_t* row, TPixelFormat sf, const int32_t* col,
                int32_t count) {
  if (sf == pf24bit && dbpp == 4) return StretchRowTyped<3, 4>(d, row, col, count);
  if (sf == pf24bit && dbpp == 3) return StretchRowTyped<3, 3>(d, row, col, count);
  if (sf == pf32bit && dbpp == 4) return StretchRowTyped<4, 4>(d, row, col, count);
  for (int32_t i = 0; i < count; ++i, d += dbpp)
    if (col[i] >= 0) PutPixel(d, dbpp, row, sf, col[i]);
}

// Destinations the row loops cannot write: through a pf24bit copy and the
// canvas's DIB stretch.
void StretchThroughDIB(TCanvas& canvas, const TRect& dest, const TBitmap& source,
                       const TRect& sourceRect) {
  TBitmap copy;
  PVCopyRectTo24(source, sourceRect, copy);
  if (copy.Empty()) return;
  BITMAPINFOHEADER header;
  header.biWidth = copy.GetWidth();
  header.biHeight = -copy.GetHeight();  // rows top-down, as the bitmap holds them
  header.biBitCount = 24;
  canvas.StretchDIBits(dest.Left, dest.Top, dest.Width(), dest.Height(), 0, 0, copy.GetWidth(),
                       copy.GetHeight(), copy.ScanLine(0), &header, DIB_RGB_COLORS, SRCCOPY,
                       size_t(copy.RowBytes()) * copy.GetHeight());
}

}  // namespace

void PVCopyRectTo24(const TBitmap& source, const TRect& rect, TBitmap& dest) {
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(std::max(rect.Width(), 0), std::max(rect.Height(), 0));
  if (dest.Empty()) return;
  const TPixelFormat sf = source.GetPixelFormat();
  const int32_t w = dest.GetWidth();
  for (int32_t y = 0; y < dest.GetHeight(); ++y) {
    uint8_t* d = dest.ScanLine(y);
    std::memset(d, 0, size_t(w) * 3);
    const int32_t sy = rect.Top + y;
    if (sy < 0 || sy >= source.GetHeight()) continue;
    const int32_t x0 = std::max(rect.Left, 0), x1 = std::min(rect.Right, source.GetWidth());
    if (x0 >= x1) continue;
    uint8_t* out = d + int64_t(x0 - rect.Left) * 3;
    if (sf == pf24bit) {
      std::memcpy(out, source.ScanLine(sy) + int64_t(x0) * 3, size_t(x1 - x0) * 3);
    } else if (FastSource(sf)) {
      const uint8_t* row = source.ScanLine(sy);
      for (int32_t x = x0; x < x1; ++x, out += 3) PutPixel(out, 3, row, sf, x);
    } else {
      for (int32_t x = x0; x < x1; ++x, out += 3) {
        TColor c = source.GetPixel(x, sy);
        out[0] = uint8_t(c >> 16);
        out[1] = uint8_t(c >> 8);
        out[2] = uint8_t(c);
      }
    }
  }
}

void PVStretchToCanvas(TCanvas& canvas, const TRect& dest, const TBitmap& source,
                       const TRect& sourceRect) {
  TBitmap* target = canvas.Bitmap();
  if (!target || target->Empty() || source.Empty() || dest.IsEmpty() || sourceRect.IsEmpty())
    return;
  const TPixelFormat sf = source.GetPixelFormat();
  const int dbpp = BytesPerPixel(target->GetPixelFormat());
  if (dbpp == 0 || !FastSource(sf)) {
    StretchThroughDIB(canvas, dest, source, sourceRect);
    return;
  }
  const TRect visible = Intersect(dest, canvas.ClipRect());
  if (visible.IsEmpty()) return;
  const int64_t dw = dest.Width(), dh = dest.Height();
  const int64_t sw = sourceRect.Width(), sh = sourceRect.Height();
  std::vector<int32_t> columns(size_t(visible.Width()));
  for (int32_t x = visible.Left; x < visible.Right; ++x)
    columns[size_t(x - visible.Left)] =
        SourceIndex(x - dest.Left, sourceRect.Left, sw, dw, source.GetWidth());
  // A straight copy (same format, same width, every column inside) is a
  // memcpy per span.
  const bool identity =
      sw == dw && BytesPerPixel(sf) == dbpp && columns.front() >= 0 && columns.back() >= 0;
  struct LastRow {
    int32_t y = -1, x0 = 0, x1 = 0, source = -1;
  } last;
  canvas.ForEachVisibleSpan(visible, [&](int32_t y, int32_t x0, int32_t x1) {
    const int32_t sy = SourceIndex(y - dest.Top, sourceRect.Top, sh, dh, source.GetHeight());
    if (sy < 0) return;
    uint8_t* out = target->ScanLine(y);
    // Rows that show the same source row as the row above repeat it.
    if (last.y == y - 1 && last.source == sy && last.x0 == x0 && last.x1 == x1) {
      std::memcpy(out + int64_t(x0) * dbpp, target->ScanLine(y - 1) + int64_t(x0) * dbpp,
                  size_t(x1 - x0) * dbpp);
      last.y = y;
      return;
    }
    last = {y, x0, x1, sy};
    const uint8_t* row = source.ScanLine(sy);
    if (identity) {
      std::memcpy(out + int64_t(x0) * dbpp, row + int64_t(columns[x0 - visible.Left]) * dbpp,
                  size_t(x1 - x0) * dbpp);
      return;
    }
    StretchRow(out + int64_t(x0) * dbpp, dbpp, row, sf, columns.data() + (x0 - visible.Left),
               x1 - x0);
  });
}

void PVCopyToCanvas(TCanvas& canvas, int x, int y, const TBitmap& source) {
  TRect whole(0, 0, source.GetWidth(), source.GetHeight());
  PVStretchToCanvas(canvas, TRect(x, y, x + source.GetWidth(), y + source.GetHeight()), source,
                    whole);
}

}  // namespace pictavo
