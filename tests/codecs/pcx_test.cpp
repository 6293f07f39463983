#include "codecs/pcx.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/streamreader.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using namespace testutil;

std::vector<uint8_t> Bytes(TMemoryStream& m) {
  return std::vector<uint8_t>(m.Memory(), m.Memory() + m.GetSize());
}

bool ReadPcxBytes(const std::vector<uint8_t>& bytes, TBitmap& bm, TIOParamsVals& params) {
  TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
  Progress p;
  ReadPcxStream(s, bm, params, int64_t(bytes.size()), p.rec, false);
  return !p.aborting;
}

std::vector<uint8_t> Header(int bpp, int planes, int w, int h, int bpl, int encoding = 1) {
  std::vector<uint8_t> hd(128, 0);
  hd[0] = 10;
  hd[1] = 5;
  hd[2] = uint8_t(encoding);
  hd[3] = uint8_t(bpp);
  PutU16LE(&hd[8], uint16_t(w - 1));
  PutU16LE(&hd[10], uint16_t(h - 1));
  hd[65] = uint8_t(planes);
  PutU16LE(&hd[66], uint16_t(bpl));
  return hd;
}

TEST(PcxCodec, RoundTripsEveryDepthAndEncoding) {
  for (auto compression : {ioPCX_RLE, ioPCX_UNCOMPRESSED}) {
    for (int depth : {1, 4, 8, 24}) {
      SCOPED_TRACE(depth);
      TBitmap src;
      const int w = 37, h = 9;  // odd width: padding of every row form
      if (depth == 1)
        MakeBW(src, w, h);
      else
        MakeImage(src, w, h, depth == 4 ? 11 : depth == 8 ? 200 : 0);
      TIOParamsVals params;
      params.BitsPerSample = depth == 24 ? 8 : depth;
      params.SamplesPerPixel = depth == 24 ? 3 : 1;
      params.PCX_Compression = compression;
      TMemoryStream m;
      Progress p;
      WritePcxStream(m, src, params, p.rec);
      ASSERT_FALSE(p.aborting);
      TBitmap back;
      TIOParamsVals rp;
      ASSERT_TRUE(ReadPcxBytes(Bytes(m), back, rp));
      EXPECT_EQ(back.GetPixelFormat(), depth == 1 ? pf1bit : pf24bit);
      EXPECT_LE(MaxDiff(src, back), depth == 8 ? 8 : 0);
      EXPECT_EQ(rp.PCX_Compression, compression);
    }
  }
}

TEST(PcxCodec, WriterBytes) {
  // 1 x 1 at 24 bits: bytes per line 2, three encoded plane lines.
  TBitmap bm;
  MakeImage(bm, 1, 1);
  bm.ScanLine(0)[0] = 0xC5;  // blue
  bm.ScanLine(0)[1] = 7;
  bm.ScanLine(0)[2] = 9;
  TIOParamsVals params;
  TMemoryStream m;
  Progress p;
  WritePcxStream(m, bm, params, p.rec);
  auto b = Bytes(m);
  ASSERT_EQ(b.size(), 128u + 2 + 2 + 3);
  EXPECT_EQ(GetU16LE(&b[66]), 2);
  EXPECT_EQ(b[65], 3);
  EXPECT_EQ(GetU16LE(&b[68]), 0);
  const uint8_t data[] = {9, 0, 7, 0, 0xC1, 0xC5, 0};
  EXPECT_EQ(0, std::memcmp(&b[128], data, sizeof data));
}

TEST(PcxCodec, RunsCrossLinesAndHeadersAreChecked) {
  // Lines of 4 bytes: a run of 6 fills the first line and half the second.
  auto f = Header(8, 1, 4, 2, 4);
  const uint8_t data[] = {0xC6, 0x11, 0x22, 0x33};
  f.insert(f.end(), data, data + 4);
  f.push_back(12);
  for (int i = 0; i < 256; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(255 - i), 0});
  TBitmap bm;
  TIOParamsVals params;
  ASSERT_TRUE(ReadPcxBytes(f, bm, params));
  EXPECT_EQ(PixelOf(bm, 3, 0).r, 0x11);
  EXPECT_EQ(PixelOf(bm, 1, 1).r, 0x11);
  EXPECT_EQ(PixelOf(bm, 2, 1).r, 0x22);
  EXPECT_EQ(PixelOf(bm, 2, 1).g, 255 - 0x22);

  // Inconsistent headers: nothing is touched.
  for (auto bad : {Header(8, 5, 4, 2, 4), Header(8, 1, 4, 2, 3), Header(16, 1, 4, 2, 8)}) {
    TIOParamsVals bp;
    bp.Width = 77;
    TBitmap untouched;
    EXPECT_FALSE(ReadPcxBytes(bad, untouched, bp));
    EXPECT_EQ(bp.Width, 77);
    EXPECT_TRUE(untouched.Empty());
  }
  auto inverted = Header(8, 1, 4, 2, 4);
  PutU16LE(&inverted[4], 10);  // Xmin above Xmax
  TIOParamsVals ip;
  EXPECT_FALSE(ReadPcxBytes(inverted, bm, ip));
}

TEST(PcxCodec, ShortFilesDecodeWhatIsThere) {
  // 8 bits without room for the end palette: a grey ramp; the missing second
  // row aborts after the first.
  auto f = Header(8, 1, 2, 2, 2, 0);
  f.insert(f.end(), {40, 200});
  TBitmap bm;
  TIOParamsVals params;
  EXPECT_FALSE(ReadPcxBytes(f, bm, params));
  ASSERT_EQ(bm.GetWidth(), 2);
  EXPECT_EQ(PixelOf(bm, 0, 0).g, 40);
  EXPECT_EQ(PixelOf(bm, 1, 0).b, 200);
  // A run count reaching past the data stops at the data.
  auto g = Header(8, 1, 2, 1, 2);
  g.push_back(0xFF);
  EXPECT_FALSE(ReadPcxBytes(g, bm, params));
}

TEST(PcxCodec, OddWidthFourBitsAndColouredTwoColourFiles) {
  auto f = Header(4, 1, 3, 1, 2, 0);
  for (int i = 0; i < 16; ++i) f[16 + 3 * i] = uint8_t(i * 16);
  f.insert(f.end(), {0x12, 0x3F});
  TBitmap bm;
  TIOParamsVals params;
  ASSERT_TRUE(ReadPcxBytes(f, bm, params));
  EXPECT_EQ(bm.GetWidth(), 3);
  EXPECT_EQ(PixelOf(bm, 2, 0).r, 0x30);
  // Two colours that are not black and white load as pf24bit.
  auto c = Header(1, 1, 8, 1, 2, 0);
  c[16] = 200;      // entry 0 red
  c[19 + 2] = 150;  // entry 1 blue
  c.insert(c.end(), {0x0F, 0});
  ASSERT_TRUE(ReadPcxBytes(c, bm, params));
  EXPECT_EQ(bm.GetPixelFormat(), pf24bit);
  EXPECT_EQ(PixelOf(bm, 0, 0).r, 200);
  EXPECT_EQ(PixelOf(bm, 7, 0).b, 150);
}

TEST(PcxCodec, InteroperatesWithImageMagick) {
  if (!HaveTool("convert") || !HaveTool("pcxtoppm"))
    GTEST_SKIP() << "ImageMagick or netpbm missing";
  TBitmap src;
  MakeImage(src, 45, 23);
  const std::string ppm = TempPath("pcx_src.ppm");
  WritePPM(src, ppm);
  for (std::string opt : {"", "-type palette", "-monochrome"}) {
    SCOPED_TRACE(opt);
    const std::string pcx = TempPath("pcx_im.pcx");
    ASSERT_TRUE(Shell("convert '" + ppm + "' " + opt + " PCX:'" + pcx + "'"));
    int w, h;
    auto ref = MagickRGB(pcx, w, h);
    TBitmap bm;
    TIOParamsVals params;
    ASSERT_TRUE(ReadPcxBytes(ReadFile(pcx), bm, params));
    EXPECT_EQ(MaxDiff(bm, ref, w, h), 0);
  }
  // Files of netpbm: 24 bits, 8 bits, and planes of bits for few colours.
  TBitmap few;
  MakeImage(few, 45, 23, 5);
  const std::string fewPpm = TempPath("pcx_few.ppm");
  WritePPM(few, fewPpm);
  for (std::string cmd :
       {"ppmtopcx -24bit SRC", "ppmtopcx -8bit SRC", "ppmtopcx SRC", "ppmtopcx -packed SRC"}) {
    SCOPED_TRACE(cmd);
    const std::string pcx = TempPath("pcx_netpbm.pcx");
    cmd.replace(cmd.find("SRC"), 3, "'" + fewPpm + "'");
    ASSERT_TRUE(Shell(cmd + " > '" + pcx + "'"));
    TBitmap bm;
    TIOParamsVals params;
    ASSERT_TRUE(ReadPcxBytes(ReadFile(pcx), bm, params));
    EXPECT_EQ(MaxDiff(bm, few), 0);
  }
  // Our files decoded by netpbm.
  for (int depth : {1, 8, 24}) {
    TBitmap img;
    if (depth == 1)
      MakeBW(img, 45, 23);
    else
      MakeImage(img, 45, 23, depth == 8 ? 60 : 0);
    TIOParamsVals params;
    params.BitsPerSample = depth == 24 ? 8 : depth;
    params.SamplesPerPixel = depth == 24 ? 3 : 1;
    const std::string out = TempPath("pcx_ours" + std::to_string(depth) + ".pcx");
    Progress p;
    WritePcx(out, img, params, p.rec);
    // netpbm as the independent decoder (ImageMagick reads 1-bit files
    // inverted, whatever their palette says).
    ASSERT_TRUE(Shell("pcxtoppm '" + out + "' > '" + out + ".ppm'"));
    int w, h;
    auto ref = MagickRGB(out + ".ppm", w, h);
    TBitmap back;
    TIOParamsVals rp;
    ASSERT_TRUE(ReadPcxBytes(ReadFile(out), back, rp));
    EXPECT_EQ(MaxDiff(back, ref, w, h), 0) << depth;
  }
}

}  // namespace
}  // namespace pictavo
