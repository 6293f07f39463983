#include "dialogs/saveparams.h"

#include <algorithm>

#include "io/registry.h"
#include "platform/colors.h"

namespace pictavo {
namespace {

// Colour values of the parameters (TRGB) as TColor and back.
TColor ToColor(const TRGB& c) {
  return TColor(c.r) | TColor(c.g) << 8 | TColor(c.b) << 16;
}
TRGB FromColor(int32_t v) {
  return TRGB{uint8_t(v >> 16 & 0xFF), uint8_t(v >> 8 & 0xFF), uint8_t(v & 0xFF)};
}

using Getter = int32_t (*)(const TIOParamsVals&);
using Setter = void (*)(TIOParamsVals&, int32_t);

TPVSaveField Field(std::string name, TPVFieldKind kind, TMsgLanguageWords word, Getter get,
                    Setter set) {
  TPVSaveField f;
  f.Name = std::move(name);
  f.Kind = kind;
  f.Word = word;
  f.Get = get;
  f.Set = set;
  return f;
}

TPVSaveField Boolean(std::string name, TMsgLanguageWords word, Getter get, Setter set) {
  TPVSaveField f = Field(std::move(name), pfkBoolean, word, get, set);
  f.Max = 1;
  return f;
}

TPVSaveField Integer(std::string name, TMsgLanguageWords word, int32_t lo, int32_t hi, Getter get,
                      Setter set) {
  TPVSaveField f = Field(std::move(name), pfkInteger, word, get, set);
  f.Min = lo;
  f.Max = hi;
  return f;
}

TPVSaveField Choice(std::string name, TMsgLanguageWords word, std::vector<TPVFieldChoice> choices,
                     Getter get, Setter set) {
  TPVSaveField f = Field(std::move(name), pfkChoice, word, get, set);
  f.Choices = std::move(choices);
  return f;
}

TPVSaveField Colour(std::string name, TMsgLanguageWords word, Getter get, Setter set) {
  TPVSaveField f = Field(std::move(name), pfkColor, word, get, set);
  f.Max = 0xFFFFFF;
  return f;
}

// --- JPEG ------------------------------------------------------------------
constexpr int32_t kJpegQualityMin = 1, kJpegQualityMax = 100;
constexpr int32_t kJpegSmoothMax = 100;

void AddJpeg(std::vector<TPVSaveField>& out) {
  out.push_back(Integer(
      "JPEG_Quality", PVMSG_QUALITY, kJpegQualityMin, kJpegQualityMax,
      [](const TIOParamsVals& p) { return p.JPEG_Quality; },
      [](TIOParamsVals& p, int32_t v) { p.JPEG_Quality = v; }));
  out.push_back(Boolean(
      "JPEG_Progressive", PVMSG_PROGRESSIVE,
      [](const TIOParamsVals& p) { return int32_t(p.JPEG_Progressive); },
      [](TIOParamsVals& p, int32_t v) { p.JPEG_Progressive = v != 0; }));
  out.push_back(Choice(
      "JPEG_DCTMethod", PVMSG_DCTMETHOD,
      {{ioJPEG_ISLOW, "Integer, accurate"},
       {ioJPEG_IFAST, "Integer, fast"},
       {ioJPEG_FLOAT, "Floating point"}},
      [](const TIOParamsVals& p) { return int32_t(p.JPEG_DCTMethod); },
      [](TIOParamsVals& p, int32_t v) { p.JPEG_DCTMethod = TIOJPEGDctMethod(v); }));
  out.push_back(Boolean(
      "JPEG_OptimalHuffman", PVMSG_OPTIMALHUFFMAN,
      [](const TIOParamsVals& p) { return int32_t(p.JPEG_OptimalHuffman); },
      [](TIOParamsVals& p, int32_t v) { p.JPEG_OptimalHuffman = v != 0; }));
  out.push_back(Integer(
      "JPEG_Smooth", PVMSG_SMOOTHINGFACTOR, 0, kJpegSmoothMax,
      [](const TIOParamsVals& p) { return p.JPEG_Smooth; },
      [](TIOParamsVals& p, int32_t v) { p.JPEG_Smooth = v; }));
  // Grey output is the grey-level colour space; switching it off returns to
  // YCbCr, and other colour spaces (a loaded CMYK file) stay as they are.
  out.push_back(Boolean(
      "JPEG_ColorSpace", PVMSG_GRAYSCALE,
      [](const TIOParamsVals& p) { return int32_t(p.JPEG_ColorSpace == ioJPEG_GRAYLEV); },
      [](TIOParamsVals& p, int32_t v) {
        if (v)
          p.JPEG_ColorSpace = ioJPEG_GRAYLEV;
        else if (p.JPEG_ColorSpace == ioJPEG_GRAYLEV)
          p.JPEG_ColorSpace = ioJPEG_YCbCr;
      }));
}

// --- TIFF ------------------------------------------------------------------
bool HasTiffLzwEncoder(const TIOParamsVals& p) {
  return p.TIFF_LZWCompFunc != nullptr || DefTIFF_LZWCOMPFUNC != nullptr;
}

// The compression the writer will really use: the JPEG kinds are written
// uncompressed, and so is LZW while no encoder is available.
int32_t EffectiveTiffCompression(const TIOParamsVals& p) {
  switch (p.TIFF_Compression) {
    case ioTIFF_OLDJPEG:
    case ioTIFF_JPEG:
      return ioTIFF_UNCOMPRESSED;
    case ioTIFF_LZW:
      return HasTiffLzwEncoder(p) ? ioTIFF_LZW : ioTIFF_UNCOMPRESSED;
    default:
      return p.TIFF_Compression;
  }
}

constexpr int32_t kPredictorNone = 1, kPredictorHorizontal = 2;

// Horizontal differencing goes with LZW for 8-bit grey or RGB samples.
int32_t TiffPredictor(const TIOParamsVals& p) {
  bool lzw = EffectiveTiffCompression(p) == ioTIFF_LZW;
  bool samples = p.BitsPerSample == 8 && (p.SamplesPerPixel == 1 || p.SamplesPerPixel == 3);
  bool cmyk = p.TIFF_PhotometInterpret == ioTIFF_CMYK;
  return lzw && samples && !cmyk ? kPredictorHorizontal : kPredictorNone;
}

void AddTiff(std::vector<TPVSaveField>& out, const TIOParamsVals& params) {
  std::vector<TPVFieldChoice> kinds = {{ioTIFF_UNCOMPRESSED, "None"},
                                       {ioTIFF_CCITT1D, "CCITT Huffman"},
                                       {ioTIFF_G3FAX1D, "Group 3 fax"},
                                       {ioTIFF_G3FAX2D, "Group 3 fax 2D"},
                                       {ioTIFF_G4FAX, "Group 4 fax"}};
  if (HasTiffLzwEncoder(params)) kinds.push_back({ioTIFF_LZW, "LZW"});
  kinds.push_back({ioTIFF_PACKBITS, "PackBits"});
  out.push_back(
      Choice("TIFF_Compression", PVMSG_COMPRESSION, std::move(kinds), EffectiveTiffCompression,
             [](TIOParamsVals& p, int32_t v) { p.TIFF_Compression = TIOTIFFCompression(v); }));
  TPVSaveField predictor =
      Choice("TIFF_Predictor", PVMSG_COMPRESSION,
             {{kPredictorNone, "None"}, {kPredictorHorizontal, "Horizontal differencing"}},
             TiffPredictor, nullptr);
  predictor.Label = "Predictor";
  predictor.ReadOnly = true;
  out.push_back(std::move(predictor));
}

// --- PNG, GIF, BMP, PCX, TGA, PXM -------------------------------------------
constexpr int32_t kPngCompressionMax = 9;

void AddPng(std::vector<TPVSaveField>& out) {
  out.push_back(Boolean(
      "PNG_Interlaced", PVMSG_INTERLACED,
      [](const TIOParamsVals& p) { return int32_t(p.PNG_Interlaced); },
      [](TIOParamsVals& p, int32_t v) { p.PNG_Interlaced = v != 0; }));
  out.push_back(Choice(
      "PNG_Filter", PVMSG_FILTER,
      {{ioPNG_FILTER_NONE, "None"}, {ioPNG_FILTER_SUB, "Sub"}, {ioPNG_FILTER_PAETH, "Paeth"}},
      [](const TIOParamsVals& p) { return int32_t(p.PNG_Filter); },
      [](TIOParamsVals& p, int32_t v) { p.PNG_Filter = TIOPNGFilter(v); }));
  out.push_back(Integer(
      "PNG_Compression", PVMSG_COMPRESSION, 0, kPngCompressionMax,
      [](const TIOParamsVals& p) { return p.PNG_Compression; },
      [](TIOParamsVals& p, int32_t v) { p.PNG_Compression = v; }));
}

void AddGif(std::vector<TPVSaveField>& out) {
  out.push_back(Boolean(
      "GIF_Interlaced", PVMSG_INTERLACED,
      [](const TIOParamsVals& p) { return int32_t(p.GIF_Interlaced); },
      [](TIOParamsVals& p, int32_t v) { p.GIF_Interlaced = v != 0; }));
  out.push_back(Boolean(
      "GIF_Transparent", PVMSG_TRANSPARENT,
      [](const TIOParamsVals& p) { return int32_t(p.GIF_Transparent); },
      [](TIOParamsVals& p, int32_t v) { p.GIF_Transparent = v != 0; }));
  TPVSaveField colour = Colour(
      "GIF_TranspColor", PVMSG_TRANSPARENTCOLOR,
      [](const TIOParamsVals& p) { return int32_t(ToColor(p.GIF_TranspColor)); },
      [](TIOParamsVals& p, int32_t v) { p.GIF_TranspColor = FromColor(v); });
  colour.Applies = [](const TIOParamsVals& p) { return p.GIF_Transparent; };
  out.push_back(std::move(colour));
}

// The BMP writer's depth: 1 or 4 bits as asked, 24 for several samples, else 8.
int32_t BmpDepth(const TIOParamsVals& p) {
  if (p.BitsPerSample == 1 || p.BitsPerSample == 4) return p.BitsPerSample;
  return p.SamplesPerPixel != 1 ? 24 : 8;
}

void SetDepth(TIOParamsVals& p, int32_t bits) {
  p.BitsPerSample = bits == 24 ? 8 : bits;
  p.SamplesPerPixel = bits == 24 ? 3 : 1;
}

void AddBmp(std::vector<TPVSaveField>& out) {
  out.push_back(Choice("BitsPerSample", PVMSG_COLORS,
                       {{1, "2"}, {4, "16"}, {8, "256"}, {24, "16777216"}}, BmpDepth, SetDepth));
  TPVSaveField rle = Choice(
      "BMP_Compression", PVMSG_COMPRESSION, {{ioBMP_UNCOMPRESSED, "None"}, {ioBMP_RLE, "RLE"}},
      [](const TIOParamsVals& p) { return int32_t(p.BMP_Compression); },
      [](TIOParamsVals& p, int32_t v) { p.BMP_Compression = TIOBMPCompression(v); });
  // Run-length encoding exists for 4- and 8-bit files only.
  rle.Applies = [](const TIOParamsVals& p) {
    int32_t d = BmpDepth(p);
    return (d == 4 || d == 8) && p.BMP_Version != ioBMP_BMOS2V1;
  };
  out.push_back(std::move(rle));
}

void AddPcx(std::vector<TPVSaveField>& out) {
  out.push_back(Choice(
      "PCX_Compression", PVMSG_COMPRESSION, {{ioPCX_UNCOMPRESSED, "None"}, {ioPCX_RLE, "RLE"}},
      [](const TIOParamsVals& p) { return int32_t(p.PCX_Compression); },
      [](TIOParamsVals& p, int32_t v) { p.PCX_Compression = TIOPCXCompression(v); }));
}

void AddTga(std::vector<TPVSaveField>& out) {
  out.push_back(Boolean(
      "TGA_Compressed", PVMSG_COMPRESSION,
      [](const TIOParamsVals& p) { return int32_t(p.TGA_Compressed); },
      [](TIOParamsVals& p, int32_t v) { p.TGA_Compressed = v != 0; }));
}

// The PXM writer picks P4 for one 1-bit sample, P5 for one 8-bit sample and
// P6 otherwise.
int32_t PxmKind(const TIOParamsVals& p) {
  if (p.BitsPerSample == 1 && p.SamplesPerPixel == 1) return pxmBitmap;
  if (p.BitsPerSample == 8 && p.SamplesPerPixel == 1) return pxmGraymap;
  return pxmPixmap;
}

void SetPxmKind(TIOParamsVals& p, int32_t kind) {
  p.BitsPerSample = kind == pxmBitmap ? 1 : 8;
  p.SamplesPerPixel = kind == pxmPixmap ? 3 : 1;
}

void AddPxm(std::vector<TPVSaveField>& out) {
  TPVSaveField kind = Choice(
      "PXM_Kind", PVMSG_COLORS,
      {{pxmBitmap, "Bitmap (PBM)"}, {pxmGraymap, "Greymap (PGM)"}, {pxmPixmap, "Pixmap (PPM)"}},
      PxmKind, SetPxmKind);
  out.push_back(std::move(kind));
}

}  // namespace

std::string TPVSaveField::Caption(TMsgLanguage language) const {
  return Label ? std::string(Label) : pvmsg(Word, language);
}

bool TPVSaveField::Normalize(int32_t& value) const {
  switch (Kind) {
    case pfkBoolean:
      value = value != 0;
      return true;
    case pfkInteger:
      value = std::clamp(value, Min, Max);
      return true;
    case pfkColor:
      value &= 0xFFFFFF;
      return true;
    case pfkChoice:
      return std::any_of(Choices.begin(), Choices.end(),
                         [&](const TPVFieldChoice& c) { return c.Value == value; });
  }
  return false;
}

std::vector<TPVSaveField> PVSaveParamFields(int32_t fileType, const TIOParamsVals& params) {
  std::vector<TPVSaveField> out;
  switch (fileType) {
    case ftJPEG:
      AddJpeg(out);
      break;
    case ftTIFF:
      AddTiff(out, params);
      break;
    case ftPNG:
      AddPng(out);
      break;
    case ftGIF:
      AddGif(out);
      break;
    case ftBMP:
      AddBmp(out);
      break;
    case ftPCX:
      AddPcx(out);
      break;
    case ftTGA:
      AddTga(out);
      break;
    case ftPXM:
      AddPxm(out);
      break;
    default:
      break;
  }
  return out;
}

int32_t PVGetParamField(const TPVSaveField& field, const TIOParamsVals& params) {
  return field.Get ? field.Get(params) : 0;
}

bool PVSetParamField(const TPVSaveField& field, TIOParamsVals& params, int32_t value) {
  if (field.ReadOnly || !field.Set || !field.Normalize(value)) return false;
  field.Set(params, value);
  return true;
}

void PVCopySaveParams(int32_t fileType, const TIOParamsVals& source, TIOParamsVals& dest) {
  for (const TPVSaveField& f : PVSaveParamFields(fileType, source))
    if (!f.ReadOnly && f.Set) f.Set(dest, f.Get(source));
}

}  // namespace pictavo
