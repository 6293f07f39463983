// Rows of a 24-bit picture handed to a writer one at a time, so a picture can
// go from a reader to a writer without ever being held whole.
#pragma once
#include <cstdint>

#include "platform/bitmap.h"

namespace pictavo {

class IPVRowSource {
 public:
  virtual ~IPVRowSource() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // True when each pixel is red, green, blue; false for the bitmap's own
  // blue, green, red.
  virtual bool RedFirst() const = 0;
  // Row y, valid until the next call. A source read from a file gives its
  // rows from the top, in order, and nothing else. nullptr when the row
  // cannot be had; the source has told the progress record why.
  virtual const uint8_t* Row(int y) = 0;
};

// A row source over a file whose header is read when it is made: whether
// that header was valid, and whether its rows can be given one at a time
// (other layouts need the format's full reader).
class TPVFileRows : public IPVRowSource {
 public:
  // False when the header was not valid; its reason went to the progress record.
  bool HeaderRead() const { return read_; }
  bool Streamable() const { return streamable_; }

 protected:
  bool read_ = false;
  bool streamable_ = false;
};

// The rows of a pf24bit bitmap, in any order.
class TPVBitmapRows final : public IPVRowSource {
 public:
  explicit TPVBitmapRows(TBitmap& bitmap) : bitmap_(bitmap) {}
  int Width() const override { return bitmap_.GetWidth(); }
  int Height() const override { return bitmap_.GetHeight(); }
  bool RedFirst() const override { return false; }
  const uint8_t* Row(int y) override { return bitmap_.ScanLine(y); }

 private:
  TBitmap& bitmap_;
};

}  // namespace pictavo
