#!/usr/bin/env bash
# An input on a disk whose reads fail from some offset on (a bad sector, a
# FUSE or network mount that errs) is a read error within seconds, never a
# hang, and the old urls.txt stays. Needs FUSE: skipped (77) without it.
# usage: failing_disk_test.sh PATH/TO/linksift-extract
set -euo pipefail

driver="$(realpath "$1")"
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=fuse_checks.sh
. "$here/fuse_checks.sh"

work="$(mktemp -d)"
mounted=""
cleanup() {
  [ -z "$mounted" ] || fusermount -u "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# LeakSanitizer cannot run under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
printf 'old\r\n' >"$work/old.txt"
size=$((8 << 20))
failed=0

# A kernel without MADV_POPULATE_READ (before Linux 5.14) says EINVAL; the
# pages are then touched one by one under the bus-error guard.
old_kernel="strace -f -o /dev/null -e trace=madvise -e inject=madvise:error=EINVAL --"
command -v strace >/dev/null || old_kernel=""
# name | offset from which reads fail (the file has 8 MiB) | what runs the driver
case_number=0
while IFS='|' read -r name fail_from runner; do
  case_number=$((case_number + 1))
  disk="$work/disk-$case_number"
  out="$work/out-$case_number"
  mkdir "$disk" "$out"
  cp "$work/old.txt" "$out/urls.txt"
  "$python" "$here/failing_disk.py" "$disk" "$size" "$fail_from" &
  for _ in $(seq 100); do [ -e "$disk/in.txt" ] && break; sleep 0.05; done
  mounted="$disk"
  [ -e "$disk/in.txt" ] || { echo "skip: the FUSE file system did not mount"; exit 77; }
  rc=0
  # A hang shows as the timeout's 124.
  # shellcheck disable=SC2086
  timeout 20 $runner "$driver" "$disk/in.txt" "$out/urls.txt" >/dev/null 2>"$work/stderr" || rc=$?
  fusermount -u "$disk"
  mounted=""
  wait
  if [ "$rc" != 1 ]; then
    echo "FAIL $name: exit $rc: $(cat "$work/stderr")"; failed=1
  elif ! grep -q "cannot read the input '$disk/in.txt': Input/output error" "$work/stderr"; then
    echo "FAIL $name: $(cat "$work/stderr")"; failed=1
  elif ! cmp -s "$work/old.txt" "$out/urls.txt" || [ "$(ls -A "$out")" != urls.txt ]; then
    echo "FAIL $name: urls.txt changed, or $(ls -A "$out") left"; failed=1
  else
    echo "ok $name: $(cat "$work/stderr")"
  fi
done <<CASES
from the first byte|0|
midway, in a later window|$((5 << 20))|
in the last page|$((size - 100))|
midway, the kernel not reading ahead for us|$((5 << 20))|$old_kernel
CASES

exit "$failed"
