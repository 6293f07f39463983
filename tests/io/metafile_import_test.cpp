// TPictavoIO::ImportMetafile: sizes, parameters and rendering of byte-built
// files, and LibreOffice's files compared with independent renderings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/pvdefs.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/exceptions.h"
#include "tests/platform/metafile_builder.h"

namespace pictavo {
namespace {

using test::EmfBuilder;
using test::WmfBuilder;

constexpr TColor kRed = 0x0000FF;

// Keeps the screen resolution at 254 per inch for the test (one pixel per
// tenth of a millimetre, so the byte-built EMF frames give exact sizes).
class MetafileImport : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_x_ = gSystemDPIX;
    saved_y_ = gSystemDPIY;
    gSystemDPIX = gSystemDPIY = 254;
    dir_ = std::filesystem::temp_directory_path() /
           ("pv_metafile_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    bitmap_.SetPixelFormat(pf24bit);
    bitmap_.SetSize(3, 2);
    io_.SetAttachedBitmap(&bitmap_);
  }
  void TearDown() override {
    gSystemDPIX = saved_x_;
    gSystemDPIY = saved_y_;
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }
  // An EMF of w x h pixels with a red square filling its middle third.
  std::string RedSquare(int w, int h, const std::string& name = "pic.emf") {
    EmfBuilder e;
    e.Rec(39, {1, 0, int32_t(kRed), 0}).Rec(37, {1}).Rec(37, {int32_t(0x80000008)});
    e.Poly(3, {w / 3, h / 3, 2 * w / 3, h / 3, 2 * w / 3, 2 * h / 3, w / 3, 2 * h / 3});
    return Write(name, e.Finish(w, h));
  }

  int saved_x_ = 96, saved_y_ = 96;
  std::filesystem::path dir_;
  TBitmap bitmap_;
  TPictavoIO io_;
};

TEST_F(MetafileImport, ZeroSizeDoesNothing) {
  std::string name = RedSquare(30, 30);
  io_.IOParams().FileName = "before";
  io_.Aborting = true;
  io_.ImportMetafile(name, 0, 10);
  EXPECT_FALSE(io_.Aborting);
  io_.ImportMetafile(name, 10, 0);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(bitmap_.GetWidth(), 3);
  EXPECT_EQ(bitmap_.GetHeight(), 2);
  EXPECT_EQ(io_.IOParams().FileName, "before");
}

TEST_F(MetafileImport, LongSideIsLimitedTo2800) {
  std::string name = RedSquare(4000, 1000);
  io_.ImportMetafile(name, -1, -1);
  ASSERT_FALSE(io_.Aborting);
  EXPECT_EQ(bitmap_.GetWidth(), 2799);
  EXPECT_EQ(bitmap_.GetHeight(), 699);
  io_.ImportMetafile(name, 1000, 4000);  // a tall request
  EXPECT_EQ(bitmap_.GetWidth(), 699);
  EXPECT_EQ(bitmap_.GetHeight(), 2799);
  io_.ImportMetafile(name, 2801, 3);  // 3 * 2800 / 2801 = 2 (truncated)
  EXPECT_EQ(bitmap_.GetWidth(), 2799);
  EXPECT_EQ(bitmap_.GetHeight(), 1);
}

TEST_F(MetafileImport, AspectRulesForNegativeArguments) {
  std::string name = RedSquare(300, 200);
  io_.ImportMetafile(name, -1, 100);  // width 100 * 300 / 200 = 150
  EXPECT_EQ(bitmap_.GetWidth(), 149);
  EXPECT_EQ(bitmap_.GetHeight(), 99);
  io_.ImportMetafile(name, 90, -1);  // height 90 * 200 / 300 = 60
  EXPECT_EQ(bitmap_.GetWidth(), 89);
  EXPECT_EQ(bitmap_.GetHeight(), 59);
  io_.ImportMetafile(name, -1, 7);  // 7 * 300 / 200 = 10.5, truncated to 10
  EXPECT_EQ(bitmap_.GetWidth(), 9);
  EXPECT_EQ(bitmap_.GetHeight(), 6);
  io_.ImportMetafile(name, -5, -7);  // both negative: the metafile's size
  EXPECT_EQ(bitmap_.GetWidth(), 299);
  EXPECT_EQ(bitmap_.GetHeight(), 199);
  io_.ImportMetafile(name, 41, 21);  // both given: exactly that
  EXPECT_EQ(bitmap_.GetWidth(), 40);
  EXPECT_EQ(bitmap_.GetHeight(), 20);
  EXPECT_FALSE(io_.Aborting);
}

TEST_F(MetafileImport, ParametersAndPixels) {
  std::string name = RedSquare(31, 31);
  io_.SetBackground(0x00FF00);
  io_.IOParams().BitsPerSample = 1;
  io_.IOParams().SetColorMap(nullptr, 0);
  io_.ImportMetafile(name, -1, -1);
  ASSERT_FALSE(io_.Aborting);
  const TIOParamsVals& p = io_.IOParams();
  EXPECT_EQ(p.FileName, name);
  EXPECT_EQ(p.FileType, 10);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.Width, 30);
  EXPECT_EQ(p.Height, 30);
  EXPECT_EQ(p.DpiX, 254);
  EXPECT_EQ(p.DpiY, 254);
  EXPECT_EQ(p.ColorMapCount, 0);
  EXPECT_EQ(bitmap_.GetPixelFormat(), pf24bit);
  EXPECT_TRUE(bitmap_.GetModified());
  // Drawn 1:1 at (0, 0): the square (10,10)-(20,20) over the background.
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      bool in = x >= 10 && x < 20 && y >= 10 && y < 20;
      ASSERT_EQ(bitmap_.GetPixel(x, y), in ? kRed : TColor(0x00FF00)) << x << "," << y;
    }
}

TEST_F(MetafileImport, WmfByExtensionAndByKey) {
  WmfBuilder w;
  w.Rec(0x02FC, {0, int32_t(kRed), 0, 0}).Rec(0x012D, {0});
  w.Rec(0x061D, {0x0021, 0x00F0, 5, 5, 0, 0});  // PATCOPY 5 x 5 at (0, 0)
  // 20 x 10 units at 254 per inch: 20 x 10 pixels.
  std::string name = Write("pic.wmf", w.Finish(true, 20, 10, 254));
  io_.LoadFromFile(name);
  ASSERT_FALSE(io_.Aborting);
  EXPECT_EQ(io_.IOParams().FileType, 9);
  EXPECT_EQ(bitmap_.GetWidth(), 19);
  EXPECT_EQ(bitmap_.GetHeight(), 9);
  EXPECT_EQ(bitmap_.GetPixel(4, 4), kRed);
  EXPECT_EQ(bitmap_.GetPixel(5, 5), clBlack);  // Background 0
  bitmap_.SetSize(1, 1);
  std::string other = RedSquare(12, 12, "noext.bin");
  io_.LoadFromFileFormat(other, 10);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(io_.IOParams().FileType, 10);
  EXPECT_EQ(bitmap_.GetWidth(), 11);
}

TEST_F(MetafileImport, Failures) {
  // Not a metafile: Aborting, the target untouched.
  std::string junk = Write("junk.emf", std::vector<uint8_t>(300, 7));
  io_.ImportMetafile(junk, -1, -1);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(bitmap_.GetWidth(), 3);
  // A file that cannot be opened raises, as every load does.
  EXPECT_THROW(io_.ImportMetafile((dir_ / "missing.emf").string(), -1, -1), EFOpenError);
  // A metafile without a size (a plain WMF without a window).
  std::string empty = Write("empty.wmf", WmfBuilder().Finish(false, 0, 0, 0));
  io_.ImportMetafile(empty, -1, -1);
  EXPECT_TRUE(io_.Aborting);
  // One pixel each way leaves no pixel.
  io_.ImportMetafile(RedSquare(30, 30), 1, 1);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(bitmap_.GetWidth(), 3);
  // Beyond the reader pixel limit.
  int64_t limit = PVGetMaxImagePixels();
  PVSetMaxImagePixels(1000);
  io_.ImportMetafile(RedSquare(300, 200), -1, -1);
  PVSetMaxImagePixels(limit);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(bitmap_.GetWidth(), 3);
  // No target: nothing happens.
  TPictavoIO lone;
  lone.ImportMetafile(RedSquare(30, 30), -1, -1);
  EXPECT_FALSE(lone.Aborting);
}

// ---------------------------------------------------------------------------
// Files written by LibreOffice, compared with independent renderings.

std::string DataFile(const std::string& name) {
  return std::string(PICTAVO_SOURCE_DIR) + "/tests/data/metafile/" + name;
}

// Channel distance of two colours (largest channel difference).
int Distance(TColor a, TColor b) {
  int worst = 0;
  for (int s = 0; s < 24; s += 8)
    worst = std::max(worst, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
  return worst;
}

// Share of our pixels (inside a one-pixel border) that no reference pixel of
// their 3 x 3 neighbourhood comes within kNear of: edges may move by one
// pixel and be antialiased, fills must agree.
constexpr int kNear = 64;
double MismatchShare(const TBitmap& ours, const TBitmap& ref) {
  int w = std::min(ours.GetWidth(), ref.GetWidth());
  int h = std::min(ours.GetHeight(), ref.GetHeight());
  int64_t bad = 0;
  for (int y = 1; y + 1 < h; ++y)
    for (int x = 1; x + 1 < w; ++x) {
      TColor c = ours.GetPixel(x, y);
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy)
        for (int dx = -1; dx <= 1 && !near; ++dx)
          near = Distance(c, ref.GetPixel(x + dx, y + dy)) <= kNear;
      if (!near) ++bad;
    }
  return double(bad) / (double(w - 2) * (h - 2));
}

void LoadReference(const std::string& name, TBitmap& ref) {
  TPictavoIO io;
  io.SetAttachedBitmap(&ref);
  io.SetBackground(clWhite);
  io.LoadFromFile(DataFile(name));
  EXPECT_FALSE(io.Aborting) << name;
}

// The drawing (shapes, a line and a word of text) rendered by us and by the
// reference: away from antialiased edges (one pixel of play) the colours
// agree; the glyphs differ in a few pixels (LibreOffice and we draw
// Liberation Sans; libwmf draws the URW face and fills polygons including
// their boundary).  A blank or shifted rendering misses by far more.
constexpr double kMaxMismatchEmf = 0.01;
constexpr double kMaxMismatchWmf = 0.02;

// The files were made at 96 pixels per inch.
class MetafileExternal : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_x_ = gSystemDPIX;
    saved_y_ = gSystemDPIY;
    gSystemDPIX = gSystemDPIY = 96;
  }
  void TearDown() override {
    gSystemDPIX = saved_x_;
    gSystemDPIY = saved_y_;
  }
  int saved_x_ = 96, saved_y_ = 96;
};

TEST_F(MetafileExternal, LibreOfficeEmfMatchesItsPngExport) {
  TBitmap ours;
  TPictavoIO io;
  io.SetAttachedBitmap(&ours);
  io.SetBackground(clWhite);
  io.LoadFromFile(DataFile("drawing.emf"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(ours.GetWidth(), 224);
  EXPECT_EQ(ours.GetHeight(), 144);
  TBitmap ref;
  LoadReference("drawing_emf_ref.png", ref);
  EXPECT_LT(MismatchShare(ours, ref), kMaxMismatchEmf);
  // The measure does see a missing drawing.
  TBitmap blank(ours.GetWidth(), ours.GetHeight(), pf24bit);
  blank.Canvas().Brush().SetColor(clWhite);
  blank.Canvas().FillRect(Rect(0, 0, blank.GetWidth(), blank.GetHeight()));
  EXPECT_GT(MismatchShare(blank, ref), 0.2);
  // The fills themselves are exact: inside the red rectangle, the blue
  // ellipse and the yellow square.
  EXPECT_EQ(ours.GetPixel(40, 30), kRed);
  EXPECT_EQ(ours.GetPixel(150, 37), TColor(0xFF0000));
  EXPECT_EQ(ours.GetPixel(140, 110), TColor(0x00FFFF));
}

TEST_F(MetafileExternal, LibreOfficeWmfMatchesLibwmf) {
  TBitmap ours;
  TPictavoIO io;
  io.SetAttachedBitmap(&ours);
  io.SetBackground(clWhite);
  io.LoadFromFile(DataFile("drawing.wmf"));
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(ours.GetWidth(), 224);
  EXPECT_EQ(ours.GetHeight(), 144);
  TBitmap ref;
  LoadReference("drawing_wmf_ref.png", ref);
  EXPECT_LT(MismatchShare(ours, ref), kMaxMismatchWmf);
}

}  // namespace
}  // namespace pictavo
