#include "codecs/pxm.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/raster_common.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/rowconv.h"
#include "core/streamreader.h"
#include "formats/registry.h"

namespace pictavo {

namespace {

bool IsAlnum(int c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string Trim(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return s.substr(a, b - a);
}

// Header and ASCII-sample tokens: a run of letters and digits (the byte that
// ends it is consumed), or a comment line kept with its leading '#'.  Empty
// at the end of the data.
class TPxmTokens {
 public:
  explicit TPxmTokens(raster::TByteSource& source) : src_(source) {}
  std::string Next() {
    int c = src_.Get();
    while (c >= 0 && !IsAlnum(c) && c != '#') c = src_.Get();
    std::string token;
    if (c < 0) return token;
    if (c == '#') {
      while (c >= 0 && c != '\n' && c != '\r') {
        token.push_back(static_cast<char>(c));
        if (token.size() > 65536) break;  // one comment line is bounded
        c = src_.Get();
      }
      return Trim(token);
    }
    while (c >= 0 && IsAlnum(c)) {
      if (token.size() < 32) token.push_back(static_cast<char>(c));
      c = src_.Get();
    }
    return token;
  }
  // The next token that is not a comment; comments go to `comments` when given.
  std::string NextValue(TStrings* comments) {
    for (;;) {
      std::string t = Next();
      if (t.empty() || t[0] != '#') return t;
      if (comments) comments->Add(Trim(t.substr(1)));
    }
  }

 private:
  raster::TByteSource& src_;
};

// A decimal number; -1 when the token does not parse (or is too large).
int64_t ParseNumber(const std::string& t) {
  if (t.empty() || t.size() > 10) return -1;
  int64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v > 0x7FFFFFFF ? -1 : v;
}

// Builds the table that turns a sample (clamped to the maximum) into 0..255:
// trunc(v / maximum * 255), done in integers; a maximum of 0 gives 0.
std::vector<uint8_t> ScaleTable(int64_t maximum) {
  const int64_t entries = std::clamp<int64_t>(maximum, 0, 65535) + 1;
  std::vector<uint8_t> table(static_cast<size_t>(entries));
  for (int64_t v = 0; v < entries; ++v) table[v] = maximum > 0 ? uint8_t(v * 255 / maximum) : 0;
  return table;
}

}  // namespace

bool TryPXM(TStream& stream) {
  const int64_t pos = stream.GetPosition();
  bool ok = false;
  try {
    TStreamReader reader(stream);
    raster::TByteSource source(reader, 512);
    TPxmTokens tokens(source);
    // Up to 501 tokens, comments included.
    int budget = 501;
    auto next = [&]() -> std::string {
      while (budget-- > 0) {
        std::string t = tokens.Next();
        if (t.empty() || t[0] != '#') return t;
      }
      return std::string();
    };
    std::string magic = next();
    if (magic.size() == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6') {
      const int64_t width = ParseNumber(next());
      const int64_t height = ParseNumber(next());
      bool more = true;
      if (magic[1] != '1' && magic[1] != '4') more = !next().empty();
      ok = more && width > 0 && height > 0;
    }
  } catch (const std::exception&) {
    ok = false;
  }
  stream.Seek(pos, soBeginning);
  return ok;
}

namespace {

// A sample scaled through the table, out-of-range values clamped.
uint8_t Scaled(const std::vector<uint8_t>& scale, int64_t v) {
  return scale[static_cast<size_t>(std::clamp<int64_t>(v, 0, int64_t(scale.size()) - 1))];
}

// One row of a plain PBM ('0' white, '1' black, anything else skipped);
// false when the data ends first.
bool ReadPlainBitsRow(raster::TByteSource& source, uint8_t* row, int w) {
  std::memset(row, 0, size_t((w + 7) / 8));
  for (int x = 0; x < w; ++x) {
    int c = source.Get();
    while (c >= 0 && c != '0' && c != '1') c = source.Get();
    if (c < 0) return false;
    if (c == '0') row[x >> 3] |= uint8_t(0x80 >> (x & 7));
  }
  return true;
}

// Writes one pixel of `channels` samples (grey or R, G, B) as B, G, R.
void PutPixel(uint8_t* px, const uint8_t* v, int channels) {
  if (channels == 1) {
    px[0] = px[1] = px[2] = v[0];
  } else {
    px[0] = v[2];
    px[1] = v[1];
    px[2] = v[0];
  }
}

// One row of a plain PGM or PPM; false when the data ends first.
bool ReadPlainSamplesRow(TPxmTokens& tokens, uint8_t* row, int w, int channels,
                         const std::vector<uint8_t>& scale) {
  for (int x = 0; x < w; ++x) {
    uint8_t v[3];
    for (int k = 0; k < channels; ++k) {
      std::string t = tokens.NextValue(nullptr);
      if (t.empty()) return false;
      v[k] = Scaled(scale, std::max<int64_t>(0, ParseNumber(t)));
    }
    PutPixel(row + 3 * x, v, channels);
  }
  return true;
}

// One row of a binary PGM or PPM (8- or 16-bit samples); the pixels that
// arrived are kept, false when the data ends first.
bool ReadRawSamplesRow(raster::TByteSource& source, std::vector<uint8_t>& raw, uint8_t* row, int w,
                       int channels, int sampleBytes, const std::vector<uint8_t>& scale,
                       bool identity) {
  const size_t want = size_t(w) * channels * sampleBytes;
  const size_t n = source.Read(raw.data(), want);
  const size_t samples = n / sampleBytes;
  for (size_t i = 0; i < samples && !identity; ++i) {
    const int64_t v = sampleBytes == 2 ? GetU16BE(raw.data() + 2 * i) : raw[i];
    raw[i] = Scaled(scale, v);  // samples shrink in place to one byte each
  }
  const size_t pixels = samples / channels;
  for (size_t x = 0; x < pixels; ++x) PutPixel(row + 3 * x, raw.data() + channels * x, channels);
  return n == want;
}

// One row of a binary PPM with maximum 255: read into the reused row buffer,
// which stays in cache, and swapped into blue-green-red order on its way to
// the bitmap row, so the fresh bitmap memory is written once and never read
// back. A row cut short keeps the pixels that arrived and the fill colour
// after them.
bool ReadRawRgbRow(raster::TByteSource& source, TBitmap& bitmap, int y, int w,
                   std::vector<uint8_t>& raw) {
  uint8_t* row = bitmap.ScanLine(y);
  const size_t want = size_t(w) * 3;
  const size_t n = source.Read(raw.data(), want);
  if (n == want) {
    PVSwapRB24(raw.data(), row, w);
    return true;
  }
  bitmap.FillRows(y, y + 1);
  PVSwapRB24(raw.data(), row, int(n / 3));
  return false;
}

// The header as read: the kind (1 to 6), size and maximum sample value.
struct TPxmHeader {
  int kind = 0;
  int64_t width = 0, height = 0, maximum = 1;
  bool Bits() const { return kind == 1 || kind == 4; }
  bool Colour() const { return kind == 3 || kind == 6; }
};

// Reads the header and sets the parameters a load reports; false, with the
// reason given to the progress record, when it is not a valid header.
bool ReadPxmHeader(TPxmTokens& tokens, TIOParamsVals& params, TProgressRec& progress,
                   TPxmHeader& h) {
  params.PXM_Comments.Clear();
  const std::string magic = tokens.NextValue(&params.PXM_Comments);
  h.width = ParseNumber(tokens.NextValue(&params.PXM_Comments));
  h.height = ParseNumber(tokens.NextValue(&params.PXM_Comments));
  h.kind = (magic.size() == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6')
               ? magic[1] - '0'
               : 0;
  h.maximum = 1;
  if (h.kind != 1 && h.kind != 4) h.maximum = ParseNumber(tokens.NextValue(&params.PXM_Comments));
  if (h.kind == 0) {
    progress.Fail(TPVErrorCode::UnknownFormat, "not a PBM, PGM or PPM file");
    return false;
  }
  if (h.width <= 0 || h.height <= 0 || h.width > 0x7FFFFFFF || h.height > 0x7FFFFFFF) {
    progress.Fail(TPVErrorCode::Corrupt, "PNM image size not valid");
    return false;
  }
  if (h.maximum < 0) h.maximum = 0;
  params.FreeColorMap();
  params.Width = static_cast<int32_t>(h.width);
  params.Height = static_cast<int32_t>(h.height);
  params.DpiX = gSystemDPIX;
  params.DpiY = gSystemDPIY;
  params.BitsPerSample = h.Bits() ? 1 : 8;
  params.SamplesPerPixel = h.Colour() ? 3 : 1;
  return true;
}

}  // namespace

void PXMReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress) {
  try {
    const int64_t fileBytes = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
    TStreamReader reader(stream);
    raster::TByteSource source(reader, 65536);
    TPxmTokens tokens(source);
    TPxmHeader header;
    if (!ReadPxmHeader(tokens, params, progress, header)) return;
    const int64_t width = header.width, height = header.height, maximum = header.maximum;
    const int kind = header.kind;
    progress.PerUnit = 100.0 / height;
    progress.Current = 0;
    const bool bits = header.Bits();
    const bool colour = header.Colour();
    if (preview) return;
    // The header is a few bytes: the file's size bounds what the samples fill.
    if (!PVCheckDecodeSize(width, height, bits ? 1 : 24, fileBytes, progress)) return;
    const int w = static_cast<int>(width), hgt = static_cast<int>(height);
    // Every row below is written whole (a row cut short is filled first); the
    // guard fills the rows never reached.
    bitmap.SetSize(1, 1);
    bitmap.SetPixelFormat(bits ? pf1bit : pf24bit);
    bitmap.AllocateForOverwrite(w, hgt);
    TBitmapRowGuard guard(bitmap);

    const std::vector<uint8_t> scale = ScaleTable(maximum);
    const int sampleBytes = maximum > 255 ? 2 : 1;
    const int channels = colour ? 3 : 1;
    std::vector<uint8_t> raw(size_t(w) * channels * sampleBytes + 8);
    const int bitBytes = (w + 7) / 8;
    bool complete = true;
    for (int y = 0; y < hgt && complete; ++y) {
      uint8_t* row = bitmap.ScanLine(y);
      switch (kind) {
        case 1:
          complete = ReadPlainBitsRow(source, row, w);
          break;
        case 2:
        case 3:
          bitmap.FillRows(y, y + 1);  // pixels past a short row keep the fill
          complete = ReadPlainSamplesRow(tokens, row, w, channels, scale);
          break;
        case 4: {
          size_t n = source.Read(row, bitBytes);
          complete = n == size_t(bitBytes);
          if (!complete) {
            std::memcpy(raw.data(), row, n);
            bitmap.FillRows(y, y + 1);
            std::memcpy(row, raw.data(), n);
          }
          raster::InvertBytes(row, int64_t(n));
          break;
        }
        default:
          if (kind == 6 && maximum == 255) {
            complete = ReadRawRgbRow(source, bitmap, y, w, raw);
          } else {
            bitmap.FillRows(y, y + 1);
            complete = ReadRawSamplesRow(source, raw, row, w, channels, sampleBytes, scale,
                                         maximum == 255);
          }
          break;
      }
      guard.Written(y);
      ++progress.Current;
      if (progress.Report(static_cast<int>(progress.Current * progress.PerUnit))) return;
    }
    if (!complete) progress.Fail(TPVErrorCode::Truncated, "PNM data ends early");
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("PNM: ") + e.what());
  }
}

// The reader, buffer and header behind TPVPxmRows.
// Rows are read a chunk of this many bytes at a time (at least one row):
// a read per row costs a system call per row, and a chunk this size stays
// in the processor's cache until its rows are used.
constexpr size_t kRowChunkBytes = 256 * 1024;

struct TPVPxmRows::State {
  explicit State(TStream& stream) : reader(stream), source(reader, 65536), tokens(source) {}
  TStreamReader reader;
  raster::TByteSource source;
  TPxmTokens tokens;
  TPxmHeader header;
  size_t fileRowBytes = 0;
  std::vector<uint8_t> chunk;  // whole file rows
  size_t chunkRows = 0, chunkNext = 0;
  std::vector<uint8_t> row;  // a PGM row spread to three samples
  int next = 0;
};

TPVPxmRows::TPVPxmRows(TStream& stream, TIOParamsVals& params, TProgressRec& progress)
    : progress_(progress) {
  try {
    const int64_t fileBytes = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
    state_ = std::make_unique<State>(stream);
    const TPxmHeader& h = state_->header;
    if (!ReadPxmHeader(state_->tokens, params, progress, state_->header)) return;
    read_ = true;
    // Binary grey or colour with one byte per sample: the file's bytes are the rows.
    if ((h.kind != 5 && h.kind != 6) || h.maximum != 255) return;
    if (!PVCheckDecodeSize(h.width, h.height, 24, fileBytes, progress)) return;
    State& st = *state_;
    st.fileRowBytes = size_t(h.width) * (h.kind == 6 ? 3 : 1);
    const size_t chunkRows = std::max<size_t>(1, kRowChunkBytes / st.fileRowBytes);
    st.chunk.resize(std::min<size_t>(chunkRows, size_t(h.height)) * st.fileRowBytes);
    if (h.kind == 5) st.row.resize(size_t(h.width) * 3);
    streamable_ = true;
  } catch (const std::bad_alloc&) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    progress.Fail(TPVErrorCode::Corrupt, std::string("PNM: ") + e.what());
  }
}

TPVPxmRows::~TPVPxmRows() = default;

int TPVPxmRows::Width() const {
  return streamable_ ? int(state_->header.width) : 0;
}
int TPVPxmRows::Height() const {
  return streamable_ ? int(state_->header.height) : 0;
}

const uint8_t* TPVPxmRows::Row(int y) {
  if (!streamable_ || y != state_->next) return nullptr;
  State& st = *state_;
  if (st.chunkNext == st.chunkRows) {
    // Whole rows only: the bytes of a row cut short are of no use.
    try {
      const size_t rowsLeft = size_t(st.header.height - y);
      const size_t want = std::min(st.chunk.size(), rowsLeft * st.fileRowBytes);
      st.chunkRows = st.source.Read(st.chunk.data(), want) / st.fileRowBytes;
    } catch (const std::exception& e) {
      progress_.Fail(TPVErrorCode::ReadError, std::string("PNM: ") + e.what());
      return nullptr;
    }
    st.chunkNext = 0;
    if (st.chunkRows == 0) return Truncated();
  }
  const uint8_t* src = &st.chunk[st.chunkNext++ * st.fileRowBytes];
  ++st.next;
  if (st.header.kind == 6) return src;
  const int w = Width();
  for (int x = 0; x < w; ++x) std::memset(&st.row[size_t(x) * 3], src[x], 3);
  return st.row.data();
}

const uint8_t* TPVPxmRows::Truncated() {
  progress_.Fail(TPVErrorCode::Truncated, "PNM data ends early");
  return nullptr;
}

void PXMWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  raster::TAbortRef aborting(progress);
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  if (width <= 0 || height <= 0) {
    progress.Abort();
    return;
  }
  progress.PerUnit = 100.0 / height;
  progress.Current = 0;
  std::string comments;
  for (int i = 0; i < params.PXM_Comments.Count(); ++i)
    comments += "\n# " + params.PXM_Comments.Get(i);
  if (!comments.empty()) comments += "\n";

  const TPixelFormat format = bitmap.GetPixelFormat();
  int kind;
  if (format == pf1bit || (params.BitsPerSample == 1 && params.SamplesPerPixel == 1)) {
    kind = 4;
  } else if (params.BitsPerSample == 8 && params.SamplesPerPixel == 1) {
    kind = 5;
  } else if (format == pf24bit || (params.BitsPerSample == 8 && params.SamplesPerPixel == 3)) {
    kind = 6;
  } else {
    return;
  }
  TBitmap* source = &bitmap;
  std::unique_ptr<TBitmap> scratch;
  if (kind == 4 && format != pf1bit) {
    // Two colours map to their bits (0 the darker); anything else is dithered.
    TRGB c0, c1;
    scratch = PVReduceToBilevel(bitmap, c0, c1, progress);
    source = scratch.get();
  } else if (kind != 4 && format != pf24bit) {
    scratch = std::make_unique<TBitmap>();
    raster::CopyAs24(bitmap, *scratch);
    source = scratch.get();
  }
  std::string header = "P";
  header += char('0' + kind);
  header += ' ';
  header += comments;
  header += std::to_string(width);
  header += ' ';
  header += std::to_string(height);
  if (kind != 4) header += " 255";
  header += '\n';
  SafeStreamWrite(stream, aborting.Flag(), header.data(), int64_t(header.size()));
  const int bytes = kind == 4 ? (width + 7) / 8 : kind == 5 ? width : 3 * width;
  std::vector<uint8_t> out(bytes);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = source->ScanLine(y);
    if (kind == 4) {
      for (int i = 0; i < bytes; ++i) out[i] = uint8_t(~row[i]);
    } else if (kind == 5) {
      for (int x = 0; x < width; ++x)
        out[x] = uint8_t(raster::StoredGrey(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    } else {
      for (int x = 0; x < width; ++x) {
        out[3 * x] = row[3 * x + 2];
        out[3 * x + 1] = row[3 * x + 1];
        out[3 * x + 2] = row[3 * x];
      }
    }
    SafeStreamWrite(stream, aborting.Flag(), out.data(), bytes);
    ++progress.Current;
    progress.Report(static_cast<int>(progress.Current * progress.PerUnit));
  }
}

namespace {

void PxmRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
             bool preview, int64_t) {
  TBitmap dummy;
  PXMReadStream(stream, bitmap ? *bitmap : dummy, params, preview || !bitmap, progress);
}

}  // namespace

const TPVFormatDef& PVFormatPXM() {
  static constexpr TPVFormatExt kExtensions[] = {
      {"PXM", pvExtAll}, {"PPM", pvExtAll}, {"PGM", pvExtAll}, {"PBM", pvExtAll}};
  static constexpr TPVSignature kSignatures[] = {{15, -1, nullptr}};
  static const TPVFormatDef def{.FileType = ftPXM,
                                .Description = "Portable Pixmap, GreyMap, BitMap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {PxmRead, PXMWriteStream, TryPXM},
                                .StreamLoadSetsResolution = false};
  return def;
}

}  // namespace pictavo
