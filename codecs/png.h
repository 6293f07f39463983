// PNG codec adapter over libpng 1.6.
#pragma once

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool IsPNGStream(TStream& stream);
void ReadPNGStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress);
void WritePNGStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);

}  // namespace pictavo
