#include "dialogs/filepreview.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "codecs/gif.h"
#include "dialog_test_util.h"
#include "io/registry.h"
#include "tests/codecs/gif_coders.h"

namespace pictavo {
namespace {

using dialogtest::MakeBitmap;
using dialogtest::PixelAt;
using dialogtest::SavePicture;
using dialogtest::TempDir;

TEST(PVFitInBox, KeepsAspectAndNeverEnlarges) {
  EXPECT_EQ(PVFitInBox(4000, 3000, 192, 192), std::make_pair(192, 144));
  EXPECT_EQ(PVFitInBox(3000, 4000, 192, 192), std::make_pair(144, 192));
  EXPECT_EQ(PVFitInBox(100, 50, 192, 192), std::make_pair(100, 50));
  EXPECT_EQ(PVFitInBox(192, 192, 192, 192), std::make_pair(192, 192));
  // 300 x 100 into 100 x 100: 33.3 rows, truncated.
  EXPECT_EQ(PVFitInBox(300, 100, 100, 100), std::make_pair(100, 33));
  // A sliver keeps one row rather than vanishing.
  EXPECT_EQ(PVFitInBox(10000, 1, 100, 100), std::make_pair(100, 1));
  // Height-limited box that is wider than tall.
  EXPECT_EQ(PVFitInBox(200, 400, 300, 100), std::make_pair(50, 100));
  EXPECT_EQ(PVFitInBox(0, 10, 100, 100), std::make_pair(0, 0));
  EXPECT_EQ(PVFitInBox(10, 10, 0, 100), std::make_pair(0, 0));
}

TEST(PVShrinkToBox, AveragesTheCoveredPixelsByHand) {
  // 4 x 2 into a 2 x 2 box gives 2 x 1; each output pixel is the mean of a
  // 2 x 2 block.
  const TRGB px[2][4] = {{{10, 0, 0}, {20, 1, 255}, {0, 0, 0}, {255, 255, 255}},
                         {{30, 2, 0}, {41, 2, 255}, {0, 0, 0}, {255, 255, 254}}};
  auto src = MakeBitmap(4, 2, [&](int x, int y) { return px[y][x]; });
  auto out = PVShrinkToBox(*src, 2, 2);
  ASSERT_EQ(out->GetWidth(), 2);
  ASSERT_EQ(out->GetHeight(), 1);
  // blue: (10+20+30+41)/4 = 25.25 -> 25; green: 5/4 = 1.25 -> 1; red: 510/4 = 127.5 -> 128.
  EXPECT_EQ(PixelAt(*out, 0, 0), (TRGB{25, 1, 128}));
  // Right block: two black pixels and (255,255,255), (255,255,254):
  // blue (0+0+255+255)/4 = 127.5 -> 128, green 127.5 -> 128, red (0+0+255+254)/4 = 127.25 -> 127.
  EXPECT_EQ(PixelAt(*out, 1, 0), (TRGB{128, 128, 127}));
}

TEST(PVShrinkToBox, MatchesAnAreaAverageReference) {
  std::mt19937 rng(7);
  const int w = 37, h = 23;
  auto src = MakeBitmap(w, h, [&](int, int) {
    return TRGB{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
  });
  auto out = PVShrinkToBox(*src, 10, 10);
  // 37 x 23 into 10 x 10: width-limited, 23 * 10 / 37 = 6 rows.
  ASSERT_EQ(out->GetWidth(), 10);
  ASSERT_EQ(out->GetHeight(), 6);
  for (int oy = 0; oy < 6; ++oy) {
    for (int ox = 0; ox < 10; ++ox) {
      // Source pixels whose index scaled to the output falls in this cell.
      double sum[3] = {0, 0, 0};
      int n = 0;
      for (int sy = 0; sy < h; ++sy) {
        if (sy * 6 / h != oy) continue;
        for (int sx = 0; sx < w; ++sx) {
          if (sx * 10 / w != ox) continue;
          TRGB c = PixelAt(*src, sx, sy);
          sum[0] += c.b, sum[1] += c.g, sum[2] += c.r;
          ++n;
        }
      }
      ASSERT_GT(n, 0);
      TRGB want{uint8_t(std::floor(sum[0] / n + 0.5)), uint8_t(std::floor(sum[1] / n + 0.5)),
                uint8_t(std::floor(sum[2] / n + 0.5))};
      EXPECT_EQ(PixelAt(*out, ox, oy), want) << ox << "," << oy;
    }
  }
}

TEST(PVShrinkToBox, SmallImagesAreCopiedAndOtherFormatsConverted) {
  auto src = MakeBitmap(3, 2, [](int x, int y) { return TRGB{uint8_t(x), uint8_t(y), 9}; });
  auto out = PVShrinkToBox(*src, 10, 10);
  ASSERT_EQ(out->GetWidth(), 3);
  ASSERT_EQ(out->GetHeight(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(*out, x, y), PixelAt(*src, x, y));
  // A 1-bit image: 8 x 1, black and white alternating, into 4 x 4 -> grey 128.
  TBitmap bw(8, 1, pf1bit);
  bw.ScanLine(0)[0] = 0x55;  // 0 1 0 1 0 1 0 1
  auto grey = PVShrinkToBox(bw, 4, 4);
  ASSERT_EQ(grey->GetPixelFormat(), pf24bit);
  ASSERT_EQ(grey->GetWidth(), 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(*grey, x, 0), (TRGB{128, 128, 128}));
  // Nothing in, nothing out.
  TBitmap empty;
  EXPECT_TRUE(PVShrinkToBox(empty, 10, 10)->Empty());
}

TEST(PVFilePreview, PngParametersAndPicture) {
  TempDir dir;
  // Left half red, right half blue.
  auto bm = MakeBitmap(64, 32, [](int x, int) {
    return x < 32 ? TRGB{0, 0, 255} : TRGB{255, 0, 0};
  });
  std::string file = dir.File("halves.png");
  ASSERT_TRUE(SavePicture(*bm, file));
  TPVFilePreview p = PVMakeFilePreview(file, 16, 16);
  ASSERT_TRUE(p.Valid);
  EXPECT_EQ(p.FileType, ftPNG);
  EXPECT_EQ(p.Width, 64);
  EXPECT_EQ(p.Height, 32);
  EXPECT_EQ(p.Depth(), 24);
  EXPECT_EQ(p.FrameCount, 1);
  EXPECT_EQ(p.FileSize, static_cast<int64_t>(std::filesystem::file_size(file)));
  ASSERT_TRUE(p.Params);
  EXPECT_EQ(p.Params->FileType, ftPNG);
  EXPECT_EQ(p.Params->Width, 64);
  EXPECT_EQ(p.Params->FileName, file);
  EXPECT_EQ(p.FormatDescription.rfind("Portable Network Graphics (PNG)", 0), 0u)
      << p.FormatDescription;
  ASSERT_TRUE(p.Picture);
  ASSERT_EQ(p.Picture->GetWidth(), 16);
  ASSERT_EQ(p.Picture->GetHeight(), 8);
  for (int y = 0; y < 8; ++y) {
    EXPECT_EQ(PixelAt(*p.Picture, 0, y), (TRGB{0, 0, 255}));
    EXPECT_EQ(PixelAt(*p.Picture, 7, y), (TRGB{0, 0, 255}));
    EXPECT_EQ(PixelAt(*p.Picture, 8, y), (TRGB{255, 0, 0}));
    EXPECT_EQ(PixelAt(*p.Picture, 15, y), (TRGB{255, 0, 0}));
  }
  // Without a box only the parameters are read.
  TPVFilePreview noPicture = PVMakeFilePreview(file, 0, 0);
  EXPECT_TRUE(noPicture.Valid);
  EXPECT_FALSE(noPicture.Picture);
}

TEST(PVFilePreview, JpegIsDecodedReducedAndShrunk) {
  TempDir dir;
  // 800 x 600, flat green top half and flat grey bottom half.
  auto bm = MakeBitmap(800, 600, [](int, int y) {
    return y < 300 ? TRGB{0, 200, 0} : TRGB{128, 128, 128};
  });
  std::string file = dir.File("big.jpg");
  ASSERT_TRUE(SavePicture(*bm, file));
  TPVFilePreview p = PVMakeFilePreview(file, 100, 100);
  ASSERT_TRUE(p.Valid);
  EXPECT_EQ(p.FileType, ftJPEG);
  // The full size is reported, not the reduced decoding size.
  EXPECT_EQ(p.Width, 800);
  EXPECT_EQ(p.Height, 600);
  ASSERT_TRUE(p.Picture);
  EXPECT_EQ(p.Picture->GetWidth(), 100);
  EXPECT_EQ(p.Picture->GetHeight(), 75);
  auto near = [](TRGB a, TRGB b) {
    return std::abs(a.b - b.b) <= 6 && std::abs(a.g - b.g) <= 6 && std::abs(a.r - b.r) <= 6;
  };
  EXPECT_TRUE(near(PixelAt(*p.Picture, 50, 10), TRGB{0, 200, 0}));
  EXPECT_TRUE(near(PixelAt(*p.Picture, 50, 65), TRGB{128, 128, 128}));
}

TEST(PVFilePreview, PixelLimitSkipsThePictureButNotTheParameters) {
  TempDir dir;
  auto bm = MakeBitmap(100, 80, [](int, int) { return TRGB{1, 2, 3}; });
  std::string png = dir.File("p.png"), jpg = dir.File("p.jpg");
  ASSERT_TRUE(SavePicture(*bm, png));
  ASSERT_TRUE(SavePicture(*bm, jpg));
  int64_t saved = PVGetPreviewPixelLimit();
  PVSetPreviewPixelLimit(100 * 80 - 1);
  TPVFilePreview big = PVMakeFilePreview(png, 10, 10);
  EXPECT_TRUE(big.Valid);
  EXPECT_EQ(big.Width, 100);
  EXPECT_FALSE(big.Picture);
  // A JPEG counts the pixels of its reduced decoding: 100 x 80 at 1/8 is
  // 12 x 10 for a 10 x 10 box.
  PVSetPreviewPixelLimit(12 * 10);
  TPVFilePreview reduced = PVMakeFilePreview(jpg, 10, 10);
  EXPECT_TRUE(reduced.Picture);
  PVSetPreviewPixelLimit(12 * 10 - 1);
  EXPECT_FALSE(PVMakeFilePreview(jpg, 10, 10).Picture);
  PVSetPreviewPixelLimit(saved);
  EXPECT_TRUE(PVMakeFilePreview(png, 10, 10).Picture);
}

TEST(PVFilePreview, MislabelledUnknownAndMissingFiles) {
  TempDir dir;
  auto bm = MakeBitmap(5, 4, [](int x, int y) {
    return TRGB{uint8_t(x * 40), uint8_t(y * 60), 7};
  });
  std::string png = dir.File("really_png.jpg");
  {
    std::string tmp = dir.File("t.png");
    ASSERT_TRUE(SavePicture(*bm, tmp));
    std::filesystem::rename(tmp, png);
  }
  TPVFilePreview p = PVMakeFilePreview(png, 50, 50);
  ASSERT_TRUE(p.Valid);
  EXPECT_EQ(p.FileType, ftPNG);
  ASSERT_TRUE(p.Picture);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(*p.Picture, x, y), PixelAt(*bm, x, y));

  std::string junk = dir.File("junk.png");
  {
    std::ofstream f(junk, std::ios::binary);
    f << "this is not a picture at all";
  }
  TPVFilePreview j = PVMakeFilePreview(junk, 50, 50);
  EXPECT_FALSE(j.Valid);
  EXPECT_FALSE(j.Picture);
  EXPECT_FALSE(j.Params);
  EXPECT_TRUE(j.InfoLines(msEnglish).empty());

  EXPECT_FALSE(PVMakeFilePreview(dir.File("absent.png"), 50, 50).Valid);
  EXPECT_FALSE(PVMakeFilePreview(dir.Path(), 50, 50).Valid);  // a folder
}

TEST(PVFilePreview, PagesOfATiffFile) {
  TempDir dir;
  std::string file = dir.File("pages.tif");
  auto red = MakeBitmap(20, 10, [](int, int) { return TRGB{0, 0, 255}; });
  auto blue = MakeBitmap(20, 10, [](int, int) { return TRGB{255, 0, 0}; });
  ASSERT_TRUE(SavePicture(*red, file));
  {
    TPictavoIO io;
    io.SetAttachedBitmap(blue.get());
    io.IOParams().TIFF_ImageIndex = 1;
    ASSERT_EQ(io.InsertToFileTIFF(file), 2);
  }
  TPVFilePreview first = PVMakeFilePreview(file, 10, 10);
  ASSERT_TRUE(first.Valid);
  EXPECT_EQ(first.FrameCount, 2);
  ASSERT_TRUE(first.Picture);
  EXPECT_EQ(PixelAt(*first.Picture, 3, 2), (TRGB{0, 0, 255}));
  TPVFilePreview second = PVMakeFilePreview(file, 10, 10, 1);
  ASSERT_TRUE(second.Valid);
  EXPECT_EQ(second.Frame, 1);
  ASSERT_TRUE(second.Picture);
  EXPECT_EQ(PixelAt(*second.Picture, 3, 2), (TRGB{255, 0, 0}));
  // Italian information lines, with the page as "2 di 2".
  auto lines = second.InfoLines(msItalian);
  auto has = [&](const std::string& caption, const std::string& value) {
    for (auto& l : lines)
      if (l.first == caption && l.second == value) return true;
    return false;
  };
  EXPECT_TRUE(has("Larghezza", "20"));
  EXPECT_TRUE(has("Altezza", "10"));
  EXPECT_TRUE(has("Indice immagine", "2 di 2"));
  // A page the file does not have gives parameters without a picture.
  TPVFilePreview none = PVMakeFilePreview(file, 10, 10, 5);
  EXPECT_FALSE(none.Picture);
}

using testutil::GifCoders;

TEST(PVFilePreview, FramesOfAnAnimatedGif) {
  GifCoders coders;
  TempDir dir;
  std::string file = dir.File("anim.gif");
  auto red = MakeBitmap(12, 6, [](int, int) { return TRGB{0, 0, 255}; });
  auto blue = MakeBitmap(12, 6, [](int, int) { return TRGB{255, 0, 0}; });
  {
    TPictavoIO io;
    io.SetAttachedBitmap(red.get());
    io.IOParams().GIF_DelayTime = 10;
    io.SaveToFile(file);
    ASSERT_FALSE(io.Aborting);
    io.SetAttachedBitmap(blue.get());
    io.IOParams().GIF_DelayTime = 25;
    io.IOParams().GIF_ImageIndex = 1;
    ASSERT_GT(io.InsertToFileGif(file), 0);
  }
  TPVFilePreview first = PVMakeFilePreview(file, 6, 6);
  ASSERT_TRUE(first.Valid);
  EXPECT_EQ(first.FileType, ftGIF);
  EXPECT_EQ(first.FrameCount, 2);
  ASSERT_TRUE(first.Picture);
  EXPECT_EQ(first.Picture->GetWidth(), 6);
  EXPECT_EQ(first.Picture->GetHeight(), 3);
  EXPECT_EQ(PixelAt(*first.Picture, 2, 1), (TRGB{0, 0, 255}));
  EXPECT_EQ(first.DelayTime, 10);
  TPVFilePreview second = PVMakeFilePreview(file, 6, 6, 1);
  ASSERT_TRUE(second.Picture);
  EXPECT_EQ(second.Frame, 1);
  EXPECT_EQ(PixelAt(*second.Picture, 2, 1), (TRGB{255, 0, 0}));
  EXPECT_EQ(second.DelayTime, 25);
}

}  // namespace
}  // namespace pictavo
