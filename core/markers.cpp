#include "core/markers.h"

#include <cstring>

#include "platform/exceptions.h"

namespace pictavo {

// ---- TPVMarkerList

namespace {
void CheckMarkerIndex(int index, int count) {
  if (index < 0 || index >= count)
    throw EListError("Marker index out of bounds (" + std::to_string(index) + ")");
}
std::unique_ptr<TMemoryStream> MakePayload(const void* data, int64_t length) {
  auto s = std::make_unique<TMemoryStream>();
  if (length > 0 && data) s->WriteBuffer(data, length);
  s->SetPosition(0);
  return s;
}
}  // namespace

uint8_t TPVMarkerList::GetMarkerType(int index) const {
  CheckMarkerIndex(index, GetCount());
  return types_[index];
}

uint8_t* TPVMarkerList::GetMarkerData(int index) {
  CheckMarkerIndex(index, GetCount());
  return data_[index]->Memory();
}

int TPVMarkerList::GetMarkerLength(int index) const {
  CheckMarkerIndex(index, GetCount());
  return static_cast<int>(data_[index]->GetSize());
}

TMemoryStream* TPVMarkerList::GetMarkerStream(int index) {
  CheckMarkerIndex(index, GetCount());
  data_[index]->SetPosition(0);
  return data_[index].get();
}

int TPVMarkerList::IndexOf(uint8_t type) const {
  for (int i = 0; i < GetCount(); ++i)
    if (types_[i] == type) return i;
  return -1;
}

void TPVMarkerList::AddMarker(uint8_t type, const void* data, uint16_t length) {
  data_.push_back(MakePayload(data, length));
  types_.push_back(type);
}

void TPVMarkerList::SetMarker(int index, uint8_t type, const void* data, uint16_t length) {
  CheckMarkerIndex(index, GetCount());
  data_[index] = MakePayload(data, length);
  types_[index] = type;
}

void TPVMarkerList::InsertMarker(int index, const void* data, uint8_t type, uint16_t length) {
  if (index < 0 || index > GetCount()) CheckMarkerIndex(index, GetCount());
  data_.insert(data_.begin() + index, MakePayload(data, length));
  types_.insert(types_.begin() + index, type);
}

void TPVMarkerList::DeleteMarker(int index) {
  CheckMarkerIndex(index, GetCount());
  data_.erase(data_.begin() + index);
  types_.erase(types_.begin() + index);
}

void TPVMarkerList::Clear() {
  data_.clear();
  types_.clear();
}

void TPVMarkerList::Assign(const TPVMarkerList& source) {
  if (&source == this) return;
  Clear();
  for (int i = 0; i < source.GetCount(); ++i) {
    const TMemoryStream& s = *source.data_[i];
    data_.push_back(MakePayload(s.Memory(), const_cast<TMemoryStream&>(s).GetSize()));
    types_.push_back(source.types_[i]);
  }
}

// ---- TPVIPTCInfoList

void TPVIPTCInfoList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount())
    throw EListError("IPTC index out of bounds (" + std::to_string(index) + ")");
}

int TPVIPTCInfoList::GetRecordNumber(int index) const {
  CheckIndex(index);
  return items_[index].record;
}

void TPVIPTCInfoList::SetRecordNumber(int index, int value) {
  CheckIndex(index);
  items_[index].record = value;
  user_changed_ = true;
}

int TPVIPTCInfoList::GetDataSet(int index) const {
  CheckIndex(index);
  return items_[index].dataset;
}

void TPVIPTCInfoList::SetDataSet(int index, int value) {
  CheckIndex(index);
  items_[index].dataset = value;
  user_changed_ = true;
}

std::string TPVIPTCInfoList::GetStrings(int index) const {
  CheckIndex(index);
  const auto& v = items_[index].value;
  return std::string(v.begin(), v.end());
}

void TPVIPTCInfoList::SetStrings(int index, const std::string& value) {
  CheckIndex(index);
  items_[index].value.assign(value.begin(), value.end());
  user_changed_ = true;
}

const std::vector<uint8_t>& TPVIPTCInfoList::GetBuffer(int index) const {
  CheckIndex(index);
  return items_[index].value;
}

int TPVIPTCInfoList::AddStringItem(int recordNumber, int dataSet, const std::string& value) {
  return AddBufferItem(recordNumber, dataSet, value.data(), static_cast<int>(value.size()));
}

int TPVIPTCInfoList::AddBufferItem(int recordNumber, int dataSet, const void* buffer, int bufferLength) {
  Item item;
  item.record = recordNumber;
  item.dataset = dataSet;
  if (buffer && bufferLength > 0) {
    const auto* p = static_cast<const uint8_t*>(buffer);
    item.value.assign(p, p + bufferLength);
  }
  items_.push_back(std::move(item));
  user_changed_ = true;
  return GetCount() - 1;
}

void TPVIPTCInfoList::InsertStringItem(int index, int recordNumber, int dataSet, const std::string& value) {
  if (index < 0 || index > GetCount()) CheckIndex(index);
  Item item;
  item.record = recordNumber;
  item.dataset = dataSet;
  item.value.assign(value.begin(), value.end());
  items_.insert(items_.begin() + index, std::move(item));
  user_changed_ = true;
}

int TPVIPTCInfoList::IndexOf(int recordNumber, int dataSet) const {
  for (int i = 0; i < GetCount(); ++i)
    if (items_[i].record == recordNumber && items_[i].dataset == dataSet) return i;
  return -1;
}

void TPVIPTCInfoList::DeleteItem(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  user_changed_ = true;
}

void TPVIPTCInfoList::Clear() {
  items_.clear();
  user_changed_ = true;
}

void TPVIPTCInfoList::Assign(const TPVIPTCInfoList& source) {
  if (&source == this) return;
  items_ = source.items_;
  user_changed_ = true;
}

}  // namespace pictavo

// ---- stream forms

namespace pictavo {

namespace {

void WriteU32(TStream& s, uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  s.WriteBuffer(b, 4);
}

uint32_t ReadU32(TStream& s) {
  uint8_t b[4];
  s.ReadBuffer(b, 4);
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

int64_t RemainingBytes(TStream& s) {
  int64_t r = s.GetSize() - s.GetPosition();
  return r > 0 ? r : 0;
}

}  // namespace

void TPVMarkerList::SaveToStream(TStream& stream) const {
  uint8_t format = 0;
  stream.WriteBuffer(&format, 1);
  WriteU32(stream, static_cast<uint32_t>(GetCount()));
  for (int i = 0; i < GetCount(); ++i) {
    stream.WriteBuffer(&types_[i], 1);
    const TMemoryStream& payload = *data_[i];
    uint32_t length = static_cast<uint32_t>(const_cast<TMemoryStream&>(payload).GetSize());
    WriteU32(stream, length);
    if (length) stream.WriteBuffer(payload.Memory(), length);
  }
}

void TPVMarkerList::LoadFromStream(TStream& stream) {
  Clear();
  try {
    uint8_t format;
    stream.ReadBuffer(&format, 1);
    uint32_t count = ReadU32(stream);
    // Every marker needs at least its 5-byte header.
    if (count > RemainingBytes(stream) / 5) throw EReadError("Stream read error");
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t type;
      stream.ReadBuffer(&type, 1);
      uint32_t length = ReadU32(stream);
      if (length > 65535 || length > RemainingBytes(stream)) throw EReadError("Stream read error");
      std::vector<uint8_t> payload(length);
      if (length) stream.ReadBuffer(payload.data(), length);
      AddMarker(type, payload.data(), static_cast<uint16_t>(length));
    }
  } catch (...) {
    Clear();
    throw;
  }
}

void TPVIPTCInfoList::SaveToStream(TStream& stream) const {
  WriteU32(stream, 0);
  WriteU32(stream, static_cast<uint32_t>(GetCount()));
  for (const Item& item : items_) {
    WriteU32(stream, static_cast<uint32_t>(item.record));
    WriteU32(stream, static_cast<uint32_t>(item.dataset));
    WriteU32(stream, static_cast<uint32_t>(item.value.size()));
    if (!item.value.empty()) stream.WriteBuffer(item.value.data(), static_cast<int64_t>(item.value.size()));
  }
}

void TPVIPTCInfoList::LoadFromStream(TStream& stream) {
  items_.clear();
  try {
    ReadU32(stream);  // reserved
    uint32_t count = ReadU32(stream);
    if (count > RemainingBytes(stream) / 12) throw EReadError("Stream read error");
    for (uint32_t i = 0; i < count; ++i) {
      Item item;
      item.record = static_cast<int32_t>(ReadU32(stream));
      item.dataset = static_cast<int32_t>(ReadU32(stream));
      uint32_t length = ReadU32(stream);
      if (length > RemainingBytes(stream)) throw EReadError("Stream read error");
      item.value.resize(length);
      if (length) stream.ReadBuffer(item.value.data(), length);
      items_.push_back(std::move(item));
    }
  } catch (...) {
    items_.clear();
    user_changed_ = true;
    throw;
  }
  user_changed_ = true;
}

std::vector<uint8_t> TPVIPTCInfoList::SaveToStandardBuffer() const {
  static const uint8_t header[26] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0,
                                     '8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> buffer(header, header + 26);
  uint32_t total = 0;
  for (const Item& item : items_) {
    if (item.record == 2 && item.dataset == 0) continue;  // the record version is never written
    uint32_t length = static_cast<uint32_t>(item.value.size());
    buffer.push_back(0x1C);
    buffer.push_back(static_cast<uint8_t>(item.record));
    buffer.push_back(static_cast<uint8_t>(item.dataset));
    if (length < 32768) {
      buffer.push_back(static_cast<uint8_t>(length >> 8));
      buffer.push_back(static_cast<uint8_t>(length));
      total += 5 + length;
    } else {
      const uint8_t extended[6] = {0x80, 0x04, uint8_t(length >> 24), uint8_t(length >> 16),
                                   uint8_t(length >> 8), uint8_t(length)};
      buffer.insert(buffer.end(), extended, extended + 6);
      total += 9 + length;
    }
    buffer.insert(buffer.end(), item.value.begin(), item.value.end());
  }
  if (buffer.size() & 1) buffer.push_back(0);
  buffer[22] = uint8_t(total >> 24);
  buffer[23] = uint8_t(total >> 16);
  buffer[24] = uint8_t(total >> 8);
  buffer[25] = uint8_t(total);
  return buffer;
}

void TPVIPTCInfoList::LoadFromStandardBuffer(const void* buffer, int64_t bufferLength) {
  items_.clear();
  const auto* p = static_cast<const uint8_t*>(buffer);
  if (!p || bufferLength <= 0) {
    user_changed_ = false;
    return;
  }
  int64_t pos = 0;
  // Behind the standard resource header the datasets start at offset 26; the
  // size field before them may itself hold a 0x1C byte, so it is skipped.
  static const uint8_t kHeader[22] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3',
                                      '.', '0', 0,   '8', 'B', 'I', 'M', 4,   4,   0,   0};
  if (bufferLength >= 26 && std::memcmp(p, kHeader, sizeof kHeader) == 0) pos = 26;
  while (pos < bufferLength && p[pos] != 0x1C) ++pos;
  while (pos + 5 < bufferLength && p[pos] == 0x1C) {
    int record = p[pos + 1];
    int dataset = p[pos + 2];
    uint64_t length;
    int64_t value_start;
    if (p[pos + 3] & 0x80) {
      if (pos + 9 > bufferLength) break;
      // The extended length is an unsigned 32-bit value.
      length = (uint64_t(p[pos + 5]) << 24) | (uint64_t(p[pos + 6]) << 16) | (uint64_t(p[pos + 7]) << 8) |
               uint64_t(p[pos + 8]);
      value_start = pos + 9;
    } else {
      length = (uint64_t(p[pos + 3]) << 8) | p[pos + 4];
      value_start = pos + 5;
    }
    if (length > uint64_t(bufferLength - value_start)) break;  // would run past the buffer
    AddBufferItem(record, dataset, p + value_start, static_cast<int>(length));
    pos = value_start + static_cast<int64_t>(length);
  }
  user_changed_ = false;
}

}  // namespace pictavo
