#!/usr/bin/python3
"""The same conversion with Pillow, for bench/compare: each LOD PCX file given becomes NAME.bmp beside
it (8-bit with its palette, 24-bit as it stands), or with --png NAME.png, saved at Pillow's defaults
(8-bit as an indexed PNG with its palette, 24-bit as RGB). Run with Debian's python3, which has
python3-pil."""

import struct
import sys

from PIL import Image

HEADER = struct.Struct("<iii")  # data size, width, height
PALETTE_SIZE = 768


def image(data):
    """The picture of a LOD PCX file's bytes as a Pillow image, or None when it is no such picture."""
    size, width, height = HEADER.unpack_from(data)
    pixels = data[HEADER.size:HEADER.size + size]
    if size == width * height:
        picture = Image.frombytes("P", (width, height), pixels)
        picture.putpalette(data[-PALETTE_SIZE:])
        return picture
    if size == width * height * 3:
        return Image.frombytes("RGB", (width, height), pixels, "raw", "BGR")
    return None


def main():
    names = sys.argv[1:]
    kind = "BMP"
    if names and names[0] == "--png":
        kind, names = "PNG", names[1:]
    for name in names:
        with open(name, "rb") as f:
            picture = image(f.read())
        if picture:
            picture.save(name[:-4] + "." + kind.lower(), kind)


if __name__ == "__main__":
    main()
