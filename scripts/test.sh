#!/usr/bin/env bash
# Builds Vistamere and runs every test, twice: g++ at -O2, and clang at -O0
# with AddressSanitizer and UndefinedBehaviorSanitizer. Then the picture
# tests once more with clang at -O1 under ThreadSanitizer, for the decoders'
# second threads. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

echo "== g++ -O2 build =="
cmake -S . -B build/gcc-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVISTAMERE_BENCH=ON >/dev/null
ninja -C build/gcc-release
ctest --test-dir build/gcc-release --output-on-failure -j "$jobs"

echo "== clang -O0 ASan+UBSan build =="
cmake -S . -B build/clang-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DVISTAMERE_SANITIZE=ON >/dev/null
ninja -C build/clang-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/clang-asan --output-on-failure -j "$jobs"

# The JPEG DC scan and the PNG decoder each run a second thread, and the
# terminal console readies the cell renderer on one; these test areas drive
# them. The codec libraries and libchafa are not instrumented.
echo "== clang -O1 ThreadSanitizer build (picture and terminal console tests) =="
cmake -S . -B build/clang-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
  -DVISTAMERE_TSAN=ON -DVISTAMERE_TEST_ONLY="picture;picture_codecs;hostile;term_console" \
  >/dev/null
ninja -C build/clang-tsan picture_tests picture_codecs_tests hostile_tests term_console_tests
TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/support/tsan.supp" \
  ctest --test-dir build/clang-tsan --output-on-failure -j "$jobs"

# The Windows build is cross-built and run under wine: the 32-bit program
# under 32-bit wine; where that cannot be installed (its i386 packages come
# from an archive that is at times out of step), the same sources built for
# 64 bits under wine64, said in the log. Without either, the runs under
# wine say why they are skipped.
echo "== Windows build (mingw-w64 i686) and its tests under wine =="
# The program, the key injector, and the unit tests that build for Windows.
windows_targets=(vistamere inject_keys scene_tests overlay_tests console_tests driver_tests win32_tests)
bash scripts/build-windows.sh "${windows_targets[@]}"
wine32=yes
bash scripts/install-deps.sh --wine || wine32=no
bash tests/windows/run.sh build/windows-i686
if [ "$wine32" = no ]; then
  echo "32-bit wine could not be installed (apt's output above): the 64-bit build is tested under wine64 instead"
  bash scripts/build-windows.sh --64 "${windows_targets[@]}"
  bash scripts/install-deps.sh --wine64 || echo "(wine64 could not be installed either)"
  bash tests/windows/run.sh build/windows-x86_64
fi

echo "== lint =="
bash scripts/lint.sh build/clang-asan

# libFuzzer comes with clang's runtime (libclang-rt-14-dev); without it the
# fuzz step is left out rather than failing the run.
if echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer - -o /tmp/vistamere-fuzz-probe.$$ 2>/dev/null; then
  rm -f /tmp/vistamere-fuzz-probe.$$
  echo "== libFuzzer targets =="
  bash fuzz/run.sh 30
else
  echo "== libFuzzer targets: skipped (clang's libFuzzer is not installed) =="
fi
