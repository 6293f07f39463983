// GIF codec: reads one frame, writes one-frame files, inserts and deletes
// frames of multi-frame files and marks files as looping animations.
#include "codecs/gif.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/quantize.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/replacefile.h"
#include "core/streamreader.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

// The palette builder of the writer.
class TPaletteBuilder {
 public:
  TPaletteBuilder(TBitmap& bitmap, TRGB* map, int colors) : q_(bitmap, map, 0, colors, -1, 0) {}
  int GetRGBIndex(const TRGB& c) { return q_.GetRGBIndex(c); }

 private:
  TPVQuantizer q_;
};

// Block introducers and extension labels of the GIF stream.
constexpr uint8_t kExtensionIntroducer = 0x21;  // '!'
constexpr uint8_t kImageSeparator = 0x2C;       // ','
constexpr uint8_t kTrailer = 0x3B;              // ';'
constexpr uint8_t kGraphicControlLabel = 0xF9;
// Writing GIF needs an LZW encoder, which is not installed by default.
constexpr const char* kNoEncoder =
    "no GIF LZW encoder is installed (PVUseBuiltinLZW or GIF_LZWCompFunc sets one)";
constexpr uint8_t kApplicationLabel = 0xFF;

const uint8_t kLoopExt[19] = {kExtensionIntroducer,
                              kApplicationLabel,
                              0x0B,
                              'N',
                              'E',
                              'T',
                              'S',
                              'C',
                              'A',
                              'P',
                              'E',
                              '2',
                              '.',
                              '0',
                              0x03,
                              0x01,
                              0x00,
                              0x00,
                              0x00};

// Bounded cursor over a file held in memory.
struct TCursor {
  const uint8_t* d;
  size_t n;
  size_t p = 0;
  size_t Left() const { return p < n ? n - p : 0; }
};

// Copies (or skips) a sub-block chain.  Returns false when a block runs past
// the end; what was there is copied up to the end.
bool WalkSubBlocks(TCursor& c, std::vector<uint8_t>* out) {
  for (;;) {
    if (c.Left() < 1) return false;
    uint8_t len = c.d[c.p];
    size_t take = std::min<size_t>(size_t(len) + 1, c.Left());
    if (out) out->insert(out->end(), c.d + c.p, c.d + c.p + take);
    c.p += take;
    if (take < size_t(len) + 1) return false;
    if (len == 0) return true;
  }
}

void FileToTRGB(const uint8_t* file, int count, std::vector<TRGB>& map) {
  map.resize(size_t(count));
  for (int i = 0; i < count; ++i)
    map[size_t(i)] = TRGB{file[i * 3 + 2], file[i * 3 + 1], file[i * 3]};
}

bool ReadFileBytes(const std::string& name, std::vector<uint8_t>& data) {
  TFileStream f(name, fmOpenRead | fmShareDenyNone);
  int64_t size = f.GetSize();
  if (size < 0) return false;
  data.resize(size_t(size));
  return f.Read(data.data(), size) == size;
}

// The data replaces the file `name` only when all of it was written.
bool ReplaceFile(const std::string& name, const std::vector<uint8_t>& data) {
  return PVReplaceFile(name, data.data(), int64_t(data.size()));
}

int NearestIndex(const std::vector<TRGB>& pal, const TRGB& c) {
  int best = 0;
  int bestD = 1 << 30;
  for (size_t i = 0; i < pal.size(); ++i) {
    int dr = pal[i].r - c.r, dg = pal[i].g - c.g, db = pal[i].b - c.b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = int(i);
    }
  }
  return best;
}

// A frame ready to be written: palette (memory order, 2^bits entries) and
// index bytes.
struct TGifFrame {
  int bits = 8;
  int width = 0, height = 0;
  std::vector<TRGB> palette;
  std::vector<uint8_t> indices;
  int bgIndex = 0, trIndex = 0;
};

inline uint32_t Key(const TRGB& c) {
  return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

// Exact palette of a pf24bit bitmap when it holds at most `colors` colours.
bool ExactPalette(const TBitmap& bmp, int colors, TGifFrame& f) {
  std::unordered_map<uint32_t, uint8_t> map;
  map.reserve(size_t(colors) * 2);
  const int w = bmp.GetWidth(), h = bmp.GetHeight();
  f.indices.resize(size_t(w) * size_t(h));
  f.palette.clear();
  uint32_t lastKey = 0xFFFFFFFF;
  uint8_t lastIdx = 0;
  for (int y = 0; y < h; ++y) {
    const TRGB* row = reinterpret_cast<const TRGB*>(bmp.ScanLine(y));
    uint8_t* out = f.indices.data() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      uint32_t k = Key(row[x]);
      if (k != lastKey) {
        auto it = map.find(k);
        if (it == map.end()) {
          if (int(f.palette.size()) >= colors) return false;
          lastIdx = uint8_t(f.palette.size());
          map.emplace(k, lastIdx);
          f.palette.push_back(row[x]);
        } else {
          lastIdx = it->second;
        }
        lastKey = k;
      }
      out[x] = lastIdx;
    }
  }
  return true;
}

std::unique_ptr<TBitmap> To24(const TBitmap& src) {
  auto dst = std::make_unique<TBitmap>(src.GetWidth(), src.GetHeight(), pf24bit);
  for (int y = 0; y < src.GetHeight(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = dst->ScanLine(y);
    if (src.GetPixelFormat() == pf1bit) {
      for (int x = 0; x < src.GetWidth(); ++x) {
        uint8_t v = (s[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
        d[x * 3] = d[x * 3 + 1] = d[x * 3 + 2] = v;
      }
    } else {
      for (int x = 0; x < src.GetWidth(); ++x) {
        TColor c = src.GetPixel(x, y);
        d[x * 3] = uint8_t(c >> 16);
        d[x * 3 + 1] = uint8_t(c >> 8);
        d[x * 3 + 2] = uint8_t(c);
      }
    }
  }
  return dst;
}

// Reduces the bitmap to 2^bits colours.  `insertMode`: a 1-bit request
// whose bitmap has more than two colours is written with 8 bits instead of
// dithered.
bool PrepareFrame(TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress, bool insertMode,
                  TGifFrame& f) {
  f.width = bitmap.GetWidth();
  f.height = bitmap.GetHeight();
  if (f.width <= 0 || f.height <= 0 || f.width > 65535 || f.height > 65535) return false;
  int bits = params.BitsPerSample;
  if (bits < 1 || bits > 8) bits = 8;
  std::unique_ptr<TBitmap> conv;
  const TBitmap* src = &bitmap;
  bool oneBitPath = false;
  if (bits == 1) {
    if (bitmap.GetPixelFormat() == pf1bit) {
      oneBitPath = true;
    } else {
      if (bitmap.GetPixelFormat() != pf24bit) {
        conv = To24(bitmap);
        src = conv.get();
      }
      TGifFrame two;
      if (ExactPalette(*src, 2, two)) {
        // Two colours (or one): kept in their own colours.
        while (two.palette.size() < 2) two.palette.push_back(TRGB{});
        f.palette = two.palette;
        f.indices = std::move(two.indices);
      } else if (insertMode) {
        bits = 8;
      } else {
        auto copy = std::make_unique<TBitmap>();
        copy->Assign(*src);
        _ConvertToBWOrdered(*copy, progress);
        if (copy->GetPixelFormat() != pf1bit) return false;
        conv = std::move(copy);
        src = conv.get();
        oneBitPath = true;
      }
    }
  }
  if (oneBitPath) {
    f.palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    f.indices.resize(size_t(f.width) * size_t(f.height));
    for (int y = 0; y < f.height; ++y) {
      const uint8_t* s = src->ScanLine(y);
      uint8_t* d = f.indices.data() + size_t(y) * size_t(f.width);
      for (int x = 0; x < f.width; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
    }
  } else if (f.palette.empty()) {
    if (src->GetPixelFormat() != pf24bit) {
      conv = To24(*src);
      src = conv.get();
    }
    const int colors = 1 << bits;
    if (!ExactPalette(*src, colors, f)) {
      std::vector<TRGB> pal(static_cast<size_t>(colors));
      TBitmap& qsrc = const_cast<TBitmap&>(*src);
      TPaletteBuilder q(qsrc, pal.data(), colors);
      f.palette = pal;
      f.indices.resize(size_t(f.width) * size_t(f.height));
      // Colour runs are frequent: remember the last lookup.
      uint32_t lastKey = 0xFFFFFFFF;
      uint8_t lastIdx = 0;
      for (int y = 0; y < f.height; ++y) {
        const TRGB* row = reinterpret_cast<const TRGB*>(src->ScanLine(y));
        uint8_t* d = f.indices.data() + size_t(y) * size_t(f.width);
        for (int x = 0; x < f.width; ++x) {
          uint32_t k = Key(row[x]);
          if (k != lastKey) {
            lastKey = k;
            lastIdx = uint8_t(std::clamp(q.GetRGBIndex(row[x]), 0, colors - 1));
          }
          d[x] = lastIdx;
        }
      }
    }
  }
  f.bits = bits;
  f.palette.resize(size_t(1) << bits, TRGB{});
  f.bgIndex = NearestIndex(f.palette, params.GIF_Background);
  f.trIndex = NearestIndex(f.palette, params.GIF_TranspColor);
  return true;
}

void PutTable(std::vector<uint8_t>& out, const std::vector<TRGB>& pal) {
  for (const TRGB& c : pal) {
    out.push_back(c.r);
    out.push_back(c.g);
    out.push_back(c.b);
  }
}

void PutU16(std::vector<uint8_t>& out, int v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void PutGce(std::vector<uint8_t>& out, const TIOParamsVals& params, const TGifFrame& f) {
  out.insert(out.end(), {kExtensionIntroducer, kGraphicControlLabel, 0x04});
  out.push_back(uint8_t((params.GIF_Transparent ? 1 : 0) | 8));
  PutU16(out, params.GIF_DelayTime);
  out.push_back(uint8_t(f.trIndex));
  out.push_back(0);
}

TGIFLZWCompFunc Encoder(const TIOParamsVals& params) {
  return params.GIF_LZWCompFunc ? params.GIF_LZWCompFunc : DefGIF_LZWCOMPFUNC;
}

bool Encode(TGIFLZWCompFunc enc, const TIOParamsVals& params, const TGifFrame& f,
            std::vector<uint8_t>& out) {
  TMemoryStream ms;
  if (!enc(ms, f.height, f.width, params.GIF_Interlaced, f.indices.data(), f.bits)) return false;
  size_t old = out.size();
  out.resize(old + size_t(ms.GetSize()));
  ms.SetPosition(0);
  return ms.Read(out.data() + old, ms.GetSize()) == ms.GetSize();
}

constexpr int kScreenDescriptorSize = 13;  // signature, version and screen descriptor
constexpr int kImageDescriptorSize = 9;    // after the separator
constexpr uint8_t kColorTableFlag = 0x80;
constexpr uint8_t kColorTableBits = 0x07;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kTransparentFlag = 0x01;
constexpr int kGraphicControlSize = 4;

// A colour table of 2^bits entries.
bool ReadColorTable(TStreamReader& r, int bits, std::vector<TRGB>& table) {
  std::vector<uint8_t> raw;
  if (!r.ReadBytes(raw, 3 << bits)) return false;
  FileToTRGB(raw.data(), 1 << bits, table);
  return true;
}

// Paints rows of colour indices into a bitmap: pf1bit for a black and white
// two-colour map, else pf24bit through the map (indices beyond it black).
// The bitmap is sized at the first row; every row is then written whole, and
// a guard fills any row a failure left unpainted.
class TFramePainter {
 public:
  TFramePainter(TBitmap& bitmap, const std::vector<TRGB>& map, int bps, int width, int height)
      : bitmap_(bitmap),
        width_(width),
        height_(height),
        one_bit_(bps == 1 && map.size() == 2 && map[0] == TRGB{0, 0, 0} &&
                 map[1] == TRGB{255, 255, 255}) {
    for (int i = 0; i < 256; ++i) lut_[i] = size_t(i) < map.size() ? map[size_t(i)] : TRGB{};
  }

  void Row(int y, const uint8_t* idx) {
    if (!guard_) Allocate();
    if (one_bit_) {
      uint8_t* row = bitmap_.ScanLine(y);
      std::memset(row, 0, size_t(bitmap_.RowBytes()));
      for (int x = 0; x < width_; ++x)
        if (idx[x] == 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
    } else {
      TRGB* row = reinterpret_cast<TRGB*>(bitmap_.ScanLine(y));
      for (int x = 0; x < width_; ++x) row[x] = lut_[idx[x]];
    }
    guard_->Written(y);
  }

 private:
  void Allocate() {
    bitmap_.SetSize(1, 1);
    bitmap_.SetPixelFormat(one_bit_ ? pf1bit : pf24bit);
    bitmap_.AllocateForOverwrite(width_, height_);
    guard_.emplace(bitmap_);
  }

  TBitmap& bitmap_;
  const int width_, height_;
  const bool one_bit_;
  TRGB lut_[256];
  std::optional<TBitmapRowGuard> guard_;
};

// Reads the frame GIF_ImageIndex of a stream and counts the frames.
class GifReader {
 public:
  GifReader(TStream& stream, TBitmap* bitmap, bool paramsOnly, TProgressRec& progress,
            TIOParamsVals& params)
      : stream_(stream),
        r_(stream),
        bitmap_(bitmap),
        paramsOnly_(paramsOnly),
        progress_(progress),
        params_(params) {}

  int Counter() const { return counter_; }
  // Lists every frame's parameters instead of reading one frame.
  void ListFrames(std::function<void(int, const TIOParamsVals&)> each) { each_ = std::move(each); }

  void Run() {
    if (!ReadScreen()) {
      progress_.Fail(TPVErrorCode::UnknownFormat, "not a GIF file, or no image in it");
      return;
    }
    while (!progress_.Aborted()) {
      uint8_t b = r_.U8();
      if (r_.Failed() || b == kTrailer) break;
      if (b == kExtensionIntroducer) {
        if (!ReadExtension()) break;
      } else if (b == kImageSeparator) {
        if (!ReadImage()) break;
      }
      // Any other byte is ignored.
    }
    if (!found_ && !paramsOnly_)
      progress_.Fail(TPVErrorCode::Corrupt,
                     "GIF frame " + std::to_string(params_.GIF_ImageIndex) + " not found");
  }

 private:
  // The header, the logical screen and the global colour table; false when
  // the stream is no GIF or holds nothing after them.
  bool ReadScreen() {
    uint8_t hdr[kScreenDescriptorSize];
    if (!r_.Read(hdr, kScreenDescriptorSize) || std::memcmp(hdr, "GIF", 3) != 0) return false;
    params_.GIF_Version.assign(reinterpret_cast<const char*>(hdr), 6);
    params_.GIF_WinWidth = GetU16LE(hdr + 6);
    params_.GIF_WinHeight = GetU16LE(hdr + 8);
    params_.GIF_Ratio = hdr[12];
    params_.DpiX = gSystemDPIX;
    params_.DpiY = gSystemDPIY;
    params_.SamplesPerPixel = 1;
    if (hdr[10] & kColorTableFlag) {
      globalBits_ = (hdr[10] & kColorTableBits) + 1;
      if (!ReadColorTable(r_, globalBits_, global_)) return false;
      params_.GIF_Background = hdr[11] < global_.size() ? global_[hdr[11]] : TRGB{};
    }
    return r_.Remaining() != 0;
  }

  void SkipChain() {
    for (;;) {
      uint8_t len = r_.U8();
      if (r_.Failed() || len == 0) return;
      if (!r_.Skip(len)) {
        r_.SeekTo(r_.End());
        return;
      }
    }
  }

  // An extension block; the graphic control before the wanted frame is kept.
  bool ReadExtension() {
    uint8_t label = r_.U8();
    if (r_.Failed()) return false;
    if (label == kGraphicControlLabel && (each_ || counter_ == params_.GIF_ImageIndex)) {
      int64_t at = r_.Position();
      uint8_t len = r_.U8();
      if (!r_.Failed() && len >= kGraphicControlSize) {
        uint8_t g[kGraphicControlSize];
        if (r_.Read(g, kGraphicControlSize)) {
          gcePacked_ = g[0];
          gceDelay_ = GetU16LE(g + 1);
          gceTransp_ = g[3];
        }
      }
      r_.SeekTo(at);
    }
    SkipChain();
    return true;
  }

  // An image: skipped, or read when it is the wanted one.  False stops reading.
  bool ReadImage() {
    uint8_t d[kImageDescriptorSize];
    if (!r_.Read(d, kImageDescriptorSize)) return false;
    std::vector<TRGB> local;
    int localBits = 0;
    if (d[8] & kColorTableFlag) {
      localBits = (d[8] & kColorTableBits) + 1;
      if (!ReadColorTable(r_, localBits, local)) return false;
    }
    if (!each_ && counter_ != params_.GIF_ImageIndex) {
      if (!r_.Skip(1)) return false;
      SkipChain();
      ++counter_;
      return true;
    }
    found_ = true;
    if (progress_.Report(30)) return false;
    if (!ReadWantedImage(d, local, localBits)) return false;
    if (each_) {
      each_(counter_, params_);
      // A graphic control block applies to the one image after it.
      gcePacked_ = gceTransp_ = 0;
      gceDelay_ = 0;
    }
    ++counter_;
    return true;
  }

  void StoreFrameParams(const uint8_t* d, const std::vector<TRGB>& table) {
    params_.GIF_TranspColor = gceTransp_ < table.size() ? table[gceTransp_] : TRGB{};
    params_.GIF_XPos = GetU16LE(d);
    params_.GIF_YPos = GetU16LE(d + 2);
    params_.Width = GetU16LE(d + 4);
    params_.Height = GetU16LE(d + 6);
    params_.GIF_DelayTime = gceDelay_;
    params_.GIF_Transparent = (gcePacked_ & kTransparentFlag) != 0;
    params_.GIF_Interlaced = (d[8] & kInterlaceFlag) != 0;
  }

  // Decodes the image data and paints it row by row into the bitmap; false
  // stops reading (the decoder is missing, the size is not allowed or the
  // stream did not advance).
  bool DecodeFrame(const std::vector<TRGB>& map, int bps, bool& decodeOk) {
    const int w = params_.Width, h = params_.Height;
    if (!bitmap_) {
      progress_.Fail(TPVErrorCode::Internal, "no bitmap to read into");
      return false;
    }
    // The frame's codes lie between here and the end of the stream.
    if (!PVCheckDecodeSize(w, h, 24, r_.Remaining(), progress_)) return false;
    TGIFLZWDecompFunc dec =
        params_.GIF_LZWDecompFunc ? params_.GIF_LZWDecompFunc : DefGIF_LZWDECOMPFUNC;
    if (!dec) {
      progress_.Fail(TPVErrorCode::Unsupported, "no GIF decoder");
      return false;
    }
    // The bitmap is sized at the first row, so a refused frame leaves it as
    // it was.
    TFramePainter painter(*bitmap_, map, bps, w, h);
    const int64_t before = stream_.GetPosition();
    if (dec == GIFLZWDecompress) {
      // The library's own decoder hands on rows: no frame-sized index buffer.
      decodeOk = GIFLZWDecompressRows(stream_, h, w, params_.GIF_Interlaced,
                                      [&](int y, const uint8_t* row) { painter.Row(y, row); });
    } else {
      std::vector<uint8_t> idx(size_t(w) * size_t(h));
      decodeOk = dec(stream_, h, w, params_.GIF_Interlaced, idx.data());
      if (stream_.GetPosition() != before)
        for (int y = 0; y < h; ++y) painter.Row(y, idx.data() + size_t(y) * size_t(w));
    }
    const int64_t after = stream_.GetPosition();
    if (after == before || !r_.SeekTo(after)) {
      progress_.Fail(TPVErrorCode::Corrupt, "GIF image data not valid");
      return false;
    }
    return !progress_.Report(70);
  }

  // The frame's colours, or without any colour table a grey ramp over the
  // code size; returns the bits per sample.
  static int FrameColorMap(const std::vector<TRGB>& table, int tableBits, uint8_t minCode,
                           std::vector<TRGB>& map) {
    map = table;
    if (!map.empty()) return tableBits;
    constexpr int kMaxBits = 8;
    const int bps = std::clamp<int>(minCode, 1, kMaxBits);
    const int n = 1 << bps;
    map.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
      uint8_t v = uint8_t(i * 255 / (n - 1));
      map[size_t(i)] = TRGB{v, v, v};
    }
    return bps;
  }

  bool ReadWantedImage(const uint8_t* d, const std::vector<TRGB>& local, int localBits) {
    const std::vector<TRGB>& table = !local.empty() ? local : global_;
    StoreFrameParams(d, table);
    // The code size byte, for a frame that has no colour table at all.
    int64_t dataPos = r_.Position();
    uint8_t minCode = r_.U8();
    r_.SeekTo(dataPos);
    std::vector<TRGB> map;
    const int bps = FrameColorMap(table, !local.empty() ? localBits : globalBits_, minCode, map);
    bool decodeOk = true;
    if (!paramsOnly_) {
      if (!DecodeFrame(map, bps, decodeOk)) return false;
    } else {
      // Parameters only: step over the image data to count the frames after it.
      if (!r_.Skip(1)) return false;
      SkipChain();
    }
    params_.BitsPerSample = bps;
    params_.ColorMapCount = int(map.size());
    params_.SetColorMap(map.data(), int(map.size()));
    if (!paramsOnly_ && !decodeOk)
      progress_.Fail(TPVErrorCode::Truncated,
                     "GIF image data ends early or is damaged; the rest of the frame is filled");
    return true;
  }

  TStream& stream_;
  TStreamReader r_;
  TBitmap* bitmap_;
  const bool paramsOnly_;
  TProgressRec& progress_;
  TIOParamsVals& params_;
  int counter_ = 0;
  bool found_ = false;
  uint8_t gcePacked_ = 0, gceTransp_ = 0;
  uint16_t gceDelay_ = 0;
  std::vector<TRGB> global_;
  int globalBits_ = 0;
  std::function<void(int, const TIOParamsVals&)> each_;
};

}  // namespace

void ReadGifStream(TStream& stream, TBitmap* bitmap, int& imageCount, bool paramsOnly,
                   TProgressRec& progress, TIOParamsVals& params) {
  imageCount = 0;
  if (progress.Report(0)) return;
  int counter = 0;
  try {
    GifReader reader(stream, bitmap, paramsOnly, progress, params);
    try {
      reader.Run();
    } catch (const std::exception&) {
      counter = reader.Counter();
      throw;
    }
    counter = reader.Counter();
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("GIF: ") + e.what());
  }
  imageCount = counter;
  params.GIF_ImageCount = counter;
  if (!progress.Aborted()) progress.Report(100);
}

int GIFListFrames(TStream& stream, TProgressRec& progress,
                  const std::function<void(int index, const TIOParamsVals& params)>& each) {
  TIOParamsVals params;
  try {
    GifReader reader(stream, nullptr, true, progress, params);
    reader.ListFrames(each);
    reader.Run();
    return reader.Counter();
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("GIF: ") + e.what());
  }
  return 0;
}

void ReadGif(const std::string& fileName, TBitmap* bitmap, int& imageCount, bool paramsOnly,
             TProgressRec& progress, TIOParamsVals& params) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
  ReadGifStream(f, bitmap, imageCount, paramsOnly, progress, params);
}

void WriteGifStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (progress.Report(0)) return;
  try {
    TGifFrame f;
    if (!PrepareFrame(bitmap, params, progress, false, f)) {
      progress.Abort();
      return;
    }
    if (progress.Report(30)) return;
    std::vector<uint8_t> out;
    std::string ver = params.GIF_Version;
    if (ver.size() != 6 || ver.compare(0, 3, "GIF") != 0) ver = "GIF89a";
    out.insert(out.end(), ver.begin(), ver.end());
    PutU16(out, f.width);
    PutU16(out, f.height);
    out.push_back(uint8_t(0x80 | (f.bits - 1) << 4 | (f.bits - 1)));
    out.push_back(uint8_t(f.bgIndex));
    out.push_back(0);
    PutTable(out, f.palette);
    PutGce(out, params, f);
    out.push_back(kImageSeparator);
    PutU16(out, params.GIF_XPos);
    PutU16(out, params.GIF_YPos);
    PutU16(out, f.width);
    PutU16(out, f.height);
    out.push_back(params.GIF_Interlaced ? 64 : 0);
    bool aborting = false;
    SafeStreamWrite(stream, aborting, out.data(), int64_t(out.size()));
    if (aborting) progress.Abort();
    if (progress.Report(70)) return;
    TGIFLZWCompFunc enc = Encoder(params);
    if (!enc) {
      progress.Fail(TPVErrorCode::Unsupported, kNoEncoder);
      return;
    }
    if (!enc(stream, f.height, f.width, params.GIF_Interlaced, f.indices.data(), f.bits)) {
      progress.Fail(TPVErrorCode::WriteError, "the GIF LZW encoder failed");
      return;
    }
    uint8_t trailer = kTrailer;
    SafeStreamWrite(stream, aborting, &trailer, 1);
    if (aborting) {
      progress.Abort();
      return;
    }
    progress.Report(100);
  } catch (const std::exception&) {
    progress.Abort();
  }
}

void WriteGif(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
              TProgressRec& progress) {
  // Through a temporary file: a failed or cancelled write keeps the old file.
  TPVError error;
  bool written = PVReplaceFileWith(
      fileName,
      [&](TStream& f) {
        WriteGifStream(f, bitmap, params, progress);
        return !progress.Aborted();
      },
      &error);
  if (!written)
    progress.Fail(error ? error.Code : TPVErrorCode::WriteError,
                  error ? error.Message : "the GIF file was not written");
}

namespace {

// The blocks of a frame to insert (control extension, descriptor, local
// colour table, image data); false when it cannot be built or the caller
// cancelled.
bool BuildInsertedFrame(TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress,
                        std::vector<uint8_t>& frame) {
  TGifFrame f;
  if (!PrepareFrame(bitmap, params, progress, true, f)) return false;
  if (progress.Report(30)) return false;
  TGIFLZWCompFunc enc = Encoder(params);
  if (!enc) {
    progress.Fail(TPVErrorCode::Unsupported, kNoEncoder);
    return false;
  }
  PutGce(frame, params, f);
  frame.push_back(kImageSeparator);
  PutU16(frame, params.GIF_XPos);
  PutU16(frame, params.GIF_YPos);
  PutU16(frame, f.width);
  PutU16(frame, f.height);
  frame.push_back(uint8_t(0x80 | (params.GIF_Interlaced ? 64 : 0) | (f.bits - 1)));
  PutTable(frame, f.palette);
  return Encode(enc, params, f, frame);
}

}  // namespace

int _InsertGifImStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                       TProgressRec& progress) {
  if (progress.Report(0)) return 0;
  try {
    int64_t start = stream.GetPosition();
    int64_t size = stream.GetSize() - start;
    if (size < 13) return 0;
    std::vector<uint8_t> src(static_cast<size_t>(size));
    if (stream.Read(src.data(), size) != size) return 0;
    if (std::memcmp(src.data(), "GIF", 3) != 0) return 0;
    TCursor c{src.data(), src.size()};
    std::vector<uint8_t> out;
    out.reserve(src.size() + 1024);
    out.insert(out.end(), src.data(), src.data() + 13);
    std::memcpy(out.data() + 3, "89a", 3);
    c.p = 13;
    if (src[10] & 0x80) {
      size_t t = size_t(3) << ((src[10] & 7) + 1);
      if (c.Left() < t) {
        progress.Abort();
        return 0;
      }
      out.insert(out.end(), src.data() + 13, src.data() + 13 + t);
      c.p += t;
    }
    std::vector<uint8_t> frame;
    if (!BuildInsertedFrame(bitmap, params, progress, frame)) {
      progress.Abort();
      return 0;
    }

    const int index = params.GIF_ImageIndex;
    int count = 0;
    bool inserted = false;
    auto insertHere = [&]() {
      out.insert(out.end(), frame.begin(), frame.end());
      ++count;
      inserted = true;
    };
    bool done = false;
    while (!done) {
      uint8_t b = c.Left() ? c.d[c.p] : kTrailer;  // the end of the data reads as the trailer
      if (b == kExtensionIntroducer) {
        if (c.Left() < 2) {
          progress.Abort();
          return 0;
        }
        if (c.d[c.p + 1] == kGraphicControlLabel && count == index && !inserted) insertHere();
        out.insert(out.end(), c.d + c.p, c.d + c.p + 2);
        c.p += 2;
        if (!WalkSubBlocks(c, &out)) {
          progress.Abort();
          return 0;
        }
      } else if (b == kImageSeparator) {
        // A frame without a control extension: the new frame goes before it.
        if (count == index && !inserted) insertHere();
        if (c.Left() < 11) {
          progress.Abort();
          return 0;
        }
        size_t len = 10;
        if (c.d[c.p + 9] & 0x80) len += size_t(3) << ((c.d[c.p + 9] & 7) + 1);
        len += 1;  // code size
        if (c.Left() < len) {
          progress.Abort();
          return 0;
        }
        out.insert(out.end(), c.d + c.p, c.d + c.p + len);
        c.p += len;
        if (!WalkSubBlocks(c, &out)) {
          progress.Abort();
          return 0;
        }
        ++count;
        if (!inserted && count == index) {
          if (progress.Report(70)) return 0;
          insertHere();
        }
      } else if (b == kTrailer) {
        if (count == index && !inserted) insertHere();
        out.push_back(kTrailer);
        done = true;
      } else {
        ++c.p;  // stray bytes between blocks are dropped
      }
    }
    if (!inserted) {
      // The index lies beyond the frames of the file.
      progress.Abort();
      return 0;
    }
    stream.Seek(start, soBeginning);
    bool aborting = false;
    SafeStreamWrite(stream, aborting, out.data(), int64_t(out.size()));
    stream.SetSize(start + int64_t(out.size()));
    if (aborting) {
      progress.Abort();
      return count;
    }
    progress.Report(100);
    return count;
  } catch (const std::exception&) {
    progress.Abort();
    return 0;
  }
}

int _InsertGifIm(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
                 TProgressRec& progress) {
  std::vector<uint8_t> data;
  if (!ReadFileBytes(fileName, data)) {
    progress.Abort();
    return 0;
  }
  TMemoryStream ms;
  ms.Write(data.data(), int64_t(data.size()));
  ms.SetPosition(0);
  int n = _InsertGifImStream(ms, bitmap, params, progress);
  if (progress.Aborted() || n == 0) return n;
  std::vector<uint8_t> out(size_t(ms.GetSize()));
  ms.SetPosition(0);
  ms.Read(out.data(), int64_t(out.size()));
  if (!ReplaceFile(fileName, out)) {
    progress.Abort();
    return 0;
  }
  return n;
}

int _DeleteGifIm(const std::string& fileName, int index, bool save) {
  try {
    std::vector<uint8_t> src;
    if (!ReadFileBytes(fileName, src) || src.size() < 13 || std::memcmp(src.data(), "GIF", 3) != 0)
      return 0;
    TCursor c{src.data(), src.size()};
    std::vector<uint8_t> out;
    out.reserve(src.size() + 1024);
    out.insert(out.end(), src.data(), src.data() + 13);
    std::memcpy(out.data() + 3, "89a", 3);
    c.p = 13;
    if (src[10] & 0x80) {
      size_t t = size_t(3) << ((src[10] & 7) + 1);
      size_t take = std::min(t, c.Left());
      out.insert(out.end(), c.d + c.p, c.d + c.p + take);
      c.p += take;
    }
    int count = 0, kept = 0;
    bool trailer = false;
    while (c.Left() > 0) {
      uint8_t b = c.d[c.p];
      if (b == kExtensionIntroducer) {
        bool skip = c.Left() >= 2 && c.d[c.p + 1] == kGraphicControlLabel && count == index;
        std::vector<uint8_t>* dst = skip ? nullptr : &out;
        size_t take = std::min<size_t>(2, c.Left());
        if (dst) dst->insert(dst->end(), c.d + c.p, c.d + c.p + take);
        c.p += take;
        if (!WalkSubBlocks(c, dst)) break;
      } else if (b == kImageSeparator) {
        bool skip = count == index;
        std::vector<uint8_t>* dst = skip ? nullptr : &out;
        size_t len = 11;
        if (c.Left() >= 10 && (c.d[c.p + 9] & 0x80)) len += size_t(3) << ((c.d[c.p + 9] & 7) + 1);
        size_t take = std::min(len, c.Left());
        if (dst) dst->insert(dst->end(), c.d + c.p, c.d + c.p + take);
        c.p += take;
        if (take < len) break;
        bool complete = WalkSubBlocks(c, dst);
        if (!skip) ++kept;
        ++count;
        if (!complete) break;
      } else if (b == kTrailer) {
        out.push_back(kTrailer);
        trailer = true;
        break;
      } else {
        ++c.p;
      }
    }
    // A file that could not be replaced is no deletion; neither is one that
    // would be left without a frame.
    if (save && trailer && (kept == 0 || !ReplaceFile(fileName, out))) return 0;
    return kept;
  } catch (const std::exception&) {
    return 0;
  }
}

namespace {

constexpr size_t kNoLoopExtension = size_t(-1);

// Where the looping application extension lies among the extensions before
// the first image (graphic control, comment and other blocks may come
// first), or kNoLoopExtension.
size_t FindLoopExtension(const std::vector<uint8_t>& src, size_t p) {
  constexpr size_t kLoopHeader = 14;  // introducer, label, length, "NETSCAPE2.0"
  TCursor c{src.data(), src.size(), p};
  while (c.Left() >= 2 && src[c.p] == kExtensionIntroducer) {
    const size_t at = c.p;
    if (c.Left() >= kLoopHeader && src[at + 1] == kApplicationLabel && src[at + 2] == 11 &&
        std::memcmp(src.data() + at + 3, "NETSCAPE2.0", 11) == 0)
      return at;
    c.p += 2;
    if (!WalkSubBlocks(c, nullptr)) break;
  }
  return kNoLoopExtension;
}

}  // namespace

bool _CheckGifAnimate(const std::string& fileName) {
  try {
    std::vector<uint8_t> src;
    if (!ReadFileBytes(fileName, src) || src.size() < 13 || std::memcmp(src.data(), "GIF", 3) != 0)
      return false;
    size_t p = 13;
    if (src[10] & 0x80) p += size_t(3) << ((src[10] & 7) + 1);
    return FindLoopExtension(src, p) != kNoLoopExtension;
  } catch (const std::exception&) {
    return false;
  }
}

void _GifMakeAnimate(const std::string& fileName, int loopCount, int screenWidth,
                     int screenHeight) {
  try {
    std::vector<uint8_t> src;
    if (!ReadFileBytes(fileName, src) || src.size() < 13 || std::memcmp(src.data(), "GIF", 3) != 0)
      return;
    size_t p = 13;
    if (src[10] & 0x80) p += size_t(3) << ((src[10] & 7) + 1);
    if (p > src.size()) return;
    std::vector<uint8_t> out(src.begin(), src.begin() + long(p));
    std::memcpy(out.data() + 3, "89a", 3);
    PutU16LE(out.data() + 6, uint16_t(screenWidth));
    PutU16LE(out.data() + 8, uint16_t(screenHeight));
    uint8_t ext[19];
    std::memcpy(ext, kLoopExt, 19);
    PutU16LE(ext + 16, uint16_t(loopCount));
    out.insert(out.end(), ext, ext + 19);
    // The old loop extension, wherever it is before the first image, is
    // replaced by the new one at the front.
    TCursor c{src.data(), src.size(), p};
    const size_t loop = FindLoopExtension(src, p);
    if (loop != kNoLoopExtension) {
      out.insert(out.end(), src.begin() + long(p), src.begin() + long(loop));
      c.p = loop + 2;
      if (!WalkSubBlocks(c, nullptr)) return;  // a damaged extension: leave the file alone
    }
    out.insert(out.end(), src.begin() + long(c.p), src.end());
    ReplaceFile(fileName, out);
  } catch (const std::exception&) {
  }
}

namespace {

void GifReadAdapter(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
                    bool preview, int64_t /*blockSize*/) {
  int imageCount = 0;
  ReadGifStream(stream, bitmap, imageCount, preview, progress, params);
}

void GifWriteAdapter(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                     TProgressRec& progress) {
  WriteGifStream(stream, bitmap, params, progress);
}

}  // namespace

}  // namespace pictavo

namespace pictavo {

const TPVFormatDef& PVFormatGIF() {
  static constexpr TPVFormatExt kExtensions[] = {{"GIF", pvExtAll}};
  static constexpr TPVSignature kSignatures[] = {
      {4, 13, [](const uint8_t* h) { return std::memcmp(h, "GIF", 3) == 0; }}};
  static const TPVFormatDef def{.FileType = ftGIF,
                                .Description = "CompuServe Bitmap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {GifReadAdapter, GifWriteAdapter, nullptr},
                                .StreamLoadSetsResolution = false};
  return def;
}

}  // namespace pictavo
