#!/usr/bin/env bash
# peers.sh [RUNS] [PATTERN]
# Load to first frame, side by side with two other terminal picture viewers,
# measured two ways: output to /dev/null, and on screen in tmux.
#
# To /dev/null:
#   vistamere-render --time FILE  (our decode, reduce, cells, full repaint)
#   chafa -f symbols -c full --symbols block+space --size 102x34 --stretch --animate off FILE
#   timg -g102x34 -ph --frames=1 -bnone FILE
# each a whole process with its output to /dev/null: median wall time (date),
# median CPU time (user + system, all threads) and the peak RSS (GNU time).
# Ours is timed from Enter (as the program has it: started, renderer ready)
# to the first frame's bytes, as vistamere-render --time reports it; its
# whole process is shown too. The terminal's drawing is not in it.
#
# On screen in tmux: a tmux server of the script's own (its own socket, no
# configuration file), one detached session of exactly 102x40 cells,
# COLORTERM=truecolor.
# - Ours: the real program, app/vistamere, started in the pane. Once its
#   prompt "Enter file name:" shows, the picture's path is typed
#   (send-keys -l); 0.1 s after tmux shows it typed, Enter is sent. While the
#   picture loads the screen keeps the prompt and the path, with a line
#   " Loading FILE ... NN%" under it once the load takes over 0.15 s; then
#   the first frame comes in one write: the status panel (rows 0-4, key
#   help and "ObsX:" ...), then the picture's rows 5-38 top to bottom with
#   the labels among them. Timed from Enter until the last picture row
#   (row 38) reads as it does in the finished frame: its plain text is
#   polled, and once it matches, the row with its colours (capture-pane -e)
#   is compared with the same row of an untimed first run of the same
#   picture; "ObsX:" on row 0 is checked after. tmux parses a pane's output
#   in order, so the whole frame is on screen by then: decode, reduce,
#   cells, the present and tmux having parsed it. The peak RSS is the
#   program's VmHWM (/proc) at that moment.
# - chafa and timg: an interactive bash (no rc files) in the same pane; the
#   command line "PEER OPTIONS FILE; printf '\e]2;%s\e\\' MARK-$?" (the
#   same options as above) is typed, and Enter is sent as for ours. Timed
#   from Enter until the pane's title (#{pane_title}) is MARK-0: the title
#   escape comes after the peer's last byte, so the peer's whole output
#   has been parsed by then (and "-0": it succeeded). This counts bash
#   starting the peer (fork, exec, dynamic linking): the peer's whole
#   process, as a person who runs it sees it.
# timg's -bnone: on a terminal, timg asks it for its background colour
# (OSC 11) and waits 1.5 s for an answer that tmux 3.3 never gives; -bnone
# (no colour behind transparent pixels, which these pictures do not have)
# drops the question and changes nothing else. Both measures run it so.
#
# Polling: a tmux control-mode client (tmux -C, output notifications off)
# takes each capture-pane or display-message, so a poll starts no process;
# between polls the script sleeps POLL_SLEEP (default 0.002 s, bash's
# read -t). A poll comes about every 2.5-3 ms (the median is printed):
# that is the resolution; a time is late by up to one poll interval, half
# of it on average. A poll costs about 0.3 ms of CPU (bash 0.2, the tmux
# server 0.1), about a tenth of one of the 2 cores the measured programs
# share.
#
# All six runs (ours, chafa, timg to /dev/null, then the same on screen) go
# in turn, RUNS times (default 5) per picture, so that a machine slowing
# down or speeding up treats all alike. Printed: the medians, our ratio to
# the faster peer in each measure, and the goals, met or not, in both
# measures. PATTERN (a shell glob such as '*.jpg') keeps only the pictures
# whose names match.
# Builds Release in its own build dir ($VISTAMERE_BENCH_BUILD, default
# build/bench-release) and keeps the generated pictures there.
# Needs chafa, timg, tmux, ImageMagick and GNU time: on Debian 12
# scripts/install-deps.sh installs tmux and imagemagick, not the others
# (apt-get install chafa timg time); the script names what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
only=${2:-*}
build=${VISTAMERE_BENCH_BUILD:-build/bench-release}
pictures="$build/bench-pictures"
poll_sleep=${POLL_SLEEP:-0.002}

declare -A package_of=([chafa]=chafa [timg]=timg [tmux]=tmux [convert]=imagemagick
  [/usr/bin/time]=time)
missing=()
for tool in chafa timg tmux convert /usr/bin/time; do
  command -v "$tool" >/dev/null || missing+=("${package_of[$tool]}")
done
if ((${#missing[@]})); then
  echo "peers.sh: needs the Debian packages ${missing[*]}: apt-get install ${missing[*]}" \
    "(scripts/install-deps.sh installs tmux and imagemagick, not chafa's program, timg or GNU time)" >&2
  exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_BENCH=ON \
  -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" vistamere-render vistamere >/dev/null
render="$build/tools/vistamere-render"
app="$build/app/vistamere"
chafa_cmd=(chafa -f symbols -c full --symbols block+space --size 102x34 --stretch --animate off)
timg_cmd=(timg -g102x34 -ph --frames=1 -bnone)

# The name make_picture.sh gives "FORMAT WIDTH HEIGHT".
picture_name() {
  case $1 in
    photo) echo "photo-$2x$3.png" ;;
    *) echo "picture-$2x$3.$1" ;;
  esac
}

echo "making the pictures (once; kept in $pictures) ..."
declare -a files=()
for picture_args in "jpg 6000 4000" "pjpg 6000 4000" "png 6000 4000" "photo 6000 4000" \
  "png 12000 8000" "bmp 1024 512" "webp 2000 1000" "gif 2000 1000" "tif 2000 1000"; do
  # shellcheck disable=SC2086,SC2053
  [[ $(picture_name $picture_args) == $only ]] || continue
  # shellcheck disable=SC2086
  files+=("$(bash bench/make_picture.sh "$pictures" $picture_args)")
done

tmp=$(mktemp -d)
socket="vistamere-bench-$$"
# Its own server even when run inside tmux ($TMUX would send commands there).
tmx() { env -u TMUX tmux -L "$socket" -f /dev/null "$@"; }
cleanup() {
  # The control client goes first, through its own channel, read to its
  # end: a server killed from outside waits for the client to take its
  # last output, and a script gone no longer reads it.
  if [[ -n ${control_in-} ]]; then
    { printf 'kill-server\n' >&"$control_in"; } 2>/dev/null || true
    while IFS= read -r -t 5 -u "$control_out" _; do :; done 2>/dev/null || true
  fi
  tmx kill-server 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# One run: "wall_ms cpu_ms rss_kib enter_ms" (enter_ms: what the command
# itself reports as Enter to first frame, or the wall time).
run_once() {
  local start end enter
  start=$(date +%s%N)
  /usr/bin/time -f '%e %U %S %M' -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" ||
    { echo "failed: $* ($(head -c 200 "$tmp/err"))" >&2; return 1; }
  end=$(date +%s%N)
  read -r _ user sys rss <"$tmp/time"
  enter=$(awk '$1 == "enter-to-first-frame-ms" { print $2 }' "$tmp/err")
  awk -v w=$(((end - start) / 1000)) -v u="$user" -v s="$sys" -v r="$rss" -v e="$enter" \
    'BEGIN { printf "%.1f %.0f %d %.1f\n", w / 1000, (u + s) * 1000, r, (e == "") ? w / 1000 : e }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# "median_wall_ms median_cpu_ms max_rss_kib median_enter_ms" of a runs file.
summarize() {
  printf '%s %s %s %s\n' "$(cut -d' ' -f1 "$1" | median)" "$(cut -d' ' -f2 "$1" | median)" \
    "$(cut -d' ' -f3 "$1" | sort -n | tail -1)" "$(cut -d' ' -f4 "$1" | median)"
}

# --- on screen in tmux ---------------------------------------------------

tmx new-session -d -s bench -x 102 -y 40 -e COLORTERM=truecolor -e HISTFILE=/dev/null \
  -c "$PWD" 'exec sleep 1000000'
tmx set-option -g remain-on-exit on
# The control client: commands in on its standard input, each answered
# between "%begin TIME NUMBER 1" and "%end ..." (or "%error ..."); the
# flags 1 mark a command from the standard input (the attach-session of the
# command line is answered with flags 0, before or after the first of them).
coproc TMUX_CONTROL { tmx -C attach-session -t bench -f no-output,ignore-size 2>&1; }
exec {control_in}>&"${TMUX_CONTROL[1]}" {control_out}<&"${TMUX_CONTROL[0]}"
exec {sleep_fd}<> <(:)
nap() { read -r -t "$1" -u "$sleep_fd" _ || true; }
now_us() { now=${EPOCHREALTIME//[!0-9]/}; }

# The next answer's lines in $reply; fails on %error.
control_read() {
  local line inside=0
  reply=
  while IFS= read -r -t 60 -u "$control_out" line; do
    case $line in
      "%begin "*" 1") inside=1 reply= ;;
      "%end "*) ((inside)) && { reply=${reply%$'\n'}; return 0; } ;;
      "%error "*) ((inside)) && { echo "peers.sh: tmux: $reply" >&2; return 1; } ;;
      *) ((inside)) && reply+=$line$'\n' ;;
    esac
  done
  echo "peers.sh: the tmux control client stopped answering" >&2
  exit 1
}
control() { printf '%s\n' "$1" >&"$control_in" && control_read; }
# Past the attach's own answer: a marker is asked back.
printf 'display-message -p vistamere-bench-sync\n' >&"$control_in"
until control_read && [[ $reply == vistamere-bench-sync ]]; do :; done
control "display-message -p -t bench '#{window_width}x#{window_height}'"
[[ $reply == 102x40 ]] || { echo "peers.sh: the tmux window is $reply, not 102x40" >&2; exit 1; }

# Polls COMMAND until TEST (a function of $reply) holds, up to SECONDS.
wait_until() {
  local command=$1 test=$2 seconds=$3 limit
  now_us
  limit=$((now + seconds * 1000000))
  until control "$command" && "$test"; do
    now_us
    ((now < limit)) || { echo "peers.sh: waited ${seconds} s in vain for $test ($reply)" >&2; return 1; }
    nap "$poll_sleep"
  done
}
is_prompt() { [[ $reply == "Enter file name:"* ]]; }
has_panel() { [[ $reply == *ObsX:* ]]; }
has_typed() { [[ $reply == *"$typed"* ]]; }
has_cursor_moved() { ((reply > 0)); }

# Starts ours in the pane and types FILE at its prompt, Enter not yet.
ours_typed() {
  tmx respawn-pane -k -t bench -c "$PWD" "exec $(printf %q "$app")"
  wait_until "capture-pane -p -t bench -S 0 -E 0" is_prompt 10
  typed="Enter file name: $1"
  tmx send-keys -t bench -l "$1"
  wait_until "capture-pane -p -J -t bench -S 0 -E 3" has_typed 10
  nap 0.1
}

# The finished frame's last picture row, plain and with colours, from an
# untimed run of FILE: "$last_row" and "$last_row_colours".
ours_reference() {
  ours_typed "$1"
  control "send-keys -t bench Enter"
  wait_until "capture-pane -p -t bench -S 0 -E 0" has_panel 60
  nap 0.5
  control "capture-pane -p -t bench -S 38 -E 38"
  last_row=$reply
  control "capture-pane -p -e -t bench -S 38 -E 38"
  last_row_colours=$reply
  [[ -n $last_row ]] || { echo "peers.sh: no picture under the panel for $1" >&2; return 1; }
}

# One run of ours on screen: "screen_ms 0 rss_kib poll_interval_ms" (the
# columns of run_once: no CPU time here).
ours_on_screen() {
  local start end polls=0 limit pid rss
  ours_typed "$1"
  now_us
  start=$now limit=$((now + 60000000))
  control "send-keys -t bench Enter"
  while :; do
    control "capture-pane -p -t bench -S 38 -E 38"
    now_us
    end=$now
    ((++polls))
    if [[ $reply == "$last_row" ]]; then
      control "capture-pane -p -e -t bench -S 38 -E 38"
      [[ $reply == "$last_row_colours" ]] && break
    fi
    ((now < limit)) || { echo "peers.sh: $1 not on screen after 60 s" >&2; return 1; }
    nap "$poll_sleep"
  done
  control "capture-pane -p -t bench -S 0 -E 0"
  has_panel || { echo "peers.sh: no status panel over $1 ($reply)" >&2; return 1; }
  control "display-message -p -t bench '#{pane_pid}'"
  pid=$reply
  rss=$(awk '$1 == "VmHWM:" { print $2 }' "/proc/$pid/status")
  awk -v s="$start" -v e="$end" -v p="$polls" -v r="$rss" \
    'BEGIN { printf "%.1f 0 %d %.2f\n", (e - s) / 1000, r, (e - s) / 1000 / p }'
}

# One run of a peer (COMMAND... FILE) on screen: "screen_ms 0 0 poll_interval_ms".
peer_on_screen() {
  local start end polls=0 limit mark command
  mark="vistamere-bench-$((++marks))"
  printf -v command '%q ' "$@"
  typed="${command% }; printf '\\e]2;%s\\e\\\\' $mark-\$?"
  tmx respawn-pane -k -t bench -c "$PWD" 'exec bash --norc --noprofile'
  wait_until "display-message -p -t bench '#{cursor_x}'" has_cursor_moved 10
  tmx send-keys -t bench -l "$typed"
  wait_until "capture-pane -p -J -t bench -S 0 -E 3" has_typed 10
  nap 0.1
  now_us
  start=$now limit=$((now + 60000000))
  control "send-keys -t bench Enter"
  while :; do
    control "display-message -p -t bench '#{pane_title}'"
    now_us
    end=$now
    ((++polls))
    [[ $reply == "$mark-"* ]] && break
    ((now < limit)) || { echo "peers.sh: $1 not done on screen after 60 s" >&2; return 1; }
    nap "$poll_sleep"
  done
  [[ $reply == "$mark-0" ]] || { echo "peers.sh: $* failed on screen" >&2; return 1; }
  awk -v s="$start" -v e="$end" -v p="$polls" \
    'BEGIN { printf "%.1f 0 0 %.2f\n", (e - s) / 1000, (e - s) / 1000 / p }'
}
marks=0

# --- the runs ------------------------------------------------------------

goals=()
goal() { # NAME RATIO_LIMIT
  local null screen
  null="to /dev/null $(verdict "$ratio" "$2") ($ratio from Enter, whole process $whole)"
  screen="on screen $(verdict "$screen_ratio" "$2") ($screen_ratio: ours $ours_screen ms,"
  goals+=("$1 <= $2: $null; $screen $faster_screen_tool $faster_screen ms)")
}
rss_goal() { # NAME
  local null screen
  null="to /dev/null $(verdict "$ours_rss" 65536) ($(mib "$ours_rss") MiB)"
  screen="on screen $(verdict "$ours_screen_rss" 65536) ($(mib "$ours_screen_rss") MiB, the whole program)"
  goals+=("$1 peak RSS <= 64 MiB: $null; $screen")
}
verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "met" : "NOT MET" }'; }
mib() { awk -v r="$1" 'BEGIN { printf "%.1f", r / 1024 }'; }

: >"$tmp/polls"
printf '\n%-24s %-10s %9s %8s %8s %9s %8s | %9s %9s %8s\n' "" "" "to /dev/null:" "" "" "" "" \
  "on screen:" "" ""
printf '%-24s %-10s %9s %8s %8s %9s %8s | %9s %9s %8s\n' picture tool "wall ms" "CPU ms" "RSS MiB" \
  "vs faster" "enter ms" "ms" "vs faster" "RSS MiB"
for file in "${files[@]}"; do
  name=$(basename "$file")
  ours_reference "$file"
  for tool in ours chafa timg; do : >"$tmp/$tool" && : >"$tmp/$tool.screen"; done
  # Turn about, so that a machine slowing down or speeding up treats all alike.
  for ((i = 0; i < runs; ++i)); do
    run_once "$render" --time "$file" >>"$tmp/ours"
    run_once "${chafa_cmd[@]}" "$file" >>"$tmp/chafa"
    run_once "${timg_cmd[@]}" "$file" >>"$tmp/timg"
    ours_on_screen "$file" >>"$tmp/ours.screen"
    peer_on_screen "${chafa_cmd[@]}" "$file" >>"$tmp/chafa.screen"
    peer_on_screen "${timg_cmd[@]}" "$file" >>"$tmp/timg.screen"
  done
  cut -d' ' -f4 "$tmp/ours.screen" "$tmp/chafa.screen" "$tmp/timg.screen" >>"$tmp/polls"
  read -r ours_wall ours_cpu ours_rss ours_enter < <(summarize "$tmp/ours")
  read -r chafa_wall chafa_cpu chafa_rss _ < <(summarize "$tmp/chafa")
  read -r timg_wall timg_cpu timg_rss _ < <(summarize "$tmp/timg")
  read -r ours_screen _ ours_screen_rss _ < <(summarize "$tmp/ours.screen")
  read -r chafa_screen _ < <(summarize "$tmp/chafa.screen")
  read -r timg_screen _ < <(summarize "$tmp/timg.screen")
  faster=$(awk -v a="$chafa_wall" -v b="$timg_wall" 'BEGIN { print (a < b) ? a : b }')
  read -r faster_screen faster_screen_tool < <(awk -v a="$chafa_screen" -v b="$timg_screen" \
    'BEGIN { print (a < b) ? a " chafa" : b " timg" }')
  for row in "vistamere $ours_wall $ours_cpu $ours_rss $ours_enter $ours_screen $ours_screen_rss" \
    "chafa $chafa_wall $chafa_cpu $chafa_rss - $chafa_screen -" \
    "timg $timg_wall $timg_cpu $timg_rss - $timg_screen -"; do
    read -r tool wall cpu rss enter screen screen_rss <<<"$row"
    awk -v n="$name" -v t="$tool" -v w="$wall" -v c="$cpu" -v r="$rss" -v f="$faster" -v e="$enter" \
      -v s="$screen" -v fs="$faster_screen" -v sr="$screen_rss" \
      'BEGIN { printf "%-24s %-10s %9.1f %8.0f %8.1f %8.2fx %8s | %9.1f %8.2fx %8s\n", n, t, w, c,
        r / 1024, w / f, e, s, s / fs, (sr == "-") ? "-" : sprintf("%.1f", sr / 1024) }'
  done
  # To /dev/null the ratio takes ours from Enter (the program is running and
  # ready when the name is typed) against the peers' whole runs; on screen
  # all three are timed from Enter.
  whole=$(awk -v w="$ours_wall" -v f="$faster" 'BEGIN { printf "%.2f", w / f }')
  ratio=$(awk -v w="$ours_enter" -v f="$faster" 'BEGIN { printf "%.2f", w / f }')
  screen_ratio=$(awk -v w="$ours_screen" -v f="$faster_screen" 'BEGIN { printf "%.2f", w / f }')
  echo "  ours / faster peer: to /dev/null $ratio from Enter (whole process $whole); on screen $screen_ratio"
  case $name in
    picture-6000x4000.jpg) goal "6000x4000 baseline JPEG" 0.34 ;;
    picture-12000x8000.png)
      goal "12000x8000 PNG" 0.50
      rss_goal "12000x8000 PNG"
      ;;
    photo-6000x4000.png) goal "6000x4000 photo PNG" 0.50 ;;
    picture-6000x4000.pjpg)
      goal "6000x4000 progressive JPEG" 0.30
      rss_goal "6000x4000 progressive JPEG"
      ;;
  esac
done

echo
echo "median of $runs runs, all six taken in turn; CPU is user + system of every thread; RSS is the"
echo "largest of the runs (on screen: the program's VmHWM); enter ms: ours from the moment the name"
echo "is given to the first frame's bytes; on screen: from Enter in a 102x40 tmux pane until tmux has"
echo "parsed the frame (ours) or the peer's whole output; a poll every $(median <"$tmp/polls") ms (median)"
echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%F)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg), tmux $(tmux -V | cut -d' ' -f2)," \
  "$(chafa --version | head -1 | sed 's/^Chafa version /chafa /;s/^chafa version /chafa /'), $(timg --version 2>&1 | head -1 | cut -d' ' -f1-2)"
echo "goals (ours / faster peer):"
for goal in "${goals[@]}"; do echo "  $goal"; done
