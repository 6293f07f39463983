// JPEG codec adapter over libjpeg-turbo (the version-6.2 interface).
#pragma once

#include "codecs/rowsource.h"
#include "core/markers.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool JpegTryStream(TStream& stream);
void ReadJPegStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress, int64_t blockSize = -1);
void WriteJPegStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);
// Writes the rows of a 24-bit source; WriteJPegStream's bitmap goes through it.
void WriteJPegRows(TStream& stream, IPVRowSource& rows, TIOParamsVals& params,
                   TProgressRec& progress);
bool PVJpegInjectIPTC(TStream& source, TStream& dest, const TPVIPTCInfoList& iptc);

}  // namespace pictavo
