#include "formats/codec_table.h"

#include <cctype>
#include <map>

namespace pictavo {

namespace {

// Built from the descriptions when first used.
std::map<int32_t, TBuiltinCodec>& Table() {
  static std::map<int32_t, TBuiltinCodec> table = [] {
    std::map<int32_t, TBuiltinCodec> t;
    for (const TPVFormatDef* def : PVBuiltinFormats()) t[def->FileType] = def->Codec;
    return t;
  }();
  return table;
}

bool SameIgnoringCase(const char* a, const std::string& b) {
  size_t i = 0;
  for (; a[i] && i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return a[i] == 0 && i == b.size();
}

}  // namespace

const TPVFormatDef* PVBuiltinFormat(int32_t fileType) {
  for (const TPVFormatDef* def : PVBuiltinFormats())
    if (def->FileType == fileType) return def;
  return nullptr;
}

int32_t PVBuiltinKeyOfExtension(const std::string& extension, uint8_t use) {
  for (const TPVFormatDef* def : PVBuiltinFormats())
    for (const TPVFormatExt& ext : def->Extensions)
      if ((ext.Use & use) && SameIgnoringCase(ext.Ext, extension)) return def->FileType;
  return 0;
}

std::string PVHeadText(const uint8_t* head, int limit) {
  std::string s;
  for (int i = 0; i < limit && head[i] != 0; ++i) s.push_back(static_cast<char>(head[i]));
  return s;
}

void PVRegisterBuiltinCodec(int32_t fileType, const TBuiltinCodec& codec) {
  Table()[fileType] = codec;
}

const TBuiltinCodec* PVBuiltinCodec(int32_t fileType) {
  auto it = Table().find(fileType);
  return it == Table().end() ? nullptr : &it->second;
}

}  // namespace pictavo
