#include "formats/ioparams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>

#include "formats/registry.h"
#include "platform/exceptions.h"

namespace pictavo {
namespace {

void FillNonDefault(TIOParamsVals& p) {
  p.FileName = "/tmp/x.tif";
  p.FileType = 1;
  p.BitsPerSample = 4;
  p.SamplesPerPixel = 1;
  p.Width = 640;
  p.Height = 480;
  p.DpiX = 300;
  p.DpiY = 150;
  std::vector<TRGB> map = {{1, 2, 3}, {4, 5, 6}, {250, 251, 252}};
  p.SetColorMap(map.data(), 3);
  p.TIFF_Compression = ioTIFF_G4FAX;
  p.TIFF_ImageIndex = 3;
  p.TIFF_PhotometInterpret = ioTIFF_CMYK;
  p.TIFF_PlanarConf = 2;
  p.TIFF_XPos = 11;
  p.TIFF_YPos = 12;
  p.TIFF_DocumentName = "doc";
  p.TIFF_ImageDescription = "desc";
  p.TIFF_PageName = "page";
  p.TIFF_PageNumber = 2;
  p.TIFF_PageCount = 9;
  p.TIFF_ImageCount = 9;
  p.GIF_Version = "GIF87a";
  p.GIF_ImageIndex = 4;
  p.GIF_XPos = 5;
  p.GIF_YPos = 6;
  p.GIF_DelayTime = 70;
  p.GIF_Transparent = true;
  p.GIF_TranspColor = {7, 8, 9};
  p.GIF_Interlaced = true;
  p.GIF_WinWidth = 800;
  p.GIF_WinHeight = 600;
  p.GIF_Background = {10, 20, 30};
  p.GIF_Ratio = 49;
  p.GIF_ImageCount = 12;
  p.JPEG_ColorSpace = ioJPEG_CMYK;
  p.JPEG_Quality = 93;
  p.JPEG_DCTMethod = ioJPEG_FLOAT;
  p.JPEG_OptimalHuffman = true;
  p.JPEG_Smooth = 17;
  p.JPEG_Progressive = true;
  p.JPEG_Scale = ioJPEG_QUARTER;
  p.JPEG_MarkerList.AddMarker(0xFE, "comment", 7);
  p.PCX_Version = 3;
  p.PCX_Compression = ioPCX_UNCOMPRESSED;
  p.BMP_Version = ioBMP_BMOS2V2;
  p.BMP_Compression = ioBMP_RLE;
  p.ICO_ImageIndex = 2;
  p.ICO_Background = {1, 1, 1};
  p.CUR_ImageIndex = 3;
  p.CUR_XHotSpot = 4;
  p.CUR_YHotSpot = 5;
  p.CUR_Background = {2, 2, 2};
  p.PNG_Interlaced = true;
  p.PNG_Background = {3, 3, 3};
  p.PNG_Filter = ioPNG_FILTER_PAETH;
  p.PNG_Compression = 9;
  p.TGA_XPos = 13;
  p.TGA_YPos = 14;
  p.TGA_Compressed = false;
  p.TGA_Descriptor = "id";
  p.TGA_Author = "me";
  p.TGA_Date = 45000.5;
  p.TGA_ImageName = "job";
  p.TGA_Background = {4, 4, 4};
  p.TGA_AspectRatio = 1.5;
  p.TGA_Gamma = 1.8;
  p.TGA_GrayLevel = true;
  p.IPTC_Info.AddStringItem(2, 5, "title");
  p.PXM_Comments.Add("first line");
  p.PXM_Comments.Add("second");
}

void ExpectSame(const TIOParamsVals& a, const TIOParamsVals& b) {
  EXPECT_EQ(a.FileName, b.FileName);
  EXPECT_EQ(a.FileType, b.FileType);
  EXPECT_EQ(a.BitsPerSample, b.BitsPerSample);
  EXPECT_EQ(a.SamplesPerPixel, b.SamplesPerPixel);
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  EXPECT_EQ(a.DpiX, b.DpiX);
  EXPECT_EQ(a.DpiY, b.DpiY);
  ASSERT_EQ(a.ColorMapCount, b.ColorMapCount);
  EXPECT_EQ(0, std::memcmp(a.ColorMap.data(), b.ColorMap.data(), 3 * a.ColorMapCount));
  EXPECT_EQ(a.TIFF_Compression, b.TIFF_Compression);
  EXPECT_EQ(a.TIFF_ImageIndex, b.TIFF_ImageIndex);
  EXPECT_EQ(a.TIFF_PhotometInterpret, b.TIFF_PhotometInterpret);
  EXPECT_EQ(a.TIFF_PlanarConf, b.TIFF_PlanarConf);
  EXPECT_EQ(a.TIFF_XPos, b.TIFF_XPos);
  EXPECT_EQ(a.TIFF_YPos, b.TIFF_YPos);
  EXPECT_EQ(a.TIFF_DocumentName, b.TIFF_DocumentName);
  EXPECT_EQ(a.TIFF_ImageDescription, b.TIFF_ImageDescription);
  EXPECT_EQ(a.TIFF_PageName, b.TIFF_PageName);
  EXPECT_EQ(a.TIFF_PageNumber, b.TIFF_PageNumber);
  EXPECT_EQ(a.TIFF_PageCount, b.TIFF_PageCount);
  EXPECT_EQ(a.TIFF_ImageCount, b.TIFF_ImageCount);
  EXPECT_EQ(a.GIF_Version, b.GIF_Version);
  EXPECT_EQ(a.GIF_ImageIndex, b.GIF_ImageIndex);
  EXPECT_EQ(a.GIF_XPos, b.GIF_XPos);
  EXPECT_EQ(a.GIF_YPos, b.GIF_YPos);
  EXPECT_EQ(a.GIF_DelayTime, b.GIF_DelayTime);
  EXPECT_EQ(a.GIF_Transparent, b.GIF_Transparent);
  EXPECT_EQ(a.GIF_TranspColor, b.GIF_TranspColor);
  EXPECT_EQ(a.GIF_Interlaced, b.GIF_Interlaced);
  EXPECT_EQ(a.GIF_WinWidth, b.GIF_WinWidth);
  EXPECT_EQ(a.GIF_WinHeight, b.GIF_WinHeight);
  EXPECT_EQ(a.GIF_Background, b.GIF_Background);
  EXPECT_EQ(a.GIF_Ratio, b.GIF_Ratio);
  EXPECT_EQ(a.GIF_ImageCount, b.GIF_ImageCount);
  EXPECT_EQ(a.JPEG_ColorSpace, b.JPEG_ColorSpace);
  EXPECT_EQ(a.JPEG_Quality, b.JPEG_Quality);
  EXPECT_EQ(a.JPEG_DCTMethod, b.JPEG_DCTMethod);
  EXPECT_EQ(a.JPEG_OptimalHuffman, b.JPEG_OptimalHuffman);
  EXPECT_EQ(a.JPEG_Smooth, b.JPEG_Smooth);
  EXPECT_EQ(a.JPEG_Progressive, b.JPEG_Progressive);
  EXPECT_EQ(a.JPEG_Scale, b.JPEG_Scale);
  EXPECT_EQ(a.JPEG_MarkerList.GetCount(), b.JPEG_MarkerList.GetCount());
  EXPECT_EQ(a.PCX_Version, b.PCX_Version);
  EXPECT_EQ(a.PCX_Compression, b.PCX_Compression);
  EXPECT_EQ(a.BMP_Version, b.BMP_Version);
  EXPECT_EQ(a.BMP_Compression, b.BMP_Compression);
  EXPECT_EQ(a.ICO_ImageIndex, b.ICO_ImageIndex);
  EXPECT_EQ(a.ICO_Background, b.ICO_Background);
  EXPECT_EQ(a.CUR_ImageIndex, b.CUR_ImageIndex);
  EXPECT_EQ(a.CUR_XHotSpot, b.CUR_XHotSpot);
  EXPECT_EQ(a.CUR_YHotSpot, b.CUR_YHotSpot);
  EXPECT_EQ(a.CUR_Background, b.CUR_Background);
  EXPECT_EQ(a.PNG_Interlaced, b.PNG_Interlaced);
  EXPECT_EQ(a.PNG_Background, b.PNG_Background);
  EXPECT_EQ(a.PNG_Filter, b.PNG_Filter);
  EXPECT_EQ(a.PNG_Compression, b.PNG_Compression);
  EXPECT_EQ(a.TGA_XPos, b.TGA_XPos);
  EXPECT_EQ(a.TGA_YPos, b.TGA_YPos);
  EXPECT_EQ(a.TGA_Compressed, b.TGA_Compressed);
  EXPECT_EQ(a.TGA_Descriptor, b.TGA_Descriptor);
  EXPECT_EQ(a.TGA_Author, b.TGA_Author);
  EXPECT_EQ(a.TGA_Date, b.TGA_Date);
  EXPECT_EQ(a.TGA_ImageName, b.TGA_ImageName);
  EXPECT_EQ(a.TGA_Background, b.TGA_Background);
  EXPECT_EQ(a.TGA_AspectRatio, b.TGA_AspectRatio);
  EXPECT_EQ(a.TGA_Gamma, b.TGA_Gamma);
  EXPECT_EQ(a.TGA_GrayLevel, b.TGA_GrayLevel);
  ASSERT_EQ(a.IPTC_Info.GetCount(), b.IPTC_Info.GetCount());
  for (int i = 0; i < a.IPTC_Info.GetCount(); ++i)
    EXPECT_EQ(a.IPTC_Info.GetStrings(i), b.IPTC_Info.GetStrings(i));
  EXPECT_EQ(a.PXM_Comments.GetText(), b.PXM_Comments.GetText());
}

TEST(IOParams, FreshObjectDefaults) {
  TIOParamsVals p;
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  EXPECT_EQ(p.DpiX, 0);
  EXPECT_EQ(p.DpiY, 0);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.FileType, 0);
  EXPECT_EQ(p.GIF_Version, "GIF89a");
  EXPECT_EQ(p.JPEG_Quality, 50);
  EXPECT_EQ(p.ICO_Background, (TRGB{255, 255, 255}));
  EXPECT_TRUE(p.TGA_Compressed);
  EXPECT_DOUBLE_EQ(p.TGA_Gamma, 2.2);
  EXPECT_EQ(p.TGA_Date, std::trunc(p.TGA_Date));  // no time part
  EXPECT_GT(p.TGA_Date, 45000);                   // after 2023
}

TEST(IOParams, DefaultsTakeTheLzwGlobalsAndTheOwnersTarget) {
  struct Owner : TIOParamsOwner {
    TBitmap bmp{12, 7, pf24bit};
    TBitmap* ParamsTargetBitmap() override { return &bmp; }
    bool ParamsViewResolution(int& x, int& y) override {
      x = 72;
      y = 144;
      return true;
    }
  } owner;
  auto fake = +[](const uint8_t*, int64_t, int, void*&) -> uint8_t* { return nullptr; };
  DefTIFF_LZWDECOMPFUNC = fake;
  TIOParamsVals p(&owner);
  DefTIFF_LZWDECOMPFUNC = nullptr;
  EXPECT_EQ(p.TIFF_LZWDecompFunc, fake);
  EXPECT_EQ(p.GIF_LZWDecompFunc, nullptr);
  EXPECT_EQ(p.Width, 12);
  EXPECT_EQ(p.Height, 7);
  EXPECT_EQ(p.DpiY, 144);
}

TEST(IOParams, StreamRoundTripReproducesEveryField) {
  TIOParamsVals p;
  FillNonDefault(p);
  TMemoryStream m;
  p.SaveToStream(m);
  const uint8_t* bytes = m.Memory();
  EXPECT_EQ(bytes[0], 5);   // version 5, little-endian
  EXPECT_EQ(bytes[4], 10);  // file name length
  m.SetPosition(0);
  TIOParamsVals q;
  q.LoadFromStream(m);
  ExpectSame(p, q);
  EXPECT_EQ(m.GetPosition(), m.GetSize());

  TIOParamsVals c;
  c.Assign(p);
  ExpectSame(p, c);
}

TEST(IOParams, FileRoundTrip) {
  TIOParamsVals p;
  FillNonDefault(p);
  std::string name = ::testing::TempDir() + "/pictavo_params.bin";
  p.SaveToFile(name);
  TIOParamsVals q;
  q.LoadFromFile(name);
  ExpectSame(p, q);
  EXPECT_THROW(q.LoadFromFile(name + ".missing"), EFOpenError);
  // A save that cannot replace the file leaves the old parameters readable.
  ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  TIOParamsVals other;
  EXPECT_THROW(other.SaveToFile(name), EFCreateError);
  ASSERT_EQ(::chmod(name.c_str(), 0644), 0);
  TIOParamsVals r;
  r.LoadFromFile(name);
  ExpectSame(p, r);
}

// Builds the beginning of an old-version stream by hand, through the fields
// that every version has.
class OldStream {
 public:
  void I32(int32_t v) { m.WriteBuffer(&v, 4); }
  void U8(uint8_t v) { m.WriteBuffer(&v, 1); }
  void Str(const std::string& s) {
    I32(static_cast<int32_t>(s.size()));
    m.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
  }
  void Rgb(uint8_t v) {
    U8(v);
    U8(v);
    U8(v);
  }
  TMemoryStream m;
};

void WriteCommonHead(OldStream& s, int version) {
  s.I32(version);
  s.Str("old.bmp");
  if (version <= 1)
    s.U8(5);
  else
    s.I32(5);
  for (int i = 0; i < 6; ++i) s.I32(100 + i);
  s.I32(0);  // no colour map
  s.U8(5);   // TIFF LZW
  s.I32(0);
  s.U8(2);
  s.I32(1);
  s.I32(0);
  s.I32(0);
  s.Str("");
  s.Str("");
  s.Str("");
  s.I32(0);
  s.I32(0);
  if (version >= 4) s.I32(0);
  s.Str("GIF87a");
  s.I32(0);
  s.I32(0);
  s.I32(0);
  s.I32(0);
  s.U8(0);
  s.Rgb(0);
  s.U8(0);
  s.I32(0);
  s.I32(0);
  s.Rgb(0);
  s.I32(0);
  if (version >= 4) s.I32(0);
  s.U8(2);
  s.I32(75);
  s.U8(0);
  s.U8(0);
  s.I32(0);
  s.U8(0);
  if (version >= 1) s.U8(1);
  s.I32(5);  // PCX version
  s.U8(1);
  s.U8(1);
  s.U8(0);
}

TEST(IOParams, VersionZeroReadsOneByteFileTypeAndZeroesIconFields) {
  OldStream s;
  WriteCommonHead(s, 0);
  s.I32(77);
  s.I32(78);  // skipped
  s.I32(79);
  s.I32(80);  // skipped
  s.U8(1);
  s.Rgb(9);
  s.U8(2);
  s.I32(6);  // PNG
  s.m.SetPosition(0);
  TIOParamsVals p;
  p.ICO_ImageIndex = 3;
  p.CUR_ImageIndex = p.CUR_XHotSpot = p.CUR_YHotSpot = 4;
  p.TGA_Author = "kept";
  p.TIFF_ImageCount = 42;
  p.PXM_Comments.Add("kept");
  p.LoadFromStream(s.m);
  EXPECT_EQ(p.FileType, 5);
  EXPECT_EQ(p.Width, 102);
  EXPECT_EQ(p.TIFF_Compression, ioTIFF_LZW);
  EXPECT_EQ(p.GIF_Version, "GIF87a");
  EXPECT_EQ(p.JPEG_Quality, 75);
  EXPECT_EQ(p.ICO_ImageIndex, 0);
  EXPECT_EQ(p.CUR_ImageIndex, 0);
  EXPECT_EQ(p.CUR_XHotSpot, 0);
  EXPECT_EQ(p.CUR_YHotSpot, 0);
  EXPECT_TRUE(p.PNG_Interlaced);
  EXPECT_EQ(p.PNG_Compression, 6);
  EXPECT_EQ(p.TGA_Author, "kept");
  EXPECT_EQ(p.TIFF_ImageCount, 42);
  EXPECT_EQ(p.PXM_Comments.Count(), 1);
  EXPECT_EQ(s.m.GetPosition(), s.m.GetSize());
}

TEST(IOParams, VersionTwoLeavesNewerGroupsUntouched) {
  OldStream s;
  WriteCommonHead(s, 2);
  s.I32(2);  // ICO index
  s.I32(3);
  s.I32(4);
  s.I32(5);  // cursor
  s.U8(0);
  s.Rgb(9);
  s.U8(0);
  s.I32(6);  // PNG
  s.m.SetPosition(0);
  TIOParamsVals p;
  p.TGA_Author = "author";
  p.TGA_Gamma = 1.0;
  p.TIFF_ImageCount = 3;
  p.GIF_ImageCount = 4;
  p.JPEG_MarkerList.AddMarker(0xE1, "x", 1);
  p.IPTC_Info.AddStringItem(2, 5, "t");
  p.PXM_Comments.Add("c");
  p.ICO_Background = {1, 2, 3};
  p.LoadFromStream(s.m);
  EXPECT_EQ(p.ICO_ImageIndex, 2);
  EXPECT_EQ(p.CUR_YHotSpot, 5);
  EXPECT_EQ(p.JPEG_Scale, ioJPEG_FULLSIZE);
  EXPECT_EQ(p.TGA_Author, "author");
  EXPECT_EQ(p.TGA_Gamma, 1.0);
  EXPECT_EQ(p.TIFF_ImageCount, 3);
  EXPECT_EQ(p.GIF_ImageCount, 4);
  EXPECT_EQ(p.JPEG_MarkerList.GetCount(), 1);
  EXPECT_EQ(p.IPTC_Info.GetCount(), 1);
  EXPECT_EQ(p.PXM_Comments.Count(), 1);
  EXPECT_EQ(p.ICO_Background, (TRGB{1, 2, 3}));
}

TEST(IOParams, CorruptStreamsAreRefusedSafely) {
  TIOParamsVals p;
  FillNonDefault(p);
  TMemoryStream m;
  p.SaveToStream(m);
  // Colour-map counts above 256 or below 0 are refused with the stream error.
  const int64_t count_offset = 4 + 4 + 10 + 4 + 6 * 4;
  for (int32_t bad : {257, -1, 0x7FFFFFFF}) {
    TMemoryStream c;
    c.WriteBuffer(m.Memory(), m.GetSize());
    std::memcpy(c.Memory() + count_offset, &bad, 4);
    c.SetPosition(0);
    TIOParamsVals q;
    EXPECT_THROW(q.LoadFromStream(c), EReadError);
    EXPECT_EQ(q.ColorMapCount, 0);
    EXPECT_TRUE(q.ColorMap.empty());
  }
  // A string length beyond the remaining bytes is refused before allocating.
  {
    TMemoryStream c;
    c.WriteBuffer(m.Memory(), m.GetSize());
    int32_t huge = 0x7FFFFFF0;
    std::memcpy(c.Memory() + 4, &huge, 4);
    c.SetPosition(0);
    TIOParamsVals q;
    EXPECT_THROW(q.LoadFromStream(c), EReadError);
  }
  // Truncated inside the colour map: no half-built map.
  {
    TMemoryStream c;
    c.WriteBuffer(m.Memory(), count_offset + 4 + 5);
    c.SetPosition(0);
    TIOParamsVals q;
    EXPECT_THROW(q.LoadFromStream(c), EReadError);
    EXPECT_EQ(q.ColorMapCount, 0);
  }
  // Every truncation point raises or completes; none crashes.
  for (int64_t n = 0; n < m.GetSize(); n += 7) {
    TMemoryStream c;
    c.WriteBuffer(m.Memory(), n);
    c.SetPosition(0);
    TIOParamsVals q;
    try {
      q.LoadFromStream(c);
    } catch (const EReadError&) {
    }
  }
  // An unknown version is refused.
  TMemoryStream v;
  int32_t six = 6;
  v.WriteBuffer(&six, 4);
  v.SetPosition(0);
  EXPECT_THROW(p.LoadFromStream(v), EReadError);
}

TEST(IOParams, FileTypeDescriptions) {
  TIOParamsVals p;
  EXPECT_EQ(p.GetFileTypeStr(), "");
  p.FileType = ftBMP;
  p.BMP_Version = ioBMP_BM3;
  EXPECT_EQ(p.GetFileTypeStr(), "Windows Bitmap (BMP) ver.3");
  p.FileType = ftTIFF;
  p.TIFF_Compression = ioTIFF_PACKBITS;
  EXPECT_EQ(p.GetFileTypeStr(), "TIFF Bitmap (TIF) PackBits RLE");
  p.FileType = ftJPEG;
  p.JPEG_ColorSpace = ioJPEG_RGB;
  EXPECT_EQ(p.GetFileTypeStr(), "JPEG Bitmap (JPG)");
  p.JPEG_ColorSpace = ioJPEG_YCbCrK;
  EXPECT_EQ(p.GetFileTypeStr(), "JPEG Bitmap (JPG) YCbCrK");
  p.FileType = ftTGA;
  p.TGA_Compressed = false;
  EXPECT_EQ(p.GetFileTypeStr(), "Targa Bitmap (TGA) Uncompressed");
  p.FileType = ftPCX;
  p.PCX_Compression = ioPCX_RLE;
  EXPECT_EQ(p.GetFileTypeStr(), "PaintBrush (PCX)");
  p.FileType = ftGIF;
  p.GIF_Interlaced = true;
  EXPECT_EQ(p.GetFileTypeStr(), "CompuServe Bitmap (GIF) Interlaced");
  p.FileType = 999;
  EXPECT_EQ(p.GetFileTypeStr(), "");
}

TEST(Registry, BuiltInRowsAndExtensions) {
  EXPECT_EQ(PVFileFormatGetExt(11, 5), "PIX");
  EXPECT_EQ(PVFileFormatGetExtCount(11), 6);
  EXPECT_EQ(PVFileFormatGetExt(11, 6), "");
  EXPECT_EQ(PVFileFormatGetInfo2("JpE")->FileType, ftJPEG);
  EXPECT_EQ(PVFileFormatGetInfo2("xyz"), nullptr);
  EXPECT_EQ(PVFileFormatGetInfo(12)->Description, "Portable Pixmap, GreyMap, BitMap");
  TPVFileFormatInfo info;
  info.FileType = 100;
  info.Description = std::string(100, 'd');
  info.Extensions = "abc;DEF";
  PVFileFormatAdd(info);
  EXPECT_EQ(PVFileFormatGetInfo(100)->Description.size(), 80u);
  EXPECT_EQ(PVFileFormatGetInfo2("def")->FileType, 100);
  PVFileFormatRemove(100);
  EXPECT_EQ(PVFileFormatGetInfo(100), nullptr);
}

}  // namespace
}  // namespace pictavo
