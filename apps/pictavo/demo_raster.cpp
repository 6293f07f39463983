// Demo section: round trips through PCX, TGA and PBM/PGM/PPM at every depth
// and encoding the writers offer, with file sizes and a pixel comparison.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "codecs/pcx.h"
#include "codecs/pxm.h"
#include "codecs/tga.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo::cli {
namespace {

// A 160 x 120 picture: colour bands (at most 12 colours) or a smooth field.
void MakeSample(TBitmap& bm, bool fewColours, bool grey) {
  bm.SetSize(1, 1);
  bm.SetPixelFormat(pf24bit);
  bm.SetSize(160, 120);
  for (int y = 0; y < 120; ++y) {
    uint8_t* row = bm.ScanLine(y);
    for (int x = 0; x < 160; ++x) {
      uint8_t r, g, b;
      if (fewColours) {
        const int k = ((x / 20) + (y / 30) * 3) % 12;
        r = uint8_t(k * 21);
        g = uint8_t(255 - k * 19);
        b = uint8_t((k * 97) % 256);
      } else {
        r = uint8_t(x * 255 / 159);
        g = uint8_t(y * 255 / 119);
        b = uint8_t((x + y) & 255);
      }
      if (grey) r = g = b = uint8_t((x + 2 * y) & 255);
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
}

void MakeMono(TBitmap& bm) {
  bm.SetSize(1, 1);
  bm.SetPixelFormat(pf1bit);
  bm.SetSize(160, 120);
  for (int y = 0; y < 120; ++y) {
    uint8_t* row = bm.ScanLine(y);
    for (int i = 0; i < 20; ++i) row[i] = ((i + y / 8) & 1) ? 0xF0 : 0x3C;
  }
}

int MaxDifference(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return 1000;
  int worst = 0;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x) {
      const TColor p = a.GetPixel(x, y), q = b.GetPixel(x, y);
      worst =
          std::max({worst, std::abs(GetRValue(p) - GetRValue(q)),
                    std::abs(GetGValue(p) - GetGValue(q)), std::abs(GetBValue(p) - GetBValue(q))});
    }
  return worst;
}

using Writer = std::function<void(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&)>;
using Reader = std::function<void(TStream&, TBitmap&, TIOParamsVals&, TProgressRec&)>;

// Writes, reads back and compares; `tolerance` is what the depth may lose.
std::string RoundTrip(DemoContext& demo, const std::string& file, TBitmap& source,
                      TIOParamsVals& params, const Writer& write, const Reader& read,
                      int tolerance) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  int64_t size;
  {
    TFileStream f(demo.Path(file), fmCreate);
    write(f, source, params, progress);
    size = f.GetSize();
  }
  if (aborting) throw std::runtime_error("write failed");
  TBitmap back;
  TIOParamsVals readParams;
  TFileStream f(demo.Path(file), fmOpenRead);
  read(f, back, readParams, progress);
  if (aborting) throw std::runtime_error("read failed");
  const int diff = MaxDifference(source, back);
  if (diff > tolerance) throw std::runtime_error("pixels differ by " + std::to_string(diff));
  return file + ": " + std::to_string(size) + " bytes, " +
         (diff == 0 ? std::string("pixels match") : "max difference " + std::to_string(diff));
}

void RunRasterDemo(DemoContext& demo) {
  TBitmap mono, few, smooth, grey;
  MakeMono(mono);
  MakeSample(few, true, false);
  MakeSample(smooth, false, false);
  MakeSample(grey, false, true);

  const Reader pcxRead = [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
    ReadPcxStream(s, b, p, s.GetSize(), r, false);
  };
  for (auto compression : {ioPCX_RLE, ioPCX_UNCOMPRESSED}) {
    const std::string enc = compression == ioPCX_RLE ? "rle" : "raw";
    for (int depth : {1, 4, 8, 24}) {
      demo.Run("raster", "PCX " + std::to_string(depth) + " bits " + enc, [&] {
        TIOParamsVals params;
        params.BitsPerSample = depth == 24 ? 8 : depth;
        params.SamplesPerPixel = depth == 24 ? 3 : 1;
        params.PCX_Compression = compression;
        TBitmap& src = depth == 1 ? mono : depth == 24 ? smooth : few;
        return RoundTrip(demo, "raster_" + std::to_string(depth) + "_" + enc + ".pcx", src, params,
                         WritePcxStream, pcxRead, depth == 24 ? 0 : 8);
      });
    }
  }

  const Reader tgaRead = [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
    ReadTGAStream(s, b, p, r, false);
  };
  struct TgaCase {
    const char* name;
    int bits;
    bool grey;
  };
  for (bool compressed : {true, false}) {
    const std::string enc = compressed ? "rle" : "raw";
    for (const TgaCase& c :
         {TgaCase{"1", 1, false}, TgaCase{"4", 4, false}, TgaCase{"8 grey", 8, true},
          TgaCase{"8 palette", 8, false}, TgaCase{"24", 24, false}}) {
      demo.Run("raster", std::string("TGA ") + c.name + " bits " + enc, [&] {
        TIOParamsVals params;
        params.BitsPerSample = c.bits == 24 ? 8 : c.bits;
        params.SamplesPerPixel = c.bits == 24 ? 3 : 1;
        params.TGA_Compressed = compressed;
        params.TGA_GrayLevel = c.grey;
        params.TGA_Author = "pictavo demo";
        TBitmap& src = c.bits == 1 ? mono : c.grey ? grey : c.bits == 24 ? smooth : few;
        std::string name = std::string("raster_") + c.name + "_" + enc + ".tga";
        std::replace(name.begin(), name.end(), ' ', '_');
        // Grey levels are the library's grey value, one percent below the source.
        return RoundTrip(demo, name, src, params, WriteTGAStream, tgaRead,
                         c.grey         ? 3
                         : c.bits == 24 ? 0
                                        : 8);
      });
    }
  }

  const Reader pxmRead = [](TStream& s, TBitmap& b, TIOParamsVals& p, TProgressRec& r) {
    PXMReadStream(s, b, p, false, r);
  };
  struct PxmCase {
    const char* name;
    const char* file;
    int bits, samples;
    TBitmap* source;
  };
  for (const PxmCase& c :
       {PxmCase{"PBM P4", "raster.pbm", 1, 1, &mono}, PxmCase{"PGM P5", "raster.pgm", 8, 1, &grey},
        PxmCase{"PPM P6", "raster.ppm", 8, 3, &smooth}}) {
    demo.Run("raster", c.name, [&] {
      TIOParamsVals params;
      params.BitsPerSample = c.bits;
      params.SamplesPerPixel = c.samples;
      params.PXM_Comments.Add("written by the pictavo demo");
      return RoundTrip(demo, c.file, *c.source, params, PXMWriteStream, pxmRead,
                       c.bits == 8 && c.samples == 1 ? 3 : 0);
    });
  }
}

}  // namespace

PICTAVO_DEMO(60, "raster", RunRasterDemo);

}  // namespace pictavo::cli
