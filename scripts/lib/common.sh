# Shared by the set-up scripts: installs missing Debian packages and builds a preset.

ZORBLET_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Packages the game and its highscore service need to build and run (zlib for the game
# records).
ZORBLET_BUILD_PACKAGES=(
  cmake g++ ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev fonts-liberation
  libcurl4-openssl-dev libmicrohttpd-dev libsqlite3-dev libhiredis-dev curl libxxhash-dev
  librsvg2-bin zlib1g-dev libssl-dev
)
# What scripts/bench-server needs on top: the HTTP load generator, sqlite3 to check a
# backup, and Redis for --store redis.
ZORBLET_BENCH_PACKAGES=(wrk sqlite3 redis-server)
# What the tests need on top: GoogleTest, and Google Benchmark for the benchmarks built
# beside the tests, an X server to play in, a window manager for its fullscreen, tools to
# drive and look at it, clang with its libFuzzer runtime for the fuzzers, the validators
# of the desktop entry, the AppStream file and the manual pages, the Prometheus client
# library whose parser reads the service's metrics, a JSON parser for the API's replies,
# and Chromium with its driver and Selenium for the list's page in a real browser, and
# Redis for the list shared by several instances.
ZORBLET_TEST_PACKAGES=(
  libgtest-dev libbenchmark-dev libx11-dev xvfb xdotool imagemagick x11-utils sox openbox
  clang libclang-rt-14-dev
  desktop-file-utils appstream man-db python3-prometheus-client
  nlohmann-json3-dev chromium chromium-driver python3-selenium redis-server
)
# What scripts/package needs on top: Debian's build flags and library dependencies, the
# package checker, systemd's unit checker (with man, for the unit's Documentation=), and
# for trying the installed packages an X server, xdotool, ImageMagick and strace.
ZORBLET_PACKAGE_PACKAGES=(
  dpkg-dev file lintian systemd man-db xvfb xdotool imagemagick strace
)

# What the watch page's viewer needs on top: Debian's emscripten for its WebAssembly
# module (which brings clang, lld, binaryen and node), dpkg-source to unpack the Debian
# source of zlib it builds for the browser (scripts/lib/fetch-debian-source), and
# Chromium with its driver and Selenium to test the page (scripts/test-wasm).
ZORBLET_WASM_PACKAGES=(emscripten dpkg-dev chromium chromium-driver python3-selenium)

# Installs whichever of the given packages are missing; quick when none is.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one CMake preset.
build_preset() {
  local preset=$1
  (cd "$ZORBLET_ROOT" &&
    cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$(nproc)")
}
