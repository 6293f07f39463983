// Saving never damages what it replaces: cancelled saves, full disks,
// read-only files, kept modes, symbolic links, planted links, registered
// formats that throw, the only page of a TIFF, and the reasons of failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "codecs/tiff.h"
#include "core/replacefile.h"
#include "formats/registry.h"
#include "io/pictavoio.h"
#include "platform/exceptions.h"
#include "tests/core/replacefile_fixtures.h"

namespace pictavo {
namespace {

namespace fs = std::filesystem;
using pictavo::testing::Listing;
using pictavo::testing::ModeOf;
using pictavo::testing::ReadAll;
using pictavo::testing::TSmallTmpfs;
using pictavo::testing::WriteAll;

// Pixels from a linear congruential generator: noise that does not compress.
void Noise(TBitmap& b, int w, int h, uint32_t seed) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < 3 * w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      row[x] = uint8_t(seed >> 24);
    }
  }
}

void ExpectSamePixels(TBitmap& a, TBitmap& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (int y = 0; y < a.GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(3 * a.GetWidth())), 0) << y;
}

class SaveToFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pv_save_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Noise(image_, 40, 30, 7);
    io_.SetAttachedBitmap(&image_);
    io_.IOParams().GIF_LZWCompFunc = GIFLZWCompress;
    io_.IOParams().GIF_LZWDecompFunc = GIFLZWDecompress;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Loads `name` into a fresh bitmap.
  void LoadBack(const std::string& name, TBitmap& out) {
    TPictavoIO reader;
    reader.SetAttachedBitmap(&out);
    reader.LoadFromFile(name);
    ASSERT_FALSE(reader.Aborting) << reader.LastError().Message;
  }
  // A file holding a different, valid image, and its bytes.
  std::string MakeOriginal(const std::string& name) {
    TBitmap other;
    Noise(other, 5, 4, 99);
    TPictavoIO writer;
    writer.SetAttachedBitmap(&other);
    writer.SaveToFile(name);
    EXPECT_FALSE(writer.Aborting);
    return ReadAll(name);
  }

  fs::path dir_;
  TBitmap image_;
  TPictavoIO io_;
};

TEST_F(SaveToFileTest, CancelledAtThirtyPercentLeavesTheOriginal) {
  for (const char* ext : {"bmp", "png", "tif", "pcx", "tga", "jpg"}) {
    const std::string name = Path(std::string("photo.") + ext);
    const std::string before = MakeOriginal(name);
    std::vector<int> seen;
    io_.OnProgress = [&](TObject*, int per) {
      seen.push_back(per);
      if (per >= 30) io_.Aborting = true;
    };
    io_.SaveToFile(name);
    io_.OnProgress = nullptr;
    ASSERT_FALSE(seen.empty()) << ext;
    EXPECT_GE(seen.back(), 30) << ext;
    EXPECT_TRUE(io_.Aborting) << ext;
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::Cancelled) << ext;
    EXPECT_EQ(ReadAll(name), before) << ext;
    EXPECT_EQ(Listing(dir_).size(), 1u) << ext;  // no temporary file left
    fs::remove(name);
  }
}

TEST_F(SaveToFileTest, FullDiskLeavesTheOriginalAndSaysNoSpace) {
  TSmallTmpfs disk(dir_ / "disk", 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  Noise(image_, 200, 150, 3);  // 90,000 bytes of noise in any format
  for (const char* ext : {"png", "bmp", "tif", "jpg", "tga"}) {
    const std::string name = (disk.Folder() / (std::string("photo.") + ext)).string();
    const std::string before = MakeOriginal(name);
    ASSERT_FALSE(before.empty());
    io_.IOParams().JPEG_Quality = 100;
    io_.SaveToFile(name);
    EXPECT_TRUE(io_.Aborting) << ext;
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::NoSpace) << ext;
    EXPECT_EQ(io_.LastError().Message, "No space left on device: " + name) << ext;
    EXPECT_EQ(ReadAll(name), before) << ext;
    EXPECT_EQ(Listing(disk.Folder()).size(), 1u) << ext;
    fs::remove(name);
  }
}

TEST_F(SaveToFileTest, ReadOnlyFileIsRefused) {
  const std::string name = Path("locked.png");
  const std::string before = MakeOriginal(name);
  ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  io_.SaveToFile(name);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::PermissionDenied);
  EXPECT_EQ(io_.LastError().Message, "Permission denied: " + name);
  EXPECT_EQ(ReadAll(name), before);
  EXPECT_EQ(ModeOf(name), 0444u);
  // The per-format save takes the same path.
  io_.SaveToFileBMP(name);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(ReadAll(name), before);
  EXPECT_EQ(Listing(dir_).size(), 1u);
}

TEST_F(SaveToFileTest, PrivateFileKeepsItsModeAndGetsTheNewImage) {
  const std::string name = Path("private.bmp");
  MakeOriginal(name);
  ASSERT_EQ(::chmod(name.c_str(), 0600), 0);
  io_.SaveToFile(name);
  ASSERT_FALSE(io_.Aborting) << io_.LastError().Message;
  EXPECT_FALSE(io_.LastError());
  EXPECT_EQ(ModeOf(name), 0600u);
  TBitmap back;
  LoadBack(name, back);
  ExpectSamePixels(back, image_);
}

TEST_F(SaveToFileTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
  fs::create_directories(dir_ / "store");
  const std::string real = Path("store/real.tif");
  const std::string link = Path("link.tif");
  MakeOriginal(real);
  fs::create_symlink("store/real.tif", link);
  io_.SaveToFile(link);
  ASSERT_FALSE(io_.Aborting) << io_.LastError().Message;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "store/real.tif");
  TBitmap back;
  LoadBack(real, back);
  ExpectSamePixels(back, image_);
  EXPECT_EQ(Listing(dir_ / "store"), std::set<std::string>{"real.tif"});
}

TEST_F(SaveToFileTest, PlantedLinkAtAnOldTemporaryNameIsNotFollowed) {
  const std::string photo = Path("photo.jpg");
  const std::string victim = Path("victim.txt");
  WriteAll(victim, "do not touch");
  io_.SaveToFileJpeg(photo);
  ASSERT_FALSE(io_.Aborting);
  for (const std::string& suffix :
       std::vector<std::string>{".iptc-tmp", ".pvtmp", ".pvtmp" + std::to_string(::getpid())})
    fs::create_symlink(victim, photo + suffix);
  io_.IOParams().IPTC_Info.Clear();
  io_.IOParams().IPTC_Info.AddStringItem(2, 120, "x");
  EXPECT_TRUE(io_.InjectJpegIPTC(photo));
  io_.SaveToFile(photo);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(ReadAll(victim), "do not touch");
  TPictavoIO reader;
  TBitmap back;
  reader.SetAttachedBitmap(&back);
  reader.LoadFromFile(photo);
  ASSERT_FALSE(reader.Aborting);
  ASSERT_GE(reader.IOParams().IPTC_Info.IndexOf(2, 120), 0);
  EXPECT_EQ(Listing(dir_).size(), 5u);  // photo, victim and the three planted links
}

TEST_F(SaveToFileTest, EditingRoutinesRefuseReadOnlyFilesWithTheReason) {
  const std::string gif = Path("anim.gif");
  const std::string tif = Path("pages.tif");
  const std::string jpg = Path("photo.jpg");
  for (const std::string& name : {gif, tif, jpg}) {
    io_.SaveToFile(name);
    ASSERT_FALSE(io_.Aborting) << name << ": " << io_.LastError().Message;
  }
  ASSERT_EQ(io_.InsertToFileTIFF(tif), 2) << io_.LastError().Message;
  for (const std::string& name : {gif, tif, jpg}) ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  const std::string gifBytes = ReadAll(gif), tifBytes = ReadAll(tif), jpgBytes = ReadAll(jpg);
  auto expectRefused = [&](const std::string& name) {
    EXPECT_TRUE(io_.Aborting) << name;
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::PermissionDenied) << name;
    EXPECT_EQ(io_.LastError().Message, "Permission denied: " + name);
  };
  EXPECT_EQ(io_.InsertToFileGif(gif), 0);
  expectRefused(gif);
  EXPECT_EQ(io_.DeleteGifIm(gif, 0), 0);
  expectRefused(gif);
  EXPECT_EQ(io_.InsertToFileTIFF(tif), 0);
  expectRefused(tif);
  EXPECT_EQ(io_.DeleteTIFFIm(tif, 1), 0);
  expectRefused(tif);
  io_.IOParams().IPTC_Info.AddStringItem(2, 120, "x");
  EXPECT_FALSE(io_.InjectJpegIPTC(jpg));
  expectRefused(jpg);
  EXPECT_EQ(ReadAll(gif), gifBytes);
  EXPECT_EQ(ReadAll(tif), tifBytes);
  EXPECT_EQ(ReadAll(jpg), jpgBytes);
  EXPECT_EQ(Listing(dir_).size(), 3u);
}

TEST_F(SaveToFileTest, OnlyPageOfATiffOrGifIsNotDeleted) {
  const std::string tif = Path("one.tif");
  io_.SaveToFileTIFF(tif);
  ASSERT_FALSE(io_.Aborting) << io_.LastError().Message;
  const std::string before = ReadAll(tif);
  EXPECT_EQ(io_.DeleteTIFFIm(tif, 0), 0);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::Unsupported);
  EXPECT_EQ(ReadAll(tif), before);
  // The codec's own file and stream functions refuse it as well.
  EXPECT_EQ(DeleteTIFFIm(tif, 0), 0);
  EXPECT_EQ(ReadAll(tif), before);
  TMemoryStream stream;
  stream.LoadFromFile(tif);
  stream.SetPosition(0);
  EXPECT_EQ(DeleteTIFFImStream(stream, 0), 0);
  EXPECT_EQ(stream.GetSize(), int64_t(before.size()));
  EXPECT_EQ(std::memcmp(stream.Memory(), before.data(), before.size()), 0);
  // With two pages, one can go.
  ASSERT_EQ(io_.InsertToFileTIFF(tif), 2);
  EXPECT_EQ(io_.DeleteTIFFIm(tif, 0), 2);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_EQ(io_.EnumTIFFIm(tif), 1);

  const std::string gif = Path("one.gif");
  io_.SaveToFileGif(gif);
  ASSERT_FALSE(io_.Aborting) << io_.LastError().Message;
  const std::string gifBefore = ReadAll(gif);
  EXPECT_EQ(io_.DeleteGifIm(gif, 0), 0);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(ReadAll(gif), gifBefore);
}

// ---------------------------------------------------------------------------
// Registered formats

constexpr int32_t kThrowingKey = 6101;
bool g_throwStd = true;

void ThrowingRead(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&, bool) {
  if (g_throwStd) throw std::runtime_error("registered reader broke");
  throw 42;
}
void ThrowingWrite(TStream& s, TBitmap&, TIOParamsVals&, TProgressRec&) {
  s.Write("partial", 7);
  if (g_throwStd) throw std::runtime_error("registered writer broke");
  throw 42;
}

class RegisteredFormatTest : public SaveToFileTest {
 protected:
  void SetUp() override {
    SaveToFileTest::SetUp();
    TPVFileFormatInfo info;
    info.FileType = kThrowingKey;
    info.Description = "Throwing test format";
    info.Extensions = "thrw";
    info.ReadFunction = ThrowingRead;
    info.WriteFunction = ThrowingWrite;
    PVFileFormatAdd(info);
  }
  void TearDown() override {
    PVFileFormatRemove(kThrowingKey);
    SaveToFileTest::TearDown();
  }
};

TEST_F(RegisteredFormatTest, ExceptionsBecomeAbortingWithTheirMessage) {
  for (bool std : {true, false}) {
    g_throwStd = std;
    const std::string expected = std ? "registered reader broke" : "unknown exception";
    TMemoryStream stream;
    stream.Write("data", 4);
    stream.SetPosition(0);
    EXPECT_NO_THROW(io_.LoadFromStreamFormat(stream, kThrowingKey));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::Internal);
    EXPECT_EQ(io_.LastError().Message, expected);

    const std::string name = Path("file.thrw");
    WriteAll(name, "previous");
    EXPECT_NO_THROW(io_.LoadFromFile(name));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(io_.LastError().Message, expected);

    const std::string written = std ? "registered writer broke" : "unknown exception";
    TMemoryStream out;
    EXPECT_NO_THROW(io_.SaveToStream(out, kThrowingKey));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::Internal);
    EXPECT_EQ(io_.LastError().Message, written);

    EXPECT_NO_THROW(io_.SaveToFile(name));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(io_.LastError().Message, written);
    EXPECT_EQ(ReadAll(name), "previous");

    EXPECT_NO_THROW(io_.ParamsFromFileFormat(name, kThrowingKey));
    EXPECT_TRUE(io_.Aborting);
    EXPECT_EQ(io_.LastError().Message, expected);
  }
  EXPECT_EQ(Listing(dir_).size(), 1u);
}

// ---------------------------------------------------------------------------
// Reasons of loads that cannot start

TEST_F(SaveToFileTest, LoadsSayWhyAFileCannotBeRead) {
  const std::string missing = Path("missing.bmp");
  EXPECT_THROW(io_.LoadFromFile(missing), EFOpenError);  // as callers rely on
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::FileNotFound);
  EXPECT_EQ(io_.LastError().Message, "No such file or directory: " + missing);

  const std::string folder = Path("folder.png");
  fs::create_directories(folder);
  EXPECT_THROW(io_.LoadFromFile(folder), EFOpenError);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::NotAFile);
  EXPECT_EQ(io_.LastError().Message, folder + " is a folder");

  io_.ParamsFromFile(missing);
  EXPECT_EQ(io_.IOParams().FileType, 0);

  if (::geteuid() != 0) {  // root reads any file
    const std::string locked = Path("locked.bmp");
    MakeOriginal(locked);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    EXPECT_THROW(io_.LoadFromFile(locked), EFOpenError);
    EXPECT_EQ(io_.LastError().Code, TPVErrorCode::PermissionDenied);
  }

  // The kernel answers every read of this file with an I/O error.
  const std::string failing = "/proc/self/mem";
  io_.LoadFromFilePNG(failing);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::ReadError);
  EXPECT_EQ(io_.LastError().Message, "Input/output error: " + failing);
  EXPECT_EQ(image_.GetWidth(), 40);  // the target was not touched

  TMemoryStream junk;
  junk.Write("this is no image at all, just some words", 40);
  junk.SetPosition(0);
  io_.LoadFromStream(junk);
  EXPECT_TRUE(io_.Aborting);
  EXPECT_EQ(io_.LastError().Code, TPVErrorCode::UnknownFormat);

  // A successful load clears the reason.
  const std::string good = Path("good.bmp");
  MakeOriginal(good);
  io_.LoadFromFile(good);
  EXPECT_FALSE(io_.Aborting);
  EXPECT_FALSE(io_.LastError());
}

}  // namespace
}  // namespace pictavo
