#include "codecs/tifflzw.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace pictavo {

namespace {

constexpr int kClear = 256;
constexpr int kEOI = 257;
constexpr int kFirst = 258;
constexpr int kMaxCodes = 4096;

// The string of every table entry is a run of bytes already decoded: a new
// entry is the previous code's string followed by the first byte of the next
// one, and those two were written next to each other.  So an entry is just
// an offset and a length into the output, and a code's string is copied
// forward in one piece.  Nothing before the last clear code can be referred
// to again, so delivered bytes from before it are dropped when the buffer
// has grown.
struct LZWDecoder {
  const uint8_t* data = nullptr;
  int64_t length = 0;
  int64_t bitPos = 0;
  int64_t bitEnd = 0;
  int width = 9;
  int prev = -1;
  int64_t prevOff = 0;
  int count = kFirst;
  bool ended = false;
  bool error = false;
  int rowLength = 0;
  int64_t off[kMaxCodes];
  uint16_t len[kMaxCodes];
  std::vector<uint8_t> out;
  int64_t fill = 0;      // decoded bytes in out
  int64_t start = 0;     // bytes of out already delivered
  int64_t clearOff = 0;  // no entry refers to bytes before this

  static constexpr int64_t kSlack = kMaxCodes + 32;  // the longest string plus overrun
  static constexpr int64_t kCompactAt = 1 << 16;

  void Reset() {
    count = kFirst;
    width = 9;
    clearOff = prev >= 0 ? prevOff : fill;  // a second clear may still refer to prev
  }

  // Next code, or -1 when fewer than `width` bits remain.
  int NextCode() {
    if (bitPos + width > bitEnd) return -1;
    const int64_t byte = bitPos >> 3;
    uint64_t v;
    if (byte + 8 <= length) {
      std::memcpy(&v, data + byte, sizeof v);
      v = __builtin_bswap64(v);
    } else {
      v = 0;
      for (int i = 0; i < 8; ++i) v = (v << 8) | (byte + i < length ? data[byte + i] : 0);
    }
    v <<= (bitPos & 7);
    bitPos += width;
    return static_cast<int>(v >> (64 - width));
  }

  // Copies n bytes from earlier in out to out[fill]; short strings move as
  // one 16-byte block (loaded before it is stored, so the two may overlap).
  void Copy(int64_t from, int n) {
    uint8_t* d = out.data() + fill;
    const uint8_t* s = out.data() + from;
    if (n <= 16) {
      uint8_t block[16];
      std::memcpy(block, s, sizeof block);
      std::memcpy(d, block, sizeof block);
    } else {
      std::memcpy(d, s, static_cast<size_t>(n));
    }
    fill += n;
  }

  // Writes the string of `code` at out[fill]; returns where it starts.
  int64_t Emit(int code) {
    const int64_t at = fill;
    if (code < 256)
      out[size_t(fill++)] = static_cast<uint8_t>(code);
    else
      Copy(off[code], len[code]);
    return at;
  }

  int Len(int code) const { return code < 256 ? 1 : len[code]; }

  // The entry of prev's string plus one byte, lying at prevOff.
  void Add() {
    if (count >= kMaxCodes) return;  // a full table takes no more entries
    off[count] = prevOff;
    len[count] = static_cast<uint16_t>(Len(prev) + 1);
    ++count;
    if (count == 511)
      width = 10;
    else if (count == 1023)
      width = 11;
    else if (count == 2047)
      width = 12;
  }

  // Drops the delivered bytes that no entry can refer to any more.
  void Compact() {
    const int64_t drop = std::min(clearOff, start);
    if (drop < kCompactAt) return;
    std::memmove(out.data(), out.data() + drop, static_cast<size_t>(fill - drop));
    for (int c = kFirst; c < count; ++c) off[c] -= drop;
    fill -= drop;
    start -= drop;
    clearOff -= drop;
    prevOff -= drop;
  }

  // Decodes codes until a row is buffered after `start` or the data ends.
  void Fill() {
    if (int64_t(out.size()) < start + rowLength + kSlack)
      out.resize(size_t(std::max<int64_t>(start + rowLength + kSlack, int64_t(out.size()) * 2)));
    const int64_t target = start + rowLength;
    while (fill < target && !ended) {
      int code = NextCode();
      if (code < 0 || code == kEOI) {
        ended = true;
        break;
      }
      if (code == kClear) {
        Reset();
        code = NextCode();
        if (code < 0 || code == kEOI) {
          ended = true;
          break;
        }
        if (code == kClear) continue;
        if (code >= 256) {
          error = true;
          return;
        }
        prevOff = Emit(code);
        prev = code;
        continue;
      }
      if (prev < 0) {
        if (code >= 256) {
          error = true;
          return;
        }
        prevOff = Emit(code);
        prev = code;
        continue;
      }
      int64_t at;
      if (code < count) {
        at = Emit(code);
        Add();
      } else if (code == count && count < kMaxCodes) {
        // The code being defined by this very step (KwKwK): prev's string
        // and its own first byte.
        at = fill;
        const int n = Len(prev);
        Copy(prevOff, n);
        out[size_t(fill++)] = out[size_t(prevOff)];
        Add();
      } else {
        error = true;
        return;
      }
      prev = code;
      prevOff = at;
    }
  }
};

}  // namespace

uint8_t* TIFFLZWDecompress(const uint8_t* data, int64_t dataLength, int rowLength, void*& state) {
  auto* d = static_cast<LZWDecoder*>(state);
  if (!data) {
    delete d;
    state = nullptr;
    return nullptr;
  }
  if (rowLength <= 0) return nullptr;
  if (!d) {
    d = new LZWDecoder();
    state = d;
    d->data = data;
    d->length = dataLength > 0 ? dataLength : 0;
    d->bitEnd = d->length * 8;
    d->rowLength = rowLength;
    d->len[kClear] = d->len[kEOI] = 0;
  }
  if (d->error) return nullptr;
  d->rowLength = rowLength;
  d->Compact();
  d->Fill();
  if (d->error) return nullptr;
  if (d->fill == d->start) return nullptr;
  const int64_t end = d->start + rowLength;
  if (d->fill < end) {
    std::memset(d->out.data() + d->fill, 0, static_cast<size_t>(end - d->fill));
    d->fill = end;
  }
  uint8_t* row = d->out.data() + d->start;
  d->start = end;
  return row;
}

namespace {

constexpr int kHashSize = 5003;

struct LZWEncoder {
  TStream* stream = nullptr;
  int32_t keys[kHashSize];
  uint16_t codes[kHashSize];
  int width = 9;
  int maxCode = 511;
  int freeCode = kFirst;
  int prefix = -1;
  uint64_t acc = 0;
  int accBits = 0;
  std::vector<uint8_t> block;
  bool failed = false;

  void ClearHash() { std::memset(keys, 0xFF, sizeof(keys)); }

  void Put(int code) {
    acc = (acc << width) | static_cast<uint64_t>(code);
    accBits += width;
    while (accBits >= 8) {
      accBits -= 8;
      block.push_back(static_cast<uint8_t>(acc >> accBits));
    }
    if (block.size() >= 65536) Flush();
  }

  void Flush() {
    if (!block.empty() && !failed) {
      int64_t n = stream->Write(block.data(), static_cast<int64_t>(block.size()));
      if (n != static_cast<int64_t>(block.size())) failed = true;
    }
    block.clear();
  }

  // Emits the current prefix and counts the entry the decoder will add for
  // it; a table about to overflow is cleared.
  void EmitPrefixAndGrow() {
    Put(prefix);
    ++freeCode;
    if (freeCode == kMaxCodes - 2) {
      Put(kClear);
      ClearHash();
      freeCode = kFirst;
      width = 9;
      maxCode = 511;
    } else if (freeCode > maxCode && width < 12) {
      ++width;
      maxCode = (1 << width) - 1;
    }
  }

  void Encode(const uint8_t* data, int length) {
    int i0 = 0;
    if (prefix < 0) {
      if (length <= 0) return;
      prefix = data[0];
      i0 = 1;
    }
    int ent = prefix;
    for (int n = i0; n < length; ++n) {
      int c = data[n];
      int32_t key = (c << 12) + ent;
      int i = (c << 4) ^ ent;
      if (keys[i] == key) {
        ent = codes[i];
        continue;
      }
      if (keys[i] >= 0) {
        int disp = i == 0 ? 1 : kHashSize - i;
        bool found = false;
        for (;;) {
          i -= disp;
          if (i < 0) i += kHashSize;
          if (keys[i] == key) {
            found = true;
            break;
          }
          if (keys[i] < 0) break;
        }
        if (found) {
          ent = codes[i];
          continue;
        }
      }
      // Not in the table: emit the prefix and add prefix + c.
      Put(ent);
      int code = freeCode++;
      if (freeCode == kMaxCodes - 2) {
        Put(kClear);
        ClearHash();
        freeCode = kFirst;
        width = 9;
        maxCode = 511;
      } else {
        keys[i] = key;
        codes[i] = static_cast<uint16_t>(code);
        if (freeCode > maxCode && width < 12) {
          ++width;
          maxCode = (1 << width) - 1;
        }
      }
      ent = c;
    }
    prefix = ent;
  }

  void Finish() {
    if (prefix >= 0) {
      EmitPrefixAndGrow();
    }
    Put(kEOI);
    if (accBits > 0) block.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
    accBits = 0;
    Flush();
  }
};

}  // namespace

bool TIFFLZWCompress(const uint8_t* data, int length, TStream& stream, void*& state) {
  auto* e = static_cast<LZWEncoder*>(state);
  if (!e) {
    e = new LZWEncoder();
    state = e;
    e->stream = &stream;
    e->ClearHash();
    e->block.reserve(65536 + 16);
    e->Put(kClear);
  }
  e->stream = &stream;
  if (!data) {
    e->Finish();
    bool ok = !e->failed;
    delete e;
    state = nullptr;
    return ok;
  }
  e->Encode(data, length);
  return !e->failed;
}

}  // namespace pictavo
