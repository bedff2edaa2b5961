#!/usr/bin/env bash
# Builds the Windows console program with mingw-w64 (installed first when
# missing): one file, statically linked, importing only KERNEL32, msvcrt and
# ole32.
# 32-bit by default, build/windows-i686/vistamere.exe; with --64 the 64-bit
# one, build/windows-x86_64/vistamere.exe.
#
# Usage: scripts/build-windows.sh [--64] [TARGET...]   (default: vistamere)
set -euo pipefail
cd "$(dirname "$0")/.."
arch=i686
if [ "${1:-}" = "--64" ]; then
  arch=x86_64
  shift
fi
bash scripts/install-deps.sh "--windows-$arch"

build=build/windows-$arch
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$arch-w64-mingw32.cmake" >/dev/null
ninja -C "$build" "${@:-vistamere}"
echo "built $build/vistamere.exe"
