#!/usr/bin/env bash
# turn_profile.sh [KEYS] [truecolor|256]
# What one viewpoint key costs the real program, counted rather than timed:
# the program runs in a pseudo-terminal (vistamere-turns) once with no key
# and once with KEYS keys (default 200), under callgrind and under strace;
# the difference of the two runs, divided by KEYS, is one turn:
# instructions (and the functions they go to) and system calls per key.
# Builds Release in its own build dir ($VISTAMERE_BENCH_BUILD, default
# build/bench-release); the callgrind files stay in BUILD/turn-profile.
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-200}
colours=${2:-truecolor}
build=${VISTAMERE_BENCH_BUILD:-build/bench-release}
out="$build/turn-profile"

for tool in valgrind callgrind_annotate strace; do
  command -v "$tool" >/dev/null || { echo "turn_profile.sh: $tool is needed" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_BENCH=ON \
  -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" vistamere vistamere-turns >/dev/null
mkdir -p "$out"
program="$(pwd)/$build/app/vistamere"
turns="$build/bench/keys/vistamere-turns"

for n in 0 "$keys"; do
  "$turns" --keys "$n" --colours "$colours" "$(command -v valgrind)" --tool=callgrind \
    --callgrind-out-file="$out/callgrind-$n.out" "$program" 2>/dev/null
  callgrind_annotate --threshold=100 "$out/callgrind-$n.out" >"$out/self-$n.txt"
  callgrind_annotate --inclusive=yes --threshold=100 "$out/callgrind-$n.out" >"$out/inclusive-$n.txt"
  "$turns" --keys "$n" --colours "$colours" "$(command -v strace)" -f -c \
    -o "$out/strace-$n.txt" "$program" 2>/dev/null
done

# Lines "  1,234 (12.3%)  file:function [object]" of both runs: the difference per key.
per_key() {
  awk -v keys="$keys" '
    FNR == 1 { run++ }
    match($0, /^ *[0-9,]+ \([ 0-9.]+%\) +/) {
      count = substr($0, 1, RLENGTH); sub(/ \(.*/, "", count); gsub(/[ ,]/, "", count)
      name = substr($0, RLENGTH + 1); sub(/ \[.*/, "", name)
      sum[name] += (run == 1 ? -count : count)
    }
    END { for (name in sum) if (sum[name] / keys >= 50) printf "%10.0f  %s\n", sum[name] / keys, name }
  ' "$1" "$2" | sort -rn | head -"$3"
}

echo "instructions per key (callgrind, $colours, $keys keys less none):"
per_key "$out/self-0.txt" "$out/self-$keys.txt" 1
echo "by function, self:"
per_key "$out/self-0.txt" "$out/self-$keys.txt" 25 | tail -n +2
echo "by function, inclusive:"
per_key "$out/inclusive-0.txt" "$out/inclusive-$keys.txt" 25 | grep -v -e '(below main)' -e ' main$' \
  -e libc_start -e '0x0' -e WINMAIN -e RunProgram -e start_thread -e clone
echo "system calls per key (strace -c):"
awk -v keys="$keys" '
  FNR == 1 { run++ }
  $1 ~ /^[0-9.]+$/ && NF >= 5 && $NF != "total" { calls[$NF] += (run == 1 ? -$4 : $4) }
  END { for (name in calls) if (calls[name] / keys >= 0.05) printf "%8.2f  %s\n", calls[name] / keys, name }
' "$out/strace-0.txt" "$out/strace-$keys.txt" | sort -rn
