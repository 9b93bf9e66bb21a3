#!/usr/bin/env python3
"""Writes the control's 16-colour bitmaps from the character pictures below, and the seven
24-bit pictures shown behind a MIDI or CD sound, each drawn in shades of one colour.

Run by hand when a picture changes; the .bmp files are committed."""
import colorsys
import math
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# Characters used in the pictures -> palette index.
KEY = {'k': 0, 'm': 1, 'g': 2, 'o': 3, 'n': 4, 'p': 5, 't': 6, 's': 7, 'd': 8, 'r': 9,
       'G': 10, 'y': 11, 'b': 12, 'M': 13, 'c': 14, 'w': 15, '.': 7}

# The face: a small Open dialog, a file list on the left, a picture preview on the right.
FACE = """
kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk
knnnnnnnnnnnnnnnnnnnnnnnnnnnnnnk
knwwnnnnnnnnnnnnnnnnnnnnnnswksnk
knnnnnnnnnnnnnnnnnnnnnnnnsksksnk
kssssssssssssssssssssssssssssssk
kssssssssssssssssssssssssssssssk
kswwwwwwwwwwwwwsskkkkkkkkkkkkksk
kswyywbbbbbbbwwsskccccccccyyyksk
kswoowwwwwwwwwwsskcccccccccycksk
kswwwwwwwwwwwwwsskcccccccccccksk
kswyywbbbbbbwwwsskccccGccccccksk
kswoowwwwwwwwwwsskcccGGGcccccksk
kswwwwwwwwwwwwwsskccGGGGGcccGksk
kswyywbbbbbbbbwsskcGGGGGGGcGGksk
kswoowwwwwwwwwwsskGGGGGGGGGGGksk
kswwwwwwwwwwwwwsskgggGGGGGGGgksk
kswyywbbbbbwwwwsskggggggggggGksk
kswoowwwwwwwwwwsskkkkkkkkkkkkksk
kswwwwwwwwwwwwwssssssssssssssssk
kswyywbbbbbbbwwsskkkkskkkkskkksk
kswoowwwwwwwwwwsskwwksswwkswwksk
kswwwwwwwwwwwwwsskddkssddksddksk
kswwwwwwwwwwwwwssssssssssssssssk
kssssssssssssssssssssssssssssssk
kswwwwwwwwwwwwwwwwwsdddddddddssk
kswwwwwwwwwwwwwwwwwsdwwwwwwwdssk
kssssssssssssssssssssdddddddsssk
kssssssssssssssssssssssssssssssk
kssssssssssssssssssssssssssssssk
kssssssssssssssssssssssssssssssk
kssssssssssssssssssssssssssssssk
kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk
"""

# The toolbox picture: the same idea at 16 x 15.
TOOLBOX = """
kkkkkkkkkkkkkkkk
knnnnnnnnnnnnnnk
kssssssssssssssk
kswwwwwskkkkkksk
kswybbwskcccyksk
kswwwwwskcccccsk
kswybbwskcGccksk
kswwwwwskGGGcksk
kswybbwskGGGGksk
kswwwwwskkkkkksk
kssssssssssssssk
kswwwwwwwwsdddsk
kssssssssssssssk
kssssssssssssssk
kkkkkkkkkkkkkkkk
"""


def rows_of(art):
    rows = [line for line in art.strip().splitlines()]
    width = max(len(r) for r in rows)
    return [r.ljust(width, 's') for r in rows]


def write_bmp(path, art):
    rows = rows_of(art)
    width, height = len(rows[0]), len(rows)
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, ch in enumerate(row):
            index = KEY[ch]
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
        pixels += line
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels), 3780, 3780, 16, 0)
    Path(path).write_bytes(header + info + palette + pixels)


# The pictures behind a MIDI or CD sound: the hues of a rainbow, one motif each, every pixel a
# tint or shade of the picture's own hue so its colour reads at a glance.
BACKGROUND_SIZE = 119
BACKGROUND_HUES = [0.0, 30 / 360, 55 / 360, 120 / 360, 180 / 360, 220 / 360, 280 / 360]


def motif(n, x, y):
    """How light the motif makes (x, y) of picture n, from -1 (darker) to 1 (lighter)."""
    c = BACKGROUND_SIZE / 2
    dx, dy = x - c, y - c
    r = math.hypot(dx, dy)
    if n == 0:  # a sun over the horizon
        return 0.8 if math.hypot(dx, y - 45) < 26 else (-0.5 if y > 80 else 0.0)
    if n == 1:  # rings
        return 0.5 * math.cos(r / 5)
    if n == 2:  # diagonal stripes
        return 0.5 if (x + y) // 14 % 2 else -0.2
    if n == 3:  # rolling hills
        return -0.5 if y > 80 + 12 * math.sin(x / 14) else (0.6 if y < 30 and (x * 7 + y * 3) % 23 == 0 else 0.1)
    if n == 4:  # waves
        return 0.45 * math.sin(y / 6 + 2.5 * math.sin(x / 17))
    if n == 5:  # a diamond
        return 0.6 if abs(dx) + abs(dy) < 40 else (-0.3 if abs(dx) + abs(dy) > 70 else 0.0)
    return 0.5 if (x // 17 + y // 17) % 2 else -0.25  # a chequer board


def background_pixel(n, x, y):
    light = 0.5 - 0.15 * (y / BACKGROUND_SIZE - 0.5) + 0.25 * motif(n, x, y)
    r, g, b = colorsys.hls_to_rgb(BACKGROUND_HUES[n], min(max(light, 0.15), 0.85), 0.85)
    return round(r * 255), round(g * 255), round(b * 255)


def write_background(path, n):
    size = BACKGROUND_SIZE
    stride = (size * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in reversed(range(size)):  # bottom-up
        line = bytearray()
        for x in range(size):
            r, g, b = background_pixel(n, x, y)
            line += bytes((b, g, r))
        pixels += line.ljust(stride, b'\0')
    offset = 14 + 40
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, size, size, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    Path(path).write_bytes(header + info + pixels)


if __name__ == '__main__':
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    write_bmp(out / 'face.bmp', FACE)
    write_bmp(out / 'toolbox.bmp', TOOLBOX)
    for n in range(len(BACKGROUND_HUES)):
        write_background(out / f'background{n}.bmp', n)
