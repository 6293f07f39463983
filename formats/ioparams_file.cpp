// The parameters file of TIOParamsVals (written as version 5, read from
// versions 0 to 5), field values from text, and the human-readable file-type
// description.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "core/replacefile.h"
#include "formats/ioparams.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {

// Written beside the old file and renamed over it, so a failed save keeps it.
void TIOParamsVals::SaveToFile(const std::string& name) {
  PVReplaceFileOrRaise(name, [this](TStream& out) { SaveToStream(out); });
}

void TIOParamsVals::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TIOParamsVals::SaveToStream(TStream& stream) {
  TPVParamsWriter(stream).I32(kPVParamsFileVersion);
  PVWriteFields(stream, *this, PVIOParamsFields());
}

void TIOParamsVals::LoadFromStream(TStream& stream) {
  int32_t version = TPVParamsReader(stream).I32();
  if (version < 0 || version > kPVParamsFileVersion)
    throw EReadError("Unsupported parameters version " + std::to_string(version));
  PVReadFields(stream, *this, version, PVIOParamsFields());
}

// --- Parsing of field values from text -----------------------------------

int32_t PVParseInt(const std::string& v, const char* field) {
  errno = 0;
  char* end = nullptr;
  long long n = std::strtoll(v.c_str(), &end, 0);
  if (v.empty() || *end != 0 || errno != 0 || n < INT32_MIN || n > INT32_MAX)
    throw std::invalid_argument(std::string(field) + ": \"" + v + "\" is not an integer");
  return static_cast<int32_t>(n);
}

double PVParseDouble(const std::string& v, const char* field) {
  char* end = nullptr;
  double d = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != 0)
    throw std::invalid_argument(std::string(field) + ": \"" + v + "\" is not a number");
  return d;
}

bool PVParseBool(const std::string& v, const char* field) {
  std::string s;
  for (char c : v) s.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (s == "1" || s == "true" || s == "yes" || s == "on") return true;
  if (s == "0" || s == "false" || s == "no" || s == "off") return false;
  throw std::invalid_argument(std::string(field) + ": \"" + v + "\" is not a boolean");
}

TRGB PVParseRGB(const std::string& v, const char* field) {
  int r, g, b;
  char tail;
  if (std::sscanf(v.c_str(), "%d,%d,%d%c", &r, &g, &b, &tail) != 3 || r < 0 || r > 255 || g < 0 ||
      g > 255 || b < 0 || b > 255)
    throw std::invalid_argument(std::string(field) + ": \"" + v +
                                "\" is not R,G,B with values 0..255");
  TRGB c;
  c.r = static_cast<uint8_t>(r);
  c.g = static_cast<uint8_t>(g);
  c.b = static_cast<uint8_t>(b);
  return c;
}

uint8_t PVParseEnum(const std::string& v, const char* field, const char* const* names,
                    size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (v == names[i]) return static_cast<uint8_t>(i);
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  if (!v.empty() && *end == 0 && n >= 0 && n < static_cast<long>(count))
    return static_cast<uint8_t>(n);
  std::string list;
  for (size_t i = 0; i < count; ++i) list += std::string(list.empty() ? "" : ", ") + names[i];
  throw std::invalid_argument(std::string(field) + ": \"" + v + "\" is not one of " + list);
}

void PVFieldNotSettable(const char* field) {
  throw std::invalid_argument(std::string(field) + " cannot be set from the command line");
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
      static const char* const names[] = {" Uncompressed",   " Huffman",     " Group 3 Fax",
                                          " Group 3 Fax 2D", " Group 4 Fax", " LZW",
                                          " Jpeg v.5",       " Jpeg",        " PackBits RLE",
                                          " Deflate"};
      if (TIFF_Compression <= ioTIFF_DEFLATE) text += names[TIFF_Compression];
      break;
    }
    case ftGIF:
      if (GIF_Interlaced) text += " Interlaced";
      break;
    case ftJPEG:
      switch (JPEG_ColorSpace) {
        case ioJPEG_GRAYLEV:
          text += " Gray level";
          break;
        case ioJPEG_YCbCr:
          text += " YCbCr";
          break;
        case ioJPEG_CMYK:
          text += " CMYK";
          break;
        case ioJPEG_YCbCrK:
          text += " YCbCrK";
          break;
        default:
          break;
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
    default:
      break;
  }
  return text;
}

}  // namespace pictavo
