// TIFF files built field by field: strips without byte counts, FillOrder 2,
// Deflate in both of its codes, short texts stored in the entry, impossible
// sizes and unknown compressions refused with their reason, the page list.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/tiff.h"
#include "core/pvdefs.h"
#include "platform/bitmap.h"
#include "platform/stream.h"
#include "tests/codecs/bytes_util.h"
#include "tests/codecs/tiff_test_util.h"

namespace pictavo {
namespace {

constexpr uint16_t kShort = 3, kLong = 4, kAscii = 2;

struct Field {
  uint16_t tag, type;
  uint32_t count, value;
};

using testutil::Put16;
using testutil::Put32;
uint16_t Get16(const std::vector<uint8_t>& v, size_t at) {
  return uint16_t(v[at] | v[at + 1] << 8);
}
uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
  return Get16(v, at) | uint32_t(Get16(v, at + 2)) << 16;
}

// A little-endian TIFF: the header, `body` at offset 8 (offsets in fields
// count from the file's start), then one IFD of the fields in tag order.
std::vector<uint8_t> MakeTiff(const std::vector<uint8_t>& body, const std::vector<Field>& fields) {
  std::vector<uint8_t> v = {'I', 'I', 42, 0};
  const uint32_t ifd = uint32_t(8 + body.size() + (body.size() & 1));
  Put32(v, ifd);
  v.insert(v.end(), body.begin(), body.end());
  if (body.size() & 1) v.push_back(0);
  Put16(v, uint32_t(fields.size()));
  for (const Field& f : fields) {
    Put16(v, f.tag);
    Put16(v, f.type);
    Put32(v, f.count);
    Put32(v, f.value);
  }
  Put32(v, 0);
  return v;
}

struct Read {
  TBitmap bmp;
  TIOParamsVals params;
  bool aborted = false;
  TPVDiagnostics diag;
  int pages = 0;
};

void ReadTiffBytes(const std::vector<uint8_t>& file, Read& r, bool paramsOnly = false) {
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  TProgressRec progress;
  progress.Aborting = &r.aborted;
  progress.Diagnostics = &r.diag;
  TIFFReadStream(&r.bmp, s, r.pages, &r.params, progress, paramsOnly);
}

TRGB PixelAt(const TBitmap& b, int x, int y) {
  return reinterpret_cast<const TRGB*>(const_cast<TBitmap&>(b).ScanLine(y))[x];
}

// Grey strips of one row each, the value of (x, y) being x * 40 + y mod 256.
constexpr int kGreyW = 5, kGreyH = 300;
uint8_t GreyValue(int x, int y) {
  return uint8_t((x * 40 + y) & 0xFF);
}

// The strips (raw or each row deflated), their offsets after them, and the
// fields; counts: absent (no field), or every count 0xFFFFFFFF.
std::vector<uint8_t> GreyStrips(bool deflate, bool countField, uint16_t compressionCode = 8) {
  std::vector<uint8_t> body;
  std::vector<uint32_t> offsets, counts;
  for (int y = 0; y < kGreyH; ++y) {
    uint8_t row[kGreyW];
    for (int x = 0; x < kGreyW; ++x) row[x] = GreyValue(x, y);
    offsets.push_back(uint32_t(8 + body.size()));
    if (deflate) {
      uLongf n = compressBound(kGreyW);
      std::vector<uint8_t> z(n);
      compress(z.data(), &n, row, kGreyW);
      body.insert(body.end(), z.begin(), z.begin() + long(n));
    } else {
      body.insert(body.end(), row, row + kGreyW);
    }
  }
  if (body.size() & 1) body.push_back(0);
  const uint32_t offsetsAt = uint32_t(8 + body.size());
  for (uint32_t o : offsets) Put32(body, o);
  const uint32_t countsAt = uint32_t(8 + body.size());
  for (int y = 0; y < kGreyH; ++y) Put32(body, 0xFFFFFFFF);
  std::vector<Field> f = {
      {256, kShort, 1, kGreyW}, {257, kShort, 1, kGreyH},
      {258, kShort, 1, 8},      {259, kShort, 1, deflate ? compressionCode : 1u},
      {262, kShort, 1, 1},      {273, kLong, kGreyH, offsetsAt},
      {277, kShort, 1, 1},      {278, kShort, 1, 1}};
  if (countField) f.push_back({279, kLong, kGreyH, countsAt});
  return MakeTiff(body, f);
}

void ExpectGreyPicture(const Read& r) {
  ASSERT_EQ(r.bmp.GetWidth(), kGreyW);
  ASSERT_EQ(r.bmp.GetHeight(), kGreyH);
  int wrong = 0;
  for (int y = 0; y < kGreyH; ++y)
    for (int x = 0; x < kGreyW; ++x) {
      const uint8_t g = GreyValue(x, y);
      if (!(PixelAt(r.bmp, x, y) == TRGB{g, g, g})) ++wrong;
    }
  EXPECT_EQ(wrong, 0);
}

TEST(TiffFraming, StripsWithoutByteCounts) {
  for (bool deflate : {false, true})
    for (bool countField : {false, true}) {
      SCOPED_TRACE(std::string(deflate ? "deflate" : "raw") +
                   (countField ? ", counts 0xFFFFFFFF" : ", no counts"));
      Read r;
      ReadTiffBytes(GreyStrips(deflate, countField), r);
      EXPECT_FALSE(r.aborted) << r.diag.Error.Message;
      ExpectGreyPicture(r);
    }
}

TEST(TiffFraming, DeflateUnderBothCodesReportedAsDeflate) {
  for (uint16_t code : {uint16_t(8), uint16_t(32946)}) {
    SCOPED_TRACE(code);
    Read r;
    ReadTiffBytes(GreyStrips(true, false, code), r);
    EXPECT_FALSE(r.aborted) << r.diag.Error.Message;
    EXPECT_EQ(r.params.TIFF_Compression, ioTIFF_DEFLATE);
    ExpectGreyPicture(r);
  }
  // Damaged zlib data: the rows that inflate are kept, the failure says so.
  std::vector<uint8_t> bad = GreyStrips(true, false);
  bad[8 + 2] ^= 0xFF;  // inside the first strip's deflate data
  Read r;
  ReadTiffBytes(bad, r);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.diag.Error.Code, TPVErrorCode::Truncated);
}

// 1-bit uncompressed data stored with the first pixel in the low bit.
TEST(TiffFraming, FillOrderTwoUncompressed) {
  constexpr int w = 12, h = 4, rowBytes = 2;
  auto bit = [](int x, int y) { return (x * 3 + y) % 5 == 0 || x == 11; };
  std::vector<uint8_t> body(size_t(rowBytes) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (bit(x, y)) body[size_t(y) * rowBytes + x / 8] |= uint8_t(1 << (x % 8));
  const std::vector<Field> f = {{256, kShort, 1, w}, {257, kShort, 1, h},
                                {258, kShort, 1, 1}, {259, kShort, 1, 1},
                                {262, kShort, 1, 1}, {266, kShort, 1, 2},
                                {273, kLong, 1, 8},  {277, kShort, 1, 1},
                                {278, kShort, 1, h}, {279, kLong, 1, uint32_t(body.size())}};
  Read r;
  ReadTiffBytes(MakeTiff(body, f), r);
  ASSERT_FALSE(r.aborted) << r.diag.Error.Message;
  ASSERT_EQ(r.bmp.GetWidth(), w);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (r.bmp.GetPixel(x, y) != (bit(x, y) ? TColor(0xFFFFFF) : TColor(0))) ++wrong;
  EXPECT_EQ(wrong, 0);
}

TEST(TiffFraming, ImpossibleSizesRefusedBeforeReporting) {
  const std::vector<Field> f = {
      {256, kLong, 1, 1000}, {257, kLong, 1, 0x80000000u}, {258, kShort, 1, 8}, {259, kShort, 1, 1},
      {262, kShort, 1, 1},   {273, kLong, 1, 8},           {277, kShort, 1, 1}, {278, kLong, 1, 1}};
  Read r;
  r.params.Width = 7;
  r.params.Height = 9;
  ReadTiffBytes(MakeTiff({0, 0}, f), r, true);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.diag.Error.Code, TPVErrorCode::Corrupt);
  EXPECT_EQ(r.params.Height, 9);
  EXPECT_EQ(r.params.Width, 7);
}

TEST(TiffFraming, UnknownCompressionNamed) {
  const std::vector<Field> f = {{256, kShort, 1, 4},     {257, kShort, 1, 4}, {258, kShort, 1, 8},
                                {259, kShort, 1, 34712}, {262, kShort, 1, 1}, {273, kLong, 1, 8},
                                {277, kShort, 1, 1},     {278, kShort, 1, 4}, {279, kLong, 1, 16}};
  Read r;
  ReadTiffBytes(MakeTiff(std::vector<uint8_t>(16, 1), f), r);
  EXPECT_TRUE(r.aborted);
  EXPECT_EQ(r.diag.Error.Code, TPVErrorCode::Unsupported);
  EXPECT_EQ(r.diag.Error.Message, "TIFF compression 34712 not supported");
}

std::vector<uint8_t> WritePage(TBitmap& bmp, TIOParamsVals& params) {
  TMemoryStream s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  TIFFWriteStream(s, false, bmp, params, progress);
  EXPECT_FALSE(aborted);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.GetSize());
}

// The entry of `tag` in the first IFD: its type, count and value bytes.
bool FindEntry(const std::vector<uint8_t>& file, uint16_t tag, Field& out, uint8_t value[4]) {
  const uint32_t ifd = Get32(file, 4);
  const uint16_t n = Get16(file, ifd);
  for (uint16_t i = 0; i < n; ++i) {
    const size_t e = ifd + 2 + 12 * size_t(i);
    if (Get16(file, e) != tag) continue;
    out = {tag, Get16(file, e + 2), Get32(file, e + 4), Get32(file, e + 8)};
    std::memcpy(value, file.data() + e + 8, 4);
    return true;
  }
  return false;
}

void Picture(TBitmap& bmp, int w, int h) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < 3 * w; ++x) row[x] = uint8_t((x * 7 + y * 13 + (x * y) % 11) & 0xFF);
  }
}

TEST(TiffFraming, ShortTextsStoredInTheEntry) {
  TBitmap bmp;
  Picture(bmp, 6, 4);
  TIOParamsVals params;
  params.TIFF_DocumentName = "Doc";
  params.TIFF_PageName = "P1";
  params.TIFF_ImageDescription = "A longer text";
  const std::vector<uint8_t> file = WritePage(bmp, params);
  Field f{};
  uint8_t value[4];
  ASSERT_TRUE(FindEntry(file, 269, f, value));
  EXPECT_EQ(f.type, kAscii);
  EXPECT_EQ(f.count, 4u);
  EXPECT_EQ(std::memcmp(value, "Doc", 4), 0);
  ASSERT_TRUE(FindEntry(file, 285, f, value));
  EXPECT_EQ(f.count, 3u);
  EXPECT_EQ(std::memcmp(value, "P1\0", 4), 0);
  ASSERT_TRUE(FindEntry(file, 270, f, value));
  EXPECT_EQ(f.count, 14u);
  ASSERT_LE(f.value + 14, file.size());
  EXPECT_EQ(std::memcmp(file.data() + f.value, "A longer text", 14), 0);
  Read r;
  ReadTiffBytes(file, r, true);
  EXPECT_EQ(r.params.TIFF_DocumentName, "Doc");
  EXPECT_EQ(r.params.TIFF_PageName, "P1");
  EXPECT_EQ(r.params.TIFF_ImageDescription, "A longer text");
  if (tifftest::HaveTool("tiffinfo")) {
    const std::string name = tifftest::Tmp("short_texts.tif");
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    FILE* p = popen(("tiffinfo '" + name + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
    EXPECT_NE(out.find("DocumentName: Doc"), std::string::npos) << out;
    EXPECT_NE(out.find("PageName: P1"), std::string::npos) << out;
    EXPECT_EQ(out.find("arning"), std::string::npos) << out;
  }
}

TEST(TiffFraming, DeflateWrittenReadBackAndByLibtiff) {
  TBitmap bmp;
  Picture(bmp, 37, 23);
  TIOParamsVals params;
  params.TIFF_Compression = ioTIFF_DEFLATE;
  const std::vector<uint8_t> file = WritePage(bmp, params);
  Field f{};
  uint8_t value[4];
  ASSERT_TRUE(FindEntry(file, 259, f, value));
  EXPECT_EQ(f.value & 0xFFFF, 8u);
  ASSERT_TRUE(FindEntry(file, 317, f, value));
  EXPECT_EQ(f.value & 0xFFFF, 2u);
  Read r;
  ReadTiffBytes(file, r);
  ASSERT_FALSE(r.aborted) << r.diag.Error.Message;
  EXPECT_EQ(r.params.TIFF_Compression, ioTIFF_DEFLATE);
  int wrong = 0;
  for (int y = 0; y < 23; ++y)
    if (std::memcmp(r.bmp.ScanLine(y), bmp.ScanLine(y), 37 * 3) != 0) ++wrong;
  EXPECT_EQ(wrong, 0);
  if (!tifftest::HaveTool("tiffcp")) return;
  // libtiff decodes the file to plain strips with the same pixels.
  const std::string ours = tifftest::Tmp("deflate_ours.tif"),
                    plain = tifftest::Tmp("deflate_plain.tif");
  std::ofstream(ours, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  ASSERT_EQ(tifftest::Sh("tiffcp -c none '" + ours + "' '" + plain + "'"), 0);
  std::ifstream in(plain, std::ios::binary);
  const std::vector<uint8_t> plainBytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  Read p;
  ReadTiffBytes(plainBytes, p);
  ASSERT_FALSE(p.aborted);
  EXPECT_EQ(p.params.TIFF_Compression, ioTIFF_UNCOMPRESSED);
  wrong = 0;
  for (int y = 0; y < 23; ++y)
    if (std::memcmp(p.bmp.ScanLine(y), bmp.ScanLine(y), 37 * 3) != 0) ++wrong;
  EXPECT_EQ(wrong, 0);
  // Deflate files of libtiff, with and without the predictor, in strips of
  // five rows: the same pixels.
  for (const char* mode : {"zip", "zip:2"}) {
    SCOPED_TRACE(mode);
    const std::string zip = tifftest::Tmp(std::string("deflate_libtiff.tif"));
    ASSERT_EQ(
        tifftest::Sh("tiffcp -r 5 -c " + std::string(mode) + " '" + plain + "' '" + zip + "'"), 0);
    std::ifstream z(zip, std::ios::binary);
    const std::vector<uint8_t> zipBytes((std::istreambuf_iterator<char>(z)),
                                        std::istreambuf_iterator<char>());
    Read q;
    ReadTiffBytes(zipBytes, q);
    ASSERT_FALSE(q.aborted) << q.diag.Error.Message;
    EXPECT_EQ(q.params.TIFF_Compression, ioTIFF_DEFLATE);
    wrong = 0;
    for (int y = 0; y < 23; ++y)
      if (std::memcmp(q.bmp.ScanLine(y), bmp.ScanLine(y), 37 * 3) != 0) ++wrong;
    EXPECT_EQ(wrong, 0);
  }
}

TEST(TiffFraming, PageListInOnePass) {
  TMemoryStream s;
  for (int i = 0; i < 3; ++i) {
    TBitmap bmp;
    Picture(bmp, 10 + i, 5 + 2 * i);
    TIOParamsVals params;
    params.TIFF_ImageIndex = i;
    params.TIFF_Compression = i == 1 ? ioTIFF_DEFLATE : ioTIFF_PACKBITS;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    s.SetPosition(0);
    EXPECT_EQ(TIFFWriteStream(s, i > 0, bmp, params, progress), i + 1);
  }
  s.SetPosition(0);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  std::vector<std::pair<int, int>> sizes;
  std::vector<int> compressions;
  const int pages = TIFFListPages(s, progress, [&](int index, const TIOParamsVals& p) {
    EXPECT_EQ(index, int(sizes.size()));
    sizes.push_back({p.Width, p.Height});
    compressions.push_back(p.TIFF_Compression);
  });
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{10, 5}, {11, 7}, {12, 9}}));
  EXPECT_EQ(compressions, (std::vector<int>{ioTIFF_PACKBITS, ioTIFF_DEFLATE, ioTIFF_PACKBITS}));
}

}  // namespace
}  // namespace pictavo

namespace pictavo {
namespace {

std::vector<uint8_t> FileBytes(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

// JPEG strips of libtiff (YCbCr with shared tables, and RGB, and grey): the
// pixels libtiff itself decodes, within the rounding of two decoders.
TEST(TiffFraming, JpegStripsReadWithTheirTables) {
  if (!tifftest::HaveTool("tiffcp")) GTEST_SKIP() << "libtiff tools missing";
  TBitmap bmp;
  Picture(bmp, 40, 24);
  TIOParamsVals params;
  std::vector<uint8_t> plain = WritePage(bmp, params);
  const std::string src = tifftest::Tmp("jpeg_src.tif");
  std::ofstream(src, std::ios::binary)
      .write(reinterpret_cast<const char*>(plain.data()), std::streamsize(plain.size()));
  for (const char* options : {"-c jpeg -r 16", "-c jpeg:r -r 8", "-c jpeg -t -w 16 -l 16"}) {
    SCOPED_TRACE(options);
    const std::string jpg = tifftest::Tmp("jpeg_strips.tif"), back = tifftest::Tmp("jpeg_back.tif");
    ASSERT_EQ(tifftest::Sh(std::string("tiffcp ") + options + " '" + src + "' '" + jpg + "'"), 0);
    ASSERT_EQ(tifftest::Sh("tiffcp -c none '" + jpg + "' '" + back + "'"), 0);
    Read ours, ref;
    ReadTiffBytes(FileBytes(jpg), ours);
    ReadTiffBytes(FileBytes(back), ref);
    ASSERT_FALSE(ours.aborted) << ours.diag.Error.Message;
    ASSERT_FALSE(ref.aborted) << ref.diag.Error.Message;
    EXPECT_EQ(ours.params.TIFF_Compression, ioTIFF_JPEG);
    ASSERT_EQ(ours.bmp.GetWidth(), 40);
    ASSERT_EQ(ref.bmp.GetWidth(), 40);
    int worst = 0;
    for (int y = 0; y < 24; ++y) {
      const uint8_t* a = ours.bmp.ScanLine(y);
      const uint8_t* b = ref.bmp.ScanLine(y);
      for (int i = 0; i < 40 * 3; ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    }
    EXPECT_LE(worst, 4);
  }
}

}  // namespace
}  // namespace pictavo
