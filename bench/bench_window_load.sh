#!/usr/bin/env bash
# The window's load as a user meets it: the real program under its own Xvfb,
# driven with xdotool like the end-to-end test. "Laden" in panel 1, the name
# of a generated book typed into the file dialog; the clock starts with
# Return in the dialog, a close request to the main window follows at once,
# and the clock stops when the process has ended. Best of RUNS, beside the
# best of RUNS bare Expat parses of the same file (bench_books expat: 16 KiB
# pieces, counting handlers) as processes of their own, each parse run just
# before a window run.
#
# Usage: bench_window_load.sh <nummernwerk> <bench_books> [contacts] [runs]
#   (default 100000 contacts, 3 runs). NW_BENCH_WRAP, when set, is put in
#   front of the program (a profiler: NW_BENCH_WRAP="perf record -g -o /tmp/p").
set -euo pipefail

exe=$(realpath "$1")
books_tool=$(realpath "$2")
contacts=${3:-100000}
runs=${4:-3}
here=$(dirname "$(realpath "$0")")
helper="$here/../tests/e2e/x11_helper.py"

for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed (scripts/deps.sh test installs it)"; exit 77; }
done

work=$(mktemp -d)
. "$here/../tests/e2e/display.sh"
cleanup() {
  stop_processes
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

wait_for() {
  local what=$1
  shift
  for _ in $(seq 1 600); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.05
  done
  fail "timed out waiting for $what"
}

# Seconds since the epoch with microseconds, without starting a process.
now() { echo "$EPOCHREALTIME"; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }
best() { printf '%s\n' "$@" | sort -g | head -n1; }

mkdir -p "$work/programm" "$work/buecher" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$work/programm/nummernwerk"
book="$work/buecher/gross.xml"
"$books_tool" generate "$contacts" "$book"
printf 'Telefonbuch1=%s\nTelefonbuch2=%s\nToolTip=0\n' "$work/buecher/" "$work/buecher/" >"$work/programm/Nummernwerk.ini"

# --- the reference ------------------------------------------------------------
reference_run() {
  local t0 t1
  t0=$(now)
  "$books_tool" expat "$book" >/dev/null
  t1=$(now)
  elapsed "$t0" "$t1"
}

# --- the display --------------------------------------------------------------
start_display "$work/xvfb.log" || fail "Xvfb did not start"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"


# Panel 1 is a container at 10,10 with a 1-pixel border; "Laden" lies at
# 265,10 in it, 55 x 24 pixels.
one_run() {
  rm -f "$book"_Formatiert.xml
  (cd "$work" && exec ${NW_BENCH_WRAP:-} ./programm/nummernwerk) >"$work/nummernwerk.log" 2>&1 &
  app_pid=$!
  wait_for "the main window" has_window '^Nummernwerk  v'
  wait_for "the information window" has_window '^Nummernwerk - Information$'
  local main info X Y WIDTH HEIGHT SCREEN WINDOW
  main=$(window_named '^Nummernwerk  v')
  info=$(window_named '^Nummernwerk - Information$')
  python3 "$helper" close "$info"
  wait_for "the information window to close" no_window '^Nummernwerk - Information$'
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove --sync $((X + 10 + 1 + 265 + 27)) $((Y + 10 + 1 + 10 + 12)) click 1
  wait_for "the file dialog" has_window '^Telefonbuch ausw'
  xdotool windowfocus --sync "$(window_named '^Telefonbuch ausw')" || true
  xdotool type --delay 20 "gross.xml"
  # The close request is made ready beforehand and follows Return at once.
  local ready
  coproc closer { exec python3 "$helper" close-on-line "$main"; }
  read -r ready <&"${closer[0]}"
  [ "$ready" = ready ] || fail "the close helper did not start"
  sleep 0.3
  local t0 t1 status=0
  t0=$(now)
  xdotool key Return
  echo >&"${closer[1]}"
  wait "$app_pid" || status=$?
  t1=$(now)
  app_pid=""
  [ "$status" = 0 ] || fail "exit status $status: $(cat "$work/nummernwerk.log")"
  [ -s "$book"_Formatiert.xml ] || fail "no formatted copy was written"
  elapsed "$t0" "$t1"
}

# The reference and the window take turns, so that both meet the machine in
# the same moods; each round's own ratio is kept besides the bests.
reference=()
window=()
for _ in $(seq 1 "$runs"); do
  reference+=("$(reference_run)")
  window+=("$(one_run)")
done

ref=$(best "${reference[@]}")
win=$(best "${window[@]}")
size=$(stat -c %s "$book")
printf '%d contacts, %.1f MB\n' "$contacts" "$(python3 -c "print($size / 1e6)")"
printf 'bare Expat parse (process):      %s s   runs: %s\n' "$ref" "${reference[*]}"
printf 'window, Return to process end:   %s s   runs: %s\n' "$win" "${window[*]}"
python3 - "$ref" "$win" "${reference[*]}" "${window[*]}" <<'PY'
import statistics, sys
ref, win = float(sys.argv[1]), float(sys.argv[2])
rounds = [w / r for r, w in zip(map(float, sys.argv[3].split()), map(float, sys.argv[4].split()))]
print(f"ratio {win / ref:.2f}x, best against best (goal: at most 3x)")
print(f"ratio per round: median {statistics.median(rounds):.2f}x, " + " ".join(f"{x:.2f}" for x in rounds))
PY
