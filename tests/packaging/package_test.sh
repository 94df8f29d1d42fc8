#!/usr/bin/env bash
# Builds the Debian package with scripts/package and checks it as a user would
# meet it: its contents (and that `cmake --install` puts the same files in
# place), lintian, then installs it on this machine with apt, validates the
# installed desktop entry, metainfo and manual pages, runs the installed
# programs as an unprivileged user (the driver on a sample file, the window
# under Xvfb, and the window as root: urls.txt in the data folder either way,
# never in /usr/bin) and removes the package again, checking that every file
# went.
# Needs root (or sudo without a password) for apt; says it skips without.
# Usage: package_test.sh SOURCE_DIR VERSION_TEXT APP_ID SCREENSHOT_DIR
set -euo pipefail
src="$1" version="$2" id="$3" shots="$4"
readonly USER_NAME=nobody GROUP_NAME=nogroup
failure_name=package-failure
source "$src/tests/window/end_to_end_lib.sh"
chmod 755 "$work"
installed=0
# A urls.txt that a wrong run leaves in /usr/bin would fail every later run.
[ -e /usr/bin/urls.txt ] && stray_before=1 || stray_before=0
clean_up_more() {
  if ((installed)); then as_root apt-get remove -y -qq linksift >/dev/null 2>&1 || true; fi
  ((stray_before)) || as_root rm -f /usr/bin/urls.txt 2>/dev/null || true
}

if [ "$(id -u)" -eq 0 ]; then
  as_root() { "$@"; }
elif sudo -n true 2>/dev/null; then
  as_root() { sudo -n "$@"; }
else
  echo "package test: SKIPPED, installing the package needs root or sudo without a password"
  exit 0
fi
require_tools "run scripts/test, which installs it" \
  dpkg-deb lintian desktop-file-validate appstreamcli man Xvfb xdotool xprop import identify setpriv
if dpkg-query -W -f='${Status}' linksift 2>/dev/null | grep -q 'install ok installed'; then
  fail "linksift is installed on this machine; this test installs and removes its own package: sudo apt remove linksift"
fi


# --- The package and what it holds -------------------------------------------
"$src/scripts/package" debian >"$work/package.log" 2>&1 || fail "scripts/package failed: $(tail -20 "$work/package.log")"
deb="$src/build/package/linksift_${version}-1_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$src/build/package")"

expected=(
  usr/bin/linksift
  usr/bin/linksift-extract
  "usr/share/applications/$id.desktop"
  "usr/share/metainfo/$id.metainfo.xml"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  usr/share/man/man1/linksift.1.gz
  usr/share/man/man1/linksift-extract.1.gz
  usr/share/doc/linksift/README.md
  usr/share/doc/linksift/copyright
  usr/share/doc/linksift/changelog.Debian.gz
)
icon_sizes=(16 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x$size/apps/$id.png"); done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort >"$work/contents"
diff -u "$work/expected" "$work/contents" || fail "the package holds other files than expected"
echo "package: $(wc -l <"$work/contents") files"

# The install rules alone, with a prefix of the user's choosing, give the same files.
cmake --install "$src/build/release" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . ! -type d | sed 's|^\./|usr/|' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "cmake --install puts other files in place"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version-1" ] || fail "Version is $(field Version)"
# No address unless a packager gives the project's own (LINKSIFT_HOMEPAGE).
[ -z "$(field Homepage)" ] || fail "the package names a home page: $(field Homepage)"
dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/metainfo/$id.metainfo.xml" >"$work/metainfo.xml"
! grep -Eq '<url |https?://' "$work/metainfo.xml" ||
  fail "the metainfo names an address: $(grep -E '<url |https?://' "$work/metainfo.xml")"
# Computed from the programs' libraries, with their versions.
depends=", $(field Depends),"
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  [[ "$depends" == *", $lib ("* ]] || fail "Depends lacks $lib with a version: $(field Depends)"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/linksift/copyright | grep -q '^License: Expat' ||
  fail "the copyright file names no licence"

lintian "$deb" >"$work/lintian.log" 2>&1 || true
sed 's/^/  lintian: /' "$work/lintian.log"
! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"

# --- Installed as a user would ------------------------------------------------
as_root apt-get install --no-remove -y -qq -o DPkg::Lock::Timeout=600 "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get install failed: $(cat "$work/apt.log")"
installed=1
for file in "${expected[@]}"; do [ -f "/$file" ] || fail "/$file is not installed"; done
desktop="/usr/share/applications/$id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
appstreamcli validate --pedantic --no-net "/usr/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli validate"
# "Open with" can start it on a file, but it claims no type: never the default
# program for text files.
grep -q '^Exec=linksift %f$' "$desktop" || fail "the desktop entry takes no file"
! grep -q "$id.desktop" /usr/share/applications/mimeinfo.cache 2>/dev/null ||
  fail "claims a type in mimeinfo.cache: $(grep "$id" /usr/share/applications/mimeinfo.cache)"
dpkg-query -W -f='${Depends}' linksift | grep -q qt6-translations-l10n ||
  fail "no dependency on Qt's translations"
for page in linksift linksift-extract; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man $page finds $(man -w "$page")"
  MANWIDTH=80 man --warnings -l "/usr/share/man/man1/$page.1.gz" >"$work/man.txt" 2>"$work/man.err" ||
    fail "man $page does not render"
  [ ! -s "$work/man.err" ] || fail "man $page warns: $(cat "$work/man.err")"
  grep -q "EXIT STATUS" "$work/man.txt" || fail "man $page has no EXIT STATUS"
done
for size in "${icon_sizes[@]}"; do
  got="$(identify -format '%wx%h' "/usr/share/icons/hicolor/${size}x$size/apps/$id.png")"
  [ "$got" = "${size}x$size" ] || fail "the ${size}x$size icon is $got"
done

# --- Run by an unprivileged user -------------------------------------------------
home="$work/home"
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
chown -R "$USER_NAME:$GROUP_NAME" "$home"
as_user=(setpriv --reuid="$USER_NAME" --regid="$GROUP_NAME" --clear-groups
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" LANG=C.UTF-8)
printf 'see HTTP://Example.org/A, next\r\nno link here\r\na http://one.example/x; http://two.example/y end\r\n' >"$home/links.txt"
printf 'HTTP://Example.org/A\r\nhttp://one.example/x\r\n' >"$work/expected-urls"
chown "$USER_NAME:$GROUP_NAME" "$home/links.txt"

# The driver, from the PATH.
(cd "$home" && "${as_user[@]}" linksift-extract links.txt urls.txt) >"$work/count" 2>"$work/extract.err" ||
  fail "linksift-extract failed: $(cat "$work/extract.err")"
[ "$(cat "$work/count")" = 2 ] || fail "linksift-extract printed $(cat "$work/count")"
cmp "$work/expected-urls" "$home/urls.txt" || fail "linksift-extract wrote other bytes"
# The program's folder is not the user's to write to.
if (cd "$home" && "${as_user[@]}" linksift-extract links.txt /usr/bin/urls.txt) >/dev/null 2>"$work/extract.err"; then
  fail "linksift-extract wrote into /usr/bin"
fi
[ -s "$work/extract.err" ] || fail "linksift-extract failed without saying why"
[ ! -e /usr/bin/urls.txt ] || fail "/usr/bin/urls.txt exists"

# The window, on a private X server.
start_xvfb
# Started as "Open with" starts it: on a file, which it runs at once.
"${as_user[@]}" DISPLAY="$DISPLAY" linksift "$home/links.txt" >"$program_log" 2>&1 &
app=$!
pids+=("$app")
await_window
[ "$(ps -o user= -p "$app")" = "$USER_NAME" ] || fail "the program runs as $(ps -o user= -p "$app")"
[ "$(readlink "/proc/$app/exe")" = /usr/bin/linksift ] || fail "the program is $(readlink "/proc/$app/exe")"
# On X11 the dock finds the desktop entry, and so the icon, by the window's class.
class="$(xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')"
wm_class="$(sed -n 's/^StartupWMClass=//p' "$desktop")"
[ -n "$class" ] && [ "$class" = "$wm_class" ] || fail "window class \"$class\", desktop entry \"$wm_class\""
# Its own icon, small for the title bar and large for a dock.
icons="$(xprop -id "$window" _NET_WM_ICON | sed -n 's/.*Icon (\([0-9]*\) x [0-9]*).*/\1/p' | sort -n)"
[ "$(head -n1 <<<"$icons")" = 16 ] && (($(tail -n1 <<<"$icons") >= 64)) ||
  fail "the window's icon comes in sizes $(echo $icons)"
# /usr/bin is not the user's to write to: urls.txt goes to the user's data folder.
data_urls="$home/.local/share/linksift/urls.txt"
wait_until test -f "$data_urls" || fail "no urls.txt in the user's data folder $data_urls"
cmp "$work/expected-urls" "$data_urls" || fail "urls.txt in the data folder holds other bytes"
[ ! -e /usr/bin/urls.txt ] || fail "/usr/bin/urls.txt exists"
sleep 1
import -window "$window" "$shots/installed.png"
(($(identify -format %k "$shots/installed.png") > 8)) || fail "the window shows nothing"
kill "$app"
wait "$app" 2>/dev/null || true

# --- Run by root ------------------------------------------------------------------
# Root may write in /usr/bin, but a package's folder is the package manager's:
# urls.txt goes to root's data folder all the same.
root_home="$work/root-home"
mkdir -m 700 "$root_home"
as_root env -i PATH=/usr/bin:/bin HOME="$root_home" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
  linksift "$home/links.txt" >"$program_log" 2>&1 &
app=$!
pids+=("$app")
await_window
wait_until test -f "$root_home/.local/share/linksift/urls.txt" ||
  fail "root's run left no urls.txt in root's data folder"
cmp "$work/expected-urls" "$root_home/.local/share/linksift/urls.txt" ||
  fail "root's urls.txt holds other bytes"
[ ! -e /usr/bin/urls.txt ] || fail "root's run wrote /usr/bin/urls.txt"
as_root kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "root: urls.txt in root's data folder, nothing in /usr/bin"

# --- Removed --------------------------------------------------------------------
as_root apt-get remove -y -qq -o DPkg::Lock::Timeout=600 linksift >"$work/apt.log" 2>&1 ||
  fail "apt-get remove failed: $(cat "$work/apt.log")"
installed=0
! dpkg-query -W -f='${Status}' linksift 2>/dev/null | grep -q installed || fail "linksift is still known to dpkg"
for file in "${expected[@]}"; do [ ! -e "/$file" ] || fail "/$file is left after removal"; done
[ ! -e /usr/share/doc/linksift ] || fail "/usr/share/doc/linksift is left after removal"
! grep -q "$id.desktop" /usr/share/applications/mimeinfo.cache 2>/dev/null ||
  fail "mimeinfo.cache still offers it"
echo "package $(basename "$deb"): built, installed, run by $USER_NAME and removed"
