// TMetafile: a Windows metafile (WMF, placeable or plain) or enhanced
// metafile (EMF) held in memory and played onto a TCanvas.
//
// Loading checks the header and walks every record once, refusing data whose
// header is malformed (EInvalidGraphic); records cut short or with lengths
// that do not fit end the picture there.  Playing interprets the common
// records (objects, mapping modes, save/restore, lines, shapes, text, DIB
// blits, clipping) through the canvas and skips records it does not know.
//
// Size in pixels:
//   - placeable WMF: the bounding box in its own units, scaled by
//     PixelsPerInch / units-per-inch (rounded);
//   - plain WMF: the extent of the first SetWindowExt record (0 x 0 without);
//   - EMF: the picture frame in 0.01 mm, scaled by PixelsPerInch / 2540
//     (rounded).
// SetWidth / SetHeight only change the size the picture is drawn at by
// Draw(canvas, x, y).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/object.h"
#include "platform/types.h"

namespace pictavo {

class TCanvas;
class TStream;

// The largest metafile we load into memory (bytes).
constexpr int64_t kMaxMetafileBytes = int64_t(256) << 20;

class TMetafile : public TObject {
 public:
  TMetafile() = default;

  // Raises EFOpenError when the file cannot be opened and EInvalidGraphic
  // when it is not a metafile we can read.
  void LoadFromFile(const std::string& name);
  // Reads from the position to the end of the stream.
  void LoadFromStream(TStream& stream);
  // Loads from bytes in memory (copied).
  void LoadFromBytes(const uint8_t* data, size_t size);
  void Clear();
  bool Empty() const { return data_.empty(); }

  bool GetEnhanced() const { return enhanced_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  void SetWidth(int width) { width_ = width; }
  void SetHeight(int height) { height_ = height; }
  // Screen resolution used to convert the picture's own size to pixels when
  // loading (96 by default).
  void SetPixelsPerInch(int dpiX, int dpiY);

  // Plays the picture onto the rectangle (the picture frame is mapped onto
  // it).  The canvas's pen, brush, font and clip are restored afterwards.
  void Play(TCanvas& canvas, const TRect& rect) const;
  // Plays it at its size with the top-left corner at (x, y).
  void Draw(TCanvas& canvas, int x, int y) const;

  // Raw bytes and header facts, for the player and for tests.
  const std::vector<uint8_t>& Data() const { return data_; }
  bool GetPlaceable() const { return placeable_; }

 private:
  void ParseWmf();
  void ParseEmf();

  std::vector<uint8_t> data_;
  bool enhanced_ = false;
  bool placeable_ = false;
  int width_ = 0;
  int height_ = 0;
  int dpi_x_ = 96;
  int dpi_y_ = 96;
};

}  // namespace pictavo
