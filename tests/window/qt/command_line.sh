#!/usr/bin/env bash
# The window program's command line, with no display at all: --help and
# --version answer on stdout with 0, a wrong command line gets one line on
# stderr and 2, and without a display the program says so and exits 1.
# Usage: command_line.sh PROGRAM VERSION
set -uo pipefail
program="$1"
version="$2"
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
failed=0

# matches FILE PATTERN: an empty PATTERN wants an empty FILE.
matches() { if [ -z "$2" ]; then [ ! -s "$1" ]; else grep -Eq "$2" "$1"; fi; }

# check NAME STATUS STDOUT_PATTERN STDERR_PATTERN ARGUMENT...
check() {
  local name="$1" status="$2" stdout_pattern="$3" stderr_pattern="$4" got=0
  shift 4
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" >"$out" 2>"$err" || got=$?
  if ((got != status)) || ! matches "$out" "$stdout_pattern" || ! matches "$err" "$stderr_pattern"; then
    echo "FAIL $name: status $got (want $status); stdout: $(cat "$out"); stderr: $(cat "$err")"
    failed=1
  else
    echo "ok $name"
  fi
}
lines() { [ "$(wc -l <"$1")" -eq "$2" ]; }

check "help" 0 '^Usage: linksift \[FILE\]' '' --help
check "help names the driver" 0 'linksift-extract' '' --help
check "-h is --help" 0 '^Usage: linksift \[FILE\]' '' -h
check "version" 0 "^linksift $version\$" '' --version
check "unknown option" 2 '' "^linksift: unknown option '--bogus'; try 'linksift --help'\$" --bogus
lines "$err" 1 || { echo "FAIL unknown option: more than one line"; failed=1; }
check "two files" 2 '' 'one FILE at most' a.txt b.txt
check "-- ends the options" 1 '' 'no display' -- --help
check "no display" 1 '' 'no display.*xvfb-run.*linksift-extract' some.txt
# Help and version that cannot be printed: one line on stderr says why.
while IFS='|' read -r name option redirect reason; do
  got=0
  eval "env -u DISPLAY -u WAYLAND_DISPLAY \"\$program\" $option $redirect" 2>"$err" || got=$?
  if ((got != 1)) || [ "$(cat "$err")" != "linksift: cannot print the $name: $reason" ]; then
    echo "FAIL $name that cannot be printed: status $got; stderr: $(cat "$err")"
    failed=1
  else
    echo "ok $name that cannot be printed"
  fi
done <<'CASES'
version|--version|>/dev/full|No space left on device
help|--help|>&-|Bad file descriptor
CASES
exit "$failed"
