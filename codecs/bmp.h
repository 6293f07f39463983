// BMP codec: reads every header kind (core, info, v4/v5, OS/2 v2), 1/4/8/16/
// 24/32 bits with RLE4/RLE8 and bit fields; writes 1, 4, 8 and 24 bits.
#pragma once

#include <cstdint>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

// Reads one bitmap at the stream position.  blockSize: bytes that belong to
// the bitmap, or <= 0 when unknown.  With preview only IOParams is filled.
void BMPReadStream(TStream& stream, TBitmap& bitmap, int64_t blockSize, TIOParamsVals& params,
                   TProgressRec& progress, bool preview);
void BMPWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);

}  // namespace pictavo
