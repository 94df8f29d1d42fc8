#!/usr/bin/env bash
# A run stalled in a read from a mount that stopped answering (NFS, CIFS,
# FUSE), its temporary named for want of O_TMPFILE, still ends on SIGTERM,
# SIGINT or SIGHUP as that signal ends it, its temporary removed and the old
# urls.txt kept. Served by FUSE: skipped (77) without it.
# usage: stalled_read_test.sh PATH/TO/linksift-extract
set -euo pipefail

# shellcheck source=fuse_lib.sh
. "$(dirname "$0")/fuse_lib.sh"
before_unmount() { touch "$work/taken" "$work/release"; }
# Job control: the run gets SIGINT as a terminal's Ctrl-C would, not ignored.
set -m
failed=0
# Waits up to 10 s for COMMAND to succeed.
await() {
  for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
  return 1
}
# A thread of process $1 waits for a FUSE server in a read or poll, which only
# its input on the gate's mount takes (system call numbers of x86-64, arm64).
waits_behind_gate() {
  local task
  for task in /proc/"$1"/task/*; do
    [ "$(cat "$task/wchan" 2>/dev/null)" = request_wait_answer ] || continue
    case "$(uname -m) $(cut -d' ' -f1 "$task/syscall" 2>/dev/null)" in
      "x86_64 0" | "x86_64 7" | "aarch64 63" | "aarch64 73") return 0 ;;
    esac
  done
  return 1
}
ended() { ! kill -0 "$1" 2>/dev/null; }

printf 'old\r\n' >"$work/old.txt"

for signal in TERM INT HUP; do
  # Fresh mounts: the kernel remembers what a server once refused (poll).
  rm -rf "$work/gate" "$work/out" "$work/creating" "$work/taken" "$work/release"
  serve gate gate "$work/taken" "$work/release"
  serve out folder "$work/creating" "$work/taken"
  cp "$work/old.txt" "$work/out/urls.txt"
  # Standard input handed over part-read is read with read() by the run's
  # own thread, not by one mapping ahead.
  {
    dd bs=1 count=1 of=/dev/null status=none
    exec "$driver" - "$work/out/urls.txt" >/dev/null 2>"$work/stderr"
  } <"$work/gate/in.txt" &
  run=$!
  # While the run makes its temporary, another reader takes the server; the
  # run's reads then wait in the kernel's queue.
  problem=""
  await test -e "$work/creating" || problem="the run never made its temporary"
  cat "$work/gate/gate" >/dev/null &
  holder=$!
  await test -e "$work/taken" || problem="the server never took the gate"
  await waits_behind_gate "$run" || problem="the run never waited behind the gate"
  [ -n "$(find "$work/out" -name '.urls.txt.linksift-*.tmp')" ] ||
    problem="the run has no named temporary: $(ls -A "$work/out")"
  kill "-$signal" "$run"
  # A hang check, not a speed target.
  await ended "$run" || problem="${problem:-the run still waits 10 s after the signal}"
  touch "$work/release"
  rc=0
  wait "$run" || rc=$?
  wait "$holder" || true
  if [ -z "$problem" ] && [ "$rc" != "$((128 + $(kill -l "$signal")))" ]; then
    problem="exit $rc: $(cat "$work/stderr")"
  fi
  if [ -z "$problem" ] &&
    { [ "$(ls -A "$work/out")" != urls.txt ] || ! cmp -s "$work/old.txt" "$work/out/urls.txt"; }; then
    problem="left $(ls -A "$work/out"), or changed urls.txt"
  fi
  unmount
  if [ -n "$problem" ]; then
    echo "FAIL $signal: $problem"
    failed=1
  else
    echo "ok $signal ends a run stalled in a read, its temporary removed"
  fi
done

exit "$failed"
