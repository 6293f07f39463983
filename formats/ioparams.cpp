#include "formats/ioparams.h"

#include <ctime>

namespace pictavo {

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;
TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

double PVDateToday() {
  // Days from 1899-12-30 to 1970-01-01 are 25569.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_hour = 12;  // noon avoids daylight-saving edge effects
  local.tm_min = local.tm_sec = 0;
  std::time_t noon = timegm(&local);
  return static_cast<double>(noon / 86400 + 25569);
}

TIOParamsVals::TIOParamsVals(TIOParamsOwner* owner) : owner_(owner) {
  SetDefaultParams();
}

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::FreeColorMap() {
  ColorMap.clear();
  ColorMap.shrink_to_fit();
  ColorMapCount = 0;
}

void TIOParamsVals::SetColorMap(const TRGB* entries, int count) {
  FreeColorMap();
  if (count > 0 && entries) {
    ColorMap.assign(entries, entries + count);
    ColorMapCount = count;
  }
}

void TIOParamsVals::SetDefaultParams() {
  PVResetFields(*this, PVIOParamsFields());
  ColorMapCount = 0;
  if (!owner_) return;
  if (TBitmap* target = owner_->ParamsTargetBitmap()) {
    Width = target->GetWidth();
    Height = target->GetHeight();
  }
  int dx = 0, dy = 0;
  if (owner_->ParamsViewResolution(dx, dy)) {
    DpiX = dx;
    DpiY = dy;
  }
}

void TIOParamsVals::Assign(const TIOParamsVals& s) {
  if (&s == this) return;
  PVAssignFields(*this, s, PVIOParamsFields());
}

bool TIOParamsVals::operator==(const TIOParamsVals& other) const {
  return PVFirstDifference(*this, other, PVIOParamsFields()) == nullptr;
}

}  // namespace pictavo
