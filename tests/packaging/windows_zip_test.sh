#!/usr/bin/env bash
# The portable zip as a user meets it: made from the build by package.sh,
# unpacked into a fresh folder whose path is past 300 characters, both
# programs run from there under Wine; the driver on a file in that folder,
# the window writing urls.txt beside itself. (Wine's Open dialog shows no
# folder past MAX_PATH, so the window's input lies in a shorter one.)
# usage: windows_zip_test.sh SOURCE_DIR BUILD_DIR VERSION_TEXT WINE SCREENSHOT_DIR
set -euo pipefail
src="$1" build="$2" version="$3" wine="$4" shots="$5"
source "$src/tests/packaging/wine_lib.sh"

"$src/packaging/windows/package.sh" "$build" "$work/package" >"$work/package.log" 2>&1 ||
  fail "package.sh failed: $(cat "$work/package.log")"
zip="$work/package/linksift-$version-win64.zip"

# Where a user might unpack it: five folders of 60 characters deep.
unpacked="$work"
for letter in a b c d e; do unpacked+="/$(printf "$letter%.0s" $(seq 60))"; done
mkdir -p "$unpacked"
python3 -m zipfile -e "$zip" "$unpacked"
# Everything in one folder named for the version.
[ "$(ls -A "$unpacked")" = "linksift-$version" ] || fail "the zip unpacks to: $(ls -A "$unpacked")"
folder="$unpacked/linksift-$version"
[ "${#folder}" -gt 300 ] || fail "the folder's path is only ${#folder} characters"
make_prefix
cp "$input" "$folder/ссылки.txt"
[ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$folder"

# The driver, named by its full path, on a file beside it.
driver="$(windows_path "$folder/linksift-extract.exe")"
count="$(on_wine "$driver" "$(windows_path "$folder/ссылки.txt")" \
  "$(windows_path "$folder/driver-urls.txt")" 2>"$work/driver.log")" ||
  fail "linksift-extract failed: $(cat "$work/driver.log")"
count="${count%$'\r'}"  # a Windows program's line end
[ "$count" = 2 ] || fail "linksift-extract printed \"$count\", not 2"
cmp -s "$folder/driver-urls.txt" "$expected" ||
  fail "linksift-extract wrote: $(od -c "$folder/driver-urls.txt")"
echo "driver: ran from the unpacked zip in a folder of ${#folder} characters"

# The window: urls.txt beside the program.
open_in_window "$(windows_path "$folder/linksift.exe")" "$work" "$(windows_path "$input")"
wait_until test -s "$folder/urls.txt" || fail "no urls.txt beside the unpacked program"
cmp -s "$folder/urls.txt" "$expected" || fail "urls.txt holds: $(od -c "$folder/urls.txt")"
import -window root "$shots/zip-window.png"
echo "window: urls.txt beside the unpacked program; screenshot in $shots"
