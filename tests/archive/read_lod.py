#!/usr/bin/python3
"""An independent reading of a LOD archive, with Python's zlib: prints one line per entry (name,
size, packed size, type, CRC-32 of the unpacked bytes in hex, tab-separated) after a first line
with the kind and the CRC-32 of the reserved bytes. With --written it also checks the layout a writer must
give exactly: all 10,000 slots with the unused ones zero, names zero-filled, data in directory order
from the end of the directory on without gaps, and nothing after the last entry. Exits 1 with the
reason on the first fault.
Usage: read_lod.py [--written] ARCHIVE"""

import struct
import sys
import zlib

HEADER, SLOT, SLOTS = 92, 32, 10000


def fail(reason):
    sys.exit(f"read_lod.py: {reason}")


def unpack(stored):
    """A zlib stream, or raw deflate where the zlib header's method and check bits are absent."""
    zlib_header = len(stored) >= 2 and stored[0] & 0x0F == 8 and (stored[0] << 8 | stored[1]) % 31 == 0
    return zlib.decompress(stored) if zlib_header else zlib.decompress(stored, -15)


def main():
    args = sys.argv[1:]
    written = "--written" in args
    args = [a for a in args if a != "--written"]
    if len(args) != 1:
        fail(__doc__.strip())
    data = open(args[0], "rb").read()
    if data[:4] != b"LOD\0":
        fail("no magic")
    kind, count = struct.unpack_from("<II", data, 4)
    print(f"{kind}\t{zlib.crc32(data[12:92]):08x}")
    end = HEADER + SLOTS * SLOT
    for i in range(count):
        at = HEADER + i * SLOT
        name_field = data[at:at + 16]
        name = name_field.split(b"\0", 1)[0]
        offset, size, kind_of, packed = struct.unpack_from("<IIII", data, at + 16)
        stored = data[offset:offset + (packed or size)]
        body = unpack(stored) if packed else stored
        if len(body) != size:
            fail(f"{name!r} unpacks to {len(body)} bytes, not {size}")
        if written:
            if name_field != name + bytes(16 - len(name)):
                fail(f"{name!r}: bytes after the name are not zero")
            if offset != end:
                fail(f"{name!r} starts at {offset}, not {end}")
            end += packed or size
        print(f"{name.decode('latin-1')}\t{size}\t{packed}\t{kind_of}\t{zlib.crc32(body):08x}")
    if written:
        if any(data[HEADER + count * SLOT:HEADER + SLOTS * SLOT]):
            fail("an unused slot is not zero")
        if len(data) != end:
            fail(f"the archive is {len(data)} bytes, its entries end at {end}")


if __name__ == "__main__":
    main()
