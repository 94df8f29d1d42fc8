#!/usr/bin/python3
"""A file system as a stalled network mount is: in.txt, whose reads wait for
a minute, and a folder out/ that takes files in memory (without O_TMPFILE, so
a run names its temporary there). The first read touches STALLED_FLAG.

usage: stalling_disk.py MOUNTPOINT STALLED_FLAG
Runs in the foreground until unmounted (fusermount -u MOUNTPOINT).
"""
import errno
import stat
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

STALL_SECONDS = 60


class StallingDisk(Operations):
    def __init__(self, flag):
        self.flag = flag
        self.files = {}  # name in out/ -> bytearray
        self.modes = {}
        self.lock = threading.Lock()

    def _name(self, path):
        if not path.startswith("/out/") or "/" in path[5:]:
            raise FuseOSError(errno.ENOENT)
        return path[5:]

    def getattr(self, path, fh=None):
        now = time.time()
        times = {"st_atime": now, "st_mtime": now, "st_ctime": now}
        if path in ("/", "/out"):
            return dict(times, st_mode=stat.S_IFDIR | 0o777, st_nlink=2)
        if path == "/in.txt":
            return dict(times, st_mode=stat.S_IFREG | 0o444, st_nlink=1, st_size=1 << 20)
        with self.lock:
            name = self._name(path)
            if name not in self.files:
                raise FuseOSError(errno.ENOENT)
            return dict(times, st_mode=stat.S_IFREG | self.modes[name], st_nlink=1,
                        st_size=len(self.files[name]))

    def readdir(self, path, fh):
        if path == "/":
            return [".", "..", "in.txt", "out"]
        with self.lock:
            return [".", ".."] + list(self.files)

    def open(self, path, flags):
        return 0

    def read(self, path, size, offset, fh):
        if path == "/in.txt":
            open(self.flag, "w").close()
            time.sleep(STALL_SECONDS)
            return b"see http://example.org/, more\r\n"[:size]
        with self.lock:
            return bytes(self.files[self._name(path)][offset:offset + size])

    def create(self, path, mode, fi=None):
        with self.lock:
            name = self._name(path)
            self.files[name] = bytearray()
            self.modes[name] = mode & 0o7777
        return 0

    def write(self, path, data, offset, fh):
        with self.lock:
            content = self.files[self._name(path)]
            content[offset:offset + len(data)] = data
        return len(data)

    def truncate(self, path, length, fh=None):
        with self.lock:
            del self.files[self._name(path)][length:]

    def unlink(self, path):
        with self.lock:
            name = self._name(path)
            if name not in self.files:
                raise FuseOSError(errno.ENOENT)
            del self.files[name]
            del self.modes[name]

    def rename(self, old, new):
        with self.lock:
            old_name, new_name = self._name(old), self._name(new)
            self.files[new_name] = self.files.pop(old_name)
            self.modes[new_name] = self.modes.pop(old_name)

    def chmod(self, path, mode):
        with self.lock:
            self.modes[self._name(path)] = mode & 0o7777

    def chown(self, path, uid, gid):
        pass

    def utimens(self, path, times=None):
        pass

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        return 0

    def release(self, path, fh):
        return 0


if __name__ == "__main__":
    mountpoint, flag = sys.argv[1], sys.argv[2]
    FUSE(StallingDisk(flag), mountpoint, foreground=True, nothreads=False)
