#include "core/pvdefs.h"

namespace pictavo {

int gSystemDPIX = 96;
int gSystemDPIY = 96;

namespace {
int64_t g_max_image_pixels = int64_t(1) << 28;
int64_t g_max_decode_ratio = kPVDefaultDecodeRatio;
}  // namespace

int64_t PVGetMaxImagePixels() {
  return g_max_image_pixels;
}

void PVSetMaxImagePixels(int64_t pixels) {
  g_max_image_pixels = pixels > 0 ? pixels : 1;
}

bool PVImageSizeAllowed(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return false;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  return width * height <= g_max_image_pixels;
}

int64_t PVGetMaxDecodeRatio() {
  return g_max_decode_ratio;
}

void PVSetMaxDecodeRatio(int64_t ratio) {
  g_max_decode_ratio = ratio > 0 ? ratio : 0;
}

int64_t PVBitmapBytes(int64_t width, int64_t height, int bitsPerPixel) {
  if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return 0;
  const int64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
  return rowBytes * height;
}

bool PVCheckDecodeSize(int64_t width, int64_t height, int bitsPerPixel, int64_t dataBytes,
                       TProgressRec& progress) {
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
    progress.Fail(TPVErrorCode::Corrupt, "invalid image size " + std::to_string(width) + "\u00D7" +
                                             std::to_string(height));
    return false;
  }
  if (!PVImageSizeAllowed(width, height)) {
    progress.Fail(TPVErrorCode::PixelLimit,
                  "image of " + std::to_string(width) + "\u00D7" + std::to_string(height) +
                      " pixels exceeds the limit of " + std::to_string(g_max_image_pixels));
    return false;
  }
  const int64_t ratio = g_max_decode_ratio;
  if (ratio == 0 || dataBytes < 0) return true;
  const int64_t bytes = PVBitmapBytes(width, height, bitsPerPixel);
  // bytes <= ratio * dataBytes, without overflowing the product.
  if (bytes <= kPVDecodeRatioFloor || dataBytes >= (bytes + ratio - 1) / ratio) return true;
  progress.Fail(TPVErrorCode::DecodeRatio, "image of " + std::to_string(width) + "\u00D7" +
                                               std::to_string(height) + " pixels needs " +
                                               std::to_string(bytes) + " bytes, more than " +
                                               std::to_string(ratio) + " times the " +
                                               std::to_string(dataBytes) + " bytes of its data");
  return false;
}

}  // namespace pictavo
