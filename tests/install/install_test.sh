#!/usr/bin/env bash
# Installation test: unpacks the .deb that cpack made, checks that it holds
# exactly the files a desktop installation needs (and that they are valid),
# then starts the unpacked program the way a user of an installed copy would:
# from a program folder it may not write to, under its own Xvfb. The settings
# file must then end up in the user's configuration folder, and be read from
# there on the next start.
#
# Usage: install_test.sh <build folder> <nummernwerk executable> <examples folder>
# Exit code 77 means skipped (no package built yet, or a tool is missing).
set -euo pipefail

build=$(realpath "$1")
exe=$(realpath "$2")
examples=$(realpath "$3")
helper="$(dirname "$(realpath "$0")")/../e2e/x11_helper.py"
app_id=de.nummernwerk.Nummernwerk

skip() {
  echo "SKIP: $*"
  exit 77
}
fail() {
  echo "FAIL: $*"
  exit 1
}

for tool in dpkg dpkg-deb Xvfb xdotool python3 timeout; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps.sh test installs it)"
done
shopt -s nullglob
debs=("$build"/nummernwerk_*.deb)
shopt -u nullglob
[ ${#debs[@]} -gt 0 ] || skip "no package in the build folder; run cpack there first"
deb=$(ls -t "${debs[@]}" | head -n1)
[ "$deb" -nt "$exe" ] || skip "$(basename "$deb") is older than the program; run cpack again"

work=$(mktemp -d)
chmod 755 "$work"
. "$(dirname "$(realpath "$0")")/../e2e/display.sh"
cleanup() {
  stop_processes
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- the package's control fields ------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = nummernwerk ] || fail "package name $(field Package)"
[ "$(field Version)" = 1.10 ] || fail "version $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
depends=$(field Depends)
for library in libqt6widgets6 libqt6gui6 libexpat1 libc6 fonts-liberation qt6-translations-l10n; do
  [[ ",$depends," == *[\ ,]$library[\ ,]* ]] || fail "Depends lacks $library: $depends"
done

# --- its files -----------------------------------------------------------------
root="$work/root"
dpkg -x "$deb" "$root"

expected=(
  usr/bin/nummernwerk
  usr/bin/nummernwerk-cli
  usr/share/man/man1/nummernwerk-cli.1.gz
  "usr/share/applications/$app_id.desktop"
  "usr/share/metainfo/$app_id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  usr/share/doc/nummernwerk/copyright
)
for size in 16 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for example in "$examples"/*.xml; do
  expected+=("usr/share/nummernwerk/examples/$(basename "$example")")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) ||
  fail "the package's files differ from the expected ones (< missing, > unexpected)"

[ -x "$root/usr/bin/nummernwerk" ] || fail "the program is not executable"
# The command-line tool runs without a display, and its manual page is one.
example=$(ls "$root"/usr/share/nummernwerk/examples/*.xml | head -n1)
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/nummernwerk-cli" list "$example" >"$work/cli-list.txt" ||
  fail "the installed nummernwerk-cli does not list $(basename "$example")"
[ "$(wc -l <"$work/cli-list.txt")" -gt 1 ] || fail "the installed nummernwerk-cli listed no contact"
zcat "$root/usr/share/man/man1/nummernwerk-cli.1.gz" | grep -q '^\.TH "nummernwerk-cli" "1"' ||
  fail "nummernwerk-cli.1.gz is not the tool's manual page"
for example in "$examples"/*.xml; do
  cmp -s "$example" "$root/usr/share/nummernwerk/examples/$(basename "$example")" ||
    fail "example $(basename "$example") differs from the source"
done

# Each PNG must really have the size its folder names; the SVG must be one.
python3 - "$root/usr/share/icons/hicolor" "$app_id" <<'EOF' || fail "icons are not what their folders say"
import struct, sys, xml.etree.ElementTree as ET
base, app_id = sys.argv[1], sys.argv[2]
for size in (16, 32, 48, 64, 128, 256):
    with open(f"{base}/{size}x{size}/apps/{app_id}.png", "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        sys.exit(f"{size}: not a PNG")
    if struct.unpack(">II", head[16:24]) != (size, size):
        sys.exit(f"{size}: is {struct.unpack('>II', head[16:24])}")
if ET.parse(f"{base}/scalable/apps/{app_id}.svg").getroot().tag != "{http://www.w3.org/2000/svg}svg":
    sys.exit("scalable: not an SVG")
EOF

desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the .desktop entry"
else
  echo "note: desktop-file-validate is not installed; .desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
else
  echo "note: appstreamcli is not installed; metainfo not validated"
fi
# The entry must start the installed program and name the installed icon,
# and the metainfo must point at the entry.
grep -qx 'Exec=nummernwerk' "$desktop" || fail "Exec= does not start nummernwerk"
grep -qx "Icon=$app_id" "$desktop" || fail "Icon= does not name $app_id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app_id.desktop"
grep -q '<binary>nummernwerk</binary>' "$metainfo" || fail "the metainfo does not provide the binary"

# --- start the unpacked program ----------------------------------------------------
# The program folder is read-only, as /usr/bin is for a user. Root may write
# anywhere, so as root the program runs as nobody.
chmod -R a-w "$root"
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || skip "setpriv is not installed"
  as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
  chown nobody "$home" "$work/runtime"
fi
config="$home/.config"
settings="$config/Nummernwerk/Nummernwerk.ini"

start_display "$work/xvfb.log" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"

# start_and_close <run name>: starts the program, waits for its windows,
# checks the title and sends the main window a close request.
start_and_close() {
  local log="$work/$1.log" main title status=0
  (cd "$home" && exec env HOME="$home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$work/runtime" \
    "${as_user[@]}" "$root/usr/bin/nummernwerk") >"$log" 2>&1 &
  app_pid=$!
  main=$(timeout 30 xdotool search --sync --name 'Nummernwerk  v1\.10' | head -n1) ||
    fail "$1: the main window did not appear; program output: $(cat "$log")"
  timeout 30 xdotool search --sync --name '^Nummernwerk - Information$' >/dev/null ||
    fail "$1: the information window did not appear"
  title=$(xdotool getwindowname "$main")
  [[ "$title" == "Nummernwerk  v1.10     ["*"]" ]] || fail "$1: title \"$title\""
  [[ "$title" != */* ]] || fail "$1: the title shows a path: \"$title\""
  # Task bars match the window to the desktop entry by its WM_CLASS class.
  if command -v xprop >/dev/null; then
    local class
    class=$(xprop -id "$main" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "[^"]*", "\([^"]*\)"$/\1/p')
    grep -qx "StartupWMClass=$class" "$desktop" || fail "$1: WM_CLASS class \"$class\" is not the entry's StartupWMClass"
  fi

  python3 "$helper" close "$main"
  for _ in $(seq 1 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "$1: the program did not end on the close request"
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" = 0 ] || fail "$1: exit code $status; program output: $(cat "$log")"
}

written() {
  printf '\xEF\xBB\xBF\r\nTelefonbuch1 = %s\r\nTelefonbuch2 = %s\r\nToolTip = %s\r\n' "$1" "$2" "$3"
}

# First start: no settings anywhere. The configuration folder is created and
# both panels remember the home folder.
start_and_close first
[ -f "$settings" ] || fail "no settings file in the configuration folder; $(find "$work" -name Nummernwerk.ini)"
cmp <(written "$home/" "$home/" 1) "$settings" || fail "first settings file: $(od -c "$settings" | head)"
[ "$(stat -c %a "$config/Nummernwerk")" = 700 ] || fail "configuration folder has mode $(stat -c %a "$config/Nummernwerk")"
[ ! -e "$root/usr/bin/Nummernwerk.ini" ] || fail "a settings file appeared beside the program"

# Second start: what is in the configuration folder is read and written back.
books="$work/buecher/"
mkdir -p "$books"
written "$home/" "$books" 0 >"$settings"
start_and_close second
cmp <(written "$home/" "$books" 0) "$settings" || fail "settings not read back: $(od -c "$settings" | head)"

echo "PASS: $(basename "$deb") holds ${#expected[@]} files; the installed program keeps its settings in the configuration folder"
