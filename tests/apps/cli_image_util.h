// Images for the command-line tests: pictures with known pixels written
// and read through the library, with the LZW coders enabled for the test's
// duration only.
#pragma once

#include <string>

#include "formats/ioparams.h"
#include "io/builtin_lzw.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "tests/apps/cli_test_util.h"

namespace pictavo::clitest {

// A w x h picture whose colour depends on position and `seed`, with few
// enough colours (<= 16) that GIF keeps it exactly.
inline void PaintPattern(TBitmap& b, int w, int h, int seed) {
  static const TColor kColours[8] = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000,
                                     0xFFFF00, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, kColours[(x / 3 + y / 2 + seed) % 8]);
}

inline void ExpectSamePixels(const TBitmap& a, const TBitmap& b, const std::string& what) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth()) << what;
  ASSERT_EQ(a.GetHeight(), b.GetHeight()) << what;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << what << " at " << x << "," << y;
}

class CliImageTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    saved_ = {DefGIF_LZWDECOMPFUNC, DefGIF_LZWCOMPFUNC, DefTIFF_LZWDECOMPFUNC, DefTIFF_LZWCOMPFUNC};
    PVUseBuiltinLZW();
  }
  void TearDown() override {
    DefGIF_LZWDECOMPFUNC = saved_.gd;
    DefGIF_LZWCOMPFUNC = saved_.gc;
    DefTIFF_LZWDECOMPFUNC = saved_.td;
    DefTIFF_LZWCOMPFUNC = saved_.tc;
    CliTest::TearDown();
  }

  // Saves `b` under `name` in the test folder; JPEG at `quality`.
  std::string Save(TBitmap& b, const std::string& name, int quality = 75) {
    TPictavoIO io;
    io.SetAttachedBitmap(&b);
    io.IOParams().JPEG_Quality = quality;
    io.SaveToFile(Path(name));
    EXPECT_FALSE(io.Aborting) << name;
    return Path(name);
  }
  // Loads frame `index` of `path`.
  void Load(const std::string& path, TBitmap& b, int index = 0) {
    TPictavoIO io;
    io.SetAttachedBitmap(&b);
    io.IOParams().GIF_ImageIndex = io.IOParams().TIFF_ImageIndex = index;
    io.LoadFromFile(path);
    ASSERT_FALSE(io.Aborting) << path;
  }

 private:
  struct {
    TGIFLZWDecompFunc gd;
    TGIFLZWCompFunc gc;
    TTIFFLZWDecompFunc td;
    TTIFFLZWCompFunc tc;
  } saved_{};
};

}  // namespace pictavo::clitest
