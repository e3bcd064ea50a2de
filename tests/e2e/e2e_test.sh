#!/usr/bin/env bash
# End-to-end test: starts the real program under its own Xvfb and drives it
# with the mouse and keyboard at the positions the window layout fixes:
# close the information window with a close request, load a phonebook into
# each panel through the real file dialog, tick two contacts of panel 1, copy
# them, save panel 2 (its check first), edit panel 1's name and close the main window, which
# asks about panel 1's unsaved change: "Abbrechen" (Escape) keeps the program
# running, "Speichern" (Return) saves panel 1 and ends it. Then checks the
# files the program wrote, and that on a screen with a scale factor of 1.5
# the main window is scaled down to fit.
#
# Usage: e2e_test.sh <nummernwerk executable> <output folder> <examples folder>
# Exit code 77 means skipped (a tool is missing).
set -euo pipefail

exe=$(realpath "$1")
out=$(realpath -m "${2:-e2e-output}")
examples=$(realpath "${3:-$(dirname "$0")/../../examples}")
helper="$(dirname "$(realpath "$0")")/x11_helper.py"

for tool in Xvfb xdotool import convert python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/deps.sh test installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
. "$(dirname "$(realpath "$0")")/display.sh"
cleanup() {
  stop_processes
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [ -n "${DISPLAY:-}" ] && import -window root "$out/fehler.png" 2>/dev/null || true
  exit 1
}

# Polls a condition every 0.1 s for up to 20 s.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 1 200); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  fail "timed out waiting for $what"
}

# --- the program's folder and two phonebooks --------------------------------
rm -rf "$out"
mkdir -p "$out" "$work/programm" "$work/buecher" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$work/programm/nummernwerk"
cp "$examples/Telefonbuch_Familie.xml" "$work/buecher/eins.xml"
cp "$examples/Telefonbuch_Arbeit.xml" "$work/buecher/zwei.xml"
books="$work/buecher/"
# Written by hand: no byte-order mark, keys in any case, no blanks.
printf 'telefonbuch1=%s\nTELEFONBUCH2=%s\ntooltip=0\n' "$books" "$books" >"$work/programm/Nummernwerk.ini"

# --- a display of our own -----------------------------------------------------
# -noreset: an X server resets when its last client goes, and refuses new
# clients while it does; the program is started several times in a row.
start_display "$out/xvfb.log" || fail "Xvfb did not start"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"

(cd "$work" && exec ./programm/nummernwerk) >"$out/nummernwerk.log" 2>&1 &
app_pid=$!

# --- layout ----------------------------------------------------------------------
# Panels are containers at x 10 and 820, y 10, with a 1-pixel border; widget
# positions are inside it. Buttons: x, y, width, height.
panel_x=(0 10 820)
panel_y=10
border=1
laden=(265 10 55 24)
name_field=(60 45 120 24)
speichern=(325 10 80 24)
kopieren=(540 10 75 24)
list_y=75


# Sets X, Y, WIDTH, HEIGHT of a window's client area.
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

click_at() { xdotool mousemove --sync "$1" "$2" click 1; }

# press <panel> <button array name>
press() {
  local -n b=$2
  click_at $((main_x + panel_x[$1] + border + b[0] + b[2] / 2)) $((main_y + panel_y + border + b[1] + b[3] / 2))
}

# load <panel> <file name>: "Laden", then the name typed into the file dialog.
load() {
  press "$1" laden
  wait_for "the file dialog" has_window '^Telefonbuch ausw'
  local dialog
  dialog=$(window_named '^Telefonbuch ausw')
  xdotool windowfocus --sync "$dialog" || true
  xdotool type --delay 30 "$2"
  xdotool key Return
  wait_for "the file dialog to close" no_window '^Telefonbuch ausw'
  wait_for "the formatted copy of $2" test -s "$books${2}_Formatiert.xml"
}

# --- drive it ----------------------------------------------------------------------
wait_for "the main window" has_window '^Nummernwerk  v1\.10'
wait_for "the information window" has_window '^Nummernwerk - Information$'
main=$(window_named '^Nummernwerk  v1\.10')
info=$(window_named '^Nummernwerk - Information$')

geometry "$info"
[ "$WIDTH" = 620 ] && [ "$HEIGHT" = 500 ] || fail "information window is ${WIDTH}x$HEIGHT"
# What a window manager sends for the close box or Alt+F4: it closes only the
# information window.
python3 "$helper" close "$info"
wait_for "the information window to close" no_window '^Nummernwerk - Information$'
sleep 0.3
kill -0 "$app_pid" 2>/dev/null || fail "closing the information window ended the program"
has_window '^Nummernwerk  v1\.10' || fail "closing the information window closed the main window"

geometry "$main"
[ "$WIDTH" = 1630 ] && [ "$HEIGHT" = 920 ] || fail "main window is ${WIDTH}x$HEIGHT"
main_x=$X
main_y=$Y

load 1 eins.xml
load 2 zwei.xml

# The rows' check boxes: found on a screenshot of panel 1's check-box column,
# 10 pixels in from the list's left edge.
box_x=$((main_x + panel_x[1] + border + 10))
list_top=$((main_y + panel_y + border + list_y))
sleep 0.3
import -window root "$work/liste.png"
mapfile -t boxes < <(convert "$work/liste.png" -crop "1x200+$box_x+$list_top" +repage -colorspace gray -depth 8 gray:- |
  python3 "$helper" boxes)
[ "${#boxes[@]}" -ge 4 ] || fail "found ${#boxes[@]} check boxes in panel 1, expected 4"
click_at "$box_x" $((list_top + boxes[0]))
click_at "$box_x" $((list_top + boxes[2]))

press 1 kopieren
sleep 0.5
xdotool mousemove 0 0
import -window root "$out/nach_kopieren.png"

# The copied contacts hold uniqueids panel 2 holds too: "Speichern" asks
# first. "Abbrechen" (Escape) writes nothing, "Trotzdem speichern" (Return)
# saves.
check_before_saving() {
  press 2 speichern
  wait_for "the check before saving" has_window 'fung vor dem Speichern$'
  xdotool windowfocus --sync "$(window_named 'fung vor dem Speichern$')" || true
  [ "$1" = Return ] && import -window root "$out/vor_dem_speichern.png"
  xdotool key "$1"
  wait_for "the check to close" no_window 'fung vor dem Speichern$'
}
check_before_saving Escape
sleep 0.3
[ ! -e "${books}zwei.xml_NEU.xml" ] || fail "\"Abbrechen\" saved panel 2"
check_before_saving Return
wait_for "the saved phonebook" test -s "${books}zwei.xml_NEU.xml"

# Panel 1's name gets an "X" at its end: an unsaved change.
press 1 name_field
xdotool key End
xdotool type "X"

# answer_question <key>: a close request, the question, the key pressed in it.
answer_question() {
  python3 "$helper" close "$main"
  wait_for "the unsaved-changes question" has_window '^Ungespeicherte '
  local question
  question=$(window_named '^Ungespeicherte ')
  xdotool windowfocus --sync "$question" || true
  [ "$1" = Escape ] && import -window root "$out/ungespeichert.png"
  xdotool key "$1"
  wait_for "the question to close" no_window '^Ungespeicherte '
}
answer_question Escape
sleep 0.3
kill -0 "$app_pid" 2>/dev/null || fail "\"Abbrechen\" ended the program"
[ ! -e "${books}eins.xml_NEU.xml" ] || fail "\"Abbrechen\" saved panel 1"
answer_question Return
for _ in $(seq 1 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after \"Speichern\""
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" = 0 ] || fail "exit code $status"

# --- what it wrote ---------------------------------------------------------------------
cp "$books"*.xml "$work/programm/Nummernwerk.ini" "$out/"
for copy in eins.xml_Formatiert.xml zwei.xml_Formatiert.xml; do
  [ -s "$books$copy" ] || fail "$copy is missing"
done

python3 - "${books}zwei.xml_NEU.xml" <<'EOF' || fail "zwei.xml_NEU.xml does not hold the copied contacts"
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
book = root.findall("phonebook")[-1]
names = [c.findtext("person/realName") for c in book.findall("contact")]
expected = ["Büro Lüdenscheid", "Sören Bäcker", "Zoë Krämer", "Jürgen Müller", "Björn Öztürk"]
if root.tag != "phonebooks" or book.get("name") != "Arbeit" or names != expected:
    sys.exit(f"phonebook {book.get('name')!r} holds {names}")
EOF

python3 - "${books}eins.xml_NEU.xml" <<'EOF' || fail "eins.xml_NEU.xml is not panel 1 with its new name"
import sys
import xml.etree.ElementTree as ET
book = ET.parse(sys.argv[1]).getroot().findall("phonebook")[-1]
if book.get("name") != "FamilieX" or len(book.findall("contact")) != 4:
    sys.exit(f"phonebook {book.get('name')!r} with {len(book.findall('contact'))} contacts")
EOF

printf '\xEF\xBB\xBF\r\nTelefonbuch1 = %s\r\nTelefonbuch2 = %s\r\nToolTip = 0\r\n' "$books" "$books" >"$work/erwartet.ini"
cmp "$work/erwartet.ini" "$work/programm/Nummernwerk.ini" || fail "settings file not rewritten as expected"

# --- a screen with a scale factor of 1.5 ----------------------------------------------
# Unscaled the window would need 2445 x 1380 pixels: it comes down to fit the
# 1920 x 1080 screen, in proportion.
(cd "$work" && QT_SCALE_FACTOR=1.5 exec ./programm/nummernwerk) >"$out/nummernwerk-1.5.log" 2>&1 &
app_pid=$!
wait_for "the scaled main window" has_window '^Nummernwerk  v1\.10'
main=$(window_named '^Nummernwerk  v1\.10')
sleep 0.3
geometry "$main"
import -window root "$out/skaliert.png"
python3 - "$X" "$Y" "$WIDTH" "$HEIGHT" <<'EOF' || fail "scaled window at ${X},${Y} with ${WIDTH}x${HEIGHT}"
import sys
x, y, width, height = map(int, sys.argv[1:])
fits = x >= 0 and y >= 0 and x + width <= 1920 and y + height <= 1080
fills = width >= 0.9 * 1920 or height >= 0.9 * 1080
proportional = abs(width / height - 1630 / 920) < 0.01
sys.exit(0 if fits and fills and proportional and width > 1630 else 1)
EOF
python3 "$helper" close "$main"
for _ in $(seq 1 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && fail "the scaled program did not end on the close request"
wait "$app_pid" || fail "the scaled program ended with status $?"
app_pid=""

echo "PASS: loaded, ticked, copied, saved, asked and closed; screenshots in $out"
