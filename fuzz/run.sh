#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan, UBSan, libstdc++ assertions)
# in build/fuzz and runs each for SECONDS (default 30), two at a time on
# machines with two cores or more. Seeds come from fuzz/corpus/<target>;
# what a run learns stays in build/fuzz/corpus/<target>. Prints a summary
# and fails if any target crashed, leaked, ran out of memory or hung; the
# input that did it is left in build/fuzz/artifacts/<target>/ - save it
# under tests/hostile/regressions/ (pictures) so the tests replay it.
#
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(bmp jpeg jpeg_dc png png_image_data gif webp tiff load_pipeline key_decoder text_console presenter)
fi
picture_seeds=(fuzz/corpus/bmp fuzz/corpus/jpeg fuzz/corpus/png fuzz/corpus/gif
               fuzz/corpus/webp fuzz/corpus/tiff)

build=build/fuzz
flags="-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
flags+=" -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DVISTAMERE_FUZZ=ON -DVISTAMERE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" >/dev/null || exit 1
ninja -C "$build" "${targets[@]/#/fuzz_}" || exit 1

# Runs one target; its log goes to build/fuzz/logs/<target>.log.
run_target() {
  local target=$1
  local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  local seeds=("fuzz/corpus/$target")
  [ "$target" = load_pipeline ] && seeds=("${picture_seeds[@]}")
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/fuzz_$target" "$corpus" "${seeds[@]}" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 \
    >"$build/logs/$target.log" 2>&1
}

jobs=$(( $(nproc) >= 2 ? 2 : 1 ))
declare -A status
running=()
for target in "${targets[@]}"; do
  run_target "$target" &
  running+=("$!:$target")
  if [ ${#running[@]} -ge "$jobs" ]; then
    entry=${running[0]}
    wait "${entry%%:*}"
    status[${entry#*:}]=$?
    running=("${running[@]:1}")
  fi
done
for entry in "${running[@]}"; do
  wait "${entry%%:*}"
  status[${entry#*:}]=$?
done

failed=0
echo "== fuzzing: ${seconds} s per target =="
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  if [ "${status[$target]}" -eq 0 ]; then
    printf '  %-14s ok      %s runs\n' "$target" "${runs:-?}"
  else
    failed=1
    finding=$(ls -t "$build/artifacts/$target" 2>/dev/null | head -1)
    printf '  %-14s FAILED  %s (log: %s)\n' "$target" \
      "${finding:+$build/artifacts/$target/$finding}" "$log"
    grep -m 3 -E 'ERROR:|runtime error|contract broken|: [a-z].*$' "$log" | sed 's/^/      /' |
      head -3
  fi
done
exit $failed
