// GIF LZW coders: the decoder, the string-table encoder and the run-length
// encoder that writes valid code streams without a string search.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codecs/gif.h"
#include "core/streamreader.h"

namespace pictavo {

namespace {

constexpr int kMaxCodes = 4096;

// Rows of an interlaced frame in the order they are stored.
void InterlacedRowOrder(int height, std::vector<int>& rows) {
  rows.clear();
  rows.reserve(static_cast<size_t>(std::max(height, 0)));
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
}

// Output sink with buffered writes; remembers a short write.
class TCodeWriter {
 public:
  explicit TCodeWriter(TStream& stream) : stream_(stream) { buf_.reserve(kFlushAt + 512); }
  void Byte(uint8_t b) {
    buf_.push_back(b);
    if (buf_.size() >= kFlushAt) Flush();
  }
  void Bytes(const uint8_t* p, size_t n) {
    buf_.insert(buf_.end(), p, p + n);
    if (buf_.size() >= kFlushAt) Flush();
  }
  void Flush() {
    if (buf_.empty()) return;
    if (ok_ && stream_.Write(buf_.data(), static_cast<int64_t>(buf_.size())) <
                   static_cast<int64_t>(buf_.size()))
      ok_ = false;
    buf_.clear();
  }
  bool Ok() const { return ok_; }

 private:
  static constexpr size_t kFlushAt = 65536;
  TStream& stream_;
  std::vector<uint8_t> buf_;
  bool ok_ = true;
};

// Sub-block packer: data bytes leave in blocks of `blockLen` with a length byte.
class TBlockPacker {
 public:
  TBlockPacker(TCodeWriter& out, int blockLen) : out_(out), block_len_(blockLen) {}
  void Put(uint8_t b) {
    block_[n_++] = b;
    if (n_ >= block_len_) Flush();
  }
  void Flush() {
    if (n_ == 0) return;
    uint8_t len = static_cast<uint8_t>(n_);
    out_.Byte(len);
    out_.Bytes(block_, static_cast<size_t>(n_));
    n_ = 0;
  }

 private:
  TCodeWriter& out_;
  int block_len_;
  int n_ = 0;
  uint8_t block_[256];
};

constexpr int kMinRootBits = 2, kMaxRootBits = 9;  // the code size byte's accepted range
constexpr int kMaxCodeWidth = 12;

// Gathers the data sub-blocks; a chain cut short keeps what arrived.  The
// stream is read in large chunks (a sub-block is at most 255 bytes) and left
// just after the terminating block, or at the end of the data.
void GatherSubBlocks(TStreamReader& reader, std::vector<uint8_t>& data) {
  constexpr size_t kChunk = 1 << 16;
  std::vector<uint8_t> buf(kChunk);
  int64_t bufStart = reader.Position();  // stream position of buf[0]
  size_t at = 0, len = 0;
  auto refill = [&]() {
    bufStart += int64_t(len);
    at = 0;
    len = size_t(std::max<int64_t>(0, reader.ReadSome(buf.data(), int64_t(kChunk))));
    return len > 0;
  };
  for (;;) {
    if (at == len && !refill()) break;
    const size_t blockLen = buf[at++];
    if (blockLen == 0) break;
    size_t need = blockLen;
    while (need > 0) {
      if (at == len && !refill()) break;
      const size_t n = std::min(need, len - at);
      data.insert(data.end(), buf.data() + at, buf.data() + at + n);
      at += n;
      need -= n;
    }
    if (need > 0) break;
  }
  reader.SeekTo(bufStart + int64_t(at));
}

// Decodes the codes of `data` (root size m) into `total` bytes at out.  True
// when the frame was filled; false on a bad code or when the codes ran out
// early (what was decoded stays, the rest is zero).
inline int64_t Done(bool& ok, bool value, int64_t p) {
  ok = value;
  return p;
}

// Returns how many bytes were decoded; `ok` as DecodeCodes returns it.
int64_t DecodeCodesInto(int m, const std::vector<uint8_t>& data, uint8_t* out, int64_t total,
                        bool& ok);

bool DecodeCodes(int m, const std::vector<uint8_t>& data, uint8_t* out, int64_t total) {
  bool ok = false;
  const int64_t p = DecodeCodesInto(m, data, out, total, ok);
  if (p < total) std::memset(out + p, 0, static_cast<size_t>(total - p));
  return ok;
}

int64_t DecodeCodesInto(int m, const std::vector<uint8_t>& data, uint8_t* out, int64_t total,
                        bool& ok) {
  // Table entries are strings already in the output: their offset and length.
  std::vector<int64_t> offsets(kMaxCodes);
  std::vector<int32_t> lengths(kMaxCodes);
  int64_t* const entOff = offsets.data();
  int32_t* const entLen = lengths.data();

  const int clearCode = 1 << m;
  const int endCode = clearCode + 1;
  int codeWidth = m + 1;
  int freeCode = clearCode + 2;
  int limit = 1 << codeWidth;
  int prev = -1;  // no previous string (start, or just after a clear)
  int64_t prevOff = 0;
  int32_t prevLen = 0;
  int64_t p = 0;

  const uint8_t* src = data.data();
  const size_t srcLen = data.size();
  size_t srcPos = 0;
  uint64_t acc = 0;
  int accBits = 0;

  for (;;) {
    while (accBits < codeWidth && srcPos < srcLen) {
      acc |= uint64_t(src[srcPos++]) << accBits;
      accBits += 8;
    }
    if (accBits < codeWidth)
      return Done(ok, p >= total, p);  // the codes ran out: fine only when full
    int code = int(acc & ((1u << codeWidth) - 1));
    acc >>= codeWidth;
    accBits -= codeWidth;

    if (code == clearCode) {
      codeWidth = m + 1;
      freeCode = clearCode + 2;
      limit = 1 << codeWidth;
      prev = -1;
      continue;
    }
    if (code == endCode) return Done(ok, p >= total, p);

    int64_t curOff = p;
    int32_t curLen;
    if (prev < 0) {
      if (code >= freeCode) code = 0;
      if (code >= 256) return Done(ok, false, p);  // a root that does not fit an index byte
      out[p++] = uint8_t(code);
      curLen = 1;
    } else {
      if (code < clearCode) {
        if (code >= 256) return Done(ok, false, p);
        out[p++] = uint8_t(code);
        curLen = 1;
      } else if (code < freeCode) {
        curLen = entLen[code];
        int64_t n = std::min<int64_t>(curLen, total - p);
        const uint8_t* s = out + entOff[code];
        if (n <= 16 && p + 16 <= total) {
          uint8_t block[16];  // loaded before it is stored: the two may overlap
          std::memcpy(block, s, sizeof block);
          std::memcpy(out + p, block, sizeof block);
        } else {
          std::memmove(out + p, s, static_cast<size_t>(n));
        }
        p += n;
      } else if (code == freeCode) {
        // The previous string followed by its own first byte: a forward copy
        // that reads the byte it has just written.
        curLen = prevLen + 1;
        int64_t n = std::min<int64_t>(curLen, total - p);
        const uint8_t* s = out + prevOff;
        uint8_t* d = out + p;
        for (int64_t i = 0; i < n; ++i) d[i] = s[i];
        p += n;
      } else {
        return Done(ok, false, p);  // a code beyond the table
      }
      if (freeCode < kMaxCodes) {
        entOff[freeCode] = prevOff;
        entLen[freeCode] = prevLen + 1;
        ++freeCode;
        if (freeCode == limit && codeWidth < kMaxCodeWidth) {
          ++codeWidth;
          limit <<= 1;
        }
      }
      // With a full table codes are decoded without new entries until a clear.
    }
    if (p >= total) return Done(ok, true, p);  // bytes beyond the last row are dropped
    prev = code;
    prevOff = curOff;
    prevLen = curLen;
  }
}

// Moves the rows of an interlaced frame from stored order to their places.
void ScatterInterlaced(const uint8_t* stored, uint8_t* dest, int width, int height) {
  std::vector<int> rows;
  InterlacedRowOrder(height, rows);
  for (int i = 0; i < height; ++i)
    std::memcpy(dest + int64_t(rows[size_t(i)]) * width, stored + int64_t(i) * width,
                static_cast<size_t>(width));
}

}  // namespace

bool GIFLZWDecompress(TStream& stream, int height, int width, bool interlaced, uint8_t* dest) {
  int64_t startPos = stream.GetPosition();
  if (height <= 0 || width <= 0 || dest == nullptr) return false;
  const int64_t total = int64_t(width) * height;
  // Every byte of dest is written: by the decoder, or zero where it stops.
  TStreamReader reader(stream);
  uint8_t m = reader.U8();
  if (reader.Failed() || m < kMinRootBits || m > kMaxRootBits) {
    std::memset(dest, 0, static_cast<size_t>(total));
    stream.Seek(startPos, soBeginning);
    return false;
  }
  std::vector<uint8_t> data;
  GatherSubBlocks(reader, data);
  if (data.empty()) {
    std::memset(dest, 0, static_cast<size_t>(total));
    return false;
  }

  // An interlaced frame is decoded into a scratch buffer and distributed to
  // its rows afterwards.
  if (!interlaced || height <= 1) return DecodeCodes(m, data, dest, total);
  std::vector<uint8_t> scratch(static_cast<size_t>(total), 0);
  const bool ok = DecodeCodes(m, data, scratch.data(), total);
  ScatterInterlaced(scratch.data(), dest, width, height);
  return ok;
}

bool GIFLZWCompress(TStream& stream, int height, int width, bool interlaced, const uint8_t* data,
                    int bitsPerPixel) {
  constexpr int kHashSize = 5003;
  constexpr int kHashShift = 4;
  if (height < 0 || width < 0) return false;
  const int m = std::clamp(bitsPerPixel, 2, 8);
  TCodeWriter out(stream);
  out.Byte(uint8_t(m));
  TBlockPacker block(out, 254);

  const int clearCode = 1 << m;
  const int endCode = clearCode + 1;
  const uint8_t mask = uint8_t((1 << m) - 1);
  int freeCode = clearCode + 2;
  int codeWidth = m + 1;
  int maxCode = (1 << codeWidth) - 1;
  bool clearFlag = false;
  uint32_t acc = 0;
  int accBits = 0;

  std::vector<int32_t> keys(kHashSize, -1);
  std::vector<uint16_t> codes(kHashSize, 0);

  auto emit = [&](int code) {
    acc |= uint32_t(code) << accBits;
    accBits += codeWidth;
    while (accBits >= 8) {
      block.Put(uint8_t(acc));
      acc >>= 8;
      accBits -= 8;
    }
    if (clearFlag) {
      codeWidth = m + 1;
      maxCode = (1 << codeWidth) - 1;
      clearFlag = false;
    } else if (freeCode > maxCode) {
      ++codeWidth;
      maxCode = codeWidth == 12 ? kMaxCodes : (1 << codeWidth) - 1;
    }
  };

  emit(clearCode);
  std::vector<int> rows;
  if (interlaced) InterlacedRowOrder(height, rows);
  int prefix = -1;
  for (int r = 0; r < height; ++r) {
    int y = interlaced ? rows[size_t(r)] : r;
    const uint8_t* row = data + int64_t(y) * width;
    int x = 0;
    if (prefix < 0 && width > 0) {
      prefix = row[0] & mask;
      x = 1;
    }
    for (; x < width; ++x) {
      int c = row[x] & mask;
      int32_t key = (int32_t(c) << 12) + prefix;
      int i = (c << kHashShift) ^ prefix;
      if (keys[size_t(i)] == key) {
        prefix = codes[size_t(i)];
        continue;
      }
      if (keys[size_t(i)] >= 0) {
        int disp = i == 0 ? 1 : kHashSize - i;
        bool found = false;
        for (;;) {
          i -= disp;
          if (i < 0) i += kHashSize;
          if (keys[size_t(i)] == key) {
            found = true;
            break;
          }
          if (keys[size_t(i)] <= 0) break;
        }
        if (found) {
          prefix = codes[size_t(i)];
          continue;
        }
      }
      emit(prefix);
      prefix = c;
      if (freeCode < kMaxCodes) {
        codes[size_t(i)] = uint16_t(freeCode++);
        keys[size_t(i)] = key;
      } else {
        std::fill(keys.begin(), keys.end(), -1);
        freeCode = clearCode + 2;
        clearFlag = true;
        emit(clearCode);
      }
    }
  }
  if (prefix >= 0) emit(prefix);
  emit(endCode);
  if (accBits > 0) block.Put(uint8_t(acc));
  block.Flush();
  out.Byte(0);
  out.Flush();
  return out.Ok();
}

namespace {

// Run-length coder state: codes stand for runs of one pixel that a standard
// decoder has added to its table from the codes already sent.
class TRunCoder {
 public:
  TRunCoder(TCodeWriter& out, int m) : block_(out, 255) {
    codeClear_ = 1 << m;
    codeEnd_ = codeClear_ + 1;
    base_ = codeClear_ + 2;
    bitsInit_ = m + 1;
    bumpInit_ = (1 << m) - 1;
    clearInit_ = bitsInit_ <= 3 ? 9 : bumpInit_ - 1;
    maxCodes_ = (1 << 12) - ((1 << m) + 3);
    DidClear();
    Output(codeClear_);
  }

  void Pixel(int c) {
    if (runCount_ > 0 && c != runPixel_) Flush();
    if (runPixel_ == c) {
      ++runCount_;
    } else {
      runPixel_ = c;
      runCount_ = 1;
    }
  }

  void Finish() {
    if (runCount_ > 0) Flush();
    Output(codeEnd_);
    if (bits_ > 0) block_.Put(uint8_t(acc_));
    block_.Flush();
  }

 private:
  void Output(int code) {
    acc_ |= uint32_t(code) << bits_;
    bits_ += width_;
    while (bits_ >= 8) {
      block_.Put(uint8_t(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }
  void DidClear() {
    width_ = bitsInit_;
    bump_ = bumpInit_;
    clearLimit_ = clearInit_;
    count_ = 0;
    tableMax_ = 0;
    justCleared_ = true;
  }
  void OutputPlain(int c) {
    justCleared_ = false;
    Output(c);
    ++count_;
    if (count_ >= bump_) {
      ++width_;
      bump_ += 1 << (width_ - 1);
    }
    if (count_ >= clearLimit_) {
      Output(codeClear_);
      DidClear();
    }
  }
  static unsigned ISqrt(unsigned x) {
    if (x < 2) return x;
    unsigned r = 1, v;
    for (v = x; v; v >>= 2) r <<= 1;
    for (;;) {
      v = (x / r + r) / 2;
      if (v == r || v == r + 1) return r;
      r = v;
    }
  }
  static unsigned TriangleCount(unsigned count, unsigned nrep) {
    unsigned cost = 0;
    unsigned perrep = nrep * (nrep + 1) / 2;
    if (perrep > 0) {
      cost += (count / perrep) * nrep;
      count %= perrep;
    }
    if (count > 0) {
      unsigned n = ISqrt(count);
      while (n > 0 && n * (n + 1) >= 2 * count) --n;
      while (n * (n + 1) < 2 * count) ++n;
      cost += n;
    }
    return cost;
  }
  void MaxOutClear() { clearLimit_ = maxCodes_; }
  void ResetOutClear() {
    clearLimit_ = clearInit_;
    if (count_ >= clearLimit_) {
      Output(codeClear_);
      DidClear();
    }
  }
  void FlushFromClear(int count) {
    MaxOutClear();
    tablePixel_ = runPixel_;
    int n = 1;
    while (count > 0) {
      if (n == 1) {
        tableMax_ = 1;
        OutputPlain(runPixel_);
        --count;
      } else if (count >= n) {
        tableMax_ = n;
        OutputPlain(base_ + n - 2);
        count -= n;
      } else if (count == 1) {
        ++tableMax_;
        OutputPlain(runPixel_);
        count = 0;
      } else {
        ++tableMax_;
        OutputPlain(base_ + count - 2);
        count = 0;
      }
      n = count_ == 0 ? 1 : n + 1;
    }
    ResetOutClear();
  }
  void FlushClearOrRep(int count) {
    int withClear = 1 + int(TriangleCount(unsigned(count), unsigned(maxCodes_)));
    if (withClear < count) {
      Output(codeClear_);
      DidClear();
      FlushFromClear(count);
    } else {
      for (; count > 0; --count) OutputPlain(runPixel_);
    }
  }
  void FlushWithTable(int count) {
    int repMax = count / tableMax_;
    int leftover = count % tableMax_;
    int repLeft = leftover ? 1 : 0;
    if (count_ + repMax + repLeft > maxCodes_) {
      repMax = maxCodes_ - count_;
      leftover = count - repMax * tableMax_;
      repLeft = 1 + int(TriangleCount(unsigned(leftover), unsigned(maxCodes_)));
    }
    if (1 + int(TriangleCount(unsigned(count), unsigned(maxCodes_))) < repMax + repLeft) {
      Output(codeClear_);
      DidClear();
      FlushFromClear(count);
      return;
    }
    MaxOutClear();
    for (; repMax > 0; --repMax) OutputPlain(base_ + tableMax_ - 2);
    if (leftover) {
      if (justCleared_)
        FlushFromClear(leftover);
      else if (leftover == 1)
        OutputPlain(runPixel_);
      else
        OutputPlain(base_ + leftover - 2);
    }
    ResetOutClear();
  }
  void Flush() {
    if (runCount_ == 1)
      OutputPlain(runPixel_);
    else if (justCleared_)
      FlushFromClear(runCount_);
    else if (tableMax_ < 2 || tablePixel_ != runPixel_)
      FlushClearOrRep(runCount_);
    else
      FlushWithTable(runCount_);
    runCount_ = 0;
  }

  TBlockPacker block_;
  int codeClear_, codeEnd_, base_;
  int bitsInit_, bumpInit_, clearInit_, maxCodes_;
  int width_ = 0, bump_ = 0, clearLimit_ = 0, count_ = 0;
  int tableMax_ = 0, tablePixel_ = 0;
  bool justCleared_ = true;
  int runPixel_ = 0, runCount_ = 0;
  uint32_t acc_ = 0;
  int bits_ = 0;
};

}  // namespace

bool GIFNONLZWCompress(TStream& stream, int height, int width, bool interlaced, const uint8_t* data,
                       int bitsPerPixel) {
  if (height < 0 || width < 0) return false;
  const int m = std::clamp(bitsPerPixel, 2, 8);
  const uint8_t mask = uint8_t((1 << m) - 1);
  TCodeWriter out(stream);
  out.Byte(uint8_t(m));
  {
    TRunCoder coder(out, m);
    std::vector<int> rows;
    if (interlaced) InterlacedRowOrder(height, rows);
    for (int r = 0; r < height; ++r) {
      const uint8_t* row = data + int64_t(interlaced ? rows[size_t(r)] : r) * width;
      for (int x = 0; x < width; ++x) coder.Pixel(row[x] & mask);
    }
    coder.Finish();
  }
  out.Byte(0);
  out.Flush();
  return out.Ok();
}

}  // namespace pictavo
