// TPVMask: the raster form of a selection.  A 1-bit mask (a plain
// selection) or an 8-bit mask (a per-pixel weight for blending) whose
// storage is laid out as a device-independent bitmap: rows bottom-up, row y
// at byte RowLen * (Height - 1 - y); 1 bit: pixel x is bit 7 - x mod 8 of
// byte x div 8 (rows padded to 4 bytes); 8 bits: pixel x is byte x.
//
// Polygons are filled with the even-odd rule on half-open spans: an edge
// covers the rows from its upper end to the row before its lower end, and a
// pair of edges covers the columns from the left edge to the column before
// the right edge, so the rectangle (x1, y1)-(x2, y2) fills columns x1..x2-1
// of rows y1..y2-1.
//
// X1, Y1, X2, Y2 bound what has been drawn since the last reset (empty:
// X1 = Y1 = 2147483647, X2 = Y2 = 0).  Nothing is ever written outside
// Bits: coordinates outside the storage are skipped, and a mask grows only
// within the reader pixel limit (PVImageSizeAllowed).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dib.h"
#include "platform/types.h"

namespace pictavo {

class TBitmap;
class TCanvas;

// Points whose x is this value separate the sub-polygons of a selection.
constexpr int32_t kPVPolygonBreak = 0xFFFFF;

class TPVMask {
 public:
  TPVMask();

  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
  int32_t RowLen = 0;
  std::vector<uint8_t> Bits;
  int32_t X1, Y1, X2, Y2;
  // Describes Bits as a 1-bit DIB with a black and white colour table.
  TBitmapInfo2 BitmapInfo;

  void AllocateBits(int32_t width, int32_t height, int32_t bitsPerPixel);
  void ResizeBits(int32_t width, int32_t height);
  void FreeBits();
  void Fill(int32_t value);
  // Writes a pixel; a non-zero value extends the box and grows the mask to
  // hold it.  Negative coordinates, or growth beyond the pixel limit, are
  // refused (nothing changes).
  void SetPixel(int32_t x, int32_t y, int32_t value);
  int32_t GetPixel(int32_t x, int32_t y) const;
  bool IsPointInside(int32_t x, int32_t y) const { return GetPixel(x, y) != 0; }
  // Sets pixels x1..x2 (inclusive) of row y, clipped to the storage.
  void DrawHorizontalLine(int32_t value, int32_t x1, int32_t x2, int32_t y);
  // Clears the mask and the box, then fills every sub-polygon.
  void DrawPolygon(int32_t value, const TPoint* points, int32_t count);
  void DrawSinglePolygon(int32_t value, const TPoint* points, int32_t count);
  // Inverts the canvas under the selected pixels of a 1-bit mask: the mask
  // rectangle (XSrc, YSrc, SrcW, SrcH), top-down, is stretched onto the
  // canvas rectangle with SRCINVERT.
  void InvertCanvas(TCanvas& canvas, int32_t XDst, int32_t YDst, int32_t DstW, int32_t DstH,
                    int32_t XSrc, int32_t YSrc, int32_t SrcW, int32_t SrcH);
  // Copies the selected pixels of source into dest (both pf24bit or both
  // pf1bit); with toBox the box's top-left goes to dest (0, 0), otherwise
  // both bitmaps must have equal sizes.
  void CopyBitmap(TBitmap& dest, const TBitmap& source, bool toBox) const;

 private:
  void ResetBox();
  void ExtendBox(int32_t x, int32_t y);
  // Grows the storage to at least (X2 + 1) x (Y2 + 1) when the box is not
  // degenerate; false when that is beyond the pixel limit.
  bool GrowToBox();
  bool GrowTo(int64_t width, int64_t height);
  uint8_t* RowPtr(int32_t y) { return Bits.data() + int64_t(RowLen) * (Height - 1 - y); }
  const uint8_t* RowPtr(int32_t y) const {
    return Bits.data() + int64_t(RowLen) * (Height - 1 - y);
  }
};

}  // namespace pictavo
