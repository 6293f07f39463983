// Device-independent bitmap structures as the platform lays them out in
// memory: a 40-byte header, the colour table, then the rows (bottom-up when
// biHeight is positive, top-down when negative), each padded to 4 bytes.
// Also the raster-operation codes taken by TCanvas::StretchDIBits.
#pragma once

#include <cstdint>

namespace pictavo {

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};

struct RGBQUAD {
  uint8_t rgbBlue = 0;
  uint8_t rgbGreen = 0;
  uint8_t rgbRed = 0;
  uint8_t rgbReserved = 0;
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RGBQUAD) == 4);

// A header followed by a two-entry colour table, the layout of 1-bit DIBs.
struct TBitmapInfo2 {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[2];
};
static_assert(sizeof(TBitmapInfo2) == 48);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

constexpr uint32_t DIB_RGB_COLORS = 0;
constexpr uint32_t DIB_PAL_COLORS = 1;

// Ternary raster operations: bits 16..23 hold the truth table indexed by
// (pattern << 2) | (source << 1) | destination.
constexpr uint32_t SRCCOPY = 0x00CC0020;      // S
constexpr uint32_t SRCPAINT = 0x00EE0086;     // D | S
constexpr uint32_t SRCAND = 0x008800C6;       // D & S
constexpr uint32_t SRCINVERT = 0x00660046;    // D ^ S
constexpr uint32_t SRCERASE = 0x00440328;     // S & ~D
constexpr uint32_t NOTSRCCOPY = 0x00330008;   // ~S
constexpr uint32_t NOTSRCERASE = 0x001100A6;  // ~(D | S)
constexpr uint32_t MERGEPAINT = 0x00BB0226;   // ~S | D
constexpr uint32_t DSTINVERT = 0x00550009;    // ~D
constexpr uint32_t PATCOPY = 0x00F00021;      // P
constexpr uint32_t PATINVERT = 0x005A0049;    // P ^ D
constexpr uint32_t BLACKNESS = 0x00000042;    // 0
constexpr uint32_t WHITENESS = 0x00FF0062;    // 1

}  // namespace pictavo
