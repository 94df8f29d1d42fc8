#!/usr/bin/env bash
# Times linksift-extract, on two cores and pinned to one, side by side with dd, two dd on the
# file's halves at once, wc -l, ripgrep, grep and the floor (plain tools doing its work: cat the
# input, cp its output, sync, mv over the old urls.txt) on the corpora that bench/make_corpora.sh
# makes, and prints a Markdown table of medians, ratios and peak memory.
#
# usage: bench/compare.sh [--runs N] [--peers LIST] [--corpus DIR] [--only LIST] [--out-dir DIR]
#                         [--max-load X] [--wait SECONDS] [--readme] [--no-verify] [BUILD_DIR]
#   BUILD_DIR   a build that holds cli/linksift-extract (default: build/release); nothing is built here
#   --runs N    timed runs of every command per corpus, median reported (default 5)
#   --peers     which peers to time, comma-separated (default: dd,halves,wc,rg,grep,floor)
#   --corpus    where the corpora are (default: bench/corpus)
#   --only      the corpora to time, by file name, separated by spaces (default: all four)
#   --out-dir   where the commands write their output (default: a scratch folder in the corpus
#               folder, so on the same disk; the driver and the floor sync their output)
#   --max-load  time a corpus again (twice at most) when other programs kept more than this many
#               cores busy while it was timed (default 0.3)
#   --wait      wait at most this long for an idle machine before each corpus (default 300)
#   --readme    also put the table into bench/README.md between its result markers
#   --no-verify skip the output checks that follow the timing
set -euo pipefail
export LC_ALL=C

BENCH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(dirname "$BENCH")"
RUNS=5
CORPUS="$BENCH/corpus"
OUT_PARENT=""
WRITE_README=0
MAX_LOAD=0.3
VERIFY=1
BUILD="$ROOT/build/release"
CORPORA=(mixed.txt dense.txt oneline.bin mixed-utf16.txt)
PEERS=dd,halves,wc,rg,grep,floor
WAIT=300
declare -A LABEL=([dd]="dd bs=1M" [halves]="2 × dd on halves" [wc]="wc -l" [rg]="rg -o -i"
  [grep]="grep -oi" [floor]="floor" [linksift]="linksift-extract" [one_core]="linksift-extract, 1 core")
# linksift-extract must take at most this share of a peer's time: TARGET[peer], or
# TARGET[corpus:peer] where one corpus has its own. The floor has targets on large outputs only.
# ONE_CORE_TARGET is the driver's own on one core (taskset -c 0) against dd.
declare -A TARGET=([dd]=1.5 [wc]=0.8 [rg]=0.75 [grep]=0.33 [mixed:dd]=0.75 [dense:floor]=1.0
  [oneline:floor]=0.5)
ONE_CORE_TARGET=1.5
RSS_TARGET_KIB=$((16 * 1024))

die() {
  echo "compare.sh: $*" >&2
  exit 1
}
say() { echo "$*" >&2; }

while [ $# -gt 0 ]; do
  case "$1" in
    --runs) RUNS="${2:?--runs needs a number}"; shift 2 ;;
    --peers) PEERS="${2:?--peers needs a list}"; shift 2 ;;
    --wait) WAIT="${2:?--wait needs a number of seconds}"; shift 2 ;;
    --corpus) CORPUS="${2:?--corpus needs a folder}"; shift 2 ;;
    --only) read -r -a CORPORA <<<"${2:?--only needs corpus names}"; shift 2 ;;
    --out-dir) OUT_PARENT="${2:?--out-dir needs a folder}"; shift 2 ;;
    --readme) WRITE_README=1; shift ;;
    --max-load) MAX_LOAD="${2:?--max-load needs a number}"; shift 2 ;;
    --no-verify) VERIFY=0; shift ;;
    -h | --help) sed -n '2,19p' "$0"; exit 0 ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) BUILD="$1"; shift ;;
  esac
done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || die "--runs wants a positive whole number, not '$RUNS'"
[[ "$WAIT" =~ ^[0-9]+$ ]] || die "--wait wants a whole number of seconds, not '$WAIT'"
IFS=, read -r -a PEER_LIST <<<"$PEERS"
for t in "${PEER_LIST[@]}"; do
  if [ -z "${LABEL[$t]:-}" ] || [ "$t" = linksift ] || [ "$t" = one_core ]; then
    die "unknown peer '$t' (dd, halves, wc, rg, grep, floor)"
  fi
done
[ "${#PEER_LIST[@]}" -gt 0 ] || die "--peers names no peer"
TOOLS=("${PEER_LIST[@]}" linksift one_core)

case "$BUILD" in /*) ;; *) BUILD="$PWD/$BUILD" ;; esac
DRIVER="$BUILD/cli/linksift-extract"
[ -x "$DRIVER" ] || die "no driver at $BUILD/cli/linksift-extract; build it first, e.g.
  cmake -S $ROOT -B $BUILD -DCMAKE_BUILD_TYPE=Release -DLINKSIFT_BUILD_TESTS=OFF -DLINKSIFT_BUILD_GUI=OFF
  cmake --build $BUILD --target linksift-extract"
for c in "${CORPORA[@]}"; do
  [ -f "$CORPUS/$c" ] || die "no corpus $CORPUS/$c; make it first with bench/make_corpora.sh"
done

# The peers and the tools this script uses, installed like the run and test
# commands install theirs.
source "$ROOT/scripts/lib.sh"
ensure_packages ripgrep time coreutils grep sed diffutils util-linux

SCRATCH="$(mktemp -d "${OUT_PARENT:-$CORPUS}/.compare.XXXXXX")"
trap 'rm -rf "$SCRATCH"' EXIT
OUT="$SCRATCH/out"
META="$SCRATCH/meta"
mkdir -p "$OUT" "$META"

# Busy CPU time of the whole machine so far, in clock ticks (steal counts: the host took it).
busy_ticks() {
  awk '$1 == "cpu" { print $2 + $3 + $4 + $7 + $8 + $9; exit }' /proc/stat
}
TICK="$(getconf CLK_TCK)"

# Waits, within reason, until the machine is idle, and says how busy it was.
wait_quiet() {
  local tries=0 a b load start=$SECONDS
  while :; do
    a="$(busy_ticks)"
    sleep 2
    b="$(busy_ticks)"
    load="$(awk -v d=$((b - a)) -v t="$TICK" 'BEGIN { printf "%.2f", d / t / 2 }')"
    if awk -v l="$load" 'BEGIN { exit !(l < 0.15) }' || [ $((SECONDS - start)) -ge "$WAIT" ]; then
      echo "$load"
      return 0
    fi
    [ "$tries" -eq 0 ] && say "  waiting for the machine to settle (busy cores: $load)"
    tries=$((tries + 1))
    sleep 8
  done
}

# command_for TOOL FILE: sets CMD (argv) and STDOUT for one measured command.
command_for() {
  local file="$1"
  case "$2" in
    dd) CMD=(dd if="$file" of=/dev/null bs=1M); STDOUT=/dev/null ;;
    # The most two cores can read at once: each dd takes half the file.
    halves)
      local half=$((($(stat -c %s "$file") + 2 * 1048576 - 1) / (2 * 1048576)))
      # shellcheck disable=SC2016 # the inner shell expands them
      CMD=(sh -c 'dd if="$1" of=/dev/null bs=1M count="$2" 2>/dev/null &
        dd if="$1" of=/dev/null bs=1M skip="$2" 2>/dev/null; wait' halves "$file" "$half")
      STDOUT=/dev/null
      ;;
    wc) CMD=(wc -l "$file"); STDOUT="$OUT/wc.out" ;;
    # The matches go to a file: GNU grep stops at the first match when its output is /dev/null.
    rg) CMD=(rg -o -i 'http://[^ ]*' "$file"); STDOUT="$OUT/rg.out" ;;
    grep) CMD=(grep -oi 'http://[^ ]*' "$file"); STDOUT="$OUT/grep.out" ;;
    # What the driver does, done by plain tools: read the input, copy the output's bytes (held
    # in the page cache) to a new file beside urls.txt, make it durable, rename it over urls.txt.
    floor)
      # shellcheck disable=SC2016 # the inner shell expands them
      CMD=(sh -c 'cat "$1" >/dev/null && cp "$2" "$3" && sync "$3" && mv "$3" "$4"' floor
        "$file" "$REFERENCE" "$OUT/.floor.tmp" "$OUT/urls.txt")
      STDOUT=/dev/null
      ;;
    linksift) CMD=("$DRIVER" "$file" "$OUT/urls.txt"); STDOUT="$META/count" ;;
    # As on a one-core machine, or one whose other core is busy.
    one_core) CMD=(taskset -c 0 "$DRIVER" "$file" "$OUT/urls.txt"); STDOUT=/dev/null ;;
  esac
}

# keep_cached FILE: a FILE the machine has partly reclaimed from the page cache (see README.md)
# is read back, untimed, so that every command starts with its input cached; each time is noted.
keep_cached() {
  command -v fincore >/dev/null || return 0
  if [ "$(fincore -b -n -o RES "$1")" -lt "$(stat -c %s "$1")" ]; then
    cat "$1" >/dev/null
    echo "$1" >>"$META/rewarmed"
  fi
}

# run_one TOOL FILE: one timed run; appends "seconds max_rss_kib cpu_seconds" to META/TOOL.
run_one() {
  local tool="$1" file="$2" t0 t1 rc=0 rss user sys
  command_for "$file" "$tool"
  # Every command writes a fresh file, and nobody's earlier writes are flushed on its time.
  rm -f "$OUT"/*
  # The driver and the floor replace the urls.txt of an earlier run, as a user's second run
  # does: the old file's blocks are freed on their time.
  case "$tool" in linksift | one_core | floor) cp "$REFERENCE" "$OUT/urls.txt" ;; esac
  keep_cached "$file"
  sync
  t0=$EPOCHREALTIME
  /usr/bin/time -f '%M %U %S' -o "$META/rusage" "${CMD[@]}" >"$STDOUT" 2>"$META/stderr" || rc=$?
  t1=$EPOCHREALTIME
  # Finding nothing is no failure for grep and rg (grep finds no bytes "http://" in UTF-16).
  if [ "$rc" -eq 1 ] && { [ "$tool" = grep ] || [ "$tool" = rg ]; }; then rc=0; fi
  if [ "$rc" -ne 0 ]; then
    cat "$META/stderr" >&2
    die "'${CMD[*]}' failed with exit status $rc"
  fi
  read -r rss user sys < <(tail -n 1 "$META/rusage")
  awk -v a="$t0" -v b="$t1" -v m="$rss" -v u="$user" -v s="$sys" \
    'BEGIN { printf "%.6f %d %.2f\n", b - a, m, u + s }' >>"$META/$tool"
  if [ "$tool" = linksift ]; then cat "$META/count" >>"$META/counts"; fi
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
col() { awk -v c="$2" '{ print $c }' "$1"; }
fmt_s() { awk -v v="$1" 'BEGIN { printf "%.3f", v }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
# table_head CELL...: a Markdown table's head, the first column to the left, the rest to the right.
table_head() {
  printf '|'; printf ' %s |' "$@"; printf '\n|---|'
  local i
  for ((i = 1; i < $#; i++)); do printf -- '---:|'; done
  printf '\n'
}

# The links the driver should write, made with sed; exact for files whose only line ends are
# CR LF (all corpora are). A missing last line end is added so sed sees the last line too.
expected_links() {
  local file="$1"
  {
    cat "$file"
    if [ -s "$file" ] && [ "$(tail -c 1 "$file" | od -An -tx1 | tr -d ' ')" != 0a ]; then printf '\n'; fi
  } | sed -n -e 's/\r$//' -e '/[Hh][Tt][Tt][Pp]:\/\//!d' -e 's/[Hh][Tt][Tt][Pp]:\/\//\n&/' \
    -e 's/^[^\n]*\n//' -e 's/ .*//' -e 's/[,.:;]$//' -e 's/$/\r/p'
}

# as_utf8 FILE: FILE itself, or for UTF-16 with its mark a UTF-8 copy, which the checks read.
as_utf8() {
  case "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" in
    fffe | feff) iconv -f UTF-16 -t UTF-8 "$1" >"$SCRATCH/utf8.txt" && echo "$SCRATCH/utf8.txt" ;;
    *) echo "$1" ;;
  esac
}

# verify NAME FILE: one untimed driver run, its output checked; prints one table row.
verify() {
  local name="$1" file="$2" out="$SCRATCH/verify-urls.txt" count lines crlf ends estimate exact
  rm -f "$out"
  count="$("$DRIVER" "$file" "$out")" || die "linksift-extract $file failed"
  file="$(as_utf8 "$file")"
  lines="$(wc -l <"$out")"
  crlf="$(grep -c $'\r$' "$out" || true)"
  ends="yes"
  if [ -s "$out" ] && [ "$(tail -c 2 "$out" | od -An -tx1 | tr -d ' ')" != 0d0a ]; then ends="no"; fi
  [ "$lines" -eq "$crlf" ] || ends="no"
  estimate="$(grep -ci 'http://' "$file" || true)"
  if [ "$VERIFY" -eq 1 ]; then
    expected_links "$file" >"$SCRATCH/expected.txt"
    if cmp -s "$SCRATCH/expected.txt" "$out"; then
      exact="identical"
    else
      exact="DIFFERS: $(cmp "$SCRATCH/expected.txt" "$out" 2>&1 | head -n 1 | sed "s|$SCRATCH/||g")"
    fi
    rm -f "$SCRATCH/expected.txt"
  else
    exact="not checked"
  fi
  local sane="ok"
  [ "$count" = "$crlf" ] && [ "$ends" = yes ] && [ "$count" = "$estimate" ] || sane="MISMATCH"
  [[ "$exact" == DIFFERS* ]] && sane="MISMATCH"
  rm -f "$out" "$SCRATCH/utf8.txt"
  echo "| $name | $count | $crlf | $ends | $estimate | $exact | $sane |"
}

# Figures about the machine, so a table can be read later.
machine() {
  local cpu
  cpu="$(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
  echo "- Machine: $(nproc) cores, ${cpu:-unknown CPU}, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) RAM, Linux $(uname -r)"
  echo "- Tools: $(rg --version | awk 'NR == 1'), $(grep --version | awk 'NR == 1'), $(dd --version | awk 'NR == 1')"
  echo "- Driver: ${DRIVER#"$ROOT"/}"
  echo "- Output written to $(findmnt -n -f -o SOURCE,FSTYPE -T "$OUT" | awk '{ print $1 " (" $2 ")" }'); the driver and the floor sync their output before renaming it over an old urls.txt, the other peers do not"
}

# measure_corpus FILE: a warm-up round, then RUNS timed rounds into META; sets IDLE and OTHER.
measure_corpus() {
  local file="$1" t r busy0 busy1 start end ours
  rm -f "$META"/*
  for t in "${TOOLS[@]}"; do run_one "$t" "$file"; done
  for t in "${TOOLS[@]}" counts rewarmed; do rm -f "${META:?}/$t"; done
  IDLE="$(wait_quiet)"
  busy0="$(busy_ticks)"
  start=$EPOCHREALTIME
  # Commands take turns within each round, so drifting load hits them all alike.
  for ((r = 1; r <= RUNS; r++)); do
    say "  round $r/$RUNS"
    for t in "${TOOLS[@]}"; do run_one "$t" "$file"; done
  done
  end=$EPOCHREALTIME
  busy1="$(busy_ticks)"
  ours="$(for t in "${TOOLS[@]}"; do cat "$META/$t"; done | awk '{ s += $3 } END { print s }')"
  OTHER="$(awk -v d=$((busy1 - busy0)) -v t="$TICK" -v o="$ours" -v a="$start" -v b="$end" \
    'BEGIN { x = (d / t - o) / (b - a); printf "%.2f", x < 0 ? 0 : x }')"
}

ROWS_TIME=()
ROWS_RATIO=()
ROWS_SANE=()
NOTES=()
for c in "${CORPORA[@]}"; do
  file="$CORPUS/$c"
  name="${c%.*}"
  size="$(stat -c %s "$file")"
  say "== $c ($(mib $((size / 1024))))"
  # Twice through the cache, then one untimed round of every command.
  cat "$file" >/dev/null
  cat "$file" >/dev/null
  cached="n/a"
  if command -v fincore >/dev/null; then
    cached="$(fincore -b -n -o RES "$file" | awk -v s="$size" '{ printf "%.0f%%", 100 * $1 / s }')"
  fi
  # The output of a run before, for the floor to copy and as the urls.txt every run replaces.
  REFERENCE="$SCRATCH/reference-urls.txt"
  "$DRIVER" "$file" "$REFERENCE" >/dev/null || die "linksift-extract $file failed"
  attempt=1
  while :; do
    measure_corpus "$file"
    if awk -v o="$OTHER" -v m="$MAX_LOAD" 'BEGIN { exit !(o <= m) }' || [ "$attempt" -ge 3 ]; then break; fi
    say "  $OTHER cores of other load while timing; timing $c again"
    attempt=$((attempt + 1))
  done
  rewarmed=0
  [ -f "$META/rewarmed" ] && rewarmed="$(wc -l <"$META/rewarmed")"
  NOTES+=("- $name: $cached in the page cache; read back into it before $rewarmed of $((RUNS * ${#TOOLS[@]})) timed commands; busy cores before timing $IDLE; other load while timing $OTHER cores (on top of the commands measured; attempt $attempt)")

  declare -A med=()
  for t in "${TOOLS[@]}"; do med[$t]="$(col "$META/$t" 1 | median)"; done
  rss="$(cat "$META/linksift" "$META/one_core" | col /dev/stdin 2 | sort -g | tail -n 1)"
  counts="$(sort -u "$META/counts" | tr '\n' ' ')"
  [ "$(sort -u "$META/counts" | wc -l)" -eq 1 ] || NOTES+=("- $name: the driver's count varied between runs: $counts")

  row="| $name | $(mib $((size / 1024))) |"
  for t in "${TOOLS[@]}"; do row+=" $(fmt_s "${med[$t]}") |"; done
  row+=" $(mib "$rss") |"
  ROWS_TIME+=("$row")

  row="| $name |"
  for t in "${PEER_LIST[@]}"; do
    target="${TARGET[$name:$t]:-${TARGET[$t]:-}}"
    row+="$(awk -v a="${med[linksift]}" -v b="${med[$t]}" -v g="$target" 'BEGIN {
      r = a / b; printf " %.2f", r
      if (g != "") printf " (≤ %s, %s)", g, (r <= g) ? "met" : "MISSED"
      printf " |" }')"
  done
  if [ -n "${med[dd]:-}" ]; then
    row+="$(awk -v a="${med[one_core]}" -v b="${med[dd]}" -v g="$ONE_CORE_TARGET" 'BEGIN {
      r = a / b; printf " %.2f (≤ %s, %s) |", r, g, (r <= g) ? "met" : "MISSED" }')"
  fi
  row+=" $(mib "$rss") ($([ "$rss" -lt "$RSS_TARGET_KIB" ] && echo met || echo MISSED)) |"
  ROWS_RATIO+=("$row")

  say "  checking the driver's output"
  ROWS_SANE+=("$(verify "$name" "$file")")
  unset med
done

report() {
  echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC'), median of $RUNS runs per command, files in the page cache."
  echo
  machine
  printf '%s\n' "${NOTES[@]}"
  echo
  echo "Seconds (median) and the driver's peak resident memory:"
  echo
  local heads=() t
  for t in "${TOOLS[@]}"; do heads+=("${LABEL[$t]}"); done
  table_head corpus size "${heads[@]}" "driver max RSS"
  printf '%s\n' "${ROWS_TIME[@]}"
  echo
  echo "linksift-extract time / peer time, against the targets:"
  echo
  heads=()
  for t in "${PEER_LIST[@]}"; do heads+=("/ ${LABEL[$t]}"); done
  [ -n "${LABEL[dd]:-}" ] && [[ ",$PEERS," == *,dd,* ]] && heads+=("1 core / dd bs=1M")
  table_head corpus "${heads[@]}" "max RSS (< 16 MiB)"
  printf '%s\n' "${ROWS_RATIO[@]}"
  echo
  echo "Output checks (count printed; output lines ending CR LF; independent count of lines holding"
  echo "\"http://\" in any case, from grep -ci; output compared byte for byte with a sed rendering of the rule):"
  echo
  echo "| corpus | count | CR LF lines | all lines end CR LF | grep -ci | output vs sed | verdict |"
  echo "|---|---:|---:|---|---:|---|---|"
  printf '%s\n' "${ROWS_SANE[@]}"
}

TABLE="$SCRATCH/table.md"
report | tee "$TABLE"

if [ "$WRITE_README" -eq 1 ]; then
  readme="$BENCH/README.md"
  if ! grep -q '^<!-- results:begin -->$' "$readme" || ! grep -q '^<!-- results:end -->$' "$readme"; then
    die "$readme lacks the lines <!-- results:begin --> and <!-- results:end -->"
  fi
  awk -v table="$TABLE" '
    /^<!-- results:end -->$/ { while ((getline line < table) > 0) print line; print ""; skip = 0 }
    !skip { print }
    /^<!-- results:begin -->$/ { print ""; skip = 1 }
  ' "$readme" >"$SCRATCH/README.md"
  cat "$SCRATCH/README.md" >"$readme"
  say "results written into $readme"
fi
