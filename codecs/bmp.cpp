// Windows and OS/2 bitmap files: reader for every header kind, depth and
// run-length form; writer for 1, 4, 8 and 24 bits, optionally RLE4/RLE8.
#include "codecs/bmp.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/quantize.h"
#include "codecs/raster_common.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/streamreader.h"
#include "formats/registry.h"
#include "platform/dib.h"

namespace pictavo {

namespace {

constexpr uint16_t kBM = 0x4D42;
// Bit fields with a fourth (alpha) mask, beside the BI_* values of platform/dib.h.
constexpr uint32_t kBiAlphaBitfields = 6;
// Header sizes: the file header, the OS/2 1.x core header, the smallest
// information header read, the Windows 3 header, the one holding the
// bit-field masks and the OS/2 2.x header.
constexpr int kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kMinInfoHeaderSize = 16;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaskedHeaderSize = 52;
constexpr uint32_t kOs2V2HeaderSize = 64;

bool HasBitfields(uint32_t compression) {
  return compression == BI_BITFIELDS || compression == kBiAlphaBitfields;
}

struct TBmpInfo {
  int32_t width = 0;
  int32_t height = 0;  // positive
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue
  bool hasMasks = false;
};

bool IsBlack(const TRGB& c) {
  return c.r == 0 && c.g == 0 && c.b == 0;
}
bool IsWhite(const TRGB& c) {
  return c.r == 255 && c.g == 255 && c.b == 255;
}

// Scales a channel value of `bits` bits to 8 bits by replicating its high
// bits into the low ones (31 of 5 bits gives 255, 63 of 6 bits gives 255);
// wider channels keep their top 8 bits.
uint8_t ScaleChannel(uint32_t v, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
  uint32_t r = 0;
  for (int pos = 8 - bits;; pos -= bits) {
    r |= pos >= 0 ? v << pos : v >> -pos;
    if (pos <= 0) break;
  }
  return static_cast<uint8_t>(r);
}

int LowestBit(uint32_t mask) {
  if (!mask) return 0;
  int s = 0;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

struct TChannel {
  uint32_t mask;
  int shift, bits;
  uint8_t Get(uint32_t w) const { return ScaleChannel((w & mask) >> shift, bits); }
};

TChannel MakeChannel(uint32_t mask) {
  TChannel c{mask, LowestBit(mask), mask ? std::min(_GetBitCount(mask), 32) : 0};
  return c;
}

class TBmpReader {
 public:
  // `guard` tracks the rows of a bitmap sized without its fill (null for
  // run-length data, whose bitmap is filled first).
  TBmpReader(TStreamReader& rd, TBitmap& bmp, TIOParamsVals& params, TProgressRec& progress,
             const TBmpInfo& info, TBitmapRowGuard* guard)
      : rd_(rd), bmp_(bmp), params_(params), progress_(progress), info_(info), guard_(guard) {
    palette_.fill(TRGB{});
    for (int i = 0; i < std::min(params.ColorMapCount, 256); ++i) palette_[i] = params.ColorMap[i];
    rowLen_ = (int64_t(info.width) * info.bitCount + 31) / 32 * 4;
    perUnit_ = 100.0 / info.height;
  }

  // Bitmap row of the n-th row stored in the file.
  int Row(int fileRow) const { return info_.topDown ? fileRow : info_.height - 1 - fileRow; }

  // Reads the rows of uncompressed data; `decode` turns `pixels` pixels of a
  // file row into bitmap row y.  A short stream decodes the whole pixels it
  // has and stops with the abort flag set.
  template <class Decode>
  void ReadRows(Decode decode) {
    std::vector<uint8_t> buf(static_cast<size_t>(rowLen_));
    for (int i = 0; i < info_.height; ++i) {
      if (progress_.Report(static_cast<int>(i * perUnit_))) return;
      const int64_t n = rd_.ReadSome(buf.data(), rowLen_);
      const int pixels = static_cast<int>(std::min<int64_t>(info_.width, n * 8 / info_.bitCount));
      const int y = Row(i);
      // A row cut short shows the fill past its last whole pixel.
      if (pixels < info_.width) bmp_.FillRows(y, y + 1);
      if (pixels > 0) decode(buf.data(), bmp_.ScanLine(y), pixels);
      if (guard_) guard_->Written(y);
      if (n < rowLen_) {
        progress_.Fail(TPVErrorCode::Truncated, "BMP data ends early");
        return;
      }
    }
  }

  void Read1() {
    const TRGB c0 = palette_[0], c1 = palette_[1];
    if (bmp_.GetPixelFormat() == pf1bit) {
      const bool invert = IsWhite(c0);
      ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
        const int bytes = (pixels + 7) / 8;
        for (int k = 0; k < bytes; ++k) {
          uint8_t v = invert ? uint8_t(~src[k]) : src[k];
          if (k == bytes - 1 && (pixels & 7)) {
            const uint8_t keep = uint8_t(0xFF00 >> (pixels & 7));
            v = uint8_t((v & keep) | (dst[k] & ~keep));
          }
          dst[k] = v;
        }
      });
    } else {
      ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
        TRGB* out = reinterpret_cast<TRGB*>(dst);
        for (int x = 0; x < pixels; ++x) out[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? c1 : c0;
      });
    }
  }

  void Read4() {
    ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
      TRGB* out = reinterpret_cast<TRGB*>(dst);
      for (int x = 0; x < pixels; ++x)
        out[x] = palette_[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)];
    });
  }

  void Read8() {
    ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
      TRGB* out = reinterpret_cast<TRGB*>(dst);
      for (int x = 0; x < pixels; ++x) out[x] = palette_[src[x]];
    });
  }

  void Read16() {
    // One table entry per 16-bit value.  Without bit fields the words are
    // x-5-5-5 and each channel is shifted into the high bits with its low
    // bits left 0; with bit fields the masks decide and channels are scaled.
    std::vector<TRGB> table(65536);
    if (info_.hasMasks) {
      const TChannel r = MakeChannel(info_.masks[0]), g = MakeChannel(info_.masks[1]),
                     b = MakeChannel(info_.masks[2]);
      for (uint32_t w = 0; w < 65536; ++w) table[w] = TRGB{b.Get(w), g.Get(w), r.Get(w)};
    } else {
      for (uint32_t w = 0; w < 65536; ++w) table[w] = raster::Rgb555(w);
    }
    ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
      TRGB* out = reinterpret_cast<TRGB*>(dst);
      for (int x = 0; x < pixels; ++x) out[x] = table[GetU16LE(src + 2 * x)];
    });
  }

  void Read24() {
    ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
      std::memcpy(dst, src, size_t(pixels) * 3);
    });
  }

  void Read32() {
    const bool plain = !info_.hasMasks || (info_.masks[0] == 0xFF0000 && info_.masks[1] == 0xFF00 &&
                                           info_.masks[2] == 0xFF);
    if (plain) {
      ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
        for (int x = 0; x < pixels; ++x, src += 4, dst += 3) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
      });
      return;
    }
    const TChannel r = MakeChannel(info_.masks[0]), g = MakeChannel(info_.masks[1]),
                   b = MakeChannel(info_.masks[2]);
    ReadRows([&](const uint8_t* src, uint8_t* dst, int pixels) {
      for (int x = 0; x < pixels; ++x, dst += 3) {
        const uint32_t w = GetU32LE(src + 4 * x);
        dst[0] = b.Get(w);
        dst[1] = g.Get(w);
        dst[2] = r.Get(w);
      }
    });
  }

  // Decodes RLE8 (rle4 false) or RLE4 data of `expected` bytes.  Runs and
  // deltas that leave the bitmap are clipped; nothing is read past the data.
  void ReadRLE(int64_t expected, bool rle4) {
    const int64_t available = std::min(expected, rd_.Remaining());
    std::vector<uint8_t> data;
    if (!rd_.ReadBytes(data, available)) {
      progress_.Fail(TPVErrorCode::ReadError, "BMP data cannot be read");
      return;
    }
    bool truncated = available < expected;
    const uint8_t* d = data.data();
    const int64_t n = static_cast<int64_t>(data.size());
    const int width = info_.width, height = info_.height;
    int64_t pos = 0;
    int fileRow = 0;
    int64_t x = 0;
    bool finished = false;
    if (progress_.Report(0)) return;
    auto put = [&](int64_t col, uint8_t index) {
      if (col >= 0 && col < width)
        reinterpret_cast<TRGB*>(bmp_.ScanLine(Row(fileRow)))[col] = palette_[index];
    };
    while (!finished) {
      if (pos + 2 > n) break;
      const uint8_t a = d[pos], b = d[pos + 1];
      pos += 2;
      if (a > 0) {
        const int64_t count = std::min<int64_t>(a, std::max<int64_t>(width - x, 0));
        if (rle4) {
          for (int64_t k = 0; k < count; ++k) put(x + k, (k & 1) ? (b & 0x0F) : (b >> 4));
        } else {
          for (int64_t k = 0; k < count; ++k) put(x + k, b);
        }
        x += a;
        continue;
      }
      if (b == 0) {  // end of line
        ++fileRow;
        x = 0;
        if (fileRow >= height) {
          finished = true;
          break;
        }
        if (progress_.Report(static_cast<int>((fileRow + 1) * perUnit_))) return;
      } else if (b == 1) {  // end of bitmap
        finished = true;
      } else if (b == 2) {  // delta
        if (pos + 2 > n) break;
        x += d[pos];
        fileRow += d[pos + 1];
        pos += 2;
        if (fileRow >= height) finished = true;
      } else {  // absolute run
        const int64_t bytes = rle4 ? (b + 1) / 2 : b;
        const int64_t have = std::min(bytes, n - pos);
        const int64_t pixels = rle4 ? std::min<int64_t>(b, have * 2) : have;
        for (int64_t k = 0; k < pixels && x + k < width; ++k) {
          const uint8_t v =
              rle4 ? ((k & 1) ? (d[pos + k / 2] & 0x0F) : (d[pos + k / 2] >> 4)) : d[pos + k];
          put(x + k, v);
        }
        if (have < bytes) break;
        x += b;
        pos += bytes + (bytes & 1);
      }
    }
    // Data that ends before the end-of-bitmap code and before the last row
    // means the file was cut short.
    if (!finished) truncated = true;
    if (truncated) progress_.Fail(TPVErrorCode::Truncated, "BMP data ends early");
  }

 private:
  TStreamReader& rd_;
  TBitmap& bmp_;
  TIOParamsVals& params_;
  TProgressRec& progress_;
  const TBmpInfo& info_;
  TBitmapRowGuard* guard_;
  std::array<TRGB, 256> palette_;
  int64_t rowLen_;
  double perUnit_;
};

int DpiFromPelsPerMeter(int32_t ppm, int fallback) {
  const int dpi = static_cast<int>(std::nearbyint(double(ppm) / 100.0 * 2.54));
  return dpi > 0 ? dpi : fallback;
}

// The OS/2 1.x core header and its 3-byte colour table.
bool ReadCoreHeader(TStreamReader& rd, TBmpInfo& info, std::vector<TRGB>& colors,
                    TIOParamsVals& params) {
  uint8_t ch[kCoreHeaderSize];
  if (!rd.Read(ch, kCoreHeaderSize)) return false;
  params.BMP_Version = ioBMP_BMOS2V1;
  info.width = GetU16LE(ch + 4);
  info.height = GetU16LE(ch + 6);
  info.bitCount = GetU16LE(ch + 10);
  params.DpiX = gSystemDPIX;
  params.DpiY = gSystemDPIY;
  if (info.bitCount >= 1 && info.bitCount <= 8) {
    const int entries = 1 << info.bitCount;
    colors.resize(entries);
    if (!rd.Read(colors.data(), int64_t(entries) * 3)) return false;
  }
  return true;
}

// Bit-field masks: inside headers of 52 bytes and more (except the OS/2
// one), otherwise right after the 40-byte header.
bool ReadMasks(TStreamReader& rd, uint32_t headerSize, const uint8_t* ih, TBmpInfo& info) {
  info.hasMasks = true;
  if (headerSize >= kMaskedHeaderSize && headerSize != kOs2V2HeaderSize) {
    for (int k = 0; k < 3; ++k) info.masks[k] = GetU32LE(ih + kInfoHeaderSize + 4 * k);
    return true;
  }
  uint8_t m[16];
  const int bytes = info.compression == kBiAlphaBitfields ? 16 : 12;
  if (!rd.Read(m, bytes)) return false;
  for (int k = 0; k < 3; ++k) info.masks[k] = GetU32LE(m + 4 * k);
  return true;
}

// A 4-byte colour table of `entries`; at most 256 are kept, and the rest of a
// longer table is skipped when no pixel offset says where the pixels start.
bool ReadColorTable(TStreamReader& rd, int64_t entries, uint32_t bfOffBits,
                    std::vector<TRGB>& colors) {
  constexpr int kMaxKept = 256;
  if (entries <= 0) return true;
  const int keep = static_cast<int>(std::min<int64_t>(entries, kMaxKept));
  std::vector<uint8_t> raw;
  if (!rd.ReadBytes(raw, int64_t(keep) * 4)) return false;
  colors.resize(keep);
  for (int i = 0; i < keep; ++i) colors[i] = TRGB{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2]};
  return !(entries > keep && bfOffBits == 0 && !rd.Skip((entries - keep) * 4));
}

// The Windows and OS/2 2.x information headers, masks and colour table.
bool ReadInfoHeader(TStreamReader& rd, uint32_t headerSize, uint32_t bfOffBits, TBmpInfo& info,
                    std::vector<TRGB>& colors, TIOParamsVals& params) {
  const uint32_t H = headerSize;
  if (H < kMinInfoHeaderSize) return false;
  uint8_t ih[kOs2V2HeaderSize] = {};
  if (!rd.Read(ih, std::min<uint32_t>(H, kOs2V2HeaderSize)) ||
      (H > kOs2V2HeaderSize && !rd.Skip(H - kOs2V2HeaderSize)))
    return false;
  params.BMP_Version =
      H == kOs2V2HeaderSize ? ioBMP_BMOS2V2 : (H == kInfoHeaderSize ? ioBMP_BM3 : ioBMP_BM);
  const int32_t w = static_cast<int32_t>(GetU32LE(ih + 4));
  const int32_t h = static_cast<int32_t>(GetU32LE(ih + 8));
  info.width = w;
  if (h < 0 && h != INT32_MIN) {
    info.height = -h;
    info.topDown = true;
  } else {
    info.height = h == INT32_MIN ? 0 : h;
  }
  info.bitCount = GetU16LE(ih + 14);
  info.compression = GetU32LE(ih + 16);
  info.sizeImage = GetU32LE(ih + 20);
  params.DpiX = DpiFromPelsPerMeter(static_cast<int32_t>(GetU32LE(ih + 24)), gSystemDPIX);
  params.DpiY = DpiFromPelsPerMeter(static_cast<int32_t>(GetU32LE(ih + 28)), gSystemDPIY);
  const uint32_t clrUsed = GetU32LE(ih + 32);
  if (HasBitfields(info.compression) && !ReadMasks(rd, H, ih, info)) return false;
  const int64_t entries = (clrUsed == 0 && info.bitCount <= 8 && info.bitCount > 0)
                              ? (int64_t(1) << info.bitCount)
                              : int64_t(clrUsed);
  return ReadColorTable(rd, entries, bfOffBits, colors);
}

// The sample layout of a bit depth; false for depths not read.
bool SetSampleParams(int bitCount, TIOParamsVals& params) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
      params.BitsPerSample = bitCount;
      params.SamplesPerPixel = 1;
      return true;
    case 16:
      params.BitsPerSample = 5;
      params.SamplesPerPixel = 3;
      return true;
    case 24:
    case 32:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 3;
      return true;
    default:
      return false;
  }
}

// Depth and compression must agree: RLE8 only at 8 bits, RLE4 only at 4,
// bit fields only at 16 and 32; other compressions cannot be decoded.
bool Decodable(const TBmpInfo& info) {
  const uint32_t cm = info.compression;
  const int bc = info.bitCount;
  const bool supported = cm == BI_RGB || (cm == BI_RLE8 && bc == 8) || (cm == BI_RLE4 && bc == 4) ||
                         (HasBitfields(cm) && (bc == 16 || bc == 32));
  return supported && !(info.topDown && cm != BI_RGB && !HasBitfields(cm));
}

void DecodePixels(TBmpReader& reader, const TBmpInfo& info, int64_t encoded) {
  switch (info.bitCount) {
    case 1:
      reader.Read1();
      break;
    case 4:
      if (info.compression == BI_RLE4)
        reader.ReadRLE(encoded, true);
      else
        reader.Read4();
      break;
    case 8:
      if (info.compression == BI_RLE8)
        reader.ReadRLE(encoded, false);
      else
        reader.Read8();
      break;
    case 16:
      reader.Read16();
      break;
    case 24:
      reader.Read24();
      break;
    case 32:
      reader.Read32();
      break;
  }
}

// The headers, colour table and position of the pixels, read into `info`
// and the parameters a load reports; false with the reason given when the
// file cannot be decoded. Leaves `rd` at the first pixel byte.
bool ReadBmpHeader(TStreamReader& rd, int64_t start, int64_t& blockSize, TIOParamsVals& params,
                   TProgressRec& progress, TBmpInfo& info, int64_t& encoded) {
  uint8_t fh[kFileHeaderSize];
  if (!rd.Read(fh, kFileHeaderSize) || GetU16LE(fh) != kBM) {
    progress.Fail(TPVErrorCode::UnknownFormat, "not a BMP file");
    return false;
  }
  const uint32_t bfSize = GetU32LE(fh + 2);
  const uint32_t bfOffBits = GetU32LE(fh + 10);
  if (bfSize != 0 && blockSize <= 0) blockSize = bfSize;

  uint8_t sizeBytes[4];
  if (!rd.Read(sizeBytes, 4)) {
    progress.Fail(TPVErrorCode::Truncated, "BMP header ends early");
    return false;
  }
  const uint32_t H = GetU32LE(sizeBytes);
  rd.SeekTo(rd.Position() - 4);
  params.FreeColorMap();

  std::vector<TRGB> colors;
  if (!(H == kCoreHeaderSize ? ReadCoreHeader(rd, info, colors, params)
                             : ReadInfoHeader(rd, H, bfOffBits, info, colors, params))) {
    progress.Fail(TPVErrorCode::Corrupt, "BMP header not valid");
    return false;
  }
  if (!colors.empty()) params.SetColorMap(colors.data(), static_cast<int>(colors.size()));
  params.BMP_Compression =
      (info.compression == BI_RLE8 || info.compression == BI_RLE4) ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
  params.Width = info.width;
  params.Height = info.height;
  if (!SetSampleParams(info.bitCount, params) || !Decodable(info)) {
    progress.Fail(TPVErrorCode::Unsupported,
                  "BMP of " + std::to_string(info.bitCount) + " bits with compression " +
                      std::to_string(info.compression) + " not supported");
    return false;
  }
  if (!PVCheckDecodeSize(info.width, info.height, 24, -1, progress)) return false;
  if ((int64_t(info.width) * info.bitCount + 31) / 32 * 4 > 0x7FFFFFFF) {
    progress.Fail(TPVErrorCode::Corrupt, "BMP rows too long");
    return false;
  }

  if (bfOffBits != 0 && !rd.SeekTo(start + bfOffBits)) {
    progress.Fail(TPVErrorCode::Truncated, "BMP pixel data missing");
    return false;
  }
  encoded = blockSize > 0 ? blockSize - (rd.Position() - start) : int64_t(info.sizeImage);
  if (encoded <= 0) encoded = rd.Remaining();
  return true;
}

// The bytes the pixels can occupy: what is left of the file or block.
int64_t PixelDataBytes(TStreamReader& rd, int64_t start, int64_t blockSize) {
  int64_t dataBytes = rd.Remaining();
  if (blockSize > 0)
    dataBytes = std::min(dataBytes, std::max<int64_t>(0, blockSize - (rd.Position() - start)));
  return dataBytes;
}

void ReadBmp(TStream& stream, TBitmap* bitmap, int64_t blockSize, TIOParamsVals& params,
             TProgressRec& progress, bool preview) {
  const int64_t P = stream.GetPosition();
  TStreamReader rd(stream);
  TBmpInfo info;
  int64_t encoded = 0;
  if (!ReadBmpHeader(rd, P, blockSize, params, progress, info, encoded)) return;
  if (preview || !bitmap) return;
  const int64_t dataBytes = PixelDataBytes(rd, P, blockSize);

  // A 1-bit file is kept as pf1bit only when its two colours are black and
  // white; any other pair is expanded to pf24bit in its own colours.
  auto entry = [&](int i) { return i < params.ColorMapCount ? params.ColorMap[i] : TRGB{}; };
  const bool bilevel = info.bitCount == 1 && ((IsBlack(entry(0)) && IsWhite(entry(1))) ||
                                              (IsWhite(entry(0)) && IsBlack(entry(1))));
  if (!PVCheckDecodeSize(info.width, info.height, bilevel ? 1 : 24, dataBytes, progress)) return;
  // Uncompressed rows are written whole (the guard fills those not reached);
  // run-length data may skip pixels, which keep the fill.
  const bool rle = (info.bitCount == 4 && info.compression == BI_RLE4) ||
                   (info.bitCount == 8 && info.compression == BI_RLE8);
  bitmap->SetSize(1, 1);
  bitmap->SetPixelFormat(bilevel ? pf1bit : pf24bit);
  std::optional<TBitmapRowGuard> guard;
  if (rle) {
    bitmap->SetSize(info.width, info.height);
    bitmap->FillRows(0, 1);  // SetSize kept the old top-left pixel
  } else {
    bitmap->AllocateForOverwrite(info.width, info.height);
    guard.emplace(*bitmap);
  }
  progress.PerUnit = 100.0 / info.height;

  TBmpReader reader(rd, *bitmap, params, progress, info, guard ? &*guard : nullptr);
  DecodePixels(reader, info, encoded);
}

// ---- writing ---------------------------------------------------------------

// Encodes one row of palette indices (one per byte) as RLE8 or RLE4,
// ending with the end-of-line code.
void EncodeRLERow(const uint8_t* idx, int n, bool rle4, std::vector<uint8_t>& out) {
  auto flush = [&](int s, int e) {
    while (s < e) {
      const int a = std::min(e - s, 255);
      const uint8_t* v = idx + s;
      if (a == 1) {
        out.push_back(1);
        out.push_back(rle4 ? uint8_t(v[0] << 4) : v[0]);
      } else if (a == 2) {
        if (rle4) {
          out.push_back(2);
          out.push_back(uint8_t((v[0] << 4) | v[1]));
        } else {
          out.insert(out.end(), {1, v[0], 1, v[1]});
        }
      } else {
        out.push_back(0);
        out.push_back(uint8_t(a));
        int bytes;
        if (rle4) {
          for (int k = 0; k + 1 < a; k += 2) out.push_back(uint8_t((v[k] << 4) | v[k + 1]));
          if (a & 1) out.push_back(uint8_t(v[a - 1] << 4));
          bytes = (a + 1) / 2;
        } else {
          out.insert(out.end(), v, v + a);
          bytes = a;
        }
        if (bytes & 1) out.push_back(0);
      }
      s += a;
    }
  };
  int p = 0, s = 0;
  while (p < n) {
    if (p - s > 255) {
      flush(s, p);
      s = p;
    }
    if (p == n - 1 || idx[p] != idx[p + 1]) {
      ++p;
      continue;
    }
    flush(s, p);
    int e = p + 1;
    while (e < n && idx[e] == idx[p] && e - p < 255) ++e;
    out.push_back(uint8_t(e - p));
    out.push_back(rle4 ? uint8_t((idx[p] << 4) | idx[p]) : idx[p]);
    s = p = e;
  }
  flush(s, n);
  out.push_back(0);
  out.push_back(0);
}

namespace {

// The information header the version asks for (12, 40 or 64 bytes) in `ih`;
// returns its size.
int BuildInfoHeader(uint8_t* ih, const TIOParamsVals& params, int width, int height, int B,
                    bool rle) {
  if (params.BMP_Version == ioBMP_BMOS2V1) {
    PutU32LE(ih, 12);
    PutU16LE(ih + 4, uint16_t(width));
    PutU16LE(ih + 6, uint16_t(height));
    PutU16LE(ih + 8, 1);
    PutU16LE(ih + 10, uint16_t(B));
    return 12;
  }
  const int headerSize = params.BMP_Version == ioBMP_BMOS2V2 ? 64 : 40;
  PutU32LE(ih, uint32_t(headerSize));
  PutU32LE(ih + 4, uint32_t(width));
  PutU32LE(ih + 8, uint32_t(height));
  PutU16LE(ih + 12, 1);
  PutU16LE(ih + 14, uint16_t(B));
  PutU32LE(ih + 16, rle ? (B == 4 ? BI_RLE4 : BI_RLE8) : BI_RGB);
  PutU32LE(ih + 24, uint32_t(static_cast<int32_t>(std::nearbyint(params.DpiX / 2.54 * 100))));
  PutU32LE(ih + 28, uint32_t(static_cast<int32_t>(std::nearbyint(params.DpiY / 2.54 * 100))));
  if (B <= 8) PutU32LE(ih + 32, 1u << B);
  PutU32LE(ih + 36, 1u << B);
  return headerSize;
}

}  // namespace

void WriteBmp(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress) {
  bool localAbort = false;
  bool& aborting = progress.Aborting ? *progress.Aborting : localAbort;
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const bool os2v1 = params.BMP_Version == ioBMP_BMOS2V1;
  if (width <= 0 || height <= 0 || (os2v1 && (width > 65535 || height > 65535))) {
    aborting = true;
    return;
  }
  const int B = (params.BitsPerSample == 1 || params.BitsPerSample == 4) ? params.BitsPerSample
                : params.SamplesPerPixel != 1                            ? 24
                                                                         : 8;
  const bool rle = !os2v1 && params.BMP_Compression == ioBMP_RLE && (B == 4 || B == 8);

  const int64_t P = stream.GetPosition();
  uint8_t fh[14] = {};
  PutU16LE(fh, kBM);
  uint8_t ih[64] = {};
  const int headerSize = BuildInfoHeader(ih, params, width, height, B, rle);
  SafeStreamWrite(stream, aborting, fh, 14);
  SafeStreamWrite(stream, aborting, ih, headerSize);
  if (aborting) return;

  progress.PerUnit = 100.0 / height;
  const int64_t L = _BitmapRowLen(width, B);
  std::vector<uint8_t> row(static_cast<size_t>(L), 0);
  int64_t D = 0;

  auto writeColorMap = [&](const TRGB* map, int count) {
    std::vector<uint8_t> buf;
    for (int i = 0; i < count; ++i) {
      buf.insert(buf.end(), {map[i].b, map[i].g, map[i].r});
      if (!os2v1) buf.push_back(0);
    }
    SafeStreamWrite(stream, aborting, buf.data(), static_cast<int64_t>(buf.size()));
  };
  // A pf24bit view of the source: the bitmap itself or a converted copy.
  std::unique_ptr<TBitmap> copy;
  auto source24 = [&]() -> TBitmap& {
    if (bitmap.GetPixelFormat() == pf24bit) return bitmap;
    copy = std::make_unique<TBitmap>();
    copy->Assign(bitmap);
    copy->SetPixelFormat(pf24bit);
    return *copy;
  };

  if (B == 4 || B == 8) {
    TBitmap& src = source24();
    const int colors = 1 << B;
    std::vector<TRGB> map(colors);
    TPVQuantizer quantizer(src, map.data(), colors - 1, colors, -1, 0);
    params.SetColorMap(map.data(), colors);
    writeColorMap(map.data(), colors);
    D = stream.GetPosition();
    std::vector<uint8_t> idx(static_cast<size_t>(width));
    std::vector<uint8_t> enc;
    for (int y = height - 1; y >= 0 && !aborting; --y) {
      if (progress.Report(static_cast<int>((height - 1 - y) * progress.PerUnit))) break;
      const TRGB* px = reinterpret_cast<const TRGB*>(src.ScanLine(y));
      for (int x = 0; x < width; ++x) idx[x] = static_cast<uint8_t>(quantizer.GetRGBIndex(px[x]));
      if (rle) {
        enc.clear();
        EncodeRLERow(idx.data(), width, B == 4, enc);
        SafeStreamWrite(stream, aborting, enc.data(), static_cast<int64_t>(enc.size()));
      } else {
        std::fill(row.begin(), row.end(), 0);
        if (B == 8) {
          std::memcpy(row.data(), idx.data(), size_t(width));
        } else {
          for (int x = 0; x < width; ++x) row[x >> 1] |= (x & 1) ? idx[x] : uint8_t(idx[x] << 4);
        }
        SafeStreamWrite(stream, aborting, row.data(), L);
      }
    }
    if (rle && !aborting) {
      const uint8_t eob[2] = {0, 1};
      SafeStreamWrite(stream, aborting, eob, 2);
    }
  } else if (B == 1) {
    TRGB map[2] = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    std::unique_ptr<TBitmap> bits;
    const TBitmap* src = &bitmap;
    if (bitmap.GetPixelFormat() != pf1bit) {
      TProgressRec quiet;
      bits = PVReduceToBilevel(bitmap, map[0], map[1], quiet);
      src = bits.get();
    }
    params.SetColorMap(map, 2);
    writeColorMap(map, 2);
    D = stream.GetPosition();
    const int fullBytes = width / 8, rest = width & 7;
    for (int y = height - 1; y >= 0 && !aborting; --y) {
      if (progress.Report(static_cast<int>((height - 1 - y) * progress.PerUnit))) break;
      std::fill(row.begin(), row.end(), 0);
      const uint8_t* s = src->ScanLine(y);
      std::memcpy(row.data(), s, size_t(fullBytes));
      if (rest) row[fullBytes] = uint8_t(s[fullBytes] & (0xFF00 >> rest));
      SafeStreamWrite(stream, aborting, row.data(), L);
    }
  } else {
    TBitmap& src = source24();
    D = stream.GetPosition();
    const size_t bytes = size_t(width) * 3;
    for (int y = height - 1; y >= 0 && !aborting; --y) {
      if (progress.Report(static_cast<int>((height - 1 - y) * progress.PerUnit))) break;
      std::memcpy(row.data(), src.ScanLine(y), bytes);
      SafeStreamWrite(stream, aborting, row.data(), L);
    }
  }
  if (aborting) return;

  const int64_t E = stream.GetPosition();
  PutU32LE(fh + 2, uint32_t(E - P));
  PutU32LE(fh + 10, uint32_t(D - P));
  if (!os2v1) PutU32LE(ih + 20, uint32_t(E - D));
  stream.Seek(P, soBeginning);
  SafeStreamWrite(stream, aborting, fh, 14);
  SafeStreamWrite(stream, aborting, ih, headerSize);
  stream.Seek(E, soBeginning);
}

void ReadAdapter(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
                 bool preview, int64_t blockSize) {
  if (bitmap) {
    BMPReadStream(stream, *bitmap, blockSize, params, progress, preview);
  } else {
    TBitmap scratch;
    BMPReadStream(stream, scratch, blockSize, params, progress, true);
  }
}

}  // namespace

// Rows are read a chunk of about this many bytes at a time (at least one
// row); the file rows of a chunk are contiguous in either row order.
constexpr size_t kBmpRowChunkBytes = 256 * 1024;

struct TPVBmpRows::State {
  explicit State(TStream& stream) : reader(stream) {}
  TStreamReader reader;
  TBmpInfo info;
  int64_t dataStart = 0;
  size_t rowLen = 0;  // file row with its padding
  std::vector<uint8_t> chunk;
  int chunkFirst = 0;  // the first picture row in the chunk
  int chunkRows = 0;
};

TPVBmpRows::TPVBmpRows(TStream& stream, int64_t blockSize, TIOParamsVals& params,
                       TProgressRec& progress)
    : progress_(progress) {
  try {
    const int64_t start = stream.GetPosition();
    state_ = std::make_unique<State>(stream);
    State& st = *state_;
    int64_t encoded = 0;
    if (!ReadBmpHeader(st.reader, start, blockSize, params, progress, st.info, encoded)) return;
    read_ = true;
    // Plain 24-bit rows are the bitmap's own bytes.
    if (st.info.bitCount != 24 || st.info.compression != BI_RGB) return;
    if (!PVCheckDecodeSize(st.info.width, st.info.height, 24,
                           PixelDataBytes(st.reader, start, blockSize), progress))
      return;
    st.dataStart = st.reader.Position();
    st.rowLen = (size_t(st.info.width) * 24 + 31) / 32 * 4;
    const size_t rows = std::max<size_t>(1, kBmpRowChunkBytes / st.rowLen);
    st.chunk.resize(std::min<size_t>(rows, size_t(st.info.height)) * st.rowLen);
    streamable_ = true;
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("BMP: ") + e.what());
  }
}

TPVBmpRows::~TPVBmpRows() = default;

int TPVBmpRows::Width() const {
  return streamable_ ? state_->info.width : 0;
}
int TPVBmpRows::Height() const {
  return streamable_ ? state_->info.height : 0;
}

bool TPVBmpRows::ReadChunk(int y) {
  State& st = *state_;
  const int h = st.info.height;
  const int rows = std::min(int(st.chunk.size() / st.rowLen), h - y);
  // File rows of picture rows y .. y + rows - 1: the same numbers top-down,
  // h - y - rows .. h - y - 1 bottom-up.
  const int firstFileRow = st.info.topDown ? y : h - y - rows;
  const size_t want = size_t(rows) * st.rowLen;
  if (!st.reader.SeekTo(st.dataStart + int64_t(firstFileRow) * int64_t(st.rowLen)) ||
      size_t(st.reader.ReadSome(st.chunk.data(), int64_t(want))) != want) {
    progress_.Fail(TPVErrorCode::Truncated, "BMP data ends early");
    return false;
  }
  st.chunkFirst = y;
  st.chunkRows = rows;
  return true;
}

const uint8_t* TPVBmpRows::Row(int y) {
  if (!streamable_ || y != next_) return nullptr;
  State& st = *state_;
  if (y >= st.chunkFirst + st.chunkRows) {
    try {
      if (!ReadChunk(y)) return nullptr;
    } catch (const std::exception& e) {
      progress_.Fail(TPVErrorCode::ReadError, std::string("BMP: ") + e.what());
      return nullptr;
    }
  }
  ++next_;
  const int inChunk = y - st.chunkFirst;
  const int chunkRow = st.info.topDown ? inChunk : st.chunkRows - 1 - inChunk;
  return &st.chunk[size_t(chunkRow) * st.rowLen];
}

void BMPReadStream(TStream& stream, TBitmap& bitmap, int64_t blockSize, TIOParamsVals& params,
                   TProgressRec& progress, bool preview) {
  try {
    ReadBmp(stream, &bitmap, blockSize, params, progress, preview);
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("BMP: ") + e.what());
  }
}

void BMPWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  try {
    WriteBmp(stream, bitmap, params, progress);
  } catch (const std::exception&) {
    progress.Abort();
  }
}

}  // namespace pictavo

namespace pictavo {

const TPVFormatDef& PVFormatBMP() {
  static constexpr TPVFormatExt kExtensions[] = {
      {"BMP", pvExtAll}, {"DIB", pvExtListedLoad}, {"RLE", pvExtListedLoad}};
  static constexpr TPVSignature kSignatures[] = {
      {7, 14, [](const uint8_t* h) { return h[0] == 'B' && h[1] == 'M'; }}};
  static const TPVFormatDef def{.FileType = ftBMP,
                                .Description = "Windows Bitmap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {ReadAdapter, BMPWriteStream, nullptr},
                                .FileSizeIsBlock = true,
                                .StreamLoadSetsResolution = false};
  return def;
}

}  // namespace pictavo
