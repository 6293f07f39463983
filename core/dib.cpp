// Transfer between bitmaps and packed device-independent bitmaps (a
// BITMAPINFOHEADER, an optional colour table or bit-field masks, then the
// rows bottom-up).  Every offset and length of an incoming block is checked
// against the block before it is used.
#include <algorithm>
#include <cstring>

#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/streamreader.h"

namespace pictavo {

namespace {

constexpr uint32_t kHeaderSize = 40;

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

struct DibHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biClrUsed;
};

bool ReadHeader(const uint8_t* dib, size_t size, DibHeader& h) {
  if (!dib || size < kHeaderSize) return false;
  h.biSize = GetU32LE(dib);
  h.biWidth = int32_t(GetU32LE(dib + 4));
  h.biHeight = int32_t(GetU32LE(dib + 8));
  h.biPlanes = GetU16LE(dib + 12);
  h.biBitCount = GetU16LE(dib + 14);
  h.biCompression = GetU32LE(dib + 16);
  h.biClrUsed = GetU32LE(dib + 32);
  return h.biSize >= kHeaderSize && h.biSize <= size;
}

int Fail(TBitmap& bitmap) {
  bitmap.SetSize(0, 0);
  return 0;
}

using YuvFn = bool (*)(const uint8_t*, size_t, TBitmap&, bool);

// The FOURCC converter and whether its top-down flag is biHeight < 0.
YuvFn FindYuv(uint32_t fourcc, bool& negativeFlag) {
  negativeFlag = false;
  switch (fourcc) {
    case PVFourCC('I', '4', '2', '0'): case PVFourCC('I', 'Y', 'U', 'V'): return _CopyI420ToBitmap;
    case PVFourCC('Y', '2', '1', '1'): return _CopyY211ToBitmap;
    case PVFourCC('I', 'Y', 'U', '1'): return _CopyIYU1ToBitmap;
    case PVFourCC('Y', 'V', '1', '2'): return _CopyYV12ToBitmap;
    case PVFourCC('I', 'Y', 'U', '2'): return _CopyIYU2ToBitmap;
    case PVFourCC('Y', 'U', 'Y', '2'): case PVFourCC('Y', 'U', 'N', 'V'): return _CopyYUY2ToBitmap;
    case PVFourCC('Y', 'V', 'U', '9'): return _CopyYVU9ToBitmap;
    case PVFourCC('Y', '4', '1', 'P'): negativeFlag = true; return _CopyY41PToBitmap;
    case PVFourCC('C', 'L', 'J', 'R'): return _CopyCLJRToBitmap;
    case PVFourCC('Y', 'V', 'Y', 'U'): return _CopyYVYUToBitmap;
    case PVFourCC('U', 'Y', 'V', 'Y'): case PVFourCC('U', 'Y', 'N', 'V'): return _CopyUYVYToBitmap;
    case PVFourCC('c', 'y', 'u', 'v'): negativeFlag = true; return _CopyUYVYToBitmap;
    default: return nullptr;
  }
}

// Shared decoder.  `renderer` selects the rules of the renderer variant.
int DecodeDib(const uint8_t* dib, size_t size, TBitmap& bitmap, const uint8_t* bits, size_t bitsSize,
              bool renderer) {
  DibHeader h;
  if (!ReadHeader(dib, size, h)) return Fail(bitmap);
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN) return Fail(bitmap);
  int width = h.biWidth;
  int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  if (!PVImageSizeAllowed(width, height)) return Fail(bitmap);
  uint32_t comp = h.biCompression;
  int bc = h.biBitCount;
  if (comp == 1 || comp == 2) return Fail(bitmap);  // run-length data is not decoded

  if (renderer && comp != 0 && !(comp == 3 && bc == 32)) {
    // The renderer sizes the bitmap and draws nothing for other compressions.
    bitmap.SetSize(0, 0);
    bitmap.SetPixelFormat(bc == 1 ? pf1bit : pf24bit);
    bitmap.SetSize(width, height);
    return bc;
  }
  bool rgb = comp == 0 || comp == 3;
  YuvFn yuv = nullptr;
  bool negativeFlag = false;
  if (!rgb) {
    yuv = FindYuv(comp, negativeFlag);
    if (!yuv) return Fail(bitmap);
  }
  if (rgb) {
    bool known = bc == 1 || bc == 4 || bc == 8 || bc == 16 || bc == 32 || (bc == 24 && comp == 0);
    if (!known) return Fail(bitmap);
  }

  // Where the colour table (or masks) and the pixels begin.
  uint64_t offset = h.biSize;
  uint64_t paletteCount = 0;
  if (rgb) {
    if (bc <= 8) {
      paletteCount = h.biClrUsed ? h.biClrUsed : (uint64_t(1) << bc);
      if (paletteCount > 65536) return Fail(bitmap);
    } else {
      paletteCount = h.biClrUsed;  // an optional table before true-colour pixels
      if (paletteCount > 65536) return Fail(bitmap);
    }
  }
  uint64_t masksAt = kHeaderSize;
  if (rgb && comp == 3 && bc >= 16 && h.biSize == kHeaderSize) offset += 12;
  if (rgb && comp == 3 && bc >= 16 && masksAt + 12 > size) return Fail(bitmap);
  uint64_t paletteAt = offset;
  offset += paletteCount * 4;
  if (offset > size) return Fail(bitmap);

  const uint8_t* pixels = dib + offset;
  size_t pixelBytes = size - size_t(offset);
  if (bits) {
    pixels = bits;
    pixelBytes = bitsSize;
  }

  if (!rgb) {
    bitmap.SetSize(0, 0);
    bitmap.SetPixelFormat(pf24bit);
    if (pixelBytes < PVYUVFrameSize(comp, width, height)) return Fail(bitmap);
    bitmap.SetSize(width, height);
    bool topDown = negativeFlag ? h.biHeight < 0 : h.biHeight > 0;
    if (!yuv(pixels, pixelBytes, bitmap, topDown)) return Fail(bitmap);
    return bc;
  }

  uint64_t stride = ((uint64_t(bc) * uint64_t(width) + 31) / 32) * 4;
  if (stride * uint64_t(height) > pixelBytes) return Fail(bitmap);
  // A negative height marks rows stored top-down.
  bool topDown = h.biHeight < 0;
  auto srcRow = [&](int y) { return pixels + stride * uint64_t(topDown ? y : height - 1 - y); };

  const uint8_t* pal = dib + paletteAt;
  TRGB table[256];
  int tableCount = int(std::min<uint64_t>(paletteCount, 256));
  for (int i = 0; i < 256; ++i) table[i] = TRGB();
  for (int i = 0; i < tableCount && bc <= 8; ++i) table[i] = CreateRGB(pal[i * 4 + 2], pal[i * 4 + 1], pal[i * 4]);

  bitmap.SetSize(0, 0);
  if (bc == 1) {
    // A two-colour bitmap is black and white: white-then-black tables are
    // inverted, other colours are expanded to 24 bits in their own colours.
    const TRGB black = CreateRGB(0, 0, 0), white = CreateRGB(255, 255, 255);
    TRGB c0 = tableCount > 0 ? table[0] : black, c1 = tableCount > 1 ? table[1] : white;
    if (tableCount < 2) {
      c0 = black;
      c1 = white;
    }
    bool direct = EqualRGB(c0, black) && EqualRGB(c1, white);
    bool inverse = EqualRGB(c0, white) && EqualRGB(c1, black);
    if (direct || inverse) {
      bitmap.SetPixelFormat(pf1bit);
      bitmap.SetSize(width, height);
      size_t n = size_t((int64_t(width) + 7) / 8);
      for (int y = 0; y < height; ++y) {
        uint8_t* d = bitmap.ScanLine(y);
        std::memcpy(d, srcRow(y), n);
        if (inverse)
          for (size_t i = 0; i < n; ++i) d[i] = uint8_t(~d[i]);
      }
    } else {
      bitmap.SetPixelFormat(pf24bit);
      bitmap.SetSize(width, height);
      for (int y = 0; y < height; ++y) {
        const uint8_t* s = srcRow(y);
        uint8_t* d = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, d += 3) {
          const TRGB& c = (s[x >> 3] & (0x80 >> (x & 7))) ? c1 : c0;
          d[0] = c.b;
          d[1] = c.g;
          d[2] = c.r;
        }
      }
    }
    return bc;
  }

  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(width, height);
  if (bc == 4 || bc == 8) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* s = srcRow(y);
      uint8_t* d = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, d += 3) {
        int idx = bc == 8 ? s[x] : ((x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4));
        const TRGB& c = table[idx];  // indices beyond the table read black
        d[0] = c.b;
        d[1] = c.g;
        d[2] = c.r;
      }
    }
  } else if (bc == 16) {
    uint32_t rm = 0x7C00, gm = 0x03E0, bm = 0x001F;
    if (comp == 3) {
      rm = GetU32LE(dib + masksAt);
      gm = GetU32LE(dib + masksAt + 4);
      bm = GetU32LE(dib + masksAt + 8);
    }
    int rb = _GetBitCount(rm), gb = _GetBitCount(gm), bb = _GetBitCount(bm);
    // Shifts of the masked values; a negative right shift is a left shift.
    auto shift = [](uint32_t v, int right) -> uint8_t {
      if (right >= 32 || right <= -32) return 0;
      return uint8_t(right >= 0 ? (v >> right) : (v << -right));
    };
    int rs = rb + gb + bb - 8, gs = gb + bb - 8, bs = bb - 8;
    for (int y = 0; y < height; ++y) {
      const uint8_t* s = srcRow(y);
      uint8_t* d = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, d += 3, s += 2) {
        uint32_t v = uint32_t(s[0]) | (uint32_t(s[1]) << 8);
        d[2] = shift(v & rm, rs);
        d[1] = shift(v & gm, gs);
        d[0] = shift(v & bm, bs);
      }
    }
  } else if (bc == 24) {
    for (int y = 0; y < height; ++y) std::memcpy(bitmap.ScanLine(y), srcRow(y), size_t(width) * 3);
  } else {  // 32
    for (int y = 0; y < height; ++y) {
      const uint8_t* s = srcRow(y);
      uint8_t* d = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x, d += 3, s += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
    }
  }
  return bc;
}

}  // namespace

HGLOBAL _CopyBitmaptoDIB(const TBitmap& bitmap, int x1, int y1, int x2, int y2) {
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (x2 == 0 || x2 > w) x2 = w;
  if (y2 == 0 || y2 > h) y2 = h;
  x1 = std::clamp(x1, 0, std::max(x2, 0));
  y1 = std::clamp(y1, 0, std::max(y2, 0));
  int dw = std::max(x2 - x1, 0), dh = std::max(y2 - y1, 0);
  TPixelFormat pf = bitmap.GetPixelFormat();
  int bc = pf == pf1bit ? 1 : (pf == pf24bit ? 24 : 0);
  size_t paletteBytes = bc == 1 ? 8 : 0;
  size_t rowLen = bc ? size_t(_BitmapRowLen(dw, bc)) : 0;
  size_t total = kHeaderSize + paletteBytes + rowLen * size_t(dh) + 4;
  HGLOBAL block = GlobalAlloc(total);
  uint8_t* p = block->Lock();
  PutU32(p, kHeaderSize);
  PutU32(p + 4, uint32_t(dw));
  PutU32(p + 8, uint32_t(dh));
  p[12] = 1;
  p[14] = uint8_t(bc ? bc : _Pixelformat2BitCount(pf));
  if (!bc) return block;
  uint8_t* q = p + kHeaderSize;
  if (bc == 1) {
    std::memset(q + 4, 0xFF, 4);
    q += 8;
  }
  for (int y = y2 - 1; y >= y1; --y, q += rowLen) {
    const uint8_t* s = bitmap.ScanLine(y);
    if (bc == 24)
      std::memcpy(q, s + size_t(x1) * 3, size_t(dw) * 3);
    else
      _CopyBits(q, s, 0, dw, x1);
  }
  block->Unlock();
  return block;
}

int _CopyDIB2Bitmap(const uint8_t* dib, size_t dibSize, TBitmap& bitmap, const uint8_t* bits, size_t bitsSize) {
  return DecodeDib(dib, dibSize, bitmap, bits, bitsSize, false);
}

int _CopyDIB2Bitmap(const HGLOBAL& dib, TBitmap& bitmap, const uint8_t* bits, size_t bitsSize, bool) {
  if (!dib) {
    bitmap.SetSize(0, 0);
    return 0;
  }
  const TMemBlock& m = *dib;
  int r = DecodeDib(m.Lock(), m.Size(), bitmap, bits, bitsSize, false);
  m.Unlock();
  return r;
}

int _PVCopyDIB2Bitmap2(const uint8_t* dib, size_t dibSize, TBitmap& bitmap, const uint8_t* bits,
                       size_t bitsSize) {
  return DecodeDib(dib, dibSize, bitmap, bits, bitsSize, true);
}

int _PVCopyDIB2Bitmap2(const HGLOBAL& dib, TBitmap& bitmap, const uint8_t* bits, size_t bitsSize, bool) {
  if (!dib) {
    bitmap.SetSize(0, 0);
    return 0;
  }
  const TMemBlock& m = *dib;
  int r = DecodeDib(m.Lock(), m.Size(), bitmap, bits, bitsSize, true);
  m.Unlock();
  return r;
}

}  // namespace pictavo
