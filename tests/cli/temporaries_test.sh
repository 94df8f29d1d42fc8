#!/usr/bin/env bash
# Named temporary files never outlive their run: a signal that ends a run
# removes its temporary, a later run sweeps those of killed runs (and never
# one a live run uses), and a folder that could not lose one is refused.
# usage: temporaries_test.sh PATH/TO/linksift-extract
set -euo pipefail

driver="$(realpath "$1")"
# The name the system gives the driver's process: at most 15 characters.
driver_name="$(basename "$driver" | cut -c1-15)"
command -v strace >/dev/null || { echo "strace is not installed"; exit 1; }
work="$(mktemp -d)"
cleanup() {
  chattr -a "$work/appendonly" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
# Job control: background runs get SIGINT as a terminal's Ctrl-C would, not ignored.
set -m
# LeakSanitizer cannot run under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

seq 1 100000 | sed 's|.*|see http://a.example/&, x|' >a.txt
seq 1 100000 | sed 's|.*|see http://b.example/&, x|' >b.txt
"$driver" a.txt expected-a.txt >/dev/null
"$driver" b.txt expected-b.txt >/dev/null
printf 'old\r\n' >old.txt
failed=0
fail() { echo "FAIL $*"; failed=1; }
temporaries() { find out -name '.urls.txt.linksift-*.tmp' | wc -l; }
fresh_out() { rm -rf out fifo && mkdir out && cp old.txt out/urls.txt && mkfifo fifo; }
# Waits up to 10 s for the run to have `1` temporary (or `0`).
await_temporaries() {
  for _ in $(seq 200); do [ "$(temporaries)" = "$1" ] && return 0; sleep 0.05; done
  return 1
}
# Starts the driver with ARGUMENTS in the background under strace OPTIONS; its
# own pid goes to run.pid. strace first forks short-lived children of its own
# to probe what ptrace can do, so the driver is found by its name.
start_traced() {
  local options="$1"
  shift
  rm -f run.pid
  # shellcheck disable=SC2086
  strace -f -o /dev/null $options -- "$driver" "$@" >/dev/null 2>stderr &
  traced=$!
  for _ in $(seq 200); do pgrep -P "$traced" -x "$driver_name" >run.pid && break; sleep 0.05; done
}

# Which openat makes the unnamed temporary: failing it makes the run name its
# temporary from the start, as on a file system without O_TMPFILE.
fresh_out
strace -f -o openat.log -e trace=openat -- "$driver" a.txt out/urls.txt >/dev/null
# strace counts each thread's calls: the run's thread is the one that makes it.
run_thread="$(grep O_TMPFILE openat.log | head -n 1 | cut -d' ' -f1)"
tmpfile_call="$(grep "^$run_thread " openat.log | grep -n O_TMPFILE | head -n 1 | cut -d: -f1)"
[ -n "$tmpfile_call" ] || { echo "FAIL no O_TMPFILE open seen"; exit 1; }
no_tmpfile="-e trace=openat -e inject=openat:error=EOPNOTSUPP:when=$tmpfile_call"
delayed_rename="-e trace=rename,renameat,renameat2 -e inject=rename,renameat,renameat2:delay_enter=3000000"

# --- A signal that ends a run removes its named temporary and then ends it as
# it would have; the old urls.txt stays. The run waits on a fifo with no writer.
# The signal goes to the process, or to each of its threads but the main one:
# the threads that work must not take it where nothing cleans up after them.
while read -r signal whom; do
  fresh_out
  start_traced "$no_tmpfile" fifo out/urls.txt
  await_temporaries 1 || { fail "$signal to the $whom: the run never named its temporary"; continue; }
  pid="$(cat run.pid)"
  if [ "$whom" = process ]; then
    kill "-$signal" "$pid"
  else
    for task in /proc/"$pid"/task/*; do
      [ "${task##*/}" = "$pid" ] || kill "-$signal" "${task##*/}" 2>/dev/null || true
    done
  fi
  rc=0
  wait "$traced" || rc=$?
  if [ "$rc" != "$((128 + $(kill -l "$signal")))" ]; then
    fail "$signal to the $whom: exit $rc: $(cat stderr)"
  elif [ "$(temporaries)" != 0 ] || ! cmp -s old.txt out/urls.txt; then
    fail "$signal to the $whom: left $(ls -A out), or changed urls.txt"
  else
    echo "ok $signal to the $whom removes the named temporary"
  fi
done <<'CASES'
TERM process
INT process
HUP process
TERM threads
CASES

# Starts a run under strace OPTIONS that reads a.txt from a fifo and holds
# where HOLDS says: at the rename (delayed), or waiting for more from the
# fifo, kept open on descriptor 3. Fails unless it has named its temporary.
hold_first_run() {
  fresh_out
  start_traced "$1" fifo out/urls.txt
  exec 3>fifo
  cat a.txt >&3
  [ "$2" = fifo ] || exec 3>&-
  await_temporaries 1 && return 0
  exec 3>&-
  return 1
}

# --- Runs that cannot clean up (kill -9 between naming the temporary and the
# rename) leave it to the next run, which removes it; a live run's is kept.
# killed_run_left_to_the_next NAME OPTIONS HOLDS (as hold_first_run takes them)
killed_run_left_to_the_next() {
  local name="$1"
  if ! hold_first_run "$2" "$3"; then
    fail "$name: the first run never named its temporary"
    return
  fi
  kill -9 "$(cat run.pid)"
  exec 3>&-
  wait "$traced" || true
  if [ "$(temporaries)" != 1 ]; then
    fail "$name: kill -9 left $(temporaries) temporaries"
  elif ! "$driver" b.txt out/urls.txt >/dev/null; then
    fail "$name: the next run failed"
  elif [ "$(temporaries)" != 0 ] || ! cmp -s expected-b.txt out/urls.txt; then
    fail "$name: the next run kept $(ls -A out) or wrote the wrong links"
  else
    echo "ok $name: the next run removed it"
  fi
}

# A live run's temporary stays while another run completes; then the live
# run completes too, and its links win.
live_run_kept() {
  local name="$1" kept rc=0
  if ! hold_first_run "$2" "$3"; then
    fail "$name: the live run never named its temporary"
    return
  fi
  "$driver" b.txt out/urls.txt >/dev/null || fail "$name: the other run failed"
  kept="$(temporaries)"
  exec 3>&-
  wait "$traced" || rc=$?
  if [ "$kept" != 1 ]; then
    fail "$name: the other run removed the live run's temporary"
  elif [ "$rc" != 0 ]; then
    fail "$name: the live run failed: $(cat stderr)"
  elif ! cmp -s expected-a.txt out/urls.txt || [ "$(temporaries)" != 0 ]; then
    fail "$name: the live run's links are not in place, or it left $(ls -A out)"
  else
    echo "ok $name: kept for the live run"
  fi
}

# how the first run holds | strace options of the first run | where it holds
while IFS='|' read -r how options holds; do
  killed_run_left_to_the_next "killed $how" "$options" "$holds"
  live_run_kept "live run $how" "$options" "$holds"
done <<CASES
at a slow rename|$delayed_rename|rename
with a temporary named from the start|$no_tmpfile|fifo
CASES

# --- A folder where a temporary could be made but never removed (chattr +a)
# is refused before anything is made in it.
mkdir appendonly && cp old.txt appendonly/urls.txt
if chattr +a appendonly 2>/dev/null; then
  rc=0
  "$driver" a.txt appendonly/urls.txt >/dev/null 2>stderr || rc=$?
  if [ "$rc" = 1 ] && grep -q "appendonly/urls.txt': Operation not permitted" stderr &&
    cmp -s old.txt appendonly/urls.txt && [ "$(ls -A appendonly)" = urls.txt ]; then
    echo "ok append-only folder: $(cat stderr)"
  else
    fail "append-only folder: exit $rc, $(cat stderr), holds $(ls -A appendonly)"
  fi
else
  echo "skip append-only folder: this file system has no chattr +a"
fi

exit "$failed"
