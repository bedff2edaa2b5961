#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need,
# when any is missing. Needs root (or sudo) the first time only.
set -euo pipefail

packages=(
  g++ clang cmake ninja-build pkg-config make
  libchafa-dev libglib2.0-dev libjpeg62-turbo-dev libpng-dev libwebp-dev libgif-dev libtiff-dev
  libisal-dev googletest libgtest-dev libbenchmark-dev libvterm-dev libclang-rt-14-dev
  tmux imagemagick xterm xvfb x11-apps xdotool kitty fonts-dejavu-core procps
  dpkg-dev groff-base
)
if [ "${1:-}" = "--windows-i686" ]; then
  # Cross-building for Windows (the -posix compilers have std::thread).
  packages=(cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686)
fi
if [ "${1:-}" = "--windows-x86_64" ]; then
  packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
fi
if [ "${1:-}" = "--wine64" ]; then
  # 64-bit wine only: for when the 32-bit one cannot be installed.
  packages=(wine wine64 tmux)
fi
if [ "${1:-}" = "--wine" ]; then
  # Running the Windows build's tests: 32-bit wine, which needs the i386
  # architecture beside the machine's own.
  packages=(wine wine32:i386 tmux)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then sudo dpkg --add-architecture i386; else dpkg --add-architecture i386; fi
    # Should the install fail, the architecture goes again: a package index
    # of it that cannot be read would make every later update fail too.
    added_i386=yes
  fi
fi
if [ "${1:-}" = "--runtime" ]; then
  # Enough to build and start the program.
  packages=(g++ cmake ninja-build pkg-config libchafa-dev libglib2.0-dev libjpeg62-turbo-dev
            libpng-dev libwebp-dev libgif-dev libtiff-dev libisal-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
# sudo would drop DEBIAN_FRONTEND from the environment: it goes on the command.
apt_get=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
say() { echo "vistamere: $*" >&2; }
# apt's own output shows only when it fails; sudo asks for a password on the terminal.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run_quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    say "'$*' failed (its output above)"
    if [ "${added_i386:-}" = yes ] && "${sudo[@]}" dpkg --remove-architecture i386 2>/dev/null; then
      say "the i386 architecture is taken away again"
    fi
    exit 1
  fi
}
say "installing ${#missing[@]} Debian packages with apt-get${sudo[*]:+ through sudo}:" \
  "${missing[*]}"
say "updating the package lists"
run_quietly "${apt_get[@]}" update -qq
say "downloading and installing (a few minutes the first time)"
run_quietly "${apt_get[@]}" install -y -qq --no-install-recommends "${missing[@]}"
say "packages installed"
