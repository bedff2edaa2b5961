#!/usr/bin/env bash
# Draws the program's icon, a small ballpark seen from above the plate:
# the outfield's grass, the infield's dirt, the diamond's grass and its four
# bases, at 16, 32 and 48 pixels, into win32/resources/vistamere.ico.
# Run it again (ImageMagick) after changing the drawing; the .ico is kept
# in the repository so that a build needs nothing beyond mingw-w64.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48; do
  # Drawn at 96 pixels and scaled down, so that the small ones stay smooth.
  convert -size 96x96 xc:none \
    -fill '#2e7d32' -draw "path 'M 48,92 L 4,48 A 62,62 0 0,1 92,48 Z'" \
    -fill '#b5793e' -draw "polygon 48,90 18,60 48,30 78,60" \
    -fill '#43a047' -draw "polygon 48,80 28,60 48,40 68,60" \
    -fill white -draw "rectangle 44,84 52,92" -draw "rectangle 70,56 78,64" \
    -draw "rectangle 44,26 52,34" -draw "rectangle 18,56 26,64" \
    -fill '#b5793e' -draw "circle 48,60 48,54" \
    -resize "${size}x${size}" "PNG32:$work/$size.png"
done
convert "$work/16.png" "$work/32.png" "$work/48.png" win32/resources/vistamere.ico
echo "wrote win32/resources/vistamere.ico"
