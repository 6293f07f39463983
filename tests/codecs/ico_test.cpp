#include "codecs/ico.h"

#include <gtest/gtest.h>

#include "core/pvutils.h"
#include "core/streamreader.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using namespace testutil;

struct IconImage {
  int w, h, bits, entryColours = 0, entryBits = -1;
  std::vector<TRGB> table;
  std::vector<uint8_t> xorRows, maskRows;  // bottom-up, padded
};

// Builds an icon (type 1) or cursor (type 2) file.
std::vector<uint8_t> BuildIcon(int type, const std::vector<IconImage>& images, int hotX = 0,
                               int hotY = 0) {
  std::vector<uint8_t> f(6 + 16 * images.size(), 0);
  PutU16LE(&f[2], uint16_t(type));
  PutU16LE(&f[4], uint16_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& im = images[i];
    std::vector<uint8_t> data(40, 0);
    PutU32LE(&data[0], 40);
    PutU32LE(&data[4], uint32_t(im.w));
    PutU32LE(&data[8], uint32_t(im.h * 2));
    PutU16LE(&data[12], 1);
    PutU16LE(&data[14], uint16_t(im.bits));
    for (const TRGB& c : im.table) data.insert(data.end(), {c.b, c.g, c.r, 0});
    data.insert(data.end(), im.xorRows.begin(), im.xorRows.end());
    data.insert(data.end(), im.maskRows.begin(), im.maskRows.end());
    uint8_t* e = &f[6 + 16 * i];
    e[0] = uint8_t(im.w);
    e[1] = uint8_t(im.h);
    e[2] = uint8_t(im.entryColours);
    PutU16LE(e + 4, uint16_t(type == 2 ? hotX : 1));
    PutU16LE(e + 6, uint16_t(type == 2 ? hotY : (im.entryBits >= 0 ? im.entryBits : im.bits)));
    PutU32LE(e + 8, uint32_t(data.size()));
    PutU32LE(e + 12, uint32_t(f.size()));
    f.insert(f.end(), data.begin(), data.end());
  }
  return f;
}

bool ReadIcon(const std::vector<uint8_t>& bytes, TBitmap& bm, TIOParamsVals& params,
              bool cursor = false) {
  TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
  Progress p;
  if (cursor)
    CURReadStream(s, bm, params, false, p.rec);
  else
    ICOReadStream(s, bm, params, false, p.rec);
  return !p.aborting;
}

IconImage FourBit(int w, int h) {
  IconImage im{w, h, 4, 0, -1, {}, {}, {}};
  for (int i = 0; i < 16; ++i)
    im.table.push_back(TRGB{uint8_t(i * 16), uint8_t(i), uint8_t(255 - i)});
  const int rl = _BitmapRowLen(w, 4), ml = _BitmapRowLen(w, 1);
  im.xorRows.assign(size_t(rl) * h, 0);
  im.maskRows.assign(size_t(ml) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      im.xorRows[y * rl + x / 2] |= uint8_t(((x + y) % 16) << ((x & 1) ? 0 : 4));
  im.maskRows[0] = 0x80;  // bottom-left pixel transparent
  return im;
}

TEST(IcoReader, PaletteDepthsMaskAndOddWidth) {
  auto f = BuildIcon(1, {FourBit(5, 3)});
  TBitmap bm;
  TIOParamsVals params;
  params.ICO_Background = TRGB{1, 2, 3};
  ASSERT_TRUE(ReadIcon(f, bm, params));
  ASSERT_EQ(bm.GetWidth(), 5);
  EXPECT_EQ(bm.GetPixelFormat(), pf24bit);
  EXPECT_EQ(PixelOf(bm, 0, 2), (TRGB{1, 2, 3}));     // masked
  EXPECT_EQ(PixelOf(bm, 4, 2), (TRGB{64, 4, 251}));  // file row 0, index 4
  EXPECT_EQ(PixelOf(bm, 3, 0), (TRGB{80, 5, 250}));  // file row 2, index 5
  EXPECT_EQ(params.BitsPerSample, 4);
  // The same data declaring two colours is still decoded by its bit count.
  auto im = FourBit(5, 3);
  im.entryColours = 2;
  ASSERT_TRUE(ReadIcon(BuildIcon(1, {im}), bm, params));
  EXPECT_EQ(bm.GetPixelFormat(), pf24bit);
  EXPECT_EQ(PixelOf(bm, 3, 0), (TRGB{80, 5, 250}));
}

TEST(IcoReader, TwoColourAndTrueColourImages) {
  IconImage bw{8, 2, 1, 0, -1, {}, {}, {}};
  bw.table = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  bw.xorRows = {0xF0, 0, 0, 0, 0x0F, 0, 0, 0};
  bw.maskRows = {0x01, 0, 0, 0, 0, 0, 0, 0};
  TBitmap bm;
  TIOParamsVals params;
  ASSERT_TRUE(ReadIcon(BuildIcon(1, {bw}), bm, params));
  EXPECT_EQ(bm.GetPixelFormat(), pf1bit);
  EXPECT_EQ(bm.ScanLine(0)[0], 0x0F);
  EXPECT_EQ(bm.ScanLine(1)[0], 0xF1);  // the masked pixel turns white
  // Two colours that are not black and white: pf24bit in those colours.
  bw.table = {TRGB{0, 0, 200}, TRGB{0, 150, 0}};
  ASSERT_TRUE(ReadIcon(BuildIcon(1, {bw}), bm, params));
  EXPECT_EQ(bm.GetPixelFormat(), pf24bit);
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{0, 0, 200}));
  EXPECT_EQ(PixelOf(bm, 7, 0), (TRGB{0, 150, 0}));
  // 32 bits: alpha composited over the background.
  IconImage argb{2, 1, 32, 0, -1, {}, {}, {}};
  argb.xorRows = {100, 100, 100, 255, 0, 0, 0, 0};
  argb.maskRows = {0, 0, 0, 0};
  params.ICO_Background = TRGB{255, 255, 255};
  ASSERT_TRUE(ReadIcon(BuildIcon(1, {argb}), bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{100, 100, 100}));
  EXPECT_EQ(PixelOf(bm, 1, 0), (TRGB{255, 255, 255}));
  // 24 bits: the mask is not applied.
  IconImage rgb{1, 1, 24, 0, -1, {}, {}, {}};
  rgb.xorRows = {7, 8, 9, 0};
  rgb.maskRows = {0x80, 0, 0, 0};
  ASSERT_TRUE(ReadIcon(BuildIcon(1, {rgb}), bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{7, 8, 9}));
}

TEST(IcoReader, DirectoryIndexCursorAndMalformedFiles) {
  auto f = BuildIcon(2, {FourBit(3, 3), FourBit(6, 4)}, 5, 9);
  TBitmap bm;
  TIOParamsVals params;
  params.CUR_ImageIndex = 1;
  ASSERT_TRUE(ReadIcon(f, bm, params, true));
  EXPECT_EQ(bm.GetWidth(), 6);
  EXPECT_EQ(params.CUR_XHotSpot, 5);
  EXPECT_EQ(params.CUR_YHotSpot, 9);
  {
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    EXPECT_TRUE(CURTryStream(s));
    EXPECT_FALSE(ICOTryStream(s));
    EXPECT_EQ(s.GetPosition(), 0);
  }
  // An index outside the directory changes nothing.
  params.CUR_ImageIndex = 2;
  params.Width = 123;
  ASSERT_TRUE(ReadIcon(f, bm, params, true));
  EXPECT_EQ(params.Width, 123);
  // An offset beyond the stream aborts; truncated pixel data aborts after
  // the rows that are there.
  auto g = BuildIcon(1, {FourBit(4, 4)});
  PutU32LE(&g[6 + 12], 100000);
  TIOParamsVals p2;
  EXPECT_FALSE(ReadIcon(g, bm, p2));
  auto t = BuildIcon(1, {FourBit(4, 4)});
  t.resize(t.size() - 16 - 8);  // half the XOR rows are gone
  EXPECT_FALSE(ReadIcon(t, bm, p2));
  EXPECT_EQ(bm.GetHeight(), 4);
  EXPECT_EQ(PixelOf(bm, 1, 3), (TRGB{16, 1, 254}));
  // Zero bit count and zero colour count.
  auto z = BuildIcon(1, {FourBit(2, 2)});
  PutU16LE(&z[6 + 6], 0);
  PutU16LE(&z[22 + 14], 0);
  EXPECT_FALSE(ReadIcon(z, bm, p2));
  // A directory entry of 0 x 0 takes the header's size.
  auto zero = BuildIcon(1, {FourBit(5, 3)});
  zero[6] = zero[7] = 0;
  ASSERT_TRUE(ReadIcon(zero, bm, p2));
  EXPECT_EQ(bm.GetWidth(), 5);
  EXPECT_EQ(bm.GetHeight(), 3);
}

TEST(IcoReader, ImageMagickIcons) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  TBitmap src;
  MakeImage(src, 16, 16, 0);
  const std::string ppm = TempPath("ico_src.ppm");
  WritePPM(src, ppm);
  for (std::string opt : {"", "-colors 16", "-colors 200", "-monochrome"}) {
    SCOPED_TRACE(opt);
    const std::string ico = TempPath("im.ico");
    ASSERT_TRUE(Shell("convert '" + ppm + "' " + opt + " ico:'" + ico + "'"));
    int w, h;
    auto ref = MagickRGB(ico, w, h);
    TBitmap bm;
    TIOParamsVals params;
    ASSERT_TRUE(ReadIcon(ReadFile(ico), bm, params));
    EXPECT_EQ(MaxDiff(bm, ref, w, h), 0);
  }
}

}  // namespace
}  // namespace pictavo
