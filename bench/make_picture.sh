#!/usr/bin/env bash
# make_picture.sh DIR FORMAT WIDTH HEIGHT
# Makes DIR/picture-WIDTHxHEIGHT.FORMAT (FORMAT: jpg png bmp gif webp tif,
# or pjpg: a progressive JPEG)
# unless it is there already, and prints its path. The content is like a
# photograph: smooth colour fields (plasma) with a camera's noise, made
# once as an 8-bit PNG per size and converted from it; seeded, so every
# run makes the same files. Needs ImageMagick's convert.
# FORMAT photo makes DIR/photo-WIDTHxHEIGHT.png instead: the real
# photograph bench/data/chelsea.png (451x300, see bench/data/README.md)
# enlarged to exactly WIDTHxHEIGHT (Lanczos), 8-bit RGB PNG at
# ImageMagick's default compression.
set -euo pipefail
dir=$1 format=$2 width=$3 height=$4
data="$(dirname "$0")/data"
mkdir -p "$dir"
if [[ $format == photo ]]; then
  out="$dir/photo-${width}x${height}.png"
else
  out="$dir/picture-${width}x${height}.$format"
fi
if [[ -f $out ]]; then
  echo "$out"
  exit 0
fi

if [[ $format == photo ]]; then
  part="$dir/part-$$-photo-${width}x${height}.png"
  convert "$data/chelsea.png" -filter Lanczos -resize "${width}x${height}!" -depth 8 "png24:$part"
  mv "$part" "$out"
  echo "$out"
  exit 0
fi

# ImageMagick picks the format by the name's extension, which stays last;
# a run cut short leaves only a part-* file behind.
make_base() {
  local w=$1 h=$2 base="$dir/base-$1x$2.png" part="$dir/part-$$-base-$1x$2.png"
  if [[ ! -f $base ]]; then
    if ((w * h > 24000000 && w % 2 == 0 && h % 2 == 0)); then
      # Past what ImageMagick's pixel cache allows for plasma and noise
      # here: the half-size picture, each pixel doubled.
      make_base $((w / 2)) $((h / 2))
      convert "$dir/base-$((w / 2))x$((h / 2)).png" -sample 200% -depth 8 "$part"
    else
      convert -seed 7 -size "${w}x${h}" plasma:fractal -attenuate 0.4 +noise Gaussian \
        -depth 8 "$part"
    fi
    mv "$part" "$base"
  fi
}

make_base "$width" "$height"
base="$dir/base-${width}x${height}.png"
part="$dir/part-$$-picture-${width}x${height}.$format"
case $format in
  png) cp "$base" "$part" ;;
  jpg) convert "$base" -quality 90 -sampling-factor 2x2 "$part" ;;
  pjpg) convert "$base" -quality 90 -sampling-factor 2x2 -interlace JPEG "jpg:$part" ;;
  bmp) convert "$base" -type TrueColor "$part" ;;
  gif) convert "$base" -colors 256 "$part" ;;
  webp) convert "$base" -quality 85 "$part" ;;
  tif) convert "$base" -compress lzw "$part" ;;
  *)
    echo "make_picture.sh: unknown format $format" >&2
    exit 2
    ;;
esac
mv "$part" "$out"
echo "$out"
