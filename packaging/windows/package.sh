#!/usr/bin/env bash
# Makes the Windows packages from a finished Windows build (scripts/package
# runs it): the portable linksift-<version>-win64.zip and the installer
# linksift-<version>-setup.exe, both with the programs stripped, and signed
# when LINKSIFT_SIGN_CERT and LINKSIFT_SIGN_PASSWORD are set (see sign.sh).
# Every file time is SOURCE_DATE_EPOCH (by default the last commit's time), so
# that two builds of one commit give the same bytes.
# usage: package.sh BUILD_DIR OUT_DIR
set -euo pipefail
build="$1" out="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# version, version_numbers, copyright, release_date, window_exe (the zip's),
# installed_window_exe (the installer's), driver_exe, icon, strip
source "$build/packaging/windows/package.env"
files=(linksift.exe linksift-extract.exe README.txt LICENSE.txt)
zip="$out/linksift-$version-win64.zip"
setup="$out/linksift-$version-setup.exe"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$here" log -1 --format=%ct 2>/dev/null ||
    date -u -d "$release_date" +%s)"
fi
# strip stamps the PE header with it, rather than with the time it runs.
export SOURCE_DATE_EPOCH
sign=()
if [ -n "${LINKSIFT_SIGN_CERT:-}" ] && [ -n "${LINKSIFT_SIGN_PASSWORD+set}" ]; then
  sign=("$here/sign.sh")
elif [ -n "${LINKSIFT_SIGN_CERT:-}${LINKSIFT_SIGN_PASSWORD:-}" ]; then
  echo "package.sh: signing needs both LINKSIFT_SIGN_CERT and LINKSIFT_SIGN_PASSWORD" >&2
  exit 1
else
  echo "Unsigned: the Windows programs and installer (to sign, set LINKSIFT_SIGN_CERT and LINKSIFT_SIGN_PASSWORD)"
fi

mkdir -p "$out"
stage="$out/windows-stage"
rm -rf "$stage"
mkdir -p "$stage/installed"
trap 'rm -rf "$stage"' EXIT
# The build keeps its symbols for debugging; a download has no use for them.
"$strip" --strip-all -o "$stage/linksift.exe" "$window_exe"
"$strip" --strip-all -o "$stage/installed/linksift.exe" "$installed_window_exe"
"$strip" --strip-all -o "$stage/linksift-extract.exe" "$driver_exe"
# Text as Notepad reads it on any Windows: CR LF, and UTF-8 marked as such.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/README.txt" |
  { printf '\xef\xbb\xbf'; cat; } >"$stage/README.txt"
sed -e 's/$/\r/' "$here/../../LICENSE" >"$stage/LICENSE.txt"
for program in linksift.exe linksift-extract.exe installed/linksift.exe; do
  [ "${#sign[@]}" -eq 0 ] || "${sign[@]}" "$stage/$program"
done
for file in "${files[@]}" installed/linksift.exe; do touch -d "@$SOURCE_DATE_EPOCH" "$stage/$file"; done

rm -f "$zip" "$setup"
python3 - "$zip" "$SOURCE_DATE_EPOCH" "$stage" "linksift-$version" "${files[@]}" <<'PYTHON'
import sys, time, zipfile

zip_name, epoch, stage, top, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5:]
# The same bytes every time: given order, one time (zip's start is 1980), no owner.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(zip_name, "w") as archive:
    for name in names:
        # In a folder of their own, as unpacking "here" should leave them.
        entry = zipfile.ZipInfo(f"{top}/{name}", stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 0  # MS-DOS
        entry.external_attr = 0x20  # archive
        with open(f"{stage}/{name}", "rb") as file:
            archive.writestr(entry, file.read(), compresslevel=9)
PYTHON

# makensis keeps the files' times (all SOURCE_DATE_EPOCH) and adds none of its own.
defines=(-DVERSION="$version" -DVERSION_NUMBERS="$version_numbers" -DCOPYRIGHT="$copyright"
  -DSTAGE="$stage" -DICON="$icon" -DOUTFILE="$setup")
[ "${#sign[@]}" -eq 0 ] || defines+=(-DSIGN="\"${sign[0]}\"")
makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$here/linksift.nsi" >"$stage/makensis.log" 2>&1 || {
  cat "$stage/makensis.log" >&2
  exit 1
}
[ "${#sign[@]}" -eq 0 ] || "${sign[@]}" "$setup"
echo "Built: $zip"
echo "Built: $setup"
