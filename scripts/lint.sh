#!/usr/bin/env bash
# Checks formatting (clang-format) and runs clang-tidy over the program's
# sources with the compile commands of a build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/lint}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C "$build" >/dev/null
files=$(git ls-files '*.cpp' '*.h')
echo "== clang-format =="
clang-format --dry-run --Werror $files
echo "== clang-tidy =="
sources=$(git ls-files 'app/*.cpp' 'driver/*.cpp' 'scene/*.cpp' 'overlay/*.cpp' 'console/*.cpp' \
  'toollibs/*.cpp' 'term/*.cpp' 'picture/*.cpp')
clang-tidy -p "$build" --quiet $sources
