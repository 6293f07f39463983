// Bit and row helpers shared by the codecs: row lengths, pixel-format bit
// counts, channel-mask widths, bit reversal, byte swapping, a power function,
// the checked stream write, and unsigned 64-bit arithmetic on 32-bit halves.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

// ((width * bitcount + 31) div 32) * 4, the padded length of a row.
int32_t _BitmapRowLen(int32_t width, int32_t bitcount);
int32_t _Pixelformat2BitCount(TPixelFormat format);
TPixelFormat _Bitcount2Pixelformat(int32_t bitcount);
// Width of the run of set bits starting at the lowest set bit of the mask.
int32_t _GetBitCount(uint32_t mask);
// Bits per pixel needed for a number of colours; 0 gives -1.
int32_t _NColToBitsPixel(int32_t colors);

void ReverseBitsB(uint8_t& b);
uint32_t ReverseBits(uint32_t& v);
uint16_t PVSwapWord(uint16_t v);
uint32_t PVSwapDWord(uint32_t v);
long double PVPower(long double base, long double exponent);

// Size of the named file in bytes, or -1 (all bits set) when it cannot be opened.
int64_t _getfilesize(const std::string& name);

// Writes count bytes; sets `aborting` when the stream takes fewer.
void SafeStreamWrite(TStream& stream, bool& aborting, const void* buffer, int64_t count);

void PVAdd64(uint32_t alow, uint32_t ahigh, uint32_t blow, uint32_t bhigh, uint32_t& low, uint32_t& high);
bool PVGreater64(uint32_t alow, uint32_t ahigh, uint32_t blow, uint32_t bhigh);
void PVMul64(uint32_t a, uint32_t b, uint32_t& low, uint32_t& high);

}  // namespace pictavo
