#include "dialogs/saveparams.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "io/registry.h"

namespace pictavo {
namespace {

std::vector<std::string> Names(const std::vector<TPVSaveField>& fields) {
  std::vector<std::string> out;
  for (const auto& f : fields) out.push_back(f.Name);
  return out;
}

const TPVSaveField& Find(const std::vector<TPVSaveField>& fields, const std::string& name) {
  auto it = std::find_if(fields.begin(), fields.end(), [&](auto& f) { return f.Name == name; });
  if (it == fields.end()) throw std::runtime_error("no field " + name);
  return *it;
}

// The encoder is only compared with null; it is never called here.
bool DummyTiffEncoder(const uint8_t*, int, TStream&, void*&) {
  return true;
}

class PVSaveParams : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = DefTIFF_LZWCOMPFUNC, DefTIFF_LZWCOMPFUNC = nullptr; }
  void TearDown() override { DefTIFF_LZWCOMPFUNC = saved_; }
  TTIFFLZWCompFunc saved_ = nullptr;
  TIOParamsVals params_;
};

TEST_F(PVSaveParams, FieldsOfEveryFormat) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Names(PVSaveParamFields(ftJPEG, params_)),
            (V{"JPEG_Quality", "JPEG_Progressive", "JPEG_DCTMethod", "JPEG_OptimalHuffman",
               "JPEG_Smooth", "JPEG_ColorSpace"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftTIFF, params_)), (V{"TIFF_Compression", "TIFF_Predictor"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftPNG, params_)),
            (V{"PNG_Interlaced", "PNG_Filter", "PNG_Compression"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftGIF, params_)),
            (V{"GIF_Interlaced", "GIF_Transparent", "GIF_TranspColor"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftBMP, params_)), (V{"BitsPerSample", "BMP_Compression"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftPCX, params_)), (V{"PCX_Compression"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftTGA, params_)), (V{"TGA_Compressed"}));
  EXPECT_EQ(Names(PVSaveParamFields(ftPXM, params_)), (V{"PXM_Kind"}));
  EXPECT_TRUE(PVSaveParamFields(ftICO, params_).empty());
  EXPECT_TRUE(PVSaveParamFields(0, params_).empty());
}

TEST_F(PVSaveParams, CaptionsInTheDialogLanguage) {
  auto jpeg = PVSaveParamFields(ftJPEG, params_);
  EXPECT_EQ(Find(jpeg, "JPEG_Quality").Caption(msEnglish), "Quality");
  EXPECT_EQ(Find(jpeg, "JPEG_Quality").Caption(msGerman), "Qualit\xC3\xA4t");
  EXPECT_EQ(Find(jpeg, "JPEG_DCTMethod").Caption(msEnglish), "DCT method");
  EXPECT_EQ(Find(jpeg, "JPEG_ColorSpace").Caption(msEnglish), "Gray scale");
  auto gif = PVSaveParamFields(ftGIF, params_);
  EXPECT_EQ(Find(gif, "GIF_TranspColor").Caption(msSpanish), "Color transparente");
  EXPECT_EQ(Find(PVSaveParamFields(ftPNG, params_), "PNG_Interlaced").Caption(msItalian),
            "Interlacciato");
  // A word replaced by the application shows up.
  PVSetTranslationWord(msUser, PVMSG_QUALITY, "Q");
  EXPECT_EQ(Find(jpeg, "JPEG_Quality").Caption(msUser), "Q");
  PVSetTranslationWord(msUser, PVMSG_QUALITY, "");
}

TEST_F(PVSaveParams, JpegFieldsReadAndWriteTheirMembers) {
  auto f = PVSaveParamFields(ftJPEG, params_);
  EXPECT_EQ(PVGetParamField(Find(f, "JPEG_Quality"), params_), 50);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_Quality"), params_, 87));
  EXPECT_EQ(params_.JPEG_Quality, 87);
  // Out of range values are clamped to 1..100.
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_Quality"), params_, 250));
  EXPECT_EQ(params_.JPEG_Quality, 100);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_Quality"), params_, -3));
  EXPECT_EQ(params_.JPEG_Quality, 1);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_Progressive"), params_, 5));
  EXPECT_TRUE(params_.JPEG_Progressive);
  EXPECT_EQ(PVGetParamField(Find(f, "JPEG_Progressive"), params_), 1);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_DCTMethod"), params_, ioJPEG_FLOAT));
  EXPECT_EQ(params_.JPEG_DCTMethod, ioJPEG_FLOAT);
  EXPECT_FALSE(PVSetParamField(Find(f, "JPEG_DCTMethod"), params_, 3));
  EXPECT_EQ(params_.JPEG_DCTMethod, ioJPEG_FLOAT);
  // Grey scale switches the colour space and back to YCbCr; a CMYK colour
  // space is not touched by switching grey off.
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_ColorSpace"), params_, 1));
  EXPECT_EQ(params_.JPEG_ColorSpace, ioJPEG_GRAYLEV);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_ColorSpace"), params_, 0));
  EXPECT_EQ(params_.JPEG_ColorSpace, ioJPEG_YCbCr);
  params_.JPEG_ColorSpace = ioJPEG_CMYK;
  EXPECT_EQ(PVGetParamField(Find(f, "JPEG_ColorSpace"), params_), 0);
  EXPECT_TRUE(PVSetParamField(Find(f, "JPEG_ColorSpace"), params_, 0));
  EXPECT_EQ(params_.JPEG_ColorSpace, ioJPEG_CMYK);
}

TEST_F(PVSaveParams, TiffCompressionFollowsTheAvailableEncoder) {
  auto noLzw = PVSaveParamFields(ftTIFF, params_);
  const auto& comp = Find(noLzw, "TIFF_Compression");
  auto offers = [](const TPVSaveField& f, int32_t v) {
    return std::any_of(f.Choices.begin(), f.Choices.end(), [&](auto& c) { return c.Value == v; });
  };
  EXPECT_FALSE(offers(comp, ioTIFF_LZW));
  EXPECT_TRUE(offers(comp, ioTIFF_PACKBITS));
  EXPECT_TRUE(offers(comp, ioTIFF_G4FAX));
  EXPECT_FALSE(PVSetParamField(comp, params_, ioTIFF_LZW));
  // A file loaded with LZW but saved without an encoder is written uncompressed.
  params_.TIFF_Compression = ioTIFF_LZW;
  EXPECT_EQ(PVGetParamField(comp, params_), ioTIFF_UNCOMPRESSED);
  params_.TIFF_Compression = ioTIFF_JPEG;
  EXPECT_EQ(PVGetParamField(comp, params_), ioTIFF_UNCOMPRESSED);

  params_.TIFF_LZWCompFunc = DummyTiffEncoder;
  auto withLzw = PVSaveParamFields(ftTIFF, params_);
  EXPECT_TRUE(offers(Find(withLzw, "TIFF_Compression"), ioTIFF_LZW));
  EXPECT_TRUE(PVSetParamField(Find(withLzw, "TIFF_Compression"), params_, ioTIFF_LZW));
  EXPECT_EQ(params_.TIFF_Compression, ioTIFF_LZW);
  // The library-wide default encoder counts as well.
  params_.TIFF_LZWCompFunc = nullptr;
  DefTIFF_LZWCOMPFUNC = DummyTiffEncoder;
  EXPECT_TRUE(offers(Find(PVSaveParamFields(ftTIFF, params_), "TIFF_Compression"), ioTIFF_LZW));
}

TEST_F(PVSaveParams, TiffPredictorIsDerivedAndReadOnly) {
  params_.TIFF_LZWCompFunc = DummyTiffEncoder;
  auto f = PVSaveParamFields(ftTIFF, params_);
  const auto& pred = Find(f, "TIFF_Predictor");
  EXPECT_TRUE(pred.ReadOnly);
  EXPECT_EQ(pred.Caption(msGerman), "Predictor");
  params_.TIFF_Compression = ioTIFF_PACKBITS;
  EXPECT_EQ(PVGetParamField(pred, params_), 1);
  params_.TIFF_Compression = ioTIFF_LZW;  // 8 bits, 3 samples, RGB
  EXPECT_EQ(PVGetParamField(pred, params_), 2);
  params_.SamplesPerPixel = 1;
  EXPECT_EQ(PVGetParamField(pred, params_), 2);
  params_.BitsPerSample = 4;
  EXPECT_EQ(PVGetParamField(pred, params_), 1);
  params_.BitsPerSample = 8;
  params_.TIFF_PhotometInterpret = ioTIFF_CMYK;
  EXPECT_EQ(PVGetParamField(pred, params_), 1);
  EXPECT_FALSE(PVSetParamField(pred, params_, 2));
  params_.TIFF_LZWCompFunc = nullptr;  // no encoder: no LZW, no predictor
  params_.TIFF_PhotometInterpret = ioTIFF_RGB;
  EXPECT_EQ(PVGetParamField(pred, params_), 1);
}

TEST_F(PVSaveParams, PngGifBmpPcxTgaFields) {
  auto png = PVSaveParamFields(ftPNG, params_);
  EXPECT_TRUE(PVSetParamField(Find(png, "PNG_Filter"), params_, ioPNG_FILTER_PAETH));
  EXPECT_EQ(params_.PNG_Filter, ioPNG_FILTER_PAETH);
  EXPECT_FALSE(PVSetParamField(Find(png, "PNG_Filter"), params_, 7));
  EXPECT_EQ(params_.PNG_Filter, ioPNG_FILTER_PAETH);
  EXPECT_TRUE(PVSetParamField(Find(png, "PNG_Compression"), params_, 12));
  EXPECT_EQ(params_.PNG_Compression, 9);
  EXPECT_TRUE(PVSetParamField(Find(png, "PNG_Interlaced"), params_, 1));
  EXPECT_TRUE(params_.PNG_Interlaced);

  auto gif = PVSaveParamFields(ftGIF, params_);
  const auto& colour = Find(gif, "GIF_TranspColor");
  EXPECT_EQ(colour.Kind, pfkColor);
  EXPECT_FALSE(colour.IsEnabled(params_));
  EXPECT_TRUE(PVSetParamField(Find(gif, "GIF_Transparent"), params_, 1));
  EXPECT_TRUE(colour.IsEnabled(params_));
  // TColor 0x00BBGGRR: red 0x40, green 0x80, blue 0xFF; the high byte is dropped.
  EXPECT_TRUE(PVSetParamField(colour, params_, 0x7FFF8040));
  EXPECT_EQ(params_.GIF_TranspColor, (TRGB{0xFF, 0x80, 0x40}));
  EXPECT_EQ(PVGetParamField(colour, params_), 0xFF8040);

  auto bmp = PVSaveParamFields(ftBMP, params_);
  const auto& depth = Find(bmp, "BitsPerSample");
  const auto& rle = Find(bmp, "BMP_Compression");
  EXPECT_EQ(PVGetParamField(depth, params_), 24);  // 8 bits x 3 samples
  EXPECT_FALSE(rle.IsEnabled(params_));
  EXPECT_TRUE(PVSetParamField(depth, params_, 8));
  EXPECT_EQ(params_.BitsPerSample, 8);
  EXPECT_EQ(params_.SamplesPerPixel, 1);
  EXPECT_TRUE(rle.IsEnabled(params_));
  EXPECT_TRUE(PVSetParamField(depth, params_, 4));
  EXPECT_TRUE(rle.IsEnabled(params_));
  EXPECT_TRUE(PVSetParamField(depth, params_, 1));
  EXPECT_FALSE(rle.IsEnabled(params_));
  EXPECT_FALSE(PVSetParamField(depth, params_, 16));
  EXPECT_TRUE(PVSetParamField(depth, params_, 24));
  EXPECT_EQ(params_.BitsPerSample, 8);
  EXPECT_EQ(params_.SamplesPerPixel, 3);

  EXPECT_TRUE(PVSetParamField(Find(PVSaveParamFields(ftPCX, params_), "PCX_Compression"), params_,
                              ioPCX_UNCOMPRESSED));
  EXPECT_EQ(params_.PCX_Compression, ioPCX_UNCOMPRESSED);
  EXPECT_TRUE(
      PVSetParamField(Find(PVSaveParamFields(ftTGA, params_), "TGA_Compressed"), params_, 0));
  EXPECT_FALSE(params_.TGA_Compressed);
}

TEST_F(PVSaveParams, PxmKindSetsSamples) {
  const auto pxm = PVSaveParamFields(ftPXM, params_);
  const auto& kind = Find(pxm, "PXM_Kind");
  EXPECT_EQ(PVGetParamField(kind, params_), pxmPixmap);
  ASSERT_TRUE(PVSetParamField(kind, params_, pxmBitmap));
  EXPECT_EQ(params_.BitsPerSample, 1);
  EXPECT_EQ(params_.SamplesPerPixel, 1);
  ASSERT_TRUE(PVSetParamField(kind, params_, pxmGraymap));
  EXPECT_EQ(params_.BitsPerSample, 8);
  EXPECT_EQ(params_.SamplesPerPixel, 1);
  EXPECT_EQ(PVGetParamField(kind, params_), pxmGraymap);
  // A 16-colour palette image is written as a pixmap.
  params_.BitsPerSample = 4;
  EXPECT_EQ(PVGetParamField(kind, params_), pxmPixmap);
  EXPECT_FALSE(PVSetParamField(kind, params_, 3));
}

TEST_F(PVSaveParams, CopyTouchesOnlyTheFormatsFields) {
  TIOParamsVals src, dst;
  src.JPEG_Quality = 91;
  src.JPEG_Progressive = true;
  src.JPEG_DCTMethod = ioJPEG_IFAST;
  src.PNG_Compression = 1;         // another format: not copied
  src.BitsPerSample = 1;           // not a JPEG field
  dst.TIFF_DocumentName = "kept";  // untouched
  PVCopySaveParams(ftJPEG, src, dst);
  EXPECT_EQ(dst.JPEG_Quality, 91);
  EXPECT_TRUE(dst.JPEG_Progressive);
  EXPECT_EQ(dst.JPEG_DCTMethod, ioJPEG_IFAST);
  EXPECT_EQ(dst.PNG_Compression, 5);
  EXPECT_EQ(dst.BitsPerSample, 8);
  EXPECT_EQ(dst.TIFF_DocumentName, "kept");
}

}  // namespace
}  // namespace pictavo
