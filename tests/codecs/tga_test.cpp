#include "codecs/tga.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/streamreader.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using namespace testutil;

bool ReadTga(const std::vector<uint8_t>& bytes, TBitmap& bm, TIOParamsVals& params) {
  TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
  Progress p;
  ReadTGAStream(s, bm, params, p.rec, false);
  return !p.aborting;
}

std::vector<uint8_t> WriteTga(TBitmap& bm, TIOParamsVals& params) {
  TMemoryStream m;
  Progress p;
  WriteTGAStream(m, bm, params, p.rec);
  EXPECT_FALSE(p.aborting);
  return std::vector<uint8_t>(m.Memory(), m.Memory() + m.GetSize());
}

TEST(TgaCodec, CorpusMatchesReferences) {
  // The corpus beside the source tree, or beside the worktree folder.
  std::string root = std::string(PICTAVO_CORPUS_DIR) + "/tga";
  if (!std::filesystem::exists(root))
    root = std::filesystem::path(std::string(PICTAVO_CORPUS_DIR) + "/../../../shared/corpus/tga")
               .lexically_normal()
               .string();
  if (!std::filesystem::exists(root)) GTEST_SKIP() << "no TGA corpus";
  const bool magick = HaveTool("convert");
  int files = 0;
  for (const char* dir : {"conformance", "fileformat"}) {
    for (auto& entry : std::filesystem::directory_iterator(root + "/" + dir)) {
      if (entry.path().extension() != ".tga") continue;
      SCOPED_TRACE(entry.path().string());
      ++files;
      TBitmap bm;
      TIOParamsVals params;
      const auto bytes = ReadFile(entry.path().string());
      ASSERT_TRUE(ReadTga(bytes, bm, params));
      const bool fiveBits =
          bytes[16] == 16 || (bytes[1] == 1 && (bytes[7] == 15 || bytes[7] == 16));
      ASSERT_GT(bm.GetWidth(), 0);
      if (!magick) continue;
      // The PNG reference where there is one, else ImageMagick's own decoding.
      std::string ref = entry.path().string();
      auto png = entry.path();
      png.replace_extension(".png");
      if (std::filesystem::exists(png)) ref = png.string();
      const std::string copy =
          TempPath(entry.path().stem().string() + (ref == png.string() ? ".png" : ".tga"));
      std::filesystem::copy_file(ref, copy, std::filesystem::copy_options::overwrite_existing);
      int w, h;
      auto rgb = MagickRGB(copy, w, h);
      // Five-bit channels are widened by shifting; references may replicate the bits.
      const int tolerance = fiveBits ? 7 : 0;
      EXPECT_LE(MaxDiff(bm, rgb, w, h), tolerance);
    }
  }
  EXPECT_GE(files, 20);
}

TEST(TgaCodec, RoundTripsEveryDepthAndEncoding) {
  for (bool rle : {true, false}) {
    for (int depth : {1, 4, 8, 80 /* grey */, 24}) {
      SCOPED_TRACE(depth);
      TBitmap src;
      const int w = 29, h = 7;
      if (depth == 1)
        MakeBW(src, w, h);
      else if (depth == 80) {
        MakeImage(src, w, h);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            uint8_t* p = src.ScanLine(y) + 3 * x;
            p[0] = p[1] = p[2] = uint8_t(x * 9 + y);
          }
      } else {
        MakeImage(src, w, h, depth == 4 ? 9 : depth == 8 ? 150 : 0);
      }
      TIOParamsVals params;
      params.TGA_Compressed = rle;
      params.SamplesPerPixel = depth == 24 ? 3 : 1;
      params.BitsPerSample = depth == 80 ? 8 : depth == 24 ? 8 : depth;
      params.TGA_GrayLevel = depth == 80;
      auto bytes = WriteTga(src, params);
      TBitmap back;
      TIOParamsVals rp;
      ASSERT_TRUE(ReadTga(bytes, back, rp));
      // One bit per pixel comes back as the colours of its two-entry map.
      EXPECT_EQ(back.GetPixelFormat(), pf24bit);
      if (depth == 80) {
        // Grey pixels are written as their value.
        int wrong = 0;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const int v = src.ScanLine(y)[3 * x];
            if (PixelOf(back, x, y) != TRGB{uint8_t(v), uint8_t(v), uint8_t(v)}) ++wrong;
          }
        EXPECT_EQ(wrong, 0);
      } else {
        EXPECT_LE(MaxDiff(src, back), depth == 8 ? 8 : 0);
      }
      const int type = bytes[2];
      const int expected = depth == 1    ? 1
                           : depth == 4  ? 1
                           : depth == 80 ? (rle ? 11 : 3)
                           : depth == 8  ? (rle ? 9 : 1)
                                         : (rle ? 10 : 2);
      EXPECT_EQ(type, expected);
      EXPECT_EQ(bytes[1], (depth == 1 || depth == 4 || depth == 8) ? 1 : 0);
    }
  }
}

TEST(TgaCodec, ExtensionAreaAndFooter) {
  TBitmap src;
  MakeImage(src, 3, 2);
  TIOParamsVals params;
  params.TGA_Author = "A. Painter";
  params.TGA_ImageName = "job 7";
  params.TGA_Descriptor = "hello";
  params.TGA_Gamma = 2.2;
  params.TGA_AspectRatio = 0.5;
  params.TGA_Background = TRGB{3, 2, 1};
  params.TGA_Date = 45000 + 0.5;  // 2023-03-15 12:00:00
  auto bytes = WriteTga(src, params);
  const size_t n = bytes.size();
  ASSERT_EQ(0, std::memcmp(&bytes[n - 18], "TRUEVISION-XFILE.", 18));
  const uint32_t ext = GetU32LE(&bytes[n - 26]);
  ASSERT_EQ(ext + 495 + 26, n);
  EXPECT_EQ(GetU16LE(&bytes[ext + 478]), 22000);
  EXPECT_EQ(GetU16LE(&bytes[ext + 480]), 10000);
  EXPECT_EQ(GetU16LE(&bytes[ext + 367]), 3);
  EXPECT_EQ(GetU16LE(&bytes[ext + 369]), 15);
  EXPECT_EQ(GetU16LE(&bytes[ext + 371]), 2023);
  EXPECT_EQ(GetU16LE(&bytes[ext + 373]), 12);
  TBitmap back;
  TIOParamsVals rp;
  ASSERT_TRUE(ReadTga(bytes, back, rp));
  EXPECT_EQ(rp.TGA_Author, "A. Painter");
  EXPECT_EQ(rp.TGA_ImageName, "job 7");
  EXPECT_EQ(rp.TGA_Descriptor, "hello");
  EXPECT_DOUBLE_EQ(rp.TGA_Gamma, 2.2);
  EXPECT_DOUBLE_EQ(rp.TGA_AspectRatio, 0.5);
  EXPECT_DOUBLE_EQ(rp.TGA_Date, 45000.5);
  EXPECT_EQ(rp.TGA_Background, (TRGB{3, 2, 1}));
  // An extension offset pointing outside the stream is ignored.
  PutU32LE(&bytes[n - 26], 0x7FFFFFF0);
  TIOParamsVals ip;
  ASSERT_TRUE(ReadTga(bytes, back, ip));
  EXPECT_EQ(ip.TGA_Author, "");
  EXPECT_DOUBLE_EQ(ip.TGA_Gamma, 2.2);
}

std::vector<uint8_t> Header(int cmType, int type, int w, int h, int depth, int desc = 0x20) {
  std::vector<uint8_t> hd(18, 0);
  hd[1] = uint8_t(cmType);
  hd[2] = uint8_t(type);
  PutU16LE(&hd[12], uint16_t(w));
  PutU16LE(&hd[14], uint16_t(h));
  hd[16] = uint8_t(depth);
  hd[17] = uint8_t(desc);
  return hd;
}

TEST(TgaCodec, ColourMapsAndOrientation) {
  // Colour map of 300 entries starting at index 250: indices 250..255 filled,
  // the rest skipped; the image reads indices 250 and 255.
  auto f = Header(1, 1, 2, 1, 8);
  PutU16LE(&f[3], 250);
  PutU16LE(&f[5], 300);
  f[7] = 24;
  for (int i = 0; i < 300; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2)});
  f.insert(f.end(), {250, 255});
  TBitmap bm;
  TIOParamsVals params;
  ASSERT_TRUE(ReadTga(f, bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{0, 1, 2}));
  EXPECT_EQ(PixelOf(bm, 1, 0), (TRGB{5, 6, 7}));
  EXPECT_EQ(params.ColorMapCount, 256);
  // Bottom-up, right-to-left storage is upright after loading.
  auto g = Header(0, 2, 2, 2, 24, 0x10);
  g.insert(g.end(), {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4});
  ASSERT_TRUE(ReadTga(g, bm, params));
  EXPECT_EQ(PixelOf(bm, 0, 0).r, 4);
  EXPECT_EQ(PixelOf(bm, 1, 0).r, 3);
  EXPECT_EQ(PixelOf(bm, 0, 1).r, 2);
  // 32 bits: pf24bit with four samples.
  auto k = Header(0, 2, 1, 1, 32);
  k.insert(k.end(), {9, 8, 7, 0});
  ASSERT_TRUE(ReadTga(k, bm, params));
  EXPECT_EQ(params.SamplesPerPixel, 4);
  EXPECT_EQ(PixelOf(bm, 0, 0), (TRGB{9, 8, 7}));
}

TEST(TgaCodec, MalformedFiles) {
  TBitmap bm;
  TIOParamsVals params;
  EXPECT_FALSE(ReadTga(Header(0, 5, 2, 2, 24), bm, params));  // bad type
  EXPECT_FALSE(ReadTga(Header(0, 2, 2, 2, 12), bm, params));  // bad depth
  EXPECT_FALSE(ReadTga({1, 2, 3}, bm, params));               // shorter than a header
  // RLE data that ends early: the first row is decoded, then abort.
  auto f = Header(0, 10, 2, 2, 24);
  f.insert(f.end(), {0x81, 10, 20, 30});
  EXPECT_FALSE(ReadTga(f, bm, params));
  EXPECT_EQ(PixelOf(bm, 1, 0), (TRGB{10, 20, 30}));
  // A huge image is refused before allocation.
  TBitmap untouched;
  EXPECT_FALSE(ReadTga(Header(0, 2, 65535, 65535, 24), untouched, params));
  EXPECT_TRUE(untouched.Empty());
  // Detection refuses PXM headers.
  std::vector<uint8_t> p = {'P', '6', ' ', '2', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 0};
  p[2] = ' ';
  TReadOnlyMemoryStream s(p.data(), int64_t(p.size()));
  EXPECT_FALSE(TryTGA(s));
  auto ok = Header(0, 2, 2, 2, 24);
  TReadOnlyMemoryStream s2(ok.data(), int64_t(ok.size()));
  EXPECT_TRUE(TryTGA(s2));
  EXPECT_EQ(s2.GetPosition(), 0);
}

TEST(TgaCodec, ConvertXBitsToYBits) {
  const uint8_t bits[] = {0xA0};
  uint8_t out[32] = {};
  TRGB pal[16] = {};
  pal[1] = TRGB{1, 2, 3};
  EXPECT_EQ(_ConvertXBitsToYBits(bits, out, 1, 4, 3, pal, nullptr), 2);
  EXPECT_EQ(out[0], 0x10);
  EXPECT_EQ(out[1], 0x10);
  EXPECT_EQ(_ConvertXBitsToYBits(bits, out, 1, 24, 1, pal, nullptr), 3);
  EXPECT_EQ(out[2], 3);
  const uint8_t idx[] = {1, 0, 1};
  EXPECT_EQ(_ConvertXBitsToYBits(idx, out, 8, 1, 3, pal, nullptr), 1);
  EXPECT_EQ(out[0], 0xA0);
  const uint8_t px32[] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(_ConvertXBitsToYBits(px32, out, 32, 24, 2, pal, nullptr), 6);
  EXPECT_EQ(out[3], 5);
  EXPECT_EQ(_ConvertXBitsToYBits(px32, out, 24, 16, 2, pal, nullptr), 0);
}

TEST(TgaCodec, OurFilesLoadInImageMagick) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  for (bool rle : {false, true}) {
    for (int depth : {8, 24}) {
      TBitmap src;
      MakeImage(src, 31, 17, depth == 8 ? 40 : 0);
      TIOParamsVals params;
      params.TGA_Compressed = rle;
      params.SamplesPerPixel = depth == 24 ? 3 : 1;
      auto bytes = WriteTga(src, params);
      const std::string path = TempPath("ours.tga");
      WriteFile(path, bytes);
      int w, h;
      auto rgb = MagickRGB(path, w, h);
      TBitmap back;
      TIOParamsVals rp;
      ASSERT_TRUE(ReadTga(bytes, back, rp));
      EXPECT_EQ(MaxDiff(back, rgb, w, h), 0) << depth << " " << rle;
    }
  }
}

}  // namespace
}  // namespace pictavo
