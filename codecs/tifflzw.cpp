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
  // The state lives in locals while it runs: the byte stores into the output
  // would otherwise make the compiler reload every member after each one.
  void Fill() {
    if (int64_t(out.size()) < start + rowLength + kSlack)
      out.resize(size_t(std::max<int64_t>(start + rowLength + kSlack, int64_t(out.size()) * 2)));
    uint8_t* const o = out.data();
    const uint8_t* const src = data;
    const int64_t target = start + rowLength;
    const int64_t fastBits = length >= 8 ? (length - 8) * 8 : -1;  // 8 bytes readable
    int64_t f = fill, bp = bitPos, pOff = prevOff, cOff = clearOff;
    int w = width, pv = prev, cnt = count;
    bool bad = false, end = ended;

    auto next = [&]() -> int {
      uint64_t v;
      if (bp <= fastBits) {
        std::memcpy(&v, src + (bp >> 3), sizeof v);
        v = __builtin_bswap64(v);
      } else {
        if (bp + w > bitEnd) return -1;
        const int64_t byte = bp >> 3;
        v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 8) | (byte + i < length ? src[byte + i] : 0);
      }
      v <<= (bp & 7);
      bp += w;
      return static_cast<int>(v >> (64 - w));
    };
    // n bytes from earlier in the output to its end; short strings as one
    // 16-byte block, loaded before it is stored (the two may overlap).
    auto copy = [&](int64_t from, int n) {
      if (n <= 16) {
        uint8_t block[16];
        std::memcpy(block, o + from, sizeof block);
        std::memcpy(o + f, block, sizeof block);
      } else {
        std::memcpy(o + f, o + from, static_cast<size_t>(n));
      }
      f += n;
    };
    // Where the code width grows next: entry 511, 1023, 2047.
    int limit = cnt < 511 ? 511 : cnt < 1023 ? 1023 : 2047;
    // The entry of prev's string plus one byte, lying at pOff.  Roots have
    // length 1 in the table, so no case is needed.
    auto add = [&]() {
      if (cnt >= kMaxCodes) return;  // a full table takes no more entries
      off[cnt] = pOff;
      len[cnt] = static_cast<uint16_t>(len[pv] + 1);
      if (++cnt == limit && w < 12) {
        ++w;
        limit = limit * 2 + 1;
      }
    };

    while (f < target && !end) {
      int code = next();
      // The common steps first: a root, or an entry of the table.
      if (pv >= 0) {
        if (static_cast<unsigned>(code) < 256u) {
          const int64_t at = f;
          o[f++] = static_cast<uint8_t>(code);
          add();
          pv = code;
          pOff = at;
          continue;
        }
        if (code >= kFirst && code < cnt) {
          const int64_t at = f;
          copy(off[code], len[code]);
          add();
          pv = code;
          pOff = at;
          continue;
        }
      }
      if (code < 0 || code == kEOI) {
        end = true;
        break;
      }
      if (code == kClear) {
        cnt = kFirst;
        w = 9;
        limit = 511;
        cOff = pv >= 0 ? pOff : f;  // a second clear may still refer to prev
        code = next();
        if (code < 0 || code == kEOI) {
          end = true;
          break;
        }
        if (code == kClear) continue;
        if (code >= 256) {
          bad = true;
          break;
        }
        pOff = f;
        o[f++] = static_cast<uint8_t>(code);
        pv = code;
        continue;
      }
      if (pv < 0) {
        if (code >= 256) {
          bad = true;
          break;
        }
        pOff = f;
        o[f++] = static_cast<uint8_t>(code);
        pv = code;
        continue;
      }
      const int64_t at = f;
      if (code < 256) {
        o[f++] = static_cast<uint8_t>(code);
        add();
      } else if (code < cnt) {
        copy(off[code], len[code]);
        add();
      } else if (code == cnt && cnt < kMaxCodes) {
        // The code being defined by this very step (KwKwK): prev's string
        // and its own first byte.
        copy(pOff, len[pv]);
        o[f++] = o[pOff];
        add();
      } else {
        bad = true;
        break;
      }
      pv = code;
      pOff = at;
    }
    fill = f;
    bitPos = bp;
    prevOff = pOff;
    clearOff = cOff;
    width = w;
    prev = pv;
    count = cnt;
    ended = end;
    error = error || bad;
  }
};

// One decoder per strip would allocate and free its tables and buffer for
// every strip (thousands per page); the last one freed is kept for the next
// strip on the same thread instead.
thread_local std::unique_ptr<LZWDecoder> tSpareDecoder;

LZWDecoder* AcquireDecoder() {
  LZWDecoder* d = tSpareDecoder.release();
  if (!d) {
    d = new LZWDecoder;  // entries above the roots are written before they are read
    for (int i = 0; i < 256; ++i) d->len[i] = 1;
    return d;
  }
  // The buffer keeps its capacity; the table entries are written before
  // they are read; the rest starts anew.
  d->bitPos = 0;
  d->width = 9;
  d->prev = -1;
  d->prevOff = 0;
  d->count = kFirst;
  d->ended = d->error = false;
  d->fill = d->start = d->clearOff = 0;
  return d;
}

void ReleaseDecoder(LZWDecoder* d) {
  if (!d) return;
  if (tSpareDecoder)
    delete d;
  else
    tSpareDecoder.reset(d);
}

}  // namespace

uint8_t* TIFFLZWDecompress(const uint8_t* data, int64_t dataLength, int rowLength, void*& state) {
  auto* d = static_cast<LZWDecoder*>(state);
  if (!data) {
    ReleaseDecoder(d);
    state = nullptr;
    return nullptr;
  }
  if (rowLength <= 0) return nullptr;
  if (!d) {
    d = AcquireDecoder();
    state = d;
    d->data = data;
    d->length = dataLength > 0 ? dataLength : 0;
    d->bitEnd = d->length * 8;
    d->rowLength = rowLength;
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
