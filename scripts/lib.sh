# Shared by the run and test commands. Source it; do not run it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The one build-parallelism setting: every `cmake --build` here and in the
# presets (which name no job count) follows it. Set it beforehand to override.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# The scanner's fuzzer: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Debian packages the build, the program, the package and the tests need.
PACKAGES=(
  cmake g++ make pkg-config strace librsvg2-bin
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-translations-l10n
  xvfb xdotool x11-utils xclip imagemagick python3
  dbus dbus-daemon dbus-bin at-spi2-core python3-dbus python3-gi
  fonts-dejavu-extra
  dpkg-dev file lintian desktop-file-utils appstream man-db
  fuse python3-fusepy e2fsprogs procps
  "${FUZZ_PACKAGES[@]}"
)
# The Windows programs, cross-built with MinGW-w64 (librsvg2-bin and icoutils
# render the icon), and what makes the zip and installer from them.
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 librsvg2-bin icoutils)
WINDOWS_PACKAGE_PACKAGES=(nsis osslsigncode python3 git)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages PACKAGE...: installs whichever of them are missing; quiet
# when all are present. Says what it does on stderr, so that a script's output
# stays its own.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root apt-get update -qq >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# build_preset NAME: configures and builds with the CMake preset NAME
# (CMakePresets.json), in build/NAME.
build_preset() {
  (cd "$ROOT" && cmake --preset "$1" >/dev/null && cmake --build --preset "$1")
}

# build_windows DIR: the Windows release programs (the windows preset, built
# in DIR), bin/linksift.exe and cli/linksift-extract.exe.
build_windows() {
  (cd "$ROOT" && cmake --preset windows -B "$1" >/dev/null)
  cmake --build "$1"
}

# The release build that the run and package commands share.
build_release() {
  build_preset release
}
