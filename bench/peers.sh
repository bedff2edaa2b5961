#!/usr/bin/env bash
# peers.sh [RUNS] [PATTERN]
# Load to first frame, side by side with two other terminal picture viewers:
#   vistamere-render --time FILE               (our decode, reduce, cells, full repaint)
#   chafa -f symbols ... --size 102x34 --stretch FILE
#   timg -g102x34 -ph FILE
# Each runs RUNS times (default 5) per picture, output to /dev/null; prints
# the median wall time, the median CPU time (user + system, all threads)
# and the peak RSS, our ratio against the faster peer, and the goals. Ours is
# timed from Enter (as the program has it: started, renderer ready) to the
# first frame's bytes; its whole process is shown too. PATTERN (a shell
# glob such as '*.jpg') keeps only the pictures whose names match.
# Builds Release in its own build dir ($VISTAMERE_BENCH_BUILD, default
# build/bench-release) and keeps the generated pictures there.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
only=${2:-*}
build=${VISTAMERE_BENCH_BUILD:-build/bench-release}
pictures="$build/bench-pictures"

for tool in chafa timg convert /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "peers.sh: $tool is needed" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_BENCH=ON \
  -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" vistamere-render >/dev/null
render="$build/tools/vistamere-render"

echo "making the pictures (once; kept in $pictures) ..."
declare -a files=()
for picture_args in "jpg 6000 4000" "png 6000 4000" "png 12000 8000" "bmp 1024 512" \
  "webp 2000 1000" "gif 2000 1000" "tif 2000 1000"; do
  # shellcheck disable=SC2086
  files+=("$(bash bench/make_picture.sh "$pictures" $picture_args)")
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

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

goals=()
printf '\n%-24s %-10s %9s %9s %8s %8s %8s\n' picture tool "wall ms" "CPU ms" "RSS MiB" "vs faster" "enter ms"
for file in "${files[@]}"; do
  name=$(basename "$file")
  # shellcheck disable=SC2053
  [[ $name == $only ]] || continue
  : >"$tmp/ours" && : >"$tmp/chafa" && : >"$tmp/timg"
  # Turn about, so that a machine slowing down or speeding up treats all alike.
  for ((i = 0; i < runs; ++i)); do
    run_once "$render" --time "$file" >>"$tmp/ours"
    run_once chafa -f symbols -c full --symbols block+space --size 102x34 --stretch --animate off \
      "$file" >>"$tmp/chafa"
    run_once timg -g102x34 -ph --frames=1 "$file" >>"$tmp/timg"
  done
  read -r ours_wall ours_cpu ours_rss ours_enter < <(summarize "$tmp/ours")
  read -r chafa_wall chafa_cpu chafa_rss _ < <(summarize "$tmp/chafa")
  read -r timg_wall timg_cpu timg_rss _ < <(summarize "$tmp/timg")
  faster=$(awk -v a="$chafa_wall" -v b="$timg_wall" 'BEGIN { print (a < b) ? a : b }')
  for row in "vistamere $ours_wall $ours_cpu $ours_rss $ours_enter" "chafa $chafa_wall $chafa_cpu $chafa_rss -" \
    "timg $timg_wall $timg_cpu $timg_rss -"; do
    read -r tool wall cpu rss enter <<<"$row"
    awk -v n="$name" -v t="$tool" -v w="$wall" -v c="$cpu" -v r="$rss" -v f="$faster" -v e="$enter" \
      'BEGIN { printf "%-24s %-10s %9.1f %9.0f %8.1f %7.2fx %8s\n", n, t, w, c, r / 1024, w / f, e }'
  done
  # The goals compare ours from Enter to the first frame (the program is
  # running and ready when the name is typed) with the peers' whole runs.
  whole=$(awk -v w="$ours_wall" -v f="$faster" 'BEGIN { printf "%.2f", w / f }')
  ratio=$(awk -v w="$ours_enter" -v f="$faster" 'BEGIN { printf "%.2f", w / f }')
  echo "  ours from Enter / faster peer: $ratio (whole process: $whole)"
  case $name in
    picture-6000x4000.jpg)
      met=$(awk -v r="$ratio" 'BEGIN { print (r <= 1/3) ? "met" : "NOT MET" }')
      goals+=("6000x4000 JPEG time <= 1/3 of the faster peer: $met (ours ${ours_enter} ms from Enter, ratio $ratio; whole process $whole)")
      ;;
    picture-12000x8000.png)
      met=$(awk -v r="$ratio" 'BEGIN { print (r <= 0.5) ? "met" : "NOT MET" }')
      goals+=("12000x8000 PNG time <= 1/2 of the faster peer: $met (ours ${ours_enter} ms from Enter, ratio $ratio; whole process $whole)")
      met=$(awk -v r="$ours_rss" 'BEGIN { print (r <= 65536) ? "met" : "NOT MET" }')
      goals+=("12000x8000 PNG peak RSS <= 64 MiB: $met (ours $(awk -v r="$ours_rss" 'BEGIN { printf "%.1f", r / 1024 }') MiB)")
      ;;
  esac
done

echo
echo "median of $runs runs, taken in turn; CPU is user + system of every thread; RSS is the largest"
echo "of the runs; enter ms: ours from the moment the name is given to the first frame's bytes"
echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%F)"
echo "goals:"
for goal in "${goals[@]}"; do echo "  $goal"; done
