// TGA codec: colour-mapped, true-colour and grey images, RLE and raw, with
// the version-2 extension area and footer.
#pragma once

#include "codecs/quantize.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool TryTGA(TStream& stream);
void ReadTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, TProgressRec& progress,
                   bool preview);
void WriteTGAStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

// Converts one row of `width` pixels from srcBits to dstBits per pixel (1, 4,
// 8, 24; 32 as a source) and returns the length of the dest row in bytes (0
// for an unsupported dest depth).  Bits and nibbles are packed most
// significant first; the 1 -> 4 and 24 -> 4 paths OR into a dest the caller
// has zeroed.  palette (TRGB entries) serves the paths to 24 bits, quantizer
// the paths from 24 to 4 and 8 bits.
int _ConvertXBitsToYBits(const uint8_t* source, uint8_t* dest, int sourceBits, int destBits,
                         int width, const TRGB* palette, TPVQuantizer* quantizer);

}  // namespace pictavo
