#include "core/containers.h"

#include <gtest/gtest.h>

#include "platform/exceptions.h"

namespace pictavo {
namespace {

TEST(PVList, InsertDeleteAndIndicesOutside) {
  TPVIntegerList l;
  EXPECT_EQ(l.IndexOf(3), -1);
  l.Add(10);
  l.Add(20);
  l.Insert(2, 30);  // at the count: appends
  l.Insert(0, 5);
  ASSERT_EQ(l.GetCount(), 4);
  EXPECT_EQ(l.GetItem(0), 5);
  EXPECT_EQ(l.GetItem(3), 30);
  EXPECT_EQ(l.IndexOf(20), 2);
  l.Changed = TPVListChanges();
  l.Delete(-1);
  l.Delete(4);
  l.Insert(-1, 99);
  l.SetItem(4, 99);
  l.SetItem(-2, 99);
  EXPECT_EQ(l.GetCount(), 4);
  EXPECT_TRUE(l.Changed.Empty());
  EXPECT_EQ(l.BaseGetItem(4), nullptr);
  EXPECT_EQ(l.BaseGetItem(-1), nullptr);
  EXPECT_EQ(l.IndexOf(99), -1);
  l.Delete(1);
  EXPECT_TRUE(l.Changed.Contains(pvlItems));
  EXPECT_EQ(l.GetItem(1), 20);
  EXPECT_EQ(l.GetCount(), 3);
  l.SetCount(1);
  EXPECT_EQ(l.GetItem(0), 5);
}

TEST(PVList, RangesChangesAndAssign) {
  TPVDoubleList d;
  d.SetRangeMin(0.5);
  EXPECT_TRUE(d.Changed.Contains(pvlRange));
  EXPECT_FALSE(d.Changed.Contains(pvlCurrentValue));
  d.SetCurrentValue(2.25);
  EXPECT_EQ(d.Changed.Bits(), (1u << pvlRange) | (1u << pvlCurrentValue));
  d.SetRangeMax(9);
  d.Add(1.5);
  TPVDoubleList e;
  e.Assign(d);
  EXPECT_EQ(e.GetCount(), 1);
  EXPECT_EQ(e.GetItem(0), 1.5);
  EXPECT_EQ(e.GetRangeMax(), 9);
  EXPECT_EQ(e.GetCurrentValue(), 2.25);
  EXPECT_EQ(e.Changed, d.Changed);
  e.Clear();
  EXPECT_EQ(e.GetCount(), 0);
  EXPECT_EQ(e.GetRangeMin(), 0);
  EXPECT_EQ(e.GetCurrentValue(), 0);
  EXPECT_TRUE(e.Changed.Empty());
  EXPECT_EQ(e.GetItemSize(), 8);

  struct Rec { int32_t a; int16_t b; int16_t c; };
  TPVRecordList r(sizeof(Rec));
  Rec x{1, 2, 3}, y{4, 5, 6};
  r.Add(&x);
  r.Insert(0, &y);
  EXPECT_EQ(r.IndexOf(&x), 1);
  EXPECT_EQ(static_cast<Rec*>(r.GetItem(0))->c, 6);
}

TEST(PVByteArray, GrowShrinkAndAppend) {
  TPVByteArray a;
  EXPECT_EQ(a.GetCapacity(), 8192);
  for (int i = 0; i < 20000; ++i) a.AddByte(uint8_t(i * 7));
  EXPECT_EQ(a.GetSize(), 20000);
  EXPECT_EQ(a.GetCapacity(), 16386 + 8192);  // grown a byte at a time: each overflow adds a block
  EXPECT_EQ(a.Data()[19999], uint8_t(19999 * 7));
  TPVByteArray b;
  b.SetSize(20000);
  EXPECT_EQ(b.GetCapacity(), 28192);
  for (int i = 0; i < 20000; ++i) b.Data()[i] = uint8_t(i * 7);
  b.SetSize(100);
  EXPECT_EQ(b.GetCapacity(), 8292);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(b.Data()[i], uint8_t(i * 7));
  b.SetSize(21000);  // within the capacity minus a block: no move
  EXPECT_EQ(b.GetCapacity(), 29192);

  TMemoryStream s;
  uint8_t bytes[5] = {1, 2, 3, 4, 5};
  s.Write(bytes, 5);
  s.SetPosition(2);
  TPVByteArray c;
  c.AddByte(9);
  EXPECT_EQ(c.AppendFromStream(s, 10), 3);
  EXPECT_EQ(c.GetSize(), 4);
  EXPECT_EQ(c.Data()[3], 5);
  EXPECT_EQ(c.AppendFromStream(s, 10), 0);
  EXPECT_EQ(c.GetSize(), 4);
  c.Clear();
  EXPECT_EQ(c.GetSize(), 0);
  EXPECT_EQ(c.GetCapacity(), 8192);
}

TEST(NulStream, CountsWithoutStoring) {
  TNulStream n;
  uint8_t buf[10] = {};
  EXPECT_EQ(n.Write(buf, 10), 10);
  EXPECT_EQ(n.Seek(4, soBeginning), 4);
  EXPECT_EQ(n.GetSize(), 10);
  EXPECT_EQ(n.Read(buf, 3), 3);
  EXPECT_EQ(n.GetPosition(), 7);
  EXPECT_EQ(n.Seek(2, soEnd), 8);
  EXPECT_EQ(n.Seek(10, soCurrent), 18);
  EXPECT_EQ(n.GetSize(), 18);
}

TEST(StreamStrings, RoundTripAndTruncatedLength) {
  TMemoryStream s;
  SaveStringToStream(s, "abc");
  SaveStringToStream(s, "");
  ASSERT_EQ(s.GetSize(), 11);
  EXPECT_EQ(s.Memory()[0], 3);
  EXPECT_EQ(s.Memory()[4], 'a');
  s.SetPosition(0);
  std::string a, b;
  LoadStringFromStream(s, a);
  LoadStringFromStream(s, b);
  EXPECT_EQ(a, "abc");
  EXPECT_EQ(b, "");
  // A length of 4 GB - 1 with three bytes behind it is refused before any
  // allocation.
  TMemoryStream bad;
  uint8_t data[7] = {0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y', 'z'};
  bad.Write(data, 7);
  bad.SetPosition(0);
  EXPECT_THROW(LoadStringFromStream(bad, a), EReadError);
  TMemoryStream shortLen;
  shortLen.Write(data, 2);
  shortLen.SetPosition(0);
  EXPECT_THROW(LoadStringFromStream(shortLen, a), EReadError);
}

TEST(GetNumCol, PowersOfLayouts) {
  EXPECT_EQ(_GetNumCol(1, 1), 2);
  EXPECT_EQ(_GetNumCol(8, 3), 16777216);
  EXPECT_EQ(_GetNumCol(4, 1), 16);
  EXPECT_EQ(_GetNumCol(16, 3), int64_t(1) << 48);
  EXPECT_EQ(_GetNumCol(16, 4), -1);  // not representable
}

}  // namespace
}  // namespace pictavo
