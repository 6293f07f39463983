// PBM/PGM/PPM codec (P1 to P6) with comment lines.
#pragma once

#include <memory>

#include "codecs/rowsource.h"
#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

bool TryPXM(TStream& stream);
void PXMReadStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params, bool preview,
                   TProgressRec& progress);

// A binary PPM or PGM with one byte per sample read a row at a time, for a
// writer that takes rows (a grey row is spread to three equal samples, as a
// load into a bitmap does). The header is read at construction and sets the
// parameters as PXMReadStream does.
class TPVPxmRows final : public TPVFileRows {
 public:
  TPVPxmRows(TStream& stream, TIOParamsVals& params, TProgressRec& progress);
  ~TPVPxmRows() override;
  int Width() const override;
  int Height() const override;
  bool RedFirst() const override { return true; }
  const uint8_t* Row(int y) override;

 private:
  struct State;
  const uint8_t* Truncated();
  std::unique_ptr<State> state_;
  TProgressRec& progress_;
};

void PXMWriteStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

}  // namespace pictavo
