/* libtiff peer: "dec FILE" reads every strip row into one whole-image buffer
   (as an image loader must keep the image); "enc IN.pnm OUT.tif none|lzw|
   packbits|g3|g4" writes the image in strips of about 8 KiB. */
#include <string.h>
#include <tiffio.h>

#include "ppmio.h"

static int decode(const char* name) {
  TIFF* t = TIFFOpen(name, "r");
  if (!t) return 1;
  uint32_t w, h;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  tmsize_t row = TIFFScanlineSize(t);
  unsigned char* image = (unsigned char*)malloc((size_t)row * h);
  for (uint32_t y = 0; y < h; ++y)
    if (TIFFReadScanline(t, image + (size_t)row * y, y, 0) < 0) return 1;
  TIFFClose(t);
  volatile unsigned char sink = image[(size_t)row * h / 2];
  (void)sink;
  free(image);
  return 0;
}

static int encode(const char* in, const char* out, const char* how) {
  PeerImage im;
  if (!peer_read_pnm(in, &im)) return 1;
  TIFF* t = TIFFOpen(out, "w");
  if (!t) return 1;
  int bilevel = im.channels == 0;
  uint16_t comp = COMPRESSION_NONE;
  if (!strcmp(how, "lzw")) comp = COMPRESSION_LZW;
  if (!strcmp(how, "packbits")) comp = COMPRESSION_PACKBITS;
  if (!strcmp(how, "g3")) comp = COMPRESSION_CCITTFAX3;
  if (!strcmp(how, "g4")) comp = COMPRESSION_CCITTFAX4;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, (uint32_t)im.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, (uint32_t)im.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, bilevel ? 1 : im.channels);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
               bilevel ? PHOTOMETRIC_MINISWHITE
                       : (im.channels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK));
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, comp);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
  for (int y = 0; y < im.height; ++y)
    if (TIFFWriteScanline(t, im.data + im.rowBytes * y, (uint32_t)y, 0) < 0) return 1;
  TIFFClose(t);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "dec")) return decode(argv[2]);
  if (argc >= 5 && !strcmp(argv[1], "enc")) return encode(argv[2], argv[3], argv[4]);
  return 2;
}
