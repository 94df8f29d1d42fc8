#!/usr/bin/env bash
# Setting up never removes a package. Each command's package list is handed
# to apt as ensure_packages hands it (--no-remove), on a Debian 12 desktop
# that has fuse3 and what depends on it (ntfs-3g, GNOME's gvfs-fuse): apt
# simulates it on a copy of this machine's package state with the desktop's
# packages marked installed, so nothing is installed or removed here.
# usage: setup_test.sh SOURCE_DIR
set -euo pipefail
src="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
if ! apt-cache show fuse3 >/dev/null 2>&1; then
  echo "setup test: SKIPPED, apt knows no packages here (apt-get update first)"
  exit 0
fi

mkdir "$work/dpkg"
state="$work/dpkg/status"
cp /var/lib/dpkg/status "$state"
simulate() { apt-get -s -o Dir::State::status="$state" "$@"; }

# The desktop: whatever installing these adds or upgrades is marked installed
# in the copy, and whatever it removes (fuse, where that was in) goes.
desktop=(fuse3 ntfs-3g gvfs-fuse)
simulate install --no-install-recommends "${desktop[@]}" >"$work/desktop.log" 2>&1 ||
  fail "apt cannot simulate the desktop: $(tail -5 "$work/desktop.log")"
python3 - "$state" "$work/desktop.log" <<'PYTHON'
import re, subprocess, sys

state, log = sys.argv[1], sys.argv[2]
paragraphs = [p for p in open(state, encoding="utf-8").read().split("\n\n") if p.strip()]
def key(paragraph):
    fields = dict(re.findall(r"^(Package|Architecture): (.*)$", paragraph, re.M))
    return fields["Package"], fields.get("Architecture", "")
packages = {key(p): p for p in paragraphs}
wanted = []
for line in open(log, encoding="utf-8"):
    removed = re.match(r"Remv (\S+)", line)
    added = re.match(r"Inst (\S+) (?:\[\S+\] )?\((\S+) .*\[(\S+)\]\)", line)
    if removed:
        name = removed.group(1).split(":")[0]
        packages = {k: p for k, p in packages.items() if k[0] != name}
    elif added:
        name, version, arch = added.group(1).split(":")[0], added.group(2), added.group(3)
        wanted.append(f"{name}:{arch}={version}")
if wanted:
    shown = subprocess.run(["apt-cache", "show", "--no-all-versions"] + wanted, check=True,
                           capture_output=True, text=True).stdout
    for record in (r.strip() for r in shown.split("\n\n") if r.strip()):
        # As dpkg keeps it: no archive's details, and installed.
        record = re.sub(r"^(Filename|Size|MD5sum|SHA1|SHA256|SHA512): .*\n?", "", record, flags=re.M)
        record = re.sub(r"^(Package: .*)$", r"\1\nStatus: install ok installed", record, count=1,
                        flags=re.M)
        packages[key(record)] = record
open(state, "w", encoding="utf-8").write("\n\n".join(packages.values()) + "\n")
PYTHON
installed() { dpkg-query --admindir="$work/dpkg" -W -f='${Status}' "$1" 2>>"$work/dpkg.log" | grep -q 'install ok installed'; }
for pkg in "${desktop[@]}"; do
  installed "$pkg" || fail "the simulated desktop lacks $pkg: $(cat "$work/dpkg.log" 2>/dev/null)"
done

# wanted COMMAND...: the packages COMMAND asks for, one a line; of "a|b" the
# one the desktop has, or else a, as ensure_packages chooses.
wanted() {
  local entries entry pkg choice
  entries="$(LINKSIFT_LIST_PACKAGES=1 bash "$@")" || fail "$* cannot list its packages"
  for entry in $entries; do
    choice="${entry%%|*}"
    for pkg in ${entry//|/ }; do installed "$pkg" && choice="$pkg" && break; done
    echo "$choice"
  done
}
# goes_on PACKAGE...: apt installs them on the desktop as ensure_packages asks,
# removing none; else `refusal` says what is in the way.
goes_on() {
  simulate install -y --no-install-recommends --no-remove "$@" >"$work/apt.log" 2>&1 &&
    ! grep -q '^Remv' "$work/apt.log" && return 0
  refusal="would remove $(simulate install -y --no-install-recommends "$@" 2>&1 |
    sed -n 's/^Remv \([^ ]*\).*/\1/p' | tr '\n' ' '); apt: $(grep '^E:' "$work/apt.log" | head -3)"
  return 1
}

commands=(run "package debian" "package windows" screenshot windows fuzz test test-windows)
# list COMMAND: its packages into `list`.
list() {
  local words text
  read -ra words <<<"$1"
  text="$(wanted "$src/scripts/${words[0]}" "${words[@]:1}")"
  mapfile -t list <<<"$text"
}
all=()
for command in "${commands[@]}"; do
  list "$command"
  all+=("${list[@]}")
done
# All at once, as a developer's machine gets them; on a failure, which command.
if ! goes_on "${all[@]}"; then
  for command in "${commands[@]}"; do
    list "$command"
    goes_on "${list[@]}" || fail "scripts/$command on a desktop with ${desktop[*]}: $refusal"
  done
  fail "the commands' packages together: $refusal"
fi
echo "setup: every command's packages go on a desktop with ${desktop[*]}, removing none" \
  "($(grep -c '^Inst' "$work/apt.log") to install here)"
