// `pictavo info` and `pictavo iptc`: typed JSON for every corpus file,
// valid UTF-8 whatever the name, defaults marked, the right reason for each
// kind of failure, EXIF and IPTC checked against exiftool.
#include <lcms2.h>

#include "tests/apps/cli_image_util.h"

namespace pictavo::clitest {
namespace {

using CliInfoTest = CliImageTest;

// Python checks the JSON: it must parse, and the common fields must have
// their types.  Prints the number of files described.
constexpr const char* kJsonCheck = R"PY(
import json, sys
data = json.load(open(sys.argv[1], encoding="utf-8"))
assert isinstance(data, list)
described = 0
for item in data:
    assert isinstance(item["file"], str)
    if "error" in item:
        continue
    for key in ("width", "height", "bits per sample", "dpi x", "file type", "palette colours"):
        assert type(item[key]) is int, (item["file"], key, item[key])
    assert isinstance(item["defaults"], list)
    for key in ("frames", "pages", "IPTC", "markers", "PXM_Comments"):
        if key in item:
            assert isinstance(item[key], list), (item["file"], key)
    for key in ("animated", "PNG_Interlaced", "JPEG_Progressive", "TGA_Compressed"):
        if key in item:
            assert type(item[key]) is bool, (item["file"], key)
    described += 1
print(described)
)PY";

int CheckJson(const std::string& json, const std::filesystem::path& dir, std::string& problem) {
  WriteAll(dir / "check.py", kJsonCheck);
  WriteAll(dir / "info.json", json);
  CliResult r = RunShell("python3 " + ShellQuote((dir / "check.py").string()) + " " +
                             ShellQuote((dir / "info.json").string()),
                         dir);
  problem = r.err;
  return r.code == 0 ? std::atoi(r.out.c_str()) : -1;
}

TEST_F(CliInfoTest, JsonOfEveryCorpusFileParsesWithTypedValues) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 is not installed";
  if (!std::filesystem::is_directory(PICTAVO_CORPUS_DIR))
    GTEST_SKIP() << "the shared corpus is not beside this checkout";
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(PICTAVO_CORPUS_DIR)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && ext != ".md" && e.path().filename() != "LICENSE")
      files.push_back(e.path().string());
  }
  ASSERT_GT(files.size(), 50u);
  std::vector<std::string> args = {"info", "--json"};
  args.insert(args.end(), files.begin(), files.end());
  CliResult r = Run(args);
  std::string problem;
  const int described = CheckJson(r.out, dir_, problem);
  EXPECT_GT(described, static_cast<int>(files.size() * 3 / 4)) << problem;
}

TEST_F(CliInfoTest, JsonStaysValidUtf8WhateverTheFileName) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 is not installed";
  TBitmap b;
  PaintPattern(b, 5, 4, 0);
  const std::string name = "caf\xC3\xA9-\xFF\xFE-\"quoted\"\x01.png";
  Save(b, name);
  CliResult r = Run({"info", "--json", Path(name)});
  ASSERT_EQ(r.code, 0) << r.err;
  std::string problem;
  EXPECT_EQ(CheckJson(r.out, dir_, problem), 1) << problem << r.out;
  // The valid é stays, the two invalid bytes become U+FFFD each.
  EXPECT_NE(r.out.find("caf\xC3\xA9-\xEF\xBF\xBD\xEF\xBF\xBD-\\\"quoted\\\"\\u0001.png"),
            std::string::npos)
      << r.out;
}

// A TGA of 2 x 1 pixels without footer nor extension area.
std::string BareTga() {
  std::string h(18, '\0');
  h[2] = 2;  // uncompressed true colour
  h[12] = 2, h[14] = 1, h[16] = 24;
  return h + std::string("\x01\x02\x03\x04\x05\x06", 6);
}

TEST_F(CliInfoTest, ValuesTheFileDoesNotStoreAreMarkedAsDefaults) {
  WriteAll(Path("bare.tga"), BareTga());
  CliResult r = Run({"info", "--json", Path("bare.tga")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"defaults\": [\"dpi x\", \"dpi y\", \"TGA_Date\", \"TGA_Gamma\", "
                       "\"TGA_AspectRatio\"]"),
            std::string::npos)
      << r.out;
  CliResult text = Run({"info", Path("bare.tga")});
  EXPECT_NE(text.out.find("TGA_Gamma:         2.2  (default: not stored in the file)"),
            std::string::npos)
      << text.out;
  // A PNG with a pHYs chunk stores its resolution: no default marks.
  TBitmap b;
  PaintPattern(b, 3, 3, 0);
  TPictavoIO io;
  io.SetAttachedBitmap(&b);
  io.IOParams().DpiX = io.IOParams().DpiY = 300;
  io.SaveToFile(Path("dpi.png"));
  CliResult png = Run({"info", "--json", Path("dpi.png")});
  EXPECT_NE(png.out.find("\"dpi x\": 300, \"dpi y\": 300"), std::string::npos) << png.out;
  EXPECT_NE(png.out.find("\"defaults\": []"), std::string::npos) << png.out;
}

TEST_F(CliInfoTest, EachFailureSaysWhy) {
  WriteAll(Path("notes.txt"), "hello, these are notes\n");
  std::filesystem::create_directory(Path("folder.png"));
  CliResult r = Run({"info", Path("absent.jpg"), Path("folder.png"), Path("notes.txt")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot read " + Path("absent.jpg") + ": no such file\n"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("cannot read " + Path("folder.png") + ": is a folder"), std::string::npos);
  EXPECT_NE(r.err.find("cannot read " + Path("notes.txt") + ": not an image"),
            std::string::npos);
  if (geteuid() != 0) {  // root reads everything
    TBitmap b;
    PaintPattern(b, 2, 2, 0);
    Save(b, "locked.png");
    std::filesystem::permissions(Path("locked.png"), std::filesystem::perms::none);
    CliResult locked = Run({"info", Path("locked.png")});
    EXPECT_NE(locked.err.find("permission denied"), std::string::npos) << locked.err;
  }
}

TEST_F(CliInfoTest, ExifFromAFileMadeWithExiftool) {
  if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TBitmap b;
  PaintPattern(b, 16, 16, 0);
  const std::string jpg = Save(b, "photo.jpg");
  CliResult tag = RunShell(
      "exiftool -q -overwrite_original -Orientation#=6 -Make=Pictacam "
      "-Model='P 1' -DateTimeOriginal='2024:05:06 07:08:09' "
      "-ExposureTime=0.004 " +
          ShellQuote(jpg),
      dir_);
  ASSERT_EQ(tag.code, 0) << tag.err;
  CliResult r = Run({"info", "--json", jpg});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(
      r.out.find("\"EXIF\": {\"orientation\": 6, \"make\": \"Pictacam\", \"model\": \"P 1\", "
                 "\"date\": \"2024:05:06 07:08:09\", \"exposure time\": 0.004, \"GPS\": false}"),
      std::string::npos)
      << r.out;
}

TEST_F(CliInfoTest, IptcAddSetDeleteWithUtf8ReadBackByExiftool) {
  TBitmap b;
  PaintPattern(b, 8, 8, 0);
  const std::string jpg = Save(b, "tagged.jpg");
  const std::string caption =
      "Gr\xC3\xBC\xC3\x9F"
      "e aus K\xC3\xB6ln \xE2\x82\xAC";
  CliResult set = Run({"iptc", jpg, "--set", "2:120=" + caption, "--add", "2:25=one", "--add",
                       "2:25=two", "--add", "2:25=three"});
  ASSERT_EQ(set.code, 0) << set.err;
  EXPECT_EQ(set.out, "1:90=\\x1B%G\n2:120=" + caption + "\n2:25=one\n2:25=two\n2:25=three\n");
  CliResult edit =
      Run({"iptc", jpg, "--delete", "2:25", "--add", "2:25=only", "--set", "2:120=plain"});
  ASSERT_EQ(edit.code, 0) << edit.err;
  EXPECT_EQ(edit.out, "1:90=\\x1B%G\n2:120=plain\n2:25=only\n");
  EXPECT_EQ(Run({"iptc", jpg, "--set", "2:120"}).code, 2);
  EXPECT_EQ(Run({"iptc", jpg, "--delete", "2:x"}).code, 2);
  EXPECT_EQ(Run({"iptc", jpg, "--set", "2:120=\xFF\xFE"}).code, 2);  // not UTF-8
  if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  ASSERT_EQ(Run({"iptc", jpg, "--set", "2:120=" + caption}).code, 0);
  CliResult read =
      RunShell("exiftool -s3 -IPTC:Caption-Abstract -IPTC:Keywords " + ShellQuote(jpg), dir_);
  EXPECT_EQ(read.out, caption + "\nonly\n") << read.err;
}

}  // namespace
}  // namespace pictavo::clitest

namespace pictavo::clitest {
namespace {

// An sRGB profile with its own description, as lcms2 writes it.
std::string ProfileWithDescription(const char* description) {
  cmsHPROFILE profile = cmsCreate_sRGBProfile();
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(mlu, "en", "US", description);
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
  cmsMLUfree(mlu);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

TEST_F(CliInfoTest, IccProfileDescriptionOfAnEmbeddedProfile) {
  if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  TBitmap b;
  PaintPattern(b, 8, 8, 0);
  const std::string jpg = Save(b, "profiled.jpg");
  WriteAll(Path("p.icc"), ProfileWithDescription("Pictavo test profile"));
  CliResult embed = RunShell(
      "exiftool -q -overwrite_original '-ICC_Profile<=" + Path("p.icc") + "' " + ShellQuote(jpg),
      dir_);
  ASSERT_EQ(embed.code, 0) << embed.err;
  CliResult json = Run({"info", "--json", jpg});
  EXPECT_NE(json.out.find("\"ICC profile\": \"Pictavo test profile\""), std::string::npos)
      << json.out;
  CliResult text = Run({"info", jpg});
  EXPECT_NE(text.out.find("ICC profile:       Pictavo test profile\n"), std::string::npos)
      << text.out;
}

}  // namespace
}  // namespace pictavo::clitest
