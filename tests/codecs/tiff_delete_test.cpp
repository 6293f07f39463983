// Page deletion on big-endian files with several strips, out-of-line values
// and fields that cannot be carried over.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "codecs/tiff.h"
#include "core/pvdefs.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return uint16_t(b[at] << 8 | b[at + 1]);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Field {
  uint16_t type;
  uint32_t count, value;
};
using Ifd = std::map<uint16_t, Field>;

// A big-endian file built field by field.
struct BigEndianFile {
  std::vector<uint8_t> bytes{'M', 'M', 0, 42, 0, 0, 0, 0};
  std::vector<Ifd> pages;

  uint32_t Data(const std::string& s) {
    uint32_t at = uint32_t(bytes.size());
    bytes.insert(bytes.end(), s.begin(), s.end());
    if (bytes.size() & 1) bytes.push_back(0);
    return at;
  }
  std::vector<uint8_t> Build() {
    std::vector<size_t> links;
    for (const Ifd& ifd : pages) {
      const size_t at = bytes.size();
      if (links.empty())
        Put32(bytes, 4, uint32_t(at));
      else
        Put32(bytes, links.back(), uint32_t(at));
      bytes.resize(at + 2 + ifd.size() * 12 + 4, 0);
      Put16(bytes, at, uint16_t(ifd.size()));
      size_t e = at + 2;
      for (const auto& [tag, f] : ifd) {
        Put16(bytes, e, tag);
        Put16(bytes, e + 2, f.type);
        Put32(bytes, e + 4, f.count);
        // A single SHORT sits in the first half of the value field.
        if (f.type == 3 && f.count == 1)
          Put16(bytes, e + 8, uint16_t(f.value));
        else
          Put32(bytes, e + 8, f.value);
        e += 12;
      }
      links.push_back(e);
    }
    return bytes;
  }
};

// Reads every page's fields of a big-endian file.
std::vector<Ifd> ReadPages(const std::vector<uint8_t>& b) {
  std::vector<Ifd> pages;
  uint32_t off = Get32(b, 4);
  while (off != 0 && pages.size() < 16) {
    Ifd ifd;
    const int n = Get16(b, off);
    for (int i = 0; i < n; ++i) {
      const size_t e = off + 2 + size_t(i) * 12;
      Field f{Get16(b, e + 2), Get32(b, e + 4), Get32(b, e + 8)};
      if (f.type == 3 && f.count == 1) f.value = Get16(b, e + 8);
      ifd[Get16(b, e)] = f;
    }
    pages.push_back(ifd);
    off = Get32(b, off + 2 + size_t(n) * 12);
  }
  return pages;
}

std::string Bytes(const std::vector<uint8_t>& b, uint32_t at, uint32_t n) {
  return std::string(b.begin() + at, b.begin() + at + n);
}

// Page 0: one strip; page 1: two strips listed out of line, a description,
// an EXIF pointer and a field of an unknown type.
std::vector<uint8_t> TwoPages() {
  BigEndianFile f;
  const uint32_t s0 = f.Data("first-page");
  const uint32_t a = f.Data("strip-A!"), b = f.Data("strip-B.");
  const uint32_t desc = f.Data("second page\0");
  std::string offsets(8, '\0');
  for (int i = 0; i < 4; ++i) {
    offsets[i] = char(a >> (24 - 8 * i));
    offsets[4 + i] = char(b >> (24 - 8 * i));
  }
  const uint32_t offs = f.Data(offsets);
  f.pages.push_back({{256, {3, 1, 10}}, {257, {3, 1, 1}}, {273, {4, 1, s0}}, {279, {4, 1, 10}}});
  f.pages.push_back({{256, {3, 1, 8}},
                     {257, {3, 1, 2}},
                     {270, {2, 12, desc}},
                     {273, {4, 2, offs}},
                     {279, {3, 2, (8u << 16) | 8u}},
                     {34665, {4, 1, 8}},
                     {40000, {99, 1, 0}}});
  return f.Build();
}

std::vector<uint8_t> Delete(const std::vector<uint8_t>& file, int index, int& pagesWalked) {
  TMemoryStream s;
  s.Write(file.data(), int64_t(file.size()));
  s.Seek(0, soBeginning);
  pagesWalked = DeleteTIFFImStream(s, index);
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.GetSize());
}

TEST(TiffDelete, BigEndianPageKeepsItsStripsAndValuesAndDropsForeignPointers) {
  const std::vector<uint8_t> file = TwoPages();
  int walked = 0;
  const std::vector<uint8_t> out = Delete(file, 0, walked);
  EXPECT_EQ(walked, 2);
  ASSERT_EQ(Bytes(out, 0, 4), std::string("MM\0*", 4));
  const std::vector<Ifd> pages = ReadPages(out);
  ASSERT_EQ(pages.size(), 1u);
  const Ifd& p = pages[0];
  EXPECT_EQ(p.size(), 5u);  // EXIF pointer and unknown type dropped
  EXPECT_FALSE(p.count(34665));
  EXPECT_FALSE(p.count(40000));
  EXPECT_EQ(p.at(256).value, 8u);
  EXPECT_EQ(p.at(257).value, 2u);
  EXPECT_EQ(Get32(out, 4) % 2, 0u);

  const Field& d = p.at(270);
  EXPECT_EQ(d.count, 12u);
  EXPECT_EQ(d.value % 2, 0u);
  EXPECT_EQ(Bytes(out, d.value, 12), std::string("second page\0", 12));

  // The strip offsets are rewritten as LONGs pointing at copies of the strips.
  const Field& so = p.at(273);
  ASSERT_EQ(so.type, 4);
  ASSERT_EQ(so.count, 2u);
  EXPECT_EQ(so.value % 2, 0u);
  EXPECT_EQ(Bytes(out, Get32(out, so.value), 8), "strip-A!");
  EXPECT_EQ(Bytes(out, Get32(out, so.value + 4), 8), "strip-B.");
  EXPECT_EQ(p.at(279).type, 3);
  EXPECT_EQ(p.at(279).value, (8u << 16) | 8u);
  // Nothing of the deleted page is carried over.
  EXPECT_EQ(std::string(out.begin(), out.end()).find("first-page"), std::string::npos);
}

TEST(TiffDelete, LastPageAndMissingPage) {
  const std::vector<uint8_t> file = TwoPages();
  int walked = 0;
  const std::vector<uint8_t> out = Delete(file, 1, walked);
  EXPECT_EQ(walked, 2);
  const std::vector<Ifd> pages = ReadPages(out);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].at(256).value, 10u);
  EXPECT_EQ(Bytes(out, pages[0].at(273).value, 10), "first-page");
  EXPECT_EQ(std::string(out.begin(), out.end()).find("strip-A!"), std::string::npos);

  // A page past the end leaves the file as it was.
  EXPECT_EQ(Delete(file, 5, walked), file);
  EXPECT_EQ(walked, 2);

  // A strip that lies outside the file: nothing is written.
  std::vector<uint8_t> broken = file;
  const std::vector<Ifd> before = ReadPages(file);
  const uint32_t offs = before[1].at(273).value;
  Put32(broken, offs + 4, uint32_t(broken.size()) + 100);
  EXPECT_EQ(Delete(broken, 0, walked), broken);
  EXPECT_EQ(walked, 0);
}

}  // namespace
}  // namespace pictavo
