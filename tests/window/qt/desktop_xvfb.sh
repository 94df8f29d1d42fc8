#!/usr/bin/env bash
# The real program as a desktop starts it, in a private X server: with a FILE
# on its command line (as "Open with" does), from a folder whose name is not
# UTF-8, on a FILE saved as UTF-16, from a folder the user cannot write to (as
# root only: the program is run as nobody), and with urls.txt a FIFO that nobody reads (Esc ends the
# run, closing ends the program) or whose reader leaves (an error box, not a
# dead program), or a link to one of the program's own descriptors (an error
# box), and after "--" a name Qt would take for an option; last, under a
# window manager (openbox), an error box over the window. Screenshots go to
# SCREENSHOT_DIR.
# Usage: desktop_xvfb.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail

program="$(realpath "$1")" shots="$2"
source "$(dirname "$0")/../end_to_end_lib.sh"
close_window="$(dirname "$0")/close_window.py"
require_tools "packages xvfb, xdotool, imagemagick, python3" Xvfb xdotool import compare identify convert python3
start_xvfb
mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
echo 'leak:libdbus-1.so' >"$work/leaks.supp"
input="$work/links.txt"
printf 'see HTTP://Example.org/A, next\r\nno link here\r\n' >"$input"
printf 'HTTP://Example.org/A\r\n' >"$work/expected"

# start FOLDER [PREFIX...] -- FILE: the program copied into FOLDER, started on FILE.
start() {
  local folder="$1"
  shift
  local prefix=()
  while [ "$1" != "--" ]; do prefix+=("$1") && shift; done
  shift
  env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
    LSAN_OPTIONS="suppressions=$work/leaks.supp" "${prefix[@]}" "$folder/linksift" "$@" \
    >"$program_log" 2>&1 &
  app=$!
  pids+=("$app")
  await_window --pid "$app"
}
ended() { ! kill -0 "$app" 2>/dev/null; }
# close_and_time: closes the window; `took` is how long the program took to end, in ms.
close_and_time() {
  python3 "$close_window" "$window" || fail "could not ask the window to close"
  local begin=$(date +%s%N) status=0
  wait_until ended || fail "the program went on after its window was closed"
  took=$((($(date +%s%N) - begin) / 1000000))
  wait "$app" || status=$?
  ((status == 0)) || fail "the program ended with status $status"
}
copy_into() { mkdir -p "$1" && cp "$program" "$1/linksift"; }

# 1. A FILE on the command line, from a folder named in bytes that are not UTF-8.
odd="$work/x"$'\xff'
copy_into "$odd"
root_had_urls=0
[ -e /urls.txt ] && root_had_urls=1
start "$odd" -- "$input"
wait_until test -f "$odd/urls.txt" || fail "no urls.txt beside the program in $odd"
cmp "$work/expected" "$odd/urls.txt" || fail "urls.txt holds other bytes"
((root_had_urls == 1)) || [ ! -e /urls.txt ] || fail "urls.txt was written at the root"
capture_stable "$window" "$shots/odd-folder.png" || fail "the window never settled"
close_and_time
echo "odd folder: closed in $took ms"

# 1b. A FILE saved as UTF-16LE with its mark, as Windows saves "Unicode" text:
# its links, in UTF-8.
{ printf '\xFF\xFE'; printf 'Ссылка: http://пример.рф/путь, дальше\r\nnone\r\n' | iconv -t UTF-16LE; } \
  >"$work/unicode.txt"
copy_into "$work/unicode"
start "$work/unicode" -- "$work/unicode.txt"
wait_until test -f "$work/unicode/urls.txt" || fail "no urls.txt from the UTF-16 file"
[ "$(cat "$work/unicode/urls.txt")" = $'http://пример.рф/путь\r' ] ||
  fail "urls.txt from the UTF-16 file holds $(od -c "$work/unicode/urls.txt")"
capture_stable "$window" "$shots/utf16.png" || fail "the window never settled"
close_and_time
echo "UTF-16 file: its link in UTF-8"

# 2. A program folder the user cannot write to: root owns it, nobody runs it.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  chmod 755 "$work"
  chmod 644 "$input"
  copy_into "$work/system"
  home="$work/home"
  mkdir -p "$home"
  chown nobody:nogroup "$home" "$work/runtime"
  start "$work/system" setpriv --reuid=nobody --regid=nogroup --clear-groups env -u XDG_DATA_HOME \
    HOME="$home" -- "$input"
  data_urls="$home/.local/share/linksift/urls.txt"
  wait_until test -f "$data_urls" || fail "no urls.txt in the user's data folder $data_urls"
  cmp "$work/expected" "$data_urls" || fail "urls.txt in the data folder holds other bytes"
  [ "$(ls -A "$work/system")" = linksift ] || fail "written beside the program too: $(ls -A "$work/system")"
  capture_stable "$window" "$shots/data-folder.png" || fail "the window never settled"
  close_and_time
  echo "data folder: closed in $took ms"
  chown root:root "$work/runtime"
else
  echo "SKIPPED the read-only program folder: it needs root to run the program as nobody"
fi

# 3. urls.txt a FIFO nobody reads: the run waits; Esc ends it within a second.
copy_into "$work/fifo"
mkfifo "$work/fifo/urls.txt"
start "$work/fifo" -- "$input"
wait_until bar_in_place_of_label "$window" || fail "no progress bar while urls.txt has no reader"
mv "$work/probe.png" "$shots/fifo-waiting.png"
xdotool key Escape
bar_gone() { ! bar_in_place_of_label "$window"; }
# How soon is bench/window_close_time.sh's to measure; here, that it ends at all.
wait_until bar_gone || fail "Esc did not end a run waiting on a FIFO"
kill -0 "$app" || fail "the program ended after Esc"
close_and_time
# ... and closing the window during such a run ends the program.
start "$work/fifo" -- "$input"
wait_until bar_in_place_of_label "$window" || fail "no progress bar on the second FIFO run"
close_and_time
echo "FIFO without a reader: closed in $took ms"
[ "$(ls -A "$work/fifo" | tr '\n' ' ')" = "linksift urls.txt " ] || fail "left behind: $(ls -A "$work/fifo")"

# 4. urls.txt a FIFO whose reader leaves after a few bytes: an error box, and
# the program lives on.
for i in $(seq 200000); do printf 'a http://example.org/%d b\r\n' "$i"; done >"$work/many.txt"
head -c 100 "$work/fifo/urls.txt" >/dev/null &
reader=$!
pids+=("$reader")
start "$work/fifo" -- "$work/many.txt"
wait_until find_box || fail "no error box when the reader of urls.txt left"
kill -0 "$app" || fail "the program died when the reader of urls.txt left"
capture_stable root "$shots/broken-pipe.png" || fail "the error box never settled"
box_has_keyboard() { [ "$(xdotool getwindowfocus)" = "$box" ]; }
# dismiss_box_and_close: the error box has the keyboard and goes with Enter;
# then the window is closed and timed.
dismiss_box_and_close() {
  wait_until box_has_keyboard || fail "the error box did not take the keyboard"
  xdotool key Return
  wait_until box_gone || fail "the error box did not close"
  close_and_time
}
dismiss_box_and_close
echo "FIFO whose reader left: closed in $took ms"

# 5. urls.txt a link to a descriptor the program was not given (3: its
# connection to the display; 7, one of its own): an error box, and the link
# and its descriptor left alone.
for descriptor in 3 7; do
  copy_into "$work/fd$descriptor"
  ln -s "/dev/fd/$descriptor" "$work/fd$descriptor/urls.txt"
  start "$work/fd$descriptor" -- "$input"
  wait_until find_box || fail "no error box for urls.txt linked to /dev/fd/$descriptor"
  capture_stable root "$shots/fd$descriptor.png" || fail "the error box never settled"
  [ "$(readlink "$work/fd$descriptor/urls.txt")" = "/dev/fd/$descriptor" ] ||
    fail "urls.txt linked to /dev/fd/$descriptor was replaced"
  dismiss_box_and_close
done
echo "urls.txt a link to the program's own descriptors: refused"

# 6. After "--" a name is a file's, never one of Qt's options: -reverse would
# mirror the window. The same run by another name shows the very same window.
copy_into "$work/dashes"
cp "$input" "$work/-reverse"
cd "$work"
start "$work/dashes" -- -- -reverse
wait_until test -f "$work/dashes/urls.txt" || fail "'linksift -- -reverse' wrote no urls.txt"
capture_stable "$window" "$shots/after-dashes.png" || fail "the window never settled"
close_and_time
start "$work/dashes" -- "$work/-reverse"
capture_stable "$window" "$shots/by-path.png" || fail "the window never settled"
close_and_time
same "$shots/after-dashes.png" "$shots/by-path.png" || fail "'-- -reverse' changed the window"
cd - >/dev/null
# 7. Under a window manager, which puts the window where it likes (openbox
# centres it), the error box about a FILE from the command line shows over the
# window, not in a corner of the screen.
if command -v openbox >/dev/null; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  managed() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
  wait_until managed || fail "openbox did not start: $(cat "$work/openbox.log")"
  copy_into "$work/managed"
  start "$work/managed" -- "$work/missing.txt"
  wait_until find_box || fail "no error box for a missing FILE"
  capture_stable root "$shots/managed-error.png" || fail "the error box never settled"
  eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/window_/')"
  eval "$(xdotool getwindowgeometry --shell "$box" | sed 's/^/box_/')"
  middle_x=$((box_X + box_WIDTH / 2)) middle_y=$((box_Y + box_HEIGHT / 2))
  ((window_X <= middle_x && middle_x < window_X + window_WIDTH &&
    window_Y <= middle_y && middle_y < window_Y + window_HEIGHT)) ||
    fail "the error box (at $box_X,$box_Y) is not over the window (at $window_X,$window_Y)"
  dismiss_box_and_close
  echo "under a window manager: the error box over the window"
else
  echo "SKIPPED the error box under a window manager: openbox is not installed"
fi
echo "PASS: FILE from the command line; odd folder name; data folder; FIFO output; own descriptors; -- before a name like an option; an error box over the window; screenshots in $shots"
