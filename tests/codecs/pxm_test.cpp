#include "codecs/pxm.h"

#include <gtest/gtest.h>

#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using namespace testutil;

bool ReadPxm(const std::string& text, TBitmap& bm, TIOParamsVals& params) {
  TReadOnlyMemoryStream s(text.data(), int64_t(text.size()));
  Progress p;
  PXMReadStream(s, bm, params, false, p.rec);
  return !p.aborting;
}

std::string WritePxm(TBitmap& bm, TIOParamsVals& params) {
  TMemoryStream m;
  Progress p;
  PXMWriteStream(m, bm, params, p.rec);
  EXPECT_FALSE(p.aborting);
  return std::string(reinterpret_cast<const char*>(m.Memory()), size_t(m.GetSize()));
}

TEST(PxmCodec, SamplesScaleAndClamp) {
  TBitmap bm;
  TIOParamsVals params;
  ASSERT_TRUE(ReadPxm(std::string("P5 2 1 15\n") + char(15) + char(7), bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(PixelOf(bm, 1, 0), (TRGB{119, 119, 119}));
  // ASCII samples above the maximum clamp; a maximum of 0 divides nothing.
  ASSERT_TRUE(ReadPxm("P2 3 1 100\n50 100 400", bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0).r, 127);
  EXPECT_EQ(PixelOf(bm, 2, 0).r, 255);
  ASSERT_TRUE(ReadPxm("P3 1 1 0\n5 0 9", bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{0, 0, 0}));
  // Two-byte samples are big-endian and scaled, for P5 and P6.
  std::string p6 = "P6 1 1 65535\n";
  p6 += std::string{char(0xFF), char(0xFF), char(0x80), char(0x80), char(0x01), char(0x01)};
  ASSERT_TRUE(ReadPxm(p6, bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{1, 128, 255}));
  // P6 with a small maximum is stretched too.
  ASSERT_TRUE(ReadPxm(std::string("P6 1 1 15\n") + char(15) + char(0) + char(7), bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{119, 0, 255}));
}

TEST(PxmCodec, HeadersCommentsAndBits) {
  TBitmap a, b;
  TIOParamsVals params;
  ASSERT_TRUE(ReadPxm("P1\n# first\n3 # second\n2\n0 1 0\n1 1 0", a, params));
  ASSERT_EQ(params.PXM_Comments.Count(), 2);
  EXPECT_EQ(params.PXM_Comments.Get(0), "first");
  EXPECT_EQ(params.PXM_Comments.Get(1), "second");
  ASSERT_TRUE(ReadPxm("P1 3 2 010110", b, params));
  EXPECT_EQ(a.GetPixelFormat(), pf1bit);
  EXPECT_EQ(MaxDiff(a, b), 0);
  EXPECT_EQ(PixelOf(a, 0, 0).r, 255);  // 0 is white
  EXPECT_EQ(PixelOf(a, 1, 0).r, 0);
  EXPECT_EQ(PixelOf(a, 0, 1).r, 0);
  // Bad headers and truncated data.
  TBitmap untouched;
  EXPECT_FALSE(ReadPxm("P7 3 2 255\n", untouched, params));
  EXPECT_FALSE(ReadPxm("P5 0 2 255\n", untouched, params));
  EXPECT_FALSE(ReadPxm("", untouched, params));
  EXPECT_FALSE(ReadPxm("P5", untouched, params));
  EXPECT_TRUE(untouched.Empty());
  EXPECT_FALSE(ReadPxm("P5 2 2 255\nab", a, params));  // first row decoded, then abort
  EXPECT_EQ(PixelOf(a, 1, 0).r, 'b');
  EXPECT_FALSE(ReadPxm("P5 70000 70000 255\n", untouched, params));
  EXPECT_TRUE(untouched.Empty());
  const std::string ok = "P6 #c\n4 4 255\n";
  TReadOnlyMemoryStream s(ok.data(), int64_t(ok.size()));
  EXPECT_TRUE(TryPXM(s));
  EXPECT_EQ(s.GetPosition(), 0);
}

TEST(PxmCodec, WriterForms) {
  TBitmap bw;
  MakeBW(bw, 10, 2);
  TIOParamsVals params;
  std::string p4 = WritePxm(bw, params);
  ASSERT_EQ(p4.substr(0, 8), "P4 10 2\n");
  EXPECT_EQ(uint8_t(p4[8]), uint8_t(~bw.ScanLine(0)[0]));
  params.PXM_Comments.Add("made here");
  TBitmap colour;
  MakeImage(colour, 5, 3);
  std::string p6 = WritePxm(colour, params);
  EXPECT_EQ(p6.substr(0, 22), "P6 \n# made here\n5 3 25");
  TBitmap back;
  TIOParamsVals rp;
  ASSERT_TRUE(ReadPxm(p6, back, rp));
  EXPECT_EQ(MaxDiff(colour, back), 0);
  EXPECT_EQ(rp.PXM_Comments.Get(0), "made here");
  // A two-colour pf24bit image written with one bit per sample becomes P4.
  TBitmap two;
  MakeImage(two, 9, 2, 2);
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  std::string bits = WritePxm(two, params);
  EXPECT_EQ(bits.substr(0, 3), "P4 ");
  ASSERT_TRUE(ReadPxm(bits, back, rp));
  EXPECT_EQ(back.GetPixelFormat(), pf1bit);
  EXPECT_EQ(back.GetWidth(), 9);
}

TEST(PxmCodec, InteroperatesWithNetpbmAndImageMagick) {
  if (!HaveTool("convert") || !HaveTool("pnmdepth"))
    GTEST_SKIP() << "ImageMagick or netpbm missing";
  TBitmap src;
  MakeImage(src, 21, 13);
  const std::string ppm = TempPath("pxm_src.ppm");
  WritePPM(src, ppm);
  struct Case {
    std::string cmd, file;
  };
  const std::vector<Case> cases = {
      {"convert SRC -compress none ppm:OUT", "plain.ppm"},
      {"convert SRC ppm:OUT", "raw.ppm"},
      {"convert SRC -colorspace gray -compress none pgm:OUT", "plain.pgm"},
      {"convert SRC -colorspace gray pgm:OUT", "raw.pgm"},
      {"convert SRC -monochrome -compress none pbm:OUT", "plain.pbm"},
      {"convert SRC -monochrome pbm:OUT", "raw.pbm"},
      {"pnmdepth 65535 SRC > OUT", "deep.ppm"},
      {"ppmtopgm SRC | pnmdepth 65535 > OUT", "deep.pgm"},
      {"ppmtopgm SRC | pnmdepth 15 > OUT", "shallow.pgm"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string out = TempPath(c.file);
    std::string cmd = c.cmd;
    cmd.replace(cmd.find("SRC"), 3, "'" + ppm + "'");
    cmd.replace(cmd.find("OUT"), 3, "'" + out + "'");
    ASSERT_TRUE(Shell(cmd));
    int w, h;
    auto ref = MagickRGB(out, w, h);
    TBitmap bm;
    TIOParamsVals params;
    auto bytes = ReadFile(out);
    ASSERT_TRUE(ReadPxm(std::string(bytes.begin(), bytes.end()), bm, params));
    // 4-bit samples: ImageMagick rounds where the codec truncates.
    EXPECT_LE(MaxDiff(bm, ref, w, h), c.file == "shallow.pgm" ? 1 : 0);
  }
  // Our P4, P5 and P6 decoded by netpbm/ImageMagick.
  for (int form : {4, 5, 6}) {
    TBitmap img;
    if (form == 4)
      MakeBW(img, 21, 13);
    else
      MakeImage(img, 21, 13);
    TIOParamsVals params;
    params.BitsPerSample = form == 4 ? 1 : 8;
    params.SamplesPerPixel = form == 6 ? 3 : 1;
    std::string data = WritePxm(img, params);
    const std::string out = TempPath("ours.pnm");
    WriteFile(out, std::vector<uint8_t>(data.begin(), data.end()));
    int w, h;
    auto ref = MagickRGB(out, w, h);
    TBitmap back;
    TIOParamsVals rp;
    ASSERT_TRUE(ReadPxm(data, back, rp));
    EXPECT_EQ(MaxDiff(back, ref, w, h), 0) << form;
    if (form != 5) {
      EXPECT_EQ(MaxDiff(back, img), 0);
    }
  }
}

}  // namespace
}  // namespace pictavo
