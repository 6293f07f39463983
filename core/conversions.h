// Pixel helpers shared by codecs, processing and the views: colour values,
// grey weights, bitmap copies, DIB transfer (with the YUV layouts of capture
// drivers), reduction to one bit, expansion of one bit to 24, palette helpers
// and THash1, the integer hash set used to count colours.
#pragma once

#include <cstdint>
#include <memory>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/memory.h"
#include "platform/types.h"

namespace pictavo {

int _RGBToGray(const TRGB& rgb);
TRGB CreateRGB(uint8_t r, uint8_t g, uint8_t b);
TColor TRGB2TColor(const TRGB& rgb);
TColor RGB2TColor(int r, int g, int b);
TRGB TColor2TRGB(TColor color);
bool EqualRGB(const TRGB& a, const TRGB& b);
int blimit(int v);
int ilimit(int v, int lo, int hi);
int imin(int a, int b);
int imax(int a, int b);
double dmin(double a, double b);
double dmax(double a, double b);
void iswap(int& a, int& b);
void bswap(uint8_t& a, uint8_t& b);
void OrdCor(int& x1, int& y1, int& x2, int& y2);
void YUV2RGB(int Y, int U, int V, TRGB& out);

void PVCopyBitmap(const TBitmap& source, TBitmap& dest);
std::unique_ptr<TBitmap> PVCloneBitmap(const TBitmap& source);
void _CopyBitmapRect(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2);
void _CopyBits(uint8_t* dest, const uint8_t* source, int destBit, int bitCount, int sourceBit);
void _CopyPolygonBitmap(TBitmap& dest, const TBitmap& source, int x, int y, const TPoint* polygon, int count);
bool _BitmapCompareX(const TBitmap& a, const TBitmap& b);

// Reduction to one bit: nullptr unless exactly two colours (bit 0 the darker).
std::unique_ptr<TBitmap> _ConvertTo1bit(const TBitmap& bitmap, TRGB& c0, TRGB& c1);
void _ConvertToBWOrdered(TBitmap& bitmap, TProgressRec& progress);
void _Negative1Bit(TBitmap& bitmap);
void _Conv1to24(const TBitmap& source, TBitmap& dest);

int _GetSimilColor(const TRGB* palette, int count, const TRGB& color);
void _RGB2BGR(TRGB* palette, int count);
void _CopyBGR_RGB(TRGB* dest, const TRGB* source, int count);

}  // namespace pictavo
