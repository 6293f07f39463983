// The magic wand on hand-drawn shapes: the outline polygon, scan-converted
// by the mask, must give exactly the 4-connected region of similar colour
// with its enclosed holes filled, computed here by a plain breadth-first
// fill.
#include "view/magic_wand.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "core/mask.h"
#include "platform/bitmap.h"

namespace pictavo {
namespace {

// '#' black, '.' white, digits grey levels 10 * d.
std::unique_ptr<TBitmap> FromRows(const std::vector<std::string>& rows) {
  const int h = int(rows.size()), w = int(rows[0].size());
  auto b = std::make_unique<TBitmap>(w, h, pf24bit);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const char c = rows[y][x];
      const uint8_t v = c == '#' ? 0 : c == '.' ? 255 : uint8_t(10 * (c - '0'));
      uint8_t* p = b->ScanLine(y) + 3 * x;
      p[0] = p[1] = p[2] = v;
    }
  return b;
}

using Map = std::vector<uint8_t>;

// 4-connected pixels within tolerance of the seed.
Map ReferenceFill(const TBitmap& b, int sx, int sy, int tol) {
  const int w = b.GetWidth(), h = b.GetHeight();
  auto at = [&](int x, int y) { return b.ScanLine(y) + 3 * x; };
  const uint8_t* s = at(sx, sy);
  auto match = [&](int x, int y) {
    const uint8_t* p = at(x, y);
    for (int c = 0; c < 3; ++c)
      if (std::abs(p[c] - s[c]) > tol) return false;
    return true;
  };
  Map m(size_t(w * h), 0);
  std::deque<std::pair<int, int>> q{{sx, sy}};
  m[sy * w + sx] = 1;
  while (!q.empty()) {
    auto [x, y] = q.front();
    q.pop_front();
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int i = 0; i < 4; ++i) {
      if (nx[i] < 0 || ny[i] < 0 || nx[i] >= w || ny[i] >= h || m[ny[i] * w + nx[i]]) continue;
      if (!match(nx[i], ny[i])) continue;
      m[ny[i] * w + nx[i]] = 1;
      q.push_back({nx[i], ny[i]});
    }
  }
  return m;
}

// Adds the holes: pixels that cannot reach the outside of the image through
// 4-connected pixels outside the region (a gap where two region pixels
// touch only at a corner does not let the outside in: the outline is
// traced round such corners).
Map FillHoles(const Map& region, int w, int h) {
  Map outside(size_t((w + 2) * (h + 2)), 0);
  auto in = [&](int x, int y) {  // padded coordinates
    return x >= 1 && y >= 1 && x <= w && y <= h && region[(y - 1) * w + (x - 1)];
  };
  std::deque<std::pair<int, int>> q{{0, 0}};
  outside[0] = 1;
  while (!q.empty()) {
    auto [x, y] = q.front();
    q.pop_front();
    for (int k = 0; k < 4; ++k) {
      const int nx = x + (k == 0) - (k == 1), ny = y + (k == 2) - (k == 3);
      if (nx < 0 || ny < 0 || nx > w + 1 || ny > h + 1) continue;
      if (outside[ny * (w + 2) + nx] || in(nx, ny)) continue;
      outside[ny * (w + 2) + nx] = 1;
      q.push_back({nx, ny});
    }
  }
  Map filled(size_t(w * h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) filled[y * w + x] = !outside[(y + 1) * (w + 2) + x + 1];
  return filled;
}

Map MaskOf(const std::vector<TPoint>& points, int w, int h) {
  TPVMask mask;
  mask.AllocateBits(w, h, 1);
  mask.DrawPolygon(1, points.data(), int(points.size()));
  Map m(size_t(w * h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m[y * w + x] = uint8_t(mask.GetPixel(x, y));
  return m;
}

std::string Show(const Map& m, int w, int h) {
  std::string s;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s += m[y * w + x] ? '#' : '.';
    s += '\n';
  }
  return s;
}

void ExpectWandMatches(const TBitmap& b, int x, int y, int tol) {
  const int w = b.GetWidth(), h = b.GetHeight();
  const std::vector<TPoint> pts = PVMagicWand(b, x, y, false, tol);
  ASSERT_FALSE(pts.empty());
  for (const TPoint& p : pts) {
    ASSERT_GE(p.x, 0);
    ASSERT_LE(p.x, w);
    ASSERT_GE(p.y, 0);
    ASSERT_LE(p.y, h);
  }
  const Map expected = FillHoles(ReferenceFill(b, x, y, tol), w, h);
  const Map got = MaskOf(pts, w, h);
  EXPECT_EQ(Show(got, w, h), Show(expected, w, h)) << "seed " << x << "," << y;
}

TEST(MagicWand, RingSelectsItsHoleToo) {
  auto b = FromRows({"..........", ".########.", ".########.", ".##....##.", ".##.##.##.",
                     ".##....##.", ".########.", "..........", ".........."});
  ExpectWandMatches(*b, 1, 1, 0);
  // The whole 8 x 6 square, hole and island included.
  const Map got = MaskOf(PVMagicWand(*b, 3, 2, false, 0), 10, 9);
  int count = 0;
  for (uint8_t v : got) count += v;
  EXPECT_EQ(count, 8 * 6);
}

TEST(MagicWand, LShapeAndConcaveCorners) {
  auto b = FromRows({"...........", ".##........", ".##........", ".##........", ".#######...",
                     ".#######...", "......##...", "......####.", "..........."});
  ExpectWandMatches(*b, 1, 1, 0);
  ExpectWandMatches(*b, 0, 0, 0);  // the background round it touches every edge
}

TEST(MagicWand, RegionTouchingTheImageEdges) {
  auto b = FromRows({"######", "#....#", "#.##.#", "######"});
  ExpectWandMatches(*b, 0, 0, 0);
  const std::vector<TPoint> pts = PVMagicWand(*b, 0, 0, false, 0);
  // Points lie on pixel corners up to the far edges.
  int maxX = 0, maxY = 0;
  for (const TPoint& p : pts) maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
  EXPECT_EQ(maxX, 6);
  EXPECT_EQ(maxY, 4);
}

TEST(MagicWand, CheckerboardAndDiagonalContactStayOneCell) {
  auto b = FromRows({"##..##..", "##..##..", "..##..##", "..##..##", "##..##..", "##..##.."});
  ExpectWandMatches(*b, 2, 2, 0);
  const Map got = MaskOf(PVMagicWand(*b, 2, 2, false, 0), 8, 6);
  int count = 0;
  for (uint8_t v : got) count += v;
  EXPECT_EQ(count, 4);
  auto one = FromRows({"#.#", ".#.", "#.#"});
  const Map single = MaskOf(PVMagicWand(*one, 1, 1, false, 0), 3, 3);
  EXPECT_EQ(Show(single, 3, 3), "...\n.#.\n...\n");
}

TEST(MagicWand, ToleranceZeroOnAUniformAreaExcludesDiagonalNeighbours) {
  auto b = FromRows({"5555.", "5555.", "....5", "5555."});
  const Map got = MaskOf(PVMagicWand(*b, 0, 0, false, 0), 5, 4);
  EXPECT_EQ(Show(got, 5, 4), "####.\n####.\n.....\n.....\n");
  // Grey 60 is within 15 of 50, 70 is not.
  auto grad = FromRows({"567", "567"});
  EXPECT_EQ(Show(MaskOf(PVMagicWand(*grad, 0, 0, false, 15), 3, 2), 3, 2), "##.\n##.\n");
}

TEST(MagicWand, MaxFilterClosesANotchInsideTheBox) {
  auto b = FromRows({"###.###", "#######", "#######"});
  EXPECT_EQ(Show(MaskOf(PVMagicWand(*b, 0, 0, false, 0), 7, 3), 7, 3),
            "###.###\n#######\n#######\n");
  EXPECT_EQ(Show(MaskOf(PVMagicWand(*b, 0, 0, true, 0), 7, 3), 7, 3),
            "#######\n#######\n#######\n");
}

TEST(MagicWand, NothingForOtherFormatsOrSeedsOutside) {
  TBitmap mono(8, 8, pf1bit);
  EXPECT_TRUE(PVMagicWand(mono, 1, 1, false, 0).empty());
  auto b = FromRows({"##", "##"});
  EXPECT_TRUE(PVMagicWand(*b, 2, 0, false, 0).empty());
  EXPECT_TRUE(PVMagicWand(*b, 0, -1, false, 0).empty());
  EXPECT_EQ(Show(MaskOf(PVMagicWand(*b, 1, 1, false, 0), 2, 2), 2, 2), "##\n##\n");
}

TEST(MagicWand, RandomBlobsMatchTheReference) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 60; ++trial) {
    const int w = 6 + int(rng() % 20), h = 6 + int(rng() % 20);
    auto b = std::make_unique<TBitmap>(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = b->ScanLine(y) + 3 * x;
        p[0] = p[1] = p[2] = (rng() % 100) < 62 ? 0 : 255;
      }
    const int sx = int(rng() % w), sy = int(rng() % h);
    SCOPED_TRACE(trial);
    ExpectWandMatches(*b, sx, sy, 0);
  }
}

}  // namespace
}  // namespace pictavo
