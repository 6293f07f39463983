// Pieces shared by the TIFF reader, writer and page deleter.
#pragma once

#include <cstdint>

#include "codecs/tiff.h"

namespace pictavo {

// TIFFReadStream over at most `limit` bytes from the stream position (all
// of the rest when limit < 0).
void TIFFReadStreamLimited(TBitmap* bitmap, TStream& stream, int& imageCount, TIOParamsVals* params,
                           TProgressRec& progress, bool paramsOnly, int64_t limit);

}  // namespace pictavo
