// CCITT bilevel coders of TIFF: modified Huffman (compression 2), Group 3
// one- and two-dimensional (compression 3) and Group 4 (compression 4).
//
// Rows are packed, most significant bit first, ceil(width / 8) bytes.  The
// decoder produces rows with bit 1 = white (a white run sets bits); the
// encoder takes rows with bit 1 = black.  Both fill orders are read.
#pragma once

#include <cstdint>
#include <vector>

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
  int64_t BitPosition() const { return bitPos_; }

 private:
  uint32_t Peek() const;
  int ReadRun(int color);
  int ReadFullRun(int color);
  int ReadMode();
  void Push(int pos);
  void Decode1D(int a, int color);
  void Decode2D();
  void Uncompressed(int& a, int& color);
  void Render(uint8_t* dest) const;

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

 private:
  void PutBits(uint32_t code, int length);
  void PutRun(int color, int run);
  void Put1D(const std::vector<int>& changes);
  void Put2D(const std::vector<int>& changes);
  void Align();

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

}  // namespace pictavo
