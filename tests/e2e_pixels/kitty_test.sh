#!/usr/bin/env bash
# The real binary in kitty (software OpenGL) under a private Xvfb, with a
# photo-like picture: kitty answers the graphics query, so the picture comes
# by the kitty graphics protocol. On screenshots before and after three
# turns of the view, as in the xterm test: the area looks like the picture,
# the labels are dark boxes, about as many after the turns as before, and
# they moved. Then keys through kitty's keyboard protocol, read back from
# the status panel (kitty's own copy of its screen): Caps Lock letters with
# and without Shift, Alt+letter, cursor keys and bare modifiers.
# Usage: kitty_test.sh BINARY MAKE_PICTURE_SCRIPT SCRATCH_FOLDER
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
binary=$(realpath "$1")
make_picture=$(realpath "$2")
mkdir -p "$3" && cd "$3"
rm -f ./*.xwd ./*.txt display x.log kitty.sock

picture=$(bash "$make_picture" "$PWD" jpg 1200 600)
# The picture brightened so that the dark label boxes stand out everywhere.
convert "$picture" -level 0%,70% bright.jpg
picture=$PWD/bright.jpg

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
export DISPLAY=:$(cat display) LC_ALL=C.UTF-8 LIBGL_ALWAYS_SOFTWARE=1

kitty --config NONE -o font_family='DejaVu Sans Mono' -o font_size=10 \
  -o remember_window_size=no -o initial_window_width=102c -o initial_window_height=40c \
  -o window_padding_width=0 -o allow_remote_control=yes -o enable_audio_bell=no \
  --listen-on "unix:$PWD/kitty.sock" -T pixels \
  env -C "$PWD" "$binary" "$picture" >>x.log 2>&1 &
pids+=($!)

screen_text() { kitty @ --to "unix:$PWD/kitty.sock" get-text 2>>x.log; }
wait_text() {  # TEXT SECONDS
  for _ in $(seq $((${2:-20} * 5))); do
    screen_text | grep -qF -- "$1" && return 0
    sleep 0.2
  done
  echo "no '$1' on the screen (see $PWD/x.log):" >&2
  screen_text | head -8 >&2 || true
  return 1
}
wait_text "ObsX:-80" 60

shot() { xwd -name pixels -silent -out "$1.xwd" 2>>x.log; }
settled() {
  for _ in $(seq 50); do
    sleep 0.4
    cp "$1.xwd" previous.xwd 2>/dev/null || true
    shot "$1"
    cmp -s previous.xwd "$1.xwd" && return 0
  done
  echo "$1: the screen never settled" >&2
  return 1
}
settled before
read -r width height <<<"$(identify -format '%w %h' before.xwd)"
cell_w=$((width / 102)) cell_h=$((height / 40))
area="$((102 * cell_w))x$((34 * cell_h))+0+$((5 * cell_h))"
convert "$picture" -resize "$((102 * cell_w))x$((34 * cell_h))!" reference.png

window=$(xdotool search --name pixels | head -1)
xdotool windowfocus --sync "$window" 2>>x.log
xdotool type 333 2>>x.log
wait_text "TilY: 3"
settled after

source "$here/picture_checks.sh"
status=0
check_picture_and_labels

# Keys, each group ending in a change the panel shows, so that the value
# read is the one after every key before it.
press() { xdotool key --delay 30 "$@" 2>>x.log; }
check() {  # WHAT TEXT
  if wait_text "$2" 5; then echo "keys: $1: ok"; else echo "FAIL: keys: $1" >&2; status=1; fi
}
press Caps_Lock x x
check "Caps Lock x gives X (forward)" "ObsX:-78"
press shift+x
check "Caps Lock Shift+x gives x (back)" "ObsX:-79"
press Caps_Lock x
check "x without Caps Lock (back)" "ObsX:-80"
press alt+x alt+y Up Down Left Right shift ctrl alt y
check "Alt+letters, cursor keys and bare modifiers change nothing; then y" "ObsY:-1"
exit $status
