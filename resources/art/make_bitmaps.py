#!/usr/bin/env python3
"""Writes the control's 16-colour bitmaps from the character pictures below.

Run by hand when a picture changes; the .bmp files are committed."""
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


if __name__ == '__main__':
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    write_bmp(out / 'face.bmp', FACE)
    write_bmp(out / 'toolbox.bmp', TOOLBOX)
