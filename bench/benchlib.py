#!/usr/bin/env python3
"""Shared pieces of the benchmarks: the pictures and archives they work on, the timing of one
command, rounds of commands side by side with their medians, and the options every script takes.

Run as a script, it writes a directory of pictures for the window's benchmarks:
    bench/benchlib.py DIR [WIDTH HEIGHT PER-KIND]    (default 800 600 1: one 8-bit, one 24-bit)
"""

import argparse
import functools
import multiprocessing
import os
import random
import resource
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

from archivelib import write_archive

HEADER = struct.Struct("<iii")  # data size, width, height
PALETTE_SIZE = 768
BENCH = os.path.dirname(os.path.abspath(__file__))
# Debian's interpreter, which has python3-pil; the python3 first on PATH may be another one.
PILLOW_PYTHON = "/usr/bin/python3"
GNU_TIME = "/usr/bin/time"


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


# Pictures that pack as the game's do (about 2.4 to 1 with zlib at level 6): flat runs, noisy
# stretches of 64 values, and stretches repeated from the row above, in random lengths. 2 in 9 are
# 24-bit, so that 1,000 of them hold about 444 MB.
GAME_WIDTH, GAME_HEIGHT = 640, 480
GAME_PACK_LEVEL = 6
NOISE_LEVELS = 64
NOISE_POOL = 1 << 22
FLAT_MEAN, NOISE_MEAN, REPEAT_MEAN = 60, 170, 100


@functools.cache
def _noise():
    table = bytes((i % NOISE_LEVELS) * (256 // NOISE_LEVELS) for i in range(256))
    return random.Random(0).randbytes(NOISE_POOL).translate(table)


def game_picture_name(index):
    return f"Pic{index:04d}.pcx"


def game_picture(index):
    """The LOD PCX file's bytes of picture index, the same on every call."""
    k = 3 if index % 9 < 2 else 1
    size, stride = GAME_WIDTH * GAME_HEIGHT * k, GAME_WIDTH * k
    rng, noise = random.Random(index), _noise()
    data = bytearray()
    while len(data) < size:
        kind = rng.randrange(3)
        if kind == 0 or len(data) < stride:
            n = int(rng.expovariate(1 / NOISE_MEAN)) + 1
            at = rng.randrange(len(noise) - n)
            data += noise[at:at + n]
        elif kind == 1:
            data += bytes([rng.randrange(256)]) * (int(rng.expovariate(1 / FLAT_MEAN)) + 1)
        else:
            at = len(data) - stride
            data += data[at:at + int(rng.expovariate(1 / REPEAT_MEAN)) + 1]
    del data[size:]
    palette = rng.randbytes(PALETTE_SIZE) if k == 1 else b""
    return HEADER.pack(size, GAME_WIDTH, GAME_HEIGHT) + data + palette


def _game_entry(index):
    data = game_picture(index)
    return game_picture_name(index), data, zlib.compress(data, GAME_PACK_LEVEL)


def write_game_pictures(directory, count):
    """Pictures 0 to count - 1 as files in directory, made on every processor; returns their paths."""
    names = []
    with multiprocessing.Pool() as pool:
        for index, data in enumerate(pool.imap(game_picture, range(count), chunksize=8)):
            names.append(os.path.join(directory, game_picture_name(index)))
            with open(names[-1], "wb") as f:
                f.write(data)
    return names


def write_game_archive(path, count):
    """Pictures 0 to count - 1 packed into an archive at path, on every processor; returns the totals
    of write_archive."""
    with multiprocessing.Pool() as pool:
        return write_archive(path, pool.imap(_game_entry, range(count), chunksize=8))


def timed(command, env=None):
    """Wall-clock seconds, CPU seconds (user + system) and the standard output of one run; a failed
    run ends the benchmark with its error output."""
    wall, cpu, run = attempt(command, env)
    if run.returncode != 0:
        sys.exit(f"{os.path.basename(command[0])} failed ({run.returncode}):\n{run.stderr.strip()}")
    return wall, cpu, run.stdout


def attempt(command, env=None):
    """Wall-clock seconds, CPU seconds and the finished process of one run, whatever its outcome."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, run


def rounds(commands, runs, checks=None, prepare=None):
    """Median wall-clock and CPU seconds of each command; one warm-up run each, then runs rounds with
    the order rotated each round, so that a change of load hits every command alike.

    checks maps the label of a command that this build may not be able to run yet to a function that
    looks at what its warm-up did and returns what is missing (None when nothing is); a command that
    fails its warm-up or its check is left out, and the second value returned maps its label to the
    reason. prepare(label), when given, runs before every run of a command, untimed."""
    checks = checks or {}
    skipped = {}
    for label in commands:
        if prepare:
            prepare(label)
        run = attempt(commands[label])[2]
        if run.returncode != 0 and label not in checks:
            sys.exit(f"{label} failed ({run.returncode}):\n{run.stderr.strip()}")
        if run.returncode != 0:
            skipped[label] = (run.stderr.strip().splitlines() or [f"exit status {run.returncode}"])[0]
        elif label in checks and (reason := checks[label]()):
            skipped[label] = reason
    labels = [label for label in commands if label not in skipped]
    samples = {label: [] for label in labels}
    for r in range(runs):
        for label in labels[r % len(labels):] + labels[:r % len(labels)]:
            if prepare:
                prepare(label)
            samples[label].append(timed(commands[label])[:2])
    results = {label: (statistics.median(s[0] for s in v), statistics.median(s[1] for s in v))
               for label, v in samples.items()}
    return results, skipped


def missing_outputs(directory, suffix, expected):
    """A check for rounds: fewer than expected files ending in suffix under directory."""
    def check():
        found = sum(name.endswith(suffix) for _, _, names in os.walk(directory) for name in names)
        return f"it wrote {found} of the {expected} {suffix} files" if found < expected else None
    return check


def peak_memory_kib(command):
    """Peak resident size of one run, in KiB."""
    if os.access(GNU_TIME, os.X_OK):
        result = subprocess.run([GNU_TIME, "-f", "%M"] + command, check=True,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        return int(result.stderr.strip().splitlines()[-1])
    # Without GNU time: getrusage of the children of a fresh interpreter. The kernel keeps the
    # launching interpreter's peak across exec, so a figure no higher than that of "true" only says
    # "at most this much".
    probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True, "
             "stdout=subprocess.DEVNULL); "
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    out = subprocess.run([sys.executable, "-c", probe] + command, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    return int(out.strip())


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"nproc {os.cpu_count()}, {model}, load average {os.getloadavg()[0]:.2f}"


def load_average():
    one, five, fifteen = os.getloadavg()
    return f"{one:.2f} {five:.2f} {fifteen:.2f} (1, 5, 15 min; {os.cpu_count()} processors)"


def arguments(doc, rounds_default):
    """The options of the archive and sprite benchmarks: the build directory, where to work, and
    how many rounds."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", nargs="?", default=os.path.join(BENCH, "..", "build"),
                        help="the build directory (default: build in this repository)")
    parser.add_argument("--dir", default=tempfile.gettempdir(),
                        help="where to write the files (default: the system's temporary directory)")
    parser.add_argument("--rounds", type=int, default=rounds_default, help="rounds after the warm-up")
    args = parser.parse_args()
    args.build, args.dir = os.path.abspath(args.build), os.path.abspath(args.dir)
    return args


def tool(build, name):
    """The path of a tool in the build directory, or None (printed as skipped) when it is not built."""
    path = os.path.join(build, name)
    if os.access(path, os.X_OK):
        return path
    print(f"skipped: {path} is not built")
    return None


def skipped_report(skipped):
    for label, reason in skipped.items():
        print(f"skipped: {label}: this build cannot do it yet ({reason})")


def goal(text, value, limit, at_most=True):
    met = value <= limit if at_most else value >= limit
    bound = "at most" if at_most else "at least"
    print(f"  {text}: {value:.2f} (goal {bound} {limit:g}; {'met' if met else 'NOT met'})")


def main():
    if len(sys.argv) not in (2, 5):
        sys.exit(__doc__.strip())
    width, height, per_kind = (int(a) for a in sys.argv[2:]) if len(sys.argv) == 5 else (800, 600, 1)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name in write_pictures(sys.argv[1], width, height, per_kind):
        print(name)


if __name__ == "__main__":
    main()
