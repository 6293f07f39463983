#include "codecs/tifflzw.h"

#include <cstring>
#include <memory>
#include <vector>

namespace pictavo {

namespace {

constexpr int kClear = 256;
constexpr int kEOI = 257;
constexpr int kFirst = 258;
constexpr int kMaxCodes = 4096;

struct LZWDecoder {
  const uint8_t* data = nullptr;
  int64_t length = 0;
  int64_t bitPos = 0;
  int64_t bitEnd = 0;
  int width = 9;
  int prev = -1;
  int count = kFirst;
  bool ended = false;
  bool error = false;
  int rowLength = 0;
  // String table as prefix chains: entry = string(prefix) + suffix.
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t first[kMaxCodes];
  uint16_t len[kMaxCodes];
  std::vector<uint8_t> out;
  int64_t fill = 0;   // decoded bytes in out
  int64_t start = 0;  // bytes of out already delivered

  void Reset() {
    count = kFirst;
    width = 9;
  }

  // Next code, or -1 when fewer than `width` bits remain.
  int NextCode() {
    if (bitPos + width > bitEnd) return -1;
    int64_t byte = bitPos >> 3;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      v <<= 8;
      if (byte + i < length) v |= data[byte + i];
    }
    v <<= (bitPos & 7);
    bitPos += width;
    return static_cast<int>(v >> (32 - width));
  }

  // Writes the string of `code` at out[fill].
  void Emit(int code) {
    int l = len[code];
    uint8_t* p = out.data() + fill + l;
    int c = code;
    while (c >= kFirst) {
      *--p = suffix[c];
      c = prefix[c];
    }
    *--p = static_cast<uint8_t>(c);
    fill += l;
  }

  void Add(int pre, uint8_t ch) {
    if (count >= kMaxCodes) return;  // a full table takes no more entries
    prefix[count] = static_cast<uint16_t>(pre);
    suffix[count] = ch;
    first[count] = first[pre];
    len[count] = static_cast<uint16_t>(len[pre] + 1);
    ++count;
    if (count == 511)
      width = 10;
    else if (count == 1023)
      width = 11;
    else if (count == 2047)
      width = 12;
  }

  // Decodes codes until at least one row is buffered or the data ends.
  void Fill() {
    while (fill < rowLength && !ended) {
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
        Emit(code);
        prev = code;
        continue;
      }
      if (prev < 0) {
        if (code >= 256) {
          error = true;
          return;
        }
        Emit(code);
        prev = code;
        continue;
      }
      if (code < count) {
        Emit(code);
        Add(prev, first[code]);
      } else if (code == count && count < kMaxCodes) {
        // The code being defined by this very step (KwKwK).
        Add(prev, first[prev]);
        Emit(code);
      } else {
        error = true;
        return;
      }
      prev = code;
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
    for (int i = 0; i < 256; ++i) {
      d->first[i] = static_cast<uint8_t>(i);
      d->len[i] = 1;
      d->prefix[i] = 0;
      d->suffix[i] = static_cast<uint8_t>(i);
    }
    d->len[kClear] = d->len[kEOI] = 0;
    d->out.resize(static_cast<size_t>(rowLength) + 2 * kMaxCodes);
  }
  if (d->error) return nullptr;
  if (rowLength != d->rowLength) {
    if (rowLength > d->rowLength) d->out.resize(static_cast<size_t>(rowLength) + 2 * kMaxCodes);
    d->rowLength = rowLength;
  }
  // Move the bytes decoded beyond the previous row to the front.
  if (d->start > 0) {
    int64_t rest = d->fill - d->start;
    if (rest > 0) std::memmove(d->out.data(), d->out.data() + d->start, static_cast<size_t>(rest));
    d->fill = rest > 0 ? rest : 0;
    d->start = 0;
  }
  d->Fill();
  if (d->error) return nullptr;
  if (d->fill == 0) return nullptr;
  if (d->fill < rowLength) {
    std::memset(d->out.data() + d->fill, 0, static_cast<size_t>(rowLength - d->fill));
    d->fill = rowLength;
  }
  d->start = rowLength;
  return d->out.data();
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
