#!/usr/bin/env bash
# Outputs in folders that several users share: a link is followed only where
# the kernel would follow it for the runner, a folder that can be written but
# not read takes its file, and a replacement keeps its owner. Needs root and
# setpriv to run as the users 1001 and 1002: skipped (77) without them.
# usage: two_users_test.sh PATH/TO/linksift-extract
set -euo pipefail

driver="$(realpath "$1")"
[ "$(id -u)" = 0 ] || { echo "skip: needs root to run as two users"; exit 77; }
command -v setpriv >/dev/null || { echo "skip: no setpriv (Debian package util-linux)"; exit 77; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work"
# LeakSanitizer cannot run as another user here.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export driver

printf 'a http://x/1 b\r\nsee http://y/2, more\n' >in.txt
printf 'http://x/1\r\nhttp://y/2\r\n' >links.txt
printf 'notes\n' >notes.txt
chmod 644 in.txt links.txt notes.txt
failed=0
fail() { echo "FAIL $*"; failed=1; }
as() { # as UID COMMAND...: runs COMMAND as that user (0: root as it is)
  local user="$1"
  shift
  if [ "$user" = 0 ]; then "$@"; else setpriv --reuid="$user" --regid="$user" --clear-groups "$@"; fi
}
# A fresh case folder: the victim 1002's home with notes in it, and a shared
# folder anyone may write to, as /tmp.
fresh() {
  rm -rf home shared wx
  mkdir -m 755 home && cp notes.txt home/notes && chown -R 1002:1002 home
  mkdir -m 1777 shared
}

# name | set-up, as root | who runs | output | exit | what must hold after, as root
while IFS='|' read -r name setup runner output status check; do
  fresh
  eval "$setup"
  rc=0
  as "$runner" "$driver" in.txt "$output" >stdout 2>stderr || rc=$?
  if [ "$rc" != "$status" ]; then
    fail "$name: exit $rc, not $status: $(cat stderr)"
  elif ! eval "$check"; then
    fail "$name: $(cat stderr), then $(ls -lA home shared 2>&1 | tr '\n' ' ')"
  else
    echo "ok $name: $(cat stderr)"
  fi
done <<'CASES'
a link another user planted in a shared folder, run by the victim|ln -s "$PWD/home/notes" shared/urls.txt && chown -h 1001:1001 shared/urls.txt|1002|shared/urls.txt|1|cmp -s home/notes notes.txt && grep -q "cannot follow the output 'shared/urls.txt': Permission denied" stderr
the same link, run by root|ln -s "$PWD/home/notes" shared/urls.txt && chown -h 1001:1001 shared/urls.txt|0|shared/urls.txt|1|cmp -s home/notes notes.txt && [ -L shared/urls.txt ]
the runner's own link in a shared folder is followed|ln -s "$PWD/home/notes" shared/urls.txt && chown -h 1002:1002 shared/urls.txt|1002|shared/urls.txt|0|cmp -s home/notes links.txt && [ -L shared/urls.txt ]
the folder owner's link in its sticky folder is followed|chown 1001 shared && ln -s "$PWD/home/notes" shared/urls.txt && chown -h 1001:1001 shared/urls.txt|1002|shared/urls.txt|0|cmp -s home/notes links.txt
the user's own link in the user's folder|ln -s notes home/urls.txt && chown -h 1002:1002 home/urls.txt|1002|home/urls.txt|0|cmp -s home/notes links.txt && [ -L home/urls.txt ]
a folder that can be written but not read|mkdir -m 733 wx|1002|wx/out.txt|0|cmp -s wx/out.txt links.txt && [ "$(ls -A wx)" = out.txt ]
a file root replaces keeps its owner and group|cp notes.txt home/urls.txt && chown 1002:1002 home/urls.txt|0|home/urls.txt|0|[ "$(stat -c %u:%g home/urls.txt)" = 1002:1002 ] && cmp -s home/urls.txt links.txt && as 1002 "$driver" in.txt home/urls.txt >/dev/null
CASES

exit "$failed"
