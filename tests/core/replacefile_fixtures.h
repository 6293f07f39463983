// Helpers for tests of file replacement: a small tmpfs mounted for one test
// (so that a disk really fills up), file contents, modes and folder listings.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace pictavo::testing {

// A tmpfs of `bytes` mounted on a fresh folder while the object lives.
// Mounting needs root (CI runs as root); Mounted() is false otherwise.
class TSmallTmpfs {
 public:
  TSmallTmpfs(const std::filesystem::path& folder, size_t bytes) : folder_(folder) {
    std::filesystem::create_directories(folder_);
    std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    mounted_ =
        ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~TSmallTmpfs() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  bool Mounted() const { return mounted_; }
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

inline std::string ReadAll(const std::filesystem::path& name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline void WriteAll(const std::filesystem::path& name, const std::string& data) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << data;
}

inline unsigned ModeOf(const std::filesystem::path& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0xFFFFu;
}

inline std::set<std::string> Listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.insert(e.path().filename().string());
  return names;
}

}  // namespace pictavo::testing
