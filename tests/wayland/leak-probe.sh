#!/usr/bin/env bash
# In sanitizer builds: the suppressions of under-weston.sh hide only the system libraries'
# leaks. A block that the test itself leaks while the window shows on Wayland is reported,
# and it is the only leak reported. usage: leak-probe.sh TEST_WAYLAND
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
output=$(GLYPHTINT_LEAK_PROBE=1 ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1" \
  "$here/under-weston.sh" "$1" --gtest_filter='*LeakProbe*' 2>&1)
status=$?
[ "$status" -eq 77 ] && exit 77
if [ "$status" -eq 0 ] || ! grep -q 'Direct leak of 4321 byte(s) in 1 object(s)' <<<"$output"; then
  echo "FAIL: the probe's own leak of 4321 bytes was not reported (exit status $status):" >&2
  echo "$output" >&2
  exit 1
fi
if [ "$(grep -c 'leak of' <<<"$output")" -ne 1 ]; then
  echo "FAIL: leaks other than the probe's were reported:" >&2
  echo "$output" >&2
  exit 1
fi
echo "ok: the probe's leak reported under Wayland, and nothing else"
