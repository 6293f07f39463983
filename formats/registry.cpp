#include "formats/registry.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "formats/codec_table.h"

namespace pictavo {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitExtensions(const std::string& list) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) parts.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// One row per built-in format, from its description.
std::vector<std::unique_ptr<TPVFileFormatInfo>> BuiltIn() {
  std::vector<std::unique_ptr<TPVFileFormatInfo>> list;
  for (const TPVFormatDef* def : PVBuiltinFormats()) {
    auto info = std::make_unique<TPVFileFormatInfo>();
    info->FileType = def->FileType;
    info->Description = def->Description;
    for (const TPVFormatExt& ext : def->Extensions) {
      if (!(ext.Use & pvExtListed)) continue;
      if (!info->Extensions.empty()) info->Extensions += ';';
      info->Extensions += ext.Ext;
    }
    list.push_back(std::move(info));
  }
  return list;
}

// Built when first used, which is before any caller can see it.
std::vector<std::unique_ptr<TPVFileFormatInfo>>& Registry() {
  static std::vector<std::unique_ptr<TPVFileFormatInfo>> registry = BuiltIn();
  return registry;
}

}  // namespace

void PVFileFormatAdd(const TPVFileFormatInfo& info) {
  auto copy = std::make_unique<TPVFileFormatInfo>(info);
  if (copy->Description.size() > 80) copy->Description.resize(80);
  if (copy->Extensions.size() > 80) copy->Extensions.resize(80);
  Registry().push_back(std::move(copy));
}

void PVFileFormatRemove(int32_t fileType) {
  auto& reg = Registry();
  auto it =
      std::find_if(reg.begin(), reg.end(), [&](const auto& e) { return e->FileType == fileType; });
  if (it != reg.end()) reg.erase(it);
}

const TPVFileFormatInfo* PVFileFormatGetInfo(int32_t fileType) {
  for (const auto& e : Registry())
    if (e->FileType == fileType) return e.get();
  return nullptr;
}

const TPVFileFormatInfo* PVFileFormatGetInfo2(const std::string& extension) {
  std::string ext = Lower(extension);
  for (const auto& e : Registry())
    for (const std::string& candidate : SplitExtensions(e->Extensions))
      if (Lower(candidate) == ext) return e.get();
  return nullptr;
}

std::string PVFileFormatGetExt(int32_t fileType, int index) {
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  if (!info || index < 0) return std::string();
  auto parts = SplitExtensions(info->Extensions);
  return static_cast<size_t>(index) < parts.size() ? parts[index] : std::string();
}

int PVFileFormatGetExtCount(int32_t fileType) {
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  return info ? static_cast<int>(SplitExtensions(info->Extensions).size()) : 0;
}

int PVFileFormatCount() {
  return static_cast<int>(Registry().size());
}

const TPVFileFormatInfo* PVFileFormatAt(int index) {
  auto& reg = Registry();
  return index >= 0 && static_cast<size_t>(index) < reg.size() ? reg[index].get() : nullptr;
}

}  // namespace pictavo
