// JPEG and PNG details of `pictavo info`, and `pictavo iptc`, which lists,
// adds, replaces and deletes the IPTC records of a JPEG file without
// recompressing it.
#include <png.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "apps/pictavo/info_details.h"
#include "apps/pictavo/info_exif.h"
#include "apps/pictavo/registry.h"
#include "codecs/jpeg.h"
#include "core/replacefile.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

// Control bytes (the ESC of the coded-character-set record) as \xHH.
std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::string MarkerName(uint8_t type) {
  if (type == 0xFE) return "COM";
  if (type >= 0xE0 && type <= 0xEF) return "APP" + std::to_string(type - 0xE0);
  return "0x" + std::to_string(type);
}

// IPTC of the first APP13 marker.
void IptcFromMarkers(TIOParamsVals& params) {
  const int i = params.JPEG_MarkerList.IndexOf(0xED);
  params.IPTC_Info.Clear();
  if (i >= 0)
    params.IPTC_Info.LoadFromStandardBuffer(params.JPEG_MarkerList.GetMarkerData(i),
                                            params.JPEG_MarkerList.GetMarkerLength(i));
}

InfoValue IptcList(const TPVIPTCInfoList& iptc) {
  std::vector<InfoValue> records;
  for (int i = 0; i < iptc.GetCount(); ++i)
    records.push_back(InfoValue::Object({{"record", InfoValue::Int(iptc.GetRecordNumber(i))},
                                         {"dataset", InfoValue::Int(iptc.GetDataSet(i))},
                                         {"text", InfoValue::Str(Printable(iptc.GetStrings(i)))}}));
  return InfoValue::List(std::move(records));
}

void JpegDetails(const std::string&, TIOParamsVals& params, InfoFields& fields) {
  fields.push_back({"JPEG_ColorSpace", InfoValue::Int(params.JPEG_ColorSpace)});
  fields.push_back({"JPEG_Progressive", InfoValue::Bool(params.JPEG_Progressive)});
  TPVMarkerList& m = params.JPEG_MarkerList;
  std::vector<InfoValue> markers;
  for (int i = 0; i < m.GetCount(); ++i)
    markers.push_back(InfoValue::Object({{"marker", InfoValue::Str(MarkerName(m.GetMarkerType(i)))},
                                         {"length", InfoValue::Int(m.GetMarkerLength(i))}}));
  fields.push_back({"markers", InfoValue::List(std::move(markers))});
  AddExifAndIcc(m, fields);
  IptcFromMarkers(params);
  fields.push_back({"IPTC", IptcList(params.IPTC_Info)});
}

void PngDetails(const std::string& name, TIOParamsVals& params, InfoFields& fields) {
  fields.push_back({"PNG_Interlaced", InfoValue::Bool(params.PNG_Interlaced)});
  fields.push_back({"BitDepth", InfoValue::Int(params.BitsPerSample)});
  // The chunks themselves, read with libpng.
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_read_info(png, info);
    static const char* kTypes[] = {"grey", "?", "RGB", "palette", "grey+alpha", "?", "RGBA"};
    const int ct = png_get_color_type(png, info);
    fields.push_back({"ColorType", InfoValue::Int(ct)});
    fields.push_back({"ColorType name", InfoValue::Str(ct >= 0 && ct <= 6 ? kTypes[ct] : "?")});
    png_color_16p bg;
    if (png_get_bKGD(png, info, &bg))
      fields.push_back({"bKGD", ct == 3 ? InfoValue::Object({{"index", InfoValue::Int(bg->index)}})
                                        : InfoValue::Object({{"red", InfoValue::Int(bg->red)},
                                                             {"green", InfoValue::Int(bg->green)},
                                                             {"blue", InfoValue::Int(bg->blue)},
                                                             {"grey", InfoValue::Int(bg->gray)}})});
    png_uint_32 rx, ry;
    int unit;
    if (png_get_pHYs(png, info, &rx, &ry, &unit))
      fields.push_back({"pHYs", InfoValue::Object({{"x", InfoValue::Int(rx)},
                                                   {"y", InfoValue::Int(ry)},
                                                   {"per metre", InfoValue::Bool(unit == 1)}})});
  }
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  std::fclose(f);
}

PICTAVO_INFO_DETAILS(ftJPEG, JpegDetails);
PICTAVO_INFO_DETAILS(ftPNG, PngDetails);

// Record 1:90, the coded character set; ESC % G declares UTF-8.
constexpr int kEnvelopeRecord = 1, kCharsetDataset = 90;
const std::string kUtf8Charset = "\x1B%G";

enum class IptcOp { Add, Set, Delete };

struct IptcEdit {
  IptcOp op;
  int record, dataset;
  std::string text;
};

bool IsAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Parses "R:D=TEXT" (or "R:D" for --delete); false on a malformed value.
bool ParseIptcEdit(IptcOp op, const std::string& value, IptcEdit& edit) {
  int record = 0, dataset = 0, used = 0;
  const char* format = op == IptcOp::Delete ? "%d:%d%n" : "%d:%d=%n";
  if (std::sscanf(value.c_str(), format, &record, &dataset, &used) < 2 || used == 0 || record < 1 ||
      record > 255 || dataset < 0 || dataset > 255)
    return false;
  if (op == IptcOp::Delete && static_cast<size_t>(used) != value.size()) return false;
  edit = {op, record, dataset, value.substr(static_cast<size_t>(used))};
  return op == IptcOp::Delete || ValidUtf8(edit.text) == edit.text;
}

void DeleteAll(TPVIPTCInfoList& iptc, int record, int dataset) {
  for (int i = iptc.GetCount() - 1; i >= 0; --i)
    if (iptc.GetRecordNumber(i) == record && iptc.GetDataSet(i) == dataset) iptc.DeleteItem(i);
}

// Inserts after the last item of the same or a lower record, so that the
// records stay in ascending order as readers expect.
void InsertInOrder(TPVIPTCInfoList& iptc, int record, int dataset, const std::string& text) {
  int at = 0;
  for (int i = 0; i < iptc.GetCount(); ++i)
    if (iptc.GetRecordNumber(i) <= record) at = i + 1;
  iptc.InsertStringItem(at, record, dataset, text);
}

// Text that is not plain ASCII is UTF-8; record 1:90 says so to readers.
void DeclareUtf8IfNeeded(TPVIPTCInfoList& iptc) {
  bool needed = false;
  for (int i = 0; i < iptc.GetCount(); ++i)
    if (iptc.GetRecordNumber(i) != kEnvelopeRecord && !IsAscii(iptc.GetStrings(i))) needed = true;
  if (!needed) return;
  DeleteAll(iptc, kEnvelopeRecord, kCharsetDataset);
  InsertInOrder(iptc, kEnvelopeRecord, kCharsetDataset, kUtf8Charset);
}

// --add appends a record; --set replaces the first record of that number in
// place and drops the others; --delete drops them all.
void ApplyIptcEdit(TPVIPTCInfoList& iptc, const IptcEdit& e) {
  const int first = iptc.IndexOf(e.record, e.dataset);
  if (e.op == IptcOp::Set && first >= 0) {
    DeleteAll(iptc, e.record, e.dataset);
    iptc.InsertStringItem(first, e.record, e.dataset, e.text);
    return;
  }
  if (e.op == IptcOp::Delete) DeleteAll(iptc, e.record, e.dataset);
  if (e.op != IptcOp::Delete) InsertInOrder(iptc, e.record, e.dataset, e.text);
}

bool ParseIptcArgs(const std::vector<std::string>& args, std::vector<IptcEdit>& edits) {
  static const std::map<std::string, IptcOp> kOps = {
      {"--add", IptcOp::Add}, {"--set", IptcOp::Set}, {"--delete", IptcOp::Delete}};
  for (size_t i = 1; i < args.size(); ++i) {
    auto op = kOps.find(args[i]);
    if (op == kOps.end() || i + 1 >= args.size()) {
      std::fprintf(stderr, "pictavo iptc: expected --add, --set or --delete with a value, got %s\n",
                   args[i].c_str());
      return false;
    }
    IptcEdit edit;
    if (!ParseIptcEdit(op->second, args[++i], edit)) {
      std::fprintf(stderr, "pictavo iptc: bad record \"%s\" (RECORD:DATASET%s, UTF-8 text)\n",
                   args[i].c_str(), op->second == IptcOp::Delete ? "" : "=TEXT");
      return false;
    }
    edits.push_back(edit);
  }
  return true;
}

int IptcCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "pictavo iptc: missing FILE\n");
    return 2;
  }
  const std::string file = args[0];
  std::vector<IptcEdit> edits;
  if (!ParseIptcArgs(args, edits)) return 2;
  try {
    TIOParamsVals params;
    bool aborted = false;
    TPVDiagnostics diagnostics;
    TProgressRec progress;
    progress.Aborting = &aborted;
    progress.Diagnostics = &diagnostics;
    {
      TFileStream f(file, fmOpenRead);
      ReadJPegStream(f, nullptr, params, true, progress);
    }
    if (aborted) {
      std::fprintf(stderr, "pictavo: cannot read %s: %s\n", file.c_str(),
                   diagnostics.Error ? diagnostics.Error.Message.c_str() : "not a JPEG file");
      return 1;
    }
    IptcFromMarkers(params);
    for (const IptcEdit& e : edits) ApplyIptcEdit(params.IPTC_Info, e);
    if (!edits.empty()) {
      DeclareUtf8IfNeeded(params.IPTC_Info);
      // The new file is complete before it replaces the old one.
      bool ok = PVReplaceFileWith(file, [&](TStream& out) {
        TFileStream in(file, fmOpenRead);
        return PVJpegInjectIPTC(in, out, params.IPTC_Info);
      });
      if (!ok) {
        std::fprintf(stderr, "pictavo: cannot write %s: the IPTC block could not be written\n",
                     file.c_str());
        return 1;
      }
    }
    for (int i = 0; i < params.IPTC_Info.GetCount(); ++i)
      std::printf("%d:%d=%s\n", params.IPTC_Info.GetRecordNumber(i), params.IPTC_Info.GetDataSet(i),
                  Printable(params.IPTC_Info.GetStrings(i)).c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "pictavo: %s: %s\n", file.c_str(), e.what());
    return 1;
  }
  return 0;
}

PICTAVO_COMMAND("iptc",
                "iptc FILE [--add|--set R:D=TEXT]... [--delete R:D]...  list, add, replace or "
                "delete the IPTC records of a JPEG",
                IptcCommand);

}  // namespace
}  // namespace pictavo::cli
