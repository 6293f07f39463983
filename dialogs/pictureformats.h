// The picture formats the dialogs offer: for opening, every format the I/O
// component can read; for saving, every format it can write, each with the
// file extensions that TPictavoIO's LoadFromFile / SaveToFile dispatch to
// it.  Built from the format registry and the codec table, so formats that
// an application registers appear too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pictavo {

struct TPVPictureFormat {
  int32_t FileType = 0;
  std::string Description;
  std::vector<std::string> Extensions;  // lower case, without the dot; the first is the default
};

std::vector<TPVPictureFormat> PVReadableFormats();
std::vector<TPVPictureFormat> PVWritableFormats();
// The writable format that a (lower- or upper-case) extension saves as, or 0.
int32_t PVWritableFormatOfExtension(const std::string& extension);
// The writable format with this key, or null.
const TPVPictureFormat* PVFindFormat(const std::vector<TPVPictureFormat>& formats,
                                     int32_t fileType);
// "*.jpg;*.jpeg"
std::string PVFormatPatterns(const TPVPictureFormat& format);

}  // namespace pictavo
