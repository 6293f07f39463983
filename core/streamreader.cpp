#include "core/streamreader.h"

#include <algorithm>

namespace pictavo {

TStreamReader::TStreamReader(TStream& stream, int64_t limit) : stream_(stream) {
  start_ = pos_ = stream.GetPosition();
  int64_t size = stream.GetSize();
  end_ = std::max(size, pos_);
  if (limit >= 0 && pos_ + limit < end_) end_ = pos_ + limit;
}

bool TStreamReader::SeekTo(int64_t position) {
  if (position < start_ || position > end_) return false;
  pos_ = stream_.Seek(position, soBeginning);
  return pos_ == position;
}

bool TStreamReader::Skip(int64_t count) {
  if (count < 0 || count > Remaining()) return false;
  return SeekTo(pos_ + count);
}

bool TStreamReader::Read(void* buffer, int64_t count) {
  if (count < 0 || count > Remaining()) return false;
  if (count == 0) return true;
  int64_t n = stream_.Read(buffer, count);
  pos_ += n;
  return n == count;
}

int64_t TStreamReader::ReadSome(void* buffer, int64_t count) {
  count = std::min(std::max<int64_t>(count, 0), Remaining());
  if (count == 0) return 0;
  int64_t n = stream_.Read(buffer, count);
  pos_ += n;
  return n;
}

bool TStreamReader::ReadBytes(std::vector<uint8_t>& out, int64_t count) {
  if (count < 0 || count > Remaining()) return false;
  out.resize(static_cast<size_t>(count));
  return Read(out.data(), count);
}

uint8_t TStreamReader::U8() {
  uint8_t b[1];
  if (!Read(b, 1)) { failed_ = true; return 0; }
  return b[0];
}

uint16_t TStreamReader::U16LE() {
  uint8_t b[2];
  if (!Read(b, 2)) { failed_ = true; return 0; }
  return GetU16LE(b);
}

uint16_t TStreamReader::U16BE() {
  uint8_t b[2];
  if (!Read(b, 2)) { failed_ = true; return 0; }
  return GetU16BE(b);
}

uint32_t TStreamReader::U32LE() {
  uint8_t b[4];
  if (!Read(b, 4)) { failed_ = true; return 0; }
  return GetU32LE(b);
}

uint32_t TStreamReader::U32BE() {
  uint8_t b[4];
  if (!Read(b, 4)) { failed_ = true; return 0; }
  return GetU32BE(b);
}

}  // namespace pictavo
