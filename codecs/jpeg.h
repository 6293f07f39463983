// JPEG codec adapter over libjpeg-turbo (the version-6.2 interface).
#pragma once

#include "core/markers.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool JpegTryStream(TStream& stream);
void ReadJPegStream(TStream& stream, TBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                    TProgressRec& progress, int64_t blockSize = -1);
void WriteJPegStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress);
bool PVJpegInjectIPTC(TStream& source, TStream& dest, const TPVIPTCInfoList& iptc);

}  // namespace pictavo
