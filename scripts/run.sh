#!/usr/bin/env bash
# Builds Nummernwerk (installing missing Debian packages first) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNW_BUILD_TESTS=OFF -DNW_BUILD_BENCH=OFF >/dev/null
cmake --build build --target nummernwerk -j "$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Nummernwerk is built (build/bin/nummernwerk), but there is no display to show it on:"
  echo "neither DISPLAY nor WAYLAND_DISPLAY is set. Start it from a desktop session."
  exit 1
fi
exec build/bin/nummernwerk
