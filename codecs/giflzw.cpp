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

// Reads the data sub-blocks of one image through 64 KiB reads of the stream
// (a sub-block is at most 255 bytes) and hands each run of payload bytes to
// `consume` until it returns false; a chain cut short hands on what arrived.
// The stream is left just after the terminating block, or at the end of the
// data.
template <class Consume>
void ReadSubBlocks(TStreamReader& reader, Consume&& consume) {
  constexpr size_t kChunk = 1 << 16;
  std::vector<uint8_t> buf(kChunk);
  int64_t bufStart = reader.Position();  // stream position of buf[0]
  size_t at = 0, len = 0;
  bool wanted = true;
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
      if (wanted) wanted = consume(buf.data() + at, n);
      at += n;
      need -= n;
    }
    if (need > 0) break;
  }
  reader.SeekTo(bufStart + int64_t(at));
}

// Decodes a frame's codes into a buffer of recent output and hands every
// finished row to the sink, in display order.  Table entries are strings
// already in the output (an absolute offset and a length), so a code is one
// forward copy.  The buffer keeps at least the last kWindow bytes; an entry
// whose string has left it is rebuilt from its prefix chain, and then points
// at the copy just written.  Memory is the buffer (about 4 x kWindow plus a
// row) and the table, whatever the frame's height.
class TRowDecoder {
 public:
  TRowDecoder(int m, int width, int height, bool interlaced, const TGIFRowSink& sink)
      : clear_code_(1 << m),
        root_bits_(m),
        width_(width),
        height_(height),
        total_(int64_t(width) * height),
        interlaced_(interlaced),
        sink_(sink),
        buf_(static_cast<size_t>(4 * kWindow + int64_t(width) + kSlack)),
        soft_cap_(4 * kWindow + int64_t(width)),
        offsets_(kMaxCodes),
        lengths_(kMaxCodes),
        prefix_(kMaxCodes),
        suffix_(kMaxCodes) {
    Reset();
  }

  // Decodes the codes in src[0..n); false once no more data is wanted (the
  // frame is full, or a code was bad).
  bool Feed(const uint8_t* src, size_t n);
  // Hands on the rows not handed on yet (index 0 past what was decoded);
  // true when the frame was filled without a bad code.
  bool Finish();

 private:
  static constexpr int64_t kWindow = 1 << 16;
  // Room past the soft end: one string (at most kMaxCodes bytes) plus the
  // 16-byte block copy of short strings.
  static constexpr int64_t kSlack = kMaxCodes + 64;

  void Reset() {
    code_width_ = root_bits_ + 1;
    free_code_ = clear_code_ + 2;
    prev_ = -1;
  }
  // The end of the next run of decoding: the frame's end or the soft cap.
  int64_t Stop() const { return std::min(total_ - base_, soft_cap_); }
  void WriteChain(int code, int32_t len, uint8_t* dest) const;
  void EmitRow(const uint8_t* row);
  // Hands on finished rows and makes room; false when the frame is full.
  bool Spill();
  void Stopped(bool ok) {
    finished_ = true;
    ok_ = ok;
  }

  const int clear_code_;
  const int root_bits_;
  const int width_, height_;
  const int64_t total_;
  const bool interlaced_;
  const TGIFRowSink& sink_;
  std::vector<uint8_t> buf_;
  const int64_t soft_cap_;
  std::vector<int64_t> offsets_;  // absolute output offset of each entry's string
  std::vector<int32_t> lengths_;
  std::vector<uint16_t> prefix_;  // the entry's string without its last byte
  std::vector<uint8_t> suffix_;   // its last byte

  int64_t base_ = 0;       // absolute output offset of buf_[0]
  int64_t p_ = 0;          // bytes in buf_
  int64_t row_start_ = 0;  // first byte in buf_ of the next row to hand on
  int rows_out_ = 0;
  int pass_ = 0, next_y_ = 0;  // display row of the next row handed on
  int code_width_ = 0, free_code_ = 0, prev_ = -1;
  int64_t prev_off_ = 0;  // absolute
  int32_t prev_len_ = 0;
  uint64_t acc_ = 0;
  int acc_bits_ = 0;
  bool finished_ = false, ok_ = false;
};

void TRowDecoder::WriteChain(int code, int32_t len, uint8_t* dest) const {
  for (int32_t i = len - 1; i > 0; --i) {
    dest[i] = suffix_[size_t(code)];
    code = prefix_[size_t(code)];
  }
  dest[0] = uint8_t(code);
}

void TRowDecoder::EmitRow(const uint8_t* row) {
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  sink_(next_y_, row);
  ++rows_out_;
  if (!interlaced_) {
    ++next_y_;
    return;
  }
  next_y_ += kStep[pass_];
  while (next_y_ >= height_ && pass_ < 3) next_y_ = kStart[++pass_];
}

bool TRowDecoder::Spill() {
  uint8_t* out = buf_.data();
  const int64_t end = std::min(p_, total_ - base_);
  for (; row_start_ + width_ <= end; row_start_ += width_) EmitRow(out + row_start_);
  if (base_ + p_ >= total_) return false;
  // Keep the last kWindow bytes (entries point there) and the row begun.
  const int64_t keep = std::min(row_start_, std::max<int64_t>(0, p_ - kWindow));
  std::memmove(out, out + keep, static_cast<size_t>(p_ - keep));
  base_ += keep;
  p_ -= keep;
  row_start_ -= keep;
  return true;
}

bool TRowDecoder::Feed(const uint8_t* src, size_t srcLen) {
  if (finished_) return false;
  const int clearCode = clear_code_, endCode = clear_code_ + 1;
  int64_t* const entOff = offsets_.data();
  int32_t* const entLen = lengths_.data();
  uint16_t* const entPrefix = prefix_.data();
  uint8_t* const entSuffix = suffix_.data();
  uint8_t* const out = buf_.data();
  int codeWidth = code_width_, freeCode = free_code_, prev = prev_;
  int limit = 1 << codeWidth;
  int64_t prevOff = prev_off_;
  int32_t prevLen = prev_len_;
  int64_t base = base_, p = p_, stop = Stop();
  uint64_t acc = acc_;
  int accBits = acc_bits_;
  size_t srcPos = 0;
  auto save = [&]() {
    code_width_ = codeWidth, free_code_ = freeCode, prev_ = prev;
    prev_off_ = prevOff, prev_len_ = prevLen;
    p_ = p, acc_ = acc, acc_bits_ = accBits;
  };

  for (;;) {
    while (accBits < codeWidth && srcPos < srcLen) {
      acc |= uint64_t(src[srcPos++]) << accBits;
      accBits += 8;
    }
    if (accBits < codeWidth) break;  // this run is used up
    int code = int(acc & ((1u << codeWidth) - 1));
    acc >>= codeWidth;
    accBits -= codeWidth;

    if (code == clearCode) {
      codeWidth = root_bits_ + 1;
      freeCode = clearCode + 2;
      limit = 1 << codeWidth;
      prev = -1;
      continue;
    }
    if (code == endCode) {
      save();
      Stopped(false);  // Finish tells whether the frame was full
      return false;
    }

    const int64_t curOff = p;
    int32_t curLen;
    if (prev < 0 || code < clearCode) {
      if (prev < 0 && code >= freeCode) code = 0;
      if (code >= 256) {  // a root that does not fit an index byte
        save();
        Stopped(false);
        return false;
      }
      out[p] = uint8_t(code);
      curLen = 1;
    } else if (code < freeCode) {
      curLen = entLen[code];
      const int64_t off = entOff[code] - base;
      if (off >= 0) {
        // Entries lie wholly before p: the copy never reads what it writes.
        if (curLen <= 16) {
          uint8_t block[16];  // loaded before it is stored: the two may overlap
          std::memcpy(block, out + off, sizeof block);
          std::memcpy(out + p, block, sizeof block);
        } else {
          std::memcpy(out + p, out + off, static_cast<size_t>(curLen));
        }
      } else {
        WriteChain(code, curLen, out + p);
        entOff[code] = base + p;
      }
    } else if (code == freeCode) {
      // The previous string followed by its own first byte: a forward copy
      // that reads the byte it has just written.
      curLen = prevLen + 1;
      const uint8_t* s = out + (prevOff - base);
      uint8_t* d = out + p;
      for (int32_t i = 0; i < curLen; ++i) d[i] = s[i];
    } else {
      save();
      Stopped(false);  // a code beyond the table
      return false;
    }
    p += curLen;
    if (prev >= 0 && freeCode < kMaxCodes) {
      entOff[freeCode] = prevOff;
      entLen[freeCode] = prevLen + 1;
      entPrefix[freeCode] = uint16_t(prev);
      entSuffix[freeCode] = out[curOff];
      ++freeCode;
      if (freeCode == limit && codeWidth < kMaxCodeWidth) {
        ++codeWidth;
        limit <<= 1;
      }
    }
    // With a full table codes are decoded without new entries until a clear.
    prev = code;
    prevOff = base + curOff;
    prevLen = curLen;
    if (p >= stop) {
      save();
      if (!Spill()) {
        Stopped(true);  // bytes beyond the last row are dropped
        return false;
      }
      base = base_, p = p_, stop = Stop();
    }
  }
  save();
  return true;
}

bool TRowDecoder::Finish() {
  if (!finished_) Stopped(false);  // the codes ran out before the frame was full
  if (base_ + p_ >= total_) ok_ = true;
  const uint8_t* out = buf_.data();
  const int64_t end = std::min(p_, total_ - base_);
  for (; row_start_ + width_ <= end && rows_out_ < height_; row_start_ += width_)
    EmitRow(out + row_start_);
  if (rows_out_ == height_) return ok_;
  // The row begun keeps its pixels; it and every row after it end in index 0.
  std::vector<uint8_t> row(static_cast<size_t>(width_), 0);
  std::memcpy(row.data(), out + row_start_, static_cast<size_t>(end - row_start_));
  EmitRow(row.data());
  std::fill(row.begin(), row.end(), 0);
  while (rows_out_ < height_) EmitRow(row.data());
  return ok_;
}

}  // namespace

bool GIFLZWDecompressRows(TStream& stream, int height, int width, bool interlaced,
                          const TGIFRowSink& sink) {
  const int64_t startPos = stream.GetPosition();
  if (height <= 0 || width <= 0) return false;
  TStreamReader reader(stream);
  const uint8_t m = reader.U8();
  if (reader.Failed() || m < kMinRootBits || m > kMaxRootBits) {
    stream.Seek(startPos, soBeginning);
    return false;
  }
  TRowDecoder decoder(m, width, height, interlaced, sink);
  ReadSubBlocks(reader, [&](const uint8_t* data, size_t n) { return decoder.Feed(data, n); });
  return decoder.Finish();
}

bool GIFLZWDecompress(TStream& stream, int height, int width, bool interlaced, uint8_t* dest) {
  if (height <= 0 || width <= 0 || dest == nullptr) return false;
  // Every byte of dest is written: by the decoder's rows, or zero when the
  // code size is refused.
  bool rows = false;
  const bool ok =
      GIFLZWDecompressRows(stream, height, width, interlaced, [&](int y, const uint8_t* row) {
        rows = true;
        std::memcpy(dest + int64_t(y) * width, row, static_cast<size_t>(width));
      });
  if (!rows) std::memset(dest, 0, static_cast<size_t>(int64_t(width) * height));
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
