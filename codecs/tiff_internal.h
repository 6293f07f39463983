// Pieces shared by the TIFF reader, writer and page deleter.
#pragma once

#include <cstdint>

#include "codecs/tiff.h"

namespace pictavo {

// TIFF field tags used by the reader, writer and page deleter.
constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagBitsPerSample = 258;
constexpr uint16_t kTagCompression = 259;
constexpr uint16_t kTagPhotometric = 262;
constexpr uint16_t kTagFillOrder = 266;
constexpr uint16_t kTagDocumentName = 269;
constexpr uint16_t kTagImageDescription = 270;
constexpr uint16_t kTagStripOffsets = 273;
constexpr uint16_t kTagSamplesPerPixel = 277;
constexpr uint16_t kTagRowsPerStrip = 278;
constexpr uint16_t kTagStripByteCounts = 279;
constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagPlanarConfig = 284;
constexpr uint16_t kTagPageName = 285;
constexpr uint16_t kTagXPosition = 286;
constexpr uint16_t kTagYPosition = 287;
constexpr uint16_t kTagT4Options = 292;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagPageNumber = 297;
constexpr uint16_t kTagSoftware = 305;
constexpr uint16_t kTagPredictor = 317;
constexpr uint16_t kTagColorMap = 320;
constexpr uint16_t kTagTileWidth = 322;
constexpr uint16_t kTagTileLength = 323;
constexpr uint16_t kTagTileOffsets = 324;
constexpr uint16_t kTagTileByteCounts = 325;
constexpr uint16_t kTagSubIFDs = 330;
constexpr uint16_t kTagJPEGTables = 347;
constexpr uint16_t kTagJPEGInterchangeFormat = 513;
constexpr uint16_t kTagJPEGInterchangeFormatLength = 514;
constexpr uint16_t kTagExifIFD = 34665;
constexpr uint16_t kTagGPSIFD = 34853;
constexpr uint16_t kTagInteropIFD = 40965;

// Field types.
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

// Compression schemes.
constexpr int kCompressNone = 1;
constexpr int kCompressCCITT1D = 2;
constexpr int kCompressG3 = 3;
constexpr int kCompressG4 = 4;
constexpr int kCompressLZW = 5;
constexpr int kCompressPackBits = 32773;
constexpr int kCompressJPEG = 7;
constexpr int kCompressDeflate = 8;
constexpr int kCompressDeflateOld = 32946;  // the code Deflate had before it was registered

inline bool IsDeflate(uint32_t compression) {
  return compression == kCompressDeflate || compression == kCompressDeflateOld;
}

// Photometric interpretations.
constexpr int kPhotoWhiteIsZero = 0;
constexpr int kPhotoBlackIsZero = 1;
constexpr int kPhotoRGB = 2;
constexpr int kPhotoPalette = 3;
constexpr int kPhotoSeparated = 5;
constexpr int kPhotoYCbCr = 6;

// Sample arrangements.
constexpr uint32_t kPlanarChunky = 1;
constexpr uint32_t kPlanarSeparate = 2;

// Predictors.
constexpr int kPredictorNone = 1;
constexpr int kPredictorHorizontal = 2;

// TIFFReadStream over at most `limit` bytes from the stream position (all
// of the rest when limit < 0).
void TIFFReadStreamLimited(TBitmap* bitmap, TStream& stream, int& imageCount, TIOParamsVals* params,
                           TProgressRec& progress, bool paramsOnly, int64_t limit);

}  // namespace pictavo
