#include "codecs/tiffccitt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace pictavo {

namespace {

struct Code {
  const char* bits;
  int run;
};

// ITU-T T.4 run codes.
const Code kWhiteTerm[64] = {
    {"00110101", 0},  {"000111", 1},    {"0111", 2},      {"1000", 3},      {"1011", 4},
    {"1100", 5},      {"1110", 6},      {"1111", 7},      {"10011", 8},     {"10100", 9},
    {"00111", 10},    {"01000", 11},    {"001000", 12},   {"000011", 13},   {"110100", 14},
    {"110101", 15},   {"101010", 16},   {"101011", 17},   {"0100111", 18},  {"0001100", 19},
    {"0001000", 20},  {"0010111", 21},  {"0000011", 22},  {"0000100", 23},  {"0101000", 24},
    {"0101011", 25},  {"0010011", 26},  {"0100100", 27},  {"0011000", 28},  {"00000010", 29},
    {"00000011", 30}, {"00011010", 31}, {"00011011", 32}, {"00010010", 33}, {"00010011", 34},
    {"00010100", 35}, {"00010101", 36}, {"00010110", 37}, {"00010111", 38}, {"00101000", 39},
    {"00101001", 40}, {"00101010", 41}, {"00101011", 42}, {"00101100", 43}, {"00101101", 44},
    {"00000100", 45}, {"00000101", 46}, {"00001010", 47}, {"00001011", 48}, {"01010010", 49},
    {"01010011", 50}, {"01010100", 51}, {"01010101", 52}, {"00100100", 53}, {"00100101", 54},
    {"01011000", 55}, {"01011001", 56}, {"01011010", 57}, {"01011011", 58}, {"01001010", 59},
    {"01001011", 60}, {"00110010", 61}, {"00110011", 62}, {"00110100", 63}};
const Code kWhiteMakeup[27] = {
    {"11011", 64},       {"10010", 128},      {"010111", 192},     {"0110111", 256},
    {"00110110", 320},   {"00110111", 384},   {"01100100", 448},   {"01100101", 512},
    {"01101000", 576},   {"01100111", 640},   {"011001100", 704},  {"011001101", 768},
    {"011010010", 832},  {"011010011", 896},  {"011010100", 960},  {"011010101", 1024},
    {"011010110", 1088}, {"011010111", 1152}, {"011011000", 1216}, {"011011001", 1280},
    {"011011010", 1344}, {"011011011", 1408}, {"010011000", 1472}, {"010011001", 1536},
    {"010011010", 1600}, {"011000", 1664},    {"010011011", 1728}};
const Code kBlackTerm[64] = {{"0000110111", 0},
                             {"010", 1},
                             {"11", 2},
                             {"10", 3},
                             {"011", 4},
                             {"0011", 5},
                             {"0010", 6},
                             {"00011", 7},
                             {"000101", 8},
                             {"000100", 9},
                             {"0000100", 10},
                             {"0000101", 11},
                             {"0000111", 12},
                             {"00000100", 13},
                             {"00000111", 14},
                             {"000011000", 15},
                             {"0000010111", 16},
                             {"0000011000", 17},
                             {"0000001000", 18},
                             {"00001100111", 19},
                             {"00001101000", 20},
                             {"00001101100", 21},
                             {"00000110111", 22},
                             {"00000101000", 23},
                             {"00000010111", 24},
                             {"00000011000", 25},
                             {"000011001010", 26},
                             {"000011001011", 27},
                             {"000011001100", 28},
                             {"000011001101", 29},
                             {"000001101000", 30},
                             {"000001101001", 31},
                             {"000001101010", 32},
                             {"000001101011", 33},
                             {"000011010010", 34},
                             {"000011010011", 35},
                             {"000011010100", 36},
                             {"000011010101", 37},
                             {"000011010110", 38},
                             {"000011010111", 39},
                             {"000001101100", 40},
                             {"000001101101", 41},
                             {"000011011010", 42},
                             {"000011011011", 43},
                             {"000001010100", 44},
                             {"000001010101", 45},
                             {"000001010110", 46},
                             {"000001010111", 47},
                             {"000001100100", 48},
                             {"000001100101", 49},
                             {"000001010010", 50},
                             {"000001010011", 51},
                             {"000000100100", 52},
                             {"000000110111", 53},
                             {"000000111000", 54},
                             {"000000100111", 55},
                             {"000000101000", 56},
                             {"000001011000", 57},
                             {"000001011001", 58},
                             {"000000101011", 59},
                             {"000000101100", 60},
                             {"000001011010", 61},
                             {"000001100110", 62},
                             {"000001100111", 63}};
const Code kBlackMakeup[27] = {
    {"0000001111", 64},      {"000011001000", 128},   {"000011001001", 192},
    {"000001011011", 256},   {"000000110011", 320},   {"000000110100", 384},
    {"000000110101", 448},   {"0000001101100", 512},  {"0000001101101", 576},
    {"0000001001010", 640},  {"0000001001011", 704},  {"0000001001100", 768},
    {"0000001001101", 832},  {"0000001110010", 896},  {"0000001110011", 960},
    {"0000001110100", 1024}, {"0000001110101", 1088}, {"0000001110110", 1152},
    {"0000001110111", 1216}, {"0000001010010", 1280}, {"0000001010011", 1344},
    {"0000001010100", 1408}, {"0000001010101", 1472}, {"0000001011010", 1536},
    {"0000001011011", 1600}, {"0000001100100", 1664}, {"0000001100101", 1728}};
// Extended make-up codes, common to both colours.
const Code kExtMakeup[13] = {{"00000001000", 1792},  {"00000001100", 1856},  {"00000001101", 1920},
                             {"000000010010", 1984}, {"000000010011", 2048}, {"000000010100", 2112},
                             {"000000010101", 2176}, {"000000010110", 2240}, {"000000010111", 2304},
                             {"000000011100", 2368}, {"000000011101", 2432}, {"000000011110", 2496},
                             {"000000011111", 2560}};

enum ModeKind : int8_t {
  mInvalid = 0,
  mPass,
  mHoriz,
  mV0,
  mVR1,
  mVR2,
  mVR3,
  mVL1,
  mVL2,
  mVL3,
  mExt,
  mEOL,
  mNoEffect
};
const Code kModes[] = {{"0001", mPass},   {"001", mHoriz},     {"1", mV0},    {"011", mVR1},
                       {"000011", mVR2},  {"0000011", mVR3},   {"010", mVL1}, {"000010", mVL2},
                       {"0000010", mVL3}, {"0000001111", mExt}};

constexpr int kLookBits = 13;
// Small first-level tables for the common short codes; they fit in the
// first-level cache, and the full table is consulted only when the next bits
// hold no code this short.
constexpr int kRunFastBits = 9;
constexpr int kModeFastBits = 7;

struct Entry {
  int16_t run = 0;  // run length or mode kind
  uint8_t len = 0;  // 0: not a code of this table
};

struct EncCode {
  uint16_t code = 0;
  uint8_t len = 0;
};

int CodeValue(const char* bits, int& len) {
  int v = 0;
  len = 0;
  for (const char* p = bits; *p; ++p, ++len) v = (v << 1) | (*p == '1');
  return v;
}

struct Tables {
  Entry dec[2][1 << kLookBits];
  Entry mode[1 << kLookBits];
  Entry decFast[2][1 << kRunFastBits];
  Entry modeFast[1 << kModeFastBits];
  EncCode term[2][64];
  EncCode makeup[2][41];  // index run / 64, 1..40
  Tables() {
    auto add = [](Entry* table, const Code& c) {
      int len = 0;
      int v = CodeValue(c.bits, len);
      int first = v << (kLookBits - len), count = 1 << (kLookBits - len);
      for (int i = 0; i < count; ++i) {
        table[first + i].run = static_cast<int16_t>(c.run);
        table[first + i].len = static_cast<uint8_t>(len);
      }
    };
    auto enc = [](EncCode& e, const Code& c) {
      int len = 0;
      e.code = static_cast<uint16_t>(CodeValue(c.bits, len));
      e.len = static_cast<uint8_t>(len);
    };
    const Code* terms[2] = {kWhiteTerm, kBlackTerm};
    const Code* makeups[2] = {kWhiteMakeup, kBlackMakeup};
    for (int color = 0; color < 2; ++color) {
      for (int i = 0; i < 64; ++i) {
        add(dec[color], terms[color][i]);
        enc(term[color][i], terms[color][i]);
      }
      for (int i = 0; i < 27; ++i) {
        add(dec[color], makeups[color][i]);
        enc(makeup[color][makeups[color][i].run / 64], makeups[color][i]);
      }
      for (const Code& c : kExtMakeup) {
        add(dec[color], c);
        enc(makeup[color][c.run / 64], c);
      }
    }
    for (const Code& c : kModes) add(mode, c);
    for (int color = 0; color < 2; ++color) Shorten(dec[color], decFast[color], kRunFastBits);
    Shorten(mode, modeFast, kModeFastBits);
  }
  // The entries of `full` whose code has at most `bits` bits, indexed by
  // the first `bits` bits; the others stay empty.
  static void Shorten(const Entry* full, Entry* fast, int bits) {
    for (int i = 0; i < (1 << bits); ++i) {
      const Entry& e = full[i << (kLookBits - bits)];
      if (e.len && e.len <= bits) fast[i] = e;
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

uint8_t Reverse8(uint8_t b) {
  b = static_cast<uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

inline uint64_t BigEndian64(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

inline int Clz(uint32_t v) {
  return v ? __builtin_clz(v) : 32;
}

// The per-code steps, called once or more per run: always inlined.
#define PV_HOT_INLINE [[gnu::always_inline]] inline

// Special results of the run and mode readers.
constexpr int kNoEffect = -1;
constexpr int kInvalid = -2;
constexpr int kEOL = -3;
constexpr int kEnd = -4;
constexpr int kUncompressed = -5;

}  // namespace

TCCITTDecoder::TCCITTDecoder(TCCITTMode mode, const uint8_t* data, int64_t length, int fillOrder,
                             int width)
    : mode_(mode), data_(data), length_(length > 0 ? length : 0), width_(width > 0 ? width : 0) {
  if (fillOrder == 2 && length_ > 0) {
    static const auto kRev = [] {
      std::array<uint8_t, 256> t{};
      for (int i = 0; i < 256; ++i) t[i] = Reverse8(static_cast<uint8_t>(i));
      return t;
    }();
    reversed_.resize(static_cast<size_t>(length_));
    for (int64_t i = 0; i < length_; ++i) reversed_[i] = kRev[data[i]];
    data_ = reversed_.data();
  }
  bitEnd_ = length_ * 8;
  ref_.assign(4, width_);
  T();
}

PV_HOT_INLINE uint32_t TCCITTDecoder::Peek() const {
  int64_t byte = bitPos_ >> 3;
  int shift = static_cast<int>(bitPos_ & 7);
  if (byte + 8 <= length_) {
    // One unaligned 64-bit load; the 32 bits from bitPos_ are its top bits
    // once the bits already consumed in the first byte are shifted out.
    uint64_t word;
    std::memcpy(&word, data_ + byte, sizeof word);
    return static_cast<uint32_t>((BigEndian64(word) << shift) >> 32);
  }
  uint64_t v = 0;  // near the end: bytes past the data read as zeros
  for (int i = 0; i < 5; ++i) {
    v <<= 8;
    if (byte + i < length_) v |= data_[byte + i];
  }
  return static_cast<uint32_t>(v >> (8 - shift));
}

// Handles the patterns with eight or more leading zeros, shared by the run
// and mode readers: EOL (with any fill zeros before it), the 9 to 11-bit
// patterns without effect, and the one-dimensional uncompressed-mode code.
static int ZeroPattern(uint32_t v, int64_t& bitPos) {
  int z = Clz(v);
  if (z == 32) {
    bitPos += 12;
    return kNoEffect;
  }
  if (z >= 11) {
    bitPos += z + 1;
    return kEOL;
  }
  if (z == 8 && ((v >> 20) & 0x7) == 0x7) {
    bitPos += 12;
    return kUncompressed;
  }
  bitPos += z + 1;
  return kNoEffect;
}

PV_HOT_INLINE int TCCITTDecoder::ReadRun(int color) {
  if (bitPos_ >= bitEnd_) return kEnd;
  uint32_t v = Peek();
  const Tables& t = T();
  const Entry* found = &t.decFast[color][v >> (32 - kRunFastBits)];
  if (!found->len) found = &t.dec[color][v >> (32 - kLookBits)];
  const Entry& e = *found;
  if (e.len) {
    bitPos_ += e.len;
    return e.run;
  }
  if ((v >> 24) == 0) return ZeroPattern(v, bitPos_);
  bitPos_ += 1;
  return kInvalid;
}

int TCCITTDecoder::ReadFullRun(int color) {
  int total = 0;
  for (;;) {
    int r = ReadRun(color);
    if (r < 0) return r;
    total = std::min(total + r, 1 << 30);
    if (r < 64) return total;
  }
}

PV_HOT_INLINE int TCCITTDecoder::ReadMode() {
  if (bitPos_ >= bitEnd_) return kEnd;
  uint32_t v = Peek();
  const Tables& t = T();
  const Entry* found = &t.modeFast[v >> (32 - kModeFastBits)];
  if (!found->len) found = &t.mode[v >> (32 - kLookBits)];
  const Entry& e = *found;
  if (e.len) {
    bitPos_ += e.len;
    return e.run;
  }
  if ((v >> 24) == 0) {
    int64_t pos = bitPos_;
    int r = ZeroPattern(v, pos);
    if (r == kEOL) return mEOL;  // left unread: the caller decides
    bitPos_ = pos;
    return r == kUncompressed ? mExt : mNoEffect;
  }
  bitPos_ += 1;
  return mInvalid;
}

PV_HOT_INLINE void TCCITTDecoder::Push(int pos) {
  if (pos > width_) pos = width_;
  if (!cur_.empty() && pos < cur_.back()) pos = cur_.back();
  if (!cur_.empty() && cur_.back() == pos)
    cur_.pop_back();  // two changes at one position cancel
  else
    cur_.push_back(pos);
}

// Uncompressed mode: codewords of zeros ended by a one.  0 to 4 zeros: that
// many white pixels and one black; 5 zeros: five white pixels; 6 to 10
// zeros: 0 to 4 white pixels, then the mode ends and one bit gives the
// colour that follows.
void TCCITTDecoder::Uncompressed(int& a, int& color) {
  auto pixels = [&](int c, int n) {
    if (a >= width_) return;
    n = std::min(n, width_ - a);
    if (n <= 0) return;
    if (c != color) {
      Push(a);
      color = c;
    }
    a += n;
  };
  while (bitPos_ < bitEnd_) {
    int z = Clz(Peek());
    if (z <= 4) {
      bitPos_ += z + 1;
      pixels(0, z);
      pixels(1, 1);
    } else if (z == 5) {
      bitPos_ += 6;
      pixels(0, 5);
    } else if (z <= 10) {
      bitPos_ += z + 1;
      pixels(0, z - 6);
      int tag = bitPos_ < bitEnd_ ? static_cast<int>(Peek() >> 31) : 0;
      bitPos_ += 1;
      if (tag != color) {
        if (a < width_) Push(a);
        color = tag;
      }
      return;
    } else {
      return;  // an EOL or garbage ends the mode
    }
  }
}

void TCCITTDecoder::Decode1D(int a, int color) {
  bool makeup = false;
  bool first = a == 0;
  while (a < width_ || makeup) {
    int r = ReadRun(color);
    if (r == kEnd) break;
    if (r == kEOL) {
      if (first) continue;
      break;  // the rest of the row keeps the current colour
    }
    if (r == kUncompressed) {
      Uncompressed(a, color);
      first = false;
      makeup = false;
      continue;
    }
    if (r < 0) continue;
    first = false;
    a = static_cast<int>(std::min<int64_t>(int64_t(a) + r, width_));
    if (r < 64) {
      Push(a);
      color ^= 1;
      makeup = false;
    } else {
      makeup = true;
    }
  }
}

void TCCITTDecoder::Decode2D() {
  int a0 = -1, color = 0;
  size_t kb = 0;
  bool started = false;
  // The reference row does not change during the row: kept in locals, it
  // is not reloaded after every change pushed to cur_.
  const int* ref = ref_.data();
  const size_t refSize = ref_.size();
  while (a0 < width_) {
    int m = ReadMode();
    if (m == kEnd) break;
    if (m == mEOL) {
      if (started) break;  // left for the next row
      int64_t pos = bitPos_;
      ZeroPattern(Peek(), pos);
      bitPos_ = pos;
      if (mode_ == ccG3_2D) {
        int tag = bitPos_ < bitEnd_ ? static_cast<int>(Peek() >> 31) : 0;
        bitPos_ += 1;
        if (tag == 1) {
          Decode1D(0, 0);
          return;
        }
      }
      continue;
    }
    if (m == mNoEffect || m == mInvalid) continue;
    started = true;
    int start = a0 < 0 ? 0 : a0;
    while (ref[kb] <= a0 && kb + 2 < refSize) ++kb;
    while (kb > 0 && ref[kb - 1] > a0) --kb;
    if (static_cast<int>(kb & 1) != color) ++kb;
    int b1 = ref[std::min(kb, refSize - 2)];
    int b2 = ref[std::min(kb + 1, refSize - 1)];
    switch (m) {
      case mPass:
        a0 = std::max(b2, start);
        break;
      case mHoriz: {
        int r1 = ReadFullRun(color);
        if (r1 < 0) break;
        int r2 = ReadFullRun(color ^ 1);
        if (r2 < 0) break;
        int a1 = static_cast<int>(std::min<int64_t>(int64_t(start) + r1, width_));
        int a2 = static_cast<int>(std::min<int64_t>(int64_t(a1) + r2, width_));
        Push(a1);
        Push(a2);
        a0 = a2;
        break;
      }
      case mExt: {
        int a = start;
        Uncompressed(a, color);
        a0 = a;
        break;
      }
      default: {
        static const int kOffsets[] = {0, 0, 0, 0, 1, 2, 3, -1, -2, -3};
        int a1 = std::clamp(b1 + kOffsets[m], start, width_);
        Push(a1);
        color ^= 1;
        a0 = a1;
        break;
      }
    }
  }
}

// Zeroes n bytes.  Most black runs of a page span a few bytes, where a
// call to memset or a byte loop costs more than two or four overlapping
// word stores.
inline void ClearBytes(uint8_t* p, int n) {
  constexpr int kWord = 8;
  const uint64_t zero = 0;
  if (n > 4 * kWord) {
    std::memset(p, 0, static_cast<size_t>(n));
  } else if (n > 2 * kWord) {
    std::memcpy(p, &zero, kWord);
    std::memcpy(p + kWord, &zero, kWord);
    std::memcpy(p + n - 2 * kWord, &zero, kWord);
    std::memcpy(p + n - kWord, &zero, kWord);
  } else if (n >= kWord) {
    std::memcpy(p, &zero, kWord);
    std::memcpy(p + n - kWord, &zero, kWord);
  } else if (n >= 4) {
    std::memcpy(p, &zero, 4);
    std::memcpy(p + n - 4, &zero, 4);
  } else {
    for (int i = 0; i < n; ++i) p[i] = 0;
  }
}

void TCCITTDecoder::Render(uint8_t* dest) const {
  int bytes = (width_ + 7) / 8;
  std::memset(dest, 0xFF, static_cast<size_t>(bytes));
  for (size_t i = 0; i < cur_.size(); i += 2) {
    int s = cur_[i];
    int e = i + 1 < cur_.size() ? cur_[i + 1] : width_;
    if (e > width_) e = width_;
    if (s >= e) continue;
    // Clear bits s .. e-1.
    int sb = s >> 3, eb = (e - 1) >> 3;
    uint8_t sm = static_cast<uint8_t>(0xFF >> (s & 7));
    uint8_t em = static_cast<uint8_t>(0xFF << (7 - ((e - 1) & 7)));
    if (sb == eb) {
      dest[sb] &= static_cast<uint8_t>(~(sm & em));
    } else {
      dest[sb] &= static_cast<uint8_t>(~sm);
      ClearBytes(dest + sb + 1, eb - sb - 1);
      dest[eb] &= static_cast<uint8_t>(~em);
    }
  }
}

bool TCCITTDecoder::DecodeRow(uint8_t* dest) {
  cur_.clear();
  if (mode_ == ccMH && !firstRow_) bitPos_ = (bitPos_ + 7) & ~int64_t(7);
  firstRow_ = false;
  bool had = bitPos_ < bitEnd_;
  if (had) {
    if (mode_ == ccMH || mode_ == ccG3_1D)
      Decode1D(0, 0);
    else
      Decode2D();
  }
  while (!cur_.empty() && cur_.back() >= width_) cur_.pop_back();
  Render(dest);
  ref_.swap(cur_);  // cur_ is cleared before the next row
  ref_.insert(ref_.end(), 4, width_);
  return had;
}

// ---------------------------------------------------------------------------

void CCITTRowChanges(const uint8_t* row, int width, int startBit, std::vector<int>& changes) {
  changes.clear();
  int bit = startBit & 1;
  int x = 0;
  while (x < width) {
    // Find the first position >= x whose bit differs from `bit`.
    int byte = x >> 3;
    uint8_t v = static_cast<uint8_t>(bit ? ~row[byte] : row[byte]);
    v = static_cast<uint8_t>(v & (0xFF >> (x & 7)));
    int nbytes = (width + 7) >> 3;
    const uint64_t sameColour = bit ? ~uint64_t(0) : 0;
    while (v == 0) {
      ++byte;
      // Skip whole words of the current colour: they hold no change.
      while (byte + 8 <= nbytes) {
        uint64_t word;
        std::memcpy(&word, row + byte, sizeof word);
        if (word != sameColour) break;
        byte += 8;
      }
      if (byte >= nbytes) break;
      v = static_cast<uint8_t>(bit ? ~row[byte] : row[byte]);
    }
    if (v == 0) break;
    int pos = byte * 8 + (__builtin_clz(static_cast<uint32_t>(v)) - 24);
    if (pos >= width) break;
    changes.push_back(pos);
    bit ^= 1;
    x = pos;
  }
}

TCCITTEncoder::TCCITTEncoder(TCCITTMode mode, int width) : mode_(mode), width_(width) {
  T();
  ref_.assign(4, width_);
}

void TCCITTEncoder::PutBits(uint32_t code, int length) {
  acc_ = (acc_ << length) | code;
  bits_ += length;
  while (bits_ >= 8) {
    bits_ -= 8;
    out_.push_back(static_cast<uint8_t>(acc_ >> bits_));
  }
}

void TCCITTEncoder::Align() {
  if (bits_ > 0) PutBits(0, 8 - bits_);
}

void TCCITTEncoder::PutRun(int color, int run) {
  const Tables& t = T();
  while (run > 2560) {
    PutBits(t.makeup[color][40].code, t.makeup[color][40].len);
    run -= 2560;
  }
  if (run >= 64) {
    const EncCode& m = t.makeup[color][run / 64];
    PutBits(m.code, m.len);
    run %= 64;
  }
  PutBits(t.term[color][run].code, t.term[color][run].len);
}

void TCCITTEncoder::Put1D(const std::vector<int>& changes) {
  int pos = 0, color = 0;
  for (int c : changes) {
    PutRun(color, c - pos);
    pos = c;
    color ^= 1;
  }
  PutRun(color, width_ - pos);
}

void TCCITTEncoder::Put2D(const std::vector<int>& a) {
  // a: changes of the coding line; ref_: of the reference line (with
  // sentinels at the width).
  size_t n = a.size();
  auto at = [&](size_t i) { return i < n ? a[i] : width_; };
  int a0 = -1, color = 0;
  size_t ka = 0, kb = 0;
  const int* ref = ref_.data();  // not reloaded after every byte written
  const size_t refSize = ref_.size();
  while (a0 < width_) {
    while (ka < n && a[ka] <= a0) ++ka;
    int a1 = at(ka);
    while (ref[kb] <= a0 && kb + 2 < refSize) ++kb;
    while (kb > 0 && ref[kb - 1] > a0) --kb;
    if (static_cast<int>(kb & 1) != color) ++kb;
    int b1 = ref[std::min(kb, refSize - 2)];
    int b2 = ref[std::min(kb + 1, refSize - 1)];
    if (b2 < a1) {
      PutBits(0x1, 4);  // pass
      a0 = b2;
    } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
      static const EncCode kV[7] = {{0x02, 7}, {0x02, 6}, {0x02, 3}, {0x1, 1},
                                    {0x3, 3},  {0x03, 6}, {0x03, 7}};
      const EncCode& v = kV[a1 - b1 + 3];
      PutBits(v.code, v.len);
      a0 = a1;
      color ^= 1;
    } else {
      int a2 = at(ka + 1);
      PutBits(0x1, 3);  // horizontal
      PutRun(color, a1 - (a0 < 0 ? 0 : a0));
      PutRun(color ^ 1, a2 - a1);
      a0 = a2;
    }
  }
}

void TCCITTEncoder::EncodeRow(const uint8_t* row) {
  CCITTRowChanges(row, width_, 0, cur_);
  switch (mode_) {
    case ccMH:
      Put1D(cur_);
      Align();
      break;
    case ccG3_1D:
      PutBits(0x001, 12);
      Put1D(cur_);
      break;
    case ccG3_2D:
      PutBits(0x001, 12);
      if (firstRow_) {
        PutBits(1, 1);
        Put1D(cur_);
      } else {
        PutBits(0, 1);
        Put2D(cur_);
      }
      break;
    case ccG4:
      Put2D(cur_);
      break;
  }
  firstRow_ = false;
  ref_ = cur_;
  ref_.insert(ref_.end(), 4, width_);
}

void TCCITTEncoder::Finish() {
  switch (mode_) {
    case ccMH:
      break;
    case ccG3_1D:
      PutBits(0x001, 12);
      break;
    case ccG3_2D:
      PutBits(0x003, 13);  // EOL with tag bit 1
      break;
    case ccG4:
      PutBits(0x001, 12);
      PutBits(0x001, 12);
      break;
  }
  Align();
}

void TCCITTDecoder::Resume(int64_t bitPos, const uint8_t* refRow) {
  bitPos_ = bitPos < 0 ? 0 : bitPos;
  firstRow_ = true;  // no alignment before the row
  if (refRow)
    CCITTRowChanges(refRow, width_, 1, ref_);
  else
    ref_.clear();
  ref_.insert(ref_.end(), 4, width_);
}

void TCCITTEncoder::Resume(int pendingBits, uint8_t pendingByte, const uint8_t* refRow) {
  bits_ = pendingBits > 0 && pendingBits < 8 ? pendingBits : 0;
  acc_ = bits_ ? uint64_t(pendingByte >> (8 - bits_)) : 0;
  out_.clear();
  firstRow_ = refRow == nullptr;
  if (refRow)
    CCITTRowChanges(refRow, width_, 0, ref_);
  else
    ref_.clear();
  ref_.insert(ref_.end(), 4, width_);
}

namespace {

// The bit position after a row, never beyond the data.
int64_t EndPosition(const TCCITTDecoder& decoder, int64_t srcBytes) {
  return std::min(decoder.BitPosition(), std::max<int64_t>(srcBytes, 0) * 8);
}

void WriteCoded(TStream& stream, const std::vector<uint8_t>& bytes, bool& aborting) {
  const auto n = static_cast<int64_t>(bytes.size());
  if (n > 0 && stream.Write(bytes.data(), n) != n) aborting = true;
}

void PutLineResumed(TCCITTMode mode, const uint8_t* row, int width, TStream& stream, bool& aborting,
                    const uint8_t* refLine, int& pendingBits, uint8_t& pendingByte) {
  TCCITTEncoder encoder(mode, width);
  encoder.Resume(pendingBits, pendingByte, refLine);
  encoder.EncodeRow(row);
  WriteCoded(stream, encoder.Bytes(), aborting);
  pendingBits = encoder.PendingBits();
  pendingByte = encoder.PendingByte();
}

}  // namespace

int64_t CCITTHuffmanGetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int width,
                            int fillOrder) {
  TCCITTDecoder decoder(ccMH, src, srcBytes, fillOrder, width);
  decoder.DecodeRow(dest);
  return (EndPosition(decoder, srcBytes) + 7) / 8;
}

int64_t _CCITTHuffmanGetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int width,
                             int fillOrder, int64_t bitPos) {
  TCCITTDecoder decoder(ccG3_1D, src, srcBytes, fillOrder, width);
  decoder.Resume(bitPos, nullptr);
  decoder.DecodeRow(dest);
  return EndPosition(decoder, srcBytes);
}

int64_t CCITT3_2D_GetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int fillOrder,
                          int64_t bitPos, uint8_t* refLine, int width, bool group4) {
  TCCITTDecoder decoder(group4 ? ccG4 : ccG3_2D, src, srcBytes, fillOrder, width);
  decoder.Resume(bitPos, refLine);
  decoder.DecodeRow(dest);
  if (refLine && width > 0) std::memcpy(refLine, dest, size_t((width + 7) / 8));
  return EndPosition(decoder, srcBytes);
}

void CCITTHuffmanPutLine(const uint8_t* row, int width, TStream& stream, bool& aborting) {
  TCCITTEncoder encoder(ccMH, width);
  encoder.EncodeRow(row);
  WriteCoded(stream, encoder.Bytes(), aborting);
}

void CCITTHuffmanPutLineG3(const uint8_t* row, int width, TStream& stream, bool& aborting,
                           int& pendingBits, uint8_t& pendingByte) {
  PutLineResumed(ccG3_1D, row, width, stream, aborting, nullptr, pendingBits, pendingByte);
}

void CCITTHuffmanPutLineG32D(const uint8_t* row, int width, TStream& stream, bool& aborting,
                             const uint8_t*& refLine, int& pendingBits, uint8_t& pendingByte) {
  PutLineResumed(ccG3_2D, row, width, stream, aborting, refLine, pendingBits, pendingByte);
  refLine = row;
}

void CCITTHuffmanPutLineG4(const uint8_t* row, int width, TStream& stream, bool& aborting,
                           const uint8_t*& refLine, int& pendingBits, uint8_t& pendingByte) {
  PutLineResumed(ccG4, row, width, stream, aborting, refLine, pendingBits, pendingByte);
  refLine = row;
}

}  // namespace pictavo
