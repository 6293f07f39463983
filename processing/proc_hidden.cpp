// TPictavoProc: data hidden in the pixels of the attached 24-bit bitmap.
#include <climits>

#include "processing/hidden.h"
#include "processing/pictavoproc.h"

namespace pictavo {

int TPictavoProc::WriteHiddenData(const void* data, int length) {
  if (!TargetBitmap(kFrame24) || length < 0 || (length > 0 && !data)) return 0;
  TBitmap* bitmap = BeginChange(kFrame24);
  const int written = _WriteHiddenData(*bitmap, data, length);
  EndChange();
  return written;
}

int TPictavoProc::WriteHiddenText(const std::string& text) {
  if (text.size() > size_t(INT_MAX)) return 0;
  return WriteHiddenData(text.data(), int(text.size()));
}

int TPictavoProc::ReadHiddenData(void* buffer, int size) {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  return bitmap ? _ReadHiddenData(*bitmap, buffer, size) : 0;
}

std::string TPictavoProc::ReadHiddenText() {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  return bitmap ? _ReadHiddenText(*bitmap) : std::string();
}

int TPictavoProc::GetHiddenDataSpace() {
  TBitmap* bitmap = TargetBitmap(kFrame24);
  return bitmap ? _GetHiddenDataSpace(*bitmap) : 0;
}

}  // namespace pictavo
