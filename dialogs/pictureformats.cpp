#include "dialogs/pictureformats.h"

#include <algorithm>
#include <cctype>

#include "io/codec_table.h"
#include "io/registry.h"

namespace pictavo {
namespace {

struct BuiltinExtensions {
  int32_t fileType;
  std::vector<std::string> load;
  std::vector<std::string> save;
};

// The extensions LoadFromFile and SaveToFile handle themselves, per key.
const std::vector<BuiltinExtensions>& Builtins() {
  static const std::vector<BuiltinExtensions> table = {
      {ftTIFF, {"tif", "tiff"}, {"tif", "tiff"}},
      {ftGIF, {"gif"}, {"gif"}},
      {ftJPEG, {"jpg", "jpeg", "jpe"}, {"jpg", "jpeg"}},
      {ftPCX, {"pcx"}, {"pcx"}},
      {ftBMP, {"bmp", "dib", "rle"}, {"bmp"}},
      {ftICO, {"ico"}, {}},
      {ftCUR, {"cur"}, {}},
      {ftPNG, {"png"}, {"png"}},
      {ftTGA, {"tga", "targa", "vda", "icb", "vst", "win"}, {"tga"}},
      {ftPXM, {"pxm", "ppm", "pgm", "pbm"}, {"pxm", "pbm", "pgm", "ppm"}},
  };
  return table;
}

const BuiltinExtensions* FindBuiltin(int32_t key) {
  for (const auto& b : Builtins())
    if (b.fileType == key) return &b;
  return nullptr;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The registry's "JPG;JPEG" as lower-case items.
std::vector<std::string> SplitExtensions(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string item = Lower(list.substr(start, end - start));
    if (!item.empty()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

std::vector<TPVPictureFormat> Collect(bool writing) {
  std::vector<TPVPictureFormat> formats;
  for (int i = 0; i < PVFileFormatCount(); ++i) {
    const TPVFileFormatInfo* info = PVFileFormatAt(i);
    if (!info) continue;
    TPVPictureFormat f{info->FileType, info->Description, {}};
    if (const BuiltinExtensions* b = FindBuiltin(info->FileType)) {
      const TBuiltinCodec* codec = PVBuiltinCodec(info->FileType);
      bool usable = codec && (writing ? codec->Write != nullptr : codec->Read != nullptr);
      if (!usable) continue;
      f.Extensions = writing ? b->save : b->load;
    } else if (info->FileType == ftWMF || info->FileType == ftEMF) {
      continue;  // imported through the platform's metafile player, not a codec
    } else {
      if (writing ? !info->WriteFunction : !info->ReadFunction) continue;
      f.Extensions = SplitExtensions(info->Extensions);
    }
    if (f.Extensions.empty()) continue;
    if (!PVFindFormat(formats, f.FileType)) formats.push_back(std::move(f));
  }
  return formats;
}

}  // namespace

std::vector<TPVPictureFormat> PVReadableFormats() {
  return Collect(false);
}
std::vector<TPVPictureFormat> PVWritableFormats() {
  return Collect(true);
}

int32_t PVWritableFormatOfExtension(const std::string& extension) {
  std::string ext = Lower(extension);
  if (ext.empty()) return 0;
  for (const TPVPictureFormat& f : PVWritableFormats())
    if (std::find(f.Extensions.begin(), f.Extensions.end(), ext) != f.Extensions.end())
      return f.FileType;
  return 0;
}

const TPVPictureFormat* PVFindFormat(const std::vector<TPVPictureFormat>& formats,
                                     int32_t fileType) {
  for (const TPVPictureFormat& f : formats)
    if (f.FileType == fileType) return &f;
  return nullptr;
}

std::string PVFormatPatterns(const TPVPictureFormat& format) {
  std::string out;
  for (const std::string& ext : format.Extensions) {
    if (!out.empty()) out += ';';
    out += "*." + ext;
  }
  return out;
}

}  // namespace pictavo
