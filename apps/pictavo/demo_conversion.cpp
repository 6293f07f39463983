// Demo section: conversions and the saving options preview.  A generated
// picture of smooth colour waves goes from PPM and BMP to JPEG and PNG a row at a
// time (checked byte for byte against a load and a save), and the preview
// the saving options dialog shows is written for JPEG at three qualities,
// each as a PNG a person can compare with the source.
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "apps/pictavo/registry.h"
#include "dialogs/pviopreviews.h"
#include "formats/registry.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"

namespace pictavo::cli {
namespace {

constexpr int kWidth = 640, kHeight = 400;

// Smooth colour waves with a sharp-edged block, where JPEG's losses show.
void MakePicture(TBitmap& bmp) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      const bool block = x > 400 && x < 560 && y > 120 && y < 280;
      const auto wave = [](double t) { return uint8_t(std::lround(127.5 + 127.5 * std::sin(t))); };
      row[3 * x] = block ? 0 : wave((x + y) / 70.0);  // blue
      row[3 * x + 1] = block ? 220 : wave(y / 40.0);  // green
      row[3 * x + 2] = block ? 255 : wave(x / 50.0);  // red
    }
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void SaveOrThrow(TPictavoIO& io, const std::string& path) {
  io.SaveToFile(path);
  if (io.Aborting) throw std::runtime_error(path + ": " + io.LastError().Message);
}

// Converts `in` to `out` and checks the bytes against a load and a save.
std::string ConvertChecked(DemoContext& demo, const std::string& in, const std::string& out) {
  TPictavoIO io;
  io.ConvertFile(demo.Path(in), demo.Path(out));
  if (io.Aborting) throw std::runtime_error(out + ": " + io.LastError().Message);
  TBitmap loaded;
  TPictavoIO reference;
  reference.SetAttachedBitmap(&loaded);
  reference.LoadFromFile(demo.Path(in));
  SaveOrThrow(reference, demo.Path("reference_" + out));
  const std::string bytes = ReadFile(demo.Path(out));
  if (bytes != ReadFile(demo.Path("reference_" + out)))
    throw std::runtime_error(out + " differs from a load and a save");
  return out + " " + std::to_string(bytes.size()) + " bytes, same as load+save";
}

void Run(DemoContext& demo) {
  TBitmap picture;
  MakePicture(picture);
  demo.Run("conversion", "PPM and BMP to JPEG and PNG by rows", [&] {
    TPictavoIO io;
    io.SetAttachedBitmap(&picture);
    SaveOrThrow(io, demo.Path("conversion_source.ppm"));
    SaveOrThrow(io, demo.Path("conversion_source.bmp"));
    return ConvertChecked(demo, "conversion_source.ppm", "conversion_from_ppm.jpg") + "; " +
           ConvertChecked(demo, "conversion_source.ppm", "conversion_from_ppm.png") + "; " +
           ConvertChecked(demo, "conversion_source.bmp", "conversion_from_bmp.jpg");
  });
  demo.Run("conversion", "saving options preview, JPEG at 5, 30 and 90", [&] {
    std::string figures;
    for (int quality : {5, 30, 90}) {
      TIOParamsVals params;
      params.JPEG_Quality = quality;
      TPVIOPreviewResult preview = PVMakeIOPreview(picture, params, ftJPEG);
      if (!preview.Valid()) throw std::runtime_error(preview.Error.Message);
      const std::string name = "save_preview_jpeg_q" + std::to_string(quality) + ".png";
      TPictavoIO io;
      io.SetAttachedBitmap(preview.Bitmap.get());
      SaveOrThrow(io, demo.Path(name));
      figures += (figures.empty() ? "" : ", ") + name + " (" + std::to_string(preview.EncodedSize) +
                 " bytes)";
    }
    return figures;
  });
}

}  // namespace

PICTAVO_DEMO(85, "conversion and saving previews", Run);

}  // namespace pictavo::cli
