#include "core/rc6.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

namespace pictavo {

namespace {

constexpr int kRounds = 20;
constexpr int kKeyWords = 2 * kRounds + 4;

struct InitialTable {
  uint32_t s[kKeyWords];
  constexpr InitialTable() : s{} {
    s[0] = 0xB7E15163u;
    for (int i = 1; i < kKeyWords; ++i) s[i] = s[i - 1] + 0x9E3779B9u;
  }
};
constexpr InitialTable kInitial{};

inline uint32_t Rotl(uint32_t v, uint32_t n) {
  n &= 31;
  return n ? (v << n) | (v >> (32 - n)) : v;
}
inline uint32_t Rotr(uint32_t v, uint32_t n) {
  n &= 31;
  return n ? (v >> n) | (v << (32 - n)) : v;
}
inline uint32_t Load(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Store(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

void Encrypt(const uint32_t* S, const uint8_t* in, uint8_t* out) {
  uint32_t A = Load(in), B = Load(in + 4), C = Load(in + 8), D = Load(in + 12);
  B += S[0];
  D += S[1];
  for (int r = 1; r <= kRounds; ++r) {
    uint32_t t = Rotl(B * (2 * B + 1), 5);
    uint32_t u = Rotl(D * (2 * D + 1), 5);
    A = Rotl(A ^ t, u) + S[2 * r];
    C = Rotl(C ^ u, t) + S[2 * r + 1];
    uint32_t a = A;
    A = B;
    B = C;
    C = D;
    D = a;
  }
  A += S[42];
  C += S[43];
  Store(out, A);
  Store(out + 4, B);
  Store(out + 8, C);
  Store(out + 12, D);
}

void Decrypt(const uint32_t* S, const uint8_t* in, uint8_t* out) {
  uint32_t A = Load(in), B = Load(in + 4), C = Load(in + 8), D = Load(in + 12);
  C -= S[43];
  A -= S[42];
  for (int r = kRounds; r >= 1; --r) {
    uint32_t d = D;
    D = C;
    C = B;
    B = A;
    A = d;
    uint32_t u = Rotl(D * (2 * D + 1), 5);
    uint32_t t = Rotl(B * (2 * B + 1), 5);
    C = Rotr(C - S[2 * r + 1], t) ^ u;
    A = Rotr(A - S[2 * r], u) ^ t;
  }
  D -= S[1];
  B -= S[0];
  Store(out, A);
  Store(out + 4, B);
  Store(out + 8, C);
  Store(out + 12, D);
}

}  // namespace

void RC6Init(TRC6Data& data, const void* key, int keyLength, const void* iv) {
  if (keyLength < 1 || keyLength > 256) throw Exception("RC6: Key length must be between 1 and 256 bytes");
  if (iv)
    std::memcpy(data.InitVector, iv, 16);
  else
    std::memset(data.InitVector, 0, 16);
  std::memcpy(data.ChainBlock, data.InitVector, 16);
  uint32_t L[64] = {};
  const uint8_t* k = static_cast<const uint8_t*>(key);
  for (int i = 0; i < keyLength; ++i) L[i / 4] |= uint32_t(k[i]) << (8 * (i % 4));
  int c = (keyLength + 3) / 4;
  uint32_t* S = data.KeyTable;
  std::memcpy(S, kInitial.s, sizeof(kInitial.s));
  uint32_t A = 0, B = 0;
  int i = 0, j = 0;
  for (int n = 3 * std::max(c, kKeyWords); n > 0; --n) {
    A = S[i] = Rotl(S[i] + A + B, 3);
    B = L[j] = Rotl(L[j] + A + B, (A + B) & 31);
    i = (i + 1) % kKeyWords;
    j = (j + 1) % c;
  }
  // Clear the key material from the stack.
  volatile uint32_t* wipe = L;
  for (int n = 0; n < 64; ++n) wipe[n] = 0;
}

void RC6Burn(TRC6Data& data) {
  volatile uint8_t* p = reinterpret_cast<volatile uint8_t*>(&data);
  for (size_t n = 0; n < sizeof(data); ++n) p[n] = 0;
}

void RC6Reset(TRC6Data& data) { std::memcpy(data.ChainBlock, data.InitVector, 16); }

void RC6EncryptECB(TRC6Data& data, const void* in, void* out) {
  Encrypt(data.KeyTable, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void RC6DecryptECB(TRC6Data& data, const void* in, void* out) {
  Decrypt(data.KeyTable, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}

void RC6EncryptCBC(TRC6Data& data, const void* in, void* out) {
  uint8_t block[16];
  const uint8_t* s = static_cast<const uint8_t*>(in);
  for (int i = 0; i < 16; ++i) block[i] = s[i] ^ data.ChainBlock[i];
  Encrypt(data.KeyTable, block, static_cast<uint8_t*>(out));
  std::memcpy(data.ChainBlock, out, 16);
}

void RC6DecryptCBC(TRC6Data& data, const void* in, void* out) {
  uint8_t saved[16], block[16];
  std::memcpy(saved, in, 16);
  Decrypt(data.KeyTable, saved, block);
  uint8_t* d = static_cast<uint8_t*>(out);
  for (int i = 0; i < 16; ++i) d[i] = block[i] ^ data.ChainBlock[i];
  std::memcpy(data.ChainBlock, saved, 16);
}

namespace {
void Cfb(TRC6Data& data, const uint8_t* s, uint8_t* d, size_t length, bool encrypt) {
  uint8_t k[16];
  for (size_t n = 0; n < length; ++n) {
    Encrypt(data.KeyTable, data.ChainBlock, k);
    uint8_t in = s[n];
    uint8_t out = in ^ k[0];
    d[n] = out;
    std::memmove(data.ChainBlock, data.ChainBlock + 1, 15);
    data.ChainBlock[15] = encrypt ? out : in;
  }
}

void Ofbc(TRC6Data& data, const uint8_t* s, uint8_t* d, size_t length) {
  uint8_t k[16];
  for (size_t n = 0; n < length; ++n) {
    Encrypt(data.KeyTable, data.ChainBlock, k);
    d[n] = s[n] ^ k[0];
    for (int i = 15; i >= 0; --i)
      if (++data.ChainBlock[i] != 0) break;
  }
}

void Ofb(TRC6Data& data, const uint8_t* s, uint8_t* d) {
  Encrypt(data.KeyTable, data.ChainBlock, data.ChainBlock);
  for (int i = 0; i < 16; ++i) d[i] = s[i] ^ data.ChainBlock[i];
}
}  // namespace

void RC6EncryptCFB(TRC6Data& data, const void* in, void* out, size_t length) {
  Cfb(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length, true);
}
void RC6DecryptCFB(TRC6Data& data, const void* in, void* out, size_t length) {
  Cfb(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length, false);
}
void RC6EncryptOFB(TRC6Data& data, const void* in, void* out) {
  Ofb(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}
void RC6DecryptOFB(TRC6Data& data, const void* in, void* out) {
  Ofb(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out));
}
void RC6EncryptOFBC(TRC6Data& data, const void* in, void* out, size_t length) {
  Ofbc(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length);
}
void RC6DecryptOFBC(TRC6Data& data, const void* in, void* out, size_t length) {
  Ofbc(data, static_cast<const uint8_t*>(in), static_cast<uint8_t*>(out), length);
}

bool RC6SelfTest() {
  static const uint8_t key[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                  0x01, 0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x78};
  static const uint8_t plain[16] = {0x02, 0x13, 0x24, 0x35, 0x46, 0x57, 0x68, 0x79,
                                    0x8a, 0x9b, 0xac, 0xbd, 0xce, 0xdf, 0xe0, 0xf1};
  static const uint8_t cipher[16] = {0x52, 0x4e, 0x19, 0x2f, 0x47, 0x15, 0xc6, 0x23,
                                     0x1f, 0x51, 0xf6, 0x36, 0x7e, 0xa4, 0x3f, 0x18};
  TRC6Data data;
  RC6Init(data, key, 16, nullptr);
  uint8_t block[16], back[16];
  RC6EncryptECB(data, plain, block);
  bool ok = std::memcmp(block, cipher, 16) == 0;
  RC6DecryptECB(data, block, back);
  ok = ok && std::memcmp(back, plain, 16) == 0;
  RC6Burn(data);
  return ok;
}

}  // namespace pictavo
