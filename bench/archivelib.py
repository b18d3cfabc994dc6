"""The game's archive for the benchmarks: its layout, a writer and a reader. It imports no more than
the Python yardstick that reads archives needs, so that its start costs what a plain script's does."""

import os
import struct
import sys
import zlib

# The archive: a header, a directory of 10,000 slots (those past the count zero), then the entries'
# data, each a zlib stream (packed size 0: stored as it is).
LOD_HEADER = struct.Struct("<4sII80s")  # magic, kind, entries in use, reserved
LOD_ENTRY = struct.Struct("<16sIIII")   # name (zero-padded), data offset, size, type, packed size
LOD_MAGIC = b"LOD\0"
LOD_KIND = 200
LOD_SLOTS = 10_000
LOD_DATA_START = LOD_HEADER.size + LOD_SLOTS * LOD_ENTRY.size


def write_archive(path, entries):
    """Writes (name, data, packed data) triples, as they come, into a new archive at path; returns the
    totals of the data and of what was stored for it."""
    directory, unpacked, stored = [], 0, 0
    with open(path, "wb") as f:
        f.seek(LOD_DATA_START)
        for name, data, packed in entries:
            body = packed if len(packed) < len(data) else data
            directory.append(LOD_ENTRY.pack(name.encode(), f.tell(), len(data), 0,
                                            len(packed) if body is packed else 0))
            f.write(body)
            unpacked += len(data)
            stored += len(body)
        f.seek(0)
        f.write(LOD_HEADER.pack(LOD_MAGIC, LOD_KIND, len(directory), b""))  # reserved: zeros
        f.write(b"".join(directory))
    return unpacked, stored


def archive_entries(path):
    """The number of entries in use that the archive at path declares, or None without a file."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return LOD_HEADER.unpack(f.read(LOD_HEADER.size))[2]


def read_archive(path):
    """(name, data) of each entry of the archive at path, unpacked, in directory order."""
    with open(path, "rb") as f:
        magic, _, count, _ = LOD_HEADER.unpack(f.read(LOD_HEADER.size))
        if magic != LOD_MAGIC or count > LOD_SLOTS:
            sys.exit(f"{path}: not an archive")
        directory = [LOD_ENTRY.unpack(f.read(LOD_ENTRY.size)) for _ in range(count)]
        for name, offset, size, _, packed in directory:
            f.seek(offset)
            data = zlib.decompress(f.read(packed)) if packed else f.read(size)
            yield name.split(b"\0", 1)[0].decode("latin-1"), data
