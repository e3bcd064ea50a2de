#!/usr/bin/env bash
# Started without a display (over ssh, say), the program writes one line on
# standard error and ends with status 1, before it touches any file: with no
# display named, and with a named display that is not there. Both give the
# same line, and none of Qt's own messages.
#
# Usage: no_display_test.sh <nummernwerk executable>
set -u

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$1" "$work/nummernwerk"

# run <env arguments>: the line the program wrote, in $line.
run() {
  local status=0
  (cd "$work" && env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" HOME="$work" ./nummernwerk) \
    >"$work/out" 2>"$work/err" </dev/null || status=$?
  if [ "$status" != 1 ] || [ "$(wc -l <"$work/err")" != 1 ] || [ -s "$work/out" ]; then
    echo "FAIL ($*): exit status $status, output:"
    cat "$work/out" "$work/err"
    exit 1
  fi
  if grep -qi 'qt\|plugin' "$work/err"; then
    echo "FAIL ($*): Qt's message instead of the program's: $(cat "$work/err")"
    exit 1
  fi
  line=$(cat "$work/err")
}

run -u DISPLAY
unnamed=$line
run DISPLAY=:65000
gone=$line
[ "$unnamed" = "$gone" ] || { echo "FAIL: different lines: '$unnamed' and '$gone'"; exit 1; }
leftover=$(find "$work" -mindepth 1 ! -name nummernwerk ! -name out ! -name err)
[ -z "$leftover" ] || { echo "FAIL: files written: $leftover"; exit 1; }
echo "PASS: $unnamed"
