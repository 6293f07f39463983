// `pictavo formats`: every format of the registry with what the library does
// with it (read, write, detect by content, several frames) and its
// extensions by use.
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "formats/codec_table.h"
#include "formats/registry.h"

namespace pictavo::cli {
namespace {

// The extensions of a built-in format that have `use`, lower case.
std::string ExtensionsFor(const TPVFormatDef& def, uint8_t use) {
  std::string list;
  for (const TPVFormatExt& ext : def.Extensions) {
    if (!(ext.Use & use)) continue;
    if (!list.empty()) list += ",";
    for (const char* c = ext.Ext; *c; ++c)
      list += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return list.empty() ? "-" : list;
}

const char* YesNo(bool b) {
  return b ? "yes" : "-";
}

// Several images in one file: frames of a GIF and pages of a TIFF are read
// and written (convert --all-frames); the images of an icon or cursor
// directory are read one at a time (--index).  Every other format holds
// one image.
const char* MultiFrame(int32_t fileType) {
  if (fileType == ftGIF || fileType == ftTIFF) return "read+write";
  if (fileType == ftICO || fileType == ftCUR) return "read";
  return "one image";
}

int RunFormats(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: pictavo formats\n");
    return 2;
  }
  std::printf("%-4s %-34s %-5s %-10s %-6s %-11s %s\n", "key", "description", "read", "write",
              "detect", "frames", "extensions");
  for (int i = 0; i < PVFileFormatCount(); ++i) {
    const TPVFileFormatInfo* info = PVFileFormatAt(i);
    const TPVFormatDef* def = PVBuiltinFormat(info->FileType);
    // WMF and EMF files are read by drawing them (by extension only).
    bool read = def ? def->Codec.Read != nullptr || def->Metafile : info->ReadFunction != nullptr;
    bool write = def ? def->Codec.Write != nullptr : info->WriteFunction != nullptr;
    bool detect = def ? !def->Signatures.empty() : info->TryFunction != nullptr;
    std::string exts = info->Extensions;
    if (def)
      exts += "  (load: " + ExtensionsFor(*def, pvExtLoad) +
              "; save: " + ExtensionsFor(*def, pvExtSave) + ")";
    std::printf("%-4d %-34s %-5s %-10s %-6s %-11s %s\n", info->FileType, info->Description.c_str(),
                YesNo(read), read && !write ? "read-only" : YesNo(write), YesNo(detect),
                MultiFrame(info->FileType), exts.c_str());
  }
  return 0;
}

PICTAVO_COMMAND("formats", "formats  list the formats with their extensions and what is supported",
                RunFormats);

}  // namespace
}  // namespace pictavo::cli
