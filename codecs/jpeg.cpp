// JPEG codec adapter over libjpeg-turbo's version-6.2 interface.
//
// The library reports fatal errors through error_exit, which here records the
// failure and leaves the library by longjmp back to the adapter, as the
// library's own example does.  The functions that call setjmp keep no C++
// objects with destructors in their frames: everything they use lives in a
// plain context record owned by the caller, which destroys the library object
// and frees the buffers whatever happened.  Stream callbacks catch every C++
// exception so that none travels through the C library.
#include "codecs/jpeg.h"

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "codecs/builtin_formats.h"
#include "core/conversions.h"
#include "core/pvutils.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

constexpr size_t kJpegBufferSize = 65536;
// A progressive file of more scans than this is refused: each scan walks the
// whole coefficient buffer, so the scan count multiplies the work.
constexpr int kMaxProgressiveScans = 1000;
// Memory the decoder may use beyond the pixel limit's coefficient buffers
// (tables, row buffers).
constexpr int64_t kJpegMemorySlack = int64_t(16) << 20;
// Coefficient bytes per pixel for up to four components of 16-bit values.
constexpr int64_t kJpegCoefBytesPerPixel = 8;

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  TProgressRec* progress;
  void (*libraryFormat)(j_common_ptr, char*);  // the library's message text
};

std::string LibraryMessage(j_common_ptr cinfo) {
  ErrorMgr* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  char buffer[JMSG_LENGTH_MAX] = {};
  if (err->libraryFormat) err->libraryFormat(cinfo, buffer);
  return buffer;
}

void ErrorExit(j_common_ptr cinfo) {
  ErrorMgr* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  if (err->progress) {
    const int code = cinfo->err->msg_code;
    const TPVErrorCode reason = code == JERR_INPUT_EMPTY ? TPVErrorCode::Truncated
                                : code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE
                                    ? TPVErrorCode::OutOfMemory
                                    : TPVErrorCode::Corrupt;
    err->progress->Fail(reason, "JPEG: " + LibraryMessage(cinfo));
  }
  longjmp(err->jump, 1);
}
// Warnings (level -1) are recorded: damage the decoder recovered from.
void EmitMessage(j_common_ptr cinfo, int level) {
  ErrorMgr* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  if (level >= 0 || !err->progress) return;
  ++cinfo->err->num_warnings;
  if (cinfo->err->msg_code == JWRN_JPEG_EOF)
    err->progress->Warn("JPEG data ends early; the missing rows are filled");
  else
    err->progress->Warn("JPEG: " + LibraryMessage(cinfo));
}
void OutputMessage(j_common_ptr) {}
void FormatMessage(j_common_ptr, char* buffer) {
  buffer[0] = 0;
}
void ResetErrorMgr(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

void InitErrorMgr(ErrorMgr& err, TProgressRec* progress) {
  jpeg_std_error(&err.pub);
  err.libraryFormat = err.pub.format_message;
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.pub.format_message = FormatMessage;
  err.pub.reset_error_mgr = ResetErrorMgr;
  err.progress = progress;
}

// Source manager reading from a TStream.
struct StreamSource {
  jpeg_source_mgr pub;
  TStream* stream;
  int64_t left;  // bytes of the block still to read; negative: no block
  bool eof;
  bool startOfFile;
  JOCTET buffer[kJpegBufferSize];
};

void SrcInit(j_decompress_ptr cinfo) {
  reinterpret_cast<StreamSource*>(cinfo->src)->startOfFile = true;
}

boolean SrcFill(j_decompress_ptr cinfo) {
  StreamSource* src = reinterpret_cast<StreamSource*>(cinfo->src);
  int64_t got = 0;
  if (!src->eof) {
    int64_t want = kJpegBufferSize;
    if (src->left >= 0) want = std::min(want, src->left);
    try {
      got = want > 0 ? src->stream->Read(src->buffer, want) : 0;
    } catch (...) {
      got = 0;
    }
    if (got > 0 && src->left >= 0) src->left -= got;
  }
  if (got <= 0) {
    src->eof = true;
    if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // An artificial end marker completes a truncated file.
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = static_cast<size_t>(got);
  src->startOfFile = false;
  return TRUE;
}

void SrcSkip(j_decompress_ptr cinfo, long count) {
  StreamSource* src = reinterpret_cast<StreamSource*>(cinfo->src);
  if (count <= 0) return;
  while (count > static_cast<long>(src->pub.bytes_in_buffer)) {
    count -= static_cast<long>(src->pub.bytes_in_buffer);
    SrcFill(cinfo);
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= static_cast<size_t>(count);
}

void SrcTerm(j_decompress_ptr) {}

// Destination manager writing to a TStream; a short write sets the abort flag.
struct StreamDest {
  jpeg_destination_mgr pub;
  TStream* stream;
  TProgressRec* progress;
  JOCTET buffer[kJpegBufferSize];
};

void DestWrite(StreamDest* dest, size_t count) {
  if (dest->progress->Aborted() || count == 0) return;
  bool failed = false;
  try {
    failed = dest->stream->Write(dest->buffer, static_cast<int64_t>(count)) !=
             static_cast<int64_t>(count);
  } catch (...) {
    failed = true;
  }
  if (failed) dest->progress->Abort();
}

void DestInit(j_compress_ptr cinfo) {
  StreamDest* dest = reinterpret_cast<StreamDest*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kJpegBufferSize;
}

boolean DestEmpty(j_compress_ptr cinfo) {
  StreamDest* dest = reinterpret_cast<StreamDest*>(cinfo->dest);
  DestWrite(dest, kJpegBufferSize);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kJpegBufferSize;
  return TRUE;
}

void DestTerm(j_compress_ptr cinfo) {
  StreamDest* dest = reinterpret_cast<StreamDest*>(cinfo->dest);
  DestWrite(dest, kJpegBufferSize - dest->pub.free_in_buffer);
}

J_DCT_METHOD DctMethod(TIOJPEGDctMethod method) {
  switch (method) {
    case ioJPEG_IFAST:
      return JDCT_IFAST;
    case ioJPEG_FLOAT:
      return JDCT_FLOAT;
    default:
      return JDCT_ISLOW;
  }
}

bool IsJfifApp0(const jpeg_saved_marker_ptr m) {
  return m->marker == JPEG_APP0 && m->data_length >= 5 && std::memcmp(m->data, "JFIF\0", 5) == 0;
}

// Everything the decoder needs, owned outside the setjmp frame.
struct ReadContext {
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  StreamSource* src = nullptr;
  bool created = false;
  bool finished = false;
  JSAMPLE* rowBuffer = nullptr;  // CMYK rows
  TStream* stream = nullptr;
  TBitmap* bitmap = nullptr;
  TIOParamsVals* params = nullptr;
  TProgressRec* progress = nullptr;
  bool paramsOnly = false;
  // Set when the bitmap was sized without a fill: the rows from rowsDone on
  // get the fill colour whatever way the decoder ends.
  bool overwrite = false;
  int rowsDone = 0;
  int64_t blockSize = -1;  // bytes of the image when known
  int64_t dataBytes = -1;  // bytes from the image's start to the end of its data
  jpeg_progress_mgr monitor;
};

// Stops a progressive file whose scans run past kMaxProgressiveScans.
void ScanMonitor(j_common_ptr common) {
  if (!common->is_decompressor) return;
  j_decompress_ptr cinfo = reinterpret_cast<j_decompress_ptr>(common);
  if (cinfo->input_scan_number <= kMaxProgressiveScans) return;
  ErrorMgr* err = reinterpret_cast<ErrorMgr*>(cinfo->err);
  if (err->progress)
    err->progress->Fail(
        TPVErrorCode::Corrupt,
        "JPEG: more than " + std::to_string(kMaxProgressiveScans) + " progressive scans");
  longjmp(err->jump, 1);
}

// The decoder's memory ceiling: the coefficient buffers of an image at the
// pixel limit, and no more than the decode ratio allows for the data.
long MemoryCeiling(int64_t dataBytes) {
  int64_t ceiling = PVGetMaxImagePixels() * kJpegCoefBytesPerPixel + kJpegMemorySlack;
  const int64_t ratio = PVGetMaxDecodeRatio();
  if (ratio > 0 && dataBytes >= 0 && dataBytes < ceiling / ratio)
    ceiling = std::max(kPVDecodeRatioFloor, dataBytes * ratio) + kJpegMemorySlack;
  return static_cast<long>(std::min<int64_t>(ceiling, std::numeric_limits<long>::max()));
}

int AutoScaleDenominator(int imageWidth, int imageHeight, int64_t wanted) {
  if (wanted == 0) return 1;
  int best = 1;
  int64_t bestDiff = -1;
  for (int i = 0; i <= 3; ++i) {
    int64_t area = int64_t(imageWidth >> i) * int64_t(imageHeight >> i);
    int64_t diff = area > wanted ? area - wanted : wanted - area;
    if (bestDiff < 0 || diff < bestDiff) {
      bestDiff = diff;
      best = 1 << i;
    }
  }
  return best;
}

void CopyMarkers(ReadContext& ctx) {
  TPVMarkerList& list = ctx.params->JPEG_MarkerList;
  list.Clear();
  bool first = true;
  for (jpeg_saved_marker_ptr m = ctx.cinfo.marker_list; m; m = m->next) {
    bool skip = first && IsJfifApp0(m);
    first = false;
    if (skip) continue;
    list.AddMarker(m->marker, m->data, static_cast<uint16_t>(m->data_length));
  }
}

// Runs the decoder; returns normally or by longjmp from the error manager.
// Holds no objects with destructors.
// The stream source manager over ctx.stream (freed with the context);
// false when it cannot be allocated.
bool InstallSource(ReadContext& ctx) {
  ctx.src = static_cast<StreamSource*>(std::malloc(sizeof(StreamSource)));
  if (!ctx.src) return false;
  ctx.src->stream = ctx.stream;
  ctx.src->left = ctx.blockSize;
  ctx.src->eof = false;
  ctx.src->startOfFile = true;
  ctx.src->pub.init_source = SrcInit;
  ctx.src->pub.fill_input_buffer = SrcFill;
  ctx.src->pub.skip_input_data = SrcSkip;
  ctx.src->pub.resync_to_restart = jpeg_resync_to_restart;
  ctx.src->pub.term_source = SrcTerm;
  ctx.src->pub.bytes_in_buffer = 0;
  ctx.src->pub.next_input_byte = nullptr;
  ctx.cinfo.src = &ctx.src->pub;
  return true;
}

// The colour space of the file into JPEG_ColorSpace and the output space
// asked of the decoder (BGR, or CMYK converted afterwards); false for a
// colour space that cannot be shown.
bool ChooseOutputSpace(j_decompress_ptr cinfo, TIOParamsVals& params, bool& cmyk) {
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
      params.JPEG_ColorSpace = ioJPEG_GRAYLEV;
      cinfo->out_color_space = JCS_EXT_BGR;
      break;
    case JCS_RGB:
      params.JPEG_ColorSpace = ioJPEG_RGB;
      cinfo->out_color_space = JCS_EXT_BGR;
      break;
    case JCS_YCbCr:
      params.JPEG_ColorSpace = ioJPEG_YCbCr;
      cinfo->out_color_space = JCS_EXT_BGR;
      break;
    case JCS_CMYK:
      params.JPEG_ColorSpace = ioJPEG_CMYK;
      cinfo->out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    case JCS_YCCK:
      params.JPEG_ColorSpace = ioJPEG_YCbCrK;
      cinfo->out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default:
      return false;
  }
  return true;
}

void DecodeCore(ReadContext& ctx) {
  if (setjmp(ctx.err.jump)) return;
  j_decompress_ptr cinfo = &ctx.cinfo;
  TIOParamsVals& params = *ctx.params;
  TProgressRec& progress = *ctx.progress;

  jpeg_create_decompress(cinfo);
  ctx.created = true;
  if (!InstallSource(ctx)) {
    progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
    return;
  }
  cinfo->mem->max_memory_to_use = MemoryCeiling(ctx.dataBytes);
  ctx.monitor.progress_monitor = ScanMonitor;
  cinfo->progress = &ctx.monitor;

  jpeg_save_markers(cinfo, JPEG_COM, 0xFFFF);
  for (int m = 0; m < 16; ++m) jpeg_save_markers(cinfo, JPEG_APP0 + m, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  if (progress.Aborted()) return;

  bool cmyk = false;
  if (!ChooseOutputSpace(cinfo, params, cmyk)) {
    // Unknown colour spaces cannot be shown as BGR.
    progress.Fail(
        TPVErrorCode::Unsupported,
        "JPEG colour space " + std::to_string(int(cinfo->jpeg_color_space)) + " not supported");
    return;
  }
  cinfo->dct_method = DctMethod(params.JPEG_DCTMethod);

  if (cinfo->density_unit == 2) {
    params.DpiX = static_cast<int32_t>(cinfo->X_density * 2.54);
    params.DpiY = static_cast<int32_t>(cinfo->Y_density * 2.54);
  } else {
    params.DpiX = cinfo->X_density;
    params.DpiY = cinfo->Y_density;
  }
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  params.FreeColorMap();
  params.JPEG_Progressive = jpeg_has_multiple_scans(cinfo) != 0;

  int denom = 1;
  switch (params.JPEG_Scale) {
    case ioJPEG_HALF:
      denom = 2;
      break;
    case ioJPEG_QUARTER:
      denom = 4;
      break;
    case ioJPEG_EIGHTH:
      denom = 8;
      break;
    case ioJPEG_AUTOCALC:
      denom = AutoScaleDenominator(static_cast<int>(cinfo->image_width),
                                   static_cast<int>(cinfo->image_height),
                                   int64_t(params.Width) * int64_t(params.Height));
      break;
    default:
      denom = 1;
  }
  cinfo->scale_num = 1;
  cinfo->scale_denom = static_cast<unsigned>(denom);
  jpeg_calc_output_dimensions(cinfo);
  CopyMarkers(ctx);
  if (!PVImageSizeAllowed(cinfo->output_width, cinfo->output_height)) {
    PVCheckDecodeSize(cinfo->output_width, cinfo->output_height, 24, -1, progress);
    return;
  }
  params.Width = static_cast<int32_t>(cinfo->output_width);
  params.Height = static_cast<int32_t>(cinfo->output_height);
  if (ctx.paramsOnly) return;
  if (!PVCheckDecodeSize(cinfo->output_width, cinfo->output_height, 24, ctx.dataBytes, progress))
    return;

  jpeg_start_decompress(cinfo);
  if (progress.Aborted()) return;
  const int width = static_cast<int>(cinfo->output_width);
  const int height = static_cast<int>(cinfo->output_height);
  TBitmap& bitmap = *ctx.bitmap;
  // Every pixel is written below, so a bitmap of the right shape is reused.
  if (bitmap.GetPixelFormat() != pf24bit || bitmap.GetWidth() != width ||
      bitmap.GetHeight() != height) {
    bitmap.SetSize(1, 1);
    bitmap.SetPixelFormat(pf24bit);
    bitmap.AllocateForOverwrite(width, height);
    ctx.overwrite = true;
  }
  if (cmyk) {
    ctx.rowBuffer = static_cast<JSAMPLE*>(std::malloc(size_t(width) * 4));
    if (!ctx.rowBuffer) {
      progress.Fail(TPVErrorCode::OutOfMemory, "out of memory");
      return;
    }
  }
  while (cinfo->output_scanline < cinfo->output_height) {
    int y = static_cast<int>(cinfo->output_scanline);
    uint8_t* row = bitmap.ScanLine(y);
    JSAMPROW target = cmyk ? ctx.rowBuffer : row;
    JDIMENSION got = jpeg_read_scanlines(cinfo, &target, 1);
    if (progress.Aborted()) return;
    if (got == 0) break;
    if (cmyk) {
      const uint8_t* s = ctx.rowBuffer;
      for (int x = 0; x < width; ++x, s += 4, row += 3) {
        const unsigned k = s[3];
        row[2] = static_cast<uint8_t>(s[0] * k / 255);
        row[1] = static_cast<uint8_t>(s[1] * k / 255);
        row[0] = static_cast<uint8_t>(s[2] * k / 255);
      }
    }
    int done = static_cast<int>(cinfo->output_scanline);
    ctx.rowsDone = done;
    if (progress.Report(static_cast<int>(int64_t(done) * 100 / height))) return;
  }
  jpeg_finish_decompress(cinfo);
  ctx.finished = true;
}

struct WriteContext {
  jpeg_compress_struct cinfo;
  ErrorMgr err;
  StreamDest* dest = nullptr;
  bool created = false;
  JSAMPLE* rowBuffer = nullptr;
  TStream* stream = nullptr;
  IPVRowSource* rows = nullptr;
  TIOParamsVals* params = nullptr;
  TProgressRec* progress = nullptr;
};

void EncodeCore(WriteContext& ctx) {
  if (setjmp(ctx.err.jump)) return;
  j_compress_ptr cinfo = &ctx.cinfo;
  TIOParamsVals& params = *ctx.params;
  TProgressRec& progress = *ctx.progress;
  IPVRowSource& rows = *ctx.rows;

  jpeg_create_compress(cinfo);
  ctx.created = true;
  ctx.dest = static_cast<StreamDest*>(std::malloc(sizeof(StreamDest)));
  if (!ctx.dest) {
    progress.Abort();
    return;
  }
  ctx.dest->stream = ctx.stream;
  ctx.dest->progress = ctx.progress;
  ctx.dest->pub.init_destination = DestInit;
  ctx.dest->pub.empty_output_buffer = DestEmpty;
  ctx.dest->pub.term_destination = DestTerm;
  cinfo->dest = &ctx.dest->pub;
  if (progress.Aborted()) return;

  const int width = rows.Width();
  const int height = rows.Height();
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  const bool cmyk =
      params.JPEG_ColorSpace == ioJPEG_CMYK || params.JPEG_ColorSpace == ioJPEG_YCbCrK;
  cinfo->input_components = cmyk ? 4 : 3;
  cinfo->in_color_space = cmyk ? JCS_CMYK : rows.RedFirst() ? JCS_EXT_RGB : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  switch (params.JPEG_ColorSpace) {
    case ioJPEG_GRAYLEV:
      jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
      break;
    case ioJPEG_YCbCr:
      jpeg_set_colorspace(cinfo, JCS_YCbCr);
      break;
    case ioJPEG_CMYK:
      jpeg_set_colorspace(cinfo, JCS_CMYK);
      break;
    case ioJPEG_YCbCrK:
      jpeg_set_colorspace(cinfo, JCS_YCCK);
      break;
    default:
      jpeg_set_colorspace(cinfo, JCS_RGB);
  }
  cinfo->density_unit = 1;
  cinfo->X_density = static_cast<UINT16>(std::clamp<int32_t>(params.DpiX, 0, 65535));
  cinfo->Y_density = static_cast<UINT16>(std::clamp<int32_t>(params.DpiY, 0, 65535));
  cinfo->dct_method = DctMethod(params.JPEG_DCTMethod);
  cinfo->optimize_coding = params.JPEG_OptimalHuffman ? TRUE : FALSE;
  cinfo->smoothing_factor = std::clamp<int32_t>(params.JPEG_Smooth, 0, 100);
  jpeg_set_quality(cinfo, std::clamp<int32_t>(params.JPEG_Quality, 0, 100), TRUE);
  if (params.JPEG_Progressive) jpeg_simple_progression(cinfo);

  jpeg_start_compress(cinfo, TRUE);
  if (progress.Aborted()) return;
  // The library has written its own JFIF or Adobe header; copies of those
  // headers in the list would duplicate (and might contradict) them.
  TPVMarkerList& markers = params.JPEG_MarkerList;
  for (int i = 0; i < markers.GetCount(); ++i) {
    const uint8_t type = markers.GetMarkerType(i);
    const uint8_t* data = markers.GetMarkerData(i);
    const int length = markers.GetMarkerLength(i);
    if (type == JPEG_APP0 && cinfo->write_JFIF_header && length >= 5 &&
        std::memcmp(data, "JFIF\0", 5) == 0)
      continue;
    if (type == JPEG_APP0 + 14 && cinfo->write_Adobe_marker && length >= 5 &&
        std::memcmp(data, "Adobe", 5) == 0)
      continue;
    if (length > 65533) continue;
    jpeg_write_marker(cinfo, type, data, static_cast<unsigned>(length));
  }
  if (cmyk) {
    ctx.rowBuffer = static_cast<JSAMPLE*>(std::malloc(size_t(width) * 4 + 1));
    if (!ctx.rowBuffer) {
      progress.Abort();
      return;
    }
  }
  // Byte offsets of red and blue in a source pixel.
  const int red = rows.RedFirst() ? 0 : 2;
  const int blue = 2 - red;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows.Row(y);
    if (!row) {
      progress.Abort();
      return;
    }
    JSAMPROW source = const_cast<JSAMPROW>(row);  // the library only reads input rows
    if (cmyk) {
      uint8_t* d = ctx.rowBuffer;
      const uint8_t* s = row;
      for (int x = 0; x < width; ++x, s += 3, d += 4) {
        unsigned m = s[0];
        if (s[1] > m) m = s[1];
        if (s[2] > m) m = s[2];
        if (m == 0) m = 1;
        d[0] = static_cast<uint8_t>(s[red] * 255u / m);
        d[1] = static_cast<uint8_t>(s[1] * 255u / m);
        d[2] = static_cast<uint8_t>(s[blue] * 255u / m);
        d[3] = static_cast<uint8_t>(m);
      }
      source = ctx.rowBuffer;
    }
    jpeg_write_scanlines(cinfo, &source, 1);
    if (progress.Aborted()) return;
    if (progress.Report(static_cast<int>(int64_t(y + 1) * 100 / height))) return;
  }
  jpeg_finish_compress(cinfo);
}

}  // namespace

bool JpegTryStream(TStream& stream) {
  uint8_t head[3] = {0, 0, 0};
  int64_t position = stream.GetPosition();
  int64_t got = stream.Read(head, 3);
  stream.Seek(position, soBeginning);
  return got == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

void ReadJPegStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress, int64_t blockSize) {
  int64_t dataBytes = -1;
  try {
    if (!paramsOnly && !bitmap) {
      progress.Fail(TPVErrorCode::Internal, "no bitmap to read into");
      return;
    }
    if (!JpegTryStream(stream)) {
      progress.Fail(TPVErrorCode::UnknownFormat, "not a JPEG file");
      return;
    }
    dataBytes = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
    if (blockSize >= 0) dataBytes = std::min(dataBytes, blockSize);
  } catch (...) {
    progress.Fail(TPVErrorCode::ReadError, "the JPEG data cannot be read");
    return;
  }
  ReadContext* ctx = new ReadContext();
  InitErrorMgr(ctx->err, &progress);
  ctx->cinfo.err = &ctx->err.pub;
  ctx->stream = &stream;
  ctx->bitmap = bitmap;
  ctx->params = &params;
  ctx->progress = &progress;
  ctx->paramsOnly = paramsOnly;
  ctx->blockSize = blockSize;
  ctx->dataBytes = dataBytes;
  try {
    DecodeCore(*ctx);
  } catch (...) {
    // Bitmap sizing or marker storage failed outside the library.
    progress.Fail(TPVErrorCode::OutOfMemory, "the JPEG image cannot be stored");
  }
  try {
    if (ctx->overwrite) bitmap->FillRows(ctx->rowsDone, bitmap->GetHeight());
  } catch (...) {
    progress.Abort();
  }
  if (ctx->created) jpeg_destroy_decompress(&ctx->cinfo);
  std::free(ctx->src);
  std::free(ctx->rowBuffer);
  delete ctx;
}

void WriteJPegStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                     TProgressRec& progress) {
  if (bitmap.Empty()) {
    progress.Abort();
    return;
  }
  TBitmap converted;
  TBitmap* source = &bitmap;
  try {
    if (bitmap.GetPixelFormat() == pf1bit) {
      _Conv1to24(bitmap, converted);
      source = &converted;
    } else if (bitmap.GetPixelFormat() != pf24bit) {
      converted.Assign(bitmap);
      converted.SetPixelFormat(pf24bit);
      source = &converted;
    }
  } catch (...) {
    progress.Abort();
    return;
  }
  TPVBitmapRows rows(*source);
  WriteJPegRows(stream, rows, params, progress);
}

void WriteJPegRows(TStream& stream, IPVRowSource& rows, TIOParamsVals& params,
                   TProgressRec& progress) {
  WriteContext* ctx = new WriteContext();
  InitErrorMgr(ctx->err, &progress);
  ctx->cinfo.err = &ctx->err.pub;
  ctx->stream = &stream;
  ctx->rows = &rows;
  ctx->params = &params;
  ctx->progress = &progress;
  try {
    EncodeCore(*ctx);
  } catch (...) {
    progress.Abort();
  }
  if (ctx->created) jpeg_destroy_compress(&ctx->cinfo);
  std::free(ctx->dest);
  std::free(ctx->rowBuffer);
  delete ctx;
}

bool PVJpegInjectIPTC(TStream& source, TStream& dest, const TPVIPTCInfoList& iptc) {
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  std::vector<uint8_t> app13;
  try {
    int64_t position = source.GetPosition();
    int64_t size = source.GetSize() - position;
    if (size <= 0) return false;
    in.resize(static_cast<size_t>(size));
    if (source.Read(in.data(), size) != size) return false;
    if (iptc.GetCount() > 0) app13 = iptc.SaveToStandardBuffer();
  } catch (...) {
    return false;
  }
  if (app13.size() + 2 > 65535) return false;
  out.reserve(in.size() + app13.size() + 4);
  bool written = false;
  bool placed = false;
  auto placeApp13 = [&] {
    placed = true;
    if (written) return;
    written = true;
    if (app13.empty()) return;
    const size_t len = app13.size() + 2;
    out.push_back(0xFF);
    out.push_back(0xED);
    out.push_back(static_cast<uint8_t>(len >> 8));
    out.push_back(static_cast<uint8_t>(len));
    out.insert(out.end(), app13.begin(), app13.end());
  };
  const size_t n = in.size();
  size_t i = 0;
  if (n < 2 || in[0] != 0xFF || in[1] != 0xD8) return false;
  while (i < n) {
    uint8_t b = in[i++];
    if (b != 0xFF) {
      out.push_back(b);
      continue;
    }
    if (i >= n) {
      out.push_back(b);
      break;
    }
    uint8_t m = in[i++];
    if (m == 0x00 || m == 0x01 || (m >= 0xD0 && m <= 0xD9)) {
      out.push_back(0xFF);
      out.push_back(m);
      continue;
    }
    if ((m >= 0x02 && m <= 0xBF) || (m >= 0xF1 && m <= 0xFC) || m == 0xFF) return false;
    // A marker with a length: the length counts itself and must fit the data.
    if (i + 2 > n) return false;
    const size_t length = (size_t(in[i]) << 8) | in[i + 1];
    if (length < 2 || i + length > n) return false;
    if (m == 0xED) {
      i += length;
      placeApp13();
      continue;
    }
    out.push_back(0xFF);
    out.push_back(m);
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
               in.begin() + static_cast<std::ptrdiff_t>(i + length));
    i += length;
    if (m == 0xE0) placeApp13();
  }
  if (!placed) return false;
  try {
    return dest.Write(out.data(), static_cast<int64_t>(out.size())) ==
           static_cast<int64_t>(out.size());
  } catch (...) {
    return false;
  }
}

namespace {

void JpegCodecRead(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
                   bool preview, int64_t blockSize) {
  ReadJPegStream(stream, bitmap, params, preview, progress, blockSize);
}

}  // namespace

}  // namespace pictavo

namespace pictavo {

const TPVFormatDef& PVFormatJPEG() {
  static constexpr TPVFormatExt kExtensions[] = {
      {"JPG", pvExtAll}, {"JPEG", pvExtAll}, {"JPE", pvExtListedLoad}};
  static constexpr TPVSignature kSignatures[] = {
      {2, -1, nullptr}, {3, 12, [](const uint8_t* h) { return PVHeadText(h, 5) == "JFIF"; }}};
  static const TPVFormatDef def{.FileType = ftJPEG,
                                .Description = "JPEG Bitmap",
                                .Extensions = kExtensions,
                                .Signatures = kSignatures,
                                .Codec = {JpegCodecRead, WriteJPegStream, JpegTryStream},
                                .BlockTag = "JFIF"};
  return def;
}

}  // namespace pictavo
