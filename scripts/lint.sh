#!/usr/bin/env bash
# Checks formatting (clang-format) and runs clang-tidy over the program's
# sources; any finding fails. clang-tidy reads the compile commands of a
# clang build folder (configured here when it has none; nothing is built).
#
# Usage: scripts/lint.sh [BUILD_DIR]   (default build/lint)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/lint}
if [ ! -f "$build/compile_commands.json" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_COMPILER=clang -DVISTAMERE_TESTS=OFF >/dev/null
fi
echo "== clang-format =="
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "== clang-tidy =="
log="$build/clang-tidy.log"
status=0
git ls-files -z 'app/*.cpp' 'driver/*.cpp' 'scene/*.cpp' 'overlay/*.cpp' 'console/*.cpp' \
    'toollibs/*.cpp' 'term/*.cpp' 'picture/*.cpp' |
  xargs -0 -n 4 -P "$(nproc)" clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
grep -v ' warnings\? generated\.$' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "lint: clang-tidy has findings (above)"
  exit 1
fi
echo "lint: clean"
