// Colour quantizers: TPVQuantizer reduces a pf24bit bitmap to a palette of
// at most ColorCount colours (median cut below 128 colours, a NeuQuant
// network from 128 on) and maps colours to palette indices.
#pragma once

#include <cstdint>

#include "core/pvdefs.h"
#include "platform/bitmap.h"

namespace pictavo {

class TPVQuantizer : public TObject {
 public:
  // Builds the palette of `bitmap` into colorMap (room for colorCount entries).
  TPVQuantizer(TBitmap& bitmap, TRGB* colorMap, int reserved, int colorCount, int quality = -1,
               int method = 0);
  ~TPVQuantizer() override;
  TPVQuantizer(const TPVQuantizer&) = delete;
  TPVQuantizer& operator=(const TPVQuantizer&) = delete;

  int GetRGBIndex(const TRGB& color);
  int Method() const { return method_; }  // 0 network, 1 median cut, 2 exact (the image fits the palette)

 private:
  int method_ = 0;
  void* handle_ = nullptr;
};

// How the network's contest applies the bias: true (default) shifts its
// 32-bit pattern right by 12 without sign; false subtracts the signed bias
// divided by 4096.  For measurements only.
extern bool gPVQuantUnsignedBiasShift;

// Median cut (splitting by variance).
void* CreateMedianCutQuantizer(TBitmap& bitmap, TRGB* colorMap, int reserved, int colorCount);
int MedianCutFindIndex(void* handle, const TRGB& color);
void FreeMedianCutQuantizer(void* handle);

}  // namespace pictavo
