#include "codecs/pcx.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/quantize.h"
#include "codecs/raster_common.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/replacefile.h"
#include "core/streamreader.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

using raster::IsBlack;
using raster::IsWhite;

// Decodes plane lines from the bytes read; a run may continue on the next
// line.  Running out of data marks the decoder truncated.
// Decodes scan lines from the `size` bytes that follow the reader's
// position, reading them through a bounded buffer: memory stays at the
// bitmap plus one buffer whatever the file's size.
class TPcxLineDecoder {
 public:
  TPcxLineDecoder(TStreamReader& reader, int64_t size, bool rle)
      : reader_(reader), remaining_(size), rle_(rle), buf_(kBufferBytes) {}
  void Decode(uint8_t* line, int bytes) {
    int i = 0;
    while (i < bytes) {
      if (run_ > 0) {
        int n = std::min(run_, bytes - i);
        std::memset(line + i, runValue_, n);
        run_ -= n;
        i += n;
        continue;
      }
      if (!rle_) {  // uncompressed lines are copied as they come
        i += Copy(line + i, bytes - i);
        if (i < bytes) return Cut(line, i, bytes);
        continue;
      }
      int b = Next();
      if (b < 0) return Cut(line, i, bytes);
      if (b >= 192) {
        int v = Next();
        if (v < 0) return Cut(line, i, bytes);
        runValue_ = uint8_t(v);
        run_ = b & 63;
      } else {
        line[i++] = uint8_t(b);
      }
    }
  }
  bool Truncated() const { return truncated_; }

 private:
  static constexpr size_t kBufferBytes = 1 << 16;

  // The data ended inside the line: the rest of it is zero.
  void Cut(uint8_t* line, int from, int bytes) {
    truncated_ = true;
    std::memset(line + from, 0, size_t(bytes - from));
  }
  bool Refill() {
    if (remaining_ <= 0) return false;
    const int64_t want = std::min<int64_t>(remaining_, int64_t(buf_.size()));
    const int64_t got = reader_.ReadSome(buf_.data(), want);
    if (got <= 0) {
      remaining_ = 0;
      return false;
    }
    remaining_ -= got;
    pos_ = 0;
    len_ = size_t(got);
    return true;
  }
  int Next() {
    if (pos_ == len_ && !Refill()) return -1;
    return buf_[pos_++];
  }
  int Copy(uint8_t* dest, int count) {
    int done = 0;
    while (done < count) {
      if (pos_ == len_ && !Refill()) break;
      const size_t n = std::min(size_t(count - done), len_ - pos_);
      std::memcpy(dest + done, buf_.data() + pos_, n);
      pos_ += n;
      done += int(n);
    }
    return done;
  }

  TStreamReader& reader_;
  int64_t remaining_;
  bool rle_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0, len_ = 0;
  int run_ = 0;
  uint8_t runValue_ = 0;
  bool truncated_ = false;
};

void StoreRGB(uint8_t* p, const TRGB& c) {
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

// Run-length encodes n bytes; an odd n gets one 0 byte appended so that the
// decoded line has its even length.
void EncodeLine(const uint8_t* line, int n, std::vector<uint8_t>& out) {
  out.clear();
  int i = 0;
  while (i < n) {
    uint8_t v = line[i];
    int count = 1;
    while (i + count < n && count < 63 && line[i + count] == v) ++count;
    if (count > 1 || v >= 192) {
      out.push_back(static_cast<uint8_t>(192 + count));
      out.push_back(v);
    } else {
      out.push_back(v);
    }
    i += count;
  }
  if (n & 1) out.push_back(0);
}

}  // namespace

namespace {

// The 256-entry palette at the end of the file: the last 768 bytes, after
// the byte 12; the data then ends before it.  A file too short to hold it
// gets a grey ramp.  False when the palette cannot be read.
bool ReadEndPalette(TStreamReader& reader, int64_t start, TRGB* pal256, int64_t& dataEnd) {
  if (reader.End() - start < 128 + 769) {
    for (int i = 0; i < 256; ++i) pal256[i] = raster::Rgb(i, i, i);
    return true;
  }
  uint8_t raw[768];
  if (!reader.SeekTo(reader.End() - 768) || !reader.Read(raw, 768)) return false;
  for (int i = 0; i < 256; ++i) pal256[i] = raster::Rgb(raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]);
  dataEnd = reader.End() - 769;
  reader.SeekTo(start + 128);
  return true;
}

// Depth, version, encoding and colour map as the header `h` gives them.
void StoreLayout(TIOParamsVals& params, const uint8_t* h, const TRGB* pal16, const TRGB* pal256) {
  const int bpp = h[3], encoding = h[2], planes = h[65];
  params.BitsPerSample = bpp;
  params.SamplesPerPixel = planes;
  params.PCX_Version = h[1];
  params.PCX_Compression = encoding == 1 ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
  if (bpp == 8 && planes == 1) {
    params.SetColorMap(pal256, 256);
  } else if (bpp == 1 && planes > 1) {
    // Bit planes (two to four) form the palette index.
    params.SetColorMap(pal16, 1 << planes);
    params.BitsPerSample = planes;
    params.SamplesPerPixel = 1;
  } else if (bpp < 8) {
    params.SetColorMap(pal16, std::min(16, 1 << bpp));
  } else {
    params.FreeColorMap();
  }
}

}  // namespace

void ReadPcxStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, int64_t size,
                   TProgressRec& progress, bool preview) {
  try {
    TStreamReader reader(stream, size);
    const int64_t start = reader.Start();
    uint8_t h[128];
    if (!reader.Read(h, 128)) {
      progress.Fail(TPVErrorCode::Truncated, "PCX header ends early");
      return;
    }
    const int bpp = h[3], encoding = h[2], planes = h[65];
    const int xmin = GetU16LE(h + 4), ymin = GetU16LE(h + 6), xmax = GetU16LE(h + 8),
              ymax = GetU16LE(h + 10);
    const int bytesPerLine = GetU16LE(h + 66);
    const int width = xmax - xmin + 1, height = ymax - ymin + 1;
    // Header checks: every size must be consistent before anything is used.
    if (h[0] != 10 || bpp > 8 || bpp == 0 || encoding > 1 || xmax < xmin || ymax < ymin ||
        planes == 0 || planes > 4 || int64_t(bytesPerLine) * 8 < int64_t(width) * bpp) {
      progress.Fail(TPVErrorCode::Corrupt, "PCX header not valid");
      return;
    }
    if (!PVCheckDecodeSize(width, height, 24, -1, progress)) return;
    int dpiX = GetU16LE(h + 12), dpiY = GetU16LE(h + 14);
    if (dpiX == 0 || dpiY == 0) {
      dpiX = gSystemDPIX;
      dpiY = gSystemDPIY;
    }
    TRGB pal16[16];
    for (int i = 0; i < 16; ++i)
      pal16[i] = raster::Rgb(h[16 + 3 * i], h[17 + 3 * i], h[18 + 3 * i]);
    TRGB pal256[256];
    int64_t dataEnd = reader.End();
    if (planes == 1 && bpp > 4 && !ReadEndPalette(reader, start, pal256, dataEnd)) {
      progress.Fail(TPVErrorCode::Corrupt, "PCX palette missing");
      return;
    }
    const int64_t dataBytes = std::max<int64_t>(0, dataEnd - reader.Position());

    params.Width = width;
    params.Height = height;
    params.DpiX = dpiX;
    params.DpiY = dpiY;
    StoreLayout(params, h, pal16, pal256);
    if (preview) return;

    // Two-colour files: black and white (either way round, or a palette that
    // does not tell them apart) load as pf1bit, other pairs as pf24bit.
    const bool mono = bpp == 1 && planes == 1;
    bool mono1bit = false, monoInvert = false;
    if (mono) {
      const TRGB& c0 = pal16[0];
      const TRGB& c1 = pal16[1];
      if (c0 == c1 || (IsBlack(c0) && IsWhite(c1))) {
        mono1bit = true;
      } else if (IsWhite(c0) && IsBlack(c1)) {
        mono1bit = monoInvert = true;
      }
    }
    if (!PVCheckDecodeSize(width, height, mono1bit ? 1 : 24, dataBytes, progress)) return;
    // Every row of a layout below is written whole; the guard fills the rows
    // not reached (and all rows of a layout no branch handles).
    raster::SizeBitmapForRows(bitmap, mono1bit ? pf1bit : pf24bit, width, height);
    TBitmapRowGuard guard(bitmap);

    TPcxLineDecoder decoder(reader, dataBytes, encoding == 1);
    std::vector<uint8_t> lines(size_t(bytesPerLine) * planes);
    progress.PerUnit = 100.0 / height;
    const int monoBytes = (width + 7) / 8;
    for (int y = 0; y < height; ++y) {
      if (progress.Report(static_cast<int>(y * progress.PerUnit))) return;
      for (int p = 0; p < planes; ++p)
        decoder.Decode(lines.data() + size_t(p) * bytesPerLine, bytesPerLine);
      uint8_t* row = bitmap.ScanLine(y);
      const uint8_t* l0 = lines.data();
      bool written = true;
      if (planes == 1 && bpp == 8) {
        for (int x = 0; x < width; ++x) StoreRGB(row + 3 * x, pal256[l0[x]]);
      } else if (planes == 1 && bpp == 4) {
        for (int x = 0; x < width; ++x) {
          uint8_t b = l0[x >> 1];
          StoreRGB(row + 3 * x, pal16[(x & 1) ? (b & 15) : (b >> 4)]);
        }
      } else if (planes == 1 && bpp == 1) {
        if (mono1bit) {
          std::memcpy(row, l0, monoBytes);
          if (monoInvert) raster::InvertBytes(row, monoBytes);
        } else {
          raster::BitsToBGR(l0, row, width, pal16[0], pal16[1]);
        }
      } else if ((planes == 3 || planes == 4) && bpp == 8) {
        // Colour planes red, green, blue (a fourth, alpha, plane is ignored).
        const uint8_t* r = l0;
        const uint8_t* g = l0 + bytesPerLine;
        const uint8_t* b = l0 + 2 * bytesPerLine;
        for (int x = 0; x < width; ++x) {
          row[3 * x] = b[x];
          row[3 * x + 1] = g[x];
          row[3 * x + 2] = r[x];
        }
      } else if (planes > 1 && bpp == 1) {
        for (int x = 0; x < width; ++x) {
          int index = 0;
          const uint8_t mask = 0x80 >> (x & 7);
          for (int k = 0; k < planes; ++k)
            if (lines[size_t(k) * bytesPerLine + (x >> 3)] & mask) index |= 1 << k;
          StoreRGB(row + 3 * x, pal16[index]);
        }
      } else {
        written = false;
      }
      if (written) guard.Written(y);
      if (decoder.Truncated()) {
        // What was there is decoded; the rest of the image is missing.
        progress.Fail(TPVErrorCode::Truncated, "PCX data ends early");
        return;
      }
    }
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("PCX: ") + e.what());
  }
}

void ReadPcx(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
             TProgressRec& progress) {
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    ReadPcxStream(f, bitmap, params, f.GetSize(), progress, false);
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::ReadError, e.what());
  }
}

namespace {

// One image row as the plane lines of the file: the bits as they are, the
// quantizer's indices packed two or one per byte, or the red, green and
// blue planes.
void PackRow(const uint8_t* row, int width, int depth, int lineLen, int bytesPerLine,
             TPVQuantizer* quantizer, std::vector<uint8_t>& lines) {
  std::fill(lines.begin(), lines.end(), 0);
  switch (depth) {
    case 1:
      std::memcpy(lines.data(), row, lineLen);
      break;
    case 4:
      for (int x = 0; x < width; ++x) {
        const TRGB* px = reinterpret_cast<const TRGB*>(row + 3 * x);
        int index = quantizer->GetRGBIndex(*px) & 15;
        lines[x >> 1] |= (x & 1) ? index : (index << 4);
      }
      break;
    case 8:
      for (int x = 0; x < width; ++x)
        lines[x] = static_cast<uint8_t>(
            quantizer->GetRGBIndex(*reinterpret_cast<const TRGB*>(row + 3 * x)));
      break;
    default:
      for (int x = 0; x < width; ++x) {
        lines[x] = row[3 * x + 2];
        lines[bytesPerLine + x] = row[3 * x + 1];
        lines[2 * bytesPerLine + x] = row[3 * x];
      }
      break;
  }
}

}  // namespace

void WritePcxStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  raster::TAbortRef aborting(progress);
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65536) {
    progress.Abort();
    return;
  }
  int depth = params.BitsPerSample == 1 ? 1 : params.BitsPerSample * params.SamplesPerPixel;
  if (depth != 1 && depth != 4 && depth != 8) depth = 24;

  // The source in the form the depth needs.
  TBitmap* source = &bitmap;
  std::unique_ptr<TBitmap> scratch;
  TRGB c0 = raster::Rgb(0, 0, 0), c1 = raster::Rgb(255, 255, 255);
  if (depth == 1) {
    if (bitmap.GetPixelFormat() != pf1bit) {
      scratch = PVReduceToBilevel(bitmap, c0, c1, progress);
      source = scratch.get();
    }
  } else if (bitmap.GetPixelFormat() != pf24bit) {
    scratch = std::make_unique<TBitmap>();
    raster::CopyAs24(bitmap, *scratch);
    source = scratch.get();
  }

  uint8_t h[128] = {};
  h[0] = 10;
  h[1] = static_cast<uint8_t>(params.PCX_Version);
  h[2] = params.PCX_Compression == ioPCX_RLE ? 1 : 0;
  PutU16LE(h + 8, static_cast<uint16_t>(width - 1));
  PutU16LE(h + 10, static_cast<uint16_t>(height - 1));
  PutU16LE(h + 12, static_cast<uint16_t>(params.DpiX));
  PutU16LE(h + 14, static_cast<uint16_t>(params.DpiY));
  PutU16LE(h + 68, 1);
  int bytesPerLine = 0;
  TRGB palette[256] = {};
  std::unique_ptr<TPVQuantizer> quantizer;
  switch (depth) {
    case 1:
      h[3] = 1;
      h[65] = 1;
      bytesPerLine = (width + 7) / 8;
      palette[0] = c0;
      palette[1] = c1;
      break;
    case 4:
      h[3] = 4;
      h[65] = 1;
      bytesPerLine = (width + 1) / 2;
      quantizer = std::make_unique<TPVQuantizer>(*source, palette, 0, 16);
      break;
    case 8:
      h[3] = 8;
      h[65] = 1;
      bytesPerLine = width;
      quantizer = std::make_unique<TPVQuantizer>(*source, palette, 0, 256);
      break;
    default:
      h[3] = 8;
      h[65] = 3;
      bytesPerLine = width;
      PutU16LE(h + 68, 0);
      break;
  }
  const int lineLen = bytesPerLine;  // the data bytes of one plane line
  bytesPerLine += bytesPerLine & 1;
  PutU16LE(h + 66, static_cast<uint16_t>(bytesPerLine));
  if (depth == 1 || depth == 4)
    for (int i = 0; i < 16; ++i) {
      h[16 + 3 * i] = palette[i].r;
      h[17 + 3 * i] = palette[i].g;
      h[18 + 3 * i] = palette[i].b;
    }
  if (depth == 4 || depth == 8) params.SetColorMap(palette, depth == 4 ? 16 : 256);
  SafeStreamWrite(stream, aborting.Flag(), h, 128);

  const bool rle = h[2] == 1;
  const int planes = depth == 24 ? 3 : 1;
  std::vector<uint8_t> lines(size_t(bytesPerLine) * planes), encoded;
  progress.PerUnit = 100.0 / height;
  for (int y = 0; y < height; ++y) {
    if (progress.Report(static_cast<int>(y * progress.PerUnit)) || aborting.Set()) break;
    PackRow(source->ScanLine(y), width, depth, lineLen, bytesPerLine, quantizer.get(), lines);
    for (int p = 0; p < planes; ++p) {
      const uint8_t* line = lines.data() + size_t(p) * bytesPerLine;
      if (rle) {
        EncodeLine(line, lineLen, encoded);
        SafeStreamWrite(stream, aborting.Flag(), encoded.data(), int64_t(encoded.size()));
      } else {
        SafeStreamWrite(stream, aborting.Flag(), line, bytesPerLine);
      }
    }
  }
  if (depth == 8 && !aborting.Set()) {
    uint8_t tail[769];
    tail[0] = 12;
    for (int i = 0; i < 256; ++i) {
      tail[1 + 3 * i] = palette[i].r;
      tail[2 + 3 * i] = palette[i].g;
      tail[3 + 3 * i] = palette[i].b;
    }
    SafeStreamWrite(stream, aborting.Flag(), tail, 769);
  }
}

void WritePcx(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
              TProgressRec& progress) {
  // Through a temporary file: a failed or cancelled write keeps the old file.
  TPVError error;
  bool written = PVReplaceFileWith(
      fileName,
      [&](TStream& f) {
        WritePcxStream(f, bitmap, params, progress);
        return !progress.Aborted();
      },
      &error);
  if (!written)
    progress.Fail(error ? error.Code : TPVErrorCode::WriteError,
                  error ? error.Message : "the PCX file was not written");
}

namespace {

void PcxRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
             bool preview, int64_t blockSize) {
  TBitmap dummy;
  if (blockSize < 0) blockSize = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
  ReadPcxStream(stream, bitmap ? *bitmap : dummy, params, blockSize, progress, preview || !bitmap);
}

// The first two bytes of a PCX file: manufacturer 10, version 0 to 5.
constexpr uint8_t kPcxManufacturer = 0x0A;
constexpr uint8_t kPcxLastVersion = 5;

}  // namespace

const TPVFormatDef& PVFormatPCX() {
  static constexpr TPVFormatExt kExtensions[] = {{"PCX", pvExtAll}};
  static constexpr TPVSignature kSignatures[] = {
      {5, 12, [](const uint8_t* h) { return PVHeadText(h, 5) == "PCX2"; }},
      {6, 4, [](const uint8_t* h) { return PVHeadText(h, 4) == "PCX"; }},
      {8, 128,
       [](const uint8_t* h) { return h[0] == kPcxManufacturer && h[1] <= kPcxLastVersion; }}};
  static const TPVFormatDef def{.FileType = ftPCX,
                                .Description = "PaintBrush",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {PcxRead, WritePcxStream, nullptr},
                                .BlockTag = "PCX2",
                                .FileSizeIsBlock = true};
  return def;
}

}  // namespace pictavo
