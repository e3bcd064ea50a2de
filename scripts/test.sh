#!/usr/bin/env bash
# Builds Nummernwerk with its tests (installing missing Debian packages first)
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNW_BUILD_TESTS=ON -DNW_BUILD_BENCH=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 600
