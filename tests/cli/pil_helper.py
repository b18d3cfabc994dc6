#!/usr/bin/python3
"""Pillow as the independent reader and writer of PNG for the command-line tests.

  pil_helper.py show FILE          mode, width, height, palette entries, then the pixels as RGB hex
  pil_helper.py indices FILE       of an indexed PNG: width, height, then as hex its palette (RGB),
                                   each pixel's index and each pixel's alpha
  pil_helper.py make KIND FILE     writes a small PNG of one kind (see KINDS, and huge)
"""
import struct
import sys
import zlib

from PIL import Image

# 5 x 3, no symmetry: every pixel a different value.
W, H = 5, 3


def indexed():
    im = Image.new("P", (W, H))
    im.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 16, i * 3)])
    im.putdata([(x * 3 + y) % 16 for y in range(H) for x in range(W)])
    return im


def huge(path):
    """A grey PNG of 30,000 x 30,000 whose data holds one row: a few hundred bytes in all."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    side = 30000
    header = struct.pack(">IIBBBBB", side, side, 8, 0, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(side + 1)))
                + chunk(b"IEND", b""))


KINDS = {
    "indexed": lambda: indexed(),
    "grey": lambda: Image.frombytes("L", (W, H), bytes(i * 17 for i in range(W * H))),
    "rgb": lambda: Image.frombytes("RGB", (W, H), bytes((i * 11) % 256 for i in range(W * H * 3))),
    "rgba": lambda: Image.new("RGBA", (W, H), (1, 2, 3, 4)),
    "grey-alpha": lambda: Image.new("LA", (W, H), (1, 2)),
    "grey16": lambda: Image.new("I;16", (W, H), 1000),
}

if sys.argv[1] == "show":
    im = Image.open(sys.argv[2])
    palette = len(im.getpalette()) // 3 if im.mode == "P" else 0
    print(im.mode, im.width, im.height, palette, im.convert("RGB").tobytes().hex())
elif sys.argv[1] == "indices":
    im = Image.open(sys.argv[2])
    assert im.mode == "P", im.mode
    alpha = im.convert("RGBA").tobytes()[3::4]
    print(im.width, im.height, bytes(im.getpalette()).hex(), bytes(im.getdata()).hex(), alpha.hex())
elif sys.argv[2] == "huge":
    huge(sys.argv[3])
elif sys.argv[2] == "indexed-transparent":
    indexed().save(sys.argv[3], transparency=0)
else:
    KINDS[sys.argv[2]]().save(sys.argv[3])
