// The seed files of the TIFF fuzz target, whole, truncated at every few
// bytes and with bytes flipped: the reader terminates on each without
// reading out of bounds (run under the sanitizers), and the whole files
// decode without abort.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "core/pvdefs.h"

namespace pictavo {
namespace {

bool ReadAll(const std::vector<uint8_t>& data) {
  bool ok = true;
  for (int page = 0; page < 2; ++page) {
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    TIOParamsVals params;
    params.TIFF_ImageIndex = page;
    params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    TBitmap bmp;
    int count = 0;
    TIFFReadStream(&bmp, s, count, &params, progress, false);
    if (page < count && aborting) ok = false;
  }
  return ok;
}

TEST(TiffCorpus, SeedsDecodeAndDamagedCopiesTerminate) {
  std::filesystem::path dir = std::filesystem::path(PICTAVO_SOURCE_DIR) / "fuzz/corpus/tiff";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream f(entry.path(), std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
    ++files;
    // Regression files named "...-refused" must be refused, the rest decode.
    const bool refused = entry.path().stem().string().ends_with("-refused");
    EXPECT_EQ(ReadAll(data), !refused) << entry.path();
    for (size_t cut = 0; cut < data.size(); cut += 7)
      ReadAll(std::vector<uint8_t>(data.begin(), data.begin() + long(cut)));
    for (size_t i = 0; i < data.size(); i += 3) {
      std::vector<uint8_t> bad = data;
      bad[i] ^= 0xA5;
      ReadAll(bad);
    }
  }
  EXPECT_GE(files, 10);
}

}  // namespace
}  // namespace pictavo
