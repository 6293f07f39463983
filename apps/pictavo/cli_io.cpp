// `pictavo info` and `pictavo convert`: what ParamsFromFile finds in files,
// and conversion between formats with parameters set from the command line.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/pictavo/info_details.h"
#include "apps/pictavo/info_metafile.h"
#include "apps/pictavo/registry.h"
#include "formats/registry.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

// --- Output helpers ----------------------------------------------------------

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

// The format's description and first extension, as the registry has them.
std::string FormatDescription(int32_t fileType) {
  const TPVFileFormatInfo* info = PVFileFormatGetInfo(fileType);
  if (!info) return std::string();
  std::string ext = PVFileFormatGetExt(fileType, 0);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return info->Description + " (" + ext + ")";
}

class ProgressBar {
 public:
  explicit ProgressBar(const std::string& label) : label_(label), on_(isatty(2) == 1) {}
  ~ProgressBar() { Done(); }
  void Attach(TPictavoIO& io) {
    if (!on_) return;
    io.OnProgress = [this](TObject*, int per) { Show(per); };
  }
  void Show(int per) {
    if (!on_ || per == last_) return;
    last_ = per;
    per = per < 0 ? 0 : per > 100 ? 100 : per;
    int filled = per * 30 / 100;
    std::fprintf(stderr, "\r%-8s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(30 - filled, ' ').c_str(), per);
    std::fflush(stderr);
    shown_ = true;
  }
  void Done() {
    if (shown_) std::fprintf(stderr, "\n");
    shown_ = false;
  }

 private:
  std::string label_;
  bool on_;
  bool shown_ = false;
  int last_ = -1;
};

// --- info --------------------------------------------------------------------

int RunInfo(const std::vector<std::string>& args) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (a == "--json")
      json = true;
    else
      files.push_back(a);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: pictavo info FILE... [--json]\n");
    return 2;
  }
  int status = 0;
  bool firstJson = true;
  if (json) std::printf("[");
  for (const std::string& file : files) {
    TPictavoIO io;
    io.ParamsFromFile(file);
    TIOParamsVals& p = io.IOParams();
    if (p.FileType == 0) MetafileParams(file, p);  // metafiles are not found by content
    if (p.FileType == 0) {
      int32_t found = FindFileFormat(file, false);
      if (found == 0)
        std::fprintf(stderr, "cannot read %s: not a recognised image file\n", file.c_str());
      else
        std::fprintf(
            stderr,
            "cannot read %s: %s by content, but its extension does not match or its reader "
            "failed\n",
            file.c_str(), FormatDescription(found).c_str());
      status = 1;
      continue;
    }
    InfoFields fields;
    fields.emplace_back("format", FormatDescription(p.FileType));
    fields.emplace_back("file type", std::to_string(p.FileType));
    fields.emplace_back("size", std::to_string(p.Width) + " x " + std::to_string(p.Height));
    fields.emplace_back("depth", std::to_string(p.BitsPerSample) + " x " +
                                     std::to_string(p.SamplesPerPixel) + " = " +
                                     std::to_string(p.BitsPerSample * p.SamplesPerPixel) + " bits");
    fields.emplace_back("resolution",
                        std::to_string(p.DpiX) + " x " + std::to_string(p.DpiY) + " dpi");
    fields.emplace_back("palette", std::to_string(p.ColorMapCount) + " colours");
    for (const InfoDetails& d : InfoDetailsList())
      if (d.fileType == p.FileType) d.fn(file, p, fields);
    if (json) {
      std::printf("%s\n  {\"file\": %s", firstJson ? "" : ",", JsonString(file).c_str());
      firstJson = false;
      for (const auto& [k, v] : fields)
        std::printf(", %s: %s", JsonString(k).c_str(), JsonString(v).c_str());
      std::printf("}");
    } else {
      std::printf("%s\n", file.c_str());
      for (const auto& [k, v] : fields) std::printf("  %-12s %s\n", (k + ":").c_str(), v.c_str());
    }
  }
  if (json) std::printf("\n]\n");
  return status;
}

PICTAVO_COMMAND(
    "info", "info FILE... [--json]  print format, size, depth, resolution and the format's fields",
    RunInfo);

// --- convert -----------------------------------------------------------------

struct ConvertArgs {
  std::string in, out;
  std::vector<std::pair<std::string, std::string>> params;
  int index = -1;
};

// Parses IN OUT [--index N] [--param FIELD=VALUE]...; prints the problem and
// returns false on a usage error.
bool ParseConvertArgs(const std::vector<std::string>& args, ConvertArgs& c) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--index" && a != "--param") {
      files.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      std::fprintf(stderr, "pictavo convert: %s needs a value\n", a.c_str());
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--index") {
      try {
        c.index = PVParseInt(v, "--index");
      } catch (const std::exception& e) {
        std::fprintf(stderr, "pictavo convert: %s\n", e.what());
        return false;
      }
      continue;
    }
    size_t eq = v.find('=');
    if (eq == std::string::npos || eq == 0) {
      std::fprintf(stderr, "pictavo convert: --param wants FIELD=VALUE, got \"%s\"\n", v.c_str());
      return false;
    }
    c.params.emplace_back(v.substr(0, eq), v.substr(eq + 1));
  }
  if (files.size() != 2) {
    std::fprintf(stderr, "usage: pictavo convert IN OUT [--index N] [--param FIELD=VALUE]...\n");
    return false;
  }
  c.in = files[0];
  c.out = files[1];
  for (const auto& param : c.params)
    if (!PVHasField(PVIOParamsFields(), param.first)) {
      std::fprintf(stderr, "pictavo convert: unknown field \"%s\"\n", param.first.c_str());
      return false;
    }
  return true;
}

// Loads by extension; an extension nobody knows falls back to the content
// (a listed extension without a reader, such as .pix, too).  Prints the
// problem and returns false on failure.
bool LoadForConvert(TPictavoIO& io, const std::string& in) {
  TIOParamsVals& p = io.IOParams();
  ProgressBar bar("reading");
  bar.Attach(io);
  try {
    std::string ext = PVLowerExtension(in);
    bool loaded = false;
    if (PVFileFormatGetInfo2(ext)) {
      io.LoadFromFile(in);
      loaded = !(io.Aborting && p.FileType == 0);
    }
    if (!loaded) {
      TFileStream stream(in, fmOpenRead | fmShareDenyWrite);
      io.LoadFromStream(stream);
      if (!io.Aborting) p.FileName = in;
    }
  } catch (const std::exception& e) {
    bar.Done();
    std::fprintf(stderr, "cannot read %s: %s\n", in.c_str(), e.what());
    return false;
  }
  bar.Done();
  if (io.Aborting || io.GetAttachedBitmap()->Empty()) {
    std::fprintf(stderr, "cannot read %s: %s\n", in.c_str(),
                 p.FileType == 0 ? "not a recognised image file or no reader for its format"
                                 : "the file is damaged or its reader failed");
    return false;
  }
  return true;
}

// The writer's parameters: the depth a netpbm extension stands for, then the
// --param values (which win).  Returns false on an invalid value.
bool SetWriterParams(TIOParamsVals& p, const ConvertArgs& c) {
  std::string ext = std::filesystem::path(c.out).extension().string();
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (ext == ".ppm") p.BitsPerSample = 8, p.SamplesPerPixel = 3;
  if (ext == ".pgm") p.BitsPerSample = 8, p.SamplesPerPixel = 1;
  if (ext == ".pbm") p.BitsPerSample = 1, p.SamplesPerPixel = 1;
  for (const auto& [field, value] : c.params) {
    try {
      PVSetFieldText(p, PVIOParamsFields(), field, value);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "pictavo convert: %s\n", e.what());
      return false;
    }
  }
  return true;
}

bool SaveForConvert(TPictavoIO& io, const std::string& out) {
  ProgressBar bar("writing");
  bar.Attach(io);
  try {
    io.SaveToFile(out);
  } catch (const std::exception& e) {
    bar.Done();
    std::fprintf(stderr, "cannot write %s: %s\n", out.c_str(), e.what());
    return false;
  }
  bar.Done();
  if (io.Aborting) {
    std::fprintf(stderr, "cannot write %s: no writer for this extension or the writer failed\n",
                 out.c_str());
    return false;
  }
  return true;
}

int RunConvert(const std::vector<std::string>& args) {
  ConvertArgs c;
  if (!ParseConvertArgs(args, c)) return 2;
  TBitmap bitmap;
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  TIOParamsVals& p = io.IOParams();
  if (c.index >= 0)
    p.GIF_ImageIndex = p.TIFF_ImageIndex = p.ICO_ImageIndex = p.CUR_ImageIndex = c.index;
  if (!LoadForConvert(io, c.in)) return 1;
  if (!SetWriterParams(p, c)) return 2;
  if (!SaveForConvert(io, c.out)) return 1;
  std::printf("%s -> %s (%d x %d)\n", c.in.c_str(), c.out.c_str(), bitmap.GetWidth(),
              bitmap.GetHeight());
  return 0;
}

PICTAVO_COMMAND(
    "convert",
    "convert IN OUT [--index N] [--param FIELD=VALUE]...  load IN, save OUT by its extension",
    RunConvert);

}  // namespace
}  // namespace pictavo::cli
