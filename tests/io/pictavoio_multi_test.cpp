// Multi-image GIF and TIFF files and IPTC injection through TPictavoIO,
// over the real codecs and temporary files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "io/pictavoio.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& d) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
}

bool HaveTool(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// A pf24bit picture of few colours, different for every seed, so that a GIF
// keeps it exactly and frames can be told apart.
void Paint(TBitmap& b, int w, int h, int seed) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int x = 0; x < w; ++x) {
      int v = (x + 2 * y + seed) % 5;
      row[3 * x] = uint8_t(v * 50);
      row[3 * x + 1] = uint8_t(255 - v * 40 - seed);
      row[3 * x + 2] = uint8_t(seed * 30 + v);
    }
  }
}

void ExpectSamePixels(TBitmap& a, TBitmap& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  ASSERT_EQ(b.GetPixelFormat(), pf24bit);
  for (int y = 0; y < a.GetHeight(); ++y) {
    const uint8_t* ra = static_cast<const uint8_t*>(a.ScanLine(y));
    const uint8_t* rb = static_cast<const uint8_t*>(b.ScanLine(y));
    for (int i = 0; i < a.GetWidth() * 3; ++i)
      ASSERT_EQ(ra[i], rb[i]) << "row " << y << " byte " << i;
  }
}

class MultiImage : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_gd_ = DefGIF_LZWDECOMPFUNC;
    saved_gc_ = DefGIF_LZWCOMPFUNC;
    DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
    DefGIF_LZWCOMPFUNC = GIFLZWCompress;
    dir_ = fs::temp_directory_path() / ("pictavo_multi_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    DefGIF_LZWDECOMPFUNC = saved_gd_;
    DefGIF_LZWCOMPFUNC = saved_gc_;
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  // Nothing but the named file is left in the directory (no temporary copies).
  void ExpectOnlyFile(const std::string& name) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
      ++n;
      EXPECT_EQ(e.path().filename().string(), fs::path(name).filename().string());
    }
    EXPECT_EQ(n, 1);
  }

  TGIFLZWDecompFunc saved_gd_ = nullptr;
  TGIFLZWCompFunc saved_gc_ = nullptr;
  fs::path dir_;
};

TEST_F(MultiImage, GifInsertEnumerateReadAndDelete) {
  const std::string name = Path("anim.gif");
  TBitmap frames[3];
  for (int i = 0; i < 3; ++i) Paint(frames[i], 7 + i, 5 + 2 * i, i + 1);

  TPictavoIO io;
  TBitmap target;
  io.SetAttachedBitmap(&target);
  target.Assign(frames[0]);
  io.SaveToFileGif(name);
  ASSERT_FALSE(io.Aborting);
  EXPECT_FALSE(io.CheckAniGif(name));
  EXPECT_EQ(io.EnumGifIm(name), 1);

  // The second frame sits at (3, 1): the logical screen grows to hold it.
  io.IOParams().GIF_WinWidth = 2;
  io.IOParams().GIF_WinHeight = 2;
  io.IOParams().GIF_XPos = 3;
  io.IOParams().GIF_YPos = 1;
  io.IOParams().GIF_ImageIndex = 1;
  target.Assign(frames[1]);
  EXPECT_EQ(io.InsertToFileGif(name), 2);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.IOParams().GIF_WinWidth, 8 + 3);
  EXPECT_EQ(io.IOParams().GIF_WinHeight, 7 + 1);

  // A larger screen is kept as it is.
  io.IOParams().GIF_WinWidth = 40;
  io.IOParams().GIF_XPos = 0;
  io.IOParams().GIF_YPos = 0;
  io.IOParams().GIF_ImageIndex = 2;
  target.Assign(frames[2]);
  EXPECT_EQ(io.InsertToFileGif(name), 3);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.IOParams().GIF_WinWidth, 40);
  EXPECT_EQ(io.IOParams().GIF_WinHeight, 9);

  EXPECT_EQ(io.EnumGifIm(name), 3);
  EXPECT_TRUE(io.CheckAniGif(name));
  ExpectOnlyFile(name);
  std::vector<uint8_t> bytes = ReadAll(name);
  ASSERT_GE(bytes.size(), size_t(10));
  EXPECT_EQ(bytes[6] | bytes[7] << 8, 40);  // logical screen of the last insertion
  EXPECT_EQ(bytes[8] | bytes[9] << 8, 9);

  if (HaveTool("identify")) {
    std::string cmd = "test \"$(identify '" + name + "' | wc -l)\" = 3";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "ImageMagick does not see three frames";
  }

  TPictavoIO reader;
  TBitmap back;
  reader.SetAttachedBitmap(&back);
  reader.IOParams().GIF_ImageIndex = 1;
  reader.LoadFromFileGif(name);
  ASSERT_FALSE(reader.Aborting);
  ExpectSamePixels(frames[1], back);

  EXPECT_EQ(io.DeleteGifIm(name, 1), 2);
  EXPECT_EQ(io.EnumGifIm(name), 2);
  reader.IOParams().GIF_ImageIndex = 1;
  reader.LoadFromFileGif(name);
  ASSERT_FALSE(reader.Aborting);
  ExpectSamePixels(frames[2], back);
  reader.IOParams().GIF_ImageIndex = 0;
  reader.LoadFromFileGif(name);
  ASSERT_FALSE(reader.Aborting);
  ExpectSamePixels(frames[0], back);
}

TEST_F(MultiImage, GifOperationsOnUnreadableFiles) {
  TPictavoIO io;
  const std::string missing = Path("missing.gif");
  EXPECT_EQ(io.EnumGifIm(missing), 0);
  EXPECT_FALSE(io.CheckAniGif(missing));
  EXPECT_EQ(io.DeleteGifIm(missing, 0), 0);
  EXPECT_FALSE(fs::exists(missing));

  const std::string text = Path("text.gif");
  const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'g', 'i',
                                     'f', ' ', 'f', 'i', 'l', 'e', '!', '!'};
  WriteAll(text, junk);
  EXPECT_EQ(io.EnumGifIm(text), 0);
  EXPECT_FALSE(io.CheckAniGif(text));

  // Inserting into a file that is not GIF fails and leaves it as it was.
  TBitmap target;
  Paint(target, 4, 4, 0);
  io.SetAttachedBitmap(&target);
  io.InsertToFileGif(text);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(ReadAll(text), junk);

  // Without a target nothing happens.
  TPictavoIO bare;
  EXPECT_EQ(bare.InsertToFileGif(text), 0);
  EXPECT_EQ(ReadAll(text), junk);
}

TEST_F(MultiImage, GifInsertConvertsOtherPixelFormats) {
  const std::string name = Path("fmt.gif");
  TPictavoIO io;
  TBitmap target;
  io.SetAttachedBitmap(&target);
  Paint(target, 6, 4, 2);
  io.SaveToFileGif(name);
  ASSERT_FALSE(io.Aborting);
  TBitmap expected;
  Paint(expected, 6, 4, 3);
  target.Assign(expected);
  target.SetPixelFormat(pf32bit);
  io.IOParams().GIF_ImageIndex = 1;
  EXPECT_EQ(io.InsertToFileGif(name), 2);
  EXPECT_EQ(target.GetPixelFormat(), pf24bit);
  TPictavoIO reader;
  TBitmap back;
  reader.SetAttachedBitmap(&back);
  reader.IOParams().GIF_ImageIndex = 1;
  reader.LoadFromFileGif(name);
  ASSERT_FALSE(reader.Aborting);
  ExpectSamePixels(expected, back);
}

TEST_F(MultiImage, TiffInsertEnumerateReadAndDelete) {
  const std::string name = Path("pages.tif");
  TBitmap pages[3];
  for (int i = 0; i < 3; ++i) Paint(pages[i], 9 + i, 4 + i, 10 * i);

  TPictavoIO io;
  TBitmap target;
  io.SetAttachedBitmap(&target);
  target.Assign(pages[0]);
  io.SaveToFileTIFF(name);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.EnumTIFFIm(name), 1);

  // Page 2 appended, then page 1 inserted between them.
  io.IOParams().TIFF_ImageIndex = 1;
  target.Assign(pages[2]);
  EXPECT_EQ(io.InsertToFileTIFF(name), 2);
  ASSERT_FALSE(io.Aborting);
  io.IOParams().TIFF_ImageIndex = 1;
  target.Assign(pages[1]);
  EXPECT_EQ(io.InsertToFileTIFF(name), 3);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(io.EnumTIFFIm(name), 3);
  ExpectOnlyFile(name);

  if (HaveTool("tiffinfo")) {
    std::string cmd = "test \"$(tiffinfo '" + name + "' 2>/dev/null | grep -c 'Image Width')\" = 3";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "libtiff does not see three pages";
  }

  TPictavoIO reader;
  TBitmap back;
  reader.SetAttachedBitmap(&back);
  for (int i = 0; i < 3; ++i) {
    reader.IOParams().TIFF_ImageIndex = i;
    reader.LoadFromFileTIFF(name);
    ASSERT_FALSE(reader.Aborting) << "page " << i;
    ExpectSamePixels(pages[i], back);
  }

  io.DeleteTIFFIm(name, 1);
  EXPECT_EQ(io.EnumTIFFIm(name), 2);
  reader.IOParams().TIFF_ImageIndex = 1;
  reader.LoadFromFileTIFF(name);
  ASSERT_FALSE(reader.Aborting);
  ExpectSamePixels(pages[2], back);
  ExpectOnlyFile(name);
}

TEST_F(MultiImage, TiffInsertFailureLeavesFileIntact) {
  TPictavoIO io;
  TBitmap target;
  Paint(target, 5, 5, 1);
  io.SetAttachedBitmap(&target);

  const std::string missing = Path("missing.tif");
  EXPECT_EQ(io.InsertToFileTIFF(missing), 0);
  EXPECT_TRUE(io.Aborting);
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(io.EnumTIFFIm(missing), 0);

  // A big-endian header is not appended to; a text file is not TIFF at all.
  const std::string text = Path("text.tif");
  const std::vector<uint8_t> junk = {'M', 'M', 0, 42, 0, 0, 0, 8, 1, 2, 3, 4};
  WriteAll(text, junk);
  EXPECT_EQ(io.InsertToFileTIFF(text), 0);
  EXPECT_TRUE(io.Aborting);
  EXPECT_EQ(ReadAll(text), junk);
  ExpectOnlyFile(text);
}

TEST_F(MultiImage, InjectIptcIntoJpegFileAndStream) {
  const std::string name = Path("photo.jpg");
  TPictavoIO io;
  TBitmap target;
  Paint(target, 16, 8, 4);
  io.SetAttachedBitmap(&target);
  io.SaveToFileJpeg(name);
  ASSERT_FALSE(io.Aborting);

  io.IOParams().IPTC_Info.Clear();
  io.IOParams().IPTC_Info.AddStringItem(2, 120, "A caption");
  io.IOParams().IPTC_Info.AddStringItem(2, 25, "keyword");
  EXPECT_TRUE(io.InjectJpegIPTC(name));
  ExpectOnlyFile(name);

  TPictavoIO reader;
  TBitmap back;
  reader.SetAttachedBitmap(&back);
  reader.LoadFromFile(name);
  ASSERT_FALSE(reader.Aborting);
  EXPECT_EQ(back.GetWidth(), 16);
  const TPVIPTCInfoList& iptc = reader.IOParams().IPTC_Info;
  ASSERT_EQ(iptc.GetCount(), 2);
  int caption = iptc.IndexOf(2, 120);
  ASSERT_GE(caption, 0);
  EXPECT_EQ(iptc.GetStrings(caption), "A caption");
  EXPECT_EQ(iptc.GetStrings(iptc.IndexOf(2, 25)), "keyword");

  // Replacing the block once more keeps one APP13 with the new content.
  io.IOParams().IPTC_Info.Clear();
  io.IOParams().IPTC_Info.AddStringItem(2, 5, "title");
  TMemoryStream src, dst;
  src.LoadFromFile(name);
  src.SetPosition(0);
  EXPECT_TRUE(io.InjectJpegIPTCStream(src, dst));
  dst.SetPosition(0);
  reader.LoadFromStreamJpeg(dst);
  ASSERT_FALSE(reader.Aborting);
  ASSERT_EQ(reader.IOParams().IPTC_Info.GetCount(), 1);
  EXPECT_EQ(reader.IOParams().IPTC_Info.GetStrings(0), "title");
}

TEST_F(MultiImage, InjectIptcRefusesOtherFiles) {
  TPictavoIO io;
  io.IOParams().IPTC_Info.AddStringItem(2, 120, "caption");
  const std::string name = Path("image.jpg");
  const std::vector<uint8_t> notJpeg = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
  WriteAll(name, notJpeg);
  EXPECT_FALSE(io.InjectJpegIPTC(name));
  EXPECT_EQ(ReadAll(name), notJpeg);
  ExpectOnlyFile(name);

  EXPECT_FALSE(io.InjectJpegIPTC(Path("missing.jpg")));
  EXPECT_FALSE(fs::exists(Path("missing.jpg")));

  TMemoryStream src, dst;
  src.Write(notJpeg.data(), int64_t(notJpeg.size()));
  src.SetPosition(0);
  EXPECT_FALSE(io.InjectJpegIPTCStream(src, dst));
}

}  // namespace
}  // namespace pictavo
