#include "view/magic_wand.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "platform/bitmap.h"

namespace pictavo {

namespace {

// A bit map of width x height, rows of 64-bit words.
class BitGrid {
 public:
  BitGrid() = default;
  BitGrid(int64_t width, int64_t height)
      : width_(width),
        height_(height),
        words_((width + 63) / 64),
        bits_(size_t(words_ * height), 0) {}
  bool Get(int64_t x, int64_t y) const {
    return (bits_[size_t(y * words_ + (x >> 6))] >> (x & 63)) & 1u;
  }
  void Set(int64_t x, int64_t y) {
    bits_[size_t(y * words_ + (x >> 6))] |= uint64_t(1) << (x & 63);
  }
  int64_t Width() const { return width_; }
  int64_t Height() const { return height_; }

 private:
  int64_t width_ = 0, height_ = 0, words_ = 0;
  std::vector<uint64_t> bits_;
};

struct Box {
  int x1 = std::numeric_limits<int>::max(), y1 = std::numeric_limits<int>::max();
  int x2 = -1, y2 = -1;  // inclusive
  void Add(int y, int xl, int xr) {
    x1 = std::min(x1, xl), x2 = std::max(x2, xr);
    y1 = std::min(y1, y), y2 = std::max(y2, y);
  }
};

// A span waiting to be scanned: row, the parent's columns, direction.
struct Span {
  int y, xl, xr, dir;
};

class Filler {
 public:
  Filler(const TBitmap& bitmap, int tolerance)
      : bm_(bitmap),
        w_(bitmap.GetWidth()),
        h_(bitmap.GetHeight()),
        tol_(tolerance),
        filled_(w_, h_) {}

  void Run(int x, int y) {
    const uint8_t* p = bm_.ScanLine(y) + 3 * x;
    b0_ = p[0], g0_ = p[1], r0_ = p[2];
    int xl = x, xr = x;
    FillRun(y, xl, xr);
    Push(y + 1, xl, xr, 1);
    Push(y - 1, xl, xr, -1);
    while (!stack_.empty()) {
      Span s = stack_.back();
      stack_.pop_back();
      ScanRow(s);
    }
  }
  const BitGrid& Filled() const { return filled_; }
  const Box& Bounds() const { return box_; }

 private:
  bool Matches(const uint8_t* row, int x) const {
    const uint8_t* p = row + 3 * x;
    return std::abs(p[0] - b0_) <= tol_ && std::abs(p[1] - g0_) <= tol_ &&
           std::abs(p[2] - r0_) <= tol_;
  }
  bool Open(const uint8_t* row, int x, int y) const {
    return !filled_.Get(x, y) && Matches(row, x);
  }
  // Grows the run round (x, y) left and right, marks it and the box.
  void FillRun(int y, int& xl, int& xr) {
    const uint8_t* row = bm_.ScanLine(y);
    while (xl > 0 && Open(row, xl - 1, y)) --xl;
    while (xr + 1 < w_ && Open(row, xr + 1, y)) ++xr;
    for (int x = xl; x <= xr; ++x) filled_.Set(x, y);
    box_.Add(y, xl, xr);
  }
  void Push(int y, int xl, int xr, int dir) {
    if (y < 0 || y >= h_) return;
    stack_.push_back({y, xl, xr, dir});
  }
  // Fills every run of row s.y that touches columns s.xl..s.xr and queues
  // the rows beyond; a run wider than its parent also looks back.
  void ScanRow(const Span& s) {
    const uint8_t* row = bm_.ScanLine(s.y);
    int x = s.xl;
    while (x <= s.xr) {
      if (!Open(row, x, s.y)) {
        ++x;
        continue;
      }
      int xl = x, xr = x;
      FillRun(s.y, xl, xr);
      Push(s.y + s.dir, xl, xr, s.dir);
      if (xl < s.xl) Push(s.y - s.dir, xl, s.xl - 1, -s.dir);
      if (xr > s.xr) Push(s.y - s.dir, s.xr + 1, xr, -s.dir);
      x = xr + 1;
    }
  }

  const TBitmap& bm_;
  int w_, h_, tol_;
  int b0_ = 0, g0_ = 0, r0_ = 0;
  BitGrid filled_;
  Box box_;
  std::vector<Span> stack_;
};

// The filled pixels inside the box, optionally dilated by one pixel in all
// eight directions (within the box).
BitGrid BoxMap(const BitGrid& filled, const Box& box, bool maxFilter) {
  const int bw = box.x2 - box.x1 + 1, bh = box.y2 - box.y1 + 1;
  BitGrid map(bw, bh);
  for (int v = 0; v < bh; ++v)
    for (int u = 0; u < bw; ++u) {
      if (!filled.Get(box.x1 + u, box.y1 + v)) continue;
      if (!maxFilter) {
        map.Set(u, v);
        continue;
      }
      for (int dv = -1; dv <= 1; ++dv)
        for (int du = -1; du <= 1; ++du) {
          const int nu = u + du, nv = v + dv;
          if (nu >= 0 && nu < bw && nv >= 0 && nv < bh) map.Set(nu, nv);
        }
    }
  return map;
}

// Cell offsets of the Freeman codes (y downwards).
constexpr std::array<int, 8> kDX = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr std::array<int, 8> kDY = {0, -1, -1, -1, 0, 1, 1, 1};
// Directions tried after the last move's: E, N, W, S, NE, NW, SW, SE.
constexpr std::array<int, 8> kOrder = {0, 2, 4, 6, 1, 3, 5, 7};
constexpr int kStartDirection = 1;  // north-east
// Fine cells per pixel, and the cells before the first block.
constexpr int kScale = 4;
constexpr int kMargin = 2;

// The fine grid, computed from the box map on demand.
class FineGrid {
 public:
  explicit FineGrid(const BitGrid& map)
      : map_(map),
        gw_(kScale * map.Width() + 2 * kMargin),
        gh_(kScale * map.Height() + 2 * kMargin) {}
  int64_t Width() const { return gw_; }
  int64_t Height() const { return gh_; }
  bool Block(int64_t cx, int64_t cy) const {
    if (cx < kMargin || cy < kMargin) return false;
    const int64_t u = (cx - kMargin) / kScale, v = (cy - kMargin) / kScale;
    return u < map_.Width() && v < map_.Height() && map_.Get(u, v);
  }
  // A cell outside every block next to one (left, right, above, below).
  bool Boundary(int64_t cx, int64_t cy) const {
    if (cx < 0 || cy < 0 || cx >= gw_ || cy >= gh_ || Block(cx, cy)) return false;
    return Block(cx - 1, cy) || Block(cx + 1, cy) || Block(cx, cy - 1) || Block(cx, cy + 1);
  }

  // The boundary cell nearest the top-left corner (1, 1) of the boundary
  // cells' box (which is tight round the blocks), first in row order.
  bool Start(int64_t& sx, int64_t& sy) const {
    int64_t best = std::numeric_limits<int64_t>::max();
    for (int64_t cy = 0; cy < gh_; ++cy) {
      const int64_t ry = cy - 1;
      if (ry > 0 && ry * ry > best) break;
      const int64_t cx = LeftmostBoundary(cy);
      if (cx < 0) continue;
      const int64_t d = (cx - 1) * (cx - 1) + ry * ry;
      if (d < best) best = d, sx = cx, sy = cy;
    }
    return best != std::numeric_limits<int64_t>::max();
  }

 private:
  bool Pixel(int64_t u, int64_t v) const {
    return v >= 0 && v < map_.Height() && u >= 0 && u < map_.Width() && map_.Get(u, v);
  }
  // Leftmost boundary cell of a fine row, or -1: left of a run of blocks in
  // the row, or next to a block of the pixel row above or below.
  int64_t LeftmostBoundary(int64_t cy) const {
    int64_t best = -1;
    auto take = [&](int64_t cx) {
      if (best < 0 || cx < best) best = cx;
    };
    const int64_t v = cy >= kMargin ? (cy - kMargin) / kScale : -1;
    const bool inRow = cy >= kMargin && v < map_.Height();
    const int64_t w = map_.Width();
    if (inRow) {
      for (int64_t u = 0; u < w; ++u)
        if (map_.Get(u, v)) {
          take(kScale * u + kMargin - 1);
          break;
        }
    }
    // The neighbouring pixel row, when this fine row is at a block edge.
    int64_t other = -2;
    if (cy == kMargin - 1)
      other = 0;
    else if (inRow && (cy - kMargin) % kScale == 0)
      other = v - 1;
    else if (inRow && (cy - kMargin) % kScale == kScale - 1)
      other = v + 1;
    else if (!inRow && cy == kScale * map_.Height() + kMargin)
      other = map_.Height() - 1;
    if (other >= 0 && other < map_.Height()) {
      for (int64_t u = 0; u < w; ++u)
        if (map_.Get(u, other) && !(inRow && Pixel(u, v))) {
          take(kScale * u + kMargin);
          break;
        }
    }
    return best;
  }

  const BitGrid& map_;
  int64_t gw_, gh_;
};

// Follows unvisited boundary cells from the start; returns the codes.
std::vector<uint8_t> Trace(const FineGrid& grid, int64_t sx, int64_t sy) {
  BitGrid visited(grid.Width(), grid.Height());
  std::vector<uint8_t> codes;
  visited.Set(sx, sy);
  int64_t x = sx, y = sy;
  int last = kStartDirection;
  for (;;) {
    int found = -1;
    for (int i = -1; i < 8 && found < 0; ++i) {
      const int d = i < 0 ? last : kOrder[i];
      const int64_t nx = x + kDX[d], ny = y + kDY[d];
      if (grid.Boundary(nx, ny) && !visited.Get(nx, ny)) found = d;
    }
    if (found < 0) break;
    x += kDX[found], y += kDY[found];
    visited.Set(x, y);
    codes.push_back(uint8_t(found));
    last = found;
  }
  for (int d = 0; d < 8; ++d)
    if (x + kDX[d] == sx && y + kDY[d] == sy && (x != sx || y != sy)) {
      codes.push_back(uint8_t(d));
      break;
    }
  return codes;
}

}  // namespace

std::vector<TPoint> PVMagicWand(const TBitmap& bitmap, int x, int y, bool maxFilter,
                                int tolerance) {
  std::vector<TPoint> points;
  if (bitmap.GetPixelFormat() != pf24bit || x < 0 || y < 0 || x >= bitmap.GetWidth() ||
      y >= bitmap.GetHeight())
    return points;
  Filler filler(bitmap, tolerance);
  filler.Run(x, y);
  const Box box = filler.Bounds();
  BitGrid map = BoxMap(filler.Filled(), box, maxFilter);
  FineGrid grid(map);
  int64_t sx = 0, sy = 0;
  if (!grid.Start(sx, sy)) return points;
  const std::vector<uint8_t> codes = Trace(grid, sx, sy);
  // Cells to image cells: the gap of the grid is one cell less than the
  // margin, so cell kMargin - 1 is the pixel corner at the box's edge.
  int64_t px = sx + int64_t(kScale) * box.x1 - 1, py = sy + int64_t(kScale) * box.y1 - 1;
  auto emit = [&](int64_t cx, int64_t cy) {
    points.push_back(Point(int32_t(cx / kScale), int32_t(cy / kScale)));
  };
  emit(px, py);
  int previous = codes.empty() ? -1 : codes.front();
  for (uint8_t code : codes) {
    if (code != previous) emit(px, py);
    px += kDX[code], py += kDY[code];
    previous = code;
  }
  return points;
}

}  // namespace pictavo
