// `pictavo convert`: standard input and output, batches with a bad file,
// every frame of a GIF or TIFF, the JPEG quality rule, the progress bar and
// the reasons of failures.
#include <regex>

#include "tests/apps/cli_image_util.h"

namespace pictavo::clitest {
namespace {

using CliConvertTest = CliImageTest;

TEST_F(CliConvertTest, StandardInputAndOutputRoundTrip) {
  TBitmap source, viaStdout, viaStdin;
  PaintPattern(source, 13, 7, 1);
  const std::string png = Save(source, "a.png");
  // File to standard output: the format from --format.
  // (A command group, so that its own redirection of standard output holds.)
  CliResult out = RunShell("{ " + CliCommand({"convert", png, "-", "--format", "bmp"}) + " >" +
                               ShellQuote(Path("o.bmp")) + "; }",
                           dir_);
  EXPECT_EQ(out.code, 0) << out.err;
  EXPECT_EQ(ReadAll(Path("o.bmp")).substr(0, 2), "BM");
  Load(Path("o.bmp"), viaStdout);
  ExpectSamePixels(source, viaStdout, "png -> stdout bmp");
  // Standard input to a file: the format of the input from its content.
  CliResult in = Run({"convert", "-", Path("b.tif")}, Path("o.bmp"));
  ASSERT_EQ(in.code, 0) << in.err;
  Load(Path("b.tif"), viaStdin);
  ExpectSamePixels(source, viaStdin, "stdin bmp -> tif");
  // Standard output without --format keeps the input's format.
  CliResult same = RunShell(
      "{ " + CliCommand({"convert", png, "-"}) + " >" + ShellQuote(Path("same")) + "; }", dir_);
  EXPECT_EQ(same.code, 0);
  EXPECT_EQ(ReadAll(Path("same")).substr(1, 3), "PNG");
}

TEST_F(CliConvertTest, BatchGoesOnAfterABadFileAndFailsAtTheEnd) {
  TBitmap a, c, backA, backC;
  PaintPattern(a, 9, 5, 2);
  PaintPattern(c, 4, 11, 5);
  const std::string first = Save(a, "first.png");
  const std::string bad = Path("bad.png");
  WriteAll(bad, "\x89PNG\r\n\x1a\n but nothing after the signature");
  const std::string last = Save(c, "last.gif");
  const std::string out = Path("out");
  CliResult r =
      Run({"convert", first, bad, Path("missing.tga"), last, "-o", out, "--format", "bmp"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("4 files: 2 converted, 2 failed"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("pictavo: cannot read " + bad + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("pictavo: cannot read " + Path("missing.tga") + ": no such file"),
            std::string::npos)
      << r.err;
  Load(out + "/first.bmp", backA);
  ExpectSamePixels(a, backA, "first");
  Load(out + "/last.bmp", backC);
  ExpectSamePixels(c, backC, "last");
  EXPECT_FALSE(std::filesystem::exists(out + "/bad.bmp"));
  EXPECT_FALSE(std::filesystem::exists(out + "/missing.bmp"));
}

TEST_F(CliConvertTest, BatchDoesNotOverwriteAnOutputOfTheSameName) {
  TBitmap png, gif, back;
  PaintPattern(png, 6, 6, 1);
  PaintPattern(gif, 5, 7, 6);
  const std::string first = Save(png, "same.png");
  const std::string second = Save(gif, "same.gif");
  const std::string out = Path("out");
  CliResult r = Run({"convert", first, second, "-o", out, "--format", "tif"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot write " + out + "/same.tif: already written"), std::string::npos)
      << r.err;
  Load(out + "/same.tif", back);
  ExpectSamePixels(png, back, "the first input's output stays");
}

TEST_F(CliConvertTest, AllFramesGifToTiffToGifKeepsFramesAndPixels) {
  constexpr int kFrames = 3;
  TBitmap frames[kFrames];
  const std::string gif = Path("anim.gif");
  for (int i = 0; i < kFrames; ++i) {
    PaintPattern(frames[i], 12, 8, i * 3);
    TPictavoIO io;
    io.SetAttachedBitmap(&frames[i]);
    io.IOParams().GIF_ImageIndex = i;
    if (i == 0)
      io.SaveToFile(gif);
    else
      io.InsertToFileGif(gif);
    ASSERT_FALSE(io.Aborting) << i;
  }
  CliResult toTiff = Run({"convert", gif, Path("pages.tif"), "--all-frames"});
  ASSERT_EQ(toTiff.code, 0) << toTiff.err;
  CliResult toGif = Run({"convert", Path("pages.tif"), Path("back.gif"), "--all-frames"});
  ASSERT_EQ(toGif.code, 0) << toGif.err;
  TPictavoIO counter;
  EXPECT_EQ(counter.EnumTIFFIm(Path("pages.tif")), kFrames);
  EXPECT_EQ(counter.EnumGifIm(Path("back.gif")), kFrames);
  for (int i = 0; i < kFrames; ++i) {
    TBitmap page, back;
    Load(Path("pages.tif"), page, i);
    ExpectSamePixels(frames[i], page, "tiff page " + std::to_string(i));
    Load(Path("back.gif"), back, i);
    ExpectSamePixels(frames[i], back, "gif frame " + std::to_string(i));
  }
  // Without --all-frames only the first frame goes over; a one-image
  // output format refuses --all-frames.
  ASSERT_EQ(Run({"convert", gif, Path("one.tif")}).code, 0);
  EXPECT_EQ(counter.EnumTIFFIm(Path("one.tif")), 1);
  CliResult png = Run({"convert", gif, Path("x.png"), "--all-frames"});
  EXPECT_EQ(png.code, 1);
  EXPECT_NE(png.err.find("other formats hold one image"), std::string::npos) << png.err;
}

// ImageMagick's estimate of a JPEG's quality.
int IdentifyQuality(const std::string& path, const std::filesystem::path& scratch) {
  CliResult r = RunShell("identify -format %Q " + ShellQuote(path), scratch);
  return r.code == 0 ? std::atoi(r.out.c_str()) : -1;
}

TEST_F(CliConvertTest, JpegKeepsTheSourceQualityElseNinety) {
  if (!HaveTool("identify")) GTEST_SKIP() << "ImageMagick's identify is not installed";
  TBitmap b;
  PaintPattern(b, 64, 48, 0);
  for (int quality : {35, 62, 75, 95}) {
    const std::string src = Save(b, "q" + std::to_string(quality) + ".jpg", quality);
    const int sourceEstimate = IdentifyQuality(src, dir_);
    ASSERT_NEAR(sourceEstimate, quality, 2) << "the source itself";
    const std::string out = Path("out" + std::to_string(quality) + ".jpg");
    ASSERT_EQ(Run({"convert", src, out}).code, 0);
    EXPECT_NEAR(IdentifyQuality(out, dir_), sourceEstimate, 2) << quality;
  }
  const std::string png = Save(b, "p.png");
  ASSERT_EQ(Run({"convert", png, Path("from-png.jpg")}).code, 0);
  EXPECT_NEAR(IdentifyQuality(Path("from-png.jpg"), dir_), 90, 2);
  // An explicit --param wins.
  ASSERT_EQ(Run({"convert", png, Path("p40.jpg"), "--param", "JPEG_Quality=40"}).code, 0);
  EXPECT_NEAR(IdentifyQuality(Path("p40.jpg"), dir_), 40, 2);
}

TEST_F(CliConvertTest, ProgressReachesOneHundredPercentWithTheFileName) {
  TBitmap b;
  PaintPattern(b, 300, 200, 4);
  const std::string png = Save(b, "big.png");
  CliResult r = Run({"convert", png, Path("big.tif")}, "", "PICTAVO_PROGRESS=1");
  ASSERT_EQ(r.code, 0) << r.err;
  const size_t writing = r.err.find("writing " + Path("big.tif"));
  ASSERT_NE(writing, std::string::npos) << r.err;
  const std::string afterWriting = r.err.substr(writing);
  const std::string lastUpdate = afterWriting.substr(afterWriting.rfind('\r') + 1);
  EXPECT_NE(lastUpdate.find("100%"), std::string::npos) << afterWriting;
  // Without a terminal and without the variable, standard error stays quiet.
  CliResult quiet = Run({"convert", png, Path("quiet.tif")});
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CliConvertTest, FailuresNameTheFileAndTheReason) {
  CliResult missing = Run({"convert", Path("nothing.png"), Path("o.bmp")});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err, "pictavo: cannot read " + Path("nothing.png") + ": no such file\n");
  CliResult folder = Run({"convert", dir_.string(), Path("o.bmp")});
  EXPECT_EQ(folder.code, 1);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  WriteAll(Path("text.png"), "just some text, not an image at all\n");
  CliResult text = Run({"convert", Path("text.png"), Path("o.bmp")});
  EXPECT_EQ(text.code, 1);
  EXPECT_EQ(text.err.rfind("pictavo: cannot read " + Path("text.png") + ": ", 0), 0u) << text.err;
  EXPECT_FALSE(std::filesystem::exists(Path("o.bmp")));
}

// A PPM, PGM or 24-bit BMP into JPEG or PNG goes a row at a time: the same
// bytes as the library's load and save (JPEG at the default quality of 90), a misnamed file
// is still read by its content, and a file cut short writes nothing.
TEST_F(CliConvertTest, PnmToJpegAndPngStreamsTheSameBytes) {
  TBitmap b;
  PaintPattern(b, 33, 21, 5);
  const std::string ppm = Save(b, "scan.ppm");
  const std::string bmp = Save(b, "scan.bmp");
  for (const char* ext : {"jpg", "png", "bmp.jpg"}) {
    const std::string out = Path(std::string("scan.") + ext);
    const std::string in = std::string(ext) == "bmp.jpg" ? bmp : ppm;
    CliResult r = Run({"convert", in, out}, "", "PICTAVO_PROGRESS=1");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, in + " -> " + out + " (33 x 21)\n");
    // Rows are written as they are read: no separate reading step.
    EXPECT_EQ(r.err.find("reading"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("writing " + out), std::string::npos) << r.err;
    TBitmap loaded;
    TPictavoIO io;
    io.SetAttachedBitmap(&loaded);
    io.LoadFromFile(in);
    io.IOParams().JPEG_Quality = 90;
    const std::string reference = Path(std::string("reference.") + ext);
    io.SaveToFile(reference);
    ASSERT_FALSE(io.Aborting);
    EXPECT_EQ(ReadAll(out), ReadAll(reference)) << ext;
  }
  // A PNG under a PPM name.
  const std::string misnamed = Path("really-png.ppm");
  std::filesystem::copy_file(Save(b, "p.png"), misnamed);
  CliResult r = Run({"convert", misnamed, Path("from-misnamed.jpg")});
  ASSERT_EQ(r.code, 0) << r.err;
  TBitmap back;
  Load(Path("from-misnamed.jpg"), back);
  EXPECT_EQ(back.GetWidth(), 33);
  // Cut short.
  const std::string whole = ReadAll(ppm);
  WriteAll(Path("cut.ppm"), whole.substr(0, whole.size() - 50));
  CliResult cut = Run({"convert", Path("cut.ppm"), Path("cut.jpg")});
  EXPECT_EQ(cut.code, 1);
  EXPECT_EQ(cut.err.rfind("pictavo: cannot read " + Path("cut.ppm") + ": ", 0), 0u) << cut.err;
  EXPECT_FALSE(std::filesystem::exists(Path("cut.jpg")));
}

}  // namespace
}  // namespace pictavo::clitest
