#include "core/markers.h"

#include <gtest/gtest.h>

#include "platform/exceptions.h"

namespace pictavo {
namespace {

TEST(MarkerList, StreamRoundTripKeepsTypesOrderAndPayloads) {
  TPVMarkerList list;
  const uint8_t a[] = {1, 2, 3};
  const uint8_t b[] = {9};
  list.AddMarker(0xE1, a, 3);
  list.AddMarker(0xFE, b, 1);
  list.InsertMarker(0, "xy", 0xED, 2);
  TMemoryStream m;
  list.SaveToStream(m);
  // format byte + count + 3 * (type + length) + payloads
  EXPECT_EQ(m.GetSize(), 1 + 4 + 3 * 5 + 6);
  m.SetPosition(0);
  TPVMarkerList back;
  back.LoadFromStream(m);
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_EQ(back.GetMarkerType(0), 0xED);
  EXPECT_EQ(back.GetMarkerType(1), 0xE1);
  EXPECT_EQ(back.GetMarkerType(2), 0xFE);
  EXPECT_EQ(back.GetMarkerLength(1), 3);
  EXPECT_EQ(back.GetMarkerData(1)[2], 3);
  EXPECT_EQ(back.IndexOf(0xFE), 2);
  EXPECT_EQ(back.IndexOf(0xE0), -1);
}

TEST(MarkerList, MarkerStreamIsRewound) {
  TPVMarkerList list;
  list.AddMarker(0xE2, "abcd", 4);
  char c[2];
  list.GetMarkerStream(0)->ReadBuffer(c, 2);
  EXPECT_EQ(list.GetMarkerStream(0)->GetPosition(), 0);
}

TEST(MarkerList, CorruptStreamRaisesAndLeavesListEmpty) {
  TPVMarkerList list;
  list.AddMarker(0xE1, "abc", 3);
  list.AddMarker(0xE2, "defg", 4);
  TMemoryStream m;
  list.SaveToStream(m);
  // Truncate inside the second payload.
  m.SetSize(m.GetSize() - 2);
  m.SetPosition(0);
  TPVMarkerList back;
  back.AddMarker(0x01, "z", 1);
  EXPECT_THROW(back.LoadFromStream(m), EReadError);
  EXPECT_EQ(back.GetCount(), 0);
  // An absurd count is refused before anything is allocated.
  TMemoryStream bad;
  const uint8_t bytes[] = {0, 0xFF, 0xFF, 0xFF, 0x7F, 0xE1};
  bad.WriteBuffer(bytes, sizeof bytes);
  bad.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(bad), EReadError);
  EXPECT_EQ(back.GetCount(), 0);
}

TEST(IPTCList, StandardBufferLayout) {
  TPVIPTCInfoList list;
  list.AddStringItem(2, 0, "\x00\x02");  // record version: never written
  list.AddStringItem(2, 5, "Title");     // 5 + 5
  list.AddStringItem(2, 120, "Caption!");  // 5 + 8
  list.AddStringItem(2, 25, "k");        // 5 + 1
  std::vector<uint8_t> buf = list.SaveToStandardBuffer();
  ASSERT_GE(buf.size(), 26u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data()), 13), "Photoshop 3.0");
  EXPECT_EQ(buf[13], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf.data() + 14), 4), "8BIM");
  EXPECT_EQ(buf[18], 0x04);
  EXPECT_EQ(buf[19], 0x04);
  uint32_t total = (buf[22] << 24) | (buf[23] << 16) | (buf[24] << 8) | buf[25];
  EXPECT_EQ(total, 29u);  // odd: one pad byte follows, not counted
  EXPECT_EQ(buf.size(), 26u + 29u + 1u);
  EXPECT_EQ(buf.back(), 0);
  EXPECT_EQ(buf[26], 0x1C);
  EXPECT_EQ(buf[27], 2);
  EXPECT_EQ(buf[28], 5);
  EXPECT_EQ(buf[29], 0);
  EXPECT_EQ(buf[30], 5);

  TPVIPTCInfoList back;
  back.LoadFromStandardBuffer(buf.data(), static_cast<int64_t>(buf.size()));
  EXPECT_FALSE(back.GetUserChanged());
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_EQ(back.GetStrings(0), "Title");
  EXPECT_EQ(back.GetDataSet(1), 120);
  EXPECT_EQ(back.GetStrings(2), "k");
}

TEST(IPTCList, ExtendedLengthAbove32767) {
  for (size_t n : {size_t(32767), size_t(32768)}) {
    TPVIPTCInfoList list;
    std::string value(n, 'q');
    value[n - 1] = 'z';
    list.AddStringItem(2, 202, value);
    std::vector<uint8_t> buf = list.SaveToStandardBuffer();
    if (n < 32768) {
      EXPECT_EQ(buf[29], 0x7F);
      EXPECT_EQ(buf[30], 0xFF);
    } else {
      EXPECT_EQ(buf[29], 0x80);
      EXPECT_EQ(buf[30], 0x04);
      EXPECT_EQ(buf[31] << 24 | buf[32] << 16 | buf[33] << 8 | buf[34], 32768);
    }
    TPVIPTCInfoList back;
    back.LoadFromStandardBuffer(buf.data(), static_cast<int64_t>(buf.size()));
    ASSERT_EQ(back.GetCount(), 1);
    EXPECT_EQ(back.GetStrings(0), value);
  }
}

TEST(IPTCList, LoadSkipsLeadingBytesAndStopsAtTruncation) {
  std::vector<uint8_t> buf = {'j', 'u', 'n', 'k', 0x1C, 2, 5, 0, 2, 'h', 'i',
                              0x1C, 2, 6, 0, 9, 'c', 'u', 't'};
  TPVIPTCInfoList list;
  list.LoadFromStandardBuffer(buf.data(), static_cast<int64_t>(buf.size()));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetStrings(0), "hi");
  // An extended length whose value runs far past the buffer is not read.
  std::vector<uint8_t> huge = {0x1C, 2, 5, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xF0, 'a'};
  list.LoadFromStandardBuffer(huge.data(), static_cast<int64_t>(huge.size()));
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(IPTCList, SizeFieldHoldingTheTagByteIsNotMistakenForADataset) {
  // Datasets totalling 28 bytes put 0x1C into the size field at offset 25.
  TPVIPTCInfoList list;
  list.AddStringItem(2, 5, std::string(23, 't'));
  std::vector<uint8_t> buf = list.SaveToStandardBuffer();
  ASSERT_EQ(buf[25], 0x1C);
  TPVIPTCInfoList back;
  back.LoadFromStandardBuffer(buf.data(), static_cast<int64_t>(buf.size()));
  ASSERT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetStrings(0), std::string(23, 't'));
}

TEST(IPTCList, InsertAndStreamForm) {
  TPVIPTCInfoList list;
  list.AddStringItem(2, 5, "a");
  list.AddStringItem(2, 6, "b");
  list.InsertStringItem(0, 1, 90, "first");
  EXPECT_EQ(list.GetRecordNumber(0), 1);
  EXPECT_EQ(list.GetStrings(0), "first");
  EXPECT_EQ(list.GetStrings(1), "a");
  EXPECT_EQ(list.IndexOf(2, 6), 2);
  TMemoryStream m;
  list.SaveToStream(m);
  EXPECT_EQ(m.GetSize(), 8 + 3 * 12 + 7);
  m.SetPosition(0);
  TPVIPTCInfoList back;
  back.LoadFromStream(m);
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_EQ(back.GetDataSet(0), 90);
  EXPECT_EQ(back.GetStrings(2), "b");
  EXPECT_TRUE(back.GetUserChanged());
  m.SetSize(m.GetSize() - 1);
  m.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(m), EReadError);
  EXPECT_EQ(back.GetCount(), 0);
}

}  // namespace
}  // namespace pictavo
