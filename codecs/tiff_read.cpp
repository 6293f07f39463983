// TIFF reader: header, IFD chain, tags, strips and tiles, row decoding and
// conversion into pf1bit or pf24bit bitmaps.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "codecs/packbits.h"
#include "codecs/tiff.h"
#include "codecs/tiff_internal.h"
#include "codecs/tiffccitt.h"
#include "codecs/tiffpredict.h"
#include "core/pvdefs.h"
#include "core/rowconv.h"
#include "core/streamreader.h"

namespace pictavo {

namespace {

constexpr int kMaxIFDs = 65536;
const int kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

struct Entry {
  uint16_t tag, type;
  uint32_t count;
  uint8_t value[4];
};

// The file's bytes are accessed through a bounded view of the stream: every
// read is checked against the stream size, offsets are relative to the start
// of the TIFF data.
class TiffFile {
 public:
  TiffFile(TStream& s, int64_t limit) : stream(s) {
    base = s.GetPosition();
    size = std::max<int64_t>(s.GetSize() - base, 0);
    if (limit >= 0 && limit < size) size = limit;
    readBudget = std::max(kMinReadBudget, size * kReadBudgetFactor);
  }
  // Strip and tile bytes read so far are charged here: strips that overlap
  // or share their data cannot make the work outgrow the file.
  bool Charge(int64_t n) {
    readBudget -= n;
    return readBudget >= 0;
  }
  bool ReadAt(int64_t off, void* buf, int64_t n) {
    if (off < 0 || n < 0 || off > size || n > size - off) return false;
    if (stream.Seek(base + off, soBeginning) != base + off) return false;
    return stream.Read(buf, n) == n;
  }
  uint16_t U16(const uint8_t* p) const { return le ? GetU16LE(p) : GetU16BE(p); }
  uint32_t U32(const uint8_t* p) const { return le ? GetU32LE(p) : GetU32BE(p); }

  static constexpr int64_t kReadBudgetFactor = 16;
  static constexpr int64_t kMinReadBudget = int64_t(64) << 20;
  TStream& stream;
  int64_t base, size;
  int64_t readBudget = 0;
  bool le = true;
};

struct Page {
  std::vector<Entry> entries;
  const Entry* Find(uint16_t tag) const {
    for (const Entry& e : entries)
      if (e.tag == tag) return &e;
    return nullptr;
  }
};

// Values of an integer entry (BYTE, SHORT, LONG and their signed forms).
// Values that fit in four bytes are inside the entry, others at its offset.
bool GetValues(TiffFile& f, const Entry& e, std::vector<uint32_t>& out, uint32_t maxCount) {
  out.clear();
  if (e.type >= 13) return false;
  int sz = kTypeSize[e.type];
  if (sz != 1 && sz != 2 && sz != 4) return false;
  if (e.count == 0 || e.count > maxCount) return false;
  int64_t total = int64_t(e.count) * sz;
  std::vector<uint8_t> raw;
  const uint8_t* p = e.value;
  if (total > 4) {
    raw.resize(static_cast<size_t>(total));
    if (!f.ReadAt(f.U32(e.value), raw.data(), total)) return false;
    p = raw.data();
  }
  out.resize(e.count);
  for (uint32_t i = 0; i < e.count; ++i) {
    if (sz == 1)
      out[i] = p[i];
    else if (sz == 2)
      out[i] = f.U16(p + 2 * i);
    else
      out[i] = f.U32(p + 4 * i);
  }
  return true;
}

uint32_t GetScalar(TiffFile& f, const Page& pg, uint16_t tag, uint32_t def) {
  const Entry* e = pg.Find(tag);
  if (!e) return def;
  std::vector<uint32_t> v;
  if (!GetValues(f, *e, v, 1u << 20) || v.empty()) return def;
  return v[0];
}

double GetRational(TiffFile& f, const Page& pg, uint16_t tag) {
  const Entry* e = pg.Find(tag);
  if (!e) return 0;
  if (e->type == 5 || e->type == 10) {
    uint8_t b[8];
    if (!f.ReadAt(f.U32(e->value), b, 8)) return 0;
    uint32_t n = f.U32(b), d = f.U32(b + 4);
    if (d == 0) d = 1;
    if (e->type == 10) return double(int32_t(n)) / double(int32_t(d));
    return double(n) / double(d);
  }
  std::vector<uint32_t> v;
  if (GetValues(f, *e, v, 1) && !v.empty()) return v[0];
  return 0;
}

std::string GetString(TiffFile& f, const Page& pg, uint16_t tag) {
  const Entry* e = pg.Find(tag);
  if (!e || e->count == 0 || e->count > (1u << 20)) return {};
  std::string s(e->count, '\0');
  if (e->count <= 4)
    std::memcpy(s.data(), e->value, e->count);
  else if (!f.ReadAt(f.U32(e->value), s.data(), e->count))
    return {};
  // The terminating zero (and anything after it) is not part of the text.
  size_t z = s.find('\0');
  if (z != std::string::npos) s.resize(z);
  return s;
}

// PageNumber holds two SHORTs, which fit in the entry.  Files of an older
// layout of this library store them at an offset instead.  The two are told
// apart by plausibility: the inline pair is taken when it is a sensible page
// pair (page number below a non-zero page count, or both zero).  Otherwise,
// when the 32-bit value is a position inside the file and the two SHORTs
// stored there form a sensible pair, those are taken; failing that, the
// inline pair stands.
void GetPageNumber(TiffFile& f, const Page& pg, int32_t& number, int32_t& count) {
  number = count = 0;
  const Entry* e = pg.Find(kTagPageNumber);
  if (!e || e->type != 3 || e->count < 2) return;
  auto sensible = [](uint32_t n, uint32_t c) { return c != 0 ? n < c : n == 0; };
  if (e->count == 2) {
    uint32_t n = f.U16(e->value), c = f.U16(e->value + 2);
    if (!sensible(n, c)) {
      uint32_t off = f.U32(e->value);
      uint8_t b[4];
      if (off >= 8 && f.ReadAt(off, b, 4) && sensible(f.U16(b), f.U16(b + 2))) {
        n = f.U16(b);
        c = f.U16(b + 2);
      }
    }
    number = int32_t(n);
    count = int32_t(c);
    return;
  }
  std::vector<uint32_t> v;
  if (GetValues(f, *e, v, 1024) && v.size() >= 2) {
    number = int32_t(v[0]);
    count = int32_t(v[1]);
  }
}

struct Vars {
  uint32_t width = 0, height = 0, spp = 1, bps = 1, rowsPerStrip = 0;
  int64_t tileW = -1, tileL = -1;
  uint32_t photometric = 2, planar = 1, compression = 1;
  std::vector<uint32_t> stripOffsets, stripCounts, tileOffsets, tileCounts;
  std::vector<TRGB> colorMap;
  uint32_t predictor = 1, t4 = 0, fillOrder = 1;
  std::string software;
  std::vector<uint8_t> jpegTables;  // JPEGTables: the tables every JPEG strip shares
  TTIFFLZWDecompFunc lzw = nullptr;
};

// Everything a row needs to get from the decoded bytes into the bitmap.
struct Converter {
  Vars* v;
  bool bilevel;  // pf1bit target
  bool invert1;  // bilevel bits to invert
  int rowBytes;  // decoded bytes per row of one plane (planar) or pixel row
  int width;     // pixels per row (strip width or tile width)
  uint8_t greyMap[256];
  std::vector<uint8_t> unpacked;

  void Setup() {
    unpacked.resize(size_t(width) * v->spp + 16);
    int maxv = (1 << std::min<uint32_t>(v->bps, 8)) - 1;
    for (int i = 0; i < 256; ++i) {
      int g = v->bps >= 8 ? i : std::min(i, maxv) * 255 / maxv;
      greyMap[i] = static_cast<uint8_t>(v->photometric == 0 ? 255 - g : g);
    }
  }

  // Converts one chunky row (all samples of each pixel together) into dest.
  // Returns false when the combination has no conversion.
  bool Convert(const uint8_t* src, uint8_t* dest, int pixels, bool le) {
    const uint32_t P = v->photometric, S = v->spp, B = v->bps;
    if (bilevel) {
      int n = (pixels + 7) / 8;
      if (invert1)
        for (int i = 0; i < n; ++i) dest[i] = static_cast<uint8_t>(~src[i]);
      else
        std::memcpy(dest, src, size_t(n));
      return true;
    }
    // Samples below 8 bits become one byte each.
    const uint8_t* s = src;
    if (B < 8) {
      int total = pixels * int(S);
      uint8_t* u = unpacked.data();
      int mask = (1 << B) - 1;
      for (int i = 0; i < total; ++i) {
        int64_t bit = int64_t(i) * B;
        int byte = int(bit >> 3), shift = int(bit & 7);
        unsigned w =
            (unsigned(src[byte]) << 8) | ((bit + B > int64_t(byte + 1) * 8) ? src[byte + 1] : 0);
        u[i] = static_cast<uint8_t>((w >> (16 - shift - B)) & mask);
      }
      s = u;
    }
    TRGB* d = reinterpret_cast<TRGB*>(dest);
    if (B == 16 && P == 2 && S == 1) {
      for (int x = 0; x < pixels; ++x) {
        unsigned w = le ? GetU16LE(s + 2 * x) : GetU16BE(s + 2 * x);
        d[x].r = uint8_t(((w >> 10) & 31) << 3);
        d[x].g = uint8_t(((w >> 5) & 31) << 3);
        d[x].b = uint8_t((w & 31) << 3);
      }
      return true;
    }
    if (B == 16) {
      // The most significant byte of each sample.
      uint8_t* u = unpacked.data();
      int total = pixels * int(S);
      int hi = le ? 1 : 0;
      bool molli = P <= 1 && v->software.compare(0, 15, "Look@Molli v1.1") == 0;
      for (int i = 0; i < total; ++i) {
        if (molli) {
          unsigned w = le ? GetU16LE(s + 2 * i) : GetU16BE(s + 2 * i);
          u[i] = uint8_t(std::min(w >> 4, 255u));
        } else {
          u[i] = s[2 * i + hi];
        }
      }
      s = u;
    } else if (B != 8 && B >= 8) {
      return false;
    }
    switch (P) {
      case 0:
      case 1:
        for (int x = 0; x < pixels; ++x) {
          uint8_t g = B == 16 ? (P == 0 ? 255 - s[x * S] : s[x * S]) : greyMap[s[x * S]];
          d[x].r = d[x].g = d[x].b = g;
        }
        return true;
      case 2:
        if (S < 3) return false;
        if (S == 3) {
          PVSwapRB24(s, dest, pixels);
          return true;
        }
        for (int x = 0; x < pixels; ++x, s += S) {
          d[x].r = s[0];
          d[x].g = s[1];
          d[x].b = s[2];
        }
        return true;
      case 3: {
        if (B > 8 || v->colorMap.empty()) return false;
        size_t n = v->colorMap.size();
        for (int x = 0; x < pixels; ++x) {
          uint8_t i = s[x * S];
          d[x] = i < n ? v->colorMap[i] : TRGB{};
        }
        return true;
      }
      case 5:
        if (S < 4) return false;
        for (int x = 0; x < pixels; ++x, s += S) {
          int k = 255 - s[3];
          d[x].r = uint8_t((255 - s[0]) * k / 255);
          d[x].g = uint8_t((255 - s[1]) * k / 255);
          d[x].b = uint8_t((255 - s[2]) * k / 255);
        }
        return true;
      case 8:
        if (S < 3) return false;
        for (int x = 0; x < pixels; ++x, s += S) LabToRGB(s[0], int8_t(s[1]), int8_t(s[2]), d[x]);
        return true;
      default:
        return false;
    }
  }

  static uint8_t Channel(double v) {
    if (v <= 0) return 0;
    if (v >= 1) return 255;
    return static_cast<uint8_t>(std::min(255.0, std::trunc(std::sqrt(v) * 256)));
  }
  static void LabToRGB(int L, int a, int b, TRGB& out) {
    double a1 = a == -128 ? 128 : a, b1 = b == -128 ? 128 : b;
    double l1 = L / 255.0 * 100;
    double A = (a1 + 127) / 255 * 200 - 100, Bv = (b1 + 127) / 255 * 200 - 100;
    double fy = (l1 + 16) / 116, fx = fy + A / 500, fz = fy - Bv / 200;
    double X, Y, Z;
    if (l1 >= 7.9996) {
      X = fx * fx * fx;
      Y = fy * fy * fy;
      Z = fz * fz * fz;
    } else {
      double h = l1 / 903.3;
      X = h + A / 3893.5;
      Y = h;
      Z = h - Bv / 1557.4;
    }
    out.r = Channel(2.69 * X - 1.276 * Y - 0.414 * Z);
    out.g = Channel(-1.022 * X + 1.978 * Y + 0.044 * Z);
    out.b = Channel(0.061 * X - 0.224 * Y + 1.163 * Z);
  }
};

// Decodes the rows of one strip or tile.
class ChunkDecoder {
 public:
  ChunkDecoder(Vars& v, const uint8_t* data, int64_t len, int pixels)
      : v_(v), data_(data), len_(len) {
    if (v.compression >= 2 && v.compression <= 4) {
      TCCITTMode mode = v.compression == 2   ? ccMH
                        : v.compression == 4 ? ccG4
                        : (v.t4 & 1)         ? ccG3_2D
                                             : ccG3_1D;
      ccitt_ = std::make_unique<TCCITTDecoder>(mode, data, len, v.fillOrder, pixels);
    }
  }
  ~ChunkDecoder() {
    if (lzwState_) v_.lzw(nullptr, 0, 0, lzwState_);
  }
  // Decodes one row of rowBytes into out; false when the data gave out
  // (out is then completed with zeros) or the decoder failed.
  // Uncompressed rows that are all there are used where they lie.
  const uint8_t* Direct(int rowBytes) {
    // Inflated Deflate data is used in place too, unless a predictor must
    // first be undone on a copy.
    const bool plain = v_.compression == 1 || v_.compression == kCompressJPEG ||
                       (IsDeflate(v_.compression) && v_.predictor != kPredictorHorizontal);
    if (!plain || pos_ + rowBytes > len_) return nullptr;
    const uint8_t* p = data_ + pos_;
    pos_ += rowBytes;
    return p;
  }
  // An LZW row where the decoder holds it (valid until the next call), or
  // null: not LZW, or the data gave out (Next then reports that).
  const uint8_t* Borrow(int rowBytes) {
    if (v_.compression != 5) return nullptr;
    return v_.lzw(data_ ? data_ : reinterpret_cast<const uint8_t*>(""), len_, rowBytes, lzwState_);
  }
  bool Next(uint8_t* out, int rowBytes) {
    switch (v_.compression) {
      case 1:
      case kCompressDeflate:  // inflated when the chunk was read
      case kCompressDeflateOld:
      case kCompressJPEG: {  // decoded when the chunk was read
        int64_t n = std::min<int64_t>(rowBytes, len_ - pos_);
        if (n < 0) n = 0;
        if (n > 0) std::memcpy(out, data_ + pos_, size_t(n));
        if (n < rowBytes) std::memset(out + n, 0, size_t(rowBytes - n));
        pos_ += rowBytes;
        return n == rowBytes;
      }
      case 2:
      case 3:
      case 4:
        return ccitt_->DecodeRow(out);
      case 5: {
        uint8_t* r =
            v_.lzw(data_ ? data_ : reinterpret_cast<const uint8_t*>(""), len_, rowBytes, lzwState_);
        if (!r) {
          std::memset(out, 0, size_t(rowBytes));
          return false;
        }
        std::memcpy(out, r, size_t(rowBytes));
        return true;
      }
      case 32773: {
        bool complete = false;
        pos_ += PackBitsDecodeRow(data_ + std::min(pos_, len_), std::max<int64_t>(len_ - pos_, 0),
                                  out, rowBytes, complete);
        return complete;
      }
      default:
        return false;
    }
  }

 private:
  Vars& v_;
  const uint8_t* data_;
  int64_t len_;
  int64_t pos_ = 0;
  void* lzwState_ = nullptr;
  std::unique_ptr<TCCITTDecoder> ccitt_;
};

void SetCompression(TIOParamsVals& p, uint32_t c, uint32_t t4) {
  switch (c) {
    case 1:
      p.TIFF_Compression = ioTIFF_UNCOMPRESSED;
      break;
    case 2:
      p.TIFF_Compression = ioTIFF_CCITT1D;
      break;
    case 3:
      p.TIFF_Compression = (t4 & 1) ? ioTIFF_G3FAX2D : ioTIFF_G3FAX1D;
      break;
    case 4:
      p.TIFF_Compression = ioTIFF_G4FAX;
      break;
    case 5:
      p.TIFF_Compression = ioTIFF_LZW;
      break;
    case 6:
      p.TIFF_Compression = ioTIFF_OLDJPEG;
      break;
    case 7:
      p.TIFF_Compression = ioTIFF_JPEG;
      break;
    case 32773:
      p.TIFF_Compression = ioTIFF_PACKBITS;
      break;
    case kCompressDeflate:
    case kCompressDeflateOld:
      p.TIFF_Compression = ioTIFF_DEFLATE;
      break;
    default:
      break;
  }
}

void SetPhotometric(TIOParamsVals& p, uint32_t v) {
  static const int8_t kMap[9] = {0, 1, 2, 3, 4, 5, 6, -1, 7};
  if (v < 9 && kMap[v] >= 0) p.TIFF_PhotometInterpret = TIOTIFFPhotometInterpret(kMap[v]);
}

constexpr uint32_t kFillOrderReversed = 2;
constexpr uint32_t kUnknownCount = 0xFFFFFFFF;

// The most bytes a chunk of `rows` rows of `rowBytes` (all planes counted
// in rowBytes) can occupy compressed: fax codes spend at most about two
// bytes per pixel, the byte-oriented codes less than twice the data.
int64_t ChunkByteCap(const Vars& v, int64_t rows, int64_t rowBytes) {
  constexpr int64_t kSlack = 1024;
  constexpr int64_t kFaxBytesPerPixel = 2;
  constexpr int64_t kByteCodeExpansion = 2;
  const int64_t raw = rows * rowBytes;
  if (v.compression == kCompressNone) return raw;
  if (v.compression >= kCompressCCITT1D && v.compression <= kCompressG4)
    return rows * rowBytes * 8 * kFaxBytesPerPixel + kSlack;
  return raw * kByteCodeExpansion + kSlack;
}

// Reads the chunk (strip or tile) at offset.  A count of 0 or 0xFFFFFFFF
// means unknown: the chunk then runs to the end of the data, but never past
// `cap` bytes.  Returns false when the chunk is cut short by the end or the
// file's read budget is spent (`overBudget`).
bool ReadChunk(TiffFile& f, uint32_t off, uint32_t count, int64_t cap, std::vector<uint8_t>& buf,
               bool& overBudget) {
  buf.clear();
  if (off >= f.size) return false;
  const bool unknown = count == 0 || count == kUnknownCount;
  int64_t avail = f.size - off;
  int64_t n = unknown ? std::min(avail, cap) : std::min<int64_t>(count, avail);
  if (!f.Charge(n)) {
    overBudget = true;
    return false;
  }
  buf.resize(size_t(n));
  if (!f.ReadAt(off, buf.data(), n)) {
    buf.clear();
    return false;
  }
  return unknown || n == count;
}

// Undoes FillOrder 2 (the first pixel in the low bit) on raw chunk data, as
// libtiff does before any decoder but the fax ones, which read either order.
void ReverseBitsOfBytes(std::vector<uint8_t>& buf) {
  static const auto kTable = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      int r = 0;
      for (int b = 0; b < 8; ++b)
        if (i & (1 << b)) r |= 0x80 >> b;
      t[size_t(i)] = uint8_t(r);
    }
    return t;
  }();
  for (uint8_t& b : buf) b = kTable[b];
}

// Decodes a JPEG chunk in place into `rows` raw rows of `width` pixels in
// the page's sample layout (RGB or grey), the shared tables put before the
// chunk's own data; false when it cannot be decoded or has another size.
bool DecodeJpegChunk(const Vars& v, int width, int rows, std::vector<uint8_t>& buf) {
  constexpr uint8_t kMarker = 0xFF, kSOI = 0xD8, kEOI = 0xD9;
  std::vector<uint8_t> stream;
  const std::vector<uint8_t>& t = v.jpegTables;
  const bool tables = t.size() >= 4 && t[0] == kMarker && t[1] == kSOI;
  if (tables) {
    const bool endMarker = t[t.size() - 2] == kMarker && t[t.size() - 1] == kEOI;
    stream.assign(t.begin(), t.end() - (endMarker ? 2 : 0));
    const size_t skip = buf.size() >= 2 && buf[0] == kMarker && buf[1] == kSOI ? 2 : 0;
    stream.insert(stream.end(), buf.begin() + long(skip), buf.end());
  } else {
    stream.swap(buf);
  }
  const size_t samples = v.spp == 1 ? 1 : 3;
  std::vector<uint8_t> out(size_t(width) * size_t(rows) * samples, 0);
  TReadOnlyMemoryStream s(stream.data(), int64_t(stream.size()));
  TBitmap decoded;
  TIOParamsVals params;
  params.JPEG_Scale = ioJPEG_FULLSIZE;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  ReadJPegStream(s, &decoded, params, false, progress);
  buf.swap(out);
  if (aborted || decoded.GetWidth() < width || decoded.GetHeight() < rows) return false;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* bgr = decoded.ScanLine(y);
    uint8_t* d = buf.data() + size_t(y) * size_t(width) * samples;
    for (int x = 0; x < width; ++x, bgr += 3) {
      if (samples == 1) {
        d[x] = bgr[1];
      } else {
        d[3 * x] = bgr[2];
        d[3 * x + 1] = bgr[1];
        d[3 * x + 2] = bgr[0];
      }
    }
  }
  return true;
}

// Inflates a Deflate chunk in place, keeping at most `expected` bytes;
// false when the zlib data is damaged or short (what was inflated stays).
bool InflateChunk(std::vector<uint8_t>& buf, int64_t expected) {
  std::vector<uint8_t> out(size_t(std::max<int64_t>(expected, 0)));
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = buf.data();
  z.avail_in = uInt(std::min<size_t>(buf.size(), 0x7FFFFFFF));
  z.next_out = out.data();
  z.avail_out = uInt(std::min<size_t>(out.size(), 0x7FFFFFFF));
  int code = Z_OK;
  while (code == Z_OK && z.avail_out > 0) code = inflate(&z, Z_NO_FLUSH);
  const size_t got = out.size() - z.avail_out;
  inflateEnd(&z);
  out.resize(got);
  buf.swap(out);
  return int64_t(got) == expected;
}

// Reads the page's fields into v; false when its samples differ in size.
bool ParseFields(TiffFile& f, Page& pg, Vars& v) {
  constexpr uint32_t kMaxSamples = 1024;
  constexpr uint32_t kMaxChunks = 1u << 24;
  constexpr uint32_t kMaxColorMap = 3 * 65536;
  constexpr uint32_t kMaxJpegTables = 65536;
  v.width = GetScalar(f, pg, kTagImageWidth, 0);
  v.height = GetScalar(f, pg, kTagImageLength, 0);
  v.spp = GetScalar(f, pg, kTagSamplesPerPixel, 1);
  std::vector<uint32_t> vals;
  if (const Entry* e = pg.Find(kTagBitsPerSample)) {
    if (GetValues(f, *e, vals, kMaxSamples) && !vals.empty()) {
      for (uint32_t b : vals)
        if (b != vals[0]) return false;
      v.bps = vals[0];
    }
  }
  v.rowsPerStrip = GetScalar(f, pg, kTagRowsPerStrip, v.height);
  if (v.rowsPerStrip == 0 || v.rowsPerStrip > v.height) v.rowsPerStrip = v.height;
  if (pg.Find(kTagTileWidth)) v.tileW = GetScalar(f, pg, kTagTileWidth, 0);
  if (pg.Find(kTagTileLength)) v.tileL = GetScalar(f, pg, kTagTileLength, 0);
  v.photometric = GetScalar(f, pg, kTagPhotometric, kPhotoRGB);
  v.planar = GetScalar(f, pg, kTagPlanarConfig, kPlanarChunky);
  v.compression = GetScalar(f, pg, kTagCompression, kCompressNone);
  v.predictor = GetScalar(f, pg, kTagPredictor, kPredictorNone);
  v.t4 = GetScalar(f, pg, kTagT4Options, 0);
  v.fillOrder = GetScalar(f, pg, kTagFillOrder, 1);
  v.software = GetString(f, pg, kTagSoftware);
  if (const Entry* e = pg.Find(kTagJPEGTables); e && GetValues(f, *e, vals, kMaxJpegTables))
    v.jpegTables.assign(vals.begin(), vals.end());
  if (const Entry* e = pg.Find(kTagStripOffsets)) GetValues(f, *e, v.stripOffsets, kMaxChunks);
  if (const Entry* e = pg.Find(kTagStripByteCounts)) GetValues(f, *e, v.stripCounts, kMaxChunks);
  if (const Entry* e = pg.Find(kTagTileOffsets)) GetValues(f, *e, v.tileOffsets, kMaxChunks);
  if (const Entry* e = pg.Find(kTagTileByteCounts)) GetValues(f, *e, v.tileCounts, kMaxChunks);
  if (const Entry* e = pg.Find(kTagColorMap); e && v.bps <= 8) {
    uint32_t n = 1u << v.bps;
    if (GetValues(f, *e, vals, kMaxColorMap) && vals.size() >= 3 * n) {
      v.colorMap.resize(n);
      for (uint32_t i = 0; i < n; ++i) {
        v.colorMap[i].r = uint8_t(vals[i] >> 8);
        v.colorMap[i].g = uint8_t(vals[i + n] >> 8);
        v.colorMap[i].b = uint8_t(vals[i + 2 * n] >> 8);
      }
    }
  }
  // A bilevel page marked RGB is read as white-is-zero.
  if (v.spp == 1 && v.bps == 1 && v.compression >= kCompressNone && v.compression <= kCompressG4 &&
      v.photometric == kPhotoRGB)
    v.photometric = kPhotoWhiteIsZero;
  return true;
}

void StoreParams(TiffFile& f, Page& pg, const Vars& v, TIOParamsVals& params) {
  constexpr uint32_t kResolutionCm = 3;
  constexpr double kCmPerInch = 2.54;
  params.BitsPerSample = int32_t(v.bps);
  params.SamplesPerPixel = int32_t(v.spp);
  params.Width = int32_t(v.width);
  params.Height = int32_t(v.height);
  SetCompression(params, v.compression, v.t4);
  SetPhotometric(params, v.photometric);
  params.TIFF_PlanarConf = int32_t(v.planar);
  params.TIFF_DocumentName = GetString(f, pg, kTagDocumentName);
  params.TIFF_ImageDescription = GetString(f, pg, kTagImageDescription);
  params.TIFF_PageName = GetString(f, pg, kTagPageName);
  GetPageNumber(f, pg, params.TIFF_PageNumber, params.TIFF_PageCount);
  params.FreeColorMap();
  if (!v.colorMap.empty()) params.SetColorMap(v.colorMap.data(), int(v.colorMap.size()));
  double factor = GetScalar(f, pg, kTagResolutionUnit, 2) == kResolutionCm ? kCmPerInch : 1.0;
  params.DpiX = int32_t(std::trunc(GetRational(f, pg, kTagXResolution) * factor));
  params.DpiY = int32_t(std::trunc(GetRational(f, pg, kTagYResolution) * factor));
  if (params.DpiX == 0) params.DpiX = gSystemDPIX;
  if (params.DpiY == 0) params.DpiY = gSystemDPIY;
  params.TIFF_XPos = int32_t(std::trunc(GetRational(f, pg, kTagXPosition) * factor));
  params.TIFF_YPos = int32_t(std::trunc(GetRational(f, pg, kTagYPosition) * factor));
}

bool IsTiled(const Vars& v) {
  return v.tileW > 0 || v.tileL > 0;
}

bool IsKnownCompression(uint32_t compression) {
  static const uint32_t kKnown[] = {kCompressNone,    kCompressCCITT1D,    kCompressG3,
                                    kCompressG4,      kCompressLZW,        kCompressPackBits,
                                    kCompressDeflate, kCompressDeflateOld, kCompressJPEG};
  return std::find(std::begin(kKnown), std::end(kKnown), compression) != std::end(kKnown);
}

// Whether the page's layout is one this reader decodes.
bool Decodable(const Vars& v) {
  constexpr uint32_t kMaxSamplesPerPixel = 16;
  // JPEG pages (6 and 7) are reported but not decoded.
  if (!IsKnownCompression(v.compression) || v.spp == 0 || v.spp > kMaxSamplesPerPixel ||
      v.bps == 0 || (v.bps > 8 && v.bps != 16))
    return false;
  const bool fax = v.compression >= kCompressCCITT1D && v.compression <= kCompressG4;
  if (fax && (v.bps != 1 || v.spp != 1)) return false;
  // JPEG strips hold 8-bit grey or three-component pixels, all planes together.
  if (v.compression == kCompressJPEG &&
      (v.bps != 8 || (v.spp != 1 && v.spp != 3) || v.planar == kPlanarSeparate))
    return false;
  // Separate planes are interleaved sample by sample: whole bytes only.
  if (v.planar == kPlanarSeparate && v.spp > 1 && v.bps != 8 && v.bps != 16) return false;
  if (IsTiled(v) && (v.tileW <= 0 || v.tileL <= 0 || !PVImageSizeAllowed(v.tileW, v.tileL) ||
                     v.planar == kPlanarSeparate))
    return false;
  return true;
}

// Bilevel pages, and palette pages whose two colours are black and white,
// become pf1bit; `invert` when their set bits are white.
void ChooseBilevel(const Vars& v, bool& bilevel, bool& invert) {
  bilevel = invert = false;
  if (v.spp != 1 || v.bps != 1) return;
  if (v.photometric <= kPhotoBlackIsZero) {
    bilevel = true;
    bool fax = v.compression >= kCompressCCITT1D && v.compression <= kCompressG4;
    invert =
        (v.photometric == kPhotoWhiteIsZero && !fax) || (v.photometric == kPhotoBlackIsZero && fax);
  } else if (v.photometric == kPhotoPalette && v.colorMap.size() == 2) {
    const TRGB black{0, 0, 0}, white{255, 255, 255};
    if (v.colorMap[0] == black && v.colorMap[1] == white) bilevel = true;
    if (v.colorMap[0] == white && v.colorMap[1] == black) bilevel = invert = true;
  }
}

// Decodes the strips or tiles of one page into the bitmap.
class PageDecoder {
 public:
  PageDecoder(TiffFile& f, Vars& v, TBitmap& bitmap, TProgressRec& progress, bool bilevel,
              bool invert)
      : f_(f), v_(v), bitmap_(bitmap), progress_(progress), bilevel_(bilevel), invert_(invert) {}

  // False when a row of the page is too large to hold.
  bool Setup() {
    constexpr int64_t kMaxRowBytes = 1 << 28;
    chunkW_ = IsTiled(v_) ? int(v_.tileW) : int(v_.width);
    planes_ = v_.planar == kPlanarSeparate ? int(v_.spp) : 1;
    sppPlane_ = v_.planar == kPlanarSeparate ? 1 : int(v_.spp);
    const int64_t rowBytes64 = (int64_t(chunkW_) * sppPlane_ * v_.bps + 7) / 8;
    if (rowBytes64 > kMaxRowBytes) return false;
    rowBytes_ = int(rowBytes64);
    bytesPerSample_ = v_.bps == 16 ? 2 : 1;
    conv_ =
        std::make_unique<Converter>(Converter{&v_, bilevel_, invert_, rowBytes_, chunkW_, {}, {}});
    conv_->Setup();
    planeRows_.resize(size_t(rowBytes_) * planes_ + 8);
    if (planes_ > 1) chunky_.resize(size_t(chunkW_) * v_.spp * bytesPerSample_ + 8);
    outRow_.resize(size_t(chunkW_) * 3 + 8);
    predict_ = v_.predictor == kPredictorHorizontal &&
               (v_.compression == kCompressLZW || IsDeflate(v_.compression)) && v_.bps >= 8;
    step_ = 100.0 / v_.height;
    data_.resize(size_t(planes_));
    return true;
  }

  // Rows of a strip page are marked here as they are written.
  void SetRowGuard(TBitmapRowGuard* guard) { rowGuard_ = guard; }

  // False when the page is cut short or a row fails to convert.
  bool Run() {
    if (!(IsTiled(v_) ? DecodeTiles() : DecodeStrips())) return false;
    return !failed_ && !truncated_;
  }
  bool OverBudget() const { return overBudget_; }
  bool Truncated() const { return truncated_; }

 private:
  // Reads one chunk of `rows` rows of one plane and makes it ready for the
  // row decoders: bit order undone, Deflate data inflated.
  void LoadChunk(uint32_t offset, uint32_t count, int rows, std::vector<uint8_t>& buf) {
    const int64_t cap = ChunkByteCap(v_, rows, rowBytes_);
    if (!ReadChunk(f_, offset, count, cap, buf, overBudget_)) truncated_ = true;
    const bool fax = v_.compression >= kCompressCCITT1D && v_.compression <= kCompressG4;
    if (v_.fillOrder == kFillOrderReversed && !fax) ReverseBitsOfBytes(buf);
    if (IsDeflate(v_.compression) && !InflateChunk(buf, int64_t(rows) * rowBytes_))
      truncated_ = true;
    if (v_.compression == kCompressJPEG && !DecodeJpegChunk(v_, chunkW_, rows, buf))
      truncated_ = true;
  }

  void ReportRow() {
    ++rowsDone_;
    if (progress_.ProgressEvent)
      progress_.ProgressEvent(progress_.Sender, int(std::trunc(rowsDone_ * step_)));
  }

  // The planes of one decoded row, interleaved into one pixel row.
  const uint8_t* Interleave() {
    for (int x = 0; x < chunkW_; ++x)
      for (int p = 0; p < planes_; ++p)
        std::memcpy(&chunky_[(size_t(x) * planes_ + p) * bytesPerSample_],
                    &planeRows_[size_t(p) * rowBytes_ + size_t(x) * bytesPerSample_],
                    size_t(bytesPerSample_));
    return chunky_.data();
  }

  // Decodes `rows` rows of the chunk in data_ (all planes) and hands each to
  // put(r, row); target(r) names where row r goes, or null for a scratch row.
  template <class Target, class Put>
  void DecodeChunk(int rows, Target&& target, Put&& put) {
    std::vector<std::unique_ptr<ChunkDecoder>> dec;
    for (int p = 0; p < planes_; ++p)
      dec.push_back(
          std::make_unique<ChunkDecoder>(v_, data_[p].data(), int64_t(data_[p].size()), chunkW_));
    for (int r = 0; r < rows; ++r) {
      bool ok = true;
      const uint8_t* direct = planes_ == 1 ? dec[0]->Direct(rowBytes_) : nullptr;
      if (!direct && planes_ == 1 && !predict_) direct = dec[0]->Borrow(rowBytes_);
      // An LZW row with a predictor is undone from where the decoder holds
      // it straight into the row buffer.
      if (!direct && planes_ == 1 && predict_ && (v_.bps == 8 || v_.bps == 16)) {
        if (const uint8_t* held = dec[0]->Borrow(rowBytes_)) {
          TIFFUndoPredictorInto(held, planeRows_.data(), sppPlane_, chunkW_, int(v_.bps), f_.le);
          direct = planeRows_.data();
        }
      }
      if (!direct) {
        for (int p = 0; p < planes_; ++p) {
          uint8_t* pr = planeRows_.data() + size_t(p) * rowBytes_;
          if (!dec[p]->Next(pr, rowBytes_)) ok = false;
          if (predict_) TIFFUndoPredictor(pr, sppPlane_, chunkW_, int(v_.bps), f_.le);
        }
      }
      const uint8_t* src = direct ? direct : planeRows_.data();
      if (planes_ > 1) src = Interleave();
      uint8_t* dst = target(r);
      if (!dst) dst = outRow_.data();
      if (!conv_->Convert(src, dst, chunkW_, f_.le)) {
        failed_ = true;
        return;
      }
      put(r, dst);
      if (!ok) {
        truncated_ = true;
        if (v_.compression == kCompressLZW) return;
      }
      if (progress_.Aborted()) return;
    }
  }

  bool DecodeStrips() {
    if (v_.stripOffsets.empty()) return false;
    uint32_t strips = uint32_t(v_.stripOffsets.size()) / planes_;
    for (uint32_t i = 0; i < strips && !failed_ && !progress_.Aborted(); ++i) {
      int64_t y0 = int64_t(i) * v_.rowsPerStrip;
      if (y0 >= v_.height) break;
      int rows = int(std::min<int64_t>(v_.rowsPerStrip, v_.height - y0));
      for (int p = 0; p < planes_; ++p) {
        size_t k = i + size_t(p) * strips;
        uint32_t count = k < v_.stripCounts.size() ? v_.stripCounts[k] : 0;
        LoadChunk(v_.stripOffsets[k], count, rows, data_[p]);
      }
      if (overBudget_) return false;
      DecodeChunk(
          rows, [&](int r) { return bitmap_.ScanLine(int(y0) + r); },
          [&](int r, const uint8_t*) {
            if (rowGuard_) rowGuard_->Written(int(y0) + r);
            ReportRow();
          });
    }
    if (int64_t(strips) * v_.rowsPerStrip < v_.height) truncated_ = true;
    return true;
  }

  // Copies the visible part of a decoded tile row to the bitmap at (tx, y).
  void PlaceTileRow(const uint8_t* row, int64_t tx, int64_t y, int visible) {
    uint8_t* d = bitmap_.ScanLine(int(y));
    if (!bilevel_) {
      std::memcpy(d + tx * 3, row, size_t(visible) * 3);
      return;
    }
    // Tile widths are multiples of 8 in practice; any other offset is placed
    // bit by bit.
    for (int x = 0; x < visible; ++x) {
      int64_t dx = tx + x;
      bool bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
      if (bit)
        d[dx >> 3] |= uint8_t(0x80 >> (dx & 7));
      else
        d[dx >> 3] &= uint8_t(~(0x80 >> (dx & 7)));
    }
  }

  bool DecodeTiles() {
    if (v_.tileOffsets.empty()) return false;
    int64_t across = (v_.width + v_.tileW - 1) / v_.tileW;
    int64_t down = (v_.height + v_.tileL - 1) / v_.tileL;
    int64_t tiles = std::min<int64_t>(across * down, int64_t(v_.tileOffsets.size()));
    if (tiles < across * down) truncated_ = true;
    for (int64_t t = 0; t < tiles && !failed_ && !progress_.Aborted(); ++t) {
      int64_t tx = (t % across) * v_.tileW, ty = (t / across) * v_.tileL;
      uint32_t count = size_t(t) < v_.tileCounts.size() ? v_.tileCounts[size_t(t)] : 0;
      LoadChunk(v_.tileOffsets[size_t(t)], count, int(v_.tileL), data_[0]);
      if (overBudget_) return false;
      int visible = int(std::min<int64_t>(v_.tileW, v_.width - tx));
      DecodeChunk(
          int(v_.tileL), [](int) -> uint8_t* { return nullptr; },
          [&](int r, const uint8_t* row) {
            int64_t y = ty + r;
            if (y >= v_.height) return;
            PlaceTileRow(row, tx, y, visible);
            if (tx == 0) ReportRow();
          });
    }
    return true;
  }

  TiffFile& f_;
  Vars& v_;
  TBitmap& bitmap_;
  TProgressRec& progress_;
  const bool bilevel_, invert_;
  int chunkW_ = 0, planes_ = 1, sppPlane_ = 1, rowBytes_ = 0, bytesPerSample_ = 1;
  std::unique_ptr<Converter> conv_;
  std::vector<uint8_t> planeRows_, chunky_, outRow_;
  std::vector<std::vector<uint8_t>> data_;
  bool predict_ = false;
  double step_ = 0;
  int rowsDone_ = 0;
  bool truncated_ = false, failed_ = false, overBudget_ = false;
  TBitmapRowGuard* rowGuard_ = nullptr;
};

// Why a page that Decodable refuses cannot be read.
std::string Undecodable(const Vars& v) {
  if (!IsKnownCompression(v.compression))
    return "TIFF compression " + std::to_string(v.compression) + " not supported";
  return "TIFF page of " + std::to_string(v.spp) + " samples of " + std::to_string(v.bps) +
         " bits (photometric " + std::to_string(v.photometric) + ", planar " +
         std::to_string(v.planar) + ") not supported";
}

void ReadPage(TiffFile& f, Page& pg, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
              bool paramsOnly) {
  Vars v;
  if (!ParseFields(f, pg, v)) {
    progress.Fail(TPVErrorCode::Unsupported, "TIFF samples of different sizes not supported");
    return;
  }
  // Sizes are checked before they are reported: a width or height of 2^31
  // or more would turn negative in the parameters.
  if (v.width == 0 || v.height == 0 || v.width > 0x7FFFFFFF || v.height > 0x7FFFFFFF) {
    progress.Fail(TPVErrorCode::Corrupt, "TIFF image size " + std::to_string(v.width) + "\u00D7" +
                                             std::to_string(v.height) + " not valid");
    return;
  }
  StoreParams(f, pg, v, params);
  if (v.compression == kCompressLZW) {
    v.lzw = params.TIFF_LZWDecompFunc ? params.TIFF_LZWDecompFunc : DefTIFF_LZWDECOMPFUNC;
    if (!v.lzw) {
      progress.Fail(TPVErrorCode::Unsupported, "no LZW decoder");
      return;
    }
  }
  if (paramsOnly || !bitmap) return;
  if (!Decodable(v)) {
    progress.Fail(TPVErrorCode::Unsupported, Undecodable(v));
    return;
  }
  bool bilevel = false, invert = false;
  ChooseBilevel(v, bilevel, invert);
  // libjpeg turns YCbCr into RGB: the decoded strips are RGB (or grey).
  if (v.compression == kCompressJPEG && v.photometric == kPhotoYCbCr) v.photometric = kPhotoRGB;
  // Every page's data lies inside the file: its size bounds the bitmap.
  if (!PVCheckDecodeSize(v.width, v.height, bilevel ? 1 : 24, f.size, progress)) return;
  bitmap->SetSize(1, 1);
  bitmap->SetPixelFormat(bilevel ? pf1bit : pf24bit);
  PageDecoder decoder(f, v, *bitmap, progress, bilevel, invert);
  // Why the page failed, from what the decoder saw.
  auto run = [&] {
    if (!decoder.Setup()) {
      progress.Fail(TPVErrorCode::Unsupported, "TIFF rows too long");
    } else if (!decoder.Run()) {
      if (decoder.OverBudget())
        progress.Fail(TPVErrorCode::Corrupt, "TIFF strips ask to read more than " +
                                                 std::to_string(TiffFile::kReadBudgetFactor) +
                                                 " times the file's size");
      else if (decoder.Truncated())
        progress.Fail(TPVErrorCode::Truncated, "TIFF data ends early");
      else
        progress.Fail(TPVErrorCode::Corrupt, "TIFF data not valid");
    }
  };
  if (IsTiled(v)) {  // tiles may write parts of rows: the bitmap starts filled
    bitmap->SetSize(int(v.width), int(v.height));
    run();
    return;
  }
  // Strips write whole rows from the top; the guard fills what they miss.
  bitmap->AllocateForOverwrite(int(v.width), int(v.height));
  TBitmapRowGuard guard(*bitmap);
  decoder.SetRowGuard(&guard);
  run();
}

// The n entries of the IFD at off (already checked to lie inside the file).
void ReadEntries(TiffFile& f, uint32_t off, uint32_t n, Page& page) {
  std::vector<uint8_t> raw(size_t(n) * 12);
  f.ReadAt(off + 2, raw.data(), int64_t(raw.size()));
  page.entries.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* p = raw.data() + 12 * i;
    Entry& e = page.entries[i];
    e.tag = f.U16(p);
    e.type = f.U16(p + 2);
    e.count = f.U32(p + 4);
    std::memcpy(e.value, p + 8, 4);
  }
}

}  // namespace

int TIFFListPages(TStream& stream, TProgressRec& progress,
                  const std::function<void(int index, const TIOParamsVals& params)>& each) {
  int count = 0;
  try {
    TiffFile f(stream, -1);
    uint8_t hdr[8];
    if (!f.ReadAt(0, hdr, 8) ||
        !((hdr[0] == 'I' && hdr[1] == 'I') || (hdr[0] == 'M' && hdr[1] == 'M'))) {
      progress.Fail(TPVErrorCode::UnknownFormat, "not a TIFF file");
      return 0;
    }
    f.le = hdr[0] == 'I';
    uint32_t off = f.U32(hdr + 4);
    std::set<uint32_t> visited;
    while (off != 0 && count < kMaxIFDs && visited.insert(off).second) {
      uint8_t b[4];
      if (!f.ReadAt(off, b, 2)) break;
      const uint32_t n = f.U16(b);
      if (int64_t(off) + 2 + int64_t(n) * 12 + 4 > f.size) break;
      Page page;
      ReadEntries(f, off, n, page);
      TIOParamsVals params;
      params.TIFF_ImageIndex = count;
      bool aborting = false;
      TProgressRec pageProgress;
      pageProgress.Aborting = &aborting;
      ReadPage(f, page, nullptr, params, pageProgress, true);
      if (!aborting) each(count, params);
      f.ReadAt(off + 2 + int64_t(n) * 12, b, 4);
      off = f.U32(b);
      ++count;
    }
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("TIFF: ") + e.what());
  }
  return count;
}

void TIFFReadStream(TBitmap* bitmap, TStream& stream, int& imageCount, TIOParamsVals* params,
                    TProgressRec& progress, bool paramsOnly) {
  TIFFReadStreamLimited(bitmap, stream, imageCount, params, progress, paramsOnly, -1);
}

void TIFFReadStreamLimited(TBitmap* bitmap, TStream& stream, int& imageCount, TIOParamsVals* params,
                           TProgressRec& progress, bool paramsOnly, int64_t limit) {
  imageCount = 0;
  try {
    TiffFile f(stream, limit);
    uint8_t hdr[8];
    if (!f.ReadAt(0, hdr, 8)) {
      progress.Fail(TPVErrorCode::Truncated, "TIFF header ends early");
      return;
    }
    if (hdr[0] == 'I' && hdr[1] == 'I')
      f.le = true;
    else if (hdr[0] == 'M' && hdr[1] == 'M')
      f.le = false;
    else {
      progress.Fail(TPVErrorCode::UnknownFormat, "not a TIFF file");
      return;
    }
    uint32_t off = f.U32(hdr + 4);
    std::set<uint32_t> visited;
    Page page;
    bool loaded = false;
    int wanted = params ? params->TIFF_ImageIndex : -1;
    int count = 0;
    while (off != 0 && count < kMaxIFDs && visited.insert(off).second) {
      uint8_t b[12];
      if (!f.ReadAt(off, b, 2)) break;
      uint32_t n = f.U16(b);
      if (int64_t(off) + 2 + int64_t(n) * 12 + 4 > f.size) {
        // An IFD cut short by the end of the file ends the chain.
        if (count == wanted)
          progress.Fail(TPVErrorCode::Truncated, "TIFF page directory ends early");
        break;
      }
      if (count == wanted) {
        ReadEntries(f, off, n, page);
        loaded = true;
      }
      f.ReadAt(off + 2 + int64_t(n) * 12, b, 4);
      off = f.U32(b);
      ++count;
    }
    imageCount = count;
    if (params) params->TIFF_ImageCount = count;
    if (!loaded || !params) return;
    ReadPage(f, page, bitmap, *params, progress, paramsOnly);
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("TIFF: ") + e.what());
  } catch (...) {
    progress.Fail(TPVErrorCode::Corrupt, "TIFF data not valid");
  }
}

}  // namespace pictavo
