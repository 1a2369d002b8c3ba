#!/usr/bin/env bash
# Runs the built program as a person would, under its own Xvfb server, and watches it
# from outside with xdotool: usage program-runs.sh SCENARIO BIN_DIR [BUILD_DIR].
#   missing   no archive beside the program: one message box naming where it looked,
#             then exit 1, no window
#   copied    a copy of the shipped archive: the main window, closed through File > Exit
#   damaged   a damaged archive: the error box, then the main window
#   installed cmake --install into a temporary prefix, started through bin/glyphtint
#   placed    under openbox on 1366x768, 1280x800 and at scale 2: the whole frame on screen
#   copies    under openbox: two copies side by side, both usable; the keys Ctrl+Shift+C
#             (copy the picture) and Ctrl+Q (exit)
#   arguments no X server at all: --help and --version, wrong arguments (exit 2), texts,
#             and a start without a display (one line, exit 1)
set -euo pipefail
scenario=$1
bin=$2
build=${3:-}

if [ "$scenario" = arguments ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  fail() {
    echo "FAIL (arguments): $*" >&2
    exit 1
  }
  # run EXPECTED_STATUS [VAR=VALUE...] -- ARGUMENTS...: the program with its environment
  # less every display, plus the given variables; its output in $work/out and $work/err.
  run() {
    local expected=$1 status=0
    shift
    local settings=()
    while [ "$1" != -- ]; do
      settings+=("$1")
      shift
    done
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${settings[@]}" "$bin/glyphtint" "$@" \
      >"$work/out" 2>"$work/err" </dev/null || status=$?
    [ "$status" -eq "$expected" ] ||
      fail "glyphtint $* ${settings[*]}: exit status $status, not $expected: $(cat "$work/out" "$work/err")"
  }
  one_line() {
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "not one line on standard error: $(cat "$work/err")"
  }
  run 0 -- --help
  grep -q '^usage: glyphtint \[--help | --version\]$' "$work/out" || fail "--help: $(cat "$work/out")"
  [ ! -s "$work/err" ] || fail "--help wrote on standard error"
  grep -q '^       glyphtint \[--\] \[TEXT\.\.\.\]$' "$work/out" || fail "--help names no TEXT: $(cat "$work/out")"
  run 0 -- --version
  [ "$(cat "$work/out")" = "glyphtint 0.1" ] || fail "--version: $(cat "$work/out")"
  for wrong in --frobnicate -platform; do
    run 2 -- "$wrong" '^1m00'
    one_line
    grep -q "'$wrong'.*usage: glyphtint" "$work/err" || fail "$wrong: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "$wrong wrote on standard output"
  done
  # Texts, one starting with '-' after "--", are no wrong usage: without a display the
  # program then says so.
  run 1 -- '^1m00' file.txt -- -platform --
  grep -q 'DISPLAY' "$work/err" || fail "texts: $(cat "$work/err")"
  # No display: what to set, and the tool that draws without one; not Qt's abort (134).
  run 1 --
  one_line
  grep -q 'DISPLAY.*WAYLAND_DISPLAY.*glyphtint-render' "$work/err" || fail "no display: $(cat "$work/err")"
  # A display that names no server: Qt finds out, and the program says so in one line.
  run 1 DISPLAY=:97531 QT_QPA_PLATFORM=xcb --
  one_line
  grep -q '^glyphtint: cannot open the display (DISPLAY=:97531).*glyphtint-render' "$work/err" ||
    fail "dead display: $(cat "$work/err")"
  echo "ok (arguments)"
  exit 0
fi

tools=(Xvfb xdotool)
case "$scenario" in
placed | copies) tools+=(openbox xprop xwininfo xclip) ;;
esac
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing (scripts/setup.sh installs it): skipped"
    exit 77
  fi
done

work=$(mktemp -d)
pid=
second=
server=
wm=
start_lock="${TMPDIR:-/tmp}/glyphtint-xvfb.lock"
source "$(dirname "$(readlink -f "$0")")/private-xvfb.sh"
cleanup() {
  for process in $pid $second $wm; do
    kill "$process" 2>/dev/null || true
  done
  stop_private_xvfb
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

screen_size=${SCREEN_SIZE:-1280x1024}
start_private_xvfb "$screen_size" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
# In sanitizer builds: what the system's libraries keep to the end is not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(readlink -f "$0")")/lsan-suppressions.txt"

title='^glyphtint \[0\.1\]$'

# A window manager frames the windows, as on a desktop; it counts as started once it
# has announced itself on the root window.
start_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm=$!
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm" 2>/dev/null || fail "openbox ended: $(cat "$work/openbox.log")"
    sleep 0.1
  done
  fail "openbox did not start"
}

# frame ID: prints the frame rectangle "X Y W H" of a window, title bar and borders
# included, from its client area and the frame extents the window manager announces.
frame() {
  local info extents left right top bottom x y w h
  info=$(xwininfo -id "$1") || return 1
  x=$(sed -n 's/.*Absolute upper-left X: *\(-\?[0-9]*\).*/\1/p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *\(-\?[0-9]*\).*/\1/p' <<<"$info")
  w=$(sed -n 's/.*Width: *\([0-9]*\).*/\1/p' <<<"$info")
  h=$(sed -n 's/.*Height: *\([0-9]*\).*/\1/p' <<<"$info")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$extents" ] || return 1
  IFS=, read -r left right top bottom <<<"$extents"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# The screen's available area "X Y W H", as the window manager gives it.
work_area() {
  xprop -root _NET_WORKAREA | sed -n 's/.*= *//p' | tr -d ' ' | cut -d, -f1-4 | tr , ' '
}

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

# wait_for_exit [STATUS]: the program ends with STATUS (default 0).
wait_for_exit() {
  local code=0 expected=${1:-0}
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" || code=$?
      pid=
      [ "$code" -eq "$expected" ] || fail "exit code $code, not $expected"
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
  # Centred on the screen once it has its size (no window manager: the box is its frame).
  read -r screen_w screen_h <<<"$(xdotool getdisplaygeometry)"
  centred=
  for _ in $(seq 30); do
    geometry=$(xdotool getwindowgeometry "$box")
    read -r bx by <<<"$(sed -n 's/.*Position: \(-\?[0-9]*\),\(-\?[0-9]*\).*/\1 \2/p' <<<"$geometry")"
    read -r bw bh <<<"$(sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p' <<<"$geometry")"
    dx=$((2 * bx + bw - screen_w))
    dy=$((2 * by + bh - screen_h))
    if [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ]; then
      centred=yes
      break
    fi
    sleep 0.1
  done
  [ -n "$centred" ] || fail "the box ${bw}x${bh} at $bx,$by is not centred on the ${screen_w}x${screen_h} screen"
  press "$box" Return
  wait_for_exit 1
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
placed)
  start_window_manager
  cp "$bin/glyphtint" "$bin/glyphtint.gfx" "$work/"
  start "$work/glyphtint"
  main=$(wait_for_window main)
  read -r ax ay aw ah <<<"$(work_area)"
  # The window manager frames the window, then the program places the frame: wait until
  # the frame is known and lies inside the available area (at the designed place, where
  # one is expected: a busy machine may show the window manager's own placement first).
  rect=
  for _ in $(seq 200); do
    if rect=$(frame "$main") && read -r fx fy fw fh <<<"$rect" &&
      [ "$fx" -ge "$ax" ] && [ "$fy" -ge "$ay" ] && [ $((fx + fw)) -le $((ax + aw)) ] &&
      [ $((fy + fh)) -le $((ay + ah)) ] && { [ -z "${DESIGNED_AT:-}" ] || [ "$fx $fy" = "$DESIGNED_AT" ]; }; then
      break
    fi
    rect=
    sleep 0.1
  done
  [ -n "$rect" ] || fail "the frame $(frame "$main" || true) does not fit the available area $ax $ay $aw $ah${DESIGNED_AT:+ at the designed $DESIGNED_AT}"
  echo "screen $screen_size, scale ${QT_SCALE_FACTOR:-1}: frame $rect in the available area $ax $ay $aw $ah"
  close_main_window "$main"
  ;;
copies)
  start_window_manager
  cp "$bin/glyphtint" "$bin/glyphtint.gfx" "$work/"
  start "$work/glyphtint"
  first_pid=$pid
  first=$(wait_for_window main)
  start "$work/glyphtint"
  second=$pid
  # Two main windows and no error box: the second copy opened the glyph pack too.
  for _ in $(seq 200); do
    [ "$(visible_windows)" -ge 2 ] && break
    kill -0 "$second" 2>/dev/null || fail "the second copy ended"
    sleep 0.1
  done
  for id in $(xdotool search --onlyvisible --name "$title"); do
    is_main_window "$id" || fail "a box came with the second copy"
  done
  other=$(xdotool search --all --onlyvisible --pid "$second" --name "$title" | head -1)
  [ -n "$other" ] && [ "$other" != "$first" ] || fail "no window of the second copy"
  # In the second copy: type, then copy the picture with Ctrl+Shift+C.
  press "$other" asciicircum 1 m 0 0
  echo kept | xclip -selection clipboard
  for _ in $(seq 100); do
    xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q '^image/' && break
    xdotool windowfocus --sync "$other"
    xdotool key --clearmodifiers ctrl+shift+c
    sleep 0.2
  done
  xclip -selection clipboard -t TARGETS -o | grep -q '^image/' || fail "Ctrl+Shift+C put no picture on the clipboard"
  [ "$(visible_windows)" -eq 2 ] || fail "a box came while typing in the second copy"
  # Ctrl+Q ends each copy.
  press "$other" ctrl+q
  wait_for_exit
  pid=$first_pid
  second=
  press "$first" ctrl+q
  wait_for_exit
  ;;
*)
  fail "unknown scenario"
  ;;
esac
echo "ok ($scenario)"
