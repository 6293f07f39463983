// TIFF writer: little-endian pages of one strip, as a new file or inserted
// into the page chain of an existing file.
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

}  // namespace

int TIFFWriteStream(TStream& stream, bool append, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  try {
    Writer w(stream, progress);
    w.start_ = stream.GetPosition();

    // The bitmap to write.
    std::unique_ptr<TBitmap> owned;
    TBitmap* bmp = &bitmap;
    bool palette2 = false;
    TRGB c0{}, c1{};
    if (params.BitsPerSample == 1 && params.SamplesPerPixel == 1 &&
        bitmap.GetPixelFormat() != pf1bit) {
      TBitmap source;
      const TBitmap* from = &bitmap;
      if (bitmap.GetPixelFormat() != pf24bit) {
        source.Assign(bitmap);
        source.SetPixelFormat(pf24bit);
        from = &source;
      }
      owned = PVReduceToBilevel(*from, c0, c1, progress);
      const TRGB black{0, 0, 0}, white{255, 255, 255};
      palette2 = !(c0 == black && c1 == white);
      bmp = owned.get();
    } else if (bitmap.GetPixelFormat() != pf24bit &&
               !(bitmap.GetPixelFormat() == pf1bit && params.BitsPerSample == 1)) {
      owned = std::make_unique<TBitmap>();
      owned->Assign(bitmap);
      owned->SetPixelFormat(pf24bit);
      bmp = owned.get();
    }
    const bool bilevel = bmp->GetPixelFormat() == pf1bit;
    const int width = bmp->GetWidth(), height = bmp->GetHeight();
    if (width <= 0 || height <= 0) {
      progress.Abort();
      return 0;
    }

    int photometric = params.TIFF_PhotometInterpret == ioTIFF_CMYK ? 5 : 2;
    int compression = 1, predictor = 1;
    bool twoD = false, invert = false;
    TTIFFLZWCompFunc lzw = nullptr;
    switch (params.TIFF_Compression) {
      case ioTIFF_CCITT1D:
        compression = 2;
        break;
      case ioTIFF_G3FAX1D:
        compression = 3;
        break;
      case ioTIFF_G3FAX2D:
        compression = 3;
        twoD = true;
        break;
      case ioTIFF_G4FAX:
        compression = 4;
        break;
      case ioTIFF_LZW:
        lzw = params.TIFF_LZWCompFunc ? params.TIFF_LZWCompFunc : DefTIFF_LZWCOMPFUNC;
        if (lzw) {
          compression = 5;
          predictor = 2;
        }
        break;
      case ioTIFF_PACKBITS:
        compression = 32773;
        break;
      default:
        break;
    }
    const bool ccitt = compression >= 2 && compression <= 4;
    if (ccitt) {
      if (!bilevel)
        compression = 1;
      else
        invert = true;
    }
    if (ccitt && palette2) compression = 1, invert = false;  // colours need a colour map
    if (bilevel || photometric == 5) predictor = 1;
    if (bilevel) photometric = palette2 ? 3 : (compression >= 2 && compression <= 4 ? 0 : 1);
    const int spp = bilevel ? 1 : (photometric == 5 ? 4 : 3);

    // Where the new IFD is linked in.
    int result = 1;
    int64_t linkPos = -1;
    uint32_t linkHeld = 0;
    if (append) {
      TStreamReader r(stream);
      uint8_t hdr[8];
      if (!r.Read(hdr, 8) || hdr[0] != 'I' || hdr[1] != 'I') {
        progress.Abort();
        return 0;
      }
      int64_t size = r.End() - w.start_;
      int64_t link = 4;
      uint32_t off = GetU32LE(hdr + 4);
      int counter = 0;
      std::set<uint32_t> visited;
      for (;;) {
        if (counter == params.TIFF_ImageIndex || (off == 0 && counter < params.TIFF_ImageIndex)) {
          if (linkPos < 0) {
            linkPos = link;
            linkHeld = off;
          }
        }
        if (off == 0 || counter >= 65536 || !visited.insert(off).second) break;
        uint8_t b[2];
        if (off + int64_t(2) > size || !r.SeekTo(w.start_ + off) || !r.Read(b, 2)) break;
        int64_t next = int64_t(off) + 2 + int64_t(GetU16LE(b)) * 12;
        if (next + 4 > size) break;
        ++counter;
        link = next;
        uint8_t nb[4];
        if (!r.SeekTo(w.start_ + next) || !r.Read(nb, 4)) break;
        off = GetU32LE(nb);
      }
      if (linkPos < 0) {
        // A chain cut short: insert after its last complete IFD.
        linkPos = link;
        linkHeld = 0;
      }
      result = counter + 1;
      stream.Seek(0, soEnd);
    } else {
      uint8_t zero[8] = {};
      w.Put(zero, 8);
    }

    std::vector<OutEntry> entries;
    auto add = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
      entries.push_back({tag, type, count, value});
    };
    add(kTagImageWidth, 4, 1, uint32_t(width));
    add(kTagImageLength, 4, 1, uint32_t(height));
    if (bilevel) {
      add(kTagBitsPerSample, 3, 1, 1);
    } else {
      uint32_t at = uint32_t(w.Pos());
      for (int i = 0; i < spp; ++i) w.Put16(8);
      add(kTagBitsPerSample, 3, uint32_t(spp), at);
    }
    add(kTagCompression, 3, 1, uint32_t(compression));
    add(kTagPhotometric, 3, 1, uint32_t(photometric));
    if (!params.TIFF_DocumentName.empty())
      add(kTagDocumentName, 2, uint32_t(params.TIFF_DocumentName.size() + 1),
          w.Text(params.TIFF_DocumentName));
    if (!params.TIFF_ImageDescription.empty())
      add(kTagImageDescription, 2, uint32_t(params.TIFF_ImageDescription.size() + 1),
          w.Text(params.TIFF_ImageDescription));

    // The image, one strip.
    const uint32_t stripStart = uint32_t(w.Pos());
    const int rowLen = bilevel ? (width + 7) / 8 : width * spp;
    std::vector<uint8_t> row(size_t(rowLen) + 8), packed;
    std::unique_ptr<TCCITTEncoder> fax;
    if (compression >= 2 && compression <= 4)
      fax = std::make_unique<TCCITTEncoder>(compression == 2   ? ccMH
                                            : compression == 4 ? ccG4
                                            : twoD             ? ccG3_2D
                                                               : ccG3_1D,
                                            width);
    void* lzwState = nullptr;
    bool lzwFailed = false;
    for (int y = 0; y < height && !w.failed_; ++y) {
      if (progress.Report(int(int64_t(y) * 100 / height))) break;
      const uint8_t* src = bmp->ScanLine(y);
      if (bilevel) {
        for (int i = 0; i < rowLen; ++i) row[i] = invert ? uint8_t(~src[i]) : src[i];
      } else if (photometric == 5) {
        const TRGB* p = reinterpret_cast<const TRGB*>(src);
        for (int x = 0; x < width; ++x) {
          int m = std::max({p[x].r, p[x].g, p[x].b});
          if (m == 0) m = 1;
          uint8_t* o = &row[size_t(x) * 4];
          o[0] = uint8_t(255 - p[x].r * 255 / m);
          o[1] = uint8_t(255 - p[x].g * 255 / m);
          o[2] = uint8_t(255 - p[x].b * 255 / m);
          o[3] = uint8_t(255 - m);
        }
      } else {
        const TRGB* p = reinterpret_cast<const TRGB*>(src);
        for (int x = 0; x < width; ++x) {
          row[size_t(x) * 3] = p[x].r;
          row[size_t(x) * 3 + 1] = p[x].g;
          row[size_t(x) * 3 + 2] = p[x].b;
        }
        if (predictor == 2)
          for (int i = rowLen - 1; i >= 3; --i) row[i] = uint8_t(row[i] - row[i - 3]);
      }
      switch (compression) {
        case 1:
          w.Put(row.data(), rowLen);
          break;
        case 5:
          if (!lzw(row.data(), rowLen, stream, lzwState)) lzwFailed = true;
          break;
        case 32773:
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
      if (lzwFailed) {
        w.failed_ = true;
        progress.Abort();
      }
    }
    if (compression == 5 && lzwState && !lzw(nullptr, 0, stream, lzwState) && !w.failed_) {
      w.failed_ = true;
      progress.Abort();
    }
    if (fax && !w.failed_ && !progress.Aborted()) {
      fax->Finish();
      w.Put(fax->Bytes().data(), int64_t(fax->Bytes().size()));
    }
    if (w.failed_ || progress.Aborted()) return 0;
    const uint32_t stripBytes = uint32_t(w.Pos() - stripStart);

    add(kTagStripOffsets, 4, 1, stripStart);
    add(kTagSamplesPerPixel, 3, 1, uint32_t(spp));
    add(kTagRowsPerStrip, 4, 1, uint32_t(height));
    add(kTagStripByteCounts, 4, 1, stripBytes);
    add(kTagXResolution, 5, 1, w.Rational(uint32_t(std::max(params.DpiX, 0)), 1));
    add(kTagYResolution, 5, 1, w.Rational(uint32_t(std::max(params.DpiY, 0)), 1));
    if (!params.TIFF_PageName.empty())
      add(kTagPageName, 2, uint32_t(params.TIFF_PageName.size() + 1), w.Text(params.TIFF_PageName));
    add(kTagXPosition, 5, 1, w.Rational(uint32_t(std::max(params.TIFF_XPos, 0)) * 10000u, 10000));
    add(kTagYPosition, 5, 1, w.Rational(uint32_t(std::max(params.TIFF_YPos, 0)) * 10000u, 10000));
    if (compression == 3) add(kTagT4Options, 4, 1, twoD ? 1 : 0);
    add(kTagResolutionUnit, 3, 1, 2);
    if (params.TIFF_PageNumber != 0 || params.TIFF_PageCount != 0)
      add(kTagPageNumber, 3, 2,
          (uint32_t(params.TIFF_PageNumber) & 0xFFFF) | (uint32_t(params.TIFF_PageCount) << 16));
    if (predictor == 2) add(kTagPredictor, 3, 1, 2);
    if (palette2) {
      uint32_t at = uint32_t(w.Pos());
      w.Put16(uint16_t(c0.r * 257));
      w.Put16(uint16_t(c1.r * 257));
      w.Put16(uint16_t(c0.g * 257));
      w.Put16(uint16_t(c1.g * 257));
      w.Put16(uint16_t(c0.b * 257));
      w.Put16(uint16_t(c1.b * 257));
      add(kTagColorMap, 3, 6, at);
    }
    if (w.Pos() & 1) {
      uint8_t z = 0;
      w.Put(&z, 1);
    }
    const uint32_t ifd = uint32_t(w.Pos());
    w.Put16(uint16_t(entries.size()));
    for (const OutEntry& e : entries) {
      w.Put16(e.tag);
      w.Put16(e.type);
      w.Put32(e.count);
      // A SHORT single value sits in the low half of the value field.
      w.Put32(e.value);
    }
    w.Put32(append ? linkHeld : 0);
    if (w.failed_) return 0;
    int64_t end = stream.GetPosition();
    if (append) {
      stream.Seek(w.start_ + linkPos, soBeginning);
      w.Put32(ifd);
    } else {
      stream.Seek(w.start_, soBeginning);
      uint8_t hdr[8] = {'I', 'I', 42, 0};
      PutU32LE(hdr + 4, ifd);
      w.Put(hdr, 8);
    }
    stream.Seek(end, soBeginning);
    return w.failed_ ? 0 : result;
  } catch (...) {
    progress.Abort();
    return 0;
  }
}

}  // namespace pictavo
