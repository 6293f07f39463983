// PBM/PGM/PPM codec (P1 to P6) with comment lines.
#pragma once

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool TryPXM(TStream& stream);
void PXMReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress);
void PXMWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);

}  // namespace pictavo
