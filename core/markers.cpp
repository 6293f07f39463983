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
