// The TIFF reader and writer on hand-made files: tag rules, page chains,
// insertion and deletion, and malformed input.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "core/pvdefs.h"
#include "core/streamreader.h"
#include "tests/codecs/tiff_test_util.h"

namespace pictavo {
namespace {

// A little-endian TIFF assembled entry by entry.
struct Builder {
  struct E {
    uint16_t tag, type;
    uint32_t count, value;
  };
  std::vector<uint8_t> bytes{'I', 'I', 42, 0, 0, 0, 0, 0};
  std::vector<std::vector<E>> ifds;
  uint32_t Data(const std::vector<uint8_t>& d) {
    uint32_t at = uint32_t(bytes.size());
    bytes.insert(bytes.end(), d.begin(), d.end());
    if (bytes.size() & 1) bytes.push_back(0);
    return at;
  }
  // Writes the IFDs chained in order; `next` overrides the last link.
  std::vector<uint8_t> Build(int64_t lastNext = 0) {
    std::vector<uint32_t> at;
    for (auto& ifd : ifds) {
      at.push_back(uint32_t(bytes.size()));
      uint8_t b[12];
      PutU16LE(b, uint16_t(ifd.size()));
      bytes.insert(bytes.end(), b, b + 2);
      for (E& e : ifd) {
        PutU16LE(b, e.tag);
        PutU16LE(b + 2, e.type);
        PutU32LE(b + 4, e.count);
        PutU32LE(b + 8, e.value);
        bytes.insert(bytes.end(), b, b + 12);
      }
      bytes.insert(bytes.end(), 4, 0);
    }
    PutU32LE(&bytes[4], at.empty() ? 0 : at[0]);
    for (size_t i = 0; i < at.size(); ++i) {
      size_t link = at[i] + 2 + ifds[i].size() * 12;
      uint32_t next = i + 1 < at.size() ? at[i + 1] : uint32_t(lastNext);
      if (lastNext < 0) next = at[size_t(-lastNext - 1)];
      if (i + 1 < at.size()) next = at[i + 1];
      PutU32LE(&bytes[link], next);
    }
    return bytes;
  }
  // An 8 x 2 uncompressed grey page.
  void GreyPage(uint32_t strip, std::vector<E> extra = {}) {
    std::vector<E> ifd = {{256, 3, 1, 8}, {257, 3, 1, 2}, {258, 3, 1, 8},
                          {259, 3, 1, 1}, {262, 3, 1, 1}, {273, 4, 1, strip},
                          {277, 3, 1, 1}, {278, 3, 1, 2}, {279, 4, 1, 16}};
    for (E& e : extra) {
      bool replaced = false;
      for (E& o : ifd)
        if (o.tag == e.tag) {
          o = e;
          replaced = true;
        }
      if (!replaced) ifd.push_back(e);
    }
    std::sort(ifd.begin(), ifd.end(), [](const E& a, const E& b) { return a.tag < b.tag; });
    ifds.push_back(ifd);
  }
};

struct Result {
  bool aborted;
  int count;
  TBitmap bmp;
  TIOParamsVals params;
};

void Read(const std::vector<uint8_t>& file, Result& r, int page = 0, bool paramsOnly = false) {
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  r.params.TIFF_ImageIndex = page;
  r.params.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  TIFFReadStream(&r.bmp, s, r.count, &r.params, progress, paramsOnly);
  r.aborted = aborting;
}

std::vector<uint8_t> Ramp() {
  std::vector<uint8_t> d(16);
  for (int i = 0; i < 16; ++i) d[i] = uint8_t(i * 16);
  return d;
}

TEST(TiffReader, ChainsEndOnLoopsAndCountEveryPage) {
  Builder b;
  uint32_t strip = b.Data(Ramp());
  b.GreyPage(strip);
  b.GreyPage(strip);
  b.GreyPage(strip);
  auto file = b.Build();
  // Point the last IFD's link back at the first: a loop of three.
  size_t lastIfd = file.size() - (2 + 9 * 12 + 4);
  PutU32LE(&file[lastIfd + 2 + 9 * 12], GetU32LE(&file[4]));
  Result r;
  Read(file, r, 2);
  EXPECT_FALSE(r.aborted);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(r.params.TIFF_ImageCount, 3);
  EXPECT_EQ(r.bmp.GetWidth(), 8);
  EXPECT_EQ(r.bmp.ScanLine(1)[3 * 3], 11 * 16);
  // A page past the end is no error and leaves the bitmap alone.
  Result past;
  past.bmp.SetSize(3, 3);
  Read(file, past, 7);
  EXPECT_FALSE(past.aborted);
  EXPECT_EQ(past.count, 3);
  EXPECT_EQ(past.bmp.GetWidth(), 3);
  // A self-pointing IFD ends the chain.
  PutU32LE(&file[lastIfd + 2 + 9 * 12], uint32_t(lastIfd));
  Read(file, past, 0);
  EXPECT_EQ(past.count, 3);
}

TEST(TiffReader, TagRulesAndParameters) {
  Builder b;
  uint32_t strip = b.Data(Ramp());
  uint32_t xres = b.Data({100, 0, 0, 0, 1, 0, 0, 0});  // 100 / 1
  uint32_t yres = b.Data({50, 0, 0, 0, 0, 0, 0, 0});   // 50 / 0 counts as 50 / 1
  uint32_t name = b.Data({'S', 'c', 'a', 'n', 'n', 'e', 'd', 0});
  // PageNumber 2 of 5 inside the entry; ResolutionUnit centimetre.
  b.GreyPage(strip, {{282, 5, 1, xres},
                     {283, 5, 1, yres},
                     {285, 2, 8, name},
                     {296, 3, 1, 3},
                     {297, 3, 2, 2 | (5u << 16)},
                     {269, 2, 3, 'a' | ('b' << 8)}});
  auto file = b.Build();
  Result r;
  Read(file, r);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.params.DpiX, 254);
  EXPECT_EQ(r.params.DpiY, 127);
  EXPECT_EQ(r.params.TIFF_PageName, "Scanned");
  EXPECT_EQ(r.params.TIFF_DocumentName, "ab");
  EXPECT_EQ(r.params.TIFF_PageNumber, 2);
  EXPECT_EQ(r.params.TIFF_PageCount, 5);
  EXPECT_EQ(r.params.TIFF_Compression, ioTIFF_UNCOMPRESSED);
  EXPECT_EQ(r.params.TIFF_PhotometInterpret, ioTIFF_BLACKISZERO);

  // The older layout: PageNumber at an offset.
  Builder o;
  uint32_t s2 = o.Data(Ramp());
  uint32_t pn = o.Data({3, 0, 9, 0});
  o.GreyPage(s2, {{297, 3, 2, pn}});
  Result r2;
  Read(o.Build(), r2);
  EXPECT_EQ(r2.params.TIFF_PageNumber, 3);
  EXPECT_EQ(r2.params.TIFF_PageCount, 9);
  // No resolution: the screen's.
  EXPECT_EQ(r2.params.DpiX, gSystemDPIX);
}

TEST(TiffReader, BilevelDefaultsAndGreyDepths) {
  // 1-bit uncompressed without PhotometricInterpretation: WhiteIsZero, so
  // the bits are inverted into the bitmap.
  Builder b;
  uint32_t strip = b.Data({0xF0, 0x0F});
  b.ifds.push_back({{256, 3, 1, 8}, {257, 3, 1, 2}, {273, 4, 1, strip}, {279, 4, 1, 2}});
  Result r;
  Read(b.Build(), r);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.bmp.GetPixelFormat(), pf1bit);
  EXPECT_EQ(r.bmp.ScanLine(0)[0], 0x0F);
  EXPECT_EQ(r.bmp.ScanLine(1)[0], 0xF0);
  // 3-bit grey scales to the full 8-bit range: 0, 7 -> 0, 255; 2 -> 72.
  Builder g;
  // 8 pixels of 3 bits: 0 7 2 0 0 0 0 0 -> 000 111 010 000 ...
  uint32_t s3 = g.Data({0x1D, 0x00, 0x00});
  g.ifds.push_back({{256, 3, 1, 8},
                    {257, 3, 1, 1},
                    {258, 3, 1, 3},
                    {262, 3, 1, 1},
                    {273, 4, 1, s3},
                    {279, 4, 1, 3}});
  Result r3;
  Read(g.Build(), r3);
  ASSERT_FALSE(r3.aborted);
  EXPECT_EQ(r3.bmp.ScanLine(0)[0], 0);
  EXPECT_EQ(r3.bmp.ScanLine(0)[3], 255);
  EXPECT_EQ(r3.bmp.ScanLine(0)[6], 72);
}

TEST(TiffReader, MalformedFilesAbortSafely) {
  Builder b;
  uint32_t strip = b.Data(Ramp());
  b.GreyPage(strip);
  auto good = b.Build();
  Result r;
  // Bad byte order.
  auto bad = good;
  bad[0] = 'X';
  Read(bad, r);
  EXPECT_TRUE(r.aborted);
  // First IFD beyond the end: no pages.
  bad = good;
  PutU32LE(&bad[4], 0x7FFFFFF0);
  Read(bad, r);
  EXPECT_EQ(r.count, 0);
  // Strip offset past the end, and a strip byte count running past the end.
  for (uint32_t tag : {273u, 279u}) {
    Builder c;
    uint32_t s = c.Data(Ramp());
    c.GreyPage(s, {{uint16_t(tag), 4, 1, tag == 273 ? 0x10000u : 0x7FFFFFFFu}});
    Read(c.Build(), r);
    EXPECT_TRUE(r.aborted) << tag;
  }
  // A strip cut short: the rows there are are decoded, then Aborting.
  {
    Builder c;
    uint32_t s = c.Data(Ramp());
    c.GreyPage(s, {{279, 4, 1, 16}});
    auto f = c.Build();
    // Move the strip to the very end with only 12 of its 16 bytes.
    std::vector<uint8_t> cut = f;
    uint32_t at = uint32_t(cut.size());
    cut.insert(cut.end(), f.begin() + s, f.begin() + s + 12);
    // Patch StripOffsets (sixth entry of the IFD).
    uint32_t ifd = GetU32LE(&cut[4]);
    PutU32LE(&cut[ifd + 2 + 5 * 12 + 8], at);
    Read(cut, r);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.bmp.ScanLine(0)[3 * 7], 7 * 16);
  }
  // Huge sizes are refused before anything is allocated, tiles included.
  {
    Builder c;
    uint32_t s = c.Data(Ramp());
    c.GreyPage(s, {{256, 4, 1, 100000}, {257, 4, 1, 100000}});
    Read(c.Build(), r);
    EXPECT_TRUE(r.aborted);
    Builder t;
    uint32_t s2 = t.Data(Ramp());
    t.GreyPage(
        s2, {{322, 4, 1, 0x40000000}, {323, 4, 1, 0x40000000}, {324, 4, 1, s2}, {325, 4, 1, 16}});
    Read(t.Build(), r);
    EXPECT_TRUE(r.aborted);
  }
  // A count that claims more strip offsets than the file holds.
  {
    Builder c;
    uint32_t s = c.Data(Ramp());
    c.GreyPage(s, {{273, 4, 0x3FFFFFFF, s}});
    Read(c.Build(), r);
    EXPECT_TRUE(r.aborted);
  }
  // Differing BitsPerSample values, JPEG pages, LZW without a decoder.
  {
    Builder c;
    uint32_t s = c.Data(Ramp());
    uint32_t bps = c.Data({8, 0, 8, 0, 4, 0});
    c.GreyPage(s, {{258, 3, 3, bps}, {277, 3, 1, 3}});
    Read(c.Build(), r);
    EXPECT_TRUE(r.aborted);
    Builder j;
    uint32_t s2 = j.Data(Ramp());
    j.GreyPage(s2, {{259, 3, 1, 7}});
    auto jf = j.Build();
    Read(jf, r, 0, true);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.params.TIFF_Compression, ioTIFF_JPEG);
    Read(jf, r);
    EXPECT_TRUE(r.aborted);
    Builder l;
    uint32_t s3 = l.Data(Ramp());
    l.GreyPage(s3, {{259, 3, 1, 5}});
    TIOParamsVals p;
    p.TIFF_LZWDecompFunc = nullptr;
    auto lf = l.Build();
    TReadOnlyMemoryStream ms(lf.data(), int64_t(lf.size()));
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    int count = 0;
    TBitmap bmp;
    TTIFFLZWDecompFunc saved = DefTIFF_LZWDECOMPFUNC;
    DefTIFF_LZWDECOMPFUNC = nullptr;
    TIFFReadStream(&bmp, ms, count, &p, progress, false);
    DefTIFF_LZWDECOMPFUNC = saved;
    EXPECT_TRUE(aborting);
  }
}

TEST(TiffReader, ProgressHandlerCanStopTheRead) {
  Builder b;
  uint32_t strip = b.Data(Ramp());
  b.GreyPage(strip);
  auto file = b.Build();
  TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  std::vector<int> seen;
  progress.ProgressEvent = [&](TObject*, int per) {
    seen.push_back(per);
    aborting = true;
  };
  TIOParamsVals params;
  TBitmap bmp;
  int count = 0;
  TIFFReadStream(&bmp, s, count, &params, progress, false);
  EXPECT_EQ(seen, std::vector<int>{50});
}

using namespace tifftest;

TEST(TiffWriter, BilevelCompressionsInsertAndDelete) {
  std::string file = Tmp("pages.tif");
  Rgb pic = TestPicture(77, 33, 9);
  TBitmap colour;
  FillBitmap(colour, pic);
  TBitmap bw;
  bw.Assign(colour);
  bw.SetPixelFormat(pf1bit);
  Rgb bwPixels = BitmapPixels(bw);

  TIOParamsVals p;
  p.TIFF_Compression = ioTIFF_LZW;
  ASSERT_TRUE(WriteTIFF(file, colour, p));
  const TIOTIFFCompression kinds[] = {ioTIFF_UNCOMPRESSED, ioTIFF_CCITT1D, ioTIFF_G3FAX1D,
                                      ioTIFF_G3FAX2D,      ioTIFF_G4FAX,   ioTIFF_PACKBITS};
  for (TIOTIFFCompression c : kinds) {
    TIOParamsVals q;
    q.BitsPerSample = q.SamplesPerPixel = 1;
    q.TIFF_Compression = c;
    q.TIFF_ImageIndex = 1000;  // past the end: appended
    ASSERT_TRUE(WriteTIFF(file, bw, q, true));
  }
  EXPECT_EQ(EnumTIFFIm(file), 7);
  for (int page = 1; page < 7; ++page) {
    TBitmap back;
    TIOParamsVals rp;
    ASSERT_TRUE(ReadTIFF(file, back, rp, page));
    EXPECT_EQ(back.GetPixelFormat(), pf1bit);
    EXPECT_EQ(Differences(BitmapPixels(back), bwPixels), 0u) << page;
    bool ccitt = page >= 2 && page <= 5;
    EXPECT_EQ(rp.TIFF_PhotometInterpret, ccitt ? ioTIFF_WHITEISZERO : ioTIFF_BLACKISZERO);
  }
  // Insert at the front, then delete it again.
  TIOParamsVals front;
  front.TIFF_ImageIndex = 0;
  front.TIFF_PageName = "front";
  ASSERT_TRUE(WriteTIFF(file, colour, front, true));
  EXPECT_EQ(EnumTIFFIm(file), 8);
  TBitmap first;
  TIOParamsVals fp;
  ASSERT_TRUE(ReadTIFF(file, first, fp, 0));
  EXPECT_EQ(fp.TIFF_PageName, "front");
  EXPECT_EQ(Differences(BitmapPixels(first), pic), 0u);
  EXPECT_EQ(DeleteTIFFIm(file, 0), 8);
  EXPECT_EQ(EnumTIFFIm(file), 7);
  TBitmap lzwPage;
  TIOParamsVals lp;
  ASSERT_TRUE(ReadTIFF(file, lzwPage, lp, 0));
  EXPECT_EQ(lp.TIFF_Compression, ioTIFF_LZW);
  EXPECT_EQ(Differences(BitmapPixels(lzwPage), pic), 0u);
  EXPECT_FALSE(std::filesystem::exists(file + ".pvtmp"));
  if (HaveTool("tiffinfo")) {
    EXPECT_EQ(Sh("tiffinfo -D '" + file + "'"), 0);
  }
}

TEST(TiffWriter, BigEndianInsertFailsAndLeavesTheFile) {
  Builder b;
  uint32_t strip = b.Data(Ramp());
  b.GreyPage(strip);
  auto file = b.Build();
  file[0] = file[1] = 'M';
  TMemoryStream s;
  s.Write(file.data(), int64_t(file.size()));
  s.SetPosition(0);
  TBitmap bmp(4, 4, pf24bit);
  TIOParamsVals p;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  EXPECT_EQ(TIFFWriteStream(s, true, bmp, p, progress), 0);
  EXPECT_TRUE(aborting);
  EXPECT_EQ(s.GetSize(), int64_t(file.size()));
  EXPECT_EQ(std::memcmp(s.Memory(), file.data(), file.size()), 0);
}

TEST(TiffWriter, LzwWithoutEncoderIsUncompressedAndTwoColoursKeepTheirColours) {
  TBitmap bmp(10, 3, pf24bit);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) {
      TRGB* px = reinterpret_cast<TRGB*>(bmp.ScanLine(y)) + x;
      *px = (x + y) % 3 ? TRGB{200, 10, 10} : TRGB{0, 128, 255};
    }
  TIOParamsVals p;
  p.TIFF_Compression = ioTIFF_LZW;
  p.TIFF_LZWCompFunc = nullptr;
  TTIFFLZWCompFunc saved = DefTIFF_LZWCOMPFUNC;
  DefTIFF_LZWCOMPFUNC = nullptr;
  TMemoryStream s;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  EXPECT_EQ(TIFFWriteStream(s, false, bmp, p, progress), 1);
  DefTIFF_LZWCOMPFUNC = saved;
  std::vector<uint8_t> file(s.Memory(), s.Memory() + s.GetSize());
  Result r;
  Read(file, r);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.params.TIFF_Compression, ioTIFF_UNCOMPRESSED);
  EXPECT_EQ(Differences(BitmapPixels(r.bmp), BitmapPixels(bmp)), 0u);
  uint32_t ifd = GetU32LE(&file[4]);
  for (int i = 0; i < GetU16LE(&file[ifd]); ++i) EXPECT_NE(GetU16LE(&file[ifd + 2 + 12 * i]), 317);

  // Two colours written as one bit: a two-entry palette, read back in colour.
  TIOParamsVals q;
  q.BitsPerSample = q.SamplesPerPixel = 1;
  q.TIFF_Compression = ioTIFF_PACKBITS;
  TMemoryStream s2;
  EXPECT_EQ(TIFFWriteStream(s2, false, bmp, q, progress), 1);
  Result r2;
  Read(std::vector<uint8_t>(s2.Memory(), s2.Memory() + s2.GetSize()), r2);
  ASSERT_FALSE(r2.aborted);
  EXPECT_EQ(r2.params.BitsPerSample, 1);
  EXPECT_EQ(r2.bmp.GetPixelFormat(), pf24bit);
  EXPECT_EQ(Differences(BitmapPixels(r2.bmp), BitmapPixels(bmp)), 0u);
}

}  // namespace
}  // namespace pictavo
