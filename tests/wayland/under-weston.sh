#!/usr/bin/env bash
# Runs a test program as a client of its own headless Weston compositor, with Qt's Wayland
# platform: usage under-weston.sh PROGRAM [ARGUMENTS...]. Skipped (77) without Weston.
set -euo pipefail

if ! command -v weston >/dev/null; then
  echo "weston is missing (scripts/setup.sh installs it): skipped"
  exit 77
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"
compositor=
cleanup() {
  if [ -n "$compositor" ]; then
    kill "$compositor" 2>/dev/null || true
    wait "$compositor" 2>/dev/null || true
  fi
  rm -rf "$runtime"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$runtime
socket=glyphtint-test
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 --width=1024 --height=768 \
  >"$runtime/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 100); do
  [ -S "$runtime/$socket" ] && break
  kill -0 "$compositor" 2>/dev/null || break
  sleep 0.05
done
if [ ! -S "$runtime/$socket" ]; then
  echo "FAIL: Weston did not start:" >&2
  cat "$runtime/weston.log" >&2
  exit 1
fi

unset DISPLAY
export WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland
# The headless compositor has no seat. Keys that a test sends straight to a widget then
# reach Qt's Wayland text-input context, which asks the missing seat and crashes (Qt 6.4);
# keys a person types always come through a seat. The compose context takes them instead.
export QT_IM_MODULE=compose
# In sanitizer builds: what the system's libraries keep to the end is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(readlink -f "$0")")/lsan-suppressions.txt"
status=0
"$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- Weston's log:" >&2
  cat "$runtime/weston.log" >&2
fi
exit "$status"
