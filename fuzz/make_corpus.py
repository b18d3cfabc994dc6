#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (Python 3 standard library only; the output is the
same every time): small LOD PCX sources for `convert`, each behind the byte that picks where an
8-bit source keeps its colours (bit 0: 0 a ".pcx" palette at the end, 1 a table at offset 54) and
the size of the read windows (bits 1 to 4; 0 the default) and the output (bit 5: 0 a BMP, 1 a
top-down encoder), small BMP files for `picture`, and small BMP and PNG files for `readers`. Files found by fuzzing are kept beside them
under their own names and are not touched here. Run: python3 fuzz/make_corpus.py"""

import os
import struct
import zlib

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


def editor_bmp(width, height, bits, info_size=40, top_down=False, colours=None):
    """A BMP as image editors write them: 1-, 4-, 8- or 24-bit, an information header of 40, 108
    or 124 bytes, bottom-up or top-down."""
    if colours is None:
        colours = 0 if bits == 24 else 1 << bits
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(height):
        if bits == 24:
            row = pattern(width, 1, 3, seed=y)
        else:
            values = [(x + y) % (1 << bits) for x in range(width)]
            bits_row = "".join(format(v, f"0{bits}b") for v in values)
            bits_row += "0" * (-len(bits_row) % 8)
            row = bytes(int(bits_row[i:i + 8], 2) for i in range(0, len(bits_row), 8))
        rows.append(row + bytes(stride - len(row)))
    data = b"".join(rows if top_down else reversed(rows))
    table = b"".join(bytes(((i * 37) & 0xFF, (i * 11) & 0xFF, (i * 5) & 0xFF, 0)) for i in range(colours))
    offset = 14 + info_size + len(table)
    info = struct.pack("<IiiHHIIiiII", info_size, width, -height if top_down else height, 1, bits, 0,
                       len(data), 2835, 2835, colours, 0)
    info += bytes(info_size - len(info))
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + table + data


def png(width, height, colour_type, bit_depth=8, palette_entries=0):
    """A PNG (no filter on any row): colour type 0 grey, 2 RGB, 3 indexed, 6 RGBA."""
    channels = {0: 1, 2: 3, 3: 1, 6: 4}[colour_type]

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    rows = b"".join(b"\0" + pattern(width * channels * bit_depth // 8, 1, 1, seed=y) for y in range(height))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth,
                                                             colour_type, 0, 0, 0))
    if colour_type == 3:
        out += chunk(b"PLTE", palette()[:3 * palette_entries])
    return out + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def readers_seeds():
    return {
        "1bit-9x3.bmp": editor_bmp(9, 3, 1),
        "4bit-5x4-108.bmp": editor_bmp(5, 4, 4, info_size=108),
        "8bit-3x3-124-top-down.bmp": editor_bmp(3, 3, 8, info_size=124, top_down=True),
        "24bit-5x2.bmp": editor_bmp(5, 2, 24),
        "indexed-4x3.png": png(4, 3, 3, palette_entries=256),
        "indexed-2-colours.png": png(5, 2, 3, palette_entries=2),
        "grey-3x3.png": png(3, 3, 0),
        "rgb-3x2.png": png(3, 2, 2),
        "rgba-2x2.png": png(2, 2, 6),
        "rgb16-2x2.png": png(2, 2, 2, bit_depth=16),
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
    write("readers", readers_seeds())
