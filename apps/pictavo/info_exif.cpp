#include "apps/pictavo/info_exif.h"

#include <lcms2.h>
#include <libexif/exif-data.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pictavo::cli {
namespace {

constexpr uint8_t kApp1 = 0xE1, kApp2 = 0xE2;
constexpr char kExifHeader[] = "Exif\0\0";  // six bytes with the terminator
constexpr size_t kExifHeaderSize = 6;
constexpr char kIccHeader[] = "ICC_PROFILE";  // twelve bytes with the terminator
constexpr size_t kIccHeaderSize = 12, kIccChunkHeaderSize = 14;

struct ExifDeleter {
  void operator()(ExifData* d) const { exif_data_unref(d); }
};

ExifEntry* Entry(ExifData* data, ExifIfd ifd, ExifTag tag) {
  return data->ifd[ifd] ? exif_content_get_entry(data->ifd[ifd], tag) : nullptr;
}

std::string Text(ExifEntry* e) {
  char buf[256];
  exif_entry_get_value(e, buf, sizeof buf);
  std::string s(buf);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// A rational entry as a number; false when absent or zero-denominated.
bool Rational(ExifData* data, ExifEntry* e, double& out) {
  if (!e || e->format != EXIF_FORMAT_RATIONAL || e->components < 1) return false;
  ExifRational r = exif_get_rational(e->data, exif_data_get_byte_order(data));
  if (r.denominator == 0) return false;
  out = double(r.numerator) / r.denominator;
  return true;
}

InfoValue ExifObject(ExifData* data) {
  std::vector<std::pair<std::string, InfoValue>> m;
  if (ExifEntry* e = Entry(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
      e && e->format == EXIF_FORMAT_SHORT && e->components >= 1)
    m.push_back(
        {"orientation", InfoValue::Int(exif_get_short(e->data, exif_data_get_byte_order(data)))});
  if (ExifEntry* e = Entry(data, EXIF_IFD_0, EXIF_TAG_MAKE))
    m.push_back({"make", InfoValue::Str(Text(e))});
  if (ExifEntry* e = Entry(data, EXIF_IFD_0, EXIF_TAG_MODEL))
    m.push_back({"model", InfoValue::Str(Text(e))});
  ExifEntry* date = Entry(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
  if (!date) date = Entry(data, EXIF_IFD_0, EXIF_TAG_DATE_TIME);
  if (date) m.push_back({"date", InfoValue::Str(Text(date))});
  double v;
  if (Rational(data, Entry(data, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME), v))
    m.push_back({"exposure time", InfoValue::Num(v)});
  if (Rational(data, Entry(data, EXIF_IFD_EXIF, EXIF_TAG_FNUMBER), v))
    m.push_back({"f-number", InfoValue::Num(v)});
  const bool gps = data->ifd[EXIF_IFD_GPS] && data->ifd[EXIF_IFD_GPS]->count > 0;
  m.push_back({"GPS", InfoValue::Bool(gps)});
  return InfoValue::Object(m);
}

void AddExif(TPVMarkerList& markers, InfoFields& fields) {
  for (int i = 0; i < markers.GetCount(); ++i) {
    if (markers.GetMarkerType(i) != kApp1) continue;
    const int length = markers.GetMarkerLength(i);
    const uint8_t* p = markers.GetMarkerData(i);
    if (length < int(kExifHeaderSize) || std::memcmp(p, kExifHeader, kExifHeaderSize) != 0)
      continue;
    std::unique_ptr<ExifData, ExifDeleter> data(exif_data_new());
    if (!data) return;
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), p, static_cast<unsigned>(length));
    fields.push_back({"EXIF", ExifObject(data.get())});
    return;
  }
}

// The profile from its APP2 chunks (sequence number, count, data), in order.
std::vector<uint8_t> IccProfile(TPVMarkerList& markers) {
  std::map<int, std::vector<uint8_t>> chunks;
  int count = 0;
  for (int i = 0; i < markers.GetCount(); ++i) {
    if (markers.GetMarkerType(i) != kApp2) continue;
    const int length = markers.GetMarkerLength(i);
    const uint8_t* p = markers.GetMarkerData(i);
    if (length <= int(kIccChunkHeaderSize) || std::memcmp(p, kIccHeader, kIccHeaderSize) != 0)
      continue;
    count = p[13];
    chunks[p[12]].assign(p + kIccChunkHeaderSize, p + length);
  }
  std::vector<uint8_t> profile;
  if (count == 0 || int(chunks.size()) != count) return profile;
  for (int seq = 1; seq <= count; ++seq) {
    auto it = chunks.find(seq);
    if (it == chunks.end()) return {};
    profile.insert(profile.end(), it->second.begin(), it->second.end());
  }
  return profile;
}

void AddIcc(TPVMarkerList& markers, InfoFields& fields) {
  const std::vector<uint8_t> profile = IccProfile(markers);
  if (profile.empty()) return;
  cmsHPROFILE h =
      cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  if (!h) {
    fields.push_back({"ICC profile", InfoValue::Str("(unreadable)")});
    return;
  }
  char desc[256] = "";
  cmsGetProfileInfoASCII(h, cmsInfoDescription, "en", "US", desc, sizeof desc);
  cmsCloseProfile(h);
  fields.push_back({"ICC profile", InfoValue::Str(desc)});
}

}  // namespace

void AddExifAndIcc(TPVMarkerList& markers, InfoFields& fields) {
  AddExif(markers, fields);
  AddIcc(markers, fields);
}

}  // namespace pictavo::cli
