// The TIFF variant of LZW (compression 5): codes of 9 to 12 bits, most
// significant bit first, with the early width change of TIFF.  Reached by the
// codec only through the function values of the parameters
// (TIFF_LZWDecompFunc / TIFF_LZWCompFunc); an application assigns these two
// to DefTIFF_LZWDECOMPFUNC / DefTIFF_LZWCOMPFUNC to enable LZW.
#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace pictavo {

// One row per call over a strip of dataLength bytes.  The first call (state
// null) creates the state over data; later calls continue from where the
// previous row ended (the data of the first call is used); data null frees
// the state and returns null.  The end of the strip counts as end of
// information: a row cut short by it is completed with zero bytes and
// returned, after that null is returned.  Null also on a corrupt code.
uint8_t* TIFFLZWDecompress(const uint8_t* data, int64_t dataLength, int rowLength, void*& state);

// The first call (state null) starts a code stream with a clear code; each
// call encodes `length` bytes as a continuation of the same stream; data null
// writes the pending code and end of information, flushes and frees the state.
// Returns false when a write falls short.
bool TIFFLZWCompress(const uint8_t* data, int length, TStream& stream, void*& state);

}  // namespace pictavo
