#!/usr/bin/env bash
# Drives the real program in a private X server as a user would: press the
# button, choose a prepared file in the Open dialog, then check urls.txt beside
# the program and that the window is still there. Screenshots of the window
# before and after the run (and of the dialog) go to SCREENSHOT_DIR.
# Usage: end_to_end_xvfb.sh PROGRAM SCREENSHOT_DIR
set -euo pipefail

program="$(realpath "$1")"
shots="$2"
readonly WAIT_SECONDS=60  # for each step; a sanitizer build starts slowly

fail() {
  echo "FAIL: $*" >&2
  [ -s "${work:-}/app.log" ] && sed 's/^/  program: /' "$work/app.log" >&2
  exit 1
}

for tool in Xvfb xdotool import compare identify; do
  command -v "$tool" >/dev/null || fail "$tool is missing (packages xvfb, xdotool, imagemagick)"
done

work="$(mktemp -d)"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# wait_until COMMAND...: polls COMMAND until it succeeds or time runs out.
wait_until() {
  local deadline=$((SECONDS + WAIT_SECONDS))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# capture_stable WINDOW FILE [DIFFERENT_FROM]: waits until the window shows
# the same picture twice in a row (and one unlike DIFFERENT_FROM), saves it.
capture_stable() {
  local window="$1" out="$2" unlike="${3:-}" previous="$work/previous.png" probe="$work/probe.png"
  rm -f "$previous"
  stable() {
    import -window "$window" "$probe" 2>/dev/null || return 1
    if [ -f "$previous" ] && same "$previous" "$probe" && { [ -z "$unlike" ] || ! same "$unlike" "$probe"; }; then
      return 0
    fi
    mv "$probe" "$previous"
    return 1
  }
  wait_until stable || return 1
  mv "$probe" "$out"
}

same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

# The X server picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_until test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# The program writes urls.txt beside itself, so it runs from a copy.
mkdir -p "$work/app" "$work/input" "$work/runtime" "$shots"
chmod 700 "$work/runtime"
cp "$program" "$work/app/linksift"
input="$work/input/links.txt"
printf 'see HTTP://Example.org/A, next\r\nno link here\r\na http://one.example/x; http://two.example/y end\r\n(http://ab/(c)) next\r\n' >"$input"
printf 'HTTP://Example.org/A\r\nhttp://one.example/x\r\nhttp://ab/(c))\r\n' >"$work/expected"

# Qt's own dialog, in Russian, whatever the calling desktop is.
env -u QT_QPA_PLATFORM -u QT_QPA_PLATFORMTHEME -u XDG_CURRENT_DESKTOP -u WAYLAND_DISPLAY \
  LANG=ru_RU.UTF-8 XDG_RUNTIME_DIR="$work/runtime" "$work/app/linksift" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")

window="$(timeout "$WAIT_SECONDS" xdotool search --sync --onlyvisible --name '^Linksift$' | head -n1)" ||
  fail "no window titled Linksift"
capture_stable "$window" "$shots/before.png" || fail "the window never settled"
(($(identify -format %k "$shots/before.png") > 8)) || fail "the window shows nothing"

# Command1 holds the focus, so Enter presses it.
xdotool windowfocus --sync "$window"
xdotool key Return

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
wait_until find_dialog || fail "no dialog titled Открытие файла"

xdotool windowfocus --sync "$dialog"
xdotool type --delay 5 "$input"
capture_stable root "$shots/dialog.png" || fail "the dialog never settled"
xdotool key Return

dialog_gone() { ! find_dialog; }
wait_until dialog_gone || fail "the dialog did not close"
wait_until test -f "$work/app/urls.txt" || fail "no urls.txt beside the program"
cmp "$work/expected" "$work/app/urls.txt" || fail "urls.txt holds other bytes: $(od -c "$work/app/urls.txt")"

kill -0 "$app" 2>/dev/null || fail "the program ended"
xdotool search --onlyvisible --name '^Linksift$' | grep -qx "$window" || fail "the window is gone"
capture_stable "$window" "$shots/after.png" "$shots/before.png" || fail "the label did not change"
echo "PASS: urls.txt as expected; screenshots in $shots"
