#!/usr/bin/env bash
# The installer as a user meets it: made from the build by package.sh and
# signed with a throwaway certificate, installed silently under Wine as an
# ordinary user, checked (files, signatures, Start menu shortcut, uninstall
# key), its driver run once, its window writing urls.txt in
# %LOCALAPPDATA%\Linksift though Program Files can be written to, then the
# program folder made read-only as Program Files is on Windows, and
# uninstalled silently: nothing of it is left, and the user's urls.txt stays.
# usage: windows_installer_test.sh SOURCE_DIR BUILD_DIR VERSION_TEXT WINE SCREENSHOT_DIR
set -euo pipefail
src="$1" build="$2" version="$3" wine="$4" shots="$5"
source "$src/tests/packaging/wine_lib.sh"

# --- Signed packages ---------------------------------------------------------
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Linksift test signer" -days 2 \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout pass:throwaway
package() {
  env -u LINKSIFT_SIGN_PASSWORD -u LINKSIFT_SIGN_TIMESTAMP_URL LINKSIFT_SIGN_CERT="$work/cert.p12" \
    "$@" "$src/packaging/windows/package.sh" "$build" "$work/package"
}
package >"$work/package.log" 2>&1 && fail "signing went ahead without a password"
grep -q 'needs both LINKSIFT_SIGN_CERT and LINKSIFT_SIGN_PASSWORD' "$work/package.log" ||
  fail "no clear word on the missing password: $(cat "$work/package.log")"
package LINKSIFT_SIGN_PASSWORD=throwaway >"$work/package.log" 2>&1 ||
  fail "package.sh failed: $(cat "$work/package.log")"
! grep -q Unsigned "$work/package.log" || fail "signed packages reported as unsigned"
setup="$work/package/linksift-$version-setup.exe"
python3 -m zipfile -e "$work/package/linksift-$version-win64.zip" "$work/unpacked"
ln -s "$work/unpacked/linksift-$version" "$work/unzipped"

signed() {
  osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q 'Subject: /CN=Linksift test signer' "$work/verify.log" ||
    fail "$1 has no valid signature: $(tail -5 "$work/verify.log")"
}
for file in "$setup" "$work/unzipped/linksift.exe" "$work/unzipped/linksift-extract.exe"; do
  signed "$file"
done
echo "signing: installer and both programs signed"

# --- Install -----------------------------------------------------------------
make_prefix
installed="$prefix/drive_c/Program Files/Linksift"
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Linksift.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Linksift'
# What the install may touch, to see that the uninstall leaves it as it was.
state() { (cd "$prefix/drive_c" && find "Program Files" ProgramData users | sort); }
state >"$work/before.txt"
# .txt's default program, whatever the prefix has (reg fails where it has none).
txt_default() { on_wine reg query 'HKLM\Software\Classes\.txt' /ve 2>&1 | tr -d '\r' || true; }
txt_default_before="$(txt_default)"

on_wine "$(windows_path "$setup")" /S || fail "the silent install failed"
wine_settle
[ -d "$installed" ] || fail "nothing in Program Files\\Linksift"
[ "$(ls "$installed" | sort | tr '\n' ' ')" = \
  "LICENSE.txt README.txt linksift-extract.exe linksift.exe uninstall.exe " ] ||
  fail "installed: $(ls "$installed")"
cmp -s "$installed/linksift-extract.exe" "$work/unzipped/linksift-extract.exe" ||
  fail "linksift-extract.exe differs from the zip's"
# The installer's own build of the program, which writes urls.txt in the data folder.
cmp -s "$installed/linksift.exe" "$work/unzipped/linksift.exe" && fail "linksift.exe is the zip's"
signed "$installed/linksift.exe"
signed "$installed/uninstall.exe"
[ -s "$shortcut" ] || fail "no Start menu shortcut"
LC_ALL=C grep -aq 'Linksift\\linksift.exe' "$shortcut" || fail "the shortcut leads elsewhere"

# reg query prints "    NAME    TYPE    VALUE" lines.
on_wine reg query "$key" >"$work/key.txt" 2>&1 || fail "no uninstall key: $(cat "$work/key.txt")"
value() { awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }' "$work/key.txt" | tr -d '\r'; }
expect_value() { [ "$(value "$1")" = "$2" ] || fail "$1 is \"$(value "$1")\", not \"$2\""; }
expect_value DisplayName Linksift
expect_value DisplayVersion "$version"
expect_value Publisher Linksift
expect_value DisplayIcon 'C:\Program Files\Linksift\linksift.exe,0'
expect_value UninstallString '"C:\Program Files\Linksift\uninstall.exe"'
size_kib=$(($(value EstimatedSize)))
files_kib=$(($(cat "$installed"/* | wc -c) / 1024))
((size_kib >= files_kib - 8 && size_kib <= files_kib + 8)) ||
  fail "EstimatedSize is $size_kib KiB, the files $files_kib KiB"
# "Open with" for .txt offers the program; .txt's default is not touched.
open_with_keys=(
  'HKLM\Software\Classes\Applications\linksift.exe\SupportedTypes|.txt'
  'HKLM\Software\Classes\Applications\linksift.exe\shell\open\command|"C:\Program Files\Linksift\linksift.exe" "%1"'
  'HKLM\Software\Classes\Linksift.txt\shell\open\command|"C:\Program Files\Linksift\linksift.exe" "%1"'
  'HKLM\Software\Classes\.txt\OpenWithProgids|Linksift.txt'
)
for entry in "${open_with_keys[@]}"; do
  on_wine reg query "${entry%%|*}" >"$work/key.txt" 2>&1 || fail "no ${entry%%|*}: $(cat "$work/key.txt")"
  tr -d '\r' <"$work/key.txt" | grep -qF -- "${entry#*|}" || fail "${entry%%|*} lacks ${entry#*|}: $(cat "$work/key.txt")"
done
echo "install: files, signed uninstaller, shortcut, uninstall key ($size_kib KiB) and Open with in place"

# --- Run ---------------------------------------------------------------------
mkdir "$work/out"
[ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$work/out"
folder='C:\Program Files\Linksift'
driver="$folder\linksift-extract.exe"
count="$(on_wine "$driver" "$(windows_path "$input")" "$(windows_path "$work/out/urls.txt")" \
  2>"$work/driver.log")" || fail "the installed linksift-extract failed: $(cat "$work/driver.log")"
[ "${count%$'\r'}" = 2 ] || fail "the installed linksift-extract printed \"$count\", not 2"
cmp -s "$work/out/urls.txt" "$expected" || fail "it wrote: $(od -c "$work/out/urls.txt")"

data="$(on_wine winepath -u 'C:\users' | tr -d '\r')/$(on_wine cmd /c 'echo %USERNAME%' | tr -d '\r')"
data+="/AppData/Local/Linksift"
# Wine lets the user write in Program Files, as an administrator may on
# Windows: the installed program writes in %LOCALAPPDATA%\Linksift all the same.
open_in_window "$folder\linksift.exe" "$work" "$(windows_path "$input")"
wait_until test -s "$data/urls.txt" || fail "no urls.txt in %LOCALAPPDATA%\\Linksift"
cmp -s "$data/urls.txt" "$expected" || fail "urls.txt holds: $(od -c "$data/urls.txt")"
[ ! -e "$installed/urls.txt" ] || fail "the installed program wrote urls.txt in Program Files"
import -window root "$shots/installed-window.png"
close_window
echo "window: urls.txt in %LOCALAPPDATA%\\Linksift, none in Program Files; screenshot in $shots"

# Program Files as on Windows: the user cannot write there.
chmod a-w "$installed"
on_wine "$driver" "$(windows_path "$input")" "$folder\urls.txt" \
  >/dev/null 2>"$work/driver.log" && fail "the user could write in Program Files\\Linksift"
echo "run: the installed driver works; Program Files\\Linksift is read-only for the user"
cp "$data/urls.txt" "$work/data-urls.txt"

# --- Uninstall ---------------------------------------------------------------
chmod u+w "$installed"  # the uninstaller runs as an administrator on Windows
on_wine "$folder\uninstall.exe" /S || fail "the silent uninstall failed"
wine_settle  # it runs on from a copy of itself in the temporary folder
[ ! -e "$installed" ] || fail "left in Program Files\\Linksift: $(ls -A "$installed")"
[ ! -e "$shortcut" ] || fail "the Start menu shortcut is left"
on_wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall key is left"
for gone in 'HKLM\Software\Classes\Applications\linksift.exe' 'HKLM\Software\Classes\Linksift.txt'; do
  on_wine reg query "$gone" >/dev/null 2>&1 && fail "$gone is left"
done
on_wine reg query 'HKLM\Software\Classes\.txt\OpenWithProgids' 2>/dev/null | grep -q Linksift &&
  fail "Linksift is left in .txt's OpenWithProgids"
[ "$(txt_default)" = "$txt_default_before" ] ||
  fail ".txt's default program changed"
echo "uninstall: Open with for .txt gone, .txt's default as before"
cmp -s "$data/urls.txt" "$work/data-urls.txt" || fail "the uninstall took the user's urls.txt"
# Beyond the temporary folders and the user's data folder.
state | diff "$work/before.txt" - | grep '^[<>]' |
  grep -Ev '/Temp(/|$)|/AppData/Local/Linksift(/urls.txt)?$' >"$work/changes.txt" || true
[ ! -s "$work/changes.txt" ] || fail "the uninstall left changes: $(cat "$work/changes.txt")"
echo "uninstall: nothing left; the user's urls.txt kept"
