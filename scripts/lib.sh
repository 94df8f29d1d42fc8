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
  xvfb xdotool x11-utils imagemagick python3
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

# Installs whatever of PACKAGES is missing; quiet when all are present.
# Says what it does on stderr, so that a script's output stays its own.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root apt-get update -qq >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir"
}

# build_windows DIR: the Windows release programs, bin/linksift.exe and
# cli/linksift-extract.exe in DIR.
build_windows() {
  configure_and_build "$1" --preset windows
}

# The release build that the run and package commands share.
build_release() {
  configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DLINKSIFT_BUILD_TESTS=OFF \
    -DLINKSIFT_BUILD_GUI=ON
}
