// The built-in codecs as seen by TPictavoIO: each codec unit registers its
// reader, writer and detector for its file-type key at library load, and the
// I/O component dispatches through this table.  A key without an entry (or a
// null function) makes the component set Aborting.
#pragma once

#include <cstdint>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

struct TBuiltinCodec {
  // Reads one image at the stream position.  bitmap may be null only when
  // preview is true.  blockSize: the bytes that belong to the image when the
  // caller knows them (a file's size, a stream block's length), else -1.
  void (*Read)(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, TProgressRec& progress,
               bool preview, int64_t blockSize) = nullptr;
  // Writes the bitmap (pf1bit or pf24bit) at the stream position.
  void (*Write)(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                TProgressRec& progress) = nullptr;
  // Content detector; must restore the stream position.
  bool (*Try)(TStream& stream) = nullptr;
};

void PVRegisterBuiltinCodec(int32_t fileType, const TBuiltinCodec& codec);
// The registered codec of a built-in key, or null.
const TBuiltinCodec* PVBuiltinCodec(int32_t fileType);

}  // namespace pictavo

// Registers a codec from its own unit at load time.
#define PICTAVO_REGISTER_CODEC(fileType, ...)                                    \
  namespace {                                                                    \
  const bool pictavo_codec_registered_##fileType =                               \
      (::pictavo::PVRegisterBuiltinCodec(::pictavo::fileType,                    \
                                         ::pictavo::TBuiltinCodec{__VA_ARGS__}), \
       true);                                                                    \
  }
