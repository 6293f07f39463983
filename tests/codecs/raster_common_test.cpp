#include "codecs/raster_common.h"

#include <gtest/gtest.h>

namespace pictavo {
namespace {

// 5-5-5 pixels: red in bits 10-14, green 5-9, blue 0-4, each v scaled as
// v * 8 + v div 4 (the high bits repeated), so 31 is full intensity; the
// top bit carries nothing.
TEST(RasterCommon, Rgb555) {
  EXPECT_EQ(raster::Rgb555(0x0000), (TRGB{0, 0, 0}));
  EXPECT_EQ(raster::Rgb555(0x7FFF), (TRGB{255, 255, 255}));
  EXPECT_EQ(raster::Rgb555(0x8000), (TRGB{0, 0, 0}));
  EXPECT_EQ(raster::Rgb555(0x7C00), raster::Rgb(255, 0, 0));
  EXPECT_EQ(raster::Rgb555(0x03E0), raster::Rgb(0, 255, 0));
  EXPECT_EQ(raster::Rgb555(0x001F), raster::Rgb(0, 0, 255));
  // 0b0'00011'00101'10001: red 3 -> 24 + 0, green 5 -> 40 + 1, blue 17 -> 136 + 4.
  EXPECT_EQ(raster::Rgb555(0x0CB1), raster::Rgb(24, 41, 140));
  // Every level: the top three bits of the result repeat in its low ones
  // and the scale is monotonic from 0 to 255.
  for (uint32_t v = 0; v < 32; ++v) {
    const TRGB c = raster::Rgb555(v);
    EXPECT_EQ(c.b >> 3, int(v));
    EXPECT_EQ(c.b & 7, int(v >> 2));
  }
}

}  // namespace
}  // namespace pictavo
