// ICO and CUR reader (icons and cursors of any depth, PNG-compressed images).
#pragma once

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool ICOTryStream(TStream& stream);
bool CURTryStream(TStream& stream);
void ICOReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress);
void CURReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress);

}  // namespace pictavo
