// A program outside the library, built against an installed Pictavo by the
// install test: once with find_package and once with pkg-config.  It uses
// only the umbrella header, writes an LZW-compressed GIF and TIFF to memory,
// reads them back, and checks the version and the missing-file exception.
#include <cstdio>
#include <cstring>
#include <string>

#include "pictavo.h"

using namespace pictavo;

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++failures;
  }
}

// A 16 x 8 picture of four colours in vertical bands.
void Paint(TBitmap& b) {
  static const TColor kBands[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
  b.SetPixelFormat(pf24bit);
  b.SetSize(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) b.SetPixel(x, y, kBands[x / 4]);
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

void RoundTrip(int32_t fileType, const char* what) {
  TBitmap source, back;
  Paint(source);
  TPictavoIO io;
  io.SetAttachedBitmap(&source);
  if (fileType == ftTIFF) io.IOParams().TIFF_Compression = ioTIFF_LZW;
  TMemoryStream stream;
  io.SaveToStream(stream, fileType);
  Check(!io.Aborting, what);
  stream.SetPosition(0);
  TPictavoIO reader;
  reader.SetAttachedBitmap(&back);
  reader.LoadFromStream(stream);
  Check(!reader.Aborting && SamePixels(source, back), what);
}

}  // namespace

int main() {
  Check(std::strcmp(PVVersionString(), PICTAVO_VERSION_STRING) == 0, "version string");
  Check(std::to_string(PICTAVO_VERSION_MAJOR) + "." + std::to_string(PICTAVO_VERSION_MINOR) + "." +
                std::to_string(PICTAVO_VERSION_PATCH) ==
            PVVersionString(),
        "version numbers");
  Check(DefGIF_LZWCOMPFUNC == nullptr, "LZW coders empty at start-up");
  PVUseBuiltinLZW();
  Check(DefGIF_LZWCOMPFUNC != nullptr && DefTIFF_LZWDECOMPFUNC != nullptr, "LZW coders assigned");
  RoundTrip(ftGIF, "GIF round trip");
  RoundTrip(ftTIFF, "LZW TIFF round trip");
  bool raised = false;
  try {
    TBitmap b;
    TPictavoIO io;
    io.SetAttachedBitmap(&b);
    io.LoadFromFile("/nonexistent/photo.jpg");
  } catch (const Exception&) {
    raised = true;
  }
  Check(raised, "a missing file raises");
  std::printf(failures == 0 ? "consume ok\n" : "consume failed\n");
  return failures == 0 ? 0 : 1;
}
