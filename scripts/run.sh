#!/usr/bin/env bash
# Builds Vistamere (release) and starts it in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --runtime
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_TESTS=OFF >/dev/null
ninja -C build/release vistamere >/dev/null
exec build/release/app/vistamere "$@"
