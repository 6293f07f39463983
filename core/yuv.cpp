// YUV frames of capture drivers into pf24bit bitmaps.
#include <algorithm>
#include <cstring>

#include "core/conversions.h"

namespace pictavo {

namespace {

inline void Put(uint8_t* row, int x, int Y, int U, int V) {
  TRGB c;
  YUV2RGB(Y, U, V, c);
  row[x * 3] = c.b;
  row[x * 3 + 1] = c.g;
  row[x * 3 + 2] = c.r;
}

inline uint8_t* OutRow(TBitmap& bitmap, int i, bool topDown) {
  return bitmap.ScanLine(topDown ? i : bitmap.GetHeight() - 1 - i);
}

// Groups converted per row: while the group's first pixel is below width - 1.
inline int64_t Groups(int width, int step) { return width > 1 ? (int64_t(width) - 2) / step + 1 : 0; }

bool Usable(const TBitmap& bitmap) { return bitmap.GetPixelFormat() == pf24bit && !bitmap.Empty(); }

// Packed layouts: `group` pixels in `bytes` bytes, decoded by `fn`.
template <typename Fn>
bool Packed(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown, int step, int bytes, Fn fn) {
  if (!src || !Usable(bitmap)) return false;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  int64_t rowBytes = Groups(w, step) * bytes;
  if (uint64_t(rowBytes) * uint64_t(h) > size) return false;
  for (int i = 0; i < h; ++i) {
    uint8_t* d = OutRow(bitmap, i, topDown);
    for (int x = 0; x < w - 1; x += step, src += bytes) fn(d, x, w, src);
  }
  return true;
}

// Planar layouts: luma plane w x h, two chroma planes (w div f) x (h div f).
bool Planar(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown, int f, bool uFirst) {
  if (!src || !Usable(bitmap)) return false;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  uint64_t cw = uint64_t(w / f), ch = uint64_t(h / f);
  uint64_t luma = uint64_t(w) * uint64_t(h);
  uint64_t first = luma, second = luma + cw * ch;
  // Last chroma sample read: chroma row (h-1) div f, group Groups-1.
  int64_t groups = Groups(w, f);
  if (groups == 0) return luma <= size;
  uint64_t lastRow = uint64_t((h - 1) / f);
  uint64_t need = second + lastRow * cw + uint64_t(groups);
  if (need > size || luma > size) return false;
  const uint8_t* up = src + (uFirst ? first : second);
  const uint8_t* vp = src + (uFirst ? second : first);
  for (int i = 0; i < h; ++i) {
    uint8_t* d = OutRow(bitmap, i, topDown);
    const uint8_t* yp = src + uint64_t(i) * uint64_t(w);
    const uint8_t* u = up + uint64_t(i / f) * cw;
    const uint8_t* v = vp + uint64_t(i / f) * cw;
    for (int x = 0, g = 0; x < w - 1; x += f, ++g)
      for (int k = 0; k < f && x + k < w; ++k) Put(d, x + k, yp[x + k], u[g], v[g]);
  }
  return true;
}

inline int Wide5(uint32_t v) { return int((v << 3) | (v >> 2)); }
inline int Wide6(uint32_t v) { return int(v << 2); }

}  // namespace

bool _CopyUYVYToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 2, 4, [](uint8_t* d, int x, int w, const uint8_t* s) {
    Put(d, x, s[1], s[0], s[2]);
    if (x + 1 < w) Put(d, x + 1, s[3], s[0], s[2]);
  });
}

bool _CopyYUY2ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 2, 4, [](uint8_t* d, int x, int w, const uint8_t* s) {
    Put(d, x, s[0], s[1], s[3]);
    if (x + 1 < w) Put(d, x + 1, s[2], s[1], s[3]);
  });
}

bool _CopyYVYUToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 2, 4, [](uint8_t* d, int x, int w, const uint8_t* s) {
    Put(d, x, s[0], s[3], s[1]);
    if (x + 1 < w) Put(d, x + 1, s[2], s[3], s[1]);
  });
}

bool _CopyIYU2ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  if (!src || !Usable(bitmap)) return false;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (uint64_t(w) * 3 * uint64_t(h) > size) return false;
  for (int i = 0; i < h; ++i) {
    uint8_t* d = OutRow(bitmap, i, topDown);
    for (int x = 0; x < w; ++x, src += 3) Put(d, x, src[1], src[0], src[2]);
  }
  return true;
}

bool _CopyIYU1ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 4, 6, [](uint8_t* d, int x, int w, const uint8_t* s) {
    const int ys[4] = {s[1], s[2], s[4], s[5]};
    for (int k = 0; k < 4 && x + k < w; ++k) Put(d, x + k, ys[k], s[0], s[3]);
  });
}

bool _CopyY41PToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 8, 12, [](uint8_t* d, int x, int w, const uint8_t* s) {
    const int ys[8] = {s[1], s[3], s[5], s[7], s[8], s[9], s[10], s[11]};
    for (int k = 0; k < 8 && x + k < w; ++k)
      if (k < 4)
        Put(d, x + k, ys[k], s[0], s[2]);
      else
        Put(d, x + k, ys[k], s[4], s[6]);
  });
}

bool _CopyY211ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 4, 4, [](uint8_t* d, int x, int w, const uint8_t* s) {
    const int ys[4] = {s[0], s[0], s[2], s[2]};
    for (int k = 0; k < 4 && x + k < w; ++k) Put(d, x + k, ys[k], s[1], s[3]);
  });
}

bool _CopyCLJRToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Packed(src, size, bitmap, topDown, 4, 4, [](uint8_t* d, int x, int w, const uint8_t* s) {
    uint32_t v = uint32_t(s[0]) | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16) | (uint32_t(s[3]) << 24);
    int V = Wide6(v & 0x3F), U = Wide6((v >> 6) & 0x3F);
    for (int k = 0; k < 4 && x + k < w; ++k) Put(d, x + k, Wide5((v >> (12 + 5 * k)) & 0x1F), U, V);
  });
}

bool _CopyI420ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Planar(src, size, bitmap, topDown, 2, true);
}

bool _CopyYV12ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Planar(src, size, bitmap, topDown, 2, false);
}

bool _CopyYVU9ToBitmap(const uint8_t* src, size_t size, TBitmap& bitmap, bool topDown) {
  return Planar(src, size, bitmap, topDown, 4, false);
}

size_t PVYUVFrameSize(uint32_t fourcc, int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  uint64_t w = uint64_t(width), h = uint64_t(height);
  auto packed = [&](int step, int bytes) { return uint64_t(Groups(width, step)) * bytes * h; };
  auto planar = [&](int f) {
    uint64_t cw = w / f, ch = h / f, luma = w * h;
    uint64_t groups = uint64_t(Groups(width, f));
    uint64_t need = luma + cw * ch + uint64_t((height - 1) / f) * cw + groups;
    return groups == 0 ? luma : std::max(need, luma + 2 * cw * ch);
  };
  uint64_t n = 0;
  switch (fourcc) {
    case PVFourCC('U', 'Y', 'V', 'Y'): case PVFourCC('U', 'Y', 'N', 'V'): case PVFourCC('c', 'y', 'u', 'v'):
    case PVFourCC('Y', 'U', 'Y', '2'): case PVFourCC('Y', 'U', 'N', 'V'): case PVFourCC('Y', 'V', 'Y', 'U'):
      n = packed(2, 4); break;
    case PVFourCC('I', 'Y', 'U', '2'): n = w * 3 * h; break;
    case PVFourCC('I', 'Y', 'U', '1'): n = packed(4, 6); break;
    case PVFourCC('Y', '4', '1', 'P'): n = packed(8, 12); break;
    case PVFourCC('Y', '2', '1', '1'): case PVFourCC('C', 'L', 'J', 'R'): n = packed(4, 4); break;
    case PVFourCC('I', '4', '2', '0'): case PVFourCC('I', 'Y', 'U', 'V'): case PVFourCC('Y', 'V', '1', '2'):
      n = planar(2); break;
    case PVFourCC('Y', 'V', 'U', '9'): n = planar(4); break;
    default: return 0;
  }
  return size_t(n);
}

}  // namespace pictavo
