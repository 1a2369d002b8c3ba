#!/usr/bin/env bash
# Time from starting the glyphtint process to its window being shown (FormCreate done,
# both palettes rendered), on a private Xvfb display; usage startup-under-xvfb.sh BIN_DIR [RUNS].
# The window is watched with xdotool, polled every few milliseconds; the median is printed.
set -euo pipefail
bin=$(readlink -f "$1")
runs=${2:-15}
work=$(mktemp -d)
server=
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
server=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
export DISPLAY=":$(head -1 "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

times=()
for run in $(seq "$runs"); do
  start=$(date +%s%N)
  "$bin/glyphtint" 2>/dev/null &
  pid=$!
  until xdotool search --onlyvisible --name '^glyphtint \[0\.1\]$' >/dev/null 2>&1; do
    :
  done
  shown=$(date +%s%N)
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  times+=($(((shown - start) / 1000000)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "process start to shown window, $runs runs (ms): $(echo $sorted)"
echo "median: $(echo "$sorted" | sed -n "$(((runs + 1) / 2))p") ms"
