// Image metadata containers: TPVMarkerList keeps the JPEG application and
// comment markers of an image in file order (type byte + payload), and
// TPVIPTCInfoList keeps IPTC IIM datasets (record, dataset, value bytes) with
// conversion to and from the standard Photoshop "8BIM" 0x0404 resource block.
// Both have a private little-endian stream form used by the parameters file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/object.h"
#include "platform/stream.h"

namespace pictavo {

class TPVMarkerList : public TObject {
 public:
  int GetCount() const { return static_cast<int>(types_.size()); }
  uint8_t GetMarkerType(int index) const;
  uint8_t* GetMarkerData(int index);
  int GetMarkerLength(int index) const;
  // The payload stream of marker `index`, rewound to position 0.
  TMemoryStream* GetMarkerStream(int index);
  int IndexOf(uint8_t type) const;

  void AddMarker(uint8_t type, const void* data, uint16_t length);
  void SetMarker(int index, uint8_t type, const void* data, uint16_t length);
  void InsertMarker(int index, const void* data, uint8_t type, uint16_t length);
  void DeleteMarker(int index);
  void Clear();
  void Assign(const TPVMarkerList& source);

  void SaveToStream(TStream& stream) const;
  // Clears first; a corrupt stream raises EReadError and leaves the list empty.
  void LoadFromStream(TStream& stream);

 private:
  std::vector<std::unique_ptr<TMemoryStream>> data_;
  std::vector<uint8_t> types_;
};

class TPVIPTCInfoList : public TObject {
 public:
  int GetCount() const { return static_cast<int>(items_.size()); }
  int GetRecordNumber(int index) const;
  void SetRecordNumber(int index, int value);
  int GetDataSet(int index) const;
  void SetDataSet(int index, int value);
  std::string GetStrings(int index) const;
  void SetStrings(int index, const std::string& value);
  const std::vector<uint8_t>& GetBuffer(int index) const;

  int AddStringItem(int recordNumber, int dataSet, const std::string& value);
  int AddBufferItem(int recordNumber, int dataSet, const void* buffer, int bufferLength);
  void InsertStringItem(int index, int recordNumber, int dataSet, const std::string& value);
  int IndexOf(int recordNumber, int dataSet) const;
  void DeleteItem(int index);
  void Clear();
  void Assign(const TPVIPTCInfoList& source);

  bool GetUserChanged() const { return user_changed_; }
  void SetUserChanged(bool changed) { user_changed_ = changed; }

  void SaveToStream(TStream& stream) const;
  // A corrupt stream raises EReadError and leaves the list empty.
  void LoadFromStream(TStream& stream);
  // The standard buffer ("Photoshop 3.0", "8BIM", 0x0404, datasets).
  std::vector<uint8_t> SaveToStandardBuffer() const;
  void LoadFromStandardBuffer(const void* buffer, int64_t bufferLength);

 private:
  struct Item {
    int32_t record = 0;
    int32_t dataset = 0;
    std::vector<uint8_t> value;
  };
  void CheckIndex(int index) const;
  std::vector<Item> items_;
  bool user_changed_ = false;
};

}  // namespace pictavo
