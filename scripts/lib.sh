# Shared by the run and test commands. Source it; do not run it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The one build-parallelism setting: every `cmake --build` here and in the
# presets (which name no job count) follows it. Set it beforehand to override.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# Debian packages each command needs, split so that running or packaging the
# program installs nothing the tests alone use. An entry "a|b" is met by
# either package and, when neither is there, installs a.
# Building and running the program (scripts/run): the compiler, CMake, Qt and
# Qt's Russian texts, and rsvg-convert for the icon.
RUN_PACKAGES=(cmake g++ make pkg-config librsvg2-bin qt6-base-dev qt6-translations-l10n)
# Making the Debian package from that build (scripts/package debian): CPack
# asks dpkg-shlibdeps for the dependencies and file which files to strip.
DEBIAN_PACKAGE_PACKAGES=(dpkg-dev file)
# The scanner's fuzzer: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The tests, on top of both (scripts/test): GoogleTest, a private X server, a
# window manager and a session bus with the accessibility bus, the package's
# checkers, and FUSE for the failing disks, with fuse3, what Debian 12's
# desktops have, or the older fuse where that is in.
TEST_PACKAGES=(
  strace libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils xclip imagemagick python3
  dbus dbus-daemon dbus-bin at-spi2-core python3-dbus python3-gi gir1.2-atspi-2.0 openbox
  fonts-dejavu-extra
  lintian desktop-file-utils appstream man-db
  "fuse3|fuse" python3-fusepy e2fsprogs procps
  "${FUZZ_PACKAGES[@]}"
)
# scripts/screenshot: the program under a private X server, photographed.
SCREENSHOT_PACKAGES=(xvfb xdotool x11-utils imagemagick fonts-dejavu-extra)
# The Windows programs, cross-built with MinGW-w64 (librsvg2-bin and icoutils
# render the icon), and what makes the zip and installer from them.
WINDOWS_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 librsvg2-bin icoutils)
WINDOWS_PACKAGE_PACKAGES=(nsis osslsigncode python3 git)
# The Windows tests under Wine (scripts/test-windows), on top of both.
WINDOWS_TEST_PACKAGES=(g++ googletest openssl wine64 xvfb xauth xdotool xclip x11-utils imagemagick
  fonts-dejavu-core)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# package_installed PACKAGE: true when dpkg has it installed.
package_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# ensure_packages PACKAGE...: installs whichever of them are missing; quiet
# when all are present. Says what it does on stderr, so that a script's output
# stays its own. It never removes a package: when one is in the way, apt
# refuses and this says which. With LINKSIFT_LIST_PACKAGES=1 it only lists
# the packages asked for, one a line, and the script ends there.
ensure_packages() {
  if [ "${LINKSIFT_LIST_PACKAGES:-}" = 1 ]; then
    printf '%s\n' "$@"
    exit 0
  fi
  local missing=() entry pkg met
  for entry in "$@"; do
    met=0
    for pkg in ${entry//|/ }; do package_installed "$pkg" && met=1 && break; done
    ((met)) || missing+=("${entry%%|*}")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root apt-get update -qq >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install --no-remove -y -qq \
    --no-install-recommends "${missing[@]}" >&2 || {
    explain_refusal "${missing[@]}"
    return 1
  }
}

# explain_refusal PACKAGE...: after a refused install, names the packages that
# installing these would have removed, and what to do.
explain_refusal() {
  local removed
  # A simulation (-s) of the install without --no-remove, to name what it would remove.
  removed="$(apt-get -s install --no-install-recommends "$@" 2>/dev/null |
    sed -n 's/^Remv \([^ ]*\).*/\1/p' | tr '\n' ' ')"
  if [ -n "$removed" ]; then
    echo "Not installed: installing $* would remove ${removed% }, and setting up never removes" \
      "a package. To go on, install $* yourself if you mean to lose ${removed% }, and run this" \
      "again." >&2
  else
    echo "Not installed: apt-get could not install $* (see above)." >&2
  fi
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
