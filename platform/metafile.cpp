#include "platform/metafile.h"

#include <cmath>

#include "platform/canvas.h"
#include "platform/exceptions.h"
#include "platform/metafile_dc.h"
#include "platform/stream.h"

namespace pictavo {

namespace {

constexpr int kHundredthMmPerInch = 2540;
constexpr int kDefaultUnitsPerInch = 1440;

// a * b / c rounded to the nearest integer, clamped to the int range.
int MulDivRound(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  double v = std::nearbyint(double(a) * double(b) / double(c));
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return int(v);
}

}  // namespace

void TMetafile::Clear() {
  data_.clear();
  enhanced_ = placeable_ = false;
  width_ = height_ = 0;
}

void TMetafile::SetPixelsPerInch(int dpiX, int dpiY) {
  if (dpiX > 0) dpi_x_ = dpiX;
  if (dpiY > 0) dpi_y_ = dpiY;
}

void TMetafile::LoadFromFile(const std::string& name) {
  TFileStream file(name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMetafile::LoadFromStream(TStream& stream) {
  int64_t size = stream.GetSize() - stream.GetPosition();
  if (size <= 0 || size > kMaxMetafileBytes) {
    Clear();
    throw EInvalidGraphic("Invalid metafile");
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (stream.Read(bytes.data(), size) != size) {
    Clear();
    throw EInvalidGraphic("Invalid metafile");
  }
  LoadFromBytes(bytes.data(), bytes.size());
}

void TMetafile::LoadFromBytes(const uint8_t* data, size_t size) {
  Clear();
  if (!data || size == 0 || size > size_t(kMaxMetafileBytes))
    throw EInvalidGraphic("Invalid metafile");
  data_.assign(data, data + size);
  metafile::TEmfInfo emf;
  metafile::TWmfInfo wmf;
  if (metafile::ParseEmf(data_.data(), data_.size(), emf)) {
    enhanced_ = true;
    width_ = MulDivRound(int64_t(emf.frame[2]) - emf.frame[0], dpi_x_, kHundredthMmPerInch);
    height_ = MulDivRound(int64_t(emf.frame[3]) - emf.frame[1], dpi_y_, kHundredthMmPerInch);
  } else if (metafile::ParseWmf(data_.data(), data_.size(), wmf)) {
    placeable_ = wmf.placeable;
    if (wmf.placeable) {
      int inch = wmf.inch ? wmf.inch : kDefaultUnitsPerInch;
      width_ = MulDivRound(std::abs(int(wmf.right) - wmf.left), dpi_x_, inch);
      height_ = MulDivRound(std::abs(int(wmf.bottom) - wmf.top), dpi_y_, inch);
    } else {
      width_ = int(std::fabs(wmf.win_ext_x));
      height_ = int(std::fabs(wmf.win_ext_y));
    }
  } else {
    Clear();
    throw EInvalidGraphic("Invalid metafile");
  }
}

void TMetafile::Play(TCanvas& canvas, const TRect& rect) const {
  if (data_.empty() || rect.IsEmpty()) return;
  if (enhanced_) {
    metafile::TEmfInfo info;
    if (metafile::ParseEmf(data_.data(), data_.size(), info))
      metafile::PlayEmf(data_.data(), data_.size(), info, canvas, rect);
  } else {
    metafile::TWmfInfo info;
    if (metafile::ParseWmf(data_.data(), data_.size(), info))
      metafile::PlayWmf(data_.data(), data_.size(), info, canvas, rect);
  }
}

void TMetafile::Draw(TCanvas& canvas, int x, int y) const {
  Play(canvas, TRect(x, y, int32_t(int64_t(x) + width_), int32_t(int64_t(y) + height_)));
}

}  // namespace pictavo
