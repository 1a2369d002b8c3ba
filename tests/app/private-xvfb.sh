# shellcheck shell=bash
# Sourced by the tests that run the real window: a private X server on a display number
# it picks itself (xvfb-run -a can hand two parallel runs the same number). Servers start
# and stop one at a time under $start_lock: one on its way out never meets one that is
# taking the display number it gives up. The caller sets work and start_lock.

# start_private_xvfb SIZE: up to three tries; sets server and DISPLAY, or returns 1 with
# the server's own words in $work/xvfb.log. The server counts as started once a client has
# reached it; -noreset keeps it from resetting, and refusing connections meanwhile, when
# that client leaves.
start_private_xvfb() {
  local size=$1
  exec 4>"$start_lock"
  flock 4
  for _ in 1 2 3; do
    if try_xvfb "$size"; then
      flock -u 4
      exec 4>&-
      return 0
    fi
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=
  done
  flock -u 4
  exec 4>&-
  return 1
}

try_xvfb() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$work/display" 4>&- 2>"$work/xvfb.log" &
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

# stop_private_xvfb: ends the server started here, if any; for the caller's cleanup.
stop_private_xvfb() {
  if [ -n "$server" ]; then
    exec 4>"$start_lock"
    flock 4
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
}
