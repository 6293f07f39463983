// GIF codec: frames of single and multi-frame files, insertion, deletion,
// animation, and the LZW coders (assigned by the application).
#pragma once

#include <functional>
#include <string>

#include "formats/ioparams.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {

void ReadGifStream(TStream& stream, TBitmap* bitmap, int& imageCount, bool paramsOnly,
                   TProgressRec& progress, TIOParamsVals& params);
// The parameters of every frame in one pass over the stream: each(index,
// params) per frame.  Returns the frame count.
int GIFListFrames(TStream& stream, TProgressRec& progress,
                  const std::function<void(int index, const TIOParamsVals& params)>& each);
void ReadGif(const std::string& fileName, TBitmap* bitmap, int& imageCount, bool paramsOnly,
             TProgressRec& progress, TIOParamsVals& params);
void WriteGifStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);
void WriteGif(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
              TProgressRec& progress);
int _InsertGifImStream(TStream& stream, TBitmap& bitmap, TIOParamsVals& params,
                       TProgressRec& progress);
int _InsertGifIm(const std::string& fileName, TBitmap& bitmap, TIOParamsVals& params,
                 TProgressRec& progress);
int _DeleteGifIm(const std::string& fileName, int index, bool save);
bool _CheckGifAnimate(const std::string& fileName);
void _GifMakeAnimate(const std::string& fileName, int loopCount, int screenWidth, int screenHeight);

bool GIFLZWDecompress(TStream& stream, int height, int width, bool interlaced, uint8_t* dest);
// Receives one finished row of a frame: its display row and `width` indices.
using TGIFRowSink = std::function<void(int y, const uint8_t* indices)>;
// The same decoding, handing each row to `sink` as soon as it is complete
// (interlaced frames in stored order, each with its display row), so a frame
// never has to be held whole.  Every row is handed on once unless the code
// size byte is refused (no rows, stream position restored); rows the codes
// did not reach are index 0.  Returns as GIFLZWDecompress does.
bool GIFLZWDecompressRows(TStream& stream, int height, int width, bool interlaced,
                          const TGIFRowSink& sink);
bool GIFLZWCompress(TStream& stream, int height, int width, bool interlaced, const uint8_t* data,
                    int bitsPerPixel);
bool GIFNONLZWCompress(TStream& stream, int height, int width, bool interlaced, const uint8_t* data,
                       int bitsPerPixel);

}  // namespace pictavo
