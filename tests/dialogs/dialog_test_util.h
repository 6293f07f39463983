// Helpers of the dialog tests: a private temporary folder and picture files
// written through the I/O component.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/pvdefs.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

namespace pictavo::dialogtest {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pictavo_dialogs_XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A pf24bit bitmap whose pixels come from a function of (x, y).
inline std::unique_ptr<TBitmap> MakeBitmap(int w, int h, const std::function<TRGB(int, int)>& px) {
  auto bm = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      TRGB c = px(x, y);
      row[x * 3] = c.b;
      row[x * 3 + 1] = c.g;
      row[x * 3 + 2] = c.r;
    }
  }
  return bm;
}

inline TRGB PixelAt(const TBitmap& bm, int x, int y) {
  const uint8_t* row = bm.ScanLine(y);
  return TRGB{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
}

// Saves a bitmap by extension; false when the I/O component failed.
inline bool SavePicture(TBitmap& bm, const std::string& file) {
  TPictavoIO io;
  io.SetAttachedBitmap(&bm);
  io.SaveToFile(file);
  return !io.Aborting && std::filesystem::exists(file);
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
}

}  // namespace pictavo::dialogtest
