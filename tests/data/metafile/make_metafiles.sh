#!/bin/sh
# Makes the metafiles of the import tests from drawing.svg with LibreOffice
# Draw (Debian package libreoffice-draw-nogui), and the reference renderings
# they are compared with:
#   drawing.wmf, drawing.emf    LibreOffice's WMF and EMF export of the drawing
#   drawing_emf_ref.png         LibreOffice's PNG export of the same drawing at
#                               the EMF's size in pixels (96 per inch)
#   drawing_wmf_ref.png         libwmf's rendering of drawing.wmf (wmf2gd, from
#                               libwmf-bin, with the fonts of fonts-urw-base35)
# Run it in this folder; the test suite needs only the files it leaves.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
soffice --headless --convert-to emf --outdir "$tmp" drawing.svg >/dev/null
soffice --headless --convert-to wmf --outdir "$tmp" drawing.svg >/dev/null
cp "$tmp/drawing.emf" "$tmp/drawing.wmf" .
# The EMF frame (0.01 mm) gives the size the library renders at.
size=$(python3 -c '
import struct
d = open("drawing.emf", "rb").read()
l, t, r, b = struct.unpack_from("<4i", d, 24)
print(round((r - l) * 96 / 2540), round((b - t) * 96 / 2540))')
w=${size% *}
h=${size#* }
soffice --headless --convert-to \
  "png:draw_png_Export:{\"PixelWidth\":{\"type\":\"long\",\"value\":\"$w\"},\"PixelHeight\":{\"type\":\"long\",\"value\":\"$h\"}}" \
  --outdir "$tmp" drawing.svg >/dev/null
cp "$tmp/drawing.png" drawing_emf_ref.png
# wmf2gd renders at 72 per inch unless told a size; ask for ours.
wmf2gd --maxwidth="$w" --maxheight="$h" --maxpect -o drawing_wmf_ref.png drawing.wmf 2>/dev/null
echo "made drawing.wmf, drawing.emf and their references at ${w}x${h}"
