// Small conversions the Qt forms share: library strings to QString and a
// 24-bit bitmap to a QImage of its own.
#pragma once

#include <QImage>
#include <QString>
#include <cstring>
#include <string>

#include "platform/bitmap.h"

namespace pictavo::qt {

inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A pf24bit bitmap (BGR rows) as a QImage of its own; a null image for any
// other bitmap.
inline QImage ImageOf(const TBitmap& bitmap) {
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0 || bitmap.GetPixelFormat() != pf24bit) return QImage();
  QImage image(w, h, QImage::Format_BGR888);
  for (int y = 0; y < h; ++y)
    std::memcpy(image.scanLine(y), bitmap.ScanLine(y), static_cast<size_t>(w) * 3);
  return image;
}

}  // namespace pictavo::qt
