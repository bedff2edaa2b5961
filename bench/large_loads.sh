#!/usr/bin/env bash
# large_loads.sh [RENDER]
# Loads the largest pictures the loader admits (2^30 pixels; see
# large_pictures.cpp) through vistamere-render, one at a time, and prints
# each load's wall time and peak RSS against the goals: on screen or
# refused within 8 s, in at most 64 MiB. RENDER is the vistamere-render to
# time (default: the one built here, to compare another build's). Builds
# Release in $VISTAMERE_BENCH_BUILD (default build/bench-release) and keeps
# the pictures in its large-pictures folder; making them takes a minute or
# two the first time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VISTAMERE_BENCH_BUILD:-build/bench-release}
pictures="$build/large-pictures"

command -v /usr/bin/time >/dev/null || { echo "large_loads.sh: /usr/bin/time is needed" >&2; exit 1; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_BENCH=ON \
  -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" vistamere-render vistamere-large-pictures >/dev/null
render=${1:-$build/tools/vistamere-render}

echo "making the pictures (once; kept in $pictures) ..."
listing=$("$build/bench/vistamere-large-pictures" "$pictures")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
goal_seconds=8
goal_kib=$((64 * 1024))
printf '%-34s %9s %9s %9s  %s\n' "picture" "size" "seconds" "peak MiB" "outcome"
while IFS=$'\t' read -r path what; do
  status=0
  /usr/bin/time -f '%e %M' -o "$tmp/time" "$render" "$path" </dev/null >/dev/null 2>"$tmp/err" || status=$?
  read -r seconds rss < <(tail -n 1 "$tmp/time")
  outcome=$(grep -v '^Command exited' "$tmp/err" | sed "s|'$path'|picture|" | head -c 120 || true)
  [ -n "$outcome" ] || outcome="shown"
  ((status == 0 || status == 1)) || outcome="exit status $status: $outcome"
  missed=()
  if awk -v s="$seconds" -v g="$goal_seconds" 'BEGIN { exit !(s > g) }'; then missed+=(time); fi
  if ((rss > goal_kib)); then missed+=(memory); fi
  verdict=met
  if ((${#missed[@]} > 0)); then verdict="NOT met (${missed[*]})"; fi
  printf '%-34s %8sK %9s %9.1f  %s; goals %s\n' "$(basename "$path")" \
    "$(($(stat -c %s "$path") / 1024))" "$seconds" "$(awk -v r="$rss" 'BEGIN { print r / 1024 }')" \
    "$outcome" "$verdict"
  echo "    ($what)"
done <<<"$listing"
