// The command line's contract with its user: help and version on standard
// output with exit 0, usage errors with exit 2 that write nothing, the
// formats table and the --param fields with their checks.
#include <regex>
#include <set>

#include "core/pvversion.h"
#include "tests/apps/cli_test_util.h"

namespace pictavo::clitest {
namespace {

using CliUsageTest = CliTest;

TEST_F(CliUsageTest, HelpAndVersionGoToStandardOutputWithExitZero) {
  CliResult help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("usage: pictavo COMMAND"), std::string::npos);
  EXPECT_TRUE(help.err.empty());

  CliResult version = Run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, std::string("pictavo ") + PICTAVO_VERSION_STRING + "\n");
  EXPECT_EQ(std::string(PICTAVO_VERSION_STRING), std::to_string(PICTAVO_VERSION_MAJOR) + "." +
                                                     std::to_string(PICTAVO_VERSION_MINOR) + "." +
                                                     std::to_string(PICTAVO_VERSION_PATCH));
  EXPECT_STREQ(PVVersionString(), PICTAVO_VERSION_STRING);

  CliResult none = Run({});
  EXPECT_EQ(none.code, 2);
  EXPECT_TRUE(none.out.empty());
  EXPECT_EQ(Run({"no-such-command"}).code, 2);
}

TEST_F(CliUsageTest, EveryCommandHasHelpOnStandardOutput) {
  CliResult help = Run({"--help"});
  // The command list: two spaces, then the name.
  std::set<std::string> names;
  std::regex line("\n  ([a-z][a-z-]*) ");
  for (auto it = std::sregex_iterator(help.out.begin(), help.out.end(), line);
       it != std::sregex_iterator(); ++it)
    names.insert((*it)[1]);
  for (const char* expected : {"convert", "info", "formats", "fields", "iptc", "demo"})
    EXPECT_TRUE(names.count(expected)) << expected;
  for (const std::string& name : names) {
    CliResult r = Run({name, "--help"});
    EXPECT_EQ(r.code, 0) << name;
    EXPECT_EQ(r.out.rfind("usage: pictavo " + name, 0), 0u) << name << ": " << r.out;
  }
}

TEST_F(CliUsageTest, ConvertUsageErrorsExitTwoAndWriteNothing) {
  const std::string in = Path("in.bmp");
  WriteAll(in, "not read: usage errors come first");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"convert", in, ""}, "output name is empty"},
      {{"convert", in}, "missing output name"},
      {{"convert", in, Path("o.jpg"), "--param", "JPEG_Quality=500"},
       "JPEG_Quality must be 1 to 100, got 500"},
      {{"convert", in, Path("o.jpg"), "--param", "JPEG_Quality=0"}, "must be 1 to 100"},
      {{"convert", in, Path("o.png"), "--param", "PNG_Compression=10"}, "must be 0 to 9"},
      {{"convert", in, Path("o.gif"), "--index", "-1"}, "--index must be 0 or more"},
      {{"convert", in, Path("o.tif"), "--param", "TIFF_ImageIndex=-3"}, "must be 0 or more"},
      {{"convert", in, Path("o.jpg"), "--param", "JPEG_Qualty=80"},
       "unknown field \"JPEG_Qualty\"; did you mean JPEG_Quality"},
      {{"convert", in, Path("o.jpg"), "--param", "quality=80"}, "did you mean JPEG_Quality"},
      {{"convert", in, Path("o.jpg"), "--param", "JPEG_Quality=high"}, "is not a number"},
      {{"convert", in, Path("o.xyz")}, nullptr},  // no writer: a failure, checked below
      {{"convert", in, Path("o.png"), "--bogus"}, "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    CliResult r = Run(c.args);
    if (!c.message) continue;
    EXPECT_EQ(r.code, 2) << c.message << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  // Nothing was written beside the input (and the usage streams).
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_TRUE(entry.path().filename().string()[0] == '.' || entry.path() == in) << entry.path();
}

TEST_F(CliUsageTest, FieldsListsTypesDefaultsAndAllowedValues) {
  CliResult jpeg = Run({"fields", "jpeg"});
  ASSERT_EQ(jpeg.code, 0) << jpeg.err;
  EXPECT_TRUE(std::regex_search(jpeg.out, std::regex("\nJPEG_Quality +integer +50 .*1 to 100")))
      << jpeg.out;
  EXPECT_TRUE(std::regex_search(jpeg.out, std::regex("\nJPEG_DCTMethod +enumeration +ioJPEG_ISLOW "
                                                     "+ioJPEG_ISLOW ioJPEG_IFAST ioJPEG_FLOAT")))
      << jpeg.out;
  EXPECT_EQ(jpeg.out.find("PNG_"), std::string::npos);

  CliResult all = Run({"fields"});
  ASSERT_EQ(all.code, 0);
  for (const char* field : {"TIFF_Compression", "GIF_Interlaced", "PNG_Compression", "TGA_Gamma",
                            "BMP_Version", "PCX_Compression"})
    EXPECT_NE(all.out.find(std::string("\n") + field + " "), std::string::npos) << field;
  // Function values and derived fields cannot be set and are not listed.
  EXPECT_EQ(all.out.find("LZWCompFunc"), std::string::npos);
  EXPECT_EQ(all.out.find("ColorMapCount"), std::string::npos);

  CliResult bad = Run({"fields", "nosuch"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_NE(bad.err.find("no format \"nosuch\""), std::string::npos);
}

// key -> (reads, writes, frames) as the library's codecs stand.
struct FormatRow {
  int key;
  bool read, write;
  const char* frames;
};

TEST_F(CliUsageTest, FormatsTableSaysWhatEachKeyReadsAndWrites) {
  const FormatRow expected[] = {{1, true, true, "read+write"},
                                {2, true, true, "read+write"},
                                {3, true, true, "one image"},
                                {4, true, true, "one image"},
                                {5, true, true, "one image"},
                                {6, true, false, "read"},
                                {7, true, false, "read"},
                                {8, true, true, "one image"},
                                // Metafiles are read by drawing them; nothing writes them.
                                {9, true, false, "one image"},
                                {10, true, false, "one image"},
                                {11, true, true, "one image"},
                                {12, true, true, "one image"}};
  CliResult r = Run({"formats"});
  ASSERT_EQ(r.code, 0);
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);  // heading
  int rows = 0;
  while (std::getline(lines, line)) {
    int key = std::atoi(line.c_str());
    if (key < 1 || key > 12) continue;
    const FormatRow& e = expected[key - 1];
    // Columns after the description: read, write, detect, frames.
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m,
                                  std::regex(" (yes|-) +(yes|read-only|-) +(yes|-) +"
                                             "(read\\+write|read|one image) ")))
        << line;
    EXPECT_EQ(m[1] == "yes", e.read) << line;
    EXPECT_EQ(m[2] == "yes", e.write) << line;
    if (e.read && !e.write) {
      EXPECT_EQ(m[2], "read-only") << line;
    }
    EXPECT_EQ(m[4], e.frames) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 12);
}

}  // namespace
}  // namespace pictavo::clitest
