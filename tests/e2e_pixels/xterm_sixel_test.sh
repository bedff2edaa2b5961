#!/usr/bin/env bash
# The real binary in xterm -ti vt340 under a private Xvfb, with a photo-like
# picture: xterm lists sixel graphics, so the picture comes in pixels. On
# screenshots before and after three turns of the view:
# - the area looks like the picture (mean difference per channel over the
#   area at a quarter of its size, where the dither averages out, labels
#   included);
# - the labels are dark boxes where the picture is light, about as many
#   cells of them after the turns as before (the cells a label left show
#   the picture again, not a black box);
# - the labels moved, and the row below the area did not change.
# Usage: xterm_sixel_test.sh BINARY MAKE_PICTURE_SCRIPT SCRATCH_FOLDER
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
binary=$(realpath "$1")
make_picture=$(realpath "$2")
mkdir -p "$3" && cd "$3"
rm -f ./*.xwd ./*.txt display x.log

picture=$(bash "$make_picture" "$PWD" jpg 1200 600)
# The picture brightened so that the dark label boxes stand out everywhere.
convert "$picture" -level 0%,70% bright.jpg

pids=()
cleanup() {
  for ((k = ${#pids[@]} - 1; k >= 0; k--)); do kill "${pids[k]}" 2>/dev/null || true; done
  wait
}
trap cleanup EXIT
# -noreset: a server that resets as a screenshot's client leaves can drop
# the terminal's connection while it is still being made.
Xvfb -noreset -displayfd 3 -screen 0 1100x800x24 -nolisten tcp 3>display 2>>x.log &
pids+=($!)
for _ in $(seq 100); do [ -s display ] && break; sleep 0.1; done
export DISPLAY=:$(cat display) LC_ALL=C.UTF-8

xterm -ti vt340 -T sixel -xrm 'XTerm*allowTitleOps: false' -geometry 102x40+0+0 -b 0 -bw 0 \
  -u8 -fa 'DejaVu Sans Mono' -fs 10 -bg black -fg grey -e env -C "$PWD" "$binary" bright.jpg \
  2>>x.log &
pids+=($!)

shot() { xwd -name sixel -silent -out "$1.xwd" 2>>x.log; }
# Waits until two shots a moment apart agree and the area's middle is lit.
settled() {
  for _ in $(seq 100); do
    if shot "$1" && [ "$(convert "$1.xwd" -format '%[fx:p{w/2,h*20/40}.g > 0.2]' info: 2>>x.log)" = 1 ]; then
      sleep 0.3
      cp "$1.xwd" previous.xwd
      shot "$1"
      cmp -s previous.xwd "$1.xwd" && return 0
    fi
    sleep 0.2
  done
  echo "$1: no settled picture (see $PWD/x.log)" >&2
  return 1
}
settled before
read -r width height <<<"$(identify -format '%w %h' before.xwd)"
cell_w=$((width / 102)) cell_h=$((height / 40))
area="$((102 * cell_w))x$((34 * cell_h))+0+$((5 * cell_h))"
convert bright.jpg -resize "$((102 * cell_w))x$((34 * cell_h))!" reference.png

window=$(xdotool search --name sixel | head -1)
xdotool windowfocus --sync "$window" 2>>x.log
xdotool type 333 2>>x.log
sleep 0.5
settled after

source "$here/picture_checks.sh"
below_area() { convert "$1.xwd" -crop "${width}x${cell_h}+0+$((39 * cell_h))" +repage -format '%#' info:; }
status=0
check_picture_and_labels
[ "$(below_area before)" = "$(below_area after)" ] || { echo "FAIL: the row below the area changed" >&2; status=1; }
exit $status
