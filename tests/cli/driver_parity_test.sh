#!/usr/bin/env bash
# The Windows driver, under Wine, writes byte for byte what the Linux driver
# writes, on the same inputs, one of them named in Cyrillic, three in UTF-16,
# and through the standard streams.
# usage: driver_parity_test.sh LINUX_DRIVER WINDOWS_DRIVER WORKDIR WINE
set -euo pipefail
linux="$1" windows="$2" work="$3" wine="$4"
rm -rf "$work"
mkdir -p "$work/in" "$work/linux" "$work/windows"

printf '' >"$work/in/empty.txt"
printf 'see HTTP://Ab/Cd, next\r\nonly https://ab/c here\r\na http://ab/c; http://de/f end\r\n' >"$work/in/rule.txt"
printf 'go http://ab/c.. now\r\n(http://ab/(c)) next\r\nx http://ab/c\tmore end\r\nxhttp://http://ab y\r\n' >>"$work/in/rule.txt"
printf 'http://a\nhttp://b\rhttp://c\r\n\n\rhttp://d.' >"$work/in/line ends.txt"
printf 'Ссылка: http://пример.рф/путь, дальше\r\n\xff\xfe http://\x80\x81; x\r\n' >"$work/in/ссылки в тексте.txt"
# UTF-16LE with its mark, as PowerShell 5's `>` and Notepad's "Unicode" save
# text, and UTF-16BE; each also checked for the links it must give.
utf16() { printf "$1" && printf "$2" | iconv -t "$3"; }
utf16 '\xFF\xFE' 'Ссылки\r\nhttp://пример.рф/путь, дальше\r\nsee HTTP://Example.org/A.\r\n' UTF-16LE \
  >"$work/in/powershell.txt"
utf16 '\xFF\xFE' 'Заметка http://例え.jp/頁 x\r\nhttp://a/\xF0\x9F\x98\x80' UTF-16LE >"$work/in/unicode.txt"
utf16 '\xFE\xFF' 'a http://b/\xD0\xB2;\nc\rhttp://d' UTF-16BE >"$work/in/big endian.txt"
declare -A expected=(
  [powershell.txt]='http://пример.рф/путь\r\nHTTP://Example.org/A\r\n'
  [unicode.txt]='http://例え.jp/頁\r\nhttp://a/\xF0\x9F\x98\x80\r\n'
  ["big endian.txt"]='http://b/\xD0\xB2\r\nhttp://d\r\n'
)
# Pseudo-random bytes rich in what matters, the same on every run.
awk 'BEGIN { srand(7); split("http:// HTTP:// hTtP:// :// \t \r\n \n \r . , ;: ab", p, " ");
             for (i = 0; i < 200000; i++) printf "%s%s", p[int(rand() * 13) + 1], (rand() < 0.3 ? " " : "") }' \
  >"$work/in/random.txt"

status=0
for input in "$work/in"/*; do
  name="$(basename "$input")"
  "$linux" "$input" "$work/linux/$name" >"$work/linux/$name.count"
  # Wine shows the root as drive Z:.
  "$wine" "$windows" "Z:${input//\//\\}" "Z:${work//\//\\}\\windows\\$name" |
    tr -d '\r' >"$work/windows/$name.count"
  if [ -n "${expected[$name]:-}" ] && ! cmp -s <(printf "${expected[$name]}") "$work/windows/$name"; then
    echo "WRONG: $name gave $(od -c "$work/windows/$name")" >&2
    status=1
  elif cmp -s "$work/linux/$name" "$work/windows/$name" &&
    cmp -s "$work/linux/$name.count" "$work/windows/$name.count"; then
    echo "same: $name ($(cat "$work/linux/$name.count") links)"
  else
    echo "DIFFERENT: $name" >&2
    status=1
  fi
done
# "-" is standard input and standard output, with the count on standard error.
for name in rule.txt powershell.txt; do
  "$linux" - - <"$work/in/$name" >"$work/linux/std.out" 2>"$work/linux/std.count"
  "$wine" "$windows" - - <"$work/in/$name" >"$work/windows/std.out" 2>"$work/windows/std.err"
  tr -d '\r' <"$work/windows/std.err" >"$work/windows/std.count"
  if cmp -s "$work/linux/std.out" "$work/windows/std.out" &&
    cmp -s "$work/linux/std.count" "$work/windows/std.count"; then
    echo "same: - - <$name ($(cat "$work/linux/std.count") links)"
  else
    echo "DIFFERENT: - - <$name gave $(cat -A "$work/windows/std.out") and $(cat "$work/windows/std.err")" >&2
    status=1
  fi
done
exit "$status"
