#!/usr/bin/env bash
# System calls made to fail under strace: every failure must be reported,
# leave the old urls.txt byte for byte and leave no temporary file behind.
# usage: injected_failures_test.sh PATH/TO/linksift-extract
set -euo pipefail

driver="$1"
command -v strace >/dev/null || { echo "strace is not installed"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
# LeakSanitizer cannot run under ptrace.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# Large enough for several blocks read ahead and output buffers.
seq 1 200000 | sed 's|.*|see http://example.org/&, x\r|' >"$work/in.txt"
printf 'old links\r\n' >"$work/old.txt"

# A run without faults, traced: the folder must be synced after the rename, so
# that the new name lasts through a crash; and which close of the run's thread
# is the temporary's, the one after its fsync, for the row that fails it.
mkdir "$work/out"
cp "$work/old.txt" "$work/out/urls.txt"
strace -f -y -o "$work/trace" -e trace=close,fsync,rename,renameat,renameat2 -- \
  "$driver" "$work/in.txt" "$work/out/urls.txt" >/dev/null
if awk -v folder="<$work/out>)" '/rename/ && /"urls.txt"/ { renamed = 1; next }
  renamed && / fsync\(/ && index($0, folder) { synced = 1 } END { exit !synced }' "$work/trace"; then
  echo "ok folder synced after the rename"
else
  echo "FAIL no fsync of the folder after the rename: $(grep -A3 rename "$work/trace")"; failed=1
fi
# strace counts each thread's calls: the close to fail is counted among those
# of the thread that made the first fsync, the run's own.
temporary_close="$(awk '{ line[NR] = $0 }
  / fsync\(/ && at == "" { at = NR; run = $1; synced = $2; sub(/^fsync\(/, "", synced); sub(/<.*/, "", synced) }
  END { for (i = 1; i <= NR; i++) { split(line[i], f, " "); if (f[1] != run || line[i] !~ / close\(/) continue
          closes++; c = f[2]; sub(/^close\(/, "", c); sub(/<.*/, "", c)
          if (i > at && c == synced) { print closes; exit } } }' "$work/trace")"
[ -n "$temporary_close" ] || { echo "FAIL the temporary's close not found"; failed=1; temporary_close=1; }
rm -r "$work/out"

# The sanitizers probe memory with writes, five on the run's thread before its
# first output write (strace counts each thread's calls), and again while an
# exception unwinds: output writes are counted from the sixth and failures
# injected once.
mkfifo "$work/pipe"
feed_pipe() { cat "$work/in.txt" >"$work/pipe" 2>/dev/null & }
# name | strace options | what the error must say
while IFS='|' read -r name options expected; do
  rm -rf "$work/out"
  mkdir "$work/out"
  cp "$work/old.txt" "$work/out/urls.txt"
  input="$work/in.txt"
  # A pipe is read as its bytes come; a regular file ahead of the scan.
  case "$options" in *"$work/pipe"*) input="$work/pipe"; feed_pipe ;; esac
  # shellcheck disable=SC2086
  if strace -f -o /dev/null $options -- "$driver" "$input" "$work/out/urls.txt" \
    >"$work/stdout" 2>"$work/stderr"; then
    echo "FAIL $name: the run reported success"; failed=1; continue
  fi
  grep -q -- "$expected" "$work/stderr" || { echo "FAIL $name: $(cat "$work/stderr")"; failed=1; }
  cmp -s "$work/old.txt" "$work/out/urls.txt" || { echo "FAIL $name: urls.txt changed"; failed=1; }
  [ "$(ls -A "$work/out")" = "urls.txt" ] || { echo "FAIL $name: left $(ls -A "$work/out")"; failed=1; }
  echo "ok $name: $(cat "$work/stderr")"
done <<CASES
read error midway|-P $work/pipe -e trace=read -e inject=read:error=EIO:when=3|cannot read the input.*Input/output error
read error midway in a file|-P $work/in.txt -e trace=pread64 -e inject=pread64:error=EIO:when=2|cannot read the input.*Input/output error
disk full|-e trace=write -e inject=write:error=ENOSPC:when=6|cannot write the output.*No space left
interrupted then failing writes|-e trace=write -e inject=write:error=EINTR:when=6..8 -e inject=write:error=EIO:when=9|cannot write the output.*Input/output error
fsync fails|-e trace=fsync -e inject=fsync:error=EIO|cannot write the output.*Input/output error
early write-back fails|-e trace=sync_file_range -e inject=sync_file_range:error=EIO|cannot write the output.*Input/output error
temporary's close fails after the writes|-e trace=close -e inject=close:error=EIO:when=$temporary_close|cannot write the output.*Input/output error
rename fails|-e trace=rename,renameat,renameat2 -e inject=rename,renameat,renameat2:error=EXDEV|cannot replace the output.*cross-device
CASES

# Interrupted reads and writes are retried, not reported; an early write-back
# the system refuses leaves it all to the final fsync; with no thread to spare
# the run reads on its own thread.
"$driver" "$work/in.txt" "$work/plain.txt" >/dev/null
for options in "-P $work/pipe -e trace=read -e inject=read:error=EINTR:when=1+2" \
  "-P $work/in.txt -e trace=pread64 -e inject=pread64:error=EINTR:when=1+2" \
  "-e trace=write -e inject=write:error=EINTR:when=6..16+2" \
  "-e trace=sync_file_range -e inject=sync_file_range:error=ENOSYS" \
  "-e trace=clone,clone3 -e inject=clone,clone3:error=EAGAIN"; do
  input="$work/in.txt"
  case "$options" in *"$work/pipe"*) input="$work/pipe"; feed_pipe ;; esac
  # shellcheck disable=SC2086
  count="$(strace -f -o /dev/null $options -- "$driver" "$input" "$work/retry.txt")"
  if [ "$count" = 200000 ] && cmp -s "$work/retry.txt" "$work/plain.txt"; then
    echo "ok retried: $options"
  else
    echo "FAIL retries ($options): count $count"; failed=1
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
  echo "FAIL killed run: $(ls -A "$work/killed")"; failed=1
fi

exit "$failed"
