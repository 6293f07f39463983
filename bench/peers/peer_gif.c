/* giflib peer: "dec FILE" slurps the file and expands the first frame through
   its colour map into one whole-image RGB buffer. */
#include <gif_lib.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc < 3 || strcmp(argv[1], "dec")) return 2;
  int err;
  GifFileType* g = DGifOpenFileName(argv[2], &err);
  if (!g || DGifSlurp(g) != GIF_OK || g->ImageCount < 1) return 1;
  SavedImage* s = &g->SavedImages[0];
  ColorMapObject* map = s->ImageDesc.ColorMap ? s->ImageDesc.ColorMap : g->SColorMap;
  int w = s->ImageDesc.Width, h = s->ImageDesc.Height;
  unsigned char* image = (unsigned char*)malloc((size_t)w * h * 3);
  for (size_t i = 0; i < (size_t)w * h; ++i) {
    GifColorType c = map->Colors[s->RasterBits[i] % map->ColorCount];
    image[3 * i] = c.Red;
    image[3 * i + 1] = c.Green;
    image[3 * i + 2] = c.Blue;
  }
  volatile unsigned char sink = image[(size_t)w * h * 3 / 2];
  (void)sink;
  free(image);
  DGifCloseFile(g, &err);
  return 0;
}
