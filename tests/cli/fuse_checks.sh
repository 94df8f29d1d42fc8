# Sourced by the tests served by FUSE: what they need, or a skip (77) that
# says in one line what is missing. Defines python and skip.
python=/usr/bin/python3
skip() { echo "skip: $*"; exit 77; }
[ -e /dev/fuse ] || skip "no /dev/fuse"
command -v fusermount >/dev/null || skip "no fusermount (Debian package fuse)"
"$python" -c 'import fusepy' 2>/dev/null || skip "no fusepy (Debian package python3-fusepy)"
