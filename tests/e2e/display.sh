# Sourced by the scripts that drive the program under an Xvfb of their own:
# the display, the processes to end, and finding windows by their title.
# Expects $work (a folder of the script's own).

xvfb_pid=""
app_pid=""

# Ends the program and Xvfb when they still run.
stop_processes() {
  for pid in $app_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

# start_display <log file>: starts Xvfb (1920x1080, kept alive between
# client connections, as the program is started several times) and exports
# DISPLAY for X11; false when it did not come up.
start_display() {
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset >"$1" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 1 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
}

window_named() { xdotool search --name "$1" 2>/dev/null | head -n1; }
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }
