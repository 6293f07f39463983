// Per-format details of `pictavo info` for TGA, PBM/PGM/PPM, ICO and CUR
// files: the TGA extension fields, the PXM comment lines, the cursor hot
// spot and the number of images in an icon or cursor directory.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "apps/pictavo/info_details.h"
#include "formats/registry.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

uint32_t GetU16(const uint8_t* p) {
  return p[0] | (uint32_t(p[1]) << 8);
}

uint32_t GetU32(const uint8_t* p) {
  return GetU16(p) | (GetU16(p + 2) << 16);
}

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

// Which extension-area values a TGA file really stores: the reader fills
// in today's date, gamma 2.2 and aspect 1 for the others.
struct TgaStored {
  bool date = false, aspect = false, gamma = false;
};

TgaStored StoredExtensionValues(const std::string& fileName) {
  constexpr int64_t kFooterSize = 26, kHeaderSize = 18, kExtensionSize = 495;
  static const char kSignature[] = "TRUEVISION-XFILE.";  // and its NUL
  TgaStored stored;
  try {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    const int64_t size = f.GetSize();
    uint8_t footer[kFooterSize];
    if (size < kHeaderSize + kFooterSize) return stored;
    f.SetPosition(size - kFooterSize);
    if (f.Read(footer, kFooterSize) != kFooterSize ||
        std::memcmp(footer + 8, kSignature, sizeof kSignature) != 0)
      return stored;
    const int64_t offset = GetU32(footer);
    if (offset < kHeaderSize || offset + kExtensionSize > size - kFooterSize) return stored;
    uint8_t e[kExtensionSize];
    f.SetPosition(offset);
    if (f.Read(e, kExtensionSize) != kExtensionSize) return stored;
    stored.date = GetU16(e + 367) && GetU16(e + 369) && GetU16(e + 371);
    stored.aspect = GetU16(e + 474) && GetU16(e + 476);
    stored.gamma = GetU16(e + 478) && GetU16(e + 480);
  } catch (const std::exception&) {
  }
  return stored;
}

InfoValue MaybeDefault(InfoValue v, bool stored) {
  return stored ? v : v.AsDefault();
}

void TgaDetails(const std::string& fileName, TIOParamsVals& p, InfoFields& fields) {
  const TgaStored stored = StoredExtensionValues(fileName);
  fields.push_back({"TGA_Author", InfoValue::Str(p.TGA_Author)});
  fields.push_back(
      {"TGA_Date", MaybeDefault(InfoValue::Str(CalendarDate(p.TGA_Date)), stored.date)});
  fields.push_back({"TGA_Gamma", MaybeDefault(InfoValue::Num(p.TGA_Gamma), stored.gamma)});
  fields.push_back(
      {"TGA_AspectRatio", MaybeDefault(InfoValue::Num(p.TGA_AspectRatio), stored.aspect)});
  fields.push_back({"TGA_Descriptor", InfoValue::Str(p.TGA_Descriptor)});
  fields.push_back({"TGA_ImageName", InfoValue::Str(p.TGA_ImageName)});
  fields.push_back({"TGA_Compressed", InfoValue::Bool(p.TGA_Compressed)});
  fields.push_back({"TGA_GrayLevel", InfoValue::Bool(p.TGA_GrayLevel)});
}

void PxmDetails(const std::string&, TIOParamsVals& p, InfoFields& fields) {
  std::vector<InfoValue> comments;
  for (int i = 0; i < p.PXM_Comments.Count(); ++i)
    comments.push_back(InfoValue::Str(p.PXM_Comments.Get(i)));
  fields.push_back({"PXM_Comments", InfoValue::List(std::move(comments))});
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
  fields.push_back({"ICO_ImageCount", InfoValue::Int(DirectoryCount(fileName))});
  fields.push_back({"ICO_ImageIndex", InfoValue::Int(p.ICO_ImageIndex)});
}

void CurDetails(const std::string& fileName, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"CUR_ImageCount", InfoValue::Int(DirectoryCount(fileName))});
  fields.push_back({"CUR_ImageIndex", InfoValue::Int(p.CUR_ImageIndex)});
  fields.push_back({"CUR_XHotSpot", InfoValue::Int(p.CUR_XHotSpot)});
  fields.push_back({"CUR_YHotSpot", InfoValue::Int(p.CUR_YHotSpot)});
}

void PcxDetails(const std::string&, TIOParamsVals& p, InfoFields& fields) {
  fields.push_back({"PCX_Version", InfoValue::Int(p.PCX_Version)});
  fields.push_back(
      {"PCX_Compression",
       InfoValue::Str(p.PCX_Compression == ioPCX_RLE ? "ioPCX_RLE" : "ioPCX_UNCOMPRESSED")});
}

}  // namespace

PICTAVO_INFO_DETAILS(ftTGA, TgaDetails);
PICTAVO_INFO_DETAILS(ftPXM, PxmDetails);
PICTAVO_INFO_DETAILS(ftICO, IcoDetails);
PICTAVO_INFO_DETAILS(ftCUR, CurDetails);
PICTAVO_INFO_DETAILS(ftPCX, PcxDetails);

}  // namespace pictavo::cli
