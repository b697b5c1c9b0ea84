#!/usr/bin/python3
"""Packs a folder into a zip file that depends only on the files' contents and modes.

Usage: pack_zip.py ARCHIVE FOLDER EPOCH

Entries are FOLDER's files under FOLDER's own name, in sorted order, each dated EPOCH (UTC,
seconds since 1970) and marked with its mode as a Unix file, without extra fields.
"""
import os
import sys
import time
import zipfile


def entries(folder):
    base = os.path.dirname(os.path.abspath(folder))
    for root, dirs, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            yield os.path.relpath(os.path.abspath(path), base).replace(os.sep, "/"), path


def main():
    archive, folder, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    # a zip date starts in 1980 and counts seconds in twos
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(archive, "w") as out:
        for name, path in sorted(entries(folder)):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3
            info.external_attr = (os.stat(path).st_mode & 0o777 | 0o100000) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as data:
                out.writestr(info, data.read(), compresslevel=9)


if __name__ == "__main__":
    main()
