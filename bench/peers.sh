#!/usr/bin/env bash
# peers.sh [RUNS]
# Load to first frame, side by side with two other terminal picture viewers:
#   vistamere-render FILE                      (our decode, reduce, cells, full repaint)
#   chafa -f symbols ... --size 102x34 --stretch FILE
#   timg -g102x34 -ph FILE
# Each runs RUNS times (default 5) per picture, output to /dev/null; prints
# the median wall time, the median CPU time (user + system, all threads)
# and the peak RSS, our ratio against the faster peer, and the goals.
# Builds Release in its own build dir ($VISTAMERE_BENCH_BUILD, default
# build/bench-release) and keeps the generated pictures there.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
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

# One run: "wall_ms cpu_ms rss_kib".
run_once() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%e %U %S %M' -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" ||
    { echo "failed: $* ($(head -c 200 "$tmp/err"))" >&2; return 1; }
  end=$(date +%s%N)
  read -r _ user sys rss <"$tmp/time"
  awk -v w=$(((end - start) / 1000)) -v u="$user" -v s="$sys" -v r="$rss" \
    'BEGIN { printf "%.1f %.0f %d\n", w / 1000, (u + s) * 1000, r }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs a command RUNS times; prints "median_wall_ms median_cpu_ms max_rss_kib".
measure() {
  : >"$tmp/runs"
  for ((i = 0; i < runs; ++i)); do run_once "$@" >>"$tmp/runs"; done
  printf '%s %s %s\n' "$(cut -d' ' -f1 "$tmp/runs" | median)" \
    "$(cut -d' ' -f2 "$tmp/runs" | median)" "$(cut -d' ' -f3 "$tmp/runs" | sort -n | tail -1)"
}

goals=()
printf '\n%-26s %-10s %10s %10s %9s %12s\n' picture tool "wall ms" "CPU ms" "RSS MiB" "vs faster"
for file in "${files[@]}"; do
  name=$(basename "$file")
  read -r ours_wall ours_cpu ours_rss < <(measure "$render" "$file")
  read -r chafa_wall chafa_cpu chafa_rss < <(measure chafa -f symbols -c full --symbols block+space \
    --size 102x34 --stretch --animate off "$file")
  read -r timg_wall timg_cpu timg_rss < <(measure timg -g102x34 -ph --frames=1 "$file")
  faster=$(awk -v a="$chafa_wall" -v b="$timg_wall" 'BEGIN { print (a < b) ? a : b }')
  for row in "vistamere $ours_wall $ours_cpu $ours_rss" "chafa $chafa_wall $chafa_cpu $chafa_rss" \
    "timg $timg_wall $timg_cpu $timg_rss"; do
    read -r tool wall cpu rss <<<"$row"
    awk -v n="$name" -v t="$tool" -v w="$wall" -v c="$cpu" -v r="$rss" -v f="$faster" \
      'BEGIN { printf "%-26s %-10s %10.1f %10.0f %9.1f %11.2fx\n", n, t, w, c, r / 1024, w / f }'
  done
  ratio=$(awk -v w="$ours_wall" -v f="$faster" 'BEGIN { printf "%.2f", w / f }')
  case $name in
    picture-6000x4000.jpg)
      met=$(awk -v r="$ratio" 'BEGIN { print (r <= 1/3) ? "met" : "NOT MET" }')
      goals+=("6000x4000 JPEG time <= 1/3 of the faster peer: $met (ours ${ours_wall} ms, ratio $ratio)")
      ;;
    picture-12000x8000.png)
      met=$(awk -v r="$ratio" 'BEGIN { print (r <= 0.5) ? "met" : "NOT MET" }')
      goals+=("12000x8000 PNG time <= 1/2 of the faster peer: $met (ours ${ours_wall} ms, ratio $ratio)")
      met=$(awk -v r="$ours_rss" 'BEGIN { print (r <= 65536) ? "met" : "NOT MET" }')
      goals+=("12000x8000 PNG peak RSS <= 64 MiB: $met (ours $(awk -v r="$ours_rss" 'BEGIN { printf "%.1f", r / 1024 }') MiB)")
      ;;
  esac
done

echo
echo "median of $runs runs; CPU is user + system of every thread; RSS is the largest of the runs"
echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%F)"
echo "goals:"
for goal in "${goals[@]}"; do echo "  $goal"; done
