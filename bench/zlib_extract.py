#!/usr/bin/python3
"""The yardsticks of bench/archive-read: every entry of a LOD archive unpacked with zlib and written
to DIR under its own name, or with --bmp every picture entry converted to DIR/NAME.bmp with Pillow
(non-pictures passed over). Run with Debian's python3, which has python3-pil.

Usage: bench/zlib_extract.py [--bmp] ARCHIVE DIR"""

import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from archivelib import read_archive  # noqa: E402


def main():
    args = sys.argv[1:]
    bmp = args[:1] == ["--bmp"]
    if bmp:
        args = args[1:]
        from pillow_convert import image  # only the converter pays for Pillow's import
    if len(args) != 2:
        sys.exit(__doc__.strip())
    archive, directory = args
    os.makedirs(directory, exist_ok=True)
    for name, data in read_archive(archive):
        if not bmp:
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)
        elif picture := image(data):
            picture.save(os.path.join(directory, name[:-4] + ".bmp"), "BMP")


if __name__ == "__main__":
    main()
