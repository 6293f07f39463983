#include "codecs/png.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/conversions.h"
#include "core/pvdefs.h"
#include "tests/codecs/jpegpng_test_util.h"

using namespace pictavo;
using namespace pictavo::testutil;

namespace {

// The corpus beside the repository, or the shared one of the machine.
const std::string kSuite = [] {
  std::string dir = std::string(PICTAVO_CORPUS_DIR) + "/pngsuite";
  if (DIR* d = opendir(dir.c_str())) {
    closedir(d);
    return dir;
  }
  return std::string("/work/shared/corpus/pngsuite");
}();

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> names;
  if (DIR* d = opendir(kSuite.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() > 4 && n.substr(n.size() - 4) == ".png") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Loaded {
  TBitmap bmp;
  TIOParamsVals params;
  bool aborted = false;
};

void LoadPng(TStream& s, Loaded& out, bool paramsOnly = false,
             std::vector<int>* reports = nullptr) {
  TProgressRec progress;
  progress.Aborting = &out.aborted;
  if (reports) progress.ProgressEvent = [reports](TObject*, int per) { reports->push_back(per); };
  ReadPNGStream(s, &out.bmp, out.params, paramsOnly, progress);
}

void LoadPngFile(const std::string& name, Loaded& out) {
  TFileStream f(name, fmOpenRead);
  LoadPng(f, out);
}

TMemoryStream SavePng(TBitmap& bmp, TIOParamsVals& params, bool& aborted) {
  TMemoryStream s;
  TProgressRec progress;
  aborted = false;
  progress.Aborting = &aborted;
  WritePNGStream(s, bmp, params, progress);
  s.SetPosition(0);
  return s;
}

}  // namespace

// Every valid PngSuite file gives the pixels ImageMagick decodes (16-bit
// samples through their high byte), composited on the same background: exact
// for opaque pixels, within one level where alpha blends.
TEST(PngCodec, SuiteMatchesImageMagick) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  auto files = SuiteFiles();
  if (files.empty()) GTEST_SKIP() << "PngSuite not found";
  int checked = 0;
  for (const std::string& n : files) {
    if (n[0] == 'x') continue;
    SCOPED_TRACE(n);
    Loaded got;
    LoadPngFile(kSuite + "/" + n, got);
    ASSERT_FALSE(got.aborted);
    bool ok = false;
    auto raw = RunCapture("convert '" + kSuite + "/" + n +
                              "' -set colorspace sRGB -endian MSB -depth 16 rgba:- 2>/dev/null",
                          ok);
    ASSERT_TRUE(ok);
    const int w = got.bmp.GetWidth(), h = got.bmp.GetHeight();
    ASSERT_EQ(raw.size(), size_t(w) * h * 8);
    auto ours = BitmapRGB(got.bmp);
    const uint8_t bg[3] = {got.params.PNG_Background.r, got.params.PNG_Background.g,
                           got.params.PNG_Background.b};
    int bad = 0;
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      const uint8_t* p = &raw[i * 8];
      const unsigned a = (p[6] << 8) | p[7];
      for (int c = 0; c < 3; ++c) {
        const unsigned v = (p[c * 2] << 8) | p[c * 2 + 1];
        int expected;
        int tolerance = 0;
        if (a == 65535) {
          expected = v >> 8;
        } else {
          expected =
              static_cast<int>(std::lround((v / 257.0 * a + bg[c] * (65535.0 - a)) / 65535.0));
          tolerance = 1;
        }
        if (std::abs(expected - ours[i * 3 + c]) > tolerance) ++bad;
      }
    }
    EXPECT_EQ(bad, 0);
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

TEST(PngCodec, CorruptSuiteFilesAbort) {
  int checked = 0;
  for (const std::string& n : SuiteFiles()) {
    if (n[0] != 'x') continue;
    SCOPED_TRACE(n);
    Loaded got;
    LoadPngFile(kSuite + "/" + n, got);
    EXPECT_TRUE(got.aborted);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "PngSuite not found";
}

TEST(PngCodec, SuiteParameters) {
  if (SuiteFiles().empty()) GTEST_SKIP() << "PngSuite not found";
  {
    Loaded g;
    LoadPngFile(kSuite + "/basn0g16.png", g);
    EXPECT_EQ(g.bmp.GetPixelFormat(), pf24bit);
    EXPECT_EQ(g.params.BitsPerSample, 16);
    EXPECT_EQ(g.params.SamplesPerPixel, 1);
  }
  {
    Loaded g;
    LoadPngFile(kSuite + "/basn0g01.png", g);
    EXPECT_EQ(g.bmp.GetPixelFormat(), pf1bit);
    EXPECT_EQ(g.params.BitsPerSample, 1);
  }
  {
    Loaded g;
    LoadPngFile(kSuite + "/basn3p04.png", g);
    EXPECT_EQ(g.bmp.GetPixelFormat(), pf24bit);
    EXPECT_EQ(g.params.ColorMapCount, 15);  // the file's PLTE holds 15 entries
    EXPECT_EQ(g.params.SamplesPerPixel, 1);
  }
  {
    // A 1-bit palette image comes with its palette colours.
    Loaded g;
    LoadPngFile(kSuite + "/basn3p01.png", g);
    ASSERT_EQ(g.params.ColorMapCount, 2);
    const bool bw =
        g.params.ColorMap[0] == TRGB{} && g.params.ColorMap[1] == CreateRGB(255, 255, 255);
    EXPECT_EQ(g.bmp.GetPixelFormat() == pf1bit, bw);
  }
  {
    // bKGD of a 16-bit image: high byte of each component.
    Loaded g;
    LoadPngFile(kSuite + "/bgyn6a16.png", g);
    EXPECT_EQ(g.params.PNG_Background, CreateRGB(255, 255, 0));
    Loaded h;
    LoadPngFile(kSuite + "/bggn4a16.png", h);
    EXPECT_EQ(h.params.PNG_Background.r, h.params.PNG_Background.g);
  }
  {
    // An 8-bit grey bKGD is taken as is, not as the high byte of 16 bits.
    Loaded g;
    LoadPngFile(kSuite + "/bgbn4a08.png", g);
    EXPECT_EQ(g.params.PNG_Background, CreateRGB(0, 0, 0));
  }
  {
    std::vector<int> reports;
    TFileStream f(kSuite + "/basi2c08.png", fmOpenRead);
    Loaded g;
    LoadPng(f, g, false, &reports);
    EXPECT_TRUE(g.params.PNG_Interlaced);
    EXPECT_EQ(reports.size(), size_t(7 * 32));
    EXPECT_EQ(reports.back(), 100);
  }
}

TEST(PngCodec, RgbaWithoutBkgdUsesPngBackground) {
  if (SuiteFiles().empty()) GTEST_SKIP() << "PngSuite not found";
  for (TRGB bg : {CreateRGB(0, 0, 0), CreateRGB(10, 200, 30)}) {
    Loaded g;
    g.params.PNG_Background = bg;
    LoadPngFile(kSuite + "/basn6a08.png", g);
    ASSERT_FALSE(g.aborted);
    EXPECT_EQ(g.params.PNG_Background, bg);
    // basn6a08: the top-left pixel is fully transparent.
    const uint8_t* row = g.bmp.ScanLine(0);
    EXPECT_EQ(row[0], bg.b);
    EXPECT_EQ(row[1], bg.g);
    EXPECT_EQ(row[2], bg.r);
  }
}

// Every colour type we write, interlaced or not, reads back exactly, and
// ImageMagick reads the same pixels.
TEST(PngCodec, WriteReadRoundTrip) {
  const int w = 37, h = 23;
  auto rgb = TestPicture(w, h);
  std::vector<uint8_t> few(rgb);  // at most 256 colours for the palette case
  for (auto& v : few) v &= 0xE0;
  TBitmap oneBit(w, h, pf1bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      oneBit.ScanLine(y)[x >> 3] |= ((x * y + x) % 3 == 0) ? uint8_t(0x80 >> (x & 7)) : 0;
  const bool im = HaveTool("convert");
  for (int kind = 0; kind < 3; ++kind) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (interlaced ? " interlaced" : ""));
      TBitmap bmp;
      TIOParamsVals params;
      params.PNG_Interlaced = interlaced;
      params.PNG_Filter = interlaced ? ioPNG_FILTER_PAETH : ioPNG_FILTER_SUB;
      if (kind == 0) {
        FillBitmap(bmp, w, h, rgb);
      } else if (kind == 1) {
        FillBitmap(bmp, w, h, few);
        params.SamplesPerPixel = 1;
      } else {
        bmp.Assign(oneBit);
        params.BitsPerSample = 1;
        params.SamplesPerPixel = 1;
      }
      auto expected = BitmapRGB(bmp);
      bool aborted = false;
      TMemoryStream s = SavePng(bmp, params, aborted);
      ASSERT_FALSE(aborted);
      Loaded back;
      LoadPng(s, back);
      ASSERT_FALSE(back.aborted);
      EXPECT_EQ(back.params.PNG_Interlaced, interlaced);
      EXPECT_EQ(back.bmp.GetPixelFormat(), kind == 2 ? pf1bit : pf24bit);
      EXPECT_EQ(back.params.SamplesPerPixel, kind == 0 ? 3 : 1);
      if (kind == 1) {
        EXPECT_EQ(back.params.ColorMapCount, 256);
      }
      EXPECT_EQ(BitmapRGB(back.bmp), expected);
      if (im) {
        const std::string name = TempDir() + "/rt.png";
        s.SaveToFile(name);
        bool ok = false;
        auto raw = RunCapture("convert '" + name + "' -set colorspace sRGB -depth 8 rgb:-", ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(raw, expected);
      }
    }
  }
}

TEST(PngCodec, ResolutionAndBackgroundChunks) {
  TBitmap bmp;
  FillBitmap(bmp, 8, 8, TestPicture(8, 8));
  TIOParamsVals params;
  params.DpiX = 96;
  params.DpiY = 300;
  params.PNG_Background = CreateRGB(1, 2, 3);
  bool aborted = false;
  TMemoryStream s = SavePng(bmp, params, aborted);
  ASSERT_FALSE(aborted);
  // Read the chunks with libpng directly.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  struct Src {
    const uint8_t* p;
    size_t n, pos;
  } src{s.Memory(), size_t(s.GetSize()), 0};
  png_set_read_fn(png, &src, [](png_structp p, png_bytep d, png_size_t n) {
    Src* s = static_cast<Src*>(png_get_io_ptr(p));
    if (s->pos + n > s->n) png_error(p, "eof");
    memcpy(d, s->p + s->pos, n);
    s->pos += n;
  });
  png_read_info(png, info);
  png_uint_32 rx, ry;
  int unit;
  ASSERT_TRUE(png_get_pHYs(png, info, &rx, &ry, &unit));
  EXPECT_EQ(rx, 3780u);
  EXPECT_EQ(ry, 11811u);
  EXPECT_EQ(unit, PNG_RESOLUTION_METER);
  png_color_16p bg;
  ASSERT_TRUE(png_get_bKGD(png, info, &bg));
  EXPECT_EQ(bg->red, 1);
  EXPECT_EQ(bg->green, 2);
  EXPECT_EQ(bg->blue, 3);
  png_destroy_read_struct(&png, &info, nullptr);
  Loaded back;
  LoadPng(s, back);
  EXPECT_EQ(back.params.DpiX, 96);
  EXPECT_EQ(back.params.DpiY, 300);
  EXPECT_EQ(back.params.PNG_Background, CreateRGB(1, 2, 3));
}

TEST(PngCodec, MalformedInputAborts) {
  TBitmap bmp;
  FillBitmap(bmp, 40, 30, TestPicture(40, 30));
  TIOParamsVals params;
  bool aborted = false;
  TMemoryStream s = SavePng(bmp, params, aborted);
  const std::vector<uint8_t> good(s.Memory(), s.Memory() + s.GetSize());
  // Truncated at several places.
  for (size_t cut : {size_t(4), size_t(20), size_t(40), good.size() / 2, good.size() - 13}) {
    TReadOnlyMemoryStream t(good.data(), int64_t(cut));
    Loaded g;
    LoadPng(t, g);
    EXPECT_TRUE(g.aborted) << cut;
  }
  // Not a PNG.
  const uint8_t junk[16] = {'G', 'I', 'F', '8', '9', 'a'};
  TReadOnlyMemoryStream j(junk, sizeof junk);
  EXPECT_FALSE(IsPNGStream(j));
  EXPECT_EQ(j.GetPosition(), 0);
  Loaded g;
  LoadPng(j, g);
  EXPECT_TRUE(g.aborted);
  TReadOnlyMemoryStream ok(good.data(), int64_t(good.size()));
  EXPECT_TRUE(IsPNGStream(ok));
  EXPECT_EQ(ok.GetPosition(), 0);
}

TEST(PngCodec, PixelLimitRefusedBeforeAllocation) {
  TBitmap bmp;
  FillBitmap(bmp, 300, 200, TestPicture(300, 200));
  TIOParamsVals params;
  bool aborted = false;
  TMemoryStream s = SavePng(bmp, params, aborted);
  const int64_t saved = PVGetMaxImagePixels();
  PVSetMaxImagePixels(300 * 200 - 1);
  Loaded g;
  g.bmp.SetSize(3, 3);
  LoadPng(s, g);
  PVSetMaxImagePixels(saved);
  EXPECT_TRUE(g.aborted);
  EXPECT_EQ(g.bmp.GetWidth(), 3);
}

TEST(PngCodec, ShortWriteSetsAbort) {
  TBitmap bmp;
  FillBitmap(bmp, 64, 64, TestPicture(64, 64));
  TIOParamsVals params;
  params.PNG_Compression = 0;
  struct Tiny : TMemoryStream {
    int64_t Write(const void* b, int64_t n) override {
      if (GetSize() + n > 500) return 0;
      return TMemoryStream::Write(b, n);
    }
  } s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePNGStream(s, bmp, params, progress);
  EXPECT_TRUE(aborted);
}

// The encoder gathers small pieces before writing them; a stream that refuses
// only the very last bytes (the end chunk) must still fail the save.
TEST(PngCodec, FailureOfTheLastWriteIsReported) {
  TBitmap bmp;
  FillBitmap(bmp, 64, 64, TestPicture(64, 64));
  TIOParamsVals params;
  bool aborted = false;
  const int64_t whole = SavePng(bmp, params, aborted).GetSize();
  ASSERT_FALSE(aborted);
  struct Capped : TMemoryStream {
    int64_t cap = 0;
    int64_t Write(const void* b, int64_t n) override {
      if (GetSize() + n > cap) return 0;
      return TMemoryStream::Write(b, n);
    }
  } s;
  s.cap = whole - 1;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePNGStream(s, bmp, params, progress);
  EXPECT_TRUE(aborted);
  s.cap = whole;
  aborted = false;
  s.SetSize(0);
  s.Seek(0, soBeginning);
  WritePNGStream(s, bmp, params, progress);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(s.GetSize(), whole);
}
