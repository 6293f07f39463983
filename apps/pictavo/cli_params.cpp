// `pictavo params FILE`: prints a parameters file in readable form.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "io/ioparams.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

std::string Rgb(const TRGB& c) {
  return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

void Line(const char* name, const std::string& value) { std::printf("%-24s %s\n", name, value.c_str()); }
void Line(const char* name, long long value) { Line(name, std::to_string(value)); }
void Line(const char* name, double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", value);
  Line(name, std::string(buf));
}
void Flag(const char* name, bool value) { Line(name, std::string(value ? "true" : "false")); }

void Print(const TIOParamsVals& p) {
  Line("FileName", p.FileName);
  Line("FileType", static_cast<long long>(p.FileType));
  Line("Description", p.GetFileTypeStr());
  Line("Width", static_cast<long long>(p.Width));
  Line("Height", static_cast<long long>(p.Height));
  Line("BitsPerSample", static_cast<long long>(p.BitsPerSample));
  Line("SamplesPerPixel", static_cast<long long>(p.SamplesPerPixel));
  Line("DpiX", static_cast<long long>(p.DpiX));
  Line("DpiY", static_cast<long long>(p.DpiY));
  Line("ColorMapCount", static_cast<long long>(p.ColorMapCount));
  Line("TIFF_Compression", static_cast<long long>(p.TIFF_Compression));
  Line("TIFF_ImageIndex", static_cast<long long>(p.TIFF_ImageIndex));
  Line("TIFF_PhotometInterpret", static_cast<long long>(p.TIFF_PhotometInterpret));
  Line("TIFF_PlanarConf", static_cast<long long>(p.TIFF_PlanarConf));
  Line("TIFF_XPos", static_cast<long long>(p.TIFF_XPos));
  Line("TIFF_YPos", static_cast<long long>(p.TIFF_YPos));
  Line("TIFF_DocumentName", p.TIFF_DocumentName);
  Line("TIFF_ImageDescription", p.TIFF_ImageDescription);
  Line("TIFF_PageName", p.TIFF_PageName);
  Line("TIFF_PageNumber", static_cast<long long>(p.TIFF_PageNumber));
  Line("TIFF_PageCount", static_cast<long long>(p.TIFF_PageCount));
  Line("TIFF_ImageCount", static_cast<long long>(p.TIFF_ImageCount));
  Line("GIF_Version", p.GIF_Version);
  Line("GIF_ImageIndex", static_cast<long long>(p.GIF_ImageIndex));
  Line("GIF_XPos", static_cast<long long>(p.GIF_XPos));
  Line("GIF_YPos", static_cast<long long>(p.GIF_YPos));
  Line("GIF_DelayTime", static_cast<long long>(p.GIF_DelayTime));
  Flag("GIF_Transparent", p.GIF_Transparent);
  Line("GIF_TranspColor", Rgb(p.GIF_TranspColor));
  Flag("GIF_Interlaced", p.GIF_Interlaced);
  Line("GIF_WinWidth", static_cast<long long>(p.GIF_WinWidth));
  Line("GIF_WinHeight", static_cast<long long>(p.GIF_WinHeight));
  Line("GIF_Background", Rgb(p.GIF_Background));
  Line("GIF_Ratio", static_cast<long long>(p.GIF_Ratio));
  Line("GIF_ImageCount", static_cast<long long>(p.GIF_ImageCount));
  Line("JPEG_ColorSpace", static_cast<long long>(p.JPEG_ColorSpace));
  Line("JPEG_Quality", static_cast<long long>(p.JPEG_Quality));
  Line("JPEG_DCTMethod", static_cast<long long>(p.JPEG_DCTMethod));
  Flag("JPEG_OptimalHuffman", p.JPEG_OptimalHuffman);
  Line("JPEG_Smooth", static_cast<long long>(p.JPEG_Smooth));
  Flag("JPEG_Progressive", p.JPEG_Progressive);
  Line("JPEG_Scale", static_cast<long long>(p.JPEG_Scale));
  Line("JPEG_MarkerList", std::to_string(p.JPEG_MarkerList.GetCount()) + " markers");
  Line("PCX_Version", static_cast<long long>(p.PCX_Version));
  Line("PCX_Compression", static_cast<long long>(p.PCX_Compression));
  Line("BMP_Version", static_cast<long long>(p.BMP_Version));
  Line("BMP_Compression", static_cast<long long>(p.BMP_Compression));
  Line("ICO_ImageIndex", static_cast<long long>(p.ICO_ImageIndex));
  Line("ICO_Background", Rgb(p.ICO_Background));
  Line("CUR_ImageIndex", static_cast<long long>(p.CUR_ImageIndex));
  Line("CUR_XHotSpot", static_cast<long long>(p.CUR_XHotSpot));
  Line("CUR_YHotSpot", static_cast<long long>(p.CUR_YHotSpot));
  Line("CUR_Background", Rgb(p.CUR_Background));
  Flag("PNG_Interlaced", p.PNG_Interlaced);
  Line("PNG_Background", Rgb(p.PNG_Background));
  Line("PNG_Filter", static_cast<long long>(p.PNG_Filter));
  Line("PNG_Compression", static_cast<long long>(p.PNG_Compression));
  Line("TGA_XPos", static_cast<long long>(p.TGA_XPos));
  Line("TGA_YPos", static_cast<long long>(p.TGA_YPos));
  Flag("TGA_Compressed", p.TGA_Compressed);
  Line("TGA_Descriptor", p.TGA_Descriptor);
  Line("TGA_Author", p.TGA_Author);
  Line("TGA_Date", p.TGA_Date);
  Line("TGA_ImageName", p.TGA_ImageName);
  Line("TGA_Background", Rgb(p.TGA_Background));
  Line("TGA_AspectRatio", p.TGA_AspectRatio);
  Line("TGA_Gamma", p.TGA_Gamma);
  Flag("TGA_GrayLevel", p.TGA_GrayLevel);
  for (int i = 0; i < p.IPTC_Info.GetCount(); ++i)
    Line("IPTC", std::to_string(p.IPTC_Info.GetRecordNumber(i)) + ":" +
                     std::to_string(p.IPTC_Info.GetDataSet(i)) + "=" + p.IPTC_Info.GetStrings(i));
  for (int i = 0; i < p.PXM_Comments.Count(); ++i) Line("PXM_Comment", p.PXM_Comments.Get(i));
}

int RunParams(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: pictavo params FILE\n");
    return 2;
  }
  TIOParamsVals params;
  try {
    params.LoadFromFile(args[0]);
  } catch (const Exception& e) {
    std::fprintf(stderr, "cannot read parameters file %s: %s\n", args[0].c_str(), e.what());
    return 1;
  }
  Print(params);
  return 0;
}

PICTAVO_COMMAND("params", "params FILE  print a parameters file in readable form", RunParams);

}  // namespace
}  // namespace pictavo::cli
