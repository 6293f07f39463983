#include "codecs/raster_common.h"

#include <gtest/gtest.h>

namespace pictavo {
namespace {

// 5-5-5 pixels: red in bits 10-14, green 5-9, blue 0-4, each times 8; the
// top bit carries nothing.
TEST(RasterCommon, Rgb555) {
  EXPECT_EQ(raster::Rgb555(0x0000), (TRGB{0, 0, 0}));
  EXPECT_EQ(raster::Rgb555(0x7FFF), (TRGB{248, 248, 248}));
  EXPECT_EQ(raster::Rgb555(0x8000), (TRGB{0, 0, 0}));
  EXPECT_EQ(raster::Rgb555(0x7C00), raster::Rgb(248, 0, 0));
  EXPECT_EQ(raster::Rgb555(0x03E0), raster::Rgb(0, 248, 0));
  EXPECT_EQ(raster::Rgb555(0x001F), raster::Rgb(0, 0, 248));
  // 0b0'00011'00101'10001: red 3, green 5, blue 17.
  EXPECT_EQ(raster::Rgb555(0x0CB1), raster::Rgb(24, 40, 136));
}

}  // namespace
}  // namespace pictavo
