// `pictavo info` details of metafiles: the kind of file and the picture's
// own size.
#include "apps/pictavo/info_metafile.h"

#include <algorithm>

#include "apps/pictavo/info_details.h"
#include "core/pvdefs.h"
#include "io/pictavoio.h"
#include "io/registry.h"
#include "platform/exceptions.h"
#include "platform/metafile.h"

namespace pictavo::cli {

namespace {

constexpr int64_t kMaxSide = 2800;

bool LoadMetafile(const std::string& fileName, TMetafile& metafile) {
  std::string ext = PVLowerExtension(fileName);
  if (ext != "wmf" && ext != "emf") return false;
  metafile.SetPixelsPerInch(gSystemDPIX, gSystemDPIY);
  try {
    metafile.LoadFromFile(fileName);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

void MetafileDetails(const std::string& fileName, TIOParamsVals&, InfoFields& fields) {
  TMetafile metafile;
  if (!LoadMetafile(fileName, metafile)) return;
  fields.push_back({"metafile", InfoValue::Str(metafile.GetEnhanced()    ? "enhanced"
                                               : metafile.GetPlaceable() ? "placeable"
                                                                         : "plain")});
  fields.push_back({"picture width", InfoValue::Int(metafile.GetWidth())});
  fields.push_back({"picture height", InfoValue::Int(metafile.GetHeight())});
}

}  // namespace

bool MetafileParams(const std::string& fileName, TIOParamsVals& params) {
  TMetafile metafile;
  if (!LoadMetafile(fileName, metafile)) return false;
  int64_t w = metafile.GetWidth(), h = metafile.GetHeight();
  if (w <= 0 || h <= 0) return false;
  if (w > kMaxSide || h > kMaxSide) {
    int64_t longer = std::max(w, h);
    w = w * kMaxSide / longer;
    h = h * kMaxSide / longer;
  }
  params.FileType = metafile.GetEnhanced() ? ftEMF : ftWMF;
  params.FileName = fileName;
  params.Width = int32_t(std::max<int64_t>(w - 1, 0));
  params.Height = int32_t(std::max<int64_t>(h - 1, 0));
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  params.DpiX = gSystemDPIX;
  params.DpiY = gSystemDPIY;
  return true;
}

PICTAVO_INFO_DETAILS(ftWMF, MetafileDetails);
PICTAVO_INFO_DETAILS(ftEMF, MetafileDetails);

}  // namespace pictavo::cli
