// Typed lists over one contiguous block of fixed-size items (with optional
// value ranges, for scanner capabilities), a growable byte array, a stream
// that counts bytes without storing them, and the string encoding of the
// library's own streams.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/stream.h"
#include "platform/types.h"

namespace pictavo {

enum TPVListChange : uint8_t { pvlItems, pvlRange, pvlCurrentValue };
using TPVListChanges = TSet<TPVListChange>;

// Items are passed and returned by address.  Indices outside the list are
// ignored by insert (negative), delete and set; BaseGetItem returns null there.
class TPVList {
 public:
  explicit TPVList(int32_t itemSize = 0) : item_size_(itemSize < 0 ? 0 : itemSize) {}
  virtual ~TPVList() = default;
  TPVList(const TPVList&) = delete;
  TPVList& operator=(const TPVList&) = delete;

  virtual void Clear();
  void SetCount(int32_t n);
  int32_t AddItem(const void* item);
  void InsertItem(int32_t index, const void* item);
  void Delete(int32_t index);
  int32_t IndexOfItem(const void* item) const;
  void* BaseGetItem(int32_t index);
  const void* BaseGetItem(int32_t index) const;
  void BaseSetItem(int32_t index, const void* item);
  virtual void Assign(const TPVList& source);

  int32_t GetCount() const { return count_; }
  int32_t GetItemSize() const { return item_size_; }
  uint8_t* Data() { return data_.get(); }
  TPVListChanges Changed;

 protected:
  void SetItemSize(int32_t size) { item_size_ = size; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  int32_t count_ = 0;
  int32_t item_size_ = 0;
};

template <typename T>
class TPVValueList : public TPVList {
 public:
  TPVValueList() : TPVList(sizeof(T)) {}
  void Clear() override {
    TPVList::Clear();
    SetItemSize(sizeof(T));
    range_min_ = range_max_ = range_step_ = current_ = T();
  }
  int32_t Add(T v) { return AddItem(&v); }
  void Insert(int32_t index, T v) { InsertItem(index, &v); }
  int32_t IndexOf(T v) const { return IndexOfItem(&v); }
  // An index outside the list reads 0.
  T GetItem(int32_t index) const {
    const void* p = BaseGetItem(index);
    T v{};
    if (p) std::memcpy(&v, p, sizeof(T));
    return v;
  }
  void SetItem(int32_t index, T v) { BaseSetItem(index, &v); }
  void Assign(const TPVList& source) override {
    TPVList::Assign(source);
    if (auto* s = dynamic_cast<const TPVValueList*>(&source)) {
      range_min_ = s->range_min_;
      range_max_ = s->range_max_;
      range_step_ = s->range_step_;
      current_ = s->current_;
    }
  }
  T GetRangeMin() const { return range_min_; }
  T GetRangeMax() const { return range_max_; }
  T GetRangeStep() const { return range_step_; }
  T GetCurrentValue() const { return current_; }
  void SetRangeMin(T v) { range_min_ = v; Changed.Include(pvlRange); }
  void SetRangeMax(T v) { range_max_ = v; Changed.Include(pvlRange); }
  void SetRangeStep(T v) { range_step_ = v; Changed.Include(pvlRange); }
  void SetCurrentValue(T v) { current_ = v; Changed.Include(pvlCurrentValue); }

 private:
  T range_min_{}, range_max_{}, range_step_{}, current_{};
};

using TPVIntegerList = TPVValueList<int32_t>;
using TPVDoubleList = TPVValueList<double>;

class TPVRecordList : public TPVList {
 public:
  explicit TPVRecordList(int32_t recordSize) : TPVList(recordSize) {}
  int32_t Add(const void* record) { return AddItem(record); }
  void Insert(int32_t index, const void* record) { InsertItem(index, record); }
  int32_t IndexOf(const void* record) const { return IndexOfItem(record); }
  void* GetItem(int32_t index) { return BaseGetItem(index); }
  void SetItem(int32_t index, const void* record) { BaseSetItem(index, record); }
};

class TPVByteArray {
 public:
  static constexpr int64_t BlockSize = 8192;
  TPVByteArray() { Clear(); }
  void AddByte(uint8_t b);
  void Clear();
  void SetSize(int64_t n);
  // Grows by n, reads, and shrinks to what was read; returns the bytes read.
  int64_t AppendFromStream(TStream& stream, int64_t n);
  uint8_t* Data() { return data_.get(); }
  int64_t GetSize() const { return size_; }
  int64_t GetCapacity() const { return capacity_; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  int64_t size_ = 0;
  int64_t capacity_ = 0;
};

// Counts the bytes written without storing them: Size is the largest
// position reached.
class TNulStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return max_; }

 private:
  int64_t pos_ = 0;
  int64_t max_ = 0;
};

// A 32-bit little-endian length, then the bytes.
void SaveStringToStream(TStream& stream, const std::string& s);
// Raises EReadError when the length exceeds the bytes left in the stream.
void LoadStringFromStream(TStream& stream, std::string& s);

// (2^bits)^samples: the number of colours of a pixel layout.
int64_t _GetNumCol(int bits, int samples);

}  // namespace pictavo
