// Writers asked for one bit per pixel keep the colours of one- and
// two-colour images; writers of grey store grey pixels as their value.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/pcx.h"
#include "codecs/png.h"
#include "codecs/pxm.h"
#include "codecs/tga.h"
#include "codecs/tiff.h"
#include "core/pvdefs.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

using Writer = std::function<void(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&)>;
using Reader = std::function<void(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&)>;

struct Format {
  const char* name;
  Writer write;
  Reader read;
};

std::vector<Format> PaletteFormats() {
  return {
      {"bmp",
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         BMPWriteStream(s, b, p, r);
       },
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         BMPReadStream(s, b, -1, p, r, false);
       }},
      {"pcx",
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         WritePcxStream(s, b, p, r);
       },
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         ReadPcxStream(s, b, p, s.GetSize(), r, false);
       }},
      {"png",
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         WritePNGStream(s, b, p, r);
       },
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         ReadPNGStream(s, &b, p, false, r);
       }},
      {"tiff",
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         TIFFWriteStream(s, false, b, p, r);
       },
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         int n = 0;
         TIFFReadStream(&b, s, n, &p, r, false);
       }},
      {"tga",
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         WriteTGAStream(s, b, p, r);
       },
       [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
         ReadTGAStream(s, b, p, r, false);
       }},
  };
}

// A w x h picture whose pixel (x, y) is colour[pattern(x, y)].
void Paint(TBitmap& b, int w, int h, const std::vector<TRGB>& colours,
           const std::function<int(int, int)>& pattern) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    TRGB* row = reinterpret_cast<TRGB*>(b.ScanLine(y));
    for (int x = 0; x < w; ++x) row[x] = colours[size_t(pattern(x, y))];
  }
}

TRGB PixelOf(TBitmap& b, int x, int y) {
  if (b.GetPixelFormat() == pf1bit) {
    const bool set = (b.ScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
    return set ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
  }
  return reinterpret_cast<TRGB*>(b.ScanLine(y))[x];
}

// Writes `source` at one bit per pixel, reads it back, and counts the
// pixels that differ from the source.
int RoundTripDifferences(const Format& f, TBitmap& source) {
  TMemoryStream s;
  TIOParamsVals params;
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  f.write(s, source, params, progress);
  EXPECT_FALSE(aborted);
  s.SetPosition(0);
  TBitmap back;
  TIOParamsVals readParams;
  bool readAborted = false;
  TProgressRec readProgress;
  readProgress.Aborting = &readAborted;
  f.read(s, back, readParams, readProgress);
  EXPECT_FALSE(readAborted);
  if (back.GetWidth() != source.GetWidth() || back.GetHeight() != source.GetHeight()) return -1;
  int wrong = 0;
  for (int y = 0; y < source.GetHeight(); ++y)
    for (int x = 0; x < source.GetWidth(); ++x)
      if (!(PixelOf(back, x, y) == PixelOf(source, x, y))) ++wrong;
  return wrong;
}

TEST(BilevelWriters, OneAndTwoColourImagesKeepTheirColours) {
  const TRGB blue{200, 0, 0}, sky{235, 206, 135}, red{0, 0, 255}, green{0, 160, 0};
  const TRGB black{0, 0, 0}, white{255, 255, 255};
  struct Picture {
    const char* name;
    std::vector<TRGB> colours;
    std::function<int(int, int)> pattern;
  } pictures[] = {
      {"blue", {blue}, [](int, int) { return 0; }},
      {"sky blue", {sky}, [](int, int) { return 0; }},
      {"white", {white}, [](int, int) { return 0; }},
      {"black", {black}, [](int, int) { return 0; }},
      {"red and green", {red, green}, [](int x, int y) { return (x + 2 * y) % 3 == 0 ? 1 : 0; }},
      {"black and white", {black, white}, [](int x, int y) { return (x * y) % 4 == 1 ? 1 : 0; }},
  };
  for (const Format& f : PaletteFormats())
    for (const Picture& p : pictures) {
      SCOPED_TRACE(std::string(f.name) + ", " + p.name);
      TBitmap b;
      Paint(b, 11, 5, p.colours, p.pattern);
      EXPECT_EQ(RoundTripDifferences(f, b), 0);
    }
}

// Many colours still become black and white.
TEST(BilevelWriters, ManyColoursBecomeBlackAndWhite) {
  TBitmap b;
  Paint(b, 8, 8, {{10, 20, 30}, {200, 100, 50}, {90, 90, 250}},
        [](int x, int y) { return (x + y) % 3; });
  TMemoryStream s;
  TIOParamsVals params;
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePNGStream(s, b, params, progress);
  s.SetPosition(0);
  TBitmap back;
  TIOParamsVals rp;
  ReadPNGStream(s, &back, rp, false, progress);
  ASSERT_FALSE(aborted);
  EXPECT_EQ(back.GetPixelFormat(), pf1bit);
}

// The 1-bit TGA is 8-bit indices into a two-entry colour map, which other
// programs read.
TEST(BilevelWriters, OneBitTgaIsColourMapped) {
  TBitmap b;
  const TRGB red{0, 0, 255}, green{0, 160, 0};
  Paint(b, 9, 4, {red, green}, [](int x, int) { return x % 2; });
  TMemoryStream s;
  TIOParamsVals params;
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  params.TGA_Descriptor.clear();
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WriteTGAStream(s, b, params, progress);
  ASSERT_FALSE(aborted);
  const uint8_t* h = s.Memory();
  EXPECT_EQ(h[1], 1);              // has a colour map
  EXPECT_EQ(h[2], 1);              // colour-mapped, uncompressed
  EXPECT_EQ(h[5] | h[6] << 8, 2);  // two entries
  EXPECT_EQ(h[7], 24);             // of 24 bits
  EXPECT_EQ(h[16], 8);             // 8-bit indices
  const size_t map = 18 + h[0];
  // The darker colour first: red (grey 53) before green (grey 114).
  const TRGB first{h[map], h[map + 1], h[map + 2]}, second{h[map + 3], h[map + 4], h[map + 5]};
  EXPECT_EQ(first, red);
  EXPECT_EQ(second, green);
  // Row 0 of a top-down file: indices 0, 1, 0, ...
  for (int x = 0; x < 9; ++x) EXPECT_EQ(h[map + 6 + x], x % 2) << x;
  if (std::system("command -v identify >/dev/null 2>&1") != 0) return;
  const std::string name = ::testing::TempDir() + "pictavo_one_bit.tga";
  FILE* out = std::fopen(name.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(s.Memory(), 1, size_t(s.GetSize()), out);
  std::fclose(out);
  EXPECT_EQ(std::system(("identify '" + name + "' >/dev/null 2>&1").c_str()), 0);
}

TEST(GreyWriters, GreyPixelsStoredAsTheirValue) {
  // A ramp of all 256 levels and, in a second row, colour pixels whose grey
  // is (R*21 + G*71 + B*7) div 100: red 53, green 181, blue 17.
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(256, 2);
  TRGB* row0 = reinterpret_cast<TRGB*>(b.ScanLine(0));
  TRGB* row1 = reinterpret_cast<TRGB*>(b.ScanLine(1));
  for (int x = 0; x < 256; ++x) {
    row0[x] = TRGB{uint8_t(x), uint8_t(x), uint8_t(x)};
    row1[x] = x % 3 == 0 ? TRGB{0, 0, 255} : x % 3 == 1 ? TRGB{0, 255, 0} : TRGB{255, 0, 0};
  }
  const uint8_t colourGrey[3] = {53, 181, 17};
  auto check = [&](const uint8_t* pixels, bool bottomUp) {
    const uint8_t* first = pixels + (bottomUp ? 256 : 0);
    const uint8_t* second = pixels + (bottomUp ? 0 : 256);
    int wrong = 0;
    for (int x = 0; x < 256; ++x) {
      if (first[x] != x) ++wrong;
      if (second[x] != colourGrey[x % 3]) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
  };
  {
    SCOPED_TRACE("P5");
    TMemoryStream s;
    TIOParamsVals params;
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 1;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    PXMWriteStream(s, b, params, progress);
    ASSERT_FALSE(aborted);
    ASSERT_GE(s.GetSize(), 512);
    check(s.Memory() + s.GetSize() - 512, false);
  }
  {
    SCOPED_TRACE("TGA grey");
    TMemoryStream s;
    TIOParamsVals params;
    params.BitsPerSample = 8;
    params.SamplesPerPixel = 1;
    params.TGA_GrayLevel = true;
    params.TGA_Compressed = false;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    WriteTGAStream(s, b, params, progress);
    ASSERT_FALSE(aborted);
    const uint8_t* h = s.Memory();
    ASSERT_EQ(h[2], 3);
    check(h + 18 + h[0], !(h[17] & 0x20));
  }
}

}  // namespace
}  // namespace pictavo
