// Convolution (presets, hand-computed kernels, border replication, integer
// division and clamping, a literal reference on random kernels), the filter
// file, and the morphological filters (hand-computed ties and edge cases,
// and the literal window scan on random images).
#include "processing/filters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "platform/stream.h"
#include "processing/pictavoproc.h"
#include "tests/processing/ops_test_util.h"

namespace pictavo {
namespace {

using testutil::Clone;
using testutil::FirstDifference;
using testutil::Grey;
using testutil::Make24;
using testutil::Px;
using testutil::RandomImage;
using testutil::Rgb;
using testutil::SetPx;

// Runs a check with the AVX2 kernels (where the processor has them) and
// with the portable loops.
template <typename Check>
void BothPaths(Check check) {
  for (bool generic : {false, true}) {
    gPVFiltersGeneric = generic;
    check(generic);
  }
  gPVFiltersGeneric = false;
}

TGraphFilter Kernel(std::initializer_list<int> values, int divisor) {
  TGraphFilter f;
  int k = 0;
  for (int v : values) {
    f.Values[k / 3][k % 3] = v;
    ++k;
  }
  f.Divisor = divisor;
  return f;
}

void Apply(TBitmap& bm, const TGraphFilter& f, int x1, int y1, int x2, int y2) {
  TProgressRec progress;
  _ApplyFilter(bm, f, x1, y1, x2, y2, progress);
}

void ApplyAll(TBitmap& bm, const TGraphFilter& f) {
  Apply(bm, f, 0, 0, bm.GetWidth(), bm.GetHeight());
}

// The convolution written out step by step: nine product tables, a working
// bitmap, the nine neighbours in order, 32-bit wrapping sums.
void ReferenceFilter(TBitmap& bm, const TGraphFilter& f, int x1, int y1, int x2, int y2) {
  const int w = bm.GetWidth(), h = bm.GetHeight();
  const int xl = std::min(x2, w) - 1, yl = std::min(y2, h) - 1;
  const int32_t divisor = f.Divisor == 0 ? 1 : f.Divisor;
  std::vector<std::vector<uint32_t>> table(9, std::vector<uint32_t>(256));
  for (int k = 0; k < 9; ++k)
    for (int v = 0; v < 256; ++v) table[k][v] = uint32_t(f.Values[k / 3][k % 3]) * uint32_t(v);
  auto work = Clone(bm);
  for (int y = y1; y <= yl; ++y) {
    const int ys[3] = {std::clamp(y - 1, 0, h - 1), y, std::clamp(y + 1, 0, h - 1)};
    for (int x = x1; x <= xl; ++x) {
      const int xs[3] = {std::max(x - 1, 0), x, std::min(x + 1, w - 1)};
      for (int ch = 0; ch < 3; ++ch) {
        uint32_t sum = 0;
        for (int k = 0; k < 9; ++k) sum += table[k][bm.ScanLine(ys[k / 3])[3 * xs[k % 3] + ch]];
        const int64_t q = int64_t(int32_t(sum)) / divisor;
        work->ScanLine(y)[3 * x + ch] = uint8_t(std::clamp<int64_t>(q, 0, 255));
      }
    }
  }
  bm.Assign(*work);
}

// 3 x 3, every channel of a pixel equal: 10 20 30 / 40 50 60 / 70 80 90.
std::unique_ptr<TBitmap> Ramp3x3() {
  auto bm = Make24(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      const int v = 10 * (3 * y + x + 1);
      SetPx(*bm, x, y, Rgb(v, v, v));
    }
  return bm;
}

TEST(FilterConvolution, PresetTable) {
  EXPECT_EQ(PVFiltPres[fpNone], Kernel({0, 0, 0, 0, 1, 0, 0, 0, 0}, 0));
  EXPECT_EQ(PVFiltPres[fpBlur], Kernel({1, 1, 1, 1, 1, 1, 1, 1, 1}, 9));
  EXPECT_EQ(PVFiltPres[fpEdge], Kernel({1, 1, 1, 1, -8, 1, 1, 1, 1}, 1));
  EXPECT_EQ(PVFiltPres[fpEmboss], Kernel({-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1));
  EXPECT_EQ(PVFiltPres[fpHighPass1], Kernel({0, -1, 0, -1, 5, -1, 0, -1, 0}, 1));
  EXPECT_EQ(PVFiltPres[fpHighPass2], Kernel({-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1));
  EXPECT_EQ(PVFiltPres[fpHighPass3], Kernel({1, -2, 1, -2, 5, -2, 1, -2, 1}, 1));
  EXPECT_EQ(PVFiltPres[LowPass1], Kernel({1, 1, 1, 1, 1, 1, 1, 1, 1}, 10));
  EXPECT_EQ(PVFiltPres[LowPass2], Kernel({1, 2, 1, 2, 4, 2, 1, 2, 1}, 16));
}

TEST(FilterConvolution, NoneAndBlurAreIdentities) {
  auto photo = RandomImage(37, 23, 1);
  auto before = Clone(*photo);
  ApplyAll(*photo, PVFiltPres[fpNone]);  // divisor 0 taken as 1
  EXPECT_EQ(FirstDifference(*photo, *before), "");

  // Blur of one colour, border pixels included (they repeat themselves).
  auto flat = Make24(9, 7, Rgb(201, 3, 77));
  ApplyAll(*flat, PVFiltPres[fpBlur]);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(Px(*flat, x, y), Rgb(201, 3, 77)) << x << "," << y;
}

TEST(FilterConvolution, OrientationAndBorderReplication) {
  // out = above-left + 2 x below-right: rows and columns cannot be swapped
  // without changing the result.
  const TGraphFilter f = Kernel({1, 0, 0, 0, 0, 0, 0, 0, 2}, 1);
  auto bm = Ramp3x3();
  ApplyAll(*bm, f);
  // (0,0): 10 + 2*50; (1,0): 10 + 2*60; (2,0): 20 + 2*60 (right column repeated);
  // (0,1): 10 + 2*80; (1,1): 10 + 2*90 -> 190; (2,1): 20 + 2*90 -> 200;
  // (0,2): 40 + 2*80; (1,2): 40 + 2*90; (2,2): 50 + 2*90 -> 230.
  const int expect[3][3] = {{110, 130, 140}, {170, 190, 200}, {200, 220, 230}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(*bm, x, y).g, expect[y][x]) << x << "," << y;

  // fpEdge: the corner (0,0) sees 10,10,20 / 10,(10),20 / 40,40,50 -> 200 - 80.
  auto edge = Ramp3x3();
  ApplyAll(*edge, PVFiltPres[fpEdge]);
  EXPECT_EQ(Px(*edge, 0, 0), Rgb(120, 120, 120));
  EXPECT_EQ(Px(*edge, 1, 0), Rgb(90, 90, 90));  // 10,20,30,10,30,40,50,60 - 160
  EXPECT_EQ(Px(*edge, 1, 1), Rgb(0, 0, 0));     // 400 - 400
  EXPECT_EQ(Px(*edge, 2, 2), Rgb(0, 0, 0));     // 600 - 720 clamps to 0
}

TEST(FilterConvolution, InnerRectangleReadsOutsideNeighbours) {
  const TGraphFilter f = Kernel({1, 0, 0, 0, 0, 0, 0, 0, 2}, 1);
  auto bm = Ramp3x3();
  Apply(*bm, f, 1, 1, 2, 2);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      const int v = (x == 1 && y == 1) ? 190 : 10 * (3 * y + x + 1);
      EXPECT_EQ(Px(*bm, x, y), Rgb(v, v, v)) << x << "," << y;
    }
  // A rectangle reaching past the bitmap is clamped to it.
  auto clamped = Ramp3x3();
  Apply(*clamped, f, 2, 2, 50, 50);
  EXPECT_EQ(Px(*clamped, 2, 2).r, 230);
  EXPECT_EQ(Px(*clamped, 1, 1).r, 50);
}

TEST(FilterConvolution, DivisionTruncatesAndClamps) {
  auto one = [](int centre, int divisor, TRGB pixel) {
    auto bm = Make24(20, 2, pixel);  // wide enough for the vector loop
    ApplyAll(*bm, Kernel({0, 0, 0, 0, centre, 0, 0, 0, 0}, divisor));
    for (int x = 1; x < 20; ++x) EXPECT_EQ(Px(*bm, x, 1), Px(*bm, 0, 0)) << x;
    return Px(*bm, 0, 0);
  };
  // Per channel: 7 div 2 = 3 (not rounded to 4); -7 div 2 = -3, clamped to 0;
  // -7 div -2 = 3; 7 div -2 = -3 -> 0; 7 div 7 = 1.
  EXPECT_EQ(one(7, 2, Rgb(1, 2, 3)), Rgb(3, 7, 10));
  EXPECT_EQ(one(-7, 2, Rgb(1, 2, 3)), Rgb(0, 0, 0));
  EXPECT_EQ(one(-7, -2, Rgb(1, 2, 3)), Rgb(3, 7, 10));
  EXPECT_EQ(one(7, -2, Rgb(1, 2, 3)), Rgb(0, 0, 0));
  EXPECT_EQ(one(7, 7, Rgb(1, 2, 3)), Rgb(1, 2, 3));
  // Above 255 x divisor the channel saturates.
  EXPECT_EQ(one(10, 1, Rgb(100, 25, 26)), Rgb(255, 250, 255));
  EXPECT_EQ(one(10, 4, Rgb(103, 102, 101)), Rgb(255, 255, 252));
  // A divisor beyond the vector range: 254 * 200000 div 200000.
  EXPECT_EQ(one(200000, 200000, Rgb(254, 1, 0)), Rgb(254, 1, 0));
  EXPECT_EQ(one(200000, -200000, Rgb(254, 1, 0)), Rgb(0, 0, 0));
}

TEST(FilterConvolution, MatchesReferenceOnRandomKernels) {
  BothPaths([](bool generic) {
    std::mt19937 rng(7);
    const int divisors[] = {0,   1,     -1,     2,     9,      16,      -3,
                            255, 65536, -65536, 65537, -70000, INT_MIN, INT_MAX};
    int round = 0;
    for (int divisor : divisors)
      for (int scale : {3, 40, 1 << 28}) {
        ++round;
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 9);
        auto bm = RandomImage(w, h, 100 + round);
        TGraphFilter f;
        for (auto& row : f.Values)
          for (int& v : row) v = int(rng() % uint32_t(2 * scale + 1)) - scale;
        f.Divisor = divisor;
        int x1 = int(rng() % uint32_t(w)), y1 = int(rng() % uint32_t(h));
        int x2 = x1 + 1 + int(rng() % uint32_t(w)), y2 = y1 + 1 + int(rng() % uint32_t(h));
        if (round % 3 == 0) x1 = y1 = 0, x2 = w, y2 = h;
        auto expect = Clone(*bm);
        ReferenceFilter(*expect, f, x1, y1, x2, y2);
        Apply(*bm, f, x1, y1, x2, y2);
        ASSERT_EQ(FirstDifference(*bm, *expect), "")
            << "divisor " << divisor << " scale " << scale << " generic " << generic;
      }
  });
}

TEST(FilterConvolution, ProgressAndFormats) {
  auto bm = RandomImage(5, 10, 3);
  std::vector<int> reports;
  TProgressRec progress;
  progress.ProgressEvent = [&](TObject*, int per) { reports.push_back(per); };
  _ApplyFilter(*bm, PVFiltPres[fpBlur], 0, 0, 5, 10, progress);
  // trunc(row * 100 / 9.5) for rows 1..10: the last report is 105.
  EXPECT_EQ(reports, (std::vector<int>{10, 21, 31, 42, 52, 63, 73, 84, 94, 105}));

  TBitmap mono(16, 4, pf1bit);
  mono.ScanLine(1)[0] = 0x5A;
  _ApplyFilter(mono, PVFiltPres[fpEdge], 0, 0, 16, 4, progress);
  EXPECT_EQ(mono.ScanLine(1)[0], 0x5A);
  EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
}

// --- The filter file ------------------------------------------------------------

class FilterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("pictavo_filterfile_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::vector<uint8_t> Bytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::string& path, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::filesystem::path dir_;
};

TEST_F(FilterFile, RoundTripAndLayout) {
  const TGraphFilter f = Kernel({1, -2, 3, -4, 0x12345678, 6, -7, 8, INT_MIN}, -300);
  SaveFilterToFile(Path("k.flt"), f);
  const auto bytes = Bytes(Path("k.flt"));
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 3);
  EXPECT_EQ(bytes[2], 3);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 3, bytes.begin() + 11),
            (std::vector<uint8_t>{1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 19, bytes.begin() + 23),
            (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 35, bytes.begin() + 43),
            (std::vector<uint8_t>{0, 0, 0, 0x80, 0xD4, 0xFE, 0xFF, 0xFF}));
  EXPECT_EQ(LoadFilterFromFile(Path("k.flt")), f);

  // Saving again truncates: still 43 bytes.
  Write(Path("k.flt"), std::vector<uint8_t>(100, 7));
  SaveFilterToFile(Path("k.flt"), PVFiltPres[LowPass2]);
  EXPECT_EQ(Bytes(Path("k.flt")).size(), 43u);
  EXPECT_EQ(LoadFilterFromFile(Path("k.flt")), PVFiltPres[LowPass2]);
}

TEST_F(FilterFile, WrongHeaderShortFileAndMissingFile) {
  std::vector<uint8_t> bytes = {1, 3, 4};
  bytes.resize(43, 1);
  Write(Path("bad.flt"), bytes);
  EXPECT_EQ(LoadFilterFromFile(Path("bad.flt")), TGraphFilter{});

  // Header and 10 bytes: two coefficients and two bytes of the third.
  Write(Path("short.flt"), {1, 3, 3, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02});
  const TGraphFilter s = LoadFilterFromFile(Path("short.flt"));
  EXPECT_EQ(s.Values[0][0], 5);
  EXPECT_EQ(s.Values[0][1], -1);
  EXPECT_EQ(s.Values[0][2], 0x0201);
  EXPECT_EQ(s.Values[2][2], 0);
  EXPECT_EQ(s.Divisor, 0);

  Write(Path("tiny.flt"), {1, 3});
  EXPECT_EQ(LoadFilterFromFile(Path("tiny.flt")), TGraphFilter{});
  EXPECT_THROW(LoadFilterFromFile(Path("absent.flt")), EFOpenError);
  EXPECT_THROW(SaveFilterToFile(Path("no/such/dir.flt"), PVFiltPres[fpBlur]), EFCreateError);
  // A save that cannot replace a file keeps the kernel it holds.
  SaveFilterToFile(Path("kept.flt"), PVFiltPres[LowPass2]);
  ASSERT_EQ(::chmod(Path("kept.flt").c_str(), 0444), 0);
  EXPECT_THROW(SaveFilterToFile(Path("kept.flt"), PVFiltPres[fpBlur]), EFCreateError);
  EXPECT_EQ(LoadFilterFromFile(Path("kept.flt")), PVFiltPres[LowPass2]);
}

// --- Morphology --------------------------------------------------------------------

// The window scan written out: every pixel scans (2n+1)^2 neighbours,
// clamped to the rectangle, and takes a strictly better grey.
void ReferenceMorphPass(TBitmap& bm, int n, bool maximum, int x1, int y1, int x2, int y2) {
  auto input = Clone(bm);
  for (int y = y1; y < y2; ++y)
    for (int x = x1; x < x2; ++x) {
      int best = maximum ? 0 : 255;
      TRGB colour = Px(*input, x, y);
      for (int dy = -n; dy <= n; ++dy)
        for (int dx = -n; dx <= n; ++dx) {
          const TRGB c = Px(*input, std::clamp(x + dx, x1, x2 - 1), std::clamp(y + dy, y1, y2 - 1));
          const int g = Grey(c);
          if (maximum ? g > best : g < best) best = g, colour = c;
        }
      SetPx(bm, x, y, colour);
    }
}

void ReferenceMorph(TBitmap& bm, int n, int op, int x1, int y1, int x2, int y2) {
  x2 = std::min(x2, bm.GetWidth());
  y2 = std::min(y2, bm.GetHeight());
  const std::vector<bool> passes = op == pvmoMaximum   ? std::vector<bool>{true}
                                   : op == pvmoMinimum ? std::vector<bool>{false}
                                   : op == pvmoOpening ? std::vector<bool>{false, true}
                                                       : std::vector<bool>{true, false};
  for (bool maximum : passes) ReferenceMorphPass(bm, n, maximum, x1, y1, x2, y2);
}

void Morph(TBitmap& bm, int n, int op) {
  _MorphFilter(bm, n, op, 0, 0, bm.GetWidth(), bm.GetHeight(), nullptr, nullptr);
}

TEST(FilterMorphology, OpeningRemovesBrightSpecksClosingDarkOnes) {
  const TRGB ground = Rgb(100, 120, 140), bright = Rgb(250, 240, 230), dark = Rgb(5, 0, 9);
  auto speck = Make24(7, 6, ground);
  SetPx(*speck, 3, 2, bright);
  SetPx(*speck, 0, 5, bright);  // in a corner too
  Morph(*speck, 1, pvmoOpening);
  EXPECT_EQ(FirstDifference(*speck, *Make24(7, 6, ground)), "");

  auto hole = Make24(7, 6, ground);
  SetPx(*hole, 4, 3, dark);
  SetPx(*hole, 6, 0, dark);
  Morph(*hole, 1, pvmoClosing);
  EXPECT_EQ(FirstDifference(*hole, *Make24(7, 6, ground)), "");

  // A 3 x 3 bright square survives opening with window 1 exactly.
  auto square = Make24(9, 9, ground);
  for (int y = 3; y < 6; ++y)
    for (int x = 2; x < 5; ++x) SetPx(*square, x, y, bright);
  auto before = Clone(*square);
  Morph(*square, 1, pvmoOpening);
  EXPECT_EQ(FirstDifference(*square, *before), "");
  // ...while maximum grows it by one pixel each way.
  Morph(*square, 1, pvmoMaximum);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(Px(*square, x, y), (x >= 1 && x <= 5 && y >= 2 && y <= 6) ? bright : ground)
          << x << "," << y;
}

TEST(FilterMorphology, TiesGoToTheFirstPixelInRowMajorOrder) {
  // Equal greys of 7: (0,0,100) -> 700 div 100, (0,10,0) -> 710 div 100.
  const TRGB a = Rgb(0, 0, 100), b = Rgb(0, 10, 0), c = Rgb(33, 0, 0);  // c: grey 6
  ASSERT_EQ(Grey(a), 7);
  ASSERT_EQ(Grey(b), 7);
  ASSERT_EQ(Grey(c), 6);
  auto row = Make24(3, 1);
  SetPx(*row, 0, 0, a);
  SetPx(*row, 1, 0, b);
  SetPx(*row, 2, 0, c);
  Morph(*row, 1, pvmoMaximum);
  EXPECT_EQ(Px(*row, 0, 0), a);
  EXPECT_EQ(Px(*row, 1, 0), a);
  EXPECT_EQ(Px(*row, 2, 0), b);

  // The top row wins over the left column: the centre of a 3 x 3 picks the
  // top-right pixel, not the middle-left one of the same grey.
  auto grid = Make24(3, 3, c);
  SetPx(*grid, 2, 0, b);
  SetPx(*grid, 0, 1, a);
  Morph(*grid, 1, pvmoMaximum);
  EXPECT_EQ(Px(*grid, 1, 1), b);
  EXPECT_EQ(Px(*grid, 0, 2), a);  // its window holds only (0,1) of grey 7
  // The minimum pass, light ties: the first of the darkest.
  auto g3 = Make24(3, 3, Rgb(255, 255, 255));
  SetPx(*g3, 2, 0, b);
  SetPx(*g3, 0, 1, a);
  Morph(*g3, 1, pvmoMinimum);
  EXPECT_EQ(Px(*g3, 1, 1), b);
  EXPECT_EQ(Px(*g3, 1, 2), a);
}

TEST(FilterMorphology, NothingBrighterThanBlackKeepsOwnColour) {
  // Greys 0: (4,0,0) -> 84 div 100 and (0,0,14) -> 98 div 100.
  auto bm = Make24(2, 2);
  SetPx(*bm, 0, 0, Rgb(4, 0, 0));
  SetPx(*bm, 1, 0, Rgb(0, 0, 14));
  SetPx(*bm, 0, 1, Rgb(0, 1, 0));
  SetPx(*bm, 1, 1, Rgb(0, 0, 0));
  auto before = Clone(*bm);
  Morph(*bm, 3, pvmoMaximum);
  EXPECT_EQ(FirstDifference(*bm, *before), "");
}

TEST(FilterMorphology, WindowStaysInsideTheRectangle) {
  // Rectangle x 1..5, y 0..1 of a 6 x 3 image; bright pixels left of and
  // below it are never read.  With n = 2 the pixel (4,1) of grey 59 reaches
  // columns 2..5 of both rows; column 1 sees only columns 1..3.
  auto bm = Make24(6, 3, Rgb(10, 10, 10));
  SetPx(*bm, 0, 0, Rgb(250, 250, 250));
  SetPx(*bm, 3, 2, Rgb(250, 250, 250));
  SetPx(*bm, 4, 1, Rgb(60, 60, 60));
  _MorphFilter(*bm, 2, pvmoMaximum, 1, 0, 6, 2, nullptr, nullptr);
  for (int x = 1; x < 6; ++x) {
    const TRGB expect = x >= 2 ? Rgb(60, 60, 60) : Rgb(10, 10, 10);
    EXPECT_EQ(Px(*bm, x, 0), expect) << x;
    EXPECT_EQ(Px(*bm, x, 1), expect) << x;
  }
  EXPECT_EQ(Px(*bm, 0, 0), Rgb(250, 250, 250));
  EXPECT_EQ(Px(*bm, 3, 2), Rgb(250, 250, 250));
  EXPECT_EQ(Px(*bm, 2, 2), Rgb(10, 10, 10));
}

TEST(FilterMorphology, MatchesWindowScanOnRandomImages) {
  BothPaths([](bool generic) {
    std::mt19937 rng(11);
    for (int round = 0; round < 70; ++round) {
      // Mostly small images; some wider ones with long vector runs.
      const bool wide = round % 10 == 5 || round % 10 == 9;
      const int w = wide ? 150 + int(rng() % 50) : 1 + int(rng() % 30);
      const bool long_window = round % 10 == 9;  // 67 columns: past the doubling spans
      const int h = long_window ? 8 : wide ? 40 : 1 + int(rng() % 25);
      auto bm = RandomImage(w, h, 500 + round, round % 2 ? 4 : 256);
      const int n = long_window ? 33 : int(rng() % 6) - 1;
      const int op = round % 4;
      int x1 = 0, y1 = 0, x2 = w, y2 = h;
      if (round % 3) {
        x1 = int(rng() % uint32_t(w)), y1 = int(rng() % uint32_t(h));
        x2 = x1 + 1 + int(rng() % uint32_t(w)), y2 = y1 + 1 + int(rng() % uint32_t(h));
      }
      auto expect = Clone(*bm);
      ReferenceMorph(*expect, n, op, x1, y1, x2, y2);
      _MorphFilter(*bm, n, op, x1, y1, x2, y2, nullptr, nullptr);
      ASSERT_EQ(FirstDifference(*bm, *expect), "")
          << "round " << round << " n " << n << " op " << op << " " << w << "x" << h << " generic "
          << generic;
    }
  });
}

// The window scan of one pixel of one pass.
TRGB ReferenceMorphPixel(const TBitmap& input, int x, int y, int n, bool maximum) {
  const int w = input.GetWidth(), h = input.GetHeight();
  int best = maximum ? 0 : 255;
  TRGB colour = Px(input, x, y);
  for (int dy = -n; dy <= n; ++dy)
    for (int dx = -n; dx <= n; ++dx) {
      const TRGB c = Px(input, std::clamp(x + dx, 0, w - 1), std::clamp(y + dy, 0, h - 1));
      const int g = Grey(c);
      if (maximum ? g > best : g < best) best = g, colour = c;
    }
  return colour;
}

TEST(FilterMorphology, WideKeysOnALongRectangle) {
  // 3 x (2^22 + 1): row and column indices need more than 24 bits together,
  // so the keys are 64-bit.  Both ends and a sample of the middle are checked.
  const int w = (1 << 22) + 1, h = 3;
  auto bm = Make24(w, h);
  uint32_t state = 99;  // xorshift: three levels per channel, cheaply
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bm->ScanLine(y);
    for (int i = 0; i < 3 * w; ++i) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      row[i] = uint8_t((state % 3) * 127);
    }
  }
  auto input = Clone(*bm);
  _MorphFilter(*bm, 2, pvmoMinimum, 0, 0, w, h, nullptr, nullptr);
  std::vector<int> columns;
  for (int x = 0; x < 300; ++x) columns.insert(columns.end(), {x, w - 1 - x, x * 13981});
  for (int x : columns)
    for (int y = 0; y < h; ++y)
      ASSERT_EQ(Px(*bm, x, y), ReferenceMorphPixel(*input, x, y, 2, false)) << x << "," << y;
}

TEST(FilterMorphology, ProgressOfTwoPassesAndFormats) {
  auto bm = RandomImage(5, 4, 8);
  std::vector<int> reports;
  _MorphFilter(
      *bm, 1, pvmoOpening, 0, 0, 5, 4, [&](TObject*, int per) { reports.push_back(per); }, nullptr);
  // Factor 100 / 3.5 / 2; rows 1..4 of the first pass, then 5..8.
  EXPECT_EQ(reports, (std::vector<int>{14, 28, 42, 57, 71, 85, 100, 114}));

  TBitmap mono(8, 2, pf1bit);
  mono.ScanLine(0)[0] = 0x81;
  _MorphFilter(mono, 1, pvmoMaximum, 0, 0, 8, 2, nullptr, nullptr);
  EXPECT_EQ(mono.ScanLine(0)[0], 0x81);
  // Negative windows leave the pixels as they are.
  auto noisy = RandomImage(6, 6, 9);
  auto before = Clone(*noisy);
  Morph(*noisy, -3, pvmoClosing);
  EXPECT_EQ(FirstDifference(*noisy, *before), "");
}

}  // namespace
}  // namespace pictavo

// --- Through the processing component ------------------------------------------------

namespace pictavo {
namespace {

TEST(FilterProc, PresetOnARectangleWithUndo) {
  auto bm = RandomImage(12, 10, 21);
  auto before = Clone(*bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  proc.Select(2, 3, 7, 8);
  proc.ApplyFilterPreset(fpEdge);
  auto expect = Clone(*before);
  ReferenceFilter(*expect, PVFiltPres[fpEdge], 2, 3, 7, 8);
  EXPECT_EQ(FirstDifference(*bm, *expect), "");
  ASSERT_TRUE(proc.CanUndo());
  proc.Undo();
  EXPECT_EQ(FirstDifference(*bm, *before), "");
  // A custom kernel on the whole image.
  proc.SelectAll();
  proc.ApplyFilter(Kernel({0, 0, 0, 0, 2, 0, 0, 0, 0}, 4));
  for (int x = 0; x < 12; ++x) EXPECT_EQ(Px(*bm, x, 4).g, Px(*before, x, 4).g / 2);
}

TEST(FilterProc, MorphologyOnAPolygonKeepsTheOutside) {
  // A triangle inside the box 4..16 x 2..14: the box goes through the
  // worker as a copy and only the triangle comes back.
  auto bm = RandomImage(20, 16, 22);
  auto before = Clone(*bm);
  TPictavoProc proc;
  proc.SetAttachedBitmap(bm.get());
  const TPoint triangle[] = {{4, 2}, {16, 2}, {4, 14}};
  proc.SelectPolygon(triangle, 3);
  proc.Maximum(1);
  auto box = Make24(12, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) SetPx(*box, x, y, Px(*before, x + 4, y + 2));
  ReferenceMorphPass(*box, 1, true, 0, 0, 12, 12);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) {
      const TRGB got = Px(*bm, x, y);
      const bool inBox = x >= 4 && x < 16 && y >= 2 && y < 14;
      if (!inBox)
        ASSERT_EQ(got, Px(*before, x, y)) << x << "," << y;
      else
        ASSERT_TRUE(got == Px(*before, x, y) || got == Px(*box, x - 4, y - 2)) << x << "," << y;
    }
  EXPECT_EQ(Px(*bm, 6, 5), Px(*box, 2, 3));         // well inside
  EXPECT_EQ(Px(*bm, 15, 13), Px(*before, 15, 13));  // the box corner outside
}

TEST(FilterProc, FormatsAndMissingBitmap) {
  TPictavoProc none;
  none.ApplyFilterPreset(fpBlur);  // nothing attached: nothing happens
  none.Opening(2);
  TBitmap mono(16, 4, pf1bit);
  mono.ScanLine(1)[0] = 0x5A;
  TPictavoProc proc;
  proc.SetAttachedBitmap(&mono);
  proc.ApplyFilterPreset(fpBlur);
  EXPECT_FALSE(proc.CanUndo());  // refused before the undo copy
  proc.Closing(1);
  EXPECT_EQ(mono.ScanLine(1)[0], 0x5A);
}

}  // namespace
}  // namespace pictavo
