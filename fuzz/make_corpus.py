#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (Python 3 standard library only; the output is the
same every time): small LOD PCX sources for `convert`, each behind the byte that picks where an
8-bit source keeps its colours (bit 0: 0 a ".pcx" palette at the end, 1 a table at offset 54) and
the size of the read windows (bits 1 to 4; 0 the default) and the output (bit 5: 0 a BMP, 1 a
top-down encoder), and small BMP files for `picture`. Files found by fuzzing are kept beside them
under their own names and are not touched here. Run: python3 fuzz/make_corpus.py"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
PCX_NAME, DEF_NAME = b"\x00", b"\x01"


def windowed(name, window, encoder=False):
    """The naming byte with a window index of fuzz_targets.cpp's list (1: one byte, 7: 12 bytes),
    for a top-down encoder when encoder is true."""
    return bytes([name[0] | window << 1 | (0x20 if encoder else 0)])


def pattern(width, height, k, seed=1):
    return bytes((x * 7 + y * 13 + c * 29 + seed) & 0xFF
                 for y in range(height) for x in range(width) for c in range(k))


def palette(seed=3):
    return bytes((i * 5 + seed) & 0xFF for i in range(768))


def lod(width, height, k, *, data_size=None, pixels=None, tail=b""):
    if pixels is None:
        pixels = pattern(width, height, k)
    if data_size is None:
        data_size = width * height * k
    return struct.pack("<iii", data_size, width, height) + pixels + tail


def bmp(width, height, bits, *, colours_used=None, table_entries=256, gap=0, trailer=b"",
        compression=0, stored_height=None, cut=None):
    k = bits // 8
    stride = (width * k + 3) // 4 * 4
    table = bytes((i * 3 + 1) & 0xFF if i % 4 != 3 else 0
                  for i in range(4 * table_entries)) if bits == 8 else b""
    offset = 54 + len(table) + gap
    rows = b"".join(pattern(width, 1, k, seed=y) + bytes(stride - width * k) for y in range(height))
    if colours_used is None:
        colours_used = 256 if bits == 8 else 0
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", offset + len(rows), 0, offset, 40, width,
                                 height if stored_height is None else stored_height, 1, bits,
                                 compression, len(rows), 2835, 2835, colours_used, 0)
    data = header + table + bytes(gap) + rows + trailer
    return data if cut is None else data[:cut]


def convert_seeds():
    return {
        "pcx8-7x5": PCX_NAME + lod(7, 5, 1, tail=palette()),
        "pcx8-3x2-gap": PCX_NAME + lod(3, 2, 1, tail=bytes(100) + palette(9)),
        "pcx8-no-palette": PCX_NAME + lod(4, 4, 1),
        "def8-40x27": DEF_NAME + lod(40, 27, 1),
        "def8-short-table": DEF_NAME + lod(10, 10, 1),
        "pcx24-5x2": PCX_NAME + lod(5, 2, 3),
        "def24-4x3": DEF_NAME + lod(4, 3, 3),
        "pcx8-rows-missing": PCX_NAME + lod(30, 30, 1, pixels=pattern(30, 3, 1)),
        "pcx24-wrapping-product": PCX_NAME + lod(65536, 65537, 3, data_size=3 * 65536,
                                                 pixels=b""),
        "negative-width": PCX_NAME + lod(-4, -5, 1, data_size=20, pixels=b""),
        "short-header": PCX_NAME + struct.pack("<ii", 6, 2)[:7],
        "text": DEF_NAME + b"This is not a picture at all, only some text.\n",
        "pcx8-9x7-one-byte-windows": windowed(PCX_NAME, 1) + lod(9, 7, 1, tail=palette(5)),
        "def24-5x9-cut-12-byte-windows": windowed(DEF_NAME, 7) + lod(5, 9, 3)[:-7],
        "encoder-pcx8-7x5-3-byte-windows": windowed(PCX_NAME, 3, True) + lod(7, 5, 1, tail=palette()),
        "encoder-pcx24-5x9-cut": windowed(PCX_NAME, 0, True) + lod(5, 9, 3)[:-20],
    }


def picture_seeds():
    return {
        "8bit-7x5.bmp": bmp(7, 5, 8),
        "24bit-5x2.bmp": bmp(5, 2, 24),
        "24bit-4x3-gap.bmp": bmp(4, 3, 24, gap=10, trailer=b"tail"),
        "8bit-16-colours.bmp": bmp(3, 3, 8, colours_used=16, table_entries=16),
        "top-down.bmp": bmp(3, 2, 24, stored_height=-2),
        "rle8.bmp": bmp(4, 4, 8, compression=1),
        "cut-rows.bmp": bmp(9, 9, 24, cut=54 + 100),
    }


def write(directory, files):
    path = os.path.join(HERE, "corpus", directory)
    os.makedirs(path, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("convert", convert_seeds())
    write("picture", picture_seeds())
