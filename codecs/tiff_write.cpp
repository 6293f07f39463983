// TIFF writer: little-endian pages of one strip, as a new file or inserted
// into the page chain of an existing file.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "codecs/packbits.h"
#include "codecs/tiff.h"
#include "codecs/tiff_internal.h"
#include "codecs/tiffccitt.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/rowconv.h"
#include "core/streamreader.h"

namespace pictavo {

namespace {

struct OutEntry {
  uint16_t tag, type;
  uint32_t count, value;
};

class Writer {
 public:
  Writer(TStream& s, TProgressRec& p) : s_(s), progress_(p) {}

  int64_t Pos() { return s_.GetPosition() - start_; }
  void Put(const void* data, int64_t n) {
    if (!failed_) SafeStreamWrite(s_, failed_, data, n);
    if (failed_) progress_.Abort();
  }
  void Put16(uint16_t v) {
    uint8_t b[2];
    PutU16LE(b, v);
    Put(b, 2);
  }
  void Put32(uint32_t v) {
    uint8_t b[4];
    PutU32LE(b, v);
    Put(b, 4);
  }
  uint32_t Rational(uint32_t num, uint32_t den) {
    uint32_t at = uint32_t(Pos());
    Put32(num);
    Put32(den);
    return at;
  }
  uint32_t Text(const std::string& t) {
    uint32_t at = uint32_t(Pos());
    Put(t.c_str(), int64_t(t.size()) + 1);
    return at;
  }

  TStream& s_;
  TProgressRec& progress_;
  int64_t start_ = 0;
  bool failed_ = false;
};

// The bitmap as it is written: 1 bit per pixel or 24-bit RGB.
struct SourceImage {
  std::unique_ptr<TBitmap> owned;
  TBitmap* bmp = nullptr;
  bool palette2 = false;  // two colours other than black and white
  TRGB c0{}, c1{};
};

SourceImage PrepareSource(TBitmap& bitmap, const TIOParamsVals& params, TProgressRec& progress) {
  SourceImage out;
  out.bmp = &bitmap;
  if (params.BitsPerSample == 1 && params.SamplesPerPixel == 1 &&
      bitmap.GetPixelFormat() != pf1bit) {
    TBitmap source;
    const TBitmap* from = &bitmap;
    if (bitmap.GetPixelFormat() != pf24bit) {
      source.Assign(bitmap);
      source.SetPixelFormat(pf24bit);
      from = &source;
    }
    out.owned = PVReduceToBilevel(*from, out.c0, out.c1, progress);
    const TRGB black{0, 0, 0}, white{255, 255, 255};
    out.palette2 = !(out.c0 == black && out.c1 == white);
    out.bmp = out.owned.get();
  } else if (bitmap.GetPixelFormat() != pf24bit &&
             !(bitmap.GetPixelFormat() == pf1bit && params.BitsPerSample == 1)) {
    out.owned = std::make_unique<TBitmap>();
    out.owned->Assign(bitmap);
    out.owned->SetPixelFormat(pf24bit);
    out.bmp = out.owned.get();
  }
  return out;
}

// How the page is stored.
struct Layout {
  bool bilevel = false;
  int photometric = kPhotoRGB;
  int compression = kCompressNone;
  int predictor = kPredictorNone;
  bool twoD = false;    // G3 with 2-D coding
  bool invert = false;  // fax codes take 0 as white
  int spp = 3;
  TTIFFLZWCompFunc lzw = nullptr;

  bool Fax() const { return compression >= kCompressCCITT1D && compression <= kCompressG4; }
};

// The compression the parameters ask for, before the image's own limits.
void RequestedCompression(const TIOParamsVals& params, Layout& l) {
  switch (params.TIFF_Compression) {
    case ioTIFF_CCITT1D:
      l.compression = kCompressCCITT1D;
      break;
    case ioTIFF_G3FAX1D:
      l.compression = kCompressG3;
      break;
    case ioTIFF_G3FAX2D:
      l.compression = kCompressG3;
      l.twoD = true;
      break;
    case ioTIFF_G4FAX:
      l.compression = kCompressG4;
      break;
    case ioTIFF_LZW:
      l.lzw = params.TIFF_LZWCompFunc ? params.TIFF_LZWCompFunc : DefTIFF_LZWCOMPFUNC;
      if (l.lzw) {
        l.compression = kCompressLZW;
        l.predictor = kPredictorHorizontal;
      }
      break;
    case ioTIFF_PACKBITS:
      l.compression = kCompressPackBits;
      break;
    case ioTIFF_DEFLATE:
      l.compression = kCompressDeflate;
      l.predictor = kPredictorHorizontal;
      break;
    default:
      break;
  }
}

Layout ChooseLayout(const TIOParamsVals& params, const SourceImage& src) {
  Layout l;
  l.bilevel = src.bmp->GetPixelFormat() == pf1bit;
  l.photometric = params.TIFF_PhotometInterpret == ioTIFF_CMYK ? kPhotoSeparated : kPhotoRGB;
  RequestedCompression(params, l);
  if (l.Fax()) {
    // Fax codes carry one bit per pixel only; two arbitrary colours need a colour map.
    if (!l.bilevel || src.palette2)
      l.compression = kCompressNone;
    else
      l.invert = true;
  }
  if (l.bilevel || l.photometric == kPhotoSeparated) l.predictor = kPredictorNone;
  if (l.bilevel)
    l.photometric =
        src.palette2 ? kPhotoPalette : (l.Fax() ? kPhotoWhiteIsZero : kPhotoBlackIsZero);
  l.spp = l.bilevel ? 1 : (l.photometric == kPhotoSeparated ? 4 : 3);
  return l;
}

// Where an appended page's IFD offset is stored, and what that place held.
struct ChainLink {
  int64_t pos = -1;
  uint32_t held = 0;
  int pageIndex = 1;  // the new page's 1-based position
};

// Walks the page chain of the file at `start` to the place where page `index`
// is to be linked in. False when the file is not a little-endian TIFF.
bool FindChainLink(TStream& stream, int64_t start, int index, ChainLink& out) {
  constexpr int kMaxPages = 65536;
  constexpr int kHeaderSize = 8, kEntrySize = 12;
  TStreamReader r(stream);
  uint8_t hdr[kHeaderSize];
  if (!r.Read(hdr, kHeaderSize) || hdr[0] != 'I' || hdr[1] != 'I') return false;
  const int64_t size = r.End() - start;
  int64_t link = 4;
  uint32_t off = GetU32LE(hdr + 4);
  int counter = 0;
  std::set<uint32_t> visited;
  for (;;) {
    if (out.pos < 0 && (counter == index || (off == 0 && counter < index))) {
      out.pos = link;
      out.held = off;
    }
    if (off == 0 || counter >= kMaxPages || !visited.insert(off).second) break;
    uint8_t b[2];
    if (off + int64_t(2) > size || !r.SeekTo(start + off) || !r.Read(b, 2)) break;
    int64_t next = int64_t(off) + 2 + int64_t(GetU16LE(b)) * kEntrySize;
    if (next + 4 > size) break;
    ++counter;
    link = next;
    uint8_t nb[4];
    if (!r.SeekTo(start + next) || !r.Read(nb, 4)) break;
    off = GetU32LE(nb);
  }
  if (out.pos < 0) {
    // A chain cut short: insert after its last complete IFD.
    out.pos = link;
    out.held = 0;
  }
  out.pageIndex = counter + 1;
  return true;
}

// One scan line in the stored sample layout.
void PackRow(const uint8_t* src, const Layout& l, int width, int rowLen, uint8_t* row) {
  if (l.bilevel) {
    if (!l.invert) {
      std::memcpy(row, src, size_t(rowLen));
      return;
    }
    for (int i = 0; i < rowLen; ++i) row[i] = uint8_t(~src[i]);
    return;
  }
  const TRGB* p = reinterpret_cast<const TRGB*>(src);
  if (l.photometric == kPhotoSeparated) {
    for (int x = 0; x < width; ++x) {
      int m = std::max({p[x].r, p[x].g, p[x].b});
      if (m == 0) m = 1;
      uint8_t* o = &row[size_t(x) * 4];
      o[0] = uint8_t(255 - p[x].r * 255 / m);
      o[1] = uint8_t(255 - p[x].g * 255 / m);
      o[2] = uint8_t(255 - p[x].b * 255 / m);
      o[3] = uint8_t(255 - m);
    }
    return;
  }
  PVSwapRB24(src, row, width);
  if (l.predictor == kPredictorHorizontal)
    for (int i = rowLen - 1; i >= 3; --i) row[i] = uint8_t(row[i] - row[i - 3]);
}

std::unique_ptr<TCCITTEncoder> MakeFaxEncoder(const Layout& l, int width) {
  if (!l.Fax()) return nullptr;
  return std::make_unique<TCCITTEncoder>(l.compression == kCompressCCITT1D ? ccMH
                                         : l.compression == kCompressG4    ? ccG4
                                         : l.twoD                          ? ccG3_2D
                                                                           : ccG3_1D,
                                         width);
}

// zlib's deflate over the rows of a strip, its output written as it comes.
class DeflateSink {
 public:
  explicit DeflateSink(Writer& w) : w_(w), out_(kChunk) { ok_ = deflateInit(&z_, kLevel) == Z_OK; }
  ~DeflateSink() {
    if (ok_) deflateEnd(&z_);
  }
  bool Put(const uint8_t* data, int64_t n) { return Run(data, n, Z_NO_FLUSH); }
  bool Finish() { return Run(nullptr, 0, Z_FINISH); }

 private:
  static constexpr size_t kChunk = 65536;
  static constexpr int kLevel = 6;
  bool Run(const uint8_t* data, int64_t n, int flush) {
    if (!ok_) return false;
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = uInt(n);
    for (;;) {
      z_.next_out = out_.data();
      z_.avail_out = uInt(kChunk);
      const int code = deflate(&z_, flush);
      if (code == Z_STREAM_ERROR) return ok_ = false;
      w_.Put(out_.data(), int64_t(kChunk - z_.avail_out));
      if (w_.failed_) return false;
      if (flush == Z_FINISH ? code == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
        return true;
    }
  }
  Writer& w_;
  z_stream z_{};
  std::vector<uint8_t> out_;
  bool ok_ = false;
};

// Writes the image as one strip; false when writing failed or was aborted.
bool WriteStrip(Writer& w, TStream& stream, const TBitmap& bmp, const Layout& l,
                TProgressRec& progress) {
  const int width = bmp.GetWidth(), height = bmp.GetHeight();
  const int rowLen = l.bilevel ? (width + 7) / 8 : width * l.spp;
  std::vector<uint8_t> row(size_t(rowLen) + 8), packed;
  std::unique_ptr<TCCITTEncoder> fax = MakeFaxEncoder(l, width);
  std::unique_ptr<DeflateSink> zip =
      l.compression == kCompressDeflate ? std::make_unique<DeflateSink>(w) : nullptr;
  void* lzwState = nullptr;
  for (int y = 0; y < height && !w.failed_; ++y) {
    if (progress.Report(int(int64_t(y) * 100 / height))) break;
    PackRow(bmp.ScanLine(y), l, width, rowLen, row.data());
    switch (l.compression) {
      case kCompressNone:
        w.Put(row.data(), rowLen);
        break;
      case kCompressLZW:
        if (!l.lzw(row.data(), rowLen, stream, lzwState)) {
          w.failed_ = true;
          progress.Abort();
        }
        break;
      case kCompressDeflate:
        if (!zip->Put(row.data(), rowLen)) w.failed_ = true;
        break;
      case kCompressPackBits:
        packed.clear();
        PackBitsEncodeRow(row.data(), rowLen, packed);
        w.Put(packed.data(), int64_t(packed.size()));
        break;
      default:
        fax->EncodeRow(row.data());
        w.Put(fax->Bytes().data(), int64_t(fax->Bytes().size()));
        fax->Bytes().clear();
        break;
    }
  }
  if (l.compression == kCompressLZW && lzwState && !l.lzw(nullptr, 0, stream, lzwState) &&
      !w.failed_) {
    w.failed_ = true;
    progress.Abort();
  }
  if (zip && !w.failed_ && !progress.Aborted() && !zip->Finish()) w.failed_ = true;
  if (fax && !w.failed_ && !progress.Aborted()) {
    fax->Finish();
    w.Put(fax->Bytes().data(), int64_t(fax->Bytes().size()));
  }
  return !w.failed_ && !progress.Aborted();
}

class EntryList {
 public:
  void Add(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    entries_.push_back({tag, type, count, value});
  }
  // A text of up to three characters and its terminating zero fits in the
  // value field, where readers look for it; longer texts go out of line.
  void AddText(Writer& w, uint16_t tag, const std::string& text) {
    if (text.empty()) return;
    const uint32_t count = uint32_t(text.size() + 1);
    if (count > 4) {
      Add(tag, kTypeAscii, count, w.Text(text));
      return;
    }
    uint32_t inlineValue = 0;  // written little-endian: the first byte first
    for (size_t i = 0; i < text.size(); ++i) inlineValue |= uint32_t(uint8_t(text[i])) << (8 * i);
    Add(tag, kTypeAscii, count, inlineValue);
  }
  // Writes the IFD at the next even offset and returns that offset.
  uint32_t WriteIfd(Writer& w, uint32_t nextIfd) const {
    if (w.Pos() & 1) {
      uint8_t z = 0;
      w.Put(&z, 1);
    }
    const uint32_t ifd = uint32_t(w.Pos());
    w.Put16(uint16_t(entries_.size()));
    for (const OutEntry& e : entries_) {
      w.Put16(e.tag);
      w.Put16(e.type);
      w.Put32(e.count);
      // A SHORT single value sits in the low half of the value field.
      w.Put32(e.value);
    }
    w.Put32(nextIfd);
    return ifd;
  }

 private:
  std::vector<OutEntry> entries_;
};

// The fields before the image data, with their out-of-line values.
void AddLeadingFields(Writer& w, EntryList& e, const TBitmap& bmp, const Layout& l,
                      const TIOParamsVals& params) {
  e.Add(kTagImageWidth, kTypeLong, 1, uint32_t(bmp.GetWidth()));
  e.Add(kTagImageLength, kTypeLong, 1, uint32_t(bmp.GetHeight()));
  if (l.bilevel) {
    e.Add(kTagBitsPerSample, kTypeShort, 1, 1);
  } else {
    constexpr uint16_t kBitsPerSample = 8;
    uint32_t at = uint32_t(w.Pos());
    for (int i = 0; i < l.spp; ++i) w.Put16(kBitsPerSample);
    e.Add(kTagBitsPerSample, kTypeShort, uint32_t(l.spp), at);
  }
  e.Add(kTagCompression, kTypeShort, 1, uint32_t(l.compression));
  e.Add(kTagPhotometric, kTypeShort, 1, uint32_t(l.photometric));
  e.AddText(w, kTagDocumentName, params.TIFF_DocumentName);
  e.AddText(w, kTagImageDescription, params.TIFF_ImageDescription);
}

// The fields after the image data, with their out-of-line values.
void AddTrailingFields(Writer& w, EntryList& e, uint32_t stripStart, uint32_t stripBytes,
                       const TBitmap& bmp, const Layout& l, const SourceImage& src,
                       const TIOParamsVals& params) {
  constexpr uint32_t kPositionScale = 10000;
  constexpr uint32_t kResolutionInch = 2;
  constexpr int kColorScale = 257;  // 8-bit to 16-bit colour map entries
  e.Add(kTagStripOffsets, kTypeLong, 1, stripStart);
  e.Add(kTagSamplesPerPixel, kTypeShort, 1, uint32_t(l.spp));
  e.Add(kTagRowsPerStrip, kTypeLong, 1, uint32_t(bmp.GetHeight()));
  e.Add(kTagStripByteCounts, kTypeLong, 1, stripBytes);
  e.Add(kTagXResolution, kTypeRational, 1, w.Rational(uint32_t(std::max(params.DpiX, 0)), 1));
  e.Add(kTagYResolution, kTypeRational, 1, w.Rational(uint32_t(std::max(params.DpiY, 0)), 1));
  e.AddText(w, kTagPageName, params.TIFF_PageName);
  e.Add(kTagXPosition, kTypeRational, 1,
        w.Rational(uint32_t(std::max(params.TIFF_XPos, 0)) * kPositionScale, kPositionScale));
  e.Add(kTagYPosition, kTypeRational, 1,
        w.Rational(uint32_t(std::max(params.TIFF_YPos, 0)) * kPositionScale, kPositionScale));
  if (l.compression == kCompressG3) e.Add(kTagT4Options, kTypeLong, 1, l.twoD ? 1 : 0);
  e.Add(kTagResolutionUnit, kTypeShort, 1, kResolutionInch);
  if (params.TIFF_PageNumber != 0 || params.TIFF_PageCount != 0)
    e.Add(kTagPageNumber, kTypeShort, 2,
          (uint32_t(params.TIFF_PageNumber) & 0xFFFF) | (uint32_t(params.TIFF_PageCount) << 16));
  if (l.predictor == kPredictorHorizontal)
    e.Add(kTagPredictor, kTypeShort, 1, kPredictorHorizontal);
  if (src.palette2) {
    uint32_t at = uint32_t(w.Pos());
    const TRGB& c0 = src.c0;
    const TRGB& c1 = src.c1;
    w.Put16(uint16_t(c0.r * kColorScale));
    w.Put16(uint16_t(c1.r * kColorScale));
    w.Put16(uint16_t(c0.g * kColorScale));
    w.Put16(uint16_t(c1.g * kColorScale));
    w.Put16(uint16_t(c0.b * kColorScale));
    w.Put16(uint16_t(c1.b * kColorScale));
    e.Add(kTagColorMap, kTypeShort, 6, at);
  }
}

// Points the header (new file) or the chain link (appended page) at the IFD.
void LinkIfd(Writer& w, TStream& stream, bool append, const ChainLink& link, uint32_t ifd) {
  const int64_t end = stream.GetPosition();
  if (append) {
    stream.Seek(w.start_ + link.pos, soBeginning);
    w.Put32(ifd);
  } else {
    constexpr uint16_t kMagic = 42;
    stream.Seek(w.start_, soBeginning);
    uint8_t hdr[8] = {'I', 'I', 0, 0};
    PutU16LE(hdr + 2, kMagic);
    PutU32LE(hdr + 4, ifd);
    w.Put(hdr, 8);
  }
  stream.Seek(end, soBeginning);
}

int WritePage(TStream& stream, bool append, TBitmap& bitmap, TIOParamsVals& params,
              TProgressRec& progress) {
  Writer w(stream, progress);
  w.start_ = stream.GetPosition();
  const SourceImage src = PrepareSource(bitmap, params, progress);
  const TBitmap& bmp = *src.bmp;
  if (bmp.GetWidth() <= 0 || bmp.GetHeight() <= 0) {
    progress.Abort();
    return 0;
  }
  const Layout layout = ChooseLayout(params, src);

  ChainLink link;
  if (append) {
    if (!FindChainLink(stream, w.start_, params.TIFF_ImageIndex, link)) {
      progress.Abort();
      return 0;
    }
    stream.Seek(0, soEnd);
  } else {
    uint8_t zero[8] = {};  // the header, filled in last
    w.Put(zero, 8);
  }

  EntryList entries;
  AddLeadingFields(w, entries, bmp, layout, params);
  const uint32_t stripStart = uint32_t(w.Pos());
  if (!WriteStrip(w, stream, bmp, layout, progress)) return 0;
  const uint32_t stripBytes = uint32_t(w.Pos() - stripStart);
  AddTrailingFields(w, entries, stripStart, stripBytes, bmp, layout, src, params);
  const uint32_t ifd = entries.WriteIfd(w, append ? link.held : 0);
  if (w.failed_) return 0;
  LinkIfd(w, stream, append, link, ifd);
  return w.failed_ ? 0 : link.pageIndex;
}

}  // namespace

int TIFFWriteStream(TStream& stream, bool append, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  try {
    return WritePage(stream, append, bitmap, params, progress);
  } catch (...) {
    progress.Abort();
    return 0;
  }
}

}  // namespace pictavo
