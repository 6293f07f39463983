// Data hidden in the least significant bits of a pf24bit bitmap.  The
// stream is 4 zero bytes, a 32-bit little-endian length n and n data bytes,
// spent least significant bit first, one bit per pixel byte in memory order
// along the rows from the top; the last two bytes of every row carry
// nothing.  Every channel value changes by at most 1.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"

namespace pictavo {

// Bytes of data the bitmap can carry after the header:
// ((3*width - 2) * height) div 8 - 8, which can be negative; 0 when the
// bitmap is not pf24bit.
int _GetHiddenDataSpace(const TBitmap& bitmap);
// Writes the header and `length` bytes; writing stops silently at the end
// of the last row.  Returns `length`, or 0 when the bitmap is not pf24bit.
int _WriteHiddenData(TBitmap& bitmap, const void* data, int length);
// Reads the header, then at most `size` data bytes (never more than the
// stored length) into buffer.  Returns the stored length whatever `size`
// was, or 0 when the bitmap is not pf24bit.
int _ReadHiddenData(const TBitmap& bitmap, void* buffer, int size);
// The stored text; empty when the stored length is negative or larger than
// the bitmap can carry (an image without hidden data holds an arbitrary one).
std::string _ReadHiddenText(const TBitmap& bitmap);

}  // namespace pictavo
