# shellcheck shell=bash
# Shared by the Windows package tests; source it with wine (its path) and
# shots (a folder for screenshots) set. Wine runs as an ordinary user (nobody
# when the tests run as root, who may write anywhere) in a fresh prefix of
# the test's own, on a display of its own. Gives a private folder, work, with
# a sample input and the urls.txt expected from it.

source "$(dirname "${BASH_SOURCE[0]}")/../window/end_to_end_lib.sh"
prefix="$work/tester/prefix"

# as_tester COMMAND...: as the user Wine runs as.
if [ "$(id -u)" -eq 0 ]; then
  as_tester() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
else
  as_tester() { "$@"; }
fi

clean_up_more() {
  local server
  if [ -d "$prefix" ]; then
    # Ended before the next test starts, which then has the machine to itself.
    as_tester env WINEPREFIX="$prefix" "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
    as_tester env WINEPREFIX="$prefix" "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    # The server's folder in /tmp, named in the prefix.
    server="$(cat "$prefix/wineserver" 2>/dev/null || true)"
    [[ "$server" != wine-* ]] || rm -rf "/tmp/$server"
  fi
  chmod -R u+w "$work" 2>/dev/null || true
}

# A new prefix, made by the tester, so that its profile folders are the
# tester's own (a copy of another user's lacks them), in a home of its own;
# and a display of the test's own, since the tester cannot reach one the
# caller's X authority guards.
make_prefix() {
  start_xvfb
  chmod 755 "$work"
  # Wine makes a prefix only in a folder of the user's own.
  mkdir -p "$work/tester/home"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$work/tester"
  on_wine wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot failed: $(cat "$work/wineboot.log")"
  wine_settle
}

# on_wine PROGRAM ARGS...: runs a Windows program as the tester. The menu
# builder stays off: it would put Linux desktop entries in the home folder.
on_wine() {
  as_tester env HOME="$work/tester/home" WINEPREFIX="$prefix" WINEDEBUG=-all \
    WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=" "$wine" "$@"
}

# Waits until every program in the prefix has ended.
wine_settle() {
  as_tester env WINEPREFIX="$prefix" "$(dirname "$wine")/wineserver" -w
}


# open_in_window PROGRAM FOLDER FILE: starts the window program (a Windows
# path) in FOLDER on FILE, as a desktop's "Open with" does, and waits for its
# window. The window stays open: close_window closes it.
open_in_window() {
  local program="$1" folder="$2" file="$3"
  (cd "$folder" && on_wine "$program" "$file" >"$program_log" 2>&1) &
  pids+=($!)
  await_window
}

# Closes the window as a user would (Alt+F4) and waits for its program to end.
close_window() {
  xdotool windowfocus --sync "$window"
  xdotool key alt+F4
  wait_until bash -c "! xdotool search --onlyvisible --name '^Linksift$'" ||
    fail "the window did not close"
  wine_settle
}

input="$work/ссылки.txt" expected="$work/expected.txt"
printf 'see HTTP://Ab/Cd, next\r\nnothing here\r\nhttp://example.org/b.\r\n' >"$input"
printf 'HTTP://Ab/Cd\r\nhttp://example.org/b\r\n' >"$expected"
