#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# when any is missing. Needs root (or sudo) the first time only.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build pkg-config make
  libchafa-dev libglib2.0-dev libjpeg62-turbo-dev libpng-dev libwebp-dev libgif-dev libtiff-dev
  googletest libgtest-dev libbenchmark-dev libvterm-dev libclang-rt-14-dev
  tmux imagemagick xterm xvfb x11-apps xdotool fonts-dejavu-core procps
)
if [ "${1:-}" = "--runtime" ]; then
  # Enough to build and start the program.
  packages=(g++ cmake ninja-build pkg-config libchafa-dev libglib2.0-dev libjpeg62-turbo-dev
            libpng-dev libwebp-dev libgif-dev libtiff-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
