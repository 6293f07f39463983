/* stb_image peer: "dec FILE" decodes to 8-bit RGB in memory (PNM, BMP, TGA,
   GIF, JPEG, PNG); "enc IN.pnm OUT.bmp|tga|png" writes with stb_image_write. */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#include <string.h>

#include "ppmio.h"

int main(int argc, char** argv) {
  if (argc >= 3 && !strcmp(argv[1], "dec")) {
    int w, h, n;
    unsigned char* p = stbi_load(argv[2], &w, &h, &n, 3);
    if (!p) return 1;
    volatile unsigned char sink = p[(size_t)w * h * 3 / 2];
    (void)sink;
    stbi_image_free(p);
    return 0;
  }
  if (argc >= 4 && !strcmp(argv[1], "enc")) {
    PeerImage im;
    if (!peer_read_pnm(argv[2], &im) || im.channels == 0) return 1;
    const char* ext = strrchr(argv[3], '.');
    if (!ext) return 2;
    if (!strcmp(ext, ".bmp")) return !stbi_write_bmp(argv[3], im.width, im.height, 3, im.data);
    if (!strcmp(ext, ".tga")) {
      stbi_write_tga_with_rle = 0;
      return !stbi_write_tga(argv[3], im.width, im.height, 3, im.data);
    }
    if (!strcmp(ext, ".png"))
      return !stbi_write_png(argv[3], im.width, im.height, 3, im.data, (int)im.rowBytes);
  }
  return 2;
}
