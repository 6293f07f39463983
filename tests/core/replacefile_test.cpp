#include "core/replacefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

}  // namespace
}  // namespace pictavo
