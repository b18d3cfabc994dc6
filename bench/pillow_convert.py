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

names = sys.argv[1:]
kind = "BMP"
if names and names[0] == "--png":
    kind, names = "PNG", names[1:]

for name in names:
    with open(name, "rb") as f:
        size, width, height = HEADER.unpack(f.read(HEADER.size))
        pixels = f.read(size)
        if size == width * height:
            f.seek(-PALETTE_SIZE, 2)
            picture = Image.frombytes("P", (width, height), pixels)
            picture.putpalette(f.read(PALETTE_SIZE))
        elif size == width * height * 3:
            picture = Image.frombytes("RGB", (width, height), pixels, "raw", "BGR")
        else:
            continue
    picture.save(name[:-4] + "." + kind.lower(), kind)
