// PNG codec adapter over libpng 1.6.
//
// libpng's errors leave the library by png_longjmp back to the adapter; the
// functions that call setjmp keep no C++ objects with destructors in their
// frames (their state lives in a context record owned by the caller), and the
// stream callbacks catch every C++ exception, so none travels through libpng.
#include "codecs/png.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/builtin_formats.h"
#include "codecs/quantize.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "core/rowconv.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

struct ReadContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  TBitmap* bitmap = nullptr;
  TIOParamsVals* params = nullptr;
  TProgressRec* progress = nullptr;
  bool paramsOnly = false;
  bool truncated = false;  // the stream ended inside the data
  int64_t dataBytes = -1;  // bytes from the signature to the end of the data
  // Rows of a bitmap sized without its fill: rows from rowsDone up to
  // unfilledEnd get the brush colour once decoding stops, however it stops
  // (libpng leaves by longjmp, past any destructor).
  int rowsDone = 0;
  int unfilledEnd = 0;
};

// The largest ancillary chunk libpng may allocate, and how many ancillary
// chunks it may keep: far beyond any real text or palette chunk, far below
// what a hostile length field can claim.
constexpr png_alloc_size_t kMaxPngChunkBytes = png_alloc_size_t(8) << 20;
constexpr png_uint_32 kMaxPngCachedChunks = 1000;
// Bytes gathered before a write to the stream (a chunk larger than this is
// still written whole).
constexpr size_t kPngWriteBufferBytes = 65536;

void ReadError(png_structp png, png_const_charp message) {
  ReadContext* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
  ctx->progress->Fail(ctx->truncated ? TPVErrorCode::Truncated : TPVErrorCode::Corrupt,
                      std::string("PNG: ") + (message ? message : "error"));
  png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, png_size_t length) {
  ReadContext* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
  int64_t got = 0;
  try {
    got = ctx->stream->Read(data, static_cast<int64_t>(length));
  } catch (...) {
    got = -1;
  }
  if (got != static_cast<int64_t>(length)) {
    ctx->truncated = true;
    png_error(png, "the data ends early");
  }
}

uint8_t ScaleToByte(unsigned value, int depth) {
  if (depth == 16) return static_cast<uint8_t>(value >> 8);
  if (depth == 8) return static_cast<uint8_t>(value);
  const unsigned max = (1u << depth) - 1;
  return static_cast<uint8_t>(std::min(value, max) * 255 / max);
}

// Returns normally or by longjmp from the error handler.
// Size, depth, samples, resolution, colour map and interlacing of the file.
void StoreHeader(png_structp png, png_infop info, TIOParamsVals& params, png_uint_32 width,
                 png_uint_32 height, int depth, int colorType, int interlace, png_colorp palette,
                 int paletteCount) {
  params.Width = static_cast<int32_t>(width);
  params.Height = static_cast<int32_t>(height);
  params.BitsPerSample = depth;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      params.SamplesPerPixel = 2;
      break;
    case PNG_COLOR_TYPE_RGB:
      params.SamplesPerPixel = 3;
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      params.SamplesPerPixel = 4;
      break;
    default:
      params.SamplesPerPixel = 1;
  }
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit)) {
    params.DpiX = static_cast<int32_t>(std::nearbyint(resX / 100.0 * 2.54));
    params.DpiY = static_cast<int32_t>(std::nearbyint(resY / 100.0 * 2.54));
  } else {
    params.DpiX = params.DpiY = 0;
  }
  if (params.DpiX == 0) params.DpiX = gSystemDPIX;
  if (params.DpiY == 0) params.DpiY = gSystemDPIY;
  params.FreeColorMap();
  if (palette && paletteCount > 0) {
    TRGB map[256];
    const int count = std::min(paletteCount, 256);
    for (int i = 0; i < count; ++i)
      map[i] = CreateRGB(palette[i].red, palette[i].green, palette[i].blue);
    params.SetColorMap(map, count);
  }
  params.PNG_Interlaced = interlace != PNG_INTERLACE_NONE;
}

void DecodeCore(ReadContext& ctx) {
  png_structp png = ctx.png;
  png_infop info = ctx.info;
  if (setjmp(png_jmpbuf(png))) return;
  TIOParamsVals& params = *ctx.params;
  TProgressRec& progress = *ctx.progress;

  // No dimension beyond the pixel limit reaches an allocation.
  const int64_t limit = std::min<int64_t>(PVGetMaxImagePixels(), 0x7FFFFFFF);
  png_set_user_limits(png, static_cast<png_uint_32>(limit), static_cast<png_uint_32>(limit));
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_set_chunk_cache_max(png, kMaxPngCachedChunks);
  // Ancillary chunks the reader does not use are skipped unread: libpng
  // would otherwise allocate whatever size their length field claims.
  static const png_byte kUsedChunks[] = {'b',  'K',  'G',  'D', '\0', 'p',  'H',  'Y', 's',
                                         '\0', 't',  'R',  'N', 'S',  '\0', 'g',  'A', 'M',
                                         'A',  '\0', 's',  'R', 'G',  'B',  '\0', 'c', 'H',
                                         'R',  'M',  '\0', 's', 'B',  'I',  'T',  '\0'};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kUsedChunks,
                              sizeof kUsedChunks / 5);
  png_set_read_fn(png, &ctx, ReadData);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;

  png_colorp palette = nullptr;
  int paletteCount = 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_get_PLTE(png, info, &palette, &paletteCount);

  // Background: the file's bKGD when present, else PNG_Background, given to
  // libpng in the depth of the data it composites.
  png_color_16p fileBackground = nullptr;
  if (png_get_bKGD(png, info, &fileBackground) && fileBackground) {
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
      if (palette && fileBackground->index < paletteCount) {
        const png_color& c = palette[fileBackground->index];
        params.PNG_Background = CreateRGB(c.red, c.green, c.blue);
      }
    } else if ((colorType & PNG_COLOR_MASK_COLOR) != 0) {
      params.PNG_Background.r = ScaleToByte(fileBackground->red, depth);
      params.PNG_Background.g = ScaleToByte(fileBackground->green, depth);
      params.PNG_Background.b = ScaleToByte(fileBackground->blue, depth);
    } else {
      const uint8_t g = ScaleToByte(fileBackground->gray, depth);
      params.PNG_Background = CreateRGB(g, g, g);
    }
    if (hasAlpha) png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
  } else if (hasAlpha) {
    png_color_16 bg{};
    const unsigned scale = depth == 16 ? 257 : 1;
    bg.red = static_cast<png_uint_16>(params.PNG_Background.r * scale);
    bg.green = static_cast<png_uint_16>(params.PNG_Background.g * scale);
    bg.blue = static_cast<png_uint_16>(params.PNG_Background.b * scale);
    bg.gray = bg.red;
    png_set_background(png, &bg, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
  }

  // A 1-bit image stays one bit per pixel only when it is black and white.
  bool oneBit = false;
  if (depth == 1 && !hasTrns) {
    if (colorType == PNG_COLOR_TYPE_GRAY) {
      oneBit = true;
    } else if (colorType == PNG_COLOR_TYPE_PALETTE && palette && paletteCount == 2) {
      oneBit = palette[0].red == 0 && palette[0].green == 0 && palette[0].blue == 0 &&
               palette[1].red == 255 && palette[1].green == 255 && palette[1].blue == 255;
    }
  }
  if (!oneBit) {
    if (colorType == PNG_COLOR_TYPE_PALETTE || (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) ||
        hasTrns)
      png_set_expand(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  StoreHeader(png, info, params, width, height, depth, colorType, interlace, palette, paletteCount);
  if (ctx.paramsOnly) return;

  if (!PVCheckDecodeSize(width, height, oneBit ? 1 : 24, ctx.dataBytes, progress)) return;
  const size_t expected = oneBit ? (size_t(width) + 7) / 8 : size_t(width) * 3;
  if (png_get_rowbytes(png, info) != expected) {
    progress.Fail(TPVErrorCode::Unsupported, "PNG pixel layout not supported");
    return;
  }
  TBitmap& bitmap = *ctx.bitmap;
  // A bitmap of the right shape is reused.  Rows of a plain image are
  // written whole, one after the other, and those a failure leaves unread get
  // the fill afterwards; the early passes of an interlaced image write only
  // some pixels of a row, so its bitmap is filled first.
  const TPixelFormat format = oneBit ? pf1bit : pf24bit;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (bitmap.GetPixelFormat() != format || bitmap.GetWidth() != w || bitmap.GetHeight() != h) {
    bitmap.SetSize(1, 1);
    bitmap.SetPixelFormat(format);
    bitmap.AllocateForOverwrite(w, h);
  }
  if (passes > 1)
    bitmap.FillRows(0, h);
  else
    ctx.unfilledEnd = h;
  const double step = 100.0 / (double(height) * passes);
  int64_t counter = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, bitmap.ScanLine(static_cast<int>(y)), nullptr);
      if (passes == 1) ctx.rowsDone = static_cast<int>(y) + 1;
      ++counter;
      if (progress.Report(static_cast<int>(counter * step))) return;
    }
  }
  png_read_end(png, nullptr);
}

struct WriteContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  bool failed = false;
  TStream* stream = nullptr;
  TBitmap* bitmap = nullptr;     // pf1bit or pf24bit; nullptr when writing from `rows`
  IPVRowSource* rows = nullptr;  // the 24-bit rows
  int width = 0, height = 0;
  TIOParamsVals* params = nullptr;
  TProgressRec* progress = nullptr;
  bool palette = false;
  TRGB* colorMap = nullptr;            // 256 entries, palette images
  const TRGB* twoColours = nullptr;    // a 1-bit image's colours other than black and white
  uint8_t* backgroundIndex = nullptr;  // palette index of PNG_Background
  TPVQuantizer* quantizer = nullptr;
  uint8_t* rowBuffer = nullptr;
  // libpng hands over each chunk as three small pieces (length and type,
  // data, CRC); they are gathered here so the stream sees few large writes.
  std::vector<uint8_t> pending;
};

// Sends the gathered bytes to the stream; a short write sets the abort flag.
void FlushPending(WriteContext& ctx) {
  if (ctx.pending.empty()) return;
  bool failed = false;
  try {
    const int64_t n = static_cast<int64_t>(ctx.pending.size());
    failed = ctx.stream->Write(ctx.pending.data(), n) != n;
  } catch (...) {
    failed = true;
  }
  ctx.pending.clear();
  if (failed) ctx.progress->Abort();
}

void WriteError(png_structp png, png_const_charp) {
  WriteContext* ctx = static_cast<WriteContext*>(png_get_error_ptr(png));
  ctx->failed = true;
  png_longjmp(png, 1);
}

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  WriteContext* ctx = static_cast<WriteContext*>(png_get_io_ptr(png));
  if (ctx->progress->Aborted()) return;
  if (ctx->pending.size() + length > kPngWriteBufferBytes) FlushPending(*ctx);
  ctx->pending.insert(ctx->pending.end(), data, data + length);
}
void FlushData(png_structp png) {
  FlushPending(*static_cast<WriteContext*>(png_get_io_ptr(png)));
}

void EncodeCore(WriteContext& ctx) {
  png_structp png = ctx.png;
  png_infop info = ctx.info;
  if (setjmp(png_jmpbuf(png))) return;
  TIOParamsVals& params = *ctx.params;
  TProgressRec& progress = *ctx.progress;
  const int width = ctx.width;
  const int height = ctx.height;
  const bool oneBit = ctx.bitmap && ctx.bitmap->GetPixelFormat() == pf1bit;

  png_set_write_fn(png, &ctx, WriteData, FlushData);
  int colorType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  if (oneBit) {
    colorType = ctx.twoColours ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_GRAY;
    depth = 1;
  } else if (ctx.palette) {
    colorType = PNG_COLOR_TYPE_PALETTE;
  }
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
               colorType, params.PNG_Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (ctx.palette) {
    png_color plte[256];
    for (int i = 0; i < 256; ++i) {
      plte[i].red = ctx.colorMap[i].r;
      plte[i].green = ctx.colorMap[i].g;
      plte[i].blue = ctx.colorMap[i].b;
    }
    png_set_PLTE(png, info, plte, 256);
  } else if (ctx.twoColours) {
    png_color plte[2];
    for (int i = 0; i < 2; ++i) {
      plte[i].red = ctx.twoColours[i].r;
      plte[i].green = ctx.twoColours[i].g;
      plte[i].blue = ctx.twoColours[i].b;
    }
    png_set_PLTE(png, info, plte, 2);
  }
  png_set_pHYs(png, info,
               static_cast<png_uint_32>(std::max(0.0, std::nearbyint(params.DpiX * 100 / 2.54))),
               static_cast<png_uint_32>(std::max(0.0, std::nearbyint(params.DpiY * 100 / 2.54))),
               PNG_RESOLUTION_METER);
  int filter = PNG_FILTER_NONE;
  if (params.PNG_Filter == ioPNG_FILTER_SUB) filter = PNG_FILTER_SUB;
  if (params.PNG_Filter == ioPNG_FILTER_PAETH) filter = PNG_FILTER_PAETH;
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
  // bKGD in the depth of the written image.
  png_color_16 bg{};
  const TRGB& b = params.PNG_Background;
  if (ctx.palette) {
    bg.index = *ctx.backgroundIndex;
  } else if (ctx.twoColours) {
    bg.index = b == ctx.twoColours[1] ? 1 : 0;
  } else if (oneBit) {
    bg.gray = _RGBToGray(b) >= 128 ? 1 : 0;
  } else {
    bg.red = b.r;
    bg.green = b.g;
    bg.blue = b.b;
  }
  png_set_bKGD(png, info, &bg);
  png_set_compression_level(png, std::clamp<int32_t>(params.PNG_Compression, 0, 9));
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const double step = 100.0 / (double(passes) * height);
  int64_t counter = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = ctx.bitmap ? ctx.bitmap->ScanLine(y) : ctx.rows->Row(y);
      if (!row) {
        progress.Abort();
        return;
      }
      if (ctx.palette) {
        const TRGB* px = reinterpret_cast<const TRGB*>(row);
        for (int x = 0; x < width; ++x)
          ctx.rowBuffer[x] = static_cast<uint8_t>(ctx.quantizer->GetRGBIndex(px[x]));
        row = ctx.rowBuffer;
      } else if (!oneBit && !(ctx.rows && ctx.rows->RedFirst())) {
        PVSwapRB24(row, ctx.rowBuffer, width);
        row = ctx.rowBuffer;
      }
      png_write_row(png, row);
      ++counter;
      if (progress.Aborted()) return;
      if (progress.Report(static_cast<int>(counter * step))) return;
    }
  }
  png_write_end(png, info);
  FlushPending(ctx);
}

}  // namespace

bool IsPNGStream(TStream& stream) {
  uint8_t sig[8] = {};
  const int64_t got = stream.Read(sig, 8);
  stream.Seek(-got, soCurrent);
  return got == 8 && png_sig_cmp(sig, 0, 8) == 0;
}

void ReadPNGStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress) {
  if (!paramsOnly && !bitmap) {
    progress.Fail(TPVErrorCode::Internal, "no bitmap to read into");
    return;
  }
  ReadContext ctx;
  try {
    ctx.dataBytes = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
  } catch (...) {
    ctx.dataBytes = -1;
  }
  ctx.stream = &stream;
  ctx.bitmap = bitmap;
  ctx.params = &params;
  ctx.progress = &progress;
  ctx.paramsOnly = paramsOnly;
  ctx.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, ReadError, IgnoreWarning);
  if (ctx.png) ctx.info = png_create_info_struct(ctx.png);
  if (!ctx.png || !ctx.info) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
  } else {
    try {
      DecodeCore(ctx);
    } catch (...) {
      progress.Fail(TPVErrorCode::OutOfMemory, "the PNG image cannot be stored");
    }
    if (ctx.rowsDone < ctx.unfilledEnd) bitmap->FillRows(ctx.rowsDone, ctx.unfilledEnd);
  }
  if (ctx.png) png_destroy_read_struct(&ctx.png, ctx.info ? &ctx.info : nullptr, nullptr);
}

namespace {

// Creates the library's writer over the prepared context and runs it.
void RunEncoder(WriteContext& ctx) {
  ctx.pending.reserve(kPngWriteBufferBytes);
  ctx.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, WriteError, IgnoreWarning);
  if (ctx.png) ctx.info = png_create_info_struct(ctx.png);
  bool thrown = false;
  if (ctx.png && ctx.info) {
    try {
      EncodeCore(ctx);
    } catch (...) {
      thrown = true;
    }
  }
  const bool failed = !ctx.png || !ctx.info || ctx.failed || thrown;
  if (ctx.png) png_destroy_write_struct(&ctx.png, ctx.info ? &ctx.info : nullptr);
  if (failed) throw EInvalidGraphic("Error on creating PNG");
}

}  // namespace

void WritePNGStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
  if (bitmap.Empty()) {
    progress.Abort();
    return;
  }
  // The bitmap to write: one bit when asked for, else 24 bits.
  std::unique_ptr<TBitmap> work;
  TBitmap* source = &bitmap;
  // The colours of a two-colour (or one-colour) image, written as a
  // two-entry palette unless they are black and white.
  TRGB twoColours[2] = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
  bool keepColours = false;
  if (params.BitsPerSample == 1) {
    if (bitmap.GetPixelFormat() != pf1bit) {
      TBitmap full;
      full.Assign(bitmap);
      full.SetPixelFormat(pf24bit);
      bool abortFlag = false;
      TProgressRec silent;
      silent.Aborting = &abortFlag;
      work = PVReduceToBilevel(full, twoColours[0], twoColours[1], silent);
      source = work.get();
      keepColours =
          !(twoColours[0] == CreateRGB(0, 0, 0) && twoColours[1] == CreateRGB(255, 255, 255));
    }
  } else if (bitmap.GetPixelFormat() != pf24bit) {
    work = std::make_unique<TBitmap>();
    if (bitmap.GetPixelFormat() == pf1bit) {
      _Conv1to24(bitmap, *work);
    } else {
      work->Assign(bitmap);
      work->SetPixelFormat(pf24bit);
    }
    source = work.get();
  }

  WriteContext ctx;
  ctx.stream = &stream;
  ctx.bitmap = source;
  ctx.width = source->GetWidth();
  ctx.height = source->GetHeight();
  ctx.params = &params;
  ctx.progress = &progress;
  ctx.palette = source->GetPixelFormat() != pf1bit && params.SamplesPerPixel == 1;
  if (keepColours) ctx.twoColours = twoColours;
  std::vector<TRGB> colorMap;
  std::vector<uint8_t> rowBuffer;
  std::unique_ptr<TPVQuantizer> quantizer;
  uint8_t backgroundIndex = 0;
  if (ctx.palette) {
    colorMap.resize(256);
    quantizer = std::make_unique<TPVQuantizer>(*source, colorMap.data(), 0, 256);
    backgroundIndex = static_cast<uint8_t>(quantizer->GetRGBIndex(params.PNG_Background));
    rowBuffer.resize(static_cast<size_t>(source->GetWidth()));
    ctx.colorMap = colorMap.data();
    ctx.quantizer = quantizer.get();
    ctx.rowBuffer = rowBuffer.data();
    ctx.backgroundIndex = &backgroundIndex;
  } else if (source->GetPixelFormat() != pf1bit) {
    // Colour rows are put into red-green-blue order here (a vector shuffle)
    // rather than by the library's per-pixel transform.
    rowBuffer.resize(static_cast<size_t>(source->GetWidth()) * 3 + 32);
    ctx.rowBuffer = rowBuffer.data();
  }

  RunEncoder(ctx);
}

bool PNGWritesRows(const TIOParamsVals& params) {
  return params.BitsPerSample != 1 && params.SamplesPerPixel != 1 && !params.PNG_Interlaced;
}

void WritePNGRows(TStream& stream, IPVRowSource& rows, TIOParamsVals& params,
                  TProgressRec& progress) {
  if (!PNGWritesRows(params)) {
    progress.Fail(TPVErrorCode::Unsupported,
                  "a palette, one-bit or interlaced PNG needs the whole picture");
    return;
  }
  WriteContext ctx;
  ctx.stream = &stream;
  ctx.rows = &rows;
  ctx.width = rows.Width();
  ctx.height = rows.Height();
  ctx.params = &params;
  ctx.progress = &progress;
  std::vector<uint8_t> rowBuffer;
  if (!rows.RedFirst()) {
    rowBuffer.resize(static_cast<size_t>(ctx.width) * 3 + 32);
    ctx.rowBuffer = rowBuffer.data();
  }
  RunEncoder(ctx);
}

namespace {

void PngCodecRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
                  bool preview, int64_t /*blockSize*/) {
  ReadPNGStream(stream, bitmap, params, preview, progress);
}

}  // namespace

}  // namespace pictavo

namespace pictavo {

const TPVFormatDef& PVFormatPNG() {
  static constexpr TPVFormatExt kExtensions[] = {{"PNG", pvExtAll}};
  static constexpr TPVSignature kSignatures[] = {{11, 8, nullptr}};
  static const TPVFormatDef def{.FileType = ftPNG,
                                .Description = "Portable Network Graphics",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {PngCodecRead, WritePNGStream, IsPNGStream}};
  return def;
}

}  // namespace pictavo
