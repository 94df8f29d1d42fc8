#!/usr/bin/env bash
# A run stalled in a read from a mount that does not answer (NFS, CIFS, FUSE),
# its temporary named for want of O_TMPFILE, still ends within a second of
# SIGTERM, SIGINT or SIGHUP, as that signal ends it, its temporary removed and
# the old urls.txt kept. Served by FUSE: skipped (77) without it.
# usage: stalled_read_test.sh PATH/TO/linksift-extract
set -euo pipefail

driver="$(realpath "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3
skip() { echo "skip: $*"; exit 77; }
[ -e /dev/fuse ] || skip "no /dev/fuse"
command -v fusermount >/dev/null || skip "no fusermount (Debian package fuse)"
"$python" -c 'import fusepy' 2>/dev/null || skip "no fusepy (Debian package python3-fusepy)"

work="$(mktemp -d)"
mounted=""
cleanup() {
  [ -z "$mounted" ] || fusermount -u "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Job control: the run gets SIGINT as a terminal's Ctrl-C would, not ignored.
set -m
failed=0
fail() { echo "FAIL $*"; failed=1; }

while read -r signal; do
  disk="$work/disk-$signal"
  flag="$work/stalled-$signal"
  mkdir "$disk"
  "$python" "$here/stalling_disk.py" "$disk" "$flag" &
  server=$!
  for _ in $(seq 100); do [ -e "$disk/in.txt" ] && break; sleep 0.05; done
  mounted="$disk"
  [ -e "$disk/in.txt" ] || skip "the FUSE file system did not mount"
  printf 'old\r\n' >"$disk/out/urls.txt"
  "$driver" - "$disk/out/urls.txt" <"$disk/in.txt" >/dev/null 2>"$work/stderr" &
  run=$!
  for _ in $(seq 200); do [ -e "$flag" ] && break; sleep 0.05; done
  [ -e "$flag" ] || fail "$signal: the run never read"
  kill "-$signal" "$run"
  # Within a second: ten looks, 0.1 s apart.
  for _ in $(seq 10); do kill -0 "$run" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$run" 2>/dev/null; then
    fail "$signal: the run still waits a second later"
    kill -9 "$run"
  fi
  rc=0
  wait "$run" || rc=$?
  if [ "$rc" != "$((128 + $(kill -l "$signal")))" ]; then
    fail "$signal: exit $rc: $(cat "$work/stderr")"
  elif [ "$(ls -A "$disk/out")" != urls.txt ] || [ "$(cat "$disk/out/urls.txt")" != $'old\r' ]; then
    fail "$signal: left $(ls -A "$disk/out"), or changed urls.txt"
  else
    echo "ok $signal ends a run stalled in a read, its temporary removed"
  fi
  fusermount -u "$disk"
  mounted=""
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
done <<'CASES'
TERM
INT
HUP
CASES

exit "$failed"
