# Sourced by the tests served by FUSE (disks.py), whose first argument is
# the driver: what they need, or a skip (77) that says in one line what is
# missing; then a work folder, removed on exit with every mount in it, and
# serve to mount one of disks.py's kinds.
driver="$(realpath "$1")"
python=/usr/bin/python3
skip() { echo "skip: $*"; exit 77; }
[ -e /dev/fuse ] || skip "no /dev/fuse"
"$python" -c 'import fusepy' 2>/dev/null || skip "no fusepy (Debian package python3-fusepy)"
# Root mounts and unmounts itself; anyone else through the setuid helper, of
# fuse3 (Debian 12's) or of the older fuse.
# release [--lazily] MOUNT: unmounts MOUNT, at once or once it is no longer busy.
if [ "$(id -u)" -eq 0 ]; then
  release() { if [ "$1" = --lazily ]; then umount -l "$2"; else umount "$1"; fi; }
elif command -v fusermount3 >/dev/null || command -v fusermount >/dev/null; then
  fusermount="$(command -v fusermount3 || command -v fusermount)"
  release() { if [ "$1" = --lazily ]; then "$fusermount" -u -z "$2"; else "$fusermount" -u "$1"; fi; }
else
  skip "no fusermount3 (Debian package fuse3)"
fi

fuse_lib_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
mounts=()
# What a test does before its mounts go on exit (let a held read go), if anything.
before_unmount() { :; }
fuse_cleanup() {
  before_unmount
  for mount in "${mounts[@]}"; do release --lazily "$mount" 2>/dev/null || true; done
  wait || true
  rm -rf "$work"
}
trap fuse_cleanup EXIT
# serve FOLDER KIND [ARGUMENTS]: mounts disks.py's KIND on $work/FOLDER.
serve() {
  local folder="$work/$1" kind="$2"
  shift 2
  mkdir "$folder"
  "$python" "$fuse_lib_here/disks.py" "$kind" "$folder" "$@" >/dev/null 2>&1 &
  mounts+=("$folder")
  for _ in $(seq 100); do mountpoint -q "$folder" && return 0; sleep 0.05; done
  skip "the FUSE file system did not mount"
}
# unmount: unmounts what serve mounted, and waits for its servers to end.
unmount() {
  for mount in "${mounts[@]}"; do release "$mount"; done
  mounts=()
  wait
}
