// What the open dialog shows about the file under the cursor: its format,
// size, depth, resolution and frame count from the I/O component's
// parameters-only read, and a small picture from a fast load (JPEG files are
// decoded at the largest reduced scale that still covers the preview box)
// shrunk to the box by averaging.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/pvwords.h"
#include "io/ioparams.h"
#include "platform/bitmap.h"

namespace pictavo {

struct TPVFilePreview {
  bool Valid = false;  // the file was recognised and its parameters read
  std::string FileName;
  int64_t FileSize = 0;
  int32_t FileType = 0;
  std::string FormatDescription;  // TIOParamsVals::GetFileTypeStr
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerSample = 0;
  int32_t SamplesPerPixel = 0;
  int32_t DpiX = 0;
  int32_t DpiY = 0;
  int32_t FrameCount = 1;  // GIF frames, TIFF pages
  int32_t Frame = 0;       // the frame shown in Picture
  int32_t DelayTime = 0;   // of that frame, hundredths of a second (GIF)
  // Everything the parameters-only read found (the format's own fields,
  // palette, markers); null when the file was not recognised.
  std::shared_ptr<const TIOParamsVals> Params;
  // pf24bit, at most the box on either side, aspect kept; null when the
  // pixels could not be loaded (the parameters may still be valid).
  std::shared_ptr<TBitmap> Picture;

  // Bits per pixel: BitsPerSample x SamplesPerPixel.
  int32_t Depth() const { return BitsPerSample * SamplesPerPixel; }
  // Caption/value lines for the dialog's information panel, captions in
  // `language` ("Width" / "640", "Colors" / "24 bit", ...).
  std::vector<std::pair<std::string, std::string>> InfoLines(TMsgLanguage language) const;
};

// Reads the parameters of `fileName` and, with a box above 0, a picture of
// frame `frame` fitting boxWidth x boxHeight.  Never throws; an unreadable
// or unknown file gives Valid false.
TPVFilePreview PVMakeFilePreview(const std::string& fileName, int boxWidth, int boxHeight,
                                 int frame = 0);

// Images whose decoded pixels (after the JPEG reduction) would exceed this
// many get no preview picture, so that browsing past a huge scan stays
// quick.  Default 2^25 pixels.
int64_t PVGetPreviewPixelLimit();
void PVSetPreviewPixelLimit(int64_t pixels);

// Shrinks a pf24bit bitmap to fit boxWidth x boxHeight (aspect kept, at
// least 1 x 1), each output pixel the rounded mean of the source pixels
// its area covers.  A bitmap that already fits is copied unchanged.
std::unique_ptr<TBitmap> PVShrinkToBox(const TBitmap& source, int boxWidth, int boxHeight);

// The size a w x h image takes in the box: scaled down (never up) by the
// smaller of the two ratios, each side at least 1, truncated.
std::pair<int, int> PVFitInBox(int width, int height, int boxWidth, int boxHeight);

}  // namespace pictavo
