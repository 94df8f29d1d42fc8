#!/usr/bin/env bash
# linksift-extract as its users call it: options, standard streams, outputs
# that name an open descriptor, signals that must become errors, and a count
# that cannot be printed. One table per mechanism.
# usage: driver_test.sh PATH/TO/linksift-extract VERSION
set -euo pipefail

driver="$(realpath "$1")" version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

printf 'a http://x/1 b\r\nnone\nsee http://y/2, more\n' >in.txt
printf 'http://x/1\r\nhttp://y/2\r\n' >links.txt
cp in.txt ./-in.txt
failed=0
fail() { echo "FAIL $*"; failed=1; }

# --- Command line: name | arguments | exit status | stream | what it must hold (grep -E)
while IFS='|' read -r name arguments status stream pattern; do
  rc=0
  eval "\"\$driver\" $arguments" >stdout 2>stderr || rc=$?
  [ "$rc" = "$status" ] || { fail "$name: exit $rc, not $status: $(cat stderr)"; continue; }
  grep -Eq -- "$pattern" "$stream" || { fail "$name: $stream is '$(cat "$stream")'"; continue; }
  if [ "$status" = 2 ]; then
    # One line saying what is wrong, and the hint.
    [ "$(wc -l <stderr)" = 2 ] && [ "$(tail -n 1 stderr)" = "Try 'linksift-extract --help'." ] &&
      [ ! -s stdout ] || { fail "$name: usage error as '$(cat stderr)'"; continue; }
  fi
  echo "ok $name"
done <<CASES
help on stdout|--help|0|stdout|^Usage: linksift-extract \[OPTIONS\] INPUT OUTPUT$
-h is --help|-h|0|stdout|^Usage: linksift-extract \[OPTIONS\] INPUT OUTPUT$
help names the exit codes|--help in.txt|0|stdout|0 the links were written, 1 the run failed
version|--version|0|stdout|^linksift-extract ${version//./\\.}$
unknown option|-x in.txt out.txt|2|stderr|^linksift-extract: unknown option '-x'$
unknown long option|in.txt out.txt --verbose|2|stderr|unknown option '--verbose'
no operands||2|stderr|missing INPUT and OUTPUT
no output|in.txt|2|stderr|missing OUTPUT after 'in.txt'
extra operand|in.txt out.txt more.txt|2|stderr|extra operand 'more.txt'
-- ends the options|-- -in.txt out.txt|0|stdout|^2$
an option after -- is a name|-- --help out.txt|1|stderr|cannot open the input '--help'
- is standard input|- out.txt <in.txt|0|stdout|^2$
- as output puts the count on stderr|in.txt -|0|stderr|^2$
/dev/stdout as output puts the count on stderr|in.txt /dev/stdout|0|stderr|^2$
missing input|none.txt out.txt|1|stderr|^linksift-extract: cannot open the input 'none.txt': No such file or directory$
what was being created|in.txt gone/urls.txt|1|stderr|cannot create a temporary file in 'gone' for 'gone/urls.txt': No such file
version that cannot be printed|--version >/dev/full|1|stderr|^linksift-extract: cannot print the version: No space left on device$
help that cannot be printed|--help >&-|1|stderr|^linksift-extract: cannot print the help: Bad file descriptor$
a descriptor it was not given|in.txt /dev/fd/3 3<&-|1|stderr|^linksift-extract: cannot follow the output '/dev/fd/3': Bad file descriptor$
a name of 233 bytes|in.txt $(printf 'c%.0s' $(seq 233))|0|stdout|^2$
a name of 255 bytes|in.txt $(printf 'c%.0s' $(seq 255))|0|stdout|^2$
CASES
for length in 233 255; do
  name="$(printf 'c%.0s' $(seq "$length"))"
  cmp -s "$name" links.txt || fail "the name of $length bytes holds $(cat -A "$name")"
  rm -f "$name"
done
cmp -s out.txt links.txt || fail "the runs above wrote $(cat -A out.txt)"

# --- UTF-16 with its mark, as Windows saves "Unicode" text, from a file, a
# pipe and standard input; the links come out in UTF-8.
# name | command, run by bash in the work folder (the output is out.txt)
printf 'Ссылка: http://пример.рф/путь, дальше\r\nnone\r\nsee HTTP://x/\xF0\x9F\x98\x80. y\r\n' >utf8.txt
{ printf '\xFF\xFE'; iconv -f UTF-8 -t UTF-16LE utf8.txt; } >utf16le.txt
{ printf '\xFE\xFF'; iconv -f UTF-8 -t UTF-16BE utf8.txt; } >utf16be.txt
printf 'http://пример.рф/путь\r\nHTTP://x/\xF0\x9F\x98\x80\r\n' >utf16-links.txt
export driver
while IFS='|' read -r name command; do
  rm -f out.txt
  bash -c "$command" >count 2>&1 || { fail "$name: $(cat count)"; continue; }
  [ "$(cat count)" = 2 ] || { fail "$name: printed $(cat count)"; continue; }
  cmp -s out.txt utf16-links.txt || { fail "$name: out.txt holds $(od -c out.txt)"; continue; }
  echo "ok $name"
done <<CASES
UTF-16LE file|"\$driver" utf16le.txt out.txt
UTF-16BE file|"\$driver" utf16be.txt out.txt
UTF-16LE through - from a pipe|cat utf16le.txt | "\$driver" - out.txt
UTF-16BE as /dev/stdin from a file|"\$driver" /dev/stdin out.txt <utf16be.txt
UTF-16LE to -|"\$driver" utf16le.txt - >out.txt
CASES

# --- Outputs that name an open descriptor are written through it, append
# mode kept, and the file behind one is never replaced.
# name @ command, run by bash in the work folder @ file holding the result @ what it must hold
socket_stdout() { # Runs a command with its standard output a socket; prints what came through.
  /usr/bin/python3 -c '
import socket, subprocess, sys
mine, theirs = socket.socketpair()
run = subprocess.Popen(sys.argv[1:], stdout=theirs)
theirs.close()
data = b""
while chunk := mine.recv(65536):
    data += chunk
sys.stdout.buffer.write(data)
sys.exit(run.wait())' "$@"
}
export -f socket_stdout
export driver
printf 'old line\n' >old-log.txt
{ cat old-log.txt; cat links.txt; } >appended.txt
while IFS='@' read -r name command result expected; do
  cp old-log.txt log.txt
  inode="$(stat -c %i log.txt)"
  rm -f result.txt
  if ! bash -c "$command" 2>stderr; then fail "$name: $(cat stderr)"; continue; fi
  cmp -s "$result" "$expected" || { fail "$name: $result holds $(cat -A "$result")"; continue; }
  [ "$(stat -c %i log.txt)" = "$inode" ] || { fail "$name: log.txt was replaced"; continue; }
  [ -z "$(find . -name '.*.tmp')" ] || { fail "$name: left $(find . -name '.*.tmp')"; continue; }
  # Never a file named after a link's text.
  [ -z "$(find . -name '*(deleted)*')" ] || { fail "$name: made $(find . -name '*(deleted)*')"; continue; }
  echo "ok $name"
done <<CASES
/dev/stdout appended to a log keeps the log@"\$driver" in.txt /dev/stdout >>log.txt@log.txt@appended.txt
- appended to a log keeps the log@"\$driver" in.txt - >>log.txt@log.txt@appended.txt
/dev/fd/3 appended to a log keeps the log@"\$driver" in.txt /dev/fd/3 3>>log.txt >/dev/null@log.txt@appended.txt
/proc/self/fd/1 appended to a log keeps the log@"\$driver" in.txt /proc/self/fd/1 >>log.txt@log.txt@appended.txt
a link to /dev/stdout appended to a log@ln -sf /dev/stdout to-stdout && "\$driver" in.txt to-stdout >>log.txt@log.txt@appended.txt
a link to /proc/PID/fd/1, a pipe@bash -c 'ln -sf /proc/\$\$/fd/1 via-proc && exec "\$driver" in.txt via-proc' | cat >result.txt@result.txt@links.txt
/dev/stdout a pipe@"\$driver" in.txt /dev/stdout | cat >result.txt@result.txt@links.txt
/dev/stdout a socket@socket_stdout "\$driver" in.txt /dev/stdout >result.txt@result.txt@links.txt
/dev/stdout a fresh file@"\$driver" in.txt /dev/stdout >result.txt@result.txt@links.txt
/dev/stderr a file@"\$driver" in.txt /dev/stderr 2>result.txt >/dev/null@result.txt@links.txt
/proc/thread-self/fd/1 appended to a log@"\$driver" in.txt /proc/thread-self/fd/1 >>log.txt@log.txt@appended.txt
/proc/self/task/PID/fd/1 appended to a log@sh -c 'exec "\$driver" in.txt /proc/self/task/\$\$/fd/1' >>log.txt@log.txt@appended.txt
1 relative to /proc/self/fd appended to a log@sh -c 'cd /proc/self/fd && exec "\$driver" "$work/in.txt" 1' >>log.txt@log.txt@appended.txt
the shell's descriptor of a deleted log@cp log.txt gone; exec 3>>gone; rm gone; "\$driver" in.txt /proc/\$\$/fd/3 >/dev/null && cat /proc/\$\$/fd/3 >result.txt@result.txt@appended.txt
CASES

# --- Signals a write raises are write errors, and the old output stays.
# name @ how the output is set up and the driver run @ what stderr must say
seq 1 300000 | sed 's|.*|see http://example.org/&, x|' >big.txt
printf 'old\r\n' >old.txt
while IFS='@' read -r name command expected; do
  cp old.txt urls.txt
  rm -f fifo && mkfifo fifo
  rc=0
  bash -c "$command" >/dev/null 2>stderr || rc=$?
  [ "$rc" = 1 ] || { fail "$name: exit $rc: $(cat stderr)"; continue; }
  grep -q -- "$expected" stderr || { fail "$name: $(cat stderr)"; continue; }
  cmp -s old.txt urls.txt || { fail "$name: urls.txt changed"; continue; }
  echo "ok $name: $(cat stderr)"
done <<CASES
the reader of a pipe leaves@head -c 1 fifo >/dev/null & "\$driver" big.txt fifo@cannot write the output 'fifo': Broken pipe
the reader of stdout leaves@"\$driver" big.txt - | head -c 1 >/dev/null; exit \${PIPESTATUS[0]}@cannot write the output '-': Broken pipe
a file size limit@ulimit -f 100; "\$driver" big.txt urls.txt@cannot write the output 'urls.txt': File too large
CASES

# --- A count that cannot be printed fails the run, and says the links were written.
# name @ command, run by bash in the work folder
# A pipe whose reader has gone: opened both ways, then only the writing end kept.
no_reader='rm -f pipe; mkfifo pipe; exec 4<>pipe 5>pipe 4<&-'
head -c 1024 /dev/zero >full-count.txt
while IFS='@' read -r name command; do
  rm -f out.txt
  cp full-count.txt count.txt
  rc=0
  bash -c "$command" 2>stderr || rc=$?
  [ "$rc" = 1 ] || { fail "$name: exit $rc"; continue; }
  grep -q "the links were written to 'out.txt', but their number could not be printed" stderr ||
    { fail "$name: $(cat stderr)"; continue; }
  cmp -s out.txt links.txt || { fail "$name: out.txt not written"; continue; }
  echo "ok $name: $(cat stderr)"
done <<CASES
stdout closed@"\$driver" in.txt out.txt >&-
stdout a full disk@"\$driver" in.txt out.txt >/dev/full
stdout a pipe nobody reads@$no_reader; "\$driver" in.txt out.txt >&5
stdout a file at its size limit@ulimit -f 1; "\$driver" in.txt out.txt >>count.txt
CASES

exit "$failed"
