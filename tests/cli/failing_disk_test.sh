#!/usr/bin/env bash
# An input on a disk whose reads fail from some offset on (a bad sector, a
# FUSE or network mount that errs) is a read error within seconds, never a
# hang, and the old urls.txt stays. Needs FUSE: skipped (77) without it.
# usage: failing_disk_test.sh PATH/TO/linksift-extract
set -euo pipefail

# shellcheck source=fuse_lib.sh
. "$(dirname "$0")/fuse_lib.sh"
printf 'old\r\n' >"$work/old.txt"
size=$((8 << 20))
failed=0

# name | offset from which reads fail (the file has 8 MiB)
case_number=0
while IFS='|' read -r name fail_from; do
  case_number=$((case_number + 1))
  disk="disk-$case_number"
  out="$work/out-$case_number"
  mkdir "$out"
  cp "$work/old.txt" "$out/urls.txt"
  serve "$disk" failing "$size" "$fail_from"
  rc=0
  # A hang shows as the timeout's 124.
  timeout 20 "$driver" "$work/$disk/in.txt" "$out/urls.txt" >/dev/null 2>"$work/stderr" || rc=$?
  unmount
  if [ "$rc" != 1 ]; then
    echo "FAIL $name: exit $rc: $(cat "$work/stderr")"; failed=1
  elif ! grep -q "cannot read the input '$work/$disk/in.txt': Input/output error" "$work/stderr"; then
    echo "FAIL $name: $(cat "$work/stderr")"; failed=1
  elif ! cmp -s "$work/old.txt" "$out/urls.txt" || [ "$(ls -A "$out")" != urls.txt ]; then
    echo "FAIL $name: urls.txt changed, or $(ls -A "$out") left"; failed=1
  else
    echo "ok $name: $(cat "$work/stderr")"
  fi
done <<CASES
from the first byte|0
midway, in a later block|$((5 << 20))
in the last page|$((size - 100))
CASES

exit "$failed"
