#!/usr/bin/env bash
# A file whose size is not what it holds (sysfs, a FUSE or network mount) is
# read to its end: the links of every byte it gives, never a read error and
# never a part quietly left out. Needs FUSE: skipped (77) without it.
# usage: lying_size_test.sh PATH/TO/linksift-extract
set -euo pipefail

# shellcheck source=fuse_lib.sh
. "$(dirname "$0")/fuse_lib.sh"
line_size=35 # disks.py's line: "see http://example.org/path, more" and CR LF
failed=0

# name | size it says | bytes it gives
case_number=0
while IFS='|' read -r name claimed held; do
  case_number=$((case_number + 1))
  disk="disk-$case_number"
  serve "$disk" lying "$claimed" "$held"
  rc=0
  timeout 20 "$driver" "$work/$disk/in.txt" "$work/urls-$case_number.txt" >"$work/count" \
    2>"$work/stderr" || rc=$?
  unmount
  want=$(((held + line_size - 1) / line_size))
  if [ "$rc" != 0 ]; then
    echo "FAIL $name: exit $rc: $(cat "$work/stderr")"; failed=1
  elif [ "$(cat "$work/count")" != "$want" ]; then
    echo "FAIL $name: $(cat "$work/count") links, not $want"; failed=1
  else
    echo "ok $name: $want links"
  fi
done <<CASES
says a page, holds 70 bytes|4096|70
says 300000 bytes, gives 700000|300000|700000
says 8 MiB, holds 3 MiB|$((8 << 20))|$((3 << 20))
CASES

exit "$failed"
