#!/bin/bash
# Runs the README's example that spreads a name list over cores with xargs -P, on four
# shards, and checks that the shards' pictures are those of one batch over the whole list
# and that a failed line shows in the exit status.
# usage: batch-shards.sh BIN_DIR README
set -euo pipefail
bin=$1
readme=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A private copy of the tool and its archive, so that no other test's lock meets ours.
mkdir "$scratch/bin" "$scratch/work"
cp "$bin/glyphtint-render" "$bin/glyphtint.gfx" "$scratch/bin/"
export PATH="$scratch/bin:$PATH"

example=$(awk '/<!-- The example below is run by tests\/tools\/batch-shards.sh. -->/ { found = 1; next }
               found && /^      / { print substr($0, 7); started = 1; next }
               found && started { exit }' "$readme")
if [ -z "$example" ]; then
    echo "no example found in $readme" >&2
    exit 1
fi

cd "$scratch/work"
# Four shards whatever the machine has, so that batches do run side by side.
nproc() { echo 4; }
for i in $(seq 1 400); do
    echo "^$((i % 10))name $i"
done >names.txt
glyphtint-render --batch whole <names.txt >whole.json

eval "$example"

line=0
for shard in shard-*.txt; do
    report=${shard%.txt}.json
    count=$(wc -l <"$shard")
    if [ "$(wc -l <"$report")" -ne "$count" ] || grep -q '"error"' "$report"; then
        echo "$report does not report every line of $shard" >&2
        exit 1
    fi
    for i in $(seq 1 "$count"); do
        picture=$(printf '%06d.png' "$i")
        whole=$(printf 'whole/%06d.png' $((line + i)))
        cmp -s "${shard%.txt}/$picture" "$whole" || { echo "${shard%.txt}/$picture differs from $whole" >&2; exit 1; }
    done
    line=$((line + count))
done
if [ "$line" -ne 400 ] || [ "$(ls shard-*.txt | wc -l)" -ne 4 ]; then
    echo "the shards hold $line lines in $(ls shard-*.txt | wc -l) files" >&2
    exit 1
fi

# A line that cannot be drawn makes its batch, and so xargs, exit non-zero.
rm -rf shard-* && printf 'a\n^1\nb\nc\n' >names.txt
if eval "$example" 2>/dev/null; then
    echo "a failed line went unnoticed" >&2
    exit 1
fi
echo "ok: 400 names over 4 shards, identical to one batch"
