#include "codecs/gif.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "tests/codecs/bytes_util.h"

using namespace pictavo;
namespace fs = std::filesystem;

namespace {

struct Ctx {
  bool aborting = false;
  TProgressRec progress;
  TIOParamsVals params;
  Ctx() {
    progress.Aborting = &aborting;
    params.GIF_LZWDecompFunc = GIFLZWDecompress;
    params.GIF_LZWCompFunc = GIFLZWCompress;
  }
};

bool HaveTool(const char* name) {
  std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)),
                              std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& d) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
}

std::string TempDir() {
  fs::path p = fs::temp_directory_path() / ("pictavo_gif_" + std::to_string(::getpid()));
  fs::create_directories(p);
  return p.string();
}

// Reads frame `index` of a GIF held in memory.
bool ReadMem(const std::vector<uint8_t>& data, int index, TBitmap& bmp, Ctx& c, int& count) {
  TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
  c.params.GIF_ImageIndex = index;
  c.aborting = false;
  ReadGifStream(s, &bmp, count, false, c.progress, c.params);
  return !c.aborting;
}

// Raw RGB of one frame as stored (no composition) according to ImageMagick.
std::vector<uint8_t> MagickFrame(const std::string& file, int index) {
  std::string out = TempDir() + "/im.rgb";
  std::string cmd = "convert '" + file + "[" + std::to_string(index) +
                    "]' -alpha off -depth 8 rgb:'" + out + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  return ReadAll(out);
}

std::vector<uint8_t> BitmapRGB(const TBitmap& b) {
  std::vector<uint8_t> v;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) {
      TColor c = b.GetPixel(x, y);
      v.push_back(uint8_t(c));
      v.push_back(uint8_t(c >> 8));
      v.push_back(uint8_t(c >> 16));
    }
  return v;
}

// Compares our frame with ImageMagick's; pixels of the transparent colour are
// left out (ImageMagick may report any colour under full transparency).
void ExpectSameAsMagick(const std::string& file, int index, const TBitmap& b, const Ctx& c) {
  std::vector<uint8_t> im = MagickFrame(file, index);
  std::vector<uint8_t> ours = BitmapRGB(b);
  ASSERT_EQ(im.size(), ours.size()) << file << " frame " << index;
  const TRGB t = c.params.GIF_TranspColor;
  int diffs = 0;
  for (size_t i = 0; i < ours.size(); i += 3) {
    if (c.params.GIF_Transparent && ours[i] == t.r && ours[i + 1] == t.g && ours[i + 2] == t.b)
      continue;
    if (std::memcmp(&ours[i], &im[i], 3) != 0) ++diffs;
  }
  EXPECT_EQ(diffs, 0) << file << " frame " << index;
}

using pictavo::testutil::CodeStream;

bool Decode(const std::vector<uint8_t>& data, int w, int h, std::vector<uint8_t>& out,
            bool interlaced = false) {
  TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
  out.assign(size_t(w * h), 0xEE);
  return GIFLZWDecompress(s, h, w, interlaced, out.data());
}

// A one-frame GIF around image data, with an optional global table.
std::vector<uint8_t> MakeGif(int w, int h, const std::vector<TRGB>& table, int tableBits,
                             const std::vector<uint8_t>& imageData, bool interlaced = false) {
  std::vector<uint8_t> g = {
      'G', 'I', 'F', '8', '9', 'a', uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)};
  g.push_back(table.empty() ? 0 : uint8_t(0x80 | (tableBits - 1)));
  g.push_back(0);
  g.push_back(0);
  for (size_t i = 0; i < table.size(); ++i) {
    g.push_back(table[i].r);
    g.push_back(table[i].g);
    g.push_back(table[i].b);
  }
  g.insert(g.end(), {0x2C, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8),
                     uint8_t(interlaced ? 0x40 : 0)});
  g.insert(g.end(), imageData.begin(), imageData.end());
  g.push_back(0x3B);
  return g;
}

std::vector<uint8_t> PlainCodes(const std::vector<int>& pixels, int m) {
  CodeStream cs;
  // Clear before every entry the decoder would add keeps the width at m + 1.
  for (int p : pixels) {
    cs.Put(1 << m, m + 1);
    cs.Put(p, m + 1);
  }
  cs.Put((1 << m) + 1, m + 1);
  return cs.Blocks(m);
}

void MakeColourful(TBitmap& b, int w, int h, int colours) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      int k = (x * 7 + y * 13 + (x * y) % 5) % colours;
      row[x * 3] = uint8_t(k * 37);
      row[x * 3 + 1] = uint8_t(k * 11 + 3);
      row[x * 3 + 2] = uint8_t(255 - k);
    }
  }
}

}  // namespace

TEST(GifLZWDecoder, HandMadeStreams) {
  std::vector<uint8_t> out;
  // Clear codes, KwKwK (code equal to the free code) and a width change.
  {
    CodeStream cs;
    cs.Put(4, 3);  // clear, m = 2
    cs.Put(1, 3);  // "1"
    cs.Put(6, 3);  // KwKwK: "11"; adds 6 = "11"
    cs.Put(6, 3);  // "11", adds 7 = "111"; free 8 = 2^3 -> width 4
    cs.Put(2, 4);  // "2", adds 8
    cs.Put(4, 4);  // clear: width back to 3
    cs.Put(3, 3);
    cs.Put(5, 3);  // end
    ASSERT_TRUE(Decode(cs.Blocks(2), 7, 1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 1, 1, 2, 3}));
  }
  // Invalid minimum code sizes are refused with the stream position restored.
  for (int m : {1, 10}) {
    std::vector<uint8_t> d = PlainCodes({0}, 2);
    d[0] = uint8_t(m);
    TReadOnlyMemoryStream s(d.data(), int64_t(d.size()));
    std::vector<uint8_t> o(1);
    EXPECT_FALSE(GIFLZWDecompress(s, 1, 1, false, o.data()));
    EXPECT_EQ(s.GetPosition(), 0);
  }
  // A code beyond the table fails, keeping the pixels decoded before it.
  {
    CodeStream cs;
    cs.Put(4, 3);
    cs.Put(2, 3);
    cs.Put(7, 3);  // free code is 6
    EXPECT_FALSE(Decode(cs.Blocks(2), 4, 1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{2, 0, 0, 0}));
  }
  // Data ending early: decoded pixels kept, the rest 0, failure reported.
  {
    std::vector<uint8_t> d = PlainCodes({3, 2, 1}, 2);
    EXPECT_FALSE(Decode(d, 5, 1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{3, 2, 1, 0, 0}));
  }
  // Missing end code after all pixels is a success.
  {
    CodeStream cs;
    cs.Put(4, 3);
    cs.Put(3, 3);
    cs.Put(2, 3);
    ASSERT_TRUE(Decode(cs.Blocks(2), 2, 1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{3, 2}));
  }
  // A sub-block length past the end of the data: no read beyond, failure.
  {
    std::vector<uint8_t> d = {2, 200, 0x4C, 0x01};
    EXPECT_FALSE(Decode(d, 4, 1, out));
    std::vector<uint8_t> none = {2};
    EXPECT_FALSE(Decode(none, 4, 1, out));
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0, 0}));
  }
  // Output never passes Width x Height.
  {
    std::vector<uint8_t> d = PlainCodes({1, 2, 3, 1, 2, 3}, 2);
    std::vector<uint8_t> o(3 + 16, 0xAB);
    TReadOnlyMemoryStream s(d.data(), int64_t(d.size()));
    EXPECT_TRUE(GIFLZWDecompress(s, 1, 3, false, o.data()));
    EXPECT_EQ(o[2], 3);
    for (size_t i = 3; i < o.size(); ++i) ASSERT_EQ(o[i], 0xAB);
  }
}

TEST(GifLZWDecoder, DeferredClearAfterFullTable) {
  // m = 8: fill the table to 4096 entries, then send codes at width 12
  // without a clear (they must decode, adding nothing), then clear.
  const int m = 8;
  CodeStream cs;
  int width = m + 1, freeCode = 258;
  std::vector<uint8_t> expect;
  cs.Put(256, width);
  bool first = true;
  while (freeCode < 4096) {
    int px = int(expect.size() % 200);
    cs.Put(px, width);
    expect.push_back(uint8_t(px));
    if (!first) {
      ++freeCode;
      if (freeCode == (1 << width) && width < 12) ++width;
    }
    first = false;
  }
  ASSERT_EQ(width, 12);
  // Code 300 was added as the string of pixels 42, 43 (entries pair neighbours).
  for (int i = 0; i < 10; ++i) {
    cs.Put(300, 12);
    expect.push_back(uint8_t(42));
    expect.push_back(uint8_t(43));
  }
  cs.Put(256, 12);
  cs.Put(7, 9);
  expect.push_back(7);
  cs.Put(257, 9);
  std::vector<uint8_t> out;
  int w = int(expect.size());
  ASSERT_TRUE(Decode(cs.Blocks(m), w, 1, out));
  EXPECT_EQ(out, expect);
}

TEST(GifLZWDecoder, InterlacedRowOrder) {
  // Ten rows of width 1: row k of the stream holds value k.
  std::vector<int> px;
  for (int k = 0; k < 10; ++k) px.push_back(k);
  std::vector<uint8_t> out;
  ASSERT_TRUE(Decode(PlainCodes(px, 4), 1, 10, out, true));
  // Stored order 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  for (int k = 0; k < 10; ++k) EXPECT_EQ(out[size_t(order[k])], k);
}

TEST(GifLZWEncoders, RoundTripThroughOurDecoder) {
  for (auto enc : {GIFLZWCompress, GIFNONLZWCompress}) {
    for (int bits : {1, 2, 4, 8}) {
      for (bool inter : {false, true}) {
        const int w = 211, h = 97;
        std::vector<uint8_t> idx(size_t(w * h));
        uint32_t seed = 12345;
        for (size_t i = 0; i < idx.size(); ++i) {
          seed = seed * 1103515245 + 12345;
          // Runs and noise so that both the table and its clears are used.
          idx[i] = (i / 37) % 3 == 0 ? uint8_t((seed >> 16) & ((1 << bits) - 1))
                                     : uint8_t((i / 91) & ((1 << bits) - 1));
        }
        TMemoryStream ms;
        ASSERT_TRUE(enc(ms, h, w, inter, idx.data(), bits));
        std::vector<uint8_t> d(size_t(ms.GetSize()));
        ms.SetPosition(0);
        ms.Read(d.data(), int64_t(d.size()));
        std::vector<uint8_t> out;
        ASSERT_TRUE(Decode(d, w, h, out, inter)) << bits << " " << inter;
        EXPECT_EQ(out, idx) << bits << " " << inter;
      }
    }
  }
}

TEST(GifReader, FrameDetails) {
  Ctx c;
  TBitmap b;
  int count = 0;
  // Black-then-white two-colour frame of width 9: pf1bit, ninth pixel kept.
  {
    auto g = MakeGif(9, 1, {TRGB{0, 0, 0}, TRGB{255, 255, 255}}, 1,
                     PlainCodes({1, 0, 0, 0, 0, 0, 0, 0, 1}, 2));
    ASSERT_TRUE(ReadMem(g, 0, b, c, count));
    EXPECT_EQ(b.GetPixelFormat(), pf1bit);
    EXPECT_EQ(b.ScanLine(0)[0], 0x80);
    EXPECT_EQ(b.ScanLine(0)[1], 0x80);
    EXPECT_EQ(count, 1);
  }
  // White-then-black, and a red/blue pair: pf24bit in their own colours.
  {
    auto g = MakeGif(2, 1, {TRGB{255, 255, 255}, TRGB{0, 0, 0}}, 1, PlainCodes({1, 0}, 2));
    ASSERT_TRUE(ReadMem(g, 0, b, c, count));
    EXPECT_EQ(b.GetPixelFormat(), pf24bit);
    EXPECT_EQ(b.GetPixel(0, 0), TColor(0));
    EXPECT_EQ(b.GetPixel(1, 0), TColor(0xFFFFFF));
  }
  // Without any colour table: a grey ramp of 2^m entries; beyond a table: black.
  {
    auto g = MakeGif(3, 1, {}, 0, PlainCodes({0, 1, 3}, 2));
    ASSERT_TRUE(ReadMem(g, 0, b, c, count));
    EXPECT_EQ(c.params.ColorMapCount, 4);
    EXPECT_EQ(b.GetPixel(1, 0), TColor(0x555555));
    EXPECT_EQ(b.GetPixel(2, 0), TColor(0xFFFFFF));
    auto g2 = MakeGif(2, 1, {TRGB{0, 0, 200}, TRGB{0, 200, 0}}, 1, PlainCodes({1, 3}, 2));
    ASSERT_TRUE(ReadMem(g2, 0, b, c, count));
    EXPECT_EQ(b.GetPixel(0, 0), TColor(0x00C800));
    EXPECT_EQ(b.GetPixel(1, 0), TColor(0));
  }
  // Truncated image data: pixels kept, rest index 0, Aborting set.
  {
    std::vector<TRGB> t = {TRGB{9, 9, 9}, TRGB{0, 0, 255}, TRGB{0, 255, 0}, TRGB{255, 0, 0}};
    auto g = MakeGif(4, 1, t, 2, PlainCodes({3, 2}, 2));
    EXPECT_FALSE(ReadMem(g, 0, b, c, count));
    ASSERT_EQ(b.GetWidth(), 4);
    EXPECT_EQ(b.GetPixel(0, 0), TColor(0xFF0000));
    EXPECT_EQ(b.GetPixel(1, 0), TColor(0x00FF00));
    EXPECT_EQ(b.GetPixel(3, 0), TColor(0x090909));
  }
  // Invalid code size byte, missing signature, header only: abort.
  {
    auto g = MakeGif(2, 1, {TRGB{}, TRGB{}}, 1, PlainCodes({1, 0}, 2));
    auto bad = g;
    bad[13 + 6 + 10] = 10;
    EXPECT_FALSE(ReadMem(bad, 0, b, c, count));
    bad = g;
    bad[0] = 'X';
    EXPECT_FALSE(ReadMem(bad, 0, b, c, count));
    std::vector<uint8_t> hdr(g.begin(), g.begin() + 19);
    EXPECT_FALSE(ReadMem(hdr, 0, b, c, count));
    // Every prefix of a valid file terminates without reading past it.
    for (size_t n = 0; n < g.size(); ++n) {
      std::vector<uint8_t> cut(g.begin(), g.begin() + long(n));
      ReadMem(cut, 0, b, c, count);
    }
  }
}

TEST(GifReader, WithoutCodersAborts) {
  bool aborting = false;
  TProgressRec pr;
  pr.Aborting = &aborting;
  TIOParamsVals params;
  params.GIF_LZWDecompFunc = nullptr;
  params.GIF_LZWCompFunc = nullptr;
  ASSERT_EQ(DefGIF_LZWDECOMPFUNC, nullptr);
  ASSERT_EQ(DefGIF_LZWCOMPFUNC, nullptr);
  auto g = MakeGif(2, 1, {TRGB{}, TRGB{255, 255, 255}}, 1, PlainCodes({1, 0}, 2));
  TReadOnlyMemoryStream s(g.data(), int64_t(g.size()));
  TBitmap b;
  int count = 0;
  ReadGifStream(s, &b, count, false, pr, params);
  EXPECT_TRUE(aborting);
  // Parameters alone need no decoder.
  aborting = false;
  s.SetPosition(0);
  ReadGifStream(s, nullptr, count, true, pr, params);
  EXPECT_FALSE(aborting);
  EXPECT_EQ(params.Width, 2);

  aborting = false;
  TBitmap src(4, 4, pf24bit);
  TMemoryStream out;
  WriteGifStream(out, src, params, pr);
  EXPECT_TRUE(aborting);
}

TEST(GifReader, CorpusMatchesImageMagickFrames) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  // The corpus sits beside the checkout (or beside the worktrees' parent).
  std::string dir = std::string(PICTAVO_CORPUS_DIR) + "/gifsuite";
  if (!fs::exists(dir)) dir = std::string(PICTAVO_SOURCE_DIR) + "/../../shared/corpus/gifsuite";
  if (!fs::exists(dir)) GTEST_SKIP() << "corpus missing";
  int files = 0;
  for (auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".gif") continue;
    ++files;
    auto data = ReadAll(e.path().string());
    Ctx c;
    TBitmap b;
    int count = 0;
    ASSERT_TRUE(ReadMem(data, 0, b, c, count)) << e.path();
    ASSERT_GE(count, 1);
    // Reading the parameters alone counts the same frames, from any frame.
    for (int index : {0, count - 1}) {
      TReadOnlyMemoryStream m(data.data(), static_cast<int64_t>(data.size()));
      TIOParamsVals p;
      p.GIF_ImageIndex = index;
      bool aborting = false;
      TProgressRec pr;
      pr.Aborting = &aborting;
      int paramsCount = 0;
      ReadGifStream(m, nullptr, paramsCount, true, pr, p);
      EXPECT_FALSE(aborting) << e.path();
      EXPECT_EQ(paramsCount, count) << e.path();
    }
    for (int i = 0; i < count; ++i) {
      int n = 0;
      ASSERT_TRUE(ReadMem(data, i, b, c, n)) << e.path() << " " << i;
      EXPECT_EQ(n, count);
      ExpectSameAsMagick(e.path().string(), i, b, c);
    }
  }
  EXPECT_GE(files, 10);
}

TEST(GifReader, FilesWrittenByImageMagickAndGiflib) {
  if (!HaveTool("convert") || !HaveTool("gifbuild")) GTEST_SKIP() << "tools missing";
  std::string dir = TempDir();
  struct Case {
    const char* args;
  } cases[] = {
      {"-size 37x23 gradient:red-blue -colors 2"},
      {"-size 41x19 plasma:fractal -seed 3 -colors 7"},
      {"-size 64x48 plasma:fractal -seed 5 -colors 256 -interlace GIF"},
      {"-size 30x30 xc:white -fill black -draw 'circle 15,15 10,10' -colors 2"},
      {"-size 20x20 xc:red -fill blue -draw 'rectangle 3,3 9,9' -transparent red"},
      {"-size 50x40 plasma:fractal -seed 9 -colors 60 \\( +clone -flip \\) -set delay 10"},
  };
  int k = 0;
  for (const Case& cs : cases) {
    std::string im = dir + "/im" + std::to_string(k) + ".gif";
    std::string gl = dir + "/gl" + std::to_string(k) + ".gif";
    ++k;
    std::string cmd = std::string("convert ") + cs.args + " '" + im + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::string cmd2 = "gifbuild -d '" + im + "' > '" + dir + "/t.txt' && gifbuild '" + dir +
                       "/t.txt' > '" + gl + "'";
    ASSERT_EQ(std::system(cmd2.c_str()), 0);
    for (const std::string& f : {im, gl}) {
      auto data = ReadAll(f);
      Ctx c;
      TBitmap b;
      int count = 0;
      ASSERT_TRUE(ReadMem(data, 0, b, c, count)) << f;
      for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(ReadMem(data, i, b, c, count)) << f;
        ExpectSameAsMagick(f, i, b, c);
      }
    }
    // Both encoders of the same frames give the same pixels.
    auto a = ReadAll(im), g = ReadAll(gl);
    Ctx c1, c2;
    TBitmap b1, b2;
    int n1, n2;
    ASSERT_TRUE(ReadMem(a, 0, b1, c1, n1));
    ASSERT_TRUE(ReadMem(g, 0, b2, c2, n2));
    EXPECT_EQ(BitmapRGB(b1), BitmapRGB(b2));
  }
}

TEST(GifWriter, OurFilesDecodeInOtherTools) {
  if (!HaveTool("convert") || !HaveTool("gif2rgb")) GTEST_SKIP() << "tools missing";
  std::string dir = TempDir();
  for (auto enc : {GIFLZWCompress, GIFNONLZWCompress}) {
    for (int colours : {2, 5, 200}) {
      for (bool inter : {false, true}) {
        TBitmap src;
        MakeColourful(src, 123, 77, colours);
        Ctx c;
        c.params.GIF_LZWCompFunc = enc;
        c.params.BitsPerSample = colours <= 2 ? 1 : 8;
        c.params.GIF_Interlaced = inter;
        std::string f = dir + "/ours.gif";
        WriteGif(f, src, c.params, c.progress);
        ASSERT_FALSE(c.aborting);
        std::vector<uint8_t> im = MagickFrame(f, 0);
        EXPECT_EQ(im, BitmapRGB(src)) << colours << " " << inter;
        std::string cmd = "gif2rgb -1 -o '" + dir + "/g.rgb' '" + f + "' 2>/dev/null";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(ReadAll(dir + "/g.rgb"), BitmapRGB(src));
        // And by our own reader.
        TBitmap back;
        int n;
        Ctx r;
        ASSERT_TRUE(ReadMem(ReadAll(f), 0, back, r, n));
        EXPECT_EQ(BitmapRGB(back), BitmapRGB(src));
      }
    }
  }
  // A pf1bit bitmap keeps its bits.
  TBitmap one(13, 5, pf1bit);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 13; ++x) one.SetPixel(x, y, (x + y) % 3 ? 0xFFFFFF : 0);
  Ctx c;
  c.params.BitsPerSample = 1;
  TMemoryStream ms;
  WriteGifStream(ms, one, c.params, c.progress);
  ASSERT_FALSE(c.aborting);
  std::vector<uint8_t> d(size_t(ms.GetSize()));
  ms.SetPosition(0);
  ms.Read(d.data(), int64_t(d.size()));
  TBitmap back;
  int n;
  Ctx r;
  ASSERT_TRUE(ReadMem(d, 0, back, r, n));
  EXPECT_EQ(back.GetPixelFormat(), pf1bit);
  EXPECT_EQ(BitmapRGB(back), BitmapRGB(one));
}

TEST(GifMultiFrame, InsertDeleteAnimate) {
  std::string dir = TempDir();
  std::string f = dir + "/multi.gif";
  auto frameOf = [](int v) {
    auto b = std::make_unique<TBitmap>(6, 4, pf24bit);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) b->SetPixel(x, y, TColor(v * 40 + x));
    return b;
  };
  auto firstPixel = [&](int index) {
    Ctx c;
    TBitmap b;
    int n = 0;
    EXPECT_TRUE(ReadMem(ReadAll(f), index, b, c, n));
    return std::make_pair(int(b.GetPixel(0, 0) & 0xFF), c.params.GIF_DelayTime);
  };
  {
    auto b = frameOf(0);
    Ctx c;
    c.params.GIF_DelayTime = 10;
    WriteGif(f, *b, c.params, c.progress);
    ASSERT_FALSE(c.aborting);
  }
  // Append at the frame count, then insert at 0 (before the control extension).
  for (int v : {1, 2}) {
    auto b = frameOf(v);
    Ctx c;
    c.params.GIF_ImageIndex = v;
    c.params.GIF_DelayTime = 10 + v;
    EXPECT_EQ(_InsertGifIm(f, *b, c.params, c.progress), v + 1);
    ASSERT_FALSE(c.aborting);
  }
  {
    auto b = frameOf(3);
    Ctx c;
    c.params.GIF_ImageIndex = 0;
    c.params.GIF_DelayTime = 7;
    EXPECT_EQ(_InsertGifIm(f, *b, c.params, c.progress), 4);
  }
  EXPECT_EQ(firstPixel(0), std::make_pair(120, 7));
  EXPECT_EQ(firstPixel(1), std::make_pair(0, 10));
  EXPECT_EQ(firstPixel(3), std::make_pair(80, 12));
  // An index beyond the frames is refused and the file stays as it was.
  {
    auto before = ReadAll(f);
    auto b = frameOf(4);
    Ctx c;
    c.params.GIF_ImageIndex = 9;
    _InsertGifIm(f, *b, c.params, c.progress);
    EXPECT_TRUE(c.aborting);
    EXPECT_EQ(ReadAll(f), before);
  }
  // Counting and deleting.
  EXPECT_EQ(_DeleteGifIm(f, -1, false), 4);
  EXPECT_EQ(_DeleteGifIm(f, 1, true), 3);
  EXPECT_EQ(firstPixel(1), std::make_pair(40, 11));
  // Animation: the loop extension appears once, also after a second call.
  EXPECT_FALSE(_CheckGifAnimate(f));
  _GifMakeAnimate(f, 0, 30, 20);
  _GifMakeAnimate(f, 3, 31, 21);
  EXPECT_TRUE(_CheckGifAnimate(f));
  auto d = ReadAll(f);
  std::string s(d.begin(), d.end());
  EXPECT_EQ(s.find("NETSCAPE2.0"), s.rfind("NETSCAPE2.0"));
  size_t at = s.find("NETSCAPE2.0");
  EXPECT_EQ(d[at + 13] | (d[at + 14] << 8), 3);
  EXPECT_EQ(d[6], 31);
  EXPECT_EQ(_DeleteGifIm(f, -1, false), 3);
  // No temporary files are left beside the file.
  int entries = 0;
  for (auto& e : fs::directory_iterator(dir))
    if (e.path().string().find("multi.gif") != std::string::npos) ++entries;
  EXPECT_EQ(entries, 1);
  if (HaveTool("identify")) {
    std::string cmd = "identify '" + f + "' > /dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
}

TEST(GifMultiFrame, InsertAtZeroWithoutControlExtension) {
  std::string dir = TempDir();
  std::string f = dir + "/nogce.gif";
  WriteAll(f, MakeGif(2, 1, {TRGB{0, 0, 255}, TRGB{0, 255, 0}}, 1, PlainCodes({1, 0}, 2)));
  TBitmap b(3, 2, pf24bit);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b.SetPixel(x, y, 0x112233);
  Ctx c;
  c.params.GIF_ImageIndex = 0;
  EXPECT_EQ(_InsertGifIm(f, b, c.params, c.progress), 2);
  ASSERT_FALSE(c.aborting);
  TBitmap r;
  int n = 0;
  Ctx rc;
  ASSERT_TRUE(ReadMem(ReadAll(f), 0, r, rc, n));
  EXPECT_EQ(n, 2);
  EXPECT_EQ(r.GetWidth(), 3);
  EXPECT_EQ(r.GetPixel(0, 0), TColor(0x112233));
  ASSERT_TRUE(ReadMem(ReadAll(f), 1, r, rc, n));
  EXPECT_EQ(r.GetWidth(), 2);
  EXPECT_EQ(rc.params.GIF_DelayTime, 0);
  EXPECT_FALSE(rc.params.GIF_Transparent);
  // Not a GIF: nothing inserted, nothing changed.
  std::string g = dir + "/not.gif";
  WriteAll(g, std::vector<uint8_t>(40, 'x'));
  Ctx c2;
  EXPECT_EQ(_InsertGifIm(g, b, c2.params, c2.progress), 0);
  EXPECT_EQ(ReadAll(g), std::vector<uint8_t>(40, 'x'));
  EXPECT_EQ(_DeleteGifIm(g, 0, true), 0);
}

// Without an LZW encoder a GIF cannot be written; the failure says so, for a
// new file and for a frame added to an existing one.
TEST(GifWriter, MissingEncoderIsTheReason) {
  const TGIFLZWCompFunc saved = DefGIF_LZWCOMPFUNC;
  DefGIF_LZWCOMPFUNC = nullptr;
  TBitmap b(6, 4, pf24bit);
  for (bool insert : {false, true}) {
    Ctx c;
    TPVDiagnostics diagnostics;
    c.progress.Diagnostics = &diagnostics;
    c.params.GIF_LZWCompFunc = nullptr;
    TMemoryStream s;
    if (insert) {
      Ctx w;  // a one-frame GIF to add to
      WriteGifStream(s, b, w.params, w.progress);
      ASSERT_FALSE(w.aborting);
      s.SetPosition(0);
      EXPECT_EQ(_InsertGifImStream(s, b, c.params, c.progress), 0);
    } else {
      WriteGifStream(s, b, c.params, c.progress);
    }
    EXPECT_TRUE(c.aborting) << insert;
    EXPECT_EQ(diagnostics.Error.Code, TPVErrorCode::Unsupported) << insert;
    EXPECT_NE(diagnostics.Error.Message.find("LZW encoder"), std::string::npos);
  }
  DefGIF_LZWCOMPFUNC = saved;
}
