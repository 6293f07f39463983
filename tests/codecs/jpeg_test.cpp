#include "codecs/jpeg.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/pvdefs.h"
#include "tests/codecs/jpegpng_test_util.h"

using namespace pictavo;
using namespace pictavo::testutil;

namespace {

struct Loaded {
  TBitmap bmp;
  TIOParamsVals params;
  bool aborted = false;
};

void LoadJpeg(TStream& s, Loaded& out, bool paramsOnly = false) {
  TProgressRec progress;
  progress.Aborting = &out.aborted;
  ReadJPegStream(s, &out.bmp, out.params, paramsOnly, progress);
}

void LoadJpegFile(const std::string& name, Loaded& out) {
  TFileStream f(name, fmOpenRead);
  LoadJpeg(f, out);
}

std::vector<uint8_t> SaveJpeg(TBitmap& bmp, TIOParamsVals& params) {
  TMemoryStream s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WriteJPegStream(s, bmp, params, progress);
  EXPECT_FALSE(aborted);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.GetSize());
}

// Marker types in file order up to SOS.
std::vector<uint8_t> MarkerTypes(const std::vector<uint8_t>& f) {
  std::vector<uint8_t> types;
  size_t i = 2;
  while (i + 4 <= f.size() && f[i] == 0xFF) {
    uint8_t m = f[i + 1];
    types.push_back(m);
    if (m == 0xDA) break;
    i += 2 + ((f[i + 2] << 8) | f[i + 3]);
  }
  return types;
}

const char* DctFlag(TIOJPEGDctMethod m) {
  return m == ioJPEG_IFAST ? "fast" : m == ioJPEG_FLOAT ? "float" : "int";
}

// Decodes with djpeg and compares with our decoding exactly.
void ExpectLikeDjpeg(const std::string& file, TIOJPEGDctMethod dct, TIOJPEGScale scale) {
  static const char* kScales[] = {"1/1", "1/1", "1/2", "1/4", "1/8"};
  bool ok = false;
  auto out = RunCapture(
      std::string("djpeg -dct ") + DctFlag(dct) + " -scale " + kScales[scale] + " '" + file + "'",
      ok);
  ASSERT_TRUE(ok);
  Pnm pnm;
  ASSERT_TRUE(ParsePnm(out, pnm));
  Loaded got;
  got.params.JPEG_DCTMethod = dct;
  got.params.JPEG_Scale = scale;
  LoadJpegFile(file, got);
  ASSERT_FALSE(got.aborted);
  ASSERT_EQ(got.bmp.GetWidth(), pnm.width);
  ASSERT_EQ(got.bmp.GetHeight(), pnm.height);
  EXPECT_EQ(BitmapRGB(got.bmp), pnm.rgb);
}

// Decodes a CMYK JPEG with libjpeg directly into raw CMYK samples.
std::vector<uint8_t> RawCmyk(const std::vector<uint8_t>& data, J_COLOR_SPACE* space) {
  jpeg_decompress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, data.data(), data.size());
  jpeg_read_header(&c, TRUE);
  *space = c.jpeg_color_space;
  c.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&c);
  std::vector<uint8_t> out(size_t(c.output_width) * c.output_height * 4);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = &out[size_t(c.output_scanline) * c.output_width * 4];
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  return out;
}

}  // namespace

TEST(JpegCodec, TryStream) {
  const uint8_t good[] = {0xFF, 0xD8, 0xFF, 0xE0};
  const uint8_t bad[] = {0xFF, 0xD8, 0x00, 0xE0};
  TReadOnlyMemoryStream g(good, sizeof good), b(bad, sizeof bad), s(good, 2);
  EXPECT_TRUE(JpegTryStream(g));
  EXPECT_EQ(g.GetPosition(), 0);
  EXPECT_FALSE(JpegTryStream(b));
  EXPECT_EQ(b.GetPosition(), 0);
  EXPECT_FALSE(JpegTryStream(s));
}

// Files made by cjpeg decode exactly as djpeg decodes them, for every DCT
// method and scale, baseline, progressive and grey.
TEST(JpegCodec, CjpegFilesDecodeLikeDjpeg) {
  if (!HaveTool("cjpeg") || !HaveTool("djpeg")) GTEST_SKIP() << "libjpeg tools not installed";
  const int w = 101, h = 67;
  const std::string ppm = TempDir() + "/in.ppm";
  WritePpm(ppm, w, h, TestPicture(w, h));
  const std::vector<std::pair<std::string, std::string>> variants = {
      {"base", "-quality 80"},
      {"prog", "-progressive -quality 60"},
      {"grey", "-grayscale"},
      {"rgb", "-rgb -quality 90"},
      {"opt", "-optimize -sample 1x1"}};
  for (const auto& [name, flags] : variants) {
    const std::string jpg = TempDir() + "/" + name + ".jpg";
    ASSERT_EQ(std::system(("cjpeg " + flags + " '" + ppm + "' > '" + jpg + "'").c_str()), 0);
    for (auto dct : {ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT})
      for (auto scale : {ioJPEG_FULLSIZE, ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH}) {
        SCOPED_TRACE(name + " dct " + std::to_string(dct) + " scale " + std::to_string(scale));
        ExpectLikeDjpeg(jpg, dct, scale);
      }
    Loaded l;
    LoadJpegFile(jpg, l);
    EXPECT_EQ(l.params.JPEG_Progressive, name == "prog");
    EXPECT_EQ(l.params.JPEG_ColorSpace, name == "grey"  ? ioJPEG_GRAYLEV
                                        : name == "rgb" ? ioJPEG_RGB
                                                        : ioJPEG_YCbCr);
  }
}

// Our files, in every colour space and option, decode in djpeg as in our reader.
TEST(JpegCodec, OwnFilesDecodeLikeDjpeg) {
  if (!HaveTool("djpeg")) GTEST_SKIP() << "djpeg not installed";
  const int w = 90, h = 45;
  TBitmap bmp;
  FillBitmap(bmp, w, h, TestPicture(w, h));
  int n = 0;
  for (auto cs : {ioJPEG_YCbCr, ioJPEG_GRAYLEV, ioJPEG_RGB})
    for (bool progressive : {false, true})
      for (auto dct : {ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT}) {
        TIOParamsVals params;
        params.JPEG_ColorSpace = cs;
        params.JPEG_Progressive = progressive;
        params.JPEG_DCTMethod = dct;
        params.JPEG_Quality = 30 + 20 * dct;
        params.JPEG_OptimalHuffman = dct == ioJPEG_FLOAT;
        params.JPEG_Smooth = dct == ioJPEG_IFAST ? 20 : 0;
        const std::string name = TempDir() + "/own" + std::to_string(n++) + ".jpg";
        WriteFileBytes(name, SaveJpeg(bmp, params));
        SCOPED_TRACE(name);
        ExpectLikeDjpeg(name, dct, ioJPEG_FULLSIZE);
        Loaded l;
        LoadJpegFile(name, l);
        EXPECT_EQ(l.params.JPEG_ColorSpace, cs);
        EXPECT_EQ(l.params.JPEG_Progressive, progressive);
      }
}

TEST(JpegCodec, QualityChangesFidelity) {
  const int w = 64, h = 64;
  TBitmap bmp;
  auto rgb = TestPicture(w, h);
  FillBitmap(bmp, w, h, rgb);
  std::vector<double> errors;
  std::vector<size_t> sizes;
  for (int q : {10, 50, 95}) {
    TIOParamsVals params;
    params.JPEG_Quality = q;
    auto data = SaveJpeg(bmp, params);
    sizes.push_back(data.size());
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    Loaded l;
    LoadJpeg(s, l);
    auto back = BitmapRGB(l.bmp);
    double err = 0;
    for (size_t i = 0; i < back.size(); ++i) err += std::abs(int(back[i]) - int(rgb[i]));
    errors.push_back(err / back.size());
  }
  EXPECT_GT(errors[0], errors[1]);
  EXPECT_GT(errors[1], errors[2]);
  EXPECT_LT(errors[2], 10.0);
  EXPECT_LT(sizes[0], sizes[1]);
  EXPECT_LT(sizes[1], sizes[2]);
}

TEST(JpegCodec, OneBitBitmapIsExpanded) {
  TBitmap bmp(16, 8, pf1bit);
  for (int y = 0; y < 8; ++y) {  // left half white
    bmp.ScanLine(y)[0] = 0xFF;
    bmp.ScanLine(y)[1] = 0x00;
  }
  TIOParamsVals params;
  params.JPEG_Quality = 95;
  auto data = SaveJpeg(bmp, params);
  TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
  Loaded l;
  LoadJpeg(s, l);
  ASSERT_FALSE(l.aborted);
  EXPECT_EQ(l.bmp.GetPixelFormat(), pf24bit);
  EXPECT_GT(l.bmp.ScanLine(4)[3 * 2], 240);
  EXPECT_LT(l.bmp.ScanLine(4)[3 * 13], 15);
}

// CMYK: ImageMagick's CMYK file loads through the multiplication rule, and our
// CMYK and YCCK files carry inverted CMYK samples.
TEST(JpegCodec, Cmyk) {
  const int w = 40, h = 30;
  auto rgb = TestPicture(w, h);
  if (HaveTool("convert")) {
    const std::string ppm = TempDir() + "/c.ppm", jpg = TempDir() + "/cmyk.jpg";
    WritePpm(ppm, w, h, rgb);
    ASSERT_EQ(
        std::system(("convert '" + ppm + "' -colorspace CMYK -quality 90 '" + jpg + "'").c_str()),
        0);
    auto data = ReadFileBytes(jpg);
    J_COLOR_SPACE space;
    auto raw = RawCmyk(data, &space);
    Loaded l;
    LoadJpegFile(jpg, l);
    ASSERT_FALSE(l.aborted);
    EXPECT_EQ(l.params.JPEG_ColorSpace, space == JCS_YCCK ? ioJPEG_YCbCrK : ioJPEG_CMYK);
    auto ours = BitmapRGB(l.bmp);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      const unsigned k = raw[i * 4 + 3];
      ASSERT_EQ(ours[i * 3], raw[i * 4] * k / 255);
      ASSERT_EQ(ours[i * 3 + 1], raw[i * 4 + 1] * k / 255);
      ASSERT_EQ(ours[i * 3 + 2], raw[i * 4 + 2] * k / 255);
    }
    // Roughly the original colours.
    double err = 0;
    for (size_t i = 0; i < ours.size(); ++i) err += std::abs(int(ours[i]) - int(rgb[i]));
    EXPECT_LT(err / ours.size(), 12.0);
  }
  TBitmap bmp;
  FillBitmap(bmp, w, h, rgb);
  for (auto cs : {ioJPEG_CMYK, ioJPEG_YCbCrK}) {
    TIOParamsVals params;
    params.JPEG_ColorSpace = cs;
    params.JPEG_Quality = 100;
    auto data = SaveJpeg(bmp, params);
    J_COLOR_SPACE space;
    auto raw = RawCmyk(data, &space);
    EXPECT_EQ(space, cs == ioJPEG_CMYK ? JCS_CMYK : JCS_YCCK);
    // Pixel (39, 29): r 255, g 255, b 200 -> m 255, C 255, M 255, Y 200, K 255.
    const uint8_t* p = &raw[(size_t(29) * w + 39) * 4];
    EXPECT_NEAR(p[0], 255, 3);
    EXPECT_NEAR(p[1], 255, 3);
    EXPECT_NEAR(p[2], 200, 3);
    EXPECT_NEAR(p[3], 255, 3);
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    Loaded l;
    LoadJpeg(s, l);
    ASSERT_FALSE(l.aborted);
    EXPECT_EQ(l.params.JPEG_ColorSpace, cs);
    // Written once more: a single Adobe marker, not a copy of the old one.
    auto again = SaveJpeg(l.bmp, l.params);
    auto types = MarkerTypes(again);
    EXPECT_EQ(std::count(types.begin(), types.end(), 0xEE), 1);
  }
}

TEST(JpegCodec, ScaledDecodingSizes) {
  TBitmap bmp;
  FillBitmap(bmp, 800, 600, TestPicture(800, 600));
  TIOParamsVals wp;
  auto data = SaveJpeg(bmp, wp);
  struct Case {
    TIOJPEGScale scale;
    int wantW, wantH, w, h;
  };
  for (Case c :
       {Case{ioJPEG_FULLSIZE, 0, 0, 800, 600}, Case{ioJPEG_HALF, 0, 0, 400, 300},
        Case{ioJPEG_QUARTER, 0, 0, 200, 150}, Case{ioJPEG_EIGHTH, 0, 0, 100, 75},
        Case{ioJPEG_AUTOCALC, 200, 150, 200, 150}, Case{ioJPEG_AUTOCALC, 0, 0, 800, 600},
        Case{ioJPEG_AUTOCALC, 10, 10, 100, 75}, Case{ioJPEG_AUTOCALC, 500, 400, 400, 300}}) {
    for (bool paramsOnly : {false, true}) {
      TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
      Loaded l;
      l.bmp.SetSize(5, 5);
      l.params.JPEG_Scale = c.scale;
      l.params.Width = c.wantW;
      l.params.Height = c.wantH;
      LoadJpeg(s, l, paramsOnly);
      ASSERT_FALSE(l.aborted);
      EXPECT_EQ(l.params.Width, c.w);
      EXPECT_EQ(l.params.Height, c.h);
      EXPECT_EQ(l.bmp.GetWidth(), paramsOnly ? 5 : c.w);
      EXPECT_EQ(l.bmp.GetHeight(), paramsOnly ? 5 : c.h);
    }
  }
}

TEST(JpegCodec, DensityInDotsPerCentimetre) {
  TBitmap bmp;
  FillBitmap(bmp, 16, 16, TestPicture(16, 16));
  // Written with the library directly: density unit 2 (dots per cm), 100.
  jpeg_compress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = 16;
  c.image_height = 16;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  c.density_unit = 2;
  c.X_density = 100;
  c.Y_density = 40;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < 16; ++y) {
    JSAMPROW row = bmp.ScanLine(y);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  TReadOnlyMemoryStream s(mem, int64_t(size));
  Loaded l;
  LoadJpeg(s, l, true);
  free(mem);
  EXPECT_EQ(l.params.DpiX, 254);
  EXPECT_EQ(l.params.DpiY, 101);
  // Ours are written in dots per inch.
  TIOParamsVals wp;
  wp.DpiX = 300;
  wp.DpiY = 72;
  auto data = SaveJpeg(bmp, wp);
  TReadOnlyMemoryStream t(data.data(), int64_t(data.size()));
  Loaded m;
  LoadJpeg(t, m, true);
  EXPECT_EQ(m.params.DpiX, 300);
  EXPECT_EQ(m.params.DpiY, 72);
}

// APP1, APP2 and COM of a loaded file are written back in order after the
// library's own JFIF header, which is not duplicated.
TEST(JpegCodec, MarkersSurviveLoadSave) {
  TBitmap bmp;
  FillBitmap(bmp, 24, 16, TestPicture(24, 16));
  TIOParamsVals params;
  const std::string exif = std::string("Exif\0\0", 6) + "MM-fake";
  const std::string icc = "ICC_PROFILE-fake";
  const std::string comment = "a comment";
  params.JPEG_MarkerList.AddMarker(0xE1, exif.data(), uint16_t(exif.size()));
  params.JPEG_MarkerList.AddMarker(0xE2, icc.data(), uint16_t(icc.size()));
  params.JPEG_MarkerList.AddMarker(0xFE, comment.data(), uint16_t(comment.size()));
  auto first = SaveJpeg(bmp, params);
  std::vector<uint8_t> expectTypes = {0xE0, 0xE1, 0xE2, 0xFE};
  auto types = MarkerTypes(first);
  ASSERT_GE(types.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(types.begin(), types.begin() + 4), expectTypes);

  TReadOnlyMemoryStream s(first.data(), int64_t(first.size()));
  Loaded l;
  LoadJpeg(s, l);
  ASSERT_EQ(l.params.JPEG_MarkerList.GetCount(), 3);
  EXPECT_EQ(l.params.JPEG_MarkerList.GetMarkerType(0), 0xE1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(l.params.JPEG_MarkerList.GetMarkerData(0)),
                        l.params.JPEG_MarkerList.GetMarkerLength(0)),
            exif);
  EXPECT_EQ(l.params.JPEG_MarkerList.GetMarkerType(2), 0xFE);
  auto second = SaveJpeg(l.bmp, l.params);
  types = MarkerTypes(second);
  EXPECT_EQ(std::vector<uint8_t>(types.begin(), types.begin() + 4), expectTypes);
  EXPECT_EQ(std::count(types.begin(), types.end(), 0xE0), 1);
  if (HaveTool("rdjpgcom")) {
    const std::string name = TempDir() + "/markers.jpg";
    WriteFileBytes(name, second);
    bool ok = false;
    auto out = RunCapture("rdjpgcom '" + name + "'", ok);
    EXPECT_EQ(std::string(out.begin(), out.end()).substr(0, comment.size()), comment);
  }
}

TEST(JpegCodec, IptcThroughMarkersAndInjection) {
  TBitmap bmp;
  FillBitmap(bmp, 16, 16, TestPicture(16, 16));
  TIOParamsVals params;
  TPVIPTCInfoList old;
  old.AddStringItem(2, 5, "old title");
  auto oldBuf = old.SaveToStandardBuffer();
  params.JPEG_MarkerList.AddMarker(0xED, oldBuf.data(), uint16_t(oldBuf.size()));
  params.JPEG_MarkerList.AddMarker(0xFE, "c", 1);
  auto file = SaveJpeg(bmp, params);
  // The old APP13 comes through a load.
  {
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    Loaded l;
    LoadJpeg(s, l, true);
    int i = l.params.JPEG_MarkerList.IndexOf(0xED);
    ASSERT_GE(i, 0);
    TPVIPTCInfoList back;
    back.LoadFromStandardBuffer(l.params.JPEG_MarkerList.GetMarkerData(i),
                                l.params.JPEG_MarkerList.GetMarkerLength(i));
    ASSERT_EQ(back.GetCount(), 1);
    EXPECT_EQ(back.GetStrings(0), "old title");
  }
  TPVIPTCInfoList iptc;
  // (A dataset total of 28 bytes would put 0x1C into the size field, which the
  // standard-buffer parser takes for the first tag; these sizes avoid it.)
  iptc.AddStringItem(2, 120, "a new caption");
  iptc.AddStringItem(2, 25, "keyword");
  TReadOnlyMemoryStream src(file.data(), int64_t(file.size()));
  TMemoryStream dst;
  ASSERT_TRUE(PVJpegInjectIPTC(src, dst, iptc));
  std::vector<uint8_t> out(dst.Memory(), dst.Memory() + dst.GetSize());
  auto types = MarkerTypes(out);
  ASSERT_GE(types.size(), 2u);
  EXPECT_EQ(types[0], 0xE0);
  EXPECT_EQ(types[1], 0xED);
  EXPECT_EQ(std::count(types.begin(), types.end(), 0xED), 1);
  TReadOnlyMemoryStream s(out.data(), int64_t(out.size()));
  Loaded l;
  LoadJpeg(s, l);
  ASSERT_FALSE(l.aborted);
  EXPECT_EQ(BitmapRGB(l.bmp).size(), size_t(16 * 16 * 3));
  int i = l.params.JPEG_MarkerList.IndexOf(0xED);
  ASSERT_GE(i, 0);
  TPVIPTCInfoList back;
  back.LoadFromStandardBuffer(l.params.JPEG_MarkerList.GetMarkerData(i),
                              l.params.JPEG_MarkerList.GetMarkerLength(i));
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetStrings(0), "a new caption");
  EXPECT_EQ(back.GetDataSet(1), 25);
  // The entropy-coded data is copied unchanged: same pixels as the source.
  TReadOnlyMemoryStream s0(file.data(), int64_t(file.size()));
  Loaded l0;
  LoadJpeg(s0, l0);
  EXPECT_EQ(BitmapRGB(l.bmp), BitmapRGB(l0.bmp));
}

TEST(JpegCodec, InjectionRefusesBadFiles) {
  TBitmap bmp;
  FillBitmap(bmp, 16, 16, TestPicture(16, 16));
  TIOParamsVals params;
  auto file = SaveJpeg(bmp, params);
  TPVIPTCInfoList iptc;
  iptc.AddStringItem(2, 5, "t");
  // A marker length running past the data.
  std::vector<uint8_t> cut(file.begin(), file.begin() + 10);
  TReadOnlyMemoryStream a(cut.data(), int64_t(cut.size()));
  TMemoryStream da;
  EXPECT_FALSE(PVJpegInjectIPTC(a, da, iptc));
  EXPECT_EQ(da.GetSize(), 0);
  // An invalid marker (0xFF 0x02).
  std::vector<uint8_t> bad(file);
  bad[20] = 0xFF;
  bad[21] = 0x02;
  std::vector<uint8_t> withBad(file.begin(), file.begin() + 20);
  withBad.push_back(0xFF);
  withBad.push_back(0x02);
  TReadOnlyMemoryStream b(withBad.data(), int64_t(withBad.size()));
  TMemoryStream db;
  EXPECT_FALSE(PVJpegInjectIPTC(b, db, iptc));
  // No APP0 and no APP13: nowhere to put the block.
  std::vector<uint8_t> noApp0 = {0xFF, 0xD8};
  noApp0.insert(noApp0.end(), file.begin() + 2 + 2 + ((file[4] << 8) | file[5]), file.end());
  TReadOnlyMemoryStream c(noApp0.data(), int64_t(noApp0.size()));
  TMemoryStream dc;
  EXPECT_FALSE(PVJpegInjectIPTC(c, dc, iptc));
}

TEST(JpegCodec, MalformedAndTruncatedInput) {
  TBitmap bmp;
  FillBitmap(bmp, 256, 192, TestPicture(256, 192));
  TIOParamsVals params;
  auto file = SaveJpeg(bmp, params);
  // A truncated file loads with what the library makes of it, no abort.
  {
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size() * 2 / 3));
    Loaded l;
    LoadJpeg(s, l);
    EXPECT_FALSE(l.aborted);
    EXPECT_EQ(l.bmp.GetWidth(), 256);
  }
  // Cut inside the header: abort.
  for (size_t cut : {size_t(3), size_t(30), size_t(200)}) {
    TReadOnlyMemoryStream s(file.data(), int64_t(cut));
    Loaded l;
    LoadJpeg(s, l);
    EXPECT_TRUE(l.aborted) << cut;
  }
  // Garbage after the start marker.
  std::vector<uint8_t> junk = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x03, 0x00, 0x12, 0x34};
  TReadOnlyMemoryStream j(junk.data(), int64_t(junk.size()));
  Loaded lj;
  LoadJpeg(j, lj);
  EXPECT_TRUE(lj.aborted);
  // Not a JPEG.
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 0, 0};
  TReadOnlyMemoryStream p(png, sizeof png);
  Loaded lp;
  LoadJpeg(p, lp);
  EXPECT_TRUE(lp.aborted);
  // Beyond the pixel limit: refused, bitmap untouched.
  const int64_t saved = PVGetMaxImagePixels();
  PVSetMaxImagePixels(256 * 192 - 1);
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  Loaded big;
  big.bmp.SetSize(2, 2);
  LoadJpeg(s, big);
  PVSetMaxImagePixels(saved);
  EXPECT_TRUE(big.aborted);
  EXPECT_EQ(big.bmp.GetWidth(), 2);
}

TEST(JpegCodec, ProgressAndAbort) {
  TBitmap bmp;
  FillBitmap(bmp, 32, 40, TestPicture(32, 40));
  TIOParamsVals params;
  auto file = SaveJpeg(bmp, params);
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  Loaded l;
  std::vector<int> reports;
  TProgressRec progress;
  progress.Aborting = &l.aborted;
  progress.ProgressEvent = [&](TObject*, int per) {
    reports.push_back(per);
    if (reports.size() == 3) l.aborted = true;
  };
  ReadJPegStream(s, &l.bmp, l.params, false, progress);
  EXPECT_EQ(reports.size(), 3u);
  // A short write stops the writer with the abort flag.
  struct Tiny : TMemoryStream {
    int64_t Write(const void* b, int64_t n) override {
      if (GetSize() + n > 100) return 0;
      return TMemoryStream::Write(b, n);
    }
  } t;
  bool aborted = false;
  TProgressRec wp;
  wp.Aborting = &aborted;
  TBitmap big;
  FillBitmap(big, 400, 400, TestPicture(400, 400));
  WriteJPegStream(t, big, params, wp);
  EXPECT_TRUE(aborted);
}
