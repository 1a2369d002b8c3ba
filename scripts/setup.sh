# Installs the Debian packages glyphtint needs, only when one is missing, and
# configures and builds the project. Sourced by ./run and ./test.

glyphtint_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg62-turbo-dev zlib1g-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev libzip-dev
  # libzip's CMake package names these three programs and fails to load without them
  zipcmp zipmerge ziptool
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth xdotool x11-utils xclip openbox
  zip python3
  # glyphtint-serve: its HTTP server and the SHA-256 of its cache tags
  libmicrohttpd-dev nettle-dev
  # its benchmark (bench/serve-bench.sh)
  wrk
  # glyphtint-serve's web page tested in a real browser
  chromium chromium-driver python3-selenium
  clang libclang-rt-14-dev
  # the style checks of the tests
  clang-format clang-tidy
  # the Debian package and its checks; Qt's Wayland plugin and a headless compositor
  dpkg-dev file lintian desktop-file-utils appstream
  qt6-wayland weston
  # the manual pages rendered with groff's warnings (tests/docs/documents.sh)
  man-db
  # the window read over AT-SPI as a screen reader reads it (tests/e2e/atspi-*)
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-gi dbus
  # glyphtint-serve's unit checked by systemd-analyze, its examples' client, nginx in front
  systemd curl nginx-light
)

glyphtint_install_packages() {
  local missing=()
  local pkg
  for pkg in "${glyphtint_packages[@]}"; do
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
