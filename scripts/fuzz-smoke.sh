#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer, ASan, UBSan) in build-fuzz and
# runs each briefly over the seed corpus: fuzz_xml (load, format, save, load
# again), fuzz_phonebook (records, rows, transfers, rebuilt and saved
# phonebook) and fuzz_exchange (vCard and CSV read, written and read again).
# New inputs go to scratch folders; the seed corpus in the
# repository is only read.
# Usage: scripts/fuzz-smoke.sh [seconds per fuzzer]   (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
scripts/deps.sh test
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNW_BUILD_FUZZ=ON -DNW_BUILD_TESTS=OFF -DNW_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_xml fuzz_phonebook fuzz_exchange -j "$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for run in "fuzz_xml xml" "fuzz_phonebook xml" "fuzz_exchange exchange"; do
  read -r fuzzer corpus <<<"$run"
  mkdir -p "$work/$fuzzer"
  echo "== $fuzzer, $seconds s"
  build-fuzz/fuzz/$fuzzer -max_total_time="$seconds" -max_len=16384 -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -dict=fuzz/$corpus.dict -artifact_prefix=build-fuzz/$fuzzer- "$work/$fuzzer" fuzz/corpus/$corpus
done
