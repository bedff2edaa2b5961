#!/usr/bin/env bash
# Builds the 32-bit Windows console program, build/windows-i686/vistamere.exe,
# with mingw-w64 (installed first when missing): one file, statically
# linked, importing only KERNEL32 and msvcrt.
#
# Usage: scripts/build-windows.sh [TARGET...]   (default: vistamere)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --windows

build=build/windows-i686
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i686-w64-mingw32.cmake" >/dev/null
ninja -C "$build" "${@:-vistamere}"
echo "built $build/vistamere.exe"
