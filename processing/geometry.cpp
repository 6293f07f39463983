#include "processing/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <numbers>
#include <vector>

#include "core/conversions.h"
#include "core/mask.h"
#include "platform/canvas.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <sys/mman.h>

namespace pictavo {

namespace {

// ---------------------------------------------------------------------------
// Quarter turns

// Tiles keep both the rows read and the rows written in the cache.
constexpr int kTurnTile = 32;

template <typename Map>
void Turn(const TBitmap& source, TBitmap& dest, Map map) {
  int w = source.GetWidth(), h = source.GetHeight();
  dest.SetSize(0, 0);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(h, w);
  std::vector<uint8_t*> rows(static_cast<size_t>(w));
  for (int y = 0; y < w; ++y) rows[y] = dest.ScanLine(y);
  for (int y0 = 0; y0 < h; y0 += kTurnTile)
    for (int x0 = 0; x0 < w; x0 += kTurnTile)
      for (int y = y0; y < std::min(y0 + kTurnTile, h); ++y) {
        const uint8_t* s = source.ScanLine(y);
        for (int x = x0; x < std::min(x0 + kTurnTile, w); ++x) {
          TPoint d = map(x, y, w, h);
          std::memcpy(rows[d.y] + size_t(d.x) * 3, s + size_t(x) * 3, 3);
        }
      }
}

// ---------------------------------------------------------------------------
// Shear rotation

// The hot loops are built for AVX2 as well as the baseline and chosen at
// load time; both do the same integer arithmetic.
// One channel of blend(prev, cur) = round((prev f + cur (4096 - f) + 2048) /
// 4096), half to even, clamped to 0..255, in integers.
inline uint8_t Blend(int prev, int cur, int f) {
  int n = f * (prev - cur) + (cur << 12) + 2048;
  int q = n >> 12;  // floor
  int rem = n & 4095;
  q += (rem > 2048) | ((rem == 2048) & (q & 1));
  return uint8_t(q < 0 ? 0 : q > 255 ? 255 : q);
}

inline void BlendPixel(uint8_t* d, const uint8_t* prev, const uint8_t* cur, int f) {
  d[0] = Blend(prev[0], cur[0], f);
  d[1] = Blend(prev[1], cur[1], f);
  d[2] = Blend(prev[2], cur[2], f);
}

// out[i] = blend(prev[i], cur[i]) for n bytes: sixteen at a time in 32-bit
// lanes where the processor has AVX2 (chosen once at run time), the same
// integer formula otherwise.
void BlendBytesScalar(const uint8_t* prev, const uint8_t* cur, uint8_t* out, size_t n, int f) {
  for (size_t i = 0; i < n; ++i) out[i] = Blend(prev[i], cur[i], f);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline __m256i Blend8(__m256i p, __m256i c, __m256i vf) {
  const __m256i half = _mm256_set1_epi32(2048), low = _mm256_set1_epi32(4095),
                one = _mm256_set1_epi32(1);
  __m256i n = _mm256_add_epi32(_mm256_mullo_epi32(vf, _mm256_sub_epi32(p, c)),
                               _mm256_add_epi32(_mm256_slli_epi32(c, 12), half));
  __m256i q = _mm256_srai_epi32(n, 12);
  __m256i rem = _mm256_and_si256(n, low);
  __m256i up = _mm256_cmpgt_epi32(rem, half);
  __m256i tie = _mm256_and_si256(_mm256_cmpeq_epi32(rem, half), q);
  return _mm256_add_epi32(q, _mm256_and_si256(_mm256_or_si256(up, tie), one));
}

__attribute__((target("avx2"))) void BlendBytesAvx2(const uint8_t* prev, const uint8_t* cur,
                                                    uint8_t* out, size_t n, int f) {
  const __m256i vf = _mm256_set1_epi32(f);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
    __m128i cb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i));
    __m256i q0 = Blend8(_mm256_cvtepu8_epi32(pb), _mm256_cvtepu8_epi32(cb), vf);
    __m256i q1 = Blend8(_mm256_cvtepu8_epi32(_mm_srli_si128(pb, 8)),
                        _mm256_cvtepu8_epi32(_mm_srli_si128(cb, 8)), vf);
    // Signed saturation to 16 bits keeps every value; the unsigned pack to
    // bytes then clamps to 0..255.
    __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(q0, q1), 0xD8);
    __m128i b = _mm_packus_epi16(_mm256_castsi256_si128(w), _mm256_extracti128_si256(w, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), b);
    // A tail of a run of at least 16 bytes is done as the last 16 bytes
    // again (out never overlaps the inputs, so repeating bytes is harmless).
    if (i + 16 < n && i + 32 > n) i = n - 32;
  }
  BlendBytesScalar(prev + i, cur + i, out + i, n - i, f);
}
#endif

using BlendBytesFn = void (*)(const uint8_t*, const uint8_t*, uint8_t*, size_t, int);

BlendBytesFn ChooseBlendBytes() {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
  if (__builtin_cpu_supports("avx2")) return BlendBytesAvx2;
#endif
  return BlendBytesScalar;
}

const BlendBytesFn BlendBytes = ChooseBlendBytes();

void FillPixels(uint8_t* d, size_t count, const uint8_t fill[3]) {
  if (fill[0] == fill[1] && fill[1] == fill[2]) {
    std::memset(d, fill[0], count * 3);
    return;
  }
  for (size_t i = 0; i < count; ++i, d += 3) std::memcpy(d, fill, 3);
}

// Columns x0 .. x0 + count - 1 of a sheared row of `width` pixels: the n
// pixels of src at columns o .. o + n - 1 and the fill colour around them.
// Pixels outside the row are dropped and do not become "prev".  With
// antialias each written pixel is blend(prev, cur) (prev starting as the
// fill colour and following the last source pixel written), and when f > 0
// the column after the run receives blend(prev, fill).
void ShearSegment(const uint8_t* src, int n, int width, int o, int f, bool antialias,
                  const uint8_t fill[3], int x0, int count, uint8_t* out) {
  int xa = std::max(0, -o), xb = std::min(n, width - o);  // source pixels written
  int x1 = x0 + count;
  int runA = xa < xb ? std::clamp(o + xa, x0, x1) : x1;
  int runB = xa < xb ? std::clamp(o + xb, x0, x1) : x1;
  FillPixels(out, size_t(runA - x0), fill);
  if (runA < runB) {
    int j = runA - o;  // first source pixel of the segment
    const uint8_t* s = src + size_t(j) * 3;
    uint8_t* d = out + size_t(runA - x0) * 3;
    size_t bytes = size_t(runB - runA) * 3;
    if (!antialias) {
      std::memcpy(d, s, bytes);
    } else {
      BlendPixel(d, j == xa ? fill : s - 3, s, f);
      BlendBytes(s, s + 3, d + 3, bytes - 3, f);
    }
  }
  FillPixels(out + size_t(runB - x0) * 3, size_t(x1 - runB), fill);
  int trail = o + n;
  if (antialias && f > 0 && trail < width && trail >= 0 && trail >= x0 && trail < x1)
    BlendPixel(out + size_t(trail - x0) * 3, xa < xb ? src + size_t(xb - 1) * 3 : fill, fill, f);
}

void ShearRow(const uint8_t* src, int n, uint8_t* dst, int width, int o, int f, bool antialias,
              const uint8_t fill[3]) {
  ShearSegment(src, n, width, o, f, antialias, fill, 0, width, dst);
}

// A packed 3-byte image buffer (rows without padding, one spare byte at
// the end), not initialised.  Large buffers ask for huge pages, which saves
// most of the page faults of a first touch.
struct FreeAligned {
  void operator()(uint8_t* p) const { std::free(p); }
};

struct Buffer {
  int64_t width = 0, height = 0;
  std::unique_ptr<uint8_t, FreeAligned> bytes;
  Buffer(int64_t w, int64_t h) : width(w), height(h) {
    constexpr size_t kHuge = size_t(2) << 20;
    size_t size = size_t(w) * size_t(h) * 3 + 4;
    size_t rounded = (size + kHuge - 1) / kHuge * kHuge;
    bytes.reset(static_cast<uint8_t*>(std::aligned_alloc(kHuge, rounded)));
    if (!bytes) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(bytes.get(), rounded, MADV_HUGEPAGE);
#endif
  }
  uint8_t* Row(int64_t y) {
    return bytes.get() + size_t(y) * size_t(width) * 3;
  }
};

// Moves one 3-byte pixel with a 4-byte load and store: the byte after the
// destination pixel is overwritten and must be written again afterwards.
inline void MovePixel4(uint8_t* d, const uint8_t* s) {
  uint32_t v;
  std::memcpy(&v, s, 4);
  std::memcpy(d, &v, 4);
}

class StepProgress {
 public:
  StepProgress(const TPVProgressEvent& event, TObject* sender, int64_t steps)
      : event_(event), sender_(sender), total_(double(steps) + 0.5) {}
  void Step() {
    if (event_) event_(sender_, int(step_ * 100 / total_));
    ++step_;
  }

 private:
  const TPVProgressEvent& event_;
  TObject* sender_;
  double total_;
  int64_t step_ = 0;
};

// Offset and fraction of one line of a shear.
struct ShearLine {
  int o;
  int f;
};

// The first (horizontal) shear is not stored: the second shear takes its
// columns a block at a time, computing the block's part of every first-pass
// row, turning the block into rows of a small buffer, shearing those
// vertically and putting them back as columns of the second buffer.
constexpr int kShearBlock = 32;

// Rows ahead whose cache lines are asked for early: the rows are far apart,
// beyond what the hardware prefetcher follows.
constexpr int kPrefetchRows = 12;

void PrefetchSpan(const uint8_t* p, size_t bytes, int write) {
  for (size_t i = 0; i < bytes; i += 64) {
    if (write)
      __builtin_prefetch(p + i, 1);
    else
      __builtin_prefetch(p + i, 0);
  }
}

void ScatterColumns(const uint8_t* tile, size_t tileRow, int x0, int nb, Buffer& out) {
  for (int64_t y = 0; y < out.height; ++y) {
    if (y + kPrefetchRows < out.height)
      PrefetchSpan(out.Row(y + kPrefetchRows) + size_t(x0) * 3, size_t(nb) * 3, 1);
    uint8_t* d = out.Row(y) + size_t(x0) * 3;
    // Every pixel but the last of the block is moved four bytes at a time
    // (the spare byte lands on the next pixel, written right after).
    for (int k = 0; k + 1 < nb; ++k) MovePixel4(d + 3 * k, tile + k * tileRow + size_t(y) * 3);
    std::memcpy(d + 3 * (nb - 1), tile + (nb - 1) * tileRow + size_t(y) * 3, 3);
  }
}

// Progress: the first pass's rows are counted while the first block goes
// through them, then the second pass's columns block by block.
void ShearPasses12(const TBitmap& src, const TShearSizes& z, bool aa, const uint8_t fill[3],
                   Buffer& out, StepProgress& progress) {
  std::vector<ShearLine> rows(static_cast<size_t>(z.h));
  for (int y = 0; y < z.h; ++y) {
    double sh = (z.theta > 0 ? y : z.h - y) * z.T;
    double o = std::nearbyint(sh);
    rows[y] = {int(o), int(std::trunc((sh - o) * 4096))};
  }
  size_t inRow = size_t(z.h) * 3, outRow = size_t(z.H2) * 3;
  // One spare byte after each buffer for the four-byte pixel moves.
  std::unique_ptr<uint8_t[]> columns(new uint8_t[inRow * kShearBlock + 1]);
  std::unique_ptr<uint8_t[]> sheared(new uint8_t[outRow * kShearBlock + 1]);
  uint8_t segment[kShearBlock * 3 + 1];
  std::vector<const uint8_t*> srcRows(static_cast<size_t>(z.h));
  for (int y = 0; y < z.h; ++y) srcRows[y] = src.ScanLine(y);
  for (int x0 = 0; x0 < z.W1; x0 += kShearBlock) {
    int nb = int(std::min<int64_t>(kShearBlock, z.W1 - x0));
    for (int y = 0; y < z.h; ++y) {
      if (y + kPrefetchRows < z.h) {
        int ahead = y + kPrefetchRows;
        int j = std::clamp(x0 - rows[ahead].o - 1, 0, int(z.w) - 1);
        PrefetchSpan(srcRows[ahead] + size_t(j) * 3, size_t(nb + 1) * 3, 0);
      }
      ShearSegment(srcRows[y], int(z.w), int(z.W1), rows[y].o, rows[y].f, aa, fill, x0, nb,
                   segment);
      // Rows of the columns buffer are written in increasing y, so the spare
      // byte of each move is overwritten by the next row's pixel (the last
      // row's would reach the next column: it moves three bytes).
      uint8_t* c = columns.get() + size_t(y) * 3;
      if (y + 1 < z.h)
        for (int k = 0; k < nb; ++k) MovePixel4(c + k * inRow, segment + 3 * k);
      else
        for (int k = 0; k < nb; ++k) std::memcpy(c + k * inRow, segment + 3 * k, 3);
      if (x0 == 0) progress.Step();
    }
    for (int k = 0; k < nb; ++k) {
      int x = x0 + k;
      double sh = (z.theta > 0 ? double(z.W1 - x) : double(x)) * z.S;
      double o = std::nearbyint(sh);
      int f = int(std::nearbyint((sh - o) * 4096));
      ShearRow(columns.get() + k * inRow, int(z.h), sheared.get() + k * outRow, int(z.H2),
               int(o) - int(z.D1), f, aa, fill);
    }
    ScatterColumns(sheared.get(), outRow, x0, nb, out);
    for (int k = 0; k < nb; ++k) progress.Step();
  }
}

void ShearPass3(Buffer& in, const TShearSizes& z, bool aa, const uint8_t fill[3], TBitmap& dest,
                StepProgress& progress) {
  for (int y = 0; y < z.H2; ++y) {
    double s = z.theta > 0 ? double(y) : double(z.H2 - y);
    double sh = s * z.T;
    double o = std::nearbyint(sh);
    int f = int(std::nearbyint((sh - o) * 4096));
    ShearRow(in.Row(y), int(z.W1), dest.ScanLine(y), int(z.W3), int(o) - int(z.D2), f, aa, fill);
    progress.Step();
  }
}

bool SizeOk(int64_t w, int64_t h) {
  return PVImageSizeAllowed(w, h);
}

// ---------------------------------------------------------------------------
// Flips

void FlipBitsRow(uint8_t* row, int width) {
  std::vector<uint8_t> copy(row, row + (width + 7) / 8);
  for (int x = 0; x < width; ++x) {
    int sx = width - 1 - x;
    uint8_t bit = (copy[sx >> 3] >> (7 - (sx & 7))) & 1;
    uint8_t mask = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = uint8_t(bit ? row[x >> 3] | mask : row[x >> 3] & ~mask);
  }
}

void FlipNibblesRow(uint8_t* row, int width) {
  std::vector<uint8_t> copy(row, row + (width + 1) / 2);
  for (int x = 0; x < width; ++x) {
    int sx = width - 1 - x;
    uint8_t v = (sx & 1) ? copy[sx >> 1] & 0x0F : copy[sx >> 1] >> 4;
    row[x >> 1] =
        (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | v) : uint8_t((row[x >> 1] & 0x0F) | v << 4);
  }
}

void FlipPixelsRow(uint8_t* row, int width, size_t bytes) {
  uint8_t tmp[4];
  for (int a = 0, b = width - 1; a < b; ++a, --b) {
    std::memcpy(tmp, row + a * bytes, bytes);
    std::memcpy(row + a * bytes, row + b * bytes, bytes);
    std::memcpy(row + b * bytes, tmp, bytes);
  }
}

// ---------------------------------------------------------------------------
// Polygon copies

// Calls fn(points, count) for every sub-polygon of at least one point.
template <typename Fn>
void ForEachSubPolygon(const TPoint* polygon, int count, Fn&& fn) {
  int start = 0;
  for (int i = 0; i <= count; ++i) {
    if (i == count || polygon[i].x == kPVPolygonBreak) {
      if (i > start) fn(polygon + start, i - start);
      start = i + 1;
    }
  }
}

TRect PolygonBox(const TPoint* polygon, int count) {
  TRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  for (int i = 0; i < count; ++i) {
    if (polygon[i].x == kPVPolygonBreak) continue;
    box.Left = std::min(box.Left, polygon[i].x);
    box.Top = std::min(box.Top, polygon[i].y);
    box.Right = std::max(box.Right, polygon[i].x);
    box.Bottom = std::max(box.Bottom, polygon[i].y);
  }
  return box;
}

// Draws the source at (dx, dy) of dest through each sub-polygon of `clip`.
void DrawThroughPolygons(TBitmap& dest, const TBitmap& source, int dx, int dy, const TPoint* clip,
                         int count) {
  TCanvas& canvas = dest.Canvas();
  ForEachSubPolygon(clip, count, [&](const TPoint* p, int n) {
    canvas.SetClipPolygon(p, n);
    canvas.Draw(dx, dy, source);
  });
  canvas.ClearClip();
}

void GrowTo(TBitmap& dest, int64_t width, int64_t height) {
  int64_t w = std::max<int64_t>(dest.GetWidth(), width);
  int64_t h = std::max<int64_t>(dest.GetHeight(), height);
  if (w != dest.GetWidth() || h != dest.GetHeight()) dest.SetSize(int(w), int(h));
}

}  // namespace

void _Rot90(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest || source.GetPixelFormat() != pf24bit) return;
  Turn(source, dest, [](int x, int y, int w, int) { return TPoint(y, w - 1 - x); });
}

void _Rot90o(const TBitmap& source, TBitmap& dest) {
  if (&source == &dest || source.GetPixelFormat() != pf24bit) return;
  Turn(source, dest, [](int x, int y, int, int h) { return TPoint(h - 1 - y, x); });
}

TShearSizes PVShearSizes(int w, int h, int angle) {
  TShearSizes z;
  z.theta = angle * std::numbers::pi / 180;
  z.T = std::fabs(std::sin(z.theta / 2) / std::cos(z.theta / 2));
  z.S = std::fabs(std::sin(z.theta));
  z.w = w;
  z.h = h;
  z.W1 = int64_t(std::nearbyint(h * z.T + w + 1));
  z.D1 = int64_t(std::nearbyint((z.W1 - w) * z.S));
  z.H2p = int64_t(std::nearbyint(z.W1 * z.S + h + 1));
  z.D2 = int64_t(std::nearbyint((z.H2p - h - z.D1) * z.T));
  z.H2 = z.H2p - 2 * z.D1;
  z.W3 = int64_t(std::nearbyint(z.H2 * z.T + z.W1 + 1 - 2 * z.D2));
  return z;
}

int PVQuarterTurns(int& angle) {
  angle %= 360;
  int turns = 0;
  while (angle > 45) {
    angle -= 90;
    ++turns;
  }
  while (angle < -45) {
    angle += 90;
    --turns;
  }
  return turns;
}

bool _RotateShear(TBitmap& bitmap, int angle, bool antialias, TColor fill,
                  const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return false;
  int turns = PVQuarterTurns(angle);
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (turns & 1) std::swap(w, h);
  TShearSizes z;
  if (angle != 0) {
    z = PVShearSizes(w, h, angle);
    if (!SizeOk(z.W1, z.h) || !SizeOk(z.W1, z.H2) || !SizeOk(z.W3, z.H2)) return false;
  }
  for (; turns > 0; --turns) {
    TBitmap turned;
    _Rot90(bitmap, turned);
    PVCopyBitmap(turned, bitmap);
  }
  for (; turns < 0; ++turns) {
    TBitmap turned;
    _Rot90o(bitmap, turned);
    PVCopyBitmap(turned, bitmap);
  }
  if (angle == 0 || bitmap.Empty()) return true;
  TRGB f = TColor2TRGB(ColorToRGB(fill));
  const uint8_t fillBytes[3] = {f.b, f.g, f.r};
  StepProgress progress(onProgress, sender, z.h + z.W1 + z.H2);
  Buffer pass2(z.W1, z.H2);
  ShearPasses12(bitmap, z, antialias, fillBytes, pass2, progress);
  bitmap.SetSize(0, 0);
  bitmap.SetSize(int(z.W3), int(z.H2));
  ShearPass3(pass2, z, antialias, fillBytes, bitmap, progress);
  return true;
}

bool _rotate1bit(TBitmap& bitmap, int fillBit, TProgressRec& progress, double angle) {
  if (bitmap.GetPixelFormat() != pf1bit || bitmap.Empty()) return false;
  double theta = -angle / 57.29577951308232;
  double c = std::trunc(std::cos(theta) * 10000) / 10000;
  double s = std::trunc(std::sin(theta) * 10000) / 10000;
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  double W = std::trunc(std::fabs(w * c) + std::fabs(h * s));
  double H = std::trunc(std::fabs(w * s) + std::fabs(h * c));
  if (!SizeOk(int64_t(W), int64_t(H))) return false;
  int nw = int(W), nh = int(H);
  double cxNew = nw / 2.0 - 0.5, cyNew = nh / 2.0 - 0.5;
  double cxOld = w / 2.0 - 0.5, cyOld = h / 2.0 - 0.5;
  // The column terms of u and v, the same products for every row.
  std::vector<double> cu(static_cast<size_t>(nw)), sv(static_cast<size_t>(nw));
  for (int i = 0; i < nw; ++i) {
    cu[i] = c * (i - cxNew);
    sv[i] = -s * (i - cxNew);
  }
  TBitmap out(nw, nh, pf1bit);
  for (int j = 0; j < nh; ++j) {
    double su = s * (j - cyNew), cv = c * (j - cyNew);
    uint8_t* d = out.ScanLine(j);
    std::memset(d, 0, size_t(out.RowBytes()));
    for (int i = 0; i < nw; ++i) {
      double uu = std::trunc(cu[i] + su + cxOld), vv = std::trunc(sv[i] + cv + cyOld);
      int bit = fillBit;
      if (uu >= 0 && uu < w && vv >= 0 && vv < h) {
        int u = int(uu), v = int(vv);
        bit = (bitmap.ScanLine(v)[u >> 3] >> (7 - (u & 7))) & 1;
      }
      if (bit) d[i >> 3] |= uint8_t(0x80 >> (i & 7));
    }
    if (progress.ProgressEvent) progress.ProgressEvent(progress.Sender, int(j * 100.0 / nh));
  }
  PVCopyBitmap(out, bitmap);
  return true;
}

void _Flip(TBitmap& bitmap, TFlipDir direction) {
  int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w == 0 || h == 0) return;
  if (direction == fdVertical) {
    size_t bytes = size_t(bitmap.RowBytes());
    std::vector<uint8_t> tmp(bytes);
    for (int a = 0, b = h - 1; a < b; ++a, --b) {
      std::memcpy(tmp.data(), bitmap.ScanLine(a), bytes);
      std::memcpy(bitmap.ScanLine(a), bitmap.ScanLine(b), bytes);
      std::memcpy(bitmap.ScanLine(b), tmp.data(), bytes);
    }
    return;
  }
  int bits = StorageBitCount(bitmap.GetPixelFormat());
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    if (bits == 1)
      FlipBitsRow(row, w);
    else if (bits == 4)
      FlipNibblesRow(row, w);
    else
      FlipPixelsRow(row, w, size_t(bits / 8));
  }
}

void _CopyBitmapPoly(const TBitmap& source, TBitmap& dest, int x1, int y1, int x2, int y2,
                     const TPoint* polygon, int count) {
  if (&source == &dest) return;
  dest.SetSize(0, 0);
  dest.SetPixelFormat(source.GetPixelFormat());
  if (source.GetPixelFormat() == pf4bit || source.GetPixelFormat() == pf8bit)
    dest.SetPalette(source.GetPalette());
  dest.SetSize(std::max(x2 - x1, 0), std::max(y2 - y1, 0));
  if (dest.Empty()) return;
  if (!polygon || count <= 0) {
    dest.Canvas().Draw(-x1, -y1, source);
    return;
  }
  std::vector<TPoint> moved(polygon, polygon + count);
  for (TPoint& p : moved)
    if (p.x != kPVPolygonBreak) p = TPoint(p.x - x1, p.y - y1);
  DrawThroughPolygons(dest, source, -x1, -y1, moved.data(), count);
}

void _CopyPolygonToPoint(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest) {
  if (!polygon || count < 3 || &source == &dest) return;
  TRect box = PolygonBox(polygon, count);
  int64_t right = int64_t(point.x) + box.Right - box.Left;
  int64_t bottom = int64_t(point.y) + box.Bottom - box.Top;
  if (!SizeOk(std::max<int64_t>(dest.GetWidth(), right + 1),
              std::max<int64_t>(dest.GetHeight(), bottom + 1)))
    return;
  GrowTo(dest, right + 1, bottom + 1);
  std::vector<TPoint> moved(polygon, polygon + count);
  for (TPoint& p : moved)
    if (p.x != kPVPolygonBreak) p = TPoint(p.x - box.Left + point.x, p.y - box.Top + point.y);
  DrawThroughPolygons(dest, source, point.x - box.Left, point.y - box.Top, moved.data(), count);
}

void _CopyPointToPolygon(const TBitmap& source, const TPoint* polygon, int count, TPoint point,
                         TBitmap& dest) {
  if (!polygon || count < 3 || &source == &dest) return;
  TRect box = PolygonBox(polygon, count);
  if (!SizeOk(std::max<int64_t>(dest.GetWidth(), box.Right),
              std::max<int64_t>(dest.GetHeight(), box.Bottom)))
    return;
  GrowTo(dest, box.Right, box.Bottom);
  DrawThroughPolygons(dest, source, box.Left - point.x, box.Top - point.y, polygon, count);
}

}  // namespace pictavo
