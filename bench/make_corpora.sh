#!/usr/bin/env bash
# Makes the benchmark corpora from text that ships with Debian packages.
# usage: bench/make_corpora.sh [DIR]        (default: bench/corpus)
# Sizes in MiB can be lowered for a quick try: MIXED_MIB, DENSE_MIB, ONELINE_MIB.
# A file that already has its size is kept, so reruns cost nothing.
set -euo pipefail

BENCH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
DIR="${1:-$BENCH/corpus}"
MIXED_MIB="${MIXED_MIB:-1024}"
DENSE_MIB="${DENSE_MIB:-1024}"
ONELINE_MIB="${ONELINE_MIB:-1024}"

command -v python3 >/dev/null || { echo "make_corpora.sh: python3 is needed" >&2; exit 1; }
mkdir -p "$DIR"

# make KIND FILE MIB [SOURCE]
make() {
  local kind="$1" file="$DIR/$2" size=$(($3 * 1024 * 1024)) source="${4:+$DIR/$4}"
  if [ -f "$file" ] && [ "$(stat -c %s "$file")" -eq "$size" ]; then
    echo "kept  $file ($3 MiB)"
    return 0
  fi
  local start=$SECONDS
  # Written beside the target and renamed, so a killed run never leaves a file that looks done.
  local tmp="$file.partial"
  rm -f "$tmp"
  if [ -n "$source" ]; then
    python3 "$BENCH/gen_corpus.py" "$kind" "$source" "$tmp" "$size"
  else
    python3 "$BENCH/gen_corpus.py" "$kind" "$tmp" "$size"
  fi
  mv -f "$tmp" "$file"
  echo "made  $file ($3 MiB, $((SECONDS - start)) s)"
}

make mixed mixed.txt "$MIXED_MIB"
make dense dense.txt "$DENSE_MIB"
make oneline oneline.bin "$ONELINE_MIB"
# The start of mixed.txt as UTF-16LE with its mark, as large as mixed.txt.
make utf16 mixed-utf16.txt "$MIXED_MIB" mixed.txt
