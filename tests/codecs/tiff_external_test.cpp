// Files made by libtiff's tools and ImageMagick, read by the TIFF reader and
// compared pixel for pixel with ImageMagick's decoding; files of the TIFF
// writer checked by tiffinfo, tiffcp and ImageMagick.
#include "tests/codecs/tiff_test_util.h"

namespace pictavo::tifftest {
namespace {

class TiffExternal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("tiffcp") || !HaveTool("convert") || !HaveTool("tiffinfo"))
      GTEST_SKIP() << "libtiff tools or ImageMagick missing";
  }
  // Converts the reference picture to TIFF with ImageMagick, then rewrites
  // it with tiffcp options; reads it back and compares with ImageMagick.
  void CheckTiffcp(const std::string& name, const std::string& imOptions,
                   const std::string& tiffcpOptions, int w = 131, int h = 67, int tolerance = 0) {
    SCOPED_TRACE(name);
    std::string ppm = Tmp(name + ".ppm"), base = Tmp(name + ".base.tif"), file = Tmp(name + ".tif");
    WritePPM(ppm, TestPicture(w, h));
    ASSERT_EQ(Sh("convert '" + ppm + "' " + imOptions + " -compress none tif:'" + base + "'"), 0);
    ASSERT_EQ(Sh("tiffcp " + tiffcpOptions + " '" + base + "' '" + file + "'"), 0);
    Rgb ref;
    ASSERT_TRUE(ImageMagickPixels(file, ref));
    TBitmap bmp;
    TIOParamsVals params;
    ASSERT_TRUE(ReadTIFF(file, bmp, params));
    if (tolerance == 0)
      EXPECT_EQ(Differences(BitmapPixels(bmp), ref), 0u);
    else
      EXPECT_LE(MaxDifference(BitmapPixels(bmp), ref), tolerance);
  }
};

TEST_F(TiffExternal, RgbCompressionsAndLayouts) {
  CheckTiffcp("none", "", "-c none");
  CheckTiffcp("lzw", "", "-c lzw");
  CheckTiffcp("lzw2", "", "-c lzw:2");
  CheckTiffcp("packbits", "", "-c packbits");
  CheckTiffcp("strips", "", "-c lzw -r 5");
  CheckTiffcp("separate", "", "-p separate -c none");
  CheckTiffcp("separate_lzw", "", "-p separate -c lzw:2 -r 7");
  CheckTiffcp("tiles", "", "-t -w 32 -l 16 -c lzw", 131, 67);
  CheckTiffcp("tiles_exact", "", "-t -w 32 -l 16 -c none", 128, 64);
  CheckTiffcp("bigendian", "", "-B -c lzw:2");
  CheckTiffcp("bigendian_tiles", "", "-B -t -w 16 -l 16 -c packbits");
}

TEST_F(TiffExternal, GreyPaletteCmyk16Bit) {
  CheckTiffcp("grey8", "-colorspace Gray -depth 8", "-c lzw");
  CheckTiffcp("grey4", "-colorspace Gray -depth 4", "-c none");
  CheckTiffcp("grey2", "-colorspace Gray -depth 2", "-c packbits");
  // 16-bit samples and 16-bit colour-map entries keep their high byte, where
  // ImageMagick rounds value / 257: at most one step apart.
  CheckTiffcp("grey16", "-colorspace Gray -depth 16", "-c lzw:2", 131, 67, 1);
  CheckTiffcp("rgb16", "-depth 16", "-c none", 131, 67, 1);
  CheckTiffcp("rgb16be", "-depth 16 -endian MSB", "-B -c lzw:2", 131, 67, 1);
  CheckTiffcp("palette", "-colors 200 -type Palette", "-c lzw", 131, 67, 1);
  CheckTiffcp("palette4", "-colors 16 -type Palette -depth 4", "-c packbits", 131, 67, 1);
}

TEST_F(TiffExternal, CmykMatchesTheConversionFormula) {
  std::string ppm = Tmp("cmyk.ppm"), file = Tmp("cmyk.tif");
  Rgb pic = TestPicture(40, 20);
  WritePPM(ppm, pic);
  ASSERT_EQ(Sh("convert '" + ppm + "' -colorspace CMYK -compress lzw tif:'" + file + "'"), 0);
  Rgb cmyk;  // the CMYK samples themselves
  std::string raw = Tmp("cmyk.raw");
  ASSERT_EQ(Sh("convert '" + file + "' -depth 8 cmyk:'" + raw + "'"), 0);
  std::ifstream f(raw, std::ios::binary);
  std::vector<uint8_t> s(40 * 20 * 4);
  f.read(reinterpret_cast<char*>(s.data()), std::streamsize(s.size()));
  ASSERT_TRUE(f);
  TBitmap bmp;
  TIOParamsVals params;
  ASSERT_TRUE(ReadTIFF(file, bmp, params));
  EXPECT_EQ(params.TIFF_PhotometInterpret, ioTIFF_CMYK);
  Rgb got = BitmapPixels(bmp);
  for (size_t i = 0; i < 40 * 20; ++i) {
    int k = 255 - s[4 * i + 3];
    ASSERT_EQ(got.px[3 * i], (255 - s[4 * i]) * k / 255) << i;
    ASSERT_EQ(got.px[3 * i + 1], (255 - s[4 * i + 1]) * k / 255) << i;
    ASSERT_EQ(got.px[3 * i + 2], (255 - s[4 * i + 2]) * k / 255) << i;
  }
}

TEST_F(TiffExternal, BilevelFaxCompressionsAndFillOrders) {
  std::string pbm = Tmp("bw.pbm"), base = Tmp("bw.tif");
  // Text-like bilevel picture of an awkward width.
  Rgb pic = TestPicture(1727, 41, 3);
  for (size_t i = 0; i < pic.px.size(); i += 3) {
    uint8_t v = (pic.px[i] ^ pic.px[i + 1]) & 0x40 ? 255 : 0;
    pic.px[i] = pic.px[i + 1] = pic.px[i + 2] = v;
  }
  WritePPM(Tmp("bw.ppm"), pic);
  ASSERT_EQ(Sh("convert '" + Tmp("bw.ppm") + "' -type bilevel -depth 1 -compress none tif:'" +
               base + "'"),
            0);
  Rgb ref;
  ASSERT_TRUE(ImageMagickPixels(base, ref));
  for (std::string opt : {"-c none", "-c packbits", "-c lzw", "-c g3", "-c g3:2d", "-c g3:2d:fill",
                          "-c g4", "-c g4 -f lsb2msb", "-c g3:2d -f lsb2msb", "-c g4 -B -r 10"}) {
    SCOPED_TRACE(opt);
    std::string file = Tmp("bw_" + std::to_string(std::hash<std::string>()(opt)) + ".tif");
    ASSERT_EQ(Sh("tiffcp " + opt + " '" + base + "' '" + file + "'"), 0);
    TBitmap bmp;
    TIOParamsVals params;
    ASSERT_TRUE(ReadTIFF(file, bmp, params));
    EXPECT_EQ(bmp.GetPixelFormat(), pf1bit);
    EXPECT_EQ(Differences(BitmapPixels(bmp), ref), 0u);
  }
}

// Our files: tiffinfo -D reads them without a complaint, and ImageMagick
// sees the pixels we wrote.
TEST_F(TiffExternal, WriterOutputReadByLibtiffAndImageMagick) {
  Rgb pic = TestPicture(2561 / 5, 37);
  struct Case {
    const char* name;
    TIOTIFFCompression c;
    bool bilevel;
    TIOTIFFPhotometInterpret photo;
  } cases[] = {
      {"w_none", ioTIFF_UNCOMPRESSED, false, ioTIFF_RGB},
      {"w_lzw", ioTIFF_LZW, false, ioTIFF_RGB},
      {"w_packbits", ioTIFF_PACKBITS, false, ioTIFF_RGB},
      {"w_bw_none", ioTIFF_UNCOMPRESSED, true, ioTIFF_BLACKISZERO},
      {"w_bw_lzw", ioTIFF_LZW, true, ioTIFF_BLACKISZERO},
      {"w_bw_packbits", ioTIFF_PACKBITS, true, ioTIFF_BLACKISZERO},
      {"w_bw_mh", ioTIFF_CCITT1D, true, ioTIFF_WHITEISZERO},
      {"w_bw_g3", ioTIFF_G3FAX1D, true, ioTIFF_WHITEISZERO},
      {"w_bw_g32d", ioTIFF_G3FAX2D, true, ioTIFF_WHITEISZERO},
      {"w_bw_g4", ioTIFF_G4FAX, true, ioTIFF_WHITEISZERO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap bmp;
    FillBitmap(bmp, pic);
    TIOParamsVals params;
    params.TIFF_Compression = c.c;
    params.DpiX = params.DpiY = 200;
    params.TIFF_PageName = "page one";
    params.TIFF_PageNumber = 0;
    params.TIFF_PageCount = 1;
    if (c.bilevel) {
      bmp.SetPixelFormat(pf1bit);
      params.BitsPerSample = 1;
      params.SamplesPerPixel = 1;
    }
    Rgb expect = BitmapPixels(bmp);
    std::string file = Tmp(std::string(c.name) + ".tif");
    ASSERT_TRUE(WriteTIFF(file, bmp, params));
    std::string log = Tmp(std::string(c.name) + ".log");
    EXPECT_EQ(std::system(("tiffinfo -D '" + file + "' >/dev/null 2>'" + log + "'").c_str()), 0);
    EXPECT_EQ(std::filesystem::file_size(log), 0u) << "tiffinfo complained";
    Rgb ref;
    ASSERT_TRUE(ImageMagickPixels(file, ref));
    EXPECT_EQ(Differences(ref, expect), 0u);
    // tiffcp decodes and re-encodes every strip: a decoding error fails it.
    EXPECT_EQ(Sh("tiffcp -c none '" + file + "' '" + file + ".cp.tif'"), 0);
    TBitmap back;
    TIOParamsVals rp;
    ASSERT_TRUE(ReadTIFF(file, back, rp));
    EXPECT_EQ(Differences(BitmapPixels(back), expect), 0u);
    EXPECT_EQ(rp.TIFF_PageName, "page one");
    EXPECT_EQ(rp.TIFF_PageCount, 1);
    EXPECT_EQ(rp.DpiX, 200);
  }
}

TEST_F(TiffExternal, MultiPageFromTiffcp) {
  std::string a = Tmp("mp_a.tif"), b = Tmp("mp_b.tif"), mp = Tmp("mp.tif");
  WritePPM(Tmp("mp_a.ppm"), TestPicture(50, 30, 1));
  WritePPM(Tmp("mp_b.ppm"), TestPicture(20, 60, 2));
  ASSERT_EQ(Sh("convert '" + Tmp("mp_a.ppm") + "' -compress lzw tif:'" + a + "'"), 0);
  ASSERT_EQ(Sh("convert '" + Tmp("mp_b.ppm") + "' -compress none tif:'" + b + "'"), 0);
  ASSERT_EQ(Sh("tiffcp '" + a + "' '" + b + "' '" + a + "' '" + mp + "'"), 0);
  EXPECT_EQ(EnumTIFFIm(mp), 3);
  for (int page = 0; page < 3; ++page) {
    Rgb ref;
    ASSERT_TRUE(ImageMagickPixels(mp, ref, page));
    TBitmap bmp;
    TIOParamsVals params;
    ASSERT_TRUE(ReadTIFF(mp, bmp, params, page));
    EXPECT_EQ(params.TIFF_ImageCount, 3);
    EXPECT_EQ(Differences(BitmapPixels(bmp), ref), 0u) << page;
  }
  // Deleting the middle page leaves a two-page file libtiff accepts.
  EXPECT_EQ(DeleteTIFFIm(mp, 1), 3);
  EXPECT_EQ(EnumTIFFIm(mp), 2);
  EXPECT_EQ(Sh("tiffinfo -D '" + mp + "'"), 0);
  Rgb ref0, ref1;
  ASSERT_TRUE(ImageMagickPixels(a, ref0));
  TBitmap bmp;
  TIOParamsVals params;
  ASSERT_TRUE(ReadTIFF(mp, bmp, params, 1));
  EXPECT_EQ(Differences(BitmapPixels(bmp), ref0), 0u);
}

}  // namespace
}  // namespace pictavo::tifftest
