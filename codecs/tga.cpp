#include "codecs/tga.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/raster_common.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/streamreader.h"
#include "formats/registry.h"

namespace pictavo {

namespace {

constexpr char kSignature[18] = "TRUEVISION-XFILE.";  // with its terminating zero: 18 bytes
constexpr int kExtensionSize = 495;

bool ValidType(int type) {
  return type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
}
bool ValidDepth(int depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

// Days from the civil date to 1970-01-01 (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kDelphiEpoch = -25569;  // 1899-12-30 in days from 1970-01-01

bool ValidDate(int y, int m, int d) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  int dim = kDays[m - 1];
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
  return d <= dim;
}

std::string FixedString(const uint8_t* p, size_t max) {
  size_t n = 0;
  while (n < max && p[n]) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

void ReadExtensionArea(TStreamReader& reader, int64_t start, TIOParamsVals& params) {
  if (reader.End() - start < 18 + 26) return;
  uint8_t footer[26];
  if (!reader.SeekTo(reader.End() - 26) || !reader.Read(footer, 26)) return;
  if (std::memcmp(footer + 8, kSignature, 18) != 0) return;
  const int64_t offset = GetU32LE(footer);
  // The area must lie inside the stream, after the header and before the footer.
  if (offset < 18 || start + offset + kExtensionSize > reader.End() - 26) return;
  uint8_t e[kExtensionSize];
  if (!reader.SeekTo(start + offset) || !reader.Read(e, kExtensionSize)) return;
  params.TGA_Author = FixedString(e + 2, 41);
  const int month = GetU16LE(e + 367), day = GetU16LE(e + 369), year = GetU16LE(e + 371);
  const int hour = GetU16LE(e + 373), minute = GetU16LE(e + 375), second = GetU16LE(e + 377);
  if (month && day && year && ValidDate(year, month, day) && hour < 24 && minute < 60 &&
      second < 60)
    params.TGA_Date = double(DaysFromCivil(year, month, day) - kDelphiEpoch) +
                      (hour * 3600 + minute * 60 + second) / 86400.0;
  params.TGA_ImageName = FixedString(e + 379, 41);
  params.TGA_Background = raster::Rgb(e[471], e[472], e[473]);
  const int an = GetU16LE(e + 474), ad = GetU16LE(e + 476), gn = GetU16LE(e + 478),
            gd = GetU16LE(e + 480);
  if (an && ad) params.TGA_AspectRatio = double(an) / ad;
  if (gn && gd) params.TGA_Gamma = double(gn) / gd;
}

// Reads one row of pixel units (bytes of 8 pixels for depth 1, of 2 for
// depth 4, else one pixel) raw or run-length coded.
class TTgaRowReader {
 public:
  TTgaRowReader(raster::TByteSource& source, int unitBytes, bool rle)
      : src_(source), unit_(unitBytes), rle_(rle) {}
  // Fills units x unitBytes bytes; false when the data ran out (the rest is zeroed).
  bool Read(uint8_t* dest, int units) {
    const size_t total = size_t(units) * unit_;
    if (!rle_) {
      size_t n = src_.Read(dest, total);
      if (n < total) std::memset(dest + n, 0, total - n);
      return n == total;
    }
    int done = 0;
    while (done < units) {
      int h = src_.Get();
      if (h < 0) break;
      const int count = (h & 127) + 1;
      const int keep = std::min(count, units - done);  // pixels beyond the row are dropped
      uint8_t value[4];
      if (h & 128) {
        if (src_.Read(value, unit_) < size_t(unit_)) break;
        for (int i = 0; i < keep; ++i) std::memcpy(dest + size_t(done + i) * unit_, value, unit_);
      } else {
        size_t want = size_t(keep) * unit_;
        if (src_.Read(dest + size_t(done) * unit_, want) < want) break;
        for (int i = keep; i < count; ++i)
          if (src_.Read(value, unit_) < size_t(unit_)) return Fail(dest, done + keep, units);
      }
      done += keep;
    }
    if (done < units) return Fail(dest, done, units);
    return true;
  }

 private:
  bool Fail(uint8_t* dest, int done, int units) {
    std::memset(dest + size_t(done) * unit_, 0, size_t(units - done) * unit_);
    return false;
  }
  raster::TByteSource& src_;
  int unit_;
  bool rle_;
};

void StoreRGB(uint8_t* p, const TRGB& c) {
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

// Run-length encodes one row of pixels of `unit` bytes.
void EncodeRow(const uint8_t* row, int width, int unit, std::vector<uint8_t>& out) {
  out.clear();
  auto same = [&](int a, int b) {
    return std::memcmp(row + size_t(a) * unit, row + size_t(b) * unit, unit) == 0;
  };
  int x = 0;
  while (x < width) {
    int run = 1;
    while (x + run < width && run < 128 && same(x, x + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>((run - 1) | 128));
      out.insert(out.end(), row + size_t(x) * unit, row + size_t(x + 1) * unit);
      x += run;
      continue;
    }
    // A raw packet of pixels that each differ from their successor; the last
    // pixel of the row belongs to it.
    int n = 1;
    while (x + n < width && n < 128 && (x + n == width - 1 || !same(x + n, x + n + 1))) ++n;
    out.push_back(static_cast<uint8_t>(n - 1));
    out.insert(out.end(), row + size_t(x) * unit, row + size_t(x + n) * unit);
    x += n;
  }
}

}  // namespace

bool TryTGA(TStream& stream) {
  const int64_t pos = stream.GetPosition();
  uint8_t h[18];
  bool ok = false;
  try {
    TStreamReader reader(stream);
    if (reader.Read(h, 18)) {
      const bool pxm =
          h[0] == 'P' && h[1] >= '2' && h[1] <= '6' && (h[2] == ' ' || h[2] == '#' || h[2] == '\n');
      ok = !pxm && ValidType(h[2]) && ValidDepth(h[16]);
    }
  } catch (const std::exception&) {
    ok = false;
  }
  stream.Seek(pos, soBeginning);
  return ok;
}

namespace {

constexpr int kHeaderSize = 18;
constexpr int kFirstRleType = 9;  // types 9 to 11 are run-length coded
constexpr int kDescTopDown = 0x20, kDescRightToLeft = 0x10;

struct TgaHeader {
  int idLength, cmType, type, cmFirst, cmLength, cmBits, width, height, depth, descriptor;
};

TgaHeader ParseHeader(const uint8_t* h) {
  return TgaHeader{
      h[0],  h[1], h[2], GetU16LE(h + 3), GetU16LE(h + 5), h[7], GetU16LE(h + 12), GetU16LE(h + 14),
      h[16], h[17]};
}

// The colour table: the file's colour map, a grey ramp for 8-bit images
// without one, black and white for 1-bit images, else a 3-3-2 colour cube.
// False when the colour map is cut short.
bool ReadColorTable(TStreamReader& reader, const TgaHeader& hd, TRGB* table,
                    TIOParamsVals& params) {
  constexpr int kTableSize = 256;
  for (int i = 0; i < kTableSize; ++i)
    table[i] = raster::Rgb((i / 32) * 32 + 28, ((i / 4) % 8) * 32 + 28, (i % 4) * 64 + 60);
  if (hd.cmType == 1) {
    const int entryBytes = (hd.cmBits + 7) / 8;
    std::vector<uint8_t> map;
    if (!reader.ReadBytes(map, int64_t(entryBytes) * hd.cmLength)) return false;
    // Entries are placed from the first index on; those beyond 256 are skipped.
    for (int i = 0; i < hd.cmLength && hd.cmFirst + i < kTableSize; ++i) {
      const uint8_t* e = map.data() + size_t(i) * entryBytes;
      if (hd.cmBits == 15 || hd.cmBits == 16)
        table[hd.cmFirst + i] = raster::Rgb555(uint32_t(GetU16LE(e)));
      else if (hd.cmBits == 24 || hd.cmBits == 32)
        table[hd.cmFirst + i] = raster::Rgb(e[2], e[1], e[0]);
    }
    params.SetColorMap(table, std::min(kTableSize, hd.cmFirst + hd.cmLength));
    params.TGA_GrayLevel = false;
    return true;
  }
  params.FreeColorMap();
  if (hd.depth == 8) {
    for (int i = 0; i < kTableSize; ++i) table[i] = raster::Rgb(i, i, i);
    params.TGA_GrayLevel = true;
  } else if (hd.depth == 1) {
    table[0] = raster::Rgb(0, 0, 0);
    table[1] = raster::Rgb(255, 255, 255);
  }
  return true;
}

void SetSampleParams(int depth, TIOParamsVals& params) {
  switch (depth) {
    case 24:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 3;
      break;
    case 32:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 4;
      break;
    case 16:
      params.BitsPerSample = 5;
      params.SamplesPerPixel = 3;
      break;
    case 1:
    case 4:
      params.BitsPerSample = depth;
      params.SamplesPerPixel = 1;
      break;
    default:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 1;
      break;
  }
}

// Decodes rows of one image into a bitmap.
struct TgaRowDecoder {
  int width, depth, units;
  bool bw, invert, rightToLeft;
  const TRGB* table;
  std::vector<uint8_t> line;

  // Packed bits, inverted when set bits are white, mirrored when stored right to left.
  void Bilevel(const uint8_t* s, uint8_t* row) const {
    std::vector<uint8_t> bits(s, s + units);
    if (invert) raster::InvertBytes(bits.data(), units);
    if (rightToLeft) {
      std::vector<uint8_t> rev(units, 0);
      for (int x = 0; x < width; ++x)
        if (bits[x >> 3] & (0x80 >> (x & 7)))
          rev[(width - 1 - x) >> 3] |= 0x80 >> ((width - 1 - x) & 7);
      bits.swap(rev);
    }
    std::memcpy(row, bits.data(), units);
  }

  void Colour(const uint8_t* s, uint8_t* row) {
    uint8_t* d = line.data();
    switch (depth) {
      case 1:
        raster::BitsToBGR(s, d, width, table[0], table[1]);
        break;
      case 4:
        for (int x = 0; x < width; ++x)
          StoreRGB(d + 3 * x, table[(x & 1) ? (s[x >> 1] & 15) : (s[x >> 1] >> 4)]);
        break;
      case 8:
        for (int x = 0; x < width; ++x) StoreRGB(d + 3 * x, table[s[x]]);
        break;
      case 16:
        for (int x = 0; x < width; ++x) {
          const TRGB c = raster::Rgb555(GetU16LE(s + 2 * x));
          std::memcpy(d + 3 * x, &c, 3);
        }
        break;
      case 24:
        std::memcpy(d, s, size_t(width) * 3);
        break;
      case 32:
        for (int x = 0; x < width; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
        break;
    }
    if (rightToLeft)
      for (int a = 0, b = width - 1; a < b; ++a, --b)
        std::swap_ranges(d + 3 * a, d + 3 * a + 3, d + 3 * b);
    std::memcpy(row, d, size_t(width) * 3);
  }
};

// Decodes the pixel data into the sized bitmap; stops when aborted and
// aborts when the data is cut short.
void DecodePixels(TStreamReader& reader, const TgaHeader& hd, const TRGB* table, bool bw,
                  TBitmap& bitmap, TBitmapRowGuard& guard, TProgressRec& progress) {
  const int width = hd.width, height = hd.height, depth = hd.depth;
  const int unitBytes = depth <= 8 ? 1 : depth / 8;
  const int units = depth == 1 ? (width + 7) / 8 : depth == 4 ? (width + 1) / 2 : width;
  raster::TByteSource source(reader);
  TTgaRowReader rows(source, unitBytes, hd.type >= kFirstRleType);
  std::vector<uint8_t> raw(size_t(units) * unitBytes);
  TgaRowDecoder dec{width,
                    depth,
                    units,
                    bw,
                    bw && raster::IsWhite(table[0]),
                    (hd.descriptor & kDescRightToLeft) != 0,
                    table,
                    std::vector<uint8_t>(size_t(width) * 3)};
  const bool topDown = hd.descriptor & kDescTopDown;
  progress.PerUnit = 100.0 / height;
  progress.Current = 0;
  for (int i = 0; i < height; ++i) {
    const int y = topDown ? i : height - 1 - i;
    const bool complete = rows.Read(raw.data(), units);
    if (bw)
      dec.Bilevel(raw.data(), bitmap.ScanLine(y));
    else
      dec.Colour(raw.data(), bitmap.ScanLine(y));
    guard.Written(y);  // a row cut short is completed with zeros above
    ++progress.Current;
    if (progress.Report(static_cast<int>(progress.Current * progress.PerUnit))) return;
    if (!complete) {
      progress.Fail(TPVErrorCode::Truncated, "TGA data ends early");
      return;
    }
  }
}

void ResetExtensionParams(TIOParamsVals& params) {
  constexpr double kDefaultGamma = 2.2;
  params.TGA_Author.clear();
  params.TGA_ImageName.clear();
  params.TGA_Date = PVDateToday();
  params.TGA_Background = TRGB{};
  params.TGA_AspectRatio = 1.0;
  params.TGA_Gamma = kDefaultGamma;
}

}  // namespace

void ReadTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress,
                   bool preview) {
  try {
    TStreamReader reader(stream);
    const int64_t start = reader.Start();
    ResetExtensionParams(params);
    ReadExtensionArea(reader, start, params);

    uint8_t h[kHeaderSize];
    if (!reader.SeekTo(start) || !reader.Read(h, kHeaderSize)) {
      progress.Fail(TPVErrorCode::Truncated, "TGA header ends early");
      return;
    }
    const TgaHeader hd = ParseHeader(h);
    params.TGA_XPos = GetU16LE(h + 8);
    params.TGA_YPos = GetU16LE(h + 10);
    if (!ValidType(hd.type) || !ValidDepth(hd.depth)) {
      progress.Fail(TPVErrorCode::Unsupported, "TGA type " + std::to_string(hd.type) + " of " +
                                                   std::to_string(hd.depth) +
                                                   " bits not supported");
      return;
    }
    uint8_t id[256];
    if (!reader.Read(id, hd.idLength)) {
      progress.Fail(TPVErrorCode::Truncated, "TGA header ends early");
      return;
    }
    params.TGA_Descriptor = FixedString(id, hd.idLength);

    TRGB table[256];
    if (!ReadColorTable(reader, hd, table, params)) {
      progress.Fail(TPVErrorCode::Corrupt, "TGA colour map not valid");
      return;
    }
    params.TGA_Compressed = hd.type >= kFirstRleType;
    params.Width = hd.width;
    params.Height = hd.height;
    params.DpiX = gSystemDPIX;
    params.DpiY = gSystemDPIY;
    SetSampleParams(hd.depth, params);
    if (preview) return;
    // Two colours that are black and white load as pf1bit, others as pf24bit.
    const bool bw = hd.depth == 1 && ((raster::IsBlack(table[0]) && raster::IsWhite(table[1])) ||
                                      (raster::IsWhite(table[0]) && raster::IsBlack(table[1])));
    // The pixels lie between here and the end of the stream.
    if (!PVCheckDecodeSize(hd.width, hd.height, bw ? 1 : 24, reader.Remaining(), progress)) return;
    // Every row reached is written whole; the guard fills the others.
    raster::SizeBitmapForRows(bitmap, bw ? pf1bit : pf24bit, hd.width, hd.height);
    TBitmapRowGuard guard(bitmap);
    DecodePixels(reader, hd, table, bw, bitmap, guard, progress);
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("TGA: ") + e.what());
  }
}

int _ConvertXBitsToYBits(const uint8_t* source, uint8_t* dest, int sourceBits, int destBits,
                         int width, const TRGB* palette, TPVQuantizer* quantizer) {
  int len;
  switch (destBits) {
    case 1:
      len = (width + 7) / 8;
      break;
    case 4:
      len = (width + 1) / 2;
      break;
    case 8:
      len = width;
      break;
    case 24:
      len = 3 * width;
      break;
    default:
      return 0;
  }
  auto bit = [&](int x) { return (source[x >> 3] >> (7 - (x & 7))) & 1; };
  auto nibble = [&](int x) { return (x & 1) ? (source[x >> 1] & 15) : (source[x >> 1] >> 4); };
  auto put = [&](int x, const TRGB& c) { std::memcpy(dest + 3 * x, &c, 3); };
  if (sourceBits == destBits && sourceBits != 32) {
    std::memcpy(dest, source, len);
  } else if (sourceBits == 1 && destBits == 4) {
    for (int x = 0; x < width; ++x) dest[x >> 1] |= bit(x) << ((x & 1) ? 0 : 4);
  } else if (sourceBits == 1 && destBits == 8) {
    for (int x = 0; x < width; ++x) dest[x] = uint8_t(bit(x));
  } else if (sourceBits == 1 && destBits == 24) {
    for (int x = 0; x < width; ++x) put(x, palette[bit(x)]);
  } else if (sourceBits == 4 && destBits == 8) {
    for (int x = 0; x < width; ++x) dest[x] = uint8_t(nibble(x));
  } else if (sourceBits == 4 && destBits == 24) {
    for (int x = 0; x < width; ++x) put(x, palette[nibble(x)]);
  } else if (sourceBits == 8 && destBits == 1) {
    std::memset(dest, 0, len);
    for (int x = 0; x < width; ++x) dest[x >> 3] |= uint8_t((source[x] & 1) << (7 - (x & 7)));
  } else if (sourceBits == 8 && destBits == 24) {
    for (int x = 0; x < width; ++x) put(x, palette[source[x]]);
  } else if (sourceBits == 24 && destBits == 4 && quantizer) {
    for (int x = 0; x < width; ++x) {
      TRGB c;
      std::memcpy(&c, source + 3 * x, 3);
      dest[x >> 1] |= uint8_t((quantizer->GetRGBIndex(c) & 15) << ((x & 1) ? 0 : 4));
    }
  } else if (sourceBits == 24 && destBits == 8 && quantizer) {
    for (int x = 0; x < width; ++x) {
      TRGB c;
      std::memcpy(&c, source + 3 * x, 3);
      dest[x] = uint8_t(quantizer->GetRGBIndex(c));
    }
  } else if (sourceBits == 32 && destBits == 24) {
    for (int x = 0; x < width; ++x) std::memcpy(dest + 3 * x, source + 4 * x, 3);
  }
  return len;
}

namespace {

// The extension area (author, job name, date, key colour, aspect ratio and
// gamma) and the footer that points at it from `extOffset`.
void WriteExtensionAndFooter(TStream& stream, const TIOParamsVals& params, int64_t extOffset,
                             bool& aborting) {
  uint8_t e[kExtensionSize] = {};
  PutU16LE(e, kExtensionSize);
  std::memcpy(e + 2, params.TGA_Author.data(), std::min<size_t>(40, params.TGA_Author.size()));
  std::memcpy(e + 379, params.TGA_ImageName.data(),
              std::min<size_t>(40, params.TGA_ImageName.size()));
  if (params.TGA_Date > 0 && params.TGA_Date < 2958466) {
    const double date = params.TGA_Date;
    const int64_t days = static_cast<int64_t>(std::floor(date));
    int y, m, d;
    CivilFromDays(days + kDelphiEpoch, y, m, d);
    int secs = static_cast<int>(std::nearbyint((date - double(days)) * 86400.0));
    if (secs >= 86400) secs = 86399;
    PutU16LE(e + 367, uint16_t(m));
    PutU16LE(e + 369, uint16_t(d));
    PutU16LE(e + 371, uint16_t(y));
    PutU16LE(e + 373, uint16_t(secs / 3600));
    PutU16LE(e + 375, uint16_t((secs / 60) % 60));
    PutU16LE(e + 377, uint16_t(secs % 60));
  }
  e[471] = params.TGA_Background.r;
  e[472] = params.TGA_Background.g;
  e[473] = params.TGA_Background.b;
  auto ratio = [](double v) {
    return static_cast<uint16_t>(std::clamp<double>(std::trunc(v * 10000), 0, 65535));
  };
  PutU16LE(e + 474, ratio(params.TGA_AspectRatio));
  PutU16LE(e + 476, 10000);
  PutU16LE(e + 478, ratio(params.TGA_Gamma));
  PutU16LE(e + 480, 10000);
  SafeStreamWrite(stream, aborting, e, kExtensionSize);
  uint8_t footer[26] = {};
  PutU32LE(footer, static_cast<uint32_t>(extOffset));
  std::memcpy(footer + 8, kSignature, 18);
  SafeStreamWrite(stream, aborting, footer, 26);
}

}  // namespace

void WriteTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  const TPixelFormat format = bitmap.GetPixelFormat();
  if (format != pf24bit && format != pf1bit) return;
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
    progress.Abort();
    return;
  }
  raster::TAbortRef aborting(progress);
  const int64_t start = stream.GetPosition();
  int depth = 24;
  if (params.SamplesPerPixel == 1) {
    if (params.BitsPerSample == 1)
      depth = 1;
    else if (params.BitsPerSample == 4)
      depth = 4;
    else if (params.BitsPerSample == 8)
      depth = 8;
  }
  TBitmap* source = &bitmap;
  std::unique_ptr<TBitmap> scratch;
  TRGB palette[256] = {};
  palette[1] = raster::Rgb(255, 255, 255);
  std::unique_ptr<TPVQuantizer> quantizer;
  const bool grey = depth == 8 && params.TGA_GrayLevel;
  // One bit per pixel is written as 8-bit indices into a map of the two
  // colours: packed 1-bit TGA data is not read by other programs.
  const bool oneBit = depth == 1;
  if (oneBit) {
    if (format != pf1bit) {
      scratch = PVReduceToBilevel(bitmap, palette[0], palette[1], progress);
      source = scratch.get();
    }
    params.TGA_Compressed = false;
  } else if (depth == 4 || (depth == 8 && !grey)) {
    if (depth == 4) params.TGA_Compressed = false;
    if (format == pf24bit) {
      quantizer = std::make_unique<TPVQuantizer>(bitmap, palette, 0, depth == 4 ? 16 : 256);
    }  // a pf1bit source keeps palette black, white and indices 0 and 1
    params.SetColorMap(palette, 1 << depth);
  }
  const bool compressed = params.TGA_Compressed && (depth == 8 || depth == 24);
  const bool hasMap = oneBit || depth == 4 || (depth == 8 && !grey);
  const int mapEntries = oneBit ? 2 : 1 << depth;
  const int pixelDepth = oneBit ? 8 : depth;

  std::string desc = params.TGA_Descriptor.substr(0, 254);
  uint8_t h[18] = {};
  h[0] = static_cast<uint8_t>(desc.size() + 1);
  if (grey) {
    h[2] = compressed ? 11 : 3;
  } else if (hasMap) {
    h[1] = 1;
    h[2] = compressed ? 9 : 1;
    PutU16LE(h + 5, static_cast<uint16_t>(mapEntries));
    h[7] = 24;
  } else {
    h[2] = compressed ? 10 : 2;
  }
  PutU16LE(h + 8, static_cast<uint16_t>(params.TGA_XPos));
  PutU16LE(h + 10, static_cast<uint16_t>(params.TGA_YPos));
  PutU16LE(h + 12, static_cast<uint16_t>(width));
  PutU16LE(h + 14, static_cast<uint16_t>(height));
  h[16] = static_cast<uint8_t>(pixelDepth);
  h[17] = 32;
  SafeStreamWrite(stream, aborting.Flag(), h, 18);
  SafeStreamWrite(stream, aborting.Flag(), desc.c_str(), int64_t(desc.size()) + 1);
  if (hasMap) SafeStreamWrite(stream, aborting.Flag(), palette, int64_t(3) * mapEntries);

  const int srcBits = source->GetPixelFormat() == pf1bit ? 1 : 24;
  std::vector<uint8_t> out(size_t(width) * 3 + 8), encoded;
  progress.PerUnit = 100.0 / height;
  progress.Current = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = source->ScanLine(y);
    int len;
    std::fill(out.begin(), out.end(), 0);
    if (oneBit) {
      len = width;
      for (int x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    } else if (grey) {
      len = width;
      if (srcBits == 1) {
        for (int x = 0; x < width; ++x) out[x] = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
      } else {
        for (int x = 0; x < width; ++x)
          out[x] = uint8_t(raster::StoredGrey(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
      }
    } else {
      len = _ConvertXBitsToYBits(row, out.data(), srcBits, depth, width, palette, quantizer.get());
    }
    if (compressed) {
      EncodeRow(out.data(), width, depth / 8, encoded);
      SafeStreamWrite(stream, aborting.Flag(), encoded.data(), int64_t(encoded.size()));
    } else {
      SafeStreamWrite(stream, aborting.Flag(), out.data(), len);
    }
    ++progress.Current;
    progress.Report(static_cast<int>(progress.Current * progress.PerUnit));
  }

  WriteExtensionAndFooter(stream, params, stream.GetPosition() - start, aborting.Flag());
}

namespace {

void TgaRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
             bool preview, int64_t) {
  TBitmap dummy;
  ReadTGAStream(stream, bitmap ? *bitmap : dummy, params, progress, preview || !bitmap);
}

}  // namespace

const TPVFormatDef& PVFormatTGA() {
  static constexpr TPVFormatExt kExtensions[] = {
      {"TGA", pvExtAll},        {"TARGA", pvExtListedLoad}, {"VDA", pvExtListedLoad},
      {"ICB", pvExtListedLoad}, {"VST", pvExtListedLoad},   {"PIX", pvExtListed},
      {"WIN", pvExtLoad}};
  static constexpr TPVSignature kSignatures[] = {{14, -1, nullptr}};
  static const TPVFormatDef def{.FileType = ftTGA,
                                .Description = "Targa Bitmap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {TgaRead, WriteTGAStream, TryTGA},
                                .StreamLoadSetsResolution = false};
  return def;
}

}  // namespace pictavo
