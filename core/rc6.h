// RC6-32/20/b block cipher (32-bit words, 20 rounds, 16-byte blocks, keys
// of 1 to 256 bytes) with a key-schedule record and five modes of operation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pictavo {

struct TRC6Data {
  uint8_t InitVector[16];
  uint8_t ChainBlock[16];
  uint32_t KeyTable[44];
};

// Raises Exception "RC6: Key length must be between 1 and 256 bytes".
void RC6Init(TRC6Data& data, const void* key, int keyLength, const void* iv);
void RC6Burn(TRC6Data& data);
void RC6Reset(TRC6Data& data);
void RC6EncryptECB(TRC6Data& data, const void* in, void* out);
void RC6DecryptECB(TRC6Data& data, const void* in, void* out);
void RC6EncryptCBC(TRC6Data& data, const void* in, void* out);
void RC6DecryptCBC(TRC6Data& data, const void* in, void* out);
void RC6EncryptCFB(TRC6Data& data, const void* in, void* out, size_t length);
void RC6DecryptCFB(TRC6Data& data, const void* in, void* out, size_t length);
void RC6EncryptOFB(TRC6Data& data, const void* in, void* out);
void RC6DecryptOFB(TRC6Data& data, const void* in, void* out);
void RC6EncryptOFBC(TRC6Data& data, const void* in, void* out, size_t length);
void RC6DecryptOFBC(TRC6Data& data, const void* in, void* out, size_t length);
bool RC6SelfTest();

}  // namespace pictavo
