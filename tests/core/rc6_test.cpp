#include "core/rc6.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace pictavo {
namespace {

std::vector<uint8_t> Hex(const std::string& s) {
  std::vector<uint8_t> v;
  for (size_t i = 0; i + 1 < s.size(); i += 2) v.push_back(uint8_t(std::stoi(s.substr(i, 2), nullptr, 16)));
  return v;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// The published RC6-32/20 vectors for 128-, 192- and 256-bit keys.
const Vector kVectors[] = {
    {"00000000000000000000000000000000", "00000000000000000000000000000000",
     "8fc3a53656b1f778c129df4e9848a41e"},
    {"0123456789abcdef0112233445566778", "02132435465768798a9bacbdcedfe0f1",
     "524e192f4715c6231f51f6367ea43f18"},
    {"000000000000000000000000000000000000000000000000", "00000000000000000000000000000000",
     "6cd61bcb190b30384e8a3f168690ae82"},
    {"0123456789abcdef0112233445566778899aabbccddeeff0", "02132435465768798a9bacbdcedfe0f1",
     "688329d019e505041e52e92af95291d4"},
    {"0000000000000000000000000000000000000000000000000000000000000000",
     "00000000000000000000000000000000", "8f5fbd0510d15fa893fa3fda6e857ec2"},
    {"0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe",
     "02132435465768798a9bacbdcedfe0f1", "c8241816f0d7e48920ad16a1674e5d48"},
};

TEST(RC6, PublishedVectorsEncryptAndDecrypt) {
  for (const Vector& v : kVectors) {
    auto key = Hex(v.key), plain = Hex(v.plain), cipher = Hex(v.cipher);
    TRC6Data data;
    RC6Init(data, key.data(), int(key.size()), nullptr);
    uint8_t out[16], back[16];
    RC6EncryptECB(data, plain.data(), out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), cipher) << v.key;
    RC6DecryptECB(data, out, back);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 16), plain) << v.key;
    // In place.
    RC6EncryptECB(data, out, out);
    RC6DecryptECB(data, out, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 16), cipher);
  }
  EXPECT_TRUE(RC6SelfTest());
}

TEST(RC6, KeyLengthLimits) {
  TRC6Data data;
  uint8_t key[257] = {};
  for (int bad : {0, 257, -1}) {
    try {
      RC6Init(data, key, bad, nullptr);
      FAIL() << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "RC6: Key length must be between 1 and 256 bytes");
    }
  }
  EXPECT_NO_THROW(RC6Init(data, key, 1, nullptr));
  EXPECT_NO_THROW(RC6Init(data, key, 256, nullptr));
  // A 256-byte key and a 255-byte key give different schedules.
  uint32_t s256[44];
  key[255] = 1;
  RC6Init(data, key, 256, nullptr);
  std::memcpy(s256, data.KeyTable, sizeof s256);
  RC6Init(data, key, 255, nullptr);
  EXPECT_NE(std::memcmp(s256, data.KeyTable, sizeof s256), 0);
}

TEST(RC6, InitVectorAndBurn) {
  TRC6Data data;
  uint8_t key[5] = {1, 2, 3, 4, 5}, iv[16];
  for (int i = 0; i < 16; ++i) iv[i] = uint8_t(i * 7);
  RC6Init(data, key, 5, iv);
  EXPECT_EQ(std::memcmp(data.InitVector, iv, 16), 0);
  EXPECT_EQ(std::memcmp(data.ChainBlock, iv, 16), 0);
  RC6Burn(data);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&data);
  for (size_t i = 0; i < sizeof data; ++i) ASSERT_EQ(p[i], 0);
}

class RC6Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 16; ++i) iv[i] = uint8_t(0xA0 + i);
    RC6Init(data, key, 16, iv);
    plain.resize(77);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 31 + 5);
  }
  uint8_t key[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 11, 12, 13, 14, 15, 16};
  uint8_t iv[16];
  TRC6Data data;
  std::vector<uint8_t> plain;
};

TEST_F(RC6Modes, StreamModesRoundTripOddLengths) {
  for (size_t len : {1u, 15u, 17u, 77u}) {
    std::vector<uint8_t> c(len), b(len);
    RC6Reset(data);
    RC6EncryptCFB(data, plain.data(), c.data(), len);
    EXPECT_NE(std::memcmp(c.data(), plain.data(), len), 0);
    RC6Reset(data);
    RC6DecryptCFB(data, c.data(), b.data(), len);
    EXPECT_EQ(std::memcmp(b.data(), plain.data(), len), 0) << "CFB " << len;

    RC6Reset(data);
    RC6EncryptOFBC(data, plain.data(), c.data(), len);
    EXPECT_NE(std::memcmp(c.data(), plain.data(), len), 0);
    RC6Reset(data);
    RC6DecryptOFBC(data, c.data(), b.data(), len);
    EXPECT_EQ(std::memcmp(b.data(), plain.data(), len), 0) << "OFBC " << len;
  }
  // CFB: the first byte is the plaintext xor the first byte of E(IV).
  uint8_t k[16], one;
  RC6Reset(data);
  RC6EncryptECB(data, iv, k);
  RC6EncryptCFB(data, plain.data(), &one, 1);
  EXPECT_EQ(one, uint8_t(plain[0] ^ k[0]));
  EXPECT_EQ(data.ChainBlock[15], one);
  EXPECT_EQ(data.ChainBlock[0], iv[1]);
}

TEST_F(RC6Modes, BlockModesRoundTripWithPartialTail) {
  // 77 bytes: four whole blocks through the block modes, the tail of 13
  // bytes through the byte-wise modes, as a caller does.
  size_t whole = plain.size() / 16 * 16;
  using Fn = void (*)(TRC6Data&, const void*, void*);
  struct Mode { Fn enc, dec; const char* name; };
  const Mode modes[] = {{RC6EncryptECB, RC6DecryptECB, "ECB"},
                        {RC6EncryptCBC, RC6DecryptCBC, "CBC"},
                        {RC6EncryptOFB, RC6DecryptOFB, "OFB"}};
  for (const Mode& m : modes) {
    std::vector<uint8_t> c(plain.size()), b(plain.size());
    RC6Reset(data);
    for (size_t i = 0; i < whole; i += 16) m.enc(data, &plain[i], &c[i]);
    RC6EncryptCFB(data, &plain[whole], &c[whole], plain.size() - whole);
    RC6Reset(data);
    for (size_t i = 0; i < whole; i += 16) m.dec(data, &c[i], &b[i]);
    RC6DecryptCFB(data, &c[whole], &b[whole], plain.size() - whole);
    EXPECT_EQ(b, plain) << m.name;
  }
  // CBC: the second block is E(P1 xor C0); decrypting in place works.
  std::vector<uint8_t> c(32);
  RC6Reset(data);
  RC6EncryptCBC(data, &plain[0], &c[0]);
  RC6EncryptCBC(data, &plain[16], &c[16]);
  uint8_t x[16], e[16];
  for (int i = 0; i < 16; ++i) x[i] = plain[16 + i] ^ c[i];
  RC6EncryptECB(data, x, e);
  EXPECT_EQ(std::memcmp(e, &c[16], 16), 0);
  RC6Reset(data);
  RC6DecryptCBC(data, &c[0], &c[0]);
  RC6DecryptCBC(data, &c[16], &c[16]);
  EXPECT_EQ(std::memcmp(c.data(), plain.data(), 32), 0);
}

TEST_F(RC6Modes, CounterCarriesAcrossBytes) {
  uint8_t chain[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0xFF, 0xFF};
  RC6Init(data, key, 16, chain);
  uint8_t in = 0x5A, out, k[16];
  RC6EncryptECB(data, chain, k);
  RC6EncryptOFBC(data, &in, &out, 1);
  EXPECT_EQ(out, uint8_t(0x5A ^ k[0]));
  EXPECT_EQ(data.ChainBlock[15], 0x00);
  EXPECT_EQ(data.ChainBlock[14], 0x00);
  EXPECT_EQ(data.ChainBlock[13], 0x13);
  EXPECT_EQ(data.ChainBlock[12], 0x00);
  // All bytes FF wrap to zero, the final carry dropped.
  uint8_t ones[16];
  std::memset(ones, 0xFF, 16);
  RC6Init(data, key, 16, ones);
  RC6EncryptOFBC(data, &in, &out, 1);
  for (uint8_t b : data.ChainBlock) EXPECT_EQ(b, 0);
}

}  // namespace
}  // namespace pictavo
