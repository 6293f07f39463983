// Colour workers of the processing unit: per-pixel operations on a pf24bit
// bitmap over the rectangle x1..x2-1, y1..y2-1 (x2 and y2 clamped to the
// bitmap), channel extraction, colour counting, colour reduction and the
// black-and-white threshold.  Every worker returns without change for a
// bitmap of another pixel format (only _Negative also takes pf1bit) and
// reports progress per row as processing/progress.h describes.
#pragma once

#include <memory>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

// R += r, G += g, B += b, each clamped to 0..255.
void _IntensityRGBall(TBitmap& bitmap, int r, int g, int b, int x1, int y1, int x2, int y2,
                      const TPVProgressEvent& onProgress, TObject* sender);

// The contrast factor: 1 - sqrt(-amount) / 10 for a negative amount, else
// 1 + amount / 10.
double PVContrastFactor(int amount);
// Per-channel means of the whole bitmap: trunc(sum / ((w - 1) * (h - 1))),
// 128 each when the width or the height is 1.
void _GetMediaContrastRGB(const TBitmap& bitmap, int& meanR, int& meanG, int& meanB);
// One mean of every byte: sum / ((3 * w - 1) * (h - 1)), 128 when that is 0.
int _GetMediaContrast(const TBitmap& bitmap);
// Each channel c with mean m (of the whole bitmap) becomes
// blimit(m + trunc((c - m) * k)).
void _ContrastRGB(TBitmap& bitmap, int amount, int x1, int y1, int x2, int y2,
                  const TPVProgressEvent& onProgress, TObject* sender);
// The same factor around one pivot for every byte of the rectangle.
void _Contrast(TBitmap& bitmap, int amount, int pivot, int x1, int y1, int x2, int y2,
               const TPVProgressEvent& onProgress, TObject* sender);

// Through HSV (integer) and back with the offsets added.
void _HSVvar(TBitmap& bitmap, int dH, int dS, int dV, int x1, int y1, int x2, int y2,
             const TPVProgressEvent& onProgress, TObject* sender);
// Through HSL with H + dH / 360, S + dS / 100, L + dL / 100.
void _HSLvar(TBitmap& bitmap, int dH, int dS, int dL, int x1, int y1, int x2, int y2,
             const TPVProgressEvent& onProgress, TObject* sender);
// Pixels inside the colour box beginColor..endColor (inclusive) become
// castColor.
void _CastColorRange(TBitmap& bitmap, const TRGB& beginColor, const TRGB& endColor,
                     const TRGB& castColor, int x1, int y1, int x2, int y2,
                     const TPVProgressEvent& onProgress, TObject* sender);
// Per channel: c <= downLimit.c gives downVal.c; then c > upLimit.c gives
// upVal.c.  Nothing happens for the limits black and white.
void _Threshold(TBitmap& bitmap, const TRGB& downLimit, const TRGB& upLimit, const TRGB& downVal,
                const TRGB& upVal, int x1, int y1, int x2, int y2,
                const TPVProgressEvent& onProgress, TObject* sender);
// 24 bits: 255 - c; 1 bit: every bit of the rectangle inverted (no progress).
void _Negative(TBitmap& bitmap, int x1, int y1, int x2, int y2, const TPVProgressEvent& onProgress,
               TObject* sender);
// All three channels become (R * 21 + G * 71 + B * 7) div 100.
void _ConvertToGray(TBitmap& bitmap, int x1, int y1, int x2, int y2,
                    const TPVProgressEvent& onProgress, TObject* sender);

// New 24-bit grey images of the whole bitmap (null unless pf24bit).  The RGB
// channel is the byte at offset channel (0 blue, 1 green, 2 red; values
// outside 0..2 are clamped into it).  HSV: 0 gives trunc(H / 359 * 255),
// 1 trunc(S / 99 * 255), 2 trunc(V / 99 * 255), any other value as 0.
std::unique_ptr<TBitmap> _GetRGBChannel(const TBitmap& bitmap, int channel,
                                        const TPVProgressEvent& onProgress, TObject* sender);
std::unique_ptr<TBitmap> _GetHSVChannel(const TBitmap& bitmap, int channel,
                                        const TPVProgressEvent& onProgress, TObject* sender);
// The three grey images at once (made pf24bit of the source size).
void _GetRGBChannelAll(const TBitmap& bitmap, TBitmap& r, TBitmap& g, TBitmap& b,
                       const TPVProgressEvent& onProgress, TObject* sender);
void _GetHSVChannelAll(const TBitmap& bitmap, TBitmap& h, TBitmap& s, TBitmap& v,
                       const TPVProgressEvent& onProgress, TObject* sender);

// Distinct colours of the rectangle: 2 for pf1bit, 0 for formats other
// than pf24bit.
int _GetImageNumColors(const TBitmap& bitmap, int x1, int y1, int x2, int y2);

// Reduces a pf24bit bitmap to `colors` colours (it stays pf24bit) through
// the quantizer; the palette goes to `palette` (room for `colors` entries)
// when given.  Two colours or fewer: ordered black-and-white dithering, and
// the palette receives black then white.  Progress per row as
// trunc(row * 100 / (height + 0.5)).
void _ConvertTo(TBitmap& bitmap, int colors, TRGB* palette, const TPVProgressEvent& onProgress,
                TObject* sender);

// Grey below t becomes black, anything else white; the bitmap becomes
// pf1bit.  t = -1 takes the grey of the channel means of the whole bitmap.
void _ConvertToBWThreshold(TBitmap& bitmap, int threshold, TProgressRec& progress);

}  // namespace pictavo
