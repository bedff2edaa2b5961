#!/usr/bin/env bash
# The Windows build checked as a Windows user gets it: the executable's
# format, export and import tables, its icon, the unit tests built for
# Windows (run_unit_tests.sh), then vistamere.exe itself
# under wine in a tmux pane of 102x40 (prompt, built-in ballpark, labels,
# viewpoint keys, quit prompt, restart, exit code), pictures of each format
# the system's codecs decode, exact key records typed into its console by
# inject_keys.exe, and a long load stopped by Esc and by Ctrl+C. The 32-bit build runs under 32-bit wine, the 64-bit
# one under wine64; without a working wine for it the runs under wine are
# skipped, with the reason, and do not fail.
#
# Usage: tests/windows/run.sh BUILD_DIR   (holding vistamere.exe, win32/inject_keys.exe
#        and tests/*/*_tests.exe)
set -uo pipefail
build=$(cd "$1" && pwd)
exe=$build/vistamere.exe
inject=$build/win32/inject_keys.exe
export LC_ALL=C.UTF-8
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "Windows tests: $failures failed"
    exit 1
  fi
  echo "Windows tests: passed"
  exit 0
}

case "$(basename "$build")" in
  *x86_64*) arch=x86_64 format=pei-x86-64 magic='(PE32+)' wine_arch=win64 ;;
  *) arch=i686 format=pei-i386 magic='(PE32)' wine_arch=win32 ;;
esac
echo "-- the executable: $magic for $arch, WINMAIN and Gfx_OleStringParams by ordinal"
objdump=$arch-w64-mingw32-objdump
headers=$($objdump -p "$exe")
$objdump -f "$exe" | grep -q "file format $format\$" || fail "not a $format file"
grep -qF "$magic" <<<"$(grep '^Magic' <<<"$headers")" || fail "not $magic"
# The ordinal table lists each export's ordinal less the base (1).
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers")
grep -q '^Ordinal Base[[:space:]]*1$' <<<"$headers" || fail "ordinal base is not 1"
grep -q '\[   0\] Gfx_OleStringParams$' <<<"$exports" || fail "Gfx_OleStringParams is not ordinal 1"
grep -q '\[   1\] WINMAIN$' <<<"$exports" || fail "WINMAIN is not ordinal 2"
# ole32: COM, through which the pictures are decoded.
imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll ole32.dll " ] ||
  fail "imports other than KERNEL32, msvcrt and ole32: $imports"
# The icon ConsoleIcon(1) puts on the console window: group icon 1.
resources=$($arch-w64-mingw32-windres -i "$exe" -O rc 2>&1)
grep -A2 '/\* Type: group icon' <<<"$resources" | grep -q 'Name: 1\.' ||
  fail "no group icon 1 among the resources"

skip() {
  [ "$failures" -gt 0 ] && finish
  echo "Windows tests skipped: $* (the executable's checks passed)"
  exit 0
}
command -v wine >/dev/null || skip "wine is not installed"
command -v tmux >/dev/null || skip "tmux is not installed"
if [ "$arch" = i686 ]; then
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" ||
    skip "wine32:i386 is not installed (32-bit programs cannot run)"
fi

# A prefix of its own in the build folder, made once (about 10 s).
export WINEPREFIX=$build/wine-prefix WINEARCH=$wine_arch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "-- making the wine prefix"
  if ! { wineboot -i && wineserver -w; } >/dev/null 2>&1; then
    rm -rf "$WINEPREFIX"
    skip "wine does not start (wineboot -i failed)"
  fi
fi

echo "-- the unit tests built for Windows, under wine"
bash "$(dirname "$0")/run_unit_tests.sh" "$build" || fail "unit tests under wine"

socket=vistamere-wine-$$
tm() { tmux -L "$socket" "$@"; }
cleanup() {
  tm kill-server 2>/dev/null
  wineserver -k 2>/dev/null
}
trap cleanup EXIT

# The pane's row (1-based) from column `column` on, as long as `text`.
text_at() {
  local row=$1 column=$2 length=$3
  local line
  line=$(tm capture-pane -p -N -t main | sed -n "${row}p")
  line=$(printf '%-102s' "$line")  # blanks to the pane's width
  echo "${line:$((column - 1)):$length}"
}
# Waits up to 20 s for `text` at row, column; false when it never comes.
wait_at() {
  local row=$1 column=$2 text=$3
  for _ in $(seq 200); do
    [ "$(text_at "$row" "$column" "${#text}")" = "$text" ] && return 0
    sleep 0.1
  done
  return 1
}
wait_for() {
  for _ in $(seq 200); do
    tm capture-pane -p -N -t main | awk '{ printf "%-102s\n", $0 }' | grep -qF -- "$1" && return 0
    sleep 0.1
  done
  return 1
}
expect_at() {
  wait_at "$@" || fail "row $1 column $2: '$3' expected, the pane shows '$(text_at "$1" "$2" "${#3}")'"
}
# With a PICTURE, the program is started on it from the picture's folder,
# and nothing is waited for.
start_program() {
  # A tmux server of its own for each run.
  tm kill-server 2>/dev/null
  runs=$((${runs:-0} + 1))
  socket=vistamere-wine-$$-$runs
  tm -f /dev/null new-session -d -s main -x 102 -y 40 \
    "env -i PATH=/usr/bin:/bin HOME=/tmp TERM=tmux-256color LANG=C.UTF-8 WINEPREFIX=$WINEPREFIX \
     WINEARCH=$wine_arch WINEDEBUG=-all WINEDLLOVERRIDES='$WINEDLLOVERRIDES' bash --norc --noprofile"
  tm set-option -g status off
  tm set-option -g escape-time 0
  tm resize-window -t main -x 102 -y 40
  wait_for bash || skip "the shell in tmux did not start"
  # Without -isig Ctrl+C would stop wine rather than reach the program.
  local folder=. name=
  [ -n "${1:-}" ] && folder=$(dirname "$1") name=$(basename "$1")
  tm send-keys -t main -l "stty -isig; clear; cd '$folder'; wine '$exe' $name; echo \"EXIT=\$? END\""
  tm send-keys -t main Enter
  [ -n "${1:-}" ] && return
  wait_for "Enter file name: " || skip "vistamere.exe did not show its prompt under wine"
}
press() { tm send-keys -t main -l "$1"; }

# The nine labels where the terminal build shows them at the first viewpoint.
labels=("pitcher 28 46" "catcher 36 48" "1stbase 26 74" "2ndbase 24 62" "3rdbase 26 25"
        "shortst 24 39" "leftfld 21 22" "center 20 49" "right 21 80")
# Ten viewpoint keys and the panel line each changes: row, column, text.
viewpoint_keys=("x 1 60 ObsX:-81 " "X 1 60 ObsX:-80 " "y 2 60 ObsY:-1 " "Y 2 60 ObsY: 0 "
                "z 3 60 ObsZ: 49 " "Z 3 60 ObsZ: 50 " "1 4 60 TilZ:-9 " "2 4 60 TilZ:-10 "
                "3 5 60 TilY: 1 " "4 5 60 TilY: 0 ")

echo "-- vistamere.exe under wine: prompt, ballpark, labels, keys, quit prompt"
start_program
tm send-keys -t main Enter  # no name: the built-in ballpark
expect_at 1 1 "X -> Increment x    x -> Decrement x"
expect_at 1 60 "ObsX:-80 "
for label in "${labels[@]}"; do
  read -r text row column <<<"$label"
  expect_at "$row" "$column" "$text"
done
for entry in "${viewpoint_keys[@]}"; do
  key=${entry%% *}
  read -r row column rest <<<"${entry#* }"
  press "$key"
  expect_at "$row" "$column" "${entry#* * * }"
done
press "xq"
expect_at 1 1 "Enter N for new coordinates, any other quit"
press "n"
expect_at 1 1 "X -> Increment x    x -> Decrement x"
expect_at 1 60 "ObsX:-80 "
expect_at 28 46 "pitcher"
press "Qk"
wait_for "EXIT=0 END" || fail "the program did not end with exit code 0 after Q and a key"

# The background colour of the cell at row, column: its SGR code (40-47,
# 100-107), or "-" for the default.
background_at() {
  local row=$1 column=$2 line code at=0 background=- parameters
  line=$(tm capture-pane -p -e -t main -S $((row - 1)) -E $((row - 1)))
  while [ -n "$line" ]; do
    if [[ $line == $'\e['* ]]; then
      code=${line%%m*}
      line=${line#*m}
      IFS=';' read -ra parameters <<<"${code#??}"
      for code in "${parameters[@]:-0}"; do
        case $code in
          0 | 49) background=- ;;
          4[0-7] | 10[0-7]) background=$code ;;
        esac
      done
      continue
    fi
    at=$((at + 1))
    [ "$at" = "$column" ] && break
    line=${line:1}
  done
  echo "$background"
}
# The colours of the graphics area's four quadrants, clear of the labels:
# top left, top right, bottom left, bottom right.
quadrants() {
  echo "$(background_at 10 10) $(background_at 10 92) $(background_at 35 10) $(background_at 35 92)"
}

if command -v convert >/dev/null; then
  echo "-- pictures through the system's codecs: PNG, JPEG, GIF, TIFF, turned, damaged, WebP"
  pictures=$build/windows-pictures
  mkdir -p "$pictures"
  (
    cd "$pictures" || exit 1
    convert -size 400x200 xc:red -fill lime -draw "rectangle 200,0 399,99" \
      -fill blue -draw "rectangle 0,100 199,199" -fill yellow -draw "rectangle 200,100 399,199" \
      quadrants.png
    for format in jpg gif tif webp; do convert quadrants.png "quadrants.$format"; done
    # Turned 90 degrees clockwise when shown: in TIFF's own tag, and in an
    # EXIF block (orientation 6) put before the JPEG's other segments.
    convert quadrants.png -orient right-top turned.tif
    { head -c 2 quadrants.jpg
      printf '\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01'
      printf '\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00\x00\x00\x00\x00'
      tail -c +3 quadrants.jpg; } >turned.jpg
    head -c 300 quadrants.png >damaged.png
  ) || fail "the test pictures could not be made"
  # wine's console takes the VT mode but shows its sequences as text: the
  # program must find that out and draw in the console's 16 colours, which
  # these checks read back.
  # File, then the colours of the quadrants it shows (top left, top right,
  # bottom left, bottom right) as the last digit of their SGR codes (1 red,
  # 2 green, 3 yellow, 4 blue, dark or bright): turned 90 degrees, the blue
  # bottom left comes to the top left, and so on. Or the notice it shows.
  cases=("quadrants.png 1 2 4 3" "quadrants.jpg 1 2 4 3" "quadrants.gif 1 2 4 3"
         "quadrants.tif 1 2 4 3" "turned.tif 4 1 3 2" "turned.jpg 4 1 3 2"
         "damaged.png truncated PNG data" "quadrants.webp 1 2 4 3")
  # wine has no WebP codec; Windows has one where its extension is installed.
  webp_notice="cannot show 'quadrants.webp': no WebP decoder on this system"
  check_picture() {
    local file=$1 expected=$2 shown code colours
    if [[ $expected != [0-9]* ]]; then
      wait_for "$expected" || fail "$file: no notice of '$expected'"
      return
    fi
    for _ in $(seq 50); do
      shown=$(quadrants)
      colours=
      for code in $shown; do colours+="${code: -1} "; done
      [ "$colours" = "$expected " ] && break
      tm capture-pane -p -t main | grep -q "cannot show" && break
      sleep 0.1
    done
    if [ "$colours" != "$expected " ]; then
      [ "$file" = quadrants.webp ] && wait_for "$webp_notice" && return
      fail "$file: quadrants of colours $expected expected, the area shows $shown"
    fi
    if tm capture-pane -p -t main | grep -q "cannot show\|showing part"; then
      fail "$file: $(tm capture-pane -p -t main | grep -o "\(cannot show\|showing part\).*")"
    fi
  }
  for entry in "${cases[@]}"; do
    read -r file expected <<<"$entry"
    start_program "$pictures/$file"
    if ! wait_at 1 60 "ObsX:-80 "; then
      fail "$file: the panel did not appear"
      continue
    fi
    check_picture "$file" "$expected"
    press "Qk"
    wait_for "EXIT=0 END" || fail "$file: the program did not end with exit code 0"
  done
fi

if [ -f "$inject" ]; then
  echo "-- key records as the console gives them (inject_keys.exe)"
  start_program
  tm send-keys -t main Enter
  expect_at 1 60 "ObsX:-80 "
  inject_key() { wine "$inject" vistamere.exe "$@" </dev/null || fail "inject_keys $*"; }
  # Caps Lock: the letter comes as the console typed it (X raises x).
  inject_key 2d:58:80
  expect_at 1 60 "ObsX:-79 "
  # Alt+x is no x; F12 (scan code 0x58, 'X') is a two-byte key, no X;
  # then a plain x lowers x once.
  inject_key 2d:78:2 58:0:100 2d:78:0
  expect_at 1 60 "ObsX:-80 "
  # The quit prompt ends on any key: a Shift press alone is none, and
  # Caps Lock n (typed 'N') starts again.
  inject_key 10:51:0
  expect_at 1 1 "Enter N for new coordinates, any other quit"
  inject_key 2a:0:10 3a:0:80
  sleep 1
  expect_at 1 1 "Enter N for new coordinates, any other quit"
  inject_key 31:4e:80
  expect_at 1 1 "X -> Increment x    x -> Decrement x"
  # Page Down (an enhanced key, scan code 0x51 'Q') is a key of two bytes:
  # no quit prompt; at the quit prompt it is "any other" key and ends it.
  inject_key 51:0:100 2d:78:0
  expect_at 1 60 "ObsX:-81 "
  [ "$(text_at 1 1 15)" = "Enter N for new" ] && fail "Page Down opened the quit prompt"
  inject_key 10:51:0 51:0:100
  wait_for "EXIT=0 END" || fail "an enhanced key at the quit prompt did not end the program"
fi

echo "-- a long load shows its progress and stops on Esc, or on Ctrl+C (inject_keys.exe)"
# A BMP of 32000 x 32000 black pixels, sparse on disk: a few seconds to load.
little_endian() {
  local value=$1 bytes=$2 i
  for ((i = 0; i < bytes; i++)); do printf "\\x$(printf %02x $(((value >> (8 * i)) & 255)))"; done
}
big=$build/windows-pictures/big.bmp
mkdir -p "$(dirname "$big")"
side=32000 pixel_bytes=$((32000 * 32000 * 3))
{
  printf BM
  for field in "$((54 + pixel_bytes)) 4" "0 4" "54 4" "40 4" "$side 4" "$side 4" "1 2" "24 2" "0 4" \
    "$pixel_bytes 4" "2835 4" "2835 4" "0 4" "0 4"; do
    little_endian $field
  done
} >"$big"
truncate -s $((54 + pixel_bytes)) "$big"
stop_keys=("Escape")
[ -f "$inject" ] && stop_keys+=("ctrl-c")
for key in "${stop_keys[@]}"; do
  start_program "$big"
  if ! wait_for "Loading big.bmp"; then
    fail "$key: no progress line while big.bmp loads"
    continue
  fi
  # wine turns no typed Ctrl+C into a key: its record is put in the console.
  if [ "$key" = ctrl-c ]; then
    inject_key 2e:3:8
  else
    tm send-keys -t main "$key"
  fi
  wait_for "loading 'big.bmp' cancelled" || fail "$key did not stop the load"
  expect_at 1 60 "ObsX:-80 "
  press "Qk"
  wait_for "EXIT=0 END" || fail "$key: the program did not end with exit code 0"
done
rm -f "$big"
finish
