// ConvertFile: the same bytes as a load followed by a save, whether the rows
// stream from the PPM/PGM reader to the JPEG/PNG writer or pass through a
// bitmap; the attached picture untouched; failures leave the destination as
// it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/registry.h"
#include "io/pictavoio.h"
#include "tests/codecs/bytes_util.h"
#include "tests/core/replacefile_fixtures.h"

namespace pictavo {
namespace {

namespace fs = std::filesystem;
using pictavo::testing::ReadAll;
using pictavo::testing::WriteAll;
using Adjust = std::function<void(TIOParamsVals&)>;

// A binary PGM (kind 5) or PPM (kind 6) of noise, samples of one byte up to
// 255 and two bytes above, with a comment line in the header.
std::string Pnm(int kind, int w, int h, int maximum, uint32_t seed) {
  std::string s = "P" + std::to_string(kind) + "\n# made by the test\n" + std::to_string(w) + " " +
                  std::to_string(h) + "\n" + std::to_string(maximum) + "\n";
  const int samples = w * h * (kind == 6 ? 3 : 1);
  for (int i = 0; i < samples; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const unsigned v = (seed >> 8) % unsigned(maximum + 1);
    if (maximum > 255) s.push_back(char(v >> 8));
    s.push_back(char(v));
  }
  return s;
}

// A 24-bit uncompressed BMP of noise (padding bytes included), rows stored
// bottom-up or, with a negative height, top-down.
std::string Bmp24(int w, int h, bool topDown, uint32_t seed) {
  using testutil::Put16;
  using testutil::Put32;
  const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(b, 54 + stride * uint32_t(h));
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, uint32_t(w));
  Put32(b, uint32_t(topDown ? -h : h));
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);  // uncompressed
  Put32(b, stride * uint32_t(h));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (uint32_t i = 0; i < stride * uint32_t(h); ++i) {
    seed = seed * 1664525u + 1013904223u;
    b.push_back(uint8_t(seed >> 24));
  }
  return std::string(b.begin(), b.end());
}

class ConvertFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pv_convert_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // The bytes a load into a bitmap and a save give.
  std::string LoadSave(const std::string& in, const std::string& out, const Adjust& adjust) {
    TBitmap bitmap;
    TPictavoIO io;
    io.SetAttachedBitmap(&bitmap);
    io.LoadFromFile(in);
    EXPECT_FALSE(io.Aborting) << io.LastError().Message;
    if (adjust) adjust(io.IOParams());
    io.SaveToFile(out);
    EXPECT_FALSE(io.Aborting) << io.LastError().Message;
    return ReadAll(out);
  }
  // The bytes ConvertFile gives, how many times progress reached 100 and
  // how many reports there were (a writer alone reports once per row).
  std::string Convert(const std::string& in, const std::string& out, const Adjust& adjust,
                      int* completions = nullptr, int* reports = nullptr) {
    TPictavoIO io;
    int done = 0, all = 0;
    io.OnProgress = [&](TObject*, int per) {
      done += per == 100;
      ++all;
    };
    io.ConvertFile(in, out, adjust);
    EXPECT_FALSE(io.Aborting) << io.LastError().Message;
    if (completions) *completions = done;
    if (reports) *reports = all;
    return ReadAll(out);
  }
  fs::path dir_;
};

struct TOutput {
  const char* ext;
  Adjust adjust;
};

std::vector<TOutput> Outputs() {
  return {
      {"jpg", {}},
      {"jpg", [](TIOParamsVals& p) { p.JPEG_Quality = 90; }},
      {"jpg", [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_CMYK; }},
      {"jpg", [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_GRAYLEV; }},
      {"jpg", [](TIOParamsVals& p) { p.JPEG_Progressive = true, p.JPEG_OptimalHuffman = true; }},
      {"png", {}},
      {"png", [](TIOParamsVals& p) { p.PNG_Filter = ioPNG_FILTER_SUB, p.PNG_Compression = 9; }},
      {"png", [](TIOParamsVals& p) { p.PNG_Filter = ioPNG_FILTER_PAETH; }},
  };
}

// Odd widths exercise every tail of the row conversions.
TEST_F(ConvertFileTest, SameBytesAsLoadAndSaveOnOddWidths) {
  for (int kind : {5, 6}) {
    for (int w : {1, 3, 5, 7, 31, 33}) {
      const std::string in = Path("in.p" + std::to_string(kind) + ".ppm");
      WriteAll(in, Pnm(kind, w, 9, 255, uint32_t(w * 31 + kind)));
      int index = 0;
      for (const TOutput& o : Outputs()) {
        SCOPED_TRACE("P" + std::to_string(kind) + " width " + std::to_string(w) + " output " +
                     std::to_string(index++));
        const std::string expected = LoadSave(in, Path(std::string("ref.") + o.ext), o.adjust);
        int completions = 0;
        const std::string got =
            Convert(in, Path(std::string("out.") + o.ext), o.adjust, &completions);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(got, expected);
        // Streamed rows report one run to 100; a PGM written as PNG becomes a
        // palette image, which needs the whole picture: load, then save.
        const bool streamed = kind == 6 || std::string(o.ext) == "jpg";
        EXPECT_EQ(completions, streamed ? 1 : 2);
      }
    }
  }
}

// Rows are read in chunks of about 256 KiB: a picture of several chunks, and
// one cut in the middle of a row of its second chunk.
TEST_F(ConvertFileTest, PicturesOfSeveralReadChunks) {
  const std::string in = Path("tall.ppm");
  const std::string whole = Pnm(6, 2001, 130, 255, 9);  // 6003-byte rows, 43 to a chunk
  WriteAll(in, whole);
  for (const char* ext : {"jpg", "png"}) {
    SCOPED_TRACE(ext);
    int completions = 0;
    EXPECT_EQ(Convert(in, Path(std::string("out.") + ext), {}, &completions),
              LoadSave(in, Path(std::string("ref.") + ext), {}));
    EXPECT_EQ(completions, 1);
  }
  const size_t header = whole.size() - size_t(2001) * 3 * 130;
  WriteAll(Path("cut.ppm"), whole.substr(0, header + size_t(2001) * 3 * 60 + 1000));
  TPictavoIO io;
  io.ConvertFile(Path("cut.ppm"), Path("cut.png"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(io.LastError().Code, TPVErrorCode::Truncated);
  EXPECT_FALSE(fs::exists(Path("cut.png")));
}

// 24-bit BMP rows stream too, in either row order, with row padding, across
// read chunks (6004-byte rows, 43 to a chunk); a bottom-up file cut short
// lacks its top rows, so it fails at once.
TEST_F(ConvertFileTest, UncompressedBmpRowsInBothOrders) {
  for (bool topDown : {false, true}) {
    for (int w : {1, 3, 5, 7, 31, 33, 2001}) {
      const int h = w == 2001 ? 130 : 9;
      const std::string in = Path("in.bmp");
      WriteAll(in, Bmp24(w, h, topDown, uint32_t(w + topDown)));
      for (const TOutput& o : Outputs()) {
        SCOPED_TRACE(std::string(topDown ? "top-down" : "bottom-up") + " width " +
                     std::to_string(w) + " " + o.ext);
        int completions = 0, reports = 0;
        EXPECT_EQ(Convert(in, Path(std::string("out.") + o.ext), o.adjust, &completions, &reports),
                  LoadSave(in, Path(std::string("ref.") + o.ext), o.adjust));
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(reports, h);  // the writer's, one per row: nothing was loaded first
      }
    }
  }
  const std::string whole = Bmp24(40, 30, false, 5);
  WriteAll(Path("cut.bmp"), whole.substr(0, whole.size() - 200));
  TPictavoIO io;
  int reports = 0;
  io.OnProgress = [&](TObject*, int) { ++reports; };
  io.ConvertFile(Path("cut.bmp"), Path("cut.jpg"));
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(io.LastError().Code, TPVErrorCode::Truncated);
  EXPECT_EQ(reports, 0);
  EXPECT_FALSE(fs::exists(Path("cut.jpg")));
}

TEST_F(ConvertFileTest, OtherSourcesAndLayoutsGoThroughABitmap) {
  const std::string deep = Path("deep.ppm");
  WriteAll(deep, Pnm(6, 13, 7, 65535, 5));
  const std::string grey = Path("grey.pgm");
  WriteAll(grey, Pnm(5, 13, 7, 100, 6));
  const std::string bmp = Path("picture.bmp");
  {
    TBitmap b;
    TPictavoIO io;
    io.SetAttachedBitmap(&b);
    io.LoadFromFile(deep);
    io.IOParams().BitsPerSample = 4;  // a palette BMP, which the rows cannot give
    io.IOParams().SamplesPerPixel = 1;
    io.SaveToFile(bmp);
    ASSERT_FALSE(io.Aborting);
  }
  const Adjust interlace = [](TIOParamsVals& p) { p.PNG_Interlaced = true; };
  const Adjust bilevel = [](TIOParamsVals& p) { p.BitsPerSample = 1; };
  // Loads and saves of PNM sources report two runs to 100; other formats'
  // progress is not counted here.
  struct Case {
    std::string in, ext;
    Adjust adjust;
    bool pnmToStreamingWriter;
  };
  const std::vector<Case> cases = {{deep, "jpg", {}, true},
                                   {grey, "png", {}, true},
                                   {Path("rgb.ppm"), "png", interlace, true},
                                   {Path("rgb.ppm"), "png", bilevel, true},
                                   {bmp, "jpg", {}, false},
                                   {bmp, "png", {}, false},
                                   {deep, "bmp", {}, false}};
  WriteAll(Path("rgb.ppm"), Pnm(6, 13, 7, 255, 7));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in + " -> " + c.ext);
    const std::string expected = LoadSave(c.in, Path("ref." + c.ext), c.adjust);
    int completions = 0;
    EXPECT_EQ(Convert(c.in, Path("out." + c.ext), c.adjust, &completions), expected);
    if (c.pnmToStreamingWriter) {
      EXPECT_EQ(completions, 2);
    }
  }
}

// Damage the reader recovered from is reported with the conversion too.
TEST_F(ConvertFileTest, KeepsTheLoadsWarnings) {
  const std::string ppm = Path("in.ppm");
  WriteAll(ppm, Pnm(6, 64, 48, 255, 21));
  const std::string jpeg = Path("whole.jpg");
  Convert(ppm, jpeg, {});
  const std::string bytes = ReadAll(jpeg);
  WriteAll(Path("cut.jpg"), bytes.substr(0, bytes.size() * 2 / 3));
  TBitmap bitmap;
  TPictavoIO loader;
  loader.SetAttachedBitmap(&bitmap);
  loader.LoadFromFile(Path("cut.jpg"));
  ASSERT_FALSE(loader.Aborting) << loader.LastError().Message;
  const std::vector<std::string> expected = loader.Diagnostics().Warnings;
  ASSERT_FALSE(expected.empty());
  TPictavoIO io;
  io.ConvertFile(Path("cut.jpg"), Path("cut.png"));
  ASSERT_FALSE(io.Aborting) << io.LastError().Message;
  EXPECT_EQ(io.Diagnostics().Warnings, expected);
}

TEST_F(ConvertFileTest, LeavesTheAttachedPictureAndReportsTheSourceParameters) {
  const std::string in = Path("in.ppm");
  WriteAll(in, Pnm(6, 21, 4, 255, 11));
  for (const char* out : {"a.jpg", "a.tif"}) {
    TBitmap picture;
    picture.SetPixelFormat(pf24bit);
    picture.SetSize(3, 2);
    picture.ScanLine(1)[4] = 77;
    TPictavoIO io;
    io.SetAttachedBitmap(&picture);
    int seenWidth = 0;
    io.ConvertFile(in, Path(out), [&](TIOParamsVals& p) { seenWidth = p.Width; });
    ASSERT_FALSE(io.Aborting) << io.LastError().Message;
    EXPECT_EQ(seenWidth, 21);
    EXPECT_EQ(picture.GetWidth(), 3);
    EXPECT_EQ(picture.GetHeight(), 2);
    EXPECT_EQ(picture.ScanLine(1)[4], 77);
    const TIOParamsVals& p = io.IOParams();
    EXPECT_EQ(p.Width, 21);
    EXPECT_EQ(p.Height, 4);
    EXPECT_EQ(p.FileType, ftPXM);
    EXPECT_EQ(p.FileName, in);
    ASSERT_EQ(p.PXM_Comments.Count(), 1);
    EXPECT_EQ(p.PXM_Comments.Get(0), "made by the test");
  }
}

TEST_F(ConvertFileTest, FailuresKeepTheDestinationAndSayWhy) {
  const std::string out = Path("out.jpg");
  const std::string old = "the picture that was here";
  const std::string whole = Pnm(6, 40, 30, 255, 3);
  struct Case {
    std::string name, data;
    TPVErrorCode code;
  };
  const std::vector<Case> cases = {
      {"cut.ppm", whole.substr(0, whole.size() - 100), TPVErrorCode::Truncated},
      {"header.ppm", "P6\n40 30\n255\n", TPVErrorCode::Truncated},
      {"magic.ppm", "P9\n4 3\n255\nxxxxxxxx", TPVErrorCode::UnknownFormat},
      {"size.ppm", "P6\n0 3\n255\n", TPVErrorCode::Corrupt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll(Path(c.name), c.data);
    WriteAll(out, old);
    TPictavoIO io;
    io.ConvertFile(Path(c.name), out);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(io.LastError().Code, c.code) << io.LastError().Message;
    EXPECT_EQ(ReadAll(out), old);
  }
  // Cancelled halfway through the rows.
  WriteAll(Path("whole.ppm"), whole);
  TPictavoIO io;
  io.OnProgress = [&](TObject*, int per) {
    if (per >= 50) io.Aborting = true;
  };
  io.ConvertFile(Path("whole.ppm"), out);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(io.LastError().Code, TPVErrorCode::Cancelled);
  EXPECT_EQ(ReadAll(out), old);
  // Nothing but the inputs and the old file is left in the folder.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, int(cases.size()) + 2);
}

}  // namespace
}  // namespace pictavo
