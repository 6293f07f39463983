// Fonts of the canvas: faces found through fontconfig and opened with
// FreeType, sized from a TFont, with their metrics, hinted whole-pixel
// advances and a cache of rendered glyphs.
//
// Face resolution: "Arial", "Times New Roman" and "Courier New" stand for
// Liberation Sans, Serif and Mono; other names go to fontconfig as they are,
// and a family fontconfig does not hold falls back to DejaVu Sans.  A bold
// or italic request that the family has no face for is synthesised
// (outline emboldening, a 0.2 shear).
//
// Sizes: a negative TFont height is the em size in pixels, a positive one
// the cell height (usWinAscent + usWinDescent scaled to it), 0 means 16
// pixels; em sizes are limited to 1..kMaxFontPixels.
//
// Everything here runs under one lock, so canvases on several threads may
// draw text at the same time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pictavo {

class TFont;

namespace fonts {

constexpr int kMaxFontPixels = 2048;

// A rendered glyph: coverage 0..255 per pixel, rows top down; (left, top)
// is the offset of the top-left pixel from the pen origin (top upwards).
struct Glyph {
  int left = 0, top = 0, width = 0, rows = 0;
  std::vector<uint8_t> coverage;
};

// A face at one size.
class SizedFace {
 public:
  virtual ~SizedFace() = default;
  // The family fontconfig gave and the file it is in.
  virtual const std::string& Family() const = 0;
  virtual const std::string& File() const = 0;
  virtual int EmPixels() const = 0;
  virtual int Ascent() const = 0;
  virtual int Descent() const = 0;
  // Offset below the baseline and thickness of the underline, and height
  // above the baseline and thickness of the strike-out line, in pixels.
  virtual int UnderlineOffset() const = 0;
  virtual int UnderlineThickness() const = 0;
  virtual int StrikeOffset() const = 0;
  virtual int StrikeThickness() const = 0;
  // Whole-pixel advance of a character.
  virtual int Advance(char32_t c) = 0;
  // The character's glyph turned by tenths of a degree (counter-clockwise),
  // antialiased or monochrome.  Valid until the next call.
  virtual const Glyph& Render(char32_t c, int tenths, bool mono) = 0;
};

// Runs fn with the sized face of font under the font lock.  fn is not run
// when no face at all can be found.
void WithFace(const TFont& font, const std::function<void(SizedFace&)>& fn);

// The family a name resolves to (after aliases and fallback) and its file.
bool ResolveFamily(const std::string& name, bool bold, bool italic, std::string& family,
                   std::string& file);

// Code points of UTF-8 text; invalid bytes give U+FFFD.
std::u32string DecodeUtf8(const std::string& text);

}  // namespace fonts
}  // namespace pictavo
