// `pictavo convert`: one file to another (IN OUT), many files into a folder
// (IN... -o DIR --format EXT), standard input and output as "-", every
// frame of a GIF or TIFF with --all-frames, and --param FIELD=VALUE checked
// before anything is read or written.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "apps/pictavo/cli_report.h"
#include "apps/pictavo/field_check.h"
#include "apps/pictavo/input_image.h"
#include "apps/pictavo/jpeg_quality.h"
#include "apps/pictavo/registry.h"
#include "formats/codec_table.h"
#include "formats/registry.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

namespace pictavo::cli {
namespace {

constexpr int kUsageError = 2, kFailure = 1;
// The JPEG quality of a conversion from a source that is not a JPEG.
constexpr int kConvertJpegQuality = 90;

constexpr const char* kUsage =
    "usage: pictavo convert IN OUT [options]\n"
    "       pictavo convert IN... -o DIR --format EXT [options]\n"
    "  IN or OUT \"-\" is standard input or output (the format from content or --format)\n"
    "options:\n"
    "  --format EXT          output format by extension (png, jpg, tif, ...)\n"
    "  --index N             the frame, page or icon image to read (default 0)\n"
    "  --all-frames          every frame or page of a GIF or TIFF into a GIF or TIFF\n"
    "  --param FIELD=VALUE   an I/O parameter (pictavo fields lists them)\n"
    "  -o DIR                convert each IN into DIR, keeping its name\n";

struct ConvertArgs {
  std::vector<std::string> inputs;
  std::string out, outDir, format;
  std::vector<std::pair<std::string, std::string>> params;
  int index = -1;
  bool allFrames = false;
  bool batch = false;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The file type a name's extension (or a bare extension) saves as; 0 when
// no writer has it.
int32_t WriterFor(const std::string& extension) {
  std::string ext = Lower(extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  const TPVFileFormatInfo* info = PVFileFormatGetInfo2(ext);
  if (!info) return 0;
  const TPVFormatDef* def = PVBuiltinFormat(info->FileType);
  const bool writes = def ? def->Codec.Write != nullptr : info->WriteFunction != nullptr;
  return writes ? info->FileType : 0;
}

bool Usage(const std::string& problem) {
  std::fprintf(stderr, "pictavo convert: %s\n%s", problem.c_str(), kUsage);
  return false;
}

bool TakeOption(const std::vector<std::string>& args, size_t& i, ConvertArgs& c) {
  const std::string& a = args[i];
  if (a == "--all-frames") {
    c.allFrames = true;
    return true;
  }
  if (i + 1 >= args.size()) return Usage(a + " needs a value");
  const std::string& v = args[++i];
  if (a == "--index") {
    try {
      c.index = PVParseInt(v, "--index");
    } catch (const std::exception& e) {
      return Usage(e.what());
    }
    if (c.index < 0) return Usage("--index must be 0 or more, got " + v);
  } else if (a == "--format") {
    c.format = v;
  } else if (a == "-o") {
    c.outDir = v;
    c.batch = true;
  } else {  // --param
    const size_t eq = v.find('=');
    if (eq == std::string::npos || eq == 0)
      return Usage("--param wants FIELD=VALUE, got \"" + v + "\"");
    c.params.emplace_back(v.substr(0, eq), v.substr(eq + 1));
  }
  return true;
}

bool IsOption(const std::string& a) {
  return a == "--index" || a == "--param" || a == "--format" || a == "-o" || a == "--all-frames";
}

// Reads the arguments and checks everything that can be checked before a
// file is touched; prints the problem and returns false on a usage error.
bool ParseConvertArgs(const std::vector<std::string>& args, ConvertArgs& c) {
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (IsOption(args[i])) {
      if (!TakeOption(args, i, c)) return false;
    } else if (args[i].size() > 1 && args[i][0] == '-' && args[i] != "--") {
      return Usage("unknown option " + args[i]);
    } else {
      files.push_back(args[i]);
    }
  }
  if (c.batch) {
    if (files.empty()) return Usage("no input files");
    if (c.outDir.empty()) return Usage("-o needs a folder name");
    c.inputs = files;
  } else {
    if (files.size() != 2)
      return Usage(files.size() < 2 ? "missing output name" : "too many names");
    c.inputs = {files[0]};
    c.out = files[1];
    if (c.out.empty()) return Usage("the output name is empty");
    if (c.inputs[0].empty()) return Usage("the input name is empty");
  }
  if (!c.format.empty() && WriterFor(c.format) == 0)
    return Usage("no writer for format \"" + c.format + "\" (pictavo formats lists them)");
  TIOParamsVals scratch;
  for (const auto& [field, value] : c.params)
    if (auto problem = SetCheckedField(scratch, field, value)) return Usage(*problem);
  return true;
}

bool HasParam(const ConvertArgs& c, const char* field) {
  for (const auto& p : c.params)
    if (p.first == field) return true;
  return false;
}

// The output's file type: --format, else the output name's extension, else
// (standard output) the source's own format.
int32_t OutputType(const ConvertArgs& c, const std::string& out, int32_t sourceType) {
  if (!c.format.empty()) return WriterFor(c.format);
  if (out == kStdStream) return sourceType;
  return WriterFor(std::filesystem::path(out).extension().string());
}

// The writer's parameters: the depth a netpbm extension stands for, the
// JPEG quality rule, then the --param values (which win).
void SetWriterParams(TIOParamsVals& p, const ConvertArgs& c, const std::string& in,
                     const std::string& out, int32_t sourceType, const std::string* stdinData) {
  const std::string ext = Lower(std::filesystem::path(out).extension().string());
  if (ext == ".ppm") p.BitsPerSample = 8, p.SamplesPerPixel = 3;
  if (ext == ".pgm") p.BitsPerSample = 8, p.SamplesPerPixel = 1;
  if (ext == ".pbm") p.BitsPerSample = 1, p.SamplesPerPixel = 1;
  if (!HasParam(c, "JPEG_Quality")) {
    std::optional<int> quality;
    if (sourceType == ftJPEG)
      quality = in == kStdStream && stdinData
                    ? EstimateJpegQuality(reinterpret_cast<const uint8_t*>(stdinData->data()),
                                          stdinData->size())
                    : EstimateJpegQualityOfFile(in);
    p.JPEG_Quality = quality.value_or(kConvertJpegQuality);
  }
  for (const auto& [field, value] : c.params) SetCheckedField(p, field, value);
}

bool WriteStandardOutput(TPictavoIO& io, int32_t fileType) {
  TMemoryStream stream;
  io.SaveToStream(stream, fileType);
  if (io.Aborting) return false;
  const size_t size = static_cast<size_t>(stream.GetSize());
  return std::fwrite(stream.Memory(), 1, size, stdout) == size && std::fflush(stdout) == 0;
}

// Saves the loaded image; prints the reason on failure.
bool Save(TPictavoIO& io, const std::string& out, int32_t fileType) {
  ProgressBar bar("writing", out);
  bar.Attach(io);
  bool ok;
  try {
    ok = out == kStdStream ? WriteStandardOutput(io, fileType) : (io.SaveToFile(out), !io.Aborting);
  } catch (const std::exception& e) {
    bar.Done();
    ReportFailure("write", out, e.what());
    return false;
  }
  if (ok) bar.Finish();
  bar.Done();
  if (!ok) ReportFailure("write", out, io, "the writer failed");
  return ok;
}

int FrameCount(const TIOParamsVals& p) {
  if (p.FileType == ftGIF) return p.GIF_ImageCount;
  if (p.FileType == ftTIFF) return p.TIFF_ImageCount;
  return 1;
}

// Frames 1.. of the source appended to the multi-frame output.
bool AppendFrames(const ConvertArgs& c, const std::string& in, const std::string& out,
                  int32_t outType, int count, const std::string* stdinData) {
  for (int i = 1; i < count; ++i) {
    TBitmap frame;
    TPictavoIO io;
    io.SetAttachedBitmap(&frame);
    if (auto reason = LoadInput(io, in, i, stdinData)) {
      ReportFailure("read", in + " frame " + std::to_string(i), *reason);
      return false;
    }
    TIOParamsVals& p = io.IOParams();
    p.GIF_ImageIndex = p.TIFF_ImageIndex = i;
    for (const auto& [field, value] : c.params) SetCheckedField(p, field, value);
    ProgressBar bar("writing", out + " frame " + std::to_string(i));
    bar.Attach(io);
    const int result = outType == ftGIF ? io.InsertToFileGif(out) : io.InsertToFileTIFF(out);
    if (!io.Aborting && result > 0) bar.Finish();
    bar.Done();
    if (io.Aborting || result <= 0) {
      ReportFailure("write", out + " frame " + std::to_string(i), io, "the frame was not added");
      return false;
    }
  }
  return true;
}

// Whether a failed conversion's reason lies with the source file.
bool SourceFailure(TPVErrorCode code) {
  switch (code) {
    case TPVErrorCode::FileNotFound:
    case TPVErrorCode::NotAFile:
    case TPVErrorCode::ReadError:
    case TPVErrorCode::UnknownFormat:
    case TPVErrorCode::Unsupported:
    case TPVErrorCode::Corrupt:
    case TPVErrorCode::Truncated:
    case TPVErrorCode::PixelLimit:
    case TPVErrorCode::DecodeRatio:
      return true;
    default:
      return false;
  }
}

// A PPM, PGM or BMP file into a JPEG or PNG file goes through
// TPictavoIO::ConvertFile, which streams the rows where it can, so a huge
// scan is never held whole. Nothing is
// returned when that way does not apply, or when the input is not the PNM
// file its name says: the caller then loads it as usual (by content).
std::optional<bool> ConvertByRows(const ConvertArgs& c, const std::string& in,
                                  const std::string& out) {
  if (in == kStdStream || out == kStdStream || c.allFrames) return std::nullopt;
  const std::string inExt = PVLowerExtension(in);
  if (inExt != "ppm" && inExt != "pgm" && inExt != "pxm" && inExt != "bmp") return std::nullopt;
  const int32_t outType = OutputType(c, out, ftPXM);
  // ConvertFile picks the writer by the name, so --format must agree with it.
  if ((outType != ftJPEG && outType != ftPNG) ||
      outType != WriterFor(std::filesystem::path(out).extension().string()))
    return std::nullopt;
  if (InputFileProblem(in)) return std::nullopt;  // the usual load reports it
  TPictavoIO io;
  ProgressBar bar("writing", out);
  bar.Attach(io);
  try {
    io.ConvertFile(in, out,
                   [&](TIOParamsVals& p) { SetWriterParams(p, c, in, out, ftPXM, nullptr); });
  } catch (const std::exception&) {
    bar.Done();
    return std::nullopt;  // the file went away: the usual load says why
  }
  const TPVErrorCode code = io.LastError().Code;
  if (io.Aborting && code == TPVErrorCode::UnknownFormat) {
    bar.Done();
    return std::nullopt;
  }
  if (io.Aborting) {
    bar.Done();
    if (SourceFailure(code))
      ReportFailure("read", in, io, "the reader failed");
    else
      ReportFailure("write", out, io, "the writer failed");
    return false;
  }
  bar.Finish();
  bar.Done();
  ReportWarnings(in, io);
  std::printf("%s -> %s (%d x %d)\n", in.c_str(), out.c_str(), io.IOParams().Width,
              io.IOParams().Height);
  return true;
}

// Converts one file; prints what happened.  `stdinData` is standard input
// when `in` is "-".
bool ConvertOne(const ConvertArgs& c, const std::string& in, const std::string& out,
                const std::string* stdinData) {
  if (std::optional<bool> done = ConvertByRows(c, in, out)) return *done;
  TBitmap bitmap;
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  {
    ProgressBar bar("reading", in);
    bar.Attach(io);
    if (auto reason = LoadInput(io, in, c.allFrames ? 0 : c.index, stdinData)) {
      bar.Done();
      ReportFailure("read", in, *reason);
      return false;
    }
    bar.Finish();
  }
  ReportWarnings(in, io);
  TIOParamsVals& p = io.IOParams();
  const int32_t sourceType = p.FileType;
  const int frames = c.allFrames ? FrameCount(p) : 1;
  const int32_t outType = OutputType(c, out, sourceType);
  if (outType == 0) {
    ReportFailure("write", out, "no writer for this extension (pictavo formats lists them)");
    return false;
  }
  if (c.allFrames && outType != ftGIF && outType != ftTIFF) {
    ReportFailure("write", out,
                  "--all-frames needs a GIF or TIFF output; other formats hold one image");
    return false;
  }
  SetWriterParams(p, c, in, out, sourceType, stdinData);
  if (c.allFrames) p.GIF_ImageIndex = p.TIFF_ImageIndex = 0;
  if (!Save(io, out, outType)) return false;
  if (frames > 1 && !AppendFrames(c, in, out, outType, frames, stdinData)) return false;
  if (out != kStdStream)
    std::printf("%s -> %s (%d x %d%s)\n", in.c_str(), out.c_str(), bitmap.GetWidth(),
                bitmap.GetHeight(),
                frames > 1 ? (", " + std::to_string(frames) + " frames").c_str() : "");
  return true;
}

// IN... -o DIR: each input keeps its name with the --format extension (or
// its own); one failure does not stop the others.
int ConvertBatch(const ConvertArgs& c, const std::string* stdinData) {
  std::error_code ec;
  std::filesystem::create_directories(c.outDir, ec);
  if (ec) {
    ReportFailure("write", c.outDir, ec.message());
    return kFailure;
  }
  int failed = 0;
  std::set<std::string> written;
  for (const std::string& in : c.inputs) {
    const std::filesystem::path source(in == kStdStream ? "stdin" : in);
    std::string ext = c.format.empty() ? source.extension().string() : "." + Lower(c.format);
    const std::string out = (std::filesystem::path(c.outDir) / source.stem()).string() + ext;
    // Two inputs of the same name (a.png, a.gif) would write one output.
    if (written.count(out)) {
      ReportFailure("write", out, "already written from another input of the same name");
      ++failed;
      continue;
    }
    if (ConvertOne(c, in, out, stdinData))
      written.insert(out);
    else
      ++failed;
  }
  std::printf("%zu files: %zu converted, %d failed\n", c.inputs.size(), c.inputs.size() - failed,
              failed);
  return failed ? kFailure : 0;
}

int RunConvert(const std::vector<std::string>& args) {
  ConvertArgs c;
  if (!ParseConvertArgs(args, c)) return kUsageError;
  std::string stdinData;
  for (const std::string& in : c.inputs)
    if (in == kStdStream) {
      stdinData = ReadStandardInput();
      break;
    }
  if (c.batch) return ConvertBatch(c, &stdinData);
  if (c.out == kStdStream && c.allFrames) {
    Usage("--all-frames writes a file, not standard output");
    return kUsageError;
  }
  return ConvertOne(c, c.inputs[0], c.out, &stdinData) ? 0 : kFailure;
}

PICTAVO_COMMAND("convert",
                "convert IN OUT | IN... -o DIR [--format EXT] [--index N] [--all-frames] "
                "[--param FIELD=VALUE]...  convert images",
                RunConvert);

}  // namespace
}  // namespace pictavo::cli
