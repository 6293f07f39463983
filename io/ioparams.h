// TIOParamsVals: everything a file format says about an image besides its
// pixels (size, depth, resolution, palette, and each format's own settings).
// Readers fill it, writers read it, applications edit it in between.  It also
// holds the pluggable LZW coders and has a versioned parameters file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/markers.h"
#include "core/pvdefs.h"
#include "platform/lists.h"
#include "platform/stream.h"

namespace pictavo {

enum TIOTIFFCompression : uint8_t {
  ioTIFF_UNCOMPRESSED, ioTIFF_CCITT1D, ioTIFF_G3FAX1D, ioTIFF_G3FAX2D, ioTIFF_G4FAX,
  ioTIFF_LZW, ioTIFF_OLDJPEG, ioTIFF_JPEG, ioTIFF_PACKBITS
};
enum TIOTIFFPhotometInterpret : uint8_t {
  ioTIFF_WHITEISZERO, ioTIFF_BLACKISZERO, ioTIFF_RGB, ioTIFF_RGBPALETTE, ioTIFF_TRANSPMASK,
  ioTIFF_CMYK, ioTIFF_YCBCR, ioTIFF_CIELAB
};
enum TIOJPEGColorspace : uint8_t { ioJPEG_RGB, ioJPEG_GRAYLEV, ioJPEG_YCbCr, ioJPEG_CMYK, ioJPEG_YCbCrK };
enum TIOJPEGDctMethod : uint8_t { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
enum TIOJPEGScale : uint8_t { ioJPEG_AUTOCALC, ioJPEG_FULLSIZE, ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH };
enum TIOBMPVersion : uint8_t { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
enum TIOBMPCompression : uint8_t { ioBMP_UNCOMPRESSED, ioBMP_RLE };
enum TIOPCXCompression : uint8_t { ioPCX_UNCOMPRESSED, ioPCX_RLE };
enum TIOPNGFilter : uint8_t { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };

// GIF LZW decoder: reads the minimum code size and the data sub-blocks at the
// stream position and fills Dest (Width x Height index bytes, row-major, in
// display order).  Returns false when the data is malformed or ends before
// the frame is full (the pixels decoded so far are kept, the rest are 0).
using TGIFLZWDecompFunc = bool (*)(TStream& Stream, int Height, int Width, bool Interlaced, uint8_t* Dest);
// GIF LZW encoder: writes the minimum code size, the sub-blocks and the 0
// terminator for Width x Height index bytes.  Returns false on a short write.
using TGIFLZWCompFunc = bool (*)(TStream& Stream, int Height, int Width, bool Interlaced,
                                 const uint8_t* Data, int BitsPerPixel);
// TIFF LZW decoder, one row per call over a strip of DataLength bytes: the
// first call (State null) creates the state; Data null frees it.  Returns
// the next decoded row of RowLength bytes, or null on error or end of data.
using TTIFFLZWDecompFunc = uint8_t* (*)(const uint8_t* Data, int64_t DataLength, int RowLength, void*& State);
// TIFF LZW encoder: the first call (State null) starts a code stream; Data
// null finishes and frees it.  Returns false on a short write.
using TTIFFLZWCompFunc = bool (*)(const uint8_t* Data, int Length, TStream& Stream, void*& State);

// The defaults taken by SetDefaultParams.  Empty at start: the application
// assigns the library's coders to enable LZW.
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;

// What SetDefaultParams asks of the owning I/O component.
class TIOParamsOwner {
 public:
  virtual ~TIOParamsOwner() = default;
  // The attached target bitmap, or null.
  virtual TBitmap* ParamsTargetBitmap() = 0;
  // The attached view's resolution; false when no view is attached.
  virtual bool ParamsViewResolution(int& dpiX, int& dpiY) = 0;
};

class TIOParamsVals : public TObject {
 public:
  explicit TIOParamsVals(TIOParamsOwner* owner = nullptr);
  ~TIOParamsVals() override;
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  void SetDefaultParams();
  void Assign(const TIOParamsVals& source);
  void SaveToFile(const std::string& name);
  void LoadFromFile(const std::string& name);
  void SaveToStream(TStream& stream);
  void LoadFromStream(TStream& stream);
  std::string GetFileTypeStr() const;

  // Replaces the colour map with a copy of `count` entries (none for 0).
  void SetColorMap(const TRGB* entries, int count);
  void FreeColorMap();
  TIOParamsOwner* Owner() const { return owner_; }

  int32_t BitsPerSample = 8;
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t DpiX = 0;
  int32_t DpiY = 0;
  int32_t FileType = 0;

  TIOTIFFCompression TIFF_Compression = ioTIFF_UNCOMPRESSED;
  int32_t TIFF_ImageIndex = 0;
  TIOTIFFPhotometInterpret TIFF_PhotometInterpret = ioTIFF_RGB;
  int32_t TIFF_PlanarConf = 1;
  int32_t TIFF_XPos = 0;
  int32_t TIFF_YPos = 0;
  std::string TIFF_DocumentName;
  std::string TIFF_ImageDescription;
  std::string TIFF_PageName;
  int32_t TIFF_PageNumber = 0;
  int32_t TIFF_PageCount = 0;
  TTIFFLZWDecompFunc TIFF_LZWDecompFunc = nullptr;
  TTIFFLZWCompFunc TIFF_LZWCompFunc = nullptr;

  std::string GIF_Version = "GIF89a";
  int32_t GIF_ImageIndex = 0;
  int32_t GIF_XPos = 0;
  int32_t GIF_YPos = 0;
  int32_t GIF_DelayTime = 0;
  bool GIF_Transparent = false;
  TRGB GIF_TranspColor{};
  bool GIF_Interlaced = false;
  int32_t GIF_WinWidth = 0;
  int32_t GIF_WinHeight = 0;
  TRGB GIF_Background{};
  int32_t GIF_Ratio = 0;
  TGIFLZWDecompFunc GIF_LZWDecompFunc = nullptr;
  TGIFLZWCompFunc GIF_LZWCompFunc = nullptr;
  int32_t GIF_ImageCount = 0;

  TIOJPEGColorspace JPEG_ColorSpace = ioJPEG_YCbCr;
  int32_t JPEG_Quality = 50;
  TIOJPEGDctMethod JPEG_DCTMethod = ioJPEG_ISLOW;
  bool JPEG_OptimalHuffman = false;
  int32_t JPEG_Smooth = 0;
  bool JPEG_Progressive = false;
  TIOJPEGScale JPEG_Scale = ioJPEG_FULLSIZE;
  TPVMarkerList JPEG_MarkerList;

  int32_t PCX_Version = 5;
  TIOPCXCompression PCX_Compression = ioPCX_RLE;
  TIOBMPVersion BMP_Version = ioBMP_BM3;
  TIOBMPCompression BMP_Compression = ioBMP_UNCOMPRESSED;

  int32_t ICO_ImageIndex = 0;
  TRGB ICO_Background{255, 255, 255};
  int32_t CUR_ImageIndex = 0;
  int32_t CUR_XHotSpot = 0;
  int32_t CUR_YHotSpot = 0;
  TRGB CUR_Background{255, 255, 255};

  bool PNG_Interlaced = false;
  TRGB PNG_Background{};
  TIOPNGFilter PNG_Filter = ioPNG_FILTER_NONE;
  int32_t PNG_Compression = 5;

  int32_t TGA_XPos = 0;
  int32_t TGA_YPos = 0;
  bool TGA_Compressed = true;
  std::string TGA_Descriptor;
  std::string TGA_Author;
  double TGA_Date = 0;  // days since 30 December 1899
  std::string TGA_ImageName;
  TRGB TGA_Background{};
  double TGA_AspectRatio = 1.0;
  double TGA_Gamma = 2.2;
  bool TGA_GrayLevel = false;

  TPVIPTCInfoList IPTC_Info;
  TStringList PXM_Comments;
  std::string FileName;
  std::vector<TRGB> ColorMap;  // ColorMapCount entries
  int32_t ColorMapCount = 0;
  int32_t TIFF_ImageCount = 0;

 private:
  TIOParamsOwner* owner_;
};

// Today's date (no time part) as days since 30 December 1899.
double PVDateToday();

}  // namespace pictavo
