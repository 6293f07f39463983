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

// Builds the file without page `index` into out.  Returns the number of
// IFDs walked, 0 when the file is not TIFF or any of its data lies outside
// it (nothing is built then), and sets `found` when the page existed.
int BuildWithoutPage(TStream& src, int index, TMemoryStream& out, bool& found) {
  found = false;
  int64_t base = src.GetPosition();
  int64_t size = src.GetSize() - base;
  auto readAt = [&](int64_t off, void* buf, int64_t n) {
    if (off < 0 || n < 0 || off > size || n > size - off) return false;
    src.Seek(base + off, soBeginning);
    return src.Read(buf, n) == n;
  };
  uint8_t hdr[8];
  if (!readAt(0, hdr, 8)) return 0;
  bool le;
  if (hdr[0] == 'I' && hdr[1] == 'I')
    le = true;
  else if (hdr[0] == 'M' && hdr[1] == 'M')
    le = false;
  else
    return 0;
  auto g16 = [&](const uint8_t* p) { return le ? GetU16LE(p) : GetU16BE(p); };
  auto g32 = [&](const uint8_t* p) { return le ? GetU32LE(p) : GetU32BE(p); };
  auto p32 = [&](uint8_t* p, uint32_t v) { le ? PutU32LE(p, v) : PutU32BE(p, v); };
  auto p16 = [&](uint8_t* p, uint16_t v) { le ? PutU16LE(p, v) : PutU16BE(p, v); };

  out.Clear();
  out.Write(hdr, 4);
  int64_t link = 4;
  uint8_t zero4[4] = {};
  out.Write(zero4, 4);
  auto patch = [&](int64_t at, uint32_t v) {
    uint8_t b[4];
    p32(b, v);
    int64_t keep = out.GetPosition();
    out.Seek(at, soBeginning);
    out.Write(b, 4);
    out.Seek(keep, soBeginning);
  };
  auto values = [&](const uint8_t* e, std::vector<uint32_t>& v) {
    uint16_t type = g16(e + 2);
    uint32_t count = g32(e + 4);
    int sz = type < 13 ? kTypeSize[type] : 0;
    if ((sz != 2 && sz != 4) || count > (1u << 24)) return false;
    std::vector<uint8_t> raw(size_t(count) * sz);
    const uint8_t* p = e + 8;
    if (raw.size() > 4) {
      if (!readAt(g32(e + 8), raw.data(), int64_t(raw.size()))) return false;
      p = raw.data();
    }
    v.resize(count);
    for (uint32_t i = 0; i < count; ++i) v[i] = sz == 2 ? g16(p + 2 * i) : g32(p + 4 * i);
    return true;
  };

  uint32_t off = g32(hdr + 4);
  std::set<uint32_t> visited;
  int count = 0;
  std::vector<uint8_t> buf;
  while (off != 0 && count < 65536 && visited.insert(off).second) {
    uint8_t b[4];
    if (!readAt(off, b, 2)) return 0;
    uint32_t n = g16(b);
    std::vector<uint8_t> ents(size_t(n) * 12);
    if (!readAt(int64_t(off) + 2, ents.data(), int64_t(ents.size()))) return 0;
    if (!readAt(int64_t(off) + 2 + int64_t(n) * 12, b, 4)) return 0;
    uint32_t next = g32(b);
    if (count == index) {
      found = true;
    } else {
      // Chunk byte counts first, then the chunks themselves.
      std::vector<uint32_t> counts, offsets;
      for (uint32_t i = 0; i < n; ++i) {
        uint16_t tag = g16(&ents[12 * i]);
        if (tag == kTagStripByteCounts || tag == kTagTileByteCounts)
          if (!values(&ents[12 * i], counts)) return 0;
      }
      std::vector<uint8_t> kept;
      uint16_t keptCount = 0;
      for (uint32_t i = 0; i < n; ++i) {
        uint8_t* e = &ents[12 * i];
        uint16_t tag = g16(e), type = g16(e + 2);
        uint32_t cnt = g32(e + 4);
        // Pointers to further IFDs (EXIF, GPS, sub-images) and old-style
        // JPEG data would point into the old file: they are dropped.
        if (tag == kTagSubIFDs || tag == kTagExifIFD || tag == kTagGPSIFD ||
            tag == kTagInteropIFD || tag == kTagJPEGInterchangeFormat ||
            tag == kTagJPEGInterchangeFormatLength)
          continue;
        if (tag == kTagStripOffsets || tag == kTagTileOffsets) {
          if (!values(e, offsets)) return 0;
          std::vector<uint32_t> moved(offsets.size());
          for (size_t k = 0; k < offsets.size(); ++k) {
            uint32_t c = k < counts.size() ? counts[k] : 0;
            buf.resize(c);
            if (!readAt(offsets[k], buf.data(), c)) return 0;
            moved[k] = uint32_t(out.GetPosition());
            out.Write(buf.data(), c);
          }
          // The new offsets, as LONGs, in the entry or after the data.
          p16(e + 2, 4);
          if (moved.size() == 1) {
            p32(e + 8, moved[0]);
          } else {
            if (out.GetPosition() & 1) out.Write(zero4, 1);
            p32(e + 8, uint32_t(out.GetPosition()));
            for (uint32_t m : moved) {
              p32(b, m);
              out.Write(b, 4);
            }
          }
        } else {
          int sz = type < 13 ? kTypeSize[type] : 0;
          int64_t bytes = int64_t(cnt) * sz;
          if (sz == 0) continue;  // an unknown type cannot be copied
          if (bytes > 4) {
            if (bytes > size) return 0;
            buf.resize(size_t(bytes));
            if (!readAt(g32(e + 8), buf.data(), bytes)) return 0;
            if (out.GetPosition() & 1) out.Write(zero4, 1);
            p32(e + 8, uint32_t(out.GetPosition()));
            out.Write(buf.data(), bytes);
          }
        }
        kept.insert(kept.end(), e, e + 12);
        ++keptCount;
      }
      if (out.GetPosition() & 1) out.Write(zero4, 1);
      uint32_t at = uint32_t(out.GetPosition());
      if (out.GetSize() > 0xFFFFFFFFLL) return 0;
      p16(b, keptCount);
      out.Write(b, 2);
      out.Write(kept.data(), int64_t(kept.size()));
      patch(link, at);
      link = out.GetPosition();
      out.Write(zero4, 4);
    }
    off = next;
    ++count;
  }
  return count;
}

}  // namespace

int DeleteTIFFImStream(TStream& stream, int index) {
  try {
    int64_t start = stream.GetPosition();
    TMemoryStream out;
    bool found = false;
    int count = BuildWithoutPage(stream, index, out, found);
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
