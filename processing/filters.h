// 3x3 integer convolution (user kernels and nine presets), the 43-byte
// filter file, and the grey-ordered morphological filters (maximum, minimum,
// opening, closing).  The workers take a bitmap and a rectangle, so they run
// with or without the processing component.
#pragma once

#include <cstdint>
#include <string>

#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/exceptions.h"

namespace pictavo {

// A 3x3 kernel: Values[0] applies to the row above the target pixel,
// Values[r][0] to the pixel on the left.  A Divisor of 0 is taken as 1.
struct TGraphFilter {
  int32_t Values[3][3] = {};
  int32_t Divisor = 0;
  friend bool operator==(const TGraphFilter&, const TGraphFilter&) = default;
};
static_assert(sizeof(TGraphFilter) == 40, "TGraphFilter is a 40-byte record");

enum TPVFilterPresets : uint8_t {
  fpNone,
  fpBlur,
  fpEdge,
  fpEmboss,
  fpHighPass1,
  fpHighPass2,
  fpHighPass3,
  LowPass1,
  LowPass2
};
constexpr int kFilterPresetCount = 9;

extern const TGraphFilter PVFiltPres[kFilterPresetCount];

// Declared for invalid filters; no operation here raises it.
class EFilterInvalid : public Exception {
  using Exception::Exception;
};

// Morphological operations of _MorphFilter.
enum TPVMorphOp : int { pvmoMaximum = 0, pvmoMinimum = 1, pvmoOpening = 2, pvmoClosing = 3 };

// When set, the convolution, morphology and automatic equalisation workers
// use their portable loops instead of the AVX2 kernels chosen at run time
// (the results are the same; for tests).
extern bool gPVFiltersGeneric;

// Writes the 43-byte filter file (version 1, 3, 3, nine coefficients, the
// divisor; little-endian).  Raises EFCreateError when the file cannot be made.
void SaveFilterToFile(const std::string& fileName, const TGraphFilter& filter);
// Reads a filter file.  Coefficients are read only after the header 1, 3, 3
// (otherwise the record is all zero); a short file fills the record as far
// as it goes.  Raises EFOpenError when the file cannot be opened.
TGraphFilter LoadFilterFromFile(const std::string& fileName);

// Convolves rows y1..y2-1, columns x1..x2-1 (clamped to the bitmap) of a
// pf24bit bitmap; neighbours outside the bitmap repeat its border pixels.
// Each channel becomes blimit(sum div divisor).  Reports progress per row.
void _ApplyFilter(TBitmap& bitmap, const TGraphFilter& filter, int x1, int y1, int x2, int y2,
                  TProgressRec& progress);

// Replaces every pixel of the rectangle by the colour of the brightest
// (op 0) or darkest (op 1) pixel, by grey value, of its (2n+1)^2 window
// clamped to the rectangle; the first in row-major order wins ties, and a
// window that holds nothing brighter than 0 (darker than 255) keeps the
// pixel.  Op 2 is a minimum then a maximum pass, op 3 the reverse.
void _MorphFilter(TBitmap& bitmap, int winSize, int op, int x1, int y1, int x2, int y2,
                  const TPVProgressEvent& onProgress, TObject* sender);

}  // namespace pictavo
