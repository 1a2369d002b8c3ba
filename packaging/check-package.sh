#!/usr/bin/env bash
# Builds the Debian package and checks it from outside:
#   check-package.sh build BUILD_DIR OUT_DIR     makes OUT_DIR/glyphtint_<version>_amd64.deb with CPack
#   check-package.sh contents OUT_DIR            unpacks it into a scratch root and runs what it holds,
#                                                the service as its systemd unit would run it
#   check-package.sh lint OUT_DIR                lintian, desktop-file-validate, appstreamcli and
#                                                systemd-analyze on it
# Exits 77 (skipped) where the tools a step needs are missing.
set -euo pipefail
mode=$1
shift

fail() {
  echo "FAIL ($mode): $*" >&2
  exit 1
}
need() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$tool is missing (scripts/setup.sh installs it): skipped"
      exit 77
    fi
  done
}
package_in() {
  local found=("$1"/glyphtint_*_amd64.deb)
  [ -f "${found[0]}" ] || fail "no glyphtint_<version>_amd64.deb in $1"
  echo "${found[0]}"
}

# The maintainer scripts as dpkg runs them, on a machine whose systemd and enabled units
# are a private /run and /etc/systemd/system, with systemctl and debhelper's helpers
# replaced by stubs that record their calls: install enables and starts nothing, an
# upgrade restarts what runs, removal stops every unit and instance and removes the links
# that enabled them, and other units' links stay.
check_maintainer_scripts() {
  local deb=$1 work=$2
  mkdir "$work/control" "$work/stubs"
  dpkg-deb -e "$deb" "$work/control"
  local stub
  for stub in systemctl deb-systemd-invoke deb-systemd-helper; do
    printf '#!/bin/sh\necho "${0##*/} $*" >>"%s/calls"\n' "$work" >"$work/stubs/$stub"
    chmod +x "$work/stubs/$stub"
  done
  if ! unshare -m true 2>/dev/null; then
    echo "no mount namespace here: the maintainer scripts are not run"
    return 0
  fi
  # shellcheck disable=SC2016 # run by the inner shell
  unshare -m sh -euc '
    work=$1 control=$1/control
    export PATH="$work/stubs:$PATH"
    mount -t tmpfs none /run
    mkdir -p /etc/systemd/system
    mount -t tmpfs none /etc/systemd/system
    wants=/etc/systemd/system/multi-user.target.wants
    step() { : >"$work/calls"; "$@"; cat "$work/calls"; echo "links: $(ls "$wants" 2>/dev/null | tr "\n" " ")"; }
    echo "== no systemd"
    step "$control/postinst" configure ""
    step "$control/prerm" remove
    mkdir -p /run/systemd/system
    echo "== install"
    step "$control/postinst" configure ""
    mkdir -p "$wants"
    for name in glyphtint-serve.service glyphtint-serve@8081.service glyphtint-serve@8082.service other.service; do
      ln -s /usr/lib/systemd/system/$name "$wants/$name"
    done
    echo "== upgrade"
    step "$control/postinst" configure 0.1
    echo "== remove"
    step "$control/prerm" remove
    step "$control/postrm" remove
  ' sh "$work" >"$work/maintainer.log" 2>&1 || fail "the maintainer scripts: $(cat "$work/maintainer.log")"
  local expected
  expected=$(
    cat <<'LOG'
== no systemd
links: 
links: 
== install
systemctl --system daemon-reload
links: 
== upgrade
systemctl --system daemon-reload
deb-systemd-invoke try-restart glyphtint-serve.service glyphtint-serve@*.service
links: glyphtint-serve.service glyphtint-serve@8081.service glyphtint-serve@8082.service other.service 
== remove
deb-systemd-invoke stop glyphtint-serve.service glyphtint-serve@*.service
links: glyphtint-serve.service glyphtint-serve@8081.service glyphtint-serve@8082.service other.service 
systemctl --system daemon-reload
links: other.service 
LOG
  )
  [ "$(cat "$work/maintainer.log")" = "$expected" ] ||
    fail "the maintainer scripts did:
$(cat "$work/maintainer.log")
where this was due:
$expected"
}

# The unit is installed, enabled by nothing, and its command starts under the unit's
# sandbox as far as a container allows: as an unprivileged user, with the file system
# read-only but for the unit's cache folder, its environment and no home.
check_service_unit() {
  local deb=$1 root=$2 work=$3
  local unit="$root/usr/lib/systemd/system/glyphtint-serve.service"
  [ -f "$unit" ] || fail "no systemd unit for glyphtint-serve"
  [ -f "$root/usr/lib/systemd/system/glyphtint-serve@.service" ] || fail "no template unit glyphtint-serve@.service"
  [ -z "$(find "$root" -path '*/systemd/system/*.wants*' -print -quit)" ] || fail "the package enables a unit"
  check_maintainer_scripts "$deb" "$work"
  local exec_start environment
  exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
  environment=$(sed -n 's/^Environment=//p' "$unit")
  local program=${exec_start%% *}
  [ -x "$root$program" ] || fail "ExecStart names $program, which the package does not hold"
  grep -qx 'CacheDirectory=glyphtint-serve' "$unit" || fail "the unit has no cache folder"
  # %C is /var/cache for a system unit; CacheDirectory= makes its folder the user's.
  local cache="$work/var-cache"
  mkdir -p "$cache/glyphtint-serve"
  chown nobody:nogroup "$cache/glyphtint-serve"
  chmod 0700 "$cache/glyphtint-serve"
  chmod 0755 "$work" "$root"
  # shellcheck disable=SC2206
  local variables=(${environment//%C/$cache})
  local arguments=${exec_start#"$program"}
  arguments=${arguments//:8080/:0}
  arguments=${arguments//\$GLYPHTINT_SERVE_OPTIONS/}
  # shellcheck disable=SC2016 # $0 and $@ are the inner shell's
  local sandbox=(unshare -m sh -c 'mount --bind "$0" "$0" && mount -o remount,bind,ro / && exec "$@"' "$cache")
  if ! unshare -m true 2>/dev/null; then
    echo "no mount namespace here: the service runs without a read-only file system"
    sandbox=()
  fi
  # shellcheck disable=SC2086
  (cd / && umask 0077 && exec "${sandbox[@]}" setpriv --reuid=nobody --regid=nogroup --clear-groups \
    --no-new-privs env -i PATH=/usr/bin:/bin HOME=/nonexistent "${variables[@]}" "$root$program" $arguments) \
    >"$work/serve.out" 2>"$work/serve.err" &
  pid=$!
  local url=
  for _ in $(seq 300); do
    url=$(sed -n 's|^listening on \(http://.*/\)$|\1|p' "$work/serve.out")
    [ -n "$url" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$url" ] || fail "the service did not start under its unit's settings: $(cat "$work/serve.err")"
  python3 - "$url" <<'PYTHON' || fail "the service under its unit's settings did not serve"
import sys, urllib.request
with urllib.request.urlopen(sys.argv[1] + "strip.png?text=%5E1m00", timeout=60) as response:
    assert response.status == 200 and response.read().startswith(b"\x89PNG"), "no PNG strip"
with urllib.request.urlopen(sys.argv[1] + "healthz", timeout=60) as response:
    assert response.read() == b"ok\n", "not healthy"
PYTHON
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the service exited $status on SIGTERM: $(cat "$work/serve.err")"
}

case "$mode" in
build)
  build=$1
  out=$2
  need dpkg-deb dpkg-shlibdeps
  rm -rf "$out"
  mkdir -p "$out"
  cpack=$(sed -n 's/^CMAKE_CPACK_COMMAND:INTERNAL=//p' "$build/CMakeCache.txt")
  "${cpack:-cpack}" --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$out/cpack.log")"
  deb=$(package_in "$out")
  rm -rf "$out/_CPack_Packages"
  echo "made $deb ($(stat -c %s "$deb") bytes)"
  dpkg-deb -f "$deb" Depends
  ;;

contents)
  out=$1
  need dpkg-deb
  deb=$(package_in "$out")
  root=$(mktemp -d)
  work=$(mktemp -d)
  pid=
  cleanup() {
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$root" "$work"
  }
  trap cleanup EXIT
  dpkg-deb -x "$deb" "$root"

  for field in Package Version Architecture Maintainer Section Depends Recommends Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the control file has no $field"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libqt6widgets6 libjpeg62-turbo zlib1g libzip4 libdeflate0; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
  done
  [[ $(dpkg-deb -f "$deb" Recommends) == *qt6-wayland* ]] || fail "qt6-wayland is not recommended"

  for name in glyphtint glyphtint-render glyphtint-gfx glyphtint-make-glyphs glyphtint-serve; do
    [ "$(readlink "$root/usr/bin/$name")" = "../lib/glyphtint/$name" ] || fail "usr/bin/$name is no link to the program"
    [ -x "$root/usr/lib/glyphtint/$name" ] || fail "usr/lib/glyphtint/$name is missing"
    [ -f "$root/usr/share/man/man1/$name.1.gz" ] || fail "no manual page for $name"
  done
  for name in glyphtint-render glyphtint-gfx glyphtint-make-glyphs glyphtint-serve; do
    completion="$root/usr/share/bash-completion/completions/$name"
    bash -c "source '$completion' && complete -p $name" >/dev/null || fail "the completion for $name does not load"
  done
  for size in 16 32 48 64 128 256; do
    icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/glyphtint.png"
    [ -f "$icon" ] || fail "no ${size}px icon"
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "the ${size}px icon is $(file -b "$icon")"
  done
  [[ $(dpkg-deb -f "$deb" Description) == *glyphtint-serve* ]] || fail "the description does not name glyphtint-serve"
  for file in usr/lib/glyphtint/glyphtint.gfx usr/share/applications/glyphtint.desktop \
    usr/share/doc/glyphtint/copyright usr/share/doc/glyphtint/changelog.gz; do
    [ -f "$root/$file" ] || fail "$file is missing"
  done
  compgen -G "$root/usr/share/metainfo/*.metainfo.xml" >/dev/null || fail "no AppStream file"

  # The tools from the unpacked root, through their links, with the packed glyph archive.
  bin="$root/usr/bin"
  "$bin/glyphtint-render" --version | grep -qx "glyphtint-render $(dpkg-deb -f "$deb" Version)" ||
    fail "glyphtint-render --version"
  "$bin/glyphtint-gfx" --help | grep -q '^usage:' || fail "glyphtint-gfx --help"
  [ "$("$bin/glyphtint-render" --info '^1m00')" = $'bytes: 5\nvisible: 3\nnot drawn: 0\ntext: m00\ndescribed: m00 in red\nruns: [{"text": "m00", "colour": "#ff0408"}]' ] || fail "glyphtint-render --info"
  "$bin/glyphtint-render" --strip "$work/strip.png" '^1m00' || fail "glyphtint-render --strip"
  file -b "$work/strip.png" | grep -q '^PNG image data' || fail "the strip is no PNG file"
  "$bin/glyphtint-gfx" check "$root/usr/lib/glyphtint/glyphtint.gfx" >/dev/null || fail "the packed glyph archive fails its check"
  "$bin/glyphtint-make-glyphs" "$work/pack.gfx" >/dev/null 2>&1 || fail "glyphtint-make-glyphs"
  "$bin/glyphtint-gfx" check "$work/pack.gfx" >/dev/null || fail "the drawn pack fails its check"

  # The program itself, offscreen: once it runs it holds a read lock on its glyph archive,
  # which it does only when it found the archive beside its real file and opened it. The
  # lock belongs to the open file description (fcntl F_OFD_SETLK), so /proc/locks lists
  # it as OFDLCK on the archive's inode.
  (cd / && QT_QPA_PLATFORM=offscreen exec "$bin/glyphtint") >"$work/out" 2>"$work/err" &
  pid=$!
  inode=$(stat -c %i "$root/usr/lib/glyphtint/glyphtint.gfx")
  archive_locked() { grep -Eq "^[0-9]+: OFDLCK +ADVISORY +READ +-?[0-9]+ [0-9a-f]+:[0-9a-f]+:$inode " /proc/locks; }
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$work/err")"
    archive_locked && break
    sleep 0.1
  done
  archive_locked || fail "the program did not open its glyph archive"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=

  check_service_unit "$deb" "$root" "$work"
  ;;

lint)
  out=$1
  deb=$(package_in "$out")
  ran=0
  if command -v lintian >/dev/null; then
    ran=1
    # Errors and warnings fail; the information tags are printed for the reader.
    status=0
    report=$(lintian --fail-on error,warning -I "$deb" 2>&1) || status=$?
    grep -v '^running with root privileges' <<<"$report" || true
    [ "$status" -eq 0 ] || fail "lintian"
  fi
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  if command -v desktop-file-validate >/dev/null; then
    ran=1
    report=$(desktop-file-validate "$root/usr/share/applications/glyphtint.desktop" 2>&1) || fail "$report"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
  fi
  if command -v appstreamcli >/dev/null; then
    ran=1
    appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
  fi
  if [ "$ran" -eq 0 ]; then
    echo "lintian, desktop-file-validate and appstreamcli are missing (scripts/setup.sh installs them): skipped"
    exit 77
  fi
  # The units as systemd reads them: sandboxed no worse than 1.2 of 10, and every line
  # valid, with the command and manual page taken from the unpacked package; the template
  # as its instance for port 8081.
  need systemd-analyze
  mkdir "$root/verify"
  units="$root/usr/lib/systemd/system"
  for name in glyphtint-serve.service glyphtint-serve@8081.service; do
    unit="$root/verify/$name"
    sed "s|^ExecStart=/usr/|ExecStart=$root/usr/|" "$units/${name/@8081/@}" >"$unit"
    report=$(systemd-analyze security --offline=true --threshold=12 "$unit" 2>&1) ||
      fail "$name is exposed above 1.2: $(tail -1 <<<"$report")"
    exposure=$(sed -n 's/^.*Overall exposure level for [^:]*: \([0-9.]*\) .*$/\1/p' <<<"$report")
    [ -n "$exposure" ] || fail "systemd-analyze security: $report"
    echo "exposure of $name: $exposure"
    report=$(MANPATH="$root/usr/share/man" systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $report"
    [ -z "$report" ] || fail "systemd-analyze verify: $report"
  done
  ;;
*)
  fail "unknown mode"
  ;;
esac
echo "ok ($mode)"
