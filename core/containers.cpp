#include "core/containers.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

namespace pictavo {

void TPVList::Clear() {
  data_.reset();
  count_ = 0;
  Changed = TPVListChanges();
}

void TPVList::SetCount(int32_t n) {
  n = std::max(n, 0);
  std::unique_ptr<uint8_t[]> block;
  size_t bytes = size_t(n) * size_t(item_size_);
  if (bytes) block.reset(new uint8_t[bytes]());
  size_t keep = size_t(std::min(n, count_)) * size_t(item_size_);
  if (keep) std::memcpy(block.get(), data_.get(), keep);
  data_ = std::move(block);
  count_ = n;
  Changed.Include(pvlItems);
}

int32_t TPVList::AddItem(const void* item) {
  int32_t index = count_;
  SetCount(count_ + 1);
  if (item_size_) std::memcpy(data_.get() + size_t(index) * item_size_, item, size_t(item_size_));
  return index;
}

void TPVList::InsertItem(int32_t index, const void* item) {
  if (index < 0) return;
  if (index >= count_) {
    AddItem(item);
    return;
  }
  SetCount(count_ + 1);
  uint8_t* at = data_.get() + size_t(index) * item_size_;
  std::memmove(at + item_size_, at, size_t(count_ - 1 - index) * item_size_);
  std::memcpy(at, item, size_t(item_size_));
}

void TPVList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  uint8_t* at = data_.get() + size_t(index) * item_size_;
  std::memmove(at, at + item_size_, size_t(count_ - 1 - index) * item_size_);
  SetCount(count_ - 1);
}

int32_t TPVList::IndexOfItem(const void* item) const {
  for (int32_t i = 0; i < count_; ++i)
    if (std::memcmp(data_.get() + size_t(i) * item_size_, item, size_t(item_size_)) == 0) return i;
  return -1;
}

void* TPVList::BaseGetItem(int32_t index) {
  if (index < 0 || index >= count_) return nullptr;
  return data_.get() + size_t(index) * item_size_;
}

const void* TPVList::BaseGetItem(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return data_.get() + size_t(index) * item_size_;
}

void TPVList::BaseSetItem(int32_t index, const void* item) {
  if (index < 0 || index >= count_) return;
  std::memcpy(data_.get() + size_t(index) * item_size_, item, size_t(item_size_));
  Changed.Include(pvlItems);
}

void TPVList::Assign(const TPVList& source) {
  if (&source == this) return;
  item_size_ = source.item_size_;
  size_t bytes = size_t(source.count_) * size_t(item_size_);
  data_.reset(bytes ? new uint8_t[bytes] : nullptr);
  if (bytes) std::memcpy(data_.get(), source.data_.get(), bytes);
  count_ = source.count_;
  Changed = source.Changed;
}

void TPVByteArray::AddByte(uint8_t b) {
  SetSize(size_ + 1);
  data_[size_t(size_ - 1)] = b;
}

void TPVByteArray::Clear() {
  data_.reset(new uint8_t[BlockSize]());
  capacity_ = BlockSize;
  size_ = 0;
}

void TPVByteArray::SetSize(int64_t n) {
  n = std::max<int64_t>(n, 0);
  bool move = n > size_ ? n > capacity_ : n < capacity_ - BlockSize;
  if (move) {
    int64_t capacity = n + BlockSize;
    std::unique_ptr<uint8_t[]> block(new uint8_t[size_t(capacity)]());
    std::memcpy(block.get(), data_.get(), size_t(std::min(n, size_)));
    data_ = std::move(block);
    capacity_ = capacity;
  }
  size_ = n;
}

int64_t TPVByteArray::AppendFromStream(TStream& stream, int64_t n) {
  if (n <= 0) return 0;
  // Never grow beyond what the stream still holds.
  int64_t left = stream.GetSize() - stream.GetPosition();
  n = std::min(n, std::max<int64_t>(left, 0));
  int64_t old = size_;
  SetSize(old + n);
  int64_t got = n ? stream.Read(data_.get() + old, n) : 0;
  if (got < 0) got = 0;
  SetSize(old + got);
  return got;
}

int64_t TNulStream::Read(void*, int64_t count) {
  if (count <= 0) return 0;
  pos_ += count;
  max_ = std::max(max_, pos_);
  return count;
}

int64_t TNulStream::Write(const void*, int64_t count) {
  if (count <= 0) return 0;
  pos_ += count;
  max_ = std::max(max_, pos_);
  return count;
}

int64_t TNulStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: pos_ = offset; break;
    case soCurrent: pos_ += offset; break;
    case soEnd: pos_ = max_ - offset; break;
  }
  if (pos_ < 0) pos_ = 0;
  max_ = std::max(max_, pos_);
  return pos_;
}

void SaveStringToStream(TStream& stream, const std::string& s) {
  uint32_t n = static_cast<uint32_t>(s.size());
  uint8_t len[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  stream.WriteBuffer(len, 4);
  if (n) stream.WriteBuffer(s.data(), n);
}

void LoadStringFromStream(TStream& stream, std::string& s) {
  uint8_t len[4];
  stream.ReadBuffer(len, 4);
  uint32_t n = uint32_t(len[0]) | (uint32_t(len[1]) << 8) | (uint32_t(len[2]) << 16) | (uint32_t(len[3]) << 24);
  int64_t left = stream.GetSize() - stream.GetPosition();
  if (int64_t(n) > left) throw EReadError("Stream read error");
  s.assign(n, '\0');
  if (n) stream.ReadBuffer(s.data(), n);
}

int64_t _GetNumCol(int bits, int samples) {
  int64_t total = int64_t(bits) * samples;
  if (bits < 0 || samples < 0 || total >= 63) return -1;
  return int64_t(1) << total;
}

}  // namespace pictavo
