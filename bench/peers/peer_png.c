/* libpng peer: "dec FILE" reads 8-bit RGB rows into one whole-image buffer;
   "enc IN.pnm OUT.png LEVEL FILTER" writes with that zlib level and one
   filter type (none, sub, up, avg, paeth). */
#include <png.h>
#include <string.h>

#include "ppmio.h"

static int decode(const char* name) {
  FILE* f = fopen(name, "rb");
  if (!f) return 1;
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop i = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) return 1;
  png_init_io(p, f);
  png_read_info(p, i);
  png_set_expand(p);
  png_set_strip_16(p);
  png_set_strip_alpha(p);
  png_set_gray_to_rgb(p);
  int passes = png_set_interlace_handling(p);
  png_read_update_info(p, i);
  png_uint_32 w = png_get_image_width(p, i), h = png_get_image_height(p, i);
  size_t row = png_get_rowbytes(p, i);
  unsigned char* image = (unsigned char*)malloc(row * h);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(p, image + row * y, NULL);
  png_read_end(p, NULL);
  png_destroy_read_struct(&p, &i, NULL);
  fclose(f);
  volatile unsigned char sink = image[row * h / 2];
  (void)sink;
  (void)w;
  free(image);
  return 0;
}

static int encode(const char* in, const char* out, int level, const char* filter) {
  PeerImage im;
  if (!peer_read_pnm(in, &im) || im.channels == 0) return 1;
  FILE* f = fopen(out, "wb");
  if (!f) return 1;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop i = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) return 1;
  png_init_io(p, f);
  png_set_IHDR(p, i, (png_uint_32)im.width, (png_uint_32)im.height, 8,
               im.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(p, level);
  int ft = PNG_FILTER_NONE;
  if (!strcmp(filter, "sub")) ft = PNG_FILTER_SUB;
  if (!strcmp(filter, "up")) ft = PNG_FILTER_UP;
  if (!strcmp(filter, "avg")) ft = PNG_FILTER_AVG;
  if (!strcmp(filter, "paeth")) ft = PNG_FILTER_PAETH;
  png_set_filter(p, 0, ft);
  png_write_info(p, i);
  for (int y = 0; y < im.height; ++y) png_write_row(p, im.data + im.rowBytes * y);
  png_write_end(p, i);
  png_destroy_write_struct(&p, &i);
  fclose(f);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "dec")) return decode(argv[2]);
  if (argc >= 6 && !strcmp(argv[1], "enc")) return encode(argv[2], argv[3], atoi(argv[4]), argv[5]);
  return 2;
}
