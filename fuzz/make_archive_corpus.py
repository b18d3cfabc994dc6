#!/usr/bin/env python3
"""Writes the seed corpora of the archive fuzz targets (Python 3 standard library only; the output
is the same every time): small LOD archives for `archive`, with only the slots they use so that the
fuzzer works on a few hundred bytes, and the same behind the three bytes that pick an edit for
`archive_edit`. Files found by fuzzing are kept beside them under their own names and are not
touched here. Run: python3 fuzz/make_archive_corpus.py"""

import struct
import sys
import zlib

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from make_corpus import write  # noqa: E402

HEADER, SLOT = 92, 32


def picture(width, height):
    """A small 8-bit LOD PCX picture with its palette."""
    pixels = bytes((x * 7 + y * 13) & 0xFF for y in range(height) for x in range(width))
    return struct.pack("<iii", width * height, width, height) + pixels + bytes(i % 256 for i in range(768))


def raw_deflate(data):
    packer = zlib.compressobj(6, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


def archive(entries, kind=200, count=None, reverse=False, reserved=bytes(80)):
    """entries: (name field bytes, data, packing 'stored'|'zlib'|'raw'|bytes, type, field overrides)."""
    out = bytearray(b"LOD\0" + struct.pack("<II", kind, len(entries) if count is None else count) + reserved)
    out += bytes(SLOT * len(entries))
    stored = []
    for name, data, packing, kind_of, fields in entries:
        if isinstance(packing, bytes):
            stored.append(packing)
        else:
            stored.append({"stored": data, "zlib": zlib.compress(data), "raw": raw_deflate(data)}[packing])
    offsets = [0] * len(entries)
    for i in (reversed(range(len(entries))) if reverse else range(len(entries))):
        offsets[i] = len(out)
        out += stored[i]
    for i, (name, data, packing, kind_of, fields) in enumerate(entries):
        packed = 0 if packing == "stored" else len(stored[i])
        values = {"offset": offsets[i], "size": len(data), "packed": packed, **fields}
        out[HEADER + i * SLOT:HEADER + (i + 1) * SLOT] = name[:16].ljust(16, b"\0") + struct.pack(
            "<IIII", values["offset"], values["size"], kind_of, values["packed"])
    return bytes(out)


def entry(name, data, packing="zlib", kind_of=0, **fields):
    return (name, data, packing, kind_of, fields)


TEXT = b"The quick brown fox jumps over the lazy dog. " * 6


def archive_seeds():
    sound = [entry(b"ARROW.PCX", picture(9, 7), "zlib", 16), entry(b"read.me", TEXT, "stored", 2),
             entry(b"Raw.def", TEXT, "raw", 0x47), entry(b"empty", b"", "stored")]
    zlib_text = zlib.compress(TEXT)
    return {
        "sound": archive(sound),
        "sound-reversed-kind-500": archive(sound, kind=500, reverse=True, reserved=bytes(range(80))),
        "junk-after-names-and-twins": archive([
            entry(b"Twin.PCX\0junk!!", TEXT), entry(b"twin.pcx\0\xff\xfe", TEXT[:50], "stored")]),
        "damaged-names": archive([
            entry(b"SIXTEEN_BYTES.XY", TEXT), entry(b"", TEXT), entry(b"a/b", TEXT, "stored"),
            entry(b"tab\there", TEXT), entry(b"..", TEXT), entry(b"ok", TEXT)]),
        "damaged-sizes": archive([
            entry(b"big", TEXT, "stored", size=0x40000001), entry(b"far", TEXT, "stored", offset=0xFFFFFF00),
            entry(b"long", TEXT, packed=0x7FFFFFFF), entry(b"tiny", TEXT, size=0x40000000), entry(b"ok", TEXT)]),
        "damaged-streams": archive([
            entry(b"short", TEXT, size=len(TEXT) + 1), entry(b"long", TEXT, size=len(TEXT) - 1),
            entry(b"sum", TEXT, zlib_text[:-1] + bytes([zlib_text[-1] ^ 1])),
            entry(b"cut", TEXT, zlib_text[:-9]), entry(b"ok", TEXT)]),
        "too-many-entries": archive(sound, count=10001),
        "directory-cut-short": archive(sound, count=40),
        "no-entries": archive([]),
    }


def edit_seeds(seeds):
    # Byte 0: bit 0 removes the entry bits 1-3 pick, bit 4 adds NEW.BIN, bit 5 replaces the entry byte
    # 2 picks, bit 6 removes a name the archive lacks. Byte 1: the level. Byte 2: the entry replaced.
    picks = {"remove": bytes([0x03, 6, 0]), "add": bytes([0x10, 6, 0]), "replace": bytes([0x20, 1, 0]),
             "all-stored": bytes([0x33, 0, 2]), "missing-name": bytes([0x40, 6, 0])}
    out = {}
    for archive_name in ("sound", "sound-reversed-kind-500", "junk-after-names-and-twins", "damaged-sizes",
                         "damaged-streams"):
        for pick_name, pick in picks.items():
            out[f"{pick_name}-{archive_name}"] = pick + seeds[archive_name]
    return out


if __name__ == "__main__":
    seeds = archive_seeds()
    write("archive", seeds)
    write("archive_edit", edit_seeds(seeds))
