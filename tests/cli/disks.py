#!/usr/bin/python3
"""File systems for runs on disks that fail or stall:

disks.py failing MOUNTPOINT SIZE FAIL_FROM
  in.txt, SIZE bytes of lines of links, whose reads fail with EIO from
  FAIL_FROM on, as a disk with a bad sector or a network mount that errs.
disks.py gate MOUNTPOINT TAKEN RELEASE
  in.txt, lines of links, and gate, whose read touches TAKEN and waits until
  RELEASE exists. One thread serves them, so while a read of gate waits every
  later request to this mount waits in the kernel's queue, as behind a server
  that stopped answering.
disks.py folder MOUNTPOINT CREATING GO
  a folder kept in memory, without O_TMPFILE, so a run names its temporary;
  making a hidden file (the run's temporary) touches CREATING and waits until
  GO exists, which lets the gate be taken before the run reads on.
disks.py lying MOUNTPOINT CLAIMED HELD
  in.txt, whose size says CLAIMED bytes and whose reads give HELD bytes of
  lines of links, as sysfs or a network mount may.
Each runs in the foreground until unmounted (fusermount -u MOUNTPOINT).
"""
import errno
import os
import stat
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

LINE = b"see http://example.org/path, more\r\n"
TIMES = {"st_atime": 0, "st_mtime": 0, "st_ctime": 0}


def lines(offset, size):
    """Bytes [offset, offset + size) of LINE repeated without end."""
    first = offset // len(LINE)
    text = LINE * ((offset + size) // len(LINE) - first + 1)
    start = offset - first * len(LINE)
    return text[start:start + size]


class ReadOnlyFiles(Operations):
    """A folder of read-only files of the given sizes; read() is the kind's own."""

    def __init__(self, sizes):
        self.sizes = sizes

    def getattr(self, path, fh=None):
        if path == "/":
            return dict(TIMES, st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path[1:] not in self.sizes:
            raise FuseOSError(errno.ENOENT)
        return dict(TIMES, st_mode=stat.S_IFREG | 0o444, st_nlink=1, st_size=self.sizes[path[1:]])

    def readdir(self, path, fh):
        return [".", ".."] + list(self.sizes)

    def open(self, path, flags):
        return 0


class Lines(ReadOnlyFiles):
    """in.txt, whose size says `claimed` bytes and whose reads give `held`."""

    def __init__(self, claimed, held):
        super().__init__({"in.txt": claimed})
        self.held = held

    def read(self, path, size, offset, fh):
        return lines(offset, max(0, min(size, self.held - offset)))


class Failing(Lines):
    def __init__(self, size, fail_from):
        super().__init__(size, size)
        self.fail_from = fail_from

    def read(self, path, size, offset, fh):
        if offset + size > self.fail_from:
            raise FuseOSError(errno.EIO)
        return super().read(path, size, offset, fh)


class Gate(ReadOnlyFiles):
    def __init__(self, taken, release):
        self.text = LINE * 1000
        super().__init__({"in.txt": len(self.text), "gate": 1})
        self.taken_flag = taken
        self.release_flag = release

    # As a network mount asks nothing of its server when a file only read is
    # closed: the kernel stops sending flushes, so a process that holds one
    # of these files can end while the gate is held.
    def flush(self, path, fh):
        raise FuseOSError(errno.ENOSYS)

    def read(self, path, size, offset, fh):
        if path == "/gate":
            open(self.taken_flag, "w").close()
            while not os.path.exists(self.release_flag):
                time.sleep(0.05)
            return b""
        return self.text[offset:offset + size]


class Folder(Operations):
    def __init__(self, creating, go):
        self.creating_flag = creating
        self.go_flag = go
        self.files = {}  # name -> [mode, bytearray]
        self.guard = threading.Lock()

    def _file(self, path):
        name = path[1:]
        if name not in self.files:
            raise FuseOSError(errno.ENOENT)
        return self.files[name]

    def getattr(self, path, fh=None):
        if path == "/":
            return dict(TIMES, st_mode=stat.S_IFDIR | 0o777, st_nlink=2)
        with self.guard:
            mode, content = self._file(path)
            return dict(TIMES, st_mode=stat.S_IFREG | mode, st_nlink=1, st_size=len(content))

    def readdir(self, path, fh):
        with self.guard:
            return [".", ".."] + list(self.files)

    def open(self, path, flags):
        with self.guard:
            self._file(path)
        return 0

    def create(self, path, mode, fi=None):
        if path.startswith("/."):
            open(self.creating_flag, "w").close()
            while not os.path.exists(self.go_flag):
                time.sleep(0.05)
        with self.guard:
            self.files[path[1:]] = [mode & 0o7777, bytearray()]
        return 0

    def read(self, path, size, offset, fh):
        with self.guard:
            return bytes(self._file(path)[1][offset:offset + size])

    def write(self, path, data, offset, fh):
        with self.guard:
            self._file(path)[1][offset:offset + len(data)] = data
        return len(data)

    def truncate(self, path, length, fh=None):
        with self.guard:
            del self._file(path)[1][length:]

    def unlink(self, path):
        with self.guard:
            self._file(path)
            del self.files[path[1:]]

    def rename(self, old, new):
        with self.guard:
            self.files[new[1:]] = self._file(old)
            del self.files[old[1:]]

    def chmod(self, path, mode):
        with self.guard:
            self._file(path)[0] = mode & 0o7777

    def chown(self, path, uid, gid):
        pass

    def utimens(self, path, times=None):
        pass


if __name__ == "__main__":
    kind, mountpoint = sys.argv[1], sys.argv[2]
    if kind == "failing":
        FUSE(Failing(int(sys.argv[3]), int(sys.argv[4])), mountpoint, foreground=True,
             nothreads=True, ro=True)
    elif kind == "lying":
        # Every read reaches the server, past the size it gave too.
        FUSE(Lines(int(sys.argv[3]), int(sys.argv[4])), mountpoint, foreground=True,
             nothreads=True, ro=True, direct_io=True)
    elif kind == "gate":
        # Every read reaches the server, and attributes once known stay known:
        # only reads wait behind the gate.
        FUSE(Gate(sys.argv[3], sys.argv[4]), mountpoint, foreground=True, nothreads=True,
             ro=True, direct_io=True, attr_timeout=3600, entry_timeout=3600)
    else:
        FUSE(Folder(sys.argv[3], sys.argv[4]), mountpoint, foreground=True)
