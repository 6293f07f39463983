// Pictavo's side of the whole-process comparison, linked against the
// library like any program: "dec FILE" loads the file into a bitmap;
// "enc IN OUT [FIELD=VALUE]..." converts IN into OUT by extension with a
// few writer parameters (TIFF_Compression, JPEG_Quality, PNG_Compression,
// PNG_Filter as numbers) through TPictavoIO::ConvertFile, which streams the
// rows where reader and writer allow it and otherwise loads and saves;
// "load-save IN OUT [FIELD=VALUE]..." always loads into a bitmap and saves.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codecs/gif.h"
#include "codecs/tifflzw.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

using namespace pictavo;

namespace {

bool Load(TPictavoIO& io, const char* name) {
  io.LoadFromFile(name);
  if (io.Aborting) std::fprintf(stderr, "load failed: %s\n", name);
  return !io.Aborting;
}

void SetField(TIOParamsVals& p, const std::string& field, int value) {
  if (field == "TIFF_Compression") p.TIFF_Compression = TIOTIFFCompression(value);
  if (field == "JPEG_Quality") p.JPEG_Quality = value;
  if (field == "PNG_Compression") p.PNG_Compression = value;
  if (field == "PNG_Filter") p.PNG_Filter = TIOPNGFilter(value);
  if (field == "TGA_Compressed") p.TGA_Compressed = value != 0;
}

}  // namespace

int main(int argc, char** argv) {
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
  DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
  TBitmap bitmap;
  TPictavoIO io;
  io.SetAttachedBitmap(&bitmap);
  if (argc >= 3 && !std::strcmp(argv[1], "dec")) return Load(io, argv[2]) ? 0 : 1;
  const bool convert = argc >= 4 && !std::strcmp(argv[1], "enc");
  const bool loadSave = argc >= 4 && !std::strcmp(argv[1], "load-save");
  if (!convert && !loadSave) return 2;
  auto setFields = [&](TIOParamsVals& p) {
    for (int i = 4; i < argc; ++i) {
      const char* eq = std::strchr(argv[i], '=');
      if (eq) SetField(p, std::string(argv[i], size_t(eq - argv[i])), std::atoi(eq + 1));
    }
  };
  if (convert) {
    io.ConvertFile(argv[2], argv[3], setFields);
  } else {
    if (!Load(io, argv[2])) return 1;
    setFields(io.IOParams());
    io.SaveToFile(argv[3]);
  }
  if (io.Aborting)
    std::fprintf(stderr, "%s failed: %s\n", argv[1], io.Diagnostics().Error.Message.c_str());
  return io.Aborting ? 1 : 0;
}
