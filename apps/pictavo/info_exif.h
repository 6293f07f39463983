// EXIF (decoded with libexif) and the ICC profile's description (read with
// lcms2) from the APP1 and APP2 markers of a JPEG file, for `pictavo info`.
#pragma once

#include "apps/pictavo/info_value.h"
#include "core/markers.h"

namespace pictavo::cli {

// Adds "EXIF" (an object: orientation, make, model, date, exposure time in
// seconds, f-number, GPS present) when an APP1 marker holds EXIF, and
// "ICC profile" (its description) when APP2 markers hold an ICC profile.
void AddExifAndIcc(TPVMarkerList& markers, InfoFields& fields);

}  // namespace pictavo::cli
