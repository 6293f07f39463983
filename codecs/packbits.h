// PackBits run-length coding of one row (TIFF compression 32773).
#pragma once

#include <cstdint>
#include <vector>

namespace pictavo {

// Decodes one row of rowBytes bytes from src (srcLen bytes available).
// Returns the number of source bytes consumed.  When the data ends before
// the row is complete, the rest of the row is zero and `complete` is false.
int64_t PackBitsDecodeRow(const uint8_t* src, int64_t srcLen, uint8_t* dest, int64_t rowBytes,
                          bool& complete);
// Appends the PackBits form of one row to out (runs never cross rows).
void PackBitsEncodeRow(const uint8_t* row, int64_t length, std::vector<uint8_t>& out);

}  // namespace pictavo
