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
source "$(dirname "$(readlink -f "$0")")/../app/private-xvfb.sh"
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
  stop_private_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

if ! start_private_xvfb 1280x1024; then
  echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")" >&2
  exit 1
fi

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
