#!/usr/bin/env bash
# linksift.exe under Wine as a desktop starts it: with a FILE on its command
# line it runs at once and writes urls.txt beside itself, from text in UTF-16
# as PowerShell and Notepad save it too; from a program
# folder that cannot be written to it writes to %LOCALAPPDATA%\Linksift and
# shows that path. Wine creates files in a folder whatever its read-only
# attribute (as Windows does: that protection is the folder's access rights),
# so the folder is made read-only on the Linux side, with a read-only bind
# mount, which needs root; without root that part is skipped.
# usage: desktop_wine.sh EXE SCREENSHOT_DIR WINE   (WINEPREFIX set by the caller)
set -euo pipefail
exe="$1" shots="$2" wine="$3"
source "$(dirname "$0")/../end_to_end_lib.sh"
mounted=""
clean_up_more() {
  stop_wineserver
  [ -z "$mounted" ] || umount "$mounted" || true
  rm -rf "$data"
}
start_wine_display
printf 'see HTTP://Ab/Cd, next\r\nnothing here\r\n' >"$work/ссылки.txt"
printf 'HTTP://Ab/Cd\r\n' >"$work/expected.txt"
# %LOCALAPPDATA% of the prefix's user.
data="$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -1)/Linksift"
rm -rf "$data"

# run FOLDER [FILE]: linksift.exe in FOLDER, started on FILE (the prepared file).
run() {
  "$wine" "$1/linksift.exe" "$(windows_path "${2:-$work/ссылки.txt}")" >"$program_log" 2>&1 &
  app=$!
  pids+=("$app")
  await_window
}
close() {
  # As a window manager's close button: WM_DELETE_WINDOW, which Wine turns into WM_CLOSE.
  python3 "$(dirname "$0")/../qt/close_window.py" "$window" || fail "could not ask the window to close"
  ended() { ! kill -0 "$app" 2>/dev/null; }
  wait_until ended || fail "the program went on after its window was closed"
}

# A FILE on the command line: the run starts with the window.
mkdir "$work/program"
cp "$exe" "$work/program/linksift.exe"
run "$work/program"
wait_until test -s "$work/program/urls.txt" || fail "no urls.txt beside the program"
cmp "$work/program/urls.txt" "$work/expected.txt" || fail "urls.txt holds: $(od -c "$work/program/urls.txt")"
sleep 1
import -window root "$shots/command-line.png"
[ ! -e "$data" ] || fail "the data folder was used though the program folder can be written to"
close
echo "command line: urls.txt beside the program"

# Text as Windows writes it in UTF-16LE with the mark FF FE: PowerShell 5's `>`
# (every line ended CR LF) and Notepad's "Unicode" (the last line unended).
# The links come out in UTF-8.
utf16le() { printf '\xFF\xFE' && printf "$1" | iconv -t UTF-16LE; }
utf16le 'Ссылки\r\nhttp://пример.рф/путь, дальше\r\nsee HTTP://Example.org/A.\r\n' >"$work/powershell.txt"
printf 'http://пример.рф/путь\r\nHTTP://Example.org/A\r\n' >"$work/powershell-expected.txt"
utf16le 'Заметка http://例え.jp/頁 x\r\nhttp://a/\xF0\x9F\x98\x80' >"$work/unicode.txt"
printf 'http://例え.jp/頁\r\nhttp://a/\xF0\x9F\x98\x80\r\n' >"$work/unicode-expected.txt"
for name in powershell unicode; do
  rm -f "$work/program/urls.txt"
  run "$work/program" "$work/$name.txt"
  wait_until test -s "$work/program/urls.txt" || fail "no urls.txt from $name.txt"
  cmp "$work/program/urls.txt" "$work/$name-expected.txt" ||
    fail "urls.txt from $name.txt holds: $(od -c "$work/program/urls.txt")"
  sleep 1
  import -window root "$shots/$name.png"
  close
  echo "$name.txt, UTF-16LE: its links in UTF-8"
done

if [ "$(id -u)" = 0 ]; then
  mkdir "$work/readonly"
  cp "$exe" "$work/readonly/linksift.exe"
  mount --bind "$work/readonly" "$work/readonly" && mounted="$work/readonly"
  mount -o remount,ro,bind "$work/readonly" || fail "cannot make the program folder read-only"
  run "$work/readonly"
  wait_until test -s "$data/urls.txt" || fail "no urls.txt in %LOCALAPPDATA%\\Linksift ($data)"
  cmp "$data/urls.txt" "$work/expected.txt" || fail "urls.txt in the data folder holds other bytes"
  sleep 1
  import -window root "$shots/read-only-folder.png"
  close
  echo "read-only program folder: urls.txt in $data"
else
  echo "SKIPPED the read-only program folder: a read-only bind mount needs root"
fi
echo "PASS"
