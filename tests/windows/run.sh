#!/usr/bin/env bash
# The Windows build checked as a Windows user gets it: the executable's
# format and export table, then vistamere.exe itself under wine in a tmux
# pane of 102x40 (prompt, built-in ballpark, labels, viewpoint keys, quit
# prompt, restart, exit code), and exact key records typed into its console
# by inject_keys.exe. The 32-bit build runs under 32-bit wine, the 64-bit
# one under wine64; without a working wine for it the runs under wine are
# skipped, with the reason, and do not fail.
#
# Usage: tests/windows/run.sh BUILD_DIR   (holding vistamere.exe and win32/inject_keys.exe)
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
imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll msvcrt.dll " ] || fail "imports other than KERNEL32 and msvcrt: $imports"

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
  tm send-keys -t main -l "stty -isig; clear; wine '$exe'; echo \"EXIT=\$? END\""
  tm send-keys -t main Enter
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
finish
