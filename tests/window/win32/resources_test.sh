#!/usr/bin/env bash
# Reads the icon, the version block and the manifest back from linksift.exe.
# usage: resources_test.sh EXE ICO VERSION_TEXT NUMERIC_VERSION (e.g. 1,0,0,2) LICENSE
set -euo pipefail
exe="$1" ico="$2" version="$3" numeric="$4" license="$5"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The icon group, put back together as an .ico, is the one rendered from the SVG drawing.
wrestool -x --type=14 -o "$work/group.ico" "$exe"
size="$(stat -c %s "$ico")"
# wrestool pads what it writes with zeros.
cmp -n "$size" "$work/group.ico" "$ico" || fail "the icon in the .exe differs from $ico"
[ -z "$(tail -c +"$((size + 1))" "$work/group.ico" | tr -d '\0')" ] || fail "more icon data than in $ico"
listing="$(icotool -l "$ico")"
echo "$listing"
for side in 16 24 32 48 64 256; do
  grep -q -- "--width=$side --height=$side --bit-depth=32 " <<<"$listing" || fail "no ${side}x$side 32-bit image"
done

# The version block: the numbers in VS_FIXEDFILEINFO, the texts in UTF-16.
wrestool -x --raw --type=16 -o "$work/version.bin" "$exe"
hex="$(od -An -v -tx1 "$work/version.bin" | tr -d ' \n')"
fixed="${hex#*bd04effe}"
[ "$fixed" != "$hex" ] || fail "no VS_FIXEDFILEINFO signature"
IFS=, read -r major minor patch tweak <<<"$numeric"
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
want="$(le32 $((minor | major << 16)))$(le32 $((tweak | patch << 16)))"
[ "${fixed:8:16}" = "$want" ] || fail "FileVersion numbers ${fixed:8:16}, want $want ($numeric)"
[ "${fixed:24:16}" = "$want" ] || fail "ProductVersion numbers ${fixed:24:16}, want $want ($numeric)"
# Each key ends a run of text and its value follows after NUL padding.
texts="$(iconv -f UTF-16LE -t UTF-8 -c <"$work/version.bin" | tr -s '\0' '\n')"
text_of() { awk -v key="$1" 'found { print; exit } $0 ~ (key "$") { found = 1 }' <<<"$texts"; }
for key in FileVersion ProductVersion; do
  value="$(text_of "$key")"
  [ "$value" = "$version" ] || fail "$key is \"$value\", not \"$version\""
done
copyright="$(grep -m1 '^Copyright ' "$license")"
[ "$(text_of LegalCopyright)" = "$copyright, MIT License" ] ||
  fail "LegalCopyright is \"$(text_of LegalCopyright)\", not \"$copyright, MIT License\" from the licence"
for pair in CompanyName=Linksift OriginalFilename=linksift.exe ProductName=Linksift; do
  value="$(text_of "${pair%%=*}")"
  [ "$value" = "${pair#*=}" ] || fail "${pair%%=*} is \"$value\", not \"${pair#*=}\""
done

# The manifest: the same version, per-monitor dpi awareness, long paths and common controls 6.
wrestool -x --raw --type=24 -o "$work/manifest.xml" "$exe"
grep -q "name=\"Linksift\" version=\"${numeric//,/.}\"" "$work/manifest.xml" ||
  fail "manifest version is not ${numeric//,/.}"
grep -q 'PerMonitorV2' "$work/manifest.xml" || fail "manifest lacks PerMonitorV2"
# Names past MAX_PATH work on a system that allows them (the file layer's \\?\ covers the rest).
grep -q '<longPathAware [^>]*>true</longPathAware>' "$work/manifest.xml" || fail "manifest lacks longPathAware"
grep -q 'Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$work/manifest.xml" ||
  grep -q 'name="Microsoft.Windows.Common-Controls"' "$work/manifest.xml" || fail "manifest lacks common controls 6"

# One executable for the GUI subsystem that needs nothing beyond the system's DLLs.
headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI program"
extra="$(grep 'DLL Name' <<<"$headers" | grep -viE 'kernel32|user32|gdi32|comctl32|comdlg32|msvcrt|advapi32|shell32|ole32' || true)"
[ -z "$extra" ] || fail "depends on more than the system: $extra"
echo "icon, version $version ($numeric), manifest and imports as expected"
