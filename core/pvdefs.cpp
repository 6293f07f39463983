#include "core/pvdefs.h"

namespace pictavo {

int gSystemDPIX = 96;
int gSystemDPIY = 96;

namespace {
int64_t g_max_image_pixels = int64_t(1) << 28;
}

int64_t PVGetMaxImagePixels() { return g_max_image_pixels; }

void PVSetMaxImagePixels(int64_t pixels) { g_max_image_pixels = pixels > 0 ? pixels : 1; }

bool PVImageSizeAllowed(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return false;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  return width * height <= g_max_image_pixels;
}

}  // namespace pictavo
