/* libjpeg-turbo peer: "dec FILE" decompresses to RGB rows of one whole-image
   buffer; "enc IN.pnm OUT.jpg QUALITY" compresses with the library defaults
   (4:2:0, integer slow DCT). */
#include <stdio.h>
#include <string.h>

#include "ppmio.h"
/* jpeglib.h needs FILE and size_t declared first. */
#include <jpeglib.h>

static int decode(const char* name) {
  FILE* f = fopen(name, "rb");
  if (!f) return 1;
  struct jpeg_decompress_struct c;
  struct jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_decompress(&c);
  jpeg_stdio_src(&c, f);
  jpeg_read_header(&c, TRUE);
  c.out_color_space = JCS_RGB;
  jpeg_start_decompress(&c);
  size_t row = (size_t)c.output_width * 3;
  unsigned char* image = (unsigned char*)malloc(row * c.output_height);
  while (c.output_scanline < c.output_height) {
    JSAMPROW r = image + row * c.output_scanline;
    jpeg_read_scanlines(&c, &r, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  fclose(f);
  volatile unsigned char sink = image[row * c.output_height / 2];
  (void)sink;
  free(image);
  return 0;
}

static int encode(const char* in, const char* out, int quality) {
  PeerImage im;
  if (!peer_read_pnm(in, &im) || im.channels == 0) return 1;
  FILE* f = fopen(out, "wb");
  if (!f) return 1;
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = (JDIMENSION)im.width;
  c.image_height = (JDIMENSION)im.height;
  c.input_components = im.channels;
  c.in_color_space = im.channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = im.data + im.rowBytes * c.next_scanline;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "dec")) return decode(argv[2]);
  if (argc >= 5 && !strcmp(argv[1], "enc")) return encode(argv[2], argv[3], atoi(argv[4]));
  return 2;
}
