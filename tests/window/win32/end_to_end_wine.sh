#!/usr/bin/env bash
# linksift.exe under Wine on a display of its own, used as a person would with
# the keyboard: press the button, type a file's name in the Open dialog and
# Enter, read the result; press again and cancel the dialog with Esc; then a
# long run, its progress bar in place of the label, and Esc, after which the
# label says so; then a result again, and Tab and Enter on its link open
# Explorer on the folder of urls.txt.
# usage: end_to_end_wine.sh EXE SCREENSHOT_DIR WINE   (WINEPREFIX set by the caller)
set -euo pipefail
exe="$1" shots="$2" wine="$3"
source "$(dirname "$0")/../end_to_end_lib.sh"
clean_up_more() { stop_wineserver; }
start_wine_display
# No window manager runs here: Wine then hands the keyboard to its windows
# itself, as it does for windows it does not leave to one.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
  fail "could not tell Wine that no window manager runs"

# The program in a folder of its own: urls.txt goes beside it.
mkdir "$work/program"
cp "$exe" "$work/program/linksift.exe"
printf 'see HTTP://Ab/Cd, next\r\nnothing here\r\nhttp://example.org/b.\r\n' >"$work/ссылки.txt"

"$wine" "$work/program/linksift.exe" >"$program_log" 2>&1 &
pids+=($!)
await_window

# screenshot NAME: the window once it has painted something.
screenshot() {
  wait_until bash -c "[ \$(import -window $window png:- | identify -format %k -) -gt 2 ]"
  import -window root "$shots/$1.png"
  # Raw pixels, to compare states: a PNG carries a time stamp.
  import -window "$window" -depth 8 rgb:- >"$work/$1.window.rgb"
}
screenshot before
# Wine draws the frame itself: the client area (360x166 at 96 dpi) sits
# inside equal side and bottom borders, below the caption.
eval "$(xdotool getwindowgeometry --shell "$window")"
client_left=$(((WIDTH - 360) / 2))
client_top=$((HEIGHT - 166 - client_left))

# press_command1: the window has the keyboard and Command1 the focus, so
# Enter presses it.
press_command1() {
  xdotool key Return
  dialog="$(timeout 30 xdotool search --sync --onlyvisible --name '^Открытие файла$' | head -1)" ||
    fail "no Open dialog titled Открытие файла"
}
# open_file FILE [SHOT]: Command1, FILE pasted into the Open dialog (which is
# photographed as SHOT), Enter; the dialog goes. Pasted, as xdotool types
# letters the keyboard map lacks (Cyrillic) by remapping a key for each,
# which Wine may read before the remap lands.
open_file() {
  press_command1
  printf '%s' "$(windows_path "$1")" | xclip -selection clipboard
  xdotool key ctrl+v
  [ -z "${2:-}" ] || import -window root "$shots/$2"
  xdotool key Return
  wait_until bash -c "! xdotool search --onlyvisible --name '^Открытие файла$'" || fail "the dialog stayed"
}
open_file "$work/ссылки.txt" dialog.png

wait_until test -s "$work/program/urls.txt" || fail "no urls.txt beside the program"
printf 'HTTP://Ab/Cd\r\nhttp://example.org/b\r\n' >"$work/expected.txt"
cmp -s "$work/program/urls.txt" "$work/expected.txt" || fail "urls.txt holds: $(od -c "$work/program/urls.txt")"
# The label changes once the run has ended.
wait_until bash -c "! import -window $window -depth 8 rgb:- | cmp -s - '$work/before.window.rgb'" ||
  fail "the label did not change"
screenshot after
xdotool search --onlyvisible --name '^Linksift$' >/dev/null || fail "the window is gone after the run"
echo "run: urls.txt as expected; screenshots in $shots"

# Again, and Esc: the dialog goes, nothing runs, the keys are the window's again.
press_command1
import -window root "$shots/dialog-again.png"
xdotool key Escape
wait_until bash -c "! xdotool search --onlyvisible --name '^Открытие файла$'" || fail "Esc did not close the dialog"
cmp -s "$work/program/urls.txt" "$work/expected.txt" || fail "a cancelled dialog changed urls.txt"

# A long run: a large file, the bar, then Esc; urls.txt stays as it was.
cp "$work/program/urls.txt" "$work/old-urls.txt"
line="see http://example.org/$(head -c 200 /dev/zero | tr '\0' a) next"
# Every line a link: the slowest kind of input. 3 GB last about 6 s under
# Wine, well past the bar's delay and the Esc that follows it (1.5 GB once
# ended before the Esc on a busy machine).
{ yes "$line" || true; } | head -c 3000M | tr '\n' '\r' >"$work/large.txt"
open_file "$work/large.txt"
wait_until bar_in_place_of_label "$window" "$client_left" "$client_top" || fail "no progress bar in place of the label during the long run"
import -window root "$shots/progress.png"
xdotool key Escape
# The bar goes and the label says the run was cancelled: not the result it
# showed before (the in-process tests read the words).
# "Esc — отмена" at the bar's right end (x 269..349, y 48..69 of the client
# area) is gone with the bar, and the label is not the one before.
cancel_shown() {
  import -window "$window" "$work/probe.png" 2>/dev/null || return 1
  [ "$(convert "$work/probe.png" -crop "80x21+$((269 + client_left))+$((48 + client_top))" +repage \
    -format %k info:)" = 1 ] &&
    ! import -window "$window" -depth 8 rgb:- | cmp -s - "$work/after.window.rgb"
}
wait_until cancel_shown || fail "the window did not say the run was cancelled"
cmp "$work/program/urls.txt" "$work/old-urls.txt" || fail "a cancelled run changed urls.txt"
! ls -a "$work/program" | grep -q '\.linksift-.*\.tmp$' || fail "temporary left behind"
import -window root "$shots/cancelled.png"
xdotool search --onlyvisible --name '^Linksift$' >/dev/null || fail "the window is gone after Esc"
echo "long run: bar shown, Esc kept urls.txt; screenshots in $shots"

# Once more, and the result's path is a link: Tab reaches it and Enter has
# Explorer show the folder of urls.txt (Wine's names its window after it).
open_file "$work/ссылки.txt"
wait_until bash -c "import -window $window -depth 8 rgb:- | cmp -s - '$work/after.window.rgb'" ||
  fail "the result did not show again"
xdotool key Tab
wait_until bash -c "! import -window $window -depth 8 rgb:- | cmp -s - '$work/after.window.rgb'" ||
  fail "no focus frame on the label"
import -window root "$shots/link.png"
xdotool key Return
wait_until xdotool search --onlyvisible --name '^program$' || fail "Explorer did not show the folder of urls.txt"
import -window root "$shots/explorer.png"
echo "link: Explorer shows the folder of urls.txt; screenshots in $shots"
