#!/usr/bin/env bash
# The real binary in xterm under a private Xvfb, without COLORTERM: asked at
# start-up, xterm shows that it takes 24-bit colour, and a smooth picture
# comes out on a screenshot as close to the original as with
# COLORTERM=truecolor, and much closer than with --colors=256.
# Usage: xterm_colour_test.sh BINARY SCRATCH_FOLDER
set -euo pipefail
binary=$(realpath "$1")
mkdir -p "$2" && cd "$2"
rm -f ./*.png ./*.xwd ./*.error display x.log

# The picture: smooth both ways, in the mid-tones where the palette's steps are wide.
convert -size 512x256 xc: -sparse-color Bilinear \
  '0,0 rgb(60,50,170) 511,0 rgb(210,80,70) 0,255 rgb(60,170,210) 511,255 rgb(210,200,110)' \
  -type TrueColor bmp3:gradient.bmp

pids=()
cleanup() {
  for ((k = ${#pids[@]} - 1; k >= 0; k--)); do kill "${pids[k]}" 2>/dev/null || true; done
  wait
}
trap cleanup EXIT
# -noreset: a server that resets as a screenshot's client leaves can drop
# the terminal's connection while it is still being made.
Xvfb -noreset -displayfd 3 -screen 0 3400x800x24 -nolisten tcp 3>display 2>>x.log &
pids+=($!)
for _ in $(seq 100); do [ -s display ] && break; sleep 0.1; done
export DISPLAY=:$(cat display) LC_ALL=C.UTF-8

start() {  # TITLE LEFT ENV-ARGUMENTS...: no borders, the window is the cells
  xterm -T "$1" -xrm 'XTerm*allowTitleOps: false' -geometry "102x40+$2+0" -b 0 -bw 0 -u8 \
    -fa 'DejaVu Sans Mono' -fs 10 -bg black -fg grey -e env -C "$PWD" "${@:3}" 2>>x.log &
  pids+=($!)
}
start asked 0 -u COLORTERM "$binary" gradient.bmp
start truecolor 1120 COLORTERM=truecolor "$binary" gradient.bmp
start 256 2240 -u COLORTERM "$binary" --colors=256 gradient.bmp
runs=(asked truecolor 256)

shot() { xwd -name "$1" -silent -out "$1.xwd" 2>>x.log; }
wait_for() {  # TITLE WHAT FX-TEST [CONVERT-OPTION...]: polls the window's shots up to 20 s
  for _ in $(seq 100); do
    shot "$1" && [ "$(convert "$1.xwd" "${@:4}" -format "%[fx:$3]" info: 2>>x.log)" = 1 ] && return 0
    sleep 0.2
  done
  echo "$1: no $2 (see $PWD/x.log)" >&2
  return 1
}
wait_for asked window 1
read -r width height <<<"$(identify -format '%w %h' asked.xwd)"
cell=$((height / 40))

# The picture area: rows 5-38 of 0-39, the original stretched over it.
area="${width}x$((34 * cell))"
convert gradient.bmp -resize "$area!" reference.png
for run in "${runs[@]}"; do
  # The middle of the area's last row.
  wait_for "$run" picture 'p{w/2, h*39/40-2}.r + p{w/2, h*39/40-2}.b > 0.4'
  # A frame may be on its way out still: measured once two shots agree.
  for _ in $(seq 20); do
    cp "$run.xwd" previous.xwd
    sleep 0.15
    shot "$run"
    cmp -s previous.xwd "$run.xwd" && break
  done
  # The mean absolute difference per channel, the fielders' labels included.
  convert "$run.xwd" -crop "$area+0+$((5 * cell))" +repage reference.png \
    -metric MAE -compare -format '%[distortion]' info: >"$run.error"
done

error() { cat "$1.error"; }
awk -v asked="$(error asked)" -v truecolor="$(error truecolor)" -v palette="$(error 256)" 'BEGIN {
  printf "picture error (mean per channel, 0-255): asked %.2f, COLORTERM=truecolor %.2f, --colors=256 %.2f\n",
    asked * 255, truecolor * 255, palette * 255
  exit !(asked <= truecolor * 1.2 + 0.2 / 255 && asked * 3 < palette)
}'
