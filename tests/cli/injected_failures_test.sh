#!/usr/bin/env bash
# System calls made to fail by what they work on, through a library preloaded
# into the driver: every failure must be reported, leave the old urls.txt byte
# for byte and leave no temporary file behind; interrupted calls are retried.
# usage: injected_failures_test.sh PATH/TO/linksift-extract
# LINKSIFT_FAULTS_LIBRARY names the library (tests/support/faults), which
# takes its rules from LINKSIFT_FAULTS.
set -euo pipefail

driver="$1"
faults="${LINKSIFT_FAULTS_LIBRARY:?names the library that fails the calls}"
command -v strace >/dev/null || { echo "strace is not installed"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=1; }
trap 'echo "FAIL stopped at line $LINENO: $BASH_COMMAND"' ERR

# Large enough for several blocks read ahead and output buffers.
seq 1 200000 | sed 's|.*|see http://example.org/&, x\r|' >"$work/in.txt"
printf 'old links\r\n' >"$work/old.txt"

# A sanitizer's runtime must come first among the preloaded libraries.
preload="$(ldd "$driver" | awk '/lib(a|t|ub)san\.so/ { printf "%s ", $3 }')$faults"
# Runs the driver with the calls that RULES name failed; each call failed is
# noted in faults.log.
with_faults() {
  local rules="$1"
  shift
  rm -f "$work/faults.log"
  LD_PRELOAD="$preload" LINKSIFT_FAULTS="$rules" LINKSIFT_FAULTS_LOG="$work/faults.log" \
    "$driver" "$@"
}
injected() { [ -s "$work/faults.log" ]; }
# A pipe is read as its bytes come; a regular file ahead of the scan.
mkfifo "$work/pipe"
feeder=""
feed_pipe() {
  cat "$work/in.txt" >"$work/pipe" 2>/dev/null &
  feeder=$!
}
# The output's early write-back runs beside the writes and may find them all
# done: the pipe is held open, with the whole input written, until a call has
# been failed (a minute at most), so that the run cannot end before one is.
feed_pipe_held() {
  (
    exec >"$work/pipe" 2>/dev/null
    cat "$work/in.txt"
    for _ in $(seq 600); do injected && break; sleep 0.1; done
  ) &
  feeder=$!
}
# Which input RULES are run on, its feeder started.
pick_input() {
  case "$1" in
  *"$work/pipe"*) input="$work/pipe"; feed_pipe ;;
  *sync_file_range*) input="$work/pipe"; feed_pipe_held ;;
  *) input="$work/in.txt" ;;
  esac
}
# A run that failed before it opened the pipe leaves its feeder waiting.
stop_feeder() {
  [ -n "$feeder" ] || return 0
  kill "$feeder" 2>/dev/null || true
  wait "$feeder" 2>/dev/null || true
  feeder=""
}

# A run without faults, traced: the folder must be synced after the rename, so
# that the new name lasts through a crash. LeakSanitizer cannot run under ptrace.
mkdir "$work/out"
cp "$work/old.txt" "$work/out/urls.txt"
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
  strace -f -y -o "$work/trace" -e trace=close,fsync,rename,renameat,renameat2 -- \
  "$driver" "$work/in.txt" "$work/out/urls.txt" >/dev/null
if awk -v folder="<$work/out>)" '/rename/ && /"urls.txt"/ { renamed = 1; next }
  renamed && / fsync\(/ && index($0, folder) { synced = 1 } END { exit !synced }' "$work/trace"; then
  echo "ok folder synced after the rename"
else
  fail "no fsync of the folder after the rename: $(grep -A3 rename "$work/trace")"
fi

# One run with RULES failing its calls: it must fail with EXPECTED on standard
# error and leave the old urls.txt alone. Says what went wrong; false then.
# failing_run NAME RULES EXPECTED
failing_run() {
  local name="$1" rules="$2" expected="$3" input
  rm -rf "$work/out"
  mkdir "$work/out"
  cp "$work/old.txt" "$work/out/urls.txt"
  pick_input "$rules"
  local rc=0
  with_faults "$rules" "$input" "$work/out/urls.txt" >"$work/stdout" 2>"$work/stderr" || rc=$?
  stop_feeder
  if ! injected; then
    echo "FAIL $name: no call was failed (exit $rc): $(cat "$work/stderr")"
  elif [ "$rc" = 0 ]; then
    echo "FAIL $name: the run reported success"
  elif ! grep -q -- "$expected" "$work/stderr" || grep -q Sanitizer "$work/stderr"; then
    echo "FAIL $name: exit $rc: $(cat "$work/stderr")"
  elif ! cmp -s "$work/old.txt" "$work/out/urls.txt"; then
    echo "FAIL $name: urls.txt changed"
  elif [ "$(ls -A "$work/out")" != "urls.txt" ]; then
    echo "FAIL $name: left $(ls -A "$work/out")"
  else
    echo "ok $name: $(cat "$work/stderr")"
    return 0
  fi
  return 1
}

# name | the calls failed: CALL WHERE ERROR [WHICH], counted per rule | what the error must say
while IFS='|' read -r name rules expected; do
  failing_run "$name" "$rules" "$expected" || failed=1
done <<CASES
read error midway|read $work/pipe EIO 3|cannot read the input.*Input/output error
read error midway in a file|pread $work/in.txt EIO 2|cannot read the input.*Input/output error
disk full|write $work/out/ ENOSPC 1|cannot write the output.*No space left
interrupted then failing writes|write $work/out/ EINTR 1..3; write $work/out/ EIO 4|cannot write the output.*Input/output error
fsync fails|fsync $work/out/ EIO|cannot write the output.*Input/output error
early write-back fails|sync_file_range $work/out/ EIO|cannot write the output.*Input/output error
temporary's close fails after the writes|close-after-write $work/out/ EIO|cannot write the output.*Input/output error
rename fails|rename $work/out/ EXDEV|cannot replace the output.*cross-device
CASES

# Interrupted reads and writes are retried, not reported; an early write-back
# the system refuses leaves it all to the final fsync; with no thread to spare
# the run reads on its own thread.
"$driver" "$work/in.txt" "$work/plain.txt" >/dev/null
mkdir "$work/retry"
for rules in "read $work/pipe EINTR 1+2" "pread $work/in.txt EINTR 1+2" \
  "write $work/retry/ EINTR 1..11+2" "sync_file_range $work/retry/ ENOSYS" "thread * EAGAIN"; do
  pick_input "$rules"
  count="$(with_faults "$rules" "$input" "$work/retry/urls.txt" 2>"$work/stderr")" || true
  stop_feeder
  if ! injected; then
    fail "retries ($rules): no call was failed: $(cat "$work/stderr")"
  elif [ "$count" = 200000 ] && cmp -s "$work/retry/urls.txt" "$work/plain.txt" &&
    ! grep -q Sanitizer "$work/stderr"; then
    echo "ok retried: $rules"
  else
    fail "retries ($rules): count $count: $(cat "$work/stderr")"
  fi
done

# A run killed midway leaves nothing behind: its temporary file has no name yet.
mkdir "$work/killed" && cp "$work/old.txt" "$work/killed/urls.txt" && mkfifo "$work/fifo"
"$driver" "$work/fifo" "$work/killed/urls.txt" >/dev/null 2>&1 &
pid=$!
exec 3>"$work/fifo"
head -c 300000 "$work/in.txt" >&3
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
exec 3>&-
if cmp -s "$work/old.txt" "$work/killed/urls.txt" && [ "$(ls -A "$work/killed")" = urls.txt ]; then
  echo "ok killed run left nothing"
else
  fail "killed run: $(ls -A "$work/killed")"
fi

exit "$failed"
