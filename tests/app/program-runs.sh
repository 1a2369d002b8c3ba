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
start_lock="${TMPDIR:-/tmp}/glyphtint-xvfb.lock"
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
  fi
  if [ -n "$server" ]; then
    # Servers start and stop one at a time: one on its way out never meets one that
    # is taking the display number it gives up.
    exec 4>"$start_lock"
    flock 4
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
  if [ -n "$server" ] && ! kill -0 "$server" 2>/dev/null; then
    echo "--- Xvfb ($DISPLAY) has ended:" >&2
    cat "$work/xvfb.log" >&2
  fi
  exit 1
}

# A private X server on a display number it picks itself (xvfb-run -a can hand two
# parallel runs the same number). Servers start and stop one at a time, under a lock:
# see cleanup. The server counts as started once a client has reached it; -noreset
# keeps it from resetting, and refusing connections meanwhile, when that client leaves.
start_server() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 4>&- 2>"$work/xvfb.log" &
  server=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(head -1 "$work/display")"
  for _ in $(seq 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}
exec 4>"$start_lock"
flock 4
for attempt in 1 2 3; do
  start_server && break
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  server=
  [ "$attempt" -lt 3 ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
done
flock -u 4
exec 4>&-
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# In sanitizer builds: what the system's libraries keep to the end is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(readlink -f "$0")")/lsan-suppressions.txt"

title='^glyphtint \[0\.1\]$'

window_height() {
  xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p'
}

# The main window is about as tall as its designed client area (364 pixels at the
# designed font), a message box far less.
is_main_window() {
  [ "$(window_height "$1")" -ge 300 ]
}

# wait_for_window main|box: prints the id of a visible window with the program's title
# of that kind, waiting up to 20 s.
wait_for_window() {
  local kind=$1 id
  for _ in $(seq 200); do
    for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null || true); do
      if is_main_window "$id"; then
        [ "$kind" = main ] && echo "$id" && return 0
      else
        [ "$kind" = box ] && echo "$id" && return 0
      fi
    done
    kill -0 "$pid" 2>/dev/null || fail "the program ended before showing its $kind window"
    sleep 0.1
  done
  fail "no $kind window titled 'glyphtint [0.1]' appeared"
}

visible_windows() {
  xdotool search --onlyvisible --name "$title" 2>/dev/null | wc -l
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

# Through File > Exit, as a person with a keyboard; tried again when a busy machine let
# the keys arrive before the menu was open.
close_main_window() {
  local window=$1
  local before
  for _ in 1 2 3; do
    before=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    press "$window" alt+f
    # The open menu is one more visible window of the program.
    for _ in $(seq 50); do
      [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -gt "$before" ] && break
      sleep 0.1
    done
    xdotool key x
    for _ in $(seq 30); do
      kill -0 "$pid" 2>/dev/null || break 2
      sleep 0.1
    done
  done
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
  box=$(wait_for_window box)
  sleep 0.3
  [ "$(visible_windows)" -eq 1 ] || fail "more than the one message box"
  press "$box" Return
  wait_for_exit
  ;;
copied)
  cp "$bin/glyphtint" "$bin/glyphtint.gfx" "$work/"
  start "$work/glyphtint"
  main=$(wait_for_window main)
  [ "$(visible_windows)" -eq 1 ] || fail "a box came with the main window"
  close_main_window "$main"
  ;;
damaged)
  cp "$bin/glyphtint" "$work/"
  head -c 4000 /dev/urandom >"$work/glyphtint.gfx"
  start "$work/glyphtint"
  box=$(wait_for_window box)
  [ "$(visible_windows)" -eq 1 ] || fail "the main window came before the error box was closed"
  press "$box" Return
  main=$(wait_for_window main)
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
  main=$(wait_for_window main)
  [ "$(visible_windows)" -eq 1 ] || fail "the installed program showed a box: no archive found?"
  close_main_window "$main"
  ;;
*)
  fail "unknown scenario"
  ;;
esac
echo "ok ($scenario)"
