// Demo: a multi-page TIFF built page by page with every compression (the
// CCITT ones on a bilevel page), counted, read back, one page deleted.
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/pictavo/registry.h"
#include "codecs/tiff.h"
#include "codecs/tifflzw.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

void MakeColour(TBitmap& b) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(320, 200);
  for (int y = 0; y < 200; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < 320; ++x) {
      row[3 * x] = uint8_t(x * 255 / 319);
      row[3 * x + 1] = uint8_t(y * 255 / 199);
      row[3 * x + 2] = uint8_t(((x / 20 + y / 20) % 2) * 200);
    }
  }
}

void MakeBilevel(TBitmap& b) {
  b.SetPixelFormat(pf1bit);
  b.SetSize(1728, 300);
  for (int y = 0; y < 300; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < 216; ++i) row[i] = 0xFF;
    for (int x = 0; x < 1728; ++x) {
      int dx = x - 864, dy = y - 150;
      if ((dx * dx + dy * dy) / 400 % 3 == 0) row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
    }
  }
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  int bytes = a.GetPixelFormat() == pf1bit ? (a.GetWidth() + 7) / 8 : a.GetWidth() * 3;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(bytes)) != 0) return false;
  return true;
}

struct PageSpec {
  const char* name;
  TIOTIFFCompression c;
  bool bilevel;
};
const PageSpec kPages[] = {
    {"none", ioTIFF_UNCOMPRESSED, false}, {"LZW", ioTIFF_LZW, false},
    {"PackBits", ioTIFF_PACKBITS, false}, {"CCITT 1-D", ioTIFF_CCITT1D, true},
    {"G3 1-D", ioTIFF_G3FAX1D, true},     {"G3 2-D", ioTIFF_G3FAX2D, true},
    {"G4", ioTIFF_G4FAX, true},           {"bilevel LZW", ioTIFF_LZW, true},
};

bool ReadPage(const std::string& file, int page, TBitmap& out) {
  TIOParamsVals p;
  p.TIFF_ImageIndex = page;
  p.TIFF_LZWDecompFunc = TIFFLZWDecompress;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TFileStream f(file, fmOpenRead);
  int count = 0;
  TIFFReadStream(&out, f, count, &p, progress, false);
  return !aborting;
}

void DemoTiff(DemoContext& demo) {
  const std::string file = demo.Path("pages.tif");
  TBitmap colour, bw;
  MakeColour(colour);
  MakeBilevel(bw);
  for (size_t i = 0; i < std::size(kPages); ++i) {
    const PageSpec& s = kPages[i];
    demo.Run("tiff", std::string("write page ") + std::to_string(i) + " (" + s.name + ")", [&] {
      TIOParamsVals p;
      p.TIFF_Compression = s.c;
      p.TIFF_LZWCompFunc = TIFFLZWCompress;
      p.TIFF_ImageIndex = int(i);
      p.TIFF_PageName = s.name;
      if (s.bilevel) p.BitsPerSample = p.SamplesPerPixel = 1;
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      int pages;
      if (i == 0) {
        TFileStream f(file, fmCreate);
        pages = TIFFWriteStream(f, false, s.bilevel ? bw : colour, p, progress);
      } else {
        TFileStream f(file, fmOpenReadWrite);
        pages = TIFFWriteStream(f, true, s.bilevel ? bw : colour, p, progress);
      }
      if (aborting || pages != int(i) + 1) throw std::runtime_error("write failed");
      TFileStream f(file, fmOpenRead);
      return std::to_string(pages) + " pages, " + std::to_string(f.GetSize()) + " bytes";
    });
  }
  demo.Run("tiff", "count pages", [&] {
    int n = EnumTIFFIm(file);
    if (n != int(std::size(kPages))) throw std::runtime_error("page count " + std::to_string(n));
    return std::to_string(n) + " pages";
  });
  demo.Run("tiff", "read every page back", [&] {
    for (size_t i = 0; i < std::size(kPages); ++i) {
      TBitmap back;
      if (!ReadPage(file, int(i), back) || !SamePixels(back, kPages[i].bilevel ? bw : colour))
        throw std::runtime_error(std::string("page ") + kPages[i].name + " differs");
    }
    return std::string("all pixels identical");
  });
  demo.Run("tiff", "delete page 2 (PackBits)", [&] {
    if (DeleteTIFFIm(file, 2) != int(std::size(kPages))) throw std::runtime_error("delete failed");
    int n = EnumTIFFIm(file);
    TBitmap back;
    if (n != int(std::size(kPages)) - 1 || !ReadPage(file, 2, back) || !SamePixels(back, bw))
      throw std::runtime_error("wrong pages after delete");
    return std::to_string(n) + " pages left, page 2 is now " + kPages[3].name;
  });
}

PICTAVO_DEMO(70, "TIFF multi-page", DemoTiff);

}  // namespace
}  // namespace pictavo::cli
