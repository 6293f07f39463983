/* Shared by the peer harnesses: a minimal binary PPM/PGM/PBM reader for the
   encode tasks (every peer reads the same input the same way). */
#ifndef PEERS_PPMIO_H
#define PEERS_PPMIO_H
#include <stdio.h>
#include <stdlib.h>

typedef struct {
  int width, height, channels; /* channels 0: packed 1-bit rows (P4) */
  size_t rowBytes;
  unsigned char* data;
} PeerImage;

static int peer_token(FILE* f) {
  int c, v = 0;
  do {
    c = fgetc(f);
    if (c == '#')
      while (c != '\n' && c != EOF) c = fgetc(f);
  } while (c == ' ' || c == '\t' || c == '\n' || c == '\r');
  while (c >= '0' && c <= '9') {
    v = v * 10 + (c - '0');
    c = fgetc(f);
  }
  return v;
}

/* Reads P4, P5 or P6 with maxval 255; returns 0 on failure. */
static int peer_read_pnm(const char* name, PeerImage* im) {
  FILE* f = fopen(name, "rb");
  if (!f) return 0;
  char magic[2];
  if (fread(magic, 1, 2, f) != 2 || magic[0] != 'P') return 0;
  im->width = peer_token(f);
  im->height = peer_token(f);
  if (magic[1] == '4') {
    im->channels = 0;
    im->rowBytes = (size_t)(im->width + 7) / 8;
  } else {
    peer_token(f);
    im->channels = magic[1] == '5' ? 1 : 3;
    im->rowBytes = (size_t)im->width * im->channels;
  }
  im->data = (unsigned char*)malloc(im->rowBytes * im->height);
  size_t n = fread(im->data, 1, im->rowBytes * im->height, f);
  fclose(f);
  return n == im->rowBytes * im->height;
}
#endif
