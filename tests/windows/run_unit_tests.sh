#!/usr/bin/env bash
# Runs each unit test executable built for Windows (BUILD_DIR/tests/*/
# *_tests.exe) under wine, in the wine prefix of WINEPREFIX, with a line for
# each: tests run, passed. Fails when any test fails, an executable does not
# run to its end, or none was built.
#
# Usage: tests/windows/run_unit_tests.sh BUILD_DIR   (wine set up by tests/windows/run.sh)
set -uo pipefail
build=$(cd "$1" && pwd)
shopt -s nullglob
executables=("$build"/tests/*/*_tests.exe)
if [ "${#executables[@]}" -eq 0 ]; then
  echo "FAIL: no unit test executables in $build/tests"
  exit 1
fi
status=0
for exe in "${executables[@]}"; do
  name=$(basename "$exe")
  # A test that hangs fails after two minutes rather than stopping the run.
  output=$(cd "$(dirname "$exe")" && timeout 120 wine "$exe" --gtest_color=no 2>&1 </dev/null)
  code=$?
  # GoogleTest's closing lines: "[==========] N tests from M test suites ran."
  # and "[  PASSED  ] N tests."
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' <<<"$output" | tail -1)
  passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' <<<"$output" | tail -1)
  echo "$name: ${ran:-0} tests run, ${passed:-0} passed"
  if [ "$code" -ne 0 ] || [ -z "$ran" ] || [ "$ran" != "${passed:-}" ]; then
    echo "FAIL: $name (exit code $code)"
    # The failed tests' names, as GoogleTest lists them at its end.
    grep -E '^\[  FAILED  \] [^ ]+$' <<<"$output"
    [ -z "$ran" ] && tail -20 <<<"$output"
    status=1
  fi
done
exit "$status"
