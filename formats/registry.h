// The process-wide format registry: file-type keys with descriptions,
// extensions and, for formats that applications add, reader, writer and
// detector functions.  The twelve built-in rows exist from start-up.
#pragma once

#include <cstdint>
#include <string>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

using TPVReadFunction = void (*)(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                                 TProgressRec& progress, bool preview);
using TPVWriteFunction = void (*)(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                                  TProgressRec& progress);
using TPVTryFunction = bool (*)(TStream& stream);

struct TPVFileFormatInfo {
  int32_t FileType = 0;
  std::string Description;  // at most 80 characters
  std::string Extensions;   // without dots, separated by ';', at most 80 characters
  TPVReadFunction ReadFunction = nullptr;
  TPVWriteFunction WriteFunction = nullptr;
  TPVTryFunction TryFunction = nullptr;
};

// File-type keys of the built-in formats.
enum : int32_t {
  ftTIFF = 1,
  ftGIF = 2,
  ftJPEG = 3,
  ftPCX = 4,
  ftBMP = 5,
  ftICO = 6,
  ftCUR = 7,
  ftPNG = 8,
  ftWMF = 9,
  ftEMF = 10,
  ftTGA = 11,
  ftPXM = 12
};

// Appends an owned copy (description and extensions cut to 80 characters).
void PVFileFormatAdd(const TPVFileFormatInfo& info);
// Removes (and releases) the first entry with that key.
void PVFileFormatRemove(int32_t fileType);
const TPVFileFormatInfo* PVFileFormatGetInfo(int32_t fileType);
// The first entry, in registry order, one of whose extensions equals `extension`
// ignoring case (no dot).
const TPVFileFormatInfo* PVFileFormatGetInfo2(const std::string& extension);
std::string PVFileFormatGetExt(int32_t fileType, int index);
int PVFileFormatGetExtCount(int32_t fileType);
// Number of entries and the entry at a position (registry order).
int PVFileFormatCount();
const TPVFileFormatInfo* PVFileFormatAt(int index);

}  // namespace pictavo
