// BMP codec: reads every header kind (core, info, v4/v5, OS/2 v2), 1/4/8/16/
// 24/32 bits with RLE4/RLE8 and bit fields; writes 1, 4, 8 and 24 bits.
#pragma once

#include <cstdint>
#include <memory>

#include "codecs/rowsource.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

// Reads one bitmap at the stream position.  blockSize: bytes that belong to
// the bitmap, or <= 0 when unknown.  With preview only IOParams is filled.
void BMPReadStream(TStream& stream, TBitmap& bitmap, int64_t blockSize, TIOParamsVals& params,
                   TProgressRec& progress, bool preview);

// A BMP of plain 24-bit rows read a row at a time from the top, for a writer
// that takes rows; other depths and compressions need the full reader. The
// headers are read at construction and set the parameters as a load does
// (blockSize as for BMPReadStream).
class TPVBmpRows final : public TPVFileRows {
 public:
  TPVBmpRows(TStream& stream, int64_t blockSize, TIOParamsVals& params, TProgressRec& progress);
  ~TPVBmpRows() override;
  int Width() const override;
  int Height() const override;
  bool RedFirst() const override { return false; }
  const uint8_t* Row(int y) override;

 private:
  struct State;
  bool ReadChunk(int y);
  std::unique_ptr<State> state_;
  TProgressRec& progress_;
  int next_ = 0;
};

void BMPWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

}  // namespace pictavo
