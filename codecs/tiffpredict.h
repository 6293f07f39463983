// Undoing TIFF's horizontal differencing (predictor 2) on decoded rows: each
// sample is stored as its difference from the same sample of the pixel to
// its left, modulo 2^bits.  8-bit rows of one, three or four samples use
// SSSE3 running sums unless PVRowKernels() is rkPortable; every version gives
// the same bytes.
#pragma once

#include <cstdint>

namespace pictavo {

// One row of `pixels` pixels of `spp` samples of `bps` bits (8 or 16; other
// depths are left as they are); `le` when 16-bit samples are little-endian.
void TIFFUndoPredictor(uint8_t* row, int spp, int pixels, int bps, bool le);
// The same from `src` into `row` (the same row or one that does not overlap
// it); for 8- and 16-bit samples row gets every byte of the pixels, other
// depths leave row as it is.
void TIFFUndoPredictorInto(const uint8_t* src, uint8_t* row, int spp, int pixels, int bps, bool le);

}  // namespace pictavo
