#!/usr/bin/env bash
# Takes a screenshot of Vistamere in a real terminal: xterm (24-bit colour,
# DejaVu Sans Mono) under a virtual X server, the program started through
# tmux so that keys can be sent to it. Usage:
#   scripts/screenshot.sh [OUTPUT.png] [PICTURE] [KEYS]
# PICTURE empty: the built-in ballpark. KEYS: viewpoint keys pressed before the shot.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
picture=${2:-}
keys=${3:-}
binary=${VISTAMERE_BINARY:-build/release/app/vistamere}
if [ ! -x "$binary" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_TESTS=OFF >/dev/null
  ninja -C build/release vistamere >/dev/null
fi

display=:$((90 + RANDOM % 9))
socket=vistamere-shot-$$
work=$(mktemp -d)
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -noreset -screen 0 1100x760x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
sleep 0.5

cat >"$work/tmux.conf" <<'CONF'
set -g status off
set -g escape-time 0
set -g default-terminal tmux-256color
set -as terminal-features ',xterm*:RGB'
CONF
DISPLAY=$display xterm -geometry 102x40+0+0 -fa 'DejaVu Sans Mono' -fs 10 -bg black -fg grey \
  -xrm 'XTerm*termName: xterm-256color' \
  -e env COLORTERM=truecolor tmux -L "$socket" -f "$work/tmux.conf" new-session -s shot \
  "COLORTERM=truecolor $(realpath "$binary")" &
for _ in $(seq 50); do
  tmux -L "$socket" capture-pane -p -t shot 2>/dev/null | grep -q 'Enter file name' && break
  sleep 0.1
done
tmux -L "$socket" send-keys -t shot -l "$picture"
tmux -L "$socket" send-keys -t shot Enter
sleep 1.5
[ -n "$keys" ] && tmux -L "$socket" send-keys -t shot -l "$keys" && sleep 1
xwd -root -display "$display" -silent | convert xwd:- -trim +repage -bordercolor black -border 6 "$out"
echo "wrote $out"
