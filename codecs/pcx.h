// PCX codec: 1, 4 (one or four planes), 8 and 24 bits, RLE and raw.
#pragma once

#include <string>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

void ReadPcxStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, int64_t size,
                   TProgressRec& progress, bool preview);
void ReadPcx(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);
void WritePcxStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);
void WritePcx(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);

}  // namespace pictavo
