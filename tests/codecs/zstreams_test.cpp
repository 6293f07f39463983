#include "codecs/zstreams.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "platform/exceptions.h"

using namespace pictavo;

namespace {
std::vector<uint8_t> Sample(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (i % 7 == 0) ? uint8_t(rng()) : uint8_t(i / 13);
  return v;
}
}  // namespace

TEST(ZlibBuffers, RoundTrip) {
  for (size_t n : {size_t(0), size_t(1), size_t(1000), size_t(300000)}) {
    auto in = Sample(n, unsigned(n));
    std::vector<uint8_t> packed, back;
    int64_t packedBytes = -1, backBytes = -1;
    CompressBuf(in.data(), int64_t(n), packed, packedBytes);
    EXPECT_EQ(size_t(packedBytes), packed.size());
    // zlib itself reads it.
    std::vector<uint8_t> check(n + 1);
    uLongf checkLen = uLongf(check.size());
    ASSERT_EQ(uncompress(check.data(), &checkLen, packed.data(), uLong(packed.size())), Z_OK);
    EXPECT_EQ(checkLen, n);
    for (int64_t estimate : {int64_t(0), int64_t(10), int64_t(n)}) {
      DecompressBuf(packed.data(), packedBytes, estimate, back, backBytes);
      EXPECT_EQ(backBytes, int64_t(n));
      EXPECT_EQ(back, in);
    }
  }
}

TEST(ZlibBuffers, FailuresRaiseAbortAndFreeOutput) {
  auto in = Sample(5000, 3);
  std::vector<uint8_t> packed, back;
  int64_t packedBytes = 0, backBytes = 0;
  CompressBuf(in.data(), int64_t(in.size()), packed, packedBytes);
  std::vector<uint8_t> corrupt(packed);
  corrupt[0] ^= 0xFF;  // bad header
  back.assign(10, 1);
  EXPECT_THROW(DecompressBuf(corrupt.data(), int64_t(corrupt.size()), 0, back, backBytes), EAbort);
  EXPECT_TRUE(back.empty());
  EXPECT_THROW(DecompressBuf(packed.data(), packedBytes / 2, 0, back, backBytes), EAbort);
  EXPECT_TRUE(back.empty());
  // Output beyond the inflate limit is refused.
  const int64_t saved = PVMaxInflateBytes;
  PVMaxInflateBytes = 1000;
  EXPECT_THROW(DecompressBuf(packed.data(), packedBytes, 0, back, backBytes), EAbort);
  PVMaxInflateBytes = saved;
  EXPECT_TRUE(back.empty());
}

TEST(ZlibStreams, CompressThenDecompressWithSeeks) {
  auto in = Sample(200000, 9);
  TMemoryStream packed;
  double rate = 0;
  int progressCalls = 0;
  {
    TCompressionStream c(TCompressionLevel::clMax, packed);
    c.OnProgress = [&](TObject*) { ++progressCalls; };
    EXPECT_EQ(c.GetCompressionRate(), 0);
    size_t pos = 0;
    for (size_t step : {size_t(1), size_t(999), size_t(70000), size_t(129000)}) {
      c.Write(in.data() + pos, int64_t(step));
      pos += step;
      EXPECT_EQ(c.Seek(0, soCurrent), int64_t(pos));
    }
    EXPECT_THROW(c.Seek(5, soBeginning), EAbort);
    uint8_t b;
    EXPECT_THROW(c.Read(&b, 1), EAbort);
    rate = c.GetCompressionRate();
  }
  EXPECT_GT(rate, 0);
  EXPECT_LT(rate, 100);
  // The whole deflate stream is in place once the compressor is gone.
  std::vector<uint8_t> all;
  int64_t allBytes = 0;
  DecompressBuf(packed.Memory(), packed.GetSize(), 0, all, allBytes);
  EXPECT_EQ(all, in);

  packed.SetPosition(0);
  TDecompressionStream d(packed);
  std::vector<uint8_t> got(in.size());
  size_t pos = 0;
  for (size_t step : {size_t(7), size_t(65536), size_t(100000)}) {
    ASSERT_EQ(d.Read(got.data() + pos, int64_t(step)), int64_t(step));
    pos += step;
  }
  int64_t rest = d.Read(got.data() + pos, int64_t(in.size()));  // asks for more than remains
  EXPECT_EQ(pos + size_t(rest), in.size());
  EXPECT_EQ(got, in);
  EXPECT_EQ(d.Read(got.data(), 10), 0);
  // Restart from the beginning.
  EXPECT_EQ(d.Seek(0, soBeginning), 0);
  uint8_t head[16];
  ASSERT_EQ(d.Read(head, 16), 16);
  EXPECT_EQ(0, memcmp(head, in.data(), 16));
  // Forward seeks, from the current position and from the beginning.
  EXPECT_EQ(d.Seek(10000, soCurrent), 10016);
  ASSERT_EQ(d.Read(head, 16), 16);
  EXPECT_EQ(0, memcmp(head, in.data() + 10016, 16));
  EXPECT_EQ(d.Seek(150000, soBeginning), 150000);
  ASSERT_EQ(d.Read(head, 16), 16);
  EXPECT_EQ(0, memcmp(head, in.data() + 150000, 16));
  EXPECT_THROW(d.Seek(100, soBeginning), EAbort);
  EXPECT_THROW(d.Seek(0, soEnd), EAbort);
  EXPECT_THROW(d.Write(head, 1), EAbort);
}

TEST(ZlibStreams, CorruptAndTruncatedSources) {
  auto in = Sample(100000, 4);
  std::vector<uint8_t> packed;
  int64_t packedBytes = 0;
  CompressBuf(in.data(), int64_t(in.size()), packed, packedBytes);
  {
    TReadOnlyMemoryStream src(packed.data(), packedBytes / 3);
    TDecompressionStream d(src);
    std::vector<uint8_t> got(in.size());
    const int64_t n = d.Read(got.data(), int64_t(got.size()));
    EXPECT_LT(n, int64_t(in.size()));
    EXPECT_EQ(0, memcmp(got.data(), in.data(), size_t(n)));
  }
  {
    std::vector<uint8_t> bad(packed);
    for (size_t i = 2; i < bad.size(); i += 3) bad[i] ^= 0x5A;
    TReadOnlyMemoryStream src(bad.data(), int64_t(bad.size()));
    TDecompressionStream d(src);
    std::vector<uint8_t> got(in.size());
    EXPECT_THROW(d.Read(got.data(), int64_t(got.size())), EAbort);
  }
}
