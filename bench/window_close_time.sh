#!/usr/bin/env bash
# How long the window program takes to end once its window is asked to close:
# idle, during a run waiting on a pipe (a cancel reaches it), and during a run
# held up in a call no cancel reaches (a stalled file: strace delays the
# run's open of urls.txt by 30 s). Prints milliseconds for each.
# A program that takes no FILE on its command line (older builds) gets it
# through the Open dialog instead: set BY_DIALOG=1.
# Usage: window_close_time.sh PROGRAM [ROUNDS]
set -euo pipefail
program="$(realpath "$1")"
rounds="${2:-5}"
shots="$(mktemp -d)"
source "$(dirname "$0")/../tests/window/end_to_end_lib.sh"
for tool in Xvfb xdotool strace python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing"
done
close_window="$(dirname "$0")/../tests/window/qt/close_window.py"
start_xvfb
mkdir -p "$work/app" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$work/app/linksift"
printf 'http://a/\r\n' >"$work/in.txt"
mkfifo "$work/pipe.txt"
exec 4<>"$work/pipe.txt"
export XDG_RUNTIME_DIR="$work/runtime" ASAN_OPTIONS=detect_leaks=0

# choose FILE: presses Command1 and types FILE into the Open dialog.
choose() {
  local dialog=""
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$window"
    xdotool key Return
    sleep 1
    dialog="$(xdotool search --onlyvisible --pid "$app" --name . | grep -vx "$window" | head -n1)" && break
  done
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 5 "$1"
  xdotool key Return
}

# measure LABEL PREFIX... FILE: starts the program (behind PREFIX) on FILE,
# waits for its window and a moment for the run, closes it; prints the time.
measure() {
  local label="$1" total=0 i start end program_pid
  shift
  for ((i = 0; i < rounds; i++)); do
    if [ -n "${BY_DIALOG:-}" ] && [ "$#" -gt 1 ]; then
      "${@:1:$#-1}" >/dev/null 2>&1 &
    else
      "$@" >/dev/null 2>&1 &
    fi
    app=$!
    window="$(timeout "$WAIT_SECONDS" xdotool search --sync --onlyvisible --name '^Linksift$' | head -n1)"
    [ -n "${BY_DIALOG:-}" ] && [ "$#" -gt 1 ] && choose "${!#}"
    sleep 1
    # Timed from the moment the request has gone out (Python's start is not the program's).
    # Under strace the program is strace's child, and a zombie once it ends.
    program_pid="$(pgrep -P "$app" -x linksift || echo "$app")"
    python3 "$close_window" "$window"
    start=$(date +%s%N)
    while [ -e "/proc/$program_pid" ] && ! grep -q '^State:.*Z' "/proc/$program_pid/status" 2>/dev/null; do
      sleep 0.002
    done
    end=$(date +%s%N)
    wait "$app" || true
    total=$((total + (end - start) / 1000000))
  done
  echo "$label: $((total / rounds)) ms (mean of $rounds)"
}

copy="$work/app/linksift"
measure "idle" "$copy"
measure "run waiting on a pipe" "$copy" "$work/pipe.txt"
measure "run held up in open (strace)" strace -f -qq -o /dev/null -P "$work/app/urls.txt" \
  -e trace=%file -e inject=%file:delay_enter=30000000 "$copy" "$work/in.txt"
ls -A "$work/app"
