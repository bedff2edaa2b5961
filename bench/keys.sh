#!/usr/bin/env bash
# keys.sh [KEYS] [IDLE_SECONDS]
# Drives the real program through a 102 x 40 pseudo-terminal with
# vistamere-keys: time to the file prompt, bytes per viewpoint key, CPU per
# turn, a key that changes nothing, idle CPU. Once in 24-bit colour
# (COLORTERM=truecolor), once in 256 colours. Builds Release in its own
# build dir ($VISTAMERE_BENCH_BUILD, default build/bench-release).
set -euo pipefail
cd "$(dirname "$0")/.."
keys=${1:-200}
idle=${2:-10}
build=${VISTAMERE_BENCH_BUILD:-build/bench-release}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_BENCH=ON \
  -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" vistamere vistamere-keys >/dev/null

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%F)"
status=0
"$build/bench/keys/vistamere-keys" "$build/app/vistamere" --keys "$keys" --idle-seconds "$idle" \
  --colours truecolor || status=1
echo
"$build/bench/keys/vistamere-keys" "$build/app/vistamere" --keys "$keys" --idle-seconds "$idle" \
  --colours 256 || status=1
exit $status
