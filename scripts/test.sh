#!/usr/bin/env bash
# Builds Nummernwerk with its tests (installing missing Debian packages first),
# packs the .deb and runs every test; then builds and runs the tests once more
# with AddressSanitizer and UndefinedBehaviorSanitizer, and runs each fuzzer
# for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNW_BUILD_TESTS=ON -DNW_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
# The .deb (build/nummernwerk_<version>_<arch>.deb), which the install test unpacks.
(cd build && cpack -G DEB >/dev/null)
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 600 2>&1 | tee build/ctest-output.txt

# The sanitizer build. Any report fails the test that made it: UBSan halts,
# ASan and LeakSanitizer exit non-zero. Leaks inside third-party libraries
# (Qt's platform plugins, fontconfig) are listed in tests/lsan.supp. The
# end-to-end and install tests drive the normal build's program and are not
# run again here. -O1 keeps the build short and the stack traces exact.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DNW_SANITIZE=ON \
  -DNW_BUILD_TESTS=ON -DNW_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 900 -LE 'e2e|install' 2>&1 \
  | tee build-asan/ctest-output.txt

scripts/fuzz-smoke.sh 15

# One closing line for both test runs.
count() { sed -n -E "s/.* ([0-9]+) tests failed out of ([0-9]+).*/\\$1/p" "$2" | tail -n 1; }
failed=$(( $(count 1 build/ctest-output.txt) + $(count 1 build-asan/ctest-output.txt) ))
total=$(( $(count 2 build/ctest-output.txt) + $(count 2 build-asan/ctest-output.txt) ))
skipped=$(( $(grep -c '(Skipped)' build/ctest-output.txt || true) + $(grep -c '(Skipped)' build-asan/ctest-output.txt || true) ))
echo "tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped"
