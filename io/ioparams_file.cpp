// The parameters file of TIOParamsVals (written as version 5, read from
// versions 0 to 5) and the human-readable file-type description.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "io/ioparams.h"
#include "io/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

namespace {

constexpr int32_t kParamsVersion = 5;

class ParamsWriter {
 public:
  explicit ParamsWriter(TStream& s) : s_(s) {}
  void I32(int32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    s_.WriteBuffer(b, 4);
  }
  void U8(uint8_t v) { s_.WriteBuffer(&v, 1); }
  void Bool(bool v) { U8(v ? 1 : 0); }
  void Rgb(const TRGB& c) { s_.WriteBuffer(&c, 3); }
  void Double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(bits >> (8 * i));
    s_.WriteBuffer(b, 8);
  }
  void Str(const std::string& v) {
    I32(static_cast<int32_t>(v.size()));
    if (!v.empty()) s_.WriteBuffer(v.data(), static_cast<int64_t>(v.size()));
  }

 private:
  TStream& s_;
};

// Reads with every length checked against the bytes that remain; a short
// stream raises EReadError.
class ParamsReader {
 public:
  explicit ParamsReader(TStream& s) : s_(s) {}
  int64_t Remaining() {
    int64_t r = s_.GetSize() - s_.GetPosition();
    return r > 0 ? r : 0;
  }
  int32_t I32() {
    uint8_t b[4];
    s_.ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
  }
  uint8_t U8() {
    uint8_t v;
    s_.ReadBuffer(&v, 1);
    return v;
  }
  bool Bool() { return U8() != 0; }
  TRGB Rgb() {
    TRGB c;
    s_.ReadBuffer(&c, 3);
    return c;
  }
  double Double() {
    uint8_t b[8];
    s_.ReadBuffer(b, 8);
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(b[i]) << (8 * i);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  std::string Str() {
    int32_t length = I32();
    if (length < 0 || length > Remaining()) throw EReadError("Stream read error");
    std::string v(static_cast<size_t>(length), '\0');
    if (length) s_.ReadBuffer(v.data(), length);
    return v;
  }
  // An enumeration byte; a value beyond the last member keeps `current`.
  template <typename E>
  E Enum(E current, E last) {
    uint8_t v = U8();
    return v <= static_cast<uint8_t>(last) ? static_cast<E>(v) : current;
  }

 private:
  TStream& s_;
};

}  // namespace

void TIOParamsVals::SaveToFile(const std::string& name) {
  TFileStream f(name, fmCreate);
  SaveToStream(f);
}

void TIOParamsVals::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TIOParamsVals::SaveToStream(TStream& stream) {
  ParamsWriter w(stream);
  w.I32(kParamsVersion);
  w.Str(FileName);
  w.I32(FileType);
  w.I32(BitsPerSample);
  w.I32(SamplesPerPixel);
  w.I32(Width);
  w.I32(Height);
  w.I32(DpiX);
  w.I32(DpiY);
  int32_t count = ColorMapCount > 0 ? std::min<int32_t>(ColorMapCount, static_cast<int32_t>(ColorMap.size())) : 0;
  w.I32(count);
  if (count > 0) stream.WriteBuffer(ColorMap.data(), int64_t(count) * 3);
  w.U8(TIFF_Compression);
  w.I32(TIFF_ImageIndex);
  w.U8(TIFF_PhotometInterpret);
  w.I32(TIFF_PlanarConf);
  w.I32(TIFF_XPos);
  w.I32(TIFF_YPos);
  w.Str(TIFF_DocumentName);
  w.Str(TIFF_ImageDescription);
  w.Str(TIFF_PageName);
  w.I32(TIFF_PageNumber);
  w.I32(TIFF_PageCount);
  w.I32(TIFF_ImageCount);
  w.Str(GIF_Version);
  w.I32(GIF_ImageIndex);
  w.I32(GIF_XPos);
  w.I32(GIF_YPos);
  w.I32(GIF_DelayTime);
  w.Bool(GIF_Transparent);
  w.Rgb(GIF_TranspColor);
  w.Bool(GIF_Interlaced);
  w.I32(GIF_WinWidth);
  w.I32(GIF_WinHeight);
  w.Rgb(GIF_Background);
  w.I32(GIF_Ratio);
  w.I32(GIF_ImageCount);
  w.U8(JPEG_ColorSpace);
  w.I32(JPEG_Quality);
  w.U8(JPEG_DCTMethod);
  w.Bool(JPEG_OptimalHuffman);
  w.I32(JPEG_Smooth);
  w.Bool(JPEG_Progressive);
  w.U8(JPEG_Scale);
  JPEG_MarkerList.SaveToStream(stream);
  w.I32(PCX_Version);
  w.U8(PCX_Compression);
  w.U8(BMP_Version);
  w.U8(BMP_Compression);
  w.I32(ICO_ImageIndex);
  w.Rgb(ICO_Background);
  w.I32(CUR_ImageIndex);
  w.I32(CUR_XHotSpot);
  w.I32(CUR_YHotSpot);
  w.Rgb(CUR_Background);
  w.Bool(PNG_Interlaced);
  w.Rgb(PNG_Background);
  w.U8(PNG_Filter);
  w.I32(PNG_Compression);
  w.I32(TGA_XPos);
  w.I32(TGA_YPos);
  w.Bool(TGA_Compressed);
  w.Str(TGA_Descriptor);
  w.Str(TGA_Author);
  w.Double(TGA_Date);
  w.Str(TGA_ImageName);
  w.Rgb(TGA_Background);
  w.Double(TGA_AspectRatio);
  w.Double(TGA_Gamma);
  w.Bool(TGA_GrayLevel);
  IPTC_Info.SaveToStream(stream);
  PXM_Comments.SaveToStream(stream);
}

void TIOParamsVals::LoadFromStream(TStream& stream) {
  ParamsReader r(stream);
  int32_t version = r.I32();
  if (version < 0 || version > kParamsVersion)
    throw EReadError("Unsupported parameters version " + std::to_string(version));
  FileName = r.Str();
  FileType = version <= 1 ? r.U8() : r.I32();
  BitsPerSample = r.I32();
  SamplesPerPixel = r.I32();
  Width = r.I32();
  Height = r.I32();
  DpiX = r.I32();
  DpiY = r.I32();
  FreeColorMap();
  int32_t count = r.I32();
  // A colour map of this library never exceeds 256 entries.
  if (count < 0 || count > 256) throw EReadError("Invalid colour map size " + std::to_string(count));
  if (count > 0) {
    if (int64_t(count) * 3 > r.Remaining()) throw EReadError("Stream read error");
    std::vector<TRGB> map(static_cast<size_t>(count));
    stream.ReadBuffer(map.data(), int64_t(count) * 3);
    ColorMap = std::move(map);
    ColorMapCount = count;
  }
  TIFF_Compression = r.Enum(TIFF_Compression, ioTIFF_PACKBITS);
  TIFF_ImageIndex = r.I32();
  TIFF_PhotometInterpret = r.Enum(TIFF_PhotometInterpret, ioTIFF_CIELAB);
  TIFF_PlanarConf = r.I32();
  TIFF_XPos = r.I32();
  TIFF_YPos = r.I32();
  TIFF_DocumentName = r.Str();
  TIFF_ImageDescription = r.Str();
  TIFF_PageName = r.Str();
  TIFF_PageNumber = r.I32();
  TIFF_PageCount = r.I32();
  if (version >= 4) TIFF_ImageCount = r.I32();
  GIF_Version = r.Str();
  GIF_ImageIndex = r.I32();
  GIF_XPos = r.I32();
  GIF_YPos = r.I32();
  GIF_DelayTime = r.I32();
  GIF_Transparent = r.Bool();
  GIF_TranspColor = r.Rgb();
  GIF_Interlaced = r.Bool();
  GIF_WinWidth = r.I32();
  GIF_WinHeight = r.I32();
  GIF_Background = r.Rgb();
  GIF_Ratio = r.I32();
  if (version >= 4) GIF_ImageCount = r.I32();
  JPEG_ColorSpace = r.Enum(JPEG_ColorSpace, ioJPEG_YCbCrK);
  JPEG_Quality = r.I32();
  JPEG_DCTMethod = r.Enum(JPEG_DCTMethod, ioJPEG_FLOAT);
  JPEG_OptimalHuffman = r.Bool();
  JPEG_Smooth = r.I32();
  JPEG_Progressive = r.Bool();
  if (version >= 1) JPEG_Scale = r.Enum(JPEG_Scale, ioJPEG_EIGHTH);
  if (version >= 4) JPEG_MarkerList.LoadFromStream(stream);
  PCX_Version = r.I32();
  PCX_Compression = r.Enum(PCX_Compression, ioPCX_RLE);
  BMP_Version = r.Enum(BMP_Version, ioBMP_BMOS2V2);
  BMP_Compression = r.Enum(BMP_Compression, ioBMP_RLE);
  if (version >= 1) {
    ICO_ImageIndex = r.I32();
  } else {
    r.I32();
    r.I32();
    ICO_ImageIndex = 0;
  }
  if (version >= 3) ICO_Background = r.Rgb();
  if (version >= 1) {
    CUR_ImageIndex = r.I32();
    CUR_XHotSpot = r.I32();
    CUR_YHotSpot = r.I32();
  } else {
    r.I32();
    r.I32();
    CUR_ImageIndex = CUR_XHotSpot = CUR_YHotSpot = 0;
  }
  if (version >= 3) CUR_Background = r.Rgb();
  PNG_Interlaced = r.Bool();
  PNG_Background = r.Rgb();
  PNG_Filter = r.Enum(PNG_Filter, ioPNG_FILTER_PAETH);
  PNG_Compression = r.I32();
  if (version >= 3) {
    TGA_XPos = r.I32();
    TGA_YPos = r.I32();
    TGA_Compressed = r.Bool();
    TGA_Descriptor = r.Str();
    TGA_Author = r.Str();
    TGA_Date = r.Double();
    TGA_ImageName = r.Str();
    TGA_Background = r.Rgb();
    TGA_AspectRatio = r.Double();
    TGA_Gamma = r.Double();
    TGA_GrayLevel = r.Bool();
  }
  if (version >= 4) IPTC_Info.LoadFromStream(stream);
  if (version >= 5) PXM_Comments.LoadFromStream(stream);
}

std::string TIOParamsVals::GetFileTypeStr() const {
  std::string text;
  if (const TPVFileFormatInfo* info = PVFileFormatGetInfo(FileType)) {
    std::string ext = PVFileFormatGetExt(FileType, 0);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text = info->Description + " (" + ext + ")";
  }
  switch (FileType) {
    case ftTIFF: {
      static const char* const names[] = {" Uncompressed", " Huffman",   " Group 3 Fax",
                                          " Group 3 Fax 2D", " Group 4 Fax", " LZW",
                                          " Jpeg v.5",     " Jpeg",      " PackBits RLE"};
      if (TIFF_Compression <= ioTIFF_PACKBITS) text += names[TIFF_Compression];
      break;
    }
    case ftGIF:
      if (GIF_Interlaced) text += " Interlaced";
      break;
    case ftJPEG:
      switch (JPEG_ColorSpace) {
        case ioJPEG_GRAYLEV: text += " Gray level"; break;
        case ioJPEG_YCbCr: text += " YCbCr"; break;
        case ioJPEG_CMYK: text += " CMYK"; break;
        case ioJPEG_YCbCrK: text += " YCbCrK"; break;
        default: break;
      }
      break;
    case ftPCX:
      if (PCX_Compression == ioPCX_UNCOMPRESSED) text += " Uncompressed";
      break;
    case ftBMP: {
      static const char* const names[] = {" ver.1", " ver.3", " OS/2 v.1", " OS/2 v.2"};
      if (BMP_Version <= ioBMP_BMOS2V2) text += names[BMP_Version];
      break;
    }
    case ftPNG:
      if (PNG_Interlaced) text += " Interlaced";
      break;
    case ftTGA:
      text += TGA_Compressed ? " Compressed" : " Uncompressed";
      break;
    default: break;
  }
  return text;
}

}  // namespace pictavo
