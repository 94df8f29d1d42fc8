#!/usr/bin/env bash
# Checks the icon sizes rendered from the SVG drawing: each has its size and
# an alpha channel; 16 and 32 pixels are sharp (no blended edges, a few flat
# colours) and still show the same picture as the large rendering.
# Usage: icons_test.sh ICON_DIR SIZE...
set -euo pipefail
dir="$1"
shift
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for tool in identify convert compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (package imagemagick)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

largest="$dir/linksift-${*: -1}.png"
for size in "$@"; do
  png="$dir/linksift-$size.png"
  [ -f "$png" ] || { fail "no $png"; continue; }
  read -r width height channels <<<"$(identify -format '%w %h %[channels]' "$png")"
  [ "$width x $height" = "$size x $size" ] || fail "$png is $width x $height"
  [ "$channels" = srgba ] || fail "$png has no alpha channel ($channels)"
  case "$size" in 16 | 32) ;; *) continue ;; esac

  alphas="$(convert "$png" -alpha extract -format %k info:)"
  colours="$(identify -format %k "$png")"
  ((alphas <= 2)) || fail "$png has blended edges: $alphas levels of transparency"
  ((colours <= 16)) || fail "$png is blurred: $colours colours"
  # The same picture as the drawing at its largest, scaled down.
  convert "$largest" -filter box -resize "${size}x$size" "$work/scaled.png"
  distance="$(compare -metric RMSE "$png" "$work/scaled.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')" || true
  awk -v d="$distance" 'BEGIN { exit !(d < 0.35) }' ||
    fail "$png differs from the drawing scaled down (RMSE $distance)"
done
((failures == 0)) || exit 1
echo "icons: $* pixels as drawn"
