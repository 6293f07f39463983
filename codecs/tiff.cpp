// TIFF page counting and deletion, and the codec's entry in the I/O table.
#include "codecs/tiff.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/tiff_internal.h"
#include "core/replacefile.h"
#include "core/streamreader.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

int _EnumTIFFImStream(TStream& stream) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  int count = 0;
  TIFFReadStream(nullptr, stream, count, nullptr, progress, true);
  return count;
}

int EnumTIFFIm(const std::string& fileName) {
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    return _EnumTIFFImStream(f);
  } catch (...) {
    return 0;
  }
}

namespace {

const int kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

constexpr int kEntrySize = 12;
constexpr int kMaxIfds = 65536;
constexpr uint32_t kMaxValues = 1u << 24;

// Copies a TIFF file without one of its pages: every other page's fields and
// chunks are written afresh, in the file's byte order.
class PageRemover {
 public:
  PageRemover(TStream& src, TMemoryStream& out)
      : src_(src), out_(out), base_(src.GetPosition()), size_(src.GetSize() - base_) {}

  // Builds the file without page `index` into out.  Returns the number of
  // IFDs walked, 0 when the file is not TIFF or any of its data lies outside
  // it (nothing is built then), and sets `found` when the page existed.
  int Run(int index, bool& found) {
    found = false;
    uint8_t hdr[8];
    if (!ReadAt(0, hdr, 8)) return 0;
    if (hdr[0] == 'I' && hdr[1] == 'I')
      le_ = true;
    else if (hdr[0] == 'M' && hdr[1] == 'M')
      le_ = false;
    else
      return 0;
    out_.Clear();
    out_.Write(hdr, 4);
    int64_t link = 4;
    out_.Write(kZero, 4);

    uint32_t off = G32(hdr + 4);
    std::set<uint32_t> visited;
    int count = 0;
    while (off != 0 && count < kMaxIfds && visited.insert(off).second) {
      uint8_t b[4];
      if (!ReadAt(off, b, 2)) return 0;
      const uint32_t n = G16(b);
      std::vector<uint8_t> ents(size_t(n) * kEntrySize);
      if (!ReadAt(int64_t(off) + 2, ents.data(), int64_t(ents.size()))) return 0;
      if (!ReadAt(int64_t(off) + 2 + int64_t(n) * kEntrySize, b, 4)) return 0;
      const uint32_t next = G32(b);
      if (count == index)
        found = true;
      else if (!CopyIfd(ents, n, link))
        return 0;
      off = next;
      ++count;
    }
    return count;
  }

 private:
  enum class Copied { kKept, kDropped, kFailed };
  static constexpr uint8_t kZero[4] = {};

  bool ReadAt(int64_t off, void* buf, int64_t n) {
    if (off < 0 || n < 0 || off > size_ || n > size_ - off) return false;
    src_.Seek(base_ + off, soBeginning);
    return src_.Read(buf, n) == n;
  }
  uint16_t G16(const uint8_t* p) const { return le_ ? GetU16LE(p) : GetU16BE(p); }
  uint32_t G32(const uint8_t* p) const { return le_ ? GetU32LE(p) : GetU32BE(p); }
  void P16(uint8_t* p, uint16_t v) const { le_ ? PutU16LE(p, v) : PutU16BE(p, v); }
  void P32(uint8_t* p, uint32_t v) const { le_ ? PutU32LE(p, v) : PutU32BE(p, v); }
  static int TypeSize(uint16_t type) { return type < 13 ? kTypeSize[type] : 0; }

  void PadToEven() {
    if (out_.GetPosition() & 1) out_.Write(kZero, 1);
  }

  // Writes v at `at` of the output, keeping the write position.
  void Patch(int64_t at, uint32_t v) {
    uint8_t b[4];
    P32(b, v);
    int64_t keep = out_.GetPosition();
    out_.Seek(at, soBeginning);
    out_.Write(b, 4);
    out_.Seek(keep, soBeginning);
  }

  // The SHORT or LONG values of an entry.
  bool Values(const uint8_t* e, std::vector<uint32_t>& v) {
    const uint32_t count = G32(e + 4);
    const int sz = TypeSize(G16(e + 2));
    if ((sz != 2 && sz != 4) || count > kMaxValues) return false;
    std::vector<uint8_t> raw(size_t(count) * sz);
    const uint8_t* p = e + 8;
    if (raw.size() > 4) {
      if (!ReadAt(G32(e + 8), raw.data(), int64_t(raw.size()))) return false;
      p = raw.data();
    }
    v.resize(count);
    for (uint32_t i = 0; i < count; ++i) v[i] = sz == 2 ? G16(p + 2 * i) : G32(p + 4 * i);
    return true;
  }

  // Pointers to further IFDs (EXIF, GPS, sub-images) and old-style JPEG data
  // would point into the old file: they are dropped.
  static bool PointsIntoOldFile(uint16_t tag) {
    return tag == kTagSubIFDs || tag == kTagExifIFD || tag == kTagGPSIFD || tag == kTagInteropIFD ||
           tag == kTagJPEGInterchangeFormat || tag == kTagJPEGInterchangeFormatLength;
  }

  // Copies the chunks an offsets entry names and points the entry at the copies.
  bool CopyChunks(uint8_t* e, const std::vector<uint32_t>& counts) {
    std::vector<uint32_t> offsets;
    if (!Values(e, offsets)) return false;
    std::vector<uint32_t> moved(offsets.size());
    for (size_t k = 0; k < offsets.size(); ++k) {
      uint32_t c = k < counts.size() ? counts[k] : 0;
      buf_.resize(c);
      if (!ReadAt(offsets[k], buf_.data(), c)) return false;
      moved[k] = uint32_t(out_.GetPosition());
      out_.Write(buf_.data(), c);
    }
    // The new offsets, as LONGs, in the entry or after the data.
    P16(e + 2, kTypeLong);
    if (moved.size() == 1) {
      P32(e + 8, moved[0]);
      return true;
    }
    PadToEven();
    P32(e + 8, uint32_t(out_.GetPosition()));
    uint8_t b[4];
    for (uint32_t m : moved) {
      P32(b, m);
      out_.Write(b, 4);
    }
    return true;
  }

  // Copies an entry's value when it does not fit the entry itself.
  Copied CopyValue(uint8_t* e) {
    const int sz = TypeSize(G16(e + 2));
    const int64_t bytes = int64_t(G32(e + 4)) * sz;
    if (sz == 0) return Copied::kDropped;  // an unknown type cannot be copied
    if (bytes <= 4) return Copied::kKept;
    if (bytes > size_) return Copied::kFailed;
    buf_.resize(size_t(bytes));
    if (!ReadAt(G32(e + 8), buf_.data(), bytes)) return Copied::kFailed;
    PadToEven();
    P32(e + 8, uint32_t(out_.GetPosition()));
    out_.Write(buf_.data(), bytes);
    return Copied::kKept;
  }

  Copied CopyEntry(uint8_t* e, const std::vector<uint32_t>& counts) {
    const uint16_t tag = G16(e);
    if (PointsIntoOldFile(tag)) return Copied::kDropped;
    if (tag == kTagStripOffsets || tag == kTagTileOffsets)
      return CopyChunks(e, counts) ? Copied::kKept : Copied::kFailed;
    return CopyValue(e);
  }

  // Copies one page: its data, then its IFD, linked in at `link`, which then
  // moves to the new IFD's next-IFD field.
  bool CopyIfd(std::vector<uint8_t>& ents, uint32_t n, int64_t& link) {
    // Chunk byte counts first, then the chunks themselves.
    std::vector<uint32_t> counts;
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t tag = G16(&ents[kEntrySize * i]);
      if (tag == kTagStripByteCounts || tag == kTagTileByteCounts)
        if (!Values(&ents[kEntrySize * i], counts)) return false;
    }
    std::vector<uint8_t> kept;
    uint16_t keptCount = 0;
    for (uint32_t i = 0; i < n; ++i) {
      uint8_t* e = &ents[kEntrySize * i];
      const Copied c = CopyEntry(e, counts);
      if (c == Copied::kFailed) return false;
      if (c == Copied::kDropped) continue;
      kept.insert(kept.end(), e, e + kEntrySize);
      ++keptCount;
    }
    PadToEven();
    const uint32_t at = uint32_t(out_.GetPosition());
    if (out_.GetSize() > 0xFFFFFFFFLL) return false;  // beyond 32-bit offsets
    uint8_t b[2];
    P16(b, keptCount);
    out_.Write(b, 2);
    out_.Write(kept.data(), int64_t(kept.size()));
    Patch(link, at);
    link = out_.GetPosition();
    out_.Write(kZero, 4);
    return true;
  }

  TStream& src_;
  TMemoryStream& out_;
  const int64_t base_, size_;
  bool le_ = true;
  std::vector<uint8_t> buf_;
};

int BuildWithoutPage(TStream& src, int index, TMemoryStream& out, bool& found) {
  return PageRemover(src, out).Run(index, found);
}

}  // namespace

int DeleteTIFFImStream(TStream& stream, int index) {
  try {
    int64_t start = stream.GetPosition();
    TMemoryStream out;
    bool found = false;
    int count = BuildWithoutPage(stream, index, out, found);
    if (found && count < 2) return 0;  // a TIFF file needs at least one page
    if (count > 0 && found) {
      stream.SetSize(start);
      stream.Seek(start, soBeginning);
      stream.WriteBuffer(out.Memory(), out.GetSize());
    }
    stream.Seek(start, soBeginning);
    return count;
  } catch (...) {
    return 0;
  }
}

int DeleteTIFFIm(const std::string& fileName, int index) {
  // The new file replaces the original only when it is complete, so a
  // failure leaves the original as it was.
  try {
    TMemoryStream out;
    bool found = false;
    int count;
    {
      TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
      count = BuildWithoutPage(f, index, out, found);
    }
    if (count == 0 || !found) return count;
    if (count < 2) return 0;  // a TIFF file needs at least one page: refuse to empty it
    return PVReplaceFile(fileName, out.Memory(), out.GetSize()) ? count : 0;
  } catch (...) {
    return 0;
  }
}

namespace {

void ReadAdapter(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
                 bool preview, int64_t blockSize) {
  int count = 0;
  TIFFReadStreamLimited(bitmap, stream, count, &params, progress, preview || !bitmap, blockSize);
}

void WriteAdapter(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress) {
  TIFFWriteStream(stream, false, bitmap, params, progress);
}

}  // namespace

}  // namespace pictavo

namespace pictavo {

const TPVFormatDef& PVFormatTIFF() {
  static constexpr TPVFormatExt kExtensions[] = {{"TIF", pvExtAll}, {"TIFF", pvExtAll}};
  static constexpr TPVSignature kSignatures[] = {
      {9, 12, [](const uint8_t* h) { return PVHeadText(h, 5) == "TIFF"; }},
      {10, 8, [](const uint8_t* h) {
         return (h[0] == 'I' && h[1] == 'I') || (h[0] == 'M' && h[1] == 'M');
       }}};
  static const TPVFormatDef def{.FileType = ftTIFF,
                                .Description = "TIFF Bitmap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {::pictavo::ReadAdapter, ::pictavo::WriteAdapter, nullptr},
                                .BlockTag = "TIFF"};
  return def;
}

}  // namespace pictavo
