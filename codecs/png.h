// PNG codec adapter over libpng 1.6.
#pragma once

#include "codecs/rowsource.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool IsPNGStream(TStream& stream);
void ReadPNGStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                   TProgressRec& progress);
void WritePNGStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);
// Whether these parameters write a 24-bit image without interlacing, which is
// what WritePNGRows can do: the other layouts need the whole picture first.
bool PNGWritesRows(const TIOParamsVals& params);
void WritePNGRows(TStream& stream, IPVRowSource& rows, TIOParamsVals& params,
                  TProgressRec& progress);

}  // namespace pictavo
