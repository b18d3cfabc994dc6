#!/usr/bin/env python3
"""Draws the sample LOD PCX pictures that sit beside this script.

Run by hand (python3 samples/generate.py); the output is the same on every run, and the files it
writes are committed. Python's standard library only.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

HEADER = struct.Struct("<iii")  # data size, width, height
# A colour table inside a non-".pcx" 8-bit file starts at this offset of the file.
SOURCE_TABLE_OFFSET = 54
COLOURS = 256

# 4 × 4 ordered-dither thresholds, so gradients drawn with few palette entries show no bands.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def dither(x, y):
    return (BAYER4[y % 4][x % 4] + 0.5) / 16.0


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def ramp(stops, n):
    """n colours along the piecewise-linear colour ramp through stops [(t, (r, g, b)), ...]."""
    out = []
    for i in range(n):
        t = i / (n - 1)
        for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
            if t <= t1:
                out.append(mix(c0, c1, (t - t0) / (t1 - t0)))
                break
    return out


def ramp_index(base, n, t, x, y):
    """Palette index for position t (0 to 1) along a ramp of n entries from base, dithered."""
    v = clamp(t) * (n - 1)
    i = int(v)
    if v - i > dither(x, y):
        i += 1
    return base + min(i, n - 1)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def lod_file(width, height, pixels, tail=b""):
    return HEADER.pack(len(pixels), width, height) + bytes(pixels) + tail


def rgb_palette(colours):
    colours = list(colours) + [(0, 0, 0)] * (COLOURS - len(colours))
    return b"".join(bytes(c) for c in colours)


# --- sunset.pcx: 8-bit, palette at the end -------------------------------------------------------

def sunset():
    w, h = 160, 120
    horizon = 78
    sky = ramp([(0.0, (20, 24, 72)), (0.45, (120, 50, 120)), (0.8, (240, 110, 60)),
                (1.0, (255, 190, 90))], 96)
    sea = ramp([(0.0, (60, 40, 80)), (1.0, (8, 14, 40))], 64)
    sun = ramp([(0.0, (255, 250, 210)), (1.0, (255, 170, 40))], 32)
    glitter = ramp([(0.0, (255, 210, 120)), (1.0, (200, 90, 50))], 16)
    hills = [(30, 18, 36), (46, 26, 50)]
    SKY, SEA, SUN, GLITTER, HILLS = 0, 96, 160, 192, 208
    palette = sky + sea + sun + glitter + hills

    sun_x, sun_y, sun_r = 112, 30, 16
    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            if y < horizon:
                d = math.hypot(x - sun_x, y - sun_y)
                # A far hill on the left, a nearer one on the right: the picture is lopsided on purpose.
                far = horizon - 14 - 10 * math.sin(x / 17.0) - 0.06 * max(0, 60 - x)
                near = horizon - 4 - 9 * math.exp(-((x - 140) / 18.0) ** 2)
                if y >= near:
                    idx = HILLS + 0
                elif y >= far and x < 100:
                    idx = HILLS + 1
                elif d <= sun_r:
                    idx = ramp_index(SUN, 32, d / sun_r, x, y)
                else:
                    glow = clamp(1.0 - (d - sun_r) / 60.0) ** 2 * 0.25
                    idx = ramp_index(SKY, 96, y / horizon + glow, x, y)
            else:
                depth = (y - horizon) / (h - horizon)
                wave = math.sin(x * 0.35 + y * 1.7) * 0.5 + 0.5
                spread = 4 + 30 * depth
                if abs(x - sun_x) < spread * (0.6 + 0.4 * wave) and (y % 3) != 0:
                    idx = ramp_index(GLITTER, 16, depth + 0.2 * wave, x, y)
                else:
                    idx = ramp_index(SEA, 64, depth + 0.08 * wave, x, y)
            pixels.append(idx)
    write("sunset.pcx", lod_file(w, h, pixels, rgb_palette(palette)))


# --- wheel.PCX: 24-bit ---------------------------------------------------------------------------

def hsv(hue, sat, val):
    hue = (hue % 1.0) * 6.0
    i = int(hue)
    f = hue - i
    p, q, t = val * (1 - sat), val * (1 - sat * f), val * (1 - sat * (1 - f))
    r, g, b = [(val, t, p), (q, val, p), (p, val, t), (p, q, val), (t, p, val), (val, p, q)][i % 6]
    return round(r * 255), round(g * 255), round(b * 255)


def wheel():
    w, h = 128, 128
    cx, cy, radius = 63.5, 63.5, 58.0
    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            dx, dy = x - cx, y - cy
            d = math.hypot(dx, dy)
            # Red straight up, then clockwise through yellow, green, cyan, blue and magenta.
            hue = (math.atan2(dx, -dy) / (2 * math.pi)) % 1.0
            if d <= radius:
                r, g, b = hsv(hue, clamp(d / radius), 1.0)
                if d > radius - 2:
                    r, g, b = (c * 3 // 4 for c in (r, g, b))
            else:
                shade = 40 + (y * 30) // h  # the background darkens toward the top
                r, g, b = shade, shade, shade + 8
            pixels += bytes((b, g, r))  # stored blue, green, red
    write("wheel.PCX", lod_file(w, h, pixels))


# --- arrow.def: 8-bit LOD PCX, colour table at offset 54 inside the pixel data ---------------------

# Channel levels of every colour in this file. The colour table's own bytes are drawn as pixels of the
# top rows, so the entries at exactly these indices (and 0, the fourth byte of each entry) are the
# colours of that band: shades of gold between dark seams.
LEVELS = [17 * i for i in range(16)]


def level(v):
    return LEVELS[round(clamp(v / 255.0) * 15)]


def quantise(c):
    return tuple(level(v) for v in c)


def arrow():
    w, h = 128, 128
    table_start = SOURCE_TABLE_OFFSET - HEADER.size  # first pixel byte that is a colour table byte
    table_end = table_start + COLOURS * 4
    band_rows = (table_end + w - 1) // w  # rows touched by the table

    palette = [None] * COLOURS
    palette[0] = (34, 17, 51)  # the seams, and the outline of everything below
    for i, v in enumerate(LEVELS[1:], start=1):
        t = i / 15.0
        palette[v] = quantise(mix((136, 85, 17), (255, 238, 153), t))
    free = [i for i in range(COLOURS) if palette[i] is None]

    def take(colours):
        indices = []
        for c in colours:
            indices.append(free.pop(0))
            palette[indices[-1]] = quantise(c)
        return indices

    # Checkerboard of the sprite's backdrop, and a red-to-yellow arrow shaded along its length.
    LIGHT, DARK = take([(204, 221, 238), (136, 153, 187)])
    ARROW_N = 48
    ARROW = take(ramp([(0.0, (170, 17, 17)), (0.5, (255, 68, 0)), (1.0, (255, 238, 68))], ARROW_N))
    # The unused entries are pale gold, so their bytes draw the band in its brighter shades.
    for i in free:
        palette[i] = (255, 238, 187)

    table = bytearray()
    for r, g, b in palette:
        table += bytes((b, g, r, 0))
    # Every byte of the table must itself be a band colour, or the band would be spotted.
    assert all(v == 0 or v in LEVELS for v in table)

    top = band_rows + 1  # one dark row under the band
    pixels = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            i = y * w + x
            if table_start <= i < table_end:
                continue
            if y < band_rows:
                # The rest of the band repeats the table's pattern: a seam every fourth column.
                seam = (i - table_start) % 4 == 3
                pixels[i] = 0 if seam else LEVELS[8 + (x // 4 + y) % 8]
                continue
            if y < top:
                pixels[i] = 0
                continue
            # An arrow pointing up and to the right, with a thin tail: any flip or turn shows.
            u, v = x - 20, (h - 1) - y - 12   # v grows upwards
            along = (u + v) / 2.0             # along the arrow's axis
            across = (u - v) / 2.0
            inside = False
            if 0 <= along <= 60 and abs(across) <= 7:
                inside = True
            if 50 <= along <= 82 and abs(across) <= (82 - along) * 0.9:
                inside = True
            edge = False
            if not inside:
                for ex, ey in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    uu, vv = u + ex, v + ey
                    a, c = (uu + vv) / 2.0, (uu - vv) / 2.0
                    if (0 <= a <= 60 and abs(c) <= 7) or (50 <= a <= 82 and abs(c) <= (82 - a) * 0.9):
                        edge = True
            if inside:
                pixels[i] = ARROW[ramp_index(0, ARROW_N, along / 82.0, x, y)]
            elif edge:
                pixels[i] = 0
            else:
                pixels[i] = LIGHT if ((x // 8) + (y // 8)) % 2 == 0 else DARK
    pixels[table_start:table_end] = table
    write("arrow.def", lod_file(w, h, pixels))



# --- sprite.def: a sprite of the game's kind, a map object: a flag that waves, then droops ---------

SPRITE_MAP_OBJECT = 0x43
SPRITE_FRAME_HEADER = struct.Struct("<IIIIIIii")  # data size, encoding, canvas w/h, stored w/h, left/top


def runs(row, start, end, limit, repeats):
    """(repeated, pixels) runs of row[start:end], each at most limit long: a run of one index where
    repeats(row, i) says so, raw pixels up to the next such place otherwise."""
    i = start
    while i < end:
        n = 1
        if repeats(row, i, end):
            while i + n < end and n < limit and row[i + n] == row[i]:
                n += 1
            yield True, row[i:i + n]
        else:
            while i + n < end and n < limit and not repeats(row, i + n, end):
                n += 1
            yield False, row[i:i + n]
        i += n


def encode_1(width, height, pixels):
    """Encoding 1: a 4-byte offset a row; pairs (index, length - 1), index 0xFF for raw bytes."""
    def repeats(row, i, end):
        return row[i] != 0xFF and (row[i] < 8 or (i + 1 < end and row[i + 1] == row[i]))
    table, body = bytearray(), bytearray()
    for y in range(height):
        table += struct.pack("<I", 4 * height + len(body))
        for repeated, run in runs(pixels[y * width:(y + 1) * width], 0, width, 256, repeats):
            body += bytes((run[0], len(run) - 1)) if repeated else bytes((0xFF, len(run) - 1)) + bytes(run)
    return bytes(table + body)


def encode_3(width, height, pixels):
    """Encoding 3: a 2-byte offset for each 32-pixel block of each row; control bytes (code << 5 |
    length - 1), code 7 for raw bytes, 0 to 6 repeating that index."""
    blocks = (width + 31) // 32
    table, body = bytearray(), bytearray()
    for y in range(height):
        row = pixels[y * width:(y + 1) * width]
        for b in range(blocks):
            table += struct.pack("<H", 2 * height * blocks + len(body))
            for repeated, run in runs(row, 32 * b, min(width, 32 * b + 32), 32, lambda r, i, e: r[i] <= 6):
                body += bytes((run[0] << 5 | len(run) - 1,)) if repeated else bytes((7 << 5 | len(run) - 1,)) + bytes(run)
    return bytes(table + body)


def flag_frame(w, h, wave, droop):
    """A flag on a pole with its shadow on the ground: wave shifts the cloth's ripple, droop (0 to 1)
    lets it hang."""
    SHADOW_BORDER, SHADOW, FLAG, OUTLINE, POLE, POLE_DARK, KNOB = 1, 4, 5, 8, 9, 10, 11
    pixels = bytearray(w * h)
    pole_x, top, ground = 18, 8, 56
    for y in range(ground - 3, ground + 4):  # the shadow falls to the lower right of the pole's foot
        for x in range(pole_x, w):
            d = (x - pole_x) - 2 * (y - (ground - 3))
            if 0 <= d < 30 - (y - ground + 3) * 3:
                edge = d == 0 or y in (ground - 3, ground + 3) or d == 29 - (y - ground + 3) * 3
                pixels[y * w + x] = SHADOW_BORDER if edge else SHADOW
    for y in range(top, ground):
        pixels[y * w + pole_x] = POLE
        pixels[y * w + pole_x + 1] = POLE_DARK
    pixels[(top - 1) * w + pole_x] = pixels[(top - 1) * w + pole_x + 1] = KNOB
    for x in range(pole_x + 2, pole_x + 30):
        u = (x - pole_x - 2) / 28.0
        sag = droop * u * 14  # a hanging flag falls away from the pole
        lift = (1 - droop) * 2.5 * math.sin(u * 6.0 + wave) * u
        y0 = round(top + 1 + sag + lift)
        y1 = round(top + 14 + sag * 0.6 + lift)
        for y in range(y0, y1 + 1):
            pixels[y * w + x] = OUTLINE if y in (y0, y1) or x == pole_x + 29 else FLAG
    return pixels


def stored_rectangle(w, h, pixels, block):
    """The bounding box of what is not background, its width rounded up to whole blocks."""
    xs = [i % w for i, v in enumerate(pixels) if v]
    ys = [i // w for i, v in enumerate(pixels) if v]
    left, top = min(xs), min(ys)
    width = -(-(max(xs) + 1 - left) // block) * block
    left = min(left, w - width)
    height = max(ys) + 1 - top
    crop = bytearray()
    for y in range(top, top + height):
        crop += pixels[y * w + left:y * w + left + width]
    return left, top, width, height, bytes(crop)


def sprite():
    w, h = 64, 64
    palette = [(0, 255, 255), (255, 150, 255), (255, 100, 255), (255, 50, 255), (255, 0, 255),
               (255, 255, 0), (180, 0, 255), (0, 255, 0), (40, 24, 16), (150, 100, 50), (96, 60, 30),
               (230, 200, 60)]
    waving = [flag_frame(w, h, t * math.pi / 2, 0.0) for t in range(4)]
    drooping = [flag_frame(w, h, 0.0, d) for d in (0.5, 1.0)]
    # Group 0 waves in encoding 3 (rows cut into 32-pixel blocks, as map objects are stored);
    # group 1 droops in encoding 1 from the first waving frame, which the two groups share.
    frames = [(3, f) for f in waving] + [(1, f) for f in drooping]
    groups = [(0, [0, 1, 2, 3]), (1, [0, 4, 5])]
    names = [f"flag{i}.pcx".encode() for i in range(len(frames))]

    tables = sum(16 + 17 * len(refs) for _, refs in groups)
    at = 16 + 768 + tables
    blobs, offsets = [], []
    for encoding, pixels in frames:
        left, top, sw, sh, crop = stored_rectangle(w, h, pixels, 32 if encoding == 3 else 1)
        data = (encode_3 if encoding == 3 else encode_1)(sw, sh, crop)
        blobs.append(SPRITE_FRAME_HEADER.pack(len(data), encoding, w, h, sw, sh, left, top) + data)
        offsets.append(at)
        at += len(blobs[-1])

    out = struct.pack("<IIII", SPRITE_MAP_OBJECT, w, h, len(groups)) + rgb_palette(palette)
    for group_id, refs in groups:
        out += struct.pack("<II", group_id, len(refs)) + bytes(8)
        out += b"".join(names[i].ljust(13, b"\0") for i in refs)
        out += b"".join(struct.pack("<I", offsets[i]) for i in refs)
    write("sprite.def", out + b"".join(blobs))


# --- замок.pcx: 8-bit, palette at the end, a name that is not ASCII --------------------------------

def castle():
    w, h = 144, 96
    sky = ramp([(0.0, (90, 140, 210)), (1.0, (200, 225, 245))], 64)
    grass = ramp([(0.0, (90, 160, 60)), (1.0, (40, 100, 40))], 32)
    stone = ramp([(0.0, (200, 190, 170)), (1.0, (120, 110, 100))], 32)
    SKY, GRASS, STONE = 0, 64, 96
    ROOF, FLAG, WINDOW, DOOR, POLE = 128, 129, 130, 131, 132
    palette = sky + grass + stone + [(170, 50, 40), (220, 30, 30), (40, 40, 60), (90, 60, 30),
                                     (60, 60, 60)]

    ground = 80
    # (left, right, top) of each block; the tall tower stands on the left.
    towers = [(14, 38, 22), (100, 120, 44)]
    wall = (38, 100, 50)
    keep = (56, 82, 36)

    def crenel(x, top):
        return top - 4 if (x // 4) % 2 == 0 else top

    def stone_at(x, y):
        if y >= ground:
            return None
        for left, right, top in towers + [keep]:
            if left <= x < right and y >= crenel(x - left, top):
                return (x - left) / (right - left)
        left, right, top = wall
        if left <= x < right and y >= crenel(x - left, top):
            return 0.6
        return None

    pixels = bytearray()
    for y in range(h):
        for x in range(w):
            t = stone_at(x, y)
            if y >= ground:
                idx = ramp_index(GRASS, 32, (y - ground) / (h - ground), x, y)
            elif t is not None:
                idx = ramp_index(STONE, 32, t * 0.8 + (y % 6 == 0) * 0.15, x, y)
                if (23 <= x < 29 and 32 <= y < 40) or (107 <= x < 113 and 54 <= y < 60):
                    idx = WINDOW
                if 62 <= x < 76 and (y >= 68 or math.hypot(x - 68.5, y - 68) <= 7.0):
                    idx = DOOR  # an arched gate
            elif 14 <= x < 38 and 6 <= y < 18 and abs(x - 26) <= (y - 6):
                idx = ROOF  # a pointed roof on the tall tower
            elif x == 26 and 0 <= y < 6:
                idx = POLE
            elif 27 <= x < 27 + (6 - y) * 2 and 0 <= y < 6:
                idx = FLAG  # the pennant points right
            else:
                idx = ramp_index(SKY, 64, y / ground, x, y)
            pixels.append(idx)
    write("замок.pcx", lod_file(w, h, pixels, rgb_palette(palette)))


# --- readme.pcx and zsoft.pcx: files in the list that are no LOD PCX pictures ---------------------

def not_pictures():
    write("readme.pcx", "Этот файл — не картинка LOD PCX.\nThis file is text, not a LOD PCX "
                        "picture: its first twelve bytes make no matching header.\n".encode())
    # A standard ZSoft PCX of 8 × 8 pixels (run-length coded, palette after a 0x0C marker): its
    # first bytes 0A 05 01 08 read as a data size that matches neither layout.
    w, h = 8, 8
    header = struct.pack("<BBBBHHHHHH48sBBHHHH54s", 0x0A, 5, 1, 8, 0, 0, w - 1, h - 1, 72, 72,
                         bytes(48), 0, 1, w, 1, 0, 0, bytes(54))
    body = bytearray()
    for y in range(h):
        run = [1 if (x + y) % 2 else 2 for x in range(w)]
        for v in run:
            body += bytes((0xC1, v))
    palette = bytes((0, 0, 0, 255, 255, 255, 255, 0, 0)) + bytes(768 - 9)
    write("zsoft.pcx", header + bytes(body) + b"\x0c" + palette)


if __name__ == "__main__":
    sunset()
    wheel()
    arrow()
    sprite()
    castle()
    not_pictures()
