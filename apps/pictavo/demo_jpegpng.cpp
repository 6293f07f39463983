// Demo section: JPEG at several qualities, DCT methods and scales,
// progressive and CMYK, with markers and IPTC through a load/save; PNG of
// every colour type written and read, interlaced and not.
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "codecs/jpeg.h"
#include "codecs/png.h"

namespace pictavo::cli {
namespace {

void Picture(TBitmap& bmp, int w, int h, bool fewColours) {
  bmp.SetSize(1, 1);
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      uint8_t b = uint8_t(x * 255 / w), g = uint8_t(y * 255 / h),
              r = uint8_t(((x / 16 + y / 16) & 1) ? 220 : 40);
      if (fewColours) b &= 0xE0, g &= 0xE0, r &= 0xC0;
      row[x * 3] = b;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = r;
    }
  }
}

void Save(TMemoryStream& s, TBitmap& bmp, TIOParamsVals& p, bool png, const std::string& path) {
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  if (png)
    WritePNGStream(s, bmp, p, progress);
  else
    WriteJPegStream(s, bmp, p, progress);
  if (aborted) throw std::runtime_error("write failed");
  s.SaveToFile(path);
  s.SetPosition(0);
}

void Load(TStream& s, TBitmap& bmp, TIOParamsVals& p, bool png) {
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  if (png)
    ReadPNGStream(s, &bmp, p, false, progress);
  else
    ReadJPegStream(s, &bmp, p, false, progress);
  if (aborted) throw std::runtime_error("read failed");
}

void Demo(DemoContext& demo) {
  TBitmap src;
  Picture(src, 320, 240, false);
  for (int q : {10, 50, 90}) {
    demo.Run("jpeg", "quality " + std::to_string(q), [&] {
      TIOParamsVals p;
      p.JPEG_Quality = q;
      TMemoryStream s;
      Save(s, src, p, false, demo.Path("jpeg_q" + std::to_string(q) + ".jpg"));
      TBitmap back;
      Load(s, back, p, false);
      return std::to_string(s.GetSize()) + " bytes";
    });
  }
  static const char* kDct[] = {"islow", "ifast", "float"};
  for (auto dct : {ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT}) {
    demo.Run("jpeg", std::string("dct ") + kDct[dct], [&] {
      TIOParamsVals p;
      p.JPEG_DCTMethod = dct;
      TMemoryStream s;
      Save(s, src, p, false, demo.Path(std::string("jpeg_") + kDct[dct] + ".jpg"));
      TBitmap back;
      Load(s, back, p, false);
      return std::to_string(s.GetSize()) + " bytes";
    });
  }
  TIOParamsVals base;
  TMemoryStream baseStream;
  Save(baseStream, src, base, false, demo.Path("jpeg_base.jpg"));
  for (auto scale : {ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH}) {
    demo.Run("jpeg", "scale 1/" + std::to_string(1 << (scale - 1)), [&] {
      TIOParamsVals p;
      p.JPEG_Scale = scale;
      baseStream.SetPosition(0);
      TBitmap back;
      Load(baseStream, back, p, false);
      return std::to_string(back.GetWidth()) + "x" + std::to_string(back.GetHeight());
    });
  }
  demo.Run("jpeg", "progressive", [&] {
    TIOParamsVals p;
    p.JPEG_Progressive = true;
    p.JPEG_OptimalHuffman = true;
    TMemoryStream s;
    Save(s, src, p, false, demo.Path("jpeg_progressive.jpg"));
    TIOParamsVals q;
    TBitmap back;
    Load(s, back, q, false);
    if (!q.JPEG_Progressive) throw std::runtime_error("not progressive");
    return std::to_string(s.GetSize()) + " bytes";
  });
  demo.Run("jpeg", "CMYK", [&] {
    TIOParamsVals p;
    p.JPEG_ColorSpace = ioJPEG_CMYK;
    TMemoryStream s;
    Save(s, src, p, false, demo.Path("jpeg_cmyk.jpg"));
    TIOParamsVals q;
    TBitmap back;
    Load(s, back, q, false);
    if (q.JPEG_ColorSpace != ioJPEG_CMYK) throw std::runtime_error("not CMYK");
    return std::to_string(s.GetSize()) + " bytes";
  });
  demo.Run("jpeg", "markers and IPTC load/save", [&] {
    TIOParamsVals p;
    p.JPEG_MarkerList.AddMarker(0xFE, "made by the pictavo demo", 24);
    TPVIPTCInfoList iptc;
    iptc.AddStringItem(2, 120, "A demo caption");
    auto buf = iptc.SaveToStandardBuffer();
    p.JPEG_MarkerList.AddMarker(0xED, buf.data(), uint16_t(buf.size()));
    TMemoryStream s;
    Save(s, src, p, false, demo.Path("jpeg_markers.jpg"));
    TIOParamsVals q;
    TBitmap back;
    Load(s, back, q, false);
    TMemoryStream again;
    Save(again, back, q, false, demo.Path("jpeg_markers_again.jpg"));
    TIOParamsVals r;
    Load(again, back, r, false);
    int at = r.JPEG_MarkerList.IndexOf(0xED);
    if (r.JPEG_MarkerList.GetCount() != 2 || at < 0) throw std::runtime_error("markers lost");
    TPVIPTCInfoList got;
    got.LoadFromStandardBuffer(r.JPEG_MarkerList.GetMarkerData(at),
                               r.JPEG_MarkerList.GetMarkerLength(at));
    if (got.GetCount() != 1) throw std::runtime_error("IPTC lost");
    return std::to_string(r.JPEG_MarkerList.GetCount()) + " markers, caption \"" +
           got.GetStrings(0) + "\"";
  });

  TBitmap few;
  Picture(few, 200, 150, true);
  TBitmap mono(200, 150, pf1bit);
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 25; ++x) mono.ScanLine(y)[x] = uint8_t(((x + y / 8) & 1) ? 0xF0 : 0x0F);
  for (int kind = 0; kind < 3; ++kind)
    for (bool interlaced : {false, true}) {
      static const char* kKind[] = {"RGB", "palette", "1-bit grey"};
      demo.Run("png", std::string(kKind[kind]) + (interlaced ? " interlaced" : ""), [&] {
        TIOParamsVals p;
        p.PNG_Interlaced = interlaced;
        TBitmap* bmp = kind == 0 ? &src : kind == 1 ? &few : &mono;
        if (kind == 1) p.SamplesPerPixel = 1;
        if (kind == 2) p.BitsPerSample = 1, p.SamplesPerPixel = 1;
        TMemoryStream s;
        Save(s, *bmp, p, true,
             demo.Path("png_" + std::to_string(kind) + (interlaced ? "i" : "") + ".png"));
        TIOParamsVals q;
        TBitmap back;
        Load(s, back, q, true);
        for (int y = 0; y < bmp->GetHeight(); ++y)
          for (int x = 0; x < bmp->GetWidth(); ++x)
            if (back.GetPixel(x, y) != bmp->GetPixel(x, y))
              throw std::runtime_error("pixels differ");
        return std::to_string(s.GetSize()) + " bytes, exact";
      });
    }
}

PICTAVO_DEMO(80, "jpeg and png", Demo);

}  // namespace
}  // namespace pictavo::cli
