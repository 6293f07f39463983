// GIF frames decoded row by row: frames cut short (plain and interlaced,
// colour and black and white) keep the pixels that arrived and show colour
// index 0 for the rest; long code streams whose table entries were made far
// back still decode; frames written by ImageMagick decode as ImageMagick
// decodes them; an application's own decoder gives the same frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "platform/canvas.h"
#include "platform/stream.h"
#include "tests/codecs/bytes_util.h"
#include "tests/codecs/raster_util.h"

namespace pictavo {
namespace {

using testutil::PixelOf;

using testutil::CodeStream;

// One code per pixel, a clear before each (the table never grows), and an
// end code only when `complete`.
std::vector<uint8_t> PixelCodes(const std::vector<uint8_t>& pixels, int m, bool complete) {
  CodeStream cs;
  for (uint8_t p : pixels) {
    cs.Put(1 << m, m + 1);
    cs.Put(p, m + 1);
  }
  if (complete) cs.Put((1 << m) + 1, m + 1);
  return cs.Blocks(m);
}

std::vector<uint8_t> MakeGif(int w, int h, const std::vector<TRGB>& table, int tableBits,
                             const std::vector<uint8_t>& imageData, bool interlaced) {
  std::vector<uint8_t> g = {'G',
                            'I',
                            'F',
                            '8',
                            '9',
                            'a',
                            uint8_t(w),
                            uint8_t(w >> 8),
                            uint8_t(h),
                            uint8_t(h >> 8),
                            uint8_t(0x80 | (tableBits - 1)),
                            0,
                            0};
  for (const TRGB& c : table) g.insert(g.end(), {c.r, c.g, c.b});
  g.insert(g.end(), {0x2C, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8),
                     uint8_t(interlaced ? 0x40 : 0)});
  g.insert(g.end(), imageData.begin(), imageData.end());
  g.push_back(0x3B);
  return g;
}

struct Load {
  testutil::Progress progress;
  TPVDiagnostics diagnostics;
  TIOParamsVals params;
  TBitmap bitmap;
  explicit Load(TGIFLZWDecompFunc decoder = GIFLZWDecompress) {
    progress.rec.Diagnostics = &diagnostics;
    params.GIF_LZWDecompFunc = decoder;
    bitmap.Canvas().Brush().SetColor(RGB(1, 2, 3));
  }
  bool Read(const std::vector<uint8_t>& file) {
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    int count = 0;
    ReadGifStream(s, &bitmap, count, false, progress.rec, params);
    return !progress.aborting;
  }
};

// Display row of each stored row of an interlaced frame: every eighth row
// from 0, every eighth from 4, every fourth from 2, every second from 1.
std::vector<int> DisplayRows(int h) {
  std::vector<int> rows;
  for (int y = 0; y < h; y += 8) rows.push_back(y);
  for (int y = 4; y < h; y += 8) rows.push_back(y);
  for (int y = 2; y < h; y += 4) rows.push_back(y);
  for (int y = 1; y < h; y += 2) rows.push_back(y);
  return rows;
}

const std::vector<TRGB> kFour = {TRGB{10, 20, 30}, TRGB{200, 0, 0}, TRGB{0, 200, 0},
                                 TRGB{0, 0, 200}};

// Index of stored pixel i of the test frames.
uint8_t StoredIndex(size_t i) {
  return uint8_t((i * 7 / 3 + 1) % 4);
}

// Cuts a frame of w x h after `arrived` stored pixels and checks every pixel:
// the decoded index where it arrived, index 0 elsewhere.
void CheckCutFrame(int w, int h, bool interlaced, size_t arrived) {
  SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " cut after " +
               std::to_string(arrived));
  std::vector<uint8_t> stored(arrived);
  for (size_t i = 0; i < arrived; ++i) stored[i] = StoredIndex(i);
  Load load;
  EXPECT_FALSE(load.Read(MakeGif(w, h, kFour, 2, PixelCodes(stored, 2, false), interlaced)));
  EXPECT_EQ(load.diagnostics.Error.Code, TPVErrorCode::Truncated);
  ASSERT_EQ(load.bitmap.GetWidth(), w);
  ASSERT_EQ(load.bitmap.GetHeight(), h);
  ASSERT_EQ(load.bitmap.GetPixelFormat(), pf24bit);
  std::vector<int> display = DisplayRows(h);
  for (int r = 0; r < h; ++r) {
    const int y = interlaced ? display[size_t(r)] : r;
    for (int x = 0; x < w; ++x) {
      const size_t i = size_t(r) * size_t(w) + size_t(x);
      const TRGB want = i < arrived ? kFour[StoredIndex(i)] : kFour[0];
      ASSERT_EQ(PixelOf(load.bitmap, x, y), want) << "stored row " << r << " x " << x;
    }
  }
}

TEST(GifRows, CutFramesKeepWhatArrivedAndShowIndexZero) {
  CheckCutFrame(7, 5, false, 17);         // inside row 2
  CheckCutFrame(7, 5, false, 0);          // codes end before the first pixel
  CheckCutFrame(5, 19, true, 5 * 6 + 2);  // inside the second pass
  CheckCutFrame(5, 19, true, 5 * 12);     // on a row boundary in the third pass
  CheckCutFrame(3, 2, true, 1);
}

TEST(GifRows, CutBlackAndWhiteFrameIsBlackBeyondTheData) {
  const int w = 13, h = 9;
  const size_t arrived = 13 * 4 + 5;
  std::vector<uint8_t> stored(arrived);
  for (size_t i = 0; i < arrived; ++i) stored[i] = uint8_t((i % 3) != 0);
  Load load;
  const std::vector<TRGB> bw = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  EXPECT_FALSE(load.Read(MakeGif(w, h, bw, 1, PixelCodes(stored, 2, false), true)));
  ASSERT_EQ(load.bitmap.GetPixelFormat(), pf1bit);
  std::vector<int> display = DisplayRows(h);
  for (int r = 0; r < h; ++r) {
    const uint8_t* row = load.bitmap.ScanLine(display[size_t(r)]);
    for (int x = 0; x < w; ++x) {
      const size_t i = size_t(r) * w + size_t(x);
      const bool white = i < arrived && stored[i] == 1;
      ASSERT_EQ((row[x >> 3] >> (7 - (x & 7))) & 1, white ? 1 : 0) << r << " " << x;
    }
    EXPECT_EQ(row[1] & 0x07, 0) << "bits past the last pixel stay clear";
  }
}

// A code stream with m = 8 that fills the table early, then sends far more
// pixels than any window of recent output holds, then uses the early
// entries, then clears and repeats the KwKwK case.  Returns the indices the
// codes stand for.
std::vector<uint8_t> FarBackCodes(CodeStream& cs, size_t minPixels, size_t w) {
  std::vector<uint8_t> expect;
  int width = 9, freeCode = 258;
  cs.Put(256, width);
  bool first = true;
  while (freeCode < 4096) {
    const uint8_t px = uint8_t(expect.size() % 200);
    cs.Put(px, width);
    expect.push_back(px);
    if (!first && ++freeCode == (1 << width) && width < 12) ++width;
    first = false;
  }
  // Entry 258 + k is the pair of pixels k, k + 1 (k < 3838).
  constexpr size_t kTail = 4 * 2 + 6;  // the pixels of the codes after this loop
  size_t i = 0;
  while (expect.size() < minPixels || (expect.size() + kTail) % w != 0) {
    const uint8_t px = uint8_t((i * 31 + i / 1000) % 256);
    cs.Put(px, 12);
    expect.push_back(px);
    ++i;
  }
  for (int k : {42, 3000, 7, 1999}) {
    cs.Put(258 + k, 12);
    expect.push_back(uint8_t(k % 200));
    expect.push_back(uint8_t((k + 1) % 200));
  }
  cs.Put(256, 12);
  cs.Put(9, 9);    // "9"
  cs.Put(258, 9);  // KwKwK: "9 9"
  cs.Put(259, 9);  // KwKwK again: "9 9 9"
  expect.insert(expect.end(), {9, 9, 9, 9, 9, 9});
  return expect;
}

TEST(GifRows, EntriesMadeFarBackStillDecode) {
  CodeStream cs;
  const int w = 1000;
  std::vector<uint8_t> expect = FarBackCodes(cs, 1500000, w);
  cs.Put(257, 9);
  const int h = int(expect.size() / w);
  const std::vector<uint8_t> data = cs.Blocks(8);
  {
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    std::vector<uint8_t> out(expect.size(), 0xEE);
    ASSERT_TRUE(GIFLZWDecompress(s, h, w, false, out.data()));
    EXPECT_TRUE(out == expect);
    EXPECT_EQ(s.GetPosition(), int64_t(data.size()));
  }
  std::vector<TRGB> grey(256);
  for (int k = 0; k < 256; ++k) grey[size_t(k)] = TRGB{uint8_t(k), uint8_t(255 - k), uint8_t(k)};
  Load load;
  ASSERT_TRUE(load.Read(MakeGif(w, h, grey, 8, data, false)));
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      wrong += PixelOf(load.bitmap, x, y) != grey[expect[size_t(y) * w + size_t(x)]];
  EXPECT_EQ(wrong, 0);
}

// An application's decoder: the library's, called through a plain function.
bool WrappedDecoder(TStream& s, int h, int w, bool interlaced, uint8_t* dest) {
  return GIFLZWDecompress(s, h, w, interlaced, dest);
}

TEST(GifRows, ApplicationDecoderGivesTheSameFrame) {
  const int w = 23, h = 17;
  const size_t arrived = 23 * 9 + 4;
  std::vector<uint8_t> stored(arrived);
  for (size_t i = 0; i < arrived; ++i) stored[i] = StoredIndex(i * 5);
  for (bool interlaced : {false, true}) {
    const std::vector<uint8_t> gif =
        MakeGif(w, h, kFour, 2, PixelCodes(stored, 2, false), interlaced);
    Load ours, theirs(WrappedDecoder);
    EXPECT_FALSE(ours.Read(gif));
    EXPECT_FALSE(theirs.Read(gif));
    EXPECT_EQ(testutil::MaxDiff(ours.bitmap, theirs.bitmap), 0);
  }
}

TEST(GifRows, ImageMagickFramesDecodeAlike) {
  if (!testutil::HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  TBitmap src;
  testutil::MakeImage(src, 613, 207);
  const std::string ppm = testutil::TempPath("gifrows_src.ppm");
  testutil::WritePPM(src, ppm);
  for (const char* mode : {"GIF", "none"}) {
    const std::string gif = testutil::TempPath(std::string("gifrows_") + mode + ".gif");
    ASSERT_TRUE(
        testutil::Shell("convert '" + ppm + "' -colors 200 -interlace " + mode + " '" + gif + "'"));
    int w = 0, h = 0;
    const std::vector<uint8_t> im = testutil::MagickRGB(gif, w, h);
    ASSERT_EQ(w, 613);
    Load load;
    ASSERT_TRUE(load.Read(testutil::ReadFile(gif)));
    EXPECT_EQ(load.params.GIF_Interlaced, std::string(mode) == "GIF");
    EXPECT_EQ(testutil::MaxDiff(load.bitmap, im, w, h), 0) << mode;
  }
}

}  // namespace
}  // namespace pictavo
