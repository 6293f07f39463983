// `pictavo info`: what ParamsFromFile finds in files, as text or as JSON
// with real types.  Values a file does not store are marked as defaults,
// and a file that cannot be described says why.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/cli_report.h"
#include "apps/pictavo/info_details.h"
#include "apps/pictavo/info_metafile.h"
#include "apps/pictavo/registry.h"
#include "formats/registry.h"
#include "io/pictavoio.h"

namespace pictavo::cli {
namespace {

// A resolution no file stores: readers put the system resolution where the
// file has none, so setting it to this value shows which values are filled in.
constexpr int kUnsetDpi = -7919;

std::string FormatDescription(int32_t fileType) {
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  if (!info) return std::string();
  std::string ext = PVFileFormatGetExt(fileType, 0);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return info->Description + " (" + ext + ")";
}

// Reads the parameters with the system resolution replaced by the marker;
// `defaultDpi` tells which of DpiX and DpiY the reader filled in.
void ReadParams(TPictavoIO& io, const std::string& file, bool defaultDpi[2]) {
  const int systemX = gSystemDPIX, systemY = gSystemDPIY;
  gSystemDPIX = gSystemDPIY = kUnsetDpi;
  io.ParamsFromFile(file);
  gSystemDPIX = systemX;
  gSystemDPIY = systemY;
  TIOParamsVals& p = io.IOParams();
  defaultDpi[0] = p.DpiX == kUnsetDpi;
  defaultDpi[1] = p.DpiY == kUnsetDpi;
  if (defaultDpi[0]) p.DpiX = systemX;
  if (defaultDpi[1]) p.DpiY = systemY;
}

// Why a file could not be described.
std::string FailureReason(const std::string& file, const TPictavoIO& io) {
  if (auto problem = InputFileProblem(file)) return *problem;
  const TPVError& e = io.LastError();
  if (e && !e.Message.empty()) return e.Message;
  const int32_t found = FindFileFormat(file, false);
  if (found == 0) return "not an image file of any format this program reads";
  return FormatDescription(found) +
         " by content, but its extension does not match or its reader failed";
}

InfoFields CommonFields(const TIOParamsVals& p, const bool defaultDpi[2]) {
  InfoFields f;
  auto dpi = [](int v, bool isDefault) {
    InfoValue value = InfoValue::Int(v);
    return isDefault ? value.AsDefault() : value;
  };
  f.push_back({"format", InfoValue::Str(FormatDescription(p.FileType))});
  f.push_back({"file type", InfoValue::Int(p.FileType)});
  f.push_back({"width", InfoValue::Int(p.Width)});
  f.push_back({"height", InfoValue::Int(p.Height)});
  f.push_back({"bits per sample", InfoValue::Int(p.BitsPerSample)});
  f.push_back({"samples per pixel", InfoValue::Int(p.SamplesPerPixel)});
  f.push_back({"dpi x", dpi(p.DpiX, defaultDpi[0])});
  f.push_back({"dpi y", dpi(p.DpiY, defaultDpi[1])});
  f.push_back({"palette colours", InfoValue::Int(p.ColorMapCount)});
  return f;
}

void PrintText(const std::string& file, const InfoFields& fields) {
  std::printf("%s\n", ValidUtf8(file).c_str());
  for (const InfoField& f : fields) {
    const char* mark = f.value.isDefault ? "  (default: not stored in the file)" : "";
    std::printf("  %-18s %s%s\n", (f.key + ":").c_str(), f.value.text.c_str(), mark);
    for (size_t i = 0; i < f.value.items.size(); ++i)
      std::printf("    [%zu] %s\n", i, f.value.items[i].text.c_str());
  }
}

std::string JsonObject(const std::string& file, const InfoFields& fields) {
  std::string out = "{\"file\": " + JsonString(file);
  std::vector<InfoValue> defaults;
  for (const InfoField& f : fields) {
    out += ", " + JsonString(f.key) + ": " + f.value.json;
    if (f.value.isDefault) defaults.push_back(InfoValue::Str(f.key));
  }
  return out + ", \"defaults\": " + InfoValue::List(std::move(defaults)).json + "}";
}

int RunInfo(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& a : args) (a == "--json" ? json = true : (files.push_back(a), false));
  if (files.empty()) {
    std::fprintf(stderr, "usage: pictavo info FILE... [--json]\n");
    return 2;
  }
  int status = 0;
  std::vector<std::string> objects;
  for (const std::string& file : files) {
    TPictavoIO io;
    bool defaultDpi[2] = {false, false};
    ReadParams(io, file, defaultDpi);
    TIOParamsVals& p = io.IOParams();
    if (p.FileType == 0 && MetafileParams(file, p)) defaultDpi[0] = defaultDpi[1] = true;
    if (p.FileType == 0) {
      const std::string reason = FailureReason(file, io);
      ReportFailure("read", file, reason);
      objects.push_back("{\"file\": " + JsonString(file) + ", \"error\": " + JsonString(reason) +
                        "}");
      status = 1;
      continue;
    }
    InfoFields fields = CommonFields(p, defaultDpi);
    for (const InfoDetails& d : InfoDetailsList())
      if (d.fileType == p.FileType) d.fn(file, p, fields);
    if (json)
      objects.push_back(JsonObject(file, fields));
    else
      PrintText(file, fields);
  }
  if (json) {
    std::printf("[");
    for (size_t i = 0; i < objects.size(); ++i)
      std::printf("%s\n  %s", i ? "," : "", objects[i].c_str());
    std::printf("\n]\n");
  }
  return status;
}

PICTAVO_COMMAND("info",
                "info FILE... [--json]  format, size, depth, resolution, palette and the "
                "format's own fields (EXIF, ICC, IPTC, frames, pages)",
                RunInfo);

}  // namespace
}  // namespace pictavo::cli
