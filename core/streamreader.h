// TStreamReader: the checked reader every codec uses on untrusted input.
// It knows how many bytes remain in the stream (or in a block limit given by
// the caller) and never reads past them: each Read* returns false, or the
// value-returning forms set Failed(), when the bytes are not there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace pictavo {

class TStreamReader {
 public:
  // Reads from the stream's current position up to its end, or up to
  // `limit` bytes from here when limit >= 0 (clipped to the stream's end).
  explicit TStreamReader(TStream& stream, int64_t limit = -1);

  int64_t Position() const { return pos_; }   // absolute stream position
  int64_t Start() const { return start_; }    // where reading began
  int64_t End() const { return end_; }        // absolute end of readable data
  int64_t Remaining() const { return end_ > pos_ ? end_ - pos_ : 0; }
  bool Failed() const { return failed_; }
  void ClearFailed() { failed_ = false; }
  TStream& Stream() { return stream_; }

  // Moves to an absolute position; false (and nothing moved) outside
  // [Start, End].
  bool SeekTo(int64_t position);
  bool Skip(int64_t count);

  // Reads exactly count bytes; false when fewer remain (nothing consumed).
  bool Read(void* buffer, int64_t count);
  // Reads up to count bytes; returns the number read.
  int64_t ReadSome(void* buffer, int64_t count);
  // Reads count bytes into a vector; false when they are not all there.
  bool ReadBytes(std::vector<uint8_t>& out, int64_t count);

  // Value reads: on a short read they return 0 and set Failed().
  uint8_t U8();
  uint16_t U16LE();
  uint16_t U16BE();
  uint32_t U32LE();
  uint32_t U32BE();
  int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
  int16_t I16LE() { return static_cast<int16_t>(U16LE()); }

 private:
  TStream& stream_;
  int64_t start_;
  int64_t pos_;
  int64_t end_;
  bool failed_ = false;
};

// Little- and big-endian helpers over byte buffers.
inline uint16_t GetU16LE(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint16_t GetU16BE(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t GetU32LE(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t GetU32BE(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void PutU16LE(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutU16BE(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8); p[1] = uint8_t(v); }
inline void PutU32LE(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void PutU32BE(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}

}  // namespace pictavo
