// Text of TCanvas: TextOut, TextRect and the measuring calls, through the
// FreeType faces of font.h.
#include <algorithm>
#include <cmath>

#include "platform/bitmap.h"
#include "platform/canvas.h"
#include "platform/font.h"
#include "platform/raster.h"

namespace pictavo {

namespace {

// Exact at the right angles, like the glyph transform.
void TextCosSin(int tenths, double& c, double& s) {
  int t = ((tenths % 3600) + 3600) % 3600;
  if (t % 900 == 0) {
    static const double kC[4] = {1, 0, -1, 0}, kS[4] = {0, 1, 0, -1};
    c = kC[t / 900];
    s = kS[t / 900];
    return;
  }
  c = std::cos(t * M_PI / 1800.0);
  s = std::sin(t * M_PI / 1800.0);
}

// Maps text-space offsets (u along the baseline, v downwards) to the screen
// about the reference point.
struct TextFrame {
  double x, y, c, s;
  TPoint Map(double u, double v) const {
    return TPoint(int32_t(std::nearbyint(x + u * c + v * s)),
                  int32_t(std::nearbyint(y - u * s + v * c)));
  }
};

// Blends coverage a of colour (b, g, r) into a 24- or 32-bit pixel.
inline void Blend(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, unsigned a) {
  unsigned na = 255 - a;
  p[0] = uint8_t((b * a + p[0] * na + 127) / 255);
  p[1] = uint8_t((g * a + p[1] * na + 127) / 255);
  p[2] = uint8_t((r * a + p[2] * na + 127) / 255);
}

}  // namespace

// A run of text drawn with one face: the state TextRun needs per glyph.
struct GlyphPainter {
  TBitmap& bitmap;
  const TRegion* clip;
  TRect limit;  // bitmap, clip bounds and frame
  TColor colour;
  uint32_t value;
  int bytes;  // 3 or 4 for blending, 0 for a threshold

  template <typename Fn>
  void Visible(int y, int x0, int x1, Fn&& fn) const {
    if (y < limit.Top || y >= limit.Bottom) return;
    x0 = std::max(x0, limit.Left);
    x1 = std::min(x1, limit.Right);
    if (x0 >= x1) return;
    if (!clip) return fn(x0, x1);
    const TRegionBand* band = clip->BandAt(y);
    if (!band) return;
    for (const TSpan& s : band->spans) {
      if (s.right <= x0) continue;
      if (s.left >= x1) break;
      fn(std::max(s.left, x0), std::min(s.right, x1));
    }
  }

  void Paint(const fonts::Glyph& g, int ox, int oy) {
    uint8_t b = GetBValue(colour), gr = GetGValue(colour), r = GetRValue(colour);
    // Only the glyph rows inside the limit are visited.
    int64_t first = int64_t(oy) - g.top;
    int j0 = int(std::clamp<int64_t>(limit.Top - first, 0, g.rows));
    int j1 = int(std::clamp<int64_t>(limit.Bottom - first, 0, g.rows));
    for (int j = j0; j < j1; ++j) {
      int y = oy - g.top + j, x0 = ox + g.left;
      const uint8_t* cov = g.coverage.data() + size_t(j) * size_t(g.width);
      Visible(y, x0, x0 + g.width, [&](int a, int e) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = a; x < e; ++x) {
          unsigned c = cov[x - x0];
          if (c == 0) continue;
          if (bytes)
            Blend(row + size_t(x) * size_t(bytes), b, gr, r, c);
          else if (c >= 128)
            SetValue(row, x);
        }
      });
    }
  }

  void SetValue(uint8_t* row, int x) {
    TPixelFormat f = bitmap.GetPixelFormat();
    int bits = StorageBitCount(f);
    if (bits == 1) {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = value ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
    } else if (bits == 4) {
      uint8_t& v = row[x >> 1];
      v = (x & 1) ? uint8_t((v & 0xF0) | (value & 0xF)) : uint8_t((v & 0x0F) | (value << 4));
    } else if (bits == 8) {
      row[x] = uint8_t(value);
    } else {
      row[2 * x] = uint8_t(value);
      row[2 * x + 1] = uint8_t(value >> 8);
    }
  }
};

void TCanvas::TextRun(int x, int y, const std::string& text, const TRect* frame) {
  if (!bitmap_ || bitmap_->Empty() || text.empty() || text.size() > kMaxTextBytes) return;
  TRect limit = VisibleBounds();
  if (frame) {
    limit.Left = std::max(limit.Left, frame->Left);
    limit.Top = std::max(limit.Top, frame->Top);
    limit.Right = std::min(limit.Right, frame->Right);
    limit.Bottom = std::min(limit.Bottom, frame->Bottom);
  }
  if (limit.IsEmpty()) return;
  std::u32string chars = fonts::DecodeUtf8(text);
  x = raster::ClampCoord(x);
  y = raster::ClampCoord(y);
  int tenths = font_.GetOrientation();
  double c, s;
  TextCosSin(tenths, c, s);
  TextFrame tf{double(x), double(y), c, s};
  int bits = StorageBitCount(bitmap_->GetPixelFormat());
  TColor colour = ColorToRGB(font_.GetColor());
  GlyphPainter painter{*bitmap_,
                       ClipRegion(),
                       limit,
                       colour,
                       bitmap_->ColorToPixelValue(colour),
                       bits == 24   ? 3
                       : bits == 32 ? 4
                                    : 0};
  fonts::WithFace(font_, [&](fonts::SizedFace& face) {
    int64_t width = 0;
    for (char32_t ch : chars) width += face.Advance(ch);
    int asc = face.Ascent(), height = asc + face.Descent();
    auto fill_cell = [&](double v0, double v1, TColor col) {
      TPoint quad[4] = {tf.Map(0, v0), tf.Map(double(width), v0), tf.Map(double(width), v1),
                        tf.Map(0, v1)};
      TRegion r = TRegion::FromPolygon(quad, 4, ALTERNATE, &limit);
      Ink ink;
      ink.value = bitmap_->ColorToPixelValue(col);
      for (const TRegionBand& band : r.Bands())
        for (int32_t yy = band.top; yy < band.bottom; ++yy)
          for (const TSpan& sp : band.spans) PaintInk(yy, sp.left, sp.right, ink);
    };
    if (BackgroundOpaque() && !frame) fill_cell(0, height, ColorToRGB(brush_.GetColor()));
    bool mono = bits == 1;
    int64_t u = 0;
    // A glyph lies within two em sizes of its origin: those farther from
    // the visible area are not even rendered.
    int64_t reach = 2 * int64_t(face.EmPixels()) + 2;
    for (char32_t ch : chars) {
      TPoint o = tf.Map(double(u), double(asc));
      u += face.Advance(ch);
      if (o.x + reach < limit.Left || o.x - reach >= limit.Right || o.y + reach < limit.Top ||
          o.y - reach >= limit.Bottom)
        continue;
      const fonts::Glyph& g = face.Render(ch, tenths, mono);
      if (!g.coverage.empty()) painter.Paint(g, o.x, o.y);
    }
    if (font_.HasStyle(fsUnderline)) {
      double v = asc + face.UnderlineOffset();
      fill_cell(v, v + face.UnderlineThickness(), colour);
    }
    if (font_.HasStyle(fsStrikeOut)) {
      double v = asc - face.StrikeOffset();
      fill_cell(v, v + face.StrikeThickness(), colour);
    }
  });
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  TextRun(x, y, text, nullptr);
  MoveTo(raster::ClampCoord(int64_t(x) + TextWidth(text)), y);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
  if (rect.IsEmpty()) return;
  if (brush_.GetStyle() != bsClear && bitmap_) {
    Ink ink;
    ink.value = bitmap_->ColorToPixelValue(ColorToRGB(brush_.GetColor()));
    TRect vis = VisibleBounds();
    for (int32_t yy = std::max(rect.Top, vis.Top); yy < std::min(rect.Bottom, vis.Bottom); ++yy)
      PaintInk(yy, rect.Left, rect.Right, ink);
  }
  TextRun(x, y, text, &rect);
}

TSize TCanvas::TextExtent(const std::string& text) {
  TSize size;
  if (text.size() > kMaxTextBytes) return size;
  std::u32string chars = fonts::DecodeUtf8(text);
  fonts::WithFace(font_, [&](fonts::SizedFace& face) {
    int64_t width = 0;
    for (char32_t ch : chars) width += face.Advance(ch);
    size.cx = int32_t(std::min<int64_t>(width, INT32_MAX));
    size.cy = face.Ascent() + face.Descent();
  });
  return size;
}

int TCanvas::TextWidth(const std::string& text) {
  return TextExtent(text).cx;
}

int TCanvas::TextHeight(const std::string& text) {
  return TextExtent(text).cy;
}

}  // namespace pictavo
