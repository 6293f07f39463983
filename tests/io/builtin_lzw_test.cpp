// PVUseBuiltinLZW: the four coder globals are empty until it is called, and
// components created after the call read and write LZW.
#include "io/builtin_lzw.h"

#include <gtest/gtest.h>

#include "codecs/gif.h"
#include "codecs/tifflzw.h"
#include "formats/ioparams.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "platform/stream.h"

namespace pictavo {
namespace {

class BuiltinLzwTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gd_ = DefGIF_LZWDECOMPFUNC, gc_ = DefGIF_LZWCOMPFUNC;
    td_ = DefTIFF_LZWDECOMPFUNC, tc_ = DefTIFF_LZWCOMPFUNC;
    DefGIF_LZWDECOMPFUNC = nullptr, DefGIF_LZWCOMPFUNC = nullptr;
    DefTIFF_LZWDECOMPFUNC = nullptr, DefTIFF_LZWCOMPFUNC = nullptr;
  }
  void TearDown() override {
    DefGIF_LZWDECOMPFUNC = gd_, DefGIF_LZWCOMPFUNC = gc_;
    DefTIFF_LZWDECOMPFUNC = td_, DefTIFF_LZWCOMPFUNC = tc_;
  }

  // Saves a 7 x 3 picture as `fileType` (TIFF asking for LZW) and reads it
  // back; false when either step fails.  `compression` is what the TIFF
  // reader found.
  static bool RoundTrip(int32_t fileType, TIOTIFFCompression* compression = nullptr) {
    TBitmap source(7, 3, pf24bit), back;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x) source.SetPixel(x, y, (x * 40) | ((y * 80) << 8));
    TPictavoIO writer;
    writer.SetAttachedBitmap(&source);
    writer.IOParams().TIFF_Compression = ioTIFF_LZW;
    TMemoryStream stream;
    writer.SaveToStream(stream, fileType);
    if (writer.Aborting) return false;
    stream.SetPosition(0);
    TPictavoIO reader;
    reader.SetAttachedBitmap(&back);
    reader.LoadFromStream(stream);
    if (compression) *compression = reader.IOParams().TIFF_Compression;
    if (reader.Aborting || back.GetWidth() != 7 || back.GetHeight() != 3) return false;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 7; ++x)
        if (back.GetPixel(x, y) != source.GetPixel(x, y)) return false;
    return true;
  }

 private:
  TGIFLZWDecompFunc gd_;
  TGIFLZWCompFunc gc_;
  TTIFFLZWDecompFunc td_;
  TTIFFLZWCompFunc tc_;
};

TEST_F(BuiltinLzwTest, WithoutTheCallNoLzwIsWritten) {
  EXPECT_FALSE(RoundTrip(ftGIF));
  TIOTIFFCompression compression = ioTIFF_LZW;
  RoundTrip(ftTIFF, &compression);  // the writer may fall back to another compression
  EXPECT_NE(compression, ioTIFF_LZW);
}

TEST_F(BuiltinLzwTest, OneCallEnablesGifAndLzwTiff) {
  PVUseBuiltinLZW();
  EXPECT_EQ(DefGIF_LZWDECOMPFUNC, &GIFLZWDecompress);
  EXPECT_EQ(DefGIF_LZWCOMPFUNC, &GIFLZWCompress);
  EXPECT_EQ(DefTIFF_LZWDECOMPFUNC, &TIFFLZWDecompress);
  EXPECT_EQ(DefTIFF_LZWCOMPFUNC, &TIFFLZWCompress);
  EXPECT_TRUE(RoundTrip(ftGIF));
  TIOTIFFCompression compression = ioTIFF_UNCOMPRESSED;
  EXPECT_TRUE(RoundTrip(ftTIFF, &compression));
  EXPECT_EQ(compression, ioTIFF_LZW);
}

}  // namespace
}  // namespace pictavo
