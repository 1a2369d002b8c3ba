#!/usr/bin/env bash
# Runs a Python script that talks to the real window over AT-SPI, as a screen reader
# does: usage atspi-session.sh SCRIPT BIN_DIR [ARGUMENTS...]. The script runs in a
# D-Bus session of its own on a private Xvfb display, and everything started here ends
# with it, however it ends; it is stopped after ATSPI_DEADLINE seconds (60). Exits 77
# when a tool is missing (scripts/setup.sh installs them all).
set -euo pipefail
script=$1
shift

missing() {
  echo "$1 is missing (scripts/setup.sh installs it): skipped"
  exit 77
}
for tool in Xvfb xdotool dbus-run-session dbus-send timeout setsid; do
  command -v "$tool" >/dev/null || missing "$tool"
done
[ -x /usr/libexec/at-spi-bus-launcher ] || missing at-spi2-core
# Debian's pyatspi is built for Debian's Python, which another Python on the PATH may hide.
python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || missing python3-pyatspi

work=$(mktemp -d)
server=
session=
start_lock="${TMPDIR:-/tmp}/glyphtint-xvfb.lock"
cleanup() {
  # The session leads its own process group: the bus launcher, the registry and the
  # program that D-Bus or the script started end with it.
  if [ -n "$session" ]; then
    kill -TERM -- "-$session" 2>/dev/null || true
    for _ in $(seq 30); do
      kill -0 -- "-$session" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$session" 2>/dev/null || true
  fi
  if [ -n "$server" ]; then
    # Servers start and stop one at a time, as in the other tests of the real window.
    exec 4>"$start_lock"
    flock 4
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# A private X server on a display number it picks itself, counted as started once a
# client has reached it.
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
  if [ "$attempt" -eq 3 ]; then
    echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
    exit 1
  fi
done
flock -u 4
exec 4>&-

unset WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS
# Nothing is written into the source tree.
export PYTHONDONTWRITEBYTECODE=1
export PYTHONPATH="$(dirname "$(readlink -f "$0")")${PYTHONPATH:+:$PYTHONPATH}"
deadline=${ATSPI_DEADLINE:-60}
status=0
setsid timeout -k 5 "$deadline" dbus-run-session -- "$python" "$script" "$@" &
session=$!
wait "$session" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "FAIL: $(basename "$script") did not end within $deadline seconds" >&2
fi
exit "$status"
