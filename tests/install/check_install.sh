#!/usr/bin/env bash
# Installs a build into a scratch prefix and packs it as a Debian package.
# The program and its manual page land in bin/ and share/man/man1/; the page
# formats without a warning and tells of every option that --help names; the
# package holds the same files and depends on the package of each shared
# library the program loads, and on no development package.
#
# Usage: check_install.sh BUILD_DIR [CMAKE [CPACK]]
set -euo pipefail
build=$1
cmake=${2:-cmake}
cpack=${3:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
program=$work/prefix/bin/vistamere
manual=$work/prefix/share/man/man1/vistamere.1
[ -x "$program" ] || { echo "FAIL: no program in bin/" >&2; exit 1; }
[ -f "$manual" ] || { echo "FAIL: no manual page in share/man/man1/" >&2; exit 1; }

# The manual page.
warnings=$(groff -man -ww -z -Tutf8 "$manual" 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
page=$(groff -man -rHY=0 -Tascii -P-cbou "$manual" 2>/dev/null)
for option in $("$program" --help | grep -oE -- '--[a-z]+' | sort -u); do
  grep -qF -- "$option" <<<"$page" || fail "the manual page does not tell of $option"
done
version=$("$program" --version)
grep -qF -- "$version" <<<"$page" || fail "the manual page is not for $version"

# The Debian package.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" \
    >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack could not make the package" >&2
  exit 1
fi
debs=("$work"/package/vistamere_*.deb)
deb=${debs[0]}
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/vistamere ./usr/share/man/man1/vistamere.1; do
  grep -qE -- " $file\$" <<<"$contents" || fail "the package has no $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',|' '\n' <<<"$depends" | sed -E 's/^ *([^ (]+).*/\1/')
if grep -E -- '-dev$' <<<"$names"; then fail "the package depends on development packages"; fi
# Each library as the dynamic loader finds it, and the package that ships it.
libraries=$(ldd "$program")
for soname in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
  path=$(awk -v name="$soname" '$1 == name && $2 == "=>" { print $3 } \
      $1 ~ "/" name "$" { print $1 }' <<<"$libraries" | head -n 1)
  real=$(readlink -f "$path")
  # dpkg knows the files of merged /usr by the paths the packages ship.
  owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null || true)
  owner=${owner%%:*}
  if [ -z "$owner" ]; then
    fail "no package ships $soname ($real)"
  elif ! grep -qxF -- "$owner" <<<"$names"; then
    fail "the package needs $soname from $owner, but depends on: $depends"
  fi
done

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "installed and packed: $depends"
