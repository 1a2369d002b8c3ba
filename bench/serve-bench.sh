#!/usr/bin/env bash
# glyphtint-serve under wrk, each figure beside glyphtint-render --batch on the same
# cores in the same run: distinct names a second over keep-alive connections, 304s a
# second, p99 latency at 64 connections, and resident memory after 10 000 and 100 000
# distinct names. /healthz is the cost of HTTP alone, and its p99 is taken again while
# every renderer draws long texts. wrk does not wait the Retry-After
# of a 503, so at 64 connections the 503s are counted apart, and the p99 covers them too.
# usage: bench/serve-bench.sh BIN_DIR [SECONDS]
set -euo pipefail
bin=$(cd "$1" && pwd)
seconds=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
cores=$(nproc)
scratch=$(mktemp -d)
server=
# KEEP=DIR keeps wrk's own reports there.
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; [ -n "${KEEP:-}" ] && cp "$scratch"/[a-z0-9]* "$KEEP"/ 2>/dev/null; rm -rf "$scratch"' EXIT

command -v wrk >/dev/null || { echo "wrk is not installed (scripts/setup.sh installs it)" >&2; exit 1; }

start_server() {
  "$bin/glyphtint-serve" --listen 127.0.0.1:0 >"$scratch/log" 2>"$scratch/err" &
  server=$!
  for _ in $(seq 600); do
    port=$(sed -n '1s|^listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$scratch/log")
    if [ -n "$port" ]; then
      base="http://127.0.0.1:$port"
      return 0
    fi
    sleep 0.05
  done
  echo "glyphtint-serve did not start: $(cat "$scratch/err")" >&2
  exit 1
}

stop_server() {
  kill -TERM "$server"
  wait "$server" || true
  server=
}

rss_kb() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$server/status"
}

# wrk's figure: requests a second, or a latency percentile in milliseconds.
rate() { awk '/^Requests\/sec:/ { print $2 }' "$1"; }
p99_ms() {
  awk '$1 == "99%" { v = $2; if (v ~ /us$/) print v / 1000; else if (v ~ /ms$/) print v + 0; else print v * 1000 }' "$1"
}
# Answers that were neither 2xx nor 3xx, and socket errors, as wrk counts them.
# Answers a second that were 2xx or 3xx (a 503 is quick: it must not count as a name).
served_rate() {
  awk '/ requests in / { n = $1; t = $4 + 0 } /Non-2xx or 3xx/ { bad += $NF } END { printf "%.0f", (n - bad) / t }' "$1"
}
refused() { awk '/Non-2xx or 3xx/ { n += $NF } /Socket errors/ { print } END { print n + 0 " not 2xx/3xx" }' "$1"; }

# The baseline: the batch, one process per core, each with its share of names made as
# serve-names.lua makes them.
python3 - "$scratch" "$cores" <<'PY'
import sys
characters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-.!"
codes = "0123456789abcdefghijklmnopqrstuvwxyz"
folder, cores = sys.argv[1], int(sys.argv[2])
seed = 16
def nxt(below):
    global seed
    seed = (seed * 1664525 + 1013904223) % 2**32
    return (seed >> 8) % below
for core in range(cores):
    with open("%s/names%d" % (folder, core), "w") as f:
        for count in range(1, 10001):
            name = characters[core] + "".join(characters[count // 62**k % 62] for k in (3, 2, 1, 0))
            length = 14 + nxt(11)
            while len(name) < length:
                if nxt(100) < 15 and len(name) + 2 < length:
                    name += "^" + codes[nxt(len(codes))]
                else:
                    name += characters[nxt(len(characters))]
            f.write(name + "\n")
PY
# The better of two runs: the first also fills the page cache and the disk's folders.
batch_rate=0
for run in 1 2; do
  rm -rf "$scratch"/batch*
  started=$(date +%s.%N)
  for core in $(seq 0 $((cores - 1))); do
    "$bin/glyphtint-render" --batch "$scratch/batch$core" <"$scratch/names$core" >/dev/null &
  done
  wait
  batch_rate=$(echo "$started $(date +%s.%N) $cores $batch_rate" |
    awk '{ r = 10000 * $3 / ($2 - $1); if (r < $4) r = $4; printf "%.0f", r }')
done

start_server
wrk -t2 -c4 -d"${seconds}s" "$base/healthz" >"$scratch/healthz"
wrk -t2 -c4 -d"${seconds}s" -s "$here/serve-names.lua" "$base" >"$scratch/names"
wrk -t2 -c64 -d"${seconds}s" --latency -s "$here/serve-names.lua" "$base" >"$scratch/names64"
tag=$(python3 -c '
import http.client, sys
c = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]))
c.request("GET", "/strip.png?text=%5E1m00")
print(c.getresponse().getheader("ETag"))' "$port")
wrk -t2 -c16 -d"${seconds}s" -H "If-None-Match: $tag" "$base/strip.png?text=%5E1m00" >"$scratch/304"
wrk -t2 -c16 -d"${seconds}s" "$base/strip.png?text=%5E1m00" >"$scratch/same"
# Health checks while every renderer draws long texts (two connections a renderer).
long_text=$(python3 -c 'print("%5E1W%5E2M" * 680)')
wrk -t1 -c$((2 * cores)) -d"${seconds}s" "$base/strip.png?scale=4&text=$long_text" >"$scratch/long" &
drawing=$!
sleep 1
wrk -t1 -c4 -d"$((seconds > 3 ? seconds - 2 : 1))s" --latency "$base/healthz" >"$scratch/healthz-busy"
wait "$drawing"
stop_server

# Memory: a fresh server, read after 10 000 distinct names and after 100 000 (its access
# log counts the answers).
start_server
wrk -t2 -c4 -d3600s -s "$here/serve-names.lua" "$base" >/dev/null &
client=$!
answered() { while [ "$(wc -l <"$scratch/log")" -le "$1" ]; do sleep 0.2; done; }
answered 10000
rss10k=$(rss_kb)
answered 100000
rss100k=$(rss_kb)
kill "$client"
wait "$client" || true
stop_server

names_rate=$(rate "$scratch/names")
cat <<REPORT
cores                          $cores
batch names/s ($cores processes)    $batch_rate
/healthz requests/s            $(rate "$scratch/healthz")   ($(refused "$scratch/healthz" | tr '\n' ' '))
distinct names/s, 4 conns      $names_rate   ratio to batch $(awk -v a="$names_rate" -v b="$batch_rate" 'BEGIN { printf "%.2f", a / b }')   ($(refused "$scratch/names" | tr '\n' ' '))
distinct names/s, 64 conns     $(served_rate "$scratch/names64") of $(rate "$scratch/names64") answers   p99 $(p99_ms "$scratch/names64") ms   ($(refused "$scratch/names64" | tr '\n' ' '))
304 requests/s, 16 conns       $(rate "$scratch/304")   ($(refused "$scratch/304" | tr '\n' ' '))
distinct names / 304s          $(awk -v a="$names_rate" -v b="$(rate "$scratch/304")" 'BEGIN { printf "%.2f", a / b }')
long texts/s, $((2 * cores)) conns        $(rate "$scratch/long")   ($(refused "$scratch/long" | tr '\n' ' '))
/healthz p99 beside them       $(p99_ms "$scratch/healthz-busy") ms   ($(refused "$scratch/healthz-busy" | tr '\n' ' '))
same name 200/s, 16 conns      $(rate "$scratch/same")
RSS after 10 000 names         $rss10k kB
RSS after 100 000 names        $rss100k kB   ratio $(awk -v a="$rss100k" -v b="$rss10k" 'BEGIN { printf "%.3f", a / b }')
REPORT
