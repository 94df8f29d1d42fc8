#!/usr/bin/env bash
# Two clean Windows builds of this source, each packaged by
# `scripts/package windows` in a folder of its own, give the same bytes:
# the programs, the zip and the installer. The zip holds what a user needs:
# the stripped programs, the README in Russian and English, the licence, in a
# fixed order with one time, the last commit's.
# usage: windows_reproducible_test.sh SOURCE_DIR VERSION_TEXT WORK_DIR
set -euo pipefail
src="$1" version="$2" work="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"

for copy in one two; do
  # Unsigned: a signature holds the time it was made.
  env -u LINKSIFT_SIGN_CERT -u LINKSIFT_SIGN_PASSWORD LINKSIFT_WINDOWS_BUILD_DIR="$work/$copy/build" \
    LINKSIFT_PACKAGE_DIR="$work/$copy/package" "$src/scripts/package" windows >"$work/$copy.log" 2>&1 ||
    fail "scripts/package windows failed: $(tail -20 "$work/$copy.log")"
done
[ "$(grep -c '^Unsigned: ' "$work/one.log")" = 1 ] ||
  fail "no one line on the missing signature: $(cat "$work/one.log")"

zip="linksift-$version-win64.zip" setup="linksift-$version-setup.exe"
for file in build/bin/linksift.exe build/installed/linksift.exe build/cli/linksift-extract.exe \
  "package/$zip" "package/$setup"; do
  cmp "$work/one/$file" "$work/two/$file" || fail "two builds differ in $file"
done
echo "two builds: the programs, $zip and $setup are the same bytes"

# The zip: names, order, times and attributes.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct)}"
python3 - "$work/one/package/$zip" "$epoch" "$version" <<'PYTHON' || fail "the zip's entries are not as made"
import sys, time, zipfile

top = "linksift-" + sys.argv[3] + "/"
names = [top + name for name in ["linksift.exe", "linksift-extract.exe", "README.txt", "LICENSE.txt"]]
stamp = time.gmtime(int(sys.argv[2]))[:6]
entries = zipfile.ZipFile(sys.argv[1]).infolist()
assert [e.filename for e in entries] == names, [e.filename for e in entries]
for e in entries:
    # A zip keeps even seconds.
    assert e.date_time[:5] == stamp[:5] and e.date_time[5] == stamp[5] // 2 * 2, (e.filename, e.date_time)
    assert e.create_system == 0 and e.external_attr == 0x20, e.filename
PYTHON
python3 -m zipfile -e "$work/one/package/$zip" "$work/unpacked"
ln -s "$work/unpacked/linksift-$version" "$work/unzipped"

# Stripped: no symbols or debug sections, unlike the build's own programs.
for built in bin/linksift.exe cli/linksift-extract.exe; do
  program="${built#*/}" built="$work/one/build/$built"
  sections="$(x86_64-w64-mingw32-objdump -h "$work/unzipped/$program")"
  ! grep -q '\.debug_' <<<"$sections" || fail "$program in the zip has debug sections"
  x86_64-w64-mingw32-objdump -t "$work/unzipped/$program" | grep -q 'no symbols' ||
    fail "$program in the zip has symbols"
  echo "$program: $(stat -c %s "$built") bytes built, $(stat -c %s "$work/unzipped/$program") in the zip"
done

# Text for Notepad: CR LF throughout; the README says where urls.txt goes in both languages.
for text in README.txt LICENSE.txt; do
  ! grep -qv $'\r$' "$work/unzipped/$text" || fail "$text has lines without CR LF"
done
cmp -s <(tr -d '\r' <"$work/unzipped/LICENSE.txt") "$src/LICENSE" || fail "LICENSE.txt is not the licence"
readme="$(tr -d '\r' <"$work/unzipped/README.txt")"
for phrase in $'\xef\xbb\xbfLinksift '"$version" 'Где urls.txt' 'Where urls.txt goes' \
  '%LOCALAPPDATA%\Linksift\urls.txt' "linksift-$version-setup.exe" 'MIT'; do
  grep -qF "$phrase" <<<"$readme" || fail "README.txt lacks \"$phrase\""
done
echo "zip: four entries in order at $(date -u -d "@$epoch" '+%F %T'), stripped programs, README and licence"
