// Logical palette of the framework stand-in: the version word, and the
// entries with red, green, blue and a flag byte, as a GDI LOGPALETTE holds.
#pragma once

#include <cstdint>
#include <vector>

namespace pictavo {

struct TPaletteEntry {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
};

struct TLogPalette {
  uint16_t palVersion = 0x300;
  std::vector<TPaletteEntry> palPalEntry;
  uint16_t NumEntries() const { return static_cast<uint16_t>(palPalEntry.size()); }
};

}  // namespace pictavo
