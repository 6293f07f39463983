#include "platform/stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/streamreader.h"
#include "platform/exceptions.h"
#include "platform/lists.h"

namespace pictavo {
namespace {

TEST(Stream, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  const char text[] = "abcdef";
  m.WriteBuffer(text, 6);
  EXPECT_EQ(m.GetSize(), 6);
  EXPECT_EQ(m.Seek(-2, soEnd), 4);
  char out[8] = {};
  EXPECT_EQ(m.Read(out, 4), 2);
  EXPECT_EQ(std::string(out, 2), "ef");
  m.SetPosition(0);
  EXPECT_THROW(m.ReadBuffer(out, 7), EReadError);
  m.SetPosition(8);  // writing past the end zero-fills the gap
  m.WriteBuffer("z", 1);
  EXPECT_EQ(m.GetSize(), 9);
  EXPECT_EQ(m.Memory()[6], 0);
}

TEST(Stream, FileStreamErrors) {
  EXPECT_THROW(TFileStream("/nonexistent/dir/x", fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream("/nonexistent/dir/x", fmCreate), EFCreateError);
  auto path = std::filesystem::temp_directory_path() / "pictavo_stream_test.bin";
  {
    TFileStream f(path.string(), fmCreate);
    f.WriteBuffer("hello", 5);
  }
  TFileStream f(path.string(), fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(f.GetSize(), 5);
  char buf[5];
  f.ReadBuffer(buf, 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  std::filesystem::remove(path);
}

TEST(StreamReader, NeverReadsPastTheLimit) {
  TMemoryStream m;
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
  m.WriteBuffer(bytes, 6);
  m.SetPosition(1);
  TStreamReader r(m, 4);
  EXPECT_EQ(r.Remaining(), 4);
  EXPECT_EQ(r.U16LE(), 0x0302);
  EXPECT_EQ(r.U16BE(), 0x0405);
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.U8(), 0);
  EXPECT_TRUE(r.Failed());
  EXPECT_FALSE(r.SeekTo(0));  // before the start
  EXPECT_TRUE(r.SeekTo(1));
  std::vector<uint8_t> v;
  EXPECT_FALSE(r.ReadBytes(v, 5));
  EXPECT_TRUE(r.ReadBytes(v, 4));
  EXPECT_EQ(v[3], 5);
}

TEST(StringList, TextUsesCrLf) {
  TStringList s;
  s.Add("one");
  s.Add("two");
  EXPECT_EQ(s.GetText(), "one\r\ntwo\r\n");
  s.SetText("a\nb\r\nc\rd");
  ASSERT_EQ(s.Count(), 4);
  EXPECT_EQ(s.Get(3), "d");
  EXPECT_THROW(s.Get(4), EListError);
}

}  // namespace
}  // namespace pictavo
