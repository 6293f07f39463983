// 16-bit pixels of 5 bits per channel decode the same whatever the file's
// header says: no masks, explicit 5-5-5 masks in BMP, and TGA.
#include <gtest/gtest.h>

#include <vector>

#include "codecs/bmp.h"
#include "codecs/tga.h"
#include "core/pvdefs.h"
#include "platform/stream.h"
#include "tests/codecs/bytes_util.h"

namespace pictavo {
namespace {

using testutil::Put16;
using testutil::Put32;

// Four pixels: white (31, 31, 31), grey 16, red 1, green 30.
const uint16_t kPixels[] = {0x7FFF, 0x4210, 0x0400, 0x03C0};
// By hand, v -> v * 8 + v div 4: 31 -> 255, 16 -> 132, 1 -> 8, 30 -> 247.
const TRGB kExpected[] = {{255, 255, 255}, {132, 132, 132}, {0, 0, 8}, {0, 247, 0}};

std::vector<uint8_t> Bmp16(bool masks) {
  const uint32_t offset = 14 + 40 + (masks ? 12 : 0);
  std::vector<uint8_t> v = {'B', 'M'};
  Put32(v, offset + 8);
  Put32(v, 0);
  Put32(v, offset);
  Put32(v, 40);
  Put32(v, 4);  // width
  Put32(v, 1);  // height
  Put16(v, 1);
  Put16(v, 16);
  Put32(v, masks ? 3 : 0);  // BI_BITFIELDS or BI_RGB
  for (int i = 0; i < 5; ++i) Put32(v, 0);
  if (masks) {
    Put32(v, 0x7C00);
    Put32(v, 0x03E0);
    Put32(v, 0x001F);
  }
  for (uint16_t p : kPixels) Put16(v, p);
  return v;
}

std::vector<uint8_t> Tga16() {
  std::vector<uint8_t> v = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(v, 4);
  Put16(v, 1);
  v.push_back(16);
  v.push_back(0x20);
  for (uint16_t p : kPixels) Put16(v, p);
  return v;
}

void ExpectPixels(const TBitmap& bmp) {
  ASSERT_EQ(bmp.GetWidth(), 4);
  ASSERT_EQ(bmp.GetPixelFormat(), pf24bit);
  const TRGB* row = reinterpret_cast<const TRGB*>(const_cast<TBitmap&>(bmp).ScanLine(0));
  for (int x = 0; x < 4; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(row[x].r, kExpected[x].r);
    EXPECT_EQ(row[x].g, kExpected[x].g);
    EXPECT_EQ(row[x].b, kExpected[x].b);
  }
}

TEST(SixteenBitPixels, BmpWithAndWithoutMasksAndTgaAgree) {
  for (bool masks : {false, true}) {
    SCOPED_TRACE(masks ? "bit fields" : "no masks");
    const std::vector<uint8_t> file = Bmp16(masks);
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    TBitmap bmp;
    TIOParamsVals params;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    BMPReadStream(s, bmp, -1, params, progress, false);
    ASSERT_FALSE(aborted);
    ExpectPixels(bmp);
  }
  const std::vector<uint8_t> tga = Tga16();
  TReadOnlyMemoryStream s(tga.data(), int64_t(tga.size()));
  TBitmap bmp;
  TIOParamsVals params;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  ReadTGAStream(s, bmp, params, progress, false);
  ASSERT_FALSE(aborted);
  ExpectPixels(bmp);
}

}  // namespace
}  // namespace pictavo
