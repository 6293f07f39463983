#include "core/replacefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/exceptions.h"
#include "tests/core/replacefile_fixtures.h"

namespace pictavo {
namespace {

namespace fs = std::filesystem;

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("pv_replace_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    target_ = (dir_ / "image.bin").string();
    std::ofstream(target_, std::ios::binary) << "original";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Content() const {
    std::ifstream f(target_, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  int FilesInFolder() const {
    int n = 0;
    for (auto& e : fs::directory_iterator(dir_)) n += e.is_regular_file() ? 1 : 0;
    return n;
  }
  fs::path dir_;
  std::string target_;
};

TEST_F(ReplaceFileTest, CompleteWriteReplacesTheFile) {
  const uint8_t data[] = {'n', 'e', 'w', 0, 1};
  EXPECT_TRUE(PVReplaceFile(target_, data, sizeof data));
  EXPECT_EQ(Content(), std::string("new\0\1", 5));
  EXPECT_EQ(FilesInFolder(), 1);  // no temporary file left
  EXPECT_TRUE(PVReplaceFile(target_, nullptr, 0));
  EXPECT_EQ(Content(), "");
}

TEST_F(ReplaceFileTest, FailedOrThrowingWriteLeavesTheOriginal) {
  EXPECT_FALSE(PVReplaceFileWith(target_, [](TStream& s) {
    s.WriteBuffer("partial", 7);
    return false;
  }));
  EXPECT_EQ(Content(), "original");
  EXPECT_EQ(FilesInFolder(), 1);
  EXPECT_FALSE(PVReplaceFileWith(target_, [](TStream& s) -> bool {
    s.WriteBuffer("partial", 7);
    throw std::runtime_error("disk full");
  }));
  EXPECT_EQ(Content(), "original");
  EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(ReplaceFileTest, TemporaryFileIsInTheTargetsFolder) {
  std::string seen;
  EXPECT_TRUE(PVReplaceFileWith(target_, [&](TStream& s) {
    for (auto& e : fs::directory_iterator(dir_))
      if (e.path().string() != target_) seen = e.path().parent_path().string();
    s.WriteBuffer("x", 1);
    return true;
  }));
  EXPECT_EQ(seen, dir_.string());
  EXPECT_EQ(Content(), "x");
  // A folder that does not exist: nothing can be created, nothing changes.
  EXPECT_FALSE(PVReplaceFile((dir_ / "missing" / "f.bin").string(),
                             reinterpret_cast<const uint8_t*>("y"), 1));
  EXPECT_EQ(FilesInFolder(), 1);
}

using pictavo::testing::Listing;
using pictavo::testing::ModeOf;
using pictavo::testing::ReadAll;
using pictavo::testing::TSmallTmpfs;
using pictavo::testing::WriteAll;

bool WriteText(const std::string& name, const std::string& text, TPVError* error) {
  return PVReplaceFile(name, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()),
                       error);
}

TEST_F(ReplaceFileTest, PermissionBitsOfTheOriginalAreKept) {
  ASSERT_EQ(::chmod(target_.c_str(), 0600), 0);
  TPVError error;
  EXPECT_TRUE(WriteText(target_, "secret", &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(Content(), "secret");
  EXPECT_EQ(ModeOf(target_), 0600u);
  ASSERT_EQ(::chmod(target_.c_str(), 0640), 0);
  EXPECT_TRUE(WriteText(target_, "again", nullptr));
  EXPECT_EQ(ModeOf(target_), 0640u);
}

TEST_F(ReplaceFileTest, NewFileGetsTheUsualModeLessTheUmask) {
  const mode_t old = ::umask(027);
  const std::string fresh = (dir_ / "fresh.bin").string();
  EXPECT_TRUE(WriteText(fresh, "new", nullptr));
  ::umask(old);
  EXPECT_EQ(ModeOf(fresh), 0640u);  // 0666 & ~027
  EXPECT_EQ(ReadAll(fresh), "new");
}

TEST_F(ReplaceFileTest, FileWithoutWritePermissionIsRefused) {
  ASSERT_EQ(::chmod(target_.c_str(), 0444), 0);
  bool called = false;
  TPVError error;
  EXPECT_FALSE(PVReplaceFileWith(
      target_,
      [&](TStream&) {
        called = true;
        return true;
      },
      &error));
  EXPECT_FALSE(called);
  EXPECT_EQ(Content(), "original");
  EXPECT_EQ(ModeOf(target_), 0444u);
  EXPECT_EQ(error.Code, TPVErrorCode::PermissionDenied);
  EXPECT_EQ(error.Message, "Permission denied: " + target_);
  EXPECT_EQ(FilesInFolder(), 1);
  EXPECT_FALSE(PVCanReplaceFile(target_));
  ASSERT_EQ(::chmod(target_.c_str(), 0644), 0);
  EXPECT_TRUE(PVCanReplaceFile(target_));
}

TEST_F(ReplaceFileTest, FolderIsRefusedWithItsReason) {
  const std::string folder = (dir_ / "sub.bmp").string();
  fs::create_directories(folder);
  TPVError error;
  EXPECT_FALSE(WriteText(folder, "x", &error));
  EXPECT_EQ(error.Code, TPVErrorCode::NotAFile);
  EXPECT_EQ(error.Message, folder + " is a folder");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_FALSE(WriteText("", "x", &error));
  EXPECT_EQ(error.Code, TPVErrorCode::FileNotFound);
  EXPECT_FALSE(WriteText((dir_ / "no" / "such.bin").string(), "x", &error));
  EXPECT_EQ(error.Code, TPVErrorCode::FileNotFound);
  EXPECT_EQ(error.Message, "No such file or directory: " + (dir_ / "no" / "such.bin").string());
}

TEST_F(ReplaceFileTest, WritesThroughSymbolicLinksAndKeepsThem) {
  fs::create_directories(dir_ / "real");
  const fs::path real = dir_ / "real" / "target.bin";
  WriteAll(real, "old target");
  ASSERT_EQ(::chmod(real.c_str(), 0604), 0);
  const fs::path link = dir_ / "link.bin";  // relative link to the file
  fs::create_symlink("real/target.bin", link);
  const fs::path chain = dir_ / "chain.bin";  // a link to the link
  fs::create_symlink(link, chain);
  EXPECT_TRUE(WriteText(chain.string(), "through the chain", nullptr));
  EXPECT_TRUE(fs::is_symlink(chain));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "real/target.bin");
  EXPECT_EQ(ReadAll(real), "through the chain");
  EXPECT_EQ(ModeOf(real), 0604u);
  EXPECT_EQ(Listing(dir_ / "real"), std::set<std::string>{"target.bin"});
  // A dangling link: the file it names is created, the link stays.
  const fs::path dangling = dir_ / "dangling.bin";
  fs::create_symlink("real/later.bin", dangling);
  EXPECT_TRUE(WriteText(dangling.string(), "created", nullptr));
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(ReadAll(dir_ / "real" / "later.bin"), "created");
}

TEST_F(ReplaceFileTest, PlantedLinksAtOldTemporaryNamesAreNotFollowed) {
  const fs::path victim = dir_ / "victim.txt";
  WriteAll(victim, "victim");
  // Every name the old code used for its temporary files.
  for (const std::string& suffix :
       std::vector<std::string>{".pvtmp", ".iptc-tmp", ".pvtmp" + std::to_string(::getpid())})
    fs::create_symlink(victim, target_ + suffix);
  std::set<std::string> before = Listing(dir_);
  std::vector<std::string> temporaries;
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(PVReplaceFileWith(target_, [&](TStream& s) {
      for (const std::string& name : Listing(dir_))
        if (!before.count(name)) temporaries.push_back(name);
      s.WriteBuffer("image", 5);
      return true;
    }));
  }
  EXPECT_EQ(ReadAll(victim), "victim");
  EXPECT_EQ(Content(), "image");
  EXPECT_EQ(Listing(dir_), before);  // no temporary left, the planted links untouched
  // One fresh temporary per replacement, with different names.
  ASSERT_EQ(temporaries.size(), 2u);
  EXPECT_NE(temporaries[0], temporaries[1]);
}

TEST_F(ReplaceFileTest, ExceptionMessageIsTheReason) {
  TPVError error;
  EXPECT_FALSE(PVReplaceFileWith(
      target_, [](TStream&) -> bool { throw std::runtime_error("encoder broke"); }, &error));
  EXPECT_EQ(error.Code, TPVErrorCode::WriteError);
  EXPECT_EQ(error.Message, "encoder broke");
  // A writer that answers false records its own reason: none from here.
  EXPECT_FALSE(PVReplaceFileWith(
      target_, [](TStream&) { return false; }, &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(Content(), "original");
  EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(ReplaceFileTest, FullDiskKeepsTheOriginalAndSaysNoSpace) {
  TSmallTmpfs disk(dir_ / "disk", 64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  const fs::path name = disk.Folder() / "photo.bin";
  const std::string original(20000, 'o');
  WriteAll(name, original);
  const std::vector<uint8_t> big(200000, 0xAB);
  TPVError error;
  // The writer ignores its short writes: the failure is still seen.
  EXPECT_FALSE(PVReplaceFileWith(
      name.string(),
      [&](TStream& s) {
        for (size_t at = 0; at < big.size(); at += 1000) s.Write(big.data() + at, 1000);
        return true;
      },
      &error));
  EXPECT_EQ(error.Code, TPVErrorCode::NoSpace);
  EXPECT_EQ(error.Message, "No space left on device: " + name.string());
  EXPECT_EQ(ReadAll(name), original);
  EXPECT_EQ(Listing(disk.Folder()), std::set<std::string>{"photo.bin"});
  // The space freed by the removed temporary file is usable again.
  EXPECT_TRUE(PVReplaceFile(name.string(), big.data(), 30000, &error));
  EXPECT_EQ(ReadAll(name), std::string(30000, char(0xAB)));
}

TEST(ReplaceFileErrno, CodesOfTheCommonErrors) {
  EXPECT_EQ(PVErrorCodeOfErrno(ENOSPC, TPVErrorCode::WriteError), TPVErrorCode::NoSpace);
  EXPECT_EQ(PVErrorCodeOfErrno(EDQUOT, TPVErrorCode::WriteError), TPVErrorCode::NoSpace);
  EXPECT_EQ(PVErrorCodeOfErrno(EACCES, TPVErrorCode::WriteError), TPVErrorCode::PermissionDenied);
  EXPECT_EQ(PVErrorCodeOfErrno(EROFS, TPVErrorCode::WriteError), TPVErrorCode::PermissionDenied);
  EXPECT_EQ(PVErrorCodeOfErrno(ENOENT, TPVErrorCode::WriteError), TPVErrorCode::FileNotFound);
  EXPECT_EQ(PVErrorCodeOfErrno(EIO, TPVErrorCode::ReadError), TPVErrorCode::ReadError);
  EXPECT_EQ(PVErrnoMessage(ENOSPC, "a.png"), "No space left on device: a.png");
}

// The raising form: a writer that throws keeps the original and the reason
// reaches the caller; a writer that finishes replaces the file.
TEST_F(ReplaceFileTest, RaisingFormKeepsTheOriginalAndCarriesTheReason) {
  try {
    PVReplaceFileOrRaise(target_, [](TStream& s) {
      s.WriteBuffer("half", 4);
      throw EWriteError("disk went away");
    });
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "disk went away");
  }
  EXPECT_EQ(Content(), "original");
  EXPECT_EQ(FilesInFolder(), 1);
  ASSERT_EQ(::chmod(target_.c_str(), 0444), 0);
  EXPECT_THROW(PVReplaceFileOrRaise(target_, [](TStream& s) { s.WriteBuffer("x", 1); }),
               EFCreateError);
  EXPECT_EQ(Content(), "original");
  ASSERT_EQ(::chmod(target_.c_str(), 0644), 0);
  PVReplaceFileOrRaise(target_, [](TStream& s) { s.WriteBuffer("whole", 5); });
  EXPECT_EQ(Content(), "whole");
}

}  // namespace
}  // namespace pictavo
