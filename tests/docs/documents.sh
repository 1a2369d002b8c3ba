#!/bin/bash
# The documents tell the truth: every manual page renders without a groff warning, and the
# examples of the pages and of the README run as written.
#   - each page of packaging/man through `man --warnings`: any warning fails;
#   - the lines of each page's EXAMPLES as man shows them: each runs and succeeds;
#   - the transcripts of the README and docs/manual.md (an indented "$ command" and its
#     output) give that output;
#   - their blocks marked "run by tests/docs/documents.sh" run and succeed.
# The examples name installed paths; they run with a private copy of the tools and the
# glyph archive in place of /usr/lib/glyphtint, a scratch folder for /tmp, and a home with
# fonts/GameFont.ttf (DejaVu Sans) for ~. An example line ending in " &" starts a service:
# the lines after it run once it has printed its first line, and after the page's last
# example SIGTERM must stop it with exit status 0; its port 8080 is a free one here.
# Skipped (77) where man is missing.
# usage: documents.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin=$1
source=$2

if ! command -v man >/dev/null; then
  echo "man is missing (package man-db): skipped"
  exit 77
fi

scratch=$(mktemp -d)
service=
stop_service() {
  [ -n "$service" ] || return 0
  kill -TERM "$service" 2>/dev/null || true
  local status=0
  wait "$service" || status=$?
  service=
  return "$status"
}
trap 'stop_service || true; rm -rf "$scratch"' EXIT
mkdir "$scratch/bin" "$scratch/tmp" "$scratch/home" "$scratch/home/fonts" "$scratch/work"
cp "$bin/glyphtint-render" "$bin/glyphtint-gfx" "$bin/glyphtint-make-glyphs" "$bin/glyphtint-serve" "$bin/glyphtint.gfx" \
  "$scratch/bin/"
font=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)
[ -f "$font" ] || font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
cp "$font" "$scratch/home/fonts/GameFont.ttf"
export PATH="$scratch/bin:$PATH" HOME="$scratch/home"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run_example WHERE COMMAND: runs the command as written, with the installed paths and ~
# standing for the private ones.
run_example() {
  local where=$1 command=$2
  # /tmp/ first: the scratch folder may itself lie in /tmp.
  command=${command//\/tmp\//$scratch/tmp/}
  command=${command//\/usr\/lib\/glyphtint\//$scratch/bin/}
  command=${command//build\/bin\//$scratch/bin/}
  command=${command//\~\//$HOME/}
  command=${command//127.0.0.1:8080/127.0.0.1:$port}
  if [[ $command == *" &" ]]; then
    (cd "$scratch/work" && exec bash -c "exec ${command% &}") >"$scratch/service.out" 2>&1 &
    service=$!
    for _ in $(seq 300); do
      [ -s "$scratch/service.out" ] && return
      kill -0 "$service" 2>/dev/null || break
      sleep 0.1
    done
    fail "$where: '$2' printed no line: $(cat "$scratch/service.out")"
    stop_service || true
    return
  fi
  if ! (cd "$scratch/work" && bash -o pipefail -c "$command") >"$scratch/out" 2>&1; then
    fail "$where: '$2' failed: $(cat "$scratch/out")"
  fi
}

# A port free now, for the examples of a service.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
checked=0
for page in "$source"/packaging/man/*.1; do
  name=$(basename "$page")
  if ! MANWIDTH=200 man --warnings -E UTF-8 -l "$page" >"$scratch/page.txt" 2>"$scratch/warnings"; then
    fail "$name: man could not render it: $(cat "$scratch/warnings")"
    continue
  fi
  if [ -s "$scratch/warnings" ]; then
    fail "$name: groff warns: $(cat "$scratch/warnings")"
  fi
  # A double quote inside a word of a font macro's line is taken as a delimiter and
  # vanishes from the page (.B {"line": 1} shows {line: 1}): such text goes in .EX.
  if grep -nE '^\.(B|I|BR|BI|IB|IR|RB|RI) .*[^ ]"[^ ]' "$page" >"$scratch/quotes"; then
    fail "$name: quotes inside a font macro's word are lost: $(cat "$scratch/quotes")"
  fi
  # The example lines of the source's EXAMPLES block, as the reader sees them: each must
  # appear so in the rendered page, and run.
  while IFS= read -r line; do
    shown=$(sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\(ti/~/g' -e 's/\\(dq/"/g' -e 's/\\e/\\/g' <<<"$line")
    if ! grep -qF -- "$shown" "$scratch/page.txt"; then
      fail "$name: the example '$shown' is not shown so"
      continue
    fi
    run_example "$name" "$shown"
    checked=$((checked + 1))
  done < <(awk '/^\.SH EXAMPLES/ { examples = 1; next } /^\.SH/ { examples = 0 }
                examples && /^\.nf/ { block = 1; next } examples && /^\.fi/ { block = 0 }
                examples && block' "$page")
  if [ -n "$service" ] && ! stop_service; then
    fail "$name: the service of the examples did not exit 0 on SIGTERM: $(cat "$scratch/service.out")"
  fi
done

for readme in "$source/README.md" "$source/docs/manual.md"; do
  # Transcripts: "$ command" on an indented line, the output on the lines below it, up to a
  # blank line.
  awk '/^ +\$ / { if (command != "") print command "\n" output; sub(/^ +\$ /, ""); command = $0; output = ""; next }
       command != "" && /^ *$/ { print command "\n" output; command = ""; next }
       command != "" { sub(/^ +/, ""); output = output $0 "\n" }
       END { if (command != "") print command "\n" output }' "$readme" >"$scratch/transcripts"
  # One transcript per record: the command line, then its output, then an empty line.
  while IFS= read -r command; do
    [ -n "$command" ] || continue
    expected=""
    while IFS= read -r line && [ -n "$line" ]; do
      expected+="$line"$'\n'
    done
    # The transcript shows what the terminal shows, not the exit status (a batch with a line
    # that cannot be drawn exits 1).
    got=$(cd "$scratch/work" && bash -c "$command" 2>&1) || true
    if [ "$got"$'\n' != "$expected" ]; then
      fail "${readme#"$source/"}: '$command' printed
$got
instead of
$expected"
    fi
    checked=$((checked + 1))
  done <"$scratch/transcripts"

  # The blocks marked to be run here.
  while IFS= read -r command; do
    run_example "${readme#"$source/"}" "$command"
    checked=$((checked + 1))
  done < <(awk '/<!-- The example below is run by tests\/docs\/documents.sh. -->/ { found = 1; next }
                found && /^    / { sub(/^ +/, ""); print; started = 1; next }
                found && started { found = 0; started = 0 }' "$readme")
done

if [ "$failures" -ne 0 ]; then
  exit 1
fi
if [ "$checked" -lt 8 ]; then
  echo "FAIL: only $checked examples found" >&2
  exit 1
fi
echo "ok: $(find "$source/packaging/man" -name '*.1' | wc -l) manual pages without warnings, $checked examples run as written"
