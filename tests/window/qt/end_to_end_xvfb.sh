#!/usr/bin/env bash
# Drives the real program in a private X server, without a window manager, as
# a user would with the keyboard: press the button, type a file's name in the
# Open dialog (which starts in the home folder, and speaks Russian under LANG=C,
# as screen readers hear it) and Enter, then check urls.txt
# beside the program and that the window is still there; press again and
# cancel the dialog with Esc. Tab and Enter on the result's link have the file
# manager on the session bus (a stand-in that notes the call) show urls.txt,
# with no file manager there the desktop's opener opens its folder, and with
# no opener that can, an error box says so. The dialog writes no settings. Then a
# long run on a pipe the script holds open: the progress bar shows, Esc
# cancels, the label says so (as copied from it) and urls.txt stays as it
# was; one more, and closing the window ends it and the program cleanly.
# Screenshots of the window before and after the run, of the link, during the
# long one and after its cancel (and of the dialog) go to SCREENSHOT_DIR.
# Usage: end_to_end_xvfb.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail

program="$(realpath "$1")" shots="$2"
source "$(dirname "$0")/../end_to_end_lib.sh"

require_tools "packages xvfb, xdotool, xclip, imagemagick, python3, dbus" Xvfb xdotool xclip import \
  compare identify convert python3 dbus-daemon

/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
  fail "Atspi for Python is missing (package gir1.2-atspi-2.0)"

start_xvfb

# A session bus of its own, which starts none of the system's services, with
# a file manager on it that notes what it is asked to show; and the desktop's
# opener (xdg-open), which notes what it opens.
source "$(dirname "$0")/private_bus.sh"
private_bus_config "$work/bus.conf" "$work/services"
dbus-daemon --config-file="$work/bus.conf" --nofork --nosyslog --print-address=5 5>"$work/bus" &
pids+=($!)
wait_until test -s "$work/bus" || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/bus")"
# Of the system's services, the accessibility bus alone, switched on as a
# desktop would: the dialog's texts are read from it.
ln -s /usr/share/dbus-1/services/org.a11y.Bus.service "$work/services/"
dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
  >/dev/null || fail "no accessibility bus"
/usr/bin/python3 "$(dirname "$0")/fake_file_manager.py" "$work/shown.log" "$work/file-manager-ready" &
file_manager=$!
pids+=("$file_manager")
wait_until test -e "$work/file-manager-ready" || fail "the stand-in file manager did not start"
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\n' "$work/opened.log" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

# The program writes urls.txt beside itself, so it runs from a copy.
mkdir -p "$work/app" "$work/input" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$work/app/linksift"
# The home folder holds the input, and a name alike so that the dialog's
# completer has something to offer.
input="$work/input/links.txt"
: >"$work/input/links-other.txt"
printf 'see HTTP://Example.org/A, next\r\nno link here\r\na http://one.example/x; http://two.example/y end\r\n(http://ab/(c)) next\r\n' >"$input"
printf 'HTTP://Example.org/A\r\nhttp://one.example/x\r\nhttp://ab/(c))\r\n' >"$work/expected"

# The system's D-Bus library keeps a buffer to the end; a sanitizer build
# would count it as our leak when the program ends.
echo 'leak:libdbus-1.so' >"$work/leaks.supp"

# Qt's own dialog, in Russian, whatever the calling desktop and the locale are.
env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u XDG_CURRENT_DESKTOP -u WAYLAND_DISPLAY \
  LANG=C LANGUAGE= HOME="$work/input" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  LSAN_OPTIONS="suppressions=$work/leaks.supp" \
  PATH="$work/bin:$PATH" \
  "$work/app/linksift" >"$program_log" 2>&1 &
app=$!
pids+=("$app")

await_window
capture_stable "$window" "$shots/before.png" || fail "the window never settled"
(($(identify -format %k "$shots/before.png") > 8)) || fail "the window shows nothing"

# xdotool's --name cannot match this Cyrillic title (Qt stores WM_NAME as
# raw UTF-8), so the exact name is compared here.
find_dialog() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" --name . 2>/dev/null); do
    if [ "$(xdotool getwindowname "$id")" = "Открытие файла" ]; then
      dialog="$id"
      return 0
    fi
  done
  return 1
}
# press_command1: the window has the keyboard and Command1 the focus, so
# Enter presses it.
press_command1() {
  xdotool key Return
  wait_until find_dialog || fail "no dialog titled Открытие файла"
}
dialog_gone() { ! find_dialog; }

# The window takes the keyboard when it shows.
focused_window() { [ "$(xdotool getwindowfocus)" = "$window" ]; }
wait_until focused_window || fail "the window did not take the keyboard: $(xdotool getwindowfocus)"
press_command1
# Only a name: the dialog starts in the home folder.
xdotool type --delay 5 "links"
capture_stable root "$shots/dialog-typing.png" || fail "the dialog never settled"
xdotool type --delay 5 ".txt"
capture_stable root "$shots/dialog.png" || fail "the dialog never settled"
# What the picture shows, as screen readers hear it: Russian, the filter as given.
/usr/bin/python3 "$(dirname "$0")/dialog_texts.py" "$app" "Открытие файла" >"$work/dialog.txt" ||
  fail "the dialog is not on the accessibility bus"
for text in "label: Перейти к:" "push button: Открыть" "push button: Отмена" \
  "combo box: Текстовые файлы (*.txt)"; do
  grep -qxF "$text" "$work/dialog.txt" || fail "the dialog lacks \"$text\": $(tr '\n' ';' <"$work/dialog.txt")"
done
xdotool key Return
wait_until dialog_gone || fail "the dialog did not close"
wait_until test -f "$work/app/urls.txt" || fail "no urls.txt beside the program"
cmp "$work/expected" "$work/app/urls.txt" || fail "urls.txt holds other bytes: $(od -c "$work/app/urls.txt")"

kill -0 "$app" 2>/dev/null || fail "the program ended"
xdotool search --onlyvisible --name '^Linksift$' | grep -qx "$window" || fail "the window is gone"
capture_stable "$window" "$shots/after.png" "$shots/before.png" || fail "the label did not change"

# Nothing of the dialog or its name completer stays on screen: around the
# window (360x166 at the top left) the screen is bare.
only_the_window_shown() {
  import -window root "$work/screen.png" 2>/dev/null || return 1
  [ "$(convert "$work/screen.png" -crop 440x600+360+0 +repage -format %k info:)" = "1" ] &&
    [ "$(convert "$work/screen.png" -crop 800x434+0+166 +repage -format %k info:)" = "1" ]
}
wait_until only_the_window_shown || fail "something besides the window stays on screen"

# The path is a link: Tab reaches it, Enter follows it, and the file manager
# is asked to show the very urls.txt written.
xdotool key Tab
capture_stable "$window" "$shots/link.png" "$shots/after.png" || fail "the label did not take the focus"
xdotool key Return
wait_until grep -qxF "ShowItems file://$work/app/urls.txt" "$work/shown.log" ||
  fail "no ShowItems for urls.txt: $(cat "$work/shown.log" 2>/dev/null)"
# Without a file manager on the bus, the opener gets the folder.
kill "$file_manager"
wait "$file_manager" 2>/dev/null || true
xdotool key Return
wait_until grep -qxF "file://$work/app" "$work/opened.log" ||
  fail "the folder was not opened: $(cat "$work/opened.log" 2>/dev/null)"
[ "$(wc -l <"$work/shown.log")" = 1 ] || fail "shown again: $(cat "$work/shown.log")"
# With no program to open folders, an error box says so, and goes with Enter.
printf '#!/bin/sh\necho "xdg-open: no method available for opening $1" >&2\nexit 3\n' >"$work/bin/xdg-open"
xdotool key Return
wait_until find_box || fail "nothing said that the folder could not be opened"
capture_stable root "$shots/folder-not-opened.png" || fail "the error box never settled"
xdotool key Return
wait_until box_gone || fail "the error box did not close"
xdotool key Tab  # back to Command1

# Again, and Esc: the dialog goes, nothing runs, and the keys are the window's again.
wait_until focused_window || fail "the window did not get the keyboard back after the dialog"
press_command1
capture_stable root "$shots/dialog-again.png" || fail "the dialog never settled"
xdotool key Escape
wait_until dialog_gone || fail "Esc did not close the dialog"
wait_until focused_window || fail "the window did not get the keyboard back after Esc"
cmp "$work/expected" "$work/app/urls.txt" || fail "a cancelled dialog changed urls.txt"
# The program keeps no settings, nor does Qt's dialog for it.
[ ! -e "$work/config" ] || fail "settings written: $(find "$work/config")"

# choose_file PATH: presses Command1 and picks PATH in the Open dialog.
choose_file() {
  press_command1
  xdotool type --delay 5 "$1"
  xdotool key Return
  wait_until dialog_gone || fail "the dialog did not close"
}

# crop GEOMETRY IN OUT: the part of a screenshot that GEOMETRY names.
crop() { convert "$2" -crop "$1" +repage "$3"; }
# The label shows something new, and the button is no longer drawn disabled.
back_with_new_label() {
  import -window "$window" "$work/probe.png" 2>/dev/null || return 1
  crop 360x120+0+46 "$work/probe.png" "$work/label_now.png"
  crop 360x120+0+46 "$shots/after.png" "$work/label_before.png"
  crop 257x21+48+20 "$work/probe.png" "$work/button_now.png"
  crop 257x21+48+20 "$shots/progress.png" "$work/button_during.png"
  ! same "$work/label_before.png" "$work/label_now.png" &&
    ! same "$work/button_during.png" "$work/button_now.png"
}
clipboard_holds() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
only_urls_beside_program() { [ "$(ls -A "$work/app" | tr '\n' ' ')" = "linksift urls.txt " ]; }

# A long run: the script holds the pipe open (read-write, so neither end
# waits for the other) and the run waits for more input until Esc.
slow="$work/input/slow.txt"
mkfifo "$slow"
exec 4<>"$slow"
printf 'see http://slow.example/ and more\r\n' >&4
choose_file "$slow"
wait_until bar_in_place_of_label "$window" || fail "no progress bar during a long run"
mv "$work/probe.png" "$shots/progress.png"
kill -0 "$app" 2>/dev/null || fail "the program ended during the run"

xdotool key Escape
wait_until back_with_new_label || fail "the window did not come back after Esc"
cp "$work/probe.png" "$shots/cancelled.png"
# Copied from the label as a user would: Tab to it, select all, copy; then
# Tab back to Command1.
xdotool key Tab ctrl+a ctrl+c Tab
wait_until clipboard_holds $'Обработка отменена.\n\nФайл urls.txt не изменён.' ||
  fail "the label does not say the run was cancelled: $(xclip -o -selection clipboard 2>&1)"
cmp "$work/expected" "$work/app/urls.txt" || fail "a cancelled run changed urls.txt"
only_urls_beside_program || fail "files beside the program after a cancel: $(ls -A "$work/app")"
kill -0 "$app" 2>/dev/null || fail "the program ended after Esc"
xdotool search --onlyvisible --name '^Linksift$' | grep -qx "$window" || fail "the window is gone"

# Closing the window during a run cancels it and ends the program cleanly.
choose_file "$slow"
wait_until bar_in_place_of_label "$window" || fail "no progress bar during the second long run"
python3 "$(dirname "$0")/close_window.py" "$window" || fail "could not ask the window to close"
program_ended() { ! kill -0 "$app" 2>/dev/null; }
wait_until program_ended || fail "the program went on after its window was closed"
status=0
wait "$app" || status=$?
((status == 0)) || fail "the program ended with status $status"
cmp "$work/expected" "$work/app/urls.txt" || fail "closing during a run changed urls.txt"
only_urls_beside_program || fail "files beside the program after closing: $(ls -A "$work/app")"
exec 4>&-
echo "PASS: urls.txt as expected; a long run cancelled by Esc, another by closing; screenshots in $shots"
