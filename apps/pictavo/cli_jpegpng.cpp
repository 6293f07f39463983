// JPEG and PNG details of `pictavo info`, and `pictavo iptc`, which lists the
// IPTC records of a JPEG file and injects new ones without recompressing.
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "apps/pictavo/info_details.h"
#include "apps/pictavo/registry.h"
#include "codecs/jpeg.h"
#include "core/replacefile.h"
#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

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

void JpegDetails(const std::string&, TIOParamsVals& params, InfoFields& fields) {
  fields.push_back({"JPEG_ColorSpace", std::to_string(params.JPEG_ColorSpace)});
  fields.push_back({"JPEG_Progressive", params.JPEG_Progressive ? "true" : "false"});
  TPVMarkerList& m = params.JPEG_MarkerList;
  for (int i = 0; i < m.GetCount(); ++i)
    fields.push_back({"marker " + std::to_string(i), MarkerName(m.GetMarkerType(i)) + " length " +
                                                         std::to_string(m.GetMarkerLength(i))});
  IptcFromMarkers(params);
  for (int i = 0; i < params.IPTC_Info.GetCount(); ++i)
    fields.push_back({"IPTC", std::to_string(params.IPTC_Info.GetRecordNumber(i)) + ":" +
                                  std::to_string(params.IPTC_Info.GetDataSet(i)) + "=" +
                                  params.IPTC_Info.GetStrings(i)});
}

void PngDetails(const std::string& name, TIOParamsVals& params, InfoFields& fields) {
  fields.push_back({"PNG_Interlaced", params.PNG_Interlaced ? "true" : "false"});
  fields.push_back({"BitDepth", std::to_string(params.BitsPerSample)});
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
    fields.push_back(
        {"ColorType", std::to_string(ct) + " (" + (ct >= 0 && ct <= 6 ? kTypes[ct] : "?") + ")"});
    png_color_16p bg;
    if (png_get_bKGD(png, info, &bg))
      fields.push_back(
          {"bKGD", ct == 3 ? "index " + std::to_string(bg->index)
                           : std::to_string(bg->red) + "," + std::to_string(bg->green) + "," +
                                 std::to_string(bg->blue) + " grey " + std::to_string(bg->gray)});
    png_uint_32 rx, ry;
    int unit;
    if (png_get_pHYs(png, info, &rx, &ry, &unit))
      fields.push_back({"pHYs", std::to_string(rx) + "x" + std::to_string(ry) +
                                    (unit == 1 ? " per metre" : " (aspect)")});
  }
  if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  std::fclose(f);
}

PICTAVO_INFO_DETAILS(ftJPEG, JpegDetails);
PICTAVO_INFO_DETAILS(ftPNG, PngDetails);

int IptcCommand(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fprintf(stderr, "iptc: missing FILE\n");
    return 2;
  }
  const std::string file = args[0];
  try {
    TIOParamsVals params;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    {
      TFileStream f(file, fmOpenRead);
      ReadJPegStream(f, nullptr, params, true, progress);
    }
    if (aborted) {
      std::fprintf(stderr, "iptc: %s is not a readable JPEG file\n", file.c_str());
      return 1;
    }
    IptcFromMarkers(params);
    bool changed = false;
    for (size_t i = 1; i < args.size(); ++i) {
      if (args[i] != "--set" || i + 1 >= args.size()) {
        std::fprintf(stderr, "iptc: expected --set RECORD:DATASET=TEXT, got %s\n", args[i].c_str());
        return 2;
      }
      const std::string& assignment = args[++i];
      int record = 0, dataset = 0, used = 0;
      if (std::sscanf(assignment.c_str(), "%d:%d=%n", &record, &dataset, &used) < 2 || used == 0 ||
          record < 0 || record > 255 || dataset < 0 || dataset > 255) {
        std::fprintf(stderr, "iptc: bad record %s (RECORD:DATASET=TEXT)\n", assignment.c_str());
        return 2;
      }
      const std::string text = assignment.substr(static_cast<size_t>(used));
      const int at = params.IPTC_Info.IndexOf(record, dataset);
      if (at >= 0)
        params.IPTC_Info.SetStrings(at, text);
      else
        params.IPTC_Info.AddStringItem(record, dataset, text);
      changed = true;
    }
    if (changed) {
      // The new file is complete before it replaces the old one.
      bool ok = PVReplaceFileWith(file, [&](TStream& out) {
        TFileStream in(file, fmOpenRead);
        return PVJpegInjectIPTC(in, out, params.IPTC_Info);
      });
      if (!ok) {
        std::fprintf(stderr, "iptc: could not write the IPTC block into %s\n", file.c_str());
        return 1;
      }
    }
    for (int i = 0; i < params.IPTC_Info.GetCount(); ++i)
      std::printf("%d:%d=%s\n", params.IPTC_Info.GetRecordNumber(i), params.IPTC_Info.GetDataSet(i),
                  params.IPTC_Info.GetStrings(i).c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "iptc: %s\n", e.what());
    return 1;
  }
  return 0;
}

PICTAVO_COMMAND("iptc",
                "iptc FILE [--set RECORD:DATASET=TEXT]...  list or set the IPTC records of a JPEG",
                IptcCommand);

}  // namespace
}  // namespace pictavo::cli
