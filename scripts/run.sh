#!/usr/bin/env bash
# Builds Vistamere (release) and starts it in this terminal. Says what it is
# doing while it installs or builds; once built, starts the program at once.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release

say() { printf 'vistamere: %s\n' "$*" >&2; }

bash scripts/install-deps.sh --runtime

# Configure output is of no use unless it fails.
if [ ! -f "$build/build.ninja" ]; then
  say "configuring the build in $build"
  log=$(mktemp)
  if ! cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTAMERE_TESTS=OFF \
      >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
fi

# Ninja's output, less what a build with nothing to do prints: its progress
# on one line rewritten in place on a terminal (each step on a line of its
# own elsewhere), and anything else (a compiler's message) as it comes.
show_build() {
  local line announced=0 open=0 width=80
  if [ -t 2 ]; then width=$(tput cols 2>/dev/null || echo 80); fi
  while IFS= read -r line; do
    case $line in
      "ninja: no work to do." | "["*"] Re-checking globbed directories...") ;;
      "["*"/"*"] "*)
        if [ "$announced" -eq 0 ]; then
          say "building the program (a first build takes a minute or two)"
          announced=1
        fi
        if [ -t 2 ]; then
          printf '\r\033[K%s' "${line:0:width-1}" >&2
          open=1
        else
          printf '%s\n' "$line" >&2
        fi
        ;;
      *)
        if [ "$open" -eq 1 ]; then printf '\n' >&2; fi
        open=0
        printf '%s\n' "$line" >&2
        ;;
    esac
  done
  if [ "$open" -eq 1 ]; then printf '\n' >&2; fi
}
(cd "$build" && ninja vistamere 2>&1) | show_build
exec "$build/app/vistamere" "$@"
