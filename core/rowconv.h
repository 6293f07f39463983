// Row conversions of the codecs' inner loops: channel order swaps between the
// bitmap's blue-green-red and the red-green-blue of most file formats.  Each
// has a portable loop and SSSE3/AVX2 byte-shuffle versions chosen once at run
// time for the processor; every version gives the same bytes.
#pragma once

#include <cstdint>

namespace pictavo {

enum TPVRowKernels : uint8_t { rkPortable, rkSSSE3, rkAVX2 };

// The fastest kernels this processor runs.
TPVRowKernels PVBestRowKernels();
// The kernels in use (the best by default).
TPVRowKernels PVRowKernels();
// Chooses the kernels, clamped to what the processor runs (tests compare the
// versions through this); returns the choice made.
TPVRowKernels PVSetRowKernels(TPVRowKernels kernels);

// Swaps the first and third byte of `pixels` 3-byte pixels: RGB <-> BGR.
// src and dst are the same row or do not overlap.
void PVSwapRB24(const uint8_t* src, uint8_t* dst, int pixels);

}  // namespace pictavo
