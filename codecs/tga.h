// TGA codec: colour-mapped, true-colour and grey images, RLE and raw, with
// the version-2 extension area and footer.
#pragma once

#include "io/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool TryTGA(TStream& stream);
void ReadTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress,
                   bool preview);
void WriteTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);

}  // namespace pictavo
