// Per-format details of `pictavo info` for TGA, PBM/PGM/PPM, ICO and CUR
// files: the TGA extension fields, the PXM comment lines, the cursor hot
// spot and the number of images in an icon or cursor directory.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "apps/pictavo/info_details.h"
#include "formats/registry.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// A day count from 30 December 1899 as YYYY-MM-DD hh:mm:ss.
std::string CalendarDate(double serial) {
  if (!(serial > -693593 && serial < 2958466)) return Number(serial);
  const int64_t days = static_cast<int64_t>(std::floor(serial));
  int64_t z = days - 25569 + 719468;  // days from 1970-01-01, shifted to 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int y = static_cast<int>(yoe + era * 400 + (m <= 2));
  int secs = static_cast<int>(std::nearbyint((serial - double(days)) * 86400.0));
  if (secs >= 86400) secs = 86399;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, secs / 3600,
                (secs / 60) % 60, secs % 60);
  return buf;
}

void TgaDetails(const std::string&, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"TGA_Author", p.TGA_Author});
  fields.push_back({"TGA_Date", CalendarDate(p.TGA_Date)});
  fields.push_back({"TGA_Gamma", Number(p.TGA_Gamma)});
  fields.push_back({"TGA_AspectRatio", Number(p.TGA_AspectRatio)});
  fields.push_back({"TGA_Descriptor", p.TGA_Descriptor});
  fields.push_back({"TGA_ImageName", p.TGA_ImageName});
  fields.push_back({"TGA_Compressed", p.TGA_Compressed ? "true" : "false"});
  fields.push_back({"TGA_GrayLevel", p.TGA_GrayLevel ? "true" : "false"});
}

void PxmDetails(const std::string&, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"PXM_Comments", std::to_string(p.PXM_Comments.Count())});
  for (int i = 0; i < p.PXM_Comments.Count(); ++i)
    fields.push_back({"PXM_Comment[" + std::to_string(i) + "]", p.PXM_Comments.Get(i)});
}

// Number of entries of an icon or cursor directory (0 when unreadable).
int DirectoryCount(const std::string& fileName) {
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    uint8_t h[6];
    if (f.Read(h, 6) != 6) return 0;
    return h[4] | (h[5] << 8);
  } catch (const std::exception&) {
    return 0;
  }
}

void IcoDetails(const std::string& fileName, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"ICO_ImageCount", std::to_string(DirectoryCount(fileName))});
  fields.push_back({"ICO_ImageIndex", std::to_string(p.ICO_ImageIndex)});
}

void CurDetails(const std::string& fileName, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"CUR_ImageCount", std::to_string(DirectoryCount(fileName))});
  fields.push_back({"CUR_ImageIndex", std::to_string(p.CUR_ImageIndex)});
  fields.push_back(
      {"CUR_HotSpot", std::to_string(p.CUR_XHotSpot) + "," + std::to_string(p.CUR_YHotSpot)});
}

void PcxDetails(const std::string&, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"PCX_Version", std::to_string(p.PCX_Version)});
  fields.push_back(
      {"PCX_Compression", p.PCX_Compression == ioPCX_RLE ? "ioPCX_RLE" : "ioPCX_UNCOMPRESSED"});
}

}  // namespace

PICTAVO_INFO_DETAILS(ftTGA, TgaDetails);
PICTAVO_INFO_DETAILS(ftPXM, PxmDetails);
PICTAVO_INFO_DETAILS(ftICO, IcoDetails);
PICTAVO_INFO_DETAILS(ftCUR, CurDetails);
PICTAVO_INFO_DETAILS(ftPCX, PcxDetails);

}  // namespace pictavo::cli
