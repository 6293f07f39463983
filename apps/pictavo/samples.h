// Sample images the demo builds in code: a photo-like scene, a two-colour
// page and YUV frames of the capture layouts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/bitmap.h"

namespace pictavo::cli {

// A deterministic 24-bit scene: sky gradient, sun, hills, a house and grain.
std::unique_ptr<TBitmap> MakeSamplePhoto(int width, int height);
// A pf1bit page: white paper with lines of black "words".
std::unique_ptr<TBitmap> MakeSamplePage(int width, int height);
// A packed DIB (header + frame) holding a YUV frame of the given FOURCC,
// luma a diagonal ramp and chroma a slow pattern.
std::vector<uint8_t> MakeYUVFrameDIB(uint32_t fourcc, int width, int height);
// FNV-1a over the visible bytes of every row.
uint32_t BitmapChecksum(const TBitmap& bitmap);

}  // namespace pictavo::cli
