// CCITT bilevel coders of TIFF: modified Huffman (compression 2), Group 3
// one- and two-dimensional (compression 3) and Group 4 (compression 4).
//
// Rows are packed, most significant bit first, ceil(width / 8) bytes.  The
// decoder produces rows with bit 1 = white (a white run sets bits); the
// encoder takes rows with bit 1 = black.  Both fill orders are read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/stream.h"

namespace pictavo {

enum TCCITTMode : uint8_t { ccMH, ccG3_1D, ccG3_2D, ccG4 };

class TCCITTDecoder {
 public:
  // data: the strip, length bytes; fillOrder 2 means the bits of each byte
  // are stored least significant first.  The decoder never reads past
  // `length`.
  TCCITTDecoder(TCCITTMode mode, const uint8_t* data, int64_t length, int fillOrder, int width);

  // Decodes the next row into dest.  Returns false when the input was
  // already exhausted before the row began (dest is then all white).
  bool DecodeRow(uint8_t* dest);
  bool Exhausted() const { return bitPos_ >= bitEnd_; }
  // Continues at a bit position (without the row alignment of modified
  // Huffman) with a reference row (packed, bit 1 = white; null = all white),
  // for callers that keep the state between rows themselves.
  void Resume(int64_t bitPos, const uint8_t* refRow);
  int64_t BitPosition() const { return bitPos_; }

 private:
  // The per-code steps stay internal to the library so that calls between
  // them are direct and can be inlined.
#define PV_CCITT_INTERNAL [[gnu::visibility("hidden")]]
  PV_CCITT_INTERNAL uint32_t Peek() const;
  PV_CCITT_INTERNAL int ReadRun(int color);
  PV_CCITT_INTERNAL int ReadFullRun(int color);
  PV_CCITT_INTERNAL int ReadMode();
  PV_CCITT_INTERNAL void Push(int pos);
  PV_CCITT_INTERNAL void Decode1D(int a, int color);
  PV_CCITT_INTERNAL void Decode2D();
  PV_CCITT_INTERNAL void Uncompressed(int& a, int& color);
  PV_CCITT_INTERNAL void Render(uint8_t* dest) const;

  TCCITTMode mode_;
  std::vector<uint8_t> reversed_;
  const uint8_t* data_;
  int64_t length_;
  int64_t bitPos_ = 0;
  int64_t bitEnd_;
  int width_;
  bool firstRow_ = true;
  std::vector<int> ref_, cur_;
};

class TCCITTEncoder {
 public:
  TCCITTEncoder(TCCITTMode mode, int width);
  // Encodes one row (bit 1 = black).  Completed bytes accumulate in Bytes().
  void EncodeRow(const uint8_t* row);
  // Ends the stream (EOL / EOFB as the mode asks) and pads to a byte.
  void Finish();
  std::vector<uint8_t>& Bytes() { return out_; }
  // Continues a bit stream whose last `pendingBits` bits (the top bits of
  // `pendingByte`) are not yet written, after the reference row (packed,
  // bit 1 = black; null before the first row).  Clears Bytes().
  void Resume(int pendingBits, uint8_t pendingByte, const uint8_t* refRow);
  // The bits of an incomplete last byte, at the top of PendingByte.
  int PendingBits() const { return bits_; }
  uint8_t PendingByte() const { return bits_ ? static_cast<uint8_t>(acc_ << (8 - bits_)) : 0; }

 private:
  PV_CCITT_INTERNAL void PutBits(uint32_t code, int length);
  PV_CCITT_INTERNAL void PutRun(int color, int run);
  PV_CCITT_INTERNAL void Put1D(const std::vector<int>& changes);
  PV_CCITT_INTERNAL void Put2D(const std::vector<int>& changes);
  PV_CCITT_INTERNAL void Align();
#undef PV_CCITT_INTERNAL

  TCCITTMode mode_;
  int width_;
  bool firstRow_ = true;
  uint64_t acc_ = 0;
  int bits_ = 0;
  std::vector<uint8_t> out_;
  std::vector<int> ref_, cur_;
};

// Positions where the colour of a packed row changes, starting from
// `startColor` at position 0 (bit value equal to startColor means no change).
void CCITTRowChanges(const uint8_t* row, int width, int startBit, std::vector<int>& changes);

// Row functions over the coders, with the state kept by the caller.  Rows
// are packed; decoded rows have bit 1 = white, rows to encode bit 1 = black.
// The decoders never read past `srcBytes` bytes of `src`.

// One modified Huffman row from bit 0 of src; the bytes it used.
int64_t CCITTHuffmanGetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int width,
                            int fillOrder);
// One Group 3 one-dimensional row from bit `bitPos`; the bit position after it.
int64_t _CCITTHuffmanGetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int width,
                             int fillOrder, int64_t bitPos);
// One Group 3 two-dimensional row (group4 false) or Group 4 row from bit
// `bitPos` against refLine (the previous row, all white for the first),
// which then holds the decoded row; the bit position after it.
int64_t CCITT3_2D_GetLine(uint8_t* dest, const uint8_t* src, int64_t srcBytes, int fillOrder,
                          int64_t bitPos, uint8_t* refLine, int width, bool group4 = false);

// One modified Huffman row, padded to a whole byte.
void CCITTHuffmanPutLine(const uint8_t* row, int width, TStream& stream, bool& aborting);
// One Group 3 one-dimensional row continuing the bit stream: whole bytes are
// written, the incomplete last one stays in pendingBits / pendingByte.
void CCITTHuffmanPutLineG3(const uint8_t* row, int width, TStream& stream, bool& aborting,
                           int& pendingBits, uint8_t& pendingByte);
// One Group 3 two-dimensional row; refLine is null before the first row and
// afterwards points to the previous row.
void CCITTHuffmanPutLineG32D(const uint8_t* row, int width, TStream& stream, bool& aborting,
                             const uint8_t*& refLine, int& pendingBits, uint8_t& pendingByte);
// One Group 4 row, as above.
void CCITTHuffmanPutLineG4(const uint8_t* row, int width, TStream& stream, bool& aborting,
                           const uint8_t*& refLine, int& pendingBits, uint8_t& pendingByte);

}  // namespace pictavo
