#include "processing/filters.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/stream.h"
#include "processing/progress.h"
#include "processing/simd.h"

namespace pictavo {

const TGraphFilter PVFiltPres[kFilterPresetCount] = {
    {{{0, 0, 0}, {0, 1, 0}, {0, 0, 0}}, 0},          // fpNone
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 9},          // fpBlur
    {{{1, 1, 1}, {1, -8, 1}, {1, 1, 1}}, 1},         // fpEdge
    {{{-1, 0, 1}, {-1, 1, 1}, {-1, 0, 1}}, 1},       // fpEmboss
    {{{0, -1, 0}, {-1, 5, -1}, {0, -1, 0}}, 1},      // fpHighPass1
    {{{-1, -1, -1}, {-1, 9, -1}, {-1, -1, -1}}, 1},  // fpHighPass2
    {{{1, -2, 1}, {-2, 5, -2}, {1, -2, 1}}, 1},      // fpHighPass3
    {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 10},         // LowPass1
    {{{1, 2, 1}, {2, 4, 2}, {1, 2, 1}}, 16},         // LowPass2
};

// --- The filter file ------------------------------------------------------------

namespace {

constexpr uint8_t kFilterFileVersion = 1;
constexpr uint8_t kFilterFileSide = 3;
constexpr int kFilterHeaderBytes = 3;
constexpr int kFilterRecordBytes = 40;

void PutInt32(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(u >> (8 * i));
}

int32_t GetInt32(const uint8_t* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= uint32_t(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

void SaveFilterToFile(const std::string& fileName, const TGraphFilter& filter) {
  uint8_t bytes[kFilterHeaderBytes + kFilterRecordBytes];
  bytes[0] = kFilterFileVersion;
  bytes[1] = kFilterFileSide;
  bytes[2] = kFilterFileSide;
  for (int k = 0; k < 9; ++k)
    PutInt32(bytes + kFilterHeaderBytes + 4 * k, filter.Values[k / 3][k % 3]);
  PutInt32(bytes + kFilterHeaderBytes + 36, filter.Divisor);
  TFileStream stream(fileName, fmCreate);
  stream.WriteBuffer(bytes, sizeof bytes);
}

TGraphFilter LoadFilterFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  TGraphFilter filter;
  uint8_t header[kFilterHeaderBytes] = {};
  if (stream.Read(header, kFilterHeaderBytes) != kFilterHeaderBytes) return filter;
  if (header[0] != kFilterFileVersion || header[1] != kFilterFileSide ||
      header[2] != kFilterFileSide)
    return filter;
  // A short file fills the record only as far as it goes; the rest stays 0.
  uint8_t record[kFilterRecordBytes] = {};
  const int64_t got = stream.Read(record, kFilterRecordBytes);
  for (int k = 0; k < 9; ++k)
    if (got >= 4 * (k + 1))
      filter.Values[k / 3][k % 3] = GetInt32(record + 4 * k);
    else if (got > 4 * k) {
      uint8_t part[4] = {};
      std::memcpy(part, record + 4 * k, size_t(got - 4 * k));
      filter.Values[k / 3][k % 3] = GetInt32(part);
    }
  if (got == kFilterRecordBytes)
    filter.Divisor = GetInt32(record + 36);
  else if (got > 36) {
    uint8_t part[4] = {};
    std::memcpy(part, record + 36, size_t(got - 36));
    filter.Divisor = GetInt32(part);
  }
  return filter;
}

// --- Convolution -------------------------------------------------------------------
//
// The weighted sum is a 32-bit integer that wraps like the coefficient
// products it adds; the result is blimit(sum div divisor), with div
// truncating toward zero.  Rows are convolved from copies of the original
// rows above and at the target, so each row can be written in place.

namespace {

constexpr int kBytesPerPixel = 3;
// Divisors up to this magnitude go through the exact single-precision
// quotient of the vector loop (see FinishVector).
constexpr int32_t kVectorDivisorLimit = 1 << 16;

struct TKernel {
  int32_t c[9];  // row-major, row 0 above the pixel
  int32_t divisor;
};

uint8_t FinishScalar(uint32_t sum, int32_t divisor) {
  const int64_t q = int64_t(int32_t(sum)) / divisor;
  return uint8_t(q < 0 ? 0 : (q > 255 ? 255 : q));
}

// One output byte from the three rows; `left` and `right` are the byte
// offsets of the horizontal neighbours (-3/+3, or 0 at a bitmap edge).
uint8_t ConvolveByte(const uint8_t* a, const uint8_t* c, const uint8_t* b, int i, int left,
                     int right, const TKernel& k) {
  const uint32_t* u = reinterpret_cast<const uint32_t*>(k.c);
  uint32_t s = u[0] * a[i + left] + u[1] * a[i] + u[2] * a[i + right];
  s += u[3] * c[i + left] + u[4] * c[i] + u[5] * c[i + right];
  s += u[6] * b[i + left] + u[7] * b[i] + u[8] * b[i + right];
  return FinishScalar(s, k.divisor);
}

// The quotient of the vector loop.  With |divisor| <= 2^16 the sum is
// first clamped to the range whose quotient lies in 0..255, which changes
// no clamped result; the clamped sum is below 2^24 and so exact in single
// precision, and its correctly rounded quotient is closer to the true one
// than 1/|divisor|, so truncation gives the integer quotient exactly.
enum TDivideMode { kDivideOne, kDivideMinusOne, kDividePositive, kDivideNegative };

template <int Mode>
PV_ALWAYS_INLINE vu8x8 FinishVector(vi32x8 s, int32_t limit, vf32x8 divisor) {
  vi32x8 q;
  if constexpr (Mode == kDivideOne) {
    q = pv_clamp(s, 0, 255);
  } else if constexpr (Mode == kDivideMinusOne) {
    q = -pv_clamp(s, -255, 0);
  } else if constexpr (Mode == kDividePositive) {
    const vi32x8 t = pv_clamp(s, 0, limit);
    q = __builtin_convertvector(__builtin_convertvector(t, vf32x8) / divisor, vi32x8);
  } else {
    const vi32x8 t = -pv_clamp(s, -limit, 0);
    q = __builtin_convertvector(__builtin_convertvector(t, vf32x8) / divisor, vi32x8);
  }
  return __builtin_convertvector(q, vu8x8);
}

// Bytes [begin, end) of the interior, where every byte has neighbours at
// -3 and +3 within the rows.  Returns the first byte not done.
template <int Mode>
PV_MULTIVERSION int ConvolveInterior(const uint8_t* a, const uint8_t* c, const uint8_t* b,
                                     uint8_t* out, int begin, int end, const TKernel& k) {
  const int32_t absDivisor = k.divisor < 0 ? -k.divisor : k.divisor;
  const int32_t limit = 256 * absDivisor - 1;
  const vf32x8 divisor = vf32x8{} + float(absDivisor);
  vu32x8 w[9];
  for (int j = 0; j < 9; ++j) w[j] = vu32x8{} + uint32_t(k.c[j]);
  const uint8_t* rows[3] = {a, c, b};
  int i = begin;
  for (; i + 8 <= end; i += 8) {
    vu32x8 s = vu32x8{};
    for (int r = 0; r < 3; ++r) {
      s += w[3 * r] * pv_load_u8x8(rows[r] + i - kBytesPerPixel);
      s += w[3 * r + 1] * pv_load_u8x8(rows[r] + i);
      s += w[3 * r + 2] * pv_load_u8x8(rows[r] + i + kBytesPerPixel);
    }
    pv_store(out + i, FinishVector<Mode>(vi32x8(s), limit, divisor));
  }
  return i;
}

int ConvolveInteriorDispatch(const uint8_t* a, const uint8_t* c, const uint8_t* b, uint8_t* out,
                             int begin, int end, const TKernel& k) {
  if (k.divisor == 1) return ConvolveInterior<kDivideOne>(a, c, b, out, begin, end, k);
  if (k.divisor == -1) return ConvolveInterior<kDivideMinusOne>(a, c, b, out, begin, end, k);
  if (k.divisor > 0 && k.divisor <= kVectorDivisorLimit)
    return ConvolveInterior<kDividePositive>(a, c, b, out, begin, end, k);
  if (k.divisor < 0 && k.divisor >= -kVectorDivisorLimit)
    return ConvolveInterior<kDivideNegative>(a, c, b, out, begin, end, k);
  return begin;
}

// Convolves columns xFirst..xLast of one row into `out` (the target row).
void ConvolveRow(const uint8_t* a, const uint8_t* c, const uint8_t* b, uint8_t* out, int width,
                 int xFirst, int xLast, const TKernel& k) {
  auto pixel = [&](int x) {
    const int left = x > 0 ? -kBytesPerPixel : 0;
    const int right = x < width - 1 ? kBytesPerPixel : 0;
    for (int ch = 0; ch < kBytesPerPixel; ++ch) {
      const int i = kBytesPerPixel * x + ch;
      out[i] = ConvolveByte(a, c, b, i, left, right, k);
    }
  };
  const int innerFirst = std::max(xFirst, 1);
  const int innerLast = std::min(xLast, width - 2);
  if (innerFirst > innerLast) {
    for (int x = xFirst; x <= xLast; ++x) pixel(x);
    return;
  }
  for (int x = xFirst; x < innerFirst; ++x) pixel(x);
  const int begin = kBytesPerPixel * innerFirst;
  const int end = kBytesPerPixel * (innerLast + 1);
  for (int i = ConvolveInteriorDispatch(a, c, b, out, begin, end, k); i < end; ++i)
    out[i] = ConvolveByte(a, c, b, i, -kBytesPerPixel, kBytesPerPixel, k);
  for (int x = innerLast + 1; x <= xLast; ++x) pixel(x);
}

}  // namespace

void _ApplyFilter(TBitmap& bitmap, const TGraphFilter& filter, int x1, int y1, int x2, int y2,
                  TProgressRec& progress) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  const int width = bitmap.GetWidth();
  const int height = bitmap.GetHeight();
  if (!ClampWorkRect(width, height, x1, y1, x2, y2)) return;
  TKernel k;
  for (int j = 0; j < 9; ++j) k.c[j] = filter.Values[j / 3][j % 3];
  k.divisor = filter.Divisor == 0 ? 1 : filter.Divisor;

  const TRowProgress rowProgress(progress.ProgressEvent, progress.Sender, y1, y2);
  const size_t rowBytes = size_t(width) * kBytesPerPixel;
  // Original rows y-1 and y; row y+1 is read from the bitmap, where it is
  // still unchanged.
  std::vector<uint8_t> above(rowBytes), current(rowBytes);
  std::memcpy(above.data(), bitmap.ScanLine(std::max(y1 - 1, 0)), rowBytes);
  std::memcpy(current.data(), bitmap.ScanLine(y1), rowBytes);
  for (int y = y1; y < y2; ++y) {
    uint8_t* target = bitmap.ScanLine(y);
    const uint8_t* below = y + 1 < height ? bitmap.ScanLine(y + 1) : current.data();
    const uint8_t* up = y > 0 ? above.data() : current.data();
    ConvolveRow(up, current.data(), below, target, width, x1, x2 - 1, k);
    if (y + 1 < y2) {
      std::swap(above, current);
      std::memcpy(current.data(), bitmap.ScanLine(y + 1), rowBytes);
    }
    rowProgress.Row(y);
  }
}

// --- Morphology ------------------------------------------------------------------
//
// Each pass picks, for every pixel, the first pixel in row-major order of
// its window whose grey is the extreme.  Ordering the pixels by the key
// (grey, -row, -column) makes that pixel the window's largest key (for the
// minimum pass the grey field holds 255 - grey), and the largest key of a
// rectangle is the largest of the per-row largest keys.  So the pass is two
// running maxima of window length 2n+1: along each row, then down the
// columns, each O(1) per pixel by the van Herk / Gil-Werman method (block
// prefix and suffix maxima).  A key whose grey field is 0 means that no
// pixel beat the start value, and the pixel keeps its own colour.

namespace {

struct TKeyLayout {
  int colBits, rowBits;
  uint64_t colMask, rowMask;
};

TKeyLayout MakeLayout(int rows, int cols) {
  TKeyLayout l;
  l.colBits = std::bit_width(unsigned(cols - 1));
  l.rowBits = std::bit_width(unsigned(rows - 1));
  l.colMask = (uint64_t(1) << l.colBits) - 1;
  l.rowMask = (uint64_t(1) << l.rowBits) - 1;
  return l;
}

inline int GreyOf(const uint8_t* p) {
  return (p[2] * 21 + p[1] * 71 + p[0] * 7) / 100;
}

template <typename Key>
PV_MULTIVERSION void MaxRows(const Key* a, const Key* b, Key* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = a[i] > b[i] ? a[i] : b[i];
}

template <typename Key>
class TMorphPass {
 public:
  TMorphPass(TBitmap& bitmap, int x1, int y1, int x2, int y2, int n, bool maximum)
      : bitmap_(bitmap), x1_(x1), y1_(y1), rows_(y2 - y1), cols_(x2 - x1), maximum_(maximum) {
    nh_ = std::min(n, cols_ - 1);
    nv_ = std::min(n, rows_ - 1);
    layout_ = MakeLayout(rows_, cols_);
    ringRows_ = std::min(2 * nv_ + 1, rows_);
    ring_.resize(size_t(ringRows_) * cols_ * kBytesPerPixel);
    padded_.assign(size_t(cols_) + 2 * nh_, 0);
    prefix_.resize(padded_.size());
    suffix_.resize(padded_.size());
  }

  // Runs the pass; after each output row calls done(row index 0..rows-1).
  template <typename Done>
  void Run(Done&& done) {
    const int k = 2 * nv_ + 1;
    const size_t cols = size_t(cols_);
    std::vector<Key> hCur(size_t(k) * cols), hNext(size_t(k) * cols), gRun(cols);
    LoadBlock(0, hCur.data(), nullptr, 0, done);
    for (int b = 0; int64_t(b) * k < rows_; ++b) {
      LoadBlock(b + 1, hNext.data(), gRun.data(), int64_t(b) * k, done, hCur.data());
      std::swap(hCur, hNext);
    }
  }

 private:
  // Loads the k padded rows of block `block` into `raw` and turns them into
  // suffix maxima.  While loading, outputs rows base+1.. of the previous
  // block (whose suffix maxima are `prevSuffix`) from the running prefix.
  template <typename Done>
  void LoadBlock(int block, Key* raw, Key* gRun, int64_t base, Done& done,
                 const Key* prevSuffix = nullptr) {
    const int k = 2 * nv_ + 1;
    const size_t cols = size_t(cols_);
    if (prevSuffix && base < rows_) Emit(int(base), prevSuffix, done);
    for (int j = 0; j < k; ++j) {
      const int64_t r = int64_t(block) * k + j - nv_;
      Key* row = raw + size_t(j) * cols;
      if (r >= 0 && r < rows_)
        RowKeys(int(r), row);
      else
        std::fill(row, row + cols, Key(0));
      if (!prevSuffix) continue;
      if (j == 0)
        std::copy(row, row + cols, gRun);
      else
        MaxRows(gRun, row, gRun, cols_);
      const int64_t y = base + j + 1;
      if (j + 1 < k && y < rows_) {
        MaxRows(prevSuffix + size_t(j + 1) * cols, gRun, out_.data(), cols_);
        Emit(int(y), out_.data(), done);
      }
    }
    for (int j = k - 2; j >= 0; --j)
      MaxRows(raw + size_t(j) * cols, raw + size_t(j + 1) * cols, raw + size_t(j) * cols, cols_);
  }

  // Horizontal pass of rectangle row r: copies its colours into the ring and
  // writes the row's window maxima of the keys.
  void RowKeys(int r, Key* out) {
    const uint8_t* src = bitmap_.ScanLine(y1_ + r) + size_t(x1_) * kBytesPerPixel;
    uint8_t* copy = RingRow(r);
    std::memcpy(copy, src, size_t(cols_) * kBytesPerPixel);
    const int shift = layout_.rowBits + layout_.colBits;
    const Key rowPart = Key(layout_.rowMask - uint64_t(r)) << layout_.colBits;
    Key* keys = padded_.data() + nh_;
    for (int x = 0; x < cols_; ++x) {
      const int g = GreyOf(copy + kBytesPerPixel * x);
      const Key field = Key(maximum_ ? g : 255 - g);
      keys[x] = (field << shift) | rowPart | Key(layout_.colMask - uint64_t(x));
    }
    WindowMax(out);
  }

  // Running maximum of window 2*nh+1 over padded_ (zeros beyond the row).
  void WindowMax(Key* out) {
    const int n = nh_;
    const Key* p = padded_.data();
    if (n == 0) {
      std::copy(p, p + cols_, out);
      return;
    }
    const int k = 2 * n + 1;
    const int len = cols_ + 2 * n;
    Key* g = prefix_.data();
    Key* h = suffix_.data();
    for (int start = 0; start < len; start += k) {
      const int end = std::min(start + k, len);
      g[start] = p[start];
      for (int i = start + 1; i < end; ++i) g[i] = g[i - 1] > p[i] ? g[i - 1] : p[i];
      h[end - 1] = p[end - 1];
      for (int i = end - 2; i >= start; --i) h[i] = h[i + 1] > p[i] ? h[i + 1] : p[i];
    }
    MaxRows(h, g + 2 * n, out, cols_);
  }

  uint8_t* RingRow(int r) { return ring_.data() + size_t(r % ringRows_) * cols_ * kBytesPerPixel; }

  template <typename Done>
  void Emit(int y, const Key* keys, Done& done) {
    uint8_t* dst = bitmap_.ScanLine(y1_ + y) + size_t(x1_) * kBytesPerPixel;
    const uint8_t* own = RingRow(y);
    const int shift = layout_.rowBits + layout_.colBits;
    for (int x = 0; x < cols_; ++x) {
      const Key key = keys[x];
      const uint8_t* from = own + kBytesPerPixel * x;
      if ((key >> shift) != 0) {
        const int r = int(layout_.rowMask - ((uint64_t(key) >> layout_.colBits) & layout_.rowMask));
        const int c = int(layout_.colMask - (uint64_t(key) & layout_.colMask));
        from = RingRow(r) + kBytesPerPixel * c;
      }
      dst[kBytesPerPixel * x] = from[0];
      dst[kBytesPerPixel * x + 1] = from[1];
      dst[kBytesPerPixel * x + 2] = from[2];
    }
    done(y);
  }

  TBitmap& bitmap_;
  int x1_, y1_, rows_, cols_;
  bool maximum_;
  int nh_ = 0, nv_ = 0;
  TKeyLayout layout_{};
  int ringRows_ = 1;
  std::vector<uint8_t> ring_;
  std::vector<Key> padded_, prefix_, suffix_;
  std::vector<Key> out_ = std::vector<Key>(size_t(cols_));
};

template <typename Done>
void MorphPass(TBitmap& bitmap, int x1, int y1, int x2, int y2, int n, bool maximum, Done&& done) {
  const TKeyLayout l = MakeLayout(y2 - y1, x2 - x1);
  if (8 + l.rowBits + l.colBits <= 32) {
    TMorphPass<uint32_t>(bitmap, x1, y1, x2, y2, n, maximum).Run(done);
  } else {
    TMorphPass<uint64_t>(bitmap, x1, y1, x2, y2, n, maximum).Run(done);
  }
}

}  // namespace

void _MorphFilter(TBitmap& bitmap, int winSize, int op, int x1, int y1, int x2, int y2,
                  const TPVProgressEvent& onProgress, TObject* sender) {
  if (bitmap.GetPixelFormat() != pf24bit) return;
  if (!ClampWorkRect(bitmap.GetWidth(), bitmap.GetHeight(), x1, y1, x2, y2)) return;
  const int rows = y2 - y1;
  bool passes[2];  // true: maximum
  int passCount = 1;
  switch (op) {
    case pvmoMaximum:
      passes[0] = true;
      break;
    case pvmoMinimum:
      passes[0] = false;
      break;
    case pvmoOpening:
      passes[0] = false, passes[1] = true, passCount = 2;
      break;
    case pvmoClosing:
      passes[0] = true, passes[1] = false, passCount = 2;
      break;
    default:
      return;
  }
  double factor = 100.0 / (rows - 1 + 0.5);
  if (passCount == 2) factor /= 2;
  for (int pass = 0; pass < passCount; ++pass) {
    auto done = [&](int row) {
      if (onProgress) onProgress(sender, int((row + 1 + pass * rows) * factor));
    };
    // A negative window scans nothing and a window of one pixel picks the
    // pixel itself: either way every pixel keeps its colour.
    if (winSize <= 0) {
      for (int row = 0; row < rows; ++row) done(row);
      continue;
    }
    MorphPass(bitmap, x1, y1, x2, y2, winSize, passes[pass], done);
  }
}

}  // namespace pictavo
