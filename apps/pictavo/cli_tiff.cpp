// TIFF on the command line: the page list of `pictavo info`, and the
// multi-page commands tiff-insert and tiff-delete.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "apps/pictavo/info_details.h"
#include "apps/pictavo/registry.h"
#include "codecs/tiff.h"
#include "core/replacefile.h"
#include "formats/codec_table.h"
#include "formats/registry.h"

namespace pictavo::cli {
namespace {

const char* CompressionName(TIOTIFFCompression c) {
  static const char* kNames[] = {"none",        "CCITT modified Huffman",
                                 "Group 3 1-D", "Group 3 2-D",
                                 "Group 4",     "LZW",
                                 "old JPEG",    "JPEG",
                                 "PackBits",    "Deflate"};
  return c <= ioTIFF_DEFLATE ? kNames[c] : "?";
}

const char* PhotometricName(TIOTIFFPhotometInterpret p) {
  static const char* kNames[] = {"WhiteIsZero",       "BlackIsZero", "RGB",   "palette",
                                 "transparency mask", "CMYK",        "YCbCr", "CIE L*a*b*"};
  return p <= ioTIFF_CIELAB ? kNames[p] : "?";
}

void TiffDetails(const std::string& fileName, TIOParamsVals&, InfoFields& fields) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  // One walk of the page chain lists every page.
  std::vector<InfoValue> list;
  const int pages = TIFFListPages(f, progress, [&](int, const TIOParamsVals& p) {
    list.push_back(InfoValue::Object(
        {{"compression", InfoValue::Str(CompressionName(p.TIFF_Compression))},
         {"photometric", InfoValue::Str(PhotometricName(p.TIFF_PhotometInterpret))},
         {"width", InfoValue::Int(p.Width)},
         {"height", InfoValue::Int(p.Height)},
         {"samples", InfoValue::Int(p.SamplesPerPixel)},
         {"bits", InfoValue::Int(p.BitsPerSample)}}));
  });
  fields.push_back({"page count", InfoValue::Int(pages)});
  fields.push_back({"pages", InfoValue::List(std::move(list))});
}

PICTAVO_INFO_DETAILS(ftTIFF, TiffDetails);

// The file-type key of a file name's extension.
int KeyOfName(const std::string& name) {
  static const std::map<std::string, int> kKeys = {
      {"tif", ftTIFF}, {"tiff", ftTIFF}, {"gif", ftGIF}, {"jpg", ftJPEG}, {"jpeg", ftJPEG},
      {"pcx", ftPCX},  {"bmp", ftBMP},   {"png", ftPNG}, {"tga", ftTGA},  {"ppm", ftPXM},
      {"pgm", ftPXM},  {"pbm", ftPXM},   {"pxm", ftPXM}};
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return 0;
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
  auto it = kKeys.find(ext);
  return it == kKeys.end() ? 0 : it->second;
}

int TiffInsert(const std::vector<std::string>& args) {
  if (args.size() != 2 && !(args.size() == 4 && args[2] == "--index")) {
    std::fprintf(stderr, "usage: pictavo tiff-insert FILE IMAGE [--index N]\n");
    return 2;
  }
  const TBuiltinCodec* codec = PVBuiltinCodec(KeyOfName(args[1]));
  if (!codec || !codec->Read) {
    std::fprintf(stderr, "pictavo tiff-insert: no reader for %s\n", args[1].c_str());
    return 1;
  }
  TBitmap bmp;
  TIOParamsVals params;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  {
    TFileStream in(args[1], fmOpenRead | fmShareDenyNone);
    codec->Read(in, &bmp, params, progress, false, in.GetSize());
  }
  if (aborting || bmp.Empty()) {
    std::fprintf(stderr, "pictavo tiff-insert: cannot read %s\n", args[1].c_str());
    return 1;
  }
  if (bmp.GetPixelFormat() != pf1bit && bmp.GetPixelFormat() != pf24bit)
    bmp.SetPixelFormat(pf24bit);
  params.TIFF_ImageIndex = args.size() == 4 ? std::stoi(args[3]) : 0x7FFFFFFF;
  if (params.TIFF_Compression == ioTIFF_OLDJPEG || params.TIFF_Compression == ioTIFF_JPEG)
    params.TIFF_Compression = ioTIFF_LZW;
  // The page is written into a copy that replaces the file when complete.
  int pages = 0;
  bool replaced = PVReplaceFileWith(args[0], [&](TStream& dst) {
    TFileStream src(args[0], fmOpenRead | fmShareDenyNone);
    dst.CopyFrom(src, 0);
    dst.SetPosition(0);
    pages = TIFFWriteStream(dst, true, bmp, params, progress);
    return pages != 0 && !aborting;
  });
  if (!replaced) {
    std::fprintf(stderr, "pictavo tiff-insert: cannot insert into %s\n", args[0].c_str());
    return 1;
  }
  std::printf("%s: %d pages\n", args[0].c_str(), pages);
  return 0;
}

int TiffDelete(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: pictavo tiff-delete FILE N\n");
    return 2;
  }
  int index = std::stoi(args[1]);
  int before = EnumTIFFIm(args[0]);
  if (index < 0 || index >= before) {
    std::fprintf(stderr, "pictavo tiff-delete: %s has %d pages, no page %d\n", args[0].c_str(),
                 before, index);
    return 1;
  }
  if (DeleteTIFFIm(args[0], index) == 0 || EnumTIFFIm(args[0]) != before - 1) {
    std::fprintf(stderr, "pictavo tiff-delete: cannot delete page %d of %s\n", index,
                 args[0].c_str());
    return 1;
  }
  std::printf("%s: %d pages\n", args[0].c_str(), before - 1);
  return 0;
}

PICTAVO_COMMAND("tiff-insert", "tiff-insert FILE IMAGE [--index N]  insert IMAGE as a page of FILE",
                TiffInsert);
PICTAVO_COMMAND("tiff-delete", "tiff-delete FILE N  delete page N of the TIFF file FILE",
                TiffDelete);

}  // namespace
}  // namespace pictavo::cli
