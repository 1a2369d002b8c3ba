#!/usr/bin/env bash
# Makes the archive test fixtures with Info-ZIP zip and Python's zipfile from
# the small files in src/. Run from anywhere; writes into this folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
stamp=202401020304.05

cp -r "$here/src/." "$work/"
cd "$work"
find . -exec touch -t "$stamp" {} +

# Deflated and stored entries, an empty file, a folder entry, a mixed-case name.
rm -f "$here/mixed.zip"
zip -q -D "$here/mixed.zip" hello.txt empty.txt "Mixed Case.TXT"
zip -q "$here/mixed.zip" sub/ sub/inner.txt
zip -q -0 "$here/mixed.zip" stored.bin

# Traditional encryption, deflated and stored, password "secret".
rm -f "$here/encrypted.zip"
zip -q -D -P secret "$here/encrypted.zip" hello.txt
zip -q -D -0 -P secret "$here/encrypted.zip" stored.bin

# Entries from standard input written to a pipe: data descriptors (flag bit 3)
# and Zip64 local extra fields; the encrypted one has its check byte from the time.
zip -q - - < hello.txt | cat > "$here/stdin.zip"
zip -q -P secret - - < hello.txt | cat > "$here/stdin-encrypted.zip"

# Zip64 records forced by Info-ZIP (locator, Zip64 end record, extended
# information in the central header) and by Python's zipfile (local headers).
rm -f "$here/zip64-infozip.zip"
zip -q -D -fz "$here/zip64-infozip.zip" hello.txt stored.bin
python3 - "$here/zip64-python.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("hello.txt", "stored.bin"):
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 2, 3, 4, 6))
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(name, "rb") as src, z.open(info, "w", force_zip64=True) as dst:
            dst.write(src.read())
PY

# A program stub in front of the archive, with offsets adjusted by zip -A and
# without (offsets counting from the start of the archive).
cat stub.sh "$here/mixed.zip" > "$here/stub-unadjusted.zip"
cp "$here/stub-unadjusted.zip" "$here/stub-adjusted.zip"
zip -q -A "$here/stub-adjusted.zip"

# Glyph-sized entries (600 to 1200 bytes of JPEG-like, barely compressible
# data) for the benchmark and the fuzz corpus.
mkdir glyphs
python3 - glyphs <<'PY'
import os, random, sys
rng = random.Random(1729)
header = bytes.fromhex("ffd8ffe000104a46494600010100000100010000ffdb004300")
for i in range(64):
    size = rng.randrange(600, 1200)
    body = bytes(rng.randrange(256) if rng.random() < 0.8 else 0 for _ in range(size - len(header) - 2))
    with open(os.path.join(sys.argv[1], "g%02d.jpg" % i), "wb") as f:
        f.write(header + body + b"\xff\xd9")
PY
find glyphs -exec touch -t "$stamp" {} +
rm -f "$here/glyphs.zip"
(cd glyphs && zip -q -X -D -9 "$here/glyphs.zip" ./*.jpg)
