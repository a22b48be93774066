#!/usr/bin/env python3
"""Evicts the files of the named folders from the page cache, as after a
reboot or on a busy server: posix_fadvise(POSIX_FADV_DONTNEED) on each file.

  evict.py DIR [DIR ...]
"""
import os
import sys


def evict(folder):
    with os.scandir(folder) as entries:
        for entry in entries:
            if not entry.is_file(follow_symlinks=False):
                continue
            fd = os.open(entry.path, os.O_RDONLY)
            try:
                os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
            finally:
                os.close(fd)


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        evict(arg)
