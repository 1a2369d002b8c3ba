#!/bin/bash
# Builds glyphtint-serve's container image from the Debian package: the package made from
# BUILD_DIR (in BUILD_DIR/oci/deb), a minimal Debian root made by mmdebstrap with it
# installed, packed by make-oci.py into an archive that `podman load` and `docker load`
# read, tagged glyphtint-serve:VERSION.
#   build-image.sh BUILD_DIR OUT.tar VERSION CACHE_DIR [SUITE MIRROR]
# Two builds of one source against one state of the mirror give the same bytes: every
# time stamp, the package's included, is SOURCE_DATE_EPOCH (the date of the package's
# changelog), and what differs from host to host or from run to run is removed.
# CACHE_DIR keeps the downloaded packages, and the archive is rebuilt only when the
# package or these files changed (GLYPHTINT_OCI_REBUILD=1 builds it anyway).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
out=$2
version=$3
cache=$4
suite=${5:-bookworm}
mirror=${6:-http://deb.debian.org/debian}

for tool in mmdebstrap python3; do
  command -v "$tool" >/dev/null || {
    echo "$tool is missing (scripts/setup.sh installs it)" >&2
    exit 2
  }
done
SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*>  //p' "$here/../changelog" | head -1)" +%s)
export SOURCE_DATE_EPOCH
"$here/../check-package.sh" build "$build" "$build/oci/deb"
deb=$(realpath "$build/oci/deb/glyphtint_${version}_amd64.deb")

key=$(cat "$deb" "$here/build-image.sh" "$here/make-oci.py" "$here/entrypoint.sh" "$here/healthcheck.sh" \
  <(echo "$version $suite $mirror") | sha256sum | cut -d' ' -f1)
if [ "${GLYPHTINT_OCI_REBUILD:-0}" != 1 ] && [ -f "$out" ] && [ "$(cat "$out.key" 2>/dev/null)" = "$key" ]; then
  echo "$out is up to date"
  exit 0
fi

mkdir -p "$cache"
# The security archive beside the mirror: deb.debian.org/debian-security, or the same
# snapshot of snapshot.debian.org/archive/debian-security.
security=${mirror/\/debian/\/debian-security}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mmdebstrap --mode=root --variant=minbase --format=tar \
  --include="fonts-dejavu-core,$deb" \
  --hook-dir=/usr/share/mmdebstrap/hooks/file-mirror-automount \
  --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
  --setup-hook="sync-in $cache /var/cache/apt/archives/" \
  --customize-hook="sync-out /var/cache/apt/archives $cache" \
  --customize-hook='rm -rf "$1"/var/cache/apt/archives/*.deb "$1"/var/cache/fontconfig/*' \
  --customize-hook='rm -f "$1"/etc/resolv.conf "$1"/etc/hostname' \
  --customize-hook='rm -rf "$1"/usr/share/man "$1"/usr/share/info "$1"/usr/share/locale' \
  --customize-hook='find "$1"/usr/share/doc -type f ! -name copyright -delete' \
  --customize-hook='echo "glyphtint:x:10001:10001:glyphtint-serve:/nonexistent:/usr/sbin/nologin" >>"$1/etc/passwd"' \
  --customize-hook='echo "glyphtint:x:10001:" >>"$1/etc/group"' \
  --customize-hook="copy-in $here/entrypoint.sh $here/healthcheck.sh /usr/local/lib" \
  "$suite" "$work/root.tar" \
  "deb $mirror $suite main" "deb $mirror $suite-updates main" \
  "deb $security $suite-security main"

python3 "$here/make-oci.py" "$work/root.tar" "$work/image.tar" "$version"
mv "$work/image.tar" "$out"
echo "$key" >"$out.key"
echo "made $out: $(stat -c %s "$out") bytes, $(python3 "$here/make-oci.py" --digest "$out")"
