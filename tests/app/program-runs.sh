#!/usr/bin/env bash
# Runs the built program as a person would, under its own Xvfb server, and watches it
# from outside with xdotool: usage program-runs.sh SCENARIO BIN_DIR [BUILD_DIR].
#   missing   no archive beside the program: one message box, then exit 0, no window
#   copied    a copy of the shipped archive: the main window, closed through File > Exit
#   damaged   a damaged archive: the error box, then the main window
#   installed cmake --install into a temporary prefix, started through bin/glyphtint
set -euo pipefail
scenario=$1
bin=$2
build=${3:-}

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing (scripts/setup.sh installs it): skipped"
    exit 77
  fi
done

work=$(mktemp -d)
pid=
server=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
  fi
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL ($scenario): $*" >&2
  if [ -s "$work/err" ]; then
    echo "--- the program's error output:" >&2
    cat "$work/err" >&2
  fi
  exit 1
}

# A private X server on a display number it picks itself, so that parallel runs never
# meet (xvfb-run -a can hand two of them the same number).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# In sanitizer builds: what the system's libraries keep to the end is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(readlink -f "$0")")/lsan-suppressions.txt"

title='^glyphtint \[0\.1\]$'

# Prints the id of the newest window with the program's title, waiting up to 15 s.
wait_for_window() {
  local ids
  for _ in $(seq 150); do
    ids=$(xdotool search --onlyvisible --name "$title" 2>/dev/null || true)
    if [ -n "$ids" ]; then
      echo "$ids" | tail -1
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing a window"
    sleep 0.1
  done
  fail "no window titled 'glyphtint [0.1]' appeared"
}

window_height() {
  xdotool getwindowgeometry "$1" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'
}

# The main window is at least as tall as its designed client area; a message box is not.
is_main_window() {
  [ "$(window_height "$1")" -ge 364 ]
}

# No window manager runs under Xvfb: focus the window before sending keys to it.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  xdotool key --clearmodifiers "$@"
}

wait_for_exit() {
  local code=0
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" || code=$?
      pid=
      [ "$code" -eq 0 ] || fail "exit code $code"
      return 0
    fi
    sleep 0.1
  done
  fail "the program did not end"
}

close_main_window() {
  local window=$1
  press "$window" alt+f
  sleep 0.3
  xdotool key x
  wait_for_exit
}

# start PROGRAM [FOLDER]: runs the program with FOLDER (default /) as working directory.
start() {
  (cd "${2:-/}" && exec "$1") >"$work/out" 2>"$work/err" &
  pid=$!
}

case "$scenario" in
missing)
  cp "$bin/glyphtint" "$work/"
  start "$work/glyphtint"
  box=$(wait_for_window)
  is_main_window "$box" && fail "a main window appeared instead of the message"
  sleep 0.3
  [ "$(xdotool search --onlyvisible --name "$title" | wc -l)" -eq 1 ] || fail "more than one window"
  press "$box" Return
  wait_for_exit
  ;;
copied)
  cp "$bin/glyphtint" "$bin/glyphtint.gfx" "$work/"
  start "$work/glyphtint"
  main=$(wait_for_window)
  is_main_window "$main" || fail "the first window is not the main window"
  close_main_window "$main"
  ;;
damaged)
  cp "$bin/glyphtint" "$work/"
  head -c 4000 /dev/urandom >"$work/glyphtint.gfx"
  start "$work/glyphtint"
  box=$(wait_for_window)
  is_main_window "$box" && fail "the main window came before the error box"
  press "$box" Return
  sleep 0.3
  main=$(wait_for_window)
  is_main_window "$main" || fail "no main window after the error box"
  close_main_window "$main"
  ;;
installed)
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  for file in lib/glyphtint/glyphtint lib/glyphtint/glyphtint.gfx share/applications/glyphtint.desktop \
    share/icons/hicolor/32x32/apps/glyphtint.png share/icons/hicolor/16x16/apps/glyphtint.png; do
    [ -f "$work/prefix/$file" ] || fail "$file not installed"
  done
  [ -L "$work/prefix/bin/glyphtint" ] || fail "bin/glyphtint is not a link"
  start "$work/prefix/bin/glyphtint"
  main=$(wait_for_window)
  is_main_window "$main" || fail "the installed program did not find its archive"
  close_main_window "$main"
  ;;
*)
  fail "unknown scenario"
  ;;
esac
echo "ok ($scenario)"
