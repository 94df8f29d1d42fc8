# Shared by the end-to-end tests of both front ends; source it. Gives a work
# folder removed at the end, a private X server, waiting, screenshots and the
# look of a run in progress. The caller sets `shots` (the screenshot folder)
# first, sends the program's output to `program_log` (shown on failure) and
# may define clean_up_more() for what else must go at the end; one that shares
# its screenshot folder names its failure picture with `failure_name`.
readonly WAIT_SECONDS=60 # for each step; a sanitizer build or Wine starts slowly
failure_png="$shots/${failure_name:-failure}.png"
mkdir -p "$shots"
rm -f "$failure_png"

# fail MESSAGE: says what went wrong, with a screenshot and the program's output.
fail() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$failure_png" 2>/dev/null || true
  [ -s "${program_log:-}" ] && sed 's/^/  program: /' "$program_log" >&2
  exit 1
}

# require_tools HINT TOOL...: fails, saying HINT, unless every TOOL is there.
require_tools() {
  local hint="$1" tool
  shift
  for tool; do
    command -v "$tool" >/dev/null || fail "$tool is missing ($hint)"
  done
}

work="$(mktemp -d /tmp/linksift-e2e-XXXXXX)"
program_log="$work/program.log"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if declare -F clean_up_more >/dev/null; then clean_up_more; fi
  rm -rf "$work"
}
trap cleanup EXIT

# wait_until COMMAND...: polls COMMAND until it succeeds or time runs out.
wait_until() {
  local deadline=$((SECONDS + WAIT_SECONDS))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# start_xvfb: a display of its own; the X server picks a free one and names
# it once it is ready.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-800x600x24}" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  wait_until test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
}

# await_window [XDOTOOL_SEARCH_OPTION...]: waits for the visible window titled
# Linksift and sets `window` to it.
await_window() {
  window="$(timeout "$WAIT_SECONDS" xdotool search --sync --onlyvisible "$@" --name '^Linksift$' | head -n1)" ||
    fail "no window titled Linksift"
}

# Under Wine: a Linux path as the Windows program sees it, and an end to a
# Wine server left from an earlier program (it would keep its own display).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
stop_wineserver() { "$(dirname "$wine")/wineserver" -k 2>/dev/null || wineserver -k 2>/dev/null || true; }

# start_wine_display: Wine's desktop lives on the display its server started
# with, so a server left running by an earlier program would take this test's
# keys and windows elsewhere: it goes first.
start_wine_display() {
  : "${WINEPREFIX:?}"
  stop_wineserver
  start_xvfb
}

same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

# capture_stable WINDOW FILE [DIFFERENT_FROM]: waits until the window shows
# the same picture twice in a row (and one unlike DIFFERENT_FROM), saves it.
capture_stable() {
  local window="$1" out="$2" unlike="${3:-}" previous="$work/previous.png" probe="$work/probe.png"
  rm -f "$previous"
  stable() {
    import -window "$window" "$probe" 2>/dev/null || return 1
    if [ -f "$previous" ] && same "$previous" "$probe" && { [ -z "$unlike" ] || ! same "$unlike" "$probe"; }; then
      return 0
    fi
    mv "$probe" "$previous"
    return 1
  }
  wait_until stable || return 1
  mv "$probe" "$out"
}

# bar_in_place_of_label WINDOW [LEFT TOP]: Label1 spans x 12..349, y 48..161
# of the client area at 96 dpi, which starts at LEFT, TOP of the window
# (default 0 0); while a run lasts the bar stands along its top edge and the
# rest shows nothing but the background. Leaves the picture in $work/probe.png.
bar_in_place_of_label() {
  local x=$((12 + ${2:-0})) y=$((48 + ${3:-0}))
  import -window "$1" "$work/probe.png" 2>/dev/null || return 1
  [ "$(convert "$work/probe.png" -crop "337x80+$x+$((y + 32))" +repage -format %k info:)" = "1" ] &&
    (($(convert "$work/probe.png" -crop "337x19+$x+$((y + 1))" +repage -format %k info:) > 2))
}

# find_box: sets `box` to a visible window of the program `app` other than
# its main `window` (a message box); false while there is none.
find_box() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$app" --name . 2>/dev/null); do
    [ "$id" != "$window" ] && box="$id" && return 0
  done
  return 1
}
box_gone() { ! find_box; }
