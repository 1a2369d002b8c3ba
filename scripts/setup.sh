# Installs the Debian packages glyphtint needs, only when one is missing, and
# configures and builds the project. Sourced by ./run and ./test.

# What building and running the program needs: ./run installs these and nothing more.
glyphtint_run_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev zlib1g-dev libdeflate-dev libzip-dev
  # libzip's CMake package names these three programs and fails to load without them
  zipcmp zipmerge ziptool
  # the font the shipped glyph archive is drawn from; the window's native Wayland plugin
  fonts-dejavu-core qt6-wayland
  # glyphtint-serve: its HTTP server and the SHA-256 of its cache tags
  libmicrohttpd-dev nettle-dev
)

# What ./test adds: the test and benchmark libraries and every tool a test drives.
glyphtint_test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2 zip python3
  # numbers read and written under a German locale, whose decimal point is a comma
  locales-all
  xvfb xauth xdotool x11-utils xclip openbox
  # glyphtint-serve's benchmark (bench/serve-bench.sh)
  wrk
  # glyphtint-serve's web page tested in a real browser
  chromium chromium-driver python3-selenium
  clang libclang-rt-14-dev
  # the style checks of the tests
  clang-format clang-tidy
  # the Debian package and its checks; a headless compositor for the window on Wayland
  dpkg-dev file lintian desktop-file-utils appstream
  weston
  # the manual pages rendered with groff's warnings (tests/docs/documents.sh)
  man-db
  # the window read over AT-SPI as a screen reader reads it (tests/e2e/atspi-*)
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi dbus
  # glyphtint-serve's unit checked by systemd-analyze, its examples' client, nginx in front
  systemd curl nginx-light
  # the service's container image: a Debian root made and run (tests of packaging/oci)
  podman runc mmdebstrap
  # the Kubernetes example read as YAML (docs/deploy.md)
  python3-yaml
)

# glyphtint_install_packages PACKAGE...: installs those of the packages that are missing.
glyphtint_install_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# glyphtint_configure DIR [cmake options...]
glyphtint_configure() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
}

# glyphtint_build DIR [cmake options...]: configures and builds everything.
glyphtint_build() {
  glyphtint_configure "$@"
  cmake --build "$1"
}
