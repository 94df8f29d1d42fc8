#!/usr/bin/python3
"""A file system of one file, in.txt, whose reads fail with EIO from a given
offset on, as a disk with a bad sector or a network mount that errs would.

usage: failing_disk.py MOUNTPOINT SIZE FAIL_FROM
Runs in the foreground until unmounted (fusermount -u MOUNTPOINT).
"""
import errno
import stat
import sys

from fusepy import FUSE, FuseOSError, Operations

LINE = b"see http://example.org/path, more\r\n"


class FailingDisk(Operations):
    def __init__(self, size, fail_from):
        self.size = size
        self.fail_from = fail_from

    def getattr(self, path, fh=None):
        if path == "/":
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}
        if path == "/in.txt":
            return {"st_mode": stat.S_IFREG | 0o444, "st_nlink": 1, "st_size": self.size}
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", "in.txt"]

    def open(self, path, flags):
        return 0

    def read(self, path, size, offset, fh):
        if offset + size > self.fail_from:
            raise FuseOSError(errno.EIO)
        end = min(offset + size, self.size)
        start_line = offset // len(LINE)
        text = LINE * ((end - start_line * len(LINE)) // len(LINE) + 1)
        skip = offset - start_line * len(LINE)
        return text[skip:skip + end - offset]


if __name__ == "__main__":
    mountpoint, size, fail_from = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    FUSE(FailingDisk(size, fail_from), mountpoint, foreground=True, nothreads=True, ro=True)
