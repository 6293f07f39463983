// The library's formats, each described once: its file-type key, description,
// extensions (listed in the registry, dispatched on load, dispatched on save),
// content signatures, codec functions and the few ways the I/O component
// treats it.  Each codec unit defines its format's description; the codecs
// layer lists them all in PVBuiltinFormats (codecs/builtin_formats.cpp), an
// explicit list rather than load-time self-registration, so that a static
// link keeps every codec and no start-up order matters.  The registry rows,
// the component's extension dispatch, FindStreamFormat and `pictavo formats`
// are derived from these descriptions.
#pragma once

#include <cstdint>
#include <span>
#include <string>

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
  // Parameters-only reader; when null, Read in preview mode without a bitmap
  // is the parameters-only reader (as for every built-in codec).
  void (*ReadParams)(TStream& stream, TIOParamsVals& params, TProgressRec& progress,
                     int64_t blockSize) = nullptr;
};

// What an extension is used for.
enum : uint8_t {
  pvExtListed = 1,  // listed in the format's registry row
  pvExtLoad = 2,    // LoadFromFile dispatches it to the format
  pvExtSave = 4,    // SaveToFile dispatches it to the format
  pvExtListedLoad = pvExtListed | pvExtLoad,
  pvExtAll = pvExtListed | pvExtLoad | pvExtSave,
};
struct TPVFormatExt {
  const char* Ext;  // as listed (upper case)
  uint8_t Use;
};

// One content test of FindStreamFormat.  The tests of all formats run in
// Rank order; a test applies only when more than MinSize bytes follow the
// start.  Match looks at the first kPVSignatureHead bytes (bytes past the end
// read as 0); without Match the format's detector (TBuiltinCodec::Try) decides.
inline constexpr int kPVSignatureHead = 16;
struct TPVSignature {
  int Rank;
  int64_t MinSize;  // -1: no size condition
  bool (*Match)(const uint8_t* head) = nullptr;
};

struct TPVFormatDef {
  int32_t FileType = 0;
  const char* Description = "";
  std::span<const TPVFormatExt> Extensions;
  std::span<const TPVSignature> Signatures;
  TBuiltinCodec Codec;
  // Tag of the 12-byte block header around the image in streams, or null.
  const char* BlockTag = nullptr;
  // Reading a file tells the reader the file's size as the image's size.
  bool FileSizeIsBlock = false;
  // A load from a stream passes the file's resolution to the view.
  bool StreamLoadSetsResolution = true;
  // Loaded through the metafile import rather than a codec.
  bool Metafile = false;
};

// The library's formats in registry order; defined by the codecs layer.
std::span<const TPVFormatDef* const> PVBuiltinFormats();
// The description of a built-in key, or null.
const TPVFormatDef* PVBuiltinFormat(int32_t fileType);
// The built-in key whose extension (any case, no dot) has the use, or 0.
int32_t PVBuiltinKeyOfExtension(const std::string& extension, uint8_t use);
// The first `limit` bytes as text, cut at the first zero byte.
std::string PVHeadText(const uint8_t* head, int limit);

// The codec functions the component calls for a built-in key.  They start as
// the descriptions give them; an application (or a test) may replace them.
void PVRegisterBuiltinCodec(int32_t fileType, const TBuiltinCodec& codec);
// The codec functions of a built-in key, or null.
const TBuiltinCodec* PVBuiltinCodec(int32_t fileType);

}  // namespace pictavo
