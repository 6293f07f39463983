// Demo section: the pixel layer on the built-in samples — copies, DIB
// transfer, every YUV layout, bilevel conversions, colour counting, RC6.
#include <cstdio>
#include <cstring>
#include <string>

#include "apps/pictavo/registry.h"
#include "apps/pictavo/samples.h"
#include "core/conversions.h"
#include "core/rc6.h"
#include "platform/exceptions.h"

namespace pictavo::cli {
namespace {

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", v);
  return buf;
}

void Check(bool ok, const char* what) {
  if (!ok) throw Exception(what);
}

void RunCoreDemo(DemoContext& demo) {
  auto photo = MakeSamplePhoto(1600, 1200);
  auto page = MakeSamplePage(1240, 1754);

  demo.Run("core", "PVCopyBitmap of the 1600x1200 photo", [&] {
    TBitmap copy;
    PVCopyBitmap(*photo, copy);
    Check(_BitmapCompareX(*photo, copy), "copy differs");
    return "checksum " + Hex(BitmapChecksum(copy));
  });
  demo.Run("core", "_CopyBitmapRect 400x300 from the photo", [&] {
    TBitmap part;
    _CopyBitmapRect(*photo, part, 100, 50, 500, 350);
    Check(part.GetWidth() == 400 && part.GetHeight() == 300, "wrong size");
    return std::to_string(part.GetWidth()) + "x" + std::to_string(part.GetHeight());
  });
  demo.Run("core", "DIB round trip, 24 bits", [&] {
    HGLOBAL dib = _CopyBitmaptoDIB(*photo, 0, 0, 0, 0);
    TBitmap back;
    int bits = _CopyDIB2Bitmap(dib, back);
    Check(bits == 24 && _BitmapCompareX(*photo, back), "24-bit DIB round trip differs");
    return std::to_string(GlobalSize(dib)) + " bytes";
  });
  demo.Run("core", "DIB round trip, 1 bit", [&] {
    HGLOBAL dib = _CopyBitmaptoDIB(*page, 0, 0, 0, 0);
    TBitmap back;
    int bits = _CopyDIB2Bitmap(dib, back);
    Check(bits == 1 && back.GetPixelFormat() == pf1bit && BitmapChecksum(*page) == BitmapChecksum(back),
          "1-bit DIB round trip differs");
    return std::to_string(GlobalSize(dib)) + " bytes";
  });
  const char* layouts[] = {"I420", "IYUV", "YV12", "YVU9", "YUY2", "YUNV", "UYVY", "UYNV", "YVYU",
                           "IYU1", "IYU2", "Y41P", "Y211", "CLJR", "cyuv"};
  for (const char* l : layouts) {
    demo.Run("core", std::string("YUV frame ") + l + " 320x240", [&] {
      uint32_t fourcc = PVFourCC(l[0], l[1], l[2], l[3]);
      std::vector<uint8_t> dib = MakeYUVFrameDIB(fourcc, 320, 240);
      TBitmap frame;
      _CopyDIB2Bitmap(dib.data(), dib.size(), frame);
      Check(frame.GetWidth() == 320 && frame.GetHeight() == 240, "frame not decoded");
      return "checksum " + Hex(BitmapChecksum(frame));
    });
  }
  demo.Run("core", "_ConvertTo1bit of a two-colour image", [&] {
    TBitmap two(640, 480, pf24bit);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        reinterpret_cast<TRGB*>(two.ScanLine(y))[x] = ((x / 32 + y / 32) & 1) ? TRGB{200, 40, 10} : TRGB{250, 250, 240};
    TRGB c0, c1;
    auto bits = _ConvertTo1bit(two, c0, c1);
    Check(bits != nullptr, "not two colours");
    return "c0 " + std::to_string(c0.r) + "," + std::to_string(c0.g) + "," + std::to_string(c0.b) +
           " (darker), c1 " + std::to_string(c1.r) + "," + std::to_string(c1.g) + "," + std::to_string(c1.b);
  });
  demo.Run("core", "_ConvertToBWOrdered of the photo", [&] {
    TBitmap bw;
    bw.Assign(*photo);
    TProgressRec progress;
    _ConvertToBWOrdered(bw, progress);
    Check(bw.GetPixelFormat() == pf1bit, "not one bit");
    return "checksum " + Hex(BitmapChecksum(bw));
  });
  demo.Run("core", "_Conv1to24 of the page", [&] {
    TBitmap rgb;
    _Conv1to24(*page, rgb);
    Check(rgb.GetPixelFormat() == pf24bit && rgb.GetWidth() == page->GetWidth(), "not expanded");
    return "checksum " + Hex(BitmapChecksum(rgb));
  });
  demo.Run("core", "colours of the photo counted with THash1", [&] {
    THash1 hash(13);
    for (int y = 0; y < photo->GetHeight(); ++y) {
      const TRGB* row = reinterpret_cast<const TRGB*>(photo->ScanLine(y));
      for (int x = 0; x < photo->GetWidth(); ++x)
        hash.Insert(uint32_t(row[x].r) << 16 | uint32_t(row[x].g) << 8 | row[x].b);
    }
    return std::to_string(hash.Count()) + " colours";
  });
  demo.Run("core", "RC6 self-test and a CFB round trip", [&] {
    Check(RC6SelfTest(), "self-test failed");
    const char key[] = "pictavo demo key";
    std::string text = "The quick brown fox jumps over the lazy dog, 45 bytes.";
    std::string enc(text.size(), '\0'), dec(text.size(), '\0');
    TRC6Data data;
    RC6Init(data, key, 16, nullptr);
    RC6EncryptCFB(data, text.data(), enc.data(), text.size());
    RC6Reset(data);
    RC6DecryptCFB(data, enc.data(), dec.data(), text.size());
    RC6Burn(data);
    Check(dec == text && enc != text, "CFB round trip failed");
    return std::to_string(text.size()) + " bytes restored";
  });
}

PICTAVO_DEMO(10, "pixel layer", RunCoreDemo);

}  // namespace
}  // namespace pictavo::cli
