// Demo section: IPTC records through their standard buffer, and the
// parameters file written and read back.
#include <string>

#include "apps/pictavo/registry.h"
#include "io/ioparams.h"
#include "io/registry.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw Exception(what);
}

void RunMetaDemo(DemoContext& demo) {
  TPVIPTCInfoList iptc;
  demo.Run("metadata", "IPTC block built and round-tripped", [&] {
    iptc.AddStringItem(2, 5, "Harbour at dawn");
    iptc.AddStringItem(2, 25, "boats");
    iptc.AddStringItem(2, 25, "sea");
    iptc.AddStringItem(2, 80, "Pictavo demo");
    iptc.AddStringItem(2, 120, std::string(40000, 'c'));  // needs the extended length form
    std::vector<uint8_t> buffer = iptc.SaveToStandardBuffer();
    TPVIPTCInfoList back;
    back.LoadFromStandardBuffer(buffer.data(), static_cast<int64_t>(buffer.size()));
    Check(back.GetCount() == iptc.GetCount(), "record count differs");
    for (int i = 0; i < back.GetCount(); ++i)
      Check(back.GetStrings(i) == iptc.GetStrings(i) && back.GetDataSet(i) == iptc.GetDataSet(i),
            "record differs");
    return std::to_string(back.GetCount()) + " records, buffer " + std::to_string(buffer.size()) +
           " bytes";
  });

  demo.Run("metadata", "parameters file written and read back", [&] {
    TIOParamsVals params;
    params.FileType = ftTIFF;
    params.TIFF_Compression = ioTIFF_LZW;
    params.Width = 640;
    params.Height = 480;
    params.DpiX = params.DpiY = 300;
    std::vector<TRGB> map(16);
    for (int i = 0; i < 16; ++i) map[i] = TRGB{uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i)};
    params.SetColorMap(map.data(), 16);
    params.JPEG_MarkerList.AddMarker(0xFE, "made by the demo", 16);
    params.IPTC_Info.Assign(iptc);
    params.PXM_Comments.Add("a comment line");
    params.TGA_Author = "Pictavo";
    std::string path = demo.Path("params.pvp");
    params.SaveToFile(path);
    TIOParamsVals back;
    back.LoadFromFile(path);
    Check(back.GetFileTypeStr() == params.GetFileTypeStr(), "description differs");
    Check(back.ColorMapCount == 16 && back.ColorMap[15] == map[15], "colour map differs");
    Check(back.IPTC_Info.GetCount() == iptc.GetCount(), "IPTC differs");
    Check(back.PXM_Comments.Get(0) == "a comment line", "comments differ");
    return back.GetFileTypeStr() + ", " + std::to_string(back.ColorMapCount) + " colours";
  });
}

PICTAVO_DEMO(20, "metadata and parameters", RunMetaDemo);

}  // namespace
}  // namespace pictavo::cli
