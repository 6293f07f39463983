#include "codecs/ico.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/builtin_formats.h"
#include "codecs/png.h"
#include "codecs/raster_common.h"
#include "core/pvutils.h"
#include "core/streamreader.h"
#include "formats/registry.h"

namespace pictavo {

namespace {

bool TryDirectory(TStream& stream, int type) {
  const int64_t pos = stream.GetPosition();
  bool ok = false;
  try {
    TStreamReader reader(stream);
    if (reader.Remaining() > 22) {
      uint8_t h[6];
      reader.Read(h, 6);
      const int count = GetU16LE(h + 4);
      ok = GetU16LE(h) == 0 && GetU16LE(h + 2) == type && count > 0;
      for (int i = 0; ok && i < count; ++i) {
        uint8_t e[16];
        if (!reader.Read(e, 16)) {
          ok = false;
          break;
        }
        const int64_t here = reader.Position() - reader.Start();
        ok = e[3] == 0 && GetU32LE(e + 8) != 0 && int64_t(GetU32LE(e + 12)) >= here;
      }
    }
  } catch (const std::exception&) {
    ok = false;
  }
  stream.Seek(pos, soBeginning);
  return ok;
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

constexpr int kDirHeaderSize = 6, kDirEntrySize = 16, kInfoHeaderSize = 40;

// A PNG stream as the image data: decoded from a copy of exactly its bytes.
void ReadIconPng(TStreamReader& reader, int64_t at, int64_t dataSize, TBitmap& bitmap,
                 TIOParamsVals& params, bool preview, TProgressRec& progress,
                 const TRGB& background) {
  const int64_t n = std::min<int64_t>(dataSize, reader.End() - at);
  std::vector<uint8_t> png;
  reader.SeekTo(at);
  if (!reader.ReadBytes(png, n)) {
    progress.Fail(TPVErrorCode::Truncated, "icon PNG data ends early");
    return;
  }
  TReadOnlyMemoryStream ms(png.data(), int64_t(png.size()));
  const TRGB saved = params.PNG_Background;
  params.PNG_Background = background;
  ReadPNGStream(ms, &bitmap, params, preview, progress);
  params.PNG_Background = saved;
}

// The image's layout from its directory entry and bitmap header.
struct IconLayout {
  int bits = 0;
  int64_t width = 0, height = 0;
};

// Fills the layout and the size parameters; false when the bit depth is unknown.
bool ParseIconLayout(const uint8_t* e, const uint8_t* bi, bool cursor, TIOParamsVals& params,
                     IconLayout& l) {
  constexpr int kLargestEntrySize = 2048;  // entries beyond this size hold 0
  const int32_t biWidth = static_cast<int32_t>(GetU32LE(bi + 4));
  const int32_t biHeight = static_cast<int32_t>(GetU32LE(bi + 8));
  const int biBitCount = GetU16LE(bi + 14);
  const int32_t xppm = static_cast<int32_t>(GetU32LE(bi + 24)),
                yppm = static_cast<int32_t>(GetU32LE(bi + 28));
  params.DpiX = xppm >= 1 ? static_cast<int>(std::nearbyint(xppm / 100.0 * 2.54)) : gSystemDPIX;
  params.DpiY = yppm >= 1 ? static_cast<int>(std::nearbyint(yppm / 100.0 * 2.54)) : gSystemDPIY;

  // For cursors the entry's bit-count field holds the hot spot.
  int bits = cursor ? 0 : GetU16LE(e + 6);
  if (biBitCount != 0) bits = biBitCount;
  const int entryColours = e[2];
  if (bits == 0) {
    if (entryColours == 0) return false;
    bits = _NColToBitsPixel(entryColours);
  }
  params.BitsPerSample = bits > 8 ? 8 : bits;
  params.SamplesPerPixel = bits > 8 ? 3 : 1;
  if (cursor) {
    params.SamplesPerPixel = 1;
    params.BitsPerSample = bits;
  }
  // The bitmap header's height covers the image and its mask.
  l.bits = bits;
  l.width = e[0] ? e[0] : biWidth;
  l.height = e[1] ? e[1] : std::abs(int64_t(biHeight)) / 2;
  if (!cursor && e[0] && biWidth != 0 && e[0] != biWidth && biWidth < kLargestEntrySize &&
      biHeight < kLargestEntrySize) {
    l.width = biWidth;
    l.height = std::abs(int64_t(biHeight)) / 2;
  }
  return true;
}

// The colour table: biClrUsed entries when it is smaller than 2^bits, else
// 2^bits (the entry's colour count only sizes it when the header has no bit
// count).  Indices beyond the table read black.  False when it is cut short.
bool ReadIconTable(TStreamReader& reader, const uint8_t* bi, int bits, TRGB* table,
                   TIOParamsVals& params) {
  if (bits > 8) {
    params.FreeColorMap();
    return true;
  }
  const uint32_t clrUsed = GetU32LE(bi + 32);
  int tableSize = 1 << bits;
  if (clrUsed > 0 && clrUsed < uint32_t(tableSize)) tableSize = int(clrUsed);
  const uint32_t headerSize = GetU32LE(bi);
  if (headerSize > kInfoHeaderSize &&
      !reader.Skip(std::min<int64_t>(headerSize - kInfoHeaderSize, reader.Remaining())))
    return false;
  uint8_t raw[1024];
  if (!reader.Read(raw, int64_t(tableSize) * 4)) return false;
  for (int i = 0; i < tableSize; ++i)
    table[i] = raster::Rgb(raw[4 * i + 2], raw[4 * i + 1], raw[4 * i]);
  params.SetColorMap(table, tableSize);
  return true;
}

// What every row of one image shares.
struct IconPixels {
  int width = 0, bits = 0;
  bool bw = false;        // pf1bit target
  bool useAlpha = false;  // 32-bit data with a real alpha channel
  const TRGB* table = nullptr;
  TRGB background{};
};

// One file row into one bitmap row; mask is null where the mask is cut short.
void DecodeIconRow(const IconPixels& ip, const uint8_t* src, const uint8_t* mask, uint8_t* row) {
  const int w = ip.width;
  const TRGB* table = ip.table;
  const TRGB& background = ip.background;
  auto masked = [&](int x) { return mask && (mask[x >> 3] & (0x80 >> (x & 7))); };
  auto put = [&](int x, const TRGB& c) {
    row[3 * x] = c.b;
    row[3 * x + 1] = c.g;
    row[3 * x + 2] = c.r;
  };
  switch (ip.bits) {
    case 1:
      if (ip.bw) {
        const int n = (w + 7) / 8;
        std::memcpy(row, src, n);
        if (raster::IsWhite(table[0])) raster::InvertBytes(row, n);
        if (mask && raster::IsWhite(background))
          for (int k = 0; k < n; ++k) row[k] ^= mask[k];
      } else {
        for (int x = 0; x < w; ++x)
          put(x, masked(x) ? background : table[(src[x >> 3] >> (7 - (x & 7))) & 1]);
      }
      break;
    case 4:
      for (int x = 0; x < w; ++x)
        put(x, masked(x) ? background : table[(x & 1) ? (src[x >> 1] & 15) : (src[x >> 1] >> 4)]);
      break;
    case 8:
      for (int x = 0; x < w; ++x) put(x, masked(x) ? background : table[src[x]]);
      break;
    case 24:
      std::memcpy(row, src, size_t(w) * 3);
      break;
    case 32:
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = src + 4 * x;
        if (ip.useAlpha) {
          const int a = p[3];
          auto mix = [&](int c, int bg) { return uint8_t((c * a + bg * (255 - a) + 127) / 255); };
          row[3 * x] = mix(p[0], background.b);
          row[3 * x + 1] = mix(p[1], background.g);
          row[3 * x + 2] = mix(p[2], background.r);
        } else if (masked(x)) {
          put(x, background);
        } else {
          std::memcpy(row + 3 * x, p, 3);
        }
      }
      break;
  }
}

// Reads the colour data and the mask and decodes them, bottom row first.
// False when either is cut short.
bool DecodeIconData(TStreamReader& reader, TBitmap& bitmap, TBitmapRowGuard& guard, IconPixels& ip,
                    int height) {
  const int64_t rowLen = _BitmapRowLen(ip.width, ip.bits), maskLen = _BitmapRowLen(ip.width, 1);
  std::vector<uint8_t> xorData, maskData;
  const int64_t xorWant = rowLen * height, maskWant = maskLen * height;
  xorData.resize(size_t(std::min(xorWant, reader.Remaining())));
  reader.Read(xorData.data(), int64_t(xorData.size()));
  maskData.resize(size_t(std::min(maskWant, reader.Remaining())));
  reader.Read(maskData.data(), int64_t(maskData.size()));
  const bool truncated = int64_t(xorData.size()) < xorWant || int64_t(maskData.size()) < maskWant;
  const int64_t xorRows = int64_t(xorData.size()) / rowLen;
  const int64_t maskRows = int64_t(maskData.size()) / maskLen;

  // 32-bit images whose alpha is all zero rely on the mask instead.
  ip.useAlpha = false;
  if (ip.bits == 32)
    for (size_t i = 3; i < xorData.size() && !ip.useAlpha; i += 4) ip.useAlpha = xorData[i] != 0;

  for (int i = 0; i < height && i < xorRows; ++i) {  // file row i is bitmap row height-1-i
    const uint8_t* mask = i < maskRows ? maskData.data() + size_t(i) * maskLen : nullptr;
    DecodeIconRow(ip, xorData.data() + size_t(i) * rowLen, mask, bitmap.ScanLine(height - 1 - i));
    guard.Written(height - 1 - i);
  }
  return !truncated;
}

// One image of an icon or cursor directory.
void ReadIconImage(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress, bool cursor) {
  try {
    TStreamReader reader(stream);
    const int64_t start = reader.Start();
    uint8_t h[kDirHeaderSize];
    if (!reader.Read(h, kDirHeaderSize)) {
      progress.Fail(TPVErrorCode::Truncated, "icon directory ends early");
      return;
    }
    if (!cursor && h[0] == 'B' && h[1] == 'M') {
      reader.SeekTo(start);
      BMPReadStream(stream, bitmap, reader.End() - start, params, progress, preview);
      return;
    }
    const int count = GetU16LE(h + 4);
    const int index = cursor ? params.CUR_ImageIndex : params.ICO_ImageIndex;
    if (index < 0 || index >= count) return;
    uint8_t e[kDirEntrySize];
    for (int i = 0; i <= index; ++i)
      if (!reader.Read(e, kDirEntrySize)) {
        progress.Fail(TPVErrorCode::Truncated, "icon directory ends early");
        return;
      }
    const int64_t offset = GetU32LE(e + 12), dataSize = GetU32LE(e + 8);
    if (!reader.SeekTo(start + offset)) {
      progress.Fail(TPVErrorCode::Truncated, "icon image data missing");
      return;
    }
    const TRGB background = cursor ? params.CUR_Background : params.ICO_Background;
    if (cursor) {
      params.CUR_XHotSpot = GetU16LE(e + 4);
      params.CUR_YHotSpot = GetU16LE(e + 6);
    }
    uint8_t bi[kInfoHeaderSize];
    if (!reader.Read(bi, kInfoHeaderSize)) {
      progress.Fail(TPVErrorCode::Truncated, "icon image header ends early");
      return;
    }
    if (std::memcmp(bi, kPngSignature, sizeof kPngSignature) == 0) {
      ReadIconPng(reader, start + offset, dataSize, bitmap, params, preview, progress, background);
      return;
    }
    IconLayout l;
    TRGB table[256] = {};
    if (!ParseIconLayout(e, bi, cursor, params, l) ||
        !ReadIconTable(reader, bi, l.bits, table, params)) {
      progress.Fail(TPVErrorCode::Corrupt, "icon image header not valid");
      return;
    }
    params.Width = static_cast<int32_t>(std::min<int64_t>(l.width, 0x7FFFFFFF));
    params.Height = static_cast<int32_t>(std::min<int64_t>(l.height, 0x7FFFFFFF));
    if (preview) return;
    IconPixels ip;
    ip.width = static_cast<int>(l.width);
    ip.bits = l.bits;
    ip.table = table;
    ip.background = background;
    // Black and white two-colour images load as pf1bit, any other as pf24bit.
    ip.bw = l.bits == 1 && ((raster::IsBlack(table[0]) && raster::IsWhite(table[1])) ||
                            (raster::IsWhite(table[0]) && raster::IsBlack(table[1])));
    const int hgt = static_cast<int>(l.height);
    if (!PVCheckDecodeSize(l.width, l.height, ip.bw ? 1 : 24, reader.Remaining(), progress)) return;
    // Rows are written whole; the guard fills those the data does not reach
    // (all of them for a bit count without a decoder).
    raster::SizeBitmapForRows(bitmap, ip.bw ? pf1bit : pf24bit, ip.width, hgt);
    TBitmapRowGuard guard(bitmap);
    if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 24 && l.bits != 32) return;
    if (!DecodeIconData(reader, bitmap, guard, ip, hgt))
      progress.Fail(TPVErrorCode::Truncated, "icon data ends early");
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("icon: ") + e.what());
  }
}

void IcoRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
             bool preview, int64_t) {
  TBitmap dummy;
  ICOReadStream(stream, bitmap ? *bitmap : dummy, params, preview || !bitmap, progress);
}

void CurRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
             bool preview, int64_t) {
  TBitmap dummy;
  CURReadStream(stream, bitmap ? *bitmap : dummy, params, preview || !bitmap, progress);
}

}  // namespace

bool ICOTryStream(TStream& stream) {
  return TryDirectory(stream, 1);
}
bool CURTryStream(TStream& stream) {
  return TryDirectory(stream, 2);
}

void ICOReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress) {
  ReadIconImage(stream, bitmap, params, preview, progress, false);
}

void CURReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress) {
  ReadIconImage(stream, bitmap, params, preview, progress, true);
}

const TPVFormatDef& PVFormatICO() {
  static constexpr TPVFormatExt kExtensions[] = {{"ICO", pvExtListedLoad}};
  static constexpr TPVSignature kSignatures[] = {{12, -1, nullptr}};
  static const TPVFormatDef def{.FileType = ftICO,
                                .Description = "Windows Icon",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {IcoRead, nullptr, ICOTryStream},
                                .StreamLoadSetsResolution = false};
  return def;
}

const TPVFormatDef& PVFormatCUR() {
  static constexpr TPVFormatExt kExtensions[] = {{"CUR", pvExtListedLoad}};
  static constexpr TPVSignature kSignatures[] = {{13, -1, nullptr}};
  static const TPVFormatDef def{.FileType = ftCUR,
                                .Description = "Windows Cursor",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {CurRead, nullptr, CURTryStream},
                                .StreamLoadSetsResolution = false};
  return def;
}

}  // namespace pictavo
