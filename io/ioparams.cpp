#include "io/ioparams.h"

#include <ctime>

namespace pictavo {

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;
TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

double PVDateToday() {
  // Days from 1899-12-30 to 1970-01-01 are 25569.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_hour = 12;  // noon avoids daylight-saving edge effects
  local.tm_min = local.tm_sec = 0;
  std::time_t noon = timegm(&local);
  return static_cast<double>(noon / 86400 + 25569);
}

TIOParamsVals::TIOParamsVals(TIOParamsOwner* owner) : owner_(owner) { SetDefaultParams(); }

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::FreeColorMap() {
  ColorMap.clear();
  ColorMap.shrink_to_fit();
  ColorMapCount = 0;
}

void TIOParamsVals::SetColorMap(const TRGB* entries, int count) {
  FreeColorMap();
  if (count > 0 && entries) {
    ColorMap.assign(entries, entries + count);
    ColorMapCount = count;
  }
}

void TIOParamsVals::SetDefaultParams() {
  FreeColorMap();
  FileName.clear();
  BitsPerSample = 8;
  SamplesPerPixel = 3;
  if (owner_) {
    if (TBitmap* target = owner_->ParamsTargetBitmap()) {
      Width = target->GetWidth();
      Height = target->GetHeight();
    }
    int dx = 0, dy = 0;
    if (owner_->ParamsViewResolution(dx, dy)) {
      DpiX = dx;
      DpiY = dy;
    }
  }
  FileType = 0;
  TIFF_Compression = ioTIFF_UNCOMPRESSED;
  TIFF_ImageIndex = 0;
  TIFF_PhotometInterpret = ioTIFF_RGB;
  TIFF_PlanarConf = 1;
  TIFF_XPos = TIFF_YPos = 0;
  TIFF_DocumentName.clear();
  TIFF_ImageDescription.clear();
  TIFF_PageName.clear();
  TIFF_PageNumber = TIFF_PageCount = 0;
  TIFF_LZWDecompFunc = DefTIFF_LZWDECOMPFUNC;
  TIFF_LZWCompFunc = DefTIFF_LZWCOMPFUNC;
  GIF_Version = "GIF89a";
  GIF_ImageIndex = GIF_XPos = GIF_YPos = GIF_DelayTime = 0;
  GIF_Transparent = false;
  GIF_TranspColor = TRGB{};
  GIF_Interlaced = false;
  GIF_WinWidth = GIF_WinHeight = 0;
  GIF_Background = TRGB{};
  GIF_Ratio = 0;
  GIF_LZWDecompFunc = DefGIF_LZWDECOMPFUNC;
  GIF_LZWCompFunc = DefGIF_LZWCOMPFUNC;
  GIF_ImageCount = 0;
  JPEG_ColorSpace = ioJPEG_YCbCr;
  JPEG_Quality = 50;
  JPEG_DCTMethod = ioJPEG_ISLOW;
  JPEG_OptimalHuffman = false;
  JPEG_Smooth = 0;
  JPEG_Progressive = false;
  JPEG_Scale = ioJPEG_FULLSIZE;
  JPEG_MarkerList.Clear();
  PCX_Version = 5;
  PCX_Compression = ioPCX_RLE;
  BMP_Version = ioBMP_BM3;
  BMP_Compression = ioBMP_UNCOMPRESSED;
  ICO_ImageIndex = 0;
  ICO_Background = TRGB{255, 255, 255};
  CUR_ImageIndex = CUR_XHotSpot = CUR_YHotSpot = 0;
  CUR_Background = TRGB{255, 255, 255};
  PNG_Interlaced = false;
  PNG_Background = TRGB{};
  PNG_Filter = ioPNG_FILTER_NONE;
  PNG_Compression = 5;
  TGA_XPos = TGA_YPos = 0;
  TGA_Compressed = true;
  TGA_Descriptor.clear();
  TGA_Author.clear();
  TGA_Date = PVDateToday();
  TGA_ImageName.clear();
  TGA_Background = TRGB{};
  TGA_AspectRatio = 1.0;
  TGA_Gamma = 2.2;
  TGA_GrayLevel = false;
  IPTC_Info.Clear();
  IPTC_Info.SetUserChanged(false);
  PXM_Comments.Clear();
  TIFF_ImageCount = 0;
}

void TIOParamsVals::Assign(const TIOParamsVals& s) {
  if (&s == this) return;
  BitsPerSample = s.BitsPerSample;
  SamplesPerPixel = s.SamplesPerPixel;
  Width = s.Width;
  Height = s.Height;
  DpiX = s.DpiX;
  DpiY = s.DpiY;
  FileType = s.FileType;
  TIFF_Compression = s.TIFF_Compression;
  TIFF_ImageIndex = s.TIFF_ImageIndex;
  TIFF_PhotometInterpret = s.TIFF_PhotometInterpret;
  TIFF_PlanarConf = s.TIFF_PlanarConf;
  TIFF_XPos = s.TIFF_XPos;
  TIFF_YPos = s.TIFF_YPos;
  TIFF_DocumentName = s.TIFF_DocumentName;
  TIFF_ImageDescription = s.TIFF_ImageDescription;
  TIFF_PageName = s.TIFF_PageName;
  TIFF_PageNumber = s.TIFF_PageNumber;
  TIFF_PageCount = s.TIFF_PageCount;
  TIFF_LZWDecompFunc = s.TIFF_LZWDecompFunc;
  TIFF_LZWCompFunc = s.TIFF_LZWCompFunc;
  GIF_Version = s.GIF_Version;
  GIF_ImageIndex = s.GIF_ImageIndex;
  GIF_XPos = s.GIF_XPos;
  GIF_YPos = s.GIF_YPos;
  GIF_DelayTime = s.GIF_DelayTime;
  GIF_Transparent = s.GIF_Transparent;
  GIF_TranspColor = s.GIF_TranspColor;
  GIF_Interlaced = s.GIF_Interlaced;
  GIF_WinWidth = s.GIF_WinWidth;
  GIF_WinHeight = s.GIF_WinHeight;
  GIF_Background = s.GIF_Background;
  GIF_Ratio = s.GIF_Ratio;
  GIF_LZWDecompFunc = s.GIF_LZWDecompFunc;
  GIF_LZWCompFunc = s.GIF_LZWCompFunc;
  GIF_ImageCount = s.GIF_ImageCount;
  JPEG_ColorSpace = s.JPEG_ColorSpace;
  JPEG_Quality = s.JPEG_Quality;
  JPEG_DCTMethod = s.JPEG_DCTMethod;
  JPEG_OptimalHuffman = s.JPEG_OptimalHuffman;
  JPEG_Smooth = s.JPEG_Smooth;
  JPEG_Progressive = s.JPEG_Progressive;
  JPEG_Scale = s.JPEG_Scale;
  JPEG_MarkerList.Assign(s.JPEG_MarkerList);
  PCX_Version = s.PCX_Version;
  PCX_Compression = s.PCX_Compression;
  BMP_Version = s.BMP_Version;
  BMP_Compression = s.BMP_Compression;
  ICO_ImageIndex = s.ICO_ImageIndex;
  ICO_Background = s.ICO_Background;
  CUR_ImageIndex = s.CUR_ImageIndex;
  CUR_XHotSpot = s.CUR_XHotSpot;
  CUR_YHotSpot = s.CUR_YHotSpot;
  CUR_Background = s.CUR_Background;
  PNG_Interlaced = s.PNG_Interlaced;
  PNG_Background = s.PNG_Background;
  PNG_Filter = s.PNG_Filter;
  PNG_Compression = s.PNG_Compression;
  TGA_XPos = s.TGA_XPos;
  TGA_YPos = s.TGA_YPos;
  TGA_Compressed = s.TGA_Compressed;
  TGA_Descriptor = s.TGA_Descriptor;
  TGA_Author = s.TGA_Author;
  TGA_Date = s.TGA_Date;
  TGA_ImageName = s.TGA_ImageName;
  TGA_Background = s.TGA_Background;
  TGA_AspectRatio = s.TGA_AspectRatio;
  TGA_Gamma = s.TGA_Gamma;
  TGA_GrayLevel = s.TGA_GrayLevel;
  IPTC_Info.Assign(s.IPTC_Info);
  PXM_Comments.Assign(s.PXM_Comments);
  FileName = s.FileName;
  SetColorMap(s.ColorMap.data(), s.ColorMapCount);
  TIFF_ImageCount = s.TIFF_ImageCount;
}

}  // namespace pictavo
