#!/usr/bin/env python3
"""Shared pieces of the benchmarks: the LOD PCX pictures they convert and the timing of one command.

Run as a script, it writes a directory of pictures for the window's benchmarks:
    bench/benchlib.py DIR [WIDTH HEIGHT PER-KIND]    (default 800 600 1: one 8-bit, one 24-bit)
"""

import os
import resource
import struct
import subprocess
import sys
import time

HEADER = struct.Struct("<iii")  # data size, width, height
PALETTE_SIZE = 768


def picture(width, height, k, seed):
    """A LOD PCX file's bytes: a header, rows of a simple pattern, and for 8-bit a palette."""
    row = bytes((x * 7 + seed) & 0xFF for x in range(width * k))
    data = row * height
    tail = bytes(i % 256 for i in range(PALETTE_SIZE)) if k == 1 else b""
    return HEADER.pack(len(data), width, height) + data + tail


def write_pictures(directory, width, height, per_kind):
    """per_kind 8-bit and per_kind 24-bit pictures, interleaved by name; returns their paths."""
    names = []
    for i in range(per_kind):
        for kind, k in (("indexed", 1), ("truecolor", 3)):
            name = os.path.join(directory, f"{kind}{i:03d}.pcx")
            with open(name, "wb") as f:
                f.write(picture(width, height, k, i))
            names.append(name)
    return names


def timed(command, env=None):
    """Wall-clock seconds, CPU seconds (user + system) and the standard output of one run; a failed
    run ends the benchmark with its error output."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    wall = time.perf_counter() - start
    if run.returncode != 0:
        sys.exit(f"{os.path.basename(command[0])} failed ({run.returncode}):\n{run.stderr.strip()}")
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, run.stdout


def main():
    if len(sys.argv) not in (2, 5):
        sys.exit(__doc__.strip())
    width, height, per_kind = (int(a) for a in sys.argv[2:]) if len(sys.argv) == 5 else (800, 600, 1)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name in write_pictures(sys.argv[1], width, height, per_kind):
        print(name)


if __name__ == "__main__":
    main()
