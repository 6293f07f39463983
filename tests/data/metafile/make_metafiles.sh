#!/bin/sh
# Makes the metafiles of the import tests from drawing.svg with LibreOffice
# Draw (Debian package libreoffice-draw-nogui), and the reference renderings
# they are compared with:
#   drawing.wmf, drawing.emf    LibreOffice's WMF and EMF export of the drawing
#   drawing_emf_ref.png         LibreOffice's PNG export of the same drawing,
#                               cut to the EMF's picture frame and scaled to its
#                               size in pixels at 96 per inch (ImageMagick)
#   drawing_wmf_ref.png         libwmf's rendering of drawing.wmf (wmf2gd from
#                               libwmf-bin, with the fonts of fonts-urw-base35)
# Run it in this folder; the test suite needs only the files it leaves.
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
soffice --headless --convert-to emf --outdir "$tmp" drawing.svg >/dev/null
soffice --headless --convert-to wmf --outdir "$tmp" drawing.svg >/dev/null
cp "$tmp/drawing.emf" "$tmp/drawing.wmf" .
# The page (the SVG's size) and the EMF frame, which LibreOffice centres on
# the page.  The PNG is exported 13 times larger so that the cut falls on
# whole pixels, then scaled down.
set -- $(python3 -c '
import re, struct
svg = open("drawing.svg").read()
pw = int(re.search(r"width=\"(\d+)px\"", svg).group(1))
ph = int(re.search(r"height=\"(\d+)px\"", svg).group(1))
d = open("drawing.emf", "rb").read()
l, t, r, b = struct.unpack_from("<4i", d, 24)
k = 13
fw, fh = (r - l) * 96 / 2540, (b - t) * 96 / 2540
print(round(fw), round(fh), pw * k, ph * k, round(fw * k), round(fh * k),
      round((pw - fw) / 2 * k), round((ph - fh) / 2 * k))')
w=$1 h=$2 bigw=$3 bigh=$4 cutw=$5 cuth=$6 cutx=$7 cuty=$8
soffice --headless --convert-to \
  "png:draw_png_Export:{\"PixelWidth\":{\"type\":\"long\",\"value\":\"$bigw\"},\"PixelHeight\":{\"type\":\"long\",\"value\":\"$bigh\"}}" \
  --outdir "$tmp" drawing.svg >/dev/null
convert "$tmp/drawing.png" -background white -alpha remove -crop "${cutw}x${cuth}+${cutx}+${cuty}" \
  +repage -resize "${w}x${h}!" -strip drawing_emf_ref.png
# wmf2gd renders at 72 per inch unless told a size; ask for ours.
wmf2gd --maxwidth="$w" --maxheight="$h" --maxpect -o "$tmp/wmf.png" drawing.wmf 2>/dev/null
convert "$tmp/wmf.png" -background white -alpha remove -strip drawing_wmf_ref.png
echo "made drawing.wmf, drawing.emf and their references at ${w}x${h}"
